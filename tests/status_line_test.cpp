// The status line's precedence, one row per case: what keeps QSOs from
// Logger32 outranks what the bridge waits for, which outranks who holds the
// rig. Each row sets only the conditions it names on a bridge that has
// started and linked; the line must be exactly the row's text.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "station/status.h"
#include "support/fake_station.h"

namespace linkwell::testing {
namespace {

using station::StatusText;
using to_logger32::Logging;

struct Row {
    const char* name;
    std::function<void(BridgeState&)> set;
    std::u16string expected;
};

void Keep(BridgeState& s, int n, bool doubtful = false) {
    for (int i = 0; i < n; ++i) {
        Logging l;
        l.number = ++s.kept.lastNumber;
        l.name = u"K" + std::u16string(1, static_cast<char16_t>(u'1' + i)) + u"ABC 1200";
        l.handed = doubtful;
        l.doubtful = doubtful;
        s.kept.loggings.push_back(std::move(l));
    }
}

void Pending(BridgeState& s) {
    s.link.pending = logger32::Outgoing{};
}

void Away(BridgeState& s) {
    s.link.handshake = logger32::Handshake::Lost;
}

const std::u16string kMixW(station::kMixWActive);

const std::vector<Row>& Rows() {
    static const std::vector<Row> rows = {
        {"refused outranks all",
         [](BridgeState& s) {
             s.link.refused = true;
             Keep(s, 1);
             s.kept.unwritable = true;
         },
         std::u16string(station::kLogger32Elevated)},
        {"unwritable with kept",
         [](BridgeState& s) {
             Keep(s, 2);
             s.kept.unwritable = true;
             Away(s);
         },
         std::u16string(station::kFileUnwritable)},
        {"file behind, none kept",
         [](BridgeState& s) {
             s.kept.unwritable = true;
             Away(s);
         },
         std::u16string(station::kFileBehind)},
        {"away, none kept", [](BridgeState& s) { Away(s); },
         std::u16string(station::kWaitingForLogger32)},
        {"away, one kept",
         [](BridgeState& s) {
             Away(s);
             Keep(s, 1);
         },
         u"Logger32 closed: 1 QSO kept"},
        {"away, two kept outrank MixW2 away",
         [](BridgeState& s) {
             Away(s);
             Keep(s, 2);
             s.mixw.away = true;
         },
         u"Logger32 closed: 2 QSOs kept"},
        {"pending, none kept", [](BridgeState& s) { Pending(s); },
         std::u16string(station::kLogger32NotAnswering)},
        {"pending, one kept",
         [](BridgeState& s) {
             Pending(s);
             Keep(s, 1);
         },
         std::u16string(station::kLogger32NotAnswering) + u": 1 QSO kept"},
        {"in doubt named", [](BridgeState& s) { Keep(s, 1, true); },
         u"K1ABC 1200 may already be in Logger32's log"},
        {"two in doubt named", [](BridgeState& s) { Keep(s, 2, true); },
         u"K1ABC 1200, K2ABC 1200 may already be in Logger32's log"},
        {"kept only", [](BridgeState& s) { Keep(s, 3); }, u"3 QSOs kept for Logger32"},
        {"kept outranks MixW2 away",
         [](BridgeState& s) {
             Keep(s, 1);
             s.mixw.away = true;
         },
         u"1 QSO kept for Logger32"},
        {"MixW2 away", [](BridgeState& s) { s.mixw.away = true; },
         std::u16string(station::kWaitingForMixWBack)},
        {"MixW2 holds the rig", [](BridgeState&) {}, kMixW},
        {"Logger32 holds the rig", [](BridgeState& s) { s.rig.logger32HasRig = true; },
         std::u16string(station::kLogger32Active)},
    };
    return rows;
}

TEST(StatusLine, EachCaseShowsItsTextByPrecedence) {
    for (const auto& row : Rows()) {
        FakeWorld w;
        w.StartAndLink();
        ASSERT_EQ(StatusText(w.S()), kMixW) << "a linked bridge with nothing to say";
        row.set(w.S());
        EXPECT_EQ(StatusText(w.S()), row.expected) << row.name;
    }
}

}  // namespace
}  // namespace linkwell::testing
