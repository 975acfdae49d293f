// not-logged.adi never lies and never loses a QSO: a write or a removal
// that failed while another program held the file is tried again, what it
// still cannot take at the end goes to not-logged-unsaved.adi, and an
// earlier run's damaged file is moved aside instead of written after.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "not_logged/not_logged.h"
#include "scenario/scenario.h"
#include "sim/world.h"
#include "support/played.h"
#include "text/text.h"
#include "to_logger32/logging.h"
#include "to_logger32/push.h"

namespace linkwell {
namespace {

using Lines = std::vector<std::string>;

constexpr const char* kStation = testing::kCwStation;

const std::string kRecord = std::string(testing::kCwStationRecord) + "<EOR>\r\n";

// Two QSOs an earlier run left.
constexpr char kEarlier[] =
    "file put \"x\\r\\n<eoh>\\r\\n<CALL:5>K9OLD<EOR>\\r\\n<CALL:5>K8OLD<EOR>\\r\\n\"\n";
constexpr char kEarlierRecords[] = "<CALL:5>K9OLD<EOR>\r\n<CALL:5>K8OLD<EOR>\r\n";

std::string FileWith(const std::string& records) {
    return text::ToUtf8(not_logged::kNotLoggedHeader) + records;
}

struct Played {
    Lines lines;
    std::size_t logged = 0;
    std::optional<std::string> file;
    std::optional<std::string> unsaved;
    std::map<std::string, std::string> movedAside;

