// The chaos run's resource check: the floors of what each bridge holds in
// its steady states (soak/chaos_check.h).
#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <utility>

#include "soak/chaos_check.h"

namespace linkwell::soak::chaos {
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
            std::string atWork;
            double mixwGone = 0;
            while (in >> word) {
                const auto eq = word.find('=');
                if (eq == std::string::npos) continue;
                const auto name = word.substr(0, eq);
                if (name == "pid") {
                    pid = std::to_string(e) + ":" + word.substr(eq + 1);
                } else if (name == "settled") {
                    settled = word.substr(eq + 1) == "1";
                } else if (name == "at-work") {
                    atWork = word.substr(eq + 1);
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
                steady[pid + "/" + atWork][name].emplace_back(minutes, v);
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
    std::set<std::string> judged;
    for (const auto& [state, counters] : steady) {
        for (const auto& [name, points] : counters) {
            if (const auto growth = FloorGrowth(points, FirstNeedStep(name))) {
                judged.insert(state.substr(0, state.find('/')));
                auto [at, fresh] = slopes.floorPerMinute.try_emplace(name, *growth);
                if (!fresh) at->second = std::max(at->second, *growth);
            }
        }
    }
    slopes.bridgesJudged = judged.size();
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

}  // namespace linkwell::soak::chaos
