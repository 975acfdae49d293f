#include "logger32/link.h"

#include <cstdlib>
#include <string>

#include "logger32/outbox.h"
#include "window/timing.h"

namespace linkwell::logger32 {

using window::ControlId;

namespace {

Text Decimal(std::int64_t n) {
    std::string digits = std::to_string(n);
    return Text(digits.begin(), digits.end());
}

}  // namespace

namespace {

// Code 3 counts only from Logger32: a window of Logger32's own process, and
// never one of the bridge's (a junk handle would swallow every text, one of
// the bridge's own boxes would make it write into itself).
bool IsLogger32Window(BridgeState& s, WindowHandle window) {
    const auto process = s.platform.ProcessOf(window);
    return process != 0 && process == s.platform.ProcessOf(s.link.logger32Window) &&
           process != s.platform.ProcessOf(s.link.ownWindow);
}

void InstallHook(BridgeState& s) {
    s.link.previousProc = s.platform.SetWindowProc(s.link.ownWindow, s.platform.HookProcedure());
}

}  // namespace

// Windows refused a post or send: Logger32 runs with higher rights, and the
// operator must start the bridge the same way.
void NoteDelivery(BridgeState& s, platform::Delivery d) {
    if (d == platform::Delivery::Refused) s.link.refused = true;
}

void PostNow(BridgeState& s, WParam code, LParam value) {
    if (!Logger32Known(s)) return;
    NoteDelivery(s, s.platform.PostMessage(s.link.logger32Window, s.link.message, code, value));
}

void PostSet(BridgeState& s, const std::array<CodeAndValue, 5>& set) {
    for (const auto& [c, v] : set) PostToLogger32(s, c, v);
}

void SetOwnWindow(BridgeState& s, WindowHandle window) {
    s.link.ownWindow = window;
}

bool LookForLogger32(BridgeState& s) {
    s.link.logger32Window = s.platform.FindWindowByTitle(Text(kWindowTitle));
    return Logger32Known(s);
}

void StartHandshake(BridgeState& s) {
    s.form.SetTimerEnabled(ControlId::HandshakeTimer, false);
    InstallHook(s);
    Advance(s, LookForLogger32(s) ? HandshakeEvent::Found : HandshakeEvent::NotFound);
}

void Watch(BridgeState& s) {
    if (s.link.handshake == Handshake::Lost) {
        // Back: connect as at start-up; the rest follows its answers.
        if (LookForLogger32(s)) Advance(s, HandshakeEvent::Back);
        return;
    }
    if (!Logger32Known(s)) return;
    if (s.platform.ProcessOf(s.link.logger32Window) == 0) Advance(s, HandshakeEvent::WindowGone);
}

void OnHandshakeTick(BridgeState& s) {
    if (s.link.handshake == Handshake::Searching) {
        if (LookForLogger32(s)) Advance(s, HandshakeEvent::Found);
        return;
    }
    Advance(s, HandshakeEvent::NextNameDue);
}

LResult HookWindowProc(BridgeState& s, WindowHandle window, MessageId msg, WParam wParam,
                       LParam lParam) {
    if (msg != s.link.message) {
        return s.platform.CallWindowProc(s.link.previousProc, window, msg, wParam, lParam);
    }
    const auto value32 = static_cast<std::int32_t>(static_cast<std::uint32_t>(lParam));
    switch (static_cast<std::uint32_t>(wParam)) {
        case code::kAnswer:
            Advance(s, value32 != 0 ? HandshakeEvent::Accepted : HandshakeEvent::Refused);
            break;
        case code::kTextWindow: {
            const WindowHandle named{static_cast<std::uint32_t>(lParam)};
            if (!IsLogger32Window(s, named)) break;
            s.link.textWindow = named;
            if (s.link.returning || s.link.textWindowLost) {
                // The push delivers what it kept; the status line follows.
                s.link.returning = false;
                s.link.textWindowLost = false;
                s.link.answersAgain = true;
            }
            break;
        }
        case code::kFrequency:
            s.form.SetText(ControlId::Logger32FreqBox,
                           KilohertzText(value32, s.platform.DecimalSeparator()));
            break;
        case code::kCluster: s.form.SetText(ControlId::ClusterBox, Decimal(value32)); break;
        default: break;
    }
    return 0;
}

void RemoveHook(BridgeState& s) {
    // Putting back a procedure of 0 would leave the window without one.
    if (s.link.previousProc.isNull()) return;
    (void)s.platform.SetWindowProc(s.link.ownWindow, s.link.previousProc);
}

void SendLeaving(BridgeState& s) {
    if (!Logger32Known(s)) return;
    (void)s.platform.SendMessageWithReference(s.link.logger32Window, s.link.message,
                                              code::kLeaving);
}

Text KilohertzText(std::int32_t hertz, const Text& decimalSeparator) {
    const std::int64_t magnitude = std::llabs(static_cast<std::int64_t>(hertz));
    Text out;
    if (hertz < 0) out += u'-';
    if (magnitude >= 1000) out += Decimal(magnitude / 1000);
    out += decimalSeparator;
    const auto thousandths = Decimal(magnitude % 1000);
    out.append(3 - thousandths.size(), u'0');
    out += thousandths;
    return out;
}

}  // namespace linkwell::logger32
