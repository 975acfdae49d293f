// Loggings until Logger32 has taken them: each handed to the Logger32 link
// once, settled exactly by what became of its send, and meanwhile written to
// not-logged.adi, so that a QSO is never only in the bridge's memory.
#include "to_logger32/logging.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "logger32/link.h"
#include "logger32/protocol.h"
#include "not_logged/not_logged.h"
#include "to_logger32/push.h"
#include "udp/announce.h"
#include "window/controls.h"
#include "window/timing.h"

namespace linkwell::to_logger32 {

using logger32::Fate;
using logger32::Handed;
using logger32::TextKind;
using not_logged::InDoubt;
using platform::Text;
using window::ControlId;

namespace {

// The value of a field "<TAG:n>value" in a logging text.
Text FieldOf(const Text& logging, std::u16string_view tag) {
    const auto at = logging.find(tag);
    if (at == Text::npos) return {};
    const auto value = logger32::FieldValue(logging, at + tag.size(), at);
    return value ? Text(*value) : Text();
}

// "CALL TIME" of a logging, for the operator.
Text QsoName(const Text& logging) {
    const Text call = FieldOf(logging, logger32::record::kCall);
    return (call.empty() ? Text(u"?") : call) + u' ' + FieldOf(logging, logger32::kTimeOnTag);
}

}  // namespace

void OnMixWCommand(BridgeState& s) {
    if (s.mixw.linkOpening == ControlId::MixWCommandBox) {
        // The value the link brings as it opens is what MixW's command item
        // still holds from the last QSO: a state, not the operator's command.
        // Re-armed, so that MixW's next "Save" is a change all the same.
        const Text command = s.form.GetText(ControlId::MixWCommandBox);
        if (command == kSave || command == kRemove) s.form.SetText(ControlId::MixWCommandBox, u" ");
        return;
    }
    if (s.rig.logger32HasRig) return;
    if (s.form.GetText(ControlId::MixWCommandBox) == kSave) {
        // The next push comes a full tick after the logging.
        s.form.Disarm(ControlId::PushTimer);
        LogQso(s);
        s.form.Arm(ControlId::PushTimer, window::kPushIntervalMs);
    }
    // Read anew: after a "Save" the box holds the marker, never "Remove".
    if (s.form.GetText(ControlId::MixWCommandBox) == kRemove) {
        (void)logger32::SendTextToLogger32(s, TextKind::Command, Text(logger32::kEndOfRecord));
    }
}

void LogQso(BridgeState& s) {
    // The QSO on screen, told to Logger32 first if the push has not yet.
    RecordForLogging(s);
    // The time pair goes on a copy: QsoRecord stays the record as built, so
    // a second logging carries one pair, the current one, and not two.
    // The box's design-time text is no time: MixW's time link not made yet.
    Text time = s.form.GetText(ControlId::TimeBox);
    if (!s.mixw.LinkMade(ControlId::TimeBox) &&
        time == window::Design(ControlId::TimeBox).initial) {
        time.clear();
    }
    Logging logging;
    logging.number = ++s.kept.lastNumber;
    logging.text = logger32::LoggingText(s.push.record, time);
    logging.record = not_logged::FileRecord(s, time);
    logging.name = QsoName(logging.text);
    // The listeners hear of the QSO as the operator logs it, whatever
    // Logger32 then makes of it; a QSO with no call is none to them.
    if (s.udp.settings && !FieldOf(logging.text, logger32::record::kCall).empty()) {
        udp::AnnounceLogging(s, {s.push.recordFields, time, s.platform.UtcDate(),
                                 s.push.modeOfLogging, s.push.frequencyOfLogging, logging.record});
    }
    s.kept.loggings.push_back(std::move(logging));
    DeliverKeptLoggings(s);
    s.form.SetText(ControlId::MixWCommandBox, Text(kSentMarker));
}

void DeliverKeptLoggings(BridgeState& s) {
    if (!logger32::TakesTexts(s)) return;
    // By number: a send may let nothing of the bridge run, so the list stays
    // as it is meanwhile, but an index is plainer than a held reference.
    for (std::size_t i = 0; i < s.kept.loggings.size(); ++i) {
        auto& l = s.kept.loggings[i];
        if (l.handed) continue;
        l.handed = true;
        const Text text = l.text;
        if (logger32::SendTextToLogger32(s, logger32::TextKind::Logging, text, l.number) ==
            logger32::Handed::NotSent) {
            return;
        }
    }
}

void Settle(BridgeState& s, const std::vector<logger32::SettledLogging>& settled) {
    for (const auto& [number, fate] : settled) {
        auto& list = s.kept.loggings;
        const auto it = std::find_if(list.begin(), list.end(),
                                     [n = number](const Logging& l) { return l.number == n; });
        if (it == list.end()) continue;
        switch (fate) {
            case Fate::Taken: list.erase(it); break;
            case Fate::NotTaken: it->handed = false; break;
            // Still handed: nothing gives it to Logger32 again.
            case Fate::InDoubt: it->doubtful = true; break;
        }
    }
}

void TellEverythingAfresh(BridgeState& s) {
    // The loggings Logger32 has not taken first.
    DeliverKeptLoggings(s);
    s.push.recordGiven.clear();
    ForgetWhatWasSent(s);
    ForgetCallSent(s);
}

void ReportKeptLoggings(BridgeState& s) {
    not_logged::SaveBeforeEnd(s);
    if (s.kept.loggings.empty()) return;
    Text list;
    if (!s.kept.unwritable) {
        list = Text(kNotLoggedInFileText) + s.platform.NotLoggedPath() + u":";
    } else if (s.kept.savedToUnsaved) {
        const bool someInFile = std::any_of(s.kept.loggings.begin(), s.kept.loggings.end(),
                                            [](const Logging& l) { return l.inFile; });
        list = Text(kNotLoggedInFileText) +
               (someInFile ? s.platform.NotLoggedPath() + u" and " : Text()) +
               s.platform.UnsavedPath() + u":";
    } else {
        list = kNotLoggedText;
    }
    for (const auto& l : s.kept.loggings) {
        list += u"\r\n" + l.name;
        if (InDoubt(s, l)) list += kInDoubtNote;
    }
    s.platform.MessageBox(list, Text(window::kProgramTitle));
}

void SettleBeforeSessionEnd(BridgeState& s) {
    not_logged::SaveBeforeEnd(s);
}

std::size_t KeptCount(const BridgeState& s) {
    return s.kept.loggings.size();
}

}  // namespace linkwell::to_logger32
