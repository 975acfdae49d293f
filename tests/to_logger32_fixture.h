// A bridge that has started and opened its field links, for calling the
// MixW-to-Logger32 handlers directly and reading what went to Logger32.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "not_logged/not_logged.h"
#include "support/fake_station.h"
#include "to_logger32/logging.h"
#include "to_logger32/push.h"

namespace linkwell::testing {

class ToLogger32Test : public ::testing::Test {
protected:
    ToLogger32Test() {
        w.StartAndLink();
        // The first push tick opens the field links.
        w.Tick(window::ControlId::PushTimer);
        w.Clear();
        w.timerLog.clear();
    }

    BridgeState& S() { return w.S(); }
    void Set(window::ControlId box, std::u16string_view text) { S().form.SetText(box, Text(text)); }
    [[nodiscard]] Text Get(window::ControlId box) { return S().form.GetText(box); }
    void Tick() { to_logger32::PushMixWToLogger32(S()); }

    // The texts Logger32's text window received since the last call.
    std::vector<std::string> Sent() {
        static const std::string prefix = "text " + std::to_string(FakeWorld::kLogger32Text) + " ";
        std::vector<std::string> out;
        for (const auto& line : w.log) {
            if (line.rfind(prefix, 0) == 0) out.push_back(line.substr(prefix.size()));
        }
        w.Clear();
        return out;
    }
    // Every line the platform saw since the last call.
    std::vector<std::string> Log() { return std::exchange(w.log, {}); }

    // Mode, frequency and QSO as already pushed: a tick finds nothing to do.
    void Settled(std::u16string_view mode, double fqa, double audioFq) {
        w.fqa = fqa;
        w.audioFq = audioFq;
        Set(window::ControlId::ModeBox, mode);
        Set(window::ControlId::CallBox, u"");
        Tick();
        Tick();
        Tick();
        Sent();
    }

    FakeWorld w;
};

using Lines = std::vector<std::string>;

}  // namespace linkwell::testing
