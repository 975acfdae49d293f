// Scenario files: one action per line, in a clock of milliseconds from
// program entry. Parsing is complete before anything runs, so a scenario
// that cannot be read gives "FILE:LINE: message" and no trace.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "vocabulary/handles.h"

namespace linkwell::scenario {

enum class ActionKind {
    Nop,  // the clock's last value, so that the run reaches it
    Logger32Start,
    Logger32Stop,
    Logger32Refuse,
    Logger32Silent,
    Logger32Post,
    Logger32SetText,
    Logger32Hang,
    MixWStart,
    MixWStop,
    MixWHang,
    MixWDde,
    MixWRefuse,
    MixWFqA,
    MixWAudioFq,
    Click,
    Ok,
    Close,
    LocaleDecimal,
    Dump,
    SessionEnd,  // Windows ends the session (shut-down, restart, log-off)
    FilePut,     // a not-logged.adi left by an earlier run
};

// An lParam as written: a number, or hwnd:NAME resolved when it is used.
struct ParamToken {
    std::int64_t number = 0;
    std::optional<std::string> handle;
};

struct Action {
    int line = 0;
    std::int64_t time = 0;
    ActionKind kind = ActionKind::Nop;
    bool flag = false;               // logger32 start notext
    std::int64_t count = 0;          // refuse N; post CODE; hang MS
    ParamToken param;                // post LPARAM
    double hertz = 0;                // fqa, audiofq
    std::u16string text;             // settext, dde value, decimal separator, file put
    std::string name;                // dde/refuse item, click button
    std::vector<std::string> names;  // dump
};

struct ScenarioError : std::runtime_error {
    using std::runtime_error::runtime_error;  // "FILE:LINE: message"
};

// The handle names a scenario may use after hwnd:.
inline constexpr const auto& kHandleNames = vocabulary::kHandleNames;

// How the Windows peers play their parts in one scenario, from its
// `peers NAME=VALUE` lines. They hold for the whole run wherever they stand.
// The simulated world has one way of playing only and ignores them.
struct PeerSettings {
    // peers logger32-text=hung: Logger32's text window stops answering on
    // the first text it gets (a hung Logger32); =answers is the default.
    bool hungLogger32Text = false;
};

// What a Windows run of the scenario must also meet: `limit NAME MAX` (the
// peers' figure NAME at most MAX) and `tolerance MS` (lines may be MS early
// or late instead of 400). The simulated world has no such figures.
struct WineChecks {
    std::vector<std::pair<std::string, std::int64_t>> limits;
    std::optional<std::int64_t> toleranceMs;
};

struct Scenario {
    std::vector<Action> actions;
    PeerSettings peers;
    WineChecks wine;
};

// Both throw ScenarioError.
[[nodiscard]] Scenario ReadScenario(std::string_view source, std::string_view fileName);
[[nodiscard]] std::vector<Action> ParseScenario(std::string_view source, std::string_view fileName);

}  // namespace linkwell::scenario
