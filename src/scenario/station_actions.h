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
    a.details = act::Dde{std::string(item), std::move(value)};
    return a;
}
// mixw fqa HZ, mixw audiofq HZ
[[nodiscard]] inline Action Hertz(std::int64_t t, ActionKind kind, double hz) {
    Action a = At(t, kind);
    a.details = act::Hertz{hz};
    return a;
}
// click NAME
[[nodiscard]] inline Action Click(std::int64_t t, std::string_view button) {
    Action a = At(t, ActionKind::Click);
    a.details = act::Click{std::string(button)};
    return a;
}
// logger32 post CODE LPARAM
[[nodiscard]] inline Action Post(std::int64_t t, std::int64_t code, std::int64_t value) {
    Action a = At(t, ActionKind::Logger32Post);
    act::Post post;
    post.code = code;
    post.param.number = value;
    a.details = std::move(post);
    return a;
}
// logger32 settext "TEXT"
[[nodiscard]] inline Action SetText(std::int64_t t, std::u16string text) {
    Action a = At(t, ActionKind::Logger32SetText);
    a.details = act::Text{std::move(text)};
    return a;
}

// logger32 hang MS, mixw hang MS
[[nodiscard]] inline Action Hang(std::int64_t t, ActionKind kind, std::int64_t ms) {
    Action a = At(t, kind);
    a.details = act::Hang{ms};
    return a;
}
// logger32 refuse N
[[nodiscard]] inline Action Refuse(std::int64_t t, std::int64_t count) {
    Action a = At(t, ActionKind::Logger32Refuse);
    a.details = act::Refuse{count};
    return a;
}
// logger32 start [notext]
[[nodiscard]] inline Action StartLogger32(std::int64_t t, bool withTextWindow) {
    Action a = At(t, ActionKind::Logger32Start);
    a.details = act::Logger32Start{withTextWindow};
    return a;
}
// locale decimal "C"
[[nodiscard]] inline Action Decimal(std::int64_t t, std::u16string separator) {
    Action a = At(t, ActionKind::LocaleDecimal);
    a.details = act::Text{std::move(separator)};
    return a;
}

}  // namespace linkwell::scenario::make
