// The rig-control handover and the packet sideband toggle.
#include "handover/handover.h"

#include <gtest/gtest.h>

#include "support/fake_station.h"
#include "window/controls.h"

namespace linkwell {
namespace {

using testing::FakeWorld;
using window::ControlId;

class Handover : public ::testing::Test {
protected:
    Handover() { w.StartAndLink(); }
    BridgeState& s() { return w.S(); }
    std::vector<std::string> Posts() const {
        std::vector<std::string> out;
        for (const auto& l : w.log) {
            if (l.rfind("post", 0) == 0) out.push_back(l.substr(l.rfind('"') + 2));
        }
        return out;
    }
    void ExpectCachesFalse() {
        for (const auto* t : {&s().push.frequency, &s().push.qth, &s().push.name, &s().push.notes,
                              &s().push.rstRcvd, &s().push.mode}) {
            EXPECT_EQ(*t, u"False");
        }
    }
    FakeWorld w;
};

TEST(HandoverAtStartUp, ShowsNoBoxAndLeavesThePushTickAlone) {
    FakeWorld w;
    BridgeState& s = w.S();
    w.bridge.Start();
    w.bridge.Click(ControlId::SidebandButton);  // enabled at design
    w.Clear();
    w.timerLog.clear();
    handover::GiveRigToMixW(s);
    const auto Posts = [&] {
        std::vector<std::string> out;
        for (const auto& l : w.log) {
            // "post WINDOW MESSAGE CODE VALUE": nothing is linked yet.
            if (l.rfind("post 0 0 ", 0) == 0) out.push_back(l.substr(9));
        }
        return out;
    };
    EXPECT_EQ(Posts(), std::vector<std::string>{}) << "nothing goes to an unknown Logger32";
    for (const auto& l : w.log) EXPECT_EQ(l.rfind("box", 0), std::string::npos);
    EXPECT_TRUE(w.timerLog.empty());
    EXPECT_EQ(s.form.BackColor(ControlId::MixWTakesRigButton), window::kPurple);
    EXPECT_FALSE(s.form.Enabled(ControlId::MixWTakesRigButton));
    EXPECT_EQ(s.form.BackColor(ControlId::Logger32TakesRigButton), window::kLightCyan);
    EXPECT_TRUE(s.form.Enabled(ControlId::Logger32TakesRigButton));
    EXPECT_EQ(s.form.BackColor(ControlId::SidebandButton), window::kLightBlue)
        << "light blue whatever the toggle says";
    EXPECT_EQ(s.form.GetText(ControlId::SidebandButton), u"PKT_USB");
    EXPECT_EQ(s.form.GetText(ControlId::StatusLine), u"            MixW2 control active !");
    for (const auto* t : {&s.push.frequency, &s.push.qth, &s.push.name, &s.push.notes,
                          &s.push.rstRcvd, &s.push.mode}) {
        EXPECT_EQ(*t, u"False");
    }
    EXPECT_EQ(s.push.call, u"") << "the call is not reset";
}

TEST_F(Handover, ToLogger32AndBackPostsBothSetsAndStopsThenRestartsThePushTickAfterOk) {
    bool flagDuringBox = false;
    w.onBox = [&] { flagDuringBox = s().rig.logger32HasRig; };
    w.bridge.Click(ControlId::Logger32TakesRigButton);
    EXPECT_TRUE(flagDuringBox) << "the flag is set before the box";
    EXPECT_EQ(w.log.front(),
              "box Linkwell: Please disable CAT and PTT MixW2 and after that press OK");
    EXPECT_EQ(Posts(), (std::vector<std::string>{"12 0", "18 0", "6 0", "14 0", "19 1"}));
    EXPECT_EQ(w.timerLog, (std::vector<std::string>{"stop Timer2"}));
    EXPECT_EQ(s().form.GetText(ControlId::StatusLine), u"         Logger32 control active !");
    EXPECT_TRUE(s().form.Enabled(ControlId::MixWTakesRigButton));
    EXPECT_EQ(s().form.BackColor(ControlId::MixWTakesRigButton), window::kLightCyan);
    EXPECT_FALSE(s().form.Enabled(ControlId::Logger32TakesRigButton));
    EXPECT_EQ(s().form.BackColor(ControlId::Logger32TakesRigButton), window::kPurple);
    ExpectCachesFalse();

    w.Clear();
    w.bridge.Click(ControlId::Logger32TakesRigButton);
    EXPECT_TRUE(w.log.empty()) << "a disabled button does nothing";

    bool timerRunningDuringBox = true;
    w.onBox = [&] {
        timerRunningDuringBox = w.timers.count(window::TimerSlot(ControlId::PushTimer)) != 0;
    };
    w.bridge.Click(ControlId::MixWTakesRigButton);
    EXPECT_FALSE(timerRunningDuringBox) << "the push tick restarts only after OK";
    EXPECT_EQ(w.timers.at(window::TimerSlot(ControlId::PushTimer)), 800);
    EXPECT_FALSE(s().rig.logger32HasRig);
    EXPECT_EQ(Posts(), (std::vector<std::string>{"7 0", "11 0", "13 0", "19 0", "18 1"}));
    EXPECT_EQ(w.log[5],
              "box Linkwell: Please close Souncard window and CW Mashine window "
              "Logger32 and after that press OK");
}

TEST_F(Handover, SidebandButtonTogglesCaptionColourAndFlag) {
    EXPECT_EQ(s().form.GetText(ControlId::SidebandButton), u"PKT LSB");
    const std::vector<std::pair<std::u16string, std::uint32_t>> expected = {
        {u"PKT_USB", window::kLightPink},
        {u"PKT_LSB", window::kLightBlue},
        {u"PKT_USB", window::kLightPink}};
    bool flag = false;
    for (const auto& [caption, colour] : expected) {
        w.bridge.Click(ControlId::SidebandButton);
        flag = !flag;
        EXPECT_EQ(s().form.GetText(ControlId::SidebandButton), caption);
        EXPECT_EQ(s().form.BackColor(ControlId::SidebandButton), colour);
        EXPECT_EQ(s().rig.sidebandUsb, flag);
    }
    EXPECT_TRUE(w.log.empty()) << "nothing goes to Logger32 or MixW";
}

}  // namespace
}  // namespace linkwell
