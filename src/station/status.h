// The status line: a function of the rooms' states, so that no room has to
// tell another that it changed. What the bridge waits for comes first (or
// what keeps QSOs from Logger32), else who holds the rig.
#pragma once

#include <string_view>

#include "station/station.h"

namespace linkwell::station {

// The texts are the operator's: they stand on the status line as they are,
// padding included (the rig holder's two are centred by leading blanks in
// the narrow box, as the operator has always seen them).
inline constexpr std::u16string_view kMixWActive = u"            MixW2 control active !";
inline constexpr std::u16string_view kLogger32Active = u"         Logger32 control active !";
inline constexpr std::u16string_view kWaitingForLogger32 = u"Logger32 closed: waiting for it";
inline constexpr std::u16string_view kLogger32Elevated =
    u"Logger32 runs as administrator: start Linkwell as administrator too";
inline constexpr std::u16string_view kWaitingForMixWBack = u"MixW2 closed: waiting for it";
inline constexpr std::u16string_view kLogger32NotAnswering = u"Logger32 not answering";
inline constexpr std::u16string_view kFileUnwritable =
    u"Cannot write not-logged.adi: QSOs not taken are kept only until Linkwell closes";
// Every QSO was taken, but the file could not be brought up to date: it
// still lists QSOs Logger32 has logged.
inline constexpr std::u16string_view kFileBehind =
    u"Cannot update not-logged.adi: it still lists QSOs Logger32 has taken";

// Followed by the --udp address: the socket could not be had or the last
// datagram did not go.
inline constexpr std::u16string_view kUdpFailed = u"Cannot send UDP to ";
inline constexpr std::u16string_view kUdpFailedEnd =
    u": programs listening there miss what Linkwell announces";

// The start-up wait's line once Logger32 was found, while it looks for
// MixW2.
inline constexpr std::u16string_view kWaitingForMixW = u"Waiting start MixW.";
// Followed by the field trace's file name: a write to it failed, and
// nothing more is written.
inline constexpr std::u16string_view kTraceStopped = u"Field trace stopped: cannot write ";

// After the QSO names ("JA1XYZ 0815"): Logger32 went away while it may have
// been logging them, so they are not given to it again.
inline constexpr std::u16string_view kMayBeInLog = u" may already be in Logger32's log";

[[nodiscard]] platform::Text StatusText(const BridgeState& s);
// The note at start-up about what earlier runs left: the QSOs in
// not-logged.adi and in not-logged-unsaved.adi, and a damaged
// not-logged.adi moved aside; empty when there is nothing to say.
[[nodiscard]] platform::Text StartNote(const BridgeState& s);
// Puts the status the state calls for on the line now (before a box, say).
void DrawStatus(BridgeState& s);
// After an event: redraws only when the state calls for another status than
// it last did, so that a note put there meanwhile stays until then.
void RedrawStatusIfChanged(BridgeState& s);
// Puts a note on the line instead of the status the state calls for; the
// note stays until the state calls for another.
void NoteOnStatusLine(BridgeState& s, const platform::Text& note);
// The start-up wait looks for MixW2: said before the first status is drawn.
void ShowWaitingForMixW(BridgeState& s);
// The field trace stopped: the note stays until the status line next
// changes (the status the state calls for is not looked at).
void NoteTraceStopped(BridgeState& s, const platform::Text& fileName);

}  // namespace linkwell::station
