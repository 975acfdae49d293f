#include "sim/replay.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <ostream>
#include <sstream>

#include "field_trace/output.h"
#include "scenario/scenario.h"
#include "sim/compare.h"
#include "sim/replay_logger32.h"
#include "sim/replay_mixw.h"
#include "sim/replay_slots.h"
#include "sim/world.h"
#include "vocabulary/kinds.h"

namespace linkwell::sim {
namespace {

using field_trace::TraceLine;
using vocabulary::Kind;

// A line that tells what became of a call: the peers' states it shows hold
// before what comes after it.
bool TellsOutcome(Kind kind) {
    switch (kind) {
        case Kind::Process:
        case Kind::Gone:
        case Kind::Waited:
        case Kind::Timeout:
        case Kind::Pending:
        case Kind::Settled:
        case Kind::Doubt:
        case Kind::Answers:
        case Kind::Refused:
        case Kind::Links:
        case Kind::Failed: return true;
        default: return false;
    }
}

// An event from outside: the lines of a watch tick are over.
bool EndsWatchTick(Kind kind) {
    switch (kind) {
        case Kind::Click:
        case Kind::Ok:
        case Kind::Close:
        case Kind::EndSession:
        case Kind::L32Code:
        case Kind::L32Text:
        case Kind::Typed:
        case Kind::Settled: return true;
        default: return false;
    }
}

// Turns one session's lines into timed scenario actions.
//
// The peers' own states (Logger32 or MixW2 running, stopped, hung) are not
// lines of the trace; they are read from what the bridge met: a window
// found or gone, an object obtained, a call that failed or kept it waiting.
// Each peer's part makes them actions in time for the event that met them
// (the slots); the operator's events are played at their times.
class Planner {
public:
    explicit Planner(ReplayPlan& plan) : plan_(plan), logger32_(plan, slots_), mixw_(slots_) {}

    void Take(const TraceLine& t) {
        const auto kind = vocabulary::KindNamed(t.kind);
        logger32_.Met(kind);
        if (kind == Kind::End) ended_ = true;
        if (kind && vocabulary::IsOutgoing(*kind)) {
            plan_.recorded.push_back(t);
            slots_.Add(t.time, "# recorded: " + field_trace::Format(t));
            logger32_.Outgoing(t);
            slots_.MarkOutgoing();
        } else if (kind == Kind::Session) {
            return;
        } else if (kind == Kind::Watch) {
            slots_.WatchTick(t.time);
        } else if (kind == Kind::Tick) {
            // The window's timers tick where the recorded ones ticked.
            slots_.EndWatchTick();
            slots_.TimerTick(t.time, Word(t, 0));
        } else {
            if (kind && EndsWatchTick(*kind)) slots_.EndWatchTick();
            if (kind) {
                Incoming(*kind, t);
            } else {
                plan_.notes.push_back(Where(t, "not a field trace kind"));
            }
            mixw_.AfterIncoming(kind);
            if (kind && TellsOutcome(*kind)) slots_.MarkOutcome();
        }
        end_ = std::max(end_, t.time);
        lastLineTime_ = t.time;
    }

    void Finish() {
        // The simulated timers tick where the recorded ones did (the watch
        // where it met something), and only there.
        if (slots_.TicksRecorded()) slots_.Add(0, "ticks recorded");
        mixw_.Finish();
        logger32_.TakeLastSend();
        end_ = slots_.Latest(end_);
        logger32_.Finish(end_);
        plan_.stopped = !ended_;
        if (plan_.stopped) slots_.Add(end_, "# the bridge was stopped from outside (no END)");
        slots_.Add(end_, "# the recorded session ends");
        plan_.incoming = slots_.IncomingEvents();
        plan_.scenario += slots_.Scenario(end_);
    }

private:
    void Incoming(Kind kind, const TraceLine& t) {
        switch (kind) {
            case Kind::Find:
            case Kind::Process:
            case Kind::Gone:
            case Kind::Timeout:
            case Kind::Pending:
            case Kind::Settled:
            case Kind::Doubt:
            case Kind::Answers:
            case Kind::Refused:
            case Kind::L32Code:
            case Kind::L32Text: logger32_.Take(kind, t); break;
            case Kind::Object:
            case Kind::Links:
            case Kind::Link:
                // A conversation is made only once every program's windows
                // answered: Logger32's too.
                if (Word(t, 3) != "unreachable") logger32_.AnsweredAt(t.time);
                mixw_.Take(kind, t);
                break;
            case Kind::Dde:
            case Kind::FqA:
            case Kind::AudioFq:
            case Kind::Failed: mixw_.Take(kind, t); break;
            case Kind::Waited: Waited(t); break;
            default: Operator(kind, t); break;
        }
    }

