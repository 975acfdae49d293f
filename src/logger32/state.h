// What the Logger32 link knows and where its handshake stands. Only the
// Logger32 link (logger32/) writes it; others read it through link.h.
#pragma once

#include "platform/platform.h"

namespace linkwell::logger32 {

// The handshake over the five registered names, as a state machine. The
// handshake timer's tick looks for Logger32's window while Searching and
// asks under the next name in every other state (it only runs in Searching
// and TryingNextName).
enum class Handshake {
    NotStarted,      // the start-up wait has not found Logger32 yet
    Searching,       // Logger32's window was not found: look again every 5 s
    Asking,          // a connect request is out under the current name
    TryingNextName,  // the request was refused: ask under the next name soon
    Connected,       // Logger32 accepted; it is told where to write its texts
    GaveUp,          // every name was refused; the operator was told
    Lost,            // Logger32's window went away: look for it on every watch tick
};

struct LinkState {
    platform::WindowHandle ownWindow;       // the bridge window, named in connect requests
    platform::MessageId message = 0;        // registered id of the name in use
    platform::WindowHandle logger32Window;  // Logger32's top-level window; 0 while unknown
    platform::WindowHandle textWindow;      // takes our texts (code 3); 0 until named
    platform::WindowProc previousProc;      // the window procedure the hook replaced
    Handshake handshake = Handshake::NotStarted;
    // Logger32 came back after it was lost: once it accepts, it is told who
    // holds the rig, and once it names its text window it gets everything
    // afresh.
    bool returning = false;
    // A text timed out and Logger32 has not answered since.
    bool notAnswering = false;
    // Windows refused a post or send: Logger32 runs with higher rights.
    bool refused = false;
};

}  // namespace linkwell::logger32
