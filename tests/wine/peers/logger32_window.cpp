#include "peers/logger32_window.h"

#include <string>
#include <thread>

#include "logger32/link.h"
#include "peers/class_names.h"
#include "win32/wintext.h"

namespace linkwell::win32::peers {
namespace {

// How long the hung text window keeps a text: longer than any run.
constexpr DWORD kHungMs = 60000;

}  // namespace

Logger32Window* Logger32Window::self_ = nullptr;

Logger32Window::Logger32Window(scenario::Trace& trace, Activity& activity, bool hungTextWindow)
    : activity_(activity), logger32_(*this, trace), hungTextWindow_(hungTextWindow) {
    self_ = this;
    WNDCLASSW wc{};
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpfnWndProc = MainProc;
    wc.lpszClassName = kLogger32Class;
    RegisterClassW(&wc);
    wc.lpfnWndProc = TextProc;
    wc.lpszClassName = kLogger32TextClass;
    RegisterClassW(&wc);
}

Logger32Window::~Logger32Window() {
    self_ = nullptr;
}

void Logger32Window::Start(bool withTextWindow) {
    DestroyWindows();
    HINSTANCE inst = GetModuleHandleW(nullptr);
    main_ = CreateWindowExW(0, kLogger32Class, L"Logger32", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                            nullptr, nullptr, inst, nullptr);
    text_ = hungTextWindow_ ? HungTextWindow()
                            : CreateWindowExW(0, kLogger32TextClass, L"", WS_POPUP, 0, 0, 10, 10,
                                              nullptr, nullptr, inst, nullptr);
    logger32_.Start(withTextWindow, Handle(main_), Handle(text_));
}

void Logger32Window::Stop() {
    logger32_.Stop();
    DestroyWindows();
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
    if (msg >= 0xC000 && msg <= 0xFFFF && self_ != nullptr) {
        self_->activity_.Touch();
        // Posts that CatchUp dispatches run inside a send's handler.
        const bool sent = InSendMessage() != FALSE && !self_->activity_.CatchingUp();
        if (sent) self_->activity_.CatchUp();
        const auto how = !sent                                ? scenario::Delivery::Posted
                         : wParam == logger32::code::kLeaving ? scenario::Delivery::SentReference
                                                              : scenario::Delivery::Sent;
        if (self_->logger32_.Receive(msg, static_cast<platform::WParam>(wParam),
                                     static_cast<platform::LParam>(lParam), how))
            return 0;
    }
    return DefWindowProcW(window, msg, wParam, lParam);
}

LRESULT CALLBACK Logger32Window::TextProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SETTEXT && self_ != nullptr) {
        self_->activity_.CatchUp();
        const wchar_t* text = reinterpret_cast<const wchar_t*>(lParam);
        self_->logger32_.ReceiveText(text == nullptr ? platform::Text() : FromWide(text));
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
