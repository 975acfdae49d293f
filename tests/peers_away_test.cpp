// Logger32 and MixW2 closing, hanging and coming back while the bridge
// runs: the watch tick notices, the status line says what the bridge waits
// for, nothing goes to the old handles or object, loggings that Logger32
// did not take are kept and delivered, and everything is pushed afresh.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "not_logged/not_logged.h"
#include "support/fake_station.h"
#include "to_logger32/logging.h"
#include "to_logger32/push.h"
#include "window/controls.h"

namespace linkwell {
namespace {

using platform::Delivery;
using testing::Ended;
using testing::FakeWorld;
using window::ControlId;
using Lines = std::vector<std::string>;

constexpr char kMixWActive[] = "            MixW2 control active !";

class PeersAway : public ::testing::Test {
protected:
    PeersAway() {
        w.items["Mode"] = u"PSK31";
        w.items["Call"] = u"K1ABC";
        w.items["time"] = u"1234";
        w.fqa = 14070000;
        w.StartAndLink();
        Push();  // opens the links and sends the mode
        Push();  // the frequency
        Push();  // the record
        w.Clear();
    }
    BridgeState& s() { return w.S(); }
    void Push() { w.Tick(ControlId::PushTimer); }
    void Watch() { w.bridge.TimerTick(window::kWatchTimerSlot); }
    std::string Status() { return testing::U8(s().form.GetText(ControlId::StatusLine)); }
    // The log lines that start with `prefix`, then the log is cleared.
    Lines Take(const std::string& prefix) {
        Lines out;
        for (const auto& l : w.log) {
            if (l.rfind(prefix, 0) == 0) out.push_back(l);
        }
        w.Clear();
        return out;
    }
    platform::MessageId Name1() { return w.RegisterMessage(u"Logger32 1"); }
    void Logger32Answers() {
        const auto own = w.HandleOf(window::WindowId::Bridge);
        (void)w.bridge.HookProc(own, Name1(), 0, 1);
        (void)w.bridge.HookProc(own, Name1(), 3, FakeWorld::kLogger32Text);
    }
    FakeWorld w;
};

TEST_F(PeersAway, Logger32ClosedAndBackGetsTheKeptLoggingThenEverythingAfresh) {
    w.logger32Present = false;
    Watch();
    EXPECT_EQ(Status(), "Logger32 closed: waiting for it");
    EXPECT_TRUE(s().link.textWindow.isNull());

    Push();
    w.bridge.Click(ControlId::LogQsoButton);  // a QSO logged while Logger32 is away
    EXPECT_EQ(Take("post"), Lines{}) << "nothing goes to the old handles";
    EXPECT_EQ(to_logger32::KeptCount(s()), 1u);
    EXPECT_EQ(Status(), "Logger32 closed: 1 QSO kept");
    Watch();
    EXPECT_EQ(Take("post"), Lines{}) << "not back yet";

    w.logger32Present = true;
    Watch();
    EXPECT_EQ(Take("post"), Lines{"post 1280 \"Logger32 1\" 1 256"}) << "asked as at start-up";
    EXPECT_EQ(Status(), "Logger32 closed: 1 QSO kept") << "until it has accepted";
    Logger32Answers();
    const std::string sent = std::to_string(0x1000 + window::Index(ControlId::Logger32TextBox));
    EXPECT_EQ(Take(""), (Lines{"post 1280 \"Logger32 1\" 2 0", "post 1280 \"Logger32 1\" 2 " + sent,
                               "post 1280 \"Logger32 1\" 7 0", "post 1280 \"Logger32 1\" 11 0",
                               "post 1280 \"Logger32 1\" 13 0", "post 1280 \"Logger32 1\" 19 0",
                               "post 1280 \"Logger32 1\" 18 1",
                               "text 1281 <APP_LOGQSO:175><CALL:5>K1ABC<RST_RCVD:7>RST rcv"
                               "<RST_SENT:7>RST snt<QTH:3>Qth<NAME:4>Name<COMMENT:5>Notes"
                               "<GRIDSQUARE:3>Loc<IOTA:4>IOTA<QSL_VIA:7>Manager"
                               "<APP_TIME_ON:4>1234<APP_TIME_OFF:4>1234",
                               "post 1280 \"Logger32 1\" 15 1", "post 1280 \"Logger32 1\" 16 1",
                               "file removed"}));
    EXPECT_EQ(Status(), kMixWActive);
    EXPECT_EQ(to_logger32::KeptCount(s()), 0u);
    Push();
    EXPECT_EQ(Take("text"), Lines{"text 1281 <APP_FORCE_MODE:5>PSK31"}) << "pushed afresh";
}

TEST_F(PeersAway, Logger32BackWhileItHoldsTheRigIsToldSo) {
    w.bridge.Click(ControlId::Logger32TakesRigButton);
    w.logger32Present = false;
    Watch();
    w.logger32Present = true;
    Watch();
    w.Clear();
    Logger32Answers();
    const Lines posts = Take("post");
    ASSERT_EQ(posts.size(), 7u);
    EXPECT_EQ(Lines(posts.begin() + 2, posts.end()),
              (Lines{"post 1280 \"Logger32 1\" 12 0", "post 1280 \"Logger32 1\" 18 0",
                     "post 1280 \"Logger32 1\" 6 0", "post 1280 \"Logger32 1\" 14 0",
                     "post 1280 \"Logger32 1\" 19 1"}));
    EXPECT_EQ(Status(), "         Logger32 control active !");
}

TEST_F(PeersAway, LoggingsWaitInOrderBehindATextLogger32HasNotTakenYet) {
    w.textDelivery = Delivery::Pending;
    w.bridge.Click(ControlId::LogQsoButton);
    EXPECT_EQ(Status(),
              testing::U8(platform::Text(station::kLogger32NotAnswering)) + ": 1 QSO kept");
    w.items["time"] = u"1240";
    w.Deliver("time", u"1240");
    w.bridge.Click(ControlId::LogQsoButton);
    Lines lines = Take("");
    ASSERT_EQ(lines.size(), 3u) << "the second waits; no codes for a logging not taken";
    EXPECT_NE(lines[0].find("<APP_TIME_ON:4>1234"), std::string::npos) << lines[0];
    EXPECT_EQ(Lines(lines.begin() + 1, lines.end()), (Lines{"file written", "file written"}))
        << "at once, for each QSO kept";
    EXPECT_EQ(Status(),
              testing::U8(platform::Text(station::kLogger32NotAnswering)) + ": 2 QSOs kept");
    Watch();
    EXPECT_EQ(Take("text"), Lines{}) << "the watch sends nothing past a pending text";

    w.textDelivery = Delivery::Delivered;
    w.bridge.TextSendEnded(Delivery::Delivered);
    lines = Take("");
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "post 1280 \"Logger32 1\" 15 1");
    EXPECT_EQ(lines[1], "post 1280 \"Logger32 1\" 16 1");
    EXPECT_NE(lines[2].find("<APP_TIME_ON:4>1240"), std::string::npos) << lines[2];
    EXPECT_EQ(lines[3], "post 1280 \"Logger32 1\" 15 1");
    EXPECT_EQ(lines[4], "post 1280 \"Logger32 1\" 16 1");
    EXPECT_EQ(lines[5], "file removed");
    EXPECT_EQ(to_logger32::KeptCount(s()), 0u);
    EXPECT_EQ(Status(), kMixWActive);
    Push();
    EXPECT_EQ(Take("text"), Lines{}) << "nothing changed in MixW: nothing to push";
}

// Logger32 still runs, but its text window went away with a logging: once
// it names a text window again, the logging goes there, and everything is
// pushed afresh (the new window knows nothing).
TEST_F(PeersAway, ATextWindowLostUnderASendGetsTheLoggingAndEverythingAfreshOnceNamedAgain) {
    w.textDelivery = Delivery::Pending;
    w.bridge.Click(ControlId::LogQsoButton);
    w.textDelivery = Delivery::Delivered;
    w.bridge.TextSendEnded(Delivery::NoWindow);
    EXPECT_EQ(to_logger32::KeptCount(s()), 1u);
    EXPECT_TRUE(s().link.textWindow.isNull());
    w.Clear();
    Watch();
    EXPECT_EQ(Take("text"), Lines{}) << "no text window: nothing goes";

    const auto own = w.HandleOf(window::WindowId::Bridge);
    (void)w.bridge.HookProc(own, Name1(), 3, FakeWorld::kLogger32Text);
    EXPECT_EQ(Take(""), (Lines{"text 1281 <APP_LOGQSO:175><CALL:5>K1ABC<RST_RCVD:7>RST rcv"
                               "<RST_SENT:7>RST snt<QTH:3>Qth<NAME:4>Name<COMMENT:5>Notes"
                               "<GRIDSQUARE:3>Loc<IOTA:4>IOTA<QSL_VIA:7>Manager"
                               "<APP_TIME_ON:4>1234<APP_TIME_OFF:4>1234",
                               "post 1280 \"Logger32 1\" 15 1", "post 1280 \"Logger32 1\" 16 1",
                               "file removed"}))
        << "at once, not at the watch's next tick";
    Push();
    EXPECT_EQ(Take("text"), Lines{"text 1281 <APP_FORCE_MODE:5>PSK31"})
        << "pushed afresh, though MixW's mode did not change";
}

// Logger32 closed its text window while its main window lives on: a send
// finds no window there. A QSO logged then is kept, nothing more goes to
// the old handle, and the window Logger32 names next gets the kept QSO
// first, at once, before the mode MixW changed to meanwhile, then
// everything afresh.
TEST_F(PeersAway, ATextWindowClosedWhileLogger32RunsGetsTheKeptLoggingFirstOnceANewOneIsNamed) {
    w.textDelivery = Delivery::NoWindow;
    w.bridge.Click(ControlId::LogQsoButton);
    EXPECT_EQ(to_logger32::KeptCount(s()), 1u);
    EXPECT_EQ(Status(), "1 QSO kept for Logger32");
    w.Deliver("Mode", u"PSK63");
    Push();
    Watch();
    w.Clear();
    Push();
    Watch();
    EXPECT_EQ(Take("text"), Lines{}) << "nothing more goes to the closed window";
    EXPECT_EQ(to_logger32::KeptCount(s()), 1u);

    w.textDelivery = Delivery::Delivered;
    const auto own = w.HandleOf(window::WindowId::Bridge);
    (void)w.bridge.HookProc(own, Name1(), 3, FakeWorld::kLogger32Text + 1);
    EXPECT_EQ(Take(""), (Lines{"text 1282 <APP_LOGQSO:175><CALL:5>K1ABC<RST_RCVD:7>RST rcv"
                               "<RST_SENT:7>RST snt<QTH:3>Qth<NAME:4>Name<COMMENT:5>Notes"
                               "<GRIDSQUARE:3>Loc<IOTA:4>IOTA<QSL_VIA:7>Manager"
                               "<APP_TIME_ON:4>1234<APP_TIME_OFF:4>1234",
                               "post 1280 \"Logger32 1\" 15 1", "post 1280 \"Logger32 1\" 16 1",
                               "file removed"}))
        << "at once, and before the newer mode";
    EXPECT_EQ(Status(), kMixWActive);
    Push();
    Push();
    Push();
    EXPECT_EQ(Take("text"),
              (Lines{"text 1282 <APP_FORCE_MODE:5>PSK63", "text 1282 <APP_FORCE_FREQ:5>14070",
                     "text 1282 <CALL:5>K1ABC<RST_RCVD:7>RST rcv<RST_SENT:7>RST snt"
                     "<QTH:3>Qth<NAME:4>Name<COMMENT:5>Notes<GRIDSQUARE:3>Loc"
                     "<IOTA:4>IOTA<QSL_VIA:7>Manager"}))
        << "the new window is told everything afresh";
    EXPECT_EQ(to_logger32::KeptCount(s()), 0u);
}

// A window that went away while it took a text (the send could not tell
// whether it had begun it) is gone too: nothing more is sent to it.
TEST_F(PeersAway, ATextWindowThatWentAwayDuringASendIsDroppedToo) {
    w.textDelivery = Delivery::InDoubt;
    w.Deliver("Mode", u"PSK63");
    Push();
    EXPECT_EQ(Take("text"), Lines{"text 1281 <APP_FORCE_MODE:5>PSK63"});
    Push();
    Watch();
    EXPECT_EQ(Take("text"), Lines{}) << "nothing more goes to the window that went away";

    w.textDelivery = Delivery::Delivered;
    const auto own = w.HandleOf(window::WindowId::Bridge);
    (void)w.bridge.HookProc(own, Name1(), 3, FakeWorld::kLogger32Text + 1);
    Push();
    EXPECT_EQ(Take("text"), Lines{"text 1282 <APP_FORCE_MODE:5>PSK63"});
}

TEST_F(PeersAway, ClosingWithKeptLoggingsNamesThemAndTheFileBeforeTheUnload) {
    w.textDelivery = Delivery::Pending;
    w.bridge.Click(ControlId::LogQsoButton);
    w.Clear();
    EXPECT_THROW(w.bridge.Close(), Ended);
    ASSERT_GE(w.log.size(), 3u);
    EXPECT_EQ(w.log[0],
              "box Linkwell: Logger32 did not take these QSOs (it was closed or not answering). "
              "Import them into Logger32 or log them by hand; they are kept in "
              "C:\\Local\\Linkwell\\not-logged.adi:\r\nK1ABC 1234 (may already be in "
              "Logger32's log)");
    EXPECT_EQ(w.log.back(), "end");
}

TEST_F(PeersAway, MixWGoneAndBackReopensTheLinksAndTunesSpotsAgain) {
    w.mixwAlive = false;
    w.mixwGone = true;
    w.mixwRunning = false;
    Push();  // a read finds the server gone
    Watch();
    EXPECT_EQ(Status(), "MixW2 closed: waiting for it");
    EXPECT_EQ(s().mixw.object, nullptr) << "nothing more goes to the old object";
    EXPECT_EQ(Take("closelinks"), Lines{"closelinks"});

    w.bridge.TextArrived(ControlId::Logger32TextBox,
                         u"<APP_DXSPOT_CLICKED:20>JA1XYZ|14074.0|PSK31");
    w.Tick(ControlId::IntakeTimer);
    Push();
    Watch();
    EXPECT_EQ(Take("ExecuteMacros"), Lines{}) << "a spot while MixW2 is away is dropped";

    w.mixwRunning = true;
    w.mixwAlive = true;
    w.mixwGone = false;
    Watch();
    EXPECT_EQ(Take("link").size(), 13u) << "the links of the new MixW2";
    EXPECT_EQ(Status(), kMixWActive);
    Push();
    EXPECT_EQ(Take("text"), Lines{"text 1281 <APP_FORCE_MODE:5>PSK31"}) << "pushed afresh";
    w.bridge.TextArrived(ControlId::Logger32TextBox, u"<APP_DXSPOT_CLICKED:20>DL1ABC|7040.0|CW");
    w.Tick(ControlId::IntakeTimer);
    EXPECT_EQ(Take("ExecuteMacros"),
              (Lines{"ExecuteMacros <ZFQ:7040.0>", "ExecuteMacros <MODE:CW>"}));
}

TEST_F(PeersAway, MixWWhoseConversationsEndedCountsAsGone) {
    w.linksConnected = false;
    Watch();
    EXPECT_EQ(Status(), "MixW2 closed: waiting for it");
    w.linksConnected = true;
    Watch();
    EXPECT_EQ(Status(), kMixWActive) << "its object is there again";
}

TEST(FieldLinks, LinksThatFoundNoConversationAreTriedAgainByTheWatch) {
    FakeWorld w;
    w.items["Call"] = u"K1ABC";
    w.refusedItems = {"Loc"};
    w.linksReachable = false;  // a hung program held up the connects
    w.StartAndLink();
    w.Tick(ControlId::PushTimer);
    EXPECT_EQ(testing::U8(w.S().form.GetText(ControlId::CallBox)), "Call");
    w.linksReachable = true;
    w.Clear();
    w.bridge.TimerTick(window::kWatchTimerSlot);
    Lines links;
    for (const auto& l : w.log) {
        if (l.rfind("link", 0) == 0) links.push_back(l);
    }
    EXPECT_EQ(links.size(), 13u) << "each of the thirteen once more";
    EXPECT_EQ(testing::U8(w.S().form.GetText(ControlId::CallBox)), "K1ABC");
    w.Clear();
    w.bridge.TimerTick(window::kWatchTimerSlot);
    for (const auto& l : w.log) EXPECT_NE(l.rfind("link", 0), 0u) << "refused Loc is not retried";
}

TEST_F(PeersAway, AFailedCallForAnotherReasonIsOnlyASkippedStep) {
    w.mixwAlive = false;  // fails, but the server is not gone
    Push();
    Watch();
    EXPECT_EQ(Status(), kMixWActive);
    EXPECT_NE(s().mixw.object, nullptr);
}

TEST_F(PeersAway, Logger32RunningWithHigherRightsIsShownOnTheStatusLine) {
    w.postDelivery = Delivery::Refused;
    w.bridge.Click(ControlId::Logger32TakesRigButton);
    EXPECT_EQ(Status(), "Logger32 runs as administrator: start Linkwell as administrator too");
    w.bridge.Click(ControlId::MixWTakesRigButton);
    EXPECT_EQ(Status(), "Logger32 runs as administrator: start Linkwell as administrator too")
        << "a handover does not hide it";
}

}  // namespace
}  // namespace linkwell
