// The field trace: what the recorder writes for a session in the simulated
// world, the file's bounds and failures, reading a trace back (also one cut
// off mid-line), the command line, and replaying recorded sessions.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "bridge/command_line.h"
#include "field_trace/output.h"
#include "field_trace/recorder.h"
#include "field_trace/trace_lines.h"
#include "scenario/scenario.h"
#include "sim/replay.h"
#include "sim/world.h"
#include "support/fake_station.h"
#include "text/text.h"
#include "vocabulary/kinds.h"

namespace {

namespace fs = std::filesystem;
using linkwell::field_trace::MemoryFile;
using linkwell::field_trace::Output;

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

struct Recorded {
    std::string stationTrace;  // what the stand-ins saw
    std::string field;         // the field trace
};

Recorded Record(const std::string& scenario, MemoryFile& file) {
    Output out(file);
    std::ostringstream station;
    linkwell::sim::World world(linkwell::scenario::ParseScenario(scenario, "test"), station, &out);
    (void)world.Run();
    return {station.str(), file.Text()};
}

Recorded Record(const std::string& scenario) {
    MemoryFile file;
    return Record(scenario, file);
}

// A field trace without its timers' TICK lines, for what lies between them.
std::string WithoutTicks(const std::string& field) {
    std::istringstream in(field);
    std::string out;
    for (std::string line; std::getline(in, line);) {
        if (line.find(" TICK ") == std::string::npos) out += line + "\n";
    }
    return out;
}

bool Has(const std::string& text, const std::string& line) {
    return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
}

// A station session: Logger32 appears late, MixW is in PSK, a spot is
// clicked in Logger32 and the operator logs a QSO; MixW closes at the end.
constexpr const char* kSession = R"(mixw start
mixw dde Mode "BPSK31"
mixw fqa 14070000
mixw audiofq 1000
at 2500
logger32 start
at 7000
mixw dde Call "JA1XYZ"
at 7300
logger32 settext "<APP_DXSPOT_CLICKED:20>JA1XYZ|14074.0|PSK31"
at 7350
logger32 post 100 14074000
mixw fqa 14073000
at 8100
click CommandSend
at 9000
mixw stop
at 10000
)";

TEST(FieldTraceRecorder, WritesWhatComesInAndGoesOutWithItsTimes) {
    const auto r = Record(kSession);
    const auto& f = r.field;
    EXPECT_EQ(f.substr(0, f.find('\n') + 1), "0 SESSION \"linkwell 1.2\"\n");
    EXPECT_TRUE(Has(f, "4000 FIND \"Logger32\" hwnd:Logger32"));
    EXPECT_TRUE(Has(f, "4000 L32 post \"Logger32 1\" 1 hwnd:Linkwell"));
    EXPECT_TRUE(Has(f, "5000 OBJECT \"MixW2.Application\" obtained"));
    EXPECT_TRUE(Has(f, "5000 L32CODE \"Logger32 1\" 0 1"));
    EXPECT_TRUE(Has(f, "5000 L32CODE \"Logger32 1\" 3 hwnd:Logger32Text"));
    // The current value as a link opens, then the link; a later value.
    EXPECT_NE(f.find("5800 DDE Mode \"BPSK31\"\n5800 LINK \"MixW\" \"QSO\" \"Mode\" active"),
              std::string::npos);
    EXPECT_TRUE(Has(f, "7000 DDE Call \"JA1XYZ\""));
    EXPECT_TRUE(Has(f, "5800 FQA 14070000"));
    EXPECT_TRUE(Has(f, "5800 AUDIOFQ 1000"));
    EXPECT_TRUE(Has(f, "7400 FQA 14073000 after 5800"));
    EXPECT_TRUE(Has(f, "5800 DECIMAL \".\""));
    EXPECT_TRUE(Has(f, "7300 L32TEXT \"<APP_DXSPOT_CLICKED:20>JA1XYZ|14074.0|PSK31\""));
    EXPECT_TRUE(Has(f, "7350 L32CODE \"Logger32 1\" 100 14074000"));
    EXPECT_TRUE(Has(f, "8100 CLICK CommandSend"));
    // Every outgoing line the stand-ins saw is in the field trace too.
    std::istringstream station(r.stationTrace);
    for (std::string line; std::getline(station, line);) {
        EXPECT_TRUE(Has(f, line)) << line;
    }
    // MixW2 gone: each failed call, with the time of the last one that worked.
    EXPECT_TRUE(Has(f, "9000 FAILED FqA after 8200"));
    EXPECT_FALSE(Has(f, "9800 FAILED")) << "MixW2 is taken for gone: no more calls";
}

TEST(FieldTraceRecorder, WritesMessageBoxesTheirOkAndTheClose) {
    const auto r = Record(R"(logger32 start
logger32 refuse 5
mixw start
at 6100
ok
at 6500
close
)");
    EXPECT_TRUE(Has(r.field,
                    "6000 BOX \"Too busy\" \"Unable to connect to Logger32.  I tried 5 "
                    "different registered messages and all were rejected\""));
    EXPECT_TRUE(Has(r.field, "6100 OK"));
    EXPECT_TRUE(Has(r.field, "6500 CLOSE"));
    EXPECT_TRUE(Has(r.field, "6500 END"));
}

// Peers that hang, close and come back: MixW2 slow to answer a read,
// Logger32 slow to take a text, then hung past the send's bound until a
// probe finds it answering again, then closed (a text finds no window, the
// watch finds its window gone) and started again; MixW2 closed and back.
constexpr const char* kPeersComeAndGo = R"(logger32 start
mixw start
mixw dde Mode "CW"
mixw dde khz "7030.0"
mixw fqa 7030000
at 7000
mixw hang 1500
at 8000
logger32 hang 1200
mixw dde khz "7031.0"
at 9100
logger32 hang 3800
mixw dde khz "7032.0"
at 12950
mixw dde khz "7033.0"
at 13500
logger32 stop
mixw dde khz "7034.0"
at 15500
logger32 start
at 16000
mixw stop
at 17500
mixw start
at 19000
)";

