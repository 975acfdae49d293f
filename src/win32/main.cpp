// linkwell.exe: the bridge window between MixW2 and Logger32.
// clang-format off
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
// clang-format on

#include <memory>
#include <vector>

// The world first: it keeps the character-set macros off the platform layer.
#include "win32/world.h"
// clang-format off
#include "bridge/command_line.h"
#include "win32/trace_file.h"
#include "win32/window_classes.h"
#include "win32/wintext.h"
// clang-format on

namespace {

// A second copy brings the running one to the front and ends, having said
// nothing to Logger32 or MixW2. It has nothing to trace: say so only to the
// operator who asked for a trace. With no Linkwell window to be found (one
// is starting or closing, or another program holds the name) it says so.
int BringRunningForward(bool traceAsked) {
    // While its about window shows, the bridge window is still hidden:
    // restoring it then would show it before its time.
    HWND running = FindWindowW(linkwell::win32::kFormClass, nullptr);
    HWND about = FindWindowW(linkwell::win32::kAboutClass, nullptr);
    if (running != nullptr && IsWindowVisible(running)) {
        ShowWindow(running, SW_RESTORE);
        SetForegroundWindow(running);
    } else if (about != nullptr) {
        SetForegroundWindow(about);
    } else {
        MessageBoxW(nullptr,
                    L"Linkwell seems to be running already, or starting or closing, but its "
                    L"window cannot be found. Try again in a few seconds.",
                    L"Linkwell", MB_OK | MB_ICONINFORMATION);
        return 1;
    }
    if (traceAsked) {
        MessageBoxW(nullptr,
                    L"Linkwell is already running: this copy did not trace. Start the trace "
                    L"with the first copy closed.",
                    L"Linkwell", MB_OK | MB_ICONINFORMATION);
    }
    return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    using namespace linkwell;
    std::vector<std::u16string> args;
    int argc = 0;
    if (const win32::OwnedLocal<LPWSTR*> argv(CommandLineToArgvW(GetCommandLineW(), &argc)); argv) {
        for (int i = 1; i < argc; ++i) args.push_back(win32::FromWide(argv.get()[i]));
    }
    const auto options = ParseCommandLine(args);
    if (options.showUsage) {
        const std::wstring text = win32::Wide(options.usageNote + std::u16string(kUsage));
        const std::wstring title = win32::Wide(std::u16string(kUsageTitle));
        MessageBoxW(nullptr, text.c_str(), title.c_str(), MB_OK | MB_ICONINFORMATION);
        return 2;
    }
    // Before any window, file or word to another program. Never closed: it
    // goes with the process, however the process ends.
    // A name that cannot be had as our mutex (another program made an event
    // or a section of that name) refuses the run too: one that failed open
    // would let two bridges log each QSO twice.
    HANDLE instanceMutex = CreateMutexW(nullptr, FALSE, win32::kInstanceName);
    if (instanceMutex == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) {
        return BringRunningForward(options.tracePath.has_value());
    }
    std::unique_ptr<win32::TraceFileWin> file;
    std::unique_ptr<field_trace::Output> trace;
    if (options.tracePath) {
        file = std::make_unique<win32::TraceFileWin>(*options.tracePath);
        trace = std::make_unique<field_trace::Output>(*file);
    }
    // The window's thread is a single-threaded apartment (DDE and the window
    // need one); MixW2's object is called from a thread of its own, in the
    // multithreaded apartment (win32/automation.cpp).
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    win32::WinWorld world(instance, trace.get());
    if (options.udp) world.AnnounceOnUdp(*options.udp);
    world.Start();
    return world.Run();
}
