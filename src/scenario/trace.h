// The trace of a run: one line per event the outside world sees,
// "TIME KIND DETAILS", written as it happens.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace linkwell::scenario {

class Trace {
public:
    explicit Trace(std::ostream& out) : out_(out) {}

    // Where the time of each line comes from.
    void SetClock(std::function<std::int64_t()> clock) { clock_ = std::move(clock); }
    // Names the handles a trace prints as hwnd:NAME.
    void SetHandleNames(std::function<std::optional<std::string>(std::int64_t)> names) {
        names_ = std::move(names);
    }

    void Line(std::string_view kind, std::string_view details);
    // An lParam: hwnd:NAME for a known handle, else a signed decimal number.
    [[nodiscard]] std::string Param(std::int64_t value) const;

private:
    std::ostream& out_;
    std::function<std::int64_t()> clock_;
    std::function<std::optional<std::string>(std::int64_t)> names_;
};

}  // namespace linkwell::scenario