    // The operator's events, and the machine's: played at their times.
    void Operator(Kind kind, const TraceLine& t) {
        switch (kind) {
            case Kind::Click: slots_.Incoming(t.time, "click " + Word(t, 0)); break;
            case Kind::Ok: slots_.Incoming(t.time, "ok"); break;
            case Kind::Close: slots_.Incoming(t.time, "close"); break;
            case Kind::EndSession: slots_.Incoming(t.time, "session end"); break;
            case Kind::Left: slots_.Incoming(0, "file put " + String(t, 0)); break;
            case Kind::Held: Held(t); break;
            case Kind::Decimal:
                slots_.Incoming(After(t, 1), "locale decimal " + String(t, 0));
                break;
            case Kind::Typed:
                plan_.notes.push_back(Where(t, "text typed into a box is not replayed"));
                break;
            default: plan_.notes.push_back(Where(t, "not a field trace kind")); break;
        }
    }

    // The file was held, or let go, before the event whose change of it
    // failed, or worked again.
    void Held(const TraceLine& t) {
        const auto made = slots_.LastEvent();
        const std::string action = Word(t, 0) == "yes" ? "file lock" : "file unlock";
        // At the event's time: a write that settled within the event ends
        // a little after it began.
        if (made) {
            slots_.Add(std::min(t.time, made->time), action, ReplaySlots::Before(made->mark));
        } else {
            slots_.Add(t.time, action, slots_.Next());
        }
        slots_.Count();
    }

    // What a wait in a send or a call tells of the peer: it hung from the
    // wait's start for as long (a MixW2 call gives up after its bound).
    void Waited(const TraceLine& t) {
        const std::string what = Word(t, 0);
        const std::int64_t ms = std::strtoll(Word(t, 1).c_str(), nullptr, 10);
        const std::int64_t start = t.time - ms;
        if (lastLineTime_ > start) {
            plan_.inexact.push_back(Where(t,
                                          "events reached the bridge while it waited; the "
                                          "simulated world handles them after the wait"));
        }
        if (what == "text" || what == "send") {
            logger32_.Waited(t, ms);
        } else {
            mixw_.Waited(start, ms);
        }
    }