TEST(FieldTraceRecorder, WritesPeersGoneHungAndBack) {
    const auto whole = Record(kPeersComeAndGo).field;
    // Each tick of the window's timers, ahead of what it did: the push tick
    // at 7400 whose read kept the bridge waiting in a hung MixW2.
    EXPECT_NE(whole.find("6600 TICK Timer2\n6600 L32 text \"<APP_FORCE_FREQ:4>7030\"\n"
                         "7400 TICK Timer2\n8500 WAITED FqA 1100\n"),
              std::string::npos)
        << whole;
    const auto f = WithoutTicks(whole);
    auto has = [&f](const std::string& lines) { return f.find(lines) != std::string::npos; };
    // A read that kept the bridge waiting; a text Logger32 took late.
    EXPECT_TRUE(has("6600 L32 text \"<APP_FORCE_FREQ:4>7030\"\n8500 WAITED FqA 1100\n"));
    EXPECT_TRUE(
        has("8500 L32 text \"<CALL:4>Call<RST_RCVD:7>RST rcv<RST_SENT:7>RST snt<QTH:3>"
            "Qth<NAME:4>Name<COMMENT:5>Notes<GRIDSQUARE:3>Loc<IOTA:4>IOTA<QSL_VIA:7>"
            "Manager\"\n9200 WAITED text 700\n9200 DDE khz \"7031.0\"\n"));
    // A text not taken within its bound goes on being sent; the next waits
    // its turn until Logger32 wakes and takes the first.
    EXPECT_TRUE(
        has("9200 L32 text \"<APP_FORCE_FREQ:4>7031\"\n12200 WAITED text 3000\n"
            "12200 PENDING text\n12200 " +
            linkwell::testing::HungStatus() +
            "\n"
            "12200 DDE khz \"7032.0\"\n12900 SETTLED taken\n"
            "12900 L32 text \"<APP_FORCE_FREQ:4>7032\"\n"
            "12900 STATUS \"            MixW2 control active !\"\n"
            "12950 DDE khz \"7033.0\"\n12950 L32 text \"<APP_FORCE_FREQ:4>7033\"\n"))
        << f;
    // Logger32 closed: texts find no window, the watch finds its window
    // without a process, looks for it in vain, then finds a new one. Each
    // tick of the watch that met something is written ahead of its lines.
    EXPECT_TRUE(has("13500 L32 text \"<APP_FORCE_FREQ:4>7034\"\n13500 GONE text\n"));
    EXPECT_TRUE(
        has("13500 GONE text\n14000 WATCH\n14000 PROCESS hwnd:Logger32 0\n"
            "14000 STATUS \"Logger32 closed: waiting for it\"\n"
            "15000 WATCH\n15000 FIND \"Logger32\" 0\n"
            "16000 WATCH\n16000 FIND \"Logger32\" hwnd:Logger32\n"
            "16000 L32 post \"Logger32 1\" 1 hwnd:Linkwell\n16000 LINKS ended\n"))
        << f;
    // MixW2 closed: its conversations ended (in the same tick); its object
    // is asked for again.
    EXPECT_TRUE(
        has("17000 WATCH\n17000 OBJECT \"MixW2.Application\" unavailable\n"
            "18000 WATCH\n18000 OBJECT \"MixW2.Application\" obtained\n"));
    // The ticks that met nothing (one a second from 6000) left no line.
    std::size_t ticks = 0;
    for (auto at = f.find(" WATCH\n"); at != std::string::npos; at = f.find(" WATCH\n", at + 1)) {
        ++ticks;
    }
    EXPECT_EQ(ticks, 5U) << f;
    EXPECT_FALSE(has("ANSWERS")) << "no probe was needed: Logger32 took a text first";
}

TEST(FieldTraceRecorder, WritesASendThatWentOnPastItsBoundAndACallPastItsBound) {
    const auto whole = Record(R"(logger32 start
mixw start
at 7000
mixw hang 6000
at 8000
logger32 hang 9000
at 13000
mixw dde Call "K1ABC"
at 18000
)")
                           .field;
    // A push tick missed while the bridge waited comes once after the wait,
    // and the next on the timer's own schedule.
    EXPECT_NE(whole.find("16000 PENDING text\n16000 " + linkwell::testing::HungStatus() +
                         "\n16000 TICK Timer2\n16200 TICK Timer2\n"),
              std::string::npos)
        << whole;
    const auto f = WithoutTicks(whole);
    auto has = [&f](const std::string& lines) { return f.find(lines) != std::string::npos; };
    // The push tick's read gives up after 5 s: MixW2 is not taken for gone;
    // the next read fails at once while that call is still inside MixW2.
    EXPECT_TRUE(
        has("6600 L32 text \"<APP_FORCE_FREQ:1>0\"\n12400 WAITED FqA 5000\n"
            "12400 FAILED FqA after 6600\n12400 FAILED FqA after 6600\n"))
        << f;
    EXPECT_FALSE(has("LINKS ended"));
    // MixW2 answers again at 13000: the push tick missed meanwhile comes
    // then (its timer keeps its phase), and the record goes to a hung
    // Logger32, which takes it when it wakes, at 17000; the bridge hears then.
    EXPECT_TRUE(
        has("13000 DDE Call \"K1ABC\"\n13000 L32 text \"<CALL:5>K1ABC<RST_RCVD:7>RST rcv"
            "<RST_SENT:7>RST snt<QTH:3>Qth<NAME:4>Name<COMMENT:5>Notes<GRIDSQUARE:3>Loc"
            "<IOTA:4>IOTA<QSL_VIA:7>Manager\"\n16000 WAITED text 3000\n"
            "16000 PENDING text\n16000 " +
            linkwell::testing::HungStatus() +
            "\n17000 SETTLED taken\n17000 STATUS \"            MixW2 control active !\"\n"))
        << f;
}

