// linkwell-chaos: the chaos run's generator and checker (soak/chaos.h,
// soak/chaos_check.h); scripts/test-wine-chaos plays the sessions between.
//
//   linkwell-chaos generate --seed N --minutes M --out DIR [--floods-only]
//       DIR/session-K.scn for each session, DIR/loggings.tsv
//   linkwell-chaos check --seed N --dir DIR [--judge-resources]
//       reads DIR/session-K.{scn,trace,err} (and .log, .not-logged.adi,
//       .not-logged-unsaved.adi where there), prints each violation, the
//       figures, and last "N passed, M failed"; exits 1 when one failed
//   linkwell-chaos latency DIR ...
//       p50, p99 and max of the three paths over every session of the DIRs
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "soak/chaos.h"
#include "soak/chaos_check.h"

namespace {

namespace chaos = linkwell::soak::chaos;
namespace fs = std::filesystem;

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

bool Write(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    return static_cast<bool>(out);
}

fs::path SessionFile(const fs::path& dir, int k, const std::string& ext) {
    return dir / ("session-" + std::to_string(k) + ext);
}

// When the scenario closes the bridge or ends its session.
std::int64_t EndsAt(const std::string& scenario) {
    std::int64_t clock = 0;
    std::size_t from = 0;
    while (from < scenario.size()) {
        auto to = scenario.find('\n', from);
        if (to == std::string::npos) to = scenario.size();
        const std::string line = scenario.substr(from, to - from);
        if (line.starts_with("at ")) clock = std::stoll(line.substr(3));
        if (line == "close" || line == "session end") return clock;
        from = to + 1;
    }
    return clock;
}

int Generate(std::uint64_t seed, std::int64_t minutes, bool floodsOnly, const fs::path& out) {
    const auto day = chaos::Generate(seed, minutes, floodsOnly);
    fs::create_directories(out);
    for (const auto& s : day.sessions) {
        if (!Write(SessionFile(out, s.number, ".scn"), s.scenario)) return 64;
    }
    if (!Write(out / "loggings.tsv", chaos::LoggingsFile(day))) return 64;
    std::size_t loggings = 0;
    for (const auto& s : day.sessions) loggings += s.loggings.size();
    std::cout << "sessions=" << day.sessions.size() << " loggings=" << loggings << "\n";
    return 0;
}

int Check(std::uint64_t seed, const fs::path& dir, bool judgeResources) {
    const auto made = chaos::ReadLoggingsFile(Read(dir / "loggings.tsv"));
    std::vector<chaos::SessionRun> runs;
    std::vector<std::string> errs;
    std::size_t kept = 0, inDoubt = 0, taken = 0, kills = 0, l32Kills = 0, mixwKills = 0;
    for (int k = 1; fs::exists(SessionFile(dir, k, ".scn")); ++k) {
        chaos::SessionRun run;
        run.number = k;
        const auto scenario = Read(SessionFile(dir, k, ".scn"));
        run.endsAt = EndsAt(scenario);
        run.trace = Read(SessionFile(dir, k, ".trace"));
        run.err = Read(SessionFile(dir, k, ".err"));
        const auto log = SessionFile(dir, k, ".log");
        run.taken = fs::exists(log) ? chaos::ReadLogger32Log(k, Read(log), true)
                                    : chaos::ReadLogger32Log(k, run.trace, false);
        for (const char* name : {".not-logged.adi", ".not-logged-unsaved.adi"}) {
            for (auto& record : chaos::ReadKept(Read(SessionFile(dir, k, name)))) {
                inDoubt += record.inDoubt ? 1 : 0;
                run.kept.push_back(std::move(record));
            }
        }
        kept += run.kept.size();
        taken += run.taken.size();
        kills += scenario.find("peers bridge-kill=") != std::string::npos ? 1 : 0;
        // A stop while the peer hangs is the Task Manager's end of a hung program.
        std::size_t at = 0;
        while ((at = scenario.find(" hang ", at)) != std::string::npos) {
            const bool logger32 =
                scenario.compare(scenario.rfind('\n', at) + 1, 8, "logger32") == 0;
            const auto next = scenario.find(logger32 ? "logger32 " : "mixw ", at + 6);
            if (next != std::string::npos &&
                scenario.compare(next, logger32 ? 13 : 9,
                                 logger32 ? "logger32 stop" : "mixw stop") == 0) {
                ++(logger32 ? l32Kills : mixwKills);
            }
            at += 6;
        }
        errs.push_back(run.err);
        runs.push_back(std::move(run));
    }
    auto violations = chaos::CheckExactlyOnce(seed, made, runs);
    int passed = 0, failed = 0;
    std::int64_t longest = 0;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        auto& mine = violations[runs[i].number];
        for (auto& v : chaos::CheckSessionRun(seed, runs[i])) mine.push_back(std::move(v));
        for (auto& v : chaos::CheckSlopes(seed, runs[i].number, chaos::ResourceSlopes({errs[i]}))) {
            if (judgeResources) {
                mine.push_back(std::move(v));
            } else {
                std::cout << "RESOURCES NOT JUDGED " << v << "\n";
            }
        }
        for (const auto& v : mine) std::cout << "VIOLATION " << v << "\n";
        (mine.empty() ? passed : failed) += 1;
        std::size_t from = runs[i].err.find("FIGURE longest-unanswered-ms ");
        if (from != std::string::npos)
            longest = std::max<std::int64_t>(longest, std::stoll(runs[i].err.substr(from + 29)));
    }
    const auto slopes = chaos::ResourceSlopes(errs);
    std::cout << "loggings made " << made.size() << ", taken " << taken << ", kept " << kept
              << " (in doubt " << inDoubt << ")\n"
              << "bridge kills " << kills << ", hung Logger32 ended " << l32Kills
              << ", hung MixW2 ended " << mixwKills << "\n"
              << "longest unanswered " << longest << " ms\n"
              << "resource slopes per minute over " << slopes.samples << " samples:";
    for (const auto& [name, slope] : slopes.perMinute) std::cout << " " << name << " " << slope;
    std::cout << "\nfastest floor growth per minute:";
    for (const auto& [name, slope] : slopes.floorPerMinute)
        std::cout << " " << name << " " << slope;
    std::cout << "\nfloors judged for " << slopes.bridgesJudged << " of " << slopes.bridges
              << " bridges (the others had too few settled samples)\n";
    if (!judgeResources) std::cout << "resources: reported, not judged (--judge-resources)\n";
    std::cout << passed << " passed, " << failed << " failed\n";
    return failed == 0 ? 0 : 1;
}

