// Comparing two traces: what the bridge gave out in one run against what
// it gave out in another (a recorded session and its replay, a scenario's
// expected trace and a Windows run of it). The lines take different paths
// (the channels of the trace's vocabulary), so they are compared in order
// within each: every line's text equal and its time within a tolerance.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace linkwell::sim {

struct TimedLine {
    std::int64_t time = 0;
    std::string text;  // "KIND DETAILS"
};

// "TIME KIND DETAILS", as the line was written.
[[nodiscard]] std::string Print(const TimedLine& line);

// The first difference in a channel: a line expected and not had (no
// actual), had and not expected (no expected), or had otherwise.
struct Difference {
    std::string_view channel;
    const TimedLine* expected = nullptr;
    const TimedLine* actual = nullptr;
};

struct Comparison {
    std::vector<Difference> differences;  // in the order of the channels
    std::int64_t largestShift = 0;        // among the lines that agree
    [[nodiscard]] bool Same() const { return differences.empty(); }
};

// The text with each moved-aside not-logged.adi name's date and time of day
// written as "#" digits: a replay names the file by its own clock, the
// recorded run by the real one.
[[nodiscard]] std::string MaskMovedAsideNames(std::string text);

// Lines of kinds without a channel are not compared. Actual lines the
// expected lack are extra only up to `endMs`, when it is given: the
// expected run stopped there.
[[nodiscard]] Comparison CompareLines(const std::vector<TimedLine>& expected,
                                      const std::vector<TimedLine>& actual,
                                      std::int64_t toleranceMs,
                                      std::optional<std::int64_t> endMs = std::nullopt);

// A scenario trace as a player prints it: its lines, and the scenario's
// last time from its "# end T" line, if it has one.
struct ScenarioTrace {
    std::vector<TimedLine> lines;
    std::optional<std::int64_t> end;
};

// Throws field_trace::TraceError for a line that is no "TIME ...".
[[nodiscard]] ScenarioTrace ReadScenarioTrace(std::string_view text, std::string_view fileName);

struct TraceVerdict {
    bool same = false;
    std::string report;  // one or more lines, each indented by two blanks
};

// A run of a scenario (ACTUAL) against its expected trace. The run must
// have reached the scenario's end ("# end T"); lines after that the
// expected trace lacks are not compared. Timer controls cannot be seen from
// outside the program: their dumps are not expected.
[[nodiscard]] TraceVerdict CompareScenarioTraces(const ScenarioTrace& expected,
                                                 const ScenarioTrace& actual,
                                                 std::int64_t toleranceMs);

}  // namespace linkwell::sim