// The push reads MixW's dial as one unit (FqA, then AudioFq): the trace
// still has a line for each value that moved, and a read that fails at
// AudioFq keeps the FqA it got and names AudioFq as the failed call.
TEST(FieldTraceRecorder, WritesTheDialReadAsOneUnitMemberByMember) {
    linkwell::testing::FakeWorld w;
    MemoryFile file;
    Output out(file);
    std::int64_t now = 0;
    linkwell::field_trace::Recorder rec(w, w, out, [&now] { return now; });
    auto mixw = rec.GetActiveObject(u"MixW2.Application");
    ASSERT_TRUE(mixw);
    w.fqa = 14074000;
    w.audioFq = 1000;
    now = 100;
    auto dial = mixw->ReadDial();
    ASSERT_TRUE(dial.fqa && dial.audioFq);
    EXPECT_EQ(*dial.fqa + *dial.audioFq, 14075000);
    now = 900;
    w.fqa = 14070000;
    w.goodReads = 1;
    dial = mixw->ReadDial();
    ASSERT_TRUE(dial.fqa);
    EXPECT_EQ(*dial.fqa, 14070000);
    EXPECT_FALSE(dial.audioFq);
    const std::string text = file.Text();
    const std::string obtained = "0 OBJECT \"MixW2.Application\" obtained\n";
    ASSERT_NE(text.find(obtained), std::string::npos);
    EXPECT_EQ(text.substr(text.find(obtained) + obtained.size()),
              "100 FQA 14074000\n100 AUDIOFQ 1000\n900 FQA 14070000 after 100\n"
              "900 FAILED AudioFq after 900\n");
}

// What the world says of a failure reaches the trace after the line's own
// details: the system's code, and a call's exception with its text.
TEST(FieldTraceRecorder, WritesTheReasonTheWorldGivesForAFailure) {
    using linkwell::platform::FailureReason;
    linkwell::testing::FakeWorld w;
    MemoryFile file;
    Output out(file);
    std::int64_t now = 0;
    linkwell::field_trace::Recorder rec(w, w, out, [&now] { return now; });
    auto lines = [&file, seen = std::size_t{0}]() mutable {
        const std::string text = file.Text();
        return text.substr(std::exchange(seen, text.size()));
    };
    (void)lines();  // the session's line

    w.mixwRunning = false;
    w.failure = FailureReason{0x800401E3, {}, {}};  // MK_E_UNAVAILABLE
    EXPECT_FALSE(rec.GetActiveObject(u"MixW2.Application"));
    EXPECT_EQ(lines(), "0 OBJECT \"MixW2.Application\" unavailable 0x800401E3\n");

    w.mixwRunning = true;
    w.failure.reset();
    auto mixw = rec.GetActiveObject(u"MixW2.Application");
    ASSERT_TRUE(mixw);
    (void)lines();
    now = 300;
    w.mixwAlive = false;
    w.mixwFailure = FailureReason{0x80020009, 0x80004005, u"Bad \"field\""};
    linkwell::platform::Text value = u"K1ABC";
    EXPECT_EQ(mixw->SetQsoData(1, value), linkwell::platform::CallStatus::Failed);
    w.mixwFailure = FailureReason{0x800706BA, {}, {}};
    EXPECT_EQ(mixw->ExecuteMacros(u"<MODE:CW>"), linkwell::platform::CallStatus::Failed);
    EXPECT_FALSE(mixw->FqA());
    EXPECT_EQ(lines(),
              "300 FAILED SetQsoData after 0 0x80020009 0x80004005 \"Bad \\\"field\\\"\"\n"
              "300 FAILED ExecuteMacros after 0 0x800706BA\n"
              "300 FAILED FqA after 0 0x800706BA\n");

    w.refusedItems = {"Call"};
    w.failure = FailureReason{0x4009, {}, {}};  // DMLERR_NOTPROCESSED
    EXPECT_EQ(rec.ActivateLink({u"MixW", u"QSO", u"Call"}),
              linkwell::platform::LinkStatus::Refused);
    w.linksReachable = false;
    w.failure = FailureReason{0x400A, {}, {}};  // DMLERR_NO_CONV_ESTABLISHED
    EXPECT_EQ(rec.ActivateLink({u"MixW", u"QSO", u"Mode"}),
              linkwell::platform::LinkStatus::Unreachable);
    EXPECT_EQ(lines(),
              "300 LINK \"MixW\" \"QSO\" \"Call\" refused 0x00004009\n"
              "300 LINK \"MixW\" \"QSO\" \"Mode\" unreachable 0x0000400A\n");

    // A post refused, a text to a window gone (GetLastError's codes).
    w.postDelivery = linkwell::platform::Delivery::Refused;
    w.failure = FailureReason{5, {}, {}};
    const linkwell::platform::WindowHandle logger32{linkwell::testing::FakeWorld::kLogger32};
    (void)rec.PostMessage(logger32, rec.RegisterMessage(u"Logger32 1"), 1, 0);
    w.textDelivery = linkwell::platform::Delivery::NoWindow;
    w.failure = FailureReason{1400, {}, {}};
    (void)rec.SendText(logger32, u"<EOR>");
    const std::string sent = lines();
    EXPECT_NE(sent.find("300 REFUSED post 0x00000005\n"), std::string::npos) << sent;
    EXPECT_NE(sent.find("300 GONE text 0x00000578\n"), std::string::npos) << sent;

    // not-logged.adi held by another program: the write's code with HELD;
    // the write that works again has none.
    w.fileWritable = false;
    w.failure = FailureReason{32, {}, {}};  // ERROR_SHARING_VIOLATION
    linkwell::platform::NotLoggedText kept;
    kept.records = u"<CALL:5>K1ABC<EOR>";
    EXPECT_EQ(rec.WriteNotLogged(kept), linkwell::platform::FileWrite::Failed);
    w.fileWritable = true;
    w.failure.reset();
    EXPECT_EQ(rec.WriteNotLogged(kept), linkwell::platform::FileWrite::Done);
    EXPECT_EQ(lines(), "300 HELD yes 0x00000020\n300 HELD no\n");

    // A world that gives no reason leaves the line as it always was.
    w.fileWritable = false;
    EXPECT_EQ(rec.WriteNotLogged(kept), linkwell::platform::FileWrite::Failed);
    EXPECT_EQ(lines(), "300 HELD yes\n");
}

