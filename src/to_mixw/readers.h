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
// The forms, with positions counted from 1, are in logger32/protocol.h.
#pragma once

#include <optional>
#include <string_view>

#include "logger32/protocol.h"

namespace linkwell::to_mixw {

using logger32::TextView;

using logger32::kCallName;
using logger32::kEndOfFile;
using logger32::kEndOfRecord;
using logger32::kModeName;
using logger32::kNameName;
using logger32::kRstRcvdName;
using logger32::kRstSentName;
using logger32::kSpotHeader;

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
