// The thread that calls into MixW2's object. Calls run there, in the
// multithreaded apartment, where the object is obtained too; the bridge's
// thread waits for each within the bound while serving its window
// (CallWait). Why not call from the window's thread: a COM call from a
// single-threaded apartment has no time limit, and while it waits COM
// dispatches the thread's messages, running the bridge's handlers inside the
// call (with MixW's DDE sending at 20 Hz they nest until the stack
// overflows). A call that does not return in time is given up as failed; the
// thread stays in it, and later calls fail at once until it is free again: a
// hung MixW2 costs one wait, not one per call.
//
// A hand-off costs two events set and waited on, nothing more: they live as
// long as the thread (each event made, handle closed or condition variable
// woken is one more round trip to the system, several times a second).
#pragma once

#include <windows.h>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "win32/owned.h"

namespace linkwell::win32 {

// Waits up to the given milliseconds for the event, keeping the caller's
// window served; true when it was signalled.
using CallWait = std::function<bool(HANDLE done, DWORD ms)>;

class CallThread {
public:
    // The thread for calls on a newly obtained object. A call stuck in an
    // old MixW2 binds only that MixW2: once one is stuck there, the next
    // object is obtained and called on a fresh thread at once. A thread
    // stuck in obtaining an object is not replaced (a hung MixW2 would
    // otherwise cost a thread for every attempt).
    // The current thread is never destroyed: it may still be inside a call
    // at exit. One replaced while stuck ends once its call has returned and
    // the last object obtained on it is let go (a hung MixW2 that is ended
    // costs no thread for the rest of the session), and is freed by a later
    // look for a thread.
    static CallThread& ForNewObject();

    // An object obtained here keeps the thread until it is let go (after its
    // release is posted).
    void Hold() { ++holders_; }
    void LetGo();

    // Runs `job` there; true when it ran to its end within the bound.
    // `obtaining`: the job obtains an object.
    bool Run(std::function<void()> job, const CallWait& wait, bool obtaining = false);
    // Runs `job` there without waiting for it (a release).
    void Post(std::function<void()> job);
    // A call given up on has not returned yet.
    [[nodiscard]] bool Stuck();

    CallThread(const CallThread&) = delete;
    CallThread& operator=(const CallThread&) = delete;

private:
    struct Call {
        std::function<void()> job;
        bool answers = false;  // the bridge waits for it on `done_`
        bool ends = false;     // the thread leaves COM and ends
        std::atomic<bool> abandoned{false};
    };

    CallThread();
    void Retire();
    // A retired thread with no object left is sent its end.
    void EndOnceLetGo();
    // Retired, let go and its thread ended: nothing can reach it any more.
    [[nodiscard]] bool Ended() const;
    void Queue(std::shared_ptr<Call> call);
    static DWORD WINAPI Serve(void* self);
    void Loop();

    OwnedHandle work_;  // set when a call is queued
    OwnedHandle done_;  // set when a call the bridge waits for has returned
    OwnedHandle thread_;
    SRWLOCK lock_ = SRWLOCK_INIT;
    std::deque<std::shared_ptr<Call>> calls_;
    bool stuck_ = false;  // the bridge's thread only
    bool stuckObtaining_ = false;
    int holders_ = 0;       // the bridge's thread only
    bool retired_ = false;  // the bridge's thread only
};

}  // namespace linkwell::win32
