// Comparing traces: a scenario's expected trace against a run of it (the
// tolerance both ways, missing and extra lines, the end marker, timer
// dumps), and the line comparison the replay shares.
#include "sim/compare.h"

#include <gtest/gtest.h>

#include <string>

#include "field_trace/trace_lines.h"

namespace {

using linkwell::sim::CompareLines;
using linkwell::sim::ReadScenarioTrace;
using linkwell::sim::TraceVerdict;

TraceVerdict Compare(const std::string& expected, const std::string& actual,
                     std::int64_t toleranceMs = 400) {
    return linkwell::sim::CompareScenarioTraces(ReadScenarioTrace(expected, "expected"),
                                                ReadScenarioTrace(actual, "actual"), toleranceMs);
}

constexpr const char* kExpected =
    "0 STATUS \"MixW2 not found\"\n"
    "5000 L32 post \"Logger32 1\" 1 hwnd:Linkwell\n"
    "5200 STATUS \"MixW2 control active !\"\n"
    "8000 MIXW ExecuteMacros \"<MODE:BPSK31>\"\n";

TEST(CompareTraces, TheSameLinesAreTheSame) {
    const auto v = Compare(kExpected, std::string(kExpected) + "# end 9000\n");
    EXPECT_TRUE(v.same);
    EXPECT_EQ(v.report, "");
}

TEST(CompareTraces, ALineMayBeLateOrEarlyByTheToleranceAndNoMore) {
    const std::string late = "5400 L32 post \"Logger32 1\" 1 hwnd:Linkwell\n# end 9000\n";
    const std::string early = "4600 L32 post \"Logger32 1\" 1 hwnd:Linkwell\n# end 9000\n";
    const std::string expected = "5000 L32 post \"Logger32 1\" 1 hwnd:Linkwell\n";
    EXPECT_TRUE(Compare(expected, late, 400).same);
    EXPECT_TRUE(Compare(expected, early, 400).same);
    const auto lateVerdict = Compare(expected, late, 399);
    EXPECT_FALSE(lateVerdict.same);
    EXPECT_EQ(lateVerdict.report,
              "  expected: 5000 L32 post \"Logger32 1\" 1 hwnd:Linkwell\n"
              "  actual:   5400 L32 post \"Logger32 1\" 1 hwnd:Linkwell\n");
    EXPECT_FALSE(Compare(expected, early, 399).same);
}

TEST(CompareTraces, AnotherTextIsADifferenceWithinTheTolerance) {
    const auto v = Compare("100 STATUS \"a\"\n", "100 STATUS \"b\"\n# end 200\n");
    EXPECT_FALSE(v.same);
    EXPECT_EQ(v.report, "  expected: 100 STATUS \"a\"\n  actual:   100 STATUS \"b\"\n");
}

TEST(CompareTraces, AMissingLineIsReportedOnceForItsChannel) {
    const std::string actual =
        "0 STATUS \"MixW2 not found\"\n"
        "5200 STATUS \"MixW2 control active !\"\n"
        "8000 MIXW ExecuteMacros \"<MODE:BPSK31>\"\n"
        "# end 9000\n";
    const auto v = Compare(kExpected, actual);
    EXPECT_FALSE(v.same);
    // The MIXW line is on the same path as the missing post: it is the one
    // compared with it, and what follows a difference is not reported.
    EXPECT_EQ(v.report,
              "  expected: 5000 L32 post \"Logger32 1\" 1 hwnd:Linkwell\n"
              "  actual:   8000 MIXW ExecuteMacros \"<MODE:BPSK31>\"\n");
    const auto none = Compare(kExpected, "0 STATUS \"MixW2 not found\"\n# end 9000\n");
    EXPECT_EQ(none.report,
              "  missing:  5000 L32 post \"Logger32 1\" 1 hwnd:Linkwell\n"
              "  missing:  5200 STATUS \"MixW2 control active !\"\n");
}

TEST(CompareTraces, AnExtraLineCountsUpToTheEndOnly) {
    const std::string before = std::string(kExpected) + "8500 STATUS \"again\"\n# end 9000\n";
    const auto v = Compare(kExpected, before);
    EXPECT_FALSE(v.same);
    EXPECT_EQ(v.report, "  extra:    8500 STATUS \"again\"\n");
    const std::string atEnd = std::string(kExpected) + "9000 END\n# end 9000\n";
    EXPECT_EQ(Compare(kExpected, atEnd).report, "  extra:    9000 END\n");
    // The simulated run stops at the end; the real one went on.
    const std::string after =
        std::string(kExpected) + "9001 STATUS \"again\"\n9500 END\n# end 9000\n";
    EXPECT_TRUE(Compare(kExpected, after).same);
}

TEST(CompareTraces, ARunWithoutItsEndMarkerDidNotFinish) {
    const auto v = Compare(kExpected, kExpected);
    EXPECT_FALSE(v.same);
    EXPECT_EQ(v.report, "  the run did not finish (no end marker)\n");
}

TEST(CompareTraces, TimerDumpsAreNotExpected) {
    const std::string expected =
        "100 CTRL Timer enabled=0\n"
        "100 CTRL Timer1 interval=100 enabled=1\n"
        "100 CTRL Text1 text=\"x\"\n";
    EXPECT_TRUE(Compare(expected, "100 CTRL Text1 text=\"x\"\n# end 100\n").same);
    EXPECT_EQ(Compare(expected, "# end 100\n").report, "  missing:  100 CTRL Text1 text=\"x\"\n");
    // Only the form's timers: "Timer" and one digit.
    EXPECT_EQ(Compare("100 CTRL Timer12 enabled=0\n", "# end 100\n").report,
              "  missing:  100 CTRL Timer12 enabled=0\n");
}

TEST(CompareTraces, NotLoggedAdiAndTheBridgesAreChannelsOfTheirOwn) {
    const std::string expected =
        "100 FILE \"not-logged.adi\" 1\n"
        "200 BRIDGE killed\n"
        "250 BRIDGE started\n"
        "300 SECOND ended 0\n"
        "400 STATUS \"a\"\n";
    // Lines of other channels may come in another order.
    const std::string actual =
        "90 STATUS \"a\"\n"
        "200 BRIDGE killed\n"
        "250 BRIDGE started\n"
        "300 SECOND ended 0\n"
        "310 FILE \"not-logged.adi\" 1\n"
        "# end 500\n";
    EXPECT_TRUE(Compare(expected, actual).same);
    const std::string swapped =
        "100 FILE \"not-logged.adi\" 1\n"
        "200 BRIDGE killed\n"
        "250 SECOND ended 0\n"
        "300 BRIDGE started\n"
        "400 STATUS \"a\"\n"
        "# end 500\n";
    EXPECT_EQ(Compare(expected, swapped).report,
              "  expected: 250 BRIDGE started\n  actual:   250 SECOND ended 0\n");
    // Each channel's first difference, the channels in one order.
    EXPECT_EQ(Compare(expected, "100 FILE \"not-logged.adi\" 2\n# end 50\n").report,
              "  missing:  400 STATUS \"a\"\n"
              "  expected: 100 FILE \"not-logged.adi\" 1\n"
              "  actual:   100 FILE \"not-logged.adi\" 2\n"
              "  missing:  200 BRIDGE killed\n");
}

TEST(CompareTraces, AMovedAsideNameWrittenMaskedTakesAnyDateAndTimeThereOnly) {
    const std::string expected =
        "100 FILE \"not-logged-########-######.adi\" 1\n"
        "200 STATUS \"not-logged.adi was damaged: moved to not-logged-########-######.adi\"\n";
    EXPECT_TRUE(Compare(expected,
                        "100 FILE \"not-logged-20271231-235959.adi\" 1\n"
                        "200 STATUS \"not-logged.adi was damaged: moved to "
                        "not-logged-20271231-235959.adi\"\n# end 300\n")
                    .same);
    // A digit missing or one too many, a letter, the count, or a "#" that is
    // not in that name are differences.
    for (const char* wrong : {"100 FILE \"not-logged-2027123-235959.adi\" 1\n",
                              "100 FILE \"not-logged-20271231-2359590.adi\" 1\n",
                              "100 FILE \"not-logged-2027123x-235959.adi\" 1\n",
                              "100 FILE \"not-logged-20271231-235959.adi\" 2\n",
                              "100 FILE \"not-logged-20271231_235959.adi\" 1\n"}) {
        EXPECT_FALSE(Compare("100 FILE \"not-logged-########-######.adi\" 1\n",
                             std::string(wrong) + "# end 300\n")
                         .same)
            << wrong;
    }
    EXPECT_FALSE(Compare("100 STATUS \"#1\"\n", "100 STATUS \"11\"\n# end 300\n").same);
    // Written out, the name is compared as it stands.
    EXPECT_FALSE(Compare("100 FILE \"not-logged-20261209-000004.adi\" 1\n",
                         "100 FILE \"not-logged-20261209-000005.adi\" 1\n# end 300\n")
                     .same);
}

TEST(CompareTraces, AReplayMasksTheRecordedRunsMovedAsideNamesOnly) {
    // A field trace names the file by the real clock, its replay by its own.
    EXPECT_EQ(
        linkwell::sim::MaskMovedAsideNames("STATUS \"moved to not-logged-20261210-023718.adi\""),
        "STATUS \"moved to not-logged-########-######.adi\"");
    for (const char* kept :
         {"not-logged.adi", "not-logged-unsaved.adi", "not-logged-2026121-023718.adi",
          "not-logged-20261210-02371.adi", "x not-logged-20261210"}) {
        EXPECT_EQ(linkwell::sim::MaskMovedAsideNames(kept), kept);
    }
}

TEST(CompareTraces, IncomingAndUnknownKindsAreNotCompared) {
    EXPECT_TRUE(
        Compare("100 CLICK Command2\n200 NOSUCH x\n", "50 WAITED send 300\n# end 100\n").same);
}

TEST(CompareTraces, ReadsWindowsLineEndsBlankLinesAndTheEnd) {
    const auto t = ReadScenarioTrace("\r\n100 STATUS \"a\"\r\n\n# end  700\r\n", "t");
    ASSERT_EQ(t.lines.size(), 1u);
    EXPECT_EQ(t.lines[0].time, 100);
    EXPECT_EQ(t.lines[0].text, "STATUS \"a\"");
    EXPECT_EQ(t.end, 700);
    EXPECT_EQ(ReadScenarioTrace("5 END", "t").lines[0].text, "END");
    for (const char* bad : {"x STATUS \"a\"\n", "# other\n", "# end x\n"}) {
        try {
            (void)ReadScenarioTrace(std::string("1 END\n") + bad, "t.trace");
            ADD_FAILURE() << bad;
        } catch (const linkwell::field_trace::TraceError& e) {
            EXPECT_EQ(std::string(e.what()).substr(0, 10), "t.trace:2:") << bad;
        }
    }
}

TEST(CompareLines, WithoutAnEndEveryExtraLineCountsAndTheLargestShiftIsKept) {
    const std::vector<linkwell::sim::TimedLine> want{{100, "STATUS \"a\""}, {200, "END"}};
    std::vector<linkwell::sim::TimedLine> got{{130, "STATUS \"a\""}, {190, "END"}};
    auto c = CompareLines(want, got, 30);
    EXPECT_TRUE(c.Same());
    EXPECT_EQ(c.largestShift, 30);
    got.push_back({100000, "STATUS \"b\""});
    c = CompareLines(want, got, 30);
    ASSERT_EQ(c.differences.size(), 1u);
    EXPECT_EQ(c.differences[0].channel, "status line");
    EXPECT_EQ(c.differences[0].expected, nullptr);
    EXPECT_EQ(c.differences[0].actual, &got[2]);
    EXPECT_EQ(linkwell::sim::Print(got[2]), "100000 STATUS \"b\"");
}

}  // namespace
