// The bridge window's controls as they stand at design time: names, kinds,
// initial texts, colours, positions in twips and visibility (the DDE links
// that fill MixW's boxes are in mixw/protocol.h).
// Both worlds build their window from this one table.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "version.h"

namespace linkwell::window {

// Every control by its role. The comment gives the name the window designer
// gave it: the name the control table, the scenario language (click, dump)
// and the trace use, and the only place code meets it.
// clang-format off
enum class ControlId : int {
    StatusLine,              // "Text1"         which program holds the rig, or what the bridge waits for
    ModeLabel,               // "Label8"        caption "Mode"
    ModeBox,                 // "Mode"          MixW's mode (a DDE link)
    KhzLabel,                // "Label4"        caption "KHz"
    DialFreqBox,             // "Freq"          MixW's dial frequency in kHz (a DDE link)
    TimeLabel,               // "Times"         caption "Time"
    TimeBox,                 // "Time"          MixW's QSO time (a DDE link)
    CallLabel,               // "Label1"        caption "Callsign"
    CallBox,                 // "Callsign"      MixW's QSO call
    NameLabel,               // "Label5"        caption "Name"
    NameBox,                 // "HisName"       MixW's QSO name
    QthLabel,                // "Label7"        caption "QTH"
    QthBox,                  // "Qth"           MixW's QSO QTH
    RstRcvdLabel,            // "Label2"        caption "RST rcvd"
    RstRcvdBox,              // "RSTr"          MixW's report received
    RstSentLabel,            // "Label3"        caption "RST snt"
    RstSentBox,              // "RSTs"          MixW's report sent
    IotaLabel,               // "Label11"       caption "IOTA"
    IotaBox,                 // "IOTA"          MixW's IOTA reference
    LocatorLabel,            // "Label12"       caption "Locator"
    LocatorBox,              // "Locator"       MixW's locator
    QslManagerLabel,         // "Manager"       caption "Manager"
    QslManagerBox,           // "QslManag"      MixW's QSL manager
    NotesLabel,              // "Label9"        caption "Notes"
    NotesBox,                // "Notes"         MixW's notes
    RigControlLabel,         // "Label10"       caption over the two handover buttons
    MixWTakesRigButton,      // "Command1"      hands CAT, PTT and sound card to MixW2
    Logger32TakesRigButton,  // "Command2"      hands them to Logger32
    SidebandButton,          // "Command3"      PKT LSB / PKT_USB: audio offset subtracted or added
    CommandLabel,            // "Label6"        caption "Command"
    MixWCommandBox,          // "TextCommand"   MixW's command item: "Save" logs, "Remove" cancels
    Logger32TextBox,         // "Sent"          Logger32 writes spots and QSO records here
    ClusterBox,              // "Cluster"       Logger32's code 102 number; its handle goes out with code 10
    Logger32FreqBox,         // "Freq_logger32" Logger32's frequency (code 100) in kHz
    LogQsoButton,            // "CommandSend"   Send!: logs the QSO in Logger32
    HandshakeTimer,          // "Timer"         looks for Logger32 again, or asks under the next name
    StartupTimer,            // "Timer1"        one tick: the start-up wait for Logger32 and MixW2
    PushTimer,               // "Timer2"        pushes MixW's mode, frequency and QSO to Logger32
    IntakeTimer,             // "Timer3"        acts on Logger32's text a moment after it arrives
    AboutTimer,              // "Timer4"        ends the about window and starts the start-up wait
};
// clang-format on
inline constexpr int kControlCount = 40;

enum class ControlKind { TextBox, Label, Button, Timer };

// Colours are 0x00BBGGRR. Values with the top bit set name a system colour
// by its index, as the window toolkit does (resolved by the world).
inline constexpr std::uint32_t kSystemColour = 0x80000000u;
inline constexpr std::uint32_t kButtonFace = kSystemColour | 15u;   // COLOR_BTNFACE
inline constexpr std::uint32_t kMenuColour = kSystemColour | 4u;    // COLOR_MENU
inline constexpr std::uint32_t kWindowColour = kSystemColour | 5u;  // COLOR_WINDOW
inline constexpr std::uint32_t kLightOrange = 0x0080C0FFu;
inline constexpr std::uint32_t kLightYellow = 0x0080FFFFu;
inline constexpr std::uint32_t kYellow = 0x0000FFFFu;
inline constexpr std::uint32_t kPurple = 0x00C000C0u;
inline constexpr std::uint32_t kLightCyan = 0x00FFFF80u;
inline constexpr std::uint32_t kLightBlue = 0x00FFC0C0u;
inline constexpr std::uint32_t kLightPink = 0x00FFC0FFu;

struct ControlDesign {
    ControlId id;
    std::string_view name;
    ControlKind kind;
    std::u16string_view initial;   // text, caption; empty for timers
    int left, top, width, height;  // twips; 0 for timers
    std::uint32_t backColor;
    bool visible;
    bool enabled;
    int interval;  // timers only
};

// The forty controls in their design order.
[[nodiscard]] const std::array<ControlDesign, kControlCount>& Controls();
[[nodiscard]] const ControlDesign& Design(ControlId id);
[[nodiscard]] std::optional<ControlId> FindControl(std::string_view name);
[[nodiscard]] inline int Index(ControlId id) {
    return static_cast<int>(id);
}

// Timer slots, as the worlds number them.
[[nodiscard]] inline int TimerSlot(ControlId timer) {
    return Index(timer) - Index(ControlId::HandshakeTimer);
}
[[nodiscard]] inline ControlId TimerFromSlot(int slot) {
    return static_cast<ControlId>(Index(ControlId::HandshakeTimer) + slot);
}
inline constexpr int kTimerCount = 5;
// One more timer that is no control of the window: the watch on Logger32
// and MixW2 while the bridge runs (see lifecycle.h).
inline constexpr int kWatchTimerSlot = kTimerCount;
inline constexpr int kTimerSlotCount = kTimerCount + 1;

// The bridge window: caption, client size in twips, background.
inline constexpr std::u16string_view kFormCaption = u"MixW to Logger32";
inline constexpr int kFormWidthTwips = 3255;
inline constexpr int kFormHeightTwips = 8055;
inline constexpr std::u16string_view kProgramTitle = u"Linkwell";

// The about window.
inline constexpr int kAboutWidthTwips = 4335;
inline constexpr int kAboutHeightTwips = 2880;
inline constexpr std::u16string_view kAboutCaption = u"Linkwell, by Linkwell contributors";
inline constexpr std::u16string_view kAboutLabel =
    u"Linkwell\r\nversion " LINKWELL_VERSION_TEXT "\r\nby Linkwell contributors";

}  // namespace linkwell::window
