#include "window/form.h"

#include <utility>

namespace linkwell::window {

Form::Form(platform::Platform& os, FormView& view) : os_(os), view_(view) {
    for (const auto& design : Controls()) {
        auto& s = state(design.id);
        s.text = Text(design.initial);
        s.backColor = design.backColor;
        s.enabled = design.enabled;
        s.visible = design.visible;
        s.interval = design.interval;
    }
}

void Form::StartDesignTimers() {
    for (int slot = 0; slot < kTimerCount; ++slot) applyTimer(TimerFromSlot(slot));
}

void Form::SetText(ControlId id, Text text) {
    auto& s = state(id);
    if (s.text == text) return;
    s.text = std::move(text);
    view_.ControlChanged(id);
    if (Design(id).kind == ControlKind::TextBox && onChange_) onChange_(id);
}

void Form::SetCaption(ControlId id, Text caption) {
    auto& s = state(id);
    if (s.text == caption) return;
    s.text = std::move(caption);
    view_.ControlChanged(id);
}

void Form::SetBackColor(ControlId id, std::uint32_t colour) {
    auto& s = state(id);
    if (s.backColor == colour) return;
    s.backColor = colour;
    view_.ControlChanged(id);
}

void Form::SetEnabled(ControlId id, bool enabled) {
    auto& s = state(id);
    if (s.enabled == enabled) return;
    s.enabled = enabled;
    view_.ControlChanged(id);
}

void Form::SetInterval(ControlId timer, int ms) {
    state(timer).interval = ms;
    applyTimer(timer);
}

void Form::SetTimerEnabled(ControlId timer, bool enabled) {
    auto& s = state(timer);
    if (s.enabled == enabled) return;
    s.enabled = enabled;
    applyTimer(timer);
}

void Form::applyTimer(ControlId timer) {
    const auto& s = state(timer);
    if (s.enabled && s.interval > 0) {
        os_.StartTimer(TimerSlot(timer), s.interval);
    } else {
        os_.StopTimer(TimerSlot(timer));
    }
    view_.ControlChanged(timer);
}

void Form::SetWindowVisible(WindowId w, bool visible) {
    windowVisible_[static_cast<std::size_t>(w)] = visible;
    view_.WindowChanged(w);
}

}  // namespace linkwell::window
