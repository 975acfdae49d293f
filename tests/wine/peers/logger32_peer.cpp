// linkwell-peer-logger32.exe: Logger32 of the Wine tests as a process of its
// own, started and ended by linkwell-peers (the player), which keeps the
// stand-in's logic and the trace. Its windows live on its main thread, as
// Logger32's do: each registered message and each text that reaches them is
// reported to the player, and answered when the player has taken it. While
// hung that thread answers no sent message (posts still reach the windows);
// a hung Logger32 is ended by the player with TerminateProcess, as Task
// Manager ends it.
//
// Its log: each logging text it took, one line appended and flushed to the
// file LOG before the text's send returns to the bridge (docs/scenarios.md).
//
//   linkwell-peer-logger32 RELAY LOG HUNG-TEXT LOGGING-HANG-MS RUN
// clang-format off
#include <windows.h>
// clang-format on

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cwchar>
#include <string>
#include <thread>

#include "peers/class_names.h"
#include "peers/peer_channel.h"

namespace {

using namespace linkwell::win32::peers;

// How long the hung text window keeps a text: longer than any run.
constexpr DWORD kHungMs = 60000;
constexpr UINT kCreate = WM_APP + 1;
constexpr UINT kBlockHere = WM_APP + 2;
constexpr UINT kCloseHere = WM_APP + 3;
constexpr UINT kCloseTextHere = WM_APP + 4;
constexpr UINT kNewTextHere = WM_APP + 5;
constexpr wchar_t kHostClass[] = L"LinkwellPeerLogger32Host";
constexpr wchar_t kControlClass[] = L"LinkwellPeerLogger32Control";

HWND relay = nullptr;    // the player's
HWND host = nullptr;     // on the windows' thread: creates, blocks, closes
HWND control = nullptr;  // on the control thread
HWND mainWindow = nullptr;
HWND textWindow = nullptr;
HANDLE logFile = INVALID_HANDLE_VALUE;
bool hungTextWindow = false;
std::int64_t loggingHangMs = 0;
unsigned long run = 0;
std::atomic<ULONGLONG> hungUntil{0};
std::atomic<std::int64_t> holdNextLoggingMs{0};
// The post the windows' thread is dispatching inside a sent message's
// handler (InSendMessage says "sent" for it too).
const MSG* dispatchingPost = nullptr;

LRESULT Report(ULONG_PTR kind, const void* data, DWORD size) {
    COPYDATASTRUCT cds{kind, size, const_cast<void*>(data)};
    return SendMessageW(relay, WM_COPYDATA, reinterpret_cast<WPARAM>(host),
                        reinterpret_cast<LPARAM>(&cds));
}

// One line of the log: "MS RUN TEXT", the text in UTF-8 with CR, LF and
// backslash written \r, \n and \\, then CR LF; flushed to the file itself.
void WriteLog(std::int64_t ms, const wchar_t* text) {
    if (logFile == INVALID_HANDLE_VALUE) return;
    std::wstring escaped;
    for (const wchar_t* c = text; *c != L'\0'; ++c) {
        if (*c == L'\r')
            escaped += L"\\r";
        else if (*c == L'\n')
            escaped += L"\\n";
        else if (*c == L'\\')
            escaped += L"\\\\";
        else
            escaped += *c;
    }
    std::string line = std::to_string(ms) + ' ' + std::to_string(run) + ' ';
    const int n = WideCharToMultiByte(CP_UTF8, 0, escaped.data(), static_cast<int>(escaped.size()),
                                      nullptr, 0, nullptr, nullptr);
    const std::size_t at = line.size();
    line.resize(at + static_cast<std::size_t>(n));
    WideCharToMultiByte(CP_UTF8, 0, escaped.data(), static_cast<int>(escaped.size()), &line[at], n,
                        nullptr, nullptr);
    line += "\r\n";
    DWORD written = 0;
    WriteFile(logFile, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    FlushFileBuffers(logFile);
}

// The text goes to the player's stand-in; one it logged goes into the log.
void Take(const wchar_t* text) {
    const wchar_t* t = text == nullptr ? L"" : text;
    const auto bytes = static_cast<DWORD>((wcslen(t) + 1) * sizeof(wchar_t));
    const LRESULT taken = Report(channel::kText, t, bytes);
    if (taken > 0) WriteLog(static_cast<std::int64_t>(taken) - 1, t);
}

// Wine's PeekMessage takes sent messages whatever its filter: a message
// sent during the hang comes in nested, and waits here too, so none is
// answered before the hang is over (the nested ones first, then the one
// that came first). Posts go on reaching the windows meanwhile.
void BeforeSent() {
    MSG m;
    auto dispatchPosts = [&m] {
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            dispatchingPost = &m;
            DispatchMessageW(&m);
            dispatchingPost = nullptr;
        }
    };
    for (ULONGLONG now = GetTickCount64(); now < hungUntil; now = GetTickCount64()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE,
                                  static_cast<DWORD>(std::min<ULONGLONG>(hungUntil - now, 20)),
                                  QS_ALLINPUT);
        dispatchPosts();
    }
    // What was posted before this message was sent comes first.
    dispatchPosts();
}

