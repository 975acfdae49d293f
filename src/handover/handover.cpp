#include "handover/handover.h"

#include "logger32/link.h"

namespace linkwell::handover {

using platform::Text;
using shell::ControlId;
using shell::Station;

namespace {

void ForgetWhatWasSent(Station& s) {
    const Text f(shell::kFalseText);
    s.vars.LastFreq = f;
    s.vars.LastQth = f;
    s.vars.LastName = f;
    s.vars.LastNotes = f;
    s.vars.LastRstRcvd = f;
    s.vars.LastMode = f;
}

}  // namespace

void Command1_Click(Station& s) {
    s.vars.Logger32HasControl = false;
    s.form.SetBackColor(ControlId::Command1, shell::kPurple);
    s.form.SetEnabled(ControlId::Command1, false);
    s.form.SetEnabled(ControlId::Command2, true);
    s.form.SetBackColor(ControlId::Command2, shell::kLightCyan);
    s.form.SetBackColor(ControlId::Command3, shell::kLightBlue);
    logger32::PostSet(s, logger32::kMixWTakesControl);
    s.form.SetText(ControlId::Text1, Text(kMixWActive));
    ForgetWhatWasSent(s);
    if (s.vars.BridgeStarted) {
        s.os.MessageBox(Text(kFreeLogger32Side), Text(shell::kProgramTitle));
        s.form.Arm(ControlId::Timer2, 800);
    }
}

void Command2_Click(Station& s) {
    s.vars.Logger32HasControl = true;
    s.os.MessageBox(Text(kFreeMixWSide), Text(shell::kProgramTitle));
    ForgetWhatWasSent(s);
    s.form.SetBackColor(ControlId::Command2, shell::kPurple);
    s.form.SetEnabled(ControlId::Command2, false);
    s.form.SetEnabled(ControlId::Command1, true);
    s.form.SetBackColor(ControlId::Command1, shell::kLightCyan);
    logger32::PostSet(s, logger32::kLogger32TakesControl);
    s.form.Disarm(ControlId::Timer2);
    s.form.SetText(ControlId::Text1, Text(kLogger32Active));
}

void Command3_Click(Station& s) {
    if (!s.vars.SidebandToggle) {
        s.vars.SidebandToggle = true;
        s.form.SetCaption(ControlId::Command3, u"PKT_USB");
        s.form.SetBackColor(ControlId::Command3, shell::kLightPink);
    } else {
        s.vars.SidebandToggle = false;
        s.form.SetCaption(ControlId::Command3, u"PKT_LSB");
        s.form.SetBackColor(ControlId::Command3, shell::kLightBlue);
    }
}

}  // namespace linkwell::handover
