// The mode and frequency stages of the push to Logger32, the Freq box's
// change handler, and what a MixW2 that has gone does to both.
#include <limits>

#include "to_logger32_fixture.h"

namespace linkwell::testing {
namespace {

using to_logger32::ForceFreqText;
using to_logger32::OnDialFreqChanged;
using window::ControlId;

class ModeAndFrequency : public ToLogger32Test {};

TEST_F(ModeAndFrequency, ModeGoesFirstThenFrequencyThenRecord) {
    Settled(u"SSB", 7150000, 0);
    Set(ControlId::CallBox, u"G0ABC");  // a record is pending too
    Sent();
    w.fqa = 14070000;
    w.audioFq = 1500;
    Set(ControlId::ModeBox, u"PSK31");
    Tick();
    EXPECT_EQ(Sent(), Lines{"<APP_FORCE_MODE:5>PSK31"});
    EXPECT_EQ(S().push.frequency, u" 7.15") << "the frequency waits for the next tick";
    Tick();
    EXPECT_EQ(Sent(), Lines{"<APP_FORCE_FREQ:7>14071.5"});
    EXPECT_EQ(S().push.frequency, u" 14.0715");
    Tick();
    const auto record = Sent();
    ASSERT_EQ(record.size(), 1u);
    EXPECT_EQ(record[0].rfind("<CALL:5>G0ABC", 0), 0u);
    Tick();
    EXPECT_EQ(Sent(), Lines{});
}

TEST_F(ModeAndFrequency, ReplacedModeNamesGoOnTwoTicksUnderLogger32sName) {
    const std::vector<std::pair<std::u16string, std::string>> table = {
        {u"BPSK31", "<APP_FORCE_MODE:5>PSK31"},   {u"BPSK63", "<APP_FORCE_MODE:5>PSK63"},
        {u"BPSK62", "<APP_FORCE_MODE:5>PSK63"},   {u"BPSK125", "<APP_FORCE_MODE:6>PSK125"},
        {u"BPSK250", "<APP_FORCE_MODE:6>PSK250"}, {u"MFSK", "<APP_FORCE_MODE:6>MFSK16"},
    };
    for (const auto& [mixw, sent] : table) {
        Settled(u"USB", 14070000, 1000);
        Set(ControlId::ModeBox, mixw);
        Tick();
        EXPECT_EQ(Sent(), Lines{sent}) << sent;
        EXPECT_EQ(S().push.mode, mixw) << "remembered as MixW wrote it";
        EXPECT_NE(Get(ControlId::ModeBox), mixw) << "the box shows Logger32's name";
        Tick();
        EXPECT_EQ(Sent(), Lines{sent}) << "once more, for the replaced text";
        EXPECT_EQ(S().push.mode, Get(ControlId::ModeBox));
        Tick();
        EXPECT_EQ(Sent(), Lines{});
    }
}

TEST_F(ModeAndFrequency, OtherModeTextsGoOnceAndUnchanged) {
    const std::vector<std::pair<std::u16string, std::string>> table = {
        {u"RTTY", "<APP_FORCE_MODE:4>RTTY"},
        {u"Mode", "<APP_FORCE_MODE:4>Mode"},        // the box's placeholder
        {u"bpsk31", "<APP_FORCE_MODE:6>bpsk31"},    // the table is case-sensitive
        {u" BPSK31", "<APP_FORCE_MODE:7> BPSK31"},  // and not trimmed
        {u"PSK31", "<APP_FORCE_MODE:5>PSK31"},
    };
    for (const auto& [mode, sent] : table) {
        Settled(u"SSB", 7150000, 0);
        Set(ControlId::ModeBox, mode);
        Tick();
        EXPECT_EQ(Sent(), Lines{sent}) << sent;
        EXPECT_EQ(Get(ControlId::ModeBox), mode);
        Tick();
        EXPECT_EQ(Sent(), Lines{});
    }
}

TEST_F(ModeAndFrequency, EmptyModeIsAFieldOfLengthZeroWhenItIsAChange) {
    Settled(u"", 7150000, 0);
    EXPECT_EQ(S().push.mode, u"") << "nothing to send at start for an empty mode";
    w.bridge.Click(ControlId::Logger32TakesRigButton);  // a handover there and back
    w.bridge.Click(ControlId::MixWTakesRigButton);
    EXPECT_EQ(S().push.mode, u"False");
    Tick();
    EXPECT_EQ(Sent(), Lines{"<APP_FORCE_MODE:0>"});
}

TEST_F(ModeAndFrequency, DialModesSendTheFreqBoxWhenTheSumMoves) {
    Set(ControlId::DialFreqBox, u"7150");
    Settled(u"SSB", 7150000, 0);
    w.audioFq = 100;  // AudioFq alone changes the sum
    Tick();
    EXPECT_EQ(Sent(), Lines{"<APP_FORCE_FREQ:4>7150"});
    EXPECT_EQ(S().push.frequency, u" 7.1501");
    Tick();
    EXPECT_EQ(Sent(), Lines{});

    for (const auto* mode : {u"CW", u"RTTY", u"SSTV"}) {
        Set(ControlId::DialFreqBox, u"14075.00");
        Settled(mode, 14075000, 0);
        w.fqa = 14080000;
        Tick();
        EXPECT_EQ(Sent(), Lines{"<APP_FORCE_FREQ:5>14075"}) << "trailing zeros go";
    }
    Set(ControlId::DialFreqBox, u"14075,45");
    Settled(u"CW", 14075000, 0);
    w.fqa = 1;
    Tick();
    EXPECT_EQ(Sent(), Lines{"<APP_FORCE_FREQ:5>14075"}) << "the comma ends the number";
}

TEST_F(ModeAndFrequency, SidebandToggleOnTheTickButNotInFreqChange) {
    Settled(u"PSK31", 14000000, 0);
    w.bridge.Click(ControlId::SidebandButton);  // PKT_USB
    w.fqa = 14070000;
    w.audioFq = 1500;
    Tick();
    EXPECT_EQ(Sent(), Lines{"<APP_FORCE_FREQ:7>14068.5"});
    EXPECT_EQ(S().push.frequency, u" 14.0715") << "detection uses the sum whatever the toggle";
    Set(ControlId::DialFreqBox, u"14070");
    EXPECT_EQ(Sent(), Lines{"<APP_FORCE_FREQ:7>14071.5"});

    // Both moved by the same amount in opposite directions: no change seen.
    w.fqa = 14070500;
    w.audioFq = 1000;
    Tick();
    EXPECT_EQ(Sent(), Lines{});

    w.bridge.Click(ControlId::SidebandButton);  // PKT_LSB
    EXPECT_EQ(ForceFreqText(S(), true), u"14071.5");
    w.bridge.Click(ControlId::SidebandButton);
    EXPECT_EQ(ForceFreqText(S(), true), u"14069.5");
    EXPECT_EQ(ForceFreqText(S(), false), u"14071.5");
}

TEST_F(ModeAndFrequency, SmallChangesAndValueForms) {
    Settled(u"PSK31", 14070000, 0);
    w.fqa = 14070000.00000001;  // beyond 15 significant digits of the MHz
    Tick();
    EXPECT_EQ(Sent(), Lines{});
    w.fqa = 14070000.01;
    Tick();
    EXPECT_EQ(Sent(), Lines{"<APP_FORCE_FREQ:11>14070.00001"});

    w.fqa = 14071000;
    w.audioFq = 234;
    Tick();
    EXPECT_EQ(Sent(), Lines{"<APP_FORCE_FREQ:9>14071.234"});
    w.decimal = u",";
    w.fqa = 7035000;
    w.audioFq = 1500;
    Tick();
    EXPECT_EQ(Sent(), Lines{"<APP_FORCE_FREQ:6>7036,5"});
    w.fqa = 0;
    w.audioFq = -1500;
    Tick();
    EXPECT_EQ(Sent(), Lines{"<APP_FORCE_FREQ:4>-1,5"});
    EXPECT_EQ(S().push.frequency, u"-0.0015");
    w.fqa = 1e20;
    w.audioFq = 0;
    Tick();
    EXPECT_EQ(Sent(), Lines{"<APP_FORCE_FREQ:18>100000000000000000"});
    w.fqa = 0.0001;
    Tick();
    EXPECT_EQ(Sent(), Lines{"<APP_FORCE_FREQ:9>0,0000001"});
}

TEST_F(ModeAndFrequency, FreqChangeSendsOnEveryChangeWithoutState) {
    Settled(u"PSK31", 7035000, 1000);
    const Text lastFreq = S().push.frequency;
    Set(ControlId::DialFreqBox, u"7035");
    Set(ControlId::DialFreqBox, u"7036");
    Set(ControlId::DialFreqBox, u"7036");  // no change of the box, no handler
    EXPECT_EQ(Sent(), (Lines{"<APP_FORCE_FREQ:4>7036", "<APP_FORCE_FREQ:4>7036"}));
    EXPECT_EQ(S().push.frequency, lastFreq);
    EXPECT_EQ(S().push.mode, u"PSK31");

    Set(ControlId::ModeBox, u"SSB");
    Set(ControlId::DialFreqBox, u"14075.45");
    Set(ControlId::DialFreqBox, u"Frequency");
    Set(ControlId::DialFreqBox, u" 14075.00 ");
    w.decimal = u",";
    Set(ControlId::DialFreqBox, u"14075.45");
    EXPECT_EQ(Sent(), (Lines{"<APP_FORCE_FREQ:8>14075.45", "<APP_FORCE_FREQ:1>0",
                             "<APP_FORCE_FREQ:5>14075", "<APP_FORCE_FREQ:8>14075,45"}));
}

TEST_F(ModeAndFrequency, DialModeFrequencyChangeSendsTwice) {
    Set(ControlId::DialFreqBox, u"7150");
    Settled(u"SSB", 7150000, 0);
    w.fqa = 7160000;
    Set(ControlId::DialFreqBox, u"7160");
    Tick();
    EXPECT_EQ(Sent(), (Lines{"<APP_FORCE_FREQ:4>7160", "<APP_FORCE_FREQ:4>7160"}));
}

// An automation object whose reads start failing after a number of them.
TEST_F(ModeAndFrequency, MixWGoneSendsNothingAndKeepsWhatWasRemembered) {
    Settled(u"PSK31", 7035000, 1000);
    Set(ControlId::CallBox, u"G0ABC");  // a record is due
    Sent();
    w.mixwAlive = false;
    w.fqa = 14070000;
    Tick();
    Set(ControlId::DialFreqBox, u"14070");
    EXPECT_EQ(Sent(), Lines{}) << "no frequency, and the record stage is not reached";
    EXPECT_EQ(S().push.frequency, u" 7.036");
    Set(ControlId::ModeBox, u"BPSK31");
    Tick();
    EXPECT_EQ(Sent(), Lines{"<APP_FORCE_MODE:5>PSK31"}) << "the mode needs no call on MixW";
    Set(ControlId::ModeBox, u"CW");
    Tick();
    Set(ControlId::DialFreqBox, u"14071");
    EXPECT_EQ(Sent(), (Lines{"<APP_FORCE_MODE:2>CW", "<APP_FORCE_FREQ:5>14071"}))
        << "a dial mode's OnDialFreqChanged needs no call on MixW either";

    w.mixwAlive = false;
    Set(ControlId::ModeBox, u"PSK31");
    Tick();
    Tick();
    Set(ControlId::DialFreqBox, u"14072");
    EXPECT_EQ(Sent(), Lines{"<APP_FORCE_MODE:5>PSK31"});
    EXPECT_EQ(S().push.frequency, u" 7.036");
}

TEST_F(ModeAndFrequency, FailureInsideTheFrequencyStage) {
    Settled(u"PSK31", 7035000, 1000);
    // Reads 1-2 detect the change; 3-4 fail: nothing stored, nothing sent.
    w.fqa = 14070000;
    w.audioFq = 1500;
    w.goodReads = 2;
    Tick();
    EXPECT_EQ(Sent(), Lines{});
    EXPECT_EQ(S().push.frequency, u" 7.036");
    // Reads 3-4 store the new text; the value's reads fail: nothing sent,
    // and the change counts as sent.
    w.goodReads = 4;
    Tick();
    EXPECT_EQ(Sent(), Lines{});
    EXPECT_EQ(S().push.frequency, u" 14.0715");
    w.goodReads = 100;
    Tick();
    EXPECT_EQ(Sent(), Lines{});
}

TEST_F(ModeAndFrequency, ValuesThatAreNoFiniteNumberSendNothing) {
    Settled(u"PSK31", 7035000, 1000);
    w.fqa = std::numeric_limits<double>::infinity();
    Tick();
    w.fqa = std::numeric_limits<double>::quiet_NaN();
    Tick();
    w.fqa = std::numeric_limits<double>::max();
    w.audioFq = std::numeric_limits<double>::max();  // the sum overflows
    Tick();
    Set(ControlId::DialFreqBox, u"1");
    EXPECT_EQ(Sent(), Lines{});
    EXPECT_EQ(S().push.frequency, u" 7.036");

    Set(ControlId::ModeBox, u"SSB");
    Tick();
    Sent();
    Set(ControlId::DialFreqBox, u"1" + Text(400, u'0'));
    EXPECT_EQ(Sent(), Lines{}) << "a Freq number too large for a double";
}

}  // namespace
}  // namespace linkwell::testing
