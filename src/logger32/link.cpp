#include "logger32/link.h"

#include <cstdlib>
#include <string>

#include "logger32/outbox.h"
#include "window/intervals.h"

namespace linkwell::logger32 {

using window::ControlId;

namespace {

Text Decimal(std::int64_t n) {
    std::string digits = std::to_string(n);
    return Text(digits.begin(), digits.end());
}

MessageId Registered(Station& s, std::size_t nameIndex) {
    return s.os.RegisterMessage(Text(kMessageNames[nameIndex]));
}

void AskToConnect(Station& s) {
    s.link.handshake = Handshake::Asking;
    PostNow(s, code::kConnect, static_cast<LParam>(s.link.ownWindow.value));
}

// Logger32's window is there: the rotation starts again from the first name.
void StartRotation(Station& s) {
    s.form.Disarm(ControlId::HandshakeTimer);
    s.link.message = Registered(s, 0);
    AskToConnect(s);
}

}  // namespace

// Logger32's window went away: nothing more goes to its old handles. A
// text still being sent stays with its send, which ends once the window
// is gone; what waited behind it goes no more.
void LoseLogger32(Station& s) {
    s.link.logger32Window = {};
    s.link.textWindow = {};
    DropOutbox(s);
    s.link.returning = false;
    s.link.handshake = Handshake::Lost;
    s.form.Disarm(ControlId::HandshakeTimer);
}

namespace {

// Code 3 counts only from Logger32: a window of Logger32's own process, and
// never one of the bridge's (a junk handle would swallow every text, one of
// the bridge's own boxes would make it write into itself).
bool IsLogger32Window(Station& s, WindowHandle window) {
    const auto process = s.os.ProcessOf(window);
    return process != 0 && process == s.os.ProcessOf(s.link.logger32Window) &&
           process != s.os.ProcessOf(s.link.ownWindow);
}

void ArmHandshakeTimer(Station& s, Handshake next, int ms) {
    s.link.handshake = next;
    s.form.Arm(ControlId::HandshakeTimer, ms);
}

void InstallHook(Station& s) {
    s.link.previousProc = s.os.SetWindowProc(s.link.ownWindow, s.os.HookProcedure());
}

// Asks under the name after the one in use; after the last one, gives up.
void AskUnderNextName(Station& s) {
    // The name in use is found by registering the names again: a registered
    // id is the same for the same name for the whole session.
    for (std::size_t i = 0; i + 1 < kMessageNames.size(); ++i) {
        if (s.link.message == Registered(s, i)) {
            s.link.message = Registered(s, i + 1);
            AskToConnect(s);
            s.form.Disarm(ControlId::HandshakeTimer);
            return;
        }
    }
    if (s.link.message == Registered(s, kMessageNames.size() - 1)) {
        s.form.Disarm(ControlId::HandshakeTimer);
        s.link.handshake = Handshake::GaveUp;
        s.os.MessageBox(Text(kGiveUpText), Text(kGiveUpTitle));
    }
    s.form.Disarm(ControlId::HandshakeTimer);
}

}  // namespace

// Windows refused a post or send: Logger32 runs with higher rights, and the
// operator must start the bridge the same way.
void NoteDelivery(Station& s, platform::Delivery d) {
    if (d == platform::Delivery::Refused) s.link.refused = true;
}

void PostNow(Station& s, WParam code, LParam value) {
    if (!Logger32Known(s)) return;
    NoteDelivery(s, s.os.PostMessage(s.link.logger32Window, s.link.message, code, value));
}

void PostSet(Station& s, const std::array<CodeAndValue, 5>& set) {
    for (const auto& [c, v] : set) PostToLogger32(s, c, v);
}

void SetOwnWindow(Station& s, WindowHandle window) {
    s.link.ownWindow = window;
}

void UseFirstName(Station& s) {
    s.link.message = Registered(s, 0);
}

bool LookForLogger32(Station& s) {
    s.link.logger32Window = s.os.FindWindowByTitle(Text(kWindowTitle));
    return Logger32Known(s);
}

void StartHandshake(Station& s) {
    s.form.SetTimerEnabled(ControlId::HandshakeTimer, false);
    InstallHook(s);
    if (LookForLogger32(s)) {
        StartRotation(s);
    } else {
        ArmHandshakeTimer(s, Handshake::Searching, window::kSearchIntervalMs);
    }
}

void Watch(Station& s) {
    if (s.link.handshake == Handshake::Lost) {
        // Back: connect as at start-up; the rest follows its answers.
        if (LookForLogger32(s)) {
            s.link.returning = true;
            StartRotation(s);
        }
        return;
    }
    if (!Logger32Known(s)) return;
    if (s.os.ProcessOf(s.link.logger32Window) == 0) LoseLogger32(s);
}

void OnHandshakeTick(Station& s) {
    if (s.link.handshake == Handshake::Searching) {
        if (LookForLogger32(s)) StartRotation(s);
        return;
    }
    AskUnderNextName(s);
}

LResult HookWindowProc(Station& s, WindowHandle window, MessageId msg, WParam wParam,
                       LParam lParam) {
    if (msg != s.link.message) {
        return s.os.CallWindowProc(s.link.previousProc, window, msg, wParam, lParam);
    }
    const auto value32 = static_cast<std::int32_t>(static_cast<std::uint32_t>(lParam));
    switch (static_cast<std::uint32_t>(wParam)) {
        case code::kAnswer:
            if (value32 != 0) {
                // A stray acceptance while searching leaves the search running.
                if (s.link.handshake != Handshake::Searching) {
                    s.link.handshake = Handshake::Connected;
                }
                PostNow(s, code::kTextWindowOf, 0);
                PostNow(s, code::kTextWindowOf,
                        static_cast<LParam>(s.form.HandleOf(ControlId::Logger32TextBox).value));
                // Back after it was lost: who holds the rig, as at start-up.
                if (s.link.returning) {
                    PostSet(s, s.rig.logger32HasRig ? kLogger32TakesControl : kMixWTakesControl);
                }
            } else {
                ArmHandshakeTimer(s, Handshake::TryingNextName, window::kRetryIntervalMs);
            }
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
                           KilohertzText(value32, s.os.DecimalSeparator()));
            break;
        case code::kCluster: s.form.SetText(ControlId::ClusterBox, Decimal(value32)); break;
        default: break;
    }
    return 0;
}

void RemoveHook(Station& s) {
    // Putting back a procedure of 0 would leave the window without one.
    if (s.link.previousProc.isNull()) return;
    (void)s.os.SetWindowProc(s.link.ownWindow, s.link.previousProc);
}

void SendLeaving(Station& s) {
    if (!Logger32Known(s)) return;
    (void)s.os.SendMessageWithReference(s.link.logger32Window, s.link.message, code::kLeaving);
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
