#include "sim/compare.h"

#include <algorithm>
#include <charconv>
#include <map>

#include "field_trace/trace_lines.h"
#include "vocabulary/kinds.h"

namespace linkwell::sim {
namespace {

std::int64_t Shift(std::int64_t a, std::int64_t b) {
    return a > b ? a - b : b - a;
}

std::string_view KindOf(const TimedLine& line) {
    return std::string_view(line.text).substr(0, line.text.find(' '));
}

// A damaged not-logged.adi is moved aside under a name made of the date and
// time of day, which a Windows run takes from the real clock: an expected
// trace may write that name with each digit as "#".
constexpr std::string_view kMovedAsideMasked = "not-logged-########-######.adi";

bool SameText(std::string_view want, std::string_view got) {
    if (want.size() != got.size()) return false;
    for (std::size_t i = 0; i < want.size();) {
        if (want.substr(i, kMovedAsideMasked.size()) != kMovedAsideMasked) {
            if (want[i] != got[i]) return false;
            ++i;
            continue;
        }
        for (const char w : kMovedAsideMasked) {
            const char g = got[i++];
            if (w == '#' ? g < '0' || g > '9' : w != g) return false;
        }
    }
    return true;
}

}  // namespace

std::string MaskMovedAsideNames(std::string text) {
    constexpr std::string_view prefix = "not-logged-";
    for (auto at = text.find(prefix); at != std::string::npos; at = text.find(prefix, at + 1)) {
        const std::size_t from = at + prefix.size();
        if (from + kMovedAsideMasked.size() - prefix.size() > text.size()) break;
        bool name = true;
        for (std::size_t i = prefix.size(); i < kMovedAsideMasked.size() && name; ++i) {
            const char w = kMovedAsideMasked[i];
            const char g = text[at + i];
            name = w == '#' ? g >= '0' && g <= '9' : w == g;
        }
        if (name) text.replace(at, kMovedAsideMasked.size(), kMovedAsideMasked);
    }
    return text;
}

namespace {

using Channels = std::map<std::string_view, std::vector<const TimedLine*>>;

Channels ByChannel(const std::vector<TimedLine>& lines) {
    Channels out;
    for (const auto& l : lines) {
        const auto channel = vocabulary::ChannelOf(KindOf(l));
        if (!channel.empty()) out[channel].push_back(&l);
    }
    return out;
}

// The first difference within one channel, if any.
std::optional<Difference> CompareChannel(std::string_view channel,
                                         const std::vector<const TimedLine*>& want,
                                         const std::vector<const TimedLine*>& got,
                                         std::int64_t toleranceMs,
                                         std::optional<std::int64_t> endMs, std::int64_t& largest) {
    for (std::size_t i = 0; i < want.size(); ++i) {
        if (i >= got.size()) return Difference{channel, want[i], nullptr};
        if (!SameText(want[i]->text, got[i]->text) ||
            Shift(want[i]->time, got[i]->time) > toleranceMs) {
            return Difference{channel, want[i], got[i]};
        }
        largest = std::max(largest, Shift(want[i]->time, got[i]->time));
    }
    for (std::size_t i = want.size(); i < got.size(); ++i) {
        if (!endMs || got[i]->time <= *endMs) return Difference{channel, nullptr, got[i]};
    }
    return std::nullopt;
}

// "TIME" alone, a decimal number with an optional sign.
std::optional<std::int64_t> Number(std::string_view text) {
    if (!text.empty() && text[0] == '+') text.remove_prefix(1);
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

bool IsTimerDump(const TimedLine& line) {
    // "CTRL Timer " or "CTRL TimerN ": the form's timers.
    constexpr std::string_view prefix = "CTRL Timer";
    if (line.text.rfind(prefix, 0) != 0) return false;
    std::size_t at = prefix.size();
    if (at < line.text.size() && line.text[at] >= '0' && line.text[at] <= '9') ++at;
    return at < line.text.size() && line.text[at] == ' ';
}

}  // namespace

std::string Print(const TimedLine& line) {
    return std::to_string(line.time) + " " + line.text;
}

Comparison CompareLines(const std::vector<TimedLine>& expected,
                        const std::vector<TimedLine>& actual, std::int64_t toleranceMs,
                        std::optional<std::int64_t> endMs) {
    auto want = ByChannel(expected);
    auto got = ByChannel(actual);
    Comparison out;
    for (const auto channel : vocabulary::kChannels) {
        if (auto d = CompareChannel(channel, want[channel], got[channel], toleranceMs, endMs,
                                    out.largestShift)) {
            out.differences.push_back(*d);
        }
    }
    return out;
}

ScenarioTrace ReadScenarioTrace(std::string_view text, std::string_view fileName) {
    ScenarioTrace out;
    int lineNo = 0;
    while (!text.empty()) {
        const std::size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);
        ++lineNo;
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
        if (line.empty()) continue;
        auto fail = [&](const char* what) {
            return field_trace::TraceError(std::string(fileName) + ":" + std::to_string(lineNo) +
                                           ": " + what);
        };
        constexpr std::string_view endMark = "# end ";
        if (line.rfind(endMark, 0) == 0) {
            auto rest = line.substr(endMark.size());
            rest.remove_prefix(std::min(rest.find_first_not_of(' '), rest.size()));
            out.end = Number(rest.substr(0, rest.find(' ')));
            if (!out.end) throw fail("bad end time");
            continue;
        }
        const auto space = line.find(' ');
        const auto time = Number(line.substr(0, space));
        if (!time) throw fail("a line is TIME KIND DETAILS");
        out.lines.push_back(
            {*time, std::string(space == std::string_view::npos ? "" : line.substr(space + 1))});
    }
    return out;
}

TraceVerdict CompareScenarioTraces(const ScenarioTrace& expected, const ScenarioTrace& actual,
                                   std::int64_t toleranceMs) {
    if (!actual.end) return {false, "  the run did not finish (no end marker)\n"};
    std::vector<TimedLine> want;
    for (const auto& l : expected.lines) {
        if (!IsTimerDump(l)) want.push_back(l);
    }
    const auto comparison = CompareLines(want, actual.lines, toleranceMs, actual.end);
    std::string report;
    for (const auto& d : comparison.differences) {
        if (!d.actual) {
            report += "  missing:  " + Print(*d.expected) + "\n";
        } else if (!d.expected) {
            report += "  extra:    " + Print(*d.actual) + "\n";
        } else {
            report +=
                "  expected: " + Print(*d.expected) + "\n  actual:   " + Print(*d.actual) + "\n";
        }
    }
    return {comparison.Same(), report};
}

}  // namespace linkwell::sim
