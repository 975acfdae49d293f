// The about window's three pictures, drawn in code with GDI.
#pragma once

#include <windows.h>

namespace linkwell::win32 {

// Each picture fills the rectangle it is given.
void DrawTransceiver(HDC dc, const RECT& r);  // Image3
void DrawGlobe(HDC dc, const RECT& r);        // Image2
void DrawMast(HDC dc, const RECT& r);         // Image1

}  // namespace linkwell::win32
