// What the bridge holds of MixW2. Only mixw/ writes it; others read it
// through attach.h.
#pragma once

#include <memory>

#include "platform/platform.h"

namespace linkwell::mixw {

struct MixWState {
    // MixW2's running automation object; null until it is obtained.
    std::unique_ptr<platform::Automation> object;
    // Set while an attempt to obtain the object is under way and once it
    // succeeded; cleared by a failed attempt. The push tick ends the program
    // without it.
    bool attached = false;
    // The thirteen DDE field links are open (the first push tick opens them).
    bool linksOpen = false;
};

}  // namespace linkwell::mixw
