#include "shell/controls.h"

namespace linkwell::shell {
namespace {

using K = ControlKind;
using C = ControlId;

constexpr DesignLink Qso(std::u16string_view item) {
    return {u"MixW", u"QSO", item};
}

// Text boxes, labels and buttons are visible unless they are carriers below
// the client area (those are visible controls the window is too small to show).
// One control a line reads as the design table it is.
// clang-format off
const std::array<ControlDesign, kControlCount> kControls = {{
    {C::Text1, "Text1", K::TextBox, u"Waiting start Logger32 and MixW2", 120, 120, 3012, 375, kLightYellow, true, true, {}, 0},
    {C::Label8, "Label8", K::Label, u"Mode", 120, 840, 732, 252, kLightOrange, true, true, {}, 0},
    {C::Mode, "Mode", K::TextBox, u"Mode", 1080, 720, 1572, 372, kLightYellow, true, true, Qso(u"Mode"), 0},
    {C::Label4, "Label4", K::Label, u"KHz", 120, 1320, 492, 252, kLightOrange, true, true, {}, 0},
    {C::Freq, "Freq", K::TextBox, u"14075.45", 1080, 1200, 1575, 375, kLightYellow, true, true, DesignLink{u"MixW", u"CAT", u"khz"}, 0},
    {C::Times, "Times", K::Label, u"Time", 120, 1800, 732, 252, kLightOrange, true, true, {}, 0},
    {C::Time, "Time", K::TextBox, u"Time", 1080, 1680, 1572, 372, kLightYellow, true, true, DesignLink{u"MIXW", u"QSO", u"time"}, 0},
    {C::Label1, "Label1", K::Label, u"Callsign", 120, 2280, 732, 252, kLightOrange, true, true, {}, 0},
    {C::Callsign, "Callsign", K::TextBox, u"Call", 1080, 2160, 1575, 375, kLightYellow, true, true, Qso(u"Call"), 0},
    {C::Label5, "Label5", K::Label, u"Name", 120, 2760, 492, 252, kLightOrange, true, true, {}, 0},
    {C::HisName, "HisName", K::TextBox, u"Name", 1080, 2640, 1575, 375, kLightYellow, true, true, Qso(u"Name"), 0},
    {C::Label7, "Label7", K::Label, u"QTH", 120, 3240, 612, 252, kLightOrange, true, true, {}, 0},
    {C::Qth, "Qth", K::TextBox, u"Qth", 1080, 3120, 1572, 372, kLightYellow, true, true, Qso(u"qth"), 0},
    {C::Label2, "Label2", K::Label, u"RST rcvd", 120, 3720, 852, 252, kLightOrange, true, true, {}, 0},
    {C::RSTr, "RSTr", K::TextBox, u"RSTr", 1080, 3600, 1575, 375, kLightYellow, true, true, Qso(u"RstRcv"), 0},
    {C::Label3, "Label3", K::Label, u"RST snt", 120, 4200, 732, 252, kLightOrange, true, true, {}, 0},
    {C::RSTs, "RSTs", K::TextBox, u"RSTs", 1080, 4080, 1575, 375, kLightYellow, true, true, Qso(u"RstSnt"), 0},
    {C::Label11, "Label11", K::Label, u"IOTA", 120, 4680, 855, 375, kLightOrange, true, true, {}, 0},
    {C::IOTA, "IOTA", K::TextBox, u"IOTA", 1080, 4560, 1575, 375, kLightYellow, true, true, Qso(u"IOTA"), 0},
    {C::Label12, "Label12", K::Label, u"Locator", 120, 5160, 975, 375, kLightOrange, true, true, {}, 0},
    {C::Locator, "Locator", K::TextBox, u"Locator", 1080, 5040, 1575, 375, kLightYellow, true, true, Qso(u"Loc"), 0},
    {C::Manager, "Manager", K::Label, u"Manager", 120, 5640, 855, 375, kLightOrange, true, true, {}, 0},
    {C::QslManag, "QslManag", K::TextBox, u"QslManager", 1080, 5520, 1575, 375, kYellow, true, true, Qso(u"Manager"), 0},
    {C::Label9, "Label9", K::Label, u"Notes", 120, 6120, 855, 255, kLightOrange, true, true, {}, 0},
    {C::Notes, "Notes", K::TextBox, u"Notes", 1080, 6000, 1575, 375, kLightYellow, true, true, Qso(u"Notes"), 0},
    {C::Label10, "Label10", K::Label, u"          Control  CAT,PTT,SoundCard", 720, 6600, 1935, 495, kLightOrange, true, true, {}, 0},
    {C::Command1, "Command1", K::Button, u"MixW2", 240, 7080, 975, 375, kButtonFace, true, false, {}, 0},
    {C::Command2, "Command2", K::Button, u"Lg32", 1920, 7080, 1095, 375, kMenuColour, true, false, {}, 0},
    {C::Command3, "Command3", K::Button, u"PKT LSB", 1080, 7560, 1095, 375, kButtonFace, true, true, {}, 0},
    {C::Label6, "Label6", K::Label, u"Command", 360, 8040, 855, 255, kLightOrange, true, true, {}, 0},
    {C::TextCommand, "TextCommand", K::TextBox, u"Command", 1560, 8280, 1335, 375, kWindowColour, true, true, Qso(u"Command"), 0},
    {C::Sent, "Sent", K::TextBox, u"Sent", 360, 8640, 2535, 375, kWindowColour, true, true, {}, 0},
    {C::Cluster, "Cluster", K::TextBox, u"Cluster", 360, 9120, 2532, 372, kWindowColour, true, true, {}, 0},
    {C::Freq_logger32, "Freq_logger32", K::TextBox, u"Freq_Logger32", 360, 9600, 2532, 492, kWindowColour, true, true, {}, 0},
    {C::CommandSend, "CommandSend", K::Button, u"Send!", 720, 10800, 1575, 375, kButtonFace, false, true, {}, 0},
    {C::Timer, "Timer", K::Timer, u"", 0, 0, 0, 0, 0, true, true, {}, 0},
    {C::Timer1, "Timer1", K::Timer, u"", 0, 0, 0, 0, 0, true, false, {}, 1000},
    {C::Timer2, "Timer2", K::Timer, u"", 0, 0, 0, 0, 0, true, false, {}, 300},
    {C::Timer3, "Timer3", K::Timer, u"", 0, 0, 0, 0, 0, true, true, {}, 500},
    {C::Timer4, "Timer4", K::Timer, u"", 0, 0, 0, 0, 0, true, true, {}, 3000},
}};
// clang-format on

}  // namespace

const std::array<ControlDesign, kControlCount>& Controls() {
    return kControls;
}

const ControlDesign& Design(ControlId id) {
    return kControls[static_cast<std::size_t>(Index(id))];
}

std::optional<ControlId> FindControl(std::string_view name) {
    for (const auto& c : kControls) {
        if (c.name == name) return c.id;
    }
    return std::nullopt;
}

}  // namespace linkwell::shell
