// The simulated world's event model (nesting, modal dispatch, sleeping,
// ending) and the scenario file's rules, seen through the trace.
#include <gtest/gtest.h>

#include <sstream>

#include "scenario/scenario.h"
#include "sim/world.h"

namespace linkwell::sim {
namespace {

using scenario::ParseScenario;
using scenario::ScenarioError;

struct Run {
    std::vector<std::string> lines;
    bool ended = false;
};

Run Play(const std::string& scenario) {
    std::ostringstream out;
    World world(ParseScenario(scenario, "test.scn"), out);
    Run r;
    r.ended = world.Run();
    std::istringstream in(out.str());
    for (std::string line; std::getline(in, line);) r.lines.push_back(line);
    return r;
}

// The lines whose kind is one of `kinds`, and not texts to Logger32.
std::vector<std::string> Only(const Run& r, std::initializer_list<std::string> kinds) {
    std::vector<std::string> out;
    for (const auto& l : r.lines) {
        for (const auto& k : kinds) {
            if (l.find(" " + k + " ") != std::string::npos || l.ends_with(" " + k)) {
                if (l.find(" L32 text ") == std::string::npos) out.push_back(l);
                break;
            }
        }
    }
    return out;
}

TEST(SimWorld, WithNothingRunningTheAboutWindowGivesWayAndTheBridgeKeepsWaiting) {
    const auto r = Play(
        "dump Linkwell Form1 Text1 Command1 Command2 Timer4 Timer3\n"
        "at 600\ndump Timer3\n"
        "at 3000\ndump Form1\nat 3001\ndump Linkwell Form1 Timer1\n"
        "at 60000\ndump Text1 Timer1\n");
    EXPECT_EQ(
        r.lines,
        (std::vector<std::string>{
            "0 CTRL Linkwell visible=true topmost=false",
            "0 CTRL Form1 visible=true topmost=true",
            "0 CTRL Text1 text=\"Waiting start Logger32 and MixW2\"",
            "0 CTRL Command1 caption=\"MixW2\" enabled=false backcolor=0x00F0F0F0 visible=true",
            "0 CTRL Command2 caption=\"Lg32\" enabled=false backcolor=0x00F0F0F0 visible=true",
            "0 CTRL Timer4 interval=3000 enabled=true",
            "0 CTRL Timer3 interval=500 enabled=true",
            "600 CTRL Timer3 interval=0 enabled=false",
            "3000 CTRL Form1 visible=true topmost=true",
            "3001 CTRL Linkwell visible=true topmost=false",
            "3001 CTRL Form1 visible=false topmost=true",
            "3001 CTRL Timer1 interval=1000 enabled=true",
            "60000 CTRL Text1 text=\"Waiting start Logger32 and MixW2\"",
            "60000 CTRL Timer1 interval=0 enabled=false",
        }));
    EXPECT_FALSE(r.ended);
}

TEST(SimWorld, ActionsGoOnWhileTheBridgeSleepsAndItsInputWaitsUntilItWakes) {
    // Logger32 appears 5 s into the wait: the looks at 4, 6 and 8 s fail.
    const auto r = Play(
        "at 4500\nclick Command3\ndump Command3\n"
        "at 9000\nlogger32 start\nmixw start\n"
        "at 9500\ndump Command3\n"
        "at 10000\ndump Command3\n"
        "at 10500\ndump Command3\n"
        "at 11001\ndump Command3\n");
    EXPECT_EQ(
        Only(r, {"CTRL", "L32"}),
        (std::vector<std::string>{
            "4500 CTRL Command3 caption=\"PKT LSB\" enabled=true backcolor=0x00F0F0F0 visible=true",
            "9500 CTRL Command3 caption=\"PKT LSB\" enabled=true backcolor=0x00F0F0F0 visible=true",
            // Actions due when the sleep ends come before the bridge wakes.
            "10000 CTRL Command3 caption=\"PKT LSB\" enabled=true backcolor=0x00F0F0F0 "
            "visible=true",
            "10000 L32 post \"Logger32 1\" 1 hwnd:Linkwell",
            "10000 L32 post \"Logger32 1\" 7 0",
            "10000 L32 post \"Logger32 1\" 11 0",
            "10000 L32 post \"Logger32 1\" 13 0",
            "10000 L32 post \"Logger32 1\" 19 0",
            "10000 L32 post \"Logger32 1\" 18 1",
            "10500 CTRL Command3 caption=\"PKT LSB\" enabled=true backcolor=0x00FFC0C0 "
            "visible=true",
            "11000 L32 post \"Logger32 1\" 2 0",
            "11000 L32 post \"Logger32 1\" 2 hwnd:Sent",
            // The click waited for the start-up wait to end.
            "11001 CTRL Command3 caption=\"PKT_USB\" enabled=true backcolor=0x00FFC0FF "
            "visible=true",
        }));
}

TEST(SimWorld, ATextArrivingDuringACallShowsAtOnceAndIsHandledAfterIt) {
    // The push tick's read at 6600 waits in a hung MixW2 until 8500.
    const auto r = Play(
        "logger32 start\nmixw start\nat 6500\nmixw hang 2000\n"
        "at 7000\nlogger32 settext \"<APP_DXSPOT_CLICKED:20>JA1XYZ|14074.0|PSK31\"\n"
        "at 7100\ndump Sent\nat 8600\n");
    std::vector<std::string> late;
    for (const auto& l : Only(r, {"CTRL", "L32", "MIXW"})) {
        if (l >= "7000") late.push_back(l);
    }
    EXPECT_EQ(late, (std::vector<std::string>{
                        // The box took the text as it came, as a window does while
                        // its thread waits...
                        "7100 CTRL Sent text=\"<APP_DXSPOT_CLICKED:20>JA1XYZ|14074.0|PSK31\"",
                        // ...and the bridge handled it once the call was over.
                        "8500 L32 post \"Logger32 1\" 10 hwnd:Cluster",
                    }));
}

TEST(SimWorld, MixWLateIsTriedASecondAfterTheWaitStartsAndThenEveryTwoSeconds) {
    const auto r = Play("logger32 start\nat 8500\nmixw start\nat 9100\n");
    EXPECT_EQ(Only(r, {"STATUS"}),
              (std::vector<std::string>{"4000 STATUS \"            MixW2 control active !\"",
                                        "4000 STATUS \"Waiting start MixW.\"",
                                        "9000 STATUS \"            MixW2 control active !\""}));
    // Logger32's answers queue up during the wait and are handled after it.
    EXPECT_EQ(Only(r, {"L32"}).back(), "9000 L32 post \"Logger32 1\" 2 hwnd:Sent");
}

TEST(SimWorld, AMessageBoxKeepsDispatchingTicksAndLogger32WhileItWaitsForOk) {
    const auto r = Play(
        "logger32 start\nmixw start\n"
        "at 7000\nclick Command2\n"
        "at 7500\nlogger32 post 102 42\nclick Command1\nclose\n"
        "dump Cluster Command1 Timer2\n"
        "at 9000\nok\ndump Command1 Timer2\n"
        "at 9700\n");
    const auto lines = Only(r, {"BOX", "CTRL", "END"});
    EXPECT_EQ(
        lines,
        (std::vector<std::string>{
            "7000 BOX \"Linkwell\" \"Please disable CAT and PTT MixW2 and after that press OK\"",
            "7500 CTRL Cluster text=\"Cluster\"",
            "7500 CTRL Command1 caption=\"MixW2\" enabled=false backcolor=0x00C000C0 visible=true",
            "7500 CTRL Timer2 interval=800 enabled=true",
            "9000 CTRL Command1 caption=\"MixW2\" enabled=true backcolor=0x00FFFF80 visible=true",
            "9000 CTRL Timer2 interval=0 enabled=false",
        }))
        << "clicks and closing are refused while the box is open";
    // The post is handled inside the box's loop, after the actions of its time.
    bool clusterSet = false;
    for (const auto& l : r.lines) clusterSet |= l == "7500 L32 post \"Logger32 1\" 10 hwnd:Cluster";
    EXPECT_FALSE(clusterSet);
    EXPECT_FALSE(r.ended);
}

TEST(SimWorld, ClosingEndsAtOnceAndNothingAfterItRuns) {
    const auto r = Play("logger32 start\nmixw start\nat 6000\nclose\nclick Command3\nat 9000\n");
    const auto tail = std::vector<std::string>(r.lines.end() - 7, r.lines.end());
    EXPECT_EQ(tail, (std::vector<std::string>{
                        "6000 L32 post \"Logger32 1\" 12 0", "6000 L32 post \"Logger32 1\" 18 0",
                        "6000 L32 post \"Logger32 1\" 6 0", "6000 L32 post \"Logger32 1\" 14 0",
                        "6000 L32 post \"Logger32 1\" 19 1", "6000 L32 send \"Logger32 1\" 4 ref",
                        "6000 END"}));
    EXPECT_TRUE(r.ended);
}

TEST(SimWorld, ClosingWhileWaitingForLogger32EndsAtOnceWithNothingSent) {
    const auto r = Play("at 4200\nclose\nat 7000\nlogger32 start\nat 9000\n");
    EXPECT_TRUE(r.ended);
    EXPECT_EQ(r.lines, std::vector<std::string>{"4200 END"});
}

TEST(SimWorld, ClosingWhileWaitingForMixW2RunsTheUnloadAtOnce) {
    const auto r = Play("logger32 start\nat 6500\nclose\nat 9000\n");
    EXPECT_TRUE(r.ended);
    const std::vector<std::string> tail(r.lines.end() - 7, r.lines.end());
    EXPECT_EQ(tail, (std::vector<std::string>{
                        "6500 L32 post \"Logger32 1\" 12 0", "6500 L32 post \"Logger32 1\" 18 0",
                        "6500 L32 post \"Logger32 1\" 6 0", "6500 L32 post \"Logger32 1\" 14 0",
                        "6500 L32 post \"Logger32 1\" 19 1", "6500 L32 send \"Logger32 1\" 4 ref",
                        "6500 END"}));
}

TEST(SimWorld, AClickOnAButtonDisabledWhenMadeDoesNothingLater) {
    // Lg32 is disabled until the start-up wait hands the rig to MixW2 at
    // 4000; a click at 3500 is lost, one at 4500 (enabled, waiting for
    // MixW2) acts once the wait is over.
    const auto lost =
        Play("logger32 start\nat 3500\nclick Command2\nat 6000\nmixw start\nat 9000\n");
    EXPECT_EQ(Only(lost, {"BOX"}), std::vector<std::string>{});
    const auto kept =
        Play("logger32 start\nat 4500\nclick Command2\nat 6000\nmixw start\nat 9000\n");
    EXPECT_EQ(
        Only(kept, {"BOX"}),
        std::vector<std::string>{
            "7000 BOX \"Linkwell\" \"Please disable CAT and PTT MixW2 and after that press OK\""});
}

TEST(SimWorld, HandshakeRefusalsRotateNamesAndFiveGiveUpWithOneBox) {
    const auto r = Play("logger32 refuse 5\nlogger32 start\nmixw start\nat 6200\nok\nat 7000\n");
    const auto lines = Only(r, {"BOX"});
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "6000 BOX \"Too busy\" \"Unable to connect to Logger32.  I tried 5 "
                         "different registered messages and all were rejected\""}));
    std::vector<std::string> requests;
    for (const auto& l : r.lines) {
        if (l.find(" 1 hwnd:Linkwell") != std::string::npos) requests.push_back(l);
    }
    EXPECT_EQ(requests, (std::vector<std::string>{"4000 L32 post \"Logger32 1\" 1 hwnd:Linkwell",
                                                  "5200 L32 post \"Logger32 2\" 1 hwnd:Linkwell",
                                                  "5400 L32 post \"Logger32 3\" 1 hwnd:Linkwell",
                                                  "5600 L32 post \"Logger32 4\" 1 hwnd:Linkwell",
                                                  "5800 L32 post \"Logger32 5\" 1 hwnd:Linkwell"}));
}

