// What the bridge holds of MixW2. Only mixw/ writes it; others read it
// through attach.h.
#pragma once

#include <memory>
#include <vector>

#include "platform/platform.h"
#include "window/controls.h"

namespace linkwell::mixw {

struct MixWState {
    // MixW2's running automation object; null until it is obtained.
    std::unique_ptr<platform::Automation> object;
    // Set while an attempt to obtain the object is under way and once it
    // succeeded; cleared by a failed attempt and when MixW2 goes away.
    bool attached = false;
    // MixW2 was attached and went away (closed or died): the watch looks
    // for its object again until it is back.
    bool away = false;
    // The thirteen DDE field links are open (the first push tick opens them).
    bool linksOpen = false;
    // Links that found no conversation (MixW's DDE server did not answer, or
    // a hung program held up the connect): tried again on each watch tick.
    std::vector<window::ControlId> unreachable;
    // How often the links were opened, and MixW2 came back after it went
    // away: the push reads them to tell Logger32 everything afresh.
    unsigned linkOpenings = 0;
    unsigned returns = 0;
};

}  // namespace linkwell::mixw
