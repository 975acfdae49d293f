// Readers of Logger32's texts: the clicked DX spot and the ADIF-style QSO
// record that Logger32 writes into the Sent box. Pure functions on a view of
// the text; the values they give are views into that same text.
//
// What a caller may rely on:
//  - every reader accepts any text of any length and reads it in time
//    linear in its length; nothing is read outside the text;
//  - a spot or field that breaks the form Logger32 writes gives nullopt and
//    is to be skipped; nothing else is guessed.
//
// The forms, with positions counted from 1 as Logger32 counts them:
//  - spot: "APP_DXSPOT_CLICKED" at characters 2 to 19, the data from
//    character 24: callsign "|" frequency "|" mode. The callsign may be empty;
//    a "|" right after the first one belongs to the frequency, which is never
//    empty; the mode is the 10 characters after the second "|" (fewer at the
//    end of the text), whatever they hold;
//  - field: found by the first occurrence of its name anywhere in the text,
//    also inside a longer name, case-sensitive. Its length digits run up to
//    the first ">" after the name and must be plain decimal digits whose
//    number fits 31 bits; the value is that many characters after the ">",
//    fewer when the text ends sooner. Logger32 always puts CALL first, so
//    CALL's digits are read from character 7; MODE's length is the single
//    digit 5 characters after the name, and its value starts 7 after it.
#pragma once

#include <optional>
#include <string_view>

namespace linkwell::to_mixw {

using TextView = std::u16string_view;

inline constexpr TextView kSpotHeader = u"APP_DXSPOT_CLICKED";
inline constexpr TextView kEndOfRecord = u"<EOR>";
inline constexpr TextView kEndOfFile = u"<EOF>";

inline constexpr TextView kCallName = u"CALL";
inline constexpr TextView kModeName = u"MODE";
inline constexpr TextView kRstSentName = u"RST_SENT";
inline constexpr TextView kRstRcvdName = u"RST_RCVD";
inline constexpr TextView kNameName = u"NAME";

// A plain, case-sensitive search anywhere in the text.
[[nodiscard]] bool Holds(TextView text, TextView what);

// The spot test: characters 2 to 19 are exactly the spot header.
[[nodiscard]] bool IsSpot(TextView text);

struct SpotParts {
    TextView call;
    TextView freq;
    TextView mode;
};
// nullopt when the first "|" at or after character 23 is missing or stands
// at character 23, or when no second "|" follows.
[[nodiscard]] std::optional<SpotParts> ReadSpot(TextView spot);

// Each gives nullopt when the name is absent or its field is broken.
[[nodiscard]] std::optional<TextView> ReadCall(TextView text);
[[nodiscard]] std::optional<TextView> ReadMode(TextView text);
[[nodiscard]] std::optional<TextView> ReadRstSent(TextView text);
[[nodiscard]] std::optional<TextView> ReadRstRcvd(TextView text);
[[nodiscard]] std::optional<TextView> ReadName(TextView text);

}  // namespace linkwell::to_mixw
