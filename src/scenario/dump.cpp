#include "scenario/dump.h"

#include <cstdio>

#include "text/text.h"

namespace linkwell::scenario {

using text::Quote;
namespace {

const char* Bool(bool b) {
    return b ? "true" : "false";
}

void DumpOne(const std::string& name, ControlReader& reader, Trace& trace) {
    if (name == "Linkwell" || name == "Form1") {
        const auto look =
            reader.LookAt(name == "Linkwell" ? window::WindowId::Bridge : window::WindowId::About);
        trace.Line("CTRL",
                   name + " visible=" + Bool(look.visible) + " topmost=" + Bool(look.topmost));
        return;
    }
    const auto id = *window::FindControl(name);
    const auto look = reader.LookAt(id);
    if (!look) return;
    std::string details = name;
    switch (window::Design(id).kind) {
        case window::ControlKind::TextBox:
        case window::ControlKind::Label: details += " text=" + Quote(look->text); break;
        case window::ControlKind::Button: {
            char colour[16];
            std::snprintf(colour, sizeof colour, "0x%08X", static_cast<unsigned>(look->backColour));
            details += " caption=" + Quote(look->text) + " enabled=" + Bool(look->enabled) +
                       " backcolor=" + colour + " visible=" + Bool(look->visible);
            break;
        }
        case window::ControlKind::Timer:
            details +=
                " interval=" + std::to_string(look->interval) + " enabled=" + Bool(look->enabled);
            break;
    }
    trace.Line("CTRL", details);
}

}  // namespace

void DumpControls(const std::vector<std::string>& names, ControlReader& reader, Trace& trace) {
    if (!names.empty()) {
        for (const auto& n : names) DumpOne(n, reader, trace);
        return;
    }
    for (const auto& c : window::Controls()) DumpOne(std::string(c.name), reader, trace);
    DumpOne("Linkwell", reader, trace);
    DumpOne("Form1", reader, trace);
}

}  // namespace linkwell::scenario
