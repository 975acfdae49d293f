// All state of the running bridge: the window model and each room's own
// state. Every room writes only its own part; it reads the others' state
// here, and calls only rooms below it.
#pragma once

#include "platform/platform.h"
#include "station/handover_state.h"
#include "station/lifecycle_state.h"
#include "station/logger32_state.h"
#include "station/mixw_state.h"
#include "station/to_logger32_state.h"
#include "station/to_mixw_state.h"
#include "station/udp_state.h"
#include "window/form.h"

namespace linkwell {

struct BridgeState {
    BridgeState(platform::Platform& world, window::FormView& view)
        : platform(world), form(world, view) {}

    // What the bridge runs on: the tests' fake, the simulated world, the
    // field-trace recorder or Windows.
    platform::Platform& platform;
    window::Form form;
    lifecycle::StartState start;
    logger32::LinkState link;
    mixw::MixWState mixw;
    handover::RigState rig;
    to_logger32::PushState push;
    to_logger32::KeptState kept;
    // The status the rooms' states last called for (station/status.h).
    platform::Text statusDrawn;
    to_mixw::IntakeState intake;
    udp::UdpState udp;
};

}  // namespace linkwell
