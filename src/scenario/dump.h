// The `dump` action's CTRL lines, the same in both worlds: the simulated
// world reads its window model, the Windows peers read the real window.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "scenario/trace.h"
#include "window/controls.h"
#include "window/form.h"

namespace linkwell::scenario {

// What a world reads back of a control; each kind prints its own fields.
struct ControlLook {
    platform::Text text;  // text boxes and labels; a button's caption
    bool enabled = false;
    std::uint32_t backColour = 0;  // resolved, 0x00BBGGRR
    bool visible = false;
    int interval = 0;  // timers
};

struct WindowLook {
    bool visible = false;
    bool topmost = false;
};

class ControlReader {
public:
    virtual ~ControlReader() = default;
    // Nullopt: the control cannot be seen from where the world looks (it
    // prints no line).
    [[nodiscard]] virtual std::optional<ControlLook> LookAt(window::ControlId control) = 0;
    [[nodiscard]] virtual WindowLook LookAt(window::WindowId window) = 0;
};

// The named controls and windows (`Linkwell`, `Form1`), or, with no names,
// every control in the table's order and then the two windows.
void DumpControls(const std::vector<std::string>& names, ControlReader& reader, Trace& trace);

}  // namespace linkwell::scenario
