// The replay's actions as they are planned, and their places. A peer's
// state (Logger32 or MixW2 stopped, hung) is learnt from a line that comes
// after the event that met it, yet must hold before that event is played:
// so each action has a place among those at its time, after everything
// planned so far or just before an action planned earlier (a mark).
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "field_trace/trace_lines.h"

namespace linkwell::sim {

class ReplaySlots {
public:
    // After everything planned so far.
    [[nodiscard]] std::int64_t Next() const { return 2 * seq_; }
    // Just before the action planned `mark`-th.
    [[nodiscard]] static std::int64_t Before(std::int64_t mark) { return 2 * mark - 1; }

    // How many actions are planned: a mark for the next one.
    [[nodiscard]] std::int64_t Planned() const { return seq_; }
    // The mark after the last line that the bridge gave out or that told
    // what became of a call.
    [[nodiscard]] std::int64_t Mark() const { return mark_; }
    // The mark as it was before the last outgoing line: before the event
    // that made it.
    [[nodiscard]] std::int64_t LineMark() const { return lineMark_; }
    // The bridge gave a line out.
    void MarkOutgoing() {
        lineMark_ = mark_;
        mark_ = seq_;
    }
    // A line told what became of a call.
    void MarkOutcome() { mark_ = seq_; }

    // The watch ticked (a WATCH line): its tick is played then, and a peer's
    // state its lines show holds before it, until an event from outside
    // ends the tick's lines.
    void WatchTick(std::int64_t time) {
        watch_ = seq_;
        watchTime_ = time;
        ticksRecorded_ = true;
        Incoming(time, "watch");
    }
    void EndWatchTick() { watch_.reset(); }
    // A timer of the form ticked (a TICK line).
    void TimerTick(std::int64_t time, const std::string& timer) {
        ticksRecorded_ = true;
        Incoming(time, "tick " + timer);
    }
    // The place just before the tick whose lines these are, if they are.
    [[nodiscard]] std::optional<std::int64_t> BeforeWatch() const {
        return watch_ ? std::optional(Before(*watch_)) : std::nullopt;
    }
    // A time no later than the tick whose lines these are: the tick took
    // its time at the station, and is one moment in the simulated world.
    [[nodiscard]] std::int64_t NoLaterThanWatch(std::int64_t time) const {
        return watch_ ? std::min(time, watchTime_) : time;
    }
    // The event planned last (a tick, a click, a code, a value...), by its
    // mark and time: the one whose handling gave out the next line.
    struct Event {
        std::int64_t mark;
        std::int64_t time;
    };
    [[nodiscard]] std::optional<Event> LastEvent() const { return lastEvent_; }
    // Whether the trace recorded its timers' ticks (from version 1.2 on).
    [[nodiscard]] bool TicksRecorded() const { return ticksRecorded_; }

    void Add(std::int64_t time, std::string text) { Add(time, std::move(text), Next()); }
    void Add(std::int64_t time, std::string text, std::int64_t place);
    // An event of the trace turned into an action.
    void Incoming(std::int64_t time, std::string action) {
        Count();
        Add(time, std::move(action));
    }
    // An event of the trace played by an action planned otherwise.
    void Count() { ++incoming_; }
    [[nodiscard]] std::size_t IncomingEvents() const { return incoming_; }

    // The latest time of an action planned, or `since`.
    [[nodiscard]] std::int64_t Latest(std::int64_t since) const;
    // The actions in time order, each time once, ending at `end`.
    [[nodiscard]] std::string Scenario(std::int64_t end);

private:
    struct Action {
        std::int64_t time;
        int order;
        std::int64_t place;
        std::string text;
    };

    std::vector<Action> actions_;
    std::int64_t seq_ = 0;
    std::int64_t mark_ = 0;
    std::int64_t lineMark_ = 0;
    std::size_t incoming_ = 0;
    std::optional<std::int64_t> watch_;
    std::int64_t watchTime_ = 0;
    std::optional<Event> lastEvent_;
    bool ticksRecorded_ = false;
};

// Reading a line's details: the word at i (empty when there is none), the
// string at i as a scenario writes it, and "after T" at i: the value
// changed after the read at T, so it takes effect at T + 1 (0 without).
[[nodiscard]] std::string Word(const field_trace::TraceLine& t, std::size_t i);
[[nodiscard]] std::string String(const field_trace::TraceLine& t, std::size_t i);
[[nodiscard]] std::int64_t After(const field_trace::TraceLine& t, std::size_t i);
// "line N (LINE): why", for the replay's report.
[[nodiscard]] std::string Where(const field_trace::TraceLine& t, std::string_view why);

}  // namespace linkwell::sim
