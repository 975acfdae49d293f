#include "soak/chaos_check.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <sstream>
#include <utility>

namespace linkwell::soak::chaos {
namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out.push_back(std::move(line));
    }
    return out;
}

std::string Upper(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// The value of "<TAG:N>value" in an ADIF text (tags in any letter case).
std::optional<std::string> Field(const std::string& text, const std::string& tag) {
    const std::string upper = Upper(text);
    const auto at = upper.find("<" + tag + ":");
    if (at == std::string::npos) return std::nullopt;
    const auto close = text.find('>', at);
    if (close == std::string::npos) return std::nullopt;
    const auto lengthAt = at + tag.size() + 2;
    std::size_t length = 0;
    for (auto i = lengthAt; i < close && text[i] != ':'; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
        length = length * 10 + static_cast<std::size_t>(text[i] - '0');
    }
    return text.substr(close + 1, length);
}

std::string Where(std::uint64_t seed, int session, std::int64_t at) {
    return "seed " + std::to_string(seed) + ", session " + std::to_string(session) + " at " +
           std::to_string(at) + " ms: ";
}

std::int64_t TimeOf(const std::string& line) {
    return std::strtoll(line.c_str(), nullptr, 10);
}

// "KIND NAME VALUE" lines of the peers' standard error.
std::optional<std::int64_t> Figure(const std::string& err, const std::string& name) {
    std::optional<std::int64_t> value;
    for (const auto& line : Lines(err)) {
        std::istringstream in(line);
        std::string kind, n;
        std::int64_t v = 0;
        if (in >> kind >> n >> v && kind == "FIGURE" && n == name) value = v;
    }
    return value;
}

}  // namespace

std::vector<Taken> ReadLogger32Log(int session, const std::string& text, bool logFile) {
    static const std::string kTraced = " L32 text \"<APP_LOGQSO:";
    std::vector<Taken> out;
    for (const auto& line : Lines(text)) {
        Taken t;
        t.session = session;
        t.at = TimeOf(line);
        if (logFile) {
            // "MS RUN TEXT": the text after the Logger32's number in the run.
            const auto first = line.find(' ');
            const auto second = first == std::string::npos ? first : line.find(' ', first + 1);
            if (second == std::string::npos) continue;
            t.text = line.substr(second + 1);
            if (!t.text.empty() && t.text.back() == '\r') t.text.pop_back();
            if (!t.text.starts_with("<APP_LOGQSO:")) continue;
        } else {
            const auto at = line.find(kTraced);
            if (at == std::string::npos) continue;
            // The calls of a chaos day are plain ASCII: the quoted text
            // holds them as they are.
            t.text = line.substr(at + 11, line.size() - at - 12);
        }
        t.call = Field(t.text, "CALL").value_or("");
        out.push_back(std::move(t));
    }
    return out;
}

std::vector<Kept> ReadKept(const std::string& adif) {
    std::vector<Kept> out;
    const std::string upper = Upper(adif);
    auto from = upper.find("<EOH>");
    from = from == std::string::npos ? 0 : from + 5;
    for (auto eor = upper.find("<EOR>", from); eor != std::string::npos;
         eor = upper.find("<EOR>", from)) {
        const std::string record = adif.substr(from, eor - from);
        Kept k;
        k.call = Field(record, "CALL").value_or("");
        k.inDoubt = Field(record, "APP_LINKWELL_IN_DOUBT").value_or("") == "Y";
        out.push_back(std::move(k));
        from = eor + 5;
    }
    return out;
}

