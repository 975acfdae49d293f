// What the intake of Logger32's texts holds between a text's arrival and
// its tick, and what it last took from them. Only to_mixw/ writes it.
#pragma once

#include "platform/platform.h"

namespace linkwell::to_mixw {

struct IntakeState {
    // A spot that arrived and waits for the intake tick; taken by it.
    platform::Text pendingSpot;
    // The last values taken from Logger32 and set in MixW.
    platform::Text tuneFreq, mode, call, rstSent, rstRcvd, name;
};

}  // namespace linkwell::to_mixw
