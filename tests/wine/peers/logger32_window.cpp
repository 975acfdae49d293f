#include "peers/logger32_window.h"

#include <iostream>
#include <string>
#include <utility>

#include "logger32/link.h"
#include "peers/peer_channel.h"
#include "win32/wintext.h"

namespace linkwell::win32::peers {
namespace {}  // namespace

Logger32Window* Logger32Window::self_ = nullptr;

Logger32Window::Logger32Window(scenario::Trace& trace, Activity& activity,
                               std::function<std::int64_t()> now, bool hungTextWindow,
                               std::int64_t loggingHangMs, std::wstring logPath)
    : activity_(activity),
      logger32_(*this, trace),
      now_(std::move(now)),
      hungTextWindow_(hungTextWindow),
      loggingHangMs_(loggingHangMs),
      logPath_(std::move(logPath)) {
    self_ = this;
    WNDCLASSW wc{};
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpfnWndProc = RelayProc;
    wc.lpszClassName = channel::kRelayClass;
    RegisterClassW(&wc);
    relay_ = CreateWindowExW(0, channel::kRelayClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             wc.hInstance, nullptr);
    // The log is the run's: each Logger32 of it appends.
    if (!logPath_.empty()) {
        HANDLE log = CreateFileW(logPath_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (log != INVALID_HANDLE_VALUE) CloseHandle(log);
    }
    StartSpare();
}

Logger32Window::~Logger32Window() {
    // The trace is written: whatever is left goes at once.
    Kill(running_);
    Kill(spare_);
    for (auto& p : closing_) Kill(p);
    if (relay_ != nullptr) DestroyWindow(relay_);
    self_ = nullptr;
}

void Logger32Window::StartSpare() {
    ++runs_;
    spare_ =
        LaunchPeer(L"linkwell-peer-logger32.exe",
                   std::to_wstring(static_cast<std::uint64_t>(reinterpret_cast<UINT_PTR>(relay_))) +
                       L" \"" + logPath_ + L"\" " + (hungTextWindow_ ? L"1 " : L"0 ") +
                       std::to_wstring(loggingHangMs_) + L" " + std::to_wstring(runs_));
    if (spare_.handle == nullptr) std::cerr << "linkwell-peers: cannot start Logger32\n";
}

void Logger32Window::Start(bool withTextWindow) {
    End();
    main_ = text_ = nullptr;
    if (!PeerReady(spare_)) std::cerr << "linkwell-peers: Logger32 did not start\n";
    if (spare_.control != nullptr) {
        running_ = std::exchange(spare_, PeerProcess{});
        main_ = reinterpret_cast<HWND>(Ask(running_.control, channel::kStart));
        text_ = reinterpret_cast<HWND>(Ask(running_.control, channel::kTextWindow));
        if (holdNextLoggingMs_ > 0) {
            Ask(running_.control, channel::kHoldNextLogging,
                static_cast<WPARAM>(std::exchange(holdNextLoggingMs_, 0)));
        }
    }
    logger32_.Start(withTextWindow, Handle(main_), Handle(text_));
    StartSpare();
}

void Logger32Window::Stop() {
    logger32_.Stop();
    End();
    main_ = text_ = nullptr;
}

void Logger32Window::CloseTextWindow() {
    if (hungTextWindow_ || running_.control == nullptr) return;
    Ask(running_.control, channel::kCloseTextWindow);
    text_ = nullptr;
}

void Logger32Window::RenewTextWindow() {
    if (hungTextWindow_ || running_.control == nullptr || main_ == nullptr) return;
    text_ = reinterpret_cast<HWND>(Ask(running_.control, channel::kNewTextWindow));
    if (text_ != nullptr) logger32_.NewTextWindow(Handle(text_));
}

void Logger32Window::End() {
    if (running_.handle == nullptr) return;
    if (running_.control != nullptr && Ask(running_.control, channel::kHungFor) > 0) {
        // Task Manager's end of a program that does not answer.
        Kill(running_);
        return;
    }
    Close(running_, closing_);
}

void Logger32Window::HoldNextLogging(std::int64_t ms) {
    if (running_.control == nullptr) {
        holdNextLoggingMs_ = ms;
        return;
    }
    Ask(running_.control, channel::kHoldNextLogging, static_cast<WPARAM>(ms));
}

void Logger32Window::Command(Pending what, ULONGLONG until) {
    const ULONGLONG now = GetTickCount64();
    if (running_.control == nullptr || until <= now) return;
    Ask(running_.control, what == kHangCommand ? channel::kHang : channel::kBlock,
        static_cast<WPARAM>(until - now));
}

LRESULT CALLBACK Logger32Window::RelayProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg != WM_COPYDATA || self_ == nullptr) return DefWindowProcW(window, msg, wParam, lParam);
    return self_->OnReport(*reinterpret_cast<const COPYDATASTRUCT*>(lParam));
}

LRESULT Logger32Window::OnReport(const COPYDATASTRUCT& report) {
    switch (report.dwData) {
        case channel::kHello: {
            if (report.cbData != sizeof(channel::Hello)) return 0;
            const auto& hello = *static_cast<const channel::Hello*>(report.lpData);
            if (hello.pid != spare_.pid) return 0;
            spare_.control = reinterpret_cast<HWND>(static_cast<UINT_PTR>(hello.control));
            return 1;
        }
        case channel::kMessage: {
            if (report.cbData != sizeof(channel::Message)) return 0;
            const auto& m = *static_cast<const channel::Message*>(report.lpData);
            activity_.Touch();
            const bool sent = m.sent != FALSE;
            // What the bridge posted here before it sent comes first.
            if (sent) activity_.CatchUp();
            const auto how = !sent ? scenario::Delivery::Posted
                             : m.wParam == logger32::code::kLeaving
                                 ? scenario::Delivery::SentReference
                                 : scenario::Delivery::Sent;
            return logger32_.Receive(m.msg, static_cast<platform::WParam>(m.wParam),
                                     static_cast<platform::LParam>(m.lParam), how)
                       ? 1
                       : 0;
        }
        case channel::kText: {
            activity_.CatchUp();
            const auto* text = static_cast<const wchar_t*>(report.lpData);
            const std::size_t units = report.cbData / sizeof(wchar_t);
            const std::size_t logged = logger32_.Logged().size();
            logger32_.ReceiveText(FromWide({text, units > 0 ? units - 1 : 0}));
            // Taken into the log: the moment, told to the Logger32 that keeps it.
            return logger32_.Logged().size() > logged ? static_cast<LRESULT>(now_() + 1) : 0;
        }
        default: return 0;
    }
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

}  // namespace linkwell::win32::peers
