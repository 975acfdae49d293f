#include "field_trace/trace_lines.h"

#include <charconv>

#include "scenario/text.h"

namespace linkwell::field_trace {
namespace {

bool Blank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

class LineReader {
public:
    LineReader(std::string_view file, int line) : file_(file), line_(line) {}

    [[noreturn]] void Fail(const std::string& message) const {
        throw TraceError(std::string(file_) + ":" + std::to_string(line_) + ": " + message);
    }

    std::vector<Token> Tokens(std::string_view text) const {
        std::vector<Token> out;
        std::size_t i = 0;
        while (i < text.size()) {
            if (Blank(text[i])) {
                ++i;
                continue;
            }
            Token t;
            if (text[i] == '"') {
                t.quoted = true;
                i = String(text, i + 1, t.value);
                if (i < text.size() && !Blank(text[i]))
                    Fail("a string must be followed by a blank");
            } else {
                const std::size_t start = i;
                while (i < text.size() && !Blank(text[i])) ++i;
                t.raw = std::string(text.substr(start, i - start));
                auto value = scenario::FromUtf8(t.raw);
                if (!value) Fail("the text is not UTF-8");
                t.value = *value;
            }
            out.push_back(std::move(t));
        }
        return out;
    }

private:
    std::size_t String(std::string_view text, std::size_t i, std::u16string& out) const {
        std::string bytes;
        auto flush = [&] {
            auto decoded = scenario::FromUtf8(bytes);
            if (!decoded) Fail("the text is not UTF-8");
            out += *decoded;
            bytes.clear();
        };
        for (;;) {
            if (i >= text.size()) Fail("unterminated string");
            const char c = text[i++];
            if (c == '"') break;
            if (c != '\\') {
                bytes += c;
                continue;
            }
            if (i >= text.size()) Fail("unterminated string");
            const char e = text[i++];
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
                    unsigned unit = 0;
                    const char* begin = text.data() + i;
                    const auto [end, ec] =
                        i + 4 <= text.size()
                            ? std::from_chars(begin, begin + 4, unit, 16)
                            : std::from_chars_result{begin, std::errc::invalid_argument};
                    if (ec != std::errc() || end != begin + 4) Fail("bad \\u escape");
                    i += 4;
                    flush();
                    out += static_cast<char16_t>(unit);
                    break;
                }
                default: Fail(std::string("bad escape \\") + e);
            }
        }
        flush();
        return i;
    }

    std::string_view file_;
    int line_;
};

}  // namespace

ReadTrace ParseTrace(std::string_view text, std::string_view fileName) {
    ReadTrace out;
    int lineNo = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t eol = text.find('\n', pos);
        ++lineNo;
        if (eol == std::string_view::npos) {
            out.cutShort = true;
            break;
        }
        const std::string_view line = text.substr(pos, eol - pos);
        pos = eol + 1;
        const auto first = line.find_first_not_of(" \t\r");
        if (first == std::string_view::npos || line[first] == '#') continue;
        const LineReader reader(fileName, lineNo);
        auto tokens = reader.Tokens(line);
        if (tokens.size() < 2 || tokens[0].quoted || tokens[1].quoted) {
            reader.Fail("a line is TIME KIND DETAILS");
        }
        TraceLine t;
        t.line = lineNo;
        const auto& time = tokens[0].raw;
        const auto [end, ec] = std::from_chars(time.data(), time.data() + time.size(), t.time);
        if (ec != std::errc() || end != time.data() + time.size() || t.time < 0) {
            reader.Fail("bad time: " + time);
        }
        t.kind = tokens[1].raw;
        tokens.erase(tokens.begin(), tokens.begin() + 2);
        t.details = std::move(tokens);
        out.lines.push_back(std::move(t));
    }
    return out;
}

std::string Format(const TraceLine& line, bool withTime) {
    std::string out = withTime ? std::to_string(line.time) + " " + line.kind : line.kind;
    for (const auto& t : line.details) {
        out += ' ';
        out += t.quoted ? scenario::Quote(t.value) : t.raw;
    }
    return out;
}

}  // namespace linkwell::field_trace
