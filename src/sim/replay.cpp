#include "sim/replay.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <optional>
#include <ostream>
#include <set>
#include <sstream>

#include "field_trace/output.h"
#include "scenario/scenario.h"
#include "scenario/text.h"
#include "sim/compare.h"
#include "sim/world.h"
#include "vocabulary/kinds.h"

namespace linkwell::sim {
namespace {

using field_trace::Token;
using field_trace::TraceLine;
using vocabulary::IsOutgoing;

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// Turns one session's lines into timed scenario actions.
//
// The peers' own states (Logger32 or MixW2 running, stopped, hung) are not
// lines of the trace; they are read from what the bridge met: a window
// found or gone, an object obtained, a call that failed or kept it waiting.
// Each becomes an action in time for the event that met it: a peer that
// hung in a send must already hang when the event that made the send is
// played, so such actions are slotted in before that event.
class Planner {
public:
    explicit Planner(ReplayPlan& plan) : plan_(plan) {}

    void Take(const TraceLine& t) {
        const std::string& k = t.kind;
        // A send to Logger32 whose line is not followed by what became of
        // it was taken.
        const std::optional<Send> send = pendingSend_;
        if (send && k != "WAITED" && k != "TIMEOUT" && k != "PENDING" && k != "GONE" &&
            k != "REFUSED") {
            SendTaken(send->end);
        }
        if (k != "WAITED") pendingSend_.reset();
        if (IsOutgoing(k)) {
            plan_.recorded.push_back(t);
            Add(t.time, "# recorded: " + field_trace::Format(t));
            if (k == "L32" && !t.details.empty() &&
                (t.details[0].raw == "text" || t.details[0].raw == "send")) {
                pendingSend_ = Send{t.time, mark_};
            }
            // A connect request: Logger32's answer to it is its stand-in's.
            if (k == "L32" && t.details.size() == 4 && t.details[0].raw == "post" &&
                t.details[2].raw == "1" && logger32_) {
                logger32_->awaitingAnswer = true;
            }
            lineMark_ = mark_;
            mark_ = seq_;
            end_ = std::max(end_, t.time);
            lastLineTime_ = t.time;
            return;
        }
        const auto& d = t.details;
        auto word = [&](std::size_t i) { return i < d.size() ? d[i].raw : std::string(); };
        auto string = [&](std::size_t i) {
            return i < d.size() ? scenario::Quote(d[i].value) : std::string("\"\"");
        };
        // "after T": the value changed after the read at T.
        auto after = [&](std::size_t i) -> std::int64_t {
            if (word(i) != "after") return 0;
            return std::strtoll(word(i + 1).c_str(), nullptr, 10) + 1;
        };
        if (k == "SESSION") return;
        struct LastLine {
            std::int64_t& time;
            std::int64_t now;
            ~LastLine() { time = now; }
        } lastLine{lastLineTime_, t.time};
        bool marks = false;  // the line is what became of a call: a new slot for peers' states
        if (k == "FIND") {
            if (word(1) == "0") {
                lastMissedLogger32_ = t.time;
            } else if (!logger32_) {
                std::int64_t at = lastMissedLogger32_ ? *lastMissedLogger32_ + 1 : 0;
                if (logger32Stopped_) at = std::max(at, *logger32Stopped_ + 1);
                logger32_ = Logger32Run{};
                logger32_->start = at;
            }
        } else if (k == "PROCESS") {
            // The watch (or a code 3) found Logger32's window gone.
            if (word(1) == "0") Logger32Gone(t.time, seq_);
            marks = true;
        } else if (k == "GONE") {
            // A send or post found no window: Logger32 had closed before the
            // event that made it.
            Logger32Gone(t.time, lineMark_);
            marks = true;
        } else if (k == "WAITED") {
            Waited(t, word(0), std::strtoll(word(1).c_str(), nullptr, 10));
            marks = true;
        } else if (k == "TIMEOUT") {
            Logger32TimedOut(t, send);
            marks = true;
        } else if (k == "PENDING") {
            // Not taken within the bound: the send goes on while Logger32 hangs.
            Logger32TimedOut(t, send);
            marks = true;
        } else if (k == "SETTLED") {
            // The send that went on ended: Logger32 woke and took the text,
            // or was ended (its PROCESS line says so) and the hang with it.
            if (hang_) EndHang(t.time);
            marks = true;
        } else if (k == "LEFT") {
            Incoming(0, "file put " + string(0));
        } else if (k == "ENDSESSION") {
            Incoming(t.time, "session end");
        } else if (k == "ANSWERS") {
            // A probe found Logger32 answering again.
            if (hang_) EndHang(t.time);
            marks = true;
        } else if (k == "REFUSED") {
            NotExact(t,
                     "Windows refused a send or post to Logger32 (it runs with higher rights); "
                     "the simulated world has no such Logger32");
            marks = true;
        } else if (k == "OBJECT") {
            if (word(1) == "unavailable") {
                lastMissedMixW_ = t.time;
            } else if (!mixwRunning_) {
                mixwRunning_ = true;
                const std::int64_t at = lastMissedMixW_ ? *lastMissedMixW_ + 1 : 0;
                Incoming(std::max(at, mixwStopped_), "mixw start");
                // The links open anew: the values they bring are MixW's now.
                if (mixwStopped_ > 0) {
                    linked_.clear();
                    mixwReturned_ = true;
                }
            }
        } else if (k == "LINKS") {
            // MixW's DDE conversations ended: MixW2 closed.
            if (mixwRunning_) {
                mixwRunning_ = false;
                mixwStopped_ = t.time + 1;
                Incoming(t.time, "mixw stop");
            }
            marks = true;
        } else if (k == "LINK") {
            const std::string item = d.size() > 2 ? scenario::ToUtf8(d[2].value) : "";
            linked_.insert(Lower(item));
            if (word(3) == "refused") Incoming(0, "mixw refuse " + item);
        } else if (k == "DDE") {
            // A value that came as the link opened was MixW's item before.
            const bool current = linked_.count(Lower(word(0))) == 0;
            const std::int64_t at = !current ? t.time : mixwReturned_ ? t.time : 0;
            Incoming(at, "mixw dde " + word(0) + " " + string(1));
            lastDde_ = t.time;
        } else if (k == "FQA" || k == "AUDIOFQ") {
            Incoming(after(1), "mixw " + Lower(k) + " " + word(0));
        } else if (k == "DECIMAL") {
            Incoming(after(1), "locale decimal " + string(0));
        } else if (k == "FAILED") {
            // A call that failed at once: MixW2 had closed, after the last
            // call that worked and the last value its links brought. One
            // that failed after its bound is a hung MixW2 (WAITED before).
            if (mixwStuck_ && !mixwWaitedFailed_) {
                // Failed at once behind a call still inside MixW2: hung, not
                // gone, at least until now.
                mixwStuck_->end = t.time + 1;
            } else if (mixwRunning_ && !mixwWaitedFailed_) {
                mixwRunning_ = false;
                std::int64_t at = word(1) == "after" ? after(1) : t.time;
                if (lastDde_) at = std::max(at, *lastDde_ + 1);
                at = std::min(at, t.time);
                mixwStopped_ = at + 1;
                Add(at, "mixw stop", at == t.time ? Before(mark_) : Next());
                ++plan_.incoming;
            }
            marks = true;
        } else if (k == "L32CODE") {
            LoggerCode(t, word(1), word(2));
        } else if (k == "L32TEXT") {
            Incoming(t.time, "logger32 settext " + string(0));
        } else if (k == "CLICK") {
            Incoming(t.time, "click " + word(0));
        } else if (k == "OK") {
            Incoming(t.time, "ok");
        } else if (k == "CLOSE") {
            Incoming(t.time, "close");
        } else if (k == "TYPED") {
            Note(t, "text typed into a box is not replayed");
        } else {
            Note(t, "not a field trace kind");
        }
        if (k != "WAITED") mixwWaitedFailed_ = false;
        if (marks) mark_ = seq_;
        end_ = std::max(end_, t.time);
    }

