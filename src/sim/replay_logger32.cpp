#include "sim/replay_logger32.h"

#include <algorithm>
#include <utility>

#include "window/timing.h"

namespace linkwell::sim {

using vocabulary::Kind;

void Logger32Replay::Met(std::optional<Kind> kind) {
    // Logger32 names its text window together with its acceptance, or later
    // (after other events reached the bridge): then the naming is played at
    // its time.
    if (run_ && kind && kind != Kind::L32Code && !vocabulary::IsOutgoing(*kind)) {
        run_->awaitingTextWindow = false;
    }
    // A GONE right after a line to Logger32 is that line's outcome.
    if (kind != Kind::Gone) lineMadeAt_.reset();
    metSend_ = pendingSend_;
    const bool outcome = kind == Kind::Waited || kind == Kind::Timeout || kind == Kind::Pending ||
                         kind == Kind::Gone || kind == Kind::Refused;
    // Windows ended the session inside the send's wait: Logger32 had not
    // taken it then.
    if (metSend_ && kind == Kind::EndSession && !hang_) {
        hang_ = HangOf(*metSend_, 0);
    } else if (metSend_ && !outcome) {
        SendTaken(metSend_->end);
    }
    if (kind != Kind::Waited) pendingSend_.reset();
}

void Logger32Replay::Outgoing(const field_trace::TraceLine& t) {
    if (t.kind != vocabulary::Name(Kind::L32) || t.details.empty()) return;
    const std::string how = Word(t, 0);
    // The event that made the line: all of its handling is one moment in
    // the simulated world, so a hang or close the line met holds before it.
    const auto made = slots_.LastEvent();
    const bool since = made && made->mark >= slots_.Mark();
    lineMadeAt_ = since ? made->time : t.time;
    if (how == "text" || how == "send") {
        pendingSend_ = Send{t.time,
                            t.time,
                            since ? made->mark : slots_.Mark(),
                            since ? made->time : t.time,
                            how == "text",
                            since && answeredPlanned_ > made->mark};
    }
    // A connect request: Logger32's answer to it is its stand-in's.
    if (t.details.size() == 4 && how == "post" && Word(t, 2) == "1" && run_) {
        run_->awaitingAnswer = true;
    }
}

void Logger32Replay::Take(Kind kind, const field_trace::TraceLine& t) {
    switch (kind) {
        case Kind::Find: Found(t); break;
        case Kind::Process:
            // The watch (or a code 3) found Logger32's window gone.
            if (Word(t, 1) == "0") Gone(slots_.NoLaterThanWatch(t.time), slots_.BeforeWatch());
            break;
        case Kind::Gone:
            // A send or post found no window: Logger32 had closed before the
            // event that made it, though Windows may take a millisecond or
            // more to say so (a send that waited first met its close later).
            Gone(std::min(t.time, lineMadeAt_.value_or(t.time)),
                 ReplaySlots::Before(slots_.LineMark()));
            break;
        case Kind::Timeout:
        case Kind::Pending:
            // Not taken within the bound: the send goes on while Logger32 hangs.
            TimedOut(t);
            break;
        case Kind::Settled:
            // The send that went on ended: its window went away first (Logger32
            // was ended while it hung), or Logger32 woke and took the text.
            if (Word(t, 0) == "gone") {
                Gone(t.time, std::nullopt);
                break;
            }
            [[fallthrough]];
        case Kind::Answers:
            // Or a probe found Logger32 answering again.
            if (hang_) EndHang(t.time);
            AnsweredAt(t.time);
            break;
        case Kind::Doubt:
            // The hang the coming end closes began inside the logging text.
            endsInsideLogging_ = true;
            break;
        case Kind::Refused:
            plan_.inexact.push_back(
                Where(t,
                      "Windows refused a send or post to Logger32 (it runs with higher rights); "
                      "the simulated world has no such Logger32"));
            break;
        case Kind::L32Code:
            AnsweredAt(t.time);
            Code(t, Word(t, 1), Word(t, 2));
            break;
        case Kind::L32Text:
            AnsweredAt(t.time);
            slots_.Incoming(t.time, "logger32 settext " + String(t, 0));
            break;
        default: break;  // not Logger32's
    }
}

void Logger32Replay::Found(const field_trace::TraceLine& t) {
    if (Word(t, 1) == "0") {
        lastMissed_ = t.time;
    } else if (!run_) {
        std::int64_t at = lastMissed_ ? *lastMissed_ + 1 : 0;
        if (stopped_) at = std::max(at, *stopped_ + 1);
        run_ = Run{};
        run_->start = at;
        AnsweredAt(at);
    }
}

void Logger32Replay::Code(const field_trace::TraceLine& t, const std::string& code,
                          const std::string& param) {
    auto& run = run_;
    if (run && code == "0" && run->awaitingAnswer && !run->accepted) {
        run->awaitingAnswer = false;
        run->lastAnswer = t.time;
        if (param == "0") {
            ++run->refusals;
        } else {
            run->accepted = true;
            run->awaitingTextWindow = true;
        }
        slots_.Count();
        return;
    }
    if (run && code == "3" && run->awaitingTextWindow) {
        run->awaitingTextWindow = false;
        run->textWindowNamed = true;
        slots_.Count();
        return;
    }
    if (run) run->awaitingTextWindow = false;
    slots_.Incoming(t.time, "logger32 post " + code + " " + param);
}

// Logger32 as it answered the bridge's connect requests in this run:
// refusals first, then an acceptance with or without its text window, or
// silence.
void Logger32Replay::EndRun() {
    const Run run = *run_;
    run_.reset();
    slots_.Incoming(run.start, run.textWindowNamed || !run.accepted ? "logger32 start"
                                                                    : "logger32 start notext");
    if (run.refusals > 0) {
        slots_.Incoming(run.start, "logger32 refuse " + std::to_string(run.refusals));
    }
    // A silence ends with the Logger32 that kept it.
    if (run.awaitingAnswer && !run.accepted) {
        slots_.Incoming(run.lastAnswer ? std::max(run.start, *run.lastAnswer + 1) : run.start,
                        "logger32 silent");
    }
}

void Logger32Replay::Gone(std::int64_t time, std::optional<std::int64_t> place) {
    if (!run_) return;
    // A Logger32 that closed while it hung never woke: its hang outlasts it.
    if (hang_) EndHang(time + 1);
    EndRun();
    stopped_ = time;
    // Without a place: after everything planned so far.
    slots_.Add(time, "logger32 stop", place.value_or(slots_.Next()));
    slots_.Count();
}

// Nothing shows Logger32 answering after it last did: it hung then, at the
// latest when the send that met the hang began (the simulated bridge's
// timers need not tick where Windows' did).
std::int64_t Logger32Replay::HungSince(std::int64_t sendStart) const {
    return lastAnswered_ ? std::min(sendStart, *lastAnswered_ + 1) : sendStart;
}

// The hang a send met: from just after Logger32 last showed it answering,
// and no later than the event that made the send. A text's hang that began
// before the main window answered within that same event (a link made: the
// event is one moment here) was its text window's alone.
Logger32Replay::Hang Logger32Replay::HangOf(const Send& send, std::int64_t atLeastUntil) const {
    const std::int64_t start = std::min(HungSince(send.start), send.latest);
    return Hang{start, send.mark, atLeastUntil, send.text && send.answeredWithin};
}

// A send that kept the bridge waiting: Logger32 hung until the send's end
// when it was taken (no TIMEOUT follows; also one taken just at the bound),
// or until a probe found it answering (ANSWERS, of earlier versions); one
// that gave up hung past its bound. A hang already known goes on.
void Logger32Replay::Waited(const field_trace::TraceLine& t, std::int64_t ms) {
    const std::int64_t start = t.time - ms;
    const Send send = pendingSend_.value_or(
        Send{start, t.time, slots_.Mark(), start, Word(t, 0) == "text", false});
    if (pendingSend_) pendingSend_->end = t.time;
    boundWaitedUntil_ = ms >= window::kSendBoundMs ? start + window::kSendBoundMs + 1 : 0;
    if (!hang_) hang_ = HangOf(send, 0);
    waitedSend_ = true;
}

void Logger32Replay::TimedOut(const field_trace::TraceLine& t) {
    if (waitedSend_) {
        waitedSend_ = false;
        if (hang_) hang_->atLeastUntil = std::max(hang_->atLeastUntil, boundWaitedUntil_);
        return;
    }
    if (hang_) return;  // given up at once: Logger32 still hangs
    // Given up at once on a Logger32 that had shown no sign of answering for
    // 5 s: Windows took it for hung, as the simulated world does.
    hang_ = HangOf(metSend_.value_or(Send{t.time, t.time, slots_.Mark(), t.time, false, false}), 0);
    if (t.time - hang_->start < window::kTakenForHungMs) {
        plan_.inexact.push_back(Where(t,
                                      "Logger32 was given up at once, without the 3 s wait the "
                                      "simulated world makes first"));
    }
}

// A send was taken when the bridge had it back: a Logger32 that hung (also
// one that kept this very send waiting) answered by then.
void Logger32Replay::SendTaken(std::int64_t time) {
    if (hang_) EndHang(time);
    waitedSend_ = false;
    AnsweredAt(time);
}

void Logger32Replay::EndHang(std::int64_t time) {
    const Hang h = *hang_;
    hang_.reset();
    const std::int64_t ms = std::max(time, h.atLeastUntil) - h.start;
    const char* where = std::exchange(endsInsideLogging_, false) ? " logging"
                        : h.textWindowOnly                       ? " text"
                                                                 : "";
    slots_.Add(h.start, "logger32 hang " + std::to_string(ms) + where, ReplaySlots::Before(h.mark));
    slots_.Count();
}

void Logger32Replay::TakeLastSend() {
    if (pendingSend_) SendTaken(pendingSend_->end);
}

void Logger32Replay::Finish(std::int64_t end) {
    if (hang_) EndHang(end + 1);
    if (run_) EndRun();
}

}  // namespace linkwell::sim
