// What must hold after each session of a chaos run (soak/chaos.h), judged
// from what the Windows peers printed and the files the bridge left:
//  - exactly once: every logging made is in the stand-in Logger32's log
//    once, or in not-logged.adi (or not-logged-unsaved.adi); one in both
//    is marked in doubt there; none is in the log twice across the run;
//  - the window never froze: every probe was answered within 250 ms;
//  - the ends were bounded, and the bridge ended only when it was told to;
//  - the bridge's handles, USER and GDI objects, threads and private bytes
//    stayed flat.
// Each violation names the seed and the moment.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "soak/chaos.h"

namespace linkwell::soak::chaos {

// A logging text Logger32 took.
struct Taken {
    int session = 0;
    std::int64_t at = 0;
    std::string call;
    std::string text;
};

// Logger32's log of one session: from the peers' trace (`MS L32 text
// "<APP_LOGQSO:..."` lines) or, given `logFile`, from the stand-in's own
// log (one text a line: MS RUN TEXT, RUN the Logger32's number in the
// session's run).
[[nodiscard]] std::vector<Taken> ReadLogger32Log(int session, const std::string& text,
                                                 bool logFile);

// A QSO record of not-logged.adi.
struct Kept {
    std::string call;
    bool inDoubt = false;
};
[[nodiscard]] std::vector<Kept> ReadKept(const std::string& adif);

// What one session of the run left.
struct SessionRun {
    int number = 0;
    std::vector<Taken> taken;
    std::vector<Kept> kept;   // not-logged.adi and not-logged-unsaved.adi
    std::string trace;        // the peers' standard output
    std::string err;          // their standard error: FIGURE, CHECK, FROZEN, RESOURCES lines
    std::int64_t endsAt = 0;  // when the scenario closes the bridge or ends the session
};

// A text's lines, without the CR of a Windows line end.
[[nodiscard]] std::vector<std::string> Lines(const std::string& text);

// The exactly-once check over the whole run; violations by session number.
[[nodiscard]] std::map<int, std::vector<std::string>> CheckExactlyOnce(
    std::uint64_t seed, const std::vector<Logging>& made, const std::vector<SessionRun>& runs);

// The other checks of one session.
[[nodiscard]] std::vector<std::string> CheckSessionRun(std::uint64_t seed, const SessionRun& run);

// The resource samples of a run, and their slopes per minute (each bridge
// process on its own line: a restarted bridge starts from its own level).
// The bridge's threads come and go with what it waits for (a hung MixW2's
// call, a text Logger32 has not taken), and its private bytes with them, so
// a leak is told by the floor: the least of a process's last third of
// samples against the least of its first third, per minute between them
// (processes sampled for a minute or more, six samples at least). The
// floors take only the samples that say `settled=1` (both peers running
// unhung for a while: what the bridge holds is its steady state), each
// bridge's apart by `at-work=` (which program holds the rig), and its
// handles less 3 for each MixW2 gone (`mixw-gone=N`), which Wine's COM
// keeps; the fitted slope takes every sample as it is. A floor may rise
// once by what the bridge makes when first needed and keeps (a thread, its
// handles and stack: 1 thread, 2 handles, 1100 KB); the rise beyond that is
// its growth.
struct Slopes {
    std::size_t samples = 0;
    std::map<std::string, double> perMinute;  // handles, user, gdi, windows, threads, private-kb
    std::map<std::string, double> floorPerMinute;  // the fastest-growing process's floor
    std::size_t bridges = 0;                       // processes sampled
    std::size_t bridgesJudged = 0;                 // with settled samples enough for a floor
};
[[nodiscard]] Slopes ResourceSlopes(const std::vector<std::string>& errs);
// The growth allowed per minute, by counter.
[[nodiscard]] const std::map<std::string, double>& SlopeTolerances();
[[nodiscard]] std::vector<std::string> CheckSlopes(std::uint64_t seed, int session,
                                                   const Slopes& slopes);

// Latencies in ms of one session's paths, from its scenario and trace.
struct Latencies {
    std::vector<std::int64_t> spotToMacros;
    std::vector<std::int64_t> saveToLogging;
    std::vector<std::int64_t> khzToForceFreq;
};
void AddLatencies(const std::string& scenario, const std::string& trace, Latencies& into);
// p50, p99 and max of a sample ("-" when empty).
[[nodiscard]] std::string Percentiles(std::vector<std::int64_t> ms);

}  // namespace linkwell::soak::chaos
