// MixW to Logger32: MixW's mode, frequency and QSO record pushed to Logger32
// as ADIF-style texts, and the logging commands.
//
// What goes to Logger32, always as text by WM_SETTEXT, never confirmed:
//  - "<APP_FORCE_MODE:n>MODE" when the Mode box differs from the mode last
//    sent (MixW's PSK and MFSK names replaced by Logger32's);
//  - "<APP_FORCE_FREQ:n>KHZ" when FqA + AudioFq (MHz, 15 significant
//    digits) differs from the last one sent, and on every change of the
//    Freq box;
//  - the nine-field QSO record when one of its eight compared fields
//    changed and a callsign is there;
//  - "<APP_LOGQSO:n>" + record + time fields, then codes 15 and 16, to log;
//    "<EOR>" when MixW removes the QSO.
// A tick sends one text at most, in that order of precedence. A read of
// FqA or AudioFq that fails (MixW2 has closed) sends nothing for that step
// and keeps what was remembered; it never stops the bridge.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "station/station.h"

namespace linkwell::to_logger32 {

// The modes in which the frequency comes from the Freq box (MixW's dial
// frequency) rather than from FqA and AudioFq.
inline constexpr std::array<std::u16string_view, 4> kDialModes = {u"SSB", u"CW", u"RTTY", u"SSTV"};

struct ModeName {
    std::u16string_view mixw;
    std::u16string_view logger32;
};
// MixW's mode names that Logger32 knows by another name, in the order they
// are tried. No right-hand name is also a left-hand one.
inline constexpr std::array<ModeName, 6> kModeNames = {{
    {u"BPSK31", u"PSK31"},
    {u"BPSK63", u"PSK63"},
    {u"BPSK62", u"PSK63"},
    {u"BPSK125", u"PSK125"},
    {u"BPSK250", u"PSK250"},
    {u"MFSK", u"MFSK16"},
}};

inline constexpr std::u16string_view kSave = u"Save";
inline constexpr std::u16string_view kRemove = u"Remove";
inline constexpr std::u16string_view kEndOfRecord = u"<EOR>";
// Left in TextCommand after logging, so that MixW's next "Save" is a change.
// MixW's command item sees the box's text through its link: kept byte for
// byte, as MixW2 has always been shown it.
inline constexpr std::u16string_view kSentMarker = u"Murex_Send";

// One push per tick of the push timer: the mode if it changed, else the frequency if it
// changed, else the QSO record if one of its fields changed.
void PushMixWToLogger32(Station& s);
// Every change of the Freq box sends the frequency, with no comparison; the
// sideband toggle is not honoured here.
void OnDialFreqChanged(Station& s);
// MixW's command item: "Save" logs the QSO, "Remove" sends "<EOR>"; both are
// ignored while Logger32 holds the rig.
void OnMixWCommand(Station& s);
// The Send! button: logs the QSO in Logger32, in every state. A logging
// Logger32 does not take is kept, in order, until it does.
void LogQso(Station& s);
// Hands the kept loggings Logger32 has not been given yet to the Logger32
// link, oldest first; stops at the first one that cannot go.
void DeliverKeptLoggings(Station& s);
// The bridge's step after each event hands on what the Logger32 link
// recorded. The loggings whose fate it settled: taken (gone from the
// list), not taken (kept again) or in doubt.
void Settle(Station& s, const std::vector<logger32::SettledLogging>& settled);
// Logger32 answers again: the kept loggings first, then everything afresh.
void TellEverythingAfresh(Station& s);
// Then, once nothing more is settled: not-logged.adi is rewritten when
// what it must hold changed.
void UpdateFile(Station& s);
// What MixW's attachment recorded, acted on at the next push: its links
// opened anew (the next record with a callsign is sent), or MixW2 came
// back (everything is).
void MixWLinksOpened(Station& s);
void MixWCameBack(Station& s);
// At start-up, or before this run first writes the file if that comes
// sooner: the QSOs an earlier run left in not-logged.adi stay in it (never
// delivered by the bridge: the operator may have logged them by hand) and
// are counted for the status line.
void ReadLeftover(Station& s);
[[nodiscard]] inline int LeftoverCount(const Station& s) {
    return s.kept.leftoverCount;
}
// The earlier run's not-logged.adi was damaged and moved there (its name),
// or empty; the QSOs an earlier end saved in not-logged-unsaved.adi.
[[nodiscard]] inline const platform::Text& MovedAsideTo(const Station& s) {
    return s.kept.movedAsideTo;
}
[[nodiscard]] inline int UnsavedCount(const Station& s) {
    return s.kept.unsavedCount;
}
// The bridge closes (what the link settled taken first): the loggings
// still not taken are named in a box, with
// the file that holds them (not-logged.adi is tried once more first, and
// what it cannot take goes to not-logged-unsaved.adi).
void ReportKeptLoggings(Station& s);
// Windows ends the session (what the link settled taken first): the
// loggings are saved as at a close, without a box.
void SettleBeforeSessionEnd(Station& s);
// The watch's tick: not-logged.adi is written again while it is behind.
void RetryFileWrite(Station& s);
// A write of not-logged.adi the world made on a thread of its own has ended
// (done: the file holds what it was asked to).
void OnFileWritten(Station& s, bool done);
// Whether the records of an ADIF file (what follows <EOH>) are whole: each
// field <TAG:LENGTH> or <TAG:LENGTH:TYPE> followed by exactly LENGTH
// characters, each record ended by <EOR> (any letter case); text between
// fields is ignored, as ADIF readers do.
[[nodiscard]] bool WholeAdifRecords(const platform::Text& records);
// The QSO records of an ADIF text: its <EOR> markers, in any letter case.
[[nodiscard]] std::size_t RecordCount(const platform::Text& adif);
// Loggings Logger32 has not taken (kept, waiting or in doubt).
[[nodiscard]] std::size_t KeptCount(const Station& s);

inline constexpr std::u16string_view kNotLoggedText =
    u"Logger32 did not take these QSOs (it was closed or not answering). Please log them by "
    u"hand:";
inline constexpr std::u16string_view kNotLoggedInFileText =
    u"Logger32 did not take these QSOs (it was closed or not answering). Import them into "
    u"Logger32 or log them by hand; they are kept in ";
inline constexpr std::u16string_view kInDoubtNote = u" (may already be in Logger32's log)";
// not-logged.adi: ADIF, a header of free text (no "<" in it) ending in
// <EOH>, then one record per QSO ending in <EOR>.
inline constexpr std::u16string_view kNotLoggedHeader =
    u"Linkwell: QSOs that Logger32 did not take. Import this file into Logger32 or log them "
    u"by hand.\r\nA QSO marked APP_LINKWELL_IN_DOUBT Y may already be in Logger32's log.\r\n"
    u"<ADIF_VER:5>3.1.4<PROGRAMID:8>Linkwell<EOH>\r\n";
inline constexpr std::u16string_view kInDoubtField = u"<APP_LINKWELL_IN_DOUBT:1>Y";

// The frequency to send, in kHz: the Freq box in a dial mode, else
// (FqA + AudioFq) / 1000, or (FqA - AudioFq) / 1000 when the sideband toggle
// is honoured and set. nullopt when MixW's values cannot be read (MixW2 has
// closed) or the Freq box holds a number too large for a double.
[[nodiscard]] std::optional<platform::Text> ForceFreqText(Station& s, bool honourSideband);

// A handover: mode, frequency, QTH, name, notes and report received are
// sent again on the next pushes, whatever they are.
void ForgetWhatWasSent(Station& s);
// The field links opened: the next record with a callsign is sent.
void ForgetCallSent(Station& s);
// A logging: the record brought up to date with the boxes, as the record
// stage builds it, so that the QSO logged is the one on screen. One that
// differs from the record Logger32 was last given goes to Logger32 first;
// so does a mode MixW shows that Logger32 was not given yet, while MixW2
// holds the rig (Logger32 logs the QSO in the mode it holds).
void RecordForLogging(Station& s);

// "<TAG:" + length + ">" + value; the length counts UTF-16 code units.
[[nodiscard]] platform::Text AdifField(std::u16string_view prefix, const platform::Text& value);

}  // namespace linkwell::to_logger32
