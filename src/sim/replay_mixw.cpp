#include "sim/replay_mixw.h"

#include <algorithm>

#include "text/text.h"
#include "window/timing.h"

namespace linkwell::sim {

using vocabulary::Kind;

void MixWReplay::Take(Kind kind, const field_trace::TraceLine& t) {
    switch (kind) {
        case Kind::Object: Object(t); break;
        case Kind::Links: LinksEnded(t); break;
        case Kind::Link: {
            const std::string item = t.details.size() > 2 ? text::ToUtf8(t.details[2].value) : "";
            linked_.insert(text::AsciiLower(item));
            if (Word(t, 3) == "refused") slots_.Incoming(0, "mixw refuse " + item);
            break;
        }
        case Kind::Dde: Value(t); break;
        case Kind::FqA: slots_.Incoming(After(t, 1), "mixw fqa " + Word(t, 0)); break;
        case Kind::AudioFq: slots_.Incoming(After(t, 1), "mixw audiofq " + Word(t, 0)); break;
        case Kind::Failed: Failed(t); break;
        default: break;  // not MixW2's
    }
}

void MixWReplay::Object(const field_trace::TraceLine& t) {
    if (Word(t, 1) == "unavailable") {
        lastMissed_ = t.time;
    } else if (!running_) {
        running_ = true;
        const std::int64_t at = lastMissed_ ? *lastMissed_ + 1 : 0;
        slots_.Incoming(std::max(at, stopped_), "mixw start");
        // The links open anew: the values they bring are MixW's now.
        if (stopped_ > 0) {
            linked_.clear();
            returned_ = true;
        }
    }
}

// MixW's DDE conversations ended: MixW2 closed.
void MixWReplay::LinksEnded(const field_trace::TraceLine& t) {
    if (!running_) return;
    running_ = false;
    stopped_ = t.time + 1;
    slots_.Add(slots_.NoLaterThanWatch(t.time), "mixw stop",
               slots_.BeforeWatch().value_or(slots_.Next()));
    slots_.Count();
}

// A value that came as the link opened was MixW's item before.
void MixWReplay::Value(const field_trace::TraceLine& t) {
    const bool current = linked_.count(text::AsciiLower(Word(t, 0))) == 0;
    std::int64_t at = !current ? t.time : returned_ ? t.time : 0;
    // The value a link brought as the watch opened it was MixW's before
    // that tick.
    const auto place = current ? slots_.BeforeWatch() : std::nullopt;
    if (place) at = slots_.NoLaterThanWatch(at);
    lastDdePlace_ = place.value_or(slots_.Next());
    slots_.Add(at, "mixw dde " + Word(t, 0) + " " + String(t, 1), lastDdePlace_);
    slots_.Count();
    lastDde_ = t.time;
}

// A call that failed at once: MixW2 had closed, after the last call that
// worked and the last value its links brought. One that failed after its
// bound is a hung MixW2 (WAITED before).
void MixWReplay::Failed(const field_trace::TraceLine& t) {
    // MixW2 hung after the last call that worked, at the latest when the
    // call that met the hang began (the simulated timers need not tick
    // where Windows' did).
    const std::int64_t worked = After(t, 1);
    if (stuck_ && waitedFailed_ && worked > 0) stuck_->start = std::min(stuck_->start, worked);
    if (shortHang_ && waitedShort_ && running_) {
        // Failed after a wait shorter than its bound: MixW2 was ended
        // during the call.
        if (worked > 0) shortHang_->start = std::min(shortHang_->start, worked);
        running_ = false;
        stopped_ = t.time + 1;
        endedInCall_ = t.time;
        return;
    }
    if (stuck_ && !waitedFailed_) {
        // Failed at once behind a call still inside MixW2: hung, not gone,
        // at least until now.
        stuck_->end = t.time + 1;
    } else if (running_ && !waitedFailed_) {
        running_ = false;
        std::int64_t at = Word(t, 1) == "after" ? After(t, 1) : t.time;
        if (lastDde_) at = std::max(at, *lastDde_ + 1);
        at = std::min(at, t.time);
        const bool justBefore = at == t.time;
        if (justBefore) at = slots_.NoLaterThanWatch(at);
        stopped_ = at + 1;
        auto before = slots_.BeforeWatch().value_or(ReplaySlots::Before(slots_.Mark()));
        // A value that came in the same millisecond came from a MixW2 still
        // there: it stops after it, not before.
        if (lastDde_ == at) before = std::max(before, lastDdePlace_ + 1);
        slots_.Add(at, "mixw stop", justBefore ? before : slots_.Next());
        slots_.Count();
    }
}

void MixWReplay::Waited(std::int64_t start, std::int64_t ms) {
    EndStuck();
    EndShortHang();
    if (ms >= window::kCallBoundMs) {
        // Hung past the bound: the call failed (its FAILED follows). The
        // call stays inside MixW2, and later calls fail at once, until it
        // returns: the hang lasts at least the bound, and past each call
        // that failed at once behind it.
        stuck_ = Stuck{start, slots_.Mark(), start + window::kCallBoundMs + 1};
        waitedFailed_ = true;
    } else {
        // Played once the line after it shows how the call ended.
        shortHang_ = ShortHang{start, slots_.Mark(), start + ms};
        waitedShort_ = true;
    }
    slots_.Count();
}

void MixWReplay::AfterIncoming(std::optional<vocabulary::Kind> kind) {
    if (kind == vocabulary::Kind::Waited) return;
    waitedFailed_ = false;
    waitedShort_ = false;
    EndShortHang();
    if (kind != vocabulary::Kind::Dde && kind != vocabulary::Kind::Failed) StopEndedInCall();
}

void MixWReplay::EndShortHang() {
    if (!shortHang_) return;
    slots_.Add(shortHang_->start,
               "mixw hang " + std::to_string(shortHang_->end - shortHang_->start),
               ReplaySlots::Before(shortHang_->mark));
    shortHang_.reset();
}

// After the values MixW2 sent while the call waited (they reached the
// bridge after it): they came before MixW2 was ended.
void MixWReplay::StopEndedInCall() {
    if (!endedInCall_) return;
    slots_.Add(*endedInCall_, "mixw stop");
    slots_.Count();
    endedInCall_.reset();
}

// The hang of a call that went past its bound, now that its end is known.
void MixWReplay::EndStuck() {
    if (!stuck_) return;
    slots_.Add(stuck_->start, "mixw hang " + std::to_string(stuck_->end - stuck_->start),
               ReplaySlots::Before(stuck_->mark));
    stuck_.reset();
}

}  // namespace linkwell::sim
