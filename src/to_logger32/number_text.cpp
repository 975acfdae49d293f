#include "to_logger32/number_text.h"

#include <array>
#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

namespace linkwell::to_logger32 {

using platform::Text;

namespace {

constexpr int kSignificantDigits = 15;

// A finite value rounded to 15 significant digits: sign, the digits without
// trailing zeros, and the power of ten of the first digit.
struct Rounded {
    bool negative = false;
    std::string digits;  // "0" for zero
    int exponent = 0;
};

Rounded Round15(double value) {
    Rounded r;
    if (value == 0) {  // also -0: no sign for zero
        r.digits = "0";
        return r;
    }
    // "-d.dddddddddddddde-ddd" fits with room to spare.
    std::array<char, 40> buf{};
    const auto [end, ec] = std::to_chars(buf.data(), buf.data() + buf.size(), value,
                                         std::chars_format::scientific, kSignificantDigits - 1);
    std::string_view s(buf.data(),
                       ec == std::errc() ? static_cast<std::size_t>(end - buf.data()) : 0);
    if (!s.empty() && s.front() == '-') {
        r.negative = true;
        s.remove_prefix(1);
    }
    const auto e = s.find('e');
    for (const char c : s.substr(0, e)) {
        if (c != '.') r.digits += c;
    }
    while (r.digits.size() > 1 && r.digits.back() == '0') r.digits.pop_back();
    const auto expText = s.substr(e + 1);
    const char* first = expText.data();
    if (!expText.empty() && expText.front() == '+') ++first;
    (void)std::from_chars(first, expText.data() + expText.size(), r.exponent);
    return r;
}

// The rounded value in positional notation, without its sign.
Text Positional(const Rounded& r, std::u16string_view separator) {
    Text out;
    const auto digits = static_cast<int>(r.digits.size());
    auto put = [&out](char c) { out += static_cast<char16_t>(c); };
    if (r.exponent < 0) {
        put('0');
        out += separator;
        out.append(static_cast<std::size_t>(-r.exponent - 1), u'0');
        for (const char c : r.digits) put(c);
        return out;
    }
    const int integerDigits = r.exponent + 1;
    for (int i = 0; i < integerDigits; ++i)
        put(i < digits ? r.digits[static_cast<std::size_t>(i)] : '0');
    if (digits > integerDigits) {
        out += separator;
        for (int i = integerDigits; i < digits; ++i) put(r.digits[static_cast<std::size_t>(i)]);
    }
    return out;
}

bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

}  // namespace

Text DetectionText(double value) {
    const Rounded r = Round15(value);
    return (r.negative ? u"-" : u" ") + Positional(r, u".");
}

Text ValueText(double value, std::u16string_view decimalSeparator) {
    const Rounded r = Round15(value);
    Text out = (r.negative ? u"-" : u"") + Positional(r, decimalSeparator);
    // A separator made of blanks must not leave the text with one at an end.
    const auto first = out.find_first_not_of(u' ');
    if (first == Text::npos) return {};
    return out.substr(first, out.find_last_not_of(u' ') - first + 1);
}

std::optional<double> LeadingNumber(std::u16string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    std::string integer;
    std::string fraction;
    while (i < text.size() && IsDigit(text[i])) integer += static_cast<char>(text[i++]);
    if (i < text.size() && text[i] == u'.') {
        ++i;
        while (i < text.size() && IsDigit(text[i])) fraction += static_cast<char>(text[i++]);
    }
    if (integer.empty() && fraction.empty()) return 0.0;
    const std::string number = (integer.empty() ? "0" : integer) + "." + fraction + "0";
    double value = 0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value,
                                           std::chars_format::fixed);
    if (ec == std::errc::result_out_of_range) {
        // Out of range with a non-zero integer part is too large; without
        // one it is too small to tell from 0.
        if (integer.find_first_not_of('0') != std::string::npos) return std::nullopt;
        value = 0;
    } else if (ec != std::errc()) {
        return 0.0;
    }
    (void)end;
    return negative ? -value : value;
}

platform::Text MegahertzText(std::u16string_view kilohertz, std::u16string_view decimalSeparator) {
    platform::Text sign;
    if (!kilohertz.empty() && kilohertz.front() == u'-') {
        sign = u"-";
        kilohertz.remove_prefix(1);
    }
    std::u16string_view whole = kilohertz;
    std::u16string_view fraction;
    if (!decimalSeparator.empty()) {
        if (const auto at = kilohertz.find(decimalSeparator); at != kilohertz.npos) {
            whole = kilohertz.substr(0, at);
            fraction = kilohertz.substr(at + decimalSeparator.size());
        }
    }
    const auto digits = [](std::u16string_view t) {
        for (const char16_t c : t) {
            if (c < u'0' || c > u'9') return false;
        }
        return true;
    };
    if ((whole.empty() && fraction.empty()) || !digits(whole) || !digits(fraction)) return {};
    platform::Text padded(whole);
    if (padded.size() < 4) padded.insert(0, 4 - padded.size(), u'0');
    const std::size_t point = padded.size() - 3;
    return sign + padded.substr(0, point) + u'.' + padded.substr(point) + platform::Text(fraction);
}

}  // namespace linkwell::to_logger32