TEST(FieldTraceFile, StartsANewFileAtItsLimitWithoutSplittingALine) {
    MemoryFile file;
    Output out(file, 40);
    out.Line(0, "SESSION", "\"linkwell 1.1\"");  // 25 bytes
    out.Line(5, "STATUS", "\"abc\"");            // 15 more: exactly 40
    out.Line(6, "STATUS", "\"de\"");             // would pass 40
    EXPECT_EQ(file.Previous(), "0 SESSION \"linkwell 1.1\"\n5 STATUS \"abc\"\n");
    EXPECT_EQ(file.Text(), "6 STATUS \"de\"\n");
    EXPECT_EQ(file.Generations(), 2);
    // A line longer than the limit still goes, alone, into a file.
    out.Line(7, "L32", "text \"" + std::string(60, 'x') + "\"");
    EXPECT_EQ(file.Previous(), "6 STATUS \"de\"\n");
    EXPECT_EQ(file.Generations(), 3);
    EXPECT_FALSE(out.Failed());
}

TEST(FieldTraceFile, AFileThatCannotBeWrittenIsReportedOnceAndTheBridgeRunsOn) {
    const auto scn = fs::path(LINKWELL_SCENARIO_DIR) / "startup.scn";
    const auto expected = Slurp(fs::path(LINKWELL_SCENARIO_DIR) / "startup.trace");
    for (const bool full : {false, true}) {
        // Not writable at all; or a disk that fills up in the middle.
        MemoryFile file(u"C:\\no\\such\\dir\\x.trace", true, full ? 400 : 0);
        const auto r = Record(Slurp(scn), file);
        const std::string note =
            "STATUS \"Field trace stopped: cannot write "
            "C:\\\\no\\\\such\\\\dir\\\\x.trace\"";
        std::istringstream station(r.stationTrace);
        std::string withoutNote;
        int notes = 0;
        for (std::string line; std::getline(station, line);) {
            if (line.find(note) != std::string::npos) {
                ++notes;
                continue;
            }
            withoutNote += line + "\n";
        }
        EXPECT_EQ(notes, 1) << "full=" << full;
        EXPECT_EQ(withoutNote, expected) << "full=" << full;
        EXPECT_LE(file.Text().size(), 400u);
        if (full) {
            EXPECT_TRUE(Has(r.field, "0 SESSION \"linkwell 1.2\""));
        }
    }
}

TEST(FieldTraceLines, ReadBackAndPrintAgainExactly) {
    const auto field = Record(kSession).field;
    const auto read = linkwell::field_trace::ParseTrace(field, "f");
    EXPECT_FALSE(read.cutShort);
    std::string printed;
    for (const auto& l : read.lines) printed += linkwell::field_trace::Format(l) + "\n";
    EXPECT_EQ(printed, field);
    // Strings with escapes and non-ASCII text.
    const std::string line = "12 L32TEXT \"<NAME:4>J\\u00f6rg \\\"\\\\\\n\"";
    const auto one = linkwell::field_trace::ParseTrace(line + "\n", "f");
    ASSERT_EQ(one.lines.size(), 1u);
    EXPECT_EQ(one.lines[0].details[0].value, u"<NAME:4>J\u00f6rg \"\\\n");
    EXPECT_EQ(linkwell::field_trace::Format(one.lines[0]), line);
}

TEST(FieldTraceLines, BadLinesNameTheirPlace) {
    for (const char* bad :
         {"x STATUS \"a\"\n", "5\n", "5 STATUS \"a\n", "-3 END\n", "5 STATUS \"\\q\"\n"}) {
        try {
            (void)linkwell::field_trace::ParseTrace(std::string("0 SESSION\n") + bad, "f.trace");
            ADD_FAILURE() << bad;
        } catch (const linkwell::field_trace::TraceError& e) {
            EXPECT_EQ(std::string(e.what()).substr(0, 10), "f.trace:2:") << bad;
        }
    }
}

TEST(FieldTraceReplay, ATraceCutMidLineReplaysUpToItsLastWholeLine) {
    const auto field = Record(kSession).field;
    // Cut in the middle of the line that holds the click.
    const auto click = field.find("8100 CLICK");
    ASSERT_NE(click, std::string::npos);
    const auto cut = field.substr(0, click + 8);
    const auto plan = linkwell::sim::PlanReplay(cut, "cut.trace");
    EXPECT_TRUE(plan.cutShort);
    EXPECT_EQ(plan.scenario.find("click"), std::string::npos);
    const auto whole = linkwell::field_trace::ParseTrace(field.substr(0, click), "f").lines;
    std::size_t outgoing = 0;
    for (const auto& l : whole) outgoing += linkwell::vocabulary::IsOutgoing(l.kind) ? 1 : 0;
    EXPECT_EQ(plan.recorded.size(), outgoing);
    const auto result = linkwell::sim::Replay(plan, 0);
    EXPECT_TRUE(result.same) << result.report;
    EXPECT_NE(result.report.find("the last line was cut off"), std::string::npos);
}

