// The WSJT-X datagrams byte for byte, against bytes written out by hand from
// the format's rules (big-endian QDataStream, utf8 as a count and bytes,
// QDateTime as Julian day, ms and time spec), and the reading of a server's
// Heartbeat: its schema settles ours, never above 3; nothing else is read.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "wsjtx/messages.h"

namespace {

using linkwell::wsjtx::Bytes;
namespace wsjtx = linkwell::wsjtx;

// "adbc cbda ..." -> bytes; blanks and '|' separate nothing.
Bytes Hex(std::string_view hex) {
    Bytes out;
    int nibbles = 0;
    unsigned value = 0;
    for (const char c : hex) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) continue;
        value = value * 16 + static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(c))
                                                       ? c - '0'
                                                       : std::tolower(c) - 'a' + 10);
        if (++nibbles == 2) {
            out.push_back(static_cast<std::uint8_t>(value));
            nibbles = 0;
            value = 0;
        }
    }
    return out;
}

// Magic, schema 3, the type, then the Id "Linkwell" (8 bytes).
constexpr std::string_view kHeader3 = "adbccbda 00000003";
constexpr std::string_view kLinkwell = "00000008 4c696e6b77656c6c";

std::string Message(std::string_view type, std::string_view fields) {
    return std::string(kHeader3) + " " + std::string(type) + " " + std::string(kLinkwell) + " " +
           std::string(fields);
}

TEST(WsjtxMessages, HeartbeatAndCloseCarryTheIdAndTheHighestSchema) {
    EXPECT_EQ(wsjtx::Heartbeat(3, "1.0", "r"),
              Hex(Message("00000000", "00000003 | 00000003 312e30 | 00000001 72")));
    // Settled on schema 2, the header says so; the maximum stays 3.
    EXPECT_EQ(
        wsjtx::Heartbeat(2, "", ""),
        Hex("adbccbda 00000002 00000000" + std::string(kLinkwell) + "00000003 00000000 00000000"));
    EXPECT_EQ(wsjtx::Close(3), Hex(Message("00000006", "")));
}

TEST(WsjtxMessages, StatusCarriesDialModeCallReportOffsetsAndGridTheRestEmpty) {
    wsjtx::StatusFields s;
    s.dialHz = 14070000;  // 0xD6B0F0
    s.mode = "PSK31";
    s.dxCall = "SP9ABC";
    s.report = "599";
    s.rxDf = 1500;  // 0x5DC
    s.txDf = 1500;
    s.dxGrid = "KN09";
    const std::string fields =
        "0000000000d6b0f0 | 00000005 50534b3331 | 00000006 535039414243 | 00000003 353939 |"
        "00000000 | 00 00 00 | 000005dc 000005dc | 00000000 00000000 | 00000004 4b4e3039 |"
        "00 | 00000000 | 00 | 00 | ffffffff ffffffff | 00000000";
    EXPECT_EQ(wsjtx::Status(3, s), Hex(Message("00000001", fields)));
}

TEST(WsjtxMessages, QsoLoggedCarriesTheQsoInTheFormatsOrderWithUtcTimes) {
    wsjtx::QsoFields q;
    // 2026-12-09 is Julian day 2461384 (0x258EC8); 14:32:00 is 52320000 ms.
    q.off = {2461384, 52320000};
    q.on = {2461384, std::nullopt};
    q.dxCall = "SP9ABC";
    q.dxGrid = "KN09";
    q.txHz = 14071500;  // 0xD6B6CC
    q.mode = "PSK31";
    q.reportSent = "599";
    q.reportReceived = "579";
    q.comments = "tnx";
    q.name = "J\xc3\xb3zef";  // utf8: 6 bytes for 5 letters
    const std::string fields =
        "0000000000258ec8 031e5700 01 | 00000006 535039414243 | 00000004 4b4e3039 |"
        "0000000000d6b6cc | 00000005 50534b3331 | 00000003 353939 | 00000003 353739 |"
        "00000000 | 00000003 746e78 | 00000006 4ac3b3 7a6566 |"
        "0000000000258ec8 ffffffff 01 | 00000000 00000000 00000000 00000000 00000000";
    EXPECT_EQ(wsjtx::QsoLogged(3, q), Hex(Message("00000005", fields)));
    EXPECT_EQ(wsjtx::JulianDay(2000, 1, 1), 2451545);
    EXPECT_EQ(wsjtx::JulianDay(2026, 12, 9), 2461384);
    EXPECT_EQ(wsjtx::JulianDay(2024, 3, 1) - wsjtx::JulianDay(2024, 2, 28), 2);  // a leap day
}

TEST(WsjtxMessages, LoggedAdifIsOneUtf8FieldHoldingTheFile) {
    EXPECT_EQ(wsjtx::LoggedAdif(3, "<EOH><CALL:2>K1<EOR>"),
              Hex(Message("0000000c", "00000014 3c454f483e 3c43414c4c3a323e 4b31 3c454f523e")));
}

