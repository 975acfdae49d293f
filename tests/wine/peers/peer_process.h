// A stand-in's process as the player holds it: started from beside the
// player, ready once it said hello (peer_channel.h), commanded through its
// control window, and waited for at its end.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace linkwell::win32::peers {

struct PeerProcess {
    HANDLE handle = nullptr;
    DWORD pid = 0;
    HWND control = nullptr;  // set by its hello
};

// Starts NAME (an .exe beside this program) with `args` after its name;
// an empty process when it cannot be started.
[[nodiscard]] PeerProcess LaunchPeer(const wchar_t* name, const std::wstring& args);
// Waits (serving the peers' windows) until the process said hello. False
// when it ended or did not within 20 s.
[[nodiscard]] bool PeerReady(const PeerProcess& p);
// A command to the control window: its answer, 0 when none came.
LRESULT Ask(HWND control, UINT command, WPARAM wParam = 0);
// Data to the control window (WM_COPYDATA); its answer, 0 when none came.
LRESULT Tell(HWND control, ULONG_PTR kind, const void* data, DWORD size);
// Asks it to close (channel::kClose) and lets it end by itself: its
// windows are gone when this returns; `closing` keeps it until it ended.
void Close(PeerProcess& p, std::vector<PeerProcess>& closing);
// Waits up to `waitMs` for the process's end while the peers' windows are
// served (it may report to them on its way out), then ends it.
void Reap(PeerProcess& p, DWORD waitMs);
// Ends it at once, as Task Manager does, and waits for it.
void Kill(PeerProcess& p);

}  // namespace linkwell::win32::peers
