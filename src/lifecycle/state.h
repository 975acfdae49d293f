// How far the program's start has come. Only lifecycle/ writes it.
#pragma once

#include "platform/platform.h"

namespace linkwell::lifecycle {

struct StartState {
    // The start-up wait has found both programs; handovers now ask the
    // operator and restart the push tick.
    bool started = false;
    // The close (or the session's end) has begun: the watch looks for
    // nobody any more, so what the close's box says stays true.
    bool closing = false;
    // The status the bridge's state last called for; the line is redrawn
    // after an event only when that changes (a note put there meanwhile,
    // such as the one about an earlier run's QSOs, stays until then).
    platform::Text status;
};

}  // namespace linkwell::lifecycle
