// not-logged.adi written by a world that ends its writes later (the Windows
// world's writer thread): the outcome still drives the status line and the
// retry, the close and the session end wait for the write before they say
// what is kept, and an earlier run's file, however big, is read aside and
// kept byte for byte without being copied into every write.
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

using platform::Text;
using testing::Ended;
using testing::FakeWorld;
using window::ControlId;
using Lines = std::vector<std::string>;

constexpr char kCannotWrite[] =
    "Cannot write not-logged.adi: QSOs not taken are kept only until Linkwell closes";
constexpr char kOneKept[] = "Logger32 closed: 1 QSO kept";
// The QSO the fake MixW shows, as the file holds it.
const Text kRecord =
    u"<CALL:5>K1ABC<RST_RCVD:7>RST rcv<RST_SENT:7>RST snt<QTH:3>Qth<NAME:4>Name<COMMENT:5>Notes"
    u"<GRIDSQUARE:3>Loc<IOTA:4>IOTA<QSL_VIA:7>Manager<QSO_DATE:8>20261209<TIME_ON:4>1234"
    u"<TIME_OFF:4>1234<MODE:5>PSK31<FREQ:6>14.070<EOR>\r\n";

class NotLoggedWrites : public ::testing::Test {
protected:
    // Started, linked and pushed, then Logger32 closes: a logging is kept.
    void Start() {
        w.items["Mode"] = u"PSK31";
        w.items["Call"] = u"K1ABC";
        w.items["time"] = u"1234";
        w.fqa = 14070000;
        w.StartAndLink();
        for (int i = 0; i < 3; ++i) w.Tick(ControlId::PushTimer);
        w.logger32Present = false;
        Watch();
        w.writesPending = true;
        w.Clear();
    }
    void Watch() { w.bridge.TimerTick(window::kWatchTimerSlot); }
    std::string Status() { return testing::U8(w.S().form.GetText(ControlId::StatusLine)); }
    Lines FileLines() {
        Lines out;
        for (const auto& l : w.log) {
            if (l.rfind("file", 0) == 0 || l.rfind("write", 0) == 0 || l.rfind("unsaved", 0) == 0 ||
                l.rfind("box", 0) == 0 || l == "end") {
                out.push_back(l.rfind("box", 0) == 0 ? l.substr(0, l.find(':', 4)) : l);
            }
        }
        w.Clear();
        return out;
    }
    Text Header() { return Text(not_logged::kNotLoggedHeader); }
    FakeWorld w;
};

TEST_F(NotLoggedWrites, AFailedWriteEndingLaterIsSaidAndTheRetryThatWorksClearsIt) {
    Start();
    w.fileWritable = false;
    w.bridge.Click(ControlId::LogQsoButton);
    EXPECT_EQ(FileLines(), Lines{"file written"});
    EXPECT_EQ(Status(), kOneKept) << "nothing is known of the write yet";
    Watch();
    EXPECT_EQ(FileLines(), Lines{}) << "no retry while the write is under way";

    w.EndPendingWrite();
    EXPECT_EQ(Status(), kCannotWrite);
    w.fileWritable = true;
    Watch();
    EXPECT_EQ(FileLines(), Lines{"file written"}) << "tried again on the watch's tick";
    Watch();
    EXPECT_EQ(FileLines(), Lines{}) << "and not again while that one is under way";
    EXPECT_EQ(Status(), kCannotWrite) << "until the retry has ended";
    w.EndPendingWrite();
    EXPECT_EQ(Status(), kOneKept);
    EXPECT_EQ(w.notLogged, Header() + kRecord);
    Watch();
    EXPECT_EQ(FileLines(), Lines{}) << "nothing more to write";
}

