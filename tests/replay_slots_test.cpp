// The replay's action slots: actions in time order, setting-up actions at 0
// first, an action placed before one planned earlier, and the marks the
// peers' parts place their states by; and reading a line's details.
#include "sim/replay_slots.h"

#include <gtest/gtest.h>

#include <string>

#include "field_trace/trace_lines.h"

namespace {

using linkwell::sim::ReplaySlots;

TEST(ReplaySlots, ActionsInTimeOrderEachTimeOnceEndingAtTheEnd) {
    ReplaySlots slots;
    slots.Add(500, "click Command2");
    slots.Add(100, "mixw start");
    slots.Add(500, "ok");
    EXPECT_EQ(slots.Scenario(900), "at 100\nmixw start\nat 500\nclick Command2\nok\nat 900\n");
}

TEST(ReplaySlots, SettingUpActionsAtZeroComeBeforeCommentsThere) {
    ReplaySlots slots;
    slots.Add(0, "# recorded: 0 STATUS \"a\"");
    slots.Add(0, "mixw refuse Call");
    EXPECT_EQ(slots.Scenario(0), "mixw refuse Call\n# recorded: 0 STATUS \"a\"\n");
}

TEST(ReplaySlots, AStateLearntLaterIsPlacedBeforeTheEventThatMetIt) {
    ReplaySlots slots;
    slots.Add(800, "# recorded: 800 STATUS \"a\"");
    slots.MarkOutgoing();
    slots.Add(800, "mixw dde khz \"7031.0\"");  // the event that made the send
    slots.Add(800, "# recorded: 800 L32 text \"x\"");
    slots.MarkOutgoing();
    EXPECT_EQ(slots.Mark(), 3);
    EXPECT_EQ(slots.LineMark(), 1);
    // What became of the send: Logger32 was gone before the event.
    slots.Add(800, "logger32 stop", ReplaySlots::Before(slots.LineMark()));
    EXPECT_EQ(slots.Scenario(800),
              "at 800\n# recorded: 800 STATUS \"a\"\nlogger32 stop\nmixw dde khz \"7031.0\"\n"
              "# recorded: 800 L32 text \"x\"\n");
}

TEST(ReplaySlots, MarksFollowTheLinesThatSetThem) {
    ReplaySlots slots;
    slots.Add(1, "a");
    slots.MarkOutgoing();
    slots.Add(2, "b");
    slots.Add(3, "c");
    EXPECT_EQ(slots.Planned(), 3);
    EXPECT_EQ(slots.Next(), 6);
    EXPECT_EQ(ReplaySlots::Before(2), 3);
    slots.MarkOutgoing();
    EXPECT_EQ(slots.LineMark(), 1);
    EXPECT_EQ(slots.Mark(), 3);
    slots.Add(4, "d");
    slots.MarkOutcome();
    EXPECT_EQ(slots.Mark(), 4);
    EXPECT_EQ(slots.LineMark(), 1);
    EXPECT_EQ(slots.Latest(0), 4);
    EXPECT_EQ(slots.Latest(10), 10);
}

TEST(ReplaySlots, CountsTheEventsPlayed) {
    ReplaySlots slots;
    slots.Incoming(5, "ok");
    slots.Count();
    slots.Add(6, "# a comment");
    EXPECT_EQ(slots.IncomingEvents(), 2u);
}

TEST(ReplayLineDetails, WordsStringsAndAfter) {
    const auto lines = linkwell::field_trace::ParseTrace(
        "7400 FQA 14073000 after 5800\n9000 L32TEXT \"a\\\"b\"\n", "t");
    ASSERT_EQ(lines.lines.size(), 2u);
    const auto& fqa = lines.lines[0];
    EXPECT_EQ(linkwell::sim::Word(fqa, 0), "14073000");
    EXPECT_EQ(linkwell::sim::Word(fqa, 9), "");
    EXPECT_EQ(linkwell::sim::After(fqa, 1), 5801);
    EXPECT_EQ(linkwell::sim::After(fqa, 0), 0);
    EXPECT_EQ(linkwell::sim::String(lines.lines[1], 0), "\"a\\\"b\"");
    EXPECT_EQ(linkwell::sim::String(lines.lines[1], 1), "\"\"");
    EXPECT_EQ(linkwell::sim::Where(fqa, "why"), "line 1 (7400 FQA 14073000 after 5800): why");
}

}  // namespace
