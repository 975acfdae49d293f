// The start-up wait, the field links and the periodic tick's check.
#include <gtest/gtest.h>

#include "mixw/attach.h"
#include "support/fake_station.h"

namespace linkwell {
namespace {

using testing::Ended;
using testing::FakeWorld;
using window::ControlId;

std::vector<std::string> Matching(const std::vector<std::string>& log, const std::string& prefix) {
    std::vector<std::string> out;
    for (const auto& l : log) {
        if (l.rfind(prefix, 0) == 0) out.push_back(l);
    }
    return out;
}

TEST(StartUpWait, WaitsForLogger32ThenConnectsHandsOverAndWaitsForMixW) {
    FakeWorld w;
    w.bridge.Start();
    w.logger32Present = false;
    w.mixwRunning = false;
    int sleeps = 0;
    w.onSleep = [&] {
        ++sleeps;
        if (sleeps == 3) w.logger32Present = true;  // found on the fourth look
        if (sleeps == 6) w.mixwRunning = true;      // third attempt succeeds
        // Nothing of the bridge's state may move while it sleeps.
    };
    w.bridge.TimerTick(4);  // the about window ends and arms Timer1
    w.Clear();
    w.timerLog.clear();
    w.bridge.TimerTick(1);
    auto& s = w.S();
    EXPECT_EQ(w.log.front(), "topmost 256");
    EXPECT_EQ(Matching(w.log, "sleep"),
              (std::vector<std::string>{"sleep 2000", "sleep 2000", "sleep 2000", "sleep 1000",
                                        "sleep 2000", "sleep 2000"}));
    // Hook, connect request, then the handover set, before the MixW wait.
    const auto firstSleep1000 = std::find(w.log.begin(), w.log.end(), "sleep 1000");
    const auto hook = std::find(w.log.begin(), w.log.end(), "setproc 2");
    const auto connect = std::find(w.log.begin(), w.log.end(), "post 1280 \"Logger32 1\" 1 256");
    ASSERT_NE(hook, w.log.end());
    ASSERT_NE(connect, w.log.end());
    EXPECT_LT(hook, connect);
    EXPECT_LT(connect, firstSleep1000);
    EXPECT_EQ(*(connect + 1), "post 1280 \"Logger32 1\" 7 0");
    EXPECT_EQ(s.link.RetryInterval, 200);
    EXPECT_EQ(s.link.SearchInterval, 5000);
    EXPECT_EQ(s.vars.MixWIsLoaded, std::optional<std::int16_t>(1));
    ASSERT_NE(s.vars.MixW, nullptr);
    EXPECT_TRUE(s.vars.BridgeStarted);
    EXPECT_EQ(s.form.GetText(ControlId::StatusLine), u"            MixW2 control active !");
    EXPECT_EQ(w.timerLog,
              (std::vector<std::string>{"stop Timer1", "start Timer3 500", "start Timer2 800"}));
    EXPECT_EQ(Matching(w.log, "box"), std::vector<std::string>{});
}

TEST(StartUpWait, MixWIsLoadedDropsToZeroBetweenFailedAttempts) {
    FakeWorld w;
    w.bridge.Start();
    w.mixwRunning = false;
    std::vector<std::optional<std::int16_t>> seen;
    w.onSleep = [&] {
        seen.push_back(w.S().vars.MixWIsLoaded);
        if (seen.size() == 3) w.mixwRunning = true;
    };
    w.bridge.TimerTick(1);
    EXPECT_EQ(seen, (std::vector<std::optional<std::int16_t>>{std::nullopt, 0, 0}));
    EXPECT_EQ(w.S().form.GetText(ControlId::StatusLine), u"            MixW2 control active !");
}

class PeriodicTick : public ::testing::Test {
protected:
    PeriodicTick() {
        w.bridge.Start();
        w.Attach();
        w.Clear();
    }
    FakeWorld w;
};

TEST_F(PeriodicTick, FirstTickWritesEachPlaceholderThenOpensItsLink) {
    w.items["Call"] = u"G0ABC";
    w.refusedItems = {"Loc"};
    auto& s = w.S();
    s.form.SetText(ControlId::LocatorBox, u"JO01");
    w.bridge.TimerTick(2);
    const auto links = Matching(w.log, "link");
    ASSERT_EQ(links.size(), 13u);
    EXPECT_EQ(links[0], "link MixW|QSO Call");
    EXPECT_EQ(links[3], "link MixW|CAT khz");
    EXPECT_EQ(links[8], "link MIXW|QSO time");
    EXPECT_EQ(links[12], "link MixW|QSO Notes");
    EXPECT_EQ(s.form.GetText(ControlId::CallBox), u"G0ABC") << "the item's value arrives at once";
    EXPECT_EQ(s.form.GetText(ControlId::RstRcvdBox), u"RST rcv")
        << "no value: the placeholder stays";
    EXPECT_EQ(s.form.GetText(ControlId::LocatorBox), u"Loc") << "refused: the placeholder stays";
    EXPECT_EQ(s.form.GetText(ControlId::QslManagerBox), u"Manager");
    EXPECT_EQ(s.form.GetText(ControlId::DialFreqBox), u"Frequency");
    EXPECT_TRUE(s.vars.FieldLinksActive);
    w.Deliver("Notes", u"tnx");
    EXPECT_EQ(s.form.GetText(ControlId::NotesBox), u"tnx") << "the box follows the item";

    w.Clear();
    w.bridge.TimerTick(2);
    EXPECT_TRUE(Matching(w.log, "link").empty()) << "links open once";
}

TEST_F(PeriodicTick, LastCallIsRuAfterTheLinksOpen) {
    w.bridge.TimerTick(2);
    // The push of the same tick may have replaced it when a record went.
    EXPECT_TRUE(w.S().vars.FieldLinksActive);
    EXPECT_NE(w.S().vars.LastCall, u"");
}

TEST_F(PeriodicTick, EndsAtOnceWithoutUnloadWhenMixWOrLogger32WasNeverFound) {
    w.S().vars.MixWIsLoaded = 0;
    EXPECT_THROW(w.bridge.TimerTick(2), Ended);
    EXPECT_EQ(w.log, std::vector<std::string>{"end"}) << "no leaving notice, no handover";

    FakeWorld w2;
    w2.bridge.Start();
    w2.Attach();
    w2.S().link.Logger32Window = {};
    w2.Clear();
    EXPECT_THROW(w2.bridge.TimerTick(2), Ended);
    EXPECT_EQ(w2.log, std::vector<std::string>{"end"});

    FakeWorld w3;
    w3.bridge.Start();
    w3.Attach();
    w3.S().vars.MixWIsLoaded.reset();  // Empty counts as 0
    EXPECT_THROW(w3.bridge.TimerTick(2), Ended);
}

}  // namespace
}  // namespace linkwell
