#include "scenario/scenario.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

#include "scenario/mixw_items.h"
#include "scenario/udp_lines.h"
#include "text/text.h"
#include "text/tokens.h"
#include "window/controls.h"

namespace linkwell::scenario {
namespace {

using text::Token;

constexpr std::string_view kButtons[] = {"Command1", "Command2", "Command3", "CommandSend"};

class LineParser {
public:
    LineParser(std::string_view file, int line) : file_(file), line_(line) {}

    [[noreturn]] void Fail(const std::string& message) const {
        throw ScenarioError(std::string(file_) + ":" + std::to_string(line_) + ": " + message);
    }

    std::vector<Token> Tokenize(std::string_view line) const {
        try {
            return text::Tokenize(line);
        } catch (const text::TokenError& e) {
            Fail(e.what());
        }
    }

    std::int64_t Integer(const Token& t, std::int64_t lo, std::int64_t hi) const {
        std::string_view s = t.raw;
        bool negative = false;
        if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
            negative = s[0] == '-';
            s.remove_prefix(1);
        }
        int base = 10;
        if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
            base = 16;
            s.remove_prefix(2);
        }
        std::uint64_t magnitude = 0;
        const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), magnitude, base);
        if (s.empty() || ec != std::errc() || end != s.data() + s.size() ||
            magnitude > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            Fail("bad number: " + t.raw);
        }
        const auto value =
            negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
        if (value < lo || value > hi) Fail("number out of range: " + t.raw);
        return value;
    }

    double Number(const Token& t) const {
        std::string_view s = t.raw;
        if (s.size() > 2 && (s.substr(0, 2) == "0x" || s.substr(0, 2) == "0X" ||
                             s.substr(0, 3) == "-0x" || s.substr(0, 3) == "+0x")) {
            return static_cast<double>(Integer(t, std::numeric_limits<std::int64_t>::min(),
                                               std::numeric_limits<std::int64_t>::max()));
        }
        if (!s.empty() && s[0] == '+') s.remove_prefix(1);
        double value = 0;
        const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
        const bool plain = s.find_first_not_of("+-0123456789.eE") == std::string_view::npos;
        if (s.empty() || !plain || ec != std::errc() || end != s.data() + s.size() ||
            !std::isfinite(value)) {
            Fail("bad number: " + t.raw);
        }
        return value;
    }

private:
    std::string_view file_;
    int line_;
};

// A time in milliseconds of a peer setting.
std::int64_t PeerMs(const LineParser& p, const std::string& name, const std::string& value) {
    if (value.empty() || value.size() > 9 ||
        value.find_first_not_of("0123456789") != std::string::npos) {
        p.Fail(name + " takes milliseconds: " + value);
    }
    return std::stoll(value);
}

void ReadPeerSetting(const LineParser& p, const std::string& setting, PeerSettings& peers) {
    const auto eq = setting.find('=');
    if (eq == std::string::npos) p.Fail("a peer setting is NAME=VALUE: " + setting);
    const std::string name = setting.substr(0, eq);
    const std::string value = setting.substr(eq + 1);
    if (std::string error; ReadPeerSettingWithParts(name, value, peers, error)) {
        if (!error.empty()) p.Fail(error);
    } else if (name == "logger32-text") {
        if (value != "answers" && value != "hung") {
            p.Fail("logger32-text is answers or hung: " + value);
        }
        peers.hungLogger32Text = value == "hung";
    } else if (name == "logger32-hang") {
        if (value != "answers-posts" && value != "blocked") {
            p.Fail("logger32-hang is answers-posts or blocked: " + value);
        }
        peers.logger32HangBlocks = value == "blocked";
    } else if (name == "mixw-hung-call") {
        if (value != "ends-with-mixw" && value != "outlives-mixw") {
            p.Fail("mixw-hung-call is ends-with-mixw or outlives-mixw: " + value);
        }
        peers.mixwHungCallOutlives = value == "outlives-mixw";
    } else if (name == "logger32-logging-hang") {
        peers.logger32LoggingHangMs = PeerMs(p, name, value);
    } else if (name == "bridge-kill") {
        peers.bridgeKillAt = PeerMs(p, name, value);
    } else if (name == "second-bridge") {
        const auto colon = value.find(':');
        peers.secondBridgeAt = PeerMs(p, name, value.substr(0, colon));
        peers.secondBridgeTraced = colon != std::string::npos;
        if (peers.secondBridgeTraced && value.substr(colon + 1) != "trace") {
            p.Fail("second-bridge is MS or MS:trace: " + value);
        }
    } else if (name == "bridges-at-once") {
        peers.bridgesAtOnce = static_cast<int>(p.Integer(Token{value, {}, false}, 2, 20));
    } else if (name == "instance-name") {
        if (value != "mutex" && value != "event") {
            p.Fail("instance-name is mutex or event: " + value);
        }
        peers.instanceNameHeld =
            value == "mutex" ? PeerSettings::NameHolder::Mutex : PeerSettings::NameHolder::Event;
    } else if (name == "not-logged") {
        if (value != "unwatched") p.Fail("not-logged is unwatched: " + value);
        peers.notLoggedUnwatched = true;
    } else {
        p.Fail("unknown peer setting: " + name);
    }
}

}  // namespace

