// The readers of Logger32's spots and QSO records, and the mode table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mixw/protocol.h"
#include "to_mixw/readers.h"
#include "to_mixw/to_mixw.h"

namespace linkwell::to_mixw {
namespace {

using Text = std::u16string;

std::optional<Text> Own(std::optional<TextView> v) {
    if (!v) return std::nullopt;
    return Text(*v);
}

TEST(SpotTest, LooksAtCharactersTwoToNineteenOnly) {
    EXPECT_TRUE(IsSpot(u"<APP_DXSPOT_CLICKED:20>JA1XYZ|14074.0|PSK31"));
    EXPECT_TRUE(IsSpot(u"xAPP_DXSPOT_CLICKED")) << "19 characters, first one not examined";
    EXPECT_FALSE(IsSpot(u"<APP_DXSPOT_CLICKE")) << "shorter than 19";
    EXPECT_FALSE(IsSpot(u"APP_DXSPOT_CLICKED:20>JA1XYZ|14074.0|PSK31")) << "at 1 to 18";
    EXPECT_FALSE(IsSpot(u"<app_dxspot_clicked:20>JA1XYZ|14074.0|PSK31"));
    EXPECT_FALSE(IsSpot(u""));
}

TEST(SpotReader, SplitsCallsignFrequencyAndMode) {
    const auto p = ReadSpot(u"<APP_DXSPOT_CLICKED:20>JA1XYZ|14074.0|PSK31");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->call, u"JA1XYZ");
    EXPECT_EQ(p->freq, u"14074.0");
    EXPECT_EQ(p->mode, u"PSK31");
}

TEST(SpotReader, TakesPartsAsTheyStand) {
    // Characters 1 and 20 to 23 are not examined; the frequency is unchanged.
    auto p = ReadSpot(u"#APP_DXSPOT_CLICKEDabcdK1ABC| 7,030 |CW");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->call, u"K1ABC");
    EXPECT_EQ(p->freq, u" 7,030 ");
    EXPECT_EQ(p->mode, u"CW");
    // A "|" before character 23 is not a separator.
    p = ReadSpot(u"<APP_DXSPOT_CLICKED|2|>K1ABC|7030|CW");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->call, u"K1ABC");
}

TEST(SpotReader, EmptyCallsignButNeverAnEmptyFrequency) {
    auto p = ReadSpot(u"<APP_DXSPOT_CLICKED:20>|14074.0|PSK31");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->call, u"");
    EXPECT_EQ(p->freq, u"14074.0");
    // A "|" right after the first one belongs to the frequency.
    p = ReadSpot(u"<APP_DXSPOT_CLICKED:20>K1ABC||14074|RTTY");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->freq, u"|14074");
    EXPECT_EQ(p->mode, u"RTTY");
}

TEST(SpotReader, ModeIsTenCharactersOrWhatIsLeft) {
    auto p = ReadSpot(u"<APP_DXSPOT_CLICKED:20>K1ABC|7030|CW|extra-text");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->mode, u"CW|extra-t");
    p = ReadSpot(u"<APP_DXSPOT_CLICKED:20>K1ABC|7030|");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->mode, u"");
}

TEST(SpotReader, DropsBrokenSpots) {
    // No "|" at all, none from character 23, one at character 23, no second.
    for (const Text spot :
         {u"<APP_DXSPOT_CLICKED", u"<APP_DXSPOT_CLICKED:20>JA1XYZ",
          u"<APP_DXSPOT_CLICKED|20>JA1XYZ", u"<APP_DXSPOT_CLICKED:20|JA1|7030|CW",
          u"<APP_DXSPOT_CLICKED:20>JA1XYZ|14074.0", u"<APP_DXSPOT_CLICKED:20>JA1XYZ||",
          u"<APP_DXSPOT_CLICKED:20>JA1XYZ|"}) {
        EXPECT_FALSE(ReadSpot(spot)) << std::string(spot.begin(), spot.end());
    }
}

