// linkwell-sim: runs a scenario against the bridge in the simulated world
// and prints the trace; or replays a field trace recorded at a station.
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>

#include "field_trace/trace_lines.h"
#include "scenario/scenario.h"
#include "scenario/text.h"
#include "sim/replay.h"
#include "sim/world.h"
#include "version.h"
#include "vocabulary/kinds.h"

namespace {

constexpr const char* kUsage =
    "usage: linkwell-sim FILE.scn | - [--not-logged OUT.adi]\n"
    "       linkwell-sim --replay FILE.trace [--tolerance MS]\n"
    "       linkwell-sim --to-scenario FILE.trace\n"
    "       linkwell-sim --help | --version\n";

constexpr const char* kHelp =
    "Plays a scenario (FILE.scn, or - for standard input) against the bridge in the\n"
    "simulated world and prints the trace, one line per event (TIME KIND DETAILS);\n"
    "--not-logged OUT.adi also writes the simulated not-logged.adi there.\n"
    "--replay plays a field trace recorded at a station (linkwell.exe --trace) and\n"
    "says where the simulated bridge behaves differently (--tolerance: how many ms a\n"
    "line may be early or late, 400 by default); --to-scenario turns it into a\n"
    "scenario. The languages: docs/scenarios.md, docs/field-trace.md.\n"
    "Exit status: 0 done (the same), 1 a failure (the replay differs), 2 a file\n"
    "that cannot be read.\n";

std::optional<std::string> ReadAll(const std::string& file) {
    if (file == "-") return std::string(std::istreambuf_iterator<char>(std::cin), {});
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// --replay and --to-scenario. Exit status: 0 the same (or written), 1 the
// replay differs, 2 the trace cannot be read.
int FieldTrace(const std::string& mode, const std::string& file, std::int64_t tolerance) {
    const auto text = ReadAll(file);
    if (!text) {
        std::cerr << file << ":0: cannot open the file\n";
        return 2;
    }
    try {
        const auto plan = linkwell::sim::PlanReplay(*text, file);
        if (mode == "--to-scenario") {
            std::cout << plan.scenario;
            return std::cout ? 0 : 1;
        }
        const auto result = linkwell::sim::Replay(plan, tolerance);
        std::cout << result.report;
        return result.same ? 0 : 1;
    } catch (const linkwell::field_trace::TraceError& e) {
        std::cerr << e.what() << '\n';
        return 2;
    } catch (const linkwell::scenario::ScenarioError& e) {
        // A field trace whose events make no scenario (an unknown DDE item...).
        std::cerr << file << ": cannot be replayed: " << e.what() << '\n';
        return 2;
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::string first = argc > 1 ? argv[1] : "";
    if (argc == 2 && (first == "--help" || first == "-h")) {
        std::cout << kUsage << '\n' << kHelp;
        return 0;
    }
    if (argc == 2 && first == "--version") {
        std::cout << "linkwell-sim " LINKWELL_VERSION_TEXT "\n";
        return 0;
    }
    if (first.size() > 2 && first.rfind("--", 0) == 0 && first != "--replay" &&
        first != "--to-scenario") {
        std::cerr << "linkwell-sim: unknown option " << first << '\n' << kUsage;
        return 1;
    }
    if (first == "--replay" || first == "--to-scenario") {
        std::int64_t tolerance = linkwell::vocabulary::kToleranceMs;
        const bool withTolerance =
            argc == 5 && std::string(argv[3]) == "--tolerance" && first == "--replay";
        if (withTolerance) {
            try {
                tolerance = std::stoll(argv[4]);
            } catch (const std::exception&) {
                tolerance = -1;
            }
        }
        if ((argc != 3 && !withTolerance) || tolerance < 0) {
            std::cerr << kUsage;
            return 1;
        }
        return FieldTrace(first, argv[2], tolerance);
    }
    // --not-logged OUT.adi: the simulated not-logged.adi as the run left it,
    // in the code page the Windows program writes it in (none: no file).
    const bool withFile = argc == 4 && std::string(argv[2]) == "--not-logged";
    if (argc != 2 && !withFile) {
        std::cerr << kUsage;
        return 1;
    }
    const std::string file = argv[1];
    const auto source = ReadAll(file);
    if (!source) {
        std::cerr << file << ":0: cannot open the file\n";
        return 2;
    }
    try {
        auto actions = linkwell::scenario::ParseScenario(*source, file);
        linkwell::sim::World world(std::move(actions), std::cout);
        (void)world.Run();
        std::cout.flush();
        if (withFile && world.NotLogged()) {
            std::ofstream out(argv[3], std::ios::binary);
            out << linkwell::scenario::ToAnsi(*world.NotLogged());
            if (!out) {
                std::cerr << argv[3] << ":0: cannot write the file\n";
                return 1;
            }
        }
        return std::cout ? 0 : 1;
    } catch (const linkwell::scenario::ScenarioError& e) {
        std::cerr << e.what() << '\n';
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "linkwell-sim: " << e.what() << '\n';
        return 1;
    }
}
