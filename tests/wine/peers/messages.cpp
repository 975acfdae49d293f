#include "peers/messages.h"

#include <cwchar>
#include <thread>

namespace linkwell::win32::peers {
namespace {

struct Search {
    DWORD pid;
    const wchar_t* windowClass;
    HWND found;
};

BOOL CALLBACK Match(HWND h, LPARAM p) {
    auto& s = *reinterpret_cast<Search*>(p);
    DWORD owner = 0;
    GetWindowThreadProcessId(h, &owner);
    wchar_t name[64] = {};
    GetClassNameW(h, name, 64);
    if (owner == s.pid && wcscmp(name, s.windowClass) == 0) {
        s.found = h;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND TopLevelOf(DWORD pid, const wchar_t* windowClass) {
    Search search{pid, windowClass, nullptr};
    EnumWindows(Match, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void Pump() {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
}

void WhilePumping(const std::function<void()>& send) {
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread helper([&] {
        send();
        SetEvent(done);
    });
    while (MsgWaitForMultipleObjects(1, &done, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0)
        Pump();
    helper.join();
    CloseHandle(done);
}

void Activity::CatchUp() {
    Touch();
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE | PM_QS_POSTMESSAGE)) {
        if (m.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(m.wParam));
            break;
        }
        ++catchingUp_;
        DispatchMessageW(&m);
        --catchingUp_;
    }
}

}  // namespace linkwell::win32::peers
