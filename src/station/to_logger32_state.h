// What the push last sent to Logger32, so that it sends only changes, and
// the loggings kept until Logger32 takes them. Only to_logger32/ writes it,
// but for not-logged.adi's part of KeptState (from `written` on, and each
// logging's inFile), which not_logged/ writes.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace linkwell::to_logger32 {

// What a remembered text becomes when Logger32 must be told everything
// again (a handover): a text that MixW's mode box and the record fields do
// not hold in practice, so the next pushes resend them. The frequency's
// remembered text is a number and can never equal it. Only the bridge sees
// it, but it is the word the bridge has always used (a Boolean's False as
// text): kept byte for byte, so that a MixW mode box that really holds
// "False" behaves as it always did.
inline constexpr std::u16string_view kResendMarker = u"False";
// What the remembered callsign becomes when the field links open: a text
// no callsign is, so the first tick with a callsign in MixW sends the record.
// Kept byte for byte: a call box holding "ru" is not sent on the links'
// opening, as it never was.
inline constexpr std::u16string_view kCallNotYetSent = u"ru";

struct PushState {
    platform::Text mode;       // the mode box as last pushed (MixW's spelling)
    platform::Text frequency;  // MHz detection text of the last frequency push
    // The QSO record's compared fields as last sent.
    platform::Text call, rstRcvd, qth, name, notes, locator, iota, qslManager;
    // The last record built, which a logging sends with its time fields,
    // and its fields (tag, value) for the file of QSOs not taken.
    platform::Text record;
    std::vector<std::pair<std::u16string_view, platform::Text>> recordFields;
    // The record Logger32 was last given (empty: none, or Logger32 must be
    // told everything afresh).
    platform::Text recordGiven;
    // The mode and the frequency (MHz) last given to Logger32.
    platform::Text modeGiven, frequencyGiven;
    // The mode of the QSO being logged: MixW's on screen while MixW2 holds
    // the rig (as Logger32 is given it, also while Logger32 is away), else
    // the one Logger32 was last given.
    platform::Text modeOfLogging;
    // Its frequency (MHz): in a dial mode MixW's dial on screen, else the one
    // Logger32 was last given (MixW's FqA is not asked inside a logging).
    platform::Text frequencyOfLogging;
    // MixW's FqA and AudioFq (Hz) as last read, for the UDP Status.
    double fqaRead = 0, audioFqRead = 0;
    // MixW's links opened anew, or MixW2 came back, since the last push:
    // its next step tells Logger32 afresh (set by the bridge from what the
    // attachment recorded).
    bool mixwLinksOpened = false;
    bool mixwCameBack = false;
};

// A QSO logged in MixW that Logger32 has not taken yet.
struct Logging {
    std::uint64_t number = 0;
    platform::Text text;    // the logging text as Logger32 gets it
    platform::Text record;  // its ADIF record for not-logged.adi, without <EOR>
    platform::Text name;    // "CALL TIME", for the operator
    bool handed = false;    // with the Logger32 link: waiting its turn or being sent
    bool inFile = false;    // the last write of not-logged.adi that worked had it
    // Logger32's text window went away after it may have begun the text: the
    // QSO may be in its log, so it is never given again; it stays in the
    // file, marked, for the operator to check.
    bool doubtful = false;
};

struct KeptState {
    // Oldest first; a logging leaves once Logger32 took it.
    std::deque<Logging> loggings;
    std::uint64_t lastNumber = 0;
    // not-logged.adi: what this run last meant it to hold (nullopt: not
    // touched), the records an earlier run left in it and how many, and
    // whether the file is behind (the last write failed: another program
    // holds it, or the folder cannot be written; tried again on the watch's
    // tick and at the end). What it holds is told by the numbers of the
    // loggings in it, each doubled and plus 1 when it is in doubt: a
    // logging's record never changes, nor does what an earlier run left,
    // so the text need not be built and compared after every event.
    std::optional<std::vector<std::uint64_t>> written;
    bool leftoverRead = false;
    // The earlier file is there but another program holds it: it is read
    // again before each write, and nothing is written over it meanwhile.
    bool leftoverHeld = false;
    // Held once and shared with every write: it may be a hundred megabytes.
    std::shared_ptr<const platform::Text> leftover;
    int leftoverCount = 0;
    bool unwritable = false;
    // A write the world makes on a thread of its own is under way, and the
    // loggings (by number) its text holds: the file has them once it ends
    // well. Until then the file is what the last write that ended made it.
    bool writing = false;
    std::vector<std::uint64_t> writingNumbers;
    // An earlier run's file that is not whole ADIF records: a QSO written
    // after it would be read as part of its broken field, so it is moved
    // aside before this run writes, and where it went is said at start.
    bool damagedToMove = false;
    platform::Text movedAsideTo;
    // The QSOs an earlier end left in not-logged-unsaved.adi, and whether
    // this run's end put the QSOs the file could not take there.
    int unsavedCount = 0;
    bool savedToUnsaved = false;
};

}  // namespace linkwell::to_logger32
