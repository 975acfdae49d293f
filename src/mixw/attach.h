// The MixW attachment: MixW2's automation object, the thirteen DDE field
// links that make the bridge's boxes follow MixW's QSO and CAT items, and
// the push tick (the object's members and the links are in protocol.h).
//
// A failed call on MixW's object (MixW2 has closed) sends nothing and skips
// the rest of the handler that made it; a refused link leaves its box with
// its last text while the other links still open.
#pragma once

#include <optional>
#include <string_view>

#include "mixw/protocol.h"
#include "station/station.h"

namespace linkwell::mixw {

// One attempt to obtain MixW2's running object; true when it is held. A
// failed attempt keeps the object held before, if any.
[[nodiscard]] bool TryAttach(BridgeState& s);
// The box a link of the thirteen fills; nullopt for a link that is none of
// them.
[[nodiscard]] std::optional<window::ControlId> BoxOfLink(const platform::LinkTarget& link);
// True once after the field links opened (anew), and after MixW2 came back.
[[nodiscard]] bool TakeLinksOpened(BridgeState& s);
[[nodiscard]] bool TakeCameBack(BridgeState& s);
// Lets go of MixW2's object (the bridge closes).
void Release(BridgeState& s);

[[nodiscard]] inline bool Attached(const BridgeState& s) {
    return s.mixw.attachedOrTrying;
}
// MixW2's object, or null when none was obtained.
[[nodiscard]] inline platform::Automation* Object(const BridgeState& s) {
    return s.mixw.object.get();
}

// Every 800 ms while MixW2 holds the rig: the first tick opens the links.
// True when MixW's state is to be pushed to Logger32 now (false while one
// of the two programs is away).
[[nodiscard]] bool OnPushTick(BridgeState& s);
// Every watch tick: notices that MixW2 went away (a call found its server
// gone, or its DDE conversations ended), and while it is away looks for
// its object again; once it is back the links are reopened and everything
// is pushed afresh.
void Watch(BridgeState& s);

}  // namespace linkwell::mixw
