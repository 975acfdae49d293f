#include "udp/announce.h"

#include <cmath>

#include "text/text.h"

namespace linkwell::udp {

using platform::Text;
using window::ControlId;

namespace {

std::string Utf8(const Text& t) {
    return text::ToUtf8(t);
}

// True when it went; the status line shows a failure until a send works.
bool Send(BridgeState& s, const wsjtx::Bytes& datagram) {
    s.udp.failing = !s.platform.SendUdp(datagram);
    return !s.udp.failing;
}

bool Active(const BridgeState& s) {
    return s.udp.open && !s.udp.closed;
}

void SendHeartbeat(BridgeState& s) {
    s.udp.watchTicks = 0;
    (void)Send(s,
               wsjtx::Heartbeat(s.udp.schema, s.udp.settings->version, s.udp.settings->revision));
}

// A box's text once its link to MixW is made; before that it holds a
// placeholder, which is no QSO.
std::string Box(const BridgeState& s, ControlId box) {
    return s.mixw.LinkMade(box) ? Utf8(s.form.GetText(box)) : std::string();
}

std::uint32_t Offset(double hz) {
    if (!std::isfinite(hz) || hz < 0 || hz > 1e9) return 0;
    return static_cast<std::uint32_t>(std::lround(hz));
}

wsjtx::StatusFields CurrentStatus(const BridgeState& s) {
    wsjtx::StatusFields f;
    const double dial = s.push.fqaRead;
    if (std::isfinite(dial) && dial > 0 && dial < 1e15) {
        f.dialHz = static_cast<std::uint64_t>(std::llround(dial));
    }
    f.mode = Utf8(s.push.modeGiven);
    f.dxCall = Box(s, ControlId::CallBox);
    f.report = Box(s, ControlId::RstSentBox);
    f.rxDf = f.txDf = Offset(s.push.audioFqRead);
    f.dxGrid = Box(s, ControlId::LocatorBox);
    return f;
}

void SendStatusIfChanged(BridgeState& s) {
    auto status = CurrentStatus(s);
    if (s.udp.statusSent == status) return;
    // One that did not go is tried again on the next tick.
    if (Send(s, wsjtx::Status(s.udp.schema, status))) s.udp.statusSent = std::move(status);
}

Text FieldOf(const Logged& qso, std::u16string_view prefix) {
    for (const auto& [p, value] : qso.fields) {
        if (p == prefix) return value;
    }
    return {};
}

std::optional<unsigned> Digits(std::u16string_view t, std::size_t at, std::size_t n) {
    unsigned v = 0;
    for (std::size_t i = at; i < at + n; ++i) {
        if (i >= t.size() || t[i] < u'0' || t[i] > u'9') return std::nullopt;
        v = v * 10 + static_cast<unsigned>(t[i] - u'0');
    }
    return v;
}

// MixW's time box: HHMM or HHMMSS; anything else is a time not known.
std::optional<std::uint32_t> MsOfDay(const Text& time) {
    if (time.size() != 4 && time.size() != 6) return std::nullopt;
    const auto h = Digits(time, 0, 2);
    const auto m = Digits(time, 2, 2);
    const auto sec = time.size() == 6 ? Digits(time, 4, 2) : std::optional<unsigned>(0);
    if (!h || !m || !sec || *h > 23 || *m > 59 || *sec > 59) return std::nullopt;
    return ((*h * 60 + *m) * 60 + *sec) * 1000;
}

std::int64_t JulianDayOf(const Text& date) {
    const auto y = Digits(date, 0, 4);
    const auto m = Digits(date, 4, 2);
    const auto d = Digits(date, 6, 2);
    if (date.size() != 8 || !y || !m || !d) return 0;
    return wsjtx::JulianDay(static_cast<int>(*y), static_cast<int>(*m), static_cast<int>(*d));
}

}  // namespace

void Configure(BridgeState& s, Settings settings) {
    s.udp.settings = std::move(settings);
}

void Start(BridgeState& s) {
    if (!s.udp.settings || s.udp.open || s.udp.closed) return;
    if (!s.platform.OpenUdp(s.udp.settings->to)) {
        s.udp.closed = true;  // nothing more is tried this run
        s.udp.failing = true;
        return;
    }
    s.udp.open = true;
    SendHeartbeat(s);
    SendStatusIfChanged(s);
}

void OnWatchTick(BridgeState& s) {
    if (!Active(s) || ++s.udp.watchTicks < kHeartbeatTicks) return;
    // What the listeners sent is read only here, with each Heartbeat: a
    // server's answer to the last one settles the schema of the next, and
    // the idle ticks between make no call at all.
    for (int i = 0; i < kReadsPerHeartbeat; ++i) {
        const auto datagram = s.platform.ReceiveUdp();
        if (!datagram) break;
        if (const auto schema = wsjtx::SettledSchema(*datagram, s.udp.schema)) {
            s.udp.schema = *schema;
        }
    }
    SendHeartbeat(s);
}

void OnPushTick(BridgeState& s) {
    if (Active(s)) SendStatusIfChanged(s);
}

void AnnounceLogging(BridgeState& s, const Logged& qso) {
    if (!Active(s)) return;
    wsjtx::QsoFields q;
    q.on = q.off = {JulianDayOf(qso.date), MsOfDay(qso.time)};
    q.dxCall = Utf8(FieldOf(qso, u"<CALL:"));
    q.dxGrid = Utf8(FieldOf(qso, u"<GRIDSQUARE:"));
    q.txHz = HertzOfMegahertz(qso.frequencyMhz);
    q.mode = Utf8(qso.mode);
    q.reportSent = Utf8(FieldOf(qso, u"<RST_SENT:"));
    q.reportReceived = Utf8(FieldOf(qso, u"<RST_RCVD:"));
    q.comments = Utf8(FieldOf(qso, u"<COMMENT:"));
    q.name = Utf8(FieldOf(qso, u"<NAME:"));
    (void)Send(s, wsjtx::QsoLogged(s.udp.schema, q));
    (void)Send(
        s, wsjtx::LoggedAdif(s.udp.schema, Utf8(Text(kAdifHeader) + qso.adifRecord + u"<EOR>\n")));
}

void Close(BridgeState& s) {
    if (!Active(s)) return;
    (void)Send(s, wsjtx::Close(s.udp.schema));
    s.platform.CloseUdp();
    s.udp.closed = true;
}

std::uint64_t HertzOfMegahertz(std::u16string_view mhz) {
    const auto point = mhz.find(u'.');
    const auto whole = mhz.substr(0, point);
    const auto fraction = point == mhz.npos ? std::u16string_view() : mhz.substr(point + 1);
    if (whole.empty() || whole.size() > 9) return 0;
    std::uint64_t hz = 0;
    for (const char16_t c : whole) {
        if (c < u'0' || c > u'9') return 0;
        hz = hz * 10 + static_cast<std::uint64_t>(c - u'0');
    }
    std::uint64_t micro = 0;
    for (std::size_t i = 0; i < 6; ++i) {
        const char16_t c = i < fraction.size() ? fraction[i] : u'0';
        if (c < u'0' || c > u'9') return 0;
        micro = micro * 10 + static_cast<std::uint64_t>(c - u'0');
    }
    // A seventh decimal and more are fractions of a hertz.
    if (fraction.size() > 6 && fraction[6] >= u'5' && fraction[6] <= u'9') ++micro;
    return hz * 1000000 + micro;
}

}  // namespace linkwell::udp
