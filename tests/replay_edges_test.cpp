// The replay and the recorder at their edges: a wait of just the note's
// 200 ms, a send taken or given up at just its 3 s bound, MixW2 ended in the
// millisecond of a DDE value, a watch tick's lines ended by Logger32
// taking a pending text, a send to a closed Logger32 that Windows
// refused a millisecond late, and two timers that ticked in one
// millisecond after a long wait.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "field_trace/output.h"
#include "scenario/scenario.h"
#include "sim/replay.h"
#include "sim/world.h"
#include "support/fake_station.h"

namespace {

using linkwell::field_trace::MemoryFile;
using linkwell::field_trace::Output;

// The field trace the simulated bridge writes for a scenario.
std::string FieldTrace(const std::string& scenario) {
    MemoryFile file;
    Output out(file);
    std::ostringstream station;
    linkwell::sim::World world(linkwell::scenario::ParseScenario(scenario, "test"), station, &out);
    (void)world.Run();
    return file.Text();
}

bool Has(const std::string& text, const std::string& lines) {
    return ("\n" + text).find("\n" + lines) != std::string::npos;
}

// The plan's actions without comments and timer ticks, the times left
// empty by the ticks dropped.
std::string Actions(const std::string& scenario) {
    std::istringstream in(scenario);
    std::string out;
    std::string heldTime;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind('#', 0) == 0 || line.rfind("tick ", 0) == 0) continue;
        if (line.rfind("at ", 0) == 0) {
            heldTime = line + "\n";
            continue;
        }
        out += heldTime + line + "\n";
        heldTime.clear();
    }
    return out;
}

// The trace with `lines` (which it must hold) written as `instead`.
std::string Rewritten(std::string field, const std::string& lines, const std::string& instead) {
    const auto at = field.find(lines);
    EXPECT_NE(at, std::string::npos) << field;
    if (at != std::string::npos) field.replace(at, lines.size(), instead);
    return field;
}

std::string Replayed(const std::string& field) {
    const auto plan = linkwell::sim::PlanReplay(field, "f");
    const auto result = linkwell::sim::Replay(plan, 0);
    return (result.same ? "same\n" : "differs\n") + result.report + "--- plan:\n" + plan.scenario;
}

// A text that kept the bridge waiting 200 ms is noted, and replays as a
// hang; 199 ms is not noted.
TEST(ReplayEdges, AWaitOfTwoHundredMillisecondsIsNotedAndReplayed) {
    const std::string before = "logger32 start\nmixw start\nat 7400\nlogger32 hang ";
    const std::string after = "\nat 8000\n";
    const auto noted = FieldTrace(before + "200" + after);
    EXPECT_TRUE(Has(noted, "7600 WAITED text 200\n")) << noted;
    const auto replayed = Replayed(noted);
    EXPECT_EQ(replayed.rfind("same\n", 0), 0u) << replayed;
    EXPECT_TRUE(Has(Actions(replayed), "at 6601\nlogger32 hang 999\n")) << replayed;
    const auto unnoted = FieldTrace(before + "199" + after);
    EXPECT_EQ(unnoted.find(" WAITED "), std::string::npos) << unnoted;
}

// A send taken just at its 3 s bound met a hang of the bound; one given up
// there (PENDING) met one that outlasted it: played so, the first is taken
// at the bound again, and the second is not, and the close after it finds
// Logger32 not answering.
TEST(ReplayEdges, ASendTakenOrGivenUpJustAtItsBound) {
    const auto taken = FieldTrace(
        "logger32 start\nmixw start\nat 7400\nlogger32 hang 3000\n"
        "at 12000\n");
    ASSERT_TRUE(Has(taken, "10400 WAITED text 3000\n")) << taken;
    ASSERT_EQ(taken.find(" PENDING "), std::string::npos) << taken;
    auto replayed = Replayed(taken);
    EXPECT_EQ(replayed.rfind("same\n", 0), 0u) << replayed;
    EXPECT_TRUE(Has(Actions(replayed), "at 6601\nlogger32 hang 3799\n")) << replayed;

    const auto givenUp = FieldTrace(
        "logger32 start\nmixw start\nat 7400\n"
        "logger32 hang 20000 text\nat 9000\nclose\nat 12000\n");
    ASSERT_TRUE(Has(givenUp,
                    "10400 WAITED text 3000\n10400 PENDING text\n"
                    "10400 " +
                        linkwell::testing::HungStatus() + "\n10400 CLOSE\n"))
        << givenUp;
    replayed = Replayed(givenUp);
    EXPECT_EQ(replayed.rfind("same\n", 0), 0u) << replayed;
    EXPECT_TRUE(Has(Actions(replayed), "at 6601\nlogger32 hang 3800\n")) << replayed;
}

