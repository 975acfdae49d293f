// The three number texts of the frequency commands: the megahertz text that
// detects a change, the kilohertz value sent, and the number read from the
// Freq box.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <locale>
#include <string>

#include "text/text.h"
#include "to_logger32/number_text.h"

namespace linkwell::to_logger32 {
namespace {

using platform::Text;

TEST(DetectionText, PointLeadingBlankAndNoTrailingZeros) {
    EXPECT_EQ(DetectionText(14071500 / 1e6), u" 14.0715");
    EXPECT_EQ(DetectionText(7.15), u" 7.15");
    EXPECT_EQ(DetectionText(7), u" 7");
    EXPECT_EQ(DetectionText(0), u" 0");
    EXPECT_EQ(DetectionText(-0.0), u" 0") << "zero has no sign";
    EXPECT_EQ(DetectionText(0.5), u" 0.5");
    EXPECT_EQ(DetectionText(-3.5), u"-3.5") << "the sign takes the blank's place";
    EXPECT_EQ(DetectionText(-0.0015), u"-0.0015");
}

TEST(DetectionText, RoundsToFifteenSignificantDigits) {
    EXPECT_EQ(DetectionText(1.0 / 3), u" 0.333333333333333");
    EXPECT_EQ(DetectionText(123456789.123456789), u" 123456789.123457");
    EXPECT_EQ(DetectionText(999999999999999.9), u" 1000000000000000") << "rounding carries";
    EXPECT_EQ(DetectionText(-2.0 / 3), u"-0.666666666666667");
    // A move in the sixteenth digit is no change.
    EXPECT_EQ(DetectionText(14070000.00000001 / 1e6), DetectionText(14.07));
    EXPECT_NE(DetectionText(14070000.01 / 1e6), DetectionText(14.07));
}

TEST(DetectionText, VeryLargeAndVerySmallValuesAreWrittenOut) {
    EXPECT_EQ(DetectionText(1e20), u" 100000000000000000000");
    EXPECT_EQ(DetectionText(1.5e-7), u" 0.00000015");
    EXPECT_EQ(DetectionText(-1.25e18), u"-1250000000000000000");
    const Text huge = DetectionText(std::numeric_limits<double>::max());
    EXPECT_EQ(huge.size(), 1u + 309u);
    EXPECT_EQ(huge.substr(0, 16), u" 179769313486232");
    EXPECT_EQ(huge.find_first_not_of(u'0', 16), Text::npos);
    const Text tiny = DetectionText(std::numeric_limits<double>::denorm_min());
    EXPECT_EQ(tiny.substr(0, 5), u" 0.00");
    EXPECT_EQ(tiny.size(), 3u + 323u + 15u);
    EXPECT_EQ(tiny.substr(3 + 323), u"494065645841247");
}

TEST(ValueText, LocaleSeparatorNoBlankNoGroupingNoExponent) {
    EXPECT_EQ(ValueText(14071.5, u"."), u"14071.5");
    EXPECT_EQ(ValueText(14071.5, u","), u"14071,5");
    EXPECT_EQ(ValueText(7036, u","), u"7036") << "no separator without decimals";
    EXPECT_EQ(ValueText(14071.234, u"."), u"14071.234");
    EXPECT_EQ(ValueText(1234567.5, u"."), u"1234567.5") << "no grouping";
    EXPECT_EQ(ValueText(0.5, u"."), u"0.5");
    EXPECT_EQ(ValueText(0, u"."), u"0");
    EXPECT_EQ(ValueText(-1.5, u","), u"-1,5");
    EXPECT_EQ(ValueText(1e20, u"."), u"100000000000000000000");
    EXPECT_EQ(ValueText(1e-7, u","), u"0,0000001");
    EXPECT_EQ(ValueText(1234567.123456789, u"."), u"1234567.12345679");
    EXPECT_EQ(ValueText(14070000.00000001 / 1000, u"."), u"14070");
    EXPECT_EQ(ValueText(2.5, u"<sep>"), u"2<sep>5") << "the separator as the user set it";
}

TEST(ValueText, EndsAreFreeOfBlanksWhateverTheSeparator) {
    EXPECT_EQ(ValueText(0.5, u" "), u"0 5");
    EXPECT_EQ(ValueText(12, u" "), u"12");
}

TEST(LeadingNumber, ReadsTheNumberAtTheStartWithAPoint) {
    EXPECT_EQ(LeadingNumber(u"14075.45"), 14075.45);
    EXPECT_EQ(LeadingNumber(u"14075.00"), 14075);
    EXPECT_EQ(LeadingNumber(u"  7150"), 7150) << "leading blanks are skipped";
    EXPECT_EQ(LeadingNumber(u"\t7150"), 7150);
    EXPECT_EQ(LeadingNumber(u"14075,45"), 14075) << "a comma ends the number";
    EXPECT_EQ(LeadingNumber(u"14 075"), 14);
    EXPECT_EQ(LeadingNumber(u"7150kHz"), 7150);
    EXPECT_EQ(LeadingNumber(u"-5.5"), -5.5);
    EXPECT_EQ(LeadingNumber(u"+3"), 3);
    EXPECT_EQ(LeadingNumber(u".5"), 0.5);
    EXPECT_EQ(LeadingNumber(u"7."), 7);
    EXPECT_EQ(LeadingNumber(u"1.2.3"), 1.2);
}

TEST(LeadingNumber, NoNumberGivesZero) {
    for (const auto* text : {u"Frequency", u"", u" ", u".", u"-", u"+.", u"e5", u"kHz 7150"}) {
        EXPECT_EQ(LeadingNumber(text), 0.0) << text::ToUtf8(text);
    }
}

TEST(LeadingNumber, OutOfRange) {
    EXPECT_EQ(LeadingNumber(u"1" + Text(400, u'0')), std::nullopt) << "too large for a number";
    EXPECT_EQ(LeadingNumber(u"0." + Text(400, u'0') + u"1"), 0.0) << "too small to tell from 0";
    EXPECT_EQ(LeadingNumber(u"00000000000000000000000000000000000000000000007.25"), 7.25);
    EXPECT_EQ(LeadingNumber(u"12345678901234567890"), 12345678901234567890.0);
}

// A process whose locale writes numbers with a comma changes nothing: only
// the separator passed in counts.
TEST(NumberTexts, IgnoreTheProcessLocale) {
    struct CommaPunct : std::numpunct<char> {
        char do_decimal_point() const override { return ','; }
        std::string do_grouping() const override { return "\3"; }
    };
    const std::locale previous =
        std::locale::global(std::locale(std::locale::classic(), new CommaPunct));
    const std::string cPrevious = std::setlocale(LC_ALL, nullptr);
    for (const char* name : {"de_DE.UTF-8", "de_DE", "fr_FR.UTF-8", "ru_RU.UTF-8"}) {
        if (std::setlocale(LC_ALL, name) != nullptr) break;
    }
    EXPECT_EQ(DetectionText(14071.5e-3), u" 14.0715");
    EXPECT_EQ(ValueText(1234567.5, u"."), u"1234567.5");
    EXPECT_EQ(LeadingNumber(u"14075.45"), 14075.45);
    std::setlocale(LC_ALL, cPrevious.c_str());
    std::locale::global(previous);
}

}  // namespace
}  // namespace linkwell::to_logger32
