#include "soak/chaos.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <optional>
#include <sstream>
#include <string_view>
#include <utility>

#include "soak/dice.h"

namespace linkwell::soak::chaos {
namespace {

// How long a fresh bridge takes before a logging counts as made: the about
// window (3 s), the wait for both programs, the handshake and the first
// push ticks, with room for a loaded machine.
constexpr std::int64_t kStartUpMs = 12'000;
// A logging must be handled before the bridge is killed or ends.
constexpr std::int64_t kBeforeEndMs = 4'000;
// A call into a hung MixW2 gives up after 5 s; what queued behind it runs then.
constexpr std::int64_t kAfterMixWHangMs = 6'000;
// A new MixW2's links are made on the next push ticks.
constexpr std::int64_t kAfterMixWStartMs = 3'000;
// The handover's box is answered at +1 s and +3 s.
constexpr std::int64_t kHandoverBoxMs = 4'000;
// What the peers need after the scenario's end: the close's box, the bound.
constexpr std::int64_t kEndingMs = 10'000;
// A station's quiet spell, now and then: both programs running, neither
// hung, nobody ending or handing over anything; MixW's items, spots and
// loggings go on. What the bridge holds then is its steady state, which
// the resource samples compare across the session.
constexpr std::int64_t kSteadySpellMs = 40'000;

std::string Quoted(const std::string& s) {
    return "\"" + s + "\"";
}

std::string Digits(std::int64_t n, int width) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%0*lld", width, static_cast<long long>(n));
    return buf;
}

// Scenario lines by time, in the order they were written within a moment.
class Schedule {
public:
    void Add(std::int64_t at, std::string line) {
        lines_.emplace(std::make_pair(at, seq_++), std::move(line));
    }
    [[nodiscard]] std::string Text() const {
        std::string out;
        std::int64_t clock = -1;
        for (const auto& [key, line] : lines_) {
            if (key.first != clock) {
                clock = key.first;
                out += "at " + std::to_string(clock) + "\n";
            }
            out += line + "\n";
        }
        return out;
    }

private:
    std::map<std::pair<std::int64_t, std::uint64_t>, std::string> lines_;
    std::uint64_t seq_ = 0;
};

constexpr std::array<std::string_view, 6> kQsoItems = {"Name",   "qth", "RstRcv",
                                                       "RstSnt", "Loc", "Notes"};
constexpr std::array<std::string_view, 8> kWords = {"Anna", "Bob", "Paris", "Oslo",
                                                    "599",  "579", "JO59",  "tnx fer call"};
constexpr std::array<std::string_view, 4> kSpotModes = {"CW", "RTTY", "USB", "PSK31"};

class SessionMaker {
public:
    SessionMaker(Dice& d, int number, std::int64_t lengthMs, bool floodsOnly, int& loggings,
                 int& spots)
        : d_(d), loggings_(loggings), spots_(spots), floodsOnly_(floodsOnly) {
        session_.number = number;
        endAt_ = lengthMs;
    }