// A bridge killed from outside writes no END, and may have been killed in
// the middle of a handling: the replay gives out the rest of it, which the
// recording could not hold. What the bridge gave out is compared up to the
// replay's own line that reads as the recording's last outgoing or TICK
// line; a session the bridge ended itself is compared whole.
TEST(FieldTraceReplay, ABridgeStoppedFromOutsideIsComparedAsFarAsItsRecordingGoes) {
    const auto field = Record(kSession).field;
    // The recording stops at `line` (its time moved to `time`), as under
    // Wine where a handling's lines are spread over some milliseconds.
    auto stoppedAt = [&](const std::string& line, const std::string& time) {
        const auto at = field.find(line);
        EXPECT_NE(at, std::string::npos) << line << " in\n" << field;
        const auto start = line.find(' ');
        return field.substr(0, at) + time + line.substr(start);
    };

    // Killed in the click's handling, after its logging text (the QSO's
    // record went just before it) and before its codes.
    const auto clicked = stoppedAt(
        "8100 L32 text \"<APP_LOGQSO:176><CALL:6>JA1XYZ<RST_RCVD:7>RST rcv<RST_SENT:7>RST snt"
        "<QTH:3>Qth<NAME:4>Name<COMMENT:5>Notes<GRIDSQUARE:3>Loc<IOTA:4>IOTA<QSL_VIA:7>Manager"
        "<APP_TIME_ON:4>Time<APP_TIME_OFF:4>Time\"\n",
        "8100");
    const auto plan = linkwell::sim::PlanReplay(clicked, "killed.trace");
    EXPECT_TRUE(plan.stopped);
    EXPECT_NE(plan.scenario.find("# the bridge was stopped from outside (no END)\n"),
              std::string::npos)
        << plan.scenario;
    const auto result = linkwell::sim::Replay(plan, 0);
    EXPECT_TRUE(result.same) << result.report;
    EXPECT_NE(result.report.find("the bridge was stopped from outside (no END): what it gave out "
                                 "is compared up to its last L32 text \"<APP_LOGQSO:176>"),
              std::string::npos)
        << result.report;

    // Killed as Logger32's answer to the connect request came in, 20 ms
    // after the request: the simulated Logger32 answers at once, so the
    // replay's answer comes before the recorded one's time.
    const auto answered = stoppedAt("5000 L32CODE \"Logger32 1\" 0 1\n", "5020");
    EXPECT_TRUE(linkwell::sim::Replay(linkwell::sim::PlanReplay(answered, "f"), 400).same);

    // Killed in the push tick that makes MixW's links, after the value a
    // link brought (20 ms into the tick) and before the mode text it makes.
    const auto inTick = stoppedAt("5800 DDE Mode \"BPSK31\"\n", "5820");
    const auto tickResult = linkwell::sim::Replay(linkwell::sim::PlanReplay(inTick, "f"), 400);
    EXPECT_TRUE(tickResult.same) << tickResult.report;

    // A line missing before the recording's end still differs: the spot's
    // tuning, a handling before the click's.
    auto earlier = clicked;
    const auto tune = earlier.find(" MIXW ");
    ASSERT_NE(tune, std::string::npos);
    const auto lineStart = earlier.rfind('\n', tune) + 1;
    ASSERT_LT(std::stoll(earlier.substr(lineStart)), 8100);
    earlier.erase(lineStart, earlier.find('\n', tune) + 1 - lineStart);
    EXPECT_FALSE(linkwell::sim::Replay(linkwell::sim::PlanReplay(earlier, "f"), 0).same);

    // The bridge closed by the operator wrote END: its last lines count.
    const auto closed = Record("logger32 start\nmixw start\nat 6000\nclose\n").field;
    ASSERT_TRUE(Has(closed, "6000 END")) << closed;
    auto lacking = closed;
    const std::string notice = "6000 L32 send \"Logger32 1\" 4 ref\n";
    ASSERT_NE(lacking.find(notice), std::string::npos) << closed;
    lacking.erase(lacking.find(notice), notice.size());
    const auto closedPlan = linkwell::sim::PlanReplay(lacking, "f");
    EXPECT_FALSE(closedPlan.stopped);
    EXPECT_FALSE(linkwell::sim::Replay(closedPlan, 0).same);
}

// The scenario a killed session becomes, played with a recorder, gives the
// recorded lines again; compared as the replay compares its own, its last
// handling counts only as far as the recording goes.
TEST(FieldTraceReplay, TheScenarioATraceBecomesIsComparedAsItsReplay) {
    const auto field = Record(kSession).field;
    const auto clicked = field.substr(0, field.find("8100 L32 post \"Logger32 1\" 15 1"));
    const auto plan = linkwell::sim::PlanReplay(clicked, "killed.trace");
    const auto played = Record(plan.scenario).field;
    // The played session went on past the click: the posts after its text.
    ASSERT_TRUE(Has(played, "8100 L32 post \"Logger32 1\" 15 1")) << played;
    const auto result = linkwell::sim::CompareReplayed(plan, played, 0);
    EXPECT_TRUE(result.same) << result.report;

    auto other = played;
    const std::string text = "<APP_TIME_ON:4>Time";
    ASSERT_NE(other.find(text), std::string::npos);
    other.replace(other.find(text), text.size(), "<APP_TIME_ON:4>Tume");
    EXPECT_FALSE(linkwell::sim::CompareReplayed(plan, other, 0).same);
}

TEST(FieldTraceReplay, ReplaysTheLastSessionOfAFile) {
    const auto first = Record(kSession).field;
    const auto second = Record("logger32 start\nmixw start\nat 6000\nclose\n").field;
    const auto plan = linkwell::sim::PlanReplay(first + second, "two.trace");
    EXPECT_EQ(plan.session, 2);
    EXPECT_EQ(plan.sessions, 2);
    EXPECT_EQ(plan.scenario.find("mixw dde"), std::string::npos);
    EXPECT_TRUE(linkwell::sim::Replay(plan, 0).same);
}

TEST(FieldTraceReplay, ReportsWhereTheReplayDiffers) {
    auto field = Record(kSession).field;
    // As if the bridge at the station had sent another mode.
    const auto at = field.find("<MODE:BPSK31>");
    ASSERT_NE(at, std::string::npos);
    field.replace(at, 13, "<MODE:BPSK63>");
    const auto result = linkwell::sim::Replay(linkwell::sim::PlanReplay(field, "f"), 400);
    EXPECT_FALSE(result.same);
    EXPECT_NE(result.report.find("differs (Logger32 and MixW): recorded 7800 MIXW ExecuteMacros "
                                 "\"<MODE:BPSK63>\"\n  replayed 7800 MIXW ExecuteMacros "
                                 "\"<MODE:BPSK31>\""),
              std::string::npos)
        << result.report;
}

