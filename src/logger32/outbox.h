// Inside the Logger32 link: the steps its files share. Other rooms use
// link.h.
#pragma once

#include "logger32/link.h"

namespace linkwell::logger32 {

// Windows refused a post or send: Logger32 runs with higher rights.
void NoteDelivery(Station& s, platform::Delivery d);
// Posts at once, ahead of anything waiting (the handshake's own codes).
void PostNow(Station& s, WParam code, LParam value);
// Logger32's window went away (its program ended).
void LoseLogger32(Station& s);
// Logger32's text window is gone: what waits for it goes no more; its
// loggings are settled as not taken.
void DropOutbox(Station& s);

}  // namespace linkwell::logger32
