// Another program beside the bridge, measuring it from outside while a
// scenario runs: how long the bridge's window takes to answer WM_GETTEXT
// (every 20 ms), and as a yardstick how long a window of the prober's own
// takes meanwhile (a slow answer from both is the machine's, not the
// bridge's); and, when asked, a setting-change broadcast and a DDE
// connect (every second); how many threads and how much private memory the bridge's process
// has (every 200 ms), the most and, as `end-threads`, at the last look. The
// figures go to standard error as "FIGURE NAME VALUE" lines once the run is
// over.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace linkwell::win32::peers {

class Prober {
public:
    Prober() = default;
    ~Prober();
    Prober(const Prober&) = delete;
    Prober& operator=(const Prober&) = delete;

    // `broadcasts`: also time a broadcast send now and then (only when no
    // window of the peers hangs, or the broadcast waits for that one).
    // `clockStart`: the tick count of the scenario's 0.
    void Start(HWND form, DWORD pid, bool broadcasts, ULONGLONG clockStart);
    // Stops measuring and prints the figures.
    void Finish();

private:
    void Answers(HWND form);
    void Broadcasts();
    void Process(DWORD pid);
    void Yardstick();
    // The yardstick's slowest answer whose wait overlapped [from, to]
    // (the scenario's ms).
    [[nodiscard]] std::int64_t YardstickBetween(std::int64_t from, std::int64_t to);

    std::atomic<bool> stop_{false};
    std::atomic<int> running_{0};
    std::thread answers_;
    std::thread broadcasts_;
    std::thread process_;
    std::thread yardstick_;
    std::atomic<std::int64_t> longestAnswer_{0};
    std::atomic<std::int64_t> longestAnswerAt_{0};  // the scenario's ms it was asked at
    ULONGLONG clockStart_ = 0;
    struct Answer {
        std::int64_t asked = 0;  // the scenario's ms
        std::int64_t took = 0;
    };
    std::mutex yardstickMutex_;
    std::vector<Answer> yardstickAnswers_;
    std::atomic<std::int64_t> longestBroadcast_{-1};
    std::atomic<std::int64_t> longestDdeConnect_{-1};
    std::atomic<std::int64_t> unanswered_{0};  // probes that got no answer
    std::atomic<std::int64_t> threads_{0};
    std::atomic<std::int64_t> endThreads_{0};  // at the last look
    std::atomic<std::int64_t> privateKb_{0};
    bool finished_ = true;
};

}  // namespace linkwell::win32::peers
