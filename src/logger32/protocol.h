// Logger32's side of the conversation, as Logger32 defines it: every code
// and every text, in both directions, then the rules both sides keep.
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
//
// The texts, in order of their fields (n: the value's length in UTF-16 code
// units, in decimal):
//
//   dir  text                                   when
//   out  <APP_FORCE_MODE:n>MODE                 MixW's mode changed
//   out  <APP_FORCE_FREQ:n>KHZ                  MixW's frequency changed
//   out  record                                 a field of MixW's QSO changed
//   out  <APP_LOGQSO:n> record                  the operator logs the QSO;
//          <APP_TIME_ON:n>T <APP_TIME_OFF:n>T   then codes 15 and 16
//   out  <EOR>                                  MixW removed the QSO
//   in   spot                                   the operator clicked a DX spot
//   in   record ... <EOR> ... <EOF>             Logger32's QSO, to be saved
//
// What each holds:
//  - MODE: Logger32's name of the mode (MixW's PSK and MFSK names become
//    Logger32's); KHZ: the frequency in kHz with the user's decimal
//    separator, up to 15 significant digits;
//  - record (out): nine fields in this order, each <TAG:n>value, empty
//    values included: CALL, RST_RCVD, RST_SENT, QTH, NAME, COMMENT,
//    GRIDSQUARE, IOTA, QSL_VIA; T is MixW's QSO time;
//  - spot (in), positions counted from 1 as Logger32 counts them:
//    "APP_DXSPOT_CLICKED" at characters 2 to 19, the data from character
//    24: callsign "|" frequency "|" mode. The callsign may be empty; a "|"
//    right after the first one belongs to the frequency, which is never
//    empty; the mode is the 10 characters after the second "|" (fewer at the
//    end of the text), whatever they hold;
//  - record (in): ADIF-style, CALL first. A field is found by the first
//    occurrence of its name anywhere in the text, also inside a longer name,
//    case-sensitive. Its length digits run up to the first ">" after the
//    name and must be plain decimal digits whose number fits 31 bits; the
//    value is that many characters after the ">", fewer when the text ends
//    sooner. CALL's digits are read from character 7; MODE's length is the
//    single digit 5 characters after the name, and its value starts 7 after
//    it. "<EOR>" in it clears MixW's QSO first; "<EOF>" saves it.
//
// Compatibility:
//  - incoming codes other than 0, 3, 100 and 102 are ignored and answered
//    with 0; code 3 counts only when it names a window of Logger32's own
//    process;
//  - no text is ever confirmed: that Logger32's window took it is all the
//    bridge learns, and a logging is never given twice;
//  - a spot or field that breaks the form above is skipped, never guessed;
//    fields the bridge does not read are ignored wherever they stand.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
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

// --- the texts -------------------------------------------------------------------
using TextView = std::u16string_view;

inline constexpr TextView kForceModeTag = u"<APP_FORCE_MODE:";
inline constexpr TextView kForceFreqTag = u"<APP_FORCE_FREQ:";
inline constexpr TextView kLoggingTag = u"<APP_LOGQSO:";
inline constexpr TextView kTimeOnTag = u"<APP_TIME_ON:";
inline constexpr TextView kTimeOffTag = u"<APP_TIME_OFF:";
inline constexpr TextView kEndOfRecord = u"<EOR>";
inline constexpr TextView kEndOfFile = u"<EOF>";

// The record's fields, in the order they are written.
namespace record {
inline constexpr TextView kCall = u"<CALL:";
inline constexpr TextView kRstRcvd = u"<RST_RCVD:";
inline constexpr TextView kRstSent = u"<RST_SENT:";
inline constexpr TextView kQth = u"<QTH:";
inline constexpr TextView kName = u"<NAME:";
inline constexpr TextView kComment = u"<COMMENT:";
inline constexpr TextView kGridSquare = u"<GRIDSQUARE:";
inline constexpr TextView kIota = u"<IOTA:";
inline constexpr TextView kQslVia = u"<QSL_VIA:";
}  // namespace record

// What Logger32 writes: the spot's header and the names its record's
// fields are found by.
inline constexpr TextView kSpotHeader = u"APP_DXSPOT_CLICKED";
inline constexpr TextView kCallName = u"CALL";
inline constexpr TextView kModeName = u"MODE";
inline constexpr TextView kRstSentName = u"RST_SENT";
inline constexpr TextView kRstRcvdName = u"RST_RCVD";
inline constexpr TextView kNameName = u"NAME";

// "<TAG:" + length + ">" + value; the length counts UTF-16 code units.
[[nodiscard]] platform::Text AdifField(TextView tag, const platform::Text& value);
[[nodiscard]] platform::Text ModeText(const platform::Text& mode);
[[nodiscard]] platform::Text FrequencyText(const platform::Text& khz);
// The record with the time pair, as one logging field.
[[nodiscard]] platform::Text LoggingText(const platform::Text& record, const platform::Text& time);

// A field's value: its length digits run from `digitsAt` up to the first
// ">" at or after `searchFrom`, and must be plain decimal digits whose
// number fits 31 bits; the value is that many characters after the ">",
// fewer when the text ends sooner. nullopt when the field is broken. The
// value is a view into the text.
[[nodiscard]] std::optional<TextView> FieldValue(TextView text, std::size_t digitsAt,
                                                 std::size_t searchFrom);

}  // namespace linkwell::logger32
