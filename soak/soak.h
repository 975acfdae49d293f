// The soak run: a seeded stream of random but plausible events (MixW's items
// and frequencies changing, Logger32's codes and texts, good and broken,
// clicks, OK, MixW2 closing and coming back, Logger32 refusing or closing,
// the operator closing the bridge) through the simulated world, with what
// must always hold checked as the bridge acts:
//  - the program ends only after the operator closed its window;
//  - every text sent to Logger32 is a well-formed run of ADIF-style fields
//    whose lengths count the value's UTF-16 units;
//  - a QSO record sent equals the nine boxes at that moment;
//  - nothing reaches MixW's object while MixW2 is closed;
//  - after each session, every logging made is in Logger32's log or in
//    not-logged.adi, and none is in the log twice (Logger32 hangs, is ended
//    while hung and restarts; the bridge is closed or its session ended);
//  - the bridge never throws.
// When the operator closes the bridge, the next session starts it anew.
// The same seed gives the same events, and so the same trace.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace linkwell::soak {

struct Options {
    std::uint64_t seed = 1;
    std::uint64_t events = 100'000;
    std::ostream* trace = nullptr;  // where the trace goes too, if anywhere
};

struct Result {
    std::uint64_t events = 0;
    std::uint64_t sessions = 0;
    std::uint64_t closes = 0;  // sessions the operator ended
    std::uint64_t virtualMs = 0;
    std::uint64_t traceLines = 0;
    std::uint64_t traceHash = 0;  // FNV-1a of the whole trace
    std::uint64_t textsChecked = 0;
    std::uint64_t recordsChecked = 0;
    std::uint64_t mixwCalls = 0;
    std::uint64_t loggingsMade = 0;
    std::uint64_t loggingsTaken = 0;
    std::uint64_t loggingsKept = 0;
    std::uint64_t loggingsInDoubt = 0;
    std::uint64_t violationCount = 0;
    std::vector<std::string> violations;  // the first few, described
};

[[nodiscard]] Result Run(const Options& options);

}  // namespace linkwell::soak
