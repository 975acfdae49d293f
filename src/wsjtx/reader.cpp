// What Linkwell reads of a datagram: a server's Heartbeat, for its schema,
// and (for the simulated world's trace) the five kinds it sends itself.
// Every read is bounded by the datagram's length: a malformed, truncated or
// huge one is only ever looked at up to where it stops making sense.
#include <algorithm>
#include <cstdio>

#include "text/text.h"
#include "wsjtx/messages.h"

namespace linkwell::wsjtx {
namespace {

class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    [[nodiscard]] bool AtEnd() const { return at_ == bytes_.size(); }
    [[nodiscard]] std::optional<std::uint8_t> U8() {
        if (bytes_.size() - at_ < 1) return std::nullopt;
        return bytes_[at_++];
    }
    [[nodiscard]] std::optional<std::uint32_t> U32() {
        if (bytes_.size() - at_ < 4) return std::nullopt;
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = (v << 8) | bytes_[at_++];
        return v;
    }
    [[nodiscard]] std::optional<std::uint64_t> U64() {
        const auto high = U32();
        const auto low = high ? U32() : std::nullopt;
        if (!low) return std::nullopt;
        return (static_cast<std::uint64_t>(*high) << 32) | *low;
    }
    // A null string reads as empty.
    [[nodiscard]] std::optional<std::string> Utf8() {
        const auto n = U32();
        if (!n) return std::nullopt;
        if (*n == kNotApplicable) return std::string();
        if (bytes_.size() - at_ < *n) return std::nullopt;
        std::string out(bytes_.begin() + static_cast<std::ptrdiff_t>(at_),
                        bytes_.begin() + static_cast<std::ptrdiff_t>(at_ + *n));
        at_ += *n;
        return out;
    }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
};

struct Header {
    std::uint32_t schema = 0;
    std::uint32_t type = 0;
    std::string id;
};

std::optional<Header> ReadHeader(Reader& r) {
    const auto magic = r.U32();
    if (magic != kMagic) return std::nullopt;
    const auto schema = r.U32();
    const auto type = schema ? r.U32() : std::nullopt;
    auto id = type ? r.Utf8() : std::nullopt;
    if (!id) return std::nullopt;
    return Header{*schema, *type, std::move(*id)};
}

// The trace's form of each field type; nullopt once the datagram ends.
std::optional<std::string> Field(Reader& r, char type) {
    switch (type) {
        case 'b':
        case '8': {
            const auto v = r.U8();
            return v ? std::optional(std::to_string(*v)) : std::nullopt;
        }
        case '4': {
            const auto v = r.U32();
            if (!v) return std::nullopt;
            return *v == kNotApplicable ? std::string("none") : std::to_string(*v);
        }
        case 'L': {
            const auto v = r.U64();
            return v ? std::optional(std::to_string(*v)) : std::nullopt;
        }
        case 's': {
            const auto v = r.Utf8();
            if (!v) return std::nullopt;
            const auto wide = text::FromUtf8(*v);
            return wide ? text::Quote(*wide) : std::string("invalid-utf8");
        }
        default: break;
    }
    return std::nullopt;
}

// A QDateTime as YYYY-MM-DDTHH:MM:SS.mmm and its time spec (Z for UTC).
std::optional<std::string> Moment(Reader& r) {
    const auto day = r.U64();
    const auto ms = day ? r.U32() : std::nullopt;
    const auto spec = ms ? r.U8() : std::nullopt;
    if (!spec) return std::nullopt;
    // A day past year 9999 (or before the calendar's start) is shown as
    // its number: the date arithmetic below holds only for real dates.
    constexpr std::uint64_t kLastDay = 5373484;  // 9999-12-31
    if (*day > kLastDay) return "jd" + std::to_string(*day);
    // The Julian day back to a Gregorian date (Richards' algorithm).
    const auto j = static_cast<std::int64_t>(*day);
    const std::int64_t f = j + 1401 + (((4 * j + 274277) / 146097) * 3) / 4 - 38;
    const std::int64_t e = 4 * f + 3;
    const std::int64_t h = 5 * ((e % 1461) / 4) + 2;
    const std::int64_t d = (h % 153) / 5 + 1;
    const std::int64_t m = (h / 153 + 2) % 12 + 1;
    const std::int64_t y = e / 1461 - 4716 + (12 + 2 - m) / 12;
    char out[64];
    if (*ms == kNotApplicable) {
        std::snprintf(out, sizeof out, "%04lld-%02lld-%02lldT-", static_cast<long long>(y),
                      static_cast<long long>(m), static_cast<long long>(d));
    } else {
        std::snprintf(out, sizeof out, "%04lld-%02lld-%02lldT%02u:%02u:%02u.%03u",
                      static_cast<long long>(y), static_cast<long long>(m),
                      static_cast<long long>(d), *ms / 3600000, *ms / 60000 % 60, *ms / 1000 % 60,
                      *ms % 1000);
    }
    return std::string(out) + (*spec == 1 ? "Z" : "/spec" + std::to_string(*spec));
}

struct Layout {
    Type type;
    std::string_view name;
    // name:type pairs, blank-separated: b bool, 8 quint8, 4 quint32,
    // L quint64, s utf8, T QDateTime.
    std::string_view fields;
};

constexpr Layout kLayouts[] = {
    {Type::Heartbeat, "Heartbeat", "max-schema:4 version:s revision:s"},
    {Type::Status, "Status",
     "dial:L mode:s dx:s report:s tx-mode:s tx-enabled:b transmitting:b decoding:b rx-df:4 "
     "tx-df:4 de:s de-grid:s dx-grid:s watchdog:b sub-mode:s fast:b special:8 tolerance:4 "
     "period:4 config:s"},
    {Type::QsoLogged, "QsoLogged",
     "off:T call:s grid:s freq:L mode:s sent:s rcvd:s power:s comments:s name:s on:T "
     "operator:s my-call:s my-grid:s exchange-sent:s exchange-rcvd:s"},
    {Type::Close, "Close", ""},
    {Type::LoggedAdif, "LoggedAdif", "adif:s"},
};

}  // namespace

