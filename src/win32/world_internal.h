// What the files of the Windows world share: handle conversions, colours
// and the bounds of its waits.
#pragma once

#include <windows.h>

#include <cstdint>

#include "platform/platform.h"
#include "window/controls.h"
#include "window/timing.h"

namespace linkwell::win32 {

// A send to another program's window waits at most this long: the leaving
// notice is given up then, a text goes on from the sender thread (Pending).
// Messages sent to the bridge meanwhile are still handled.
inline constexpr UINT kSendTimeoutMs = window::kSendBoundMs;
// The sender thread's word that a text send has ended (wParam: its number).
inline constexpr UINT kTextSendEnded = WM_APP + 1;
// The writer thread's word that a write of not-logged.adi has ended
// (wParam: its number).
inline constexpr UINT kNotLoggedWritten = WM_APP + 2;
// Windows ends the session: whatever the unload still waits for, the
// process is gone after this long, so that the shut-down never waits on us.
inline constexpr DWORD kEndSessionLimitMs = window::kEndSessionLimitMs;

[[nodiscard]] inline COLORREF Resolve(std::uint32_t colour) {
    if ((colour & window::kSystemColour) != 0) return GetSysColor(static_cast<int>(colour & 0xFFu));
    return static_cast<COLORREF>(colour);
}

[[nodiscard]] inline HWND Hwnd(platform::WindowHandle h) {
    return reinterpret_cast<HWND>(static_cast<UINT_PTR>(h.value));
}
[[nodiscard]] inline platform::WindowHandle Handle(HWND h) {
    return platform::WindowHandle{static_cast<std::uint64_t>(reinterpret_cast<UINT_PTR>(h))};
}

}  // namespace linkwell::win32
