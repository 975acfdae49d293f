#include "bridge/bridge.h"

#include "handover/handover.h"
#include "logger32/link.h"
#include "mixw/attach.h"
#include "shell/startup.h"
#include "to_logger32/to_logger32.h"
#include "to_mixw/to_mixw.h"

namespace linkwell {

using shell::ControlId;

Bridge::Bridge(platform::Platform& os, shell::FormView& view) : station_(os, view) {
    station_.form.OnTextChange([this](ControlId box) { TextChanged(box); });
}

void Bridge::Start() {
    station_.form.StartDesignTimers();
    shell::Form_Load(station_);
    station_.form.SetWindowVisible(shell::Window::Bridge, true);
}

void Bridge::TimerTick(int slot) {
    switch (shell::TimerFromSlot(slot)) {
        case ControlId::Timer: logger32::Timer_Timer(station_); break;
        case ControlId::Timer1: mixw::Timer1_Timer(station_); break;
        case ControlId::Timer2: mixw::Timer2_Timer(station_); break;
        case ControlId::Timer3: to_mixw::Timer3_Timer(station_); break;
        case ControlId::Timer4: shell::Timer4_Timer(station_); break;
        default: break;
    }
}

platform::LResult Bridge::HookProc(platform::WindowHandle window, platform::MessageId msg,
                                   platform::WParam wParam, platform::LParam lParam) {
    return logger32::HookWindowProc(station_, window, msg, wParam, lParam);
}

void Bridge::Click(ControlId button) {
    if (!station_.form.Enabled(button)) return;
    switch (button) {
        case ControlId::Command1: handover::Command1_Click(station_); break;
        case ControlId::Command2: handover::Command2_Click(station_); break;
        case ControlId::Command3: handover::Command3_Click(station_); break;
        case ControlId::CommandSend: to_logger32::CommandSend_Click(station_); break;
        default: break;
    }
}

void Bridge::Close() {
    logger32::Form_Unload(station_);
}

void Bridge::TextArrived(ControlId box, const platform::Text& text) {
    station_.form.SetText(box, text);
}

void Bridge::TextChanged(ControlId box) {
    switch (box) {
        case ControlId::Freq: to_logger32::Freq_Change(station_); break;
        case ControlId::TextCommand: to_logger32::TextCommand_Change(station_); break;
        case ControlId::Sent: to_mixw::Sent_Change(station_); break;
        case ControlId::Freq_logger32: to_mixw::Freq_logger32_Change(station_); break;
        default: break;
    }
}

}  // namespace linkwell
