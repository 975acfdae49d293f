// How far the program's start has come. Only lifecycle/ writes it.
#pragma once

namespace linkwell::lifecycle {

struct StartState {
    // The start-up wait has found both programs; handovers now ask the
    // operator and restart the push tick.
    bool started = false;
    // The close (or the session's end) has begun: the watch looks for
    // nobody any more, so what the close's box says stays true, and nothing
    // more goes to Logger32 but the leaving steps (posts no longer wait
    // behind texts).
    bool closing = false;
};

}  // namespace linkwell::lifecycle
