#include "startup/startup.h"

namespace linkwell::window {

void OnLoad(Station& s) {
    s.link.OwnWindow = s.form.HandleOf(WindowId::Bridge);
    s.vars.FieldLinksActive = false;
    // HandleOf creates the about window on first use.
    s.os.MakeTopmost(s.form.HandleOf(WindowId::About));
    s.form.SetWindowVisible(WindowId::About, true);
    s.vars.BridgeStarted = false;
    s.vars.SidebandToggle = false;
}

void OnAboutShown(Station& s) {
    s.form.SetInterval(ControlId::HandshakeTimer, 0);
    s.form.SetTimerEnabled(ControlId::AboutTimer, false);
    s.form.SetWindowVisible(WindowId::About, false);
    s.form.SetWindowVisible(WindowId::Bridge, true);
    s.form.Arm(ControlId::StartupTimer, 1000);
}

}  // namespace linkwell::window
