#include "soak/soak.h"

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "soak/checks.h"

namespace linkwell::soak {
namespace {

TEST(MalformedAdif, AcceptsWhatTheBridgeSends) {
    EXPECT_EQ(MalformedAdif(u"<EOR>"), std::nullopt);
    EXPECT_EQ(MalformedAdif(u"<APP_FORCE_MODE:5>PSK31"), std::nullopt);
    EXPECT_EQ(MalformedAdif(u"<APP_FORCE_MODE:0>"), std::nullopt);
    EXPECT_EQ(MalformedAdif(u"<CALL:4>TEST<RST_RCVD:3>599<RST_SENT:3>579<QTH:5>Paris<NAME:4>Anna"
                            u"<COMMENT:0><GRIDSQUARE:4>JN18<IOTA:0><QSL_VIA:0>"),
              std::nullopt);
    EXPECT_EQ(MalformedAdif(u"<APP_LOGQSO:39><APP_TIME_ON:4>1234<APP_TIME_OFF:4>1234"),
              std::nullopt);
    // Values may hold anything, brackets included.
    EXPECT_EQ(MalformedAdif(u"<NAME:7><A:1>x>"), std::nullopt);
}

TEST(MalformedAdif, CountsUtf16Units) {
    // One character outside the basic plane is two units.
    EXPECT_EQ(MalformedAdif(u"<NAME:2>\U0001F600"), std::nullopt);
    EXPECT_NE(MalformedAdif(u"<NAME:1>\U0001F600"), std::nullopt);
}

TEST(MalformedAdif, RejectsBrokenFields) {
    EXPECT_NE(MalformedAdif(u""), std::nullopt);
    EXPECT_NE(MalformedAdif(u"<CALL:5>TEST"), std::nullopt);    // value too short
    EXPECT_NE(MalformedAdif(u"<CALL:3>TEST"), std::nullopt);    // one unit left over
    EXPECT_NE(MalformedAdif(u"<CALL:04>TEST"), std::nullopt);   // leading zero
    EXPECT_NE(MalformedAdif(u"<CALL:>"), std::nullopt);         // no digits
    EXPECT_NE(MalformedAdif(u"<CALL:-4>TEST"), std::nullopt);   // a sign
    EXPECT_NE(MalformedAdif(u"<CALL4>TEST"), std::nullopt);     // no colon
    EXPECT_NE(MalformedAdif(u"<:4>TEST"), std::nullopt);        // no tag
    EXPECT_NE(MalformedAdif(u"CALL:4>TEST"), std::nullopt);     // no bracket
    EXPECT_NE(MalformedAdif(u"<CALL:4:S>TEST"), std::nullopt);  // a type indicator
    EXPECT_NE(MalformedAdif(u"<CALL:99999999999999999999>X"), std::nullopt);
    EXPECT_NE(MalformedAdif(u"<EOR><EOR>"), std::nullopt);  // a marker is no field
}

TEST(MalformedAdif, LooksInsideTheLoggingText) {
    EXPECT_NE(MalformedAdif(u"<APP_LOGQSO:8><CALL:9>"), std::nullopt);
    EXPECT_EQ(MalformedAdif(u"<APP_LOGQSO:8><CALL:0>"), std::nullopt);
}

TEST(Soak, SameSeedSameTraceOtherSeedOtherTrace) {
    Options o;
    o.seed = 7;
    o.events = 3000;
    const auto a = soak::Run(o);
    const auto b = soak::Run(o);
    EXPECT_EQ(a.traceHash, b.traceHash);
    EXPECT_EQ(a.traceLines, b.traceLines);
    EXPECT_EQ(a.events, 3000u);
    o.seed = 8;
    EXPECT_NE(soak::Run(o).traceHash, a.traceHash);
}

TEST(Soak, ARunChecksTextsAndRecordsAndFindsNothingWrong) {
    Options o;
    o.seed = 1;
    o.events = 20000;
    const auto r = soak::Run(o);
    for (const auto& v : r.violations) ADD_FAILURE() << v;
    EXPECT_EQ(r.violationCount, 0u);
    // The run must really exercise the bridge, or the checks prove nothing.
    EXPECT_GT(r.textsChecked, 300u);
    EXPECT_GT(r.recordsChecked, 20u);
    EXPECT_GT(r.mixwCalls, 100u);
    EXPECT_GT(r.sessions, 1u);
    // Loggings taken, kept and in doubt all occur, so the count's check bites.
    EXPECT_GT(r.loggingsTaken, 50u);
    EXPECT_GT(r.loggingsKept, 0u);
}

}  // namespace
}  // namespace linkwell::soak
