// Logger32 for the Wine tests: a top-level window titled "Logger32" and its
// text window, around the portable stand-in that the simulated world plays
// too. With a hung text window (peers logger32-text=hung) the text window
// stops answering on the first text it gets, on a thread of its own.
//
// A run that hangs Logger32 (`logger32 hang MS`) gives its windows a thread
// of their own, as Logger32's are: while hung, that thread takes no sent
// message (the first one waits there until the hang is over; later ones
// queue behind it) while posts still reach the windows; what reaches them
// is handed to the peers' thread, where the stand-in and the trace live.
// `logger32 stop` while that thread hangs ends it, as Task Manager ends a
// hung program: its windows and message queue vanish, and a send waiting
// for them returns.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>

#include "peers/messages.h"
#include "scenario/logger32_standin.h"
#include "scenario/trace.h"

namespace linkwell::win32::peers {

class Logger32Window final : private scenario::Logger32Port {
public:
    // `loggingHangMs` > 0: each logging text is held that long in the text
    // window's handler (needs `ownThread`).
    Logger32Window(scenario::Trace& trace, Activity& activity, bool hungTextWindow, bool ownThread,
                   std::int64_t loggingHangMs = 0);
    ~Logger32Window() override;
    Logger32Window(const Logger32Window&) = delete;
    Logger32Window& operator=(const Logger32Window&) = delete;

    [[nodiscard]] scenario::Logger32StandIn& StandIn() { return logger32_; }
    // A new instance in new windows.
    void Start(bool withTextWindow);
    // The windows are gone. A hung Logger32 is ended as Task Manager ends
    // it: its windows' thread ends where it hangs, and they go with it.
    void Stop();
    [[nodiscard]] HWND MainWindow() const { return main_; }
    [[nodiscard]] HWND TextWindow() const { return text_; }
    // Takes no sent message until `until` (GetTickCount64); needs its own thread.
    void Hang(ULONGLONG until) { hungUntil_ = until; }
    // The next logging text is taken (in the log) and then held `ms` inside
    // the handler, the whole thread hung; needs its own thread.
    void HoldNextLogging(std::int64_t ms) { holdNextLoggingMs_ = ms; }
    // Takes no message at all until `until`: the thread is blocked outright.
    void Block(ULONGLONG until);
    // Closes the text window while the main window lives on, and later makes
    // a new one, named to the bridge with code 3 (peers
    // logger32-text-window; not with a hung text window).
    void CloseTextWindow();
    void RenewTextWindow();

private:
    // Logger32Port
    platform::MessageId Register(const platform::Text& name) override;
    void Post(platform::WindowHandle to, platform::MessageId msg, platform::WParam code,
              platform::LParam value) override;
    void SetTextOf(platform::WindowHandle to, const platform::Text& text) override;

    static LRESULT CALLBACK MainProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK TextProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK HungTextProc(HWND, UINT, WPARAM, LPARAM);
    [[nodiscard]] static HWND HungTextWindow();
    void DestroyWindows();
    // The windows' own thread, with its control window.
    void StartThread();
    static LRESULT CALLBACK RunProc(HWND, UINT, WPARAM, LPARAM);
    void OnOwnThread(const std::function<void()>& f) const;
    void OnPeersThread(const std::function<void()>& f) const;
    // On the windows' thread, when a message was sent: the hang first, then
    // what was posted before it (the trace keeps the bridge's order).
    void BeforeSent();
    static void TakePostsBefore(HWND window);
    [[nodiscard]] static bool IsPostBeingDispatched(HWND window, UINT msg, WPARAM wParam,
                                                    LPARAM lParam);

    static Logger32Window* self_;
    Activity& activity_;
    scenario::Logger32StandIn logger32_;
    bool hungTextWindow_;
    HWND main_ = nullptr;
    HWND text_ = nullptr;
    bool ownThread_;
    HWND control_ = nullptr;  // runs the peers' requests on the windows' thread
    HWND relay_ = nullptr;    // runs the windows' on the peers' thread
    DWORD threadId_ = 0;
    HANDLE thread_ = nullptr;
    std::int64_t loggingHangMs_;
    std::atomic<ULONGLONG> hungUntil_{0};
    std::atomic<std::int64_t> holdNextLoggingMs_{0};
    std::atomic<bool> ending_{false};  // the hung thread is to end
};

}  // namespace linkwell::win32::peers
