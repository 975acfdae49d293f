// What the push last sent to Logger32, so that it sends only changes. Only
// to_logger32/ writes it.
#pragma once

#include <deque>
#include <string_view>

#include "platform/platform.h"

namespace linkwell::to_logger32 {

// What a remembered text becomes when Logger32 must be told everything
// again (a handover): a text that MixW's mode box and the record fields do
// not hold in practice, so the next pushes resend them. The frequency's
// remembered text is a number and can never equal it.
inline constexpr std::u16string_view kResendMarker = u"False";
// What the remembered callsign becomes when the field links open: a text
// no callsign is, so the first tick with a callsign in MixW sends the record.
inline constexpr std::u16string_view kCallNotYetSent = u"ru";

struct PushState {
    platform::Text mode;       // the mode box as last pushed (MixW's spelling)
    platform::Text frequency;  // MHz detection text of the last frequency push
    // The QSO record's compared fields as last sent.
    platform::Text call, rstRcvd, qth, name, notes, locator, iota, qslManager;
    // The last record sent, which logging sends again with its time fields.
    platform::Text record;
    // Logging texts that Logger32 did not take (it was away or did not
    // answer), oldest first: delivered, with their codes, once it answers.
    std::deque<platform::Text> undelivered;
};

}  // namespace linkwell::to_logger32