bool IsPostBeingDispatched(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    const MSG* m = dispatchingPost;
    if (m == nullptr || m->hwnd != window || m->message != msg || m->wParam != wParam ||
        m->lParam != lParam) {
        return false;
    }
    dispatchingPost = nullptr;  // what it runs into nested is not that post
    return true;
}

bool FromOutside(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    return InSendMessage() != FALSE && !IsPostBeingDispatched(window, msg, wParam, lParam);
}

// The main window: the registered messages reach the stand-in.
LRESULT CALLBACK MainProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    const bool fromOutside = FromOutside(window, msg, wParam, lParam);
    if (fromOutside) BeforeSent();
    if (msg >= 0xC000 && msg <= 0xFFFF) {
        const channel::Message m{msg, static_cast<std::uint64_t>(wParam),
                                 static_cast<std::int64_t>(lParam), fromOutside ? TRUE : FALSE};
        if (Report(channel::kMessage, &m, sizeof m) != 0) return 0;
    }
    return DefWindowProcW(window, msg, wParam, lParam);
}

bool IsLogging(const wchar_t* text) {
    return text != nullptr &&
           std::wstring_view(text).find(L"<APP_LOGQSO:") != std::wstring_view::npos;
}

LRESULT CALLBACK TextProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    // A hung thread answers no sent message, whichever of its windows it is for.
    if (FromOutside(window, msg, wParam, lParam)) BeforeSent();
    if (msg == WM_SETTEXT) {
        const auto* text = reinterpret_cast<const wchar_t*>(lParam);
        const bool logging = IsLogging(text);
        if (const auto hold = logging ? holdNextLoggingMs.exchange(0) : 0; hold > 0) {
            // In the log first, then hung inside the handler: ended now,
            // this Logger32 has logged the QSO without saying so.
            Take(text);
            hungUntil = GetTickCount64() + static_cast<ULONGLONG>(hold);
            BeforeSent();
            return DefWindowProcW(window, msg, wParam, lParam);
        }
        // Logger32 busy writing its log: the logging text is in, not yet taken.
        if (loggingHangMs > 0 && logging) {
            hungUntil = GetTickCount64() + static_cast<ULONGLONG>(loggingHangMs);
            BeforeSent();
        }
        Take(text);
    }
    return DefWindowProcW(window, msg, wParam, lParam);
}

LRESULT CALLBACK HungTextProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SETTEXT) Sleep(kHungMs);
    return DefWindowProcW(window, msg, wParam, lParam);
}

// A text window that stops answering on the first text it gets, on a
// thread of its own.
HWND HungTextWindow() {
    struct Start {
        HANDLE ready;
        HWND window;
    } start{CreateEventW(nullptr, TRUE, FALSE, nullptr), nullptr};
    std::thread([&start] {
        WNDCLASSW wc{};
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpfnWndProc = HungTextProc;
        wc.lpszClassName = kHungTextClass;
        RegisterClassW(&wc);
        // Message-only: the DDE initiate broadcast would wait for it too.
        start.window = CreateWindowExW(0, kHungTextClass, L"", 0, 0, 0, 10, 10, HWND_MESSAGE,
                                       nullptr, wc.hInstance, nullptr);
        SetEvent(start.ready);
        MSG m;
        while (GetMessageW(&m, nullptr, 0, 0) > 0) DispatchMessageW(&m);
    }).detach();
    WaitForSingleObject(start.ready, INFINITE);
    CloseHandle(start.ready);
    return start.window;
}

