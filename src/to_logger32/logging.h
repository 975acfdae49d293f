// MixW to Logger32: the logging. The Send! button and MixW's "Save" log the
// QSO on screen in Logger32 (the logging text, then codes 15 and 16);
// MixW's "Remove" sends the end of record. A logging Logger32 does not take
// is kept, in order, until it does, and meanwhile written to not-logged.adi
// (see not_logged/not_logged.h); at the end the operator is told of the
// loggings still not taken.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "logger32/link.h"
#include "station/station.h"

namespace linkwell::to_logger32 {

inline constexpr std::u16string_view kSave = u"Save";
inline constexpr std::u16string_view kRemove = u"Remove";
// Left in TextCommand after logging, so that MixW's next "Save" is a change.
// MixW's command item sees the box's text through its link: kept byte for
// byte, as MixW2 has always been shown it.
inline constexpr std::u16string_view kSentMarker = u"Murex_Send";

// MixW's command item: "Save" logs the QSO, "Remove" sends "<EOR>"; both are
// ignored while Logger32 holds the rig.
void OnMixWCommand(BridgeState& s);
// The Send! button: logs the QSO in Logger32, in every state. A logging
// Logger32 does not take is kept, in order, until it does.
void LogQso(BridgeState& s);
// Hands the kept loggings Logger32 has not been given yet to the Logger32
// link, oldest first; stops at the first one that cannot go.
void DeliverKeptLoggings(BridgeState& s);
// The bridge's step after each event hands on what the Logger32 link
// recorded. The loggings whose fate it settled: taken (gone from the
// list), not taken (kept again) or in doubt.
void Settle(BridgeState& s, const std::vector<logger32::SettledLogging>& settled);
// Logger32 answers again: the kept loggings first, then everything afresh.
void TellEverythingAfresh(BridgeState& s);
// The bridge closes: the loggings still not taken are named in a box, with
// the file that holds them (not-logged.adi is tried once more first, and
// what it cannot take goes to not-logged-unsaved.adi).
void ReportKeptLoggings(BridgeState& s);
// Windows ends the session: the loggings are settled and saved as at a
// close, without a box.
void SettleBeforeSessionEnd(BridgeState& s);
// Loggings Logger32 has not taken (kept, waiting or in doubt).
[[nodiscard]] std::size_t KeptCount(const BridgeState& s);

// The operator's box at the end, when loggings were not taken.
inline constexpr std::u16string_view kNotLoggedText =
    u"Logger32 did not take these QSOs (it was closed or not answering). Please log them by "
    u"hand:";
inline constexpr std::u16string_view kNotLoggedInFileText =
    u"Logger32 did not take these QSOs (it was closed or not answering). Import them into "
    u"Logger32 or log them by hand; they are kept in ";
inline constexpr std::u16string_view kInDoubtNote = u" (may already be in Logger32's log)";

}  // namespace linkwell::to_logger32
