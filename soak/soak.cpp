#include "soak/soak.h"

#include <algorithm>
#include <array>
#include <deque>
#include <exception>
#include <optional>
#include <string_view>
#include <utility>

#include "not_logged/not_logged.h"
#include "scenario/line_sink.h"
#include "scenario/scenario.h"
#include "scenario/station_actions.h"
#include "sim/world.h"
#include "soak/checks.h"
#include "soak/dice.h"
#include "text/text.h"
#include "to_logger32/logging.h"
#include "to_logger32/push.h"

namespace linkwell::soak {
namespace {

using scenario::Action;
using scenario::ActionKind;
namespace act = scenario::act;

constexpr std::size_t kKeptViolations = 20;

// --- random values -----------------------------------------------------------------

std::u16string Ascii(std::string_view s) {
    return {s.begin(), s.end()};
}
std::u16string Number(std::int64_t n) {
    return Ascii(std::to_string(n));
}

// One character of anything MixW or an operator might type, and more.
void AppendChar(Dice& d, std::u16string& out) {
    static constexpr std::u16string_view kPlain =
        u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789/";
    static constexpr std::u16string_view kMarks = u"<>:|  .,-";
    static constexpr std::u16string_view kLatin = u"\u00e9\u00df\u00c5\u20ac\u00f1\u00b0";
    static constexpr std::u16string_view kWide = u"\u0416\u4e2d\u05d0\u03a9";
    const auto r = d.Below(100);
    if (r < 70) {
        out += kPlain[d.Below(kPlain.size())];
    } else if (r < 85) {
        out += kMarks[d.Below(kMarks.size())];
    } else if (r < 92) {
        out += kLatin[d.Below(kLatin.size())];
    } else if (r < 96) {
        out += kWide[d.Below(kWide.size())];
    } else if (r < 99) {
        out += u"\U0001F600";  // one character, two UTF-16 units
    } else {
        out += static_cast<char16_t>(0xD800 + d.Below(0x800));  // a lone surrogate
    }
}

std::u16string RandomText(Dice& d) {
    const auto r = d.Below(100);
    const std::int64_t n = r < 10   ? 0
                           : r < 80 ? d.Between(1, 12)
                           : r < 95 ? d.Between(13, 80)
                                    : d.Between(81, 400);
    std::u16string out;
    for (std::int64_t i = 0; i < n; ++i) AppendChar(d, out);
    return out;
}

constexpr std::array<std::string_view, 8> kCalls = {"DL1ABC", "F5XYZ", "JA1QRP", "VK2ZZ",
                                                    "OH8X",   "ru",    "",       "K1/M"};
constexpr std::array<std::string_view, 14> kMixWModes = {
    "BPSK31", "BPSK63", "BPSK62", "BPSK125", "BPSK250", "MFSK", "RTTY",
    "CW",     "SSB",    "SSTV",   "PSK31",   "Mode",    "",     "Olivia"};
constexpr std::array<std::string_view, 11> kSpotModes = {
    "CW", "USB", "LSB", "SSB", "RTTY", "PSK31", "PSK63", "PSK125", "MFSK16", "FT8", "rtty"};
constexpr std::array<std::string_view, 10> kCommands = {
    "Save", "Save", "Save", "Remove", "Remove", "save", " Save", "Save ", "", "Murex_Send"};
constexpr std::array<std::string_view, 12> kQsoItems = {"Call",    "RstRcv", "RstSnt", "Name",
                                                        "qth",     "time",   "IOTA",   "Loc",
                                                        "Manager", "Notes",  "CALL",   "notes"};

std::u16string Call(Dice& d) {
    return d.Chance(70) ? Ascii(d.Pick(kCalls)) : RandomText(d);
}

std::u16string Khz(Dice& d) {
    const auto r = d.Below(10);
    if (r < 6) return Number(d.Between(1800, 30000)) + u"." + Number(d.Between(0, 99));
    if (r < 7) return Number(d.Between(1800, 30000)) + u"," + Number(d.Between(0, 9));
    if (r < 8) return u"Frequency";
    return RandomText(d);
}

double Hertz(Dice& d) {
    const auto r = d.Below(20);
    if (r < 14) return static_cast<double>(d.Between(1'800'000, 30'000'000));
    if (r < 17)
        return static_cast<double>(d.Between(0, 3'000)) +
               static_cast<double>(d.Below(1000)) / 1000.0;
    if (r < 18) return -static_cast<double>(d.Between(0, 5'000'000));
    if (r < 19) return 0;
    return 1e15 * static_cast<double>(d.Between(1, 100'000));
}

std::u16string Field(std::u16string_view name, const std::u16string& value) {
    return u"<" + std::u16string(name) + u":" + Number(static_cast<std::int64_t>(value.size())) +
           u">" + value;
}

std::u16string GoodSpot(Dice& d) {
    std::u16string s;
    AppendChar(d, s);
    s += u"APP_DXSPOT_CLICKED";
    for (int i = 0; i < 4; ++i) AppendChar(d, s);
    std::u16string call = Call(d);
    std::erase(call, u'|');
    s += call + u"|";
    s += d.Chance(10) ? u"|14074" : Khz(d);
    s += u"|" + Ascii(d.Pick(kSpotModes));
    if (d.Chance(10)) s += u"|x" + RandomText(d);
    return s;
}

std::u16string BrokenSpot(Dice& d) {
    switch (d.Below(6)) {
        case 0: return u" APP_DXSPOT_CLICKED    DL1ABC|14074";     // no second "|"
        case 1: return u" APP_DXSPOT_CLICKED   |DL1ABC|14074|CW";  // "|" at character 23
        case 2: return u" APP_DXSPOT_CLICKED    DL1ABC 14074 CW";  // no "|" at all
        case 3: return u" APP_DXSPOT_CLICK";                       // shorter than 19
        case 4: return u"APP_DXSPOT_CLICKED     DL1ABC|14074|CW";  // header at 1 to 18
        default: {
            std::u16string s = GoodSpot(d);
            s.resize(static_cast<std::size_t>(d.Below(s.size() + 1)));
            return s;
        }
    }
}

std::u16string GoodRecord(Dice& d) {
    std::u16string s;
    if (d.Chance(80)) s += Field(u"CALL", Call(d));
    if (d.Chance(80)) {
        std::u16string mode = Ascii(d.Pick(kSpotModes));
        s += Field(u"MODE", mode);  // Logger32's modes have one length digit
    }
    if (d.Chance(70)) s += Field(u"RST_SENT", Number(d.Between(11, 599)));
    if (d.Chance(70)) s += Field(u"RST_RCVD", Number(d.Between(11, 599)));
    if (d.Chance(70)) s += Field(u"NAME", RandomText(d));
    if (d.Chance(30)) s += Field(u"QTH", RandomText(d));
    if (d.Chance(60)) s += u"<EOR>";
    if (d.Chance(60)) s += u"<EOF>";
    return s;
}

std::u16string BrokenRecord(Dice& d) {
    std::u16string s = GoodRecord(d);
    switch (d.Below(8)) {
        case 0: return u"<CALL:5:S>DL1AB<MODE:2>CW" + s;         // a type indicator
        case 1: return u"<CALL:x>DL1AB<MODE:x>CW<NAME:>Bo" + s;  // lengths that are no number
        case 2: return u"<CALL:99999999999999999999>DL1AB<NAME:4294967297>Bob<EOF>";
        case 3: return u"<CALL:6" + s + u"<NAME:3";           // no ">"
        case 4: return u"<call:5>dl1ab<mode:2>cw<eor><eof>";  // lower case
        case 5: {
            s.resize(static_cast<std::size_t>(d.Below(s.size() + 1)));  // cut short
            return s + u"<NAME:40>Bo";
        }
        case 6: {
            // Longer than a text box holds.
            std::u16string big = u"<CALL:6>DL1ABC<NAME:40000>";
            big.append(40'000, u'n');
            return big + u"<MODE:2>CW<EOF>";
        }
        default: return u"MODE" + RandomText(d) + u"CALL" + RandomText(d) + u"NAME";
    }
}

// --- the event stream ---------------------------------------------------------------

// Hands out the soak's events as scenario actions, session by session.
class Events {
public:
    Events(std::uint64_t seed, std::uint64_t total) : d_(seed), left_(total) {}

    [[nodiscard]] std::uint64_t Left() const { return left_; }

    // A fresh bridge: the clock from 0, the two programs coming up.
    void NewSession() {
        now_ = 0;
        mixwRunning_ = false;
        pending_.clear();
        if (d_.Chance(20)) Push(scenario::make::Refuse(now_, d_.Between(1, 6)));
        if (d_.Chance(2)) Push(Make(ActionKind::Logger32Silent));
        Push(scenario::make::StartLogger32(now_, !d_.Chance(5)));
        if (d_.Chance(90)) {
            Push(Make(ActionKind::MixWStart));
            mixwRunning_ = true;
        }
    }

    std::optional<Action> Next() {
        if (left_ == 0) return std::nullopt;
        if (pending_.empty()) {
            now_ += Delay();
            Push(Random());
        }
        --left_;
        Action a = std::move(pending_.front());
        pending_.pop_front();
        return a;
    }

private:
    Action Make(ActionKind kind) { return scenario::make::At(now_, kind); }
    Action& Push(Action a) {
        pending_.push_back(std::move(a));
        return pending_.back();
    }
    std::int64_t Delay() {
        const auto r = d_.Below(100);
        if (r < 70) return d_.Between(0, 900);
        if (r < 95) return d_.Between(900, 5'000);
        return d_.Between(5'000, 60'000);
    }
    Action Dde(std::string_view item, std::u16string value) {
        return scenario::make::Dde(now_, item, std::move(value));
    }
    Action Text(std::u16string text) { return scenario::make::SetText(now_, std::move(text)); }
    Action Post(std::int64_t code, std::int64_t value) {
        return scenario::make::Post(now_, code, value);
    }
    Action Click(std::string_view button) { return scenario::make::Click(now_, button); }

    Action Random() {
        // Weights in parts per thousand.
        const auto r = static_cast<std::int64_t>(d_.Below(1000));
        if (r < 200) return Dde(d_.Pick(kQsoItems), d_.Chance(30) ? Call(d_) : RandomText(d_));
        if (r < 260) return Dde("khz", Khz(d_));
        if (r < 320)
            return Dde("Mode", d_.Chance(85) ? Ascii(d_.Pick(kMixWModes)) : RandomText(d_));
        if (r < 370)
            return Dde("Command", d_.Chance(90) ? Ascii(d_.Pick(kCommands)) : RandomText(d_));
        if (r < 430) {
            return scenario::make::Hertz(now_, ActionKind::MixWFqA, Hertz(d_));
        }
        if (r < 470) {
            return scenario::make::Hertz(
                now_, ActionKind::MixWAudioFq,
                d_.Chance(80) ? static_cast<double>(d_.Between(0, 3000)) : Hertz(d_));
        }
        if (r < 530) return Text(GoodSpot(d_));
        if (r < 560) return Text(BrokenSpot(d_));
        if (r < 600) return Text(GoodRecord(d_));
        if (r < 630) return Text(BrokenRecord(d_));
        if (r < 650) return Text(d_.Chance(50) ? RandomText(d_) : u"SAVE");
        if (r < 710) {
            switch (d_.Below(6)) {
                case 0:
                case 1: return Post(100, d_.Between(-2'147'483'648LL, 2'147'483'647LL));
                case 2: return Post(102, d_.Between(-2'147'483'648LL, 2'147'483'647LL));
                case 3: return Post(0, d_.Between(0, 1));
                case 4: {
                    // Logger32 names its text window again, now and then a wrong one.
                    Action a = Post(3, d_.Between(0, 0x30000));
                    if (d_.Chance(80)) std::get<act::Post>(a.details).param.handle = "Logger32Text";
                    return a;
                }
                default: return Post(d_.Between(0, 120), d_.Between(-5, 1'000'000));
            }
        }
        if (r < 730) return Click("Command1");
        if (r < 750) return Click("Command2");
        if (r < 770) return Click("Command3");
        if (r < 800) return Click("CommandSend");
        if (r < 860) return Make(ActionKind::Ok);
        if (r < 862) {
            const bool start = !mixwRunning_ || d_.Chance(20);
            mixwRunning_ = start;
            return Make(start ? ActionKind::MixWStart : ActionKind::MixWStop);
        }
        if (r < 863 && d_.Chance(50)) {
            mixwRunning_ = false;
            return Make(ActionKind::MixWStop);
        }
        if (r < 866) {
            return scenario::make::Refuse(now_, d_.Between(1, 6));
        }
        if (r < 867 && d_.Chance(20)) {
            return d_.Chance(50) ? Make(ActionKind::Logger32Stop)
                                 : scenario::make::StartLogger32(now_, true);
        }
        if (r < 868) {
            return scenario::make::Decimal(now_, d_.Chance(50) ? u"," : u".");
        }
        if (r < 869 && d_.Chance(25)) return Make(ActionKind::Close);
        if (r < 875) {
            // Logger32 stops answering for a while (a busy database, a
            // cluster flood); now and then for longer than a send's bound.
            const auto ms = d_.Chance(50) ? d_.Between(100, 2'900) : d_.Between(3'000, 30'000);
            hungUntil_ = now_ + ms;
            auto hang = scenario::make::Hang(now_, ActionKind::Logger32Hang, ms);
            // Or it hangs inside the next logging, which it has written to
            // its log: ended then, that QSO is in the log and in the file.
            if (d_.Chance(25)) std::get<scenario::act::Hang>(hang.details).inNextLogging = true;
            return hang;
        }
        if (r < 885 && now_ < hungUntil_ && d_.Chance(40)) {
            // The operator ends the hung Logger32 and starts it again.
            hungUntil_ = 0;
            Push(Make(ActionKind::Logger32Stop));
            return scenario::make::StartLogger32(now_, true);
        }
        if (r < 886 && d_.Chance(10)) return Make(ActionKind::SessionEnd);
        return Make(ActionKind::Nop);
    }

    Dice d_;
    std::uint64_t left_;
    std::int64_t now_ = 0;
    bool mixwRunning_ = false;
    std::int64_t hungUntil_ = 0;
    std::deque<Action> pending_;
};

// --- watching the trace ----------------------------------------------------------------

// What the session's actions said, by time, so that a trace line at time T
// is judged by the actions due at or before T only (the world looks one
// action ahead).
class Timeline {
public:
    void Saw(const Action& a) {
        if (a.kind == ActionKind::MixWStart || a.kind == ActionKind::MixWStop) {
            mixw_.emplace_back(a.time, a.kind == ActionKind::MixWStart);
        }
        if ((a.kind == ActionKind::Close || a.kind == ActionKind::SessionEnd) && !firstClose_) {
            firstClose_ = a.time;
        }
    }
    bool MixWRunningAt(std::int64_t t) {
        while (!mixw_.empty() && mixw_.front().first <= t) {
            mixwRunning_ = mixw_.front().second;
            mixw_.pop_front();
        }
        return mixwRunning_;
    }
    [[nodiscard]] bool ClosedBy(std::int64_t t) const { return firstClose_ && *firstClose_ <= t; }

private:
    std::deque<std::pair<std::int64_t, bool>> mixw_;
    bool mixwRunning_ = false;
    std::optional<std::int64_t> firstClose_;
};

class Watcher final : public scenario::LineSink {
public:
    Watcher(Result& result, std::ostream* copy) : result_(result), copy_(copy) {}

    void Session(Timeline* timeline) { timeline_ = timeline; }
    void Violation(std::string what) {
        ++result_.violationCount;
        if (result_.violations.size() < kKeptViolations) {
            result_.violations.push_back("session " + std::to_string(result_.sessions) + ": " +
                                         std::move(what));
        }
    }

private:
    void Byte(char c) override {
        hash_ = (hash_ ^ static_cast<unsigned char>(c)) * 0x100000001B3ULL;
        result_.traceHash = hash_;
    }
    void Line(std::string_view line) override {
        ++result_.traceLines;
        Judge(line);
        if (copy_ != nullptr) *copy_ << line << '\n';
    }
    void Judge(std::string_view line) {
        const auto space = line.find(' ');
        if (space == std::string_view::npos || timeline_ == nullptr) return;
        const std::int64_t t = std::stoll(std::string(line.substr(0, space)));
        const auto rest = line.substr(space + 1);
        if (rest.starts_with("MIXW ")) {
            ++result_.mixwCalls;
            if (!timeline_->MixWRunningAt(t))
                Violation("a call reached MixW while MixW2 was closed: " + std::string(line));
        } else if (rest == "END" && !timeline_->ClosedBy(t)) {
            Violation("the program ended without being closed: " + std::string(line));
        }
    }

    Result& result_;
    std::ostream* copy_;
    Timeline* timeline_ = nullptr;
    std::uint64_t hash_ = 0xCBF29CE484222325ULL;
};

std::size_t CountOf(const platform::Text& text, std::u16string_view what) {
    std::size_t n = 0;
    for (auto at = text.find(what); at != platform::Text::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// Every logging made in the session is in Logger32's log or in
// not-logged.adi, and none is in the log twice: the loggings Logger32 took
// and the records the file keeps add up to the loggings made, exactly,
// but for those marked in doubt: one still in doubt when the bridge ended
// was not taken (the simulated world ends with the bridge), and one whose
// Logger32 was ended inside its text may be in the log too. Each Logger32
// logs a text once, so a logging in the log twice shows as one taken more.
void CheckEveryQsoOnce(sim::World& world, Watcher& watcher, Result& result) {
    const auto made = world.TheBridge().State().kept.lastNumber;
    const auto taken = world.Logger32().Logged().size();
    const auto& file = world.NotLogged();
    const std::size_t kept = file ? not_logged::RecordCount(*file) : 0;
    const std::size_t inDoubt = file ? CountOf(*file, u"<APP_LINKWELL_IN_DOUBT:1>Y") : 0;
    result.loggingsMade += made;
    result.loggingsTaken += taken;
    result.loggingsKept += kept;
    result.loggingsInDoubt += inDoubt;
    const auto& loggings = world.TheBridge().State().kept.loggings;
    const auto doubtful = static_cast<std::size_t>(
        std::count_if(loggings.begin(), loggings.end(), [](const auto& l) { return l.doubtful; }));
    if (taken + kept < made || taken + kept > made + inDoubt || inDoubt > doubtful + 1) {
        watcher.Violation("loggings made " + std::to_string(made) + ", taken by Logger32 " +
                          std::to_string(taken) + ", kept in the file " + std::to_string(kept) +
                          " (in doubt " + std::to_string(inDoubt) + ")");
    }
}

bool IsBridgeControl(platform::WindowHandle h) {
    return h.value >= sim::kFirstControl && h.value < sim::kFirstControl + window::kControlCount;
}

}  // namespace

Result Run(const Options& options) {
    Result result;
    Events events(options.seed, options.events);
    Watcher watcher(result, options.trace);
    std::ostream trace(&watcher);
    while (events.Left() > 0) {
        ++result.sessions;
        events.NewSession();
        Timeline timeline;
        watcher.Session(&timeline);
        std::uint64_t handed = 0;
        sim::World world(
            [&]() -> std::optional<Action> {
                auto a = events.Next();
                if (a) {
                    timeline.Saw(*a);
                    ++handed;
                }
                return a;
            },
            trace);
        world.OnSendText([&](platform::WindowHandle to, const platform::Text& text) {
            if (IsBridgeControl(to)) return;
            ++result.textsChecked;
            if (auto fault = MalformedAdif(text)) {
                watcher.Violation("a malformed text to Logger32 (" + *fault +
                                  "): " + text::Quote(text));
            }
            // A record that waited behind a text Logger32 had not taken was
            // the boxes when it was made, not now.
            if (text.starts_with(u"<CALL:") && !world.EndingSend()) {
                ++result.recordsChecked;
                const auto boxes = RecordOfBoxes(world.TheBridge().State().form);
                if (text != boxes) {
                    watcher.Violation("a record that differs from the boxes: sent " +
                                      text::Quote(text) + ", boxes " + text::Quote(boxes));
                }
            }
        });
        try {
            if (world.Run()) ++result.closes;
        } catch (const std::exception& e) {
            watcher.Violation(std::string("the bridge failed: ") + e.what());
        }
        CheckEveryQsoOnce(world, watcher, result);
        trace.flush();
        result.events += handed;
        result.virtualMs += static_cast<std::uint64_t>(world.Now());
        watcher.Session(nullptr);
    }
    return result;
}

}  // namespace linkwell::soak
