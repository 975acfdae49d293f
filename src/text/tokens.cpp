#include "text/tokens.h"

#include <charconv>

#include "text/text.h"

namespace linkwell::text {
namespace {

bool Blank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

void Append(std::string& bytes, std::u16string& out) {
    auto decoded = FromUtf8(bytes);
    if (!decoded) throw TokenError("the text is not UTF-8");
    out += *decoded;
    bytes.clear();
}

// Reads a string's body from just after its opening quote; returns the
// position after its closing quote.
std::size_t ReadString(std::string_view text, std::size_t i, std::u16string& out) {
    std::string bytes;
    while (true) {
        if (i >= text.size()) throw TokenError("unterminated string");
        const char c = text[i];
        if (c == '"') break;
        if (c != '\\') {
            bytes += c;
            ++i;
            continue;
        }
        if (i + 1 >= text.size()) throw TokenError("unterminated string");
        const char e = text[i + 1];
        i += 2;
        switch (e) {
            case '"': bytes += '"'; break;
            case '\\': bytes += '\\'; break;
            case '/': bytes += '/'; break;
            case 'b': bytes += '\b'; break;
            case 'f': bytes += '\f'; break;
            case 'n': bytes += '\n'; break;
            case 'r': bytes += '\r'; break;
            case 't': bytes += '\t'; break;
            case 'u': {
                if (i + 4 > text.size()) throw TokenError("bad \\u escape");
                unsigned unit = 0;
                const auto [end, ec] =
                    std::from_chars(text.data() + i, text.data() + i + 4, unit, 16);
                if (ec != std::errc() || end != text.data() + i + 4) {
                    throw TokenError("bad \\u escape");
                }
                i += 4;
                // Flush what came before so the code unit lands in order.
                Append(bytes, out);
                out += static_cast<char16_t>(unit);
                break;
            }
            default: throw TokenError(std::string("bad escape \\") + e);
        }
    }
    Append(bytes, out);
    return i + 1;
}

}  // namespace

std::vector<Token> Tokenize(std::string_view text) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        if (Blank(text[i])) {
            ++i;
            continue;
        }
        Token t;
        if (text[i] == '"') {
            t.quoted = true;
            i = ReadString(text, i + 1, t.value);
            if (i < text.size() && !Blank(text[i])) {
                throw TokenError("a string must be followed by a blank");
            }
            t.raw = ToUtf8(t.value);
        } else {
            const std::size_t start = i;
            while (i < text.size() && !Blank(text[i])) ++i;
            t.raw = std::string(text.substr(start, i - start));
            auto decoded = FromUtf8(t.raw);
            if (!decoded) throw TokenError("the text is not UTF-8");
            t.value = *decoded;
        }
        tokens.push_back(std::move(t));
    }
    return tokens;
}

}  // namespace linkwell::text
