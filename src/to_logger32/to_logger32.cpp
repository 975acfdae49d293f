#include "to_logger32/to_logger32.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "handover/handover.h"
#include "logger32/link.h"
#include "mixw/attach.h"
#include "to_logger32/number_text.h"
#include "window/intervals.h"

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
    {u"<CALL:", ControlId::CallBox, &PushState::call},
    {u"<RST_RCVD:", ControlId::RstRcvdBox, &PushState::rstRcvd},
    // The report sent travels with the record but does not make one due.
    {u"<RST_SENT:", ControlId::RstSentBox, nullptr},
    {u"<QTH:", ControlId::QthBox, &PushState::qth},
    {u"<NAME:", ControlId::NameBox, &PushState::name},
    {u"<COMMENT:", ControlId::NotesBox, &PushState::notes},
    {u"<GRIDSQUARE:", ControlId::LocatorBox, &PushState::locator},
    {u"<IOTA:", ControlId::IotaBox, &PushState::iota},
    {u"<QSL_VIA:", ControlId::QslManagerBox, &PushState::qslManager},
}};

constexpr double kHertzPerKilohertz = 1000;
constexpr double kHertzPerMegahertz = 1000000;

// A copy: sends and text writes below may run handlers that change boxes.
Text TextOf(const Station& s, ControlId box) {
    return s.form.GetText(box);
}

bool IsDialMode(const Text& mode) {
    return std::find(kDialModes.begin(), kDialModes.end(), mode) != kDialModes.end();
}

// FqA + AudioFq (or FqA - AudioFq) in hertz, read afresh from MixW; nullopt
// when MixW2 has gone or gave something that is no finite number.
std::optional<double> MixWFrequency(Station& s, bool subtractAudio) {
    auto* mixw = mixw::Object(s);
    if (!mixw) return std::nullopt;
    const auto base = mixw->FqA();
    if (!base) return std::nullopt;
    const auto audio = mixw->AudioFq();
    if (!audio) return std::nullopt;
    const double hz = subtractAudio ? *base - *audio : *base + *audio;
    if (!std::isfinite(hz)) return std::nullopt;
    return hz;
}

// The megahertz text that tells whether the frequency moved.
std::optional<Text> FrequencyDetectionText(Station& s) {
    const auto hz = MixWFrequency(s, false);
    if (!hz) return std::nullopt;
    return DetectionText(*hz / kHertzPerMegahertz);
}

void SendModeStage(Station& s) {
    s.push.mode = TextOf(s, ControlId::ModeBox);
    for (const auto& [mixw, logger32] : kModeNames) {
        if (s.form.GetText(ControlId::ModeBox) == mixw)
            s.form.SetText(ControlId::ModeBox, Text(logger32));
    }
    (void)logger32::SendTextToLogger32(
        s, AdifField(u"<APP_FORCE_MODE:", TextOf(s, ControlId::ModeBox)));
}

void SendFrequencyStage(Station& s) {
    const auto detection = FrequencyDetectionText(s);
    if (!detection) return;
    s.push.frequency = *detection;
    const auto khz = ForceFreqText(s, true);
    if (!khz) return;
    (void)logger32::SendTextToLogger32(s, AdifField(u"<APP_FORCE_FREQ:", *khz));
}

void SendRecordStage(Station& s) {
    if (s.form.GetText(ControlId::CallBox).empty()) return;
    bool due = false;
    for (const auto& field : kRecordFields) {
        if (field.remembered && s.form.GetText(field.box) != s.push.*field.remembered) due = true;
    }
    if (!due) return;
    Text record;
    for (const auto& field : kRecordFields) {
        const Text value = TextOf(s, field.box);
        if (field.remembered) s.push.*field.remembered = value;
        record += AdifField(field.prefix, value);
    }
    s.push.record = record;
    (void)logger32::SendTextToLogger32(s, record);
    // MixW's next command, even a repeated "Save", is then a change.
    s.form.SetText(ControlId::MixWCommandBox, u" ");
}

// "CALL TIME" of a logging text, for the operator.
Text LoggedQsoName(const Text& logging) {
    const auto field = [&logging](std::u16string_view tag) {
        const auto at = logging.find(tag);
        if (at == Text::npos) return Text();
        const auto close = logging.find(u'>', at);
        if (close == Text::npos) return Text();
        std::size_t length = 0;
        for (auto i = at + tag.size(); i < close; ++i) {
            if (logging[i] < u'0' || logging[i] > u'9' || length > logging.size()) return Text();
            length = length * 10 + static_cast<std::size_t>(logging[i] - u'0');
        }
        return logging.substr(close + 1, length);
    };
    const Text call = field(u"<CALL:");
    return (call.empty() ? Text(u"?") : call) + u' ' + field(u"<APP_TIME_ON:");
}

}  // namespace

