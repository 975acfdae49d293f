// What reaches Logger32 is MixW's QSO as the operator sees it: a logging
// carries the QSO on screen, a link's first value is MixW's state and no
// command, and a box whose link is not made is not pushed.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/played.h"

namespace linkwell::testing {
namespace {

using Lines = std::vector<std::string>;

// K1ABC in CW on 7030 kHz; the push gives Logger32 its record at 7400.
constexpr const char* kStation = R"(logger32 start
mixw start
mixw dde Mode "CW"
mixw dde khz "7030.0"
mixw fqa 7030000
mixw dde Call "K1ABC"
mixw dde RstRcv "599"
mixw dde time "1200"
)";

std::string Record(const std::string& call, const std::string& rstSent) {
    return "<CALL:" + std::to_string(call.size()) + ">" + call +
           "<RST_RCVD:3>599<RST_SENT:" + std::to_string(rstSent.size()) + ">" + rstSent +
           "<QTH:3>Qth<NAME:4>Name<COMMENT:5>Notes<GRIDSQUARE:3>Loc<IOTA:4>IOTA<QSL_VIA:7>Manager";
}

std::string Logged(const std::string& record, const std::string& time) {
    const std::string body = record + "<APP_TIME_ON:4>" + time + "<APP_TIME_OFF:4>" + time;
    return "<APP_LOGQSO:" + std::to_string(body.size()) + ">" + body;
}

// Logger32's texts, without the times.
Lines Texts(const Played& p) {
    Lines out;
    for (const auto& l : p.Kind("L32")) {
        const auto at = l.find("L32 text \"");
        if (at != std::string::npos) out.push_back(l.substr(at + 10, l.size() - at - 11));
    }
    return out;
}

TEST(LoggedAsShown, AQsoKeptWhileLogger32IsAwayIsTheOneOnScreenInTheFileAndInTheLog) {
    // Logger32 closes before the push has given it any record.
    const auto p = Play(std::string(kStation) +
                        "at 6200\nlogger32 stop\nat 6500\nclick CommandSend\nat 7500\n"
                        "logger32 start\nat 9000\n");
    const auto kept = Play(std::string(kStation) +
                           "at 6200\nlogger32 stop\nat 6500\nclick CommandSend\nat 6800\n");
    ASSERT_TRUE(kept.file);
    EXPECT_EQ(kept.file->substr(kept.file->find("<EOH>\r\n") + 7),
              Record("K1ABC", "RST snt") +
                  "<QSO_DATE:8>20261209<TIME_ON:4>1200<TIME_OFF:4>1200<MODE:2>CW<FREQ:5>7.030"
                  "<EOR>\r\n");
    EXPECT_EQ(p.logged, Lines{Logged(Record("K1ABC", "RST snt"), "1200")});
    EXPECT_FALSE(p.file) << "taken by the Logger32 that came back";
}

TEST(LoggedAsShown, AReportChangedAloneGoesAheadOfTheLoggingOnceAndIsNotPushedAgain) {
    // The report sent makes no record due by itself; the logging carries it.
    const auto p = Play(std::string(kStation) +
                        "at 8000\nmixw dde RstSnt \"579\"\nat 8100\nclick CommandSend\n"
                        "at 8500\nclick CommandSend\nat 10000\n");
    const auto texts = Texts(p);
    ASSERT_GE(texts.size(), 4u);
    EXPECT_EQ(
        Lines(texts.end() - 4, texts.end()),
        (Lines{Record("K1ABC", "RST snt"), Record("K1ABC", "579"),
               Logged(Record("K1ABC", "579"), "1200"), Logged(Record("K1ABC", "579"), "1200")}))
        << "the record goes once, ahead of the first logging only";
    EXPECT_EQ(p.logged, (Lines{Logged(Record("K1ABC", "579"), "1200"),
                               Logged(Record("K1ABC", "579"), "1200")}));
}

TEST(LoggedAsShown, ARecordThatFoundNoTextWindowIsGivenAheadOfTheLogging) {
    // Logger32 names its text window late: the push's records went nowhere.
    const auto p = Play(
        "logger32 start notext\nmixw start\nmixw dde Call \"K1ABC\"\nmixw dde RstRcv \"599\"\n"
        "mixw dde time \"1200\"\nat 7500\nlogger32 post 3 hwnd:Logger32Text\nat 7600\n"
        "click CommandSend\nat 9000\n");
    const auto texts = Texts(p);
    ASSERT_GE(texts.size(), 3u);
    EXPECT_EQ(Lines(texts.begin(), texts.begin() + 3),
              (Lines{"<APP_FORCE_MODE:4>Mode", Record("K1ABC", "RST snt"),
                     Logged(Record("K1ABC", "RST snt"), "1200")}));
}

TEST(LoggedAsShown, AModeChangedJustBeforeTheLoggingGoesAheadAndIsTheKeptQsosMode) {
    // RTTY on screen 50 ms before the button, between two push ticks.
    const std::string change = "at 8000\nmixw dde Mode \"RTTY\"\nat 8050\nclick CommandSend\n";
    const auto p = Play(std::string(kStation) + change + "at 8100\n");
    const auto texts = Texts(p);
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(Lines(texts.end() - 2, texts.end()),
              (Lines{"<APP_FORCE_MODE:4>RTTY", Logged(Record("K1ABC", "RST snt"), "1200")}));
    // Logger32 gone before the change: the file holds the QSO in RTTY.
    const auto kept =
        Play(std::string(kStation) + "at 7900\nlogger32 stop\n" + change + "at 8100\n");
    ASSERT_TRUE(kept.file);
    const auto mode = kept.file->find("<MODE:");
    ASSERT_NE(mode, std::string::npos);
    EXPECT_EQ(kept.file->substr(mode, 12), "<MODE:4>RTTY");
}

// MixW's command item as it stands when the links open, then what MixW does.
TEST(LoggedAsShown, ACommandLeftInMixWIsNoCommandButTheNextOneIs) {
    // No call: no record re-arms the box, so MixW's next "Save" is a change
    // only because the one left was put aside.
    const auto saved = Play(
        "mixw dde Command \"Save\"\nlogger32 start\nmixw start\nmixw dde Call \"\"\n"
        "mixw dde time \"1234\"\n"
        "at 8000\nmixw dde Command \"Save\"\nat 9000\n");
    EXPECT_EQ(saved.logged, Lines{"<APP_LOGQSO:39><APP_TIME_ON:4>1234<APP_TIME_OFF:4>1234"});
    EXPECT_EQ(saved.Count("L32 post \"Logger32 1\" 15 1"), 1u);

    const auto removed = Play(
        "mixw dde Command \"Remove\"\nlogger32 start\nmixw start\nat 8000\n"
        "mixw dde Command \"Remove\"\nat 9000\n");
    const auto texts = Texts(removed);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "<EOR>"), 1);
    EXPECT_TRUE(removed.Has("8000 L32 text \"<EOR>\""));
}

