#include "handover/handover.h"

#include "logger32/link.h"
#include "station/status.h"
#include "to_logger32/push.h"
#include "window/timing.h"

namespace linkwell::handover {

using platform::Text;
using window::ControlId;

void GiveRigToMixW(BridgeState& s) {
    s.rig.logger32HasRig = false;
    s.form.SetBackColor(ControlId::MixWTakesRigButton, window::kPurple);
    s.form.SetEnabled(ControlId::MixWTakesRigButton, false);
    s.form.SetEnabled(ControlId::Logger32TakesRigButton, true);
    s.form.SetBackColor(ControlId::Logger32TakesRigButton, window::kLightCyan);
    s.form.SetBackColor(ControlId::SidebandButton, window::kLightBlue);
    logger32::PostSet(s, logger32::kMixWTakesControl);
    station::DrawStatus(s);
    to_logger32::ForgetWhatWasSent(s);
    if (s.start.started) {
        s.platform.MessageBox(Text(kFreeLogger32Side), Text(window::kProgramTitle));
        s.form.Arm(ControlId::PushTimer, window::kPushIntervalMs);
    }
}

void GiveRigToLogger32(BridgeState& s) {
    s.rig.logger32HasRig = true;
    s.platform.MessageBox(Text(kFreeMixWSide), Text(window::kProgramTitle));
    to_logger32::ForgetWhatWasSent(s);
    s.form.SetBackColor(ControlId::Logger32TakesRigButton, window::kPurple);
    s.form.SetEnabled(ControlId::Logger32TakesRigButton, false);
    s.form.SetEnabled(ControlId::MixWTakesRigButton, true);
    s.form.SetBackColor(ControlId::MixWTakesRigButton, window::kLightCyan);
    logger32::PostSet(s, logger32::kLogger32TakesControl);
    s.form.Disarm(ControlId::PushTimer);
}

void ToggleSideband(BridgeState& s) {
    if (!s.rig.sidebandUsb) {
        s.rig.sidebandUsb = true;
        s.form.SetCaption(ControlId::SidebandButton, u"PKT_USB");
        s.form.SetBackColor(ControlId::SidebandButton, window::kLightPink);
    } else {
        s.rig.sidebandUsb = false;
        s.form.SetCaption(ControlId::SidebandButton, u"PKT_LSB");
        s.form.SetBackColor(ControlId::SidebandButton, window::kLightBlue);
    }
}

}  // namespace linkwell::handover
