// The simulated world's bridge window: its procedures, the handles of its
// controls, and the window model as the scenario's dumps see it.
#include <limits>
#include <utility>

#include "logger32/protocol.h"
#include "mixw/attach.h"
#include "sim/world.h"
#include "text/text.h"
#include "vocabulary/handles.h"
#include "window/timing.h"

namespace linkwell::sim {

namespace {

// System colours as a fresh Windows desktop has them.
std::uint32_t Resolve(std::uint32_t colour) {
    if ((colour & window::kSystemColour) == 0) return colour;
    switch (colour & 0xFFu) {
        case 5: return 0x00FFFFFF;   // COLOR_WINDOW
        default: return 0x00F0F0F0;  // COLOR_BTNFACE, COLOR_MENU
    }
}

}  // namespace

WindowProc World::SetWindowProc(WindowHandle window, WindowProc proc) {
    if (window.value != kBridgeWindow) return {};
    return std::exchange(bridgeProc_, proc);
}

LResult World::CallWindowProc(WindowProc proc, WindowHandle window, MessageId msg, WParam wParam,
                              LParam lParam) {
    if (proc == kFormProc) return FormProc(msg);
    if (proc == kHookProc) return bridge_->HookProc(window, msg, wParam, lParam);
    return 0;
}

LResult World::DispatchToBridgeWindow(MessageId msg, WParam wParam, LParam lParam) {
    return CallWindowProc(bridgeProc_, WindowHandle{kBridgeWindow}, msg, wParam, lParam);
}

LResult World::FormProc(MessageId msg) {
    if (msg == kWmClose) bridge_->Close();
    return 0;
}

void World::MakeTopmost(WindowHandle window) {
    if (window.value == kBridgeWindow) bridgeTopmost_ = true;
    if (window.value == kAboutWindow) aboutTopmost_ = true;
}

// --- the view ---------------------------------------------------------------------

WindowHandle World::HandleOf(window::WindowId window) {
    if (window == window::WindowId::About) {
        aboutCreated_ = true;
        return WindowHandle{kAboutWindow};
    }
    return WindowHandle{kBridgeWindow};
}

WindowHandle World::HandleOf(window::ControlId control) {
    return WindowHandle{kFirstControl + static_cast<std::uint64_t>(window::Index(control))};
}

std::optional<window::ControlId> World::ControlOf(WindowHandle h) const {
    if (h.value < kFirstControl || h.value >= kFirstControl + window::kControlCount)
        return std::nullopt;
    const auto id = static_cast<window::ControlId>(h.value - kFirstControl);
    if (window::Design(id).kind != window::ControlKind::TextBox) return std::nullopt;
    return id;
}

void World::ControlChanged(window::ControlId control) {
    if (control == window::ControlId::StatusLine) {
        trace_.Line("STATUS", text::Quote(bridge_->State().form.GetText(control)));
    }
}

WindowHandle World::Named(std::string_view name) const {
    using window::ControlId;
    if (name == vocabulary::kLinkwellHandle) return WindowHandle{kBridgeWindow};
    auto control = [](ControlId id) {
        return WindowHandle{kFirstControl + static_cast<std::uint64_t>(window::Index(id))};
    };
    if (name == vocabulary::kSentHandle) return control(ControlId::Logger32TextBox);
    if (name == vocabulary::kClusterHandle) return control(ControlId::ClusterBox);
    if (logger32Instance_ == 0) return {};
    if (name == vocabulary::kLogger32Handle) return logger32_.MainWindow();
    if (name == vocabulary::kLogger32TextHandle) return logger32_.TextWindow();
    return {};
}

std::optional<scenario::ControlLook> World::LookAt(window::ControlId id) {
    const auto& form = bridge_->State().form;
    scenario::ControlLook look;
    const auto shown = shownWhileWaiting_.find(id);
    look.text = shown != shownWhileWaiting_.end() ? shown->second : form.GetText(id);
    look.enabled = form.Enabled(id);
    look.backColour = Resolve(form.BackColor(id));
    look.visible = form.Visible(id);
    if (window::Design(id).kind == window::ControlKind::Timer) look.interval = form.Interval(id);
    return look;
}

scenario::WindowLook World::LookAt(window::WindowId window) {
    const bool bridge = window == window::WindowId::Bridge;
    return {bridge_->State().form.WindowVisible(window), bridge ? bridgeTopmost_ : aboutTopmost_};
}

}  // namespace linkwell::sim