TEST(FieldTraceReplay, ALineLaterThanRecordedIsTheSameOnlyWithinTheTolerance) {
    auto field = Record(kSession).field;
    // As if the station's bridge had logged the QSO 300 ms later than the
    // simulated one does: the replayed line is 300 ms early.
    const std::string line = "8100 L32 text \"<APP_LOGQSO:";
    const auto at = field.find(line);
    ASSERT_NE(at, std::string::npos) << field;
    field.replace(at, 4, "8400");
    const auto plan = linkwell::sim::PlanReplay(field, "f");
    EXPECT_TRUE(linkwell::sim::Replay(plan, 300).same);
    EXPECT_FALSE(linkwell::sim::Replay(plan, 299).same);
    // And 300 ms earlier than the replay: the same rule the other way.
    field.replace(at, 4, "7800");
    const auto early = linkwell::sim::PlanReplay(field, "f");
    EXPECT_TRUE(linkwell::sim::Replay(early, 300).same);
    EXPECT_FALSE(linkwell::sim::Replay(early, 299).same);
}

// The actions other than the timers' ticks, without the times left empty.
std::string WithoutTickActions(const std::string& actions) {
    std::istringstream in(actions);
    std::vector<std::string> kept;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("tick ", 0) == 0) continue;
        if (!kept.empty() && kept.back().rfind("at ", 0) == 0 && line.rfind("at ", 0) == 0) {
            kept.back() = line;
        } else {
            kept.push_back(line);
        }
    }
    std::string out;
    for (const auto& l : kept) out += l + "\n";
    return out;
}

// The scenario's actions without its comments.
std::string Actions(const std::string& scenario) {
    std::istringstream in(scenario);
    std::string out;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind('#', 0) != 0) out += line + "\n";
    }
    return out;
}

TEST(FieldTraceReplay, PlaysPeersGoneHungAndBackBeforeTheEventsThatMetThem) {
    const auto plan = linkwell::sim::PlanReplay(Record(kPeersComeAndGo).field, "peers.trace");
    const auto result = linkwell::sim::Replay(plan, 0);
    EXPECT_TRUE(result.same) << result.report << plan.scenario;
    // The timers tick where the recorded ones did: the hang that the push
    // tick's read met comes before that tick.
    EXPECT_NE(Actions(plan.scenario).find("at 7400\nmixw hang 1100\ntick Timer2\nat 8500\n"),
              std::string::npos)
        << plan.scenario;
    const auto actions = WithoutTickActions(Actions(plan.scenario));
    // MixW2's wait is a hang from the call's start. Logger32 hung after it
    // last answered (it took a text at 6600), until it took the text that
    // waited (9200); its hang from the text that went on past its bound
    // lasts until it took that text (12900). A hang or a stop comes before
    // the value whose send met it.
    EXPECT_NE(actions.find("at 6601\nlogger32 hang 2599\nat 7400\nmixw hang 1100\n"
                           "at 9200\nlogger32 hang 3700\nmixw dde khz \"7031.0\"\n"),
              std::string::npos)
        << actions;
    EXPECT_NE(actions.find("at 13500\nlogger32 stop\nmixw dde khz \"7034.0\"\n"), std::string::npos)
        << actions;
    // The watch ticks where the recorded one met something, and only there:
    // Logger32 back after the watch missed it; MixW2 gone when its links
    // ended, before the tick that found them ended; back after its object
    // was missed, with the values its links brought as they opened.
    EXPECT_LT(actions.find("ticks recorded\n"), actions.find("at ")) << actions;
    EXPECT_NE(actions.find("at 14000\nwatch\nat 15000\nwatch\nat 15001\nlogger32 start\n"
                           "at 16000\nmixw stop\nwatch\nat 17000\nwatch\nat 17001\n"
                           "mixw start\nat 18000\nmixw dde khz \"7034.0\"\nmixw dde Mode \"CW\"\n"
                           "watch\n"),
              std::string::npos)
        << actions;
}

// A station's trace carries the reasons of its failures; the replay reads
// them and plays the session as it plays one without them.
TEST(FieldTraceReplay, ReadsLinesWithTheirFailuresReasons) {
    const std::string field = Record(kPeersComeAndGo).field;
    auto withCodes = field;
    auto addCode = [&withCodes](const std::string& line, const std::string& code) {
        const auto at = withCodes.find(line + "\n");
        ASSERT_NE(at, std::string::npos) << line;
        withCodes.insert(at + line.size(), code);
    };
    addCode("13500 GONE text", " 0x00000578");
    addCode("17000 OBJECT \"MixW2.Application\" unavailable", " 0x800401E3");
    ASSERT_NE(withCodes, field);
    // And lines of kinds this session has none of.
    const std::string more =
        "0 SESSION \"linkwell 1.2\"\n"
        "10 LINK \"MixW\" \"QSO\" \"Call\" refused 0x00004009\n"
        "20 FAILED SetQsoData 0x80020009 0x80004005 \"Bad field\"\n"
        "30 FAILED FqA after 20 0x800706BA\n"
        "40 HELD yes 0x00000020\n";
    const auto read = linkwell::field_trace::ParseTrace(more, "more");
    ASSERT_EQ(read.lines.size(), 5U);
    EXPECT_EQ(linkwell::field_trace::Format(read.lines[2]),
              "20 FAILED SetQsoData 0x80020009 0x80004005 \"Bad field\"");
    const auto plain = linkwell::sim::PlanReplay(field, "peers.trace");
    const auto coded = linkwell::sim::PlanReplay(withCodes, "peers.trace");
    EXPECT_EQ(coded.scenario, plain.scenario);
    EXPECT_TRUE(linkwell::sim::Replay(coded, 0).same);
    const auto small = linkwell::sim::PlanReplay(more, "more");
    const auto smallPlain = linkwell::sim::PlanReplay(
        "0 SESSION \"linkwell 1.2\"\n10 LINK \"MixW\" \"QSO\" \"Call\" refused\n"
        "20 FAILED SetQsoData\n30 FAILED FqA after 20\n40 HELD yes\n",
        "more");
    EXPECT_EQ(small.scenario, smallPlain.scenario);
    EXPECT_NE(small.scenario.find("mixw refuse Call"), std::string::npos) << small.scenario;
    EXPECT_NE(small.scenario.find("file lock"), std::string::npos) << small.scenario;
}

