// Start of the bridge window: its load and the end of the about window.
#pragma once

#include "bridge/station.h"

namespace linkwell::window {

// Once, when the bridge window is created and before it is first shown:
// keeps the window's handle for the Logger32 link and shows the about
// window on top.
void OnLoad(Station& s);

// The only tick of Timer4, 3 s after load: hides the about window, shows the
// bridge window and arms Timer1 for the start-up wait.
void OnAboutShown(Station& s);

}  // namespace linkwell::window
