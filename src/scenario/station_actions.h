// Builders of scenario actions for programs that make scenarios rather than
// read them (the benchmark's station day, the soak): each gives the action
// a scenario line would, at time `t`.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "scenario/scenario.h"

namespace linkwell::scenario::make {

[[nodiscard]] inline Action At(std::int64_t t, ActionKind kind) {
    Action a;
    a.time = t;
    a.kind = kind;
    return a;
}
// mixw dde ITEM "VALUE"
[[nodiscard]] inline Action Dde(std::int64_t t, std::string_view item, std::u16string value) {
    Action a = At(t, ActionKind::MixWDde);
    a.name = item;
    a.text = std::move(value);
    return a;
}
// mixw fqa HZ, mixw audiofq HZ
[[nodiscard]] inline Action Hertz(std::int64_t t, ActionKind kind, double hz) {
    Action a = At(t, kind);
    a.hertz = hz;
    return a;
}
// click NAME
[[nodiscard]] inline Action Click(std::int64_t t, std::string_view button) {
    Action a = At(t, ActionKind::Click);
    a.name = button;
    return a;
}
// logger32 post CODE LPARAM
[[nodiscard]] inline Action Post(std::int64_t t, std::int64_t code, std::int64_t value) {
    Action a = At(t, ActionKind::Logger32Post);
    a.count = code;
    a.param.number = value;
    return a;
}
// logger32 settext "TEXT"
[[nodiscard]] inline Action SetText(std::int64_t t, std::u16string text) {
    Action a = At(t, ActionKind::Logger32SetText);
    a.text = std::move(text);
    return a;
}

}  // namespace linkwell::scenario::make
