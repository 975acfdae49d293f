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

namespace {

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
                // The longest answer says when it was asked, and how long the
                // peers' own window took meanwhile (the machine's share); the
                // others count to the end.
                const bool answer = name == "longest-unanswered-ms";
                const auto at = answer ? Figure(run.err, "longest-unanswered-at") : std::nullopt;
                const auto yardstick =
                    answer ? Figure(run.err, "yardstick-during-longest-ms") : std::nullopt;
                out.push_back(Where(seed, run.number, at.value_or(run.endsAt)) + name + " " +
                              std::to_string(*value) + " > " + std::to_string(b) +
                              (yardstick ? " (the peers' own window took " +
                                               std::to_string(*yardstick) + " ms meanwhile)"
                                         : ""));
            }
        }
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