TEST(FieldTraceReplay, PlaysLogger32GoneBeforeTheOkWhosePostsFoundNoWindow) {
    const auto field = Record(R"(logger32 start
mixw start
at 8000
click Command2
at 8300
logger32 stop
ok
at 9500
)")
                           .field;
    ASSERT_NE(field.find("8300 OK\n8300 L32 post \"Logger32 1\" 12 0\n8300 GONE post\n"),
              std::string::npos)
        << field;
    const auto plan = linkwell::sim::PlanReplay(field, "f");
    EXPECT_NE(Actions(plan.scenario).find("at 8300\nlogger32 stop\nok\n"), std::string::npos)
        << plan.scenario;
    const auto result = linkwell::sim::Replay(plan, 0);
    EXPECT_TRUE(result.same) << result.report;
}

TEST(FieldTraceReplay, PlaysALogger32TakenForHungGivenUpAtOnce) {
    // Nothing goes to Logger32 after the record at 7400; it hangs from 8000,
    // and at the close, 6 s after it last answered, Windows (and the
    // simulated world) take it for hung: the leaving notice gives up at once.
    const auto field = Record(
                           "logger32 start\nmixw start\nat 8000\nlogger32 hang 20000\n"
                           "at 14000\nclose\nat 15000\n")
                           .field;
    ASSERT_NE(field.find("14000 L32 send \"Logger32 1\" 4 ref\n14000 TIMEOUT send\n14000 END\n"),
              std::string::npos)
        << field;
    const auto plan = linkwell::sim::PlanReplay(field, "f");
    EXPECT_TRUE(plan.inexact.empty());
    // Logger32 hangs from just after it last answered, through the end.
    EXPECT_NE(Actions(plan.scenario).find("at 7401\nlogger32 hang 6600\n"), std::string::npos)
        << plan.scenario;
    const auto result = linkwell::sim::Replay(plan, 0);
    EXPECT_TRUE(result.same) << result.report;
}

TEST(FieldTraceRecorder, AHungLogger32KeepsDdeConversationsFromBeingMadeItsTextWindowAloneDoesNot) {
    const std::string scenario =
        "logger32 start\nmixw start\nmixw fqa 7030000\nat 5500\nlogger32 hang 10000";
    const std::string rest = "\nat 9500\nclose\nat 10000\n";
    const auto count = [](const std::string& text, const std::string& what) {
        std::size_t n = 0;
        for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
        return n;
    };
    // Every program's windows are asked before a conversation: the hung
    // Logger32 gets half a second, then connects find none for 5 s; its
    // leaving notice gives up at once behind the text that went on.
    const auto whole = WithoutTicks(Record(scenario + rest).field);
    EXPECT_NE(whole.find("6300 LINK \"MixW\" \"QSO\" \"Call\" unreachable\n"
                         "6300 LINK \"MixW\" \"QSO\" \"RstRcv\" unreachable\n"),
              std::string::npos)
        << whole;
    EXPECT_EQ(count(whole, " unreachable\n"), 26U) << whole;
    EXPECT_NE(whole.find("9500 L32 send \"Logger32 1\" 4 ref\n9500 TIMEOUT send\n9500 END\n"),
              std::string::npos);
    // Its text window alone hung: the main window answers the connects and
    // takes the leaving notice.
    const auto text = WithoutTicks(Record(scenario + " text" + rest).field);
    EXPECT_NE(text.find("5800 LINK \"MixW\" \"QSO\" \"Call\" active\n"), std::string::npos) << text;
    EXPECT_EQ(count(text, " unreachable\n"), 0U);
    EXPECT_NE(text.find("8800 WAITED text 3000\n8800 PENDING text\n"), std::string::npos);
    EXPECT_NE(text.find("9500 L32 send \"Logger32 1\" 4 ref\n9500 END\n"), std::string::npos);
    // Both replay the same: the text window's hang is told from the links
    // made after it began, within the push tick that sent the text.
    EXPECT_TRUE(
        linkwell::sim::Replay(linkwell::sim::PlanReplay(Record(scenario + rest).field, "f"), 0)
            .same);
    const auto plan = linkwell::sim::PlanReplay(Record(scenario + " text" + rest).field, "f");
    EXPECT_NE(plan.scenario.find(" text\n"), std::string::npos) << plan.scenario;
    EXPECT_TRUE(linkwell::sim::Replay(plan, 0).same) << linkwell::sim::Replay(plan, 0).report;
}

TEST(FieldTraceReplay, PlaysALogger32EndedWhileHungFromTheEndOfItsText) {
    auto field =
        Record(Slurp(fs::path(LINKWELL_SCENARIO_DIR) / "logger32-ended-while-hung.scn")).field;
    // At the station the line that the text's window went away may come a
    // moment before the watch's or the code's line that its process is gone:
    // the text's end alone says Logger32 was ended, and it never woke.
    const std::string process = "13000 PROCESS hwnd:Logger32 0\n";
    const auto at = field.find("13000 SETTLED gone\n" + process);
    ASSERT_NE(at, std::string::npos) << field;
    field.erase(field.find(process, at), process.size());
    const auto plan = linkwell::sim::PlanReplay(field, "f");
    EXPECT_NE(Actions(plan.scenario).find("at 13000\nlogger32 stop\n"), std::string::npos)
        << plan.scenario;
    const auto result = linkwell::sim::Replay(plan, 0);
    EXPECT_TRUE(result.same) << result.report;
}

