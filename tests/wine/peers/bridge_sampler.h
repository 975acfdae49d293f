// The chaos run's look at the bridge from outside, as Task Manager's
// columns show it: once a second a WM_NULL to the bridge window, printed
// as `FROZEN MS WAITED` on standard error when the answer took longer than
// 250 ms; once a minute (from 30 s after the bridge appeared) its handles,
// USER and GDI objects, threads and private bytes, printed as
// `RESOURCES MS pid=P handles=H user=U gdi=G windows=W threads=T
// private-kb=K settled=S at-work=R mixw-gone=N`. MS is the scenario's
// clock. R is the program the bridge's status line says holds the rig
// (`mixw`, `logger32`, or `-` when it says something else). S is 1 when
// both peers have run, neither hung, and R has stayed the same and not `-`
// for the last 8 s: what the bridge holds then is a steady state, not a
// wait. N counts the MixW2 processes ended since this bridge started. Only
// when LINKWELL_PEERS_SAMPLE is set.
#pragma once

#include <windows.h>

#include <atomic>
#include <thread>

namespace linkwell::win32::peers {

class BridgeSampler {
public:
    BridgeSampler();
    ~BridgeSampler();
    BridgeSampler(const BridgeSampler&) = delete;
    BridgeSampler& operator=(const BridgeSampler&) = delete;

    // Samples this bridge from now (a bridge started again replaces the
    // one before); `clockStart` is the tick count of the scenario's 0.
    void Watch(HWND form, DWORD pid, ULONGLONG clockStart);
    void Stop();

    // What the peers are doing, as the player changes it: whether each runs,
    // and the end of a hang of either (0 for none).
    void Peers(bool logger32Runs, bool mixwRuns, ULONGLONG hungUntil = 0);
    void MixWGone() { ++mixwGone_; }

private:
    void Run(HWND form, DWORD pid, ULONGLONG clockStart);
    void UnsettledUntil(ULONGLONG tick);

    bool enabled_;
    std::atomic<bool> bothRun_{false};
    std::atomic<ULONGLONG> settledFrom_{0};  // tick count
    std::atomic<unsigned long> mixwGone_{0};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace linkwell::win32::peers
