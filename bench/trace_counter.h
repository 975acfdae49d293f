// A trace destination that keeps nothing: it counts the lines by kind and
// drops them, so a long run's trace costs no memory.
#pragma once

#include <cstdint>
#include <streambuf>
#include <string>
#include <string_view>

namespace linkwell::bench {

class TraceCounter final : public std::streambuf {
public:
    TraceCounter() { line_.reserve(512); }

    std::uint64_t lines = 0;
    std::uint64_t bytes = 0;
    std::uint64_t logger32Texts = 0;
    std::uint64_t logged = 0;  // "<APP_LOGQSO:" texts
    std::uint64_t logger32Codes = 0;
    std::uint64_t mixwCalls = 0;
    std::uint64_t ends = 0;

protected:
    int_type overflow(int_type ch) override {
        if (traits_type::eq_int_type(ch, traits_type::eof())) return traits_type::not_eof(ch);
        Put(traits_type::to_char_type(ch));
        return ch;
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        for (std::streamsize i = 0; i < n; ++i) Put(s[i]);
        return n;
    }

private:
    void Put(char c) {
        ++bytes;
        if (c != '\n') {
            line_ += c;
            return;
        }
        ++lines;
        Classify(line_);
        line_.clear();
    }
    void Classify(std::string_view line) {
        const auto space = line.find(' ');
        if (space == std::string_view::npos) return;
        const auto rest = line.substr(space + 1);
        if (rest.starts_with("L32 text ")) {
            ++logger32Texts;
            if (rest.starts_with("L32 text \"<APP_LOGQSO:")) ++logged;
        } else if (rest.starts_with("L32 ")) {
            ++logger32Codes;
        } else if (rest.starts_with("MIXW ")) {
            ++mixwCalls;
        } else if (rest == "END") {
            ++ends;
        }
    }

    std::string line_;
};

}  // namespace linkwell::bench
