// Logger32's texts and frequency reaching MixW: OnLogger32Text, the intake timer
// tick and OnLogger32FreqChanged on a recording platform.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fake_station.h"
#include "to_mixw/to_mixw.h"
#include "window/controls.h"

namespace linkwell {
namespace {

using testing::FakeWorld;
using window::ControlId;
using Lines = std::vector<std::string>;

constexpr char16_t kSpot[] = u"<APP_DXSPOT_CLICKED:20>JA1XYZ|14074.0|PSK31";
constexpr char16_t kFullRecord[] =
    u"<CALL:5>K1ABC<MODE:3>LSB<RST_SENT:2>59<RST_RCVD:2>57<NAME:3>Bob<EOR><EOF>";

class ToMixW : public ::testing::Test {
protected:
    ToMixW() {
        w.StartAndLink();
        w.Tick(ControlId::IntakeTimer);  // start-up's own intake tick, with nothing to do
    }
    BridgeState& s() { return w.S(); }
    // Logger32 writes a text into the Sent box.
    void Arrive(const platform::Text& text) {
        w.bridge.TextArrived(ControlId::Logger32TextBox, text);
    }
    void Tick() { to_mixw::OnIntakeTick(s()); }
    // The operator hands the rig over (the box is answered at once).
    void GiveRigTo(bool logger32) {
        w.bridge.Click(logger32 ? ControlId::Logger32TakesRigButton
                                : ControlId::MixWTakesRigButton);
        w.Clear();
        w.timerLog.clear();
    }
    void GiveRigToLogger32() { GiveRigTo(true); }
    // MixW's calls, in order.
    Lines Calls() const {
        Lines out;
        for (const auto& l : w.log) {
            if (l.rfind("ExecuteMacros", 0) == 0 || l.rfind("SetQsoData", 0) == 0) out.push_back(l);
        }
        return out;
    }
    Lines Posts() const {
        Lines out;
        for (const auto& l : w.log) {
            if (l.rfind("post", 0) == 0) out.push_back(l);
        }
        return out;
    }
    static std::string CodeTen() {
        return "post 1280 \"Logger32 1\" 10 " +
               std::to_string(0x1000 + window::Index(ControlId::ClusterBox));
    }
    bool IntakeArmed() const {
        return w.timers.count(window::TimerSlot(ControlId::IntakeTimer)) != 0;
    }

