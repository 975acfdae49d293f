#include "to_logger32/push.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "logger32/link.h"
#include "logger32/protocol.h"
#include "to_logger32/number_text.h"

namespace linkwell::to_logger32 {

using platform::Text;
using window::ControlId;

namespace {

struct RecordField {
    std::u16string_view prefix;
    ControlId box;
    Text PushState::*remembered;  // null: not part of the change test
};
// The QSO record's fields in the order they are written.
constexpr std::array<RecordField, 9> kRecordFields = {{
    {logger32::record::kCall, ControlId::CallBox, &PushState::call},
    {logger32::record::kRstRcvd, ControlId::RstRcvdBox, &PushState::rstRcvd},
    // The report sent travels with the record but does not make one due.
    {logger32::record::kRstSent, ControlId::RstSentBox, nullptr},
    {logger32::record::kQth, ControlId::QthBox, &PushState::qth},
    {logger32::record::kName, ControlId::NameBox, &PushState::name},
    {logger32::record::kComment, ControlId::NotesBox, &PushState::notes},
    {logger32::record::kGridSquare, ControlId::LocatorBox, &PushState::locator},
    {logger32::record::kIota, ControlId::IotaBox, &PushState::iota},
    {logger32::record::kQslVia, ControlId::QslManagerBox, &PushState::qslManager},
}};

constexpr double kHertzPerKilohertz = 1000;
constexpr double kHertzPerMegahertz = 1000000;

// A copy: sends and text writes below may run handlers that change boxes.
Text TextOf(const BridgeState& s, ControlId box) {
    return s.form.GetText(box);
}

bool IsDialMode(const Text& mode) {
    return std::find(kDialModes.begin(), kDialModes.end(), mode) != kDialModes.end();
}

// FqA + AudioFq (or FqA - AudioFq) in hertz, read afresh from MixW; nullopt
// when MixW2 has gone or gave something that is no finite number.
std::optional<double> MixWFrequency(BridgeState& s, bool subtractAudio) {
    auto* mixw = s.mixw.object.get();
    if (!mixw) return std::nullopt;
    const auto dial = mixw->ReadDial();
    if (!dial.fqa || !dial.audioFq) return std::nullopt;
    s.push.fqaRead = *dial.fqa;
    s.push.audioFqRead = *dial.audioFq;
    const double hz = subtractAudio ? *dial.fqa - *dial.audioFq : *dial.fqa + *dial.audioFq;
    if (!std::isfinite(hz)) return std::nullopt;
    return hz;
}

// The megahertz text that tells whether the frequency moved.
std::optional<Text> FrequencyDetectionText(BridgeState& s) {
    const auto hz = MixWFrequency(s, false);
    if (!hz) return std::nullopt;
    return DetectionText(*hz / kHertzPerMegahertz);
}

// MixW's links opened anew: the next record with a callsign is sent; MixW2
// came back: everything is.
void CatchUpWithMixW(BridgeState& s) {
    if (std::exchange(s.push.mixwLinksOpened, false)) ForgetCallSent(s);
    if (std::exchange(s.push.mixwCameBack, false)) ForgetWhatWasSent(s);
}

using logger32::Handed;
using logger32::TextKind;

// A push text is remembered as sent only once it went (or waits its turn
// behind a text Logger32 has not taken yet): one that found no text window
// or was refused goes again on the next tick.
void SendModeStage(BridgeState& s) {
    const Text before = s.push.mode;
    s.push.mode = TextOf(s, ControlId::ModeBox);
    for (const auto& [mixw, logger32] : kModeNames) {
        if (s.form.GetText(ControlId::ModeBox) == mixw)
            s.form.SetText(ControlId::ModeBox, Text(logger32));
    }
    const Text mode = TextOf(s, ControlId::ModeBox);
    if (logger32::SendTextToLogger32(s, TextKind::Mode, logger32::ModeText(mode)) ==
        Handed::NotSent) {
        s.push.mode = before;
        return;
    }
    s.push.modeGiven = mode;
}

// The frequency sent, kept in MHz for the file of QSOs not taken.
Handed SendFrequency(BridgeState& s, const Text& khz) {
    const auto handed =
        logger32::SendTextToLogger32(s, TextKind::Frequency, logger32::FrequencyText(khz));
    if (handed != Handed::NotSent) {
        s.push.frequencyGiven = MegahertzText(khz, s.platform.DecimalSeparator());
    }
    return handed;
}

void SendFrequencyStage(BridgeState& s) {
    const auto detection = FrequencyDetectionText(s);
    if (!detection) return;
    const Text before = s.push.frequency;
    s.push.frequency = *detection;
    const auto khz = ForceFreqText(s, true);
    if (!khz) return;
    if (SendFrequency(s, *khz) == Handed::NotSent) s.push.frequency = before;
}

// The record as the boxes hold it now: the nine fields in their order.
struct BuiltRecord {
    Text text;
    std::vector<std::pair<std::u16string_view, Text>> fields;
};

BuiltRecord BuildRecord(const BridgeState& s) {
    BuiltRecord built;
    for (const auto& field : kRecordFields) {
        const Text value = TextOf(s, field.box);
        built.text += logger32::AdifField(field.prefix, value);
        built.fields.emplace_back(field.prefix, value);
    }
    return built;
}

// Keeps the record for the logging and gives it to Logger32; its compared
// fields are remembered as sent unless it could not go (it goes again on
// the next tick, and a logging still carries the newest fields).
void SendRecord(BridgeState& s, BuiltRecord built) {
    const PushState before = s.push;
    for (std::size_t i = 0; i < kRecordFields.size(); ++i) {
        const auto remembered = kRecordFields[i].remembered;
        if (remembered) s.push.*remembered = built.fields[i].second;
    }
    s.push.record = std::move(built.text);
    s.push.recordFields = std::move(built.fields);
    const Text record = s.push.record;
    if (logger32::SendTextToLogger32(s, TextKind::Record, record) == Handed::NotSent) {
        for (const auto& field : kRecordFields) {
            if (field.remembered) s.push.*field.remembered = before.*field.remembered;
        }
        return;
    }
    s.push.recordGiven = record;
}

bool RecordLinksMade(const BridgeState& s) {
    return std::all_of(kRecordFields.begin(), kRecordFields.end(),
                       [&s](const RecordField& field) { return s.mixw.LinkMade(field.box); });
}

void SendRecordStage(BridgeState& s) {
    if (s.form.GetText(ControlId::CallBox).empty() || !RecordLinksMade(s)) return;
    bool due = false;
    for (const auto& field : kRecordFields) {
        if (field.remembered && s.form.GetText(field.box) != s.push.*field.remembered) due = true;
    }
    if (!due) return;
    SendRecord(s, BuildRecord(s));
    // MixW's next command, even a repeated "Save", is then a change.
    s.form.SetText(ControlId::MixWCommandBox, u" ");
}

}  // namespace

void PushMixWToLogger32(BridgeState& s) {
    CatchUpWithMixW(s);
    // A box whose link is not made yet holds its placeholder, not MixW's
    // state; the mode also says where the frequency comes from.
    if (!s.mixw.LinkMade(ControlId::ModeBox)) return;
    if (s.form.GetText(ControlId::ModeBox) != s.push.mode) {
        SendModeStage(s);
        return;
    }
    const auto detection = FrequencyDetectionText(s);
    if (!detection) return;  // MixW2 gone: nothing this tick
    if (*detection != s.push.frequency) {
        SendFrequencyStage(s);
        return;
    }
    SendRecordStage(s);
}

std::optional<Text> ForceFreqText(BridgeState& s, bool honourSideband) {
    const Text separator = s.platform.DecimalSeparator();
    if (IsDialMode(TextOf(s, ControlId::ModeBox))) {
        const auto khz = LeadingNumber(s.form.GetText(ControlId::DialFreqBox));
        if (!khz) return std::nullopt;
        return ValueText(*khz, separator);
    }
    const auto hz = MixWFrequency(s, honourSideband && s.rig.sidebandUsb);
    if (!hz) return std::nullopt;
    return ValueText(*hz / kHertzPerKilohertz, separator);
}

void OnDialFreqChanged(BridgeState& s) {
    const auto khz = ForceFreqText(s, false);
    if (!khz) return;
    (void)SendFrequency(s, *khz);
}

void ForgetWhatWasSent(BridgeState& s) {
    const Text marker(kResendMarker);
    s.push.frequency = marker;
    s.push.qth = marker;
    s.push.name = marker;
    s.push.notes = marker;
    s.push.rstRcvd = marker;
    s.push.mode = marker;
}

void RecordForLogging(BridgeState& s) {
    // Only while the push runs: with the rig, Logger32 holds its own mode.
    const bool mixwMode = !s.rig.logger32HasRig && s.mixw.LinkMade(ControlId::ModeBox);
    if (mixwMode && TextOf(s, ControlId::ModeBox) != s.push.mode) SendModeStage(s);
    s.push.modeOfLogging = mixwMode ? TextOf(s, ControlId::ModeBox) : s.push.modeGiven;
    s.push.frequencyOfLogging = s.push.frequencyGiven;
    if (mixwMode && s.mixw.LinkMade(ControlId::DialFreqBox) && IsDialMode(s.push.modeOfLogging)) {
        if (const auto khz = ForceFreqText(s, true)) {
            s.push.frequencyOfLogging = MegahertzText(*khz, s.platform.DecimalSeparator());
        }
    }
    // An empty call holds the record back, as on every tick: MixW may clear
    // its QSO fields just before its "Save" arrives, and the QSO it saves is
    // then the one the record last held. Placeholders of links not made are
    // no QSO either.
    if (s.form.GetText(ControlId::CallBox).empty() || !RecordLinksMade(s)) return;
    BuiltRecord built = BuildRecord(s);
    if (built.text == s.push.recordGiven) {
        s.push.record = built.text;
        s.push.recordFields = std::move(built.fields);
        return;
    }
    SendRecord(s, std::move(built));
}

void MixWLinksOpened(BridgeState& s) {
    s.push.mixwLinksOpened = true;
}

void MixWCameBack(BridgeState& s) {
    s.push.mixwCameBack = true;
}

void ForgetCallSent(BridgeState& s) {
    s.push.call = Text(kCallNotYetSent);
}

}  // namespace linkwell::to_logger32
