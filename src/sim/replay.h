// Replaying a field trace in the simulated world. The incoming events of a
// recorded session become a scenario in the recorded times, the stand-ins
// playing Logger32 and MixW2 as they were seen; the simulated world plays it
// with a recorder of its own, and its outgoing lines are compared with the
// recorded ones.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "field_trace/trace_lines.h"

namespace linkwell::sim {

struct ReplayPlan {
    std::string scenario;  // scenario text, with the recorded lines as comments
    std::vector<field_trace::TraceLine> recorded;  // the session's outgoing lines
    std::vector<std::string> notes;                // what cannot be replayed
    // What cannot be played as it happened at the station: the replay is
    // never reported as the same then.
    std::vector<std::string> inexact;
    int session = 0;  // which session, from 1
    int sessions = 0;
    std::size_t incoming = 0;  // events turned into actions
    bool cutShort = false;
    // A session without the bridge's END was stopped from outside (killed,
    // or the machine went down), perhaps in the middle of what it did for
    // its last event: the recording holds nothing the bridge gave out after
    // its last outgoing, TICK or SESSION line (the anchor), and what the
    // replay gives out after its own line that reads as that one is not
    // compared.
    bool stopped = false;
    std::optional<field_trace::TraceLine> anchor;
    int anchorBefore = 0;  // lines before it in the session that read the same
};

// Throws field_trace::TraceError for a trace that cannot be read.
[[nodiscard]] ReplayPlan PlanReplay(std::string_view trace, std::string_view fileName);

struct ReplayResult {
    bool same = false;
    std::string report;
};

// Plays the plan and compares, in order within each path (Logger32 and
// MixW, the status line, message boxes, the end), every line's text and
// its time within `toleranceMs`.
[[nodiscard]] ReplayResult Replay(const ReplayPlan& plan, std::int64_t toleranceMs);

// The comparison Replay makes once it has played: the plan's recorded
// session against the last session of a field trace the simulated bridge
// wrote for it (the replay's, or a run of the scenario the plan became).
// Throws field_trace::TraceError for a trace that cannot be read.
[[nodiscard]] ReplayResult CompareReplayed(const ReplayPlan& plan, std::string_view replayedTrace,
                                           std::int64_t toleranceMs);

}  // namespace linkwell::sim
