#include "win32/call_thread.h"

#include <objbase.h>

#include "window/timing.h"

namespace linkwell::win32 {
namespace {

// The bound of one call into MixW2's object.
constexpr DWORD kCallBoundMs = window::kCallBoundMs;

}  // namespace

CallThread& CallThread::ForNewObject() {
    static CallThread* current = new CallThread();
    static std::vector<std::unique_ptr<CallThread>> retired;
    std::erase_if(retired, [](const auto& old) { return old->Ended(); });
    if (current->Stuck() && !current->stuckObtaining_) {
        current->Retire();
        retired.emplace_back(current);
        current = new CallThread();
    }
    return *current;
}

void CallThread::Retire() {
    retired_ = true;
    EndOnceLetGo();
}

void CallThread::LetGo() {
    --holders_;
    EndOnceLetGo();
}

void CallThread::EndOnceLetGo() {
    if (!retired_ || holders_ > 0) return;
    auto end = std::make_shared<Call>();
    end->ends = true;
    Queue(std::move(end));
}

// Only a thread that was made can be stuck, and so retired.
bool CallThread::Ended() const {
    return retired_ && holders_ == 0 && WaitForSingleObject(thread_.get(), 0) == WAIT_OBJECT_0;
}

bool CallThread::Run(std::function<void()> job, const CallWait& wait, bool obtaining) {
    if (Stuck() || !done_) return false;
    auto call = std::make_shared<Call>();
    call->job = std::move(job);
    call->answers = true;
    Queue(call);
    if (wait(done_.get(), kCallBoundMs)) return true;
    call->abandoned = true;
    stuck_ = true;
    stuckObtaining_ = obtaining;
    return false;
}

void CallThread::Post(std::function<void()> job) {
    auto call = std::make_shared<Call>();
    call->job = std::move(job);
    Queue(std::move(call));
}

// Each waited-for call sets `done_` once, and the wait that takes it off
// says so: the bridge's own wait, or this look once the call is given up.
bool CallThread::Stuck() {
    if (!stuck_) return false;
    if (WaitForSingleObject(done_.get(), 0) != WAIT_OBJECT_0) return true;
    stuck_ = false;
    return false;
}

// Both events and the thread, or none of them: Run then refuses every call.
CallThread::CallThread() : work_(MakeEvent(false, false)), done_(MakeEvent(false, false)) {
    // COM's proxies need far less than a default stack; what the thread
    // never touches costs nothing but address space.
    constexpr SIZE_T kStackBytes = 256 * 1024;
    thread_.reset(work_ && done_ ? CreateThread(nullptr, kStackBytes, &CallThread::Serve, this,
                                                STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr)
                                 : nullptr);
    if (!thread_) {
        work_.reset();
        done_.reset();
    }
}

void CallThread::Queue(std::shared_ptr<Call> call) {
    AcquireSRWLockExclusive(&lock_);
    calls_.push_back(std::move(call));
    ReleaseSRWLockExclusive(&lock_);
    SetEvent(work_.get());
}

DWORD WINAPI CallThread::Serve(void* self) {
    static_cast<CallThread*>(self)->Loop();
    return 0;
}

void CallThread::Loop() {
    const bool inCom = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    for (;;) {
        std::shared_ptr<Call> call;
        AcquireSRWLockExclusive(&lock_);
        if (!calls_.empty()) {
            call = std::move(calls_.front());
            calls_.pop_front();
        }
        ReleaseSRWLockExclusive(&lock_);
        if (!call) {
            WaitForSingleObject(work_.get(), INFINITE);
            continue;
        }
        if (call->ends) break;
        // A call given up before it began is not made at all.
        if (!call->abandoned) call->job();
        if (call->answers) SetEvent(done_.get());
    }
    if (inCom) CoUninitialize();
}

}  // namespace linkwell::win32
