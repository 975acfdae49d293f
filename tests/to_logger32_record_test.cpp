// The QSO record stage of the push to Logger32, and the logging commands:
// the Send! button and MixW's "Save" and "Remove".
#include "to_logger32_fixture.h"

namespace linkwell::testing {
namespace {

using to_logger32::LogQso;
using window::ControlId;

std::string Record(const std::string& call, const std::string& rstr, const std::string& rsts,
                   const std::string& qth, const std::string& name, const std::string& notes,
                   const std::string& loc, const std::string& iota, const std::string& via) {
    auto f = [](const std::string& tag, const std::string& v) {
        return "<" + tag + ":" + std::to_string(v.size()) + ">" + v;
    };
    return f("CALL", call) + f("RST_RCVD", rstr) + f("RST_SENT", rsts) + f("QTH", qth) +
           f("NAME", name) + f("COMMENT", notes) + f("GRIDSQUARE", loc) + f("IOTA", iota) +
           f("QSL_VIA", via);
}

class QsoRecord : public ToLogger32Test {
protected:
    QsoRecord() {
        Settled(u"PSK31", 14070000, 1000);
        for (auto box : {ControlId::RstRcvdBox, ControlId::RstSentBox, ControlId::QthBox,
                         ControlId::NameBox, ControlId::NotesBox, ControlId::LocatorBox,
                         ControlId::IotaBox, ControlId::QslManagerBox}) {
            Set(box, u"");
        }
    }
};

TEST_F(QsoRecord, TheNineFieldsInTheirOrder) {
    Set(ControlId::CallBox, u"TEST");
    Set(ControlId::RstRcvdBox, u"599");
    Set(ControlId::RstSentBox, u"579");
    Set(ControlId::QthBox, u"Paris");
    Set(ControlId::NameBox, u"Anna");
    Set(ControlId::LocatorBox, u"JN18");
    Tick();
    const std::string expected =
        "<CALL:4>TEST<RST_RCVD:3>599<RST_SENT:3>579<QTH:5>Paris<NAME:4>Anna<COMMENT:0>"
        "<GRIDSQUARE:4>JN18<IOTA:0><QSL_VIA:0>";
    EXPECT_EQ(Sent(), Lines{expected});
    EXPECT_EQ(U8(S().push.record), expected);
    EXPECT_EQ(Get(ControlId::MixWCommandBox), u" ") << "re-armed for MixW's next command";
    EXPECT_EQ(S().push.call, u"TEST");
    EXPECT_EQ(S().push.locator, u"JN18");
    Tick();
    EXPECT_EQ(Sent(), Lines{}) << "the same record does not go twice";
}

TEST_F(QsoRecord, EmptyCallsignHoldsEverythingBack) {
    Set(ControlId::CallBox, u"");
    Set(ControlId::QthBox, u"Paris");
    Set(ControlId::NotesBox, u"tnx");
    Tick();
    EXPECT_EQ(Sent(), Lines{});
    EXPECT_EQ(S().push.qth, u"False") << "as start-up's handover left it";
    EXPECT_EQ(S().push.call, u"ru");
    EXPECT_EQ(S().push.record, u"");
    Set(ControlId::CallBox, u"G0ABC");
    Tick();
    EXPECT_EQ(Sent(), Lines{Record("G0ABC", "", "", "Paris", "", "tnx", "", "", "")});
}

TEST_F(QsoRecord, EachComparedFieldAloneSendsTheWholeRecordOnce) {
    Set(ControlId::CallBox, u"G0ABC");
    Tick();
    Sent();
    const std::vector<ControlId> compared = {
        ControlId::CallBox,  ControlId::RstRcvdBox, ControlId::QthBox,  ControlId::NameBox,
        ControlId::NotesBox, ControlId::LocatorBox, ControlId::IotaBox, ControlId::QslManagerBox};
    for (const auto box : compared) {
        Set(box, Get(box) + u"x");
        Tick();
        EXPECT_EQ(Sent().size(), 1u) << window::Design(box).name;
        Tick();
        EXPECT_EQ(Sent(), Lines{}) << window::Design(box).name;
    }
    EXPECT_EQ(S().push.record,
              text::FromUtf8(Record("G0ABCx", "x", "", "x", "x", "x", "x", "x", "x")).value());
}

TEST_F(QsoRecord, ReportSentAloneWaitsForAnotherChange) {
    Set(ControlId::CallBox, u"G0ABC");
    Set(ControlId::RstSentBox, u"599");
    Tick();
    Sent();
    Set(ControlId::RstSentBox, u"579");
    Tick();
    EXPECT_EQ(Sent(), Lines{});
    Set(ControlId::NameBox, u"Pat");
    Tick();
    EXPECT_EQ(Sent(), Lines{Record("G0ABC", "", "579", "", "Pat", "", "", "", "")});
}

TEST_F(QsoRecord, PlaceholdersAndBlanksAreSentAsTheyStand) {
    Set(ControlId::CallBox, u"Call");
    Set(ControlId::LocatorBox, u"Loc");
    Set(ControlId::QthBox, u" Paris ");
    Tick();
    EXPECT_EQ(Sent(), Lines{Record("Call", "", "", " Paris ", "", "", "Loc", "", "")});
}

TEST_F(QsoRecord, ACallOfRuRightAfterStartUpGoesOnlyBecauseTheHandoverMarkedTheFields) {
    Set(ControlId::CallBox, u"ru");
    Tick();
    EXPECT_EQ(Sent(), Lines{Record("ru", "", "", "", "", "", "", "", "")});
    Set(ControlId::IotaBox, u"EU-005");
    Tick();
    EXPECT_EQ(Sent(), Lines{Record("ru", "", "", "", "", "", "", "EU-005", "")});
}

TEST_F(QsoRecord, LengthsCountUtf16CodeUnits) {
    Set(ControlId::CallBox, u"G0ABC");
    Set(ControlId::NameBox, u"Zo\u00eb");                             // one unit per letter
    Set(ControlId::NotesBox, u"\U0001F600 73");                       // a surrogate pair is two
    Set(ControlId::QthBox, u"\u041C\u043E\u0441\u043A\u0432\u0430");  // outside the ANSI page
    Tick();
    EXPECT_EQ(Sent().size(), 1u);
    EXPECT_EQ(S().push.record,
              u"<CALL:5>G0ABC<RST_RCVD:0><RST_SENT:0>"
              u"<QTH:6>\u041C\u043E\u0441\u043A\u0432\u0430<NAME:3>Zo\u00eb"
              u"<COMMENT:5>\U0001F600 73<GRIDSQUARE:0><IOTA:0><QSL_VIA:0>");
}

TEST_F(QsoRecord, WaitsWhileModeAndFrequencyGoFirst) {
    Set(ControlId::CallBox, u"G0ABC");
    Set(ControlId::ModeBox, u"RTTY");
    w.fqa = 7040000;
    Tick();
    Tick();
    Tick();
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0], "<APP_FORCE_MODE:4>RTTY");
    EXPECT_EQ(sent[1].rfind("<APP_FORCE_FREQ:", 0), 0u);
    EXPECT_EQ(sent[2].rfind("<CALL:5>G0ABC", 0), 0u);
}