    // The hang of a call that went past its bound, now that its end is known.
    void EndMixWStuck() {
        if (!mixwStuck_) return;
        Add(mixwStuck_->start, "mixw hang " + std::to_string(mixwStuck_->end - mixwStuck_->start),
            Before(mixwStuck_->mark));
        mixwStuck_.reset();
    }

    void Finish() {
        EndMixWStuck();
        if (pendingSend_) SendTaken(pendingSend_->end);
        for (const auto& a : actions_) end_ = std::max(end_, a.time);
        // A Logger32 still hung when the session ended hangs past its end.
        if (hang_) EndHang(end_ + 1);
        if (logger32_) EndRun();
        Add(end_, "# the recorded session ends");
        std::stable_sort(actions_.begin(), actions_.end(), [](const Planned& a, const Planned& b) {
            if (a.time != b.time) return a.time < b.time;
            if (a.order != b.order) return a.order < b.order;
            return a.seq < b.seq;
        });
        std::ostringstream out;
        std::int64_t clock = 0;
        for (const auto& a : actions_) {
            if (a.time > clock) {
                out << "at " << a.time << '\n';
                clock = a.time;
            }
            out << a.text << '\n';
        }
        if (end_ > clock) out << "at " << end_ << '\n';
        plan_.scenario += out.str();
    }

private:
    struct Planned {
        std::int64_t time;
        int order;
        std::int64_t seq;
        std::string text;
    };
    // One run of Logger32, from its start to its stop, and how it answered
    // the bridge's connect requests.
    struct Logger32Run {
        std::int64_t start = 0;
        bool awaitingAnswer = false;
        bool accepted = false;
        bool awaitingTextWindow = false;
        bool textWindowNamed = false;
        int refusals = 0;
        std::optional<std::int64_t> lastAnswer;
    };
    // A send to Logger32 whose outcome is still to come, and the slot for
    // a state of Logger32 that must hold before the event that made it.
    struct Send {
        std::int64_t end;  // when the bridge had it back
        std::int64_t mark;
    };
    // Logger32 hanging: since when, with the slot before the event that
    // met it, and whether a send waited its whole bound.
    struct Hang {
        std::int64_t start;
        std::int64_t mark;
        bool boundReached;
    };

