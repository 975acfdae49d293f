// What passes between the player (linkwell-peers) and a stand-in that runs
// as a process of its own. The stand-in reports what reached its windows
// with WM_COPYDATA sent to the player's relay window, so the player writes
// the trace in the order the stand-in took things; the player commands the
// stand-in through a control window on a thread of the stand-in's own that
// never hangs, so a hung stand-in can still be told things and asked
// whether it hangs.
#pragma once

#include <windows.h>

#include <cstdint>

namespace linkwell::win32::peers::channel {

// --- reports: WM_COPYDATA to the relay window, `dwData` says which -------------
enum Report : ULONG_PTR {
    kHello = 1,  // Hello: the stand-in runs and takes commands
    kMessage,    // Message: a registered message reached Logger32's main window
    kText,       // the UTF-16 text a WM_SETTEXT put into Logger32's text window
};

struct Hello {
    DWORD pid;
    std::uint64_t control;  // the control window
};

struct Message {
    UINT msg;
    std::uint64_t wParam;
    std::int64_t lParam;
    BOOL sent;  // sent from outside, not posted
};

// --- commands: messages sent to the control window --------------------------
// Makes the stand-in's windows; returns its main window.
inline constexpr UINT kStart = WM_APP + 20;
// Returns Logger32's text window.
inline constexpr UINT kTextWindow = WM_APP + 21;
// wParam: ms. No sent message is answered for that long; posts are.
inline constexpr UINT kHang = WM_APP + 22;
// wParam: ms. Nothing at all is taken for that long.
inline constexpr UINT kBlock = WM_APP + 23;
// wParam: ms. The next logging text is taken, then held that long inside its handler.
inline constexpr UINT kHoldNextLogging = WM_APP + 24;
// Returns how many ms the windows' thread still hangs (0: it answers).
inline constexpr UINT kHungFor = WM_APP + 25;
// Closes the windows and ends the program as it ends when closed.
inline constexpr UINT kClose = WM_APP + 26;

inline constexpr wchar_t kRelayClass[] = L"LinkwellPeersRelay";

}  // namespace linkwell::win32::peers::channel
