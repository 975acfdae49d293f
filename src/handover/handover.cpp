#include "handover/handover.h"

#include "logger32/link.h"

namespace linkwell::handover {

using platform::Text;
using window::ControlId;
using window::Station;

namespace {

void ForgetWhatWasSent(Station& s) {
    const Text f(window::kFalseText);
    s.vars.LastFreq = f;
    s.vars.LastQth = f;
    s.vars.LastName = f;
    s.vars.LastNotes = f;
    s.vars.LastRstRcvd = f;
    s.vars.LastMode = f;
}

}  // namespace

void GiveRigToMixW(Station& s) {
    s.vars.Logger32HasControl = false;
    s.form.SetBackColor(ControlId::MixWTakesRigButton, window::kPurple);
    s.form.SetEnabled(ControlId::MixWTakesRigButton, false);
    s.form.SetEnabled(ControlId::Logger32TakesRigButton, true);
    s.form.SetBackColor(ControlId::Logger32TakesRigButton, window::kLightCyan);
    s.form.SetBackColor(ControlId::SidebandButton, window::kLightBlue);
    logger32::PostSet(s, logger32::kMixWTakesControl);
    s.form.SetText(ControlId::StatusLine, Text(kMixWActive));
    ForgetWhatWasSent(s);
    if (s.vars.BridgeStarted) {
        s.os.MessageBox(Text(kFreeLogger32Side), Text(window::kProgramTitle));
        s.form.Arm(ControlId::PushTimer, 800);
    }
}

void GiveRigToLogger32(Station& s) {
    s.vars.Logger32HasControl = true;
    s.os.MessageBox(Text(kFreeMixWSide), Text(window::kProgramTitle));
    ForgetWhatWasSent(s);
    s.form.SetBackColor(ControlId::Logger32TakesRigButton, window::kPurple);
    s.form.SetEnabled(ControlId::Logger32TakesRigButton, false);
    s.form.SetEnabled(ControlId::MixWTakesRigButton, true);
    s.form.SetBackColor(ControlId::MixWTakesRigButton, window::kLightCyan);
    logger32::PostSet(s, logger32::kLogger32TakesControl);
    s.form.Disarm(ControlId::PushTimer);
    s.form.SetText(ControlId::StatusLine, Text(kLogger32Active));
}

void ToggleSideband(Station& s) {
    if (!s.vars.SidebandToggle) {
        s.vars.SidebandToggle = true;
        s.form.SetCaption(ControlId::SidebandButton, u"PKT_USB");
        s.form.SetBackColor(ControlId::SidebandButton, window::kLightPink);
    } else {
        s.vars.SidebandToggle = false;
        s.form.SetCaption(ControlId::SidebandButton, u"PKT_LSB");
        s.form.SetBackColor(ControlId::SidebandButton, window::kLightBlue);
    }
}

}  // namespace linkwell::handover