void CreateWindows() {
    HINSTANCE inst = GetModuleHandleW(nullptr);
    mainWindow = CreateWindowExW(0, kLogger32Class, L"Logger32", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                                 100, nullptr, nullptr, inst, nullptr);
    textWindow = hungTextWindow ? HungTextWindow()
                                : CreateWindowExW(0, kLogger32TextClass, L"", WS_POPUP, 0, 0, 10,
                                                  10, nullptr, nullptr, inst, nullptr);
}

LRESULT CALLBACK HostProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case kCreate: CreateWindows(); return 0;
        case kBlockHere:
            // Blocked: nothing is taken, not even a post; a send stays queued.
            for (ULONGLONG now = GetTickCount64(); now < hungUntil; now = GetTickCount64()) {
                ::Sleep(static_cast<DWORD>(std::min<ULONGLONG>(hungUntil - now, 20)));
            }
            return 0;
        case kCloseTextHere:
            if (textWindow != nullptr && !hungTextWindow) DestroyWindow(textWindow);
            if (!hungTextWindow) textWindow = nullptr;
            return 0;
        case kNewTextHere:
            if (hungTextWindow || mainWindow == nullptr) return 0;
            textWindow = CreateWindowExW(0, kLogger32TextClass, L"", WS_POPUP, 0, 0, 10, 10,
                                         nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
            return 0;
        case kCloseHere:
            if (mainWindow != nullptr) DestroyWindow(mainWindow);
            if (textWindow != nullptr && !hungTextWindow) DestroyWindow(textWindow);
            mainWindow = textWindow = nullptr;
            PostQuitMessage(0);
            return 0;
        default: return DefWindowProcW(window, msg, wParam, lParam);
    }
}

ULONGLONG Until(WPARAM ms) {
    return GetTickCount64() + static_cast<ULONGLONG>(ms);
}

LRESULT CALLBACK ControlProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case channel::kStart:
            SendMessageW(host, kCreate, 0, 0);
            return reinterpret_cast<LRESULT>(mainWindow);
        case channel::kTextWindow: return reinterpret_cast<LRESULT>(textWindow);
        case channel::kHang: hungUntil = Until(wParam); return 0;
        case channel::kBlock:
            hungUntil = Until(wParam);
            PostMessageW(host, kBlockHere, 0, 0);
            return 0;
        case channel::kHoldNextLogging:
            holdNextLoggingMs = static_cast<std::int64_t>(wParam);
            return 0;
        case channel::kHungFor: {
            const ULONGLONG now = GetTickCount64();
            return now < hungUntil ? static_cast<LRESULT>(hungUntil - now) : 0;
        }
        case channel::kClose: SendMessageW(host, kCloseHere, 0, 0); return 0;
        case channel::kCloseTextWindow: SendMessageW(host, kCloseTextHere, 0, 0); return 0;
        case channel::kNewTextWindow:
            SendMessageW(host, kNewTextHere, 0, 0);
            return hungTextWindow ? 0 : reinterpret_cast<LRESULT>(textWindow);
        default: return DefWindowProcW(window, msg, wParam, lParam);
    }
}

void RegisterClasses() {
    WNDCLASSW wc{};
    wc.hInstance = GetModuleHandleW(nullptr);
    const std::pair<WNDPROC, const wchar_t*> classes[] = {{MainProc, kLogger32Class},
                                                          {TextProc, kLogger32TextClass},
                                                          {HostProc, kHostClass},
                                                          {ControlProc, kControlClass}};
    for (const auto& [proc, name] : classes) {
        wc.lpfnWndProc = proc;
        wc.lpszClassName = name;
        RegisterClassW(&wc);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 6) return 1;
    relay = reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::wcstoull(argv[1], nullptr, 10)));
    if (argv[2][0] != L'\0') {
        logFile = CreateFileW(
            argv[2], FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
    }
    hungTextWindow = std::wcstol(argv[3], nullptr, 10) != 0;
    loggingHangMs = std::wcstoll(argv[4], nullptr, 10);
    run = std::wcstoul(argv[5], nullptr, 10);
    RegisterClasses();
    host = CreateWindowExW(0, kHostClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
    control = channel::StartControlThread(kControlClass);
    const channel::Hello hello{GetCurrentProcessId(),
                               static_cast<std::uint64_t>(reinterpret_cast<UINT_PTR>(control))};
    if (Report(channel::kHello, &hello, sizeof hello) == 0) return 1;
    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) DispatchMessageW(&m);
    if (logFile != INVALID_HANDLE_VALUE) CloseHandle(logFile);
    return 0;
}
