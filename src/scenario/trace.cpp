#include "scenario/trace.h"

namespace linkwell::scenario {

void Trace::Line(std::string_view kind, std::string_view details) {
    out_ << (clock_ ? clock_() : 0) << ' ' << kind;
    if (!details.empty()) out_ << ' ' << details;
    out_ << '\n';
}

std::string Trace::Param(std::int64_t value) const {
    if (names_) {
        if (auto name = names_(value)) return "hwnd:" + *name;
    }
    return std::to_string(value);
}

}  // namespace linkwell::scenario
