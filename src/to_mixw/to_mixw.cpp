#include "to_mixw/to_mixw.h"

#include <array>
#include <utility>

#include "logger32/link.h"
#include "mixw/attach.h"
#include "mixw/protocol.h"
#include "to_mixw/readers.h"
#include "window/timing.h"

namespace linkwell::to_mixw {

using mixw::FrequencyMacro;
using platform::CallStatus;
using platform::Text;
using window::ControlId;
namespace macro = mixw::macro;
namespace qso_field = mixw::qso_field;

namespace {

using Macros = std::span<const std::u16string_view>;

struct ModeRow {
    std::u16string_view mode;
    Macros macros;
    bool afterSpot;
};

// A spot leaves MixW's mode alone for "USB" and "LSB"; a record switches
// MixW to SSB for them.
constexpr std::array<ModeRow, 9> kModeTable = {{
    {u"CW", mixw::macro::kCw, true},
    {u"USB", mixw::macro::kSsb, false},
    {u"LSB", mixw::macro::kSsb, false},
    {u"SSB", mixw::macro::kSsb, true},
    {u"RTTY", mixw::macro::kRtty, true},
    {u"PSK31", mixw::macro::kPsk31, true},
    {u"PSK63", mixw::macro::kPsk63, true},
    {u"PSK125", mixw::macro::kPsk125, true},
    {u"MFSK16", mixw::macro::kMfsk16, true},
}};

// The calls on MixW's object. A missing object counts as a failed call.
bool Macro(BridgeState& s, std::u16string_view macro) {
    auto* mixw = mixw::Object(s);
    return mixw && mixw->ExecuteMacros(Text(macro)) == CallStatus::Done;
}

bool QsoData(BridgeState& s, std::int16_t field, const Text& value) {
    Text byReference = value;
    auto* mixw = mixw::Object(s);
    return mixw && mixw->SetQsoData(field, byReference) == CallStatus::Done;
}

bool SwitchMode(BridgeState& s, const Text& mode, ModeFrom from) {
    for (auto macro : ModeMacros(mode, from)) {
        if (!Macro(s, macro)) return false;
    }
    return true;
}

// The Sent text as it stands now: each record step reads it afresh, and a
// copy stays valid while MixW's calls let other messages in.
Text SentNow(const BridgeState& s) {
    return s.form.GetText(ControlId::Logger32TextBox);
}

// Each step gives false when a call on MixW failed: the tick ends there.
bool SpotSteps(BridgeState& s, const Text& spot) {
    const auto parts = ReadSpot(spot);
    if (!parts) return true;  // a broken spot is dropped; the record steps still run
    s.intake.tuneFreq = Text(parts->freq);
    s.intake.mode = Text(parts->mode);
    return Macro(s, FrequencyMacro(s.intake.tuneFreq)) &&
           QsoData(s, qso_field::kCall, Text(parts->call)) &&
           SwitchMode(s, s.intake.mode, ModeFrom::Spot);
}

// Reads one field of the Sent text into `into` and sets it in MixW's QSO;
// a broken field is skipped.
bool FieldStep(BridgeState& s, std::optional<std::u16string_view> (*read)(std::u16string_view),
               Text& into, std::int16_t field) {
    const Text text = SentNow(s);
    const auto value = read(text);
    if (!value) return true;
    into = Text(*value);
    return QsoData(s, field, into);
}

bool RecordSteps(BridgeState& s) {
    if (Holds(SentNow(s), kEndOfRecord) && !Macro(s, macro::kClearQso)) return false;
    if (Holds(SentNow(s), kCallName) && !FieldStep(s, ReadCall, s.intake.call, qso_field::kCall)) {
        return false;
    }
    if (Holds(SentNow(s), kModeName)) {
        const Text text = SentNow(s);  // the mode read is a view into it
        if (const auto mode = ReadMode(text)) {
            s.intake.mode = Text(*mode);
            if (!SwitchMode(s, s.intake.mode, ModeFrom::Record)) return false;
        }
        // Reports and name count only in a record that names its mode.
        if (Holds(SentNow(s), kRstSentName) &&
            !FieldStep(s, ReadRstSent, s.intake.rstSent, qso_field::kRstSent)) {
            return false;
        }
        if (Holds(SentNow(s), kRstRcvdName) &&
            !FieldStep(s, ReadRstRcvd, s.intake.rstRcvd, qso_field::kRstRcvd)) {
            return false;
        }
        if (Holds(SentNow(s), kNameName) &&
            !FieldStep(s, ReadName, s.intake.name, qso_field::kName)) {
            return false;
        }
    }
    if (Holds(SentNow(s), kEndOfFile)) {
        if (!Macro(s, macro::kFixStartTime) || !Macro(s, macro::kSaveQso) ||
            !Macro(s, macro::kClearQso))
            return false;
        // Runs OnLogger32Text at once: code 10 and one more (empty) tick.
        s.form.SetText(ControlId::Logger32TextBox, Text(kSavedMark));
    }
    return true;
}

}  // namespace

std::span<const std::u16string_view> ModeMacros(std::u16string_view mode, ModeFrom from) {
    for (const auto& row : kModeTable) {
        if (row.mode != mode) continue;
        if (from == ModeFrom::Spot && !row.afterSpot) return {};
        return row.macros;
    }
    return {};
}

void OnLogger32Text(BridgeState& s) {
    const Text& text = s.form.GetText(ControlId::Logger32TextBox);
    if (IsSpot(text)) s.intake.pendingSpot = text;
    logger32::PostToLogger32(
        s, logger32::code::kClusterWindow,
        static_cast<platform::LParam>(s.form.HandleOf(ControlId::ClusterBox).value));
    s.form.Arm(ControlId::IntakeTimer, window::kIntakeDelayMs);
}

void OnIntakeTick(BridgeState& s) {
    s.form.Disarm(ControlId::IntakeTimer);
    // Taken once, acted on or not: a spot never outlives its tick.
    const Text spot = std::exchange(s.intake.pendingSpot, Text());
    if (!spot.empty() && mixw::Attached(s) && !SpotSteps(s, spot)) return;
    if (!s.rig.logger32HasRig) return;
    (void)RecordSteps(s);
}

void OnLogger32FreqChanged(BridgeState& s) {
    if (!s.rig.logger32HasRig) return;
    s.intake.tuneFreq = s.form.GetText(ControlId::Logger32FreqBox);
    (void)Macro(s, FrequencyMacro(s.intake.tuneFreq));
}

}  // namespace linkwell::to_mixw
