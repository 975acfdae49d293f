#include "win32/bridge_thread.h"

#include <algorithm>
#include <utility>

namespace linkwell::win32 {

void BridgeThread::IntoBridge(std::function<void()> event) {
    if (busy_ > 0) {
        deferred_.push_back(std::move(event));
        return;
    }
    event();
}

void BridgeThread::RunDeferred() {
    while (busy_ == 0 && !deferred_.empty()) {
        auto event = std::move(deferred_.front());
        deferred_.pop_front();
        event();
    }
}

void BridgeThread::DispatchOne(MSG& msg) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

bool BridgeThread::PumpFor(DWORD ms, HANDLE done) {
    // The longest the thread goes without serving its messages.
    constexpr ULONGLONG kSliceMs = 100;
    const ULONGLONG until = GetTickCount64() + ms;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        if (now >= until) return done != nullptr && WaitForSingleObject(done, 0) == WAIT_OBJECT_0;
        const auto slice = static_cast<DWORD>(std::min(until - now, kSliceMs));
        const DWORD r = MsgWaitForMultipleObjectsEx(done != nullptr ? 1 : 0, &done, slice,
                                                    QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (done != nullptr && r == WAIT_OBJECT_0) return true;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quitSeen_ = true;
                exitCode_ = static_cast<int>(msg.wParam);
                continue;
            }
            DispatchOne(msg);
            if (done != nullptr && WaitForSingleObject(done, 0) == WAIT_OBJECT_0) return true;
        }
    }
}

void BridgeThread::StartupWait(int ms) {
    const bool outer = std::exchange(closeAnsweredAtOnce_, true);
    {
        const Wait wait(*this);
        PumpFor(static_cast<DWORD>(ms < 0 ? 0 : ms), nullptr);
    }
    closeAnsweredAtOnce_ = outer;
}

void BridgeThread::Modal(const std::function<void()>& show) {
    const int busy = std::exchange(busy_, 0);
    const bool answered = std::exchange(closeAnsweredAtOnce_, false);
    RunDeferred();
    show();
    busy_ = busy;
    closeAnsweredAtOnce_ = answered;
}

// Only WM_QUIT ends the loop. GetMessage gives -1 on an error of its own
// (Wine does so after another program sent a text of a million characters
// or more): that message is lost, the loop goes on.
int BridgeThread::Run() {
    RunDeferred();
    while (!quitSeen_) {
        MSG msg;
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            exitCode_ = static_cast<int>(msg.wParam);
            break;
        }
        if (got == -1) {
            // Not a busy loop should the error persist.
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
            continue;
        }
        DispatchOne(msg);
        RunDeferred();
    }
    return exitCode_;
}

}  // namespace linkwell::win32
