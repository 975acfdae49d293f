#include "peers/bridge_sampler.h"

// clang-format off
#include <windows.h>
#include <tlhelp32.h>
#include <psapi.h>
// clang-format on

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "peers/handle_table.h"
#include "station/status.h"
#include "win32/control_ids.h"

namespace linkwell::win32::peers {
namespace {

constexpr ULONGLONG kProbeEveryMs = 1'000;
constexpr ULONGLONG kAnswerWithinMs = 250;
constexpr ULONGLONG kFirstSampleMs = 30'000;
constexpr ULONGLONG kSampleEveryMs = 10'000;
// How long the bridge takes to have linked both peers again, and let go of
// what it waited with (a new MixW2 is attached within a second, a Logger32
// within its handshake's few seconds).
constexpr ULONGLONG kSettleMs = 8'000;

long long Threads(DWORD pid) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    long long count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more != FALSE;
         more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == pid) ++count;
    }
    CloseHandle(snapshot);
    return count;
}

// Wine answers GetProcessHandleCount with 0: the bridge's entries in the
// system's handle table are counted instead.
unsigned long HandlesInTable(DWORD pid) {
    const auto byType = HandlesByType(pid);
    unsigned long count = 0;
    if (byType) {
        for (const auto& [type, n] : *byType) count += n;
    }
    return count;
}

// Wine gives no USER object count either: the bridge's windows (top-level
// and their children) are the USER objects that could pile up.
struct WindowCount {
    DWORD pid;
    unsigned long count;
};

BOOL CALLBACK CountChild(HWND, LPARAM l) {
    ++reinterpret_cast<WindowCount*>(l)->count;
    return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND window, LPARAM l) {
    auto* c = reinterpret_cast<WindowCount*>(l);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != c->pid) return TRUE;
    ++c->count;
    EnumChildWindows(window, CountChild, l);
    return TRUE;
}

unsigned long Windows(DWORD pid) {
    WindowCount c{pid, 0};
    EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&c));
    return c.count;
}

// Which program the bridge's status line says holds the rig, as
// `at-work=`: the bridge at work is in one of two steady states (with the
// rig at Logger32 it calls MixW2 less, and Wine lets two of its threads go).
const char* AtWork(HWND status) {
    wchar_t text[64] = {};
    DWORD_PTR got = 0;
    if (status == nullptr ||
        SendMessageTimeoutW(status, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(text),
                            SMTO_ABORTIFHUNG, 200, &got) == 0) {
        return "-";
    }
    const std::u16string_view shown(reinterpret_cast<const char16_t*>(text), got);
    if (shown == station::kMixWActive) return "mixw";
    if (shown == station::kLogger32Active) return "logger32";
    return "-";
}

void Sample(HANDLE process, DWORD pid, long long at, bool settled, const char* atWork,
            unsigned long mixwGone) {
    DWORD handles = 0;
    GetProcessHandleCount(process, &handles);
    if (handles == 0) handles = HandlesInTable(pid);
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                         sizeof memory);
    // Wine may give 0 for another process's PrivateUsage: the pagefile
    // usage stands in then.
    const auto privateKb = std::max(memory.PrivateUsage, memory.PagefileUsage) / 1024;
    std::fprintf(stderr,
                 "RESOURCES %lld pid=%lu handles=%lu user=%lu gdi=%lu windows=%lu threads=%lld "
                 "private-kb=%llu settled=%d at-work=%s mixw-gone=%lu\n",
                 at, static_cast<unsigned long>(pid), static_cast<unsigned long>(handles),
                 static_cast<unsigned long>(GetGuiResources(process, GR_USEROBJECTS)),
                 static_cast<unsigned long>(GetGuiResources(process, GR_GDIOBJECTS)), Windows(pid),
                 Threads(pid), static_cast<unsigned long long>(privateKb), settled ? 1 : 0, atWork,
                 mixwGone);
    std::fflush(stderr);
}

}  // namespace

BridgeSampler::BridgeSampler() : enabled_(std::getenv("LINKWELL_PEERS_SAMPLE") != nullptr) {}

BridgeSampler::~BridgeSampler() {
    Stop();
}

void BridgeSampler::Peers(bool logger32Runs, bool mixwRuns, ULONGLONG hungUntil) {
    bothRun_ = logger32Runs && mixwRuns;
    UnsettledUntil(std::max(GetTickCount64(), hungUntil));
}

// Both the player's thread and the sampler's move it, only ever later.
void BridgeSampler::UnsettledUntil(ULONGLONG tick) {
    const ULONGLONG from = tick + kSettleMs;
    ULONGLONG old = settledFrom_.load();
    while (from > old && !settledFrom_.compare_exchange_weak(old, from)) {
    }
}

void BridgeSampler::Watch(HWND form, DWORD pid, ULONGLONG clockStart) {
    if (!enabled_) return;
    Stop();
    // A new bridge has seen no MixW2 go, and links both peers afresh.
    mixwGone_ = 0;
    UnsettledUntil(GetTickCount64());
    stop_ = false;
    thread_ = std::thread([this, form, pid, clockStart] { Run(form, pid, clockStart); });
}

void BridgeSampler::Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

void BridgeSampler::Run(HWND form, DWORD pid, ULONGLONG clockStart) {
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    const ULONGLONG watched = GetTickCount64();
    ULONGLONG nextSample = watched + kFirstSampleMs;
    HWND status = GetDlgItem(form, ControlDlgId(window::ControlId::StatusLine));
    const char* atWork = "-";
    while (!stop_) {
        const ULONGLONG asked = GetTickCount64();
        DWORD_PTR got = 0;
        SendMessageTimeoutW(form, WM_NULL, 0, 0, SMTO_NORMAL, 10'000, &got);
        // Once the window is gone the bridge has ended: nothing to measure.
        if (IsWindow(form) == FALSE) break;
        const ULONGLONG waited = GetTickCount64() - asked;
        if (waited > kAnswerWithinMs) {
            std::fprintf(stderr, "FROZEN %lld %llu\n", static_cast<long long>(asked - clockStart),
                         waited);
            std::fflush(stderr);
        }
        // A change of the bridge's state settles as a peer's change does.
        if (const char* now = AtWork(status); std::string_view(now) != atWork) {
            atWork = now;
            UnsettledUntil(GetTickCount64());
        }
        if (process != nullptr && GetTickCount64() >= nextSample) {
            const ULONGLONG now = GetTickCount64();
            Sample(process, pid, static_cast<long long>(now - clockStart),
                   bothRun_ && now >= settledFrom_ && std::string_view(atWork) != "-", atWork,
                   mixwGone_);
            nextSample += kSampleEveryMs;
        }
        for (ULONGLONG slept = GetTickCount64() - asked; slept < kProbeEveryMs && !stop_;
             slept = GetTickCount64() - asked) {
            Sleep(10);
        }
    }
    if (process != nullptr) CloseHandle(process);
}

}  // namespace linkwell::win32::peers