    [[nodiscard]] Lines Kind(const std::string& kind) const {
        Lines out;
        for (const auto& l : lines) {
            if (l.find(" " + kind + " ") != std::string::npos) out.push_back(l);
        }
        return out;
    }
    [[nodiscard]] bool Has(const std::string& line) const {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
};

Played Play(const std::string& scenario, const std::optional<std::string>& unsavedBefore = {}) {
    std::ostringstream out;
    sim::World world(scenario::ParseScenario(scenario, "test.scn"), out);
    if (unsavedBefore) world.LeaveUnsaved(*text::FromUtf8(*unsavedBefore));
    Played p;
    (void)world.Run();
    std::istringstream in(out.str());
    for (std::string line; std::getline(in, line);) p.lines.push_back(line);
    p.logged = world.Logger32().Logged().size();
    if (world.NotLogged()) p.file = text::ToUtf8(*world.NotLogged());
    if (world.Unsaved()) p.unsaved = text::ToUtf8(*world.Unsaved());
    for (const auto& [name, t] : world.MovedAside()) p.movedAside[name] = text::ToUtf8(t);
    return p;
}

constexpr char kCannotWrite[] =
    "STATUS \"Cannot write not-logged.adi: QSOs not taken are kept only until Linkwell closes\"";
constexpr char kCannotUpdate[] =
    "STATUS \"Cannot update not-logged.adi: it still lists QSOs Logger32 has taken\"";

TEST(NotLoggedFile, AWriteThatFailedWhileTheFileWasHeldIsTriedAgainOnTheWatchsTick) {
    const auto p = Play(std::string(kEarlier) + kStation +
                        "at 6000\nfile lock\nat 8000\nlogger32 stop\nat 8050\nclick CommandSend\n"
                        "at 9500\nfile unlock\nat 10500\n");
    EXPECT_TRUE(p.Has(std::string("8050 ") + kCannotWrite));
    EXPECT_EQ(p.Kind("FILE"), Lines{"10000 FILE \"not-logged.adi\" 3"})
        << "not at the ticks while held, at the first one after";
    EXPECT_TRUE(p.Has("10000 STATUS \"Logger32 closed: 1 QSO kept\""));
    ASSERT_TRUE(p.file);
    EXPECT_EQ(*p.file, FileWith(std::string(kEarlierRecords) + kRecord))
        << "the earlier run's QSOs, then this run's";
}

TEST(NotLoggedFile, WhatTheFileCannotTakeAtTheEndGoesBesideItAndIsNamedAtTheNextStart) {
    // The session ends while the file is still held.
    auto p = Play(std::string(kEarlier) + kStation +
                  "at 6000\nfile lock\nat 8000\nlogger32 stop\nat 8050\nclick CommandSend\n"
                  "at 9000\nsession end\nat 9500\n");
    EXPECT_EQ(p.Kind("FILE"), Lines{"9000 FILE \"not-logged-unsaved.adi\" 1"});
    ASSERT_TRUE(p.unsaved);
    EXPECT_EQ(*p.unsaved, FileWith(kRecord));
    ASSERT_TRUE(p.file);
    EXPECT_EQ(*p.file, "x\r\n<eoh>\r\n<CALL:5>K9OLD<EOR>\r\n<CALL:5>K8OLD<EOR>\r\n")
        << "the held file is as it was";

    // The next run names both files, and its own end adds to the second one
    // after what is there.
    const std::string unsaved = *p.unsaved;
    p = Play(std::string(kEarlier) + kStation +
                 "at 6000\nfile lock\nat 8000\nlogger32 stop\nat 8050\nclick CommandSend\n"
                 "at 9000\nclose\nat 9100\nok\nat 9500\n",
             unsaved);
    EXPECT_TRUE(
        p.Has("5000 STATUS \"3 QSOs were not taken by Logger32: see not-logged.adi and "
              "not-logged-unsaved.adi\""));
    EXPECT_EQ(p.Kind("BOX"),
              Lines{"9000 BOX \"Linkwell\" \"Logger32 did not take these QSOs (it was closed or "
                    "not answering). Import them into Logger32 or log them by hand; they are "
                    "kept in C:\\\\Users\\\\operator\\\\AppData\\\\Local\\\\Linkwell\\\\"
                    "not-logged-unsaved.adi:\\r\\nK1ABC 1200\""});
    ASSERT_TRUE(p.unsaved);
    EXPECT_EQ(*p.unsaved, FileWith(std::string(kRecord) + kRecord));
    EXPECT_EQ(p.logged, 0u);
}

TEST(NotLoggedFile, AQsoTheFileHadBeforeItWasHeldIsNotSavedTwice) {
    const auto p = Play(std::string(kStation) +
                        "at 8000\nlogger32 stop\nat 8050\nclick CommandSend\nat 8500\nfile lock\n"
                        "mixw dde time \"1210\"\nat 8600\nclick CommandSend\nat 9000\nclose\n"
                        "at 9100\nok\nat 9500\n");
    ASSERT_TRUE(p.unsaved);
    std::string second = kRecord;
    second.replace(second.find("<TIME_ON:4>1200<TIME_OFF:4>1200"), 31,
                   "<TIME_ON:4>1210<TIME_OFF:4>1210");
    EXPECT_EQ(*p.unsaved, FileWith(second)) << "only the QSO the held file lacks";
    ASSERT_EQ(p.Kind("BOX").size(), 1u);
    EXPECT_NE(p.Kind("BOX")[0].find("kept in C:\\\\Users\\\\operator\\\\AppData\\\\Local\\\\"
                                    "Linkwell\\\\not-logged.adi and C:\\\\Users\\\\operator\\\\"
                                    "AppData\\\\Local\\\\Linkwell\\\\not-logged-unsaved.adi:"),
              std::string::npos)
        << p.Kind("BOX")[0];
}

TEST(NotLoggedFile, ARemovalThatFailedIsSaidAndTriedAgainSoTheNextStartIsNotMisled) {
    const auto p = Play(std::string(kStation) +
                        "at 8000\nlogger32 stop\nat 8050\nclick CommandSend\nat 8500\nfile lock\n"
                        "at 9000\nlogger32 start\nat 11500\nfile unlock\nat 13000\n");
    EXPECT_EQ(p.logged, 1u);
    EXPECT_TRUE(p.Has(std::string("9000 ") + kCannotUpdate));
    EXPECT_EQ(p.Kind("FILE"),
              (Lines{"8050 FILE \"not-logged.adi\" 1", "12000 FILE \"not-logged.adi\" 0"}));
    EXPECT_TRUE(p.Has("12000 STATUS \"            MixW2 control active !\""));
    EXPECT_FALSE(p.file);
}

TEST(NotLoggedFile, AnEarlierRunsQsosStayInTheFileWhenThisRunsQsoIsTaken) {
    const auto p = Play(std::string(kEarlier) + kStation +
                        "at 8000\nlogger32 stop\nat 8050\nclick CommandSend\nat 9000\n"
                        "logger32 start\nat 11000\n");
    EXPECT_EQ(p.logged, 1u);
    EXPECT_EQ(p.Kind("FILE"),
              (Lines{"8050 FILE \"not-logged.adi\" 3", "9000 FILE \"not-logged.adi\" 2"}));
    ASSERT_TRUE(p.file);
    EXPECT_EQ(*p.file, FileWith(kEarlierRecords));
}

TEST(NotLoggedFile, ADamagedEarlierFileIsMovedAsideAsItIsAndNewQsosGoIntoAFreshOne) {
    const std::string damaged =
        "Linkwell\r\n<EOH>\r\n<CALL:5>K9OLD<EOR>\r\n<CALL:99999999999>X<EOR";
    const auto p = Play(
        "file put \"Linkwell\\r\\n<EOH>\\r\\n<CALL:5>K9OLD<EOR>\\r\\n"
        "<CALL:99999999999>X<EOR\"\n" +
        std::string(kStation) + "at 8000\nlogger32 stop\nat 8050\nclick CommandSend\nat 9000\n");
    EXPECT_EQ(p.movedAside,
              (std::map<std::string, std::string>{{"not-logged-20261209-000004.adi", damaged}}));
    EXPECT_TRUE(
        p.Has("5000 STATUS \"not-logged.adi was damaged: moved to "
              "not-logged-20261209-000004.adi\""));
    ASSERT_TRUE(p.file);
    EXPECT_EQ(*p.file, FileWith(kRecord));
    EXPECT_TRUE(
        not_logged::WholeAdifRecords(*text::FromUtf8(p.file->substr(p.file->find("<EOH>") + 5))));
}

TEST(NotLoggedFile, WholeAdifRecordsAreFieldsOfTheirExactLengthEndedByEor) {
    const auto whole = [](const char* records) {
        return not_logged::WholeAdifRecords(*text::FromUtf8(records));
    };
    EXPECT_TRUE(whole(""));
    EXPECT_TRUE(whole("<CALL:5>K1ABC<EOR>"));
    EXPECT_TRUE(whole("<call:5:s>K1ABC <freq:5:N>7.030\r\n<eOr>\r\n<CALL:0><EOR>"));
    EXPECT_TRUE(whole("<COMMENT:3>a>b<EOR>")) << "a value may hold any character";
    EXPECT_TRUE(whole("<COMMENT:3><EO<EOR>"));
    EXPECT_FALSE(whole("<CALL:99999999999>X<EOR"));
    EXPECT_FALSE(whole("<CALL:6>K1ABC<EOR>")) << "the length runs into <EOR>";
    EXPECT_FALSE(whole("<CALL:5>K1ABC")) << "no <EOR>";
    EXPECT_FALSE(whole("<CALL:5>K1ABC<EOR><CALL:5>K2DEF"));
    EXPECT_FALSE(whole("<CALL>K1ABC<EOR>"));
    EXPECT_FALSE(whole("<CALL:>K1ABC<EOR>"));
    EXPECT_FALSE(whole("<:5>K1ABC<EOR>"));
    EXPECT_FALSE(whole("<CALL:5x>K1ABC<EOR>"));
    EXPECT_FALSE(whole("<CALL:5:S:X>K1ABC<EOR>"));
    EXPECT_FALSE(whole("<CALL:5>K1ABC<EOR"));
}

}  // namespace
}  // namespace linkwell
