// The simulated world: one thread, a virtual clock and an event queue that
// reproduce the window system's event model deterministically, with
// stand-ins for Logger32, MixW2 and the operator driven by a scenario.
//
// The rules it keeps:
//  - at a time T the scenario's actions are applied before any bridge event
//    due at T; then messages posted to the bridge, in order; then due timer
//    ticks, earliest first;
//  - something sent into the bridge (a text, a DDE value, the operator's
//    input) is handled at once while the bridge's thread handles messages,
//    and when it next does so while it sleeps;
//  - a message box dispatches nested until the operator presses OK; while
//    it is open the bridge window takes no clicks and cannot be closed;
//  - ending the program stops it at once from any depth.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "bridge/bridge.h"
#include "field_trace/recorder.h"
#include "platform/platform.h"
#include "scenario/dump.h"
#include "scenario/logger32_standin.h"
#include "scenario/mixw_standin.h"
#include "scenario/player.h"
#include "scenario/scenario.h"
#include "scenario/trace.h"
#include "window/form.h"

namespace linkwell::sim {

using platform::LParam;
using platform::LResult;
using platform::MessageId;
using platform::Text;
using platform::WindowHandle;
using platform::WindowProc;
using platform::WParam;
using scenario::Action;
using scenario::ActionKind;
using scenario::ActionSource;
using scenario::Logger32Port;
using scenario::Logger32StandIn;
using scenario::MixWStandIn;
using scenario::ParamToken;
using scenario::Trace;

// Fixed handles of the simulated windows.
inline constexpr std::uint64_t kBridgeWindow = 0x10010;
inline constexpr std::uint64_t kAboutWindow = 0x10020;
inline constexpr std::uint64_t kFirstControl = 0x10100;
inline constexpr std::uint64_t kLogger32Base = 0x20000;

// The world asks the scenario for its next action only when it needs to look
// at it, so a long generated run need not be held in memory.
class World final : public platform::Platform,
                    public window::FormView,
                    private Logger32Port,
                    private scenario::Stage,
                    private scenario::ControlReader {
public:
    // With `fieldTrace`, a field-trace recorder stands between the bridge
    // and this world and writes to it, in this world's virtual time.
    World(std::vector<Action> actions, std::ostream& out,
          field_trace::Output* fieldTrace = nullptr);
    World(ActionSource source, std::ostream& out, field_trace::Output* fieldTrace = nullptr);
    ~World() override;

    // Runs the scenario to its end; true when the bridge ended on the way.
    bool Run();

    [[nodiscard]] Bridge& TheBridge() { return *bridge_; }
    // Sees every text the bridge sends into a window, as the bridge hands it
    // over: before the conversion to the ANSI code page, and also when the
    // window is gone and the text is lost.
    void OnSendText(std::function<void(WindowHandle, const Text&)> observer) {
        onSendText_ = std::move(observer);
    }
    [[nodiscard]] std::int64_t Now() const { return now_; }
    // Before Run: the bridge runs as with --udp ADDRESS (a scenario's `udp`
    // line). Each datagram it sends is a UDP line of the trace.
    void AnnounceOnUdp(const platform::UdpAddress& to);

    // --- Platform ----------------------------------------------------------
    WindowHandle FindWindowByTitle(const Text& title) override;
    MessageId RegisterMessage(const Text& name) override;
    platform::Delivery PostMessage(WindowHandle to, MessageId msg, WParam code,
                                   LParam value) override;
    platform::Delivery SendMessageWithReference(WindowHandle to, MessageId msg,
                                                WParam code) override;
    platform::Delivery SendText(WindowHandle to, const Text& text) override;
    std::uint32_t ProcessOf(WindowHandle window) override;
    WindowProc SetWindowProc(WindowHandle window, WindowProc proc) override;
    LResult CallWindowProc(WindowProc proc, WindowHandle window, MessageId msg, WParam wParam,
                           LParam lParam) override;
    WindowProc HookProcedure() override { return kHookProc; }
    void MakeTopmost(WindowHandle window) override;
    void Sleep(int milliseconds) override;
    void MessageBox(const Text& text, const Text& title) override;
    [[noreturn]] void EndProgram() override;
    void StartTimer(int slot, int intervalMs) override;
    void StopTimer(int slot) override;
    std::unique_ptr<platform::Automation> GetActiveObject(const Text& progId) override;
    platform::LinkStatus ActivateLink(const platform::LinkTarget& link) override;
    bool LinksConnected() override { return mixw_.LinksConnected(); }
    void CloseLinks() override {
        mixw_.DropLinks();
        conversations_.clear();
    }
    Text DecimalSeparator() override { return decimal_; }
    // The simulated day is fixed, so that traces do not depend on the date.
    Text UtcDate() override { return u"20261209"; }
    Text NotLoggedPath() override;
    std::optional<Text> ReadNotLogged() override {
        return NotLoggedHeld() ? std::nullopt : notLogged_;
    }
    bool NotLoggedThere() override { return notLogged_.has_value(); }
    // Written at once: the simulated world's writes are never Pending.
    platform::FileWrite WriteNotLogged(const platform::NotLoggedText& content) override {
        return WriteNotLoggedText(content.Whole()) ? platform::FileWrite::Done
                                                   : platform::FileWrite::Failed;
    }
    bool FinishNotLoggedWrite() override { return true; }
    void RunAside(const std::function<void()>& work) override { work(); }
    std::optional<Text> MoveNotLoggedAside() override;
    Text UnsavedPath() override;
    std::optional<Text> ReadUnsaved() override { return unsaved_; }
    bool WriteUnsaved(const Text& content) override;
    bool OpenUdp(const platform::UdpAddress& to) override;
    bool SendUdp(const std::vector<std::uint8_t>& datagram) override;
    std::optional<std::vector<std::uint8_t>> ReceiveUdp() override;
    void CloseUdp() override { udpOpen_ = false; }
    // The simulated not-logged.adi; nullopt while there is none.
    [[nodiscard]] const std::optional<Text>& NotLogged() const { return notLogged_; }
    // not-logged-unsaved.adi, and the files moved aside (name -> text).
    [[nodiscard]] const std::optional<Text>& Unsaved() const { return unsaved_; }
    // not-logged-unsaved.adi as an earlier run's end left it (a later run).
    void LeaveUnsaved(const Text& text) { unsaved_ = text; }
    [[nodiscard]] const std::map<std::string, Text>& MovedAside() const { return movedAside_; }
    // A folder that cannot be written, from now.
    void MakeNotLoggedUnwritable() { notLoggedWritable_ = false; }
    [[nodiscard]] const Logger32StandIn& Logger32() const { return logger32_; }
    // The bridge is hearing how a send past its bound ended: texts it sends
    // now waited their turn behind it.
    [[nodiscard]] bool EndingSend() const { return endingSend_; }

    // --- FormView ----------------------------------------------------------
    WindowHandle HandleOf(window::WindowId window) override;
    WindowHandle HandleOf(window::ControlId control) override;
    void ControlChanged(window::ControlId control) override;
    void WindowChanged(window::WindowId) override {}

private:
    static constexpr WindowProc kFormProc{1};
    static constexpr WindowProc kHookProc{2};
    static constexpr MessageId kWmClose = 0x0010;
    static constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();

    struct TimerState {
        bool running = false;
        int interval = 0;
        std::int64_t due = 0;
        std::uint64_t order = 0;
    };

    // Logger32Port
    MessageId Register(const Text& name) override { return RegisterMessage(name); }
    void Post(WindowHandle to, MessageId msg, WParam code, LParam value) override;
    void SetTextOf(WindowHandle to, const Text& text) override;

    // Stage: the programs and the operator in this world.
    void StartLogger32(bool withTextWindow) override;
    void StopLogger32() override;
    void StartMixW() override { mixw_.Start(); }
    void StopMixW() override;
    void HangLogger32(std::int64_t ms, bool textWindowOnly) override {
        if (textWindowOnly) {
            textWindowHungUntil_ = now_ + ms;
            return;
        }
        if (now_ >= logger32HungUntil_) logger32HangStart_ = now_;
        logger32HungUntil_ = now_ + ms;
    }
    void HoldNextLogging(std::int64_t ms) override { holdNextLoggingMs_ = ms; }
    void HangMixW(std::int64_t ms) override { mixwHungUntil_ = now_ + ms; }
    void Click(window::ControlId button) override;
    void PressOk() override;
    void CloseBridge() override;
    void EndSession() override;
    void PutNotLogged(const Text& text) override { notLogged_ = text; }
    void LockNotLogged(bool locked) override { notLoggedLocked_ = locked; }
    void SetUdpReachable(bool reachable) override { udpReachable_ = reachable; }
    void ArriveUdp(const std::vector<std::uint8_t>& datagram) override {
        if (udpOpen_) udpArrived_.push_back(datagram);
    }
    void PaceTicksByScenario() override;
    void Tick(int slot) override;
    void SetDecimalSeparator(const Text& separator) override { decimal_ = separator; }
    void Dump(const std::vector<std::string>& names) override {
        scenario::DumpControls(names, *this, trace_);
    }
    [[nodiscard]] WindowHandle Named(std::string_view name) const override;

    // ControlReader: the window model as the bridge left it.
    [[nodiscard]] std::optional<scenario::ControlLook> LookAt(window::ControlId id) override;
    [[nodiscard]] scenario::WindowLook LookAt(window::WindowId window) override;

    void Pump(const std::function<bool()>& done);
    // The bridge's thread waits for `ms`, in a send, a call or a start-up
    // wait: nothing of the bridge runs meanwhile and what arrives for it
    // waits (a close too, unless the wait answers it at once). A wait for
    // a peer's window ends early once `over` holds (the window died).
    void WaitInCall(std::int64_t ms, const std::function<bool()>& over = {});
    // Logger32's window of `instance` is gone: a send waiting on it returns.
    [[nodiscard]] bool Logger32Ended(std::uint64_t instance) const {
        return !logger32_.Running() || logger32Instance_ != instance;
    }
    // The leaving notice to Logger32's window thread, bounded; runs
    // `deliver` once taken.
    platform::Delivery SendToLogger32(const std::function<void()>& deliver);
    // A text from the sender: waits at most the bound, then goes on without
    // the bridge until Logger32 wakes or is ended.
    platform::Delivery SendTextToLogger32(const Text& text);
    // Logger32 woke with a text pending: it takes it, and the bridge hears.
    void FinishPendingText();
    platform::Delivery HoldLogging(const Text& text);
    void EndSend(platform::Delivery result);
    [[nodiscard]] bool TakenForHung() const;
    // Before a DDE conversation is made: false when a program did not answer.
    bool ConnectProbeAnswers();
    // Whether a call into MixW2's object returns within its bound.
    bool MixWCallReturns();
    void ApplyNextAction();
    // Runs `event` in the bridge now, or when it next handles messages.
    void IntoBridge(std::function<void()> event);
    LResult DispatchToBridgeWindow(MessageId msg, WParam wParam, LParam lParam);
    LResult FormProc(MessageId msg);
    [[nodiscard]] std::optional<window::ControlId> ControlOf(WindowHandle h) const;

    std::function<void(WindowHandle, const Text&)> onSendText_;
    std::int64_t now_ = 0;
    Trace trace_;
    Logger32StandIn logger32_;
    MixWStandIn mixw_;
    scenario::Player player_;
    std::unique_ptr<field_trace::Recorder> recorder_;
    std::unique_ptr<Bridge> bridge_;

    // The bridge's thread waits (a start-up wait, a send, a call): none of
    // its handlers runs, and what arrives for it waits in messages_.
    int busy_ = 0;
    // The wait keeps the window answering a close at once (the start-up
    // waits do; a send or a call does not).
    bool closeAnsweredAtOnce_ = false;
    std::int64_t logger32HungUntil_ = 0;
    std::int64_t logger32HangStart_ = 0;
    // Logger32's text window alone hangs (on a thread of its own) until then.
    std::int64_t textWindowHungUntil_ = 0;
    [[nodiscard]] std::int64_t TextWindowHungUntil() const {
        return std::max(logger32HungUntil_, textWindowHungUntil_);
    }
    // The DDE conversations made with this MixW2 ("service|topic"), and
    // until when connects find none after a program did not answer.
    std::set<std::string> conversations_;
    std::int64_t probeAgainAt_ = 0;
    bool logger32KnownHung_ = false;  // a send timed out; it has not answered since
    // The bridge still waits for a text within its bound.
    bool textInFlight_ = false;
    std::int64_t mixwHungUntil_ = 0;
    // A call expired: until MixW2 returns it (the hang that held it ends),
    // later calls fail at once; a MixW2 ended meanwhile returns it never,
    // and a new one is called afresh.
    std::int64_t mixwCallStuckUntil_ = 0;
    // The text the sender still holds past its bound, for Logger32's window
    // of that instance.
    std::optional<Text> pendingText_;
    // Logger32 has begun the pending text (it is in its log): ended now, it
    // leaves the text in doubt; woken, it takes it without logging it again.
    bool pendingBegun_ = false;
    std::int64_t holdNextLoggingMs_ = 0;
    bool endingSend_ = false;
    // The bridge thread's queue: messages posted to it, and what arrived
    // for it while it waited, in order.
    std::deque<std::function<void()>> messages_;
    std::array<TimerState, window::kTimerSlotCount> timers_{};
    // Texts a box took while the bridge waited, before the bridge handled them.
    std::map<window::ControlId, Text> shownWhileWaiting_;
    // The timers tick at the scenario's tick actions only.
    bool ticksPaced_ = false;
    std::uint64_t timerOrder_ = 0;
    std::vector<bool> boxes_;  // open message boxes, innermost last
    WindowProc bridgeProc_ = kFormProc;
    bool bridgeTopmost_ = false;
    bool aboutTopmost_ = false;
    bool aboutCreated_ = false;
    Text decimal_ = u".";
    std::map<Text, MessageId> registry_;
    std::uint64_t logger32Instance_ = 0;
    std::optional<Text> notLogged_;
    bool notLoggedWritable_ = true;
    // Another program holds not-logged.adi open without sharing: it can be
    // neither read, written, removed nor renamed.
    bool notLoggedLocked_ = false;
    [[nodiscard]] bool NotLoggedHeld() const { return notLoggedLocked_; }
    bool WriteNotLoggedText(const Text& content);
    std::optional<Text> unsaved_;
    std::map<std::string, Text> movedAside_;
    bool udpOpen_ = false;
    bool udpReachable_ = true;
    std::deque<std::vector<std::uint8_t>> udpArrived_;
};

}  // namespace linkwell::sim
