// Feeds arbitrary texts from "Logger32" through OnLogger32Text and the intake timer
// tick that follows, in both rig-control states and with MixW attached,
// detached or failing, and checks what must hold whatever the text:
//  - no message box, no end of the program, no read outside a text;
//  - a pending spot is gone after the tick, and the intake timer is armed again only
//    by a "SAVE" write;
//  - without the rig, Logger32's text reaches MixW only as a spot;
//  - the readers' results are parts of the text and keep their forms.
//
// Input: one byte of switches, then texts separated by a NUL byte, each
// taken as Logger32's ANSI text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "support/fake_station.h"
#include "text/text.h"
#include "to_mixw/readers.h"
#include "to_mixw/to_mixw.h"

namespace {

using linkwell::platform::Text;
using linkwell::testing::FakeWorld;
using linkwell::window::ControlId;
namespace tm = linkwell::to_mixw;

void Require(bool holds) {
    if (!holds) std::abort();
}

bool Within(std::u16string_view part, std::u16string_view whole) {
    return part.empty() || (part.data() >= whole.data() &&
                            part.data() + part.size() <= whole.data() + whole.size());
}

void CheckReaders(std::u16string_view text) {
    if (const auto spot = tm::ReadSpot(text)) {
        Require(Within(spot->call, text) && Within(spot->freq, text) && Within(spot->mode, text));
        Require(!spot->freq.empty() && spot->mode.size() <= 10);
        Require(spot->call.find(u'|') == std::u16string_view::npos);
    }
    for (auto read : {tm::ReadCall, tm::ReadMode, tm::ReadRstSent, tm::ReadRstRcvd, tm::ReadName}) {
        if (const auto value = read(text)) Require(Within(*value, text));
    }
    if (const auto mode = tm::ReadMode(text)) Require(mode->size() <= 9);
}

bool Timer3Armed(FakeWorld& w) {
    return w.timers.count(linkwell::window::TimerSlot(ControlId::IntakeTimer)) != 0;
}

std::size_t CountMixWCalls(const FakeWorld& w) {
    std::size_t n = 0;
    for (const auto& line : w.log) {
        Require(line.rfind("box", 0) != 0 && line.rfind("end", 0) != 0);
        if (line.rfind("ExecuteMacros", 0) == 0 || line.rfind("SetQsoData", 0) == 0) ++n;
    }
    return n;
}

void Run(std::uint8_t switches, const std::string_view* texts, std::size_t count) {
    FakeWorld w;
    auto& s = w.S();
    // Before start-up MixW2 is not attached and the rig buttons are disabled.
    const bool beforeStartUp = (switches & 2) != 0;
    const bool rig = !beforeStartUp && (switches & 1) != 0;
    if (beforeStartUp) {
        w.bridge.Start();
    } else {
        w.StartAndLink();
        if (rig) w.bridge.Click(ControlId::Logger32TakesRigButton);
    }
    if ((switches & 12) != 0) w.mixwAlive = false;
    const bool oneTick = (switches & 16) != 0;  // several texts, then one tick

    for (std::size_t i = 0; i < count; ++i) {
        const Text text = linkwell::text::FromAnsi(texts[i]);
        CheckReaders(text);
        w.Clear();
        w.bridge.TextArrived(ControlId::Logger32TextBox, text);
        if ((switches & 32) != 0) w.bridge.TextArrived(ControlId::Logger32FreqBox, text);
        if (oneTick && i + 1 < count) continue;

        const Text pending = s.intake.pendingSpot;
        const Text before = s.form.GetText(ControlId::Logger32TextBox);
        w.Clear();
        tm::OnIntakeTick(s);
        Require(s.intake.pendingSpot.empty());
        const bool saved =
            s.form.GetText(ControlId::Logger32TextBox) == u"SAVE" && before != u"SAVE";
        Require(Timer3Armed(w) == saved);
        Require(!saved || (rig && tm::Holds(before, tm::kEndOfFile)));
        const std::size_t calls = CountMixWCalls(w);
        if (!rig) {
            // A spot: the frequency, the call and at most two mode macros.
            Require(calls <= 4);
            Require(calls == 0 || (!pending.empty() && s.mixw.attachedOrTrying));
        }
        if (saved) {
            // The tick that follows the "SAVE" write acts on nothing.
            w.Clear();
            tm::OnIntakeTick(s);
            Require(CountMixWCalls(w) == 0 && !Timer3Armed(w));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    constexpr std::size_t kMaxTexts = 4;
    std::string_view texts[kMaxTexts];
    std::size_t count = 0;
    std::size_t from = 0;
    while (count < kMaxTexts) {
        const std::size_t nul = bytes.find('\0', from);
        if (nul == std::string_view::npos || count + 1 == kMaxTexts) {
            texts[count++] = bytes.substr(from);
            break;
        }
        texts[count++] = bytes.substr(from, nul - from);
        from = nul + 1;
    }
    Run(data[0], texts, count);
    return 0;
}
