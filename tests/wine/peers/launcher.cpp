#include "peers/launcher.h"

#include <cwchar>
#include <iostream>
#include <string>

#include "peers/messages.h"
#include "peers/watch.h"
#include "text/text.h"
#include "win32/window_classes.h"
#include "win32/wintext.h"

namespace linkwell::win32::peers {

BridgeProcess::~BridgeProcess() {
    if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
    if (process_ != nullptr) CloseHandle(process_);
}

namespace {

// How long the launch is held, from the environment: LINKWELL_LAUNCH_DELAY_MS
// holds the new process before it runs any code, LINKWELL_WINDOW_DELAY_MS
// holds its thread once its window is made, before its clock starts. A
// loaded machine does both (the stage's tests of a late start).
DWORD HeldMs(const wchar_t* name) {
    wchar_t value[16] = {};
    const DWORD n = GetEnvironmentVariableW(name, value, 16);
    if (n == 0 || n >= 16) return 0;
    return static_cast<DWORD>(std::wcstoul(value, nullptr, 10));
}

}  // namespace

bool BridgeProcess::Launch(const std::wstring& exe, const std::wstring& args,
                           const std::wstring& watchDll, const std::function<void()>& alongside,
                           const Successor& successor) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring cmd = L"\"" + exe + L"\"" + args;
    const DWORD held = HeldMs(L"LINKWELL_LAUNCH_DELAY_MS");
    DWORD windowHeld = HeldMs(L"LINKWELL_WINDOW_DELAY_MS");
    asked_ = GetTickCount64();
    if (!CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE,
                        held > 0 ? CREATE_SUSPENDED : 0, nullptr, nullptr, &si, &pi)) {
        std::cerr << "linkwell-peers: cannot start the bridge\n";
        return false;
    }
    if (held > 0) {
        Sleep(held);
        ResumeThread(pi.hThread);
    }
    process_ = pi.hProcess;
    pid_ = pi.dwProcessId;
    if (alongside) alongside();
    // The bridge's clock starts once its window and controls are made, just
    // before it makes its about window: the first window that appears after
    // that moment is the scenario's 0. Under load, Wine takes a good part of
    // a second between the process's start and then.
    const ULONGLONG limit = GetTickCount64() + 20000;
    HWND about = nullptr;
    bool ended = false;
    HWND pressed = nullptr;
    while (GetTickCount64() < limit) {
        if (ended) {
            const auto next = successor();
            if (!next) {
                MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
                Pump();
                continue;
            }
            CloseHandle(process_);
            process_ = next->first;
            pid_ = next->second;
            form_ = nullptr;
            ended = false;
        }
        if (form_ == nullptr) form_ = TopLevelOf(pid_, kFormClass);
        // A copy that lost the name to another says so in a box before its
        // window is made: the peers press OK, as for the other copies.
        if (form_ == nullptr && successor) {
            HWND box = TopLevelOf(pid_, L"#32770");
            if (box != nullptr && box != pressed && IsWindowVisible(box)) {
                pressed = box;
                PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            }
        }
        if (form_ != nullptr && windowHeld > 0) {
            SuspendThread(pi.hThread);
            Sleep(windowHeld);
            ResumeThread(pi.hThread);
            windowHeld = 0;
        }
        if (form_ != nullptr) about = TopLevelOf(pid_, kAboutClass);
        if (about != nullptr) break;
        // The bridge may broadcast (a DDE connect) before its window shows:
        // the peers' windows answer meanwhile.
        if (MsgWaitForMultipleObjects(1, &process_, FALSE, 1, QS_ALLINPUT) == WAIT_OBJECT_0) {
            if (!successor) break;
            ended = true;
        }
        Pump();
    }
    appeared_ = GetTickCount64();
    CloseHandle(pi.hThread);
    if (about == nullptr) {
        std::cerr << "linkwell-peers: the bridge window did not appear\n";
        form_ = nullptr;
        pid_ = 0;
        return false;
    }
    std::cerr << "FIGURE launch-ms " << appeared_ - asked_ << '\n';
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

void BridgeProcess::Kill() {
    if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
    hook_ = nullptr;
    if (process_ == nullptr) return;
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, 5000);
    CloseHandle(process_);
    process_ = nullptr;
    form_ = nullptr;
    pid_ = 0;
}

void BridgeProcess::Finish(bool ended) {
    if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
    hook_ = nullptr;
    if (process_ == nullptr) return;
    if (!ended) TerminateProcess(process_, 0);
    WaitForSingleObject(process_, 5000);
}

}  // namespace linkwell::win32::peers

namespace linkwell::win32::peers {
namespace {

BOOL CALLBACK LongestStatic(HWND child, LPARAM out) {
    wchar_t name[64] = {};
    GetClassNameW(child, name, 64);
    if (_wcsicmp(name, L"Static") != 0) return TRUE;
    std::wstring text(4096, L'\0');
    DWORD_PTR got = 0;
    if (SendMessageTimeoutW(child, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                            SMTO_NORMAL, 1000, &got) == 0) {
        return TRUE;
    }
    text.resize(got);
    auto& best = *reinterpret_cast<std::wstring*>(out);
    if (text.size() > best.size()) best = std::move(text);
    return TRUE;
}

}  // namespace

SecondCopy::~SecondCopy() {
    if (process_ == nullptr) return;
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, 5000);
    CloseHandle(process_);
}

void SecondCopy::Start(const std::wstring& exe, bool traced, const std::wstring& args) {
    traced_ = traced;
    std::wstring cmd = L"\"" + exe + L"\"" + args;
    if (traced) {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        tracePath_ = std::wstring(temp) + L"linkwell-second-copy.trace";
        DeleteFileW(tracePath_.c_str());
        cmd += L" --trace \"" + tracePath_ + L"\"";
    }
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi)) {
        std::cerr << "linkwell-peers: cannot start the second bridge\n";
        return;
    }
    CloseHandle(pi.hThread);
    process_ = pi.hProcess;
    pid_ = pi.dwProcessId;
}

void SecondCopy::Look(const std::function<void(const std::string&)>& line) {
    if (process_ == nullptr) return;
    if (box_ == nullptr) {
        // Its texts are in once it shows.
        HWND box = TopLevelOf(pid_, L"#32770");
        if (box != nullptr && IsWindowVisible(box)) {
            box_ = box;
            std::wstring text;
            EnumChildWindows(box, LongestStatic, reinterpret_cast<LPARAM>(&text));
            wchar_t title[256] = {};
            GetWindowTextW(box, title, 256);
            line("box " + text::Quote(FromWide(title)) + " " + text::Quote(FromWide(text)));
            PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        }
    }
    if (WaitForSingleObject(process_, 0) != WAIT_OBJECT_0) return;
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    CloseHandle(process_);
    process_ = nullptr;
    line("ended " + std::to_string(code));
    if (traced_) {
        const bool created = GetFileAttributesW(tracePath_.c_str()) != INVALID_FILE_ATTRIBUTES;
        line(created ? "trace-file created" : "trace-file absent");
    }
}

}  // namespace linkwell::win32::peers
