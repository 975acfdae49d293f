// linkwell-sim: runs a scenario against the bridge in the simulated world
// and prints the trace; or replays a field trace recorded at a station.
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "field_trace/output.h"
#include "field_trace/trace_lines.h"
#include "scenario/scenario.h"
#include "sim/compare.h"
#include "sim/replay.h"
#include "sim/world.h"
#include "text/text.h"
#include "version.h"
#include "vocabulary/kinds.h"

namespace {

constexpr const char* kUsage =
    "usage: linkwell-sim FILE.scn | - [--not-logged OUT.adi] [--trace OUT.trace]\n"
    "       linkwell-sim --replay FILE.trace [--tolerance MS]\n"
    "       linkwell-sim --to-scenario FILE.trace\n"
    "       linkwell-sim --compare-replayed FILE.trace PLAYED.trace [--tolerance MS]\n"
    "       linkwell-sim --compare EXPECTED ACTUAL [--tolerance MS]\n"
    "       linkwell-sim --help | --version\n";

constexpr const char* kHelp =
    "Plays a scenario (FILE.scn, or - for standard input) against the bridge in the\n"
    "simulated world and prints the trace, one line per event (TIME KIND DETAILS);\n"
    "--not-logged OUT.adi also writes the simulated not-logged.adi there, --trace\n"
    "OUT.trace the bridge's field trace of the run (as linkwell.exe --trace).\n"
    "--replay plays a field trace recorded at a station (linkwell.exe --trace) and\n"
    "says where the simulated bridge behaves differently (--tolerance: how many ms a\n"
    "line may be early or late, 400 by default); --to-scenario turns it into a\n"
    "scenario; --compare-replayed compares FILE.trace with the field trace a run of\n"
    "that scenario wrote (PLAYED.trace, by --trace) as --replay compares its own.\n"
    "--compare compares a run of a scenario (ACTUAL, ending in \"# end T\")\n"
    "with its expected trace, in order within each path, each line within the\n"
    "tolerance, and prints the first difference in each path.\n"
    "The languages: docs/scenarios.md, docs/field-trace.md.\n"
    "Exit status: 0 done (the same), 1 a failure (the replay or the comparison\n"
    "differs), 2 a file that cannot be read.\n";

std::optional<std::string> ReadAll(const std::string& file) {
    if (file == "-") return std::string(std::istreambuf_iterator<char>(std::cin), {});
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// --replay, --to-scenario and --compare-replayed (PLAYED: the simulated
// bridge's field trace). Exit status: 0 the same (or written), 1 the replay
// differs, 2 a trace cannot be read.
int FieldTrace(const std::string& mode, const std::string& file, const std::string& played,
               std::int64_t tolerance) {
    const auto text = ReadAll(file);
    const auto playedText = played.empty() ? std::optional<std::string>("") : ReadAll(played);
    if (!text || !playedText) {
        std::cerr << (text ? played : file) << ":0: cannot open the file\n";
        return 2;
    }
    try {
        const auto plan = linkwell::sim::PlanReplay(*text, file);
        if (mode == "--to-scenario") {
            std::cout << plan.scenario;
            return std::cout ? 0 : 1;
        }
        const auto result = played.empty()
                                ? linkwell::sim::Replay(plan, tolerance)
                                : linkwell::sim::CompareReplayed(plan, *playedText, tolerance);
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

// "--tolerance MS" at args[at], or the default when args end before it;
// nothing for anything else.
std::optional<std::int64_t> Tolerance(const std::vector<std::string>& args, std::size_t at) {
    if (args.size() == at) return linkwell::vocabulary::kToleranceMs;
    if (args.size() != at + 2 || args[at] != "--tolerance") return std::nullopt;
    try {
        const std::int64_t ms = std::stoll(args[at + 1]);
        if (ms >= 0) return ms;
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

// --compare EXPECTED ACTUAL: 0 the same, 1 they differ, 2 a file that
// cannot be read.
int CompareTraces(const std::string& expectedFile, const std::string& actualFile,
                  std::int64_t tolerance) {
    const auto expected = ReadAll(expectedFile);
    const auto actual = ReadAll(actualFile);
    if (!expected || !actual) {
        std::cerr << (expected ? actualFile : expectedFile) << ":0: cannot open the file\n";
        return 2;
    }
    try {
        const auto verdict = linkwell::sim::CompareScenarioTraces(
            linkwell::sim::ReadScenarioTrace(*expected, expectedFile),
            linkwell::sim::ReadScenarioTrace(*actual, actualFile), tolerance);
        std::cout << verdict.report;
        return verdict.same ? 0 : 1;
    } catch (const linkwell::field_trace::TraceError& e) {
        std::cerr << e.what() << '\n';
        return 2;
    }
}

// Writes `text` to `file`; false (said on stderr) when it cannot.
bool WriteFile(const std::string& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary);
    out << text;
    if (out) return true;
    std::cerr << file << ":0: cannot write the file\n";
    return false;
}

// Plays FILE.scn in the simulated world, printing its trace.
//   --not-logged OUT.adi: the simulated not-logged.adi as the run left it,
//     in the code page the Windows program writes it in (none: no file);
//   --trace OUT.trace: the bridge's field trace of the run, as
//     linkwell.exe --trace writes it (a replay's scenario checked against
//     the trace it came from).
int PlayScenario(const std::vector<std::string>& args) {
    std::optional<std::string> notLoggedFile;
    std::optional<std::string> traceFile;
    bool usage = args.empty() || args[0].rfind("--", 0) == 0;
    for (std::size_t i = 1; i < args.size() && !usage; i += 2) {
        std::optional<std::string>* option = args[i] == "--not-logged" ? &notLoggedFile
                                             : args[i] == "--trace"    ? &traceFile
                                                                       : nullptr;
        usage = option == nullptr || option->has_value() || i + 1 >= args.size();
        if (!usage) *option = args[i + 1];
    }
    if (usage) {
        std::cerr << kUsage;
        return 1;
    }
    const std::string& file = args[0];
    const auto source = ReadAll(file);
    if (!source) {
        std::cerr << file << ":0: cannot open the file\n";
        return 2;
    }
    try {
        auto scenario = linkwell::scenario::ReadScenario(*source, file);
        linkwell::field_trace::MemoryFile trace(u"trace");
        linkwell::field_trace::Output traceOutput(trace);
        {
            linkwell::sim::World world(std::move(scenario.actions), std::cout,
                                       traceFile ? &traceOutput : nullptr);
            if (scenario.udp) world.AnnounceOnUdp(*scenario.udp);
            (void)world.Run();
            std::cout.flush();
            if (notLoggedFile && world.NotLogged() &&
                !WriteFile(*notLoggedFile, linkwell::text::ToAnsi(*world.NotLogged()))) {
                return 1;
            }
        }
        if (traceFile && !WriteFile(*traceFile, trace.Text())) return 1;
        return std::cout ? 0 : 1;
    } catch (const linkwell::scenario::ScenarioError& e) {
        std::cerr << e.what() << '\n';
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "linkwell-sim: " << e.what() << '\n';
        return 1;
    }
}

// The options that take files: --replay, --to-scenario, --compare-replayed,
// --compare.
int WithFiles(const std::vector<std::string>& args) {
    const std::string& mode = args[0];
    const std::size_t files = mode == "--compare" || mode == "--compare-replayed" ? 2 : 1;
    const auto tolerance = args.size() > files ? Tolerance(args, files + 1) : std::nullopt;
    if (!tolerance || (mode == "--to-scenario" && args.size() != 2)) {
        std::cerr << kUsage;
        return 1;
    }
    if (mode == "--compare") return CompareTraces(args[1], args[2], *tolerance);
    return FieldTrace(mode, args[1], mode == "--compare-replayed" ? args[2] : "", *tolerance);
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const std::string first = args.empty() ? "" : args[0];
    if (args.size() == 1 && (first == "--help" || first == "-h")) {
        std::cout << kUsage << '\n' << kHelp;
        return 0;
    }
    if (args.size() == 1 && first == "--version") {
        std::cout << "linkwell-sim " LINKWELL_VERSION_TEXT "\n";
        return 0;
    }
    if (first == "--replay" || first == "--to-scenario" || first == "--compare" ||
        first == "--compare-replayed") {
        return WithFiles(args);
    }
    if (first.size() > 2 && first.rfind("--", 0) == 0) {
        std::cerr << "linkwell-sim: unknown option " << first << '\n' << kUsage;
        return 1;
    }
    if (args.empty()) {
        std::cerr << kUsage;
        return 1;
    }
    return PlayScenario(args);
}