std::vector<Action> ParseScenario(std::string_view source, std::string_view fileName) {
    return ReadScenario(source, fileName).actions;
}

namespace {

using Tokens = std::vector<Token>;

void Arity(const LineParser& p, const Tokens& t, std::size_t lo, std::size_t hi) {
    if (t.size() < lo || t.size() > hi) p.Fail("wrong number of arguments for " + t[0].raw);
}

// logger32 start|refuse|silent|stop|post|settext|hang ...
void ReadLogger32(const LineParser& p, const Tokens& t, Action& a) {
    const std::string& sub = t[1].raw;
    if (sub == "start") {
        Arity(p, t, 2, 3);
        if (t.size() == 3 && t[2].raw != "notext") p.Fail("unknown option: " + t[2].raw);
        a.kind = ActionKind::Logger32Start;
        a.details = act::Logger32Start{t.size() != 3};
    } else if (sub == "refuse") {
        Arity(p, t, 3, 3);
        a.kind = ActionKind::Logger32Refuse;
        a.details = act::Refuse{p.Integer(t[2], 0, std::numeric_limits<std::int32_t>::max())};
    } else if (sub == "silent" || sub == "stop") {
        Arity(p, t, 2, 2);
        a.kind = sub == "silent" ? ActionKind::Logger32Silent : ActionKind::Logger32Stop;
    } else if (sub == "post") {
        Arity(p, t, 4, 4);
        a.kind = ActionKind::Logger32Post;
        act::Post post;
        post.code = p.Integer(t[2], 0, 0xFFFFFFFFLL);
        if (!t[3].quoted && t[3].raw.rfind("hwnd:", 0) == 0) {
            const auto name = t[3].raw.substr(5);
            if (std::find(std::begin(kHandleNames), std::end(kHandleNames), name) ==
                std::end(kHandleNames)) {
                p.Fail("unknown handle: " + t[3].raw);
            }
            post.param.handle = name;
        } else {
            post.param.number =
                p.Integer(t[3], std::numeric_limits<std::int32_t>::min(), 0xFFFFFFFFLL);
        }
        a.details = std::move(post);
    } else if (sub == "settext") {
        Arity(p, t, 3, 3);
        a.kind = ActionKind::Logger32SetText;
        a.details = act::Text{t[2].value};
    } else if (sub == "hang") {
        Arity(p, t, 3, 4);
        if (t.size() == 4 && t[3].raw != "text" && t[3].raw != "logging")
            p.Fail("unknown action: logger32 hang MS " + t[3].raw);
        a.kind = ActionKind::Logger32Hang;
        a.details = act::Hang{p.Integer(t[2], 0, 3'600'000), t.size() == 4 && t[3].raw == "text",
                              t.size() == 4 && t[3].raw == "logging"};
    } else {
        p.Fail("unknown action: logger32 " + sub);
    }
}

// mixw start|stop|hang|dde|refuse|fqa|audiofq ...
void ReadMixW(const LineParser& p, const Tokens& t, Action& a) {
    const std::string& sub = t[1].raw;
    if (sub == "start" || sub == "stop") {
        Arity(p, t, 2, 2);
        a.kind = sub == "start" ? ActionKind::MixWStart : ActionKind::MixWStop;
    } else if (sub == "hang") {
        Arity(p, t, 3, 3);
        a.kind = ActionKind::MixWHang;
        a.details = act::Hang{p.Integer(t[2], 0, 3'600'000)};
    } else if (sub == "dde" || sub == "refuse") {
        const std::size_t n = sub == "dde" ? 4 : 3;
        Arity(p, t, n, n);
        const MixWItem* item = FindMixWItem(t[2].raw);
        if (item == nullptr) p.Fail("unknown DDE item: " + t[2].raw);
        if (sub == "dde") {
            a.kind = ActionKind::MixWDde;
            a.details = act::Dde{std::string(item->name), t[3].value};
        } else {
            a.kind = ActionKind::MixWRefuse;
            a.details = act::RefuseItem{std::string(item->name)};
        }
    } else if (sub == "fqa" || sub == "audiofq") {
        Arity(p, t, 3, 3);
        a.kind = sub == "fqa" ? ActionKind::MixWFqA : ActionKind::MixWAudioFq;
        a.details = act::Hertz{p.Number(t[2])};
    } else {
        p.Fail("unknown action: mixw " + sub);
    }
}

// file put "TEXT", file lock, file unlock: not-logged.adi as others left it.
void ReadFile(const LineParser& p, const Tokens& t, Action& a) {
    if (t[1].raw == "lock" || t[1].raw == "unlock") {
        Arity(p, t, 2, 2);
        a.kind = t[1].raw == "lock" ? ActionKind::FileLock : ActionKind::FileUnlock;
        return;
    }
    Arity(p, t, 3, 3);
    if (t[1].raw != "put") p.Fail("unknown action: file " + t[1].raw);
    a.kind = ActionKind::FilePut;
    a.details = act::Text{t[2].value};
}

// click, ok, close, locale decimal, dump: the operator and the checks.
void ReadOperator(const LineParser& p, const Tokens& t, Action& a) {
    const std::string& verb = t[0].raw;
    if (verb == "click") {
        Arity(p, t, 2, 2);
        if (std::find(std::begin(kButtons), std::end(kButtons), t[1].raw) == std::end(kButtons)) {
            p.Fail("unknown button: " + t[1].raw);
        }
        a.kind = ActionKind::Click;
        a.details = act::Click{t[1].raw};
    } else if (verb == "ok" || verb == "close") {
        Arity(p, t, 1, 1);
        a.kind = verb == "ok" ? ActionKind::Ok : ActionKind::Close;
    } else if (verb == "locale") {
        Arity(p, t, 3, 3);
        if (t[1].raw != "decimal") p.Fail("unknown action: locale " + t[1].raw);
        if (t[2].value.empty()) p.Fail("the decimal separator cannot be empty");
        a.kind = ActionKind::LocaleDecimal;
        a.details = act::Text{t[2].value};
    } else if (verb == "session") {
        Arity(p, t, 2, 2);
        if (t[1].raw != "end") p.Fail("unknown action: session " + t[1].raw);
        a.kind = ActionKind::SessionEnd;
    } else if (verb == "file") {
        ReadFile(p, t, a);
    } else if (verb == "watch") {
        Arity(p, t, 1, 1);
        a.kind = ActionKind::Tick;
        a.details = act::Tick{window::kWatchTimerSlot};
    } else if (verb == "tick") {
        Arity(p, t, 2, 2);
        const auto timer = window::FindControl(t[1].raw);
        if (!timer || window::Design(*timer).kind != window::ControlKind::Timer) {
            p.Fail("unknown timer: " + t[1].raw);
        }
        a.kind = ActionKind::Tick;
        a.details = act::Tick{window::TimerSlot(*timer)};
    } else if (verb == "ticks") {
        Arity(p, t, 2, 2);
        if (t[1].raw != "recorded") p.Fail("unknown action: ticks " + t[1].raw);
        a.kind = ActionKind::TicksRecorded;
    } else if (verb == "dump") {
        a.kind = ActionKind::Dump;
        act::Dump dump;
        for (std::size_t i = 1; i < t.size(); ++i) {
            const auto& n = t[i].raw;
            if (n != "Linkwell" && n != "Form1" && !window::FindControl(n)) {
                p.Fail("unknown control: " + n);
            }
            dump.names.push_back(n);
        }
        a.details = std::move(dump);
    } else {
        p.Fail("unknown action: " + verb);
    }
}

}  // namespace

