#include "peers/prober.h"

// clang-format off
#include <windows.h>
#include <ddeml.h>
#include <tlhelp32.h>
#include <psapi.h>
// clang-format on

#include <algorithm>
#include <iostream>
#include <limits>

namespace linkwell::win32::peers {
namespace {

void Raise(std::atomic<std::int64_t>& figure, std::int64_t value) {
    std::int64_t old = figure.load();
    while (value > old && !figure.compare_exchange_weak(old, value)) {
    }
}

// Waits `ms` unless stopped first, serving the thread's windows (a DDE
// client's window is a top-level one: a thread that does not serve it is a
// hung program to every broadcast).
bool Pause(const std::atomic<bool>& stop, DWORD ms) {
    for (DWORD slept = 0; slept < ms && !stop; slept += 10) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
    }
    return !stop;
}

// One WM_GETTEXT, timed, as another program asks a window for its text.
struct Asked {
    ULONGLONG at = 0;
    std::int64_t took = 0;
    bool answered = false;
};

Asked AskForText(HWND window) {
    wchar_t text[256];
    Asked a;
    a.at = GetTickCount64();
    DWORD_PTR got = 0;
    a.answered = SendMessageTimeoutW(window, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text),
                                     SMTO_NORMAL, 10000, &got) != 0;
    a.took = static_cast<std::int64_t>(GetTickCount64() - a.at);
    return a;
}

HDDEDATA CALLBACK NoTransactions(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    return nullptr;
}

}  // namespace

Prober::~Prober() {
    Finish();
}

void Prober::Start(HWND form, DWORD pid, bool broadcasts, ULONGLONG clockStart) {
    finished_ = false;
    clockStart_ = clockStart;
    auto run = [this](auto probe) {
        ++running_;
        return std::thread([this, probe] {
            probe();
            --running_;
        });
    };
    answers_ = run([this, form] { Answers(form); });
    if (broadcasts) broadcasts_ = run([this] { Broadcasts(); });
    process_ = run([this, pid] { Process(pid); });
    yardstick_ = run([this] { Yardstick(); });
}

void Prober::Finish() {
    if (finished_) return;
    finished_ = true;
    stop_ = true;
    // A broadcast reaches the peers' own windows too: serve them until the
    // probes are over.
    while (running_ > 0) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
    }
    for (auto* t : {&answers_, &broadcasts_, &process_, &yardstick_}) {
        if (t->joinable()) t->join();
    }
    std::cerr << "FIGURE longest-unanswered-ms " << longestAnswer_ << '\n'
              << "FIGURE longest-unanswered-at " << longestAnswerAt_ << '\n'
              << "FIGURE longest-yardstick-ms "
              << YardstickBetween(std::numeric_limits<std::int64_t>::min(),
                                  std::numeric_limits<std::int64_t>::max())
              << '\n'
              << "FIGURE yardstick-during-longest-ms "
              << YardstickBetween(longestAnswerAt_, longestAnswerAt_ + longestAnswer_) << '\n'
              << "FIGURE unanswered-probes " << unanswered_ << '\n';
    if (longestBroadcast_ >= 0) {
        std::cerr << "FIGURE longest-broadcast-ms " << longestBroadcast_ << '\n'
                  << "FIGURE longest-dde-connect-ms " << longestDdeConnect_ << '\n';
    }
    std::cerr << "FIGURE max-threads " << threads_ << '\n'
              << "FIGURE end-threads " << endThreads_ << '\n'
              << "FIGURE max-private-kb " << privateKb_ << '\n';
}

void Prober::Answers(HWND form) {
    while (Pause(stop_, 20)) {
        const Asked a = AskForText(form);
        // Once the window is gone the bridge has ended: nothing to measure.
        if (IsWindow(form) == FALSE) break;
        // This thread alone writes the longest answer and its moment.
        if (a.took > longestAnswer_) {
            longestAnswer_ = a.took;
            longestAnswerAt_ = static_cast<std::int64_t>(a.at - clockStart_);
        }
        if (!a.answered) ++unanswered_;
    }
}

