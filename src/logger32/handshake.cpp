// The handshake over the five registered names, as one table of
// transitions: each event moves it from one state to the next, and what
// entering a state does (arming the timer, asking, giving up) is written
// once, in Enter.
#include "logger32/outbox.h"
#include "window/timing.h"

namespace linkwell::logger32 {

using window::ControlId;

namespace {

void Enter(BridgeState& s, Handshake next) {
    s.link.handshake = next;
    switch (next) {
        case Handshake::Searching:
            s.form.Arm(ControlId::HandshakeTimer, window::kSearchIntervalMs);
            break;
        case Handshake::Asking:
            s.form.Disarm(ControlId::HandshakeTimer);
            s.link.message = s.platform.RegisterMessage(Text(kMessageNames[s.link.nameIndex]));
            PostNow(s, code::kConnect, static_cast<LParam>(s.link.ownWindow.value));
            break;
        case Handshake::TryingNextName:
            s.form.Arm(ControlId::HandshakeTimer, window::kRetryIntervalMs);
            break;
        case Handshake::GaveUp:
            s.form.Disarm(ControlId::HandshakeTimer);
            s.platform.MessageBox(Text(kGiveUpText), Text(kGiveUpTitle));
            // Whatever ran inside the box, the timer ends stopped.
            s.form.Disarm(ControlId::HandshakeTimer);
            break;
        case Handshake::Lost:
            // Nothing more goes to the old handles. A text still being sent
            // stays with its send, which ends once the window is gone; what
            // waited behind it goes no more.
            s.link.logger32Window = {};
            s.link.textWindow = {};
            DropOutbox(s);
            s.link.returning = false;
            s.form.Disarm(ControlId::HandshakeTimer);
            break;
        case Handshake::NotStarted:
        case Handshake::Connected: break;
    }
}

// Logger32's window is there: the rotation starts again from the first name.
void AskUnder(BridgeState& s, std::size_t name) {
    s.link.nameIndex = name;
    Enter(s, Handshake::Asking);
}

void Accepted(BridgeState& s) {
    // A stray acceptance while searching leaves the search running.
    if (s.link.handshake != Handshake::Searching) s.link.handshake = Handshake::Connected;
    PostNow(s, code::kTextWindowOf, 0);
    PostNow(s, code::kTextWindowOf,
            static_cast<LParam>(s.form.HandleOf(ControlId::Logger32TextBox).value));
    // Back after it was lost: who holds the rig, as at start-up.
    if (s.link.returning) {
        PostSet(s, s.rig.logger32HasRig ? kLogger32TakesControl : kMixWTakesControl);
    }
}

}  // namespace

void Advance(BridgeState& s, HandshakeEvent event) {
    switch (event) {
        case HandshakeEvent::Found: AskUnder(s, 0); break;
        case HandshakeEvent::NotFound: Enter(s, Handshake::Searching); break;
        case HandshakeEvent::Accepted: Accepted(s); break;
        case HandshakeEvent::Refused: Enter(s, Handshake::TryingNextName); break;
        case HandshakeEvent::NextNameDue:
            if (s.link.nameIndex + 1 < kMessageNames.size()) {
                AskUnder(s, s.link.nameIndex + 1);
            } else {
                Enter(s, Handshake::GaveUp);
            }
            break;
        case HandshakeEvent::WindowGone: Enter(s, Handshake::Lost); break;
        case HandshakeEvent::Back:
            s.link.returning = true;
            AskUnder(s, 0);
            break;
    }
}

void UseFirstName(BridgeState& s) {
    s.link.nameIndex = 0;
    s.link.message = s.platform.RegisterMessage(Text(kMessageNames[0]));
}

}  // namespace linkwell::logger32
