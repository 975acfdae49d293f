// The bridge window model: the live state of every control and of the two
// windows (the bridge form and the about window), with the toolkit's rules:
//  - assigning a text box's text runs its change handler at once, nested,
//    and only when the text really changes;
//  - a timer runs while Enabled and Interval > 0; assigning Interval, or
//    enabling a stopped timer, restarts its count from zero;
//  - every change is shown by the world through FormView.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "platform/platform.h"
#include "window/controls.h"

namespace linkwell::window {

using platform::Text;
using platform::WindowHandle;

enum class WindowId { Bridge, About };

// What a world provides to show the model: native handles of the windows
// and text boxes, and a notice after each change of a control or window.
class FormView {
public:
    virtual ~FormView() = default;
    [[nodiscard]] virtual WindowHandle HandleOf(WindowId window) = 0;
    [[nodiscard]] virtual WindowHandle HandleOf(ControlId control) = 0;
    virtual void ControlChanged(ControlId control) = 0;
    virtual void WindowChanged(WindowId window) = 0;
};

class Form {
public:
    Form(platform::Platform& os, FormView& view);
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    // Starts the timers that are enabled at design time (the window exists).
    void StartDesignTimers();

    // Change handlers of text boxes; called for every real change.
    void OnTextChange(std::function<void(ControlId)> handler) { onChange_ = std::move(handler); }

    // Text of a text box, caption of a label or button.
    [[nodiscard]] const Text& GetText(ControlId id) const { return state(id).text; }
    void SetText(ControlId id, Text text);
    void SetCaption(ControlId id, Text caption);

    [[nodiscard]] std::uint32_t BackColor(ControlId id) const { return state(id).backColor; }
    void SetBackColor(ControlId id, std::uint32_t colour);
    [[nodiscard]] bool Enabled(ControlId id) const { return state(id).enabled; }
    void SetEnabled(ControlId id, bool enabled);
    [[nodiscard]] bool Visible(ControlId id) const { return state(id).visible; }

    [[nodiscard]] int Interval(ControlId timer) const { return state(timer).interval; }
    void SetInterval(ControlId timer, int ms);
    void SetTimerEnabled(ControlId timer, bool enabled);
    // Interval then Enabled, the way every handler arms or stops a timer.
    void Arm(ControlId timer, int ms) {
        SetInterval(timer, ms);
        SetTimerEnabled(timer, true);
    }
    void Disarm(ControlId timer) {
        SetInterval(timer, 0);
        SetTimerEnabled(timer, false);
    }

    [[nodiscard]] bool WindowVisible(WindowId w) const {
        return windowVisible_[static_cast<int>(w)];
    }
    void SetWindowVisible(WindowId w, bool visible);
    [[nodiscard]] WindowHandle HandleOf(WindowId w) { return view_.HandleOf(w); }
    [[nodiscard]] WindowHandle HandleOf(ControlId id) { return view_.HandleOf(id); }

private:
    struct State {
        Text text;
        std::uint32_t backColor = 0;
        bool enabled = true;
        bool visible = true;
        int interval = 0;
    };
    [[nodiscard]] const State& state(ControlId id) const {
        return controls_[static_cast<std::size_t>(Index(id))];
    }
    [[nodiscard]] State& state(ControlId id) {
        return controls_[static_cast<std::size_t>(Index(id))];
    }
    void applyTimer(ControlId timer);

    platform::Platform& os_;
    FormView& view_;
    std::array<State, kControlCount> controls_{};
    std::array<bool, 2> windowVisible_{};
    std::function<void(ControlId)> onChange_;
};

}  // namespace linkwell::window