int Latency(const std::vector<fs::path>& dirs) {
    chaos::Latencies l;
    for (const auto& dir : dirs) {
        for (int k = 1; fs::exists(SessionFile(dir, k, ".scn")); ++k) {
            chaos::AddLatencies(Read(SessionFile(dir, k, ".scn")),
                                Read(SessionFile(dir, k, ".trace")), l);
        }
    }
    std::cout << "spot-to-macros " << chaos::Percentiles(l.spotToMacros) << "\n"
              << "save-to-logging " << chaos::Percentiles(l.saveToLogging) << "\n"
              << "khz-to-force-freq " << chaos::Percentiles(l.khzToForceFreq) << "\n";
    return 0;
}

int Usage() {
    std::cerr << "usage: linkwell-chaos generate --seed N --minutes M --out DIR [--floods-only]\n"
                 "       linkwell-chaos check --seed N --dir DIR [--judge-resources]\n"
                 "       linkwell-chaos latency DIR ...\n";
    return 64;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    const std::string command = argv[1];
    std::uint64_t seed = 1;
    std::int64_t minutes = 3;
    fs::path dir;
    std::vector<fs::path> dirs;
    bool floodsOnly = false;
    bool judgeResources = false;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--seed" && i + 1 < argc) {
            seed = std::stoull(argv[++i]);
        } else if (arg == "--minutes" && i + 1 < argc) {
            minutes = std::stoll(argv[++i]);
        } else if ((arg == "--out" || arg == "--dir") && i + 1 < argc) {
            dir = argv[++i];
        } else if (arg == "--floods-only") {
            floodsOnly = true;
        } else if (arg == "--judge-resources") {
            judgeResources = true;
        } else if (command == "latency") {
            dirs.emplace_back(arg);
        } else {
            return Usage();
        }
    }
    if (command == "generate" && !dir.empty()) return Generate(seed, minutes, floodsOnly, dir);
    if (command == "check" && !dir.empty()) return Check(seed, dir, judgeResources);
    if (command == "latency" && !dirs.empty()) return Latency(dirs);
    return Usage();
}
