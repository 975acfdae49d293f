// The Logger32 link: Logger32's window found by its title, a handshake over
// five registered message names, command codes in both directions (wParam
// the code, lParam one 32-bit value), and plain text by WM_SETTEXT.
//
// What a caller may rely on:
//  - posts return at once and are never confirmed; a post while Logger32's
//    window is unknown goes nowhere;
//  - SendTextToLogger32 hands the whole text over in one send and returns
//    when Logger32's text window has taken it; before Logger32 has named
//    that window (code 3) the text is lost;
//  - incoming codes other than 0, 3, 100 and 102 are ignored; every lParam
//    value is accepted.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "bridge/station.h"

namespace linkwell::logger32 {

using platform::LParam;
using platform::LResult;
using platform::MessageId;
using platform::Text;
using platform::WindowHandle;
using platform::WParam;
using window::Station;

inline constexpr std::u16string_view kWindowTitle = u"Logger32";
inline constexpr std::array<std::u16string_view, 5> kMessageNames = {
    u"Logger32 1", u"Logger32 2", u"Logger32 3", u"Logger32 4", u"Logger32 5"};

inline constexpr std::u16string_view kGiveUpText =
    u"Unable to connect to Logger32.  I tried 5 different registered messages and all were "
    u"rejected";
inline constexpr std::u16string_view kGiveUpTitle = u"Too busy";

// Command codes, carried in wParam of the registered message.
namespace code {
inline constexpr WParam kAnswer = 0;   // Logger32: connection accepted (lParam != 0) or refused
inline constexpr WParam kConnect = 1;  // bridge: connect request, lParam = bridge window
inline constexpr WParam kTextWindowOf = 2;    // bridge: 0, then the Sent box's handle
inline constexpr WParam kTextWindow = 3;      // Logger32: the window that takes our text
inline constexpr WParam kLeaving = 4;         // bridge: the bridge closes (sent, not posted)
inline constexpr WParam kClusterWindow = 10;  // bridge: a text arrived; lParam = Cluster box
inline constexpr WParam kLogged1 = 15;        // bridge: after a logging text
inline constexpr WParam kLogged2 = 16;
inline constexpr WParam kFrequency = 100;  // Logger32: its frequency in hertz
inline constexpr WParam kCluster = 102;    // Logger32: a signed number for the Cluster box
}  // namespace code

struct CodeAndValue {
    WParam code;
    LParam value;
};
// The two handover sets, always posted whole and in this order.
inline constexpr std::array<CodeAndValue, 5> kMixWTakesControl = {
    {{7, 0}, {11, 0}, {13, 0}, {19, 0}, {18, 1}}};
inline constexpr std::array<CodeAndValue, 5> kLogger32TakesControl = {
    {{12, 0}, {18, 0}, {6, 0}, {14, 0}, {19, 1}}};

void PostToLogger32(Station& s, WParam code, LParam value);
void PostSet(Station& s, const std::array<CodeAndValue, 5>& set);
void SendTextToLogger32(Station& s, const Text& text);

void InstallHook(Station& s);
// Leaves the window procedure alone when no hook was installed.
void RemoveHook(Station& s);
void ConnectToLogger32(Station& s);
void OnHandshakeTick(Station& s);
LResult HookWindowProc(Station& s, WindowHandle window, MessageId msg, WParam wParam,
                       LParam lParam);

// Closing the bridge window: hands the rig back to Logger32 when MixW2 holds
// it, removes the hook, tells Logger32 that the bridge leaves, releases
// MixW's object and ends the program.
void Unload(Station& s);

// Logger32's frequency in hertz as kilohertz "#.000": integer digits without
// leading zeros, the separator, exactly three decimals (14075450 gives
// 14075.450, 500 gives .500).
[[nodiscard]] Text KilohertzText(std::int32_t hertz, const Text& decimalSeparator);

}  // namespace linkwell::logger32
