// The Logger32 link: the handshake and its rotation through the five names,
// the hook's codes, the number formats and the leaving notice.
#include <gtest/gtest.h>

#include "logger32/link.h"
#include "support/fake_station.h"

namespace linkwell {
namespace {

using testing::Ended;
using testing::FakeWorld;
using window::ControlId;

class Logger32Link : public ::testing::Test {
protected:
    Logger32Link() {
        w.bridge.Start();  // the load names the bridge window
        w.Clear();
    }
    BridgeState& s() { return w.S(); }
    platform::MessageId Id(int n) {
        return w.RegisterMessage(
            platform::Text(logger32::kMessageNames[static_cast<std::size_t>(n - 1)]));
    }
    platform::LResult Hook(platform::WParam code, platform::LParam value) {
        return w.bridge.HookProc(s().link.ownWindow, s().link.message, code, value);
    }
    FakeWorld w;
};

TEST_F(Logger32Link, HandshakeHooksTheWindowFindsLogger32AndAsksUnderTheFirstName) {
    logger32::StartHandshake(s());
    EXPECT_EQ(s().link.message, Id(1));
    EXPECT_EQ(w.log, (std::vector<std::string>{"setproc 2", "post 1280 \"Logger32 1\" 1 256"}));
    EXPECT_EQ(logger32::HandshakeState(s()), logger32::Handshake::Asking);
    EXPECT_EQ(s().form.Interval(ControlId::HandshakeTimer), 0);
    EXPECT_FALSE(s().form.Enabled(ControlId::HandshakeTimer));
}

TEST_F(Logger32Link, SearchTicksEveryFiveSecondsUntilLogger32AppearsThenRestartsAtTheFirstName) {
    w.logger32Present = false;
    logger32::StartHandshake(s());
    EXPECT_EQ(w.timers.at(0), 5000);
    EXPECT_EQ(logger32::HandshakeState(s()), logger32::Handshake::Searching);
    EXPECT_EQ(w.log, (std::vector<std::string>{"setproc 2"}));
    w.Clear();
    w.Tick(ControlId::HandshakeTimer);
    EXPECT_EQ(w.timers.at(0), 5000) << "a failed search keeps the timer";
    EXPECT_TRUE(w.log.empty());
    w.logger32Present = true;
    w.Tick(ControlId::HandshakeTimer);
    EXPECT_EQ(s().link.message, Id(1));
    EXPECT_EQ(w.log, (std::vector<std::string>{"post 1280 \"Logger32 1\" 1 256"}));
    EXPECT_EQ(w.timers.count(0), 0u);
}

TEST_F(Logger32Link, FourRefusalsWalkThroughTheNamesAndTheFifthGivesUpWithOneBox) {
    logger32::StartHandshake(s());
    for (int n = 2; n <= 5; ++n) {
        EXPECT_EQ(Hook(0, 0), 0);
        EXPECT_EQ(w.timers.at(0), 200);
        EXPECT_EQ(logger32::HandshakeState(s()), logger32::Handshake::TryingNextName);
        w.Tick(ControlId::HandshakeTimer);
        EXPECT_EQ(s().link.message, Id(n));
        EXPECT_EQ(w.timers.count(0), 0u);
    }
    Hook(0, 0);
    w.Clear();
    int timerRunningDuringBox = -1;
    w.onBox = [&] { timerRunningDuringBox = static_cast<int>(w.timers.count(0)); };
    w.Tick(ControlId::HandshakeTimer);
    EXPECT_EQ(w.log, (std::vector<std::string>{
                         "box Too busy: Unable to connect to Logger32.  I tried 5 different "
                         "registered messages and all were rejected"}));
    EXPECT_EQ(timerRunningDuringBox, 0) << "the timer is stopped before the box shows";
    EXPECT_EQ(s().link.message, Id(5)) << "posts keep the last name";
    EXPECT_EQ(logger32::HandshakeState(s()), logger32::Handshake::GaveUp);
}

TEST_F(Logger32Link, AcceptedAnswerHandsOverTheSentBoxAndCode3NamesTheTextWindow) {
    logger32::StartHandshake(s());
    w.Clear();
    EXPECT_EQ(Hook(0, 1), 0);
    EXPECT_EQ(logger32::HandshakeState(s()), logger32::Handshake::Connected);
    const auto sent = std::to_string(w.HandleOf(ControlId::Logger32TextBox).value);
    EXPECT_EQ(w.log, (std::vector<std::string>{"post 1280 \"Logger32 1\" 2 0",
                                               "post 1280 \"Logger32 1\" 2 " + sent}));
    Hook(3, 0x502);
    EXPECT_EQ(s().link.textWindow.value, 0x502u);
    Hook(3, 0x503);
    EXPECT_EQ(s().link.textWindow.value, 0x503u) << "a later code 3 replaces it";
}

TEST_F(Logger32Link, Code3CountsOnlyForAWindowOfLogger32sOwnProcess) {
    logger32::StartHandshake(s());
    Hook(0, 1);
    Hook(3, 0x502);
    Hook(3, 0x777);  // no such window: every text would vanish
    EXPECT_EQ(s().link.textWindow.value, 0x502u);
    // One of the bridge's own boxes: the bridge would write into itself.
    Hook(3, static_cast<platform::LParam>(w.HandleOf(ControlId::DialFreqBox).value));
    Hook(3, static_cast<platform::LParam>(w.HandleOf(window::WindowId::Bridge).value));
    EXPECT_EQ(s().link.textWindow.value, 0x502u);
    w.Clear();
    EXPECT_EQ(logger32::SendTextToLogger32(s(), logger32::TextKind::Command, u"<EOR>"),
              logger32::Handed::Taken);
    EXPECT_EQ(w.log, std::vector<std::string>{"text 1282 <EOR>"});
}

TEST_F(Logger32Link, FrequencyAndClusterCodesFillTheirBoxes) {
    logger32::StartHandshake(s());
    Hook(100, 14075450);
    EXPECT_EQ(s().form.GetText(ControlId::Logger32FreqBox), u"14075.450");
    Hook(100, 999);
    EXPECT_EQ(s().form.GetText(ControlId::Logger32FreqBox), u".999");
    Hook(102, -12);
    EXPECT_EQ(s().form.GetText(ControlId::ClusterBox), u"-12");
    // lParam travels as 32 bits: 0xFFFFFFFF is minus one.
    Hook(102, 0xFFFFFFFFLL);
    EXPECT_EQ(s().form.GetText(ControlId::ClusterBox), u"-1");
    w.decimal = u",";
    Hook(100, 7074000);
    EXPECT_EQ(s().form.GetText(ControlId::Logger32FreqBox), u"7074,000");
}

TEST_F(Logger32Link, KilohertzTextKeepsThreeDecimalsAndNoLeadingZero) {
    EXPECT_EQ(logger32::KilohertzText(14075450, u"."), u"14075.450");
    EXPECT_EQ(logger32::KilohertzText(500, u"."), u".500");
    EXPECT_EQ(logger32::KilohertzText(0, u"."), u".000");
    // One kilohertz is the first value with an integer digit.
    EXPECT_EQ(logger32::KilohertzText(999, u"."), u".999");
    EXPECT_EQ(logger32::KilohertzText(1000, u"."), u"1.000");
    EXPECT_EQ(logger32::KilohertzText(-1000, u","), u"-1,000");
    EXPECT_EQ(logger32::KilohertzText(-500, u"."), u"-.500");
    EXPECT_EQ(logger32::KilohertzText(-1234567, u"."), u"-1234.567");
    EXPECT_EQ(logger32::KilohertzText(INT32_MIN, u"."), u"-2147483.648");
    EXPECT_EQ(logger32::KilohertzText(INT32_MAX, u"."), u"2147483.647");
}

TEST_F(Logger32Link, OtherCodesAreIgnoredAndOtherMessagesGoToThePreviousProcedure) {
    logger32::StartHandshake(s());
    w.Clear();
    EXPECT_EQ(Hook(5, 1), 0);
    EXPECT_EQ(Hook(101, 1), 0);
    EXPECT_TRUE(w.log.empty()) << "not passed on";
    const auto r = w.bridge.HookProc(s().link.ownWindow, 0x0010, 7, -9);
    EXPECT_EQ(r, 77) << "the previous procedure's result goes back";
    EXPECT_EQ(w.log, (std::vector<std::string>{"callproc 1 16 7 -9"}));
}

TEST_F(Logger32Link, TextBeforeCode3GoesNowhere) {
    EXPECT_EQ(logger32::SendTextToLogger32(s(), logger32::TextKind::Record, u"<CALL:2>AB"),
              logger32::Handed::NotSent);
    EXPECT_EQ(w.log, std::vector<std::string>{}) << "nothing is sent to no window";
}

TEST(Logger32LinkClosing, WhileMixWHoldsTheRigHandsItBackBeforeTheLeavingNotice) {
    FakeWorld w;
    w.StartAndLink();
    BridgeState& s = w.S();
    ASSERT_NE(s.mixw.object, nullptr);
    EXPECT_THROW(w.bridge.Close(), Ended);
    EXPECT_EQ(w.log, (std::vector<std::string>{
                         "post 1280 \"Logger32 1\" 12 0", "post 1280 \"Logger32 1\" 18 0",
                         "post 1280 \"Logger32 1\" 6 0", "post 1280 \"Logger32 1\" 14 0",
                         "post 1280 \"Logger32 1\" 19 1", "setproc 1",
                         "send 1280 \"Logger32 1\" 4 ref", "end"}));
    EXPECT_EQ(s.mixw.object, nullptr) << "the object is released";
}

TEST(Logger32LinkClosing, WhileLogger32HoldsTheRigSendsOnlyTheLeavingNotice) {
    FakeWorld w;
    w.StartAndLink();
    w.bridge.Click(ControlId::Logger32TakesRigButton);
    w.Clear();
    EXPECT_THROW(w.bridge.Close(), Ended);
    EXPECT_EQ(w.log,
              (std::vector<std::string>{"setproc 1", "send 1280 \"Logger32 1\" 4 ref", "end"}));
}

TEST(Logger32LinkUnhooked, ClosingBeforeTheHookLeavesTheWindowProcedureAlone) {
    FakeWorld w;
    w.bridge.Start();
    w.Clear();
    EXPECT_THROW(w.bridge.Close(), Ended);
    for (const auto& line : w.log) EXPECT_EQ(line.rfind("setproc", 0), std::string::npos) << line;
}

}  // namespace
}  // namespace linkwell
