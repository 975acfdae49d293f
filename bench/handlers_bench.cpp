// What the bridge's handlers cost per event, on a world that adds nothing
// of its own (quiet_world.h), and what the readers of Logger32's texts cost
// by the length of the text.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <string>

#include "bench/quiet_world.h"
#include "to_mixw/readers.h"

namespace linkwell::bench {
namespace {

using window::ControlId;

// A bridge that has pushed MixW's mode, frequency and QSO once and has
// nothing left to send.
void Settle(QuietWorld& w) {
    w.Attach();
    w.Deliver(ControlId::ModeBox, u"BPSK31");
    w.Deliver(ControlId::DialFreqBox, u"14071.5");
    w.Deliver(ControlId::CallBox, u"DL1ABC");
    w.Deliver(ControlId::RstRcvdBox, u"599");
    w.Deliver(ControlId::RstSentBox, u"579");
    w.Deliver(ControlId::QthBox, u"Berlin");
    w.Deliver(ControlId::NameBox, u"Anna");
    w.Deliver(ControlId::LocatorBox, u"JO62");
    w.Deliver(ControlId::TimeBox, u"1234");
    for (int i = 0; i < 8; ++i) w.Tick(ControlId::PushTimer);
}

void Check(benchmark::State& state, bool ok, const char* what) {
    if (!ok) state.SkipWithError(what);
}

void BM_Timer2IdleTick(benchmark::State& state) {
    QuietWorld w;
    Settle(w);
    const auto before = w.counts;
    for (auto _ : state) w.Tick(ControlId::PushTimer);
    Check(state, w.counts.texts == before.texts && w.counts.posts == before.posts,
          "an idle tick sent something");
}
BENCHMARK(BM_Timer2IdleTick);

// One QSO field changes between ticks, so every tick sends the record.
void BM_Timer2RecordTick(benchmark::State& state) {
    QuietWorld w;
    Settle(w);
    const std::array<platform::Text, 2> qth = {u"Paris", u"Lyon"};
    const auto before = w.counts.texts;
    std::uint64_t n = 0;
    for (auto _ : state) {
        w.Deliver(ControlId::QthBox, qth[n++ & 1]);
        w.Tick(ControlId::PushTimer);
    }
    Check(state, w.counts.texts - before == n, "a tick did not send the record");
}
BENCHMARK(BM_Timer2RecordTick);

// Logger32 writes a clicked spot into Sent (OnLogger32Text), then the intake tick
// tunes MixW, sets the call and switches the mode.
void BM_ClickedSpot(benchmark::State& state) {
    QuietWorld w;
    Settle(w);
    const std::array<platform::Text, 2> spots = {u" APP_DXSPOT_CLICKED    DL1ABC|14074.0|RTTY",
                                                 u" APP_DXSPOT_CLICKED    F5XYZ|7040.5|PSK63"};
    const auto before = w.counts.mixwCalls;
    std::uint64_t n = 0;
    for (auto _ : state) {
        w.Deliver(ControlId::Logger32TextBox, spots[n++ & 1]);
        w.Tick(ControlId::IntakeTimer);
    }
    // RTTY: three calls; PSK63: four.
    Check(state, w.counts.mixwCalls - before == n / 2 * 7 + (n & 1) * 3, "a spot was not acted on");
}
BENCHMARK(BM_ClickedSpot);

// While Logger32 holds the rig: a full QSO record through the record steps,
// saved in MixW and replaced by "SAVE".
void BM_Logger32Record(benchmark::State& state) {
    QuietWorld w;
    Settle(w);
    w.bridge.Click(ControlId::Logger32TakesRigButton);
    const platform::Text record =
        u"<CALL:6>DL1ABC<MODE:3>LSB<RST_SENT:3>599<RST_RCVD:3>579<NAME:4>Anna<EOR><EOF>";
    const auto before = w.counts.mixwCalls;
    std::uint64_t n = 0;
    for (auto _ : state) {
        w.Deliver(ControlId::Logger32TextBox, record);
        w.Tick(ControlId::IntakeTimer);
        ++n;
    }
    Check(state, w.counts.mixwCalls - before == n * 9, "a record was not carried out");
}
BENCHMARK(BM_Logger32Record);

// --- the readers, by text length ---------------------------------------------------

// A spot whose callsign part fills the text: the reader has to walk it all
// to find the first "|".
platform::Text LongSpot(std::size_t length) {
    platform::Text tail = u"|14074.0|RTTY";
    platform::Text s = u" APP_DXSPOT_CLICKED    ";
    s.append(length - s.size() - tail.size(), u'A');
    return s + tail;
}

// A record that begins with CALL and keeps its other fields at the far end,
// behind filler, so every search runs the whole text.
platform::Text LongRecord(std::size_t length) {
    const platform::Text head = u"<CALL:6>DL1ABC";
    const platform::Text tail = u"<MODE:4>RTTY<RST_SENT:3>599<RST_RCVD:3>579<NAME:4>Anna<EOR><EOF>";
    platform::Text s = head;
    s.append(length - head.size() - tail.size(), u'x');
    return s + tail;
}

void BM_ReadSpot(benchmark::State& state) {
    const auto text = LongSpot(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        auto parts = to_mixw::ReadSpot(text);
        benchmark::DoNotOptimize(parts);
    }
    Check(state, to_mixw::IsSpot(text) && to_mixw::ReadSpot(text).has_value(), "spot not read");
    state.SetComplexityN(state.range(0));
}

// The five field readers and the two marker tests, as one record's tick
// runs them.
void BM_ReadRecordFields(benchmark::State& state) {
    const auto text = LongRecord(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        bool eor = to_mixw::Holds(text, to_mixw::kEndOfRecord);
        auto call = to_mixw::ReadCall(text);
        auto mode = to_mixw::ReadMode(text);
        auto sent = to_mixw::ReadRstSent(text);
        auto rcvd = to_mixw::ReadRstRcvd(text);
        auto name = to_mixw::ReadName(text);
        bool eof = to_mixw::Holds(text, to_mixw::kEndOfFile);
        benchmark::DoNotOptimize(eor);
        benchmark::DoNotOptimize(call);
        benchmark::DoNotOptimize(mode);
        benchmark::DoNotOptimize(sent);
        benchmark::DoNotOptimize(rcvd);
        benchmark::DoNotOptimize(name);
        benchmark::DoNotOptimize(eof);
    }
    Check(state,
          to_mixw::ReadCall(text) == platform::Text(u"DL1ABC") &&
              to_mixw::ReadName(text) == platform::Text(u"Anna"),
          "record not read");
    state.SetComplexityN(state.range(0));
}

// One reader alone, for the per-reader figures.
template <std::optional<to_mixw::TextView> (*Reader)(to_mixw::TextView)>
void BM_ReadField(benchmark::State& state) {
    const auto text = LongRecord(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        auto value = Reader(text);
        benchmark::DoNotOptimize(value);
    }
    Check(state, Reader(text).has_value(), "field not read");
    state.SetComplexityN(state.range(0));
}

BENCHMARK(BM_ReadSpot)->Arg(100)->Arg(32767)->Arg(100000)->Complexity(benchmark::oN);
BENCHMARK(BM_ReadRecordFields)->Arg(100)->Arg(32767)->Arg(100000)->Complexity(benchmark::oN);
BENCHMARK_TEMPLATE(BM_ReadField, to_mixw::ReadCall)->Arg(100)->Arg(32767)->Arg(100000);
BENCHMARK_TEMPLATE(BM_ReadField, to_mixw::ReadMode)->Arg(100)->Arg(32767)->Arg(100000);
BENCHMARK_TEMPLATE(BM_ReadField, to_mixw::ReadRstSent)->Arg(100)->Arg(32767)->Arg(100000);
BENCHMARK_TEMPLATE(BM_ReadField, to_mixw::ReadRstRcvd)->Arg(100)->Arg(32767)->Arg(100000);
BENCHMARK_TEMPLATE(BM_ReadField, to_mixw::ReadName)->Arg(100)->Arg(32767)->Arg(100000);

}  // namespace
}  // namespace linkwell::bench

BENCHMARK_MAIN();