TEST(FieldReaders, ReadEachFieldOfAFullRecord) {
    const Text r =
        u"<CALL:6>JA1XYZ<MODE:4>RTTY<RST_SENT:3>599<RST_RCVD:3>579<NAME:4>Taro<EOR><EOF>";
    EXPECT_EQ(Own(ReadCall(r)), u"JA1XYZ");
    EXPECT_EQ(Own(ReadMode(r)), u"RTTY");
    EXPECT_EQ(Own(ReadRstSent(r)), u"599");
    EXPECT_EQ(Own(ReadRstRcvd(r)), u"579");
    EXPECT_EQ(Own(ReadName(r)), u"Taro");
    EXPECT_TRUE(Holds(r, kEndOfRecord));
    EXPECT_TRUE(Holds(r, kEndOfFile));
}

TEST(FieldReaders, CallIsReadFromCharacterSevenWithAnyNumberOfDigits) {
    EXPECT_EQ(Own(ReadCall(u"<CALL:10>VK2ABC/MM9<MODE:2>CW")), u"VK2ABC/MM9");
    EXPECT_EQ(Own(ReadCall(u"<CALL:3>K1ABC")), u"K1A") << "what follows the value is not read";
    // CALL not first: the "digits" from character 7 are not a number.
    EXPECT_FALSE(ReadCall(u"<EOR><CALL:5>K1ABC"));
    // The name is looked for anywhere; the digits still come from character 7.
    EXPECT_EQ(Own(ReadCall(u"<QTHX:2>ab<CALL>")), u"ab");
    EXPECT_FALSE(ReadCall(u"<CALL:"));
    EXPECT_FALSE(ReadCall(u"<CALL:5 K1ABC")) << "no \">\"";
    EXPECT_FALSE(ReadCall(u"<QSO_DATE:8>20240101")) << "no CALL";
}

TEST(FieldReaders, ModeHasOneLengthDigit) {
    EXPECT_EQ(Own(ReadMode(u"<MODE:5>PSK31")), u"PSK31");
    // "<MODE:12>": length 1, the value starts at the ">".
    EXPECT_EQ(Own(ReadMode(u"<MODE:12>ABCDEFGHIJKL")), u">");
    EXPECT_EQ(Own(ReadMode(u"<MODE:0>")), u"");
    EXPECT_EQ(Own(ReadMode(u"<MODE:4>RT")), u"RT") << "cut short by the end";
    // A longer name holding MODE counts: SUBMODE comes first here.
    EXPECT_EQ(Own(ReadMode(u"<SUBMODE:5>PSK63<MODE:3>PSK")), u"PSK63");
    EXPECT_FALSE(ReadMode(u"<MODE:x>RTTY")) << "not a digit";
    EXPECT_FALSE(ReadMode(u"<MODE:")) << "no digit";
    EXPECT_FALSE(ReadMode(u"MODE:4 RTTY")) << "no \">\"";
}

TEST(FieldReaders, FirstOccurrenceCountsEvenInsideALongerName) {
    EXPECT_EQ(Own(ReadName(u"<MY_NAME:3>Bob<NAME:4>John")), u"Bob");
    EXPECT_EQ(Own(ReadRstSent(u"<APP_RST_SENT:2>57<RST_SENT:3>599")), u"57");
    EXPECT_EQ(Own(ReadRstRcvd(u"<RST_RCVD:3>559<RST_RCVD:3>449")), u"559");
}

TEST(FieldReaders, LengthDigitsRunUpToTheFirstBracket) {
    EXPECT_EQ(Own(ReadName(u"<NAME:12>Jean-Pierre X")), u"Jean-Pierre ");
    EXPECT_EQ(Own(ReadName(u"<NAME:04>John")), u"John") << "leading zero";
    EXPECT_EQ(Own(ReadName(u"<NAME:10>John")), u"John") << "cut short by the end";
    EXPECT_EQ(Own(ReadRstSent(u"<RST_SENT:2147483647>599")), u"599") << "largest length";
}