TEST_F(QsoRecord, AfterAHandoverTheRecordGoesAgain) {
    Set(ControlId::CallBox, u"G0ABC");
    Tick();
    Sent();
    w.bridge.Click(ControlId::Logger32TakesRigButton);
    w.bridge.Click(ControlId::MixWTakesRigButton);
    Tick();  // the mode goes again first,
    Tick();  // then the frequency,
    Tick();  // then the record
    const auto again = Sent();
    ASSERT_EQ(again.size(), 3u);
    EXPECT_EQ(again[2].rfind("<CALL:5>G0ABC", 0), 0u);
}

// No call on screen: a logging carries the record last built (none yet).
class Logging : public ToLogger32Test {
protected:
    Logging() { Set(ControlId::CallBox, u""); }
    int Timer2Interval() {
        const auto it = w.timers.find(window::TimerSlot(ControlId::PushTimer));
        return it == w.timers.end() ? 0 : it->second;
    }
};

TEST_F(Logging, EveryLoggingCarriesOneTimePairTheCurrentOne) {
    Set(ControlId::TimeBox, u"1234");
    LogQso(S());
    LogQso(S());
    const Lines once = {"text 1281 <APP_LOGQSO:39><APP_TIME_ON:4>1234<APP_TIME_OFF:4>1234",
                        "post 1280 \"Logger32 1\" 15 1", "post 1280 \"Logger32 1\" 16 1"};
    Lines twice = once;
    twice.insert(twice.end(), once.begin(), once.end());
    EXPECT_EQ(Log(), twice);
    EXPECT_EQ(S().push.record, u"") << "the record itself is left as it was sent";
    EXPECT_EQ(Get(ControlId::MixWCommandBox), u"Murex_Send");

    Set(ControlId::TimeBox, u"1240");
    LogQso(S());
    EXPECT_EQ(Sent(), Lines{"<APP_LOGQSO:39><APP_TIME_ON:4>1240<APP_TIME_OFF:4>1240"});
}

