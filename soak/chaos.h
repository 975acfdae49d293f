// The chaos run: a seeded random station day for the real linkwell.exe
// under Wine, written as scenario text (docs/scenarios.md) for the Windows
// peers to play in real time. The day is cut into sessions, each one run of
// the peers against a fresh bridge, ended by a close or by the end of
// Windows' session (and on the way perhaps the bridge killed and started
// again, a second copy started). Between, MixW's items change, spots are
// clicked, Logger32 floods texts, either program hangs for 0.1 to 40 s, is
// ended while hung and started again, closes and comes back, the rig is
// handed over, not-logged.adi is held by another program for a while, and
// the operator logs QSOs, each with a call and time of its own.
//
// The schedule leaves the bridge the time its own rules need where a
// logging must count as made: a logging is only made once start-up is over,
// with MixW2 up and not hung (its items reach the bridge's boxes), no
// handover box open, and a few seconds before the bridge is killed, closed
// or its session ended. The same seed gives the same day.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace linkwell::soak::chaos {

// One QSO the operator logged: by Send! or by MixW's "Save".
struct Logging {
    int session = 0;
    std::int64_t at = 0;  // ms of its session's clock: the click or the "Save"
    std::string call;     // unique in the day
    std::string time;     // MixW's time item: HHMM from the day's counter
    bool bySave = false;
};

struct Session {
    int number = 0;  // from 1
    std::string scenario;
    std::vector<Logging> loggings;
    std::int64_t lengthMs = 0;  // the scenario's last time
    bool endsBySessionEnd = false;
    bool bridgeKilled = false;
    bool secondBridge = false;
};

struct Day {
    std::uint64_t seed = 0;
    std::vector<Session> sessions;
};

// A day of about `minutes` of real time (at least one session). With
// `floodsOnly`, the same station without a hang, a restart or an end
// before its time: items, spots, floods and loggings only (the latency
// figures' quiet case).
[[nodiscard]] Day Generate(std::uint64_t seed, std::int64_t minutes, bool floodsOnly = false);

// The file of the loggings made, one a line: SESSION<TAB>MS<TAB>CALL<TAB>TIME<TAB>HOW.
[[nodiscard]] std::string LoggingsFile(const Day& day);
[[nodiscard]] std::vector<Logging> ReadLoggingsFile(const std::string& text);

}  // namespace linkwell::soak::chaos
