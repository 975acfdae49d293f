#include "peers/logger32_window.h"

#include <algorithm>
#include <string>
#include <thread>

#include "logger32/link.h"
#include "peers/class_names.h"
#include "win32/wintext.h"

namespace linkwell::win32::peers {
namespace {

// How long the hung text window keeps a text: longer than any run.
constexpr DWORD kHungMs = 60000;
constexpr UINT kRun = WM_APP + 1;
constexpr UINT kBlock = WM_APP + 2;
constexpr wchar_t kRunClass[] = L"LinkwellPeersRun";
// The post the windows' thread is dispatching inside a sent message's
// handler (InSendMessage says "sent" for it too).
thread_local const MSG* dispatchingPost = nullptr;

}  // namespace

Logger32Window* Logger32Window::self_ = nullptr;

Logger32Window::Logger32Window(scenario::Trace& trace, Activity& activity, bool hungTextWindow,
                               bool ownThread, std::int64_t loggingHangMs)
    : activity_(activity),
      logger32_(*this, trace),
      hungTextWindow_(hungTextWindow),
      ownThread_(ownThread),
      loggingHangMs_(loggingHangMs) {
    self_ = this;
    WNDCLASSW wc{};
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpfnWndProc = MainProc;
    wc.lpszClassName = kLogger32Class;
    RegisterClassW(&wc);
    wc.lpfnWndProc = TextProc;
    wc.lpszClassName = kLogger32TextClass;
    RegisterClassW(&wc);
    if (!ownThread_) return;
    wc.lpfnWndProc = RunProc;
    wc.lpszClassName = kRunClass;
    RegisterClassW(&wc);
    relay_ = CreateWindowExW(0, kRunClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance,
                             nullptr);
    StartThread();
}

void Logger32Window::StartThread() {
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread([this, ready] {
        control_ = CreateWindowExW(0, kRunClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
        threadId_ = GetCurrentThreadId();
        thread_ = OpenThread(THREAD_TERMINATE | SYNCHRONIZE, FALSE, threadId_);
        SetEvent(ready);
        MSG m;
        while (GetMessageW(&m, nullptr, 0, 0) > 0) DispatchMessageW(&m);
    }).detach();
    WaitForSingleObject(ready, INFINITE);
    CloseHandle(ready);
}

Logger32Window::~Logger32Window() {
    if (ownThread_) {
        hungUntil_ = 0;
        OnOwnThread([this] { DestroyWindows(); });
        PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    }
    self_ = nullptr;
}

LRESULT CALLBACK Logger32Window::RunProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kBlock && self_ != nullptr) {
        // Blocked: nothing is taken, not even a post; a send stays queued.
        for (ULONGLONG now = GetTickCount64(); now < self_->hungUntil_; now = GetTickCount64()) {
            if (self_->ending_) ExitThread(1);
            ::Sleep(static_cast<DWORD>(std::min<ULONGLONG>(self_->hungUntil_ - now, 20)));
        }
        return 0;
    }
    if (msg != kRun) return DefWindowProcW(window, msg, wParam, lParam);
    (*reinterpret_cast<const std::function<void()>*>(lParam))();
    return 0;
}

void Logger32Window::OnOwnThread(const std::function<void()>& f) const {
    if (!ownThread_) return f();
    DWORD_PTR result = 0;
    SendMessageTimeoutW(control_, kRun, 0, reinterpret_cast<LPARAM>(&f), SMTO_NORMAL, 60000,
                        &result);
}

void Logger32Window::OnPeersThread(const std::function<void()>& f) const {
    if (!ownThread_) return f();
    SendMessageW(relay_, kRun, 0, reinterpret_cast<LPARAM>(&f));
}

// Wine's PeekMessage takes sent messages whatever its filter: a message
// sent during the hang comes in nested, and waits here too, so none is
// answered before the hang is over (the nested ones first, then the one
// that came first). Posts go on reaching the windows meanwhile.
void Logger32Window::BeforeSent() {
    if (!ownThread_) return;
    MSG m;
    auto dispatchPosts = [&m] {
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            dispatchingPost = &m;
            DispatchMessageW(&m);
            dispatchingPost = nullptr;
        }
    };
    for (ULONGLONG now = GetTickCount64(); now < hungUntil_; now = GetTickCount64()) {
        // Ended while hung: its windows and queue go with the thread.
        if (ending_) ExitThread(1);
        MsgWaitForMultipleObjects(0, nullptr, FALSE,
                                  static_cast<DWORD>(std::min<ULONGLONG>(hungUntil_ - now, 20)),
                                  QS_ALLINPUT);
        dispatchPosts();
    }
    // What was posted before this message was sent comes first.
    dispatchPosts();
}

