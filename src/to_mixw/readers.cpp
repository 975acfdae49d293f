#include "to_mixw/readers.h"

#include <cstddef>

namespace linkwell::to_mixw {

namespace {

constexpr auto npos = TextView::npos;

// Logger32 writes the spot's data from character 24; its first "|" is
// looked for from character 23 (indices 23 and 22 counted from 0).
constexpr std::size_t kSpotData = 23;
constexpr std::size_t kSpotBarSearch = 22;
// The CALL field's length digits begin at character 7.
constexpr std::size_t kCallDigits = 6;

// The value of `length` characters from `start`, cut short by the end.
TextView Value(TextView text, std::size_t start, std::size_t length) {
    if (start >= text.size()) return {};
    return text.substr(start, length);
}

// One length digit, as MODE has it.
std::optional<std::size_t> Digit(TextView text, std::size_t at) {
    const char16_t c = text[at];
    if (c < u'0' || c > u'9') return std::nullopt;
    return static_cast<std::size_t>(c - u'0');
}

// RST_SENT, RST_RCVD, NAME: the digits start one character after the name
// (after its colon), the ">" is the first one at or after the name.
std::optional<TextView> NamedField(TextView text, TextView name) {
    const std::size_t p = text.find(name);
    if (p == npos) return std::nullopt;
    return logger32::FieldValue(text, p + name.size() + 1, p);
}

}  // namespace

bool Holds(TextView text, TextView what) {
    return text.find(what) != npos;
}

bool IsSpot(TextView text) {
    return text.size() >= 1 + kSpotHeader.size() &&
           text.substr(1, kSpotHeader.size()) == kSpotHeader;
}

std::optional<SpotParts> ReadSpot(TextView spot) {
    const std::size_t b = spot.find(u'|', kSpotBarSearch);
    // A "|" at character 23 would end the callsign before it begins.
    if (b == npos || b < kSpotData) return std::nullopt;
    // A "|" right after the first one belongs to the frequency.
    const std::size_t c = spot.find(u'|', b + 2);
    if (c == npos) return std::nullopt;
    return SpotParts{spot.substr(kSpotData, b - kSpotData), spot.substr(b + 1, c - b - 1),
                     Value(spot, c + 1, 10)};
}

std::optional<TextView> ReadCall(TextView text) {
    if (!Holds(text, kCallName)) return std::nullopt;
    return logger32::FieldValue(text, kCallDigits, kCallDigits);
}

std::optional<TextView> ReadMode(TextView text) {
    const std::size_t p = text.find(kModeName);
    if (p == npos) return std::nullopt;
    // One length digit only: "<MODE:12>" reads a length of 1 from ">".
    const std::size_t digit = p + kModeName.size() + 1;
    if (digit >= text.size() || text.find(u'>', p) == npos) return std::nullopt;
    const auto length = Digit(text, digit);
    if (!length) return std::nullopt;
    return Value(text, digit + 2, *length);
}

std::optional<TextView> ReadRstSent(TextView text) {
    return NamedField(text, kRstSentName);
}

std::optional<TextView> ReadRstRcvd(TextView text) {
    return NamedField(text, kRstRcvdName);
}

std::optional<TextView> ReadName(TextView text) {
    return NamedField(text, kNameName);
}

}  // namespace linkwell::to_mixw