TEST(FieldReaders, BrokenFieldsAreSkipped) {
    for (const Text r : {u"<NAME:4 John", u"<NAME>John", u"<NAME:>John", u"<NAME:4:S>John",
                         u"<NAME: 4>John", u"<NAME:-4>John", u"<NAME:2147483648>John",
                         u"<NAME:99999999999999999999999>John", u"NAME"}) {
        EXPECT_FALSE(ReadName(r)) << std::string(r.begin(), r.end());
    }
    EXPECT_FALSE(ReadRstSent(u"<RST_SENT>599"));
    EXPECT_FALSE(ReadRstRcvd(u"<RST_RCVD:"));
}

TEST(FieldReaders, LowerCaseNamesAndMarkersAreNotRecognised) {
    const Text r = u"<call:5>K1ABC<mode:2>CW<rst_sent:3>599<rst_rcvd:3>599<name:3>Bob<eor><eof>";
    EXPECT_FALSE(ReadCall(r));
    EXPECT_FALSE(ReadMode(r));
    EXPECT_FALSE(ReadRstSent(r));
    EXPECT_FALSE(ReadRstRcvd(r));
    EXPECT_FALSE(ReadName(r));
    EXPECT_FALSE(Holds(r, kEndOfRecord));
    EXPECT_FALSE(Holds(r, kEndOfFile));
}

TEST(FieldReaders, LongTextsAreReadLikeShortOnes) {
    // Far beyond 16-bit positions and lengths.
    Text r = u"<CALL:5>K1ABC";
    r += Text(100000, u'x');
    r += u"<NAME:40000>";
    r += Text(40000, u'n');
    r += u"<MODE:4>RTTY";
    EXPECT_EQ(Own(ReadCall(r)), u"K1ABC");
    const auto name = ReadName(r);
    ASSERT_TRUE(name);
    EXPECT_EQ(name->size(), 40000u);
    EXPECT_EQ(Own(ReadMode(r)), u"RTTY");

    Text spot = u"<APP_DXSPOT_CLICKED:20>";
    spot += Text(70000, u'C');
    spot += u"|14074|CW";
    const auto p = ReadSpot(spot);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->call.size(), 70000u);
    EXPECT_EQ(p->mode, u"CW");
}

TEST(ModeTable, SpotAndRecordColumns) {
    struct Row {
        std::u16string_view mode;
        std::vector<std::u16string_view> record;
        bool spot;
    };
    const std::vector<Row> rows = {
        {u"CW", {u"<MODE:CW>"}, true},
        {u"USB", {u"<MODE:SSB>"}, false},
        {u"LSB", {u"<MODE:SSB>"}, false},
        {u"SSB", {u"<MODE:SSB>"}, true},
        {u"RTTY", {u"<MODE:RTTY>"}, true},
        {u"PSK31", {u"<MODE:BPSK31>"}, true},
        {u"PSK63", {u"<MODE:BPSK31>", u"<BAUDRATE:63>"}, true},
        {u"PSK125", {u"<MODE:BPSK31>", u"<BAUDRATE:125>"}, true},
        {u"MFSK16", {u"<MODE:MFSK>"}, true},
    };
    for (const auto& row : rows) {
        const auto rec = ModeMacros(row.mode, ModeFrom::Record);
        EXPECT_EQ(std::vector<std::u16string_view>(rec.begin(), rec.end()), row.record);
        const auto spot = ModeMacros(row.mode, ModeFrom::Spot);
        EXPECT_EQ(spot.size(), row.spot ? row.record.size() : 0u);
    }
    for (auto unknown : {u"rtty", u"PSK31|", u"BPSK31", u"", u"CW "}) {
        EXPECT_TRUE(ModeMacros(unknown, ModeFrom::Record).empty());
        EXPECT_TRUE(ModeMacros(unknown, ModeFrom::Spot).empty());
    }
    EXPECT_EQ(mixw::FrequencyMacro(u" 7,030.5 "), u"<ZFQ: 7,030.5 >");
}

}  // namespace
}  // namespace linkwell::to_mixw
