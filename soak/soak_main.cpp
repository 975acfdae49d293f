// linkwell-soak: the seeded soak run (see soak.h).
//
//   linkwell-soak [--seed N] [--events N] [--trace FILE] [--twice]
//
// --twice runs the same seed again and compares the two traces. Prints a
// summary as key=value lines; exits 1 when something that must hold did
// not, 2 when two runs of one seed differ.
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "soak/soak.h"

int main(int argc, char** argv) {
    linkwell::soak::Options options;
    std::string traceFile;
    bool twice = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--seed" && i + 1 < argc) {
            options.seed = std::strtoull(argv[++i], nullptr, 0);
        } else if (arg == "--events" && i + 1 < argc) {
            options.events = std::strtoull(argv[++i], nullptr, 0);
        } else if (arg == "--trace" && i + 1 < argc) {
            traceFile = argv[++i];
        } else if (arg == "--twice") {
            twice = true;
        } else {
            std::cerr << "usage: linkwell-soak [--seed N] [--events N] [--trace FILE] [--twice]\n";
            return 64;
        }
    }
    std::ofstream traceOut;
    if (!traceFile.empty()) {
        traceOut.open(traceFile, std::ios::binary);
        if (!traceOut) {
            std::cerr << "linkwell-soak: cannot write " << traceFile << "\n";
            return 64;
        }
        options.trace = &traceOut;
    }

    const auto start = std::chrono::steady_clock::now();
    const auto r = linkwell::soak::Run(options);
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;

    std::cout << "seed=" << options.seed << "\n"
              << "events=" << r.events << "\n"
              << "sessions=" << r.sessions << "\n"
              << "closed_by_operator=" << r.closes << "\n"
              << "virtual_hours=" << static_cast<double>(r.virtualMs) / 3'600'000.0 << "\n"
              << "trace_lines=" << r.traceLines << "\n"
              << "texts_checked=" << r.textsChecked << "\n"
              << "records_checked=" << r.recordsChecked << "\n"
              << "mixw_calls=" << r.mixwCalls << "\n"
              << "loggings_made=" << r.loggingsMade << "\n"
              << "loggings_taken=" << r.loggingsTaken << "\n"
              << "loggings_kept=" << r.loggingsKept << "\n"
              << "loggings_in_doubt=" << r.loggingsInDoubt << "\n"
              << "trace_hash=" << std::hex << r.traceHash << std::dec << "\n"
              << "wall_s=" << wall.count() << "\n"
              << "violations=" << r.violationCount << "\n";
    for (const auto& v : r.violations) std::cout << "violation: " << v << "\n";
    int status = r.violationCount == 0 ? 0 : 1;

    if (twice) {
        options.trace = nullptr;
        const auto again = linkwell::soak::Run(options);
        const bool same = again.traceHash == r.traceHash && again.traceLines == r.traceLines;
        std::cout << "same_trace_twice=" << (same ? "yes" : "no") << "\n";
        if (!same && status == 0) status = 2;
    }
    return status;
}