    // An action's place among those at its time: after everything planned
    // so far, or just before the action planned `mark`-th.
    std::int64_t Next() { return 2 * seq_; }
    static std::int64_t Before(std::int64_t mark) { return 2 * mark - 1; }

    void LoggerCode(const TraceLine& t, const std::string& code, const std::string& param) {
        auto& run = logger32_;
        if (run && code == "0" && run->awaitingAnswer && !run->accepted) {
            run->awaitingAnswer = false;
            run->lastAnswer = t.time;
            if (param == "0") {
                ++run->refusals;
            } else {
                run->accepted = true;
                run->awaitingTextWindow = true;
            }
            ++plan_.incoming;
            return;
        }
        if (run && code == "3" && run->awaitingTextWindow) {
            run->awaitingTextWindow = false;
            run->textWindowNamed = true;
            ++plan_.incoming;
            return;
        }
        if (run) run->awaitingTextWindow = false;
        Incoming(t.time, "logger32 post " + code + " " + param);
    }

    // Logger32 as it answered the bridge's connect requests in this run:
    // refusals first, then an acceptance with or without its text window,
    // or silence.
    void EndRun() {
        const Logger32Run run = *logger32_;
        logger32_.reset();
        Incoming(run.start,
                 run.textWindowNamed || !run.accepted ? "logger32 start" : "logger32 start notext");
        if (run.refusals > 0)
            Incoming(run.start, "logger32 refuse " + std::to_string(run.refusals));
        if ((run.accepted || run.refusals > 0) && silent_) {
            plan_.inexact.push_back(
                "Logger32 answered a connect request after an earlier Logger32 had left one "
                "unanswered: the simulated Logger32 stays silent");
        }
        if (run.awaitingAnswer && !run.accepted && !silent_) {
            silent_ = true;
            Incoming(run.lastAnswer ? std::max(run.start, *run.lastAnswer + 1) : run.start,
                     "logger32 silent");
        }
    }

    void Logger32Gone(std::int64_t time, std::int64_t mark) {
        if (!logger32_) return;
        if (hang_) EndHang(time);
        EndRun();
        logger32Stopped_ = time;
        Add(time, "logger32 stop", Before(mark));
        ++plan_.incoming;
    }

    // What a wait in a send or a call tells of the peer: it hung from the
    // wait's start for as long (a MixW2 call gives up after its bound).
    void Waited(const TraceLine& t, const std::string& what, std::int64_t ms) {
        const std::int64_t start = t.time - ms;
        if (lastLineTime_ > start) {
            NotExact(t,
                     "events reached the bridge while it waited; the simulated world "
                     "handles them after the wait");
        }
        if (what == "text" || what == "send") {
            const std::int64_t mark = pendingSend_ ? pendingSend_->mark : mark_;
            if (pendingSend_) pendingSend_->end = t.time;
            if (hang_) EndHang(start);
            // Until a probe finds it answering, or the send's end when it
            // was taken (no TIMEOUT follows).
            hang_ = Hang{start, mark, ms >= kLogger32SendBoundMs};
            waitedSend_ = true;
            return;
        }
        if (ms >= kMixWCallBoundMs) {
            // Hung past the bound: the call failed (its FAILED follows). The
            // call stays inside MixW2, and later calls fail at once, until it
            // returns: the hang lasts at least the bound, and past each
            // call that failed at once behind it.
            EndMixWStuck();
            mixwStuck_ = Stuck{start, mark_, start + kMixWCallBoundMs + 1};
            mixwWaitedFailed_ = true;
        } else {
            EndMixWStuck();
            Add(start, "mixw hang " + std::to_string(ms), Before(mark_));
        }
        ++plan_.incoming;
    }

