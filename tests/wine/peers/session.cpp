#include "peers/session.h"

#include <algorithm>
#include <iostream>
#include <utility>

#include "scenario/dump.h"
#include "text/text.h"
#include "win32/window_classes.h"
#include "win32/wintext.h"

namespace linkwell::win32::peers {
namespace {

// What the peers go on printing after the scenario's last action.
constexpr std::int64_t kSettleMs = 400;
// How often the peers look at the bridge's not-logged.adi.
constexpr ULONGLONG kFilePollMs = 50;

// The tick count `ms` from now (a hang's end).
ULONGLONG TickAfter(std::int64_t ms) {
    return GetTickCount64() + static_cast<ULONGLONG>(std::max<std::int64_t>(ms, 0));
}

}  // namespace

Session::Session(scenario::Scenario scenario, std::wstring bridgeExe, std::wstring bridgeArgs,
                 std::wstring watchDll, std::wstring logger32Log)
    : last_(scenario.actions.empty() ? 0 : scenario.actions.back().time),
      settings_(scenario.peers),
      hangsLogger32_(scenario.peers.logger32LoggingHangMs > 0 ||
                     std::any_of(scenario.actions.begin(), scenario.actions.end(),
                                 [](const scenario::Action& a) {
                                     return a.kind == scenario::ActionKind::Logger32Hang;
                                 })),
      bridgeExe_(std::move(bridgeExe)),
      bridgeArgs_(std::move(bridgeArgs)),
      watchDll_(std::move(watchDll)),
      trace_(std::cout),
      logger32_(
          trace_, activity_, [this] { return Now(); }, scenario.peers.hungLogger32Text,
          scenario.peers.logger32LoggingHangMs, std::move(logger32Log)),
      mixwProcess_(mixw_, activity_, scenario.peers.mixwHungCallOutlives),
      watcher_(trace_, activity_),
      operator_(bridge_, watcher_),
      player_(*this, logger32_.StandIn(), mixw_, scenario::SourceOf(std::move(scenario.actions))),
      broadcasts_(!scenario.peers.hungLogger32Text && !hangsLogger32_),
      measures_(!scenario.wine.limits.empty()) {
    trace_.SetClock([this] { return frozen_ ? *frozen_ : Now(); });
    trace_.SetHandleNames([this](std::int64_t v) { return player_.HandleName(v); });
}

Session::~Session() {
    StopMixW();
}

int Session::Run() {
    // Actions at 0 come before the bridge runs.
    for (const auto* a = player_.Next(); a != nullptr && a->time <= 0; a = player_.Next()) {
        player_.Apply(player_.Take());
    }
    start_ = GetTickCount64();
    if (settings_.instanceNameHeld != scenario::PeerSettings::NameHolder::Nobody) {
        // Held until the peers end; the bridge must refuse to run beside it.
        HANDLE held = settings_.instanceNameHeld == scenario::PeerSettings::NameHolder::Mutex
                          ? CreateMutexW(nullptr, TRUE, kInstanceName)
                          : CreateEventW(nullptr, TRUE, FALSE, kInstanceName);
        if (held == nullptr) {
            std::cerr << "linkwell-peers: cannot hold the instance name\n";
            return 1;
        }
        second_.Start(bridgeExe_, false, bridgeArgs_);
        while (Step()) {
        }
        std::cout << "# end " << last_ << '\n';
        std::cout.flush();
        CloseHandle(held);
        StopMixW();
        return 0;
    }
    // The stand-ins' next processes are launched before the bridge is, so
    // that their launch takes nothing from the bridge's start.
    logger32_.Ready();
    mixwProcess_.Ready();
    const bool crowded = settings_.bridgesAtOnce > 1;
    const bool launched = bridge_.Launch(
        bridgeExe_, bridgeArgs_, watchDll_,
        [&] {
            if (crowded) crowd_.Start(bridgeExe_, bridgeArgs_, settings_.bridgesAtOnce - 1);
        },
        crowded ? BridgeProcess::Successor([this] { return crowd_.Successor(); })
                : BridgeProcess::Successor());
    start_ = bridge_.AppearedAt();
    if (!launched) return 1;
    // Probing loads the bridge (a WM_GETTEXT every 20 ms): only in runs
    // whose scenario sets limits on what it measures.
    if (measures_) prober_.Start(bridge_.Form(), bridge_.Pid(), broadcasts_, start_);
    sampler_.Watch(bridge_.Form(), bridge_.Pid(), start_);
    while (Step()) {
    }
    sampler_.Stop();
    if (measures_) prober_.Finish();
    if (!traceFile_.empty()) ReportTraceFile();
    std::cout << "# end " << last_ << '\n';
    std::cout.flush();
    bridge_.Finish(ended_);
    StopMixW();
    return 0;
}

bool Session::Step() {
    if (ended_) return false;
    {
        for (const auto* next = player_.Next(); next != nullptr && next->time <= Now();
             next = player_.Next()) {
            const scenario::Action a = player_.Take();
            player_.Apply(a);
            // What goes into the bridge runs there at once in the simulated
            // world, before the next action of the same moment.
            const auto* following = player_.Next();
            if (scenario::GoesIntoBridge(a.kind) && following != nullptr &&
                following->time <= a.time) {
                Settle(settleBox_);
            }
            settleBox_ = nullptr;
        }
        BridgeEvents();
        const auto* next = player_.Next();
        if (next == nullptr && Now() >= last_ + kSettleMs) return false;
        const std::int64_t due = next != nullptr ? next->time : last_ + kSettleMs;
        const DWORD wait = static_cast<DWORD>(std::clamp<std::int64_t>(due - Now(), 0, 20));
        // Without a bridge of its own (a run that holds the instance name)
        // the peers wait for their windows' messages alone.
        HANDLE process = bridge_.Process();
        const DWORD count = process != nullptr ? 1 : 0;
        const DWORD r = MsgWaitForMultipleObjects(count, &process, FALSE, wait, QS_ALLINPUT);
        if (count == 1 && r == WAIT_OBJECT_0) {
            activity_.CatchUp();
            // What the bridge wrote on its way out comes before its end.
            if (!settings_.notLoggedUnwatched) notLogged_.Poll(trace_);
            trace_.Line("END", "");
            if (closedAt_) std::cerr << "FIGURE close-ms " << GetTickCount64() - *closedAt_ << '\n';
            if (sessionEndAt_) {
                std::cerr << "FIGURE session-end-ms " << GetTickCount64() - *sessionEndAt_ << '\n';
            }
            ended_ = true;
            return false;
        }
        Pump();
        if (!settings_.notLoggedUnwatched) notLogged_.PollEvery(trace_, kFilePollMs);
    }
    return true;
}

// The field trace is there by its whole name, and begins as a trace does.
void Session::ReportTraceFile() {
    HANDLE f = CreateFileW(traceFile_.c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    char head[16] = {};
    DWORD got = 0;
    if (f != INVALID_HANDLE_VALUE) {
        ReadFile(f, head, sizeof head, &got, nullptr);
        CloseHandle(f);
    }
    const bool traced = std::string_view(head, got).starts_with("0 SESSION ");
    trace_.Line("BRIDGE", "trace-file " + text::Quote(FromWide(traceFile_)) +
                              (traced ? " created" : " absent"));
}

void Session::BridgeEvents() {
    if (settings_.bridgeKillAt && !killed_ && Now() >= *settings_.bridgeKillAt) {
        killed_ = true;
        bridge_.Kill();
        trace_.Line("BRIDGE", "killed");
        if (!bridge_.Launch(bridgeExe_, bridgeArgs_, watchDll_)) {
            std::cerr << "linkwell-peers: the bridge did not start again\n";
            return;
        }
        trace_.Line("BRIDGE", "started");
        sampler_.Watch(bridge_.Form(), bridge_.Pid(), start_);
    }
    if (settings_.textWindowClosedAt && !textWindowClosed_ &&
        Now() >= *settings_.textWindowClosedAt) {
        textWindowClosed_ = true;
        logger32_.CloseTextWindow();
    }
    if (settings_.textWindowRenewedAt && !textWindowRenewed_ &&
        Now() >= *settings_.textWindowRenewedAt) {
        textWindowRenewed_ = true;
        logger32_.RenewTextWindow();
    }
    if (settings_.secondBridgeAt && !secondStarted_ && Now() >= *settings_.secondBridgeAt) {
        secondStarted_ = true;
        second_.Start(bridgeExe_, settings_.secondBridgeTraced);
    }
    second_.Look([this](const std::string& line) { trace_.Line("SECOND", line); });
    crowd_.Look([this](const std::string& line) { trace_.Line("SECOND", line); });
}

// Windows ends the session as it does: WM_QUERYENDSESSION, then
// WM_ENDSESSION(TRUE), each sent with a bound (the peers send them straight
// to the bridge window: wineboot --end-session would end the peers too).
void Session::EndSession() {
    if (!sessionEndAt_) sessionEndAt_ = GetTickCount64();
    HWND form = bridge_.Form();
    WhilePumping([form] {
        DWORD_PTR answer = 0;
        const LRESULT asked =
            SendMessageTimeoutW(form, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 5000, &answer);
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(form, WM_ENDSESSION, asked != 0 && answer != 0 ? TRUE : FALSE, 0,
                            SMTO_NORMAL, 20000, &ignored);
    });
}

void Session::PutNotLogged(const platform::Text& text) {
    notLogged_.Put(text);
}

void Session::LockNotLogged(bool locked) {
    notLogged_.Lock(locked);
}

void Session::HangLogger32(std::int64_t ms, bool /*textWindowOnly*/) {
    const ULONGLONG until = TickAfter(ms);
    if (settings_.logger32HangBlocks) {
        logger32_.Block(until);
    } else {
        logger32_.Hang(until);
    }
    sampler_.Peers(logger32Running_, mixwRunning_, until);
}

// A `mixw stop` during the hang ends the hung MixW2 as Task Manager does:
// the call waiting in it fails at once, its server gone.
void Session::HangMixW(std::int64_t ms) {
    mixwProcess_.Hang(ms);
    sampler_.Peers(logger32Running_, mixwRunning_, TickAfter(ms));
}

void Session::StartMixW() {
    if (mixwRunning_) StopMixW();
    mixwProcess_.Start();
    mixwRunning_ = true;
    sampler_.Peers(logger32Running_, mixwRunning_);
}

void Session::StopMixW() {
    mixwProcess_.Stop();
    if (mixwRunning_) sampler_.MixWGone();
    mixwRunning_ = false;
    sampler_.Peers(logger32Running_, mixwRunning_);
}

// A box the bridge is opening may take Wine a few tens of milliseconds to
// show: OK waits for one a little while, as an operator would.
void Session::PressOk() {
    constexpr ULONGLONG kBoxWaitMs = 500;
    const ULONGLONG limit = GetTickCount64() + kBoxWaitMs;
    HANDLE process = bridge_.Process();
    settleBox_ = operator_.PressOk();
    while (settleBox_ == nullptr && GetTickCount64() < limit) {
        MsgWaitForMultipleObjects(1, &process, FALSE, 5, QS_ALLINPUT);
        Pump();
        settleBox_ = operator_.PressOk();
    }
}

void Session::Dump(const std::vector<std::string>& names) {
    frozen_ = Now();
    scenario::DumpControls(names, operator_, trace_);
    frozen_.reset();
}

platform::WindowHandle Session::Named(std::string_view name) const {
    using window::ControlId;
    HWND h = nullptr;
    if (name == "Linkwell") h = bridge_.Form();
    if (name == "Sent") h = operator_.Control(ControlId::Logger32TextBox);
    if (name == "Cluster") h = operator_.Control(ControlId::ClusterBox);
    if (name == "Logger32") h = logger32_.MainWindow();
    if (name == "Logger32Text") h = logger32_.TextWindow();
    return Handle(h);
}

// The peers wait until the bridge has been quiet towards them for a moment
// (and a closed box is gone).
void Session::Settle(HWND box) {
    constexpr ULONGLONG kQuietMs = 25;
    const ULONGLONG limit = GetTickCount64() + 2000;
    activity_.Touch();
    HANDLE process = bridge_.Process();
    while (GetTickCount64() < limit) {
        Pump();
        const bool boxOpen = box != nullptr && IsWindow(box);
        if (!boxOpen && GetTickCount64() - activity_.Last() >= kQuietMs) break;
        MsgWaitForMultipleObjects(1, &process, FALSE, 5, QS_ALLINPUT);
    }
}

}  // namespace linkwell::win32::peers
