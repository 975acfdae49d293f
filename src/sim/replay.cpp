#include "sim/replay.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <sstream>

#include "field_trace/output.h"
#include "scenario/scenario.h"
#include "scenario/text.h"
#include "sim/world.h"

namespace linkwell::sim {
namespace {

using field_trace::Token;
using field_trace::TraceLine;

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::int64_t Shift(std::int64_t a, std::int64_t b) {
    return a > b ? a - b : b - a;
}

std::string Channel(std::string_view kind) {
    if (kind == "L32" || kind == "MIXW") return "Logger32 and MixW";
    if (kind == "STATUS") return "status line";
    if (kind == "BOX") return "message boxes";
    return "end";
}

// Turns one session's lines into timed scenario actions.
class Planner {
public:
    explicit Planner(ReplayPlan& plan) : plan_(plan) {}

    void Take(const TraceLine& t) {
        if (IsOutgoing(t.kind)) {
            plan_.recorded.push_back(t);
            Add(t.time, "# recorded: " + field_trace::Format(t));
            // A connect request: Logger32's answer to it is its stand-in's.
            if (t.kind == "L32" && t.details.size() == 4 && t.details[0].raw == "post" &&
                t.details[2].raw == "1") {
                awaitingAnswer_ = true;
            }
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
        const std::string& k = t.kind;
        if (k == "SESSION") return;
        if (k == "FIND") {
            if (word(1) == "0") {
                lastMissedLogger32_ = t.time;
            } else if (!logger32Start_) {
                logger32Start_ = lastMissedLogger32_ ? *lastMissedLogger32_ + 1 : 0;
            }
        } else if (k == "OBJECT") {
            if (word(1) == "unavailable") {
                lastMissedMixW_ = t.time;
            } else if (!mixwRunning_) {
                mixwRunning_ = true;
                std::int64_t at = lastMissedMixW_ ? *lastMissedMixW_ + 1 : 0;
                Incoming(std::max(at, mixwStopped_), "mixw start");
            }
        } else if (k == "LINK") {
            const std::string item = d.size() > 2 ? scenario::ToUtf8(d[2].value) : "";
            linked_.insert(Lower(item));
            if (word(3) == "refused") Incoming(0, "mixw refuse " + item);
        } else if (k == "DDE") {
            // A value that came as the link opened was MixW's item before.
            const bool current = linked_.count(Lower(word(0))) == 0;
            Incoming(current ? 0 : t.time, "mixw dde " + word(0) + " " + string(1));
        } else if (k == "FQA" || k == "AUDIOFQ") {
            Incoming(after(1), "mixw " + Lower(k) + " " + word(0));
        } else if (k == "DECIMAL") {
            Incoming(after(1), "locale decimal " + string(0));
        } else if (k == "FAILED") {
            if (mixwRunning_) {
                mixwRunning_ = false;
                const std::int64_t at = word(1) == "after" ? after(1) : t.time;
                mixwStopped_ = at + 1;
                Incoming(at, "mixw stop");
            }
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
        } else if (k == "TIMEOUT" || k == "GONE" || k == "REFUSED" || k == "ANSWERS" ||
                   k == "LINKS") {
            Note(t, "a send that was not taken, or a peer's answer to a probe, is not replayed");
        } else if (k == "TYPED") {
            Note(t, "text typed into a box is not replayed");
        } else {
            Note(t, "not a field trace kind");
        }
        end_ = std::max(end_, t.time);
    }

    void Finish() {
        // Logger32 as it answered the bridge's connect requests: refusals
        // first, then an acceptance with or without its text window, or
        // silence.
        if (logger32Start_) {
            Incoming(*logger32Start_,
                     textWindowNamed_ || !accepted_ ? "logger32 start" : "logger32 start notext");
        }
        if (refusals_ > 0) Incoming(0, "logger32 refuse " + std::to_string(refusals_));
        if (awaitingAnswer_ && !accepted_)
            Incoming(lastAnswer_ ? *lastAnswer_ + 1 : 0, "logger32 silent");
        for (const auto& a : actions_) end_ = std::max(end_, std::get<0>(a));
        Add(end_, "# the recorded session ends");
        std::stable_sort(actions_.begin(), actions_.end(), [](const auto& a, const auto& b) {
            return std::get<0>(a) != std::get<0>(b) ? std::get<0>(a) < std::get<0>(b)
                                                    : std::get<1>(a) < std::get<1>(b);
        });
        std::ostringstream out;
        std::int64_t clock = 0;
        for (const auto& [time, order, text] : actions_) {
            if (time > clock) {
                out << "at " << time << '\n';
                clock = time;
            }
            out << text << '\n';
        }
        if (end_ > clock) out << "at " << end_ << '\n';
        plan_.scenario += out.str();
    }

private:
    void LoggerCode(const TraceLine& t, const std::string& code, const std::string& param) {
        if (code == "0" && awaitingAnswer_ && !accepted_) {
            awaitingAnswer_ = false;
            lastAnswer_ = t.time;
            if (param == "0") {
                ++refusals_;
            } else {
                accepted_ = true;
                awaitingTextWindow_ = true;
            }
            ++plan_.incoming;
            return;
        }
        if (code == "3" && awaitingTextWindow_) {
            awaitingTextWindow_ = false;
            textWindowNamed_ = true;
            ++plan_.incoming;
            return;
        }
        awaitingTextWindow_ = false;
        Incoming(t.time, "logger32 post " + code + " " + param);
    }
    void Incoming(std::int64_t time, std::string action) {
        ++plan_.incoming;
        Add(time, std::move(action));
    }
    void Add(std::int64_t time, std::string text) {
        // Setting-up actions at 0 come first, in the order they were made.
        const int order = time == 0 && text.rfind('#', 0) != 0 ? 0 : 1;
        actions_.emplace_back(time, order, std::move(text));
    }
    void Note(const TraceLine& t, std::string_view why) {
        plan_.notes.push_back("line " + std::to_string(t.line) + " (" + field_trace::Format(t) +
                              "): " + std::string(why));
    }

    ReplayPlan& plan_;
    std::vector<std::tuple<std::int64_t, int, std::string>> actions_;
    std::int64_t end_ = 0;
    std::optional<std::int64_t> lastMissedLogger32_;
    std::optional<std::int64_t> lastMissedMixW_;
    std::optional<std::int64_t> logger32Start_;
    bool awaitingAnswer_ = false;
    bool accepted_ = false;
    bool awaitingTextWindow_ = false;
    bool textWindowNamed_ = false;
    int refusals_ = 0;
    std::optional<std::int64_t> lastAnswer_;
    bool mixwRunning_ = false;
    std::int64_t mixwStopped_ = 0;
    std::set<std::string> linked_;
};

}  // namespace

bool IsOutgoing(std::string_view kind) {
    return kind == "L32" || kind == "MIXW" || kind == "BOX" || kind == "STATUS" || kind == "END";
}

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

