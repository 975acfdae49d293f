// The announcements through the bridge's own entry points, in a world that
// records every socket call: none at all without --udp; with it, the
// Heartbeat every 15 watch ticks, the schema a server's Heartbeat settles,
// a socket that cannot be had or a send that fails said on the status line
// without holding anything up, and the frequency of a logging in Hz.
#include <gtest/gtest.h>

#include "support/fake_station.h"
#include "udp/announce.h"
#include "window/controls.h"
#include "wsjtx/messages.h"

namespace linkwell {
namespace {

using testing::FakeWorld;
using window::ControlId;

// The kinds of what was sent, with their schema: "Heartbeat schema=3".
std::vector<std::string> Sent(const FakeWorld& w) {
    std::vector<std::string> out;
    for (const auto& d : w.udpSent) {
        const auto line = wsjtx::Describe(d).value_or("?");
        const auto second = line.find(' ', line.find(' ') + 1);
        out.push_back(line.substr(0, second));
    }
    return out;
}

void Watch(FakeWorld& w, int ticks) {
    for (int i = 0; i < ticks; ++i) w.bridge.TimerTick(window::kWatchTimerSlot);
}

// The first push tick opens MixW's field links.
void LogAQso(FakeWorld& w) {
    w.Tick(ControlId::PushTimer);
    w.Deliver("Call", u"SP9ABC");
    w.Deliver("time", u"1432");
    w.bridge.Click(ControlId::LogQsoButton);
}

udp::Settings To2237() {
    return {platform::UdpAddress{{127, 0, 0, 1}, 2237}, "1.0", ""};
}

TEST(UdpAnnounce, WithoutTheSwitchNoSocketCallIsMadeAtAll) {
    FakeWorld w;
    w.StartAndLink();
    w.Tick(ControlId::PushTimer);
    LogAQso(w);
    Watch(w, 40);
    EXPECT_THROW(w.bridge.Close(), testing::Ended);
    EXPECT_TRUE(w.udpLog.empty());
}

TEST(UdpAnnounce, HeartbeatEveryFifteenWatchTicksAndTheSocketReadJustBefore) {
    FakeWorld w;
    w.bridge.AnnounceOnUdp(To2237());
    w.StartAndLink();
    EXPECT_EQ(Sent(w), (std::vector<std::string>{"Heartbeat schema=3", "Status schema=3"}));
    Watch(w, 14);
    EXPECT_EQ(w.udpSent.size(), 2u);
    EXPECT_EQ(std::count(w.udpLog.begin(), w.udpLog.end(), "receive"), 0);
    Watch(w, 1);
    EXPECT_EQ(Sent(w).back(), "Heartbeat schema=3");
    EXPECT_EQ(w.udpLog[w.udpLog.size() - 2], "receive");
    Watch(w, 15);
    EXPECT_EQ(w.udpSent.size(), 4u);
    EXPECT_EQ(std::count(w.udpLog.begin(), w.udpLog.end(), "receive"), 2);
    EXPECT_EQ(w.udpLog.front(), "open 2237");
    EXPECT_THROW(w.bridge.Close(), testing::Ended);
    EXPECT_EQ(Sent(w).back(), "Close schema=3");
    EXPECT_EQ(w.udpLog.back(), "close");
}

TEST(UdpAnnounce, AServersHeartbeatSettlesTheSchemaOfWhatFollows) {
    FakeWorld w;
    w.bridge.AnnounceOnUdp(To2237());
    w.StartAndLink();
    const auto server = [](std::uint8_t max) {
        return std::vector<std::uint8_t>{0xad, 0xbc, 0xcb, 0xda, 0, 0,   0,   2, 0, 0, 0,
                                         0,    0,    0,    0,    2, 'S', 'V', 0, 0, 0, max};
    };
    w.udpArriving.push_back({0xad, 0xbc});  // malformed: ignored
    w.udpArriving.push_back(server(2));
    w.udpArriving.push_back(server(3));  // never raises it again
    Watch(w, 15);
    EXPECT_EQ(Sent(w).back(), "Heartbeat schema=2");
    EXPECT_TRUE(w.udpArriving.empty());
    LogAQso(w);
    EXPECT_EQ(Sent(w).back(), "LoggedAdif schema=2");
    EXPECT_EQ(Sent(w)[Sent(w).size() - 2], "QsoLogged schema=2");
}

TEST(UdpAnnounce, ASocketNotHadIsSaidAndNothingMoreIsTried) {
    FakeWorld w;
    w.udpOpens = false;
    w.bridge.AnnounceOnUdp(To2237());
    w.StartAndLink();
    LogAQso(w);
    Watch(w, 20);
    EXPECT_EQ(w.udpLog, (std::vector<std::string>{"open 2237"}));
    EXPECT_EQ(w.S().form.GetText(ControlId::StatusLine),
              u"Cannot send UDP to 127.0.0.1:2237: programs listening there miss what Linkwell "
              u"announces");
}

TEST(UdpAnnounce, AFailedSendIsSaidUntilOneWorksAndTheLoggingStillReachesLogger32) {
    FakeWorld w;
    w.bridge.AnnounceOnUdp(To2237());
    w.StartAndLink();
    w.udpSends = false;
    LogAQso(w);
    EXPECT_EQ(Sent(w).back(), "LoggedAdif schema=3");
    EXPECT_EQ(w.S().form.GetText(ControlId::StatusLine).substr(0, 19), u"Cannot send UDP to ");
    EXPECT_TRUE(std::any_of(w.log.begin(), w.log.end(), [](const std::string& l) {
        return l.find("APP_LOGQSO") != std::string::npos;
    }));
    w.udpSends = true;
    Watch(w, 15);  // the Heartbeat goes
    EXPECT_EQ(w.S().form.GetText(ControlId::StatusLine), u"            MixW2 control active !");
}

TEST(UdpAnnounce, TheFrequencyOfALoggingInHertz) {
    EXPECT_EQ(udp::HertzOfMegahertz(u"14.0715"), 14071500u);
    EXPECT_EQ(udp::HertzOfMegahertz(u"7.03"), 7030000u);
    EXPECT_EQ(udp::HertzOfMegahertz(u"144"), 144000000u);
    EXPECT_EQ(udp::HertzOfMegahertz(u"14.0715004"), 14071500u);
    EXPECT_EQ(udp::HertzOfMegahertz(u"14.0715005"), 14071501u);
    EXPECT_EQ(udp::HertzOfMegahertz(u""), 0u);
    EXPECT_EQ(udp::HertzOfMegahertz(u"-7.03"), 0u);
    EXPECT_EQ(udp::HertzOfMegahertz(u"7,03"), 0u);
    EXPECT_EQ(udp::HertzOfMegahertz(u".5"), 0u);
}

}  // namespace
}  // namespace linkwell
