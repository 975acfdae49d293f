#include "lifecycle/lifecycle.h"

#include "handover/handover.h"
#include "logger32/link.h"
#include "mixw/attach.h"
#include "to_logger32/to_logger32.h"
#include "window/intervals.h"

namespace linkwell::lifecycle {

using platform::Text;
using window::ControlId;
using window::WindowId;

namespace {

Text Count(std::size_t n, std::u16string_view one, std::u16string_view many) {
    const std::string digits = std::to_string(n);
    return Text(digits.begin(), digits.end()) + u' ' + Text(n == 1 ? one : many);
}

Text Kept(std::size_t n) {
    return Count(n, u"QSO kept", u"QSOs kept");
}

// The note about QSOs an earlier run left in not-logged.adi.
Text LeftoverNote(int n) {
    return Count(static_cast<std::size_t>(n), u"QSO was", u"QSOs were") +
           u" not taken by Logger32: see not-logged.adi";
}

// The steps of a close that tell Logger32 and MixW2 the bridge leaves.
void Leave(Station& s) {
    if (!handover::Logger32HasRig(s)) logger32::PostSet(s, logger32::kLogger32TakesControl);
    logger32::RemoveHook(s);
    logger32::SendLeaving(s);
    mixw::Release(s);
    s.os.EndProgram();
}

// Nothing more is delivered or reconnected from now.
void BeginClose(Station& s) {
    s.start.closing = true;
    logger32::StopSending(s);
}

}  // namespace

void OnLoad(Station& s) {
    logger32::SetOwnWindow(s, s.form.HandleOf(WindowId::Bridge));
    // HandleOf creates the about window on first use.
    s.os.MakeTopmost(s.form.HandleOf(WindowId::About));
    s.form.SetWindowVisible(WindowId::About, true);
}

void OnAboutShown(Station& s) {
    s.form.SetInterval(ControlId::HandshakeTimer, 0);
    s.form.SetTimerEnabled(ControlId::AboutTimer, false);
    s.form.SetWindowVisible(WindowId::About, false);
    s.form.SetWindowVisible(WindowId::Bridge, true);
    s.form.Arm(ControlId::StartupTimer, window::kStartupDelayMs);
}

void WaitForPeers(Station& s) {
    s.os.MakeTopmost(logger32::OwnWindow(s));
    s.form.Disarm(ControlId::StartupTimer);
    logger32::UseFirstName(s);
    to_logger32::ReadLeftover(s);
    while (!logger32::LookForLogger32(s)) s.os.Sleep(window::kPeerPollMs);
    logger32::StartHandshake(s);
    handover::GiveRigToMixW(s);
    s.form.SetText(ControlId::StatusLine, Text(mixw::kWaitingForMixW));
    s.os.Sleep(window::kMixWSettleMs);
    while (!mixw::TryAttach(s)) s.os.Sleep(window::kPeerPollMs);
    s.start.status = StatusText(s);
    const int leftover = to_logger32::LeftoverCount(s);
    s.form.SetText(ControlId::StatusLine, leftover > 0 ? LeftoverNote(leftover) : s.start.status);
    s.form.Arm(ControlId::IntakeTimer, window::kIntakeDelayMs);
    s.form.Arm(ControlId::PushTimer, window::kPushIntervalMs);
    s.start.started = true;
    s.os.StartTimer(window::kWatchTimerSlot, window::kWatchIntervalMs);
}

void OnWatchTick(Station& s) {
    if (s.start.closing) return;
    logger32::Watch(s);
    mixw::Watch(s);
    to_logger32::DeliverKeptLoggings(s);
}

Text StatusText(const Station& s) {
    const std::size_t kept = to_logger32::KeptCount(s);
    if (logger32::Logger32Elevated(s)) return Text(logger32::kLogger32Elevated);
    if (kept > 0 && to_logger32::FileUnwritable(s)) return Text(kFileUnwritable);
    if (logger32::Logger32Away(s)) {
        if (kept == 0) return Text(logger32::kWaitingForLogger32);
        return u"Logger32 closed: " + Kept(kept);
    }
    if (logger32::Logger32NotAnswering(s)) {
        if (kept == 0) return Text(kLogger32NotAnswering);
        return Text(kLogger32NotAnswering) + u": " + Kept(kept);
    }
    if (kept > 0) return Kept(kept) + u" for Logger32";
    if (mixw::MixWAway(s)) return Text(mixw::kWaitingForMixWBack);
    return Text(handover::Logger32HasRig(s) ? handover::kLogger32Active : handover::kMixWActive);
}

void ShowStatus(Station& s) {
    s.start.status = StatusText(s);
    s.form.SetText(ControlId::StatusLine, s.start.status);
}

void AfterEvent(Station& s, bool outermost) {
    to_logger32::Settle(s);
    if (outermost && s.start.started && StatusText(s) != s.start.status) ShowStatus(s);
}

void Unload(Station& s) {
    BeginClose(s);
    to_logger32::ReportKeptLoggings(s);
    Leave(s);
}

void EndSession(Station& s) {
    BeginClose(s);
    to_logger32::Settle(s);
    Leave(s);
}

}  // namespace linkwell::lifecycle
