#include "mixw/attach.h"

#include "handover/handover.h"
#include "logger32/link.h"
#include "to_logger32/to_logger32.h"

namespace linkwell::mixw {

using platform::Text;
using window::ControlId;
using window::Station;

namespace {

void ActivateFieldLinks(Station& s) {
    for (const auto& link : kFieldLinks) {
        s.form.SetText(link.box, Text(link.placeholder));
        const auto& design = *window::Design(link.box).link;
        const platform::LinkTarget target{Text(design.service), Text(design.topic),
                                          Text(design.item)};
        const ControlId box = link.box;
        // A refused link leaves the box as it is; the others still open.
        (void)s.os.ActivateLink(target,
                                [&s, box](const Text& value) { s.form.SetText(box, value); });
    }
    s.vars.LastCall = u"ru";
    s.vars.FieldLinksActive = true;
}

}  // namespace

void WaitForPeers(Station& s) {
    s.os.MakeTopmost(s.link.OwnWindow);
    s.form.Disarm(ControlId::StartupTimer);
    s.link.Logger32Message = s.os.RegisterMessage(Text(logger32::kMessageNames[0]));
    s.link.Logger32Window = s.os.FindWindowByTitle(Text(logger32::kWindowTitle));
    while (s.link.Logger32Window.isNull()) {
        s.os.Sleep(2000);
        s.link.Logger32Window = s.os.FindWindowByTitle(Text(logger32::kWindowTitle));
    }
    s.form.SetTimerEnabled(ControlId::HandshakeTimer, false);
    s.link.RetryInterval = 200;
    s.link.SearchInterval = 5000;
    logger32::InstallHook(s);
    logger32::ConnectToLogger32(s);
    handover::GiveRigToMixW(s);
    s.form.SetText(ControlId::StatusLine, Text(kWaitingForMixW));
    s.os.Sleep(1000);
    for (;;) {
        s.vars.MixWIsLoaded = 1;
        // A failed attempt keeps the previous (empty) object.
        if (auto object = s.os.GetActiveObject(Text(kProgId))) {
            s.vars.MixW = std::move(object);
            break;
        }
        s.vars.MixWIsLoaded = 0;
        s.os.Sleep(2000);
    }
    s.form.SetText(ControlId::StatusLine, Text(handover::kMixWActive));
    s.form.Arm(ControlId::IntakeTimer, 500);
    s.form.Arm(ControlId::PushTimer, 800);
    s.vars.BridgeStarted = true;
}

void OnPushTick(Station& s) {
    if (!s.vars.MixWAttached() || s.link.Logger32Window.isNull()) s.os.EndProgram();
    if (!s.vars.FieldLinksActive) ActivateFieldLinks(s);
    to_logger32::PushMixWToLogger32(s);
}

}  // namespace linkwell::mixw
