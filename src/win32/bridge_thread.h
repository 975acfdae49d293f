// The bridge's thread and its wait discipline, as one class.
//
// Why the bridge does not simply block in its waits: a thread that takes no
// message for 5 s is "hung" to Windows, and every program that broadcasts
// (a setting change, a DDE initiate) waits for it. Why it does not simply
// pump either: a nested handler of the bridge would run inside the one that
// waits, and with MixW's DDE sending the dial frequency at 20 Hz, nesting
// piles up until the stack overflows. So while the bridge waits (a start-up
// wait, a call into MixW2, a send to Logger32, a DDE transaction) the thread
// serves its messages (paint, sends from other threads, input) and hands
// the bridge's own events to its queue, run in order once the handler that
// waited is over. The simulated world keeps the same rule under the same
// names.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>

namespace linkwell::win32 {

class BridgeThread {
public:
    // The bridge waits while one of these lives: its events are held.
    class Wait {
    public:
        explicit Wait(BridgeThread& thread) : thread_(thread) { ++thread_.busy_; }
        ~Wait() { --thread_.busy_; }
        Wait(const Wait&) = delete;
        Wait& operator=(const Wait&) = delete;

    private:
        BridgeThread& thread_;
    };

    // The one way an event reaches the bridge: now, or once the handler
    // that waits is over.
    void IntoBridge(std::function<void()> event);
    // Runs what was held, once nothing waits any more.
    void RunDeferred();
    [[nodiscard]] bool Busy() const { return busy_ > 0; }
    // In a wait whose window still answers a close at once (the start-up
    // waits; a send or a call does not).
    [[nodiscard]] bool CloseAnsweredAtOnce() const { return closeAnsweredAtOnce_; }

    // A start-up wait of `ms`: the window stays alive, a close runs at once.
    void StartupWait(int ms);
    // A modal box: the bridge's messages are handled while it is open,
    // those held from a wait first. `show` opens it and returns at OK.
    void Modal(const std::function<void()>& show);
    // Serves the thread's messages for up to `ms` (never more than 100 ms
    // without looking), until `done` (may be null) is signalled. True when
    // it was.
    bool PumpFor(DWORD ms, HANDLE done);
    // The message loop; returns the exit code. Only WM_QUIT ends it.
    int Run();

private:
    static void DispatchOne(MSG& msg);

    int busy_ = 0;
    bool closeAnsweredAtOnce_ = false;
    bool quitSeen_ = false;
    int exitCode_ = 0;
    std::deque<std::function<void()>> deferred_;
};

}  // namespace linkwell::win32