TEST(LoggedAsShown, ASaveLeftWhileLogger32HoldsTheRigIsPutAsideToo) {
    // MixW2 comes back while Logger32 holds the rig; MixW saves once the rig
    // is back with MixW2, and no record has re-armed the box meanwhile.
    const auto p = Play(
        "logger32 start\nmixw start\nmixw dde Call \"\"\nmixw dde time \"1234\"\n"
        "at 6000\nclick Command2\nat 6100\nok\nat 6500\nmixw stop\nmixw dde Command \"Save\"\n"
        "at 8000\nmixw start\nat 9500\nclick Command1\nat 9600\nok\n"
        "at 10500\nmixw dde Command \"Save\"\nat 11000\n");
    EXPECT_EQ(p.Kind("L32").back(), "10500 L32 post \"Logger32 1\" 16 1");
    EXPECT_EQ(p.logged, Lines{"<APP_LOGQSO:39><APP_TIME_ON:4>1234<APP_TIME_OFF:4>1234"});
}

// Logger32's window hangs as the first push tick opens the links, so their
// connects give up at their bound; the watch makes them later.
constexpr const char* kLinksWait = R"(logger32 start
mixw start
mixw dde Mode "CW"
mixw dde Call "K1ABC"
at 4612
logger32 hang 8000
)";

TEST(LoggedAsShown, BoxesWhoseLinksAreNotMadeAreNotPushedRefusedOnesAre) {
    const auto p = Play(std::string(kLinksWait) + "mixw refuse Manager\nat 20000\n");
    EXPECT_EQ(Texts(p), (Lines{"<APP_FORCE_FREQ:1>0", "<APP_FORCE_MODE:2>CW", "<APP_FORCE_FREQ:1>0",
                               "<CALL:5>K1ABC<RST_RCVD:7>RST rcv<RST_SENT:7>RST snt<QTH:3>Qth"
                               "<NAME:4>Name<COMMENT:5>Notes<GRIDSQUARE:3>Loc<IOTA:4>IOTA"
                               "<QSL_VIA:7>Manager"}))
        << "the refused Manager keeps its placeholder and holds nothing back";
    EXPECT_TRUE(p.Has("17800 L32 text \"<APP_FORCE_MODE:2>CW\""));
}

TEST(LoggedAsShown, ALoggingWhileTheLinksWaitCarriesNoPlaceholderRecord) {
    const auto p = Play(std::string(kLinksWait) + "at 9000\nclick CommandSend\nat 14000\n");
    ASSERT_EQ(p.logged.size(), 1u);
    EXPECT_EQ(p.logged[0].find("<CALL:"), std::string::npos) << p.logged[0];
    EXPECT_EQ(p.logged[0], "<APP_LOGQSO:31><APP_TIME_ON:0><APP_TIME_OFF:0>")
        << "the time box's own text is no time";
}

}  // namespace
}  // namespace linkwell::testing
