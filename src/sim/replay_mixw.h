// MixW2 as a field trace shows it: running from its object obtained until
// a call failed at once or its links ended, the links it refused, its DDE
// values and properties, and the calls that kept the bridge waiting (a
// hang from the call's start) or got stuck past their bound.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include "field_trace/trace_lines.h"
#include "sim/replay_slots.h"
#include "vocabulary/kinds.h"

namespace linkwell::sim {

class MixWReplay {
public:
    explicit MixWReplay(ReplaySlots& slots) : slots_(slots) {}

    // OBJECT, LINKS, LINK, DDE, FQA, AUDIOFQ, FAILED.
    void Take(vocabulary::Kind kind, const field_trace::TraceLine& t);
    // A call that kept the bridge waiting `ms` from `start`.
    void Waited(std::int64_t start, std::int64_t ms);
    // After each incoming line (also one of no known kind): only a FAILED
    // right behind a call stuck past its bound belongs to that call.
    void AfterIncoming(std::optional<vocabulary::Kind> kind);
    // The session's lines are over.
    void Finish() {
        EndStuck();
        EndShortHang();
        StopEndedInCall();
    }

private:
    // A call stuck inside MixW2 past its bound: from its start, with the
    // mark before the event that made it, at least until `end`.
    struct Stuck {
        std::int64_t start;
        std::int64_t mark;
        std::int64_t end;
    };
    // A call that waited less than its bound: MixW2 hung from `start`
    // (with the mark before the event that made the call) until `end`.
    struct ShortHang {
        std::int64_t start;
        std::int64_t mark;
        std::int64_t end;
    };

    void Object(const field_trace::TraceLine& t);
    void LinksEnded(const field_trace::TraceLine& t);
    void Value(const field_trace::TraceLine& t);
    void Failed(const field_trace::TraceLine& t);
    void EndStuck();
    void EndShortHang();
    void StopEndedInCall();

    ReplaySlots& slots_;
    std::optional<std::int64_t> lastMissed_;
    bool running_ = false;
    bool returned_ = false;
    bool waitedFailed_ = false;
    std::optional<Stuck> stuck_;
    std::optional<ShortHang> shortHang_;
    bool waitedShort_ = false;
    // MixW2 was ended while a call waited in it, at this time: it stops
    // after the values that reached the bridge during the call.
    std::optional<std::int64_t> endedInCall_;
    std::int64_t stopped_ = 0;
    std::optional<std::int64_t> lastDde_;
    // Where the last value was played among the actions at its time.
    std::int64_t lastDdePlace_ = 0;
    std::set<std::string> linked_;
};

}  // namespace linkwell::sim
