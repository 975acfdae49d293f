// Logger32 as a field trace shows it: its runs (a window found after the
// watch missed it, until a send found it gone or its process ended), its
// answers to the bridge's connect requests, the sends it kept waiting (a
// hang from the send's start), its codes and texts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "field_trace/trace_lines.h"
#include "sim/replay.h"
#include "sim/replay_slots.h"
#include "vocabulary/kinds.h"

namespace linkwell::sim {

class Logger32Replay {
public:
    Logger32Replay(ReplayPlan& plan, ReplaySlots& slots) : plan_(plan), slots_(slots) {}

    // Before each line: a send to Logger32 whose line is not followed by
    // what became of it was taken.
    void Met(std::optional<vocabulary::Kind> kind);
    // A line the bridge gave out (before the slots mark it).
    void Outgoing(const field_trace::TraceLine& t);
    // FIND, PROCESS, GONE, TIMEOUT, PENDING, SETTLED, ANSWERS, REFUSED,
    // L32CODE, L32TEXT.
    void Take(vocabulary::Kind kind, const field_trace::TraceLine& t);
    // A send (`send`, `text`) that kept the bridge waiting `ms` until `t`.
    void Waited(const field_trace::TraceLine& t, std::int64_t ms);
    // A line showed Logger32's windows answering then.
    void AnsweredAt(std::int64_t time) {
        lastAnswered_ = time;
        answeredPlanned_ = slots_.Planned();
    }
    // The session's lines are over: a send still waiting for its outcome
    // was taken.
    void TakeLastSend();
    // And the session ends at `end`: a Logger32 still hung hangs past it.
    void Finish(std::int64_t end);

private:
    // One run of Logger32, from its start to its stop, and how it answered
    // the bridge's connect requests.
    struct Run {
        std::int64_t start = 0;
        bool awaitingAnswer = false;
        bool accepted = false;
        bool awaitingTextWindow = false;
        bool textWindowNamed = false;
        int refusals = 0;
        std::optional<std::int64_t> lastAnswer;
    };
    // A send to Logger32 whose outcome is still to come, and the mark for
    // a state of Logger32 that must hold before the event that made it.
    struct Send {
        std::int64_t start;
        std::int64_t end;  // when the bridge had it back
        std::int64_t mark;
        // A hang the send met holds before the event that made the send:
        // from this time at the latest.
        std::int64_t latest;
        bool text;  // a text to the text window (else the leaving notice)
        // Logger32's main window answered within the event that made it.
        bool answeredWithin;
    };
    // Logger32 hanging: since when, with the mark before the event that
    // met it, and how long at least (a send that gave up waited its whole
    // bound: the hang outlasted it).
    struct Hang {
        std::int64_t start;
        std::int64_t mark;
        std::int64_t atLeastUntil;
        // Only the text window hung: Logger32's main window answered after
        // the hang began (a link made, a code).
        bool textWindowOnly = false;
    };

    void Found(const field_trace::TraceLine& t);
    void Code(const field_trace::TraceLine& t, const std::string& code, const std::string& param);
    void EndRun();
    void Gone(std::int64_t time, std::optional<std::int64_t> place);
    void TimedOut(const field_trace::TraceLine& t);
    void SendTaken(std::int64_t time);
    void EndHang(std::int64_t time);
    [[nodiscard]] std::int64_t HungSince(std::int64_t sendStart) const;
    // A hang that the send met.
    [[nodiscard]] Hang HangOf(const Send& send, std::int64_t atLeastUntil) const;

    ReplayPlan& plan_;
    ReplaySlots& slots_;
    std::optional<std::int64_t> lastMissed_;
    std::optional<std::int64_t> stopped_;
    std::optional<Run> run_;
    std::optional<Send> pendingSend_;
    std::optional<Send> metSend_;  // the pending send as the current line met it
    // When the event that made the line just given to Logger32 came.
    std::optional<std::int64_t> lineMadeAt_;
    bool waitedSend_ = false;
    // The send that kept the bridge waiting waited its whole bound: given up
    // (PENDING, TIMEOUT), it met a hang that outlasted the bound, until
    // then; taken at the bound, a hang of just the bound.
    std::int64_t boundWaitedUntil_ = 0;
    std::optional<Hang> hang_;
    // A DOUBT line: the hang that ends next was inside a logging text.
    bool endsInsideLogging_ = false;
    // The last line that showed Logger32 answering (a code, a text, a send
    // taken, a start).
    std::optional<std::int64_t> lastAnswered_;
    std::int64_t answeredPlanned_ = 0;  // the actions planned by then
};

}  // namespace linkwell::sim