// Windows hands a message sent to a thread over ahead of the posts still in
// its queue. The bridge posts its codes and then sends (the leaving
// notice), each in its turn: the posts to the window that came before the
// send are taken first, so that the stand-in sees them in the bridge's order
// however quickly its thread runs. (With a thread of its own, BeforeSent
// does the same.)
void Logger32Window::TakePostsBefore(HWND window) {
    MSG m;
    while (PeekMessageW(&m, window, 0, 0, PM_REMOVE)) {
        dispatchingPost = &m;
        DispatchMessageW(&m);
        dispatchingPost = nullptr;
    }
}

bool Logger32Window::IsPostBeingDispatched(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    const MSG* m = dispatchingPost;
    if (m == nullptr || m->hwnd != window || m->message != msg || m->wParam != wParam ||
        m->lParam != lParam) {
        return false;
    }
    dispatchingPost = nullptr;  // what it runs into nested is not that post
    return true;
}

void Logger32Window::Block(ULONGLONG until) {
    hungUntil_ = until;
    if (ownThread_) PostMessageW(control_, kBlock, 0, 0);
}

void Logger32Window::Start(bool withTextWindow) {
    OnOwnThread([this] { DestroyWindows(); });
    HINSTANCE inst = GetModuleHandleW(nullptr);
    OnOwnThread([&] {
        main_ = CreateWindowExW(0, kLogger32Class, L"Logger32", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                nullptr, nullptr, inst, nullptr);
        if (!hungTextWindow_) {
            text_ = CreateWindowExW(0, kLogger32TextClass, L"", WS_POPUP, 0, 0, 10, 10, nullptr,
                                    nullptr, inst, nullptr);
        }
    });
    if (hungTextWindow_) text_ = HungTextWindow();
    logger32_.Start(withTextWindow, Handle(main_), Handle(text_));
}

void Logger32Window::Stop() {
    logger32_.Stop();
    if (ownThread_ && GetTickCount64() < hungUntil_ && thread_ != nullptr) {
        // The hung thread ends itself where it hangs: TerminateThread would
        // leave its message queue open (user32 keeps a handle to it), and a
        // send waiting there would never return, as it does when a program
        // is ended.
        ending_ = true;
        while (MsgWaitForMultipleObjects(1, &thread_, FALSE, 5000, QS_ALLINPUT) != WAIT_OBJECT_0) {
            Pump();
        }
        ending_ = false;
        CloseHandle(thread_);
        thread_ = nullptr;
        main_ = text_ = nullptr;
        hungUntil_ = 0;
        StartThread();
        return;
    }
    OnOwnThread([this] { DestroyWindows(); });
}

void Logger32Window::CloseTextWindow() {
    if (hungTextWindow_) return;
    OnOwnThread([this] {
        if (text_ != nullptr) DestroyWindow(text_);
        text_ = nullptr;
    });
}

void Logger32Window::RenewTextWindow() {
    if (hungTextWindow_ || main_ == nullptr) return;
    HINSTANCE inst = GetModuleHandleW(nullptr);
    OnOwnThread([&] {
        text_ = CreateWindowExW(0, kLogger32TextClass, L"", WS_POPUP, 0, 0, 10, 10, nullptr,
                                nullptr, inst, nullptr);
    });
    if (text_ != nullptr) logger32_.NewTextWindow(Handle(text_));
}

void Logger32Window::DestroyWindows() {
    if (main_ != nullptr) DestroyWindow(main_);
    if (text_ != nullptr) DestroyWindow(text_);
    main_ = text_ = nullptr;
}

platform::MessageId Logger32Window::Register(const platform::Text& name) {
    return RegisterWindowMessageA(ToAnsi(name).c_str());
}

