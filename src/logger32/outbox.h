// Inside the Logger32 link: the steps its files share. Other rooms use
// link.h.
#pragma once

#include "logger32/link.h"

namespace linkwell::logger32 {

// Windows refused a post or send: Logger32 runs with higher rights.
void NoteDelivery(BridgeState& s, platform::Delivery d);
// Posts at once, ahead of anything waiting (the handshake's own codes).
void PostNow(BridgeState& s, WParam code, LParam value);
// What moves the handshake on, and its one place of transitions.
enum class HandshakeEvent {
    Found,        // Logger32's window is there (at start-up or while searching)
    NotFound,     // it is not, at start-up
    Accepted,     // code 0 with a non-zero lParam
    Refused,      // code 0 with 0
    NextNameDue,  // the retry delay after a refusal is over
    WindowGone,   // its window went away (its program ended)
    Back,         // a Logger32 window is there again after it was lost
};
void Advance(BridgeState& s, HandshakeEvent event);
// Logger32's text window is gone: what waits for it goes no more; its
// loggings are settled as not taken.
void DropOutbox(BridgeState& s);

}  // namespace linkwell::logger32