std::map<int, std::vector<std::string>> CheckExactlyOnce(std::uint64_t seed,
                                                         const std::vector<Logging>& made,
                                                         const std::vector<SessionRun>& runs) {
    std::map<int, std::vector<std::string>> out;
    std::map<std::string, std::vector<const Taken*>> taken;
    std::map<std::string, std::vector<std::pair<int, const Kept*>>> kept;
    for (const auto& run : runs) {
        for (const auto& t : run.taken) taken[t.call].push_back(&t);
        for (const auto& k : run.kept) kept[k.call].emplace_back(run.number, &k);
    }
    std::map<std::string, bool> known;
    for (const auto& l : made) {
        known[l.call] = true;
        const std::string qso = l.call + " " + l.time;
        const auto& inLog = taken[l.call];
        const auto& inFile = kept[l.call];
        if (inLog.size() > 1) {
            std::string moments;
            for (const auto* t : inLog) {
                moments += (moments.empty() ? "" : ", ") + std::string("session ") +
                           std::to_string(t->session) + " at " + std::to_string(t->at) + " ms";
            }
            out[inLog[1]->session].push_back(
                Where(seed, inLog[1]->session, inLog[1]->at) + qso + " is in Logger32's log " +
                std::to_string(inLog.size()) + " times (" + moments + ")");
        }
        if (inFile.size() > 1) {
            out[l.session].push_back(Where(seed, l.session, l.at) + qso + " is in not-logged.adi " +
                                     std::to_string(inFile.size()) + " times");
        }
        if (inLog.empty() && inFile.empty()) {
            out[l.session].push_back(Where(seed, l.session, l.at) + qso +
                                     " is neither in Logger32's log nor in not-logged.adi");
        } else if (!inLog.empty() && !inFile.empty() && !inFile.front().second->inDoubt) {
            out[l.session].push_back(Where(seed, l.session, inLog.front()->at) + qso +
                                     " is in Logger32's log and in not-logged.adi, not marked "
                                     "in doubt");
        }
    }
    for (const auto& run : runs) {
        for (const auto& t : run.taken) {
            if (!known.contains(t.call)) {
                out[run.number].push_back(Where(seed, run.number, t.at) +
                                          "Logger32 took a logging nobody made: " + t.text);
            }
        }
    }
    return out;
}

std::vector<std::string> CheckSessionRun(std::uint64_t seed, const SessionRun& run) {
    std::vector<std::string> out;
    const std::string session =
        "seed " + std::to_string(seed) + ", session " + std::to_string(run.number) + ": ";
    bool finished = false;
    for (const auto& line : Lines(run.trace)) {
        if (line.starts_with("# end ")) finished = true;
        const auto space = line.find(' ');
        if (space != std::string::npos && line.substr(space + 1) == "END" &&
            TimeOf(line) < run.endsAt) {
            out.push_back(Where(seed, run.number, TimeOf(line)) +
                          "the bridge ended before it was closed");
        }
    }
    if (!finished) out.push_back(session + "the run did not finish (no \"# end\" line)");
    for (const auto& line : Lines(run.err)) {
        std::istringstream in(line);
        std::string kind, name;
        std::int64_t a = 0, b = 0;
        if (!(in >> kind)) continue;
        if (kind == "FROZEN" && in >> a >> b) {
            out.push_back(Where(seed, run.number, a) + "the bridge window took " +
                          std::to_string(b) + " ms to answer WM_NULL (at most 250)");
        } else if (kind == "CHECK" && in >> name && name == "limit" && in >> name >> b) {
            const auto value = Figure(run.err, name);
            if (!value) {
                out.push_back(session + "no figure " + name);
            } else if (*value > b) {
                out.push_back(Where(seed, run.number, run.endsAt) + name + " " +
                              std::to_string(*value) + " > " + std::to_string(b));
            }
        }
    }
    return out;
}

namespace {

// Under Wine each MixW2 process that ends while the bridge holds its object
// leaves 2 events and 1 file handle in the bridge, which no release or end
// of the calling thread gives back (linkwell-probe-com-residue shows it
// outside the bridge).
constexpr double kWineResiduePerMixWGone = 3;

// What a bridge makes once, when first needed, and keeps to its end: the
// not-logged.adi writer's thread (its handle and event, its stack). The
// floor may rise by that once; a leak rises with what the station does.
double FirstNeedStep(const std::string& counter) {
    static const std::map<std::string, double> kSteps = {
        {"handles", 2.0}, {"threads", 1.0}, {"private-kb", 1100.0}};
    const auto step = kSteps.find(counter);
    return step == kSteps.end() ? 0.0 : step->second;
}

// (minutes, value) samples in time order: the floor's growth per minute,
// beyond a first need's step.
std::optional<double> FloorGrowth(const std::vector<std::pair<double, double>>& points,
                                  double step) {
    constexpr std::size_t kLeast = 6;
    if (points.size() < kLeast || points.back().first - points.front().first < 1.0) {
        return std::nullopt;
    }
    const std::size_t third = points.size() / 3;
    auto least = [](auto from, auto to) {
        double value = from->second, when = 0;
        for (auto p = from; p != to; ++p) {
            value = std::min(value, p->second);
            when += p->first;
        }
        return std::pair{value, when / static_cast<double>(to - from)};
    };
    const auto [first, firstAt] = least(points.begin(), points.begin() + third);
    const auto [last, lastAt] = least(points.end() - third, points.end());
    const double rise = last - first;
    return (rise > 0 ? std::max(0.0, rise - step) : rise) / (lastAt - firstAt);
}

}  // namespace

