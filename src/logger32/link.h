// The Logger32 link: Logger32's window found by its title, the handshake
// over five registered names, command codes in both directions and plain
// texts by WM_SETTEXT (the protocol is in protocol.h).
//
// What a caller may rely on:
//  - posts return at once and are never confirmed; a post while Logger32's
//    window is unknown (or gone) goes nowhere;
//  - SendTextToLogger32 hands the whole text over in one send; before
//    Logger32 has named its text window (code 3), or while Logger32 is gone,
//    nothing is sent;
//  - texts go one at a time, in order: one Logger32 does not take within the
//    send's bound stays with the send until Logger32 takes it or its window
//    goes away (never both, never neither; a window that goes away after it
//    may have begun the text leaves a logging in doubt, never given again);
//    what follows waits in the
//    outbox, posts included, a newer state replacing an older one not yet
//    sent; a logging is followed by codes 15 and 16 once Logger32 took it;
//  - incoming codes are taken as protocol.h's compatibility rules say.
#pragma once

#include <array>
#include <cstdint>

#include "logger32/protocol.h"
#include "station/station.h"

namespace linkwell::logger32 {

using platform::LParam;
using platform::LResult;
using platform::MessageId;
using platform::Text;
using platform::WindowHandle;
using platform::WParam;

// A post waits its turn behind texts Logger32 has not taken yet.
void PostToLogger32(BridgeState& s, WParam code, LParam value);
void PostSet(BridgeState& s, const std::array<CodeAndValue, 5>& set);
// What became of a text handed to the link: Taken by Logger32's text
// window; Queued behind a text it has not taken yet (or being sent past
// the bound), to go unless Logger32 goes away; NotSent (no text window,
// refused, or the window went away). A logging's fate is settled later
// through TakeSettled, whatever this says.
enum class Handed { Taken, Queued, NotSent };
[[nodiscard]] Handed SendTextToLogger32(BridgeState& s, TextKind kind, const Text& text,
                                        std::uint64_t logging = 0);
// The loggings settled since the last call, oldest first.
[[nodiscard]] std::vector<SettledLogging> TakeSettled(BridgeState& s);
// True once after Logger32 answered again with a text window (back after it
// was lost, or a new text window after the old one went away).
[[nodiscard]] bool TakeAnswersAgain(BridgeState& s);

// --- the start-up wait's steps ------------------------------------------------
// The bridge window, named in every connect request.
void SetOwnWindow(BridgeState& s, WindowHandle window);
// The first registered name is the one in use until Logger32 refuses it.
void UseFirstName(BridgeState& s);
// Looks for Logger32's window by its title; true when it is there.
[[nodiscard]] bool LookForLogger32(BridgeState& s);
// Logger32 was found: hooks the bridge window for Logger32's answers and
// sends the connect request (or starts searching again if it is gone).
void StartHandshake(BridgeState& s);

// --- what others read -----------------------------------------------------------
[[nodiscard]] inline WindowHandle OwnWindow(const BridgeState& s) {
    return s.link.ownWindow;
}
[[nodiscard]] inline bool Logger32Known(const BridgeState& s) {
    return !s.link.logger32Window.isNull();
}
[[nodiscard]] inline Handshake HandshakeState(const BridgeState& s) {
    return s.link.handshake;
}
// The logging a send still holds past its bound (0: none): if the bridge
// ended now, it could be in Logger32's log or not.
[[nodiscard]] inline std::uint64_t LoggingInDoubt(const BridgeState& s) {
    const auto& p = s.link.pending;
    return p && p->kind == TextKind::Logging ? p->logging : 0;
}
// Logger32 is linked, has named its text window and is not being left.
[[nodiscard]] inline bool TakesTexts(const BridgeState& s) {
    return !s.link.textWindow.isNull() && !s.link.returning && !s.start.closing &&
           s.link.handshake != Handshake::Lost;
}

// --- events -----------------------------------------------------------------------
// The handshake timer: look for Logger32 again, or ask under the next name.
void OnHandshakeTick(BridgeState& s);
// Every watch tick: notices that Logger32's window went away, looks for it
// until it is back and connects as at start-up, and notices that a Logger32
// that did not answer answers again.
void Watch(BridgeState& s);
LResult HookWindowProc(BridgeState& s, WindowHandle window, MessageId msg, WParam wParam,
                       LParam lParam);

// A send that was Pending ended: Delivered (taken), NoWindow (its window
// went away before it began the text) or InDoubt (went away after).
void OnSendEnded(BridgeState& s, platform::Delivery result);

// --- closing ------------------------------------------------------------------------
// Leaves the window procedure alone when no hook was installed.
void RemoveHook(BridgeState& s);
// The leaving notice (code 4), sent synchronously.
void SendLeaving(BridgeState& s);

// Logger32's frequency in hertz as kilohertz "#.000": integer digits without
// leading zeros, the separator, exactly three decimals (14075450 gives
// 14075.450, 500 gives .500).
[[nodiscard]] Text KilohertzText(std::int32_t hertz, const Text& decimalSeparator);

}  // namespace linkwell::logger32
