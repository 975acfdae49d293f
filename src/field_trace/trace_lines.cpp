#include "field_trace/trace_lines.h"

#include <charconv>

#include "text/text.h"
#include "text/tokens.h"

namespace linkwell::field_trace {
namespace {

class LineReader {
public:
    LineReader(std::string_view file, int line) : file_(file), line_(line) {}

    [[noreturn]] void Fail(const std::string& message) const {
        throw TraceError(std::string(file_) + ":" + std::to_string(line_) + ": " + message);
    }

    std::vector<Token> Tokens(std::string_view text) const {
        try {
            return text::Tokenize(text);
        } catch (const text::TokenError& e) {
            Fail(e.what());
        }
    }

private:
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

namespace {

std::string Hex(std::uint32_t code) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out = "0x";
    for (int shift = 28; shift >= 0; shift -= 4) out += kDigits[(code >> shift) & 0xFu];
    return out;
}

}  // namespace

std::string Because(const std::optional<platform::FailureReason>& why) {
    if (!why) return {};
    std::string out = " " + Hex(why->code);
    if (why->exceptionCode) out += " " + Hex(*why->exceptionCode);
    if (!why->description.empty()) out += " " + text::Quote(why->description);
    return out;
}

std::string Format(const TraceLine& line, bool withTime) {
    std::string out = withTime ? std::to_string(line.time) + " " + line.kind : line.kind;
    for (const auto& t : line.details) {
        out += ' ';
        out += t.quoted ? text::Quote(t.value) : t.raw;
    }
    return out;
}

}  // namespace linkwell::field_trace
