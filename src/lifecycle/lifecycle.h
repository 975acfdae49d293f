// The program's life: the window's load and the about window, the start-up
// wait for Logger32 and MixW2, and the unload when the window closes.
#pragma once

#include "station/station.h"

namespace linkwell::lifecycle {

// Once, when the bridge window is created and before it is first shown:
// keeps the window's handle for the Logger32 link and shows the about
// window on top.
void OnLoad(BridgeState& s);

// The about timer's only tick, 3 s after load: hides the about window,
// shows the bridge window and arms the start-up timer.
void OnAboutShown(BridgeState& s);

// The start-up timer's only tick: waits (the thread sleeping in 2 s steps)
// for Logger32's window, starts the handshake and gives MixW2 the rig,
// then waits for MixW2's object and starts the intake and push timers.
void WaitForPeers(BridgeState& s);

// A close (or the session's end) begins: nothing more is delivered or
// reconnected from now. The bridge then hands on what the rooms recorded,
// and runs Unload or EndSession.
void BeginClose(BridgeState& s);

// The window closes: hands the rig back to Logger32 when MixW2 holds it,
// removes the hook, tells Logger32 that the bridge leaves, releases MixW's
// object and ends the program.
void Unload(BridgeState& s);

// Windows ends the session: the close with no box (nobody can answer one
// then); the loggings not taken are in not-logged.adi already.
void EndSession(BridgeState& s);

// After every event the bridge handles, once the rooms' news was handed
// on: after the outermost one, the status line follows the bridge's state.
void AfterEvent(BridgeState& s, bool outermost);

// Every second once started: is Logger32 / MixW2 still there, or back?
void OnWatchTick(BridgeState& s);

}  // namespace linkwell::lifecycle
