// The Windows world's messages to other programs: posts, bounded sends,
// the texts for Logger32 from a sender thread of their own, and the hook.
// clang-format off
// The world first: it keeps the character-set macros off the platform layer.
#include "win32/world.h"
// clang-format on

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

#include "win32/wintext.h"
#include "win32/world_internal.h"

namespace linkwell::win32 {

// --- Platform: windows and messages ------------------------------------------------------------

WindowHandle WinWorld::FindWindowByTitle(const Text& title) {
    return Handle(FindWindowA(nullptr, ToAnsi(title).c_str()));
}

MessageId WinWorld::RegisterMessage(const Text& name) {
    return RegisterWindowMessageA(ToAnsi(name).c_str());
}

namespace {

platform::Delivery Failure(DWORD error) {
    switch (error) {
        case ERROR_TIMEOUT: return platform::Delivery::NotAnswering;
        case ERROR_ACCESS_DENIED: return platform::Delivery::Refused;
        default: return platform::Delivery::NoWindow;
    }
}

}  // namespace

platform::Delivery WinWorld::PostMessage(WindowHandle to, MessageId msg, WParam code,
                                         LParam value) {
    lastFailure_.reset();
    if (to.isNull()) return platform::Delivery::NoWindow;
    if (PostMessageA(Hwnd(to), msg, static_cast<WPARAM>(code), static_cast<LPARAM>(value))) {
        return platform::Delivery::Delivered;
    }
    FailedWithLastError();
    return Failure(lastFailure_->code);
}

// The leaving notice waits at most kSendTimeoutMs, handling what is sent to
// the bridge meanwhile. A window's thread that let a send time out, or that
// holds a text still pending, gets later sends given up at once, without
// waiting: a close or a session end never waits long on a hung Logger32.
// Threads, not processes: a program whose text window hangs on a thread of
// its own still takes the leaving notice on its main window.
platform::Delivery WinWorld::BoundedSend(HWND to, UINT msg, WPARAM wParam, LPARAM lParam) {
    lastFailure_.reset();
    if (to == nullptr || !IsWindow(to)) return platform::Delivery::NoWindow;
    const DWORD thread = GetWindowThreadProcessId(to, nullptr);
    if (notAnswering_.count(thread) != 0) return platform::Delivery::NotAnswering;
    // A text of ours still waits on that thread, also within its bound (the
    // session ends inside that wait): the thread is busy or hung, and a
    // session end must not wait on it.
    if (TextWaitsOn(thread)) return platform::Delivery::NotAnswering;
    DWORD_PTR result = 0;
    SetLastError(ERROR_SUCCESS);
    LRESULT sent = 0;
    {
        const BridgeThread::Wait wait(thread_);
        sent =
            SendMessageTimeoutA(to, msg, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result);
    }
    if (sent != 0) {
        notAnswering_.erase(thread);
        return platform::Delivery::Delivered;
    }
    DWORD error = GetLastError();
    if (error != ERROR_SUCCESS) lastFailure_ = platform::FailureReason{error, {}, {}};
    // A hung receiver may give no error code at all.
    if (error == ERROR_SUCCESS) error = ERROR_TIMEOUT;
    const auto d = Failure(error);
    if (d == platform::Delivery::NotAnswering) notAnswering_.insert(thread);
    return d;
}

platform::Delivery WinWorld::SendMessageWithReference(WindowHandle to, MessageId msg, WParam code) {
    return BoundedSend(Hwnd(to), msg, static_cast<WPARAM>(code), reinterpret_cast<LPARAM>(&zero_));
}

// A text for another program goes through the sender thread with a plain
// SendMessage: a timed-out SendMessageTimeout leaves it unknown whether the
// window got the text, and a logging must reach Logger32 exactly once.
struct WinWorld::TextSend {
    std::uint64_t id = 0;
    HWND to = nullptr;
    DWORD thread = 0;
    std::string ansi;
    OwnedHandle done = MakeEvent(true, false);  // set by the sender once the send has returned
    platform::Delivery result = platform::Delivery::NoWindow;
    DWORD error = ERROR_SUCCESS;  // GetLastError's code when it was refused
    bool pending = false;         // the bridge stopped waiting for it
};

namespace {

// One thread sends the texts, one at a time, for as long as each takes. It
// lives as long as the program: ended after a quiet while, it would free
// nothing under Wine (an ended thread's block is freed only when the next
// thread ends) and a few pages on Windows, for a thread made per burst.
class TextSender {
public:
    using Job = std::function<void()>;
    static TextSender& Get() {
        // Never destroyed: the thread may still be inside a send at exit.
        static TextSender* const sender = new TextSender();
        return *sender;
    }
    void Run(Job job) {
        {
            const std::lock_guard lock(mutex_);
            jobs_.push_back(std::move(job));
        }
        ready_.notify_one();
    }

private:
    TextSender() {
        std::thread([this] { Serve(); }).detach();
    }
    void Serve() {
        for (;;) {
            Job job;
            {
                std::unique_lock lock(mutex_);
                ready_.wait(lock, [this] { return !jobs_.empty(); });
                job = std::move(jobs_.front());
                jobs_.pop_front();
            }
            job();
        }
    }
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<Job> jobs_;
};

// First an empty message, then the text. Messages sent from one thread are
// taken in the order sent, and the text is sent only once the empty one came
// back: a program that dies while the empty one waits never began the text
// (NoWindow, to be given again), one that dies while the text waits may have
// begun it, hung inside its handler, and may have logged it (InDoubt). The
// receiver's own order of sent messages makes this hold under Wine too. A
// thread that answers the empty message and then stops before the text is
// counted as in doubt: never a second copy, at worst a QSO to check by hand.
platform::Delivery SendInTwoSteps(HWND to, const std::string& ansi, DWORD& refusal) {
    SetLastError(ERROR_SUCCESS);
    (void)SendMessageA(to, WM_NULL, 0, 0);
    if (!IsWindow(to)) return platform::Delivery::NoWindow;
    SetLastError(ERROR_SUCCESS);
    const LRESULT r = SendMessageA(to, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(ansi.c_str()));
    const DWORD error = GetLastError();
    // A window that returned FALSE still took the text; only one that is
    // gone (or refused us) did not. Gone first: Wine ends a send whose
    // receiver died inside it with ERROR_ACCESS_DENIED, not only a refusal.
    if (r != 0) return platform::Delivery::Delivered;
    if (!IsWindow(to)) return platform::Delivery::InDoubt;
    if (error != ERROR_ACCESS_DENIED) return platform::Delivery::Delivered;
    refusal = error;
    return platform::Delivery::Refused;
}

}  // namespace

bool WinWorld::TextWaitsOn(DWORD thread) const {
    return sending_ && sending_->thread == thread;
}

bool WinWorld::IsOwnWindow(HWND h) const {
    if (h == form_) return true;
    return std::find(controls_.begin(), controls_.end(), h) != controls_.end();
}

platform::Delivery WinWorld::SendText(WindowHandle to, const Text& text) {
    lastFailure_.reset();
    HWND h = Hwnd(to);
    if (h != nullptr && IsOwnWindow(h)) {
        const std::string ansi = ToAnsi(text);
        return BoundedSend(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(ansi.c_str()));
    }
    if (sending_) return platform::Delivery::NotAnswering;
    if (h == nullptr || !IsWindow(h)) return platform::Delivery::NoWindow;
    auto send = std::make_shared<TextSend>();
    send->id = ++sendCount_;
    send->to = h;
    send->thread = GetWindowThreadProcessId(h, nullptr);
    send->ansi = ToAnsi(text);
    if (!send->done) return platform::Delivery::NotAnswering;
    sending_ = send;
    TextSender::Get().Run([send, form = form_] {
        send->result = SendInTwoSteps(send->to, send->ansi, send->error);
        SetEvent(send->done.get());
        PostMessageW(form, kTextSendEnded, static_cast<WPARAM>(send->id), 0);
    });
    bool settled = false;
    {
        const BridgeThread::Wait wait(thread_);
        settled = thread_.PumpFor(kSendTimeoutMs, send->done.get());
    }
    if (settled) {
        sending_.reset();
        if (send->error != ERROR_SUCCESS)
            lastFailure_ = platform::FailureReason{send->error, {}, {}};
        return send->result;
    }
    send->pending = true;
    notAnswering_.insert(send->thread);
    return platform::Delivery::Pending;
}

// The bridge hears of a pending send's end in its turn, after what came
// before; until then no other text goes out.
void WinWorld::OnTextSendEnded(std::uint64_t id) {
    if (!sending_ || sending_->id != id || !sending_->pending) return;
    thread_.IntoBridge([this, id] {
        if (!sending_ || sending_->id != id) return;
        const platform::Delivery d = sending_->result;
        notAnswering_.erase(sending_->thread);
        sending_.reset();
        bridge_->TextSendEnded(d);
    });
}

// One question to the system (the watch asks it every second): no thread
// means no such window.
std::uint32_t WinWorld::ProcessOf(WindowHandle window) {
    HWND h = Hwnd(window);
    if (h == nullptr) return 0;
    DWORD pid = 0;
    if (GetWindowThreadProcessId(h, &pid) == 0) return 0;
    return pid;
}

WindowProc WinWorld::SetWindowProc(WindowHandle window, WindowProc proc) {
    const LONG_PTR old =
        SetWindowLongPtrW(Hwnd(window), GWLP_WNDPROC, static_cast<LONG_PTR>(proc.value));
    return WindowProc{static_cast<std::uint64_t>(old)};
}

LResult WinWorld::CallWindowProc(WindowProc proc, WindowHandle window, MessageId msg, WParam wParam,
                                 LParam lParam) {
    return CallWindowProcW(reinterpret_cast<WNDPROC>(static_cast<UINT_PTR>(proc.value)),
                           Hwnd(window), msg, static_cast<WPARAM>(wParam),
                           static_cast<LPARAM>(lParam));
}

LRESULT CALLBACK WinWorld::HookTrampoline(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (self_ == nullptr || !self_->bridge_) return DefWindowProcW(window, msg, wParam, lParam);
    // Logger32's messages (registered ones) wait while the bridge waits;
    // the rest goes straight on to the form's procedure, which sorts it:
    // through the hook it would be an event of the bridge's inside the one
    // that waits.
    if (self_->thread_.Busy()) {
        if (msg < 0xC000 || msg > 0xFFFF) return FormProc(window, msg, wParam, lParam);
        self_->thread_.IntoBridge([h = Handle(window), msg, wParam, lParam] {
            if (self_ != nullptr && self_->bridge_)
                (void)self_->bridge_->HookProc(h, msg, wParam, lParam);
        });
        return 0;
    }
    return static_cast<LRESULT>(self_->bridge_->HookProc(Handle(window), msg, wParam, lParam));
}

WindowProc WinWorld::HookProcedure() {
    return WindowProc{static_cast<std::uint64_t>(reinterpret_cast<UINT_PTR>(&HookTrampoline))};
}

void WinWorld::MakeTopmost(WindowHandle window) {
    SetWindowPos(Hwnd(window), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

}  // namespace linkwell::win32
