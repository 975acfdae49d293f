// linkwell-day: runs a simulated station day (or its first hours) through
// the simulated world, with the trace counted and dropped, and prints what
// it did, how long it took and the process's peak resident size, as
// key=value lines.
//
//   linkwell-day [--hours H] [--trace]
//
// H defaults to the whole day; --trace prints the trace instead of counting
// it, to see what the day does.
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <ostream>
#include <string>

#include "bench/station_day.h"
#include "bench/trace_counter.h"
#include "sim/world.h"

namespace {

// Peak resident size of this process in kB, from the kernel's own count.
long PeakResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmHWM:") {
            long kb = 0;
            status >> kb;
            return kb;
        }
        status.ignore(4096, '\n');
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    using linkwell::bench::kDayMs;
    std::int64_t until = kDayMs;
    bool print = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--hours" && i + 1 < argc) {
            until = static_cast<std::int64_t>(std::atof(argv[++i]) * 3'600'000);
        } else if (arg == "--trace") {
            print = true;
        } else {
            std::cerr << "usage: linkwell-day [--hours H] [--trace]\n";
            return 1;
        }
    }
    if (until <= 0 || until > kDayMs) until = kDayMs;

    linkwell::bench::StationDay day(until);
    linkwell::bench::TraceCounter counter;
    std::ostream trace(print ? std::cout.rdbuf() : &counter);
    const auto start = std::chrono::steady_clock::now();
    bool ended = false;
    std::int64_t reached = 0;
    {
        linkwell::sim::World world([&day] { return day.Next(); }, trace);
        ended = world.Run();
        reached = world.Now();
    }
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;

    if (print) return ended ? 3 : 0;
    const auto& t = day.Handed();
    std::cout << "virtual_ms=" << reached << "\n"
              << "wall_s=" << wall.count() << "\n"
              << "timer2_ticks=" << day.Timer2Ticks() << "\n"
              << "actions=" << t.actions << "\n"
              << "spots=" << t.spots << "\n"
              << "qsos_saved=" << t.qsosSaved << "\n"
              << "handovers_to_logger32=" << t.handoversToLogger32 << "\n"
              << "handovers_to_mixw=" << t.handoversToMixW << "\n"
              << "mixw_frequency_changes=" << t.mixwFrequencyChanges << "\n"
              << "logger32_frequency_changes=" << t.logger32FrequencyChanges << "\n"
              << "logger32_records=" << t.logger32Records << "\n"
              << "trace_lines=" << counter.lines << "\n"
              << "logger32_texts=" << counter.logger32Texts << "\n"
              << "logged=" << counter.logged << "\n"
              << "logger32_codes=" << counter.logger32Codes << "\n"
              << "mixw_calls=" << counter.mixwCalls << "\n"
              << "ended=" << (ended ? 1 : 0) << "\n"
              << "peak_rss_kb=" << PeakResidentKb() << "\n";
    // The bridge must still be running at the end of the day.
    return ended ? 3 : 0;
}
