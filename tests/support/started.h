// Where start-up leaves the bridge, reached through its own steps: the
// window loads, the about window goes, the start-up wait finds Logger32 and
// MixW2 at once, Logger32 accepts the first name and names its text window.
// Shared by the unit tests and the benchmarks; the world must find both
// programs (its Sleep may do nothing).
#pragma once

#include "bridge/bridge.h"
#include "logger32/protocol.h"
#include "window/controls.h"

namespace linkwell::testing {

template <class World>
void StartAndLink(World& w, platform::WindowHandle logger32TextWindow) {
    using window::ControlId;
    w.bridge.Start();
    w.bridge.TimerTick(window::TimerSlot(ControlId::AboutTimer));
    w.bridge.TimerTick(window::TimerSlot(ControlId::StartupTimer));
    const auto own = w.HandleOf(window::WindowId::Bridge);
    const auto message = w.RegisterMessage(platform::Text(logger32::kMessageNames[0]));
    (void)w.bridge.HookProc(own, message, logger32::code::kAnswer, 1);
    (void)w.bridge.HookProc(own, message, logger32::code::kTextWindow,
                            static_cast<platform::LParam>(logger32TextWindow.value));
}

}  // namespace linkwell::testing