TEST(SimWorld, TextsFromLogger32PassThroughTheAnsiCodePage) {
    const auto r = Play(
        "logger32 start\nmixw start\nat 6000\n"
        "logger32 settext \"caf\\u00e9 \\u20ac \\u4e2d\"\ndump Sent\n");
    EXPECT_EQ(Only(r, {"CTRL"}),
              std::vector<std::string>{"6000 CTRL Sent text=\"caf\\u00e9 \\u20ac ?\""});
}

TEST(SimWorld, Logger32ThatNeverNamesATextWindowGetsNoText) {
    const auto r = Play("logger32 start notext\nmixw start\nmixw dde Mode \"CW\"\nat 7000\n");
    for (const auto& l : r.lines) EXPECT_EQ(l.find(" L32 text "), std::string::npos) << l;
    EXPECT_EQ(Only(r, {"L32"}).back(), "5000 L32 post \"Logger32 1\" 2 hwnd:Sent");
}

struct BadScenario {
    const char* source;
    const char* message;
};

void PrintTo(const BadScenario& b, std::ostream* os) {
    *os << b.message;
}

class ScenarioErrors : public ::testing::TestWithParam<BadScenario> {};

TEST_P(ScenarioErrors, NameTheFileAndLine) {
    try {
        (void)ParseScenario(GetParam().source, "x.scn");
        FAIL() << "accepted: " << GetParam().source;
    } catch (const ScenarioError& e) {
        EXPECT_EQ(std::string(e.what()), GetParam().message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScenarioErrors,
    ::testing::Values(
        BadScenario{"# c\n\nfly away\n", "x.scn:3: unknown action: fly"},
        BadScenario{"wait ten\n", "x.scn:1: bad number: ten"},
        BadScenario{"mixw fqa 14e\n", "x.scn:1: bad number: 14e"},
        BadScenario{"logger32 settext \"abc\n", "x.scn:1: unterminated string"},
        BadScenario{"at 100\nat 50\n", "x.scn:2: time going backwards"},
        BadScenario{"wait -5\n", "x.scn:1: time going backwards"},
        BadScenario{"dump Text1 Nothing\n", "x.scn:1: unknown control: Nothing"},
        BadScenario{"logger32 post 0 hwnd:Nowhere\n", "x.scn:1: unknown handle: hwnd:Nowhere"},
        BadScenario{"click Text1\n", "x.scn:1: unknown button: Text1"},
        BadScenario{"mixw dde Foo \"x\"\n", "x.scn:1: unknown DDE item: Foo"},
        BadScenario{"logger32 settext \"a\\qb\"\n", "x.scn:1: bad escape \\q"},
        BadScenario{"ok now\n", "x.scn:1: wrong number of arguments for ok"},
        BadScenario{"peers logger32-text=slow\n",
                    "x.scn:1: logger32-text is answers or hung: slow"},
        BadScenario{"peers fast=1\n", "x.scn:1: unknown peer setting: fast"},
        BadScenario{"peers hung\n", "x.scn:1: a peer setting is NAME=VALUE: hung"},
        BadScenario{"peers bridge-kill=soon\n", "x.scn:1: bridge-kill takes milliseconds: soon"},
        BadScenario{"peers second-bridge=6000:loud\n",
                    "x.scn:1: second-bridge is MS or MS:trace: 6000:loud"},
        BadScenario{"peers bridges-at-once=21\n", "x.scn:1: number out of range: 21"},
        BadScenario{"peers bridges-at-once=1\n", "x.scn:1: number out of range: 1"},
        BadScenario{"peers logger32-hang=stuck\n",
                    "x.scn:1: logger32-hang is answers-posts or blocked: stuck"},
        BadScenario{"peers mixw-hung-call=never\n",
                    "x.scn:1: mixw-hung-call is ends-with-mixw or outlives-mixw: never"},
        BadScenario{"limit Close_ms 5\n",
                    "x.scn:1: a figure's name is lower-case words joined by '-': "
                    "Close_ms"},
        BadScenario{"limit close-ms -1\n", "x.scn:1: number out of range: -1"},
        BadScenario{"tolerance\n", "x.scn:1: wrong number of arguments for tolerance"},
        BadScenario{"udp localhost:2237\n", "x.scn:1: not an address HOST:PORT: localhost:2237"},
        BadScenario{"udp 127.0.0.1:1\nudp 127.0.0.1:2\n", "x.scn:2: a second udp address"},
        BadScenario{"udp receive \"abc\"\n", "x.scn:1: a datagram is pairs of hex digits"},
        BadScenario{"udp receive \"zz\"\n", "x.scn:1: a datagram is pairs of hex digits"},
        BadScenario{"udp\n", "x.scn:1: wrong number of arguments for udp"}));

TEST(ScenarioFile, ReadsStringsNumbersAndHandles) {
    const auto a = ParseScenario(
        "  # comment\nlogger32 post 0x64 -12\nlogger32 post 3 hwnd:Sent\n"
        "mixw dde CALL \"G0\\\"X\\\\\\u00e9\\ud83d\\ude00\"\nwait 250\nmixw fqa 7035000.5\n"
        "logger32 settext plain\nat 300\n",
        "f");
    ASSERT_EQ(a.size(), 6u);
    namespace act = scenario::act;
    EXPECT_EQ(a[0].As<act::Post>().code, 100);
    EXPECT_EQ(a[0].As<act::Post>().param.number, -12);
    EXPECT_EQ(a[1].As<act::Post>().param.handle, std::optional<std::string>("Sent"));
    EXPECT_EQ(a[2].As<act::Dde>().item, "Call") << "items are matched without regard to case";
    EXPECT_EQ(a[2].As<act::Dde>().value, u"G0\"X\\\u00e9\U0001F600");
    EXPECT_EQ(a[3].time, 250);
    EXPECT_DOUBLE_EQ(a[3].As<act::Hertz>().hz, 7035000.5);
    EXPECT_EQ(a[4].As<act::Text>().text, u"plain");
    EXPECT_EQ(a[5].kind, ActionKind::Nop);
    EXPECT_EQ(a[5].time, 300) << "the run reaches the clock's last value";
}

TEST(ScenarioFile, PeerSettingsForTheWindowsOnlyCases) {
    const auto read = scenario::ReadScenario(
        "peers logger32-logging-hang=6000\npeers bridge-kill=10000\n"
        "peers second-bridge=6000:trace\npeers logger32-hang=blocked\n"
        "peers mixw-hung-call=outlives-mixw\npeers logger32-text-window=renew-at:8000,12500\n"
        "logger32 start\n",
        "f");
    EXPECT_EQ(scenario::ReadScenario("peers profile=non-ascii\n", "f").peers.profile,
              scenario::PeerSettings::Profile::NonAscii);
    const auto longProfile = scenario::ReadScenario("peers profile=long:262\n", "f").peers;
    EXPECT_EQ(longProfile.profile, scenario::PeerSettings::Profile::Long);
    EXPECT_EQ(longProfile.notLoggedPathLength, 262);
    for (const char* bad : {"long:12", "long:", "ascii"}) {
        EXPECT_THROW((void)scenario::ReadScenario(std::string("peers profile=") + bad, "f"),
                     scenario::ScenarioError)
            << bad;
    }
    EXPECT_EQ(read.peers.textWindowClosedAt, std::optional<std::int64_t>(8000));
    EXPECT_EQ(read.peers.textWindowRenewedAt, std::optional<std::int64_t>(12500));
    for (const char* bad : {"renew-at:8000", "renew-at:9000,8000", "at:1,2", "renew-at:x,2"}) {
        EXPECT_THROW(
            (void)scenario::ReadScenario(std::string("peers logger32-text-window=") + bad, "f"),
            scenario::ScenarioError)
            << bad;
    }
    EXPECT_EQ(read.peers.logger32LoggingHangMs, 6000);
    EXPECT_EQ(read.peers.bridgeKillAt, std::optional<std::int64_t>(10000));
    EXPECT_EQ(read.peers.secondBridgeAt, std::optional<std::int64_t>(6000));
    EXPECT_TRUE(read.peers.secondBridgeTraced);
    EXPECT_TRUE(read.peers.logger32HangBlocks);
    EXPECT_TRUE(read.peers.mixwHungCallOutlives);
    EXPECT_EQ(read.actions.size(), 1u) << "peer settings are no action";

    const auto plain = scenario::ReadScenario("peers second-bridge=250\n", "f");
    EXPECT_EQ(plain.peers.secondBridgeAt, std::optional<std::int64_t>(250));
    EXPECT_FALSE(plain.peers.secondBridgeTraced);
    EXPECT_EQ(plain.peers.logger32LoggingHangMs, 0);
    EXPECT_FALSE(plain.peers.bridgeKillAt);
    EXPECT_FALSE(plain.peers.logger32HangBlocks);
    EXPECT_FALSE(plain.peers.mixwHungCallOutlives);
    EXPECT_FALSE(plain.peers.textWindowClosedAt);
}

TEST(ScenarioFile, PeerSettingsHoldForTheRunAndAreNoAction) {
    const std::string source =
        "logger32 start\nmixw start\nat 6000\npeers logger32-text=hung\nclose\n";
    const auto read = scenario::ReadScenario(source, "f");
    EXPECT_TRUE(read.peers.hungLogger32Text);
    EXPECT_FALSE(read.wine.plays) << "only a wine line makes the Wine stage play it";
    EXPECT_TRUE(scenario::ReadScenario("wine\nlogger32 start\n", "f").wine.plays);
    EXPECT_THROW((void)scenario::ReadScenario("wine now\n", "f"), scenario::ScenarioError);
    ASSERT_EQ(read.actions.size(), 3u);
    EXPECT_EQ(read.actions[2].kind, ActionKind::Close);
    EXPECT_EQ(read.actions[2].time, 6000);
    EXPECT_FALSE(
        scenario::ReadScenario("peers logger32-text=hung\npeers logger32-text=answers\n", "f")
            .peers.hungLogger32Text)
        << "the last setting holds";

    const auto checks = scenario::ReadScenario(
        "limit close-ms 1000\nat 500\nlimit max-threads 12\ntolerance 600\nclose\n", "f");
    EXPECT_EQ(checks.wine.limits, (std::vector<std::pair<std::string, std::int64_t>>{
                                      {"close-ms", 1000}, {"max-threads", 12}}));
    EXPECT_EQ(checks.wine.toleranceMs, std::optional<std::int64_t>(600));
    ASSERT_EQ(checks.actions.size(), 1u) << "limits and tolerance are no action";
    EXPECT_EQ(checks.actions[0].time, 500);

    // The simulated world plays the scenario as if the line were not there.
    const auto withSetting = Play(source);
    const auto without = Play("logger32 start\nmixw start\nat 6000\nclose\n");
    EXPECT_EQ(withSetting.lines, without.lines);
    EXPECT_TRUE(withSetting.ended);
}

}  // namespace
}  // namespace linkwell::sim
