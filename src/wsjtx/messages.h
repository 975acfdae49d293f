// The messages Linkwell sends to the programs that listen for WSJT-X's UDP
// datagrams (maps, award trackers, loggers), and what it reads of theirs.
// Each datagram is one message in Qt's QDataStream layout, big-endian: the
// magic number, the schema, the message type, the sender's Id, then the
// message's fields. Plain bytes in and out: no socket, no clock.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace linkwell::wsjtx {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint32_t kMagic = 0xadbccbda;
// The highest schema Linkwell speaks (QDataStream as of Qt 5.4); a server
// may settle a lower one, never 1 (broken) and never a higher one.
inline constexpr std::uint32_t kMaxSchema = 3;
inline constexpr std::uint32_t kMinSchema = 2;
inline constexpr std::string_view kId = "Linkwell";
// What a field of quint32 holds when it does not apply, and a null QTime.
inline constexpr std::uint32_t kNotApplicable = 0xffffffff;

enum class Type : std::uint32_t {
    Heartbeat = 0,
    Status = 1,
    QsoLogged = 5,
    Close = 6,
    LoggedAdif = 12,
};

// A UTC moment: a Julian day and the milliseconds since midnight (nullopt:
// a time not known, sent as a null QTime).
struct DateTime {
    std::int64_t julianDay = 0;
    std::optional<std::uint32_t> msOfDay;
    friend bool operator==(const DateTime&, const DateTime&) = default;
};

// What the bridge fills of a Status; every other field is sent empty,
// false or "not applicable". Texts are UTF-8.
struct StatusFields {
    std::uint64_t dialHz = 0;
    std::string mode, dxCall, report;
    std::uint32_t rxDf = 0, txDf = 0;
    std::string dxGrid;
    friend bool operator==(const StatusFields&, const StatusFields&) = default;
};

// What the bridge fills of a QSO Logged; the station's own call and grid,
// the operator, the power and the contest exchanges are sent empty.
struct QsoFields {
    DateTime off, on;
    std::string dxCall, dxGrid;
    std::uint64_t txHz = 0;
    std::string mode, reportSent, reportReceived, comments, name;
};

[[nodiscard]] Bytes Heartbeat(std::uint32_t schema, std::string_view version,
                              std::string_view revision);
[[nodiscard]] Bytes Status(std::uint32_t schema, const StatusFields& status);
[[nodiscard]] Bytes QsoLogged(std::uint32_t schema, const QsoFields& qso);
[[nodiscard]] Bytes LoggedAdif(std::uint32_t schema, std::string_view adif);
[[nodiscard]] Bytes Close(std::uint32_t schema);

// The Julian day number of a Gregorian date (2000-01-01 is 2451545).
[[nodiscard]] std::int64_t JulianDay(int year, int month, int day);

// The schema a server's datagram settles: a whole Heartbeat from anyone
// names its highest schema (2 when it names none), and the schema used from
// then is the lower of that and `current`. nullopt for every other
// datagram, also a malformed, truncated or huge one, and for a Heartbeat
// naming a schema below 2.
[[nodiscard]] std::optional<std::uint32_t> SettledSchema(std::span<const std::uint8_t> datagram,
                                                         std::uint32_t current);

// A datagram of the five kinds Linkwell sends, as one line for a trace:
// "Heartbeat schema=3 max-schema=3 ..." with every field named; nullopt
// for anything else.
[[nodiscard]] std::optional<std::string> Describe(std::span<const std::uint8_t> datagram);

}  // namespace linkwell::wsjtx