    ReplayPlan& plan_;
    ReplaySlots slots_;
    Logger32Replay logger32_;
    MixWReplay mixw_;
    std::int64_t end_ = 0;
    std::int64_t lastLineTime_ = 0;
    bool ended_ = false;
};

// Where the last session starts: the file is appended to, and each run of
// the bridge starts a session with its SESSION line.
std::size_t LastSessionStart(const std::vector<TraceLine>& lines) {
    for (std::size_t i = lines.size(); i-- > 0;) {
        if (lines[i].kind == "SESSION") return i;
    }
    return 0;
}

}  // namespace

ReplayPlan PlanReplay(std::string_view trace, std::string_view fileName) {
    auto read = field_trace::ParseTrace(trace, fileName);
    ReplayPlan plan;
    plan.cutShort = read.cutShort;
    // The last session is replayed.
    const std::size_t first = LastSessionStart(read.lines);
    plan.sessions =
        static_cast<int>(std::count_if(read.lines.begin(), read.lines.end(),
                                       [](const TraceLine& t) { return t.kind == "SESSION"; }));
    plan.sessions = std::max(plan.sessions, 1);
    plan.session = plan.sessions;
    plan.scenario = "# The incoming events of a field trace (" + std::string(fileName) +
                    ", session " + std::to_string(plan.session) + " of " +
                    std::to_string(plan.sessions) +
                    "), as a scenario.\n# Lines \"# recorded:\" are what the bridge gave out "
                    "there.\n";
    Planner planner(plan);
    for (std::size_t i = first; i < read.lines.size(); ++i) planner.Take(read.lines[i]);
    planner.Finish();
    // The lines the simulated world writes as the station's bridge did:
    // what it gave out, its timers' ticks (played where recorded) and the
    // session's start.
    auto anchors = [](const TraceLine& t) {
        return vocabulary::IsOutgoing(t.kind) || t.kind == "TICK" || t.kind == "SESSION";
    };
    for (std::size_t i = read.lines.size(); i-- > first;) {
        if (!anchors(read.lines[i])) continue;
        plan.anchor = read.lines[i];
        const auto anchor = field_trace::Format(read.lines[i], false);
        for (std::size_t j = first; j < i; ++j) {
            if (field_trace::Format(read.lines[j], false) == anchor) ++plan.anchorBefore;
        }
        break;
    }
    return plan;
}

namespace {

// The lines the bridge gave out, as the comparison takes them.
std::vector<TimedLine> Outgoing(const std::vector<TraceLine>& lines) {
    std::vector<TimedLine> out;
    for (const auto& t : lines) {
        if (vocabulary::IsOutgoing(t.kind)) out.push_back({t.time, field_trace::Format(t, false)});
    }
    return out;
}

// A bridge stopped from outside gave out nothing the recording holds after
// its anchor: what the replay gave out after its own line that reads as the
// anchor (as many times before it) is not compared.
void KeepUpToAnchor(const ReplayPlan& plan, std::vector<TraceLine>& replayed) {
    // A moved-aside name is the replay's own clock's, as in the comparison.
    const auto anchor = MaskMovedAsideNames(field_trace::Format(*plan.anchor, false));
    int before = plan.anchorBefore;
    for (std::size_t i = 0; i < replayed.size(); ++i) {
        if (MaskMovedAsideNames(field_trace::Format(replayed[i], false)) == anchor &&
            before-- == 0) {
            replayed.resize(i + 1);
            return;
        }
    }
}

}  // namespace

ReplayResult Replay(const ReplayPlan& plan, std::int64_t toleranceMs) {
    auto actions = scenario::ParseScenario(plan.scenario, "replay");
    field_trace::MemoryFile file(u"replay");
    field_trace::Output output(file);
    {
        std::ostream nowhere(nullptr);
        World world(std::move(actions), nowhere, &output);
        (void)world.Run();
    }
    return CompareReplayed(plan, file.Text(), toleranceMs);
}

ReplayResult CompareReplayed(const ReplayPlan& plan, std::string_view replayedTrace,
                             std::int64_t toleranceMs) {
    auto replayed = field_trace::ParseTrace(replayedTrace, "replay").lines;
    replayed.erase(replayed.begin(),
                   replayed.begin() + static_cast<std::ptrdiff_t>(LastSessionStart(replayed)));

    std::ostringstream report;
    report << "session " << plan.session << " of " << plan.sessions << ": " << plan.incoming
           << " incoming events replayed, " << plan.recorded.size() << " outgoing lines recorded\n";
    if (plan.cutShort) report << "the last line was cut off and is left out\n";
    if (plan.stopped && plan.anchor) {
        KeepUpToAnchor(plan, replayed);
        report << "the bridge was stopped from outside (no END): what it gave out is compared up "
                  "to its last "
               << field_trace::Format(*plan.anchor, false) << "\n";
    }
    for (const auto& n : plan.notes) report << "not replayed: " << n << '\n';
    for (const auto& n : plan.inexact) report << "not exact: " << n << '\n';

    auto recorded = Outgoing(plan.recorded);
    for (auto& line : recorded) line.text = MaskMovedAsideNames(std::move(line.text));
    const auto replayedOut = Outgoing(replayed);
    const auto comparison = CompareLines(recorded, replayedOut, toleranceMs);
    for (const auto& d : comparison.differences) {
        report << "differs (" << d.channel << "): ";
        if (!d.actual) {
            report << "recorded " << Print(*d.expected) << "\n  not replayed\n";
        } else if (!d.expected) {
            report << "replayed " << Print(*d.actual) << "\n  not recorded\n";
        } else {
            report << "recorded " << Print(*d.expected) << "\n  replayed " << Print(*d.actual)
                   << '\n';
        }
    }
    const bool same = comparison.Same();
    const std::int64_t largest = comparison.largestShift;
    report << replayedOut.size() << " outgoing lines replayed: ";
    if (!same) {
        report << "they differ\n";
    } else if (!plan.inexact.empty()) {
        // The lines agree, yet the session was not played as it happened.
        report << "in order within " << toleranceMs << " ms, but the session could not be "
               << "played exactly (\"not exact\" above)\n";
    } else {
        report << "the same, in order, within " << toleranceMs << " ms (largest shift " << largest
               << " ms)\n";
    }
    return {same && plan.inexact.empty(), report.str()};
}

}  // namespace linkwell::sim
