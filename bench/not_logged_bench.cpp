// What the bridge's own thread spends on not-logged.adi when an earlier run
// left a big one: one Save that keeps a QSO (the file's change is built and
// handed to the world, which writes it on a thread of its own), beside what
// is done aside at start-up (checking and counting the earlier records) and
// what building the whole file as one text, as it was written before, cost.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "bench/quiet_world.h"
#include "not_logged/not_logged.h"

namespace linkwell::bench {
namespace {

using window::ControlId;

// Records of about `mb` megabytes, as an earlier run wrote them.
Text EarlierRecords(std::int64_t mb) {
    Text out;
    for (int n = 0; out.size() < static_cast<std::size_t>(mb) * 1000000; ++n) {
        const std::string call = "K" + std::to_string(100000 + n);
        out += u"<CALL:7>" + Text(call.begin(), call.end()) +
               u"<QSO_DATE:8>20261208<TIME_ON:4>1200<TIME_OFF:4>1201<MODE:3>FT8<FREQ:6>14.074"
               u"<RST_SENT:3>-10<RST_RCVD:3>-12<NAME:5>Peter<QTH:6>Boston<EOR>\r\n";
    }
    return out;
}

void BM_SaveWithEarlierFile(benchmark::State& state) {
    QuietWorld w;
    w.earlier = Text(not_logged::kNotLoggedHeader) + EarlierRecords(state.range(0));
    w.writeResult = platform::FileWrite::Pending;
    w.Attach();
    w.Deliver(ControlId::CallBox, u"DL1ABC");
    w.Deliver(ControlId::TimeBox, u"1234");
    w.textDelivery = platform::Delivery::NoWindow;  // Logger32 closed: the QSO is kept
    for (auto _ : state) {
        w.bridge.Click(ControlId::LogQsoButton);
        state.PauseTiming();
        w.S().kept.loggings.clear();
        w.bridge.NotLoggedWritten(true);
        state.ResumeTiming();
    }
    if (w.counts.writes < static_cast<std::uint64_t>(state.iterations()))
        state.SkipWithError("a Save wrote nothing");
    state.counters["units_built_per_save"] =
        static_cast<double>(w.counts.writtenUnits) / static_cast<double>(w.counts.writes);
}

// The earlier file's check at start-up, run aside.
void BM_CheckEarlierRecords(benchmark::State& state) {
    const Text records = EarlierRecords(state.range(0));
    for (auto _ : state) {
        bool whole = not_logged::WholeAdifRecords(records);
        auto count = not_logged::RecordCount(records);
        benchmark::DoNotOptimize(whole);
        benchmark::DoNotOptimize(count);
    }
}

// The file as one text: what every change built before the writer thread.
void BM_WholeFileText(benchmark::State& state) {
    platform::NotLoggedText text;
    text.header = Text(not_logged::kNotLoggedHeader);
    text.earlier = std::make_shared<const Text>(EarlierRecords(state.range(0)));
    text.records = u"<CALL:6>DL1ABC<EOR>\r\n";
    for (auto _ : state) {
        auto whole = text.Whole();
        benchmark::DoNotOptimize(whole);
    }
}

BENCHMARK(BM_SaveWithEarlierFile)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CheckEarlierRecords)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WholeFileText)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace linkwell::bench
