// What every peer needs of the message system: handle conversions, pumping,
// and keeping the trace in the bridge's order.
#pragma once

#include <windows.h>

#include <functional>

#include "platform/platform.h"

namespace linkwell::win32::peers {

inline HWND Hwnd(platform::WindowHandle h) {
    return reinterpret_cast<HWND>(static_cast<UINT_PTR>(h.value));
}
inline platform::WindowHandle Handle(HWND h) {
    return platform::WindowHandle{static_cast<std::uint64_t>(reinterpret_cast<UINT_PTR>(h))};
}

// A top-level window of the process by its class (found by walking the
// windows: a class registered by another process is not known here by name).
[[nodiscard]] HWND TopLevelOf(DWORD pid, const wchar_t* windowClass);

// Dispatches everything queued for this thread.
void Pump();

// A send into the bridge, made from a helper thread while this one goes on
// serving the bridge: the bridge may be waiting for an answer from MixW's
// DDE server or Logger32 before it takes the send.
void WhilePumping(const std::function<void()>& send);

// When the peers last heard from the bridge, and catching up with what it
// posted before a synchronous call.
class Activity {
public:
    void Touch() { last_ = GetTickCount64(); }
    [[nodiscard]] ULONGLONG Last() const { return last_; }
    // A synchronous call from the bridge: what it posted before it called is
    // already queued here; take that first, so the trace keeps its order.
    void CatchUp();
    // True while CatchUp dispatches: those posts run inside a send's handler.
    [[nodiscard]] bool CatchingUp() const { return catchingUp_ > 0; }

private:
    ULONGLONG last_ = 0;
    int catchingUp_ = 0;
};

}  // namespace linkwell::win32::peers
