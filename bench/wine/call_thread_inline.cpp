// A measuring build's call thread (scripts/bench-wine-split, never shipped):
// what the call thread costs, found by calling MixW2 on the window's thread
// instead, unbounded and nested, as the shipped program must not. Linked in
// place of src/win32/call_thread.cpp.
#include "win32/call_thread.h"

namespace linkwell::win32 {

CallThread& CallThread::ForNewObject() {
    static CallThread* const only = new CallThread();
    return *only;
}

bool CallThread::Run(std::function<void()> job, const CallWait& wait, bool obtaining) {
    (void)wait;
    (void)obtaining;
    job();
    return true;
}

void CallThread::Post(std::function<void()> job) {
    job();
}

bool CallThread::Stuck() {
    return false;
}

CallThread::CallThread() = default;

}  // namespace linkwell::win32
