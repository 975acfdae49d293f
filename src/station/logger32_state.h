// What the Logger32 link knows and where its handshake stands. Only the
// Logger32 link (logger32/) writes it; others read it through link.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

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

// What a text to Logger32 is: mode, frequency and record are states (a newer
// one makes an older one that has not gone yet needless); a logging and a
// command are events, each sent once, in order.
enum class TextKind { Mode, Frequency, Record, Logging, Command };

// One thing for Logger32 waiting its turn behind a text it has not taken yet:
// a text, or a post (codes keep their place among the texts).
struct Outgoing {
    bool post = false;
    TextKind kind = TextKind::Command;
    platform::Text text;
    std::uint64_t logging = 0;  // the logging's number (TextKind::Logging)
    platform::WParam code = 0;
    platform::LParam value = 0;
};

// What became of a logging handed to the link: taken by Logger32's text
// window; not taken (its window went away before it began the text, or
// there was none); or in doubt (its window went away after it may have
// begun the text: it may be in Logger32's log).
enum class Fate { Taken, NotTaken, InDoubt };
struct SettledLogging {
    std::uint64_t logging = 0;
    Fate fate = Fate::NotTaken;
};

struct LinkState {
    platform::WindowHandle ownWindow;       // the bridge window, named in connect requests
    std::size_t nameIndex = 0;              // the name in use, in kMessageNames
    platform::MessageId message = 0;        // registered id of the name in use
    platform::WindowHandle logger32Window;  // Logger32's top-level window; 0 while unknown
    platform::WindowHandle textWindow;      // takes our texts (code 3); 0 until named
    platform::WindowProc previousProc;      // the window procedure the hook replaced
    Handshake handshake = Handshake::NotStarted;
    // Logger32 came back after it was lost: once it accepts, it is told who
    // holds the rig, and once it names its text window it gets everything
    // afresh.
    bool returning = false;
    // A text Logger32 has not taken within the send's bound; the send goes
    // on, and what follows waits in the outbox, in order.
    std::optional<Outgoing> pending;
    std::deque<Outgoing> outbox;
    // Loggings whose fate is known, oldest first, for the push to act on at
    // its own step.
    std::vector<SettledLogging> settled;
    // Logger32 answers again with a text window (back after it was lost, or
    // its text window went away under a send): it must be told everything
    // afresh. The push acts on it at its own step.
    bool answersAgain = false;
    // The text window went away: under a pending send, or closed by a
    // Logger32 that runs on (a send found no window there).
    bool textWindowLost = false;
    // Windows refused a post or send: Logger32 runs with higher rights.
    bool refused = false;
};

// Logger32 was linked and its window went away; it has not come back yet.
[[nodiscard]] inline bool Away(const LinkState& link) {
    return link.handshake == Handshake::Lost || link.returning;
}

}  // namespace linkwell::logger32
