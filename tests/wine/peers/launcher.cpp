#include "peers/launcher.h"

#include <iostream>

#include "peers/messages.h"
#include "peers/watch.h"
#include "win32/window_classes.h"

namespace linkwell::win32::peers {

BridgeProcess::~BridgeProcess() {
    if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
    if (process_ != nullptr) CloseHandle(process_);
}

bool BridgeProcess::Launch(const std::wstring& exe, const std::wstring& args,
                           const std::wstring& watchDll) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring cmd = L"\"" + exe + L"\"" + args;
    if (!CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi)) {
        std::cerr << "linkwell-peers: cannot start the bridge\n";
        return false;
    }
    CloseHandle(pi.hThread);
    process_ = pi.hProcess;
    const ULONGLONG limit = GetTickCount64() + 20000;
    while (GetTickCount64() < limit) {
        if (HWND found = TopLevelOf(pi.dwProcessId, kFormClass)) {
            form_ = found;
            pid_ = pi.dwProcessId;
            break;
        }
        if (WaitForSingleObject(process_, 1) == WAIT_OBJECT_0) break;
    }
    appeared_ = GetTickCount64();
    if (form_ == nullptr) {
        std::cerr << "linkwell-peers: the bridge window did not appear\n";
        return false;
    }
    HMODULE dll = LoadLibraryW(watchDll.c_str());
    auto proc = dll == nullptr ? nullptr
                               : reinterpret_cast<HOOKPROC>(
                                     reinterpret_cast<void*>(GetProcAddress(dll, kWatchProcName)));
    if (proc != nullptr)
        hook_ = SetWindowsHookExW(WH_CALLWNDPROCRET, proc, dll,
                                  GetWindowThreadProcessId(form_, nullptr));
    if (hook_ == nullptr) {
        std::cerr << "linkwell-peers: cannot watch the bridge window (error " << GetLastError()
                  << ")\n";
        return false;
    }
    return true;
}

void BridgeProcess::Finish(bool ended) {
    if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
    hook_ = nullptr;
    if (process_ == nullptr) return;
    if (!ended) TerminateProcess(process_, 0);
    WaitForSingleObject(process_, 5000);
}

}  // namespace linkwell::win32::peers