// MixW2 ended in the millisecond its last DDE value came: the value came
// first, and the QSO logged afterwards carries it.
TEST(ReplayEdges, MixWEndedInTheMillisecondOfADdeValueStopsAfterIt) {
    const auto field = FieldTrace(
        "logger32 start\nmixw start\nat 9000\nmixw dde Call \"K1ABC\"\n"
        "mixw stop\nat 9100\nclick CommandSend\nat 11000\n");
    ASSERT_TRUE(
        Has(field, "9000 DDE Call \"K1ABC\"\n9000 TICK Timer2\n9000 FAILED FqA after 8200\n"))
        << field;
    const auto replayed = Replayed(field);
    EXPECT_EQ(replayed.rfind("same\n", 0), 0u) << replayed;
    EXPECT_TRUE(Has(Actions(replayed), "at 9000\nmixw dde Call \"K1ABC\"\nmixw stop\nwatch\n"))
        << replayed;
}

// Logger32 taking a pending text is an event of its own: what follows it
// is not of the watch tick before it, and a peer's state it shows is
// played at its own time, not before that tick.
TEST(ReplayEdges, APendingTextSettledEndsTheWatchTicksLines) {
    const auto recorded = FieldTrace(
        "logger32 start\nmixw start\nat 7000\nclick Command2\nat 7100\nok\nat 8000\n"
        "logger32 hang 4500\nat 8050\nclick CommandSend\nat 11500\nmixw stop\nat 14000\n");
    // The watch tick met something else; MixW2's links are found ended
    // only after Logger32 took the text.
    const auto field =
        Rewritten(recorded, "12000 WATCH\n12000 LINKS ended\n12500 SETTLED taken\n",
                  "12000 WATCH\n12000 OBJECT \"MixW2.Application\" obtained\n12500 SETTLED taken\n"
                  "12600 LINKS ended\n");
    const auto plan = linkwell::sim::PlanReplay(field, "f");
    const auto actions = Actions(plan.scenario);
    EXPECT_TRUE(Has(actions, "at 12000\nwatch\nat 12600\nmixw stop\n")) << actions;
}

// A logging sent after Logger32 closed, that Windows said had no window a
// millisecond or more after it began: Logger32 had closed before the click,
// so the QSO is kept, not logged.
TEST(ReplayEdges, ASendFoundGoneLateStillMetALogger32ClosedBeforeIt) {
    const auto field = FieldTrace(
        "logger32 start\nmixw start\nmixw dde Call \"K1ABC\"\nat 8400\nlogger32 stop\n"
        "at 8650\nclick CommandSend\nat 10000\n");
    for (const char* late : {"\n8651 GONE text\n", "\n8700 GONE text\n"}) {
        const auto shifted = Rewritten(field, "\n8650 GONE text\n", late);
        const auto replayed = Replayed(shifted);
        EXPECT_EQ(replayed.rfind("same\n", 0), 0u) << replayed;
        EXPECT_TRUE(Has(Actions(replayed), "at 8650\nlogger32 stop\nclick CommandSend\n"))
            << replayed;
    }
}

// After a call waited its 5 s bound, the watch and the push tick come in
// one millisecond, the watch first. A bridge killed right after that push
// tick had already said MixW2 closed: the replay, cut there, says so too.
TEST(ReplayEdges, TimersDueInOneMillisecondTickInTheOrderRecorded) {
    const auto field = FieldTrace(
        "logger32 start\nmixw start\nmixw dde Mode \"PSK31\"\nmixw fqa 14070000\nat 7000\n"
        "mixw hang 60000\nat 10000\nmixw stop\nat 14000\n");
    const std::string lines =
        "12400 WATCH\n12400 LINKS ended\n12400 STATUS \"MixW2 closed: waiting for it\"\n"
        "12400 TICK Timer2\n";
    const auto at = field.find(lines);
    ASSERT_NE(at, std::string::npos) << field;
    const auto replayed = Replayed(field.substr(0, at + lines.size()));
    EXPECT_EQ(replayed.rfind("same\n", 0), 0u) << replayed;
}

}  // namespace
