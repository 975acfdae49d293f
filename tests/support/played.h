// A scenario played in the simulated world, for tests that read its trace,
// Logger32's log and not-logged.adi afterwards.
#pragma once

#include <algorithm>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "scenario/scenario.h"
#include "sim/world.h"
#include "text/text.h"

namespace linkwell::testing {

struct Played {
    std::vector<std::string> lines;
    std::vector<std::string> logged;  // Logger32's log
    std::optional<std::string> file;  // not-logged.adi
    bool ended = false;

    [[nodiscard]] std::vector<std::string> Kind(const std::string& kind) const {
        std::vector<std::string> out;
        for (const auto& l : lines) {
            if (l.find(" " + kind + " ") != std::string::npos) out.push_back(l);
        }
        return out;
    }
    [[nodiscard]] bool Has(const std::string& line) const {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    [[nodiscard]] std::size_t Count(const std::string& part) const {
        return static_cast<std::size_t>(std::count_if(
            lines.begin(), lines.end(),
            [&part](const std::string& l) { return l.find(part) != std::string::npos; }));
    }
};

// A station where the QSO K1ABC at 1200 is ready to log in CW on 7030 kHz
// once the push has told Logger32 (the record goes at 7400).
inline constexpr const char* kCwStation = R"(logger32 start
mixw start
mixw dde Mode "CW"
mixw dde khz "7030.0"
mixw dde Call "K1ABC"
mixw dde RstRcv "599"
mixw dde time "1200"
)";
// The record not-logged.adi holds for that QSO, without its <EOR>.
inline constexpr char kCwStationRecord[] =
    "<CALL:5>K1ABC<RST_RCVD:3>599<RST_SENT:7>RST snt<QTH:3>Qth<NAME:4>Name<COMMENT:5>Notes"
    "<GRIDSQUARE:3>Loc<IOTA:4>IOTA<QSL_VIA:7>Manager<QSO_DATE:8>20261209<TIME_ON:4>1200"
    "<TIME_OFF:4>1200<MODE:2>CW<FREQ:5>7.030";

inline Played Play(const std::string& scenario, bool unwritable = false) {
    std::ostringstream out;
    sim::World world(scenario::ParseScenario(scenario, "test.scn"), out);
    if (unwritable) world.MakeNotLoggedUnwritable();
    Played p;
    p.ended = world.Run();
    std::istringstream in(out.str());
    for (std::string line; std::getline(in, line);) p.lines.push_back(line);
    for (const auto& t : world.Logger32().Logged()) p.logged.push_back(text::ToUtf8(t));
    if (world.NotLogged()) p.file = text::ToUtf8(*world.NotLogged());
    return p;
}

}  // namespace linkwell::testing
