// MixW2's automation object for the Wine tests: registered in the
// running-object table as "MixW2.Application", forwarding each late-bound
// call to the stand-in's object. Stopping revokes it and cuts every proxy
// off, as a closing MixW2 does.
#pragma once

// clang-format off
#include <windows.h>
#include <objbase.h>
#include <oaidl.h>
// clang-format on

#include <functional>
#include <memory>

#include "platform/platform.h"

namespace linkwell::win32::peers {

// The class id the test prefix registers for the ProgID.
inline constexpr CLSID kMixWClsid = {
    0x6a1f3c52, 0x2b7e, 0x4d0a, {0x9c, 0x3b, 0x5e, 0x8d, 0x7f, 0x2a, 0x1b, 0x40}};

class AutomationServer {
public:
    // `beforeCall` runs first in every call from the bridge (the peers
    // catch up with what the bridge posted before it called).
    explicit AutomationServer(std::function<void()> beforeCall)
        : beforeCall_(std::move(beforeCall)) {}
    ~AutomationServer();
    AutomationServer(const AutomationServer&) = delete;
    AutomationServer& operator=(const AutomationServer&) = delete;

    // Serves `object` (one MixW2 run's) until Stop.
    void Start(std::unique_ptr<platform::Automation> object);
    void Stop();
    // No call returns before `until` (GetTickCount64): a call that comes
    // meanwhile runs `whileHung` (the peers go on playing, MixW's DDE server
    // keeps sending) until then.
    void Hang(ULONGLONG until, std::function<void(ULONGLONG)> whileHung);

private:
    std::function<void()> beforeCall_;
    std::shared_ptr<std::function<void()>> hold_;
    IDispatch* object_ = nullptr;
    DWORD cookie_ = 0;
};

}  // namespace linkwell::win32::peers
