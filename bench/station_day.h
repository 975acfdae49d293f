// A station's day as a stream of scenario actions, made as the world asks
// for them so that a day costs no more memory than an hour.
//
// The day: start-up, then 50 cycles. Each cycle is 1728 s with MixW2 holding
// the rig (2160 push ticks) and a 16 s spell with Logger32 holding it:
//  - every 30 s MixW's dial moves (FqA and its CAT item "khz");
//  - 20 DX spots clicked in Logger32, each followed 1 s later by MixW
//    taking the spot's mode and call;
//  - 10 QSOs worked in MixW and logged by its "Save" command;
//  - a handover to Logger32 and back, each confirmed with OK; in between
//    Logger32 reports two frequencies and sends one QSO record to save.
// So the whole day has 108,000 push ticks, 1,000 spots, 500 QSOs and 50
// handovers each way.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>

#include "scenario/scenario.h"

namespace linkwell::bench {

inline constexpr std::int64_t kStartMs = 10'000;
inline constexpr std::int64_t kMixWSpellMs = 1'728'000;
inline constexpr std::int64_t kLogger32SpellMs = 16'000;
inline constexpr std::int64_t kCycleMs = kMixWSpellMs + kLogger32SpellMs;
inline constexpr int kCyclesPerDay = 50;
inline constexpr int kSpotsPerCycle = 20;
inline constexpr int kQsosPerCycle = 10;
inline constexpr std::int64_t kDayMs = kStartMs + kCyclesPerDay * kCycleMs;

class StationDay {
public:
    // The actions up to `untilMs` of virtual time (a day: kDayMs).
    explicit StationDay(std::int64_t untilMs) : until_(untilMs) {}

    // The next action in time order; nullopt after the last.
    std::optional<scenario::Action> Next();

    // What the actions handed out so far amount to.
    struct Totals {
        std::int64_t spots = 0;
        std::int64_t qsosSaved = 0;
        std::int64_t handoversToLogger32 = 0;
        std::int64_t handoversToMixW = 0;
        std::int64_t mixwFrequencyChanges = 0;
        std::int64_t logger32FrequencyChanges = 0;
        std::int64_t logger32Records = 0;
        std::int64_t actions = 0;
    };
    [[nodiscard]] const Totals& Handed() const { return totals_; }
    // Push ticks due in [0, until): 800 ms apart while MixW2 holds the rig.
    [[nodiscard]] std::int64_t Timer2Ticks() const;

private:
    void MakeStartUp();
    void MakeCycle(int cycle);
    void Count(const scenario::Action& a);

    std::int64_t until_;
    int cycle_ = -1;
    bool ended_ = false;
    std::deque<scenario::Action> pending_;
    Totals totals_;
};

}  // namespace linkwell::bench
