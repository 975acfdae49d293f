#include "shell/startup.h"

namespace linkwell::shell {

void Form_Load(Station& s) {
    s.link.OwnWindow = s.form.HandleOf(Window::Bridge);
    s.vars.FieldLinksActive = false;
    // HandleOf creates the about window on first use.
    s.os.MakeTopmost(s.form.HandleOf(Window::About));
    s.form.SetWindowVisible(Window::About, true);
    s.vars.BridgeStarted = false;
    s.vars.SidebandToggle = false;
}

void Timer4_Timer(Station& s) {
    s.form.SetInterval(ControlId::Timer, 0);
    s.form.SetTimerEnabled(ControlId::Timer4, false);
    s.form.SetWindowVisible(Window::About, false);
    s.form.SetWindowVisible(Window::Bridge, true);
    s.form.Arm(ControlId::Timer1, 1000);
}

}  // namespace linkwell::shell
