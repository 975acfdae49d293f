#include "text/text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>

namespace linkwell::text {
namespace {

// Windows-1252 bytes 0x80..0x9F; the five unassigned bytes map to the C1
// controls of the same value, as Windows maps them.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

std::optional<std::u16string> FromUtf8(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto b0 = static_cast<unsigned char>(bytes[i]);
        std::uint32_t cp = 0;
        std::size_t extra = 0;
        if (b0 < 0x80) {
            cp = b0;
        } else if ((b0 & 0xE0) == 0xC0) {
            cp = b0 & 0x1Fu;
            extra = 1;
        } else if ((b0 & 0xF0) == 0xE0) {
            cp = b0 & 0x0Fu;
            extra = 2;
        } else if ((b0 & 0xF8) == 0xF0) {
            cp = b0 & 0x07u;
            extra = 3;
        } else {
            return std::nullopt;
        }
        if (i + extra >= bytes.size() && extra > 0) return std::nullopt;
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto b = static_cast<unsigned char>(bytes[i + k]);
            if ((b & 0xC0) != 0x80) return std::nullopt;
            cp = (cp << 6) | (b & 0x3Fu);
        }
        const bool overlong =
            (extra == 1 && cp < 0x80) || (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000);
        if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += extra + 1;
    }
    return out;
}

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

std::string ToAnsi(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out += static_cast<char>(c);
            continue;
        }
        char replacement = '?';
        for (std::size_t k = 0; k < kHigh.size(); ++k) {
            if (kHigh[k] == c) replacement = static_cast<char>(0x80 + k);
        }
        // Each half of a surrogate pair becomes a '?' of its own, as
        // Windows' conversion (WC_NO_BEST_FIT_CHARS) gives under Wine.
        out += replacement;
    }
    return out;
}

std::u16string FromAnsi(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        out += (b >= 0x80 && b < 0xA0) ? kHigh[b - 0x80u] : static_cast<char16_t>(b);
    }
    return out;
}

std::string Quote(std::u16string_view text) {
    std::string out = "\"";
    for (char16_t c : text) {
        switch (c) {
            case u'"': out += "\\\""; break;
            case u'\\': out += "\\\\"; break;
            case u'\n': out += "\\n"; break;
            case u'\t': out += "\\t"; break;
            case u'\r': out += "\\r"; break;
            default:
                if (c >= 0x20 && c < 0x7F) {
                    out += static_cast<char>(c);
                } else {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
                    out += buf;
                }
        }
    }
    out += '"';
    return out;
}

std::string AsciiLower(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        c = static_cast<char>(AsciiLower(static_cast<char16_t>(static_cast<unsigned char>(c))));
    }
    return out;
}

std::size_t FindIgnoringCase(std::u16string_view text, std::u16string_view what, std::size_t from) {
    const auto it = std::search(
        text.begin() + static_cast<std::ptrdiff_t>(from), text.end(), what.begin(), what.end(),
        [](char16_t a, char16_t b) { return AsciiLower(a) == AsciiLower(b); });
    return it == text.end() ? std::u16string_view::npos
                            : static_cast<std::size_t>(it - text.begin());
}

}  // namespace linkwell::text