namespace {

// The lines that are no action: the clock (wait, at) and what holds for the
// whole run (peers, limit, tolerance). False for any other line.
bool ReadDirective(const LineParser& p, const Tokens& t, std::int64_t& clock, Scenario& scenario) {
    const auto& verb = t[0].raw;
    if (verb == "wait" || verb == "at") {
        Arity(p, t, 2, 2);
        const auto n = p.Integer(t[1], std::numeric_limits<std::int64_t>::min(), 1LL << 50);
        const std::int64_t to = verb == "wait" ? clock + n : n;
        if (to < clock) p.Fail("time going backwards");
        clock = to;
    } else if (verb == "peers") {
        Arity(p, t, 2, 2);
        ReadPeerSetting(p, t[1].raw, scenario.peers);
    } else if (verb == "limit") {
        Arity(p, t, 3, 3);
        if (t[1].raw.find_first_not_of("abcdefghijklmnopqrstuvwxyz-") != std::string::npos) {
            p.Fail("a figure's name is lower-case words joined by '-': " + t[1].raw);
        }
        scenario.wine.limits.emplace_back(
            t[1].raw, p.Integer(t[2], 0, std::numeric_limits<std::int32_t>::max()));
    } else if (verb == "wine") {
        // The Wine stage plays this scenario against the real program.
        Arity(p, t, 1, 1);
        scenario.wine.plays = true;
    } else if (verb == "tolerance") {
        Arity(p, t, 2, 2);
        scenario.wine.toleranceMs = p.Integer(t[1], 0, 60'000);
    } else {
        return false;
    }
    return true;
}

Action ReadAction(const LineParser& p, const Tokens& t) {
    Action a;
    const auto& verb = t[0].raw;
    if (verb == "logger32" || verb == "mixw" || verb == "locale" || verb == "session" ||
        verb == "file") {
        if (t.size() < 2) p.Fail("missing argument for " + verb);
    }
    if (verb == "logger32") {
        ReadLogger32(p, t, a);
    } else if (verb == "mixw") {
        ReadMixW(p, t, a);
    } else {
        ReadOperator(p, t, a);
    }
    return a;
}

}  // namespace

Scenario ReadScenario(std::string_view source, std::string_view fileName) {
    Scenario scenario;
    auto& actions = scenario.actions;
    std::int64_t clock = 0;
    int lineNo = 0;
    std::size_t pos = 0;
    while (pos <= source.size()) {
        const std::size_t eol = std::min(source.find('\n', pos), source.size());
        const std::string_view line = source.substr(pos, eol - pos);
        pos = eol + 1;
        ++lineNo;
        const LineParser p(fileName, lineNo);
        const auto first = line.find_first_not_of(" \t\r");
        if (first == std::string_view::npos || line[first] == '#') continue;
        const auto t = p.Tokenize(line);
        if (ReadDirective(p, t, clock, scenario)) continue;
        Action a;
        if (t[0].raw == "udp") {
            bool isAction = false;
            const auto error = ReadUdpLine(t, a, scenario, isAction);
            if (!error.empty()) p.Fail(error);
            if (!isAction) continue;
        } else {
            a = ReadAction(p, t);
        }
        a.line = lineNo;
        a.time = clock;
        actions.push_back(std::move(a));
    }
    if (actions.empty() || actions.back().time < clock) {
        Action end;
        end.time = clock;
        end.line = lineNo;
        actions.push_back(end);
    }
    return scenario;
}

}  // namespace linkwell::scenario
