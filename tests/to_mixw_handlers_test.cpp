// Logger32's texts and frequency reaching MixW: OnLogger32Text, the Timer3
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
        w.bridge.Start();
        w.Attach();
        w.Clear();
        w.timerLog.clear();
    }
    window::Station& s() { return w.S(); }
    // Logger32 writes a text into the Sent box.
    void Arrive(const platform::Text& text) {
        w.bridge.TextArrived(ControlId::Logger32TextBox, text);
    }
    void Tick() { to_mixw::OnIntakeTick(s()); }
    void GiveRigToLogger32() { s().vars.Logger32HasControl = true; }
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
    bool Timer3Armed() const {
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
    EXPECT_TRUE(s().vars.DX_SPOT1.empty()) << "not a spot";
    Tick();
    EXPECT_FALSE(Timer3Armed());
    EXPECT_TRUE(Calls().empty());
}

TEST_F(ToMixW, SpotTunesMixWSetsTheCallAndSwitchesTheMode) {
    Arrive(kSpot);
    EXPECT_EQ(s().vars.DX_SPOT1, kSpot);
    EXPECT_TRUE(Calls().empty()) << "nothing before the tick";
    Tick();
    EXPECT_EQ(Calls(), (Lines{"ExecuteMacros <ZFQ:14074.0>", "SetQsoData 0 JA1XYZ",
                              "ExecuteMacros <MODE:BPSK31>"}));
    EXPECT_EQ(s().vars.TuneFreq, u"14074.0");
    EXPECT_EQ(s().vars.IncomingMode, u"PSK31");
    EXPECT_TRUE(s().vars.DX_SPOT1.empty());
}

TEST_F(ToMixW, SpotsReachMixWInBothControlStates) {
    for (bool logger32 : {false, true}) {
        s().vars.Logger32HasControl = logger32;
        w.Clear();
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
        EXPECT_TRUE(s().vars.DX_SPOT1.empty());
        const bool eor = spot.find(u"<EOR>") != platform::Text::npos;
        EXPECT_EQ(Calls(), eor ? Lines{"ExecuteMacros <CLEARQSO>"} : Lines{});
    }
}

TEST_F(ToMixW, SpotTakenWhileMixWIsNotAttachedIsLostForGood) {
    s().vars.MixWIsLoaded = 0;
    Arrive(kSpot);
    Tick();
    s().vars.MixWIsLoaded = 1;
    Tick();
    EXPECT_TRUE(Calls().empty());
    s().vars.MixWIsLoaded.reset();  // Empty counts as 0
    Arrive(kSpot);
    Tick();
    EXPECT_TRUE(Calls().empty());
}

// --- records ---------------------------------------------------------------------

TEST_F(ToMixW, RecordsReachMixWOnlyWhileLogger32HoldsTheRig) {
    Arrive(kFullRecord);
    Tick();
    EXPECT_TRUE(Calls().empty());
    EXPECT_EQ(s().form.GetText(ControlId::Logger32TextBox), kFullRecord);
    EXPECT_TRUE(s().vars.IncomingCall.empty()) << "not even read";
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
    EXPECT_TRUE(Timer3Armed()) << "one more tick";
    EXPECT_EQ(s().vars.IncomingCall, u"K1ABC");
    EXPECT_EQ(s().vars.IncomingMode, u"LSB");
    EXPECT_EQ(s().vars.IncomingRstSent, u"59");
    EXPECT_EQ(s().vars.IncomingRstRcvd, u"57");
    EXPECT_EQ(s().vars.IncomingName, u"Bob");
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
    EXPECT_TRUE(s().vars.IncomingCall.empty());
}

TEST_F(ToMixW, FieldValuesKeepTheirLastValueUntilANewRecordSuppliesOne) {
    GiveRigToLogger32();
    Arrive(u"<CALL:5>K1ABC<MODE:2>CW<NAME:3>Bob");
    Tick();
    Arrive(u"<CALL:5>W1XYZ<MODE:2>CW<NAME:3");
    Tick();
    EXPECT_EQ(s().vars.IncomingCall, u"W1XYZ");
    EXPECT_EQ(s().vars.IncomingName, u"Bob");
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
    EXPECT_TRUE(s().vars.DX_SPOT1.empty()) << "the spot is still taken once";
    EXPECT_TRUE(s().vars.IncomingCall.empty()) << "the record steps did not run";

    // Without the spot the record steps fail at their first call.
    Arrive(u"<CALL:5>K1ABC<MODE:2>CW<EOF>");
    w.Clear();
    Tick();
    EXPECT_EQ(Posts(), Lines{}) << "no SAVE write";
    EXPECT_EQ(s().vars.IncomingCall, u"K1ABC");
    EXPECT_EQ(s().vars.IncomingMode, u"PSK31") << "still the spot's: the mode step did not run";

    // MixW back: the next tick works again.
    w.mixwAlive = true;
    Arrive(u"<EOF>");
    Tick();
    EXPECT_EQ(Calls().size(), 3u);
}

TEST_F(ToMixW, MissingObjectCountsAsAFailedCall) {
    GiveRigToLogger32();
    s().vars.MixW.reset();
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
    EXPECT_TRUE(s().vars.TuneFreq.empty());
    GiveRigToLogger32();
    w.bridge.TextArrived(ControlId::Logger32FreqBox, u"7030.000");
    w.bridge.TextArrived(ControlId::Logger32FreqBox, u".500");
    to_mixw::OnLogger32FreqChanged(s());  // every change event sends, with no comparison
    EXPECT_EQ(Calls(), (Lines{"ExecuteMacros <ZFQ:7030.000>", "ExecuteMacros <ZFQ:.500>",
                              "ExecuteMacros <ZFQ:.500>"}));
    EXPECT_EQ(s().vars.TuneFreq, u".500");
}

TEST_F(ToMixW, FrequencyMacroIsSentEvenWhenMixWIsNotAttached) {
    GiveRigToLogger32();
    s().vars.MixWIsLoaded = 0;
    w.bridge.TextArrived(ControlId::Logger32FreqBox, u"3573.000");
    EXPECT_EQ(Calls(), Lines{"ExecuteMacros <ZFQ:3573.000>"});
}

}  // namespace
}  // namespace linkwell