std::optional<std::uint32_t> SettledSchema(std::span<const std::uint8_t> datagram,
                                           std::uint32_t current) {
    Reader r(datagram);
    const auto header = ReadHeader(r);
    if (!header || header->type != static_cast<std::uint32_t>(Type::Heartbeat)) {
        return std::nullopt;
    }
    // An old server's Heartbeat ends after the Id: it speaks schema 2.
    std::uint32_t named = kMinSchema;
    if (!r.AtEnd()) {
        const auto max = r.U32();
        if (!max) return std::nullopt;
        named = *max;
    }
    if (named < kMinSchema) return std::nullopt;
    return std::min(named, current);
}

std::optional<std::string> Describe(std::span<const std::uint8_t> datagram) {
    Reader r(datagram);
    const auto header = ReadHeader(r);
    if (!header) return std::nullopt;
    for (const auto& layout : kLayouts) {
        if (static_cast<std::uint32_t>(layout.type) != header->type) continue;
        std::string out = std::string(layout.name) + " schema=" + std::to_string(header->schema);
        if (header->id != kId)
            out += " id=" + text::Quote(text::FromUtf8(header->id).value_or(u"?"));
        std::string_view rest = layout.fields;
        while (!rest.empty()) {
            const auto blank = std::min(rest.find(' '), rest.size());
            const auto field = rest.substr(0, blank);
            rest.remove_prefix(std::min(blank + 1, rest.size()));
            const auto colon = field.find(':');
            const char type = field[colon + 1];
            auto value = type == 'T' ? Moment(r) : Field(r, type);
            if (!value) return std::nullopt;
            out += ' ';
            out += field.substr(0, colon);
            out += '=';
            out += *value;
        }
        if (!r.AtEnd()) out += " extra-bytes";
        return out;
    }
    return std::nullopt;
}

}  // namespace linkwell::wsjtx