    void Logger32TimedOut(const TraceLine& t, const std::optional<Send>& send) {
        if (waitedSend_) {
            waitedSend_ = false;
            return;
        }
        if (hang_) return;  // given up at once: Logger32 still hangs
        NotExact(t,
                 "Logger32 was given up at once, without the 3 s wait the simulated world "
                 "makes first");
        hang_ = Hang{t.time, send ? send->mark : mark_, false};
    }

    // A send was taken when the bridge had it back: a Logger32 that hung
    // (also one that kept this very send waiting) answered by then.
    void SendTaken(std::int64_t time) {
        if (hang_) EndHang(time);
        waitedSend_ = false;
    }

    void EndHang(std::int64_t time) {
        const Hang h = *hang_;
        hang_.reset();
        std::int64_t ms = time - h.start;
        // A send that gave up waited the whole bound: the hang outlasted it.
        if (h.boundReached) ms = std::max(ms, kLogger32SendBoundMs + 1);
        Add(h.start, "logger32 hang " + std::to_string(ms), Before(h.mark));
        ++plan_.incoming;
    }

    void Incoming(std::int64_t time, std::string action) {
        ++plan_.incoming;
        Add(time, std::move(action));
    }
    void Add(std::int64_t time, std::string text) { Add(time, std::move(text), Next()); }
    void Add(std::int64_t time, std::string text, std::int64_t place) {
        // Setting-up actions at 0 come first, in the order they were made.
        const int order = time == 0 && text.rfind('#', 0) != 0 ? 0 : 1;
        actions_.push_back({time, order, place, std::move(text)});
        ++seq_;
    }
    void NotExact(const TraceLine& t, std::string_view why) {
        plan_.inexact.push_back("line " + std::to_string(t.line) + " (" + field_trace::Format(t) +
                                "): " + std::string(why));
    }
    void Note(const TraceLine& t, std::string_view why) {
        plan_.notes.push_back("line " + std::to_string(t.line) + " (" + field_trace::Format(t) +
                              "): " + std::string(why));
    }

    static constexpr std::int64_t kLogger32SendBoundMs = 3000;
    static constexpr std::int64_t kMixWCallBoundMs = 5000;

    ReplayPlan& plan_;
    std::vector<Planned> actions_;
    std::int64_t seq_ = 0;
    // The slot after the last line that the bridge gave out or that told
    // what became of a call.
    std::int64_t mark_ = 0;
    // The slot as it was before the last outgoing line: before the event
    // that made it.
    std::int64_t lineMark_ = 0;
    std::int64_t end_ = 0;
    std::int64_t lastLineTime_ = 0;
    std::optional<std::int64_t> lastMissedLogger32_;
    std::optional<std::int64_t> logger32Stopped_;
    std::optional<Logger32Run> logger32_;
    bool silent_ = false;
    std::optional<Send> pendingSend_;
    bool waitedSend_ = false;
    std::optional<Hang> hang_;
    std::optional<std::int64_t> lastMissedMixW_;
    bool mixwRunning_ = false;
    bool mixwReturned_ = false;
    bool mixwWaitedFailed_ = false;
    struct Stuck {
        std::int64_t start;
        std::int64_t mark;
        std::int64_t end;
    };
    std::optional<Stuck> mixwStuck_;
    std::int64_t mixwStopped_ = 0;
    std::optional<std::int64_t> lastDde_;
    std::set<std::string> linked_;
};

}  // namespace

ReplayPlan PlanReplay(std::string_view trace, std::string_view fileName) {
    auto read = field_trace::ParseTrace(trace, fileName);
    ReplayPlan plan;
    plan.cutShort = read.cutShort;
    // The file is appended to: each run of the bridge starts a session. The
    // last one is replayed.
    std::size_t first = 0;
    for (std::size_t i = 0; i < read.lines.size(); ++i) {
        if (read.lines[i].kind == "SESSION") {
            ++plan.sessions;
            first = i;
        }
    }
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
    return plan;
}

namespace {

// The lines the bridge gave out, as the comparison takes them.
std::vector<TimedLine> Outgoing(const std::vector<TraceLine>& lines) {
    std::vector<TimedLine> out;
    for (const auto& t : lines) {
        if (IsOutgoing(t.kind)) out.push_back({t.time, field_trace::Format(t, false)});
    }
    return out;
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
    const auto replayed = field_trace::ParseTrace(file.Text(), "replay").lines;

    std::ostringstream report;
    report << "session " << plan.session << " of " << plan.sessions << ": " << plan.incoming
           << " incoming events replayed, " << plan.recorded.size() << " outgoing lines recorded\n";
    if (plan.cutShort) report << "the last line was cut off and is left out\n";
    for (const auto& n : plan.notes) report << "not replayed: " << n << '\n';
    for (const auto& n : plan.inexact) report << "not exact: " << n << '\n';

    const auto recorded = Outgoing(plan.recorded);
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
