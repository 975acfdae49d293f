// Every timer interval, wait and bound of the bridge (the Windows world's
// own bounds too), in milliseconds, in one table.
// The design-time intervals of the control table are not repeated here.
#pragma once

namespace linkwell::window {

// What                          ms     who uses it
inline constexpr int kAboutShownMs = 3000;    // the about window's time on screen (design time)
inline constexpr int kStartupDelayMs = 1000;  // about window gone -> start-up wait begins
inline constexpr int kPeerPollMs = 2000;      // start-up wait: look for Logger32 / MixW2 again
inline constexpr int kMixWSettleMs =
    1000;  // start-up wait: Logger32 linked -> first look for MixW2
inline constexpr int kSearchIntervalMs = 5000;  // handshake: look for Logger32's window again
inline constexpr int kRetryIntervalMs = 200;   // handshake: ask under the next name after a refusal
inline constexpr int kPushIntervalMs = 800;    // push tick while MixW2 holds the rig
inline constexpr int kIntakeDelayMs = 500;     // a Logger32 text is read this long after it arrives
inline constexpr int kWatchIntervalMs = 1000;  // watch: is Logger32 / MixW2 still there, or back?
inline constexpr int kSendBoundMs = 3000;  // the longest the bridge waits for a send to Logger32
inline constexpr int kCallBoundMs = 5000;  // the longest the bridge waits for a call into MixW2
// Windows takes a window's thread that has taken no message this long for
// hung: a send that may give up then gives up at once.
inline constexpr int kTakenForHungMs = 5000;
// The Windows world's own bounds.
inline constexpr int kDdeProbeMs = 500;  // before a DDE connect: a busy program has half a second
inline constexpr int kDdeProbeAgainMs =
    5000;  // after one did not answer, connects refused this long
inline constexpr int kEndSessionLimitMs = 5000;  // the session ends: the process is gone by then

}  // namespace linkwell::window
