// Reading a trace back: each "TIME KIND DETAILS" line split into its
// tokens (words and JSON-quoted strings), and printed again exactly as the
// recorder prints it.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "text/tokens.h"

namespace linkwell::field_trace {

using text::Token;

struct TraceLine {
    int line = 0;  // in the file, from 1
    std::int64_t time = 0;
    std::string kind;
    std::vector<Token> details;
};

struct TraceError : std::runtime_error {
    using std::runtime_error::runtime_error;  // "FILE:LINE: message"
};

struct ReadTrace {
    std::vector<TraceLine> lines;
    // The last line had no end: the writer was cut off in it (a crash, a
    // kill), and it was left out.
    bool cutShort = false;
};

// Blank lines and "#" lines are skipped. Throws TraceError.
[[nodiscard]] ReadTrace ParseTrace(std::string_view text, std::string_view fileName);
// The line as the recorder writes it, without its time when `withTime` is false.
[[nodiscard]] std::string Format(const TraceLine& line, bool withTime = true);

// The world's reason for what failed as a line's last details: " CODE", the
// code in hexadecimal (0x and eight digits), then the exception's code and
// its quoted text where there are; nothing without a reason. A reader takes
// the words after a line's own details for the reason, and may leave them.
[[nodiscard]] std::string Because(const std::optional<platform::FailureReason>& why);

}  // namespace linkwell::field_trace