    std::map<std::string, std::vector<const TraceLine*>> want;
    std::map<std::string, std::vector<const TraceLine*>> got;
    for (const auto& t : plan.recorded) want[Channel(t.kind)].push_back(&t);
    std::size_t replayedOut = 0;
    for (const auto& t : replayed) {
        if (!IsOutgoing(t.kind)) continue;
        got[Channel(t.kind)].push_back(&t);
        ++replayedOut;
    }
    bool same = true;
    std::int64_t largest = 0;
    for (const auto* channel : {"Logger32 and MixW", "status line", "message boxes", "end"}) {
        const auto& w = want[channel];
        const auto& g = got[channel];
        const std::size_t n = std::max(w.size(), g.size());
        for (std::size_t i = 0; i < n; ++i) {
            if (i >= g.size()) {
                report << "differs (" << channel << "): recorded " << field_trace::Format(*w[i])
                       << "\n  not replayed\n";
            } else if (i >= w.size()) {
                report << "differs (" << channel << "): replayed " << field_trace::Format(*g[i])
                       << "\n  not recorded\n";
            } else if (field_trace::Format(*w[i], false) != field_trace::Format(*g[i], false) ||
                       Shift(w[i]->time, g[i]->time) > toleranceMs) {
                report << "differs (" << channel << "): recorded " << field_trace::Format(*w[i])
                       << "\n  replayed " << field_trace::Format(*g[i]) << '\n';
            } else {
                largest = std::max(largest, Shift(w[i]->time, g[i]->time));
                continue;
            }
            same = false;
            break;  // what follows a difference differs anyway
        }
    }
    report << replayedOut << " outgoing lines replayed: "
           << (same ? "the same, in order, within " + std::to_string(toleranceMs) +
                          " ms (largest shift " + std::to_string(largest) + " ms)"
                    : std::string("they differ"))
           << '\n';
    return {same, report.str()};
}

}  // namespace linkwell::sim
