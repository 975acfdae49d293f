// Logger32 to MixW: Logger32's texts arriving in the Sent box (clicked DX
// spots and QSO records), read on the next intake tick and acted on in MixW;
// and Logger32's frequency retuning MixW.
//
// What crosses to MixW (the macros and field numbers are in
// mixw/protocol.h): the frequency macro and the mode macros of the mode
// table through ExecuteMacros, four QSO fields through SetQsoData, and the
// clear, time and save macros for a record.
// Spots reach MixW whenever it is attached; records and frequency changes
// only while Logger32 holds the rig. A call that MixW fails (or a MixW that
// was never obtained) sends nothing and ends the handler quietly: no box,
// no retry. Broken spots and fields are skipped (see readers.h).
#pragma once

#include <span>
#include <string_view>

#include "station/station.h"

namespace linkwell::to_mixw {

// Every change of the Sent box: keeps a spot, answers code 10, arms the intake timer.
void OnLogger32Text(BridgeState& s);
// One tick per arming: takes the pending spot and acts on it and on the
// record in Sent.
void OnIntakeTick(BridgeState& s);
// Logger32's frequency (kHz) tunes MixW while Logger32 holds the rig.
void OnLogger32FreqChanged(BridgeState& s);

// Where a mode text came from: a spot switches no sideband mode.
enum class ModeFrom { Spot, Record };
// The macros that switch MixW to a mode, in order; none for a mode not in
// the table (compared exactly), and none for "USB" or "LSB" from a spot.
[[nodiscard]] std::span<const std::u16string_view> ModeMacros(std::u16string_view mode,
                                                              ModeFrom from);

// Written into Sent once a record is saved, so it is not saved again.
inline constexpr std::u16string_view kSavedMark = u"SAVE";

}  // namespace linkwell::to_mixw
