// The scenario actions that only change what the stand-ins are or do
// (Logger32's answers and texts, MixW's items and properties). Every world
// plays them the same way; starting and stopping the programs and the
// operator's actions are each world's own.
#pragma once

#include <cstdint>
#include <functional>

#include "scenario/logger32_standin.h"
#include "scenario/mixw_standin.h"
#include "scenario/scenario.h"

namespace linkwell::scenario {

// Applies `a` to the stand-ins; any other action is left alone. `resolve`
// turns an lParam token (hwnd:NAME) into the world's handle value.
void ApplyToStandIns(const Action& a, Logger32StandIn& logger32, MixWStandIn& mixw,
                     const std::function<std::int64_t(const ParamToken&)>& resolve);

}  // namespace linkwell::scenario