Slopes ResourceSlopes(const std::vector<std::string>& errs) {
    // Per process: the samples (minutes, value) of each counter.
    std::map<std::string, std::map<std::string, std::vector<std::pair<double, double>>>> byPid;
    auto steady = byPid;  // the floors' samples: settled, handles net of Wine's residue
    Slopes slopes;
    for (std::size_t e = 0; e < errs.size(); ++e) {
        for (const auto& line : Lines(errs[e])) {
            std::istringstream in(line);
            std::string kind, word;
            std::int64_t at = 0;
            if (!(in >> kind >> at) || kind != "RESOURCES") continue;
            ++slopes.samples;
            std::string pid;
            std::vector<std::pair<std::string, double>> values;
            bool settled = true;  // samples that do not say are all steady
            double mixwGone = 0;
            while (in >> word) {
                const auto eq = word.find('=');
                if (eq == std::string::npos) continue;
                const auto name = word.substr(0, eq);
                if (name == "pid") {
                    pid = std::to_string(e) + ":" + word.substr(eq + 1);
                } else if (name == "settled") {
                    settled = word.substr(eq + 1) == "1";
                } else if (name == "mixw-gone") {
                    mixwGone = std::stod(word.substr(eq + 1));
                } else {
                    values.emplace_back(name, std::stod(word.substr(eq + 1)));
                }
            }
            const double minutes = static_cast<double>(at) / 60'000.0;
            for (auto [name, v] : values) {
                byPid[pid][name].emplace_back(minutes, v);
                if (!settled) continue;
                if (name == "handles") v -= kWineResiduePerMixWGone * mixwGone;
                steady[pid][name].emplace_back(minutes, v);
            }
        }
    }
    // One slope fitted to every process's samples, each about its own mean.
    std::map<std::string, std::pair<double, double>> sums;  // sxy, sxx
    for (const auto& [pid, counters] : byPid) {
        for (const auto& [name, points] : counters) {
            double mx = 0, my = 0;
            for (const auto& [x, y] : points) {
                mx += x;
                my += y;
            }
            mx /= static_cast<double>(points.size());
            my /= static_cast<double>(points.size());
            auto& [sxy, sxx] = sums[name];
            for (const auto& [x, y] : points) {
                sxy += (x - mx) * (y - my);
                sxx += (x - mx) * (x - mx);
            }
        }
    }
    for (const auto& [name, s] : sums) {
        if (s.second > 0) slopes.perMinute[name] = s.first / s.second;
    }
    for (const auto& [pid, counters] : steady) {
        bool judged = false;
        for (const auto& [name, points] : counters) {
            if (const auto growth = FloorGrowth(points, FirstNeedStep(name))) {
                judged = true;
                auto [at, fresh] = slopes.floorPerMinute.try_emplace(name, *growth);
                if (!fresh) at->second = std::max(at->second, *growth);
            }
        }
        slopes.bridgesJudged += judged ? 1 : 0;
    }
    slopes.bridges = byPid.size();
    return slopes;
}

const std::map<std::string, double>& SlopeTolerances() {
    static const std::map<std::string, double> kTolerances = {
        {"handles", 2.0}, {"user", 1.0},    {"gdi", 1.0},
        {"windows", 1.0}, {"threads", 0.5}, {"private-kb", 256.0}};
    return kTolerances;
}

