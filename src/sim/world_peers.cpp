// The simulated world's Logger32 and MixW2 as the bridge meets them: their
// windows, the sends and posts that reach them, the calls into MixW2's
// object, and how they hang, wake and end.
#include <algorithm>
#include <limits>
#include <utility>

#include "logger32/protocol.h"
#include "mixw/attach.h"
#include "mixw/protocol.h"
#include "sim/world.h"
#include "text/text.h"
#include "window/timing.h"

namespace linkwell::sim {

// --- windows and messages ------------------------------------------------------

WindowHandle World::FindWindowByTitle(const Text& title) {
    if (title == u"Logger32" && logger32_.Running()) return logger32_.MainWindow();
    return {};
}

MessageId World::RegisterMessage(const Text& name) {
    auto [it, added] = registry_.try_emplace(name, 0);
    if (added) it->second = 0xC000 + static_cast<MessageId>(registry_.size() - 1);
    return it->second;
}

platform::Delivery World::PostMessage(WindowHandle to, MessageId msg, WParam code, LParam value) {
    if (!logger32_.Running() || to != logger32_.MainWindow()) return platform::Delivery::NoWindow;
    (void)logger32_.Receive(msg, code, value, scenario::Delivery::Posted);
    return platform::Delivery::Delivered;
}

platform::Delivery World::SendMessageWithReference(WindowHandle to, MessageId msg, WParam code) {
    if (!logger32_.Running() || to != logger32_.MainWindow()) return platform::Delivery::NoWindow;
    return SendToLogger32([this, msg, code] {
        (void)logger32_.Receive(msg, code, 0, scenario::Delivery::SentReference);
    });
}

platform::Delivery World::SendText(WindowHandle to, const Text& text) {
    if (onSendText_) onSendText_(to, text);
    const Text arrived = text::FromAnsi(text::ToAnsi(text));
    if (logger32_.Running() && to == logger32_.TextWindow()) return SendTextToLogger32(arrived);
    if (auto box = ControlOf(to)) {
        // A send to a window of the bridge's own thread runs at once.
        bridge_->TextArrived(*box, arrived);
        return platform::Delivery::Delivered;
    }
    return platform::Delivery::NoWindow;
}

platform::Delivery World::SendTextToLogger32(const Text& text) {
    if (pendingText_) return platform::Delivery::NotAnswering;
    const std::uint64_t instance = logger32Instance_;
    if (holdNextLoggingMs_ > 0 && now_ >= TextWindowHungUntil() &&
        text.starts_with(logger32::kLoggingTag)) {
        return HoldLogging(text);
    }
    // A send to a window that dies returns at once: the text was not begun.
    const auto ended = [this, instance] { return Logger32Ended(instance); };
    const std::int64_t hung = TextWindowHungUntil() - now_;
    if (hung > 0) {
        textInFlight_ = true;
        WaitInCall(std::min<std::int64_t>(hung, window::kSendBoundMs), ended);
        textInFlight_ = false;
        if (ended()) return platform::Delivery::NoWindow;
    }
    if (hung > window::kSendBoundMs) {
        pendingText_ = text;
        // The main window's thread too, unless the text window hangs alone.
        if (now_ < logger32HungUntil_) logger32KnownHung_ = true;
        return platform::Delivery::Pending;
    }
    logger32_.ReceiveText(text);
    return platform::Delivery::Delivered;
}

// Logger32 begins the logging text (it is in its log now) and then hangs
// inside it: ended meanwhile, it may have logged the QSO, and the bridge
// hears so at once.
platform::Delivery World::HoldLogging(const Text& text) {
    const std::uint64_t instance = logger32Instance_;
    const std::int64_t ms = std::exchange(holdNextLoggingMs_, 0);
    logger32_.ReceiveText(text);
    HangLogger32(ms, false);
    const auto ended = [this, instance] { return Logger32Ended(instance); };
    textInFlight_ = true;
    WaitInCall(std::min<std::int64_t>(ms, window::kSendBoundMs), ended);
    textInFlight_ = false;
    if (ended()) return platform::Delivery::InDoubt;
    if (ms > window::kSendBoundMs) {
        pendingText_ = text;
        pendingBegun_ = true;
        logger32KnownHung_ = true;
        return platform::Delivery::Pending;
    }
    return platform::Delivery::Delivered;
}

void World::FinishPendingText() {
    const Text text = std::move(*pendingText_);
    pendingText_.reset();
    logger32KnownHung_ = false;
    if (!std::exchange(pendingBegun_, false)) logger32_.ReceiveText(text);
    messages_.push_back([this] { EndSend(platform::Delivery::Delivered); });
}

void World::EndSend(platform::Delivery result) {
    endingSend_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{endingSend_};
    bridge_->TextSendEnded(result);
}

// The leaving notice waits at most 3 s for a Logger32 that does not answer,
// and none while one is known not to answer (a text of the bridge still
// waits on the same thread, also within its bound, as when Windows ends the
// session inside that wait), or once Windows takes it for hung.
platform::Delivery World::SendToLogger32(const std::function<void()>& deliver) {
    const std::int64_t hung = logger32HungUntil_ - now_;
    if (hung > 0) {
        if (logger32KnownHung_ || textInFlight_ || TakenForHung()) {
            return platform::Delivery::NotAnswering;
        }
        const std::uint64_t instance = logger32Instance_;
        const auto ended = [this, instance] { return Logger32Ended(instance); };
        if (hung > window::kSendBoundMs) {
            WaitInCall(window::kSendBoundMs, ended);
            if (ended()) return platform::Delivery::NoWindow;
            logger32KnownHung_ = true;
            return platform::Delivery::NotAnswering;
        }
        WaitInCall(hung, ended);
        if (ended()) return platform::Delivery::NoWindow;
    }
    deliver();
    return platform::Delivery::Delivered;
}

std::uint32_t World::ProcessOf(WindowHandle window) {
    if (window.value == kBridgeWindow || window.value == kAboutWindow || ControlOf(window) ||
        (window.value >= kFirstControl && window.value < kFirstControl + window::kControlCount)) {
        return 1;
    }
    if (logger32_.Running() && window.value != 0 &&
        (window == logger32_.MainWindow() || window == logger32_.TextWindow())) {
        return static_cast<std::uint32_t>(100 + logger32Instance_);
    }
    return 0;
}

// Logger32Port: what the stand-in does to the bridge.
void World::Post(WindowHandle to, MessageId msg, WParam code, LParam value) {
    if (to.value != kBridgeWindow) return;
    messages_.push_back([this, msg, code, value] { DispatchToBridgeWindow(msg, code, value); });
}

void World::SetTextOf(WindowHandle to, const Text& text) {
    const auto box = ControlOf(to);
    if (!box) return;
    const Text arrived = text::FromAnsi(text::ToAnsi(text));
    // The box takes the text at once, as a window does while its thread
    // waits; the bridge's own handling of it waits until the wait is over.
    if (busy_ > 0) shownWhileWaiting_[*box] = arrived;
    IntoBridge([this, box, arrived] {
        // Unless a later text came meanwhile, the box shows what it took.
        if (const auto s = shownWhileWaiting_.find(*box);
            s != shownWhileWaiting_.end() && s->second == arrived) {
            shownWhileWaiting_.erase(s);
        }
        bridge_->TextArrived(*box, arrived);
    });
}

// A call into MixW2's object returns within 5 s or counts as failed; the
// bridge waits meanwhile and handles nothing of its own. A call into a
// MixW2 ended during the call fails.
bool World::MixWCallReturns() {
    const std::int64_t hung = mixwHungUntil_ - now_;
    if (hung <= 0) return true;
    // A call that expired still waits inside MixW2 (on the bridge's call
    // thread): until it returns, later calls fail at once.
    if (now_ < mixwCallStuckUntil_) return false;
    if (hung > window::kCallBoundMs) {
        WaitInCall(window::kCallBoundMs);
        mixwCallStuckUntil_ = mixwHungUntil_;
        return false;
    }
    WaitInCall(hung);
    return mixw_.Running() && mixwHungUntil_ <= now_;
}

// --- MixW2 ----------------------------------------------------------------------

std::unique_ptr<platform::Automation> World::GetActiveObject(const Text& progId) {
    if (progId != mixw::kProgId) return nullptr;
    return mixw_.Object();
}

// Windows takes a thread that has taken no message for 5 s for hung: a send
// that may give up then gives up at once.
bool World::TakenForHung() const {
    return logger32_.Running() && now_ < logger32HungUntil_ &&
           now_ - logger32HangStart_ >= window::kTakenForHungMs;
}

// A DDE conversation starts with a broadcast every top-level window must
// answer, so the bridge first asks each other program's windows: a hung
// Logger32 gets half a second (none once Windows takes it for hung), and
// after it did not answer, connects find no conversation at once for 5 s.
bool World::ConnectProbeAnswers() {
    if (now_ < probeAgainAt_) return false;
    if (!logger32_.Running() || now_ >= logger32HungUntil_) return true;
    if (!TakenForHung())
        WaitInCall(std::min<std::int64_t>(window::kDdeProbeMs, logger32HungUntil_ - now_));
    if (now_ >= logger32HungUntil_ || !logger32_.Running()) return true;
    probeAgainAt_ = now_ + window::kDdeProbeAgainMs;
    return false;
}

platform::LinkStatus World::ActivateLink(const platform::LinkTarget& link) {
    // Each service and topic is one conversation, made with the first link.
    const std::string topic = text::AsciiLower(text::ToUtf8(link.service + u"|" + link.topic));
    if (mixw_.Running() && conversations_.count(topic) == 0) {
        if (!ConnectProbeAnswers()) return platform::LinkStatus::Unreachable;
        conversations_.insert(topic);
    }
    return mixw_.Advise(link, [this, link](const Text& value) {
        IntoBridge([this, link, value] { bridge_->LinkValueArrived(link, value); });
    });
}

}  // namespace linkwell::sim
