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
    while (!logger32::LookForLogger32(s)) s.os.Sleep(window::kPeerPollMs);
    logger32::StartHandshake(s);
    handover::GiveRigToMixW(s);
    s.form.SetText(ControlId::StatusLine, Text(mixw::kWaitingForMixW));
    s.os.Sleep(window::kMixWSettleMs);
    while (!mixw::TryAttach(s)) s.os.Sleep(window::kPeerPollMs);
    s.form.SetText(ControlId::StatusLine, Text(handover::kMixWActive));
    s.form.Arm(ControlId::IntakeTimer, window::kIntakeDelayMs);
    s.form.Arm(ControlId::PushTimer, window::kPushIntervalMs);
    s.start.started = true;
    s.os.StartTimer(window::kWatchTimerSlot, window::kWatchIntervalMs);
}

void OnWatchTick(Station& s) {
    logger32::Watch(s);
    mixw::Watch(s);
    to_logger32::DeliverKeptLoggings(s);
}

void ShowStatus(Station& s) {
    Text status;
    if (logger32::Logger32Elevated(s)) {
        status = logger32::kLogger32Elevated;
    } else if (logger32::Logger32Away(s)) {
        status = logger32::kWaitingForLogger32;
    } else if (mixw::MixWAway(s)) {
        status = mixw::kWaitingForMixWBack;
    } else {
        status = handover::Logger32HasRig(s) ? handover::kLogger32Active : handover::kMixWActive;
    }
    s.form.SetText(ControlId::StatusLine, status);
}

void Unload(Station& s) {
    to_logger32::ReportKeptLoggings(s);
    if (!handover::Logger32HasRig(s)) logger32::PostSet(s, logger32::kLogger32TakesControl);
    logger32::RemoveHook(s);
    logger32::SendLeaving(s);
    mixw::Release(s);
    s.os.EndProgram();
}

}  // namespace linkwell::lifecycle

namespace linkwell::lifecycle {
void EndSession(Station& s) {
    Unload(s);
}
}  // namespace linkwell::lifecycle
