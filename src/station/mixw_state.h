// What the bridge holds of MixW2. Only mixw/ writes it; others read it
// through attach.h.
#pragma once

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include "platform/platform.h"
#include "window/controls.h"

namespace linkwell::mixw {

struct MixWState {
    // MixW2's running automation object; null until it is obtained.
    std::unique_ptr<platform::Automation> object;
    // Set while an attempt to obtain the object is under way and once it
    // succeeded; cleared by a failed attempt and when MixW2 goes away.
    bool attachedOrTrying = false;
    // MixW2 was attached and went away (closed or died): the watch looks
    // for its object again until it is back.
    bool away = false;
    // The thirteen DDE field links are open (the first push tick opens them).
    bool linksOpen = false;
    // Boxes whose link is not made: still to be made as the links open, or
    // one that found no conversation (MixW's DDE server did not answer, or a
    // hung program held up the connect), tried again on each watch tick.
    // Such a box holds its placeholder, not MixW's state.
    std::vector<window::ControlId> linksNotMade;
    // The box whose link is being made now: what it gets meanwhile is the
    // item's value as MixW already held it, not a change made in MixW.
    std::optional<window::ControlId> linkOpening;
    // The links were opened once: before, the boxes hold their design-time
    // texts.
    bool linksOpenedOnce = false;
    // News for the rooms above, taken by the bridge after each event (and
    // before a push): the links opened anew; MixW2 came back after it went
    // away.
    bool linksOpenedNews = false;
    bool cameBackNews = false;

    [[nodiscard]] bool LinkMade(window::ControlId box) const {
        return linksOpenedOnce &&
               std::find(linksNotMade.begin(), linksNotMade.end(), box) == linksNotMade.end();
    }
};

}  // namespace linkwell::mixw