    FakeWorld w;
};

// --- arrival -------------------------------------------------------------------

TEST_F(ToMixW, EveryTextIsAnsweredWithCodeTenAndArmsOneTick) {
    Arrive(u"hello");
    Arrive(u"SAVE");
    EXPECT_EQ(Posts(), (Lines{CodeTen(), CodeTen()}));
    EXPECT_EQ(w.timers.at(window::TimerSlot(ControlId::IntakeTimer)), 500);
    EXPECT_TRUE(s().intake.pendingSpot.empty()) << "not a spot";
    Tick();
    EXPECT_FALSE(IntakeArmed());
    EXPECT_TRUE(Calls().empty());
}

TEST_F(ToMixW, SpotTunesMixWSetsTheCallAndSwitchesTheMode) {
    Arrive(kSpot);
    EXPECT_EQ(s().intake.pendingSpot, kSpot);
    EXPECT_TRUE(Calls().empty()) << "nothing before the tick";
    Tick();
    EXPECT_EQ(Calls(), (Lines{"ExecuteMacros <ZFQ:14074.0>", "SetQsoData 0 JA1XYZ",
                              "ExecuteMacros <MODE:BPSK31>"}));
    EXPECT_EQ(s().intake.tuneFreq, u"14074.0");
    EXPECT_EQ(s().intake.mode, u"PSK31");
    EXPECT_TRUE(s().intake.pendingSpot.empty());
}

TEST_F(ToMixW, SpotsReachMixWInBothControlStates) {
    for (bool logger32 : {false, true}) {
        GiveRigTo(logger32);
        Arrive(logger32 ? u"<APP_DXSPOT_CLICKED:20>K1ABC|7030|PSK63"
                        : u"<APP_DXSPOT_CLICKED:20>JA1XYZ|14074|PSK63");
        Tick();
        EXPECT_EQ(Calls(),
                  (Lines{logger32 ? "ExecuteMacros <ZFQ:7030>" : "ExecuteMacros <ZFQ:14074>",
                         logger32 ? "SetQsoData 0 K1ABC" : "SetQsoData 0 JA1XYZ",
                         "ExecuteMacros <MODE:BPSK31>", "ExecuteMacros <BAUDRATE:63>"}));
    }
}

TEST_F(ToMixW, OfTwoSpotsWithinOneArmingOnlyTheLaterIsActedOnAndOnlyOnce) {
    Arrive(u"<APP_DXSPOT_CLICKED:20>JA1XYZ|14074.0|PSK31");
    Arrive(u"<APP_DXSPOT_CLICKED:20>K1ABC|7030|CW");
    Arrive(u"not a spot");  // leaves the pending spot alone
    Tick();
    EXPECT_EQ(Calls(),
              (Lines{"ExecuteMacros <ZFQ:7030>", "SetQsoData 0 K1ABC", "ExecuteMacros <MODE:CW>"}));
    w.Clear();
    Tick();
    Arrive(u"SAVE");
    Tick();
    EXPECT_TRUE(Calls().empty());
}

TEST_F(ToMixW, SpotModesOutsideTheSpotColumnSwitchNothing) {
    for (const platform::Text spot :
         {u"<APP_DXSPOT_CLICKED:20>K1ABC|14200|USB", u"<APP_DXSPOT_CLICKED:20>K1ABC|14200|LSB",
          u"<APP_DXSPOT_CLICKED:20>K1ABC|14200|RTTY|x",
          u"<APP_DXSPOT_CLICKED:20>K1ABC|14200|rtty"}) {
        w.Clear();
        Arrive(spot);
        Tick();
        EXPECT_EQ(Calls(), (Lines{"ExecuteMacros <ZFQ:14200>", "SetQsoData 0 K1ABC"}));
    }
}

TEST_F(ToMixW, EmptyCallsignIsSetAsItIs) {
    Arrive(u"<APP_DXSPOT_CLICKED:20>|3573|SSB");
    Tick();
    EXPECT_EQ(Calls(),
              (Lines{"ExecuteMacros <ZFQ:3573>", "SetQsoData 0 ", "ExecuteMacros <MODE:SSB>"}));
}

TEST_F(ToMixW, BrokenSpotsAreDroppedAndTheRecordStepsGoOn) {
    GiveRigToLogger32();
    for (const platform::Text spot :
         {u"<APP_DXSPOT_CLICKED:20>JA1XYZ", u"<APP_DXSPOT_CLICKED:20|JA1XYZ|14074|CW",
          u"<APP_DXSPOT_CLICKED:20>JA1XYZ|14074.0<EOR>"}) {
        w.Clear();
        Arrive(spot);
        Tick();
        EXPECT_TRUE(s().intake.pendingSpot.empty());
        const bool eor = spot.find(u"<EOR>") != platform::Text::npos;
        EXPECT_EQ(Calls(), eor ? Lines{"ExecuteMacros <CLEARQSO>"} : Lines{});
    }
}

TEST(ToMixWBeforeStartUp, SpotTakenBeforeMixWIsAttachedIsLostForGood) {
    FakeWorld w;
    w.bridge.Start();  // the about window shows; the intake timer runs from design
    w.bridge.TextArrived(ControlId::Logger32TextBox, kSpot);
    w.Tick(ControlId::IntakeTimer);
    EXPECT_TRUE(w.S().intake.pendingSpot.empty()) << "taken by the tick";
    w.Tick(ControlId::AboutTimer);
    w.Tick(ControlId::StartupTimer);  // MixW2 attached now
    w.Tick(ControlId::IntakeTimer);
    for (const auto& l : w.log) EXPECT_EQ(l.rfind("ExecuteMacros", 0), std::string::npos) << l;
}

// --- records ---------------------------------------------------------------------

TEST_F(ToMixW, RecordsReachMixWOnlyWhileLogger32HoldsTheRig) {
    Arrive(kFullRecord);
    Tick();
    EXPECT_TRUE(Calls().empty());
    EXPECT_EQ(s().form.GetText(ControlId::Logger32TextBox), kFullRecord);
    EXPECT_TRUE(s().intake.call.empty()) << "not even read";
}

TEST_F(ToMixW, FullRecordFillsSavesAndClearsInOrder) {
    GiveRigToLogger32();
    Arrive(kFullRecord);
    w.Clear();
    Tick();
    EXPECT_EQ(Calls(), (Lines{"ExecuteMacros <CLEARQSO>", "SetQsoData 0 K1ABC",
                              "ExecuteMacros <MODE:SSB>", "SetQsoData 5 59", "SetQsoData 2 57",
                              "SetQsoData 1 Bob", "ExecuteMacros <FIXSTARTTIME>",
                              "ExecuteMacros <SAVEQSO>", "ExecuteMacros <CLEARQSO>"}));
    EXPECT_EQ(s().form.GetText(ControlId::Logger32TextBox), u"SAVE");
    EXPECT_EQ(Posts(), Lines{CodeTen()}) << "the SAVE write is a change of Sent too";
    EXPECT_TRUE(IntakeArmed()) << "one more tick";
    EXPECT_EQ(s().intake.call, u"K1ABC");
    EXPECT_EQ(s().intake.mode, u"LSB");
    EXPECT_EQ(s().intake.rstSent, u"59");
    EXPECT_EQ(s().intake.rstRcvd, u"57");
    EXPECT_EQ(s().intake.name, u"Bob");
    w.Clear();
    Tick();
    EXPECT_TRUE(Calls().empty()) << "SAVE holds nothing";
}

TEST_F(ToMixW, RecordWithoutModeSetsNoReportsOrName) {
    GiveRigToLogger32();
    Arrive(u"<CALL:5>K1ABC<RST_SENT:3>599<RST_RCVD:3>599<NAME:3>Bob");
    Tick();
    EXPECT_EQ(Calls(), Lines{"SetQsoData 0 K1ABC"});
    EXPECT_EQ(s().form.GetText(ControlId::Logger32TextBox),
              u"<CALL:5>K1ABC<RST_SENT:3>599<RST_RCVD:3>599<NAME:3>Bob")
        << "not saved without <EOF>";
}

TEST_F(ToMixW, EndOfFileAloneSaves) {
    GiveRigToLogger32();
    Arrive(u"<EOF>");
    Tick();
    EXPECT_EQ(Calls(), (Lines{"ExecuteMacros <FIXSTARTTIME>", "ExecuteMacros <SAVEQSO>",
                              "ExecuteMacros <CLEARQSO>"}));
    EXPECT_EQ(s().form.GetText(ControlId::Logger32TextBox), u"SAVE");
}

TEST_F(ToMixW, LowerCaseNamesAndMarkersAreNotRecognised) {
    GiveRigToLogger32();
    Arrive(u"<call:5>K1ABC<mode:2>CW<name:3>Bob<eor><eof>");
    Tick();
    EXPECT_TRUE(Calls().empty());
}

TEST_F(ToMixW, RecordModeUsesTheRecordColumnAndUnknownModesSwitchNothing) {
    GiveRigToLogger32();
    Arrive(u"<CALL:5>K1ABC<MODE:3>USB");
    Tick();
    Arrive(u"<CALL:5>K1ABC<MODE:4>JT65<NAME:3>Bob");
    Tick();
    EXPECT_EQ(Calls(), (Lines{"SetQsoData 0 K1ABC", "ExecuteMacros <MODE:SSB>",
                              "SetQsoData 0 K1ABC", "SetQsoData 1 Bob"}));
}

TEST_F(ToMixW, BrokenFieldsAreSkippedAndTheRestOfTheTickGoesOn) {
    GiveRigToLogger32();
    // CALL not first, MODE without a digit, RST_SENT whose digits run into
    // the marker after it, RST_RCVD with a type indicator, a NAME length that
    // overflows.
    Arrive(u"<EOR><CALL:5>K1ABC<MODE:x>CW<RST_RCVD:3:S>599<NAME:99999999999>Bob<RST_SENT:3<EOF>");
    Tick();
    EXPECT_EQ(Calls(), (Lines{"ExecuteMacros <CLEARQSO>", "ExecuteMacros <FIXSTARTTIME>",
                              "ExecuteMacros <SAVEQSO>", "ExecuteMacros <CLEARQSO>"}));
    EXPECT_EQ(s().form.GetText(ControlId::Logger32TextBox), u"SAVE");
    EXPECT_TRUE(s().intake.call.empty());
}

TEST_F(ToMixW, FieldValuesKeepTheirLastValueUntilANewRecordSuppliesOne) {
    GiveRigToLogger32();
    Arrive(u"<CALL:5>K1ABC<MODE:2>CW<NAME:3>Bob");
    Tick();
    Arrive(u"<CALL:5>W1XYZ<MODE:2>CW<NAME:3");
    Tick();
    EXPECT_EQ(s().intake.call, u"W1XYZ");
    EXPECT_EQ(s().intake.name, u"Bob");
}

TEST_F(ToMixW, LongRecordIsReadLikeAShortOne) {
    GiveRigToLogger32();
    platform::Text r = u"<CALL:5>K1ABC<MODE:2>CW";
    r += platform::Text(100000, u' ');
    r += u"<NAME:3>Bob<EOF>";
    Arrive(r);
    Tick();
    EXPECT_EQ(Calls(), (Lines{"SetQsoData 0 K1ABC", "ExecuteMacros <MODE:CW>", "SetQsoData 1 Bob",
                              "ExecuteMacros <FIXSTARTTIME>", "ExecuteMacros <SAVEQSO>",
                              "ExecuteMacros <CLEARQSO>"}));
}

TEST_F(ToMixW, SpotStepsComeBeforeTheRecordStepsOfTheSameTick) {
    GiveRigToLogger32();
    Arrive(kSpot);
    Arrive(u"<CALL:5>K1ABC<MODE:2>CW");
    Tick();
    EXPECT_EQ(Calls(), (Lines{"ExecuteMacros <ZFQ:14074.0>", "SetQsoData 0 JA1XYZ",
                              "ExecuteMacros <MODE:BPSK31>", "SetQsoData 0 K1ABC",
                              "ExecuteMacros <MODE:CW>"}));
}

// --- a MixW that fails ------------------------------------------------------------

TEST_F(ToMixW, FailedCallEndsTheTickQuietly) {
    GiveRigToLogger32();
    Arrive(kSpot);
    Arrive(kFullRecord);
    w.mixwAlive = false;
    w.Clear();
    Tick();
    EXPECT_TRUE(w.log.empty()) << "nothing sent, no box";
    EXPECT_EQ(s().form.GetText(ControlId::Logger32TextBox), kFullRecord) << "not marked saved";
    EXPECT_TRUE(s().intake.pendingSpot.empty()) << "the spot is still taken once";
    EXPECT_TRUE(s().intake.call.empty()) << "the record steps did not run";

    // Without the spot the record steps fail at their first call.
    Arrive(u"<CALL:5>K1ABC<MODE:2>CW<EOF>");
    w.Clear();
    Tick();
    EXPECT_EQ(Posts(), Lines{}) << "no SAVE write";
    EXPECT_EQ(s().intake.call, u"K1ABC");
    EXPECT_EQ(s().intake.mode, u"PSK31") << "still the spot's: the mode step did not run";

    // MixW back: the next tick works again.
    w.mixwAlive = true;
    Arrive(u"<EOF>");
    Tick();
    EXPECT_EQ(Calls().size(), 3u);
}

TEST_F(ToMixW, FailingCallsEndTheTickAndTheFrequencyChangeQuietly) {
    GiveRigToLogger32();
    w.mixwAlive = false;
    Arrive(kSpot);
    Arrive(u"<EOF>");
    w.Clear();
    Tick();
    to_mixw::OnLogger32FreqChanged(s());
    EXPECT_TRUE(w.log.empty());
    EXPECT_EQ(s().form.GetText(ControlId::Logger32TextBox), u"<EOF>");
}

// --- Logger32's frequency ------------------------------------------------------

TEST_F(ToMixW, FrequencyFromLogger32RetunesMixWOnlyWhileItHoldsTheRig) {
    w.bridge.TextArrived(ControlId::Logger32FreqBox, u"14075.450");
    EXPECT_TRUE(Calls().empty());
    EXPECT_TRUE(s().intake.tuneFreq.empty());
    GiveRigToLogger32();
    w.bridge.TextArrived(ControlId::Logger32FreqBox, u"7030.000");
    w.bridge.TextArrived(ControlId::Logger32FreqBox, u".500");
    to_mixw::OnLogger32FreqChanged(s());  // every change event sends, with no comparison
    EXPECT_EQ(Calls(), (Lines{"ExecuteMacros <ZFQ:7030.000>", "ExecuteMacros <ZFQ:.500>",
                              "ExecuteMacros <ZFQ:.500>"}));
    EXPECT_EQ(s().intake.tuneFreq, u".500");
}

}  // namespace
}  // namespace linkwell