TEST(FieldTraceReplay, SaysWhenASessionCannotBePlayedAsItHappened) {
    const auto field = Record(R"(logger32 start
mixw start
at 8000
logger32 hang 9000
mixw dde khz "7031.0"
at 18000
)")
                           .field;
    ASSERT_TRUE(linkwell::sim::Replay(linkwell::sim::PlanReplay(field, "f"), 0).same);
    // As Windows may do: a Logger32 it takes for hung is given up at once.
    auto atOnce = field;
    const std::string waited = "11000 WAITED text 3000\n";
    const auto at = atOnce.find(waited);
    ASSERT_NE(at, std::string::npos) << field;
    atOnce.erase(at, waited.size());
    auto result = linkwell::sim::Replay(linkwell::sim::PlanReplay(atOnce, "f"), 0);
    EXPECT_FALSE(result.same);
    EXPECT_NE(result.report.find("not exact: line "), std::string::npos) << result.report;
    EXPECT_NE(result.report.find("(11000 PENDING text): Logger32 was given up at once"),
              std::string::npos)
        << result.report;
    // Windows refused a post: the lines may agree, the verdict may not.
    auto refused = field;
    refused.insert(refused.find("5000 OBJECT"), "4000 REFUSED post\n");
    result = linkwell::sim::Replay(linkwell::sim::PlanReplay(refused, "f"), 400);
    EXPECT_FALSE(result.same);
    EXPECT_NE(result.report.find("in order within 400 ms, but the session could not be played "
                                 "exactly"),
              std::string::npos)
        << result.report;
}

// Each scenario of the tests, recorded in the simulated world and replayed
// from its field trace alone, gives the same outgoing lines at the same
// virtual times.
class RecordedScenario : public testing::TestWithParam<fs::path> {};

TEST_P(RecordedScenario, ReplaysToTheSameOutgoingLines) {
    const auto field = Record(Slurp(GetParam())).field;
    const auto plan = linkwell::sim::PlanReplay(field, GetParam().string());
    const auto result = linkwell::sim::Replay(plan, 0);
    EXPECT_TRUE(result.same) << result.report << "\n--- field:\n"
                             << field << "\n--- scenario:\n"
                             << plan.scenario;
}

// Every scenario of tests/, late-text-window.scn among them (Logger32
// names its text window only after a QSO was logged).
std::vector<fs::path> Scenarios() {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(LINKWELL_SCENARIO_DIR)) {
        if (e.path().extension() == ".scn") out.push_back(e.path());
    }
    std::sort(out.begin(), out.end());
    return out;
}

INSTANTIATE_TEST_SUITE_P(Files, RecordedScenario, testing::ValuesIn(Scenarios()),
                         [](const testing::TestParamInfo<fs::path>& tpi) {
                             std::string name = tpi.param.stem().string();
                             for (auto& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             }
                             return name;
                         });

TEST(FieldTraceCommandLine, TraceSwitchesAndEverythingElse) {
    using linkwell::ParseCommandLine;
    EXPECT_FALSE(ParseCommandLine({}).showUsage);
    EXPECT_FALSE(ParseCommandLine({}).tracePath);
    for (const std::u16string sw : {u"--trace", u"/trace", u"/TRACE", u"-trace"}) {
        const auto c = ParseCommandLine({sw, u"C:\\logs\\station.trace"});
        EXPECT_FALSE(c.showUsage);
        EXPECT_EQ(c.tracePath, u"C:\\logs\\station.trace");
    }
    for (const auto& bad :
         std::vector<std::vector<std::u16string>>{{u"--trace"},
                                                  {u"--trace", u""},
                                                  {u"/?"},
                                                  {u"--help"},
                                                  {u"station.trace"},
                                                  {u"--trace", u"a", u"--trace", u"b"},
                                                  {u"--trace", u"a", u"x"},
                                                  {u"--tracer", u"a"}}) {
        const auto c = ParseCommandLine(bad);
        EXPECT_TRUE(c.showUsage);
        EXPECT_FALSE(c.tracePath);
    }
}

TEST(FieldTraceCommandLine, UdpSwitchTakesAnIpv4AddressAndNamesABadOne) {
    using linkwell::ParseCommandLine;
    EXPECT_FALSE(ParseCommandLine({}).udp);
    const auto both = ParseCommandLine({u"/UDP", u"224.0.0.1:2237", u"--trace", u"t"});
    ASSERT_TRUE(both.udp);
    EXPECT_EQ(both.udp->ip, (std::array<std::uint8_t, 4>{224, 0, 0, 1}));
    EXPECT_EQ(both.udp->port, 2237);
    EXPECT_TRUE(both.udp->IsMulticast());
    EXPECT_EQ(both.tracePath, u"t");
    const auto local = ParseCommandLine({u"--udp", u"127.0.0.1:65535"});
    ASSERT_TRUE(local.udp);
    EXPECT_FALSE(local.udp->IsMulticast());
    EXPECT_EQ(local.udp->port, 65535);
    for (const std::u16string bad :
         {u"127.0.0.1", u"127.0.0.1:", u"127.0.0.1:0", u"127.0.0.1:65536", u"127.0.0:2237",
          u"127.0.0.1.1:2237", u"256.0.0.1:2237", u"localhost:2237", u"127.0.0.1:22 37",
          u"127..0.1:2237", u":2237", u"127.0.0.1:-5", u"1.2.3.4:2237x"}) {
        const auto c = ParseCommandLine({u"--udp", bad});
        EXPECT_TRUE(c.showUsage) << linkwell::text::ToUtf8(bad);
        EXPECT_EQ(c.usageNote, u"Not an address for --udp: \"" + bad + u"\"\n\n");
    }
    // Twice, or with nothing after it: only the usage.
    EXPECT_TRUE(ParseCommandLine({u"--udp", u"1.2.3.4:5", u"--udp", u"1.2.3.4:5"}).showUsage);
    EXPECT_EQ(ParseCommandLine({u"--udp"}).usageNote, u"");
}

}  // namespace
