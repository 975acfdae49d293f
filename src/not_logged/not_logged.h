// not-logged.adi: the file of the QSOs Logger32 has not taken, beside the
// bridge, so that a QSO is never only in the bridge's memory.
//
// The file:
//  - ADIF: a header of free text (no "<" in it) ending in <EOH>, then one
//    record per QSO ending in <EOR>;
//  - a record: the QSO record's fields as Logger32 was given them, then
//    QSO_DATE, TIME_ON, TIME_OFF, MODE and FREQ (MHz, a point as
//    separator); empty values are left out. A QSO that may already be in
//    Logger32's log carries APP_LINKWELL_IN_DOUBT Y;
//  - first what an earlier run left (its QSOs are never delivered by the
//    bridge: the operator may have logged them by hand), then this run's
//    loggings not taken, oldest first.
//
// Writing rules:
//  - rewritten whole whenever what it must hold changes; never written while
//    every logging is taken and no earlier run left one;
//  - an earlier file that is not whole ADIF is moved aside, not written over;
//    one another program holds is read again before the next write;
//  - a write that fails is tried again on the watch's tick; what an end
//    still cannot write goes to not-logged-unsaved.adi, after what an
//    earlier end left there.
#pragma once

#include <cstddef>
#include <string_view>

#include "station/station.h"

namespace linkwell::not_logged {

inline constexpr std::u16string_view kNotLoggedHeader =
    u"Linkwell: QSOs that Logger32 did not take. Import this file into Logger32 or log them "
    u"by hand.\r\nA QSO marked APP_LINKWELL_IN_DOUBT Y may already be in Logger32's log.\r\n"
    u"<ADIF_VER:5>3.1.4<PROGRAMID:8>Linkwell<EOH>\r\n";
inline constexpr std::u16string_view kInDoubtField = u"<APP_LINKWELL_IN_DOUBT:1>Y";

// The record Logger32 would have logged, as the file holds it, for the QSO
// on screen logged at that time (without <EOR>).
[[nodiscard]] platform::Text FileRecord(BridgeState& s, const platform::Text& time);
// The logging may already be in Logger32's log: its text window went away
// after it may have begun the text, or a send still holds it past its bound.
[[nodiscard]] bool InDoubt(const BridgeState& s, const to_logger32::Logging& l);

// Rewrites the file when what it must hold changed.
void UpdateFile(BridgeState& s);
// The bridge ends: the file gets one more try, and the QSOs it still
// cannot take go to not-logged-unsaved.adi.
void SaveBeforeEnd(BridgeState& s);
// The watch's tick: the file is written again while it is behind.
void RetryFileWrite(BridgeState& s);
// A write the world made on a thread of its own has ended (done: the file
// holds what it was asked to).
void OnFileWritten(BridgeState& s, bool done);

// At start-up, or before this run first writes the file if that comes
// sooner: the QSOs an earlier run left stay in it and are counted for the
// status line.
void ReadLeftover(BridgeState& s);
[[nodiscard]] inline int LeftoverCount(const BridgeState& s) {
    return s.kept.leftoverCount;
}
// The earlier run's file was damaged and moved there (its name), or empty;
// the QSOs an earlier end saved in not-logged-unsaved.adi.
[[nodiscard]] inline const platform::Text& MovedAsideTo(const BridgeState& s) {
    return s.kept.movedAsideTo;
}
[[nodiscard]] inline int UnsavedCount(const BridgeState& s) {
    return s.kept.unsavedCount;
}

// Whether the records of an ADIF file (what follows <EOH>) are whole: each
// field <TAG:LENGTH> or <TAG:LENGTH:TYPE> followed by exactly LENGTH
// characters, each record ended by <EOR> (any letter case); text between
// fields is ignored, as ADIF readers do.
[[nodiscard]] bool WholeAdifRecords(const platform::Text& records);
// The QSO records of an ADIF text: its <EOR> markers, in any letter case.
[[nodiscard]] std::size_t RecordCount(const platform::Text& adif);

}  // namespace linkwell::not_logged