    Session Make(std::uint64_t seed) {
        s_.Add(0, "logger32 start");
        s_.Add(0, "mixw start");
        // A dial mode: the frequency Logger32 is given is MixW's khz item.
        s_.Add(0, "mixw dde Mode \"CW\"");
        s_.Add(0, "mixw dde khz \"14000\"");
        std::int64_t t = kStartUpMs;
        while (true) {
            t += d_.Chance(90) ? d_.Between(200, 3'000) : d_.Between(3'000, 8'000);
            if (t >= endAt_ - kBeforeEndMs) break;
            if (t >= nextSteadySpell_ && Calm(t) && MixWFree(t) && Logger32Free(t)) {
                steadyUntil_ = t + kSteadySpellMs;
                nextSteadySpell_ = steadyUntil_ + d_.Between(20'000, 60'000);
            }
            t = Event(t);
        }
        session_.endsBySessionEnd = d_.Chance(40);
        std::string head = "# chaos seed " + std::to_string(seed) + ", session " +
                           std::to_string(session_.number) +
                           " (scripts/test-wine-chaos): Windows peers only\n"
                           "limit longest-unanswered-ms 250\n"
                           "limit unanswered-probes 0\n";
        if (session_.endsBySessionEnd) {
            head += "limit session-end-ms 5000\n";
            s_.Add(endAt_, "session end");
        } else {
            // The close's box names the QSOs still kept: the operator reads it.
            head += "limit close-ms 9000\n";
            s_.Add(endAt_, "close");
            for (const std::int64_t after : {1'500, 4'000, 7'000}) s_.Add(endAt_ + after, "ok");
        }
        if (killAt_) head += "peers bridge-kill=" + std::to_string(*killAt_) + "\n";
        if (secondAt_) head += "peers second-bridge=" + std::to_string(*secondAt_) + "\n";
        s_.Add(endAt_ + kEndingMs, "# the end");
        session_.bridgeKilled = killAt_.has_value();
        session_.secondBridge = secondAt_.has_value();
        session_.lengthMs = endAt_ + kEndingMs;
        session_.scenario = head + s_.Text();
        return std::move(session_);
    }

private:
    // Nothing that upsets a peer or the bridge starts now.
    bool Calm(std::int64_t t) const { return t >= calmUntil_ && t >= steadyUntil_; }
    bool MixWFree(std::int64_t t) const { return t >= mixwBusyUntil_; }
    bool Logger32Free(std::int64_t t) const { return t >= logger32BusyUntil_; }
    bool CanLog(std::int64_t t) const {
        return t >= calmUntil_ && t >= mixwLoggableFrom_ && t >= boxUntil_ &&
               t >= loggingHeldUntil_ && t >= relinkedFrom_ && t + kBeforeEndMs < endAt_ &&
               (!killAt_ || t + kBeforeEndMs < *killAt_ || t >= *killAt_ + kStartUpMs);
    }
    // The longest a hang may last here: over before the session ends.
    std::int64_t HangMs(std::int64_t t) {
        const auto ms = d_.Chance(50) ? d_.Between(100, 3'000) : d_.Between(3'000, 40'000);
        return std::min(ms, endAt_ - 2'000 - t);
    }

    std::int64_t Event(std::int64_t t) {
        const auto r = d_.Below(floodsOnly_ ? 62 : 100);
        if (r < 22) {
            s_.Add(t, "mixw dde " + std::string(d_.Pick(kQsoItems)) + " " +
                          Quoted(std::string(d_.Pick(kWords))));
        } else if (r < 34) {
            s_.Add(t, "mixw dde khz " + Quoted(Khz()));
        } else if (r < 44) {
            s_.Add(t, "logger32 settext " + Quoted(Spot()));
        } else if (r < 50) {
            // A flood: a cluster burst of spots and frequencies, 20 ms apart.
            const auto n = d_.Between(5, 40);
            for (std::int64_t i = 0; i < n; ++i) {
                if (d_.Chance(60)) {
                    s_.Add(t + 20 * i, "logger32 settext " + Quoted(Spot()));
                } else {
                    s_.Add(t + 20 * i, "logger32 post 100 " +
                                           std::to_string(d_.Between(1'800'000, 29'000'000)));
                }
            }
            t += 20 * n;
        } else if (r < 62) {
            if (CanLog(t)) t = Log(t);
        } else if (r < 66) {
            if (Calm(t) && MixWFree(t)) HangMixW(t);
        } else if (r < 70) {
            if (Calm(t) && Logger32Free(t)) HangLogger32(t);
        } else if (r < 73) {
            if (Calm(t) && MixWFree(t)) {
                const auto back = t + d_.Between(1'000, 10'000);
                if (back + 2'000 < endAt_) RestartMixW(t, back);
            }
        } else if (r < 76) {
            if (Calm(t) && Logger32Free(t)) {
                const auto back = t + d_.Between(1'000, 10'000);
                if (back + 2'000 < endAt_) RestartLogger32(t, back);
            }
        } else if (r < 80) {
            if (Calm(t) && MixWFree(t) && t >= boxUntil_) HandOver(t);
        } else if (r < 83) {
            if (t >= fileBusyUntil_) {
                s_.Add(t, "file lock");
                // Now and then still held when the session ends.
                const auto until = t + d_.Between(2'000, 20'000);
                fileBusyUntil_ = until + 3'000;
                if (until < endAt_ || d_.Chance(20))
                    s_.Add(std::min(until, endAt_ - 1), "file unlock");
            }
        } else if (r < 85) {
            if (!secondAt_ && Calm(t)) secondAt_ = t;
        } else if (r < 87) {
            if (!killAt_ && Calm(t) && MixWFree(t) && Logger32Free(t) && t >= fileBusyUntil_ &&
                t >= lastLoggingAt_ + kBeforeEndMs && t + kStartUpMs + 8'000 < endAt_) {
                killAt_ = t;
                calmUntil_ = t + kStartUpMs;
                rigWithMixW_ = true;
            }
        }
        return t;
    }

    std::string Khz() { return "14" + Digits(1 + (khz_++ % 349), 3); }

    std::string Spot() {
        ++spots_;
        // Character 1 free, the header at 2 to 19, the data from 24.
        return " APP_DXSPOT_CLICKED    SP" + Digits(spots_, 4) + "|" +
               std::to_string(7'000 + spots_ % 2'000) + ".5|" + std::string(d_.Pick(kSpotModes));
    }

    std::int64_t Log(std::int64_t t) {
        ++loggings_;
        Logging l;
        l.session = session_.number;
        l.call = "CH" + Digits(loggings_, 4);
        l.time = Digits(loggings_ / 60 % 24, 2) + Digits(loggings_ % 60, 2);
        s_.Add(t, "mixw dde Call " + Quoted(l.call));
        s_.Add(t, "mixw dde time " + Quoted(l.time));
        // MixW's "Save" only while MixW2 holds the rig (else it is ignored),
        // and only with the MixW2 the bridge started with: a "Save" that is
        // still MixW's Command item when a new MixW2's link opens is the
        // last QSO's state to the bridge, and a busy bridge may open the
        // link late.
        l.at = t + 400;
        l.bySave = rigWithMixW_ && !mixwRestarted_ && d_.Chance(60);
        s_.Add(l.at, l.bySave ? "mixw dde Command \"Save\"" : "click CommandSend");
        lastLoggingAt_ = l.at;
        if (loggingHangMs_ > 0) {
            // Logger32 holds this one inside its handler: the bridge's
            // boxes do not follow MixW meanwhile.
            loggingHeldUntil_ = l.at + loggingHangMs_ + kBeforeEndMs;
            loggingHangMs_ = 0;
        }
        session_.loggings.push_back(std::move(l));
        return t + 400;
    }

    void HangMixW(std::int64_t t) {
        const auto ms = HangMs(t);
        if (ms < 100) return;
        s_.Add(t, "mixw hang " + std::to_string(ms));
        std::int64_t over = t + ms;
        if (d_.Chance(35)) {
            // Ended while hung, as Task Manager ends it, and started again.
            const auto stop = t + d_.Between(50, ms);
            const auto back = stop + d_.Between(1'000, 5'000);
            if (back + 2'000 < endAt_) {
                RestartMixW(stop, back);
                over = std::max(over, back);
            }
        }
        mixwBusyUntil_ = std::max(mixwBusyUntil_, over);
        mixwLoggableFrom_ = std::max(mixwLoggableFrom_, over + kAfterMixWHangMs);
    }

    void RestartMixW(std::int64_t stop, std::int64_t back) {
        mixwRestarted_ = true;
        // The new MixW2's links are made by the bridge's push ticks, which
        // wait behind a text Logger32 has not taken.
        relinkedFrom_ = std::max({relinkedFrom_, back, logger32BusyUntil_}) + kAfterMixWStartMs;
        s_.Add(stop, "mixw stop");
        s_.Add(back, "mixw start");
        mixwBusyUntil_ = std::max(mixwBusyUntil_, back);
        mixwLoggableFrom_ = std::max(mixwLoggableFrom_, back + kAfterMixWStartMs);
    }

    void HangLogger32(std::int64_t t) {
        const auto ms = HangMs(t);
        if (ms < 100) return;
        const bool inLogging = d_.Chance(25);
        s_.Add(t, "logger32 hang " + std::to_string(ms) + (inLogging ? " logging" : ""));
        if (inLogging) loggingHangMs_ = ms;
        std::int64_t over = t + ms;
        if (d_.Chance(35)) {
            const auto stop = t + d_.Between(50, ms);
            const auto back = stop + d_.Between(1'000, 5'000);
            if (back + 2'000 < endAt_) {
                RestartLogger32(stop, back);
                over = std::max(over, back);
            }
        }
        logger32BusyUntil_ = std::max(logger32BusyUntil_, over);
        if (t < relinkedFrom_) relinkedFrom_ = std::max(relinkedFrom_, over + kAfterMixWStartMs);
    }

    void RestartLogger32(std::int64_t stop, std::int64_t back) {
        s_.Add(stop, "logger32 stop");
        s_.Add(back, "logger32 start");
        logger32BusyUntil_ = std::max(logger32BusyUntil_, back);
    }

    void HandOver(std::int64_t t) {
        if (d_.Chance(20)) {
            s_.Add(t, "click Command3");
        } else {
            s_.Add(t, rigWithMixW_ ? "click Command2" : "click Command1");
            rigWithMixW_ = !rigWithMixW_;
        }
        s_.Add(t + 1'000, "ok");
        s_.Add(t + 3'000, "ok");
        boxUntil_ = t + kHandoverBoxMs;
    }

    Dice& d_;
    int& loggings_;
    int& spots_;
    Session session_;
    Schedule s_;
    std::int64_t endAt_ = 0;
    std::int64_t calmUntil_ = kStartUpMs;
    std::int64_t steadyUntil_ = 0;
    std::int64_t nextSteadySpell_ = kStartUpMs;
    std::int64_t mixwBusyUntil_ = 0;
    std::int64_t mixwLoggableFrom_ = 0;
    std::int64_t logger32BusyUntil_ = 0;
    std::int64_t boxUntil_ = 0;
    std::int64_t fileBusyUntil_ = 0;
    std::int64_t lastLoggingAt_ = 0;
    std::int64_t khz_ = 0;
    bool floodsOnly_;
    bool mixwRestarted_ = false;
    std::int64_t loggingHangMs_ = 0;  // armed for the next logging
    std::int64_t loggingHeldUntil_ = 0;
    std::int64_t relinkedFrom_ = 0;  // a new MixW2's links are surely made
    bool rigWithMixW_ = true;
    std::optional<std::int64_t> killAt_;
    std::optional<std::int64_t> secondAt_;
};

}  // namespace

Day Generate(std::uint64_t seed, std::int64_t minutes, bool floodsOnly) {
    Dice d(seed);
    Day day;
    day.seed = seed;
    int loggings = 0;
    int spots = 0;
    // Each session also costs the bridge's start and its ending.
    std::int64_t left = std::max<std::int64_t>(minutes, 1) * 60'000;
    int number = 0;
    while (left > 0) {
        std::int64_t length = std::min(left, d.Between(150'000, 360'000));
        if (left - length < 90'000) length = left;
        length = std::max<std::int64_t>(length - kEndingMs, 50'000);
        SessionMaker maker(d, ++number, length, floodsOnly, loggings, spots);
        day.sessions.push_back(maker.Make(seed));
        left -= length + kEndingMs;
    }
    return day;
}

std::string LoggingsFile(const Day& day) {
    std::string out;
    for (const auto& s : day.sessions) {
        for (const auto& l : s.loggings) {
            out += std::to_string(l.session) + "\t" + std::to_string(l.at) + "\t" + l.call + "\t" +
                   l.time + "\t" + (l.bySave ? "save" : "send") + "\n";
        }
    }
    return out;
}

std::vector<Logging> ReadLoggingsFile(const std::string& text) {
    std::vector<Logging> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        Logging l;
        std::string how;
        if (fields >> l.session >> l.at >> l.call >> l.time >> how) {
            l.bySave = how == "save";
            out.push_back(std::move(l));
        }
    }
    return out;
}

}  // namespace linkwell::soak::chaos
