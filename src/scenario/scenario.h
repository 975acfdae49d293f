// Scenario files: one action per line, in a clock of milliseconds from
// program entry. Parsing is complete before anything runs, so a scenario
// that cannot be read gives "FILE:LINE: message" and no trace.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/platform.h"
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
    FileLock,    // another program holds not-logged.adi open without sharing
    FileUnlock,  // ... and lets it go
    // The bridge's timers (the watch too) tick only at Tick actions from now
    // (a replay plays the ticks a field trace recorded).
    TicksRecorded,
    Tick,
    // udp unreachable / reachable: the datagrams cannot be sent from now,
    // or can again; udp receive "HEX": a datagram reaches the bridge.
    UdpUnreachable,
    UdpReachable,
    UdpReceive,
};

// An lParam as written: a number, or hwnd:NAME resolved when it is used.
struct ParamToken {
    std::int64_t number = 0;
    std::optional<std::string> handle;
};

// What each kind of action carries, one small type per action that carries
// anything (the kinds not named here carry nothing).
namespace act {
struct Logger32Start {
    bool withTextWindow = true;  // false: logger32 start notext
};
struct Refuse {
    std::int64_t count = 0;  // logger32 refuse N
};
struct Post {
    std::int64_t code = 0;  // logger32 post CODE LPARAM
    ParamToken param;
};
struct Hang {
    std::int64_t ms = 0;  // logger32 hang MS, mixw hang MS
    // logger32 hang MS text: only Logger32's text window, on a thread of its
    // own, hangs; its main window answers.
    bool textWindowOnly = false;
    // logger32 hang MS logging: the next logging text Logger32 takes while it
    // answers, it begins (writes to its log) and then holds MS ms inside
    // its handler, its whole thread hung.
    bool inNextLogging = false;
};
struct Dde {
    std::string item;  // mixw dde ITEM "VALUE"
    std::u16string value;
};
struct RefuseItem {
    std::string item;  // mixw refuse ITEM
};
struct Hertz {
    double hz = 0;  // mixw fqa HZ, mixw audiofq HZ
};
struct Click {
    std::string button;  // click NAME
};
// logger32 settext "TEXT", locale decimal "C", file put "TEXT"
struct Text {
    std::u16string text;
};
struct Tick {
    int slot = 0;  // tick NAME: that timer's slot; watch: the watch's
};
struct Datagram {
    std::vector<std::uint8_t> bytes;  // udp receive "HEX"
};
struct Dump {
    std::vector<std::string> names;  // dump [NAME ...]
};
}  // namespace act

using ActionDetails = std::variant<std::monostate, act::Logger32Start, act::Refuse, act::Post,
                                   act::Hang, act::Dde, act::RefuseItem, act::Hertz, act::Click,
                                   act::Text, act::Dump, act::Tick, act::Datagram>;

struct Action {
    int line = 0;
    std::int64_t time = 0;
    ActionKind kind = ActionKind::Nop;
    ActionDetails details;

    // The details of the action's kind (as the parser and the builders make
    // them); asking for another kind's is a fault of the caller.
    template <typename T>
    [[nodiscard]] const T& As() const {
        return std::get<T>(details);
    }
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
    // peers logger32-logging-hang=MS: Logger32's windows (on a thread of
    // their own) hold each logging text MS ms in the text window's handler
    // before taking it, as a Logger32 busy writing its log.
    std::int64_t logger32LoggingHangMs = 0;
    // peers logger32-hang=blocked: `logger32 hang` blocks Logger32's thread
    // outright: no message, sent or posted, is taken until the hang is over
    // (a text sent meanwhile waits in its queue, not begun).
    bool logger32HangBlocks = false;
    // peers mixw-hung-call=outlives-mixw: a call hung in MixW2 does not come
    // back when MixW2 is stopped (a call into a dead server may take a while
    // to fail) but when its hang is over; =ends-with-mixw is the default.
    bool mixwHungCallOutlives = false;
    // peers bridge-kill=MS: at MS the bridge is ended as Task Manager ends
    // a program, and started again at once.
    std::optional<std::int64_t> bridgeKillAt;
    // peers second-bridge=MS (or MS:trace): at MS a second linkwell.exe is
    // started (with --trace FILE).
    std::optional<std::int64_t> secondBridgeAt;
    bool secondBridgeTraced = false;
    // peers bridges-at-once=N: the run's linkwell.exe and N - 1 copies
    // more are started at one moment; each copy that finds the running
    // bridge must end by itself (SECOND lines).
    int bridgesAtOnce = 1;
    // peers instance-name=mutex (or =event): another program holds a mutex
    // (an event) of the bridge's instance name from the start, and the one
    // bridge of the run is started as a second copy is (SECOND lines).
    enum class NameHolder { Nobody, Mutex, Event };
    NameHolder instanceNameHeld = NameHolder::Nobody;
    // peers logger32-text-window=renew-at:MS1,MS2: at MS1 Logger32 closes
    // the window the bridge writes its texts into, its main window living
    // on; at MS2 it makes a new one and names it to the bridge (code 3).
    std::optional<std::int64_t> textWindowClosedAt;
    std::optional<std::int64_t> textWindowRenewedAt;
    // peers profile=non-ascii: the user's profile folder (and so the local
    // application data folder, where not-logged.adi is) is named with Latin,
    // Cyrillic and CJK letters, and so is the bridge's field trace there.
    // peers profile=long:N: not-logged.adi's whole path, and the field
    // trace's there, are N characters long.
    enum class Profile { Usual, NonAscii, Long };
    Profile profile = Profile::Usual;
    int notLoggedPathLength = 0;
    // peers not-logged=unwatched: the peers do not look at not-logged.adi
    // (no FILE lines): reading a file of a hundred megabytes every 50 ms
    // would load the machine the bridge is measured on.
    bool notLoggedUnwatched = false;
};

// The peer settings whose values have parts (logger32-text-window,
// profile): false when NAME is none of them; `error` says what is wrong with
// a VALUE that is not of its form.
[[nodiscard]] bool ReadPeerSettingWithParts(const std::string& name, const std::string& value,
                                            PeerSettings& peers, std::string& error);

// What a Windows run of the scenario must also meet: `limit NAME MAX` (the
// peers' figure NAME at most MAX) and `tolerance MS` (lines may be MS early
// or late instead of 400). The simulated world has no such figures.
struct WineChecks {
    std::vector<std::pair<std::string, std::int64_t>> limits;
    std::optional<std::int64_t> toleranceMs;
    // `wine`: scripts/test-wine plays this scenario (the one place that
    // decides it; a timing-shifted copy says in its comment why it is one).
    bool plays = false;
};

struct Scenario {
    std::vector<Action> actions;
    PeerSettings peers;
    WineChecks wine;
    // `udp HOST:PORT`: the bridge runs with --udp HOST:PORT.
    std::optional<platform::UdpAddress> udp;
};

// Both throw ScenarioError.
[[nodiscard]] Scenario ReadScenario(std::string_view source, std::string_view fileName);
[[nodiscard]] std::vector<Action> ParseScenario(std::string_view source, std::string_view fileName);

}  // namespace linkwell::scenario