TEST_F(Logging, LogsTheLastRecord) {
    Settled(u"PSK31", 14070000, 1000);
    Set(ControlId::CallBox, u"G0ABC");
    Tick();
    const std::string record = Sent().at(0);
    Set(ControlId::TimeBox, u"0815");
    LogQso(S());
    const std::string body = record + "<APP_TIME_ON:4>0815<APP_TIME_OFF:4>0815";
    const std::string expected = "<APP_LOGQSO:" + std::to_string(body.size()) + ">" + body;
    LogQso(S());
    EXPECT_EQ(Sent(), (Lines{expected, expected}));
}

TEST_F(Logging, EmptyTimeGivesEmptyTimeFields) {
    Set(ControlId::TimeBox, u"");
    LogQso(S());
    EXPECT_EQ(Sent(), Lines{"<APP_LOGQSO:31><APP_TIME_ON:0><APP_TIME_OFF:0>"});
}

TEST_F(Logging, TheButtonWorksInEveryState) {
    w.bridge.Click(ControlId::Logger32TakesRigButton);
    Set(ControlId::TimeBox, u"1234");
    LogQso(S());
    EXPECT_EQ(Sent().size(), 1u);
}

TEST_F(Logging, SaveFromMixWPausesTimer2AndLogs) {
    S().form.Arm(ControlId::PushTimer, 800);
    w.timerLog.clear();
    Set(ControlId::TimeBox, u"1234");
    Set(ControlId::MixWCommandBox, u"Save");
    EXPECT_EQ(Log(), (Lines{"text 1281 <APP_LOGQSO:39><APP_TIME_ON:4>1234<APP_TIME_OFF:4>1234",
                            "post 1280 \"Logger32 1\" 15 1", "post 1280 \"Logger32 1\" 16 1"}))
        << "a Save is never also a Remove";
    EXPECT_EQ(w.timerLog, (Lines{"stop Timer2", "start Timer2 800"}));
    EXPECT_EQ(Get(ControlId::MixWCommandBox), u"Murex_Send");
}

TEST_F(Logging, SaveWhileTimer2WasStoppedLeavesItRunning) {
    S().form.Disarm(ControlId::PushTimer);
    Set(ControlId::MixWCommandBox, u"Save");
    EXPECT_EQ(Timer2Interval(), 800);
    EXPECT_TRUE(S().form.Enabled(ControlId::PushTimer));
    EXPECT_EQ(S().form.Interval(ControlId::PushTimer), 800);
}

TEST_F(Logging, SaveAgainAfterARecordIsAChange) {
    Settled(u"RTTY", 7040000, 0);
    Set(ControlId::MixWCommandBox, u"Save");
    EXPECT_EQ(Sent().size(), 1u);
    Set(ControlId::CallBox, u"G0ABC");
    Tick();
    EXPECT_EQ(Sent().size(), 1u) << "the record";
    EXPECT_EQ(Get(ControlId::MixWCommandBox), u" ");
    Set(ControlId::MixWCommandBox, u"Save");  // MixW's item unchanged, yet a change of the box
    EXPECT_EQ(Sent().size(), 1u);
}

TEST_F(Logging, OtherCommandTextsDoNothing) {
    S().form.Arm(ControlId::PushTimer, 800);
    w.timerLog.clear();
    for (const auto* text : {u"save", u"SAVE", u" Save", u"Save ", u"remove", u"Remove ",
                             u"Command", u" ", u"Murex_Send", u""}) {
        Set(ControlId::MixWCommandBox, text);
        EXPECT_EQ(Log(), Lines{}) << text::ToUtf8(text);
    }
    EXPECT_EQ(w.timerLog, Lines{});
}

TEST_F(Logging, RemoveSendsEndOfRecordOnly) {
    Set(ControlId::MixWCommandBox, u"Remove");
    EXPECT_EQ(Log(), Lines{"text 1281 <EOR>"});
    EXPECT_EQ(S().push.record, u"");
    EXPECT_EQ(Get(ControlId::MixWCommandBox), u"Remove");
}

TEST_F(Logging, CommandsAreIgnoredWhileLogger32HoldsTheRig) {
    w.bridge.Click(ControlId::Logger32TakesRigButton);  // the push tick stops
    Log();
    w.timerLog.clear();
    Set(ControlId::MixWCommandBox, u"Save");
    Set(ControlId::MixWCommandBox, u"Remove");
    EXPECT_EQ(Log(), Lines{});
    EXPECT_EQ(w.timerLog, Lines{}) << "Timer2 is left as it was";
    EXPECT_EQ(Timer2Interval(), 0);
}

}  // namespace
}  // namespace linkwell::testing
