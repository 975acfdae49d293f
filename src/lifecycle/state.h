// How far the program's start has come. Only lifecycle/ writes it.
#pragma once

namespace linkwell::lifecycle {

struct StartState {
    // The start-up wait has found both programs; handovers now ask the
    // operator and restart the push tick.
    bool started = false;
};

}  // namespace linkwell::lifecycle
