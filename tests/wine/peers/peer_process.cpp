#include "peers/peer_process.h"

#include <utility>

#include "peers/messages.h"
#include "peers/peer_channel.h"

namespace linkwell::win32::peers {
namespace {

// How long a command to a stand-in's control thread may take.
constexpr UINT kCommandMs = 5000;
// How long a stand-in may take from its start to its hello.
constexpr ULONGLONG kStartMs = 20000;

// The stand-ins are built beside this program.
std::wstring Beside(const wchar_t* name) {
    wchar_t path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring own(path, n);
    const auto slash = own.find_last_of(L"\\/");
    return (slash == std::wstring::npos ? std::wstring() : own.substr(0, slash + 1)) + name;
}

}  // namespace

PeerProcess LaunchPeer(const wchar_t* name, const std::wstring& args) {
    const std::wstring exe = Beside(name);
    std::wstring cmd = L"\"" + exe + L"\" " + args;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi)) {
        return {};
    }
    CloseHandle(pi.hThread);
    return PeerProcess{pi.hProcess, pi.dwProcessId, nullptr};
}

bool PeerReady(const PeerProcess& p) {
    const ULONGLONG limit = GetTickCount64() + kStartMs;
    while (p.handle != nullptr && p.control == nullptr && GetTickCount64() < limit) {
        HANDLE h = p.handle;
        if (MsgWaitForMultipleObjects(1, &h, FALSE, 5, QS_ALLINPUT) == WAIT_OBJECT_0) break;
        Pump();
    }
    return p.control != nullptr;
}

LRESULT Ask(HWND control, UINT command, WPARAM wParam) {
    DWORD_PTR result = 0;
    if (SendMessageTimeoutW(control, command, wParam, 0, SMTO_NORMAL, kCommandMs, &result) == 0) {
        return 0;
    }
    return static_cast<LRESULT>(result);
}

LRESULT Tell(HWND control, ULONG_PTR kind, const void* data, DWORD size) {
    COPYDATASTRUCT cds{kind, size, const_cast<void*>(data)};
    DWORD_PTR result = 0;
    if (SendMessageTimeoutW(control, WM_COPYDATA, static_cast<WPARAM>(GetCurrentProcessId()),
                            reinterpret_cast<LPARAM>(&cds), SMTO_NORMAL, kCommandMs,
                            &result) == 0) {
        return 0;
    }
    return static_cast<LRESULT>(result);
}

void Close(PeerProcess& p, std::vector<PeerProcess>& closing) {
    if (p.handle == nullptr) return;
    if (p.control != nullptr) Ask(p.control, channel::kClose);
    // Those that have ended meanwhile are let go.
    for (auto it = closing.begin(); it != closing.end();) {
        if (WaitForSingleObject(it->handle, 0) == WAIT_OBJECT_0) {
            CloseHandle(it->handle);
            it = closing.erase(it);
        } else {
            ++it;
        }
    }
    closing.push_back(std::exchange(p, PeerProcess{}));
}

void Reap(PeerProcess& p, DWORD waitMs) {
    if (p.handle == nullptr) return;
    const ULONGLONG limit = GetTickCount64() + waitMs;
    while (MsgWaitForMultipleObjects(1, &p.handle, FALSE, 20, QS_ALLINPUT) != WAIT_OBJECT_0) {
        if (GetTickCount64() >= limit) {
            TerminateProcess(p.handle, 1);
            WaitForSingleObject(p.handle, kCommandMs);
            break;
        }
        Pump();
    }
    CloseHandle(p.handle);
    p = PeerProcess{};
}

void Kill(PeerProcess& p) {
    if (p.handle == nullptr) return;
    TerminateProcess(p.handle, 1);
    Reap(p, kCommandMs);
}

}  // namespace linkwell::win32::peers
