// Every QSO in Logger32's log exactly once: loggings settled by what became
// of their send (taken, or gone with Logger32's window), never by a timeout;
// kept in not-logged.adi while Logger32 has not taken them; and the texts
// that wait behind one Logger32 has not taken yet.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "not_logged/not_logged.h"
#include "support/fake_station.h"
#include "support/played.h"
#include "to_logger32/logging.h"
#include "to_logger32/number_text.h"
#include "to_logger32/push.h"

namespace linkwell {
namespace {

using Lines = std::vector<std::string>;
using testing::Play;

constexpr const char* kStation = testing::kCwStation;

constexpr char kLogged[] =
    "<APP_LOGQSO:171><CALL:5>K1ABC<RST_RCVD:3>599<RST_SENT:7>RST snt<QTH:3>Qth<NAME:4>Name"
    "<COMMENT:5>Notes<GRIDSQUARE:3>Loc<IOTA:4>IOTA<QSL_VIA:7>Manager<APP_TIME_ON:4>1200"
    "<APP_TIME_OFF:4>1200";

// The record not-logged.adi holds for that QSO.
constexpr const char* kRecord = testing::kCwStationRecord;

std::string FileWith(const std::string& records) {
    return "Linkwell: QSOs that Logger32 did not take. Import this file into Logger32 or log "
           "them by hand.\r\nA QSO marked APP_LINKWELL_IN_DOUBT Y may already be in Logger32's "
           "log.\r\n<ADIF_VER:5>3.1.4<PROGRAMID:8>Linkwell<EOH>\r\n" +
           records;
}

TEST(ExactlyOnce, ALoggingSentIntoAHangIsTakenOnceWhenLogger32Wakes) {
    const auto p = Play(std::string(kStation) +
                        "at 8000\nlogger32 hang 6000\nat 8050\nmixw dde Command \"Save\"\n"
                        "at 10000\nclick CommandSend\nat 20000\n");
    ASSERT_EQ(p.logged.size(), 2u) << "two loggings, each once";
    EXPECT_EQ(p.logged[0], kLogged);
    EXPECT_EQ(p.Count("L32 post \"Logger32 1\" 15 1"), 2u);
    EXPECT_EQ(p.Count("L32 post \"Logger32 1\" 16 1"), 2u);
    // The first is in the file once its send went past the bound; the click
    // came while the bridge waited, and its logging joins it right after.
    EXPECT_EQ(p.Kind("FILE"),
              (Lines{"11050 FILE \"not-logged.adi\" 1", "11050 FILE \"not-logged.adi\" 2",
                     "14000 FILE \"not-logged.adi\" 0"}));
    EXPECT_FALSE(p.file) << "gone once Logger32 took them";
    EXPECT_EQ(p.Kind("STATUS").back(), "14000 STATUS \"            MixW2 control active !\"");
}

TEST(ExactlyOnce, ALoggingHeldByALogger32EndedWhileHungGoesToTheNewOneOnce) {
    const auto p = Play(std::string(kStation) +
                        "at 8000\nlogger32 hang 60000\nat 8050\nclick CommandSend\n"
                        "at 12000\nlogger32 stop\nat 12500\nlogger32 start\nat 16000\n");
    EXPECT_EQ(p.logged, (std::vector<std::string>{kLogged}));
    EXPECT_EQ(p.Count("L32 post \"Logger32 1\" 15 1"), 1u);
    EXPECT_TRUE(p.Has("12000 STATUS \"Logger32 closed: 1 QSO kept\""));
}

TEST(ExactlyOnce, TheFileHoldsAQsoInDoubtMarkedAndTheCloseNamesIt) {
    const auto p = Play(std::string(kStation) +
                        "at 8000\nlogger32 hang 60000\nat 8050\nclick CommandSend\n"
                        "at 12000\nclose\nat 12500\nok\nat 13000\n");
    ASSERT_TRUE(p.file);
    EXPECT_EQ(*p.file, FileWith(std::string(kRecord) + "<APP_LINKWELL_IN_DOUBT:1>Y<EOR>\r\n"));
    EXPECT_EQ(p.Kind("BOX"),
              (Lines{"12000 BOX \"Linkwell\" \"Logger32 did not take these QSOs (it was closed or "
                     "not answering). Import them into Logger32 or log them by hand; they are "
                     "kept in C:\\\\Users\\\\operator\\\\AppData\\\\Local\\\\Linkwell\\\\not-"
                     "logged.adi:\\r\\nK1ABC 1200 (may already be in Logger32's log)\""}));
    EXPECT_TRUE(p.logged.empty());
    EXPECT_TRUE(p.ended);
}

TEST(ExactlyOnce, NothingIsDeliveredOrReconnectedBehindTheCloseBox) {
    // Logger32 closed with a QSO kept; the operator closes the bridge and,
    // while the box is open, starts Logger32 again.
    const auto p = Play(std::string(kStation) +
                        "at 8000\nlogger32 stop\nat 8050\nclick CommandSend\nat 9000\nclose\n"
                        "at 9500\nlogger32 start\nat 14000\nok\nat 15000\n");
    EXPECT_TRUE(p.logged.empty()) << "the box says to log it by hand: it stays true";
    EXPECT_EQ(p.Count("L32 post \"Logger32 1\" 1 hwnd:Linkwell"), 1u) << "no new connect";
    ASSERT_TRUE(p.file);
    EXPECT_EQ(*p.file, FileWith(std::string(kRecord) + "<EOR>\r\n"));
}

TEST(ExactlyOnce, TheSessionsEndRunsTheCloseWithoutABoxAndKeepsTheFile) {
    const auto p = Play(std::string(kStation) +
                        "at 8000\nlogger32 hang 2000\nat 8500\nclick Command2\nat 8600\nok\n"
                        "at 12000\nlogger32 stop\nat 12100\nclick CommandSend\n"
                        "at 12200\nsession end\nat 13000\n");
    EXPECT_TRUE(p.Kind("BOX").size() == 1u) << "only the handover's box";
    EXPECT_EQ(p.lines.back(), "12200 END");
    ASSERT_TRUE(p.file);
    EXPECT_EQ(p.Count("<EOR>"), 0u);
    EXPECT_NE(p.file->find("<CALL:5>K1ABC"), std::string::npos);
}

TEST(ExactlyOnce, TheSessionsEndSendsTheLeavingNoticeAndHandsTheRigBack) {
    const auto p = Play(std::string(kStation) + "at 8000\nsession end\nat 9000\n");
    EXPECT_EQ(Lines(p.lines.end() - 7, p.lines.end()),
              (Lines{"8000 L32 post \"Logger32 1\" 12 0", "8000 L32 post \"Logger32 1\" 18 0",
                     "8000 L32 post \"Logger32 1\" 6 0", "8000 L32 post \"Logger32 1\" 14 0",
                     "8000 L32 post \"Logger32 1\" 19 1", "8000 L32 send \"Logger32 1\" 4 ref",
                     "8000 END"}));
    EXPECT_FALSE(p.file) << "nothing written while every logging is taken";
}

TEST(ExactlyOnce, StatesWaitingBehindATextGiveWayToNewerOnesButNotAcrossALogging) {
    const auto p = Play(std::string(kStation) +
                        "at 8000\nlogger32 hang 6000\nat 8050\nmixw dde khz \"7031.0\"\n"
                        "at 11500\nmixw dde khz \"7032.0\"\nat 11600\nclick CommandSend\n"
                        "at 11700\nmixw dde khz \"7033.0\"\nat 11800\nmixw dde khz \"7034.0\"\n"
                        "at 16000\n");
    Lines texts;
    for (const auto& l : p.Kind("L32")) {
        if (l.rfind("14000 ", 0) == 0) texts.push_back(l.substr(0, 60));
    }
    EXPECT_EQ(texts,
              (Lines{"14000 L32 text \"<APP_FORCE_FREQ:4>7031\"",
                     "14000 L32 text \"<APP_FORCE_FREQ:4>7032\"",
                     "14000 L32 text \"<APP_LOGQSO:171><CALL:5>K1ABC<RST_RCVD:3>599",
                     "14000 L32 post \"Logger32 1\" 15 1", "14000 L32 post \"Logger32 1\" 16 1",
                     "14000 L32 text \"<APP_FORCE_FREQ:4>7034\""}))
        << "7032 was the frequency at the logging; 7033 gave way to 7034";
    // The file kept the frequency Logger32 was last given at the logging.
    EXPECT_EQ(p.logged.size(), 1u);
}

TEST(ExactlyOnce, AnUnwritableFolderIsSaidOnTheStatusLineAndNothingElseChanges) {
    const auto p = Play(std::string(kStation) +
                            "at 8000\nlogger32 stop\nat 8050\nclick CommandSend\nat 9000\n"
                            "logger32 start\nat 12000\n",
                        true);
    EXPECT_TRUE(
        p.Has("8050 STATUS \"Cannot write not-logged.adi: QSOs not taken are kept only "
              "until Linkwell closes\""));
    EXPECT_EQ(p.logged, (std::vector<std::string>{kLogged})) << "delivered all the same";
    EXPECT_EQ(p.Kind("STATUS").back(), "9000 STATUS \"            MixW2 control active !\"");
}

TEST(ExactlyOnce, AFileLeftByAnEarlierRunIsNamedNeverDeliveredAndKeptWhenQsosAreAdded) {
    const std::string left =
        "file put \"x\\r\\n<eoh>\\r\\n<CALL:5>K9OLD<EOR>\\r\\n<CALL:5>K8OLD<EOR>\\r\\n\"\n";
    auto p = Play(left + kStation +
                  "at 8000\nlogger32 stop\nat 8050\nclick CommandSend\n"
                  "at 9000\n");
    EXPECT_TRUE(p.Has("5000 STATUS \"2 QSOs were not taken by Logger32: see not-logged.adi\""));
    ASSERT_TRUE(p.file);
    EXPECT_EQ(*p.file, FileWith("<CALL:5>K9OLD<EOR>\r\n<CALL:5>K8OLD<EOR>\r\n" +
                                std::string(kRecord) + "<EOR>\r\n"));
    EXPECT_EQ(p.Count("K9OLD"), 0u) << "never sent to Logger32";

    // Nothing kept in this run: the file is left exactly as it was.
    p = Play(left + kStation + "at 8050\nclick CommandSend\nat 9000\n");
    EXPECT_EQ(p.Kind("FILE"), Lines{});
    ASSERT_TRUE(p.file);
    EXPECT_EQ(*p.file, "x\r\n<eoh>\r\n<CALL:5>K9OLD<EOR>\r\n<CALL:5>K8OLD<EOR>\r\n");
    EXPECT_EQ(p.logged.size(), 1u);
}

TEST(ExactlyOnce, AQsoLoggedBeforeLogger32NamedItsTextWindowGoesOnceItIs) {
    const auto p = Play(
        "logger32 start notext\nmixw start\nmixw dde Mode \"CW\"\nmixw dde Call \"\"\n"
        "mixw dde time \"1200\"\n"
        "at 6000\nclick CommandSend\nat 6500\nlogger32 post 3 hwnd:Logger32Text\nat 9000\n");
    EXPECT_EQ(p.logged,
              (std::vector<std::string>{"<APP_LOGQSO:39><APP_TIME_ON:4>1200<APP_TIME_OFF:4>1200"}));
    // The mode found no text window before: it goes once the window is named.
    EXPECT_EQ(p.Count("<APP_FORCE_MODE:2>CW"), 1u);
    EXPECT_TRUE(p.Has("6000 STATUS \"1 QSO kept for Logger32\""));
}

TEST(ExactlyOnce, BothPeersAwayShowLogger32First) {
    const auto p = Play(std::string(kStation) + "at 8000\nmixw stop\nlogger32 stop\nat 10000\n");
    EXPECT_EQ(p.Kind("STATUS").back(), "8000 STATUS \"Logger32 closed: waiting for it\"");
}

TEST(ExactlyOnce, AMixW2EndedWhileHungIsCalledAfreshOnceANewOneIsThere) {
    const auto p = Play(
        "logger32 start\nmixw start\nat 7000\nmixw hang 60000\nat 14000\nmixw stop\n"
        "at 15000\nmixw start\nat 17000\n"
        "logger32 settext \"<APP_DXSPOT_CLICKED:20>JA1XYZ|14074.0|PSK31\"\nat 18000\n");
    EXPECT_EQ(p.Kind("MIXW"), (Lines{"17500 MIXW ExecuteMacros \"<ZFQ:14074.0>\"",
                                     "17500 MIXW SetQsoData 0 \"JA1XYZ\"",
                                     "17500 MIXW ExecuteMacros \"<MODE:BPSK31>\""}));
}

TEST(ExactlyOnce, ACallIntoAMixW2StoppedDuringTheCallFails) {
    const auto p = Play(
        "logger32 start\nmixw start\nat 7000\nmixw hang 3000\n"
        "logger32 settext \"<APP_DXSPOT_CLICKED:20>JA1XYZ|14074.0|PSK31\"\nat 8000\nmixw stop\n"
        "at 12000\n");
    EXPECT_EQ(p.Kind("MIXW"), Lines{}) << "nothing is carried out by a MixW2 that is gone";
}

TEST(MegahertzText, MovesThePointThreePlacesAndKeepsTheDigits) {
    using to_logger32::MegahertzText;
    EXPECT_EQ(MegahertzText(u"14075,45", u","), u"14.07545");
    EXPECT_EQ(MegahertzText(u"7030", u"."), u"7.030");
    EXPECT_EQ(MegahertzText(u"500", u"."), u"0.500");
    EXPECT_EQ(MegahertzText(u".5", u"."), u"0.0005");
    EXPECT_EQ(MegahertzText(u"-3.5", u"."), u"-0.0035");
    EXPECT_EQ(MegahertzText(u"14070.000001", u"."), u"14.070000001");
    EXPECT_EQ(MegahertzText(u"1e5", u"."), u"") << "no plain number";
    EXPECT_EQ(MegahertzText(u"", u"."), u"");
}

// The Logger32 link's own rules, on a recording platform.
TEST(Logger32Texts, ARefusedTextShowsElevationAsARefusedPostDoes) {
    testing::FakeWorld w;
    w.StartAndLink();
    w.textDelivery = platform::Delivery::Refused;
    w.items["Mode"] = u"CW";
    w.Tick(window::ControlId::PushTimer);
    w.Tick(window::ControlId::PushTimer);
    EXPECT_EQ(testing::U8(w.S().form.GetText(window::ControlId::StatusLine)),
              "Logger32 runs as administrator: start Linkwell as administrator too");
    w.textDelivery = platform::Delivery::Delivered;
    w.Clear();
    w.Tick(window::ControlId::PushTimer);
    EXPECT_EQ(w.log, Lines{"text 1281 <APP_FORCE_MODE:2>CW"}) << "a refused text goes again";
}

TEST(Logger32Texts, Code3NamingAWindowOfAThirdProgramIsIgnored) {
    testing::FakeWorld w;
    w.StartAndLink();
    const auto own = w.HandleOf(window::WindowId::Bridge);
    // 0x9000 is a live window of process 3, neither Logger32's nor ours.
    w.thirdProgramWindow = 0x9000;
    (void)w.bridge.HookProc(own, w.RegisterMessage(u"Logger32 1"), 3, 0x9000);
    EXPECT_EQ(w.S().link.textWindow.value, testing::FakeWorld::kLogger32Text);
}

}  // namespace
}  // namespace linkwell
