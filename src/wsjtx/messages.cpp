#include "wsjtx/messages.h"

namespace linkwell::wsjtx {
namespace {

// QDataStream's big-endian layout of the types the messages use.
class Writer {
public:
    Writer(std::uint32_t schema, Type type) {
        U32(kMagic);
        U32(schema);
        U32(static_cast<std::uint32_t>(type));
        Utf8(kId);
    }
    void U8(std::uint8_t v) { out_.push_back(v); }
    void Bool(bool v) { U8(v ? 1 : 0); }
    void U32(std::uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) U8(static_cast<std::uint8_t>(v >> shift));
    }
    void U64(std::uint64_t v) {
        U32(static_cast<std::uint32_t>(v >> 32));
        U32(static_cast<std::uint32_t>(v));
    }
    // A byte count, then the bytes: an empty text has count 0, not the null
    // string's 0xffffffff, so receivers show it as empty.
    void Utf8(std::string_view v) {
        U32(static_cast<std::uint32_t>(v.size()));
        out_.insert(out_.end(), v.begin(), v.end());
    }
    // A QDateTime: QDate (qint64 Julian day), QTime (ms), time spec 1: UTC.
    void Moment(const DateTime& t) {
        U64(static_cast<std::uint64_t>(t.julianDay));
        U32(t.msOfDay.value_or(kNotApplicable));
        U8(1);
    }
    [[nodiscard]] Bytes Take() { return std::move(out_); }

private:
    Bytes out_;
};

}  // namespace

Bytes Heartbeat(std::uint32_t schema, std::string_view version, std::string_view revision) {
    Writer w(schema, Type::Heartbeat);
    w.U32(kMaxSchema);
    w.Utf8(version);
    w.Utf8(revision);
    return w.Take();
}

Bytes Status(std::uint32_t schema, const StatusFields& status) {
    Writer w(schema, Type::Status);
    w.U64(status.dialHz);
    w.Utf8(status.mode);
    w.Utf8(status.dxCall);
    w.Utf8(status.report);
    w.Utf8("");     // Tx mode: the bridge does not transmit
    w.Bool(false);  // Tx enabled
    w.Bool(false);  // transmitting
    w.Bool(false);  // decoding
    w.U32(status.rxDf);
    w.U32(status.txDf);
    w.Utf8("");  // DE call: the station's own call is not known to the bridge
    w.Utf8("");  // DE grid: nor its grid
    w.Utf8(status.dxGrid);
    w.Bool(false);          // Tx watchdog
    w.Utf8("");             // sub-mode
    w.Bool(false);          // fast mode
    w.U8(0);                // special operation: none
    w.U32(kNotApplicable);  // frequency tolerance
    w.U32(kNotApplicable);  // T/R period
    w.Utf8("");             // configuration name
    return w.Take();
}

Bytes QsoLogged(std::uint32_t schema, const QsoFields& qso) {
    Writer w(schema, Type::QsoLogged);
    w.Moment(qso.off);
    w.Utf8(qso.dxCall);
    w.Utf8(qso.dxGrid);
    w.U64(qso.txHz);
    w.Utf8(qso.mode);
    w.Utf8(qso.reportSent);
    w.Utf8(qso.reportReceived);
    w.Utf8("");  // Tx power: not known to the bridge
    w.Utf8(qso.comments);
    w.Utf8(qso.name);
    w.Moment(qso.on);
    w.Utf8("");  // operator call
    w.Utf8("");  // my call
    w.Utf8("");  // my grid
    w.Utf8("");  // exchange sent
    w.Utf8("");  // exchange received
    return w.Take();
}

Bytes LoggedAdif(std::uint32_t schema, std::string_view adif) {
    Writer w(schema, Type::LoggedAdif);
    w.Utf8(adif);
    return w.Take();
}

Bytes Close(std::uint32_t schema) {
    return Writer(schema, Type::Close).Take();
}

std::int64_t JulianDay(int year, int month, int day) {
    // The Gregorian calendar's day count (Fliegel and Van Flandern).
    const std::int64_t a = (14 - month) / 12;
    const std::int64_t y = year + 4800 - a;
    const std::int64_t m = month + 12 * a - 3;
    return day + (153 * m + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400 - 32045;
}

}  // namespace linkwell::wsjtx
