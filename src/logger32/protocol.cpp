// The texts Logger32 is sent, built in one place, and the one reader of an
// ADIF-style field.
#include "logger32/protocol.h"

#include <cstdint>
#include <string>

namespace linkwell::logger32 {

using platform::Text;

namespace {

// Larger lengths than any text a window can hold are not a length.
constexpr std::uint32_t kMaxLength = INT32_MAX;

// The number that plain decimal digits spell; nullopt for an empty run,
// anything but digits, or a number above kMaxLength.
std::optional<std::size_t> Length(TextView digits) {
    if (digits.empty()) return std::nullopt;
    std::uint32_t n = 0;
    for (char16_t c : digits) {
        if (c < u'0' || c > u'9') return std::nullopt;
        const auto d = static_cast<std::uint32_t>(c - u'0');
        if (n > (kMaxLength - d) / 10) return std::nullopt;
        n = n * 10 + d;
    }
    return n;
}

// The value of `length` characters from `start`, cut short by the end.
TextView Value(TextView text, std::size_t start, std::size_t length) {
    if (start >= text.size()) return {};
    return text.substr(start, length);
}

}  // namespace

Text AdifField(TextView tag, const Text& value) {
    const std::string n = std::to_string(value.size());
    Text out(tag);
    out.append(n.begin(), n.end());
    out += u'>';
    out += value;
    return out;
}

Text ModeText(const Text& mode) {
    return AdifField(kForceModeTag, mode);
}

Text FrequencyText(const Text& khz) {
    return AdifField(kForceFreqTag, khz);
}

Text LoggingText(const Text& record, const Text& time) {
    return AdifField(kLoggingTag,
                     record + AdifField(kTimeOnTag, time) + AdifField(kTimeOffTag, time));
}

std::optional<TextView> FieldValue(TextView text, std::size_t digitsAt, std::size_t searchFrom) {
    const std::size_t close = text.find(u'>', searchFrom);
    if (close == TextView::npos || close < digitsAt) return std::nullopt;
    const auto length = Length(text.substr(digitsAt, close - digitsAt));
    if (!length) return std::nullopt;
    return Value(text, close + 1, *length);
}

}  // namespace linkwell::logger32
