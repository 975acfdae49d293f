// Texts to Logger32, one at a time and in order. A send that Logger32 does
// not take within its bound is not given up: the world's sender goes on
// until the window takes the text or goes away, so a logging is settled
// exactly (a timeout cannot say whether Logger32 will still take the text,
// and guessing either way logs a QSO twice or not at all).
#include "logger32/outbox.h"

#include <algorithm>

namespace linkwell::logger32 {

namespace {

bool IsState(TextKind kind) {
    return kind == TextKind::Mode || kind == TextKind::Frequency || kind == TextKind::Record;
}

void Settle(BridgeState& s, const Outgoing& item, Fate fate) {
    if (item.post || item.kind != TextKind::Logging) return;
    s.link.settled.push_back({item.logging, fate});
}

Fate FateOf(platform::Delivery d) {
    return d == platform::Delivery::InDoubt ? Fate::InDoubt : Fate::NotTaken;
}

// Logger32's text window took the text: a logging is followed by its codes.
void Taken(BridgeState& s, const Outgoing& item) {
    Settle(s, item, Fate::Taken);
    if (item.kind == TextKind::Logging) {
        PostNow(s, code::kLogged1, 1);
        PostNow(s, code::kLogged2, 1);
    }
}

// The text window is gone, closed by a Logger32 that runs on or with it:
// nothing more goes to the old handle, and the window Logger32 names next is
// told everything afresh (the kept loggings first). A Logger32 that closed
// altogether is the watch's to find.
void TextWindowClosed(BridgeState& s) {
    s.link.textWindow = {};
    s.link.textWindowLost = true;
    DropOutbox(s);
}

// What one send came to.
Handed Sent(BridgeState& s, const Outgoing& item, platform::Delivery d) {
    NoteDelivery(s, d);
    switch (d) {
        case platform::Delivery::Delivered: Taken(s, item); return Handed::Taken;
        case platform::Delivery::Pending: s.link.pending = item; return Handed::Queued;
        default:
            Settle(s, item, FateOf(d));
            if (d == platform::Delivery::NoWindow || d == platform::Delivery::InDoubt) {
                TextWindowClosed(s);
            }
            return Handed::NotSent;
    }
}

// A state replaces the same state waiting since the last event (a logging
// or command): what Logger32 shows for each logging stays what MixW showed.
void Enqueue(BridgeState& s, Outgoing item) {
    auto& box = s.link.outbox;
    if (!item.post && IsState(item.kind)) {
        for (auto it = box.rbegin(); it != box.rend(); ++it) {
            if (!it->post && !IsState(it->kind)) break;
            if (!it->post && it->kind == item.kind) {
                it->text = std::move(item.text);
                return;
            }
        }
    }
    box.push_back(std::move(item));
}

bool Busy(const BridgeState& s) {
    return s.link.pending.has_value() || !s.link.outbox.empty();
}

// Sends what waits, in order, until a send is left pending.
void Pump(BridgeState& s) {
    while (!s.link.pending && !s.link.outbox.empty() && !s.start.closing) {
        Outgoing item = std::move(s.link.outbox.front());
        s.link.outbox.pop_front();
        if (item.post) {
            PostNow(s, item.code, item.value);
        } else if (s.link.textWindow.isNull()) {
            Settle(s, item, Fate::NotTaken);
        } else {
            (void)Sent(s, item, s.platform.SendText(s.link.textWindow, item.text));
        }
    }
}

}  // namespace

void PostToLogger32(BridgeState& s, WParam code, LParam value) {
    if (Busy(s) && !s.start.closing) {
        Outgoing item;
        item.post = true;
        item.code = code;
        item.value = value;
        Enqueue(s, std::move(item));
        return;
    }
    PostNow(s, code, value);
}

Handed SendTextToLogger32(BridgeState& s, TextKind kind, const Text& text, std::uint64_t logging) {
    Outgoing item;
    item.kind = kind;
    item.text = text;
    item.logging = logging;
    if (s.link.textWindow.isNull() || s.start.closing) {
        Settle(s, item, Fate::NotTaken);
        return Handed::NotSent;
    }
    if (Busy(s)) {
        Enqueue(s, std::move(item));
        return Handed::Queued;
    }
    return Sent(s, item, s.platform.SendText(s.link.textWindow, text));
}

void OnSendEnded(BridgeState& s, platform::Delivery result) {
    if (!s.link.pending) return;
    const Outgoing item = std::move(*s.link.pending);
    s.link.pending.reset();
    if (result == platform::Delivery::Delivered) {
        Taken(s, item);
    } else {
        // The text window went away with the text: what waited for it goes
        // no more, and a new one must be told everything afresh.
        Settle(s, item, FateOf(result));
        s.link.textWindow = {};
        s.link.textWindowLost = true;
        DropOutbox(s);
        // Ended with its program (Task Manager): lost now, not at the watch.
        if (Logger32Known(s) && s.platform.ProcessOf(s.link.logger32Window) == 0) {
            Advance(s, HandshakeEvent::WindowGone);
        }
    }
    Pump(s);
}

void DropOutbox(BridgeState& s) {
    for (const auto& item : s.link.outbox) Settle(s, item, Fate::NotTaken);
    s.link.outbox.clear();
}

std::vector<SettledLogging> TakeSettled(BridgeState& s) {
    return std::exchange(s.link.settled, {});
}

bool TakeAnswersAgain(BridgeState& s) {
    return std::exchange(s.link.answersAgain, false);
}

}  // namespace linkwell::logger32
