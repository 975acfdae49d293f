#include "bench/station_day.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "scenario/station_actions.h"

namespace linkwell::bench {
namespace {

using scenario::Action;
using scenario::ActionKind;

std::u16string Ascii(const std::string& s) {
    return {s.begin(), s.end()};
}

Action Make(std::int64_t t, ActionKind kind) {
    return scenario::make::At(t, kind);
}
Action Dde(std::int64_t t, const char* item, const std::string& value) {
    return scenario::make::Dde(t, item, Ascii(value));
}
using scenario::make::Click;
using scenario::make::Hertz;
using scenario::make::Post;
Action SetText(std::int64_t t, const std::string& text) {
    return scenario::make::SetText(t, Ascii(text));
}

struct Spot {
    const char* call;
    const char* khz;
    const char* mode;      // as Logger32 names it
    const char* mixwMode;  // what MixW then reports
};
constexpr std::array<Spot, 5> kSpots = {{
    {"DL1ABC", "14080.0", "RTTY", "RTTY"},
    {"F5XYZ", "7040.5", "PSK31", "BPSK31"},
    {"JA1QRP", "21074.0", "CW", "CW"},
    {"VK2ZZ", "14230.0", "SSB", "SSB"},
    {"OH8X", "3580.2", "PSK63", "BPSK63"},
}};
constexpr std::array<const char*, 4> kDialKhz = {"14070", "7035", "10140", "18100"};

std::string Call(int cycle, int n) {
    std::string call(6, 'K');
    call[1] = static_cast<char>('0' + cycle % 10);
    call[2] = 'Q';
    call[3] = static_cast<char>('A' + n % 26);
    call[4] = static_cast<char>('A' + (cycle + n) % 26);
    call.resize(5);
    return call;
}

}  // namespace

std::optional<Action> StationDay::Next() {
    while (pending_.empty()) {
        if (ended_) return std::nullopt;
        if (cycle_ < 0) {
            MakeStartUp();
            cycle_ = 0;
        } else if (cycle_ < kCyclesPerDay && kStartMs + cycle_ * kCycleMs < until_) {
            MakeCycle(cycle_++);
        } else {
            // The run goes on to its end time.
            pending_.push_back(Make(until_, ActionKind::Nop));
            ended_ = true;
        }
        // Only what falls before the end is handed out.
        while (!pending_.empty() && pending_.back().time >= until_ && !ended_) pending_.pop_back();
    }
    Action a = std::move(pending_.front());
    pending_.pop_front();
    Count(a);
    return a;
}

void StationDay::Count(const Action& a) {
    ++totals_.actions;
    switch (a.kind) {
        case ActionKind::Logger32SetText:
            if (a.As<scenario::act::Text>().text.find(u"APP_DXSPOT_CLICKED") !=
                std::u16string::npos) {
                ++totals_.spots;
            } else {
                ++totals_.logger32Records;
            }
            break;
        case ActionKind::MixWDde:
            if (a.As<scenario::act::Dde>().item == "Command" &&
                a.As<scenario::act::Dde>().value == u"Save") {
                ++totals_.qsosSaved;
            }
            break;
        case ActionKind::MixWFqA: ++totals_.mixwFrequencyChanges; break;
        case ActionKind::Logger32Post:
            if (a.As<scenario::act::Post>().code == 100) ++totals_.logger32FrequencyChanges;
            break;
        case ActionKind::Click:
            if (a.As<scenario::act::Click>().button == "Command2") ++totals_.handoversToLogger32;
            if (a.As<scenario::act::Click>().button == "Command1") ++totals_.handoversToMixW;
            break;
        default: break;
    }
}

std::int64_t StationDay::Timer2Ticks() const {
    // The push timer starts at the end of the start-up wait (4000 ms) and stops for
    // each Logger32 spell.
    constexpr std::int64_t kTimer2Start = 4'000;
    std::int64_t running = std::max<std::int64_t>(0, std::min(until_, kStartMs) - kTimer2Start);
    for (int c = 0; c < kCyclesPerDay; ++c) {
        const std::int64_t from = kStartMs + c * kCycleMs;
        if (from >= until_) break;
        running += std::min(until_, from + kMixWSpellMs) - from;
    }
    return running / 800;
}

void StationDay::MakeStartUp() {
    pending_.push_back(scenario::make::StartLogger32(0, true));
    pending_.push_back(Make(0, ActionKind::MixWStart));
    pending_.push_back(Dde(0, "Mode", "RTTY"));
    pending_.push_back(Dde(0, "khz", "14080"));
    pending_.push_back(Hertz(0, ActionKind::MixWFqA, 14080000));
    pending_.push_back(Hertz(0, ActionKind::MixWAudioFq, 0));
}

void StationDay::MakeCycle(int cycle) {
    const std::int64_t t0 = kStartMs + cycle * kCycleMs;
    std::vector<Action> out;
    // MixW's dial.
    for (std::int64_t t = 5'000, m = 0; t < kMixWSpellMs; t += 30'000, ++m) {
        const std::string khz =
            std::string(kDialKhz[static_cast<std::size_t>(m % 4)]) + "." + std::to_string(m % 10);
        out.push_back(Hertz(t0 + t, ActionKind::MixWFqA, std::stod(khz) * 1000));
        out.push_back(Dde(t0 + t, "khz", khz));
    }
    // Clicked spots, and MixW following each.
    for (int k = 0; k < kSpotsPerCycle; ++k) {
        const auto& s = kSpots[static_cast<std::size_t>((cycle + k) % 5)];
        const std::int64_t t = t0 + 10'000 + 86'400 * k;
        out.push_back(SetText(
            t, std::string(" APP_DXSPOT_CLICKED    ") + s.call + "|" + s.khz + "|" + s.mode));
        out.push_back(Dde(t + 1'000, "Mode", s.mixwMode));
        out.push_back(Dde(t + 1'000, "Call", s.call));
    }
    // QSOs worked in MixW and saved.
    for (int j = 0; j < kQsosPerCycle; ++j) {
        const std::int64_t t = t0 + 40'000 + 172'800 * j;
        const std::string call = Call(cycle, j);
        out.push_back(Dde(t, "Call", call));
        out.push_back(Dde(t + 5'000, "RstRcv", "59" + std::to_string(j % 10)));
        out.push_back(Dde(t + 5'000, "RstSnt", "57" + std::to_string(j % 10)));
        out.push_back(Dde(t + 20'000, "Name", j % 2 ? "Anna" : "Bob"));
        out.push_back(Dde(t + 25'000, "qth", j % 3 ? "Paris" : "Turku"));
        out.push_back(Dde(t + 30'000, "Loc", "JN18"));
        out.push_back(Dde(t + 59'000, "time", std::to_string(1000 + j)));
        out.push_back(Dde(t + 60'000, "Command", "Save"));
        out.push_back(Dde(t + 62'000, "Call", ""));
    }
    // The Logger32 spell.
    const std::int64_t h = t0 + kMixWSpellMs;
    out.push_back(Click(h, "Command2"));
    out.push_back(Make(h + 1'000, ActionKind::Ok));
    out.push_back(Post(h + 4'000, 100, 7'074'000 + cycle));
    out.push_back(Post(h + 8'000, 100, 7'075'500 + cycle));
    out.push_back(SetText(
        h + 10'000, "<CALL:" + std::to_string(Call(cycle, 99).size()) + ">" + Call(cycle, 99) +
                        "<MODE:3>LSB<RST_SENT:3>599<RST_RCVD:3>579<NAME:4>Olga<EOR><EOF>"));
    out.push_back(Click(h + 14'000, "Command1"));
    out.push_back(Make(h + 15'000, ActionKind::Ok));
    std::stable_sort(out.begin(), out.end(),
                     [](const Action& a, const Action& b) { return a.time < b.time; });
    pending_.insert(pending_.end(), std::make_move_iterator(out.begin()),
                    std::make_move_iterator(out.end()));
}

}  // namespace linkwell::bench
