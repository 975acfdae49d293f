// Logger32's side of the conversation, as Logger32 defines it.
//
// Carriers:
//  - a registered window message: wParam carries a command code, lParam one
//    32-bit value. The bridge posts it (the leaving notice is sent) to
//    Logger32's top-level window; Logger32 answers to the bridge window.
//    Logger32 accepts one of five registered names, whichever is free, so
//    the bridge asks under each in turn;
//  - plain text by WM_SETTEXT, in both directions: the bridge's texts into
//    the window Logger32 names with code 3, Logger32's texts into the box
//    whose handle the bridge sends with code 2.
#pragma once

#include <array>
#include <string_view>

#include "platform/platform.h"

namespace linkwell::logger32 {

inline constexpr std::u16string_view kWindowTitle = u"Logger32";
inline constexpr std::array<std::u16string_view, 5> kMessageNames = {
    u"Logger32 1", u"Logger32 2", u"Logger32 3", u"Logger32 4", u"Logger32 5"};

// Command codes (wParam). Direction, how it travels, lParam, meaning.
namespace code {
using platform::WParam;
// in   posted  accepted != 0 / refused 0   answer to a connect request
inline constexpr WParam kAnswer = 0;
// out  post    the bridge window           connect request, once per name tried
inline constexpr WParam kConnect = 1;
// out  post x2 0, then the Sent box        where Logger32 is to write its texts
inline constexpr WParam kTextWindowOf = 2;
// in   posted  Logger32's text window      where the bridge's texts go
inline constexpr WParam kTextWindow = 3;
// out  send    reference to a zero         the bridge closes
inline constexpr WParam kLeaving = 4;
// out  post    0        Logger32-takes-control set
inline constexpr WParam kLogger32Set6 = 6;
// out  post    0        MixW2-takes-control set
inline constexpr WParam kMixWSet7 = 7;
// out  post    the Cluster box             a text from Logger32 arrived
inline constexpr WParam kClusterWindow = 10;
// out  post    0        MixW2-takes-control set
inline constexpr WParam kMixWSet11 = 11;
// out  post    0        Logger32-takes-control set
inline constexpr WParam kLogger32Set12 = 12;
// out  post    0        MixW2-takes-control set
inline constexpr WParam kMixWSet13 = 13;
// out  post    0        Logger32-takes-control set
inline constexpr WParam kLogger32Set14 = 14;
// out  post    1        right after a logging text
inline constexpr WParam kLogged1 = 15;
// out  post    1        right after code 15
inline constexpr WParam kLogged2 = 16;
// out  post    1 MixW2 / 0 Logger32 takes control, in both sets
inline constexpr WParam kRigSet18 = 18;
// out  post    0 MixW2 / 1 Logger32 takes control, in both sets
inline constexpr WParam kRigSet19 = 19;
// in   posted  frequency in hertz          shown in kHz; retunes MixW while Logger32 has the rig
inline constexpr WParam kFrequency = 100;
// in   posted  a signed number             shown in the Cluster box
inline constexpr WParam kCluster = 102;
}  // namespace code

struct CodeAndValue {
    platform::WParam code;
    platform::LParam value;
};
// The two handover sets, always posted whole and in this order.
inline constexpr std::array<CodeAndValue, 5> kMixWTakesControl = {{{code::kMixWSet7, 0},
                                                                   {code::kMixWSet11, 0},
                                                                   {code::kMixWSet13, 0},
                                                                   {code::kRigSet19, 0},
                                                                   {code::kRigSet18, 1}}};
inline constexpr std::array<CodeAndValue, 5> kLogger32TakesControl = {{{code::kLogger32Set12, 0},
                                                                       {code::kRigSet18, 0},
                                                                       {code::kLogger32Set6, 0},
                                                                       {code::kLogger32Set14, 0},
                                                                       {code::kRigSet19, 1}}};

// The operator's box when every name was refused, word for word (the two
// blanks after the first full stop included): kept byte for byte.
inline constexpr std::u16string_view kGiveUpText =
    u"Unable to connect to Logger32.  I tried 5 different registered messages and all were "
    u"rejected";
inline constexpr std::u16string_view kGiveUpTitle = u"Too busy";

}  // namespace linkwell::logger32