void Logger32Window::Post(platform::WindowHandle to, platform::MessageId msg, platform::WParam code,
                          platform::LParam value) {
    PostMessageA(Hwnd(to), msg, static_cast<WPARAM>(code), static_cast<LPARAM>(value));
}

void Logger32Window::SetTextOf(platform::WindowHandle to, const platform::Text& text) {
    const std::string ansi = ToAnsi(text);
    WhilePumping([&] {
        DWORD_PTR result = 0;
        SendMessageTimeoutA(Hwnd(to), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(ansi.c_str()),
                            SMTO_NORMAL, 5000, &result);
    });
}

// The main window: the registered messages reach the stand-in.
LRESULT CALLBACK Logger32Window::MainProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (self_ == nullptr) return DefWindowProcW(window, msg, wParam, lParam);
    const bool fromOutside =
        InSendMessage() != FALSE && !IsPostBeingDispatched(window, msg, wParam, lParam);
    if (fromOutside) self_->BeforeSent();
    // Only the leaving notice: it is always sent, never posted, so it cannot
    // be a post this thread dispatches inside some other send.
    if (fromOutside && !self_->ownThread_ && msg >= 0xC000 && msg <= 0xFFFF &&
        wParam == logger32::code::kLeaving) {
        TakePostsBefore(window);
    }
    if (msg >= 0xC000 && msg <= 0xFFFF) {
        bool taken = false;
        self_->OnPeersThread([&] {
            self_->activity_.Touch();
            // Posts that CatchUp dispatches run inside a send's handler.
            const bool sent = fromOutside && !self_->activity_.CatchingUp();
            if (sent) self_->activity_.CatchUp();
            const auto how = !sent ? scenario::Delivery::Posted
                             : wParam == logger32::code::kLeaving
                                 ? scenario::Delivery::SentReference
                                 : scenario::Delivery::Sent;
            taken = self_->logger32_.Receive(msg, static_cast<platform::WParam>(wParam),
                                             static_cast<platform::LParam>(lParam), how);
        });
        if (taken) return 0;
    }
    return DefWindowProcW(window, msg, wParam, lParam);
}

LRESULT CALLBACK Logger32Window::TextProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (self_ == nullptr) return DefWindowProcW(window, msg, wParam, lParam);
    // A hung thread answers no sent message, whichever of its windows it is for.
    if (InSendMessage() != FALSE && !IsPostBeingDispatched(window, msg, wParam, lParam)) {
        self_->BeforeSent();
    }
    if (msg == WM_SETTEXT) {
        const wchar_t* text = reinterpret_cast<const wchar_t*>(lParam);
        const bool logging = text != nullptr && std::wstring_view(text).find(L"<APP_LOGQSO:") !=
                                                    std::wstring_view::npos;
        if (const auto hold =
                logging && self_->ownThread_ ? self_->holdNextLoggingMs_.exchange(0) : 0;
            hold > 0) {
            // In the log first, then hung inside the handler: ended now,
            // this Logger32 has logged the QSO without saying so.
            self_->OnPeersThread([&] {
                self_->activity_.CatchUp();
                self_->logger32_.ReceiveText(FromWide(text));
            });
            self_->hungUntil_ = GetTickCount64() + static_cast<ULONGLONG>(hold);
            self_->BeforeSent();
            return DefWindowProcW(window, msg, wParam, lParam);
        }
        // Logger32 busy writing its log: the logging text is in, not yet taken.
        if (self_->loggingHangMs_ > 0 && self_->ownThread_ && text != nullptr &&
            std::wstring_view(text).find(L"<APP_LOGQSO:") != std::wstring_view::npos) {
            self_->hungUntil_ = GetTickCount64() + static_cast<ULONGLONG>(self_->loggingHangMs_);
            self_->BeforeSent();
        }
        self_->OnPeersThread([&] {
            self_->activity_.CatchUp();
            self_->logger32_.ReceiveText(text == nullptr ? platform::Text() : FromWide(text));
        });
    }
    return DefWindowProcW(window, msg, wParam, lParam);
}

LRESULT CALLBACK Logger32Window::HungTextProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SETTEXT) Sleep(kHungMs);
    return DefWindowProcW(window, msg, wParam, lParam);
}

HWND Logger32Window::HungTextWindow() {
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

}  // namespace linkwell::win32::peers
