// The soak runs' random numbers: one seeded generator, so that a seed gives
// the same events on every machine.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <random>

namespace linkwell::soak {

class Dice {
public:
    explicit Dice(std::uint64_t seed) : rng_(seed) {}
    // 0 .. n-1; the slight bias of the modulo does not matter here.
    std::uint64_t Below(std::uint64_t n) { return n == 0 ? 0 : rng_() % n; }
    std::int64_t Between(std::int64_t lo, std::int64_t hi) {
        return lo + static_cast<std::int64_t>(Below(static_cast<std::uint64_t>(hi - lo) + 1));
    }
    bool Chance(int percent) { return Below(100) < static_cast<std::uint64_t>(percent); }
    template <typename T, std::size_t N>
    const T& Pick(const std::array<T, N>& from) {
        return from[static_cast<std::size_t>(Below(N))];
    }

private:
    std::mt19937_64 rng_;
};

}  // namespace linkwell::soak
