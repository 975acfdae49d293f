#include "lifecycle/lifecycle.h"

#include "handover/handover.h"
#include "logger32/link.h"
#include "mixw/attach.h"
#include "not_logged/not_logged.h"
#include "station/status.h"
#include "to_logger32/logging.h"
#include "udp/announce.h"
#include "window/timing.h"

namespace linkwell::lifecycle {

using platform::Text;
using window::ControlId;
using window::WindowId;

namespace {

// The steps of a close that tell Logger32 and MixW2 the bridge leaves.
void Leave(BridgeState& s) {
    // First: a Logger32 that does not take the leaving notice holds the
    // rest up for a while, and the listeners should hear of the end now.
    udp::Close(s);
    if (!handover::Logger32HasRig(s)) logger32::PostSet(s, logger32::kLogger32TakesControl);
    logger32::RemoveHook(s);
    logger32::SendLeaving(s);
    mixw::Release(s);
    s.platform.EndProgram();
}

}  // namespace

void BeginClose(BridgeState& s) {
    s.start.closing = true;
}

void OnLoad(BridgeState& s) {
    logger32::SetOwnWindow(s, s.form.HandleOf(WindowId::Bridge));
    // HandleOf creates the about window on first use.
    s.platform.MakeTopmost(s.form.HandleOf(WindowId::About));
    s.form.SetWindowVisible(WindowId::About, true);
}

void OnAboutShown(BridgeState& s) {
    s.form.SetInterval(ControlId::HandshakeTimer, 0);
    s.form.SetTimerEnabled(ControlId::AboutTimer, false);
    s.form.SetWindowVisible(WindowId::About, false);
    s.form.SetWindowVisible(WindowId::Bridge, true);
    s.form.Arm(ControlId::StartupTimer, window::kStartupDelayMs);
}

void WaitForPeers(BridgeState& s) {
    s.platform.MakeTopmost(logger32::OwnWindow(s));
    s.form.Disarm(ControlId::StartupTimer);
    logger32::UseFirstName(s);
    not_logged::ReadLeftover(s);
    while (!logger32::LookForLogger32(s)) s.platform.Sleep(window::kPeerPollMs);
    logger32::StartHandshake(s);
    handover::GiveRigToMixW(s);
    station::ShowWaitingForMixW(s);
    s.platform.Sleep(window::kMixWSettleMs);
    while (!mixw::TryAttach(s)) s.platform.Sleep(window::kPeerPollMs);
    udp::Start(s);
    if (const Text note = station::StartNote(s); !note.empty()) {
        station::NoteOnStatusLine(s, note);
    } else {
        station::DrawStatus(s);
    }
    s.form.Arm(ControlId::IntakeTimer, window::kIntakeDelayMs);
    s.form.Arm(ControlId::PushTimer, window::kPushIntervalMs);
    s.start.started = true;
    s.platform.StartTimer(window::kWatchTimerSlot, window::kWatchIntervalMs);
}

void OnWatchTick(BridgeState& s) {
    if (s.start.closing) return;
    logger32::Watch(s);
    mixw::Watch(s);
    to_logger32::DeliverKeptLoggings(s);
    not_logged::RetryFileWrite(s);
    udp::OnWatchTick(s);
}

void AfterEvent(BridgeState& s, bool outermost) {
    if (outermost && s.start.started) station::RedrawStatusIfChanged(s);
}

void Unload(BridgeState& s) {
    to_logger32::ReportKeptLoggings(s);
    Leave(s);
}

void EndSession(BridgeState& s) {
    to_logger32::SettleBeforeSessionEnd(s);
    Leave(s);
}

}  // namespace linkwell::lifecycle