void PushMixWToLogger32(Station& s) {
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

std::optional<Text> ForceFreqText(Station& s, bool honourSideband) {
    const Text separator = s.os.DecimalSeparator();
    if (IsDialMode(TextOf(s, ControlId::ModeBox))) {
        const auto khz = LeadingNumber(s.form.GetText(ControlId::DialFreqBox));
        if (!khz) return std::nullopt;
        return ValueText(*khz, separator);
    }
    const auto hz = MixWFrequency(s, honourSideband && handover::SidebandUsb(s));
    if (!hz) return std::nullopt;
    return ValueText(*hz / kHertzPerKilohertz, separator);
}

void OnDialFreqChanged(Station& s) {
    const auto khz = ForceFreqText(s, false);
    if (!khz) return;
    (void)logger32::SendTextToLogger32(s, AdifField(u"<APP_FORCE_FREQ:", *khz));
}

void OnMixWCommand(Station& s) {
    if (handover::Logger32HasRig(s)) return;
    if (s.form.GetText(ControlId::MixWCommandBox) == kSave) {
        // The next push comes a full tick after the logging.
        s.form.Disarm(ControlId::PushTimer);
        LogQso(s);
        s.form.Arm(ControlId::PushTimer, window::kPushIntervalMs);
    }
    // Read anew: after a "Save" the box holds the marker, never "Remove".
    if (s.form.GetText(ControlId::MixWCommandBox) == kRemove) {
        (void)logger32::SendTextToLogger32(s, Text(kEndOfRecord));
    }
}

void LogQso(Station& s) {
    // The time pair goes on a copy: QsoRecord stays the record as sent, so a
    // second logging carries one pair, the current one, and not two.
    const Text time = TextOf(s, ControlId::TimeBox);
    const Text logged =
        s.push.record + AdifField(u"<APP_TIME_ON:", time) + AdifField(u"<APP_TIME_OFF:", time);
    s.push.undelivered.push_back(AdifField(u"<APP_LOGQSO:", logged));
    DeliverKeptLoggings(s);
    s.form.SetText(ControlId::MixWCommandBox, Text(kSentMarker));
}

void DeliverKeptLoggings(Station& s) {
    while (!s.push.undelivered.empty()) {
        // A copy: the send lets other messages in, and they may log too.
        const Text text = s.push.undelivered.front();
        if (logger32::SendTextToLogger32(s, text) != platform::Delivery::Delivered) return;
        // Delivered: it is no longer kept, whatever ran during the send.
        const auto kept = std::find(s.push.undelivered.begin(), s.push.undelivered.end(), text);
        if (kept != s.push.undelivered.end()) s.push.undelivered.erase(kept);
        logger32::PostToLogger32(s, logger32::code::kLogged1, 1);
        logger32::PostToLogger32(s, logger32::code::kLogged2, 1);
    }
}

void Logger32IsBack(Station& s) {
    DeliverKeptLoggings(s);
    ForgetWhatWasSent(s);
    ForgetCallSent(s);
}

void ReportKeptLoggings(Station& s) {
    DeliverKeptLoggings(s);
    if (s.push.undelivered.empty()) return;
    Text list(kNotLoggedText);
    for (const auto& text : s.push.undelivered) list += u"\r\n" + LoggedQsoName(text);
    s.os.MessageBox(list, Text(window::kProgramTitle));
}

void ForgetWhatWasSent(Station& s) {
    const Text marker(kResendMarker);
    s.push.frequency = marker;
    s.push.qth = marker;
    s.push.name = marker;
    s.push.notes = marker;
    s.push.rstRcvd = marker;
    s.push.mode = marker;
}

void ForgetCallSent(Station& s) {
    s.push.call = Text(kCallNotYetSent);
}

Text AdifField(std::u16string_view prefix, const Text& value) {
    const std::string n = std::to_string(value.size());
    Text out(prefix);
    out.append(n.begin(), n.end());
    out += u'>';
    out += value;
    return out;
}

}  // namespace linkwell::to_logger32
