// The rig-control handover (CAT, PTT, sound card) between MixW2 and Logger32,
// and the packet sideband toggle.
//
// A handover posts its code set to Logger32, asks the operator to free the
// other program's side (one OK box), recolours the two buttons so that only
// the one leading to the other side is enabled, updates the status line, and
// resets the remembered texts so that mode, frequency and QSO are pushed to
// Logger32 again.
#pragma once

#include <string_view>

#include "station/station.h"

namespace linkwell::handover {

// The two boxes of the handover, word for word as operators know them
// ("Souncard", "Mashine" included): kept byte for byte, do not correct.
inline constexpr std::u16string_view kFreeLogger32Side =
    u"Please close Souncard window and CW Mashine window Logger32 and after that press OK";
inline constexpr std::u16string_view kFreeMixWSide =
    u"Please disable CAT and PTT MixW2 and after that press OK";

// MixW2 takes the rig control. Before start-up has finished it shows no box
// and leaves the push tick alone.
void GiveRigToMixW(BridgeState& s);
// Logger32 takes the rig control; the push tick stops.
void GiveRigToLogger32(BridgeState& s);
// Toggles the packet sideband used for the frequency sent to Logger32.
void ToggleSideband(BridgeState& s);

[[nodiscard]] inline bool Logger32HasRig(const BridgeState& s) {
    return s.rig.logger32HasRig;
}

}  // namespace linkwell::handover
