// not-logged.adi: the QSOs Logger32 has not taken, written whenever what
// the file must hold changes, an earlier run's QSOs kept in it, and the
// file beside it for what an end could not write there.
#include "not_logged/not_logged.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "logger32/link.h"
#include "logger32/protocol.h"
#include "text/text.h"

namespace linkwell::not_logged {

using logger32::AdifField;
using platform::Text;
using text::FindIgnoringCase;
using to_logger32::Logging;

namespace {

Text Trimmed(const Text& t) {
    const auto first = t.find_first_not_of(u" \t\r\n");
    if (first == Text::npos) return {};
    const auto last = t.find_last_not_of(u" \t\r\n");
    return t.substr(first, last - first + 1);
}

Text RecordText(const BridgeState& s, const Logging& l) {
    return l.record + (InDoubt(s, l) ? Text(kInDoubtField) : Text()) + u"<EOR>\r\n";
}

// The records of an ADIF file: what follows its header, trimmed.
Text Body(const Text& file) {
    const auto header = FindIgnoringCase(file, u"<EOH>");
    return Trimmed(header == Text::npos ? file : file.substr(header + 5));
}

// The whole file: a header, what an earlier run left (shared, not copied),
// then this run's loggings not taken, oldest first.
platform::NotLoggedText FileText(const BridgeState& s) {
    platform::NotLoggedText out;
    out.header = Text(kNotLoggedHeader);
    out.earlier = s.kept.leftover;
    for (const auto& l : s.kept.loggings) out.records += RecordText(s, l);
    return out;
}

bool MoveDamagedAside(BridgeState& s) {
    if (!s.kept.damagedToMove) return true;
    const auto name = s.platform.MoveNotLoggedAside();
    if (!name) return false;
    s.kept.damagedToMove = false;
    s.kept.movedAsideTo = *name;
    return true;
}

// Which loggings the file holds, and which of them is in doubt.
std::vector<std::uint64_t> FileLoggings(const BridgeState& s) {
    std::vector<std::uint64_t> out;
    out.reserve(s.kept.loggings.size());
    for (const auto& l : s.kept.loggings) out.push_back(l.number * 2 + (InDoubt(s, l) ? 1 : 0));
    return out;
}

// The end of a write: the loggings its text held are in the file.
void FileWritten(BridgeState& s, bool done) {
    s.kept.writing = false;
    s.kept.unwritable = !done;
    if (!done) return;
    const auto& held = s.kept.writingNumbers;
    for (auto& l : s.kept.loggings) {
        if (std::find(held.begin(), held.end(), l.number) != held.end()) l.inFile = true;
    }
}

// One try at making the file hold what this run means it to: the text is
// built only here, once per change (and per retry). The world may write it
// on a thread of its own (a file of an earlier run may be a hundred
// megabytes): the outcome then comes in its turn, through OnFileWritten.
void WriteFile(BridgeState& s) {
    ReadLeftover(s);
    if (s.kept.leftoverHeld || !MoveDamagedAside(s)) {
        s.kept.unwritable = true;
        return;
    }
    const bool any = !s.kept.loggings.empty() || s.kept.leftoverCount > 0;
    s.kept.writingNumbers.clear();
    for (const auto& l : s.kept.loggings) s.kept.writingNumbers.push_back(l.number);
    const auto result = s.platform.WriteNotLogged(any ? FileText(s) : platform::NotLoggedText{});
    if (result == platform::FileWrite::Pending) {
        s.kept.writing = true;
        return;
    }
    FileWritten(s, result == platform::FileWrite::Done);
}

// A write still under way is waited for: the bridge reports what it kept
// only from what the file holds.
void FinishFileWrite(BridgeState& s) {
    if (s.kept.writing) FileWritten(s, s.platform.FinishNotLoggedWrite());
}

}  // namespace

// The record Logger32 would have logged, as ADIF: the QSO record's fields,
// the date, the times, the QSO's mode and frequency.
// Empty values are left out (ADIF has no use for them).
Text FileRecord(BridgeState& s, const Text& time) {
    Text record;
    const auto add = [&record](std::u16string_view prefix, const Text& value) {
        if (!value.empty()) record += AdifField(prefix, value);
    };
    for (const auto& [prefix, value] : s.push.recordFields) add(prefix, value);
    add(u"<QSO_DATE:", s.platform.UtcDate());
    add(u"<TIME_ON:", time);
    add(u"<TIME_OFF:", time);
    add(u"<MODE:", s.push.modeOfLogging);
    add(u"<FREQ:", s.push.frequencyOfLogging);
    return record;
}

bool InDoubt(const BridgeState& s, const Logging& l) {
    return l.doubtful || (l.handed && logger32::LoggingInDoubt(s) == l.number);
}

// Rewrites the file when what it must hold changed; nothing is written
// while every logging is taken and no earlier run left one.
void UpdateFile(BridgeState& s) {
    // An earlier run's file is left as it is until this run has QSOs to add.
    if (!s.kept.written && s.kept.loggings.empty()) return;
    auto loggings = FileLoggings(s);
    if (s.kept.written && *s.kept.written == loggings) return;
    // A write that fails is tried again on the watch's tick, not after
    // every event (a held file would be tried many times a second).
    s.kept.written = std::move(loggings);
    WriteFile(s);
}

// The bridge ends: the file gets one more try, and the QSOs it still
// cannot take go to not-logged-unsaved.adi beside it, after what an
// earlier end left there.
void SaveBeforeEnd(BridgeState& s) {
    FinishFileWrite(s);
    RetryFileWrite(s);
    FinishFileWrite(s);
    if (!s.kept.unwritable) return;
    Text records;
    for (const auto& l : s.kept.loggings) {
        if (!l.inFile) records += RecordText(s, l);
    }
    if (records.empty()) return;
    Text earlier;
    if (const auto unsaved = s.platform.ReadUnsaved()) earlier = Body(*unsaved);
    if (!earlier.empty()) earlier += u"\r\n";
    s.kept.savedToUnsaved = s.platform.WriteUnsaved(Text(kNotLoggedHeader) + earlier + records);
}

namespace {

// What an earlier run left, read and looked through.
struct Leftover {
    int unsavedCount = 0;
    bool unreadable = false;  // there, but held by another program
    bool damaged = false;
    std::shared_ptr<const Text> records;
    int count = 0;
};

// Reads and checks the earlier files; touches nothing of the station's but
// its world's file reads, so that it can run aside.
Leftover ReadLeftoverFiles(platform::Platform& os) {
    Leftover out;
    if (const auto unsaved = os.ReadUnsaved()) {
        out.unsavedCount = static_cast<int>(RecordCount(Body(*unsaved)));
    }
    const auto file = os.ReadNotLogged();
    if (!file) {
        out.unreadable = os.NotLoggedThere();
        return out;
    }
    auto records = std::make_shared<const Text>(Body(*file));
    if (!WholeAdifRecords(*records)) {
        out.damaged = true;
        return out;
    }
    out.count = static_cast<int>(RecordCount(*records));
    if (!records->empty()) out.records = std::move(records);
    return out;
}

}  // namespace

void ReadLeftover(BridgeState& s) {
    // Once, before this run writes the file for the first time. A file an
    // earlier run left may be a hundred megabytes: it is read and checked
    // aside, the window answering meanwhile, while the start-up waits
    // anyway (for Logger32 and MixW2) and nothing of the bridge runs.
    if (s.kept.leftoverRead) return;
    s.kept.leftoverRead = true;
    Leftover left;
    s.platform.RunAside([&left, &os = s.platform] { left = ReadLeftoverFiles(os); });
    s.kept.unsavedCount = left.unsavedCount;
    // Read again before the next write: written over now, its QSOs would
    // be lost.
    s.kept.leftoverHeld = left.unreadable;
    if (left.unreadable) {
        s.kept.leftoverRead = false;
        return;
    }
    if (left.damaged) {
        // Kept as it is, beside the fresh file this run writes.
        s.kept.damagedToMove = true;
        (void)MoveDamagedAside(s);
        return;
    }
    s.kept.leftover = std::move(left.records);
    s.kept.leftoverCount = left.count;
}

void RetryFileWrite(BridgeState& s) {
    if (s.kept.unwritable && s.kept.written && !s.kept.writing) WriteFile(s);
}

void OnFileWritten(BridgeState& s, bool done) {
    if (s.kept.writing) FileWritten(s, done);
}

}  // namespace linkwell::not_logged
