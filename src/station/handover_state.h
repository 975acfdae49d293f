// Who holds the rig, and the packet sideband. Only handover/ writes it.
#pragma once

namespace linkwell::handover {

struct RigState {
    // Logger32 holds CAT, PTT and sound card; MixW2 holds them otherwise.
    bool logger32HasRig = false;
    // PKT_USB: the audio offset is subtracted from MixW's frequency in the
    // pushes to Logger32 (PKT LSB, the default, adds it).
    bool sidebandUsb = false;
};

}  // namespace linkwell::handover
