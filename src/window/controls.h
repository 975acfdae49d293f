// The bridge window's controls as they stand at design time: names, kinds,
// initial texts, colours, positions in twips, visibility and DDE links.
// Both worlds build their window from this one table.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace linkwell::window {

// clang-format off
enum class ControlId : int {
    StatusLine, ModeLabel, ModeBox, KhzLabel, DialFreqBox, TimeLabel, TimeBox, CallLabel, CallBox, NameLabel, NameBox,
    QthLabel, QthBox, RstRcvdLabel, RstRcvdBox, RstSentLabel, RstSentBox, IotaLabel, IotaBox, LocatorLabel, LocatorBox, QslManagerLabel,
    QslManagerBox, NotesLabel, NotesBox, RigControlLabel, MixWTakesRigButton, Logger32TakesRigButton, SidebandButton, CommandLabel, MixWCommandBox,
    Logger32TextBox, ClusterBox, Logger32FreqBox, LogQsoButton,
    HandshakeTimer, StartupTimer, PushTimer, IntakeTimer, AboutTimer,
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

// A design-time DDE link: "service|topic" and item.
struct DesignLink {
    std::u16string_view service;
    std::u16string_view topic;
    std::u16string_view item;
};

struct ControlDesign {
    ControlId id;
    std::string_view name;
    ControlKind kind;
    std::u16string_view initial;   // text, caption; empty for timers
    int left, top, width, height;  // twips; 0 for timers
    std::uint32_t backColor;
    bool visible;
    bool enabled;
    std::optional<DesignLink> link;
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
    u"Linkwell\r\nversion 1.1\r\nby Linkwell contributors";

}  // namespace linkwell::window
