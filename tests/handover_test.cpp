// The rig-control handover and the packet sideband toggle.
#include "handover/handover.h"

#include <gtest/gtest.h>

#include "shell/controls.h"
#include "support/fake_station.h"

namespace linkwell {
namespace {

using shell::ControlId;
using testing::FakeWorld;

class Handover : public ::testing::Test {
protected:
    Handover() {
        w.bridge.Start();
        w.Attach();
        w.Clear();
        w.timerLog.clear();
    }
    shell::Station& s() { return w.S(); }
    std::vector<std::string> Posts() const {
        std::vector<std::string> out;
        for (const auto& l : w.log) {
            if (l.rfind("post", 0) == 0) out.push_back(l.substr(l.rfind('"') + 2));
        }
        return out;
    }
    void ExpectCachesFalse() {
        for (const auto* t : {&s().vars.LastFreq, &s().vars.LastQth, &s().vars.LastName,
                              &s().vars.LastNotes, &s().vars.LastRstRcvd, &s().vars.LastMode}) {
            EXPECT_EQ(*t, u"False");
        }
    }
    FakeWorld w;
};

TEST_F(Handover, StartUpHandoverShowsNoBoxAndLeavesTimer2Alone) {
    s().vars.BridgeStarted = false;
    s().vars.LastCall = u"K1ABC";
    w.bridge.Click(ControlId::Command3);  // enabled at design
    handover::Command1_Click(s());
    EXPECT_EQ(Posts(), (std::vector<std::string>{"7 0", "11 0", "13 0", "19 0", "18 1"}));
    for (const auto& l : w.log) EXPECT_EQ(l.rfind("box", 0), std::string::npos);
    EXPECT_TRUE(w.timerLog.empty());
    EXPECT_EQ(s().form.BackColor(ControlId::Command1), shell::kPurple);
    EXPECT_FALSE(s().form.Enabled(ControlId::Command1));
    EXPECT_EQ(s().form.BackColor(ControlId::Command2), shell::kLightCyan);
    EXPECT_TRUE(s().form.Enabled(ControlId::Command2));
    EXPECT_EQ(s().form.BackColor(ControlId::Command3), shell::kLightBlue)
        << "light blue whatever the toggle says";
    EXPECT_EQ(s().form.GetText(ControlId::Command3), u"PKT_USB");
    EXPECT_EQ(s().form.GetText(ControlId::Text1), u"            MixW2 control active !");
    ExpectCachesFalse();
    EXPECT_EQ(s().vars.LastCall, u"K1ABC") << "the call is not reset";
}

TEST_F(Handover, ToLogger32AndBackPostsBothSetsAndStopsThenRestartsTimer2AfterOk) {
    handover::Command1_Click(s());  // as start-up left it
    s().form.Arm(ControlId::Timer2, 800);
    w.Clear();
    w.timerLog.clear();
    bool flagDuringBox = false;
    w.onBox = [&] { flagDuringBox = s().vars.Logger32HasControl; };
    w.bridge.Click(ControlId::Command2);
    EXPECT_TRUE(flagDuringBox) << "the flag is set before the box";
    EXPECT_EQ(w.log.front(),
              "box Linkwell: Please disable CAT and PTT MixW2 and after that press OK");
    EXPECT_EQ(Posts(), (std::vector<std::string>{"12 0", "18 0", "6 0", "14 0", "19 1"}));
    EXPECT_EQ(w.timerLog, (std::vector<std::string>{"stop Timer2"}));
    EXPECT_EQ(s().form.GetText(ControlId::Text1), u"         Logger32 control active !");
    EXPECT_TRUE(s().form.Enabled(ControlId::Command1));
    EXPECT_EQ(s().form.BackColor(ControlId::Command1), shell::kLightCyan);
    EXPECT_FALSE(s().form.Enabled(ControlId::Command2));
    EXPECT_EQ(s().form.BackColor(ControlId::Command2), shell::kPurple);
    ExpectCachesFalse();

    w.Clear();
    w.bridge.Click(ControlId::Command2);
    EXPECT_TRUE(w.log.empty()) << "a disabled button does nothing";

    bool timerRunningDuringBox = true;
    w.onBox = [&] { timerRunningDuringBox = w.timers.count(2) != 0; };
    w.bridge.Click(ControlId::Command1);
    EXPECT_FALSE(timerRunningDuringBox) << "Timer2 restarts only after OK";
    EXPECT_EQ(w.timers.at(2), 800);
    EXPECT_FALSE(s().vars.Logger32HasControl);
    EXPECT_EQ(Posts(), (std::vector<std::string>{"7 0", "11 0", "13 0", "19 0", "18 1"}));
    EXPECT_EQ(w.log[5],
              "box Linkwell: Please close Souncard window and CW Mashine window "
              "Logger32 and after that press OK");
}

TEST_F(Handover, SidebandButtonTogglesCaptionColourAndFlag) {
    EXPECT_EQ(s().form.GetText(ControlId::Command3), u"PKT LSB");
    const std::vector<std::pair<std::u16string, std::uint32_t>> expected = {
        {u"PKT_USB", shell::kLightPink},
        {u"PKT_LSB", shell::kLightBlue},
        {u"PKT_USB", shell::kLightPink}};
    bool flag = false;
    for (const auto& [caption, colour] : expected) {
        w.bridge.Click(ControlId::Command3);
        flag = !flag;
        EXPECT_EQ(s().form.GetText(ControlId::Command3), caption);
        EXPECT_EQ(s().form.BackColor(ControlId::Command3), colour);
        EXPECT_EQ(s().vars.SidebandToggle, flag);
    }
    EXPECT_TRUE(w.log.empty()) << "nothing goes to Logger32 or MixW";
}

}  // namespace
}  // namespace linkwell