TEST(WsjtxMessages, AServersHeartbeatSettlesTheSchemaNeverAboveThree) {
    const std::string server = "adbccbda 00000002 00000000 00000005 5753 4a54 58";  // "WSJTX"
    EXPECT_EQ(wsjtx::SettledSchema(Hex(server + "00000002 00000000 00000000"), 3), 2u);
    EXPECT_EQ(wsjtx::SettledSchema(Hex(server + "00000003 00000000 00000000"), 3), 3u);
    // A server naming a higher schema gets no higher one than ours.
    EXPECT_EQ(wsjtx::SettledSchema(Hex(server + "00000009 00000000 00000000"), 3), 3u);
    // Once settled on 2, a later Heartbeat naming 3 does not raise it.
    EXPECT_EQ(wsjtx::SettledSchema(Hex(server + "00000003"), 2), 2u);
    // A Heartbeat that ends after its Id is an old server's: schema 2.
    EXPECT_EQ(wsjtx::SettledSchema(Hex(server), 3), 2u);
    // Extra bytes after the fields a reader knows are ignored.
    EXPECT_EQ(wsjtx::SettledSchema(Hex(server + "00000003 00000000 00000000 ffff"), 3), 3u);
}

TEST(WsjtxMessages, EveryOtherDatagramIsIgnored) {
    const std::string server = "adbccbda 00000002 00000000 00000005 5753 4a54 58";
    // Schema 1 is broken and never used; 0 is no schema.
    EXPECT_EQ(wsjtx::SettledSchema(Hex(server + "00000001"), 3), std::nullopt);
    EXPECT_EQ(wsjtx::SettledSchema(Hex(server + "00000000"), 3), std::nullopt);
    // A maximum schema cut short, an Id longer than the datagram, a null Id
    // with nothing after it (schema 2), a wrong magic, a Replay (7), nothing.
    EXPECT_EQ(wsjtx::SettledSchema(Hex(server + "0000"), 3), std::nullopt);
    EXPECT_EQ(wsjtx::SettledSchema(Hex("adbccbda 00000002 00000000 00000010 5753"), 3),
              std::nullopt);
    EXPECT_EQ(wsjtx::SettledSchema(Hex("adbccbda 00000002 00000000 ffffffff"), 3), 2u);
    EXPECT_EQ(wsjtx::SettledSchema(Hex("adbccbdb 00000002 00000000 00000000 00000002"), 3),
              std::nullopt);
    EXPECT_EQ(wsjtx::SettledSchema(Hex("adbccbda 00000002 00000007 00000000"), 3), std::nullopt);
    EXPECT_EQ(wsjtx::SettledSchema(Bytes{}, 3), std::nullopt);
    EXPECT_EQ(wsjtx::SettledSchema(Hex("adbccbda 0000"), 3), std::nullopt);
    // A huge datagram of a Heartbeat whose Id claims 4 GB less one.
    Bytes huge = Hex("adbccbda 00000002 00000000 fffffffe");
    huge.resize(100000, 0x41);
    EXPECT_EQ(wsjtx::SettledSchema(huge, 3), std::nullopt);
}

TEST(WsjtxMessages, TheTraceDescribesEachFieldAsOnTheWire) {
    wsjtx::QsoFields q;
    q.off = {2461384, 52320000};
    q.on = {2461384, std::nullopt};
    q.dxCall = "SP9ABC";
    q.txHz = 14071500;
    EXPECT_EQ(wsjtx::Describe(wsjtx::QsoLogged(3, q)),
              "QsoLogged schema=3 off=2026-12-09T14:32:00.000Z call=\"SP9ABC\" grid=\"\" "
              "freq=14071500 mode=\"\" sent=\"\" rcvd=\"\" power=\"\" comments=\"\" name=\"\" "
              "on=2026-12-09T-Z operator=\"\" my-call=\"\" my-grid=\"\" exchange-sent=\"\" "
              "exchange-rcvd=\"\"");
    EXPECT_EQ(wsjtx::Describe(wsjtx::Close(2)), "Close schema=2");
    // A day no calendar holds is shown as its number, not as a date.
    q.off = {2646262204410782051, 0};
    q.on = {5373484, 0};
    const auto huge = wsjtx::Describe(wsjtx::QsoLogged(3, q));
    ASSERT_TRUE(huge);
    EXPECT_NE(huge->find(" off=jd2646262204410782051 "), std::string::npos) << *huge;
    EXPECT_NE(huge->find(" on=9999-12-31T00:00:00.000Z "), std::string::npos) << *huge;
    EXPECT_EQ(wsjtx::Describe(Hex("adbccbda 00000002 00000007 00000000")), std::nullopt);
    Bytes cut = wsjtx::Heartbeat(3, "1.0", "r");
    cut.pop_back();
    EXPECT_EQ(wsjtx::Describe(cut), std::nullopt);
}

}  // namespace
