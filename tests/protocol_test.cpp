// The texts the bridge builds for Logger32, the one ADIF field reader both
// directions share, and the case folding of ADIF markers.
#include "logger32/protocol.h"

#include <gtest/gtest.h>

#include <string>

#include "text/text.h"

namespace linkwell {
namespace {

using Text = std::u16string;

TEST(Logger32Texts, EachTextIsItsTagTheValuesLengthAndTheValue) {
    EXPECT_EQ(logger32::ModeText(u"PSK31"), u"<APP_FORCE_MODE:5>PSK31");
    EXPECT_EQ(logger32::FrequencyText(u"14071,5"), u"<APP_FORCE_FREQ:7>14071,5");
    EXPECT_EQ(logger32::ModeText(u""), u"<APP_FORCE_MODE:0>");
    // The length counts UTF-16 code units: a character outside the BMP is two.
    EXPECT_EQ(logger32::AdifField(logger32::record::kName, u"J\U0001F600"), u"<NAME:3>J\U0001F600");
}

TEST(Logger32Texts, TheLoggingLengthCoversTheRecordAndTheTimePair) {
    const Text record = u"<CALL:4>K1AB<RST_RCVD:3>599";
    EXPECT_EQ(logger32::LoggingText(record, u"1234"),
              u"<APP_LOGQSO:66><CALL:4>K1AB<RST_RCVD:3>599<APP_TIME_ON:4>1234"
              u"<APP_TIME_OFF:4>1234");
    EXPECT_EQ(logger32::LoggingText(u"", u""), u"<APP_LOGQSO:31><APP_TIME_ON:0><APP_TIME_OFF:0>");
}

std::optional<Text> Field(std::u16string_view text, std::size_t digitsAt, std::size_t from) {
    const auto v = logger32::FieldValue(text, digitsAt, from);
    if (!v) return std::nullopt;
    return Text(*v);
}

TEST(FieldValue, ReadsTheDigitsUpToTheBracketAndThatManyCharacters) {
    // "<CALL:4>K1AB": the digits at 6, the bracket looked for from 0.
    EXPECT_EQ(Field(u"<CALL:4>K1ABrest", 6, 0), u"K1AB");
    // Fewer characters when the text ends sooner.
    EXPECT_EQ(Field(u"<CALL:9>K1AB", 6, 0), u"K1AB");
    EXPECT_EQ(Field(u"<CALL:0>", 6, 0), u"");
    // 2147483647 fits 31 bits; one more does not.
    EXPECT_EQ(Field(u"<CALL:2147483647>K1", 6, 0), u"K1");
    EXPECT_EQ(Field(u"<CALL:2147483648>K1", 6, 0), std::nullopt);
    // No digits, anything else among them, no bracket, a bracket before them.
    EXPECT_EQ(Field(u"<CALL:>K1", 6, 0), std::nullopt);
    EXPECT_EQ(Field(u"<CALL:4x>K1AB", 6, 0), std::nullopt);
    EXPECT_EQ(Field(u"<CALL:4 K1AB", 6, 0), std::nullopt);
    EXPECT_EQ(Field(u"<>ALL:4", 6, 0), std::nullopt);
}

TEST(CaseFolding, OnlyAsciiLettersFold) {
    EXPECT_EQ(text::FindIgnoringCase(u"x<eOr>", u"<EOR>"), 1u);
    EXPECT_EQ(text::FindIgnoringCase(u"<EOR>x<eor>", u"<EOR>", 1), 6u);
    EXPECT_EQ(text::FindIgnoringCase(u"<EOR>", u"<EOR>", 5), std::u16string_view::npos);
    // Letters outside ASCII are compared as they are.
    EXPECT_EQ(text::FindIgnoringCase(u"\u00c9T\u00c9", u"\u00e9t\u00e9"),
              std::u16string_view::npos);
    EXPECT_EQ(text::FindIgnoringCase(u"[\\]", u"{|}"), std::u16string_view::npos);
    EXPECT_EQ(text::AsciiLower("MixW|QSO @[Z]"), "mixw|qso @[z]");
}

}  // namespace
}  // namespace linkwell