std::vector<std::string> CheckSlopes(std::uint64_t seed, int session, const Slopes& slopes) {
    std::vector<std::string> out;
    for (const auto& [name, slope] : slopes.floorPerMinute) {
        const auto tolerance = SlopeTolerances().find(name);
        if (tolerance == SlopeTolerances().end() || slope <= tolerance->second) continue;
        char buf[160];
        std::snprintf(buf, sizeof buf, "the floor of %s grows %.2f a minute (at most %.2f)",
                      name.c_str(), slope, tolerance->second);
        out.push_back("seed " + std::to_string(seed) + ", session " + std::to_string(session) +
                      ": " + buf);
    }
    return out;
}

namespace {

// The quoted string after `at` in a line (plain ASCII, as a chaos day writes).
std::string QuotedAfter(const std::string& line, std::size_t at) {
    const auto open = line.find('"', at);
    if (open == std::string::npos) return {};
    const auto close = line.find('"', open + 1);
    return line.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
}

// The first trace line at or after `from` (within a minute) holding `what`.
std::optional<std::int64_t> FirstAfter(const std::vector<std::string>& trace, std::int64_t from,
                                       const std::string& what) {
    for (const auto& line : trace) {
        const auto t = TimeOf(line);
        if (t < from || t > from + 60'000) continue;
        if (line.find(what) != std::string::npos) return t - from;
    }
    return std::nullopt;
}

}  // namespace

void AddLatencies(const std::string& scenario, const std::string& trace, Latencies& into) {
    const auto traced = Lines(trace);
    // What the station did before the bridge first spoke to Logger32 waited
    // for its start-up, not for a path of it: not counted.
    std::int64_t working = std::numeric_limits<std::int64_t>::max();
    for (const auto& line : traced) {
        if (line.find(" L32 text ") != std::string::npos) {
            working = TimeOf(line);
            break;
        }
    }
    std::int64_t clock = 0;
    std::string call;
    for (const auto& line : Lines(scenario)) {
        if (line.starts_with("at ")) {
            clock = std::strtoll(line.c_str() + 3, nullptr, 10);
        } else if (clock < working) {
            if (line.starts_with("mixw dde Call ")) call = QuotedAfter(line, 13);
        } else if (line.starts_with("mixw dde Call ")) {
            call = QuotedAfter(line, 13);
        } else if (line.starts_with("mixw dde Command \"Save\"")) {
            const std::string field = "<CALL:" + std::to_string(call.size()) + ">" + call;
            if (auto ms = FirstAfter(traced, clock, field)) into.saveToLogging.push_back(*ms);
        } else if (line.starts_with("mixw dde khz ")) {
            const auto khz = QuotedAfter(line, 12);
            const std::string text =
                "L32 text \"<APP_FORCE_FREQ:" + std::to_string(khz.size()) + ">" + khz + "\"";
            if (auto ms = FirstAfter(traced, clock, text)) into.khzToForceFreq.push_back(*ms);
        } else if (line.starts_with("logger32 settext \" APP_DXSPOT_CLICKED")) {
            const auto spot = QuotedAfter(line, 16);
            const auto first = spot.find('|');
            const auto second = spot.find('|', first + 1);
            if (first == std::string::npos || second == std::string::npos) continue;
            const std::string macro =
                "MIXW ExecuteMacros \"<ZFQ:" + spot.substr(first + 1, second - first - 1) + ">\"";
            // A spot another one replaced before its tick is never acted on.
            if (auto ms = FirstAfter(traced, clock, macro)) into.spotToMacros.push_back(*ms);
        }
    }
}

std::string Percentiles(std::vector<std::int64_t> ms) {
    if (ms.empty()) return "-";
    std::sort(ms.begin(), ms.end());
    const auto at = [&ms](double q) {
        const auto i = static_cast<std::size_t>(std::ceil(q * static_cast<double>(ms.size()))) - 1;
        return ms[std::min(i, ms.size() - 1)];
    };
    return "p50 " + std::to_string(at(0.50)) + " ms, p99 " + std::to_string(at(0.99)) +
           " ms, max " + std::to_string(ms.back()) + " ms (" + std::to_string(ms.size()) + ")";
}

}  // namespace linkwell::soak::chaos
