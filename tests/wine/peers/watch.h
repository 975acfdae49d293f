// What the watcher (linkwell-watch.dll, hooked into the bridge's thread)
// tells the peers: each change of the status line and each message box, in
// the order in which the bridge makes them. The text travels as a global
// atom (one '|' first, so that an empty text has an atom too); an atom
// holds 255 characters, so a longer text (a box naming a long path) goes
// ahead in pieces of kPieceLength, each its own atom of "|" + piece.
#pragma once

#include <windows.h>

#include <cstddef>

namespace linkwell::win32::peers {

inline constexpr wchar_t kWatchWindowTitle[] = L"Linkwell peers watch";
inline constexpr UINT kStatusChanged = WM_APP + 1;  // wParam: atom of "|" + text
inline constexpr UINT kBoxOpened =
    WM_APP + 2;  // wParam: atom of "|" + title + "\x01" + text; lParam: box
inline constexpr UINT kTextPiece = WM_APP + 3;  // wParam: atom of "|" + piece
inline constexpr std::size_t kPieceLength = 250;
inline constexpr char kWatchProcName[] = "LinkwellWatchProc";

}  // namespace linkwell::win32::peers
