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
    w.Tick(ControlId::AboutTimer);  // the about window ends and arms the start-up timer
    w.Clear();
    w.timerLog.clear();
    w.Tick(ControlId::StartupTimer);
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
    EXPECT_TRUE(s.mixw.attachedOrTrying);
    ASSERT_NE(s.mixw.object, nullptr);
    EXPECT_TRUE(s.start.started);
    EXPECT_EQ(s.form.GetText(ControlId::StatusLine), u"            MixW2 control active !");
    EXPECT_EQ(w.timerLog, (std::vector<std::string>{"stop Timer1", "start Timer3 500",
                                                    "start Timer2 800", "start watch 1000"}));
    EXPECT_EQ(Matching(w.log, "box"), std::vector<std::string>{});
}

TEST(StartUpWait, MixWCountsAsNotAttachedBetweenFailedAttempts) {
    FakeWorld w;
    w.bridge.Start();
    w.mixwRunning = false;
    std::vector<bool> seen;
    w.onSleep = [&] {
        seen.push_back(w.S().mixw.attachedOrTrying);
        if (seen.size() == 3) w.mixwRunning = true;
    };
    w.Tick(ControlId::StartupTimer);
    EXPECT_EQ(seen, (std::vector<bool>{false, false, false}));
    EXPECT_TRUE(w.S().mixw.attachedOrTrying);
    EXPECT_EQ(w.S().form.GetText(ControlId::StatusLine), u"            MixW2 control active !");
}

class PeriodicTick : public ::testing::Test {
protected:
    PeriodicTick() { w.StartAndLink(); }
    FakeWorld w;
};

TEST_F(PeriodicTick, FirstTickWritesEachPlaceholderThenOpensItsLink) {
    w.items["Call"] = u"G0ABC";
    w.refusedItems = {"Loc"};
    auto& s = w.S();
    s.form.SetText(ControlId::LocatorBox, u"JO01");
    w.Tick(ControlId::PushTimer);
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
    EXPECT_TRUE(s.mixw.linksOpen);
    w.Deliver("Notes", u"tnx");
    EXPECT_EQ(s.form.GetText(ControlId::NotesBox), u"tnx") << "the box follows the item";

    w.Clear();
    w.Tick(ControlId::PushTimer);
    EXPECT_TRUE(Matching(w.log, "link").empty()) << "links open once";
}

TEST_F(PeriodicTick, TheCallCountsAsNotYetSentAfterTheLinksOpen) {
    w.Tick(ControlId::PushTimer);
    // The same tick pushed the mode placeholder; the record waits its turn.
    EXPECT_TRUE(w.S().mixw.linksOpen);
    EXPECT_EQ(w.S().push.call, u"ru");
}

}  // namespace
}  // namespace linkwell
