// The field links as DDEML client hot links. One conversation per
// (service, topic), shared by every link on it: a second connect to the same
// pair from one DDEML instance is refused by some systems. Transactions use
// short time-outs, so a server that hangs or has gone never blocks the
// bridge for long; a server that has gone is noticed by the conversation's
// state, as no disconnect may come.
#pragma once

// clang-format off
#include <windows.h>
#include <ddeml.h>
// clang-format on

#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "platform/platform.h"
#include "win32/owned.h"

namespace linkwell::win32 {

// Receives each value the server sends on an active link.
using LinkSink = std::function<void(const platform::Text& value)>;

class DdeLinks {
public:
    DdeLinks() = default;
    ~DdeLinks();
    DdeLinks(const DdeLinks&) = delete;
    DdeLinks& operator=(const DdeLinks&) = delete;

    // `now` gets the item's current value, when the server has one: the
    // caller hands it on (the sink gets only what is sent later).
    [[nodiscard]] platform::LinkStatus Activate(const platform::LinkTarget& target, LinkSink sink,
                                                std::optional<platform::Text>& now);
    // False once a conversation that carries links has ended (the server
    // disconnected or has gone); true while none is open.
    [[nodiscard]] bool Connected();
    // Ends every link and conversation; later links connect anew.
    void CloseAll();
    // DDEML's error for the last Activate that was not Active; none when
    // DDEML was not asked (a window did not answer the probe).
    [[nodiscard]] std::optional<std::uint32_t> LastError() const { return lastError_; }

private:
    struct Link {
        HCONV conv;  // owned by conversations_
        DdeString item;
        LinkSink sink;
    };
    static HDDEDATA CALLBACK Callback(UINT type, UINT format, HCONV conv, HSZ hsz1, HSZ hsz2,
                                      HDDEDATA data, ULONG_PTR data1, ULONG_PTR data2);
    [[nodiscard]] HCONV Conversation(const platform::Text& service, const platform::Text& topic);
    [[nodiscard]] platform::Text Read(HDDEDATA data) const;
    void Deliver(HCONV conv, HSZ item, HDDEDATA data);
    void Forget(HCONV conv);

    // Why DDEML did not do what was asked: its own error, taken off it.
    void Failed() { lastError_ = DdeGetLastError(dde_.get()); }

    static DdeLinks* instance_;
    OwnedDdeInstance dde_;  // first: let go after the conversations and strings
    std::map<std::wstring, OwnedConversation> conversations_;  // by lower-case "service|topic"
    std::vector<Link> links_;
    bool ended_ = false;          // a conversation with links was disconnected
    ULONGLONG probeAgainAt_ = 0;  // no connect before (a window did not answer)
    std::optional<std::uint32_t> lastError_;
};

}  // namespace linkwell::win32
