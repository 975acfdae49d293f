// The chaos run's look at the bridge from outside, as Task Manager's
// columns show it: once a second a WM_NULL to the bridge window, printed
// as `FROZEN MS WAITED` on standard error when the answer took longer than
// 250 ms; once a minute (from 30 s after the bridge appeared) its handles,
// USER and GDI objects, threads and private bytes, printed as
// `RESOURCES MS pid=P handles=H user=U gdi=G threads=T private-kb=K`.
// MS is the scenario's clock. Only when LINKWELL_PEERS_SAMPLE is set.
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

private:
    void Run(HWND form, DWORD pid, ULONGLONG clockStart);

    bool enabled_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace linkwell::win32::peers