// A window that does nothing but answer, on a thread of its own, asked as
// the bridge is: what the machine and Wine alone cost an answer. A
// message-only window, so that no broadcast reaches it.
void Prober::Yardstick() {
    std::atomic<HWND> window{nullptr};
    std::atomic<bool> ready{false};
    std::thread owner([this, &window, &ready] {
        window = CreateWindowExW(0, L"STATIC", L"yardstick", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        ready = true;
        if (window == nullptr) return;
        while (Pause(stop_, 1000)) {
        }
        DestroyWindow(window);
    });
    while (!ready && Pause(stop_, 10)) {
    }
    while (window != nullptr && Pause(stop_, 20)) {
        const Asked a = AskForText(window);
        // Every answer (50 a second, 16 bytes each): the figure must be the
        // slowest that overlapped, not a guess below some threshold.
        const std::lock_guard lock(yardstickMutex_);
        if (yardstickAnswers_.size() < 1'000'000) {
            yardstickAnswers_.push_back({static_cast<std::int64_t>(a.at - clockStart_), a.took});
        }
    }
    owner.join();
}

std::int64_t Prober::YardstickBetween(std::int64_t from, std::int64_t to) {
    const std::lock_guard lock(yardstickMutex_);
    std::int64_t longest = 0;
    for (const auto& a : yardstickAnswers_) {
        if (a.asked <= to && a.asked + a.took >= from) longest = std::max(longest, a.took);
    }
    return longest;
}

// A setting-change broadcast and a DDE connect (to a service nobody offers:
// the initiate goes to every top-level window), as other programs make them.
void Prober::Broadcasts() {
    longestBroadcast_ = 0;
    longestDdeConnect_ = 0;
    DWORD dde = 0;
    if (DdeInitializeW(&dde, NoTransactions, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) {
        dde = 0;
    }
    HSZ service = dde != 0 ? DdeCreateStringHandleW(dde, L"LinkwellProbe", CP_WINUNICODE) : nullptr;
    while (Pause(stop_, 1000)) {
        ULONGLONG asked = GetTickCount64();
        DWORD_PTR got = 0;
        SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0,
                            reinterpret_cast<LPARAM>(L"LinkwellPeers"), SMTO_NORMAL, 10000, &got);
        Raise(longestBroadcast_, static_cast<std::int64_t>(GetTickCount64() - asked));
        if (dde == 0) continue;
        asked = GetTickCount64();
        if (HCONV conv = DdeConnect(dde, service, service, nullptr)) DdeDisconnect(conv);
        Raise(longestDdeConnect_, static_cast<std::int64_t>(GetTickCount64() - asked));
    }
    if (dde != 0) {
        DdeFreeStringHandle(dde, service);
        DdeUninitialize(dde);
    }
}

void Prober::Process(DWORD pid) {
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    do {
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
        if (snapshot != INVALID_HANDLE_VALUE) {
            THREADENTRY32 entry{};
            entry.dwSize = sizeof entry;
            std::int64_t count = 0;
            for (BOOL more = Thread32First(snapshot, &entry); more != FALSE;
                 more = Thread32Next(snapshot, &entry)) {
                if (entry.th32OwnerProcessID == pid) ++count;
            }
            CloseHandle(snapshot);
            Raise(threads_, count);
            endThreads_ = count;
        }
        PROCESS_MEMORY_COUNTERS_EX memory{};
        memory.cb = sizeof memory;
        if (process != nullptr &&
            GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                                 sizeof memory) != FALSE) {
            Raise(privateKb_, static_cast<std::int64_t>(
                                  std::max(memory.PrivateUsage, memory.PagefileUsage) / 1024));
        }
    } while (Pause(stop_, 200));
    if (process != nullptr) CloseHandle(process);
}

}  // namespace linkwell::win32::peers