TEST_F(NotLoggedWrites, TheNewestTextWinsAndOnlyItsEndCounts) {
    Start();
    w.bridge.Click(ControlId::LogQsoButton);
    w.items["Call"] = u"JA1QRP";
    w.Deliver("Call", u"JA1QRP");
    w.bridge.Click(ControlId::LogQsoButton);
    EXPECT_EQ(FileLines(), (Lines{"file written", "file written"}));
    w.EndPendingWrite();
    EXPECT_EQ(Status(), "Logger32 closed: 2 QSOs kept");
    ASSERT_TRUE(w.notLogged);
    EXPECT_EQ(not_logged::RecordCount(*w.notLogged), 2u);
    // Both in the file: the close names it alone.
    EXPECT_THROW(w.bridge.Close(), Ended);
    EXPECT_EQ(FileLines(), (Lines{"box Linkwell", "end"}));
}

TEST_F(NotLoggedWrites, TheCloseWaitsForTheWriteAndTriesOnceMoreBeforeItNamesTheFiles) {
    Start();
    w.bridge.Click(ControlId::LogQsoButton);
    w.Clear();
    EXPECT_THROW(w.bridge.Close(), Ended);
    EXPECT_EQ(FileLines(), (Lines{"write finished", "box Linkwell", "end"}));
    EXPECT_EQ(w.notLogged, Header() + kRecord);
}

TEST_F(NotLoggedWrites, AWriteThatFailedIsTriedOnceMoreAtTheCloseThenGoesBesideIt) {
    Start();
    w.fileWritable = false;
    w.bridge.Click(ControlId::LogQsoButton);
    w.Clear();
    EXPECT_THROW(w.bridge.Close(), Ended);
    EXPECT_EQ(FileLines(), (Lines{"write finished", "file written", "write finished",
                                  "unsaved written", "box Linkwell", "end"}));
    EXPECT_EQ(w.unsaved, Header() + kRecord);
}

TEST_F(NotLoggedWrites, TheSessionEndWaitsForTheWrite) {
    Start();
    w.bridge.Click(ControlId::LogQsoButton);
    w.Clear();
    EXPECT_THROW(w.bridge.EndSession(), Ended);
    EXPECT_EQ(FileLines(), (Lines{"write finished", "end"}));
    EXPECT_EQ(w.notLogged, Header() + kRecord);
    EXPECT_FALSE(w.unsaved);
}

TEST_F(NotLoggedWrites, AHugeEarlierFileIsReadAsideAndKeptByteForByteAndShared) {
    // 200,000 records in the earlier run's spelling: lower-case markers,
    // a typed field, a letter of the code page, text between records.
    Text body;
    for (int i = 0; i < 200000; ++i) {
        const Text n = text::FromUtf8(std::to_string(100000 + i)).value();
        body += u"<call:9>K9O" + n + u" <NAME:4:S>Jos\u00e9<eor>" + (i % 7 == 0 ? u"\n" : u"\r\n");
    }
    body += u"<CALL:5>K8END<EOR>";
    w.notLogged = u"earlier header\r\n<eoh>\r\n" + body + u"\r\n\r\n";
    Start();
    EXPECT_EQ(not_logged::LeftoverCount(w.S()), 200001);
    w.bridge.Click(ControlId::LogQsoButton);
    w.EndPendingWrite();
    EXPECT_EQ(w.notLogged, Header() + body + u"\r\n" + kRecord);

    w.items["time"] = u"1240";
    w.Deliver("time", u"1240");
    w.bridge.Click(ControlId::LogQsoButton);
    w.EndPendingWrite();
    ASSERT_EQ(w.earlierAsked.size(), 2u);
    EXPECT_EQ(w.earlierAsked[0], w.earlierAsked[1]) << "one earlier text, shared by both writes";
}

TEST_F(NotLoggedWrites, TheEarlierFilesAreReadAside) {
    w.notLogged = u"<EOH><CALL:5>K9OLD<EOR>";
    w.log.clear();
    w.items["Mode"] = u"PSK31";
    testing::StartAndLink(w, platform::WindowHandle{FakeWorld::kLogger32Text});
    Lines reads;
    for (const auto& l : w.log) {
        if (l.rfind("file read", 0) == 0) reads.push_back(l);
    }
    EXPECT_EQ(reads, Lines{"file read aside"});
}

}  // namespace
}  // namespace linkwell
