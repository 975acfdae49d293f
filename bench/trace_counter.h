// A trace destination that keeps nothing: it counts the lines by kind and
// drops them, so a long run's trace costs no memory.
#pragma once

#include <cstdint>
#include <string_view>

#include "scenario/line_sink.h"

namespace linkwell::bench {

class TraceCounter final : public scenario::LineSink {
public:
    std::uint64_t lines = 0;
    std::uint64_t bytes = 0;
    std::uint64_t logger32Texts = 0;
    std::uint64_t logged = 0;  // "<APP_LOGQSO:" texts
    std::uint64_t logger32Codes = 0;
    std::uint64_t mixwCalls = 0;
    std::uint64_t ends = 0;

private:
    void Byte(char) override { ++bytes; }
    void Line(std::string_view line) override {
        ++lines;
        Classify(line);
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
};

}  // namespace linkwell::bench
