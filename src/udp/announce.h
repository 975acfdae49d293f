// The announcements to programs that listen for WSJT-X's UDP datagrams (a
// map, an award tracker, a second logger), only when the operator started
// the bridge with --udp HOST:PORT. Without it none of these does anything.
//
// What goes out: a Heartbeat when the bridge has found Logger32 and MixW2
// and then every 15 watch ticks (what arrived meanwhile is read just
// before it); a Status then and on each push tick that
// changed it; a QSO Logged and a Logged ADIF at each logging, whatever
// Logger32 makes of it; a Close when the bridge ends. Sends never wait: one
// that fails is lost, and the status line says so until one works again.
#pragma once

#include <string_view>
#include <utility>
#include <vector>

#include "station/station.h"

namespace linkwell::udp {

inline constexpr unsigned kHeartbeatTicks = 15;  // watch ticks, 1 s each
// At most this many waiting datagrams are read before each Heartbeat; the
// rest wait (or are dropped by the socket's buffer: none of them matters).
inline constexpr int kReadsPerHeartbeat = 64;
// The header of the Logged ADIF's one-record file; its text before the
// first field makes it a header, as ADIF readers expect.
inline constexpr std::u16string_view kAdifHeader =
    u"Linkwell QSO\n<adif_ver:5>3.1.4<programid:8>Linkwell<EOH>\n";

// What a logging gives the listeners: the record as Logger32 is given it
// (tag prefix such as "<CALL:", value), MixW's time (HHMM or HHMMSS, UTC),
// the date (YYYYMMDD), the mode and frequency (MHz) of the logging, and its
// record as not-logged.adi holds it, without <EOR>.
struct Logged {
    const std::vector<std::pair<std::u16string_view, platform::Text>>& fields;
    const platform::Text& time;
    const platform::Text& date;
    const platform::Text& mode;
    const platform::Text& frequencyMhz;
    const platform::Text& adifRecord;
};

// The bridge will announce to `settings.to` once started (before Start).
void Configure(BridgeState& s, Settings settings);
// The start-up wait is over: the socket, the first Heartbeat and Status.
void Start(BridgeState& s);
void OnWatchTick(BridgeState& s);
void OnPushTick(BridgeState& s);
void AnnounceLogging(BridgeState& s, const Logged& qso);
// The bridge ends: the Close, and the socket is let go.
void Close(BridgeState& s);

// The Hz of a frequency text in MHz ("14.0715"); 0 when it is none.
[[nodiscard]] std::uint64_t HertzOfMegahertz(std::u16string_view mhz);

}  // namespace linkwell::udp
