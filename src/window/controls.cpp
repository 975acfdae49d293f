#include "window/controls.h"

namespace linkwell::window {
namespace {

using K = ControlKind;
using C = ControlId;

// Text boxes, labels and buttons are visible unless they are carriers below
// the client area (those are visible controls the window is too small to show).
// One control a line reads as the design table it is.
// clang-format off
const std::array<ControlDesign, kControlCount> kControls = {{
    {C::StatusLine, "Text1", K::TextBox, u"Waiting start Logger32 and MixW2", 120, 120, 3012, 375, kLightYellow, true, true, 0},
    {C::ModeLabel, "Label8", K::Label, u"Mode", 120, 840, 732, 252, kLightOrange, true, true, 0},
    {C::ModeBox, "Mode", K::TextBox, u"Mode", 1080, 720, 1572, 372, kLightYellow, true, true, 0},
    {C::KhzLabel, "Label4", K::Label, u"KHz", 120, 1320, 492, 252, kLightOrange, true, true, 0},
    {C::DialFreqBox, "Freq", K::TextBox, u"14075.45", 1080, 1200, 1575, 375, kLightYellow, true, true, 0},
    {C::TimeLabel, "Times", K::Label, u"Time", 120, 1800, 732, 252, kLightOrange, true, true, 0},
    {C::TimeBox, "Time", K::TextBox, u"Time", 1080, 1680, 1572, 372, kLightYellow, true, true, 0},
    {C::CallLabel, "Label1", K::Label, u"Callsign", 120, 2280, 732, 252, kLightOrange, true, true, 0},
    {C::CallBox, "Callsign", K::TextBox, u"Call", 1080, 2160, 1575, 375, kLightYellow, true, true, 0},
    {C::NameLabel, "Label5", K::Label, u"Name", 120, 2760, 492, 252, kLightOrange, true, true, 0},
    {C::NameBox, "HisName", K::TextBox, u"Name", 1080, 2640, 1575, 375, kLightYellow, true, true, 0},
    {C::QthLabel, "Label7", K::Label, u"QTH", 120, 3240, 612, 252, kLightOrange, true, true, 0},
    {C::QthBox, "Qth", K::TextBox, u"Qth", 1080, 3120, 1572, 372, kLightYellow, true, true, 0},
    {C::RstRcvdLabel, "Label2", K::Label, u"RST rcvd", 120, 3720, 852, 252, kLightOrange, true, true, 0},
    {C::RstRcvdBox, "RSTr", K::TextBox, u"RSTr", 1080, 3600, 1575, 375, kLightYellow, true, true, 0},
    {C::RstSentLabel, "Label3", K::Label, u"RST snt", 120, 4200, 732, 252, kLightOrange, true, true, 0},
    {C::RstSentBox, "RSTs", K::TextBox, u"RSTs", 1080, 4080, 1575, 375, kLightYellow, true, true, 0},
    {C::IotaLabel, "Label11", K::Label, u"IOTA", 120, 4680, 855, 375, kLightOrange, true, true, 0},
    {C::IotaBox, "IOTA", K::TextBox, u"IOTA", 1080, 4560, 1575, 375, kLightYellow, true, true, 0},
    {C::LocatorLabel, "Label12", K::Label, u"Locator", 120, 5160, 975, 375, kLightOrange, true, true, 0},
    {C::LocatorBox, "Locator", K::TextBox, u"Locator", 1080, 5040, 1575, 375, kLightYellow, true, true, 0},
    {C::QslManagerLabel, "Manager", K::Label, u"Manager", 120, 5640, 855, 375, kLightOrange, true, true, 0},
    {C::QslManagerBox, "QslManag", K::TextBox, u"QslManager", 1080, 5520, 1575, 375, kYellow, true, true, 0},
    {C::NotesLabel, "Label9", K::Label, u"Notes", 120, 6120, 855, 255, kLightOrange, true, true, 0},
    {C::NotesBox, "Notes", K::TextBox, u"Notes", 1080, 6000, 1575, 375, kLightYellow, true, true, 0},
    {C::RigControlLabel, "Label10", K::Label, u"          Control  CAT,PTT,SoundCard", 720, 6600, 1935, 495, kLightOrange, true, true, 0},
    {C::MixWTakesRigButton, "Command1", K::Button, u"MixW2", 240, 7080, 975, 375, kButtonFace, true, false, 0},
    {C::Logger32TakesRigButton, "Command2", K::Button, u"Lg32", 1920, 7080, 1095, 375, kMenuColour, true, false, 0},
    {C::SidebandButton, "Command3", K::Button, u"PKT LSB", 1080, 7560, 1095, 375, kButtonFace, true, true, 0},
    {C::CommandLabel, "Label6", K::Label, u"Command", 360, 8040, 855, 255, kLightOrange, true, true, 0},
    {C::MixWCommandBox, "TextCommand", K::TextBox, u"Command", 1560, 8280, 1335, 375, kWindowColour, true, true, 0},
    {C::Logger32TextBox, "Sent", K::TextBox, u"Sent", 360, 8640, 2535, 375, kWindowColour, true, true, 0},
    {C::ClusterBox, "Cluster", K::TextBox, u"Cluster", 360, 9120, 2532, 372, kWindowColour, true, true, 0},
    {C::Logger32FreqBox, "Freq_logger32", K::TextBox, u"Freq_Logger32", 360, 9600, 2532, 492, kWindowColour, true, true, 0},
    {C::LogQsoButton, "CommandSend", K::Button, u"Send!", 720, 10800, 1575, 375, kButtonFace, false, true, 0},
    {C::HandshakeTimer, "Timer", K::Timer, u"", 0, 0, 0, 0, 0, true, true, 0},
    {C::StartupTimer, "Timer1", K::Timer, u"", 0, 0, 0, 0, 0, true, false, 1000},
    {C::PushTimer, "Timer2", K::Timer, u"", 0, 0, 0, 0, 0, true, false, 300},
    {C::IntakeTimer, "Timer3", K::Timer, u"", 0, 0, 0, 0, 0, true, true, 500},
    {C::AboutTimer, "Timer4", K::Timer, u"", 0, 0, 0, 0, 0, true, true, 3000},
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

}  // namespace linkwell::window
