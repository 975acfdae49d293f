// One scenario player for both worlds. It takes the actions in time order
// and plays the stand-ins' part of each one itself (Logger32's answers and
// texts, MixW's items and properties); what differs between the worlds
// (starting and stopping the programs, the operator, reading the bridge's
// window) it asks of the world's Stage. When to apply the next action is
// the world's choice: virtual time in one, real time in the other.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "scenario/logger32_standin.h"
#include "scenario/mixw_standin.h"
#include "scenario/scenario.h"
#include "window/controls.h"

namespace linkwell::scenario {

// Gives the scenario's actions one at a time, in time order, and nullopt at
// its end; a long generated run need not be held in memory.
using ActionSource = std::function<std::optional<Action>()>;
[[nodiscard]] ActionSource SourceOf(std::vector<Action> actions);

// What a world does for the actions that are its own.
class Stage {
public:
    virtual ~Stage() = default;
    // Logger32's windows exist from now (and the stand-in is started in them).
    virtual void StartLogger32(bool withTextWindow) = 0;
    virtual void StopLogger32() = 0;
    virtual void StartMixW() = 0;
    virtual void StopMixW() = 0;
    // From now, for `ms` milliseconds, Logger32's window thread takes no
    // sent message (texts, the leaving notice); posts still reach it.
    // With `textWindowOnly`, only its text window (on a thread of its own)
    // takes nothing; the main window answers.
    virtual void HangLogger32(std::int64_t ms, bool textWindowOnly) = 0;
    // The next logging text Logger32 takes while it answers is begun (in its
    // log) and then held `ms` milliseconds inside its handler, the whole
    // thread hung: a Logger32 ended meanwhile may have logged it.
    virtual void HoldNextLogging(std::int64_t ms) = 0;
    // From now, for `ms` milliseconds, no call into MixW2's object returns;
    // its DDE server keeps sending.
    virtual void HangMixW(std::int64_t ms) = 0;
    // The operator.
    virtual void Click(window::ControlId button) = 0;
    virtual void PressOk() = 0;
    virtual void CloseBridge() = 0;
    // Windows ends the session: the bridge gets WM_QUERYENDSESSION and then
    // WM_ENDSESSION.
    virtual void EndSession() = 0;
    // not-logged.adi holds `text`, as an earlier run of the bridge left it.
    virtual void PutNotLogged(const Text& text) = 0;
    // From now another program holds not-logged.adi open without sharing
    // (locked), or no more: while held it cannot be read, written, removed
    // or renamed.
    virtual void LockNotLogged(bool locked) = 0;
    virtual void SetDecimalSeparator(const Text& separator) = 0;
    // The bridge's timers (the watch's too) no longer tick by themselves,
    // only when told to (Tick: the timer in that slot is due now).
    virtual void PaceTicksByScenario() = 0;
    virtual void Tick(int slot) = 0;
    // The datagrams to the --udp address cannot be sent from now (false),
    // or can again; a datagram reaches the bridge's socket. The simulated
    // world only: the Windows peers keep these defaults.
    virtual void SetUdpReachable(bool reachable) { (void)reachable; }
    virtual void ArriveUdp(const std::vector<std::uint8_t>& datagram) { (void)datagram; }
    // Prints CTRL lines (see DumpControls).
    virtual void Dump(const std::vector<std::string>& names) = 0;
    // The window the scenario calls hwnd:NAME (one of kHandleNames), or the
    // null handle while there is none.
    [[nodiscard]] virtual WindowHandle Named(std::string_view name) const = 0;
};

// Actions that make the bridge act at once (a message, a text, a click...).
[[nodiscard]] bool GoesIntoBridge(ActionKind kind);

class Player {
public:
    Player(Stage& stage, Logger32StandIn& logger32, MixWStandIn& mixw, ActionSource source);

    // The action that comes next, or null at the scenario's end.
    [[nodiscard]] const Action* Next();
    // Takes the next action out (there must be one); applying it may run the
    // bridge, which may look ahead again.
    [[nodiscard]] Action Take();
    void Apply(const Action& a);

    // hwnd:NAME for a handle the scenario names, for the trace.
    [[nodiscard]] std::optional<std::string> HandleName(std::int64_t value) const;
    // An lParam as the world knows it: hwnd:NAME resolved now.
    [[nodiscard]] std::int64_t Resolve(const ParamToken& param) const;

private:
    Stage& stage_;
    Logger32StandIn& logger32_;
    MixWStandIn& mixw_;
    ActionSource source_;
    std::optional<Action> next_;
    bool sourceDone_ = false;
};

}  // namespace linkwell::scenario
