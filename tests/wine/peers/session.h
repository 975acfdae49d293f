// One run of the peers against the real linkwell.exe, in real time: the
// scenario player's stage in the Windows world. It wires Logger32 and MixW2
// (each a process of its own), the watcher, the launcher and the operator, applies each action when
// its time comes, and prints the trace with the milliseconds since the bridge window appeared.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "peers/bridge_sampler.h"
#include "peers/crowd.h"
#include "peers/launcher.h"
#include "peers/logger32_window.h"
#include "peers/messages.h"
#include "peers/mixw_process.h"
#include "peers/not_logged.h"
#include "peers/operator.h"
#include "peers/prober.h"
#include "peers/watcher.h"
#include "scenario/mixw_standin.h"
#include "scenario/player.h"
#include "scenario/scenario.h"
#include "scenario/trace.h"

namespace linkwell::win32::peers {

class Session final : private scenario::Stage {
public:
    // `bridgeArgs`: " ARG ..." for the bridge's command line; `logger32Log`:
    // the file of Logger32's log (empty: none).
    Session(scenario::Scenario scenario, std::wstring bridgeExe, std::wstring bridgeArgs,
            std::wstring watchDll, std::wstring logger32Log);
    ~Session() override;

    // 0 when the scenario ran to its end, 1 when the bridge could not be started.
    int Run();
    // The bridge's field trace goes to `path`: at the end of the run the
    // trace says whether it is there, by that very name (`BRIDGE trace-file
    // "PATH" created` or `absent`).
    void WatchTraceFile(std::wstring path) { traceFile_ = std::move(path); }

private:
    // Stage
    void StartLogger32(bool withTextWindow) override {
        logger32_.Start(withTextWindow);
        logger32Running_ = true;
        sampler_.Peers(logger32Running_, mixwRunning_);
    }
    void StopLogger32() override {
        logger32_.Stop();
        logger32Running_ = false;
        sampler_.Peers(logger32Running_, mixwRunning_);
    }
    void HoldNextLogging(std::int64_t ms) override { logger32_.HoldNextLogging(ms); }
    void StartMixW() override;
    void StopMixW() override;
    // The peers' Logger32 hangs its text window alone by the setting
    // logger32-text=hung; a hang of the text window alone for a time (in a
    // replay's scenario) hangs all of it here.
    void HangLogger32(std::int64_t ms, bool textWindowOnly) override;
    void HangMixW(std::int64_t ms) override;
    void Click(window::ControlId button) override { operator_.Click(button); }
    void PressOk() override;
    void CloseBridge() override {
        if (!closedAt_) closedAt_ = GetTickCount64();
        operator_.Close();
    }
    void EndSession() override;
    void PutNotLogged(const platform::Text& text) override;
    void LockNotLogged(bool locked) override;
    void SetDecimalSeparator(const platform::Text& separator) override {
        operator_.SetDecimalSeparator(separator);
    }
    void Dump(const std::vector<std::string>& names) override;
    // The real bridge's timers keep their own time: a scenario that paces
    // them (a replay of a field trace) is for the simulated world only.
    void PaceTicksByScenario() override {}
    void Tick(int) override {}
    [[nodiscard]] platform::WindowHandle Named(std::string_view name) const override;

    [[nodiscard]] std::int64_t Now() const {
        return static_cast<std::int64_t>(GetTickCount64() - start_);
    }
    void Settle(HWND box);
    // One turn of the run: the actions that are due, then up to 20 ms of
    // serving the peers' windows. False once the run is over.
    bool Step();

    // The bridge killed and started again, a second copy, Logger32's text
    // window closed and made anew: when the scenario's peer settings say so.
    void BridgeEvents();
    void ReportTraceFile();

    std::int64_t last_;
    scenario::PeerSettings settings_;
    bool hangsLogger32_;  // Logger32's windows hang in this run
    std::wstring bridgeExe_;
    std::wstring bridgeArgs_;
    std::wstring watchDll_;
    scenario::Trace trace_;
    Activity activity_;
    Logger32Window logger32_;
    scenario::MixWStandIn mixw_{trace_};
    MixWProcess mixwProcess_;
    Watcher watcher_;
    BridgeProcess bridge_;
    Operator operator_;
    scenario::Player player_;
    ULONGLONG start_ = GetTickCount64();
    std::optional<std::int64_t> frozen_;  // one time for all lines of a dump
    bool ended_ = false;
    bool mixwRunning_ = false;
    bool logger32Running_ = false;
    HWND settleBox_ = nullptr;
    bool broadcasts_;  // no peer's window hangs in this run
    bool measures_;    // the scenario sets limits: the prober runs
    Prober prober_;
    BridgeSampler sampler_;                  // the chaos run's look from outside
    std::optional<ULONGLONG> closedAt_;      // the operator's first close
    std::optional<ULONGLONG> sessionEndAt_;  // Windows' first end of the session
    NotLoggedFile notLogged_;
    bool killed_ = false;
    SecondCopy second_;
    Crowd crowd_;
    bool secondStarted_ = false;
    std::wstring traceFile_;
    bool textWindowClosed_ = false;
    bool textWindowRenewed_ = false;
};

}  // namespace linkwell::win32::peers
