// Logger32 for the Wine tests: a process of its own
// (linkwell-peer-logger32.exe, with a top-level window titled "Logger32" and
// its text window), around the portable stand-in that the simulated world
// plays too, which stays here with the trace. The process reports what
// reaches its windows to the player's relay window; the stand-in answers
// through this side's Logger32Port.
//
// Each `logger32 start` is a new process. The next one is started ahead,
// without windows, so that a start costs no process launch in the middle
// of a run. `logger32 stop` closes a Logger32 that answers as a closed
// program ends; a hung one (its windows' thread blocked by `logger32 hang`,
// or inside a logging text) is ended as Task Manager ends it: with
// TerminateProcess, its windows, message queue and the sends waiting for
// them gone at once.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "peers/messages.h"
#include "peers/peer_process.h"
#include "scenario/logger32_standin.h"
#include "scenario/trace.h"

namespace linkwell::win32::peers {

class Logger32Window final : private scenario::Logger32Port {
public:
    // `loggingHangMs` > 0: each logging text is held that long in the text
    // window's handler before it is taken. `now`: the scenario's clock, for
    // the log (`logPath`, empty: none).
    Logger32Window(scenario::Trace& trace, Activity& activity, std::function<std::int64_t()> now,
                   bool hungTextWindow, std::int64_t loggingHangMs, std::wstring logPath);
    ~Logger32Window() override;
    Logger32Window(const Logger32Window&) = delete;
    Logger32Window& operator=(const Logger32Window&) = delete;

    [[nodiscard]] scenario::Logger32StandIn& StandIn() { return logger32_; }
    // Waits until the next Logger32 to start runs (a launch costs the
    // bridge's start no time then).
    void Ready() const { (void)PeerReady(spare_); }
    // A new instance: a new process with new windows.
    void Start(bool withTextWindow);
    void Stop();
    [[nodiscard]] HWND MainWindow() const { return main_; }
    [[nodiscard]] HWND TextWindow() const { return text_; }
    // Takes no sent message until `until` (GetTickCount64).
    void Hang(ULONGLONG until) { Command(kHangCommand, until); }
    // The next logging text is taken (in the log) and then held `ms` inside
    // the handler, the whole thread hung.
    void HoldNextLogging(std::int64_t ms);
    // Takes no message at all until `until`: the thread is blocked outright.
    void Block(ULONGLONG until) { Command(kBlockCommand, until); }
    // Closes the text window while the main window lives on, and later makes
    // a new one, named to the bridge with code 3 (peers
    // logger32-text-window; not with a hung text window).
    void CloseTextWindow();
    void RenewTextWindow();

private:
    enum Pending { kHangCommand, kBlockCommand };

    // Logger32Port
    platform::MessageId Register(const platform::Text& name) override;
    void Post(platform::WindowHandle to, platform::MessageId msg, platform::WParam code,
              platform::LParam value) override;
    void SetTextOf(platform::WindowHandle to, const platform::Text& text) override;

    static LRESULT CALLBACK RelayProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT OnReport(const COPYDATASTRUCT& report);
    void StartSpare();
    void Command(Pending what, ULONGLONG until);
    // Ends the running one: closed when it answers, killed when hung.
    void End();

    static Logger32Window* self_;
    Activity& activity_;
    scenario::Logger32StandIn logger32_;
    std::function<std::int64_t()> now_;
    bool hungTextWindow_;
    std::int64_t loggingHangMs_;
    std::wstring logPath_;
    HWND relay_ = nullptr;
    PeerProcess running_;
    PeerProcess spare_;
    std::vector<PeerProcess> closing_;  // closed, not yet ended
    unsigned long runs_ = 0;
    std::int64_t holdNextLoggingMs_ = 0;  // for a Logger32 not yet started
    HWND main_ = nullptr;
    HWND text_ = nullptr;
};

}  // namespace linkwell::win32::peers
