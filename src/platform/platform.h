// The operations the bridge logic needs of the window system, DDE and COM
// Automation. Two worlds implement them: the simulated one (src/sim) and the
// real Windows one (src/win32). Nothing here includes a Windows header.
//
// What crosses this boundary:
//  - texts are UTF-16 (Text); a world converts to the ANSI code page only
//    where a text leaves for another program (sendText) and back;
//  - window handles and message ids are plain numbers with the meaning
//    Windows gives them; a handle of 0 is "no window";
//  - nothing here throws on a failure of the outside programs: every call
//    that can fail says so in its result, marked [[nodiscard]].
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace linkwell::platform {

using Text = std::u16string;

// A native window handle. Only its low 32 bits are significant, as on Windows.
struct WindowHandle {
    std::uint64_t value = 0;
    [[nodiscard]] bool isNull() const { return value == 0; }
    friend bool operator==(WindowHandle, WindowHandle) = default;
};

using MessageId = std::uint32_t;  // a registered window message id
using WParam = std::uint64_t;
using LParam = std::int64_t;  // carries handles and signed 32-bit numbers
using LResult = std::int64_t;

// An opaque window procedure reference, as SetWindowLongPtr hands them out.
// 0 means "none".
struct WindowProc {
    std::uint64_t value = 0;
    [[nodiscard]] bool isNull() const { return value == 0; }
    friend bool operator==(WindowProc, WindowProc) = default;
};

// The result of a late-bound call on MixW's automation object. A call fails
// when MixW2 has closed (the server is gone, the call was cut), when it did
// not return within its bound, or when the member is unknown; nothing was
// delivered then.
enum class CallStatus { Done, Failed };

// What became of a message or text for another program's window.
enum class Delivery {
    Delivered,     // taken (a post: queued for the window)
    NoWindow,      // no such window: 0, or it was destroyed
    NotAnswering,  // the window's thread did not take it within the bound
    Refused,       // Windows refused it: the receiver runs with higher rights
    // A text still waiting for a window that did not take it within the
    // bound: the send goes on, and how it ended is reported later.
    Pending,
    // The window or its program went away after its thread had begun to
    // take messages from the sender: the text may have been taken (a
    // program killed inside its handler) or not. Never NoWindow then: a
    // text Logger32 may have logged must not be given to it again.
    InDoubt,
};

// A property read: a number, or nothing when the call failed.
using NumberResult = std::optional<double>;

// Why a call into the outside world failed, in that world's own words, for
// the field trace alone (the logic decides on the results above, never on
// this): the system's code (an HRESULT for MixW's object, GetLastError for
// files and windows, DdeGetLastError for links) and, when a call on MixW's
// object raised an exception, the exception's own code and text.
struct FailureReason {
    std::uint32_t code = 0;
    std::optional<std::uint32_t> exceptionCode;
    Text description;
    friend bool operator==(const FailureReason&, const FailureReason&) = default;
};

// MixW2's running automation object ("MixW2.Application"), called late-bound
// by member name. The object reference is released when this is destroyed.
class Automation {
public:
    virtual ~Automation() = default;
    [[nodiscard]] virtual CallStatus ExecuteMacros(const Text& macros) = 0;
    // The value is passed by reference, as MixW's member expects.
    [[nodiscard]] virtual CallStatus SetQsoData(std::int16_t field, Text& value) = 0;
    [[nodiscard]] virtual NumberResult FqA() = 0;
    [[nodiscard]] virtual NumberResult AudioFq() = 0;
    // The dial as the push reads it on every tick: FqA, then AudioFq, asked
    // only when FqA answered. A world whose calls cost a hand-off each makes
    // the two one unit of work, within one call's bound.
    struct Dial {
        NumberResult fqa;
        NumberResult audioFq;
    };
    [[nodiscard]] virtual Dial ReadDial() {
        Dial d;
        d.fqa = FqA();
        if (d.fqa) d.audioFq = AudioFq();
        return d;
    }
    // A call has failed because the server is gone (MixW2 closed or died):
    // this object will never answer again.
    [[nodiscard]] virtual bool ServerGone() = 0;
    // A cheap round trip to the server that changes nothing in MixW2: false
    // once the server is gone (ServerGone is then true). A server that does
    // not answer within the call's bound counts as there.
    [[nodiscard]] virtual bool StillThere() = 0;
    // Why the last call that failed failed, asked right after it; nullopt
    // when the world gives no reason (the simulated one, a call given up at
    // its bound).
    [[nodiscard]] virtual std::optional<FailureReason> LastFailure() { return std::nullopt; }
};

// A DDE client link of a text box: service, topic and item, as the box's
// link properties name them.
struct LinkTarget {
    Text service;
    Text topic;
    Text item;
};

// Refused: the server refused the item. Unreachable: no conversation could
// be had (the server is not there, or a program that must answer the
// connect did not), which may pass.
enum class LinkStatus { Active, Refused, Unreachable };

// not-logged.adi's text in its parts: the records an earlier run left,
// which may run to many megabytes, are held once and shared by every write
// instead of copied into each.
struct NotLoggedText {
    Text header;
    std::shared_ptr<const Text> earlier;  // null: none
    Text records;                         // this run's
    [[nodiscard]] bool HasEarlier() const { return earlier && !earlier->empty(); }
    [[nodiscard]] bool Empty() const { return header.empty() && records.empty() && !HasEarlier(); }
    // The file as it is written: the earlier records on lines of their own.
    [[nodiscard]] Text Whole() const {
        Text out = header;
        if (HasEarlier()) out += *earlier + u"\r\n";
        return out + records;
    }
};

// What became of a write of not-logged.adi.
enum class FileWrite { Done, Failed, Pending };

// Where the UDP announcements go: an IPv4 address (unicast, or a multicast
// group, which gets TTL 1 so that it stays on the local network) and a port.
struct UdpAddress {
    std::array<std::uint8_t, 4> ip{};
    std::uint16_t port = 0;
    [[nodiscard]] bool IsMulticast() const { return ip[0] >= 224 && ip[0] <= 239; }
    friend bool operator==(const UdpAddress&, const UdpAddress&) = default;
};

// The bridge's window procedures as the world knows them: the form's own
// procedure and the bridge's hook. The world routes messages for the bridge
// window through whichever is current.
class Platform {
public:
    virtual ~Platform() = default;

    // --- windows and messages -------------------------------------------
    [[nodiscard]] virtual WindowHandle FindWindowByTitle(const Text& title) = 0;
    [[nodiscard]] virtual MessageId RegisterMessage(const Text& name) = 0;
    // Asynchronous: Delivered once queued for the window.
    [[nodiscard]] virtual Delivery PostMessage(WindowHandle to, MessageId msg, WParam code,
                                               LParam value) = 0;
    // Synchronous send whose lParam is a reference to a 32-bit zero held by
    // the bridge (the leaving notice carries nothing else). Bounded like
    // SendText.
    [[nodiscard]] virtual Delivery SendMessageWithReference(WindowHandle to, MessageId msg,
                                                            WParam code) = 0;
    // WM_SETTEXT with the text in the system's ANSI code page (what the code
    // page cannot hold becomes "?"), sent from a thread of the world's own,
    // one text at a time. The bridge waits at most 3 s for it (its own
    // events held, the window served): Delivered, NoWindow or Refused once
    // settled within that bound. Pending when the window has not taken it
    // by then: the send goes on for as long as the window lives and its end
    // is reported once, through Bridge::TextSendEnded (Delivered when the
    // window took the text, NoWindow when the window or its program went
    // away before its thread took the sender's first message, InDoubt when
    // it went away later). While a send is pending, its window's thread counts as
    // not answering (a send to it with a reference gives NotAnswering at
    // once), and another SendText to any window gives NotAnswering without
    // sending. A send to one of the bridge's own boxes runs at once.
    [[nodiscard]] virtual Delivery SendText(WindowHandle to, const Text& text) = 0;
    // The process a window belongs to; 0 when there is no such window.
    [[nodiscard]] virtual std::uint32_t ProcessOf(WindowHandle window) = 0;
    // Replaces the bridge window's procedure, returning the one it replaces.
    [[nodiscard]] virtual WindowProc SetWindowProc(WindowHandle window, WindowProc proc) = 0;
    [[nodiscard]] virtual LResult CallWindowProc(WindowProc proc, WindowHandle window,
                                                 MessageId msg, WParam wParam, LParam lParam) = 0;
    // The procedure value that routes messages to the bridge's hook.
    [[nodiscard]] virtual WindowProc HookProcedure() = 0;
    virtual void MakeTopmost(WindowHandle window) = 0;

    // --- the thread -------------------------------------------------------
    // Blocks the bridge: none of its handlers runs meanwhile, and what
    // arrives for it waits and runs afterwards, in order. The window still
    // repaints and answers other programs. A close meanwhile runs the
    // bridge's close at once (an Ended wait never returns).
    virtual void Sleep(int milliseconds) = 0;
    // Modal, single OK button; keeps dispatching the bridge's messages
    // until the operator presses OK.
    virtual void MessageBox(const Text& text, const Text& title) = 0;
    // Ends the program at once, from any depth; no unload step runs.
    [[noreturn]] virtual void EndProgram() = 0;

    // --- timers: slot numbers are the bridge's own -------------------------
    // (Re)starts the count from zero; the world calls the bridge's tick
    // entry every interval until stopped.
    virtual void StartTimer(int slot, int intervalMs) = 0;
    virtual void StopTimer(int slot) = 0;

    // --- MixW2 -------------------------------------------------------------
    // The running object of the programmatic identifier, or null when it
    // cannot be obtained (not running, not registered).
    [[nodiscard]] virtual std::unique_ptr<Automation> GetActiveObject(const Text& progId) = 0;
    // Opens a hot link. Each value the server sends on it the world hands to
    // the bridge's LinkValueArrived entry with this target, only while the
    // bridge's thread is handling messages; the item's current value, when
    // the server has one, at once, inside this call: the bridge takes that
    // value for what MixW already held, not for a change.
    [[nodiscard]] virtual LinkStatus ActivateLink(const LinkTarget& link) = 0;
    // False once a conversation that carries the links has ended (the server
    // closed); true while none is open.
    [[nodiscard]] virtual bool LinksConnected() = 0;
    // Ends every link and its conversations; links activated later connect
    // anew (MixW2 was closed and may come back).
    virtual void CloseLinks() = 0;

    // --- the user's locale and clock -----------------------------------------
    [[nodiscard]] virtual Text DecimalSeparator() = 0;
    // Today's date in UTC as eight digits, YYYYMMDD.
    [[nodiscard]] virtual Text UtcDate() = 0;

    // --- the file of QSOs Logger32 did not take --------------------------------
    // not-logged.adi in the user's local application data folder
    // (%LOCALAPPDATA%\Linkwell\), as the operator should look for it.
    [[nodiscard]] virtual Text NotLoggedPath() = 0;
    // The file's text (read from the ANSI code page), or nullopt when there
    // is none or it cannot be read.
    [[nodiscard]] virtual std::optional<Text> ReadNotLogged() = 0;
    // Whether there is a not-logged.adi at all: one that is there but cannot
    // be read (another program holds it) must not be written over.
    [[nodiscard]] virtual bool NotLoggedThere() = 0;
    // Replaces the file whole: a new file, then a rename over the old one,
    // so that a crash never leaves it half-written; the text goes in the
    // ANSI code page. An empty text removes the file. Done or Failed (the
    // folder or the file cannot be written; nothing else changes then) once
    // settled. Pending when the world writes it from a thread of its own:
    // the newest text asked wins (one asked while a write is under way
    // replaces any not yet begun), and only the newest write's end is
    // reported, once, through Bridge::NotLoggedWritten, or taken by
    // FinishNotLoggedWrite.
    [[nodiscard]] virtual FileWrite WriteNotLogged(const NotLoggedText& content) = 0;
    // Waits until the newest text asked is written and returns whether it
    // was (the window served meanwhile, the bridge's events held); its end
    // is then not reported again.
    [[nodiscard]] virtual bool FinishNotLoggedWrite() = 0;
    // Runs `work` while the bridge waits as in a call into MixW2 (its events
    // held, the window served); a world may run it on a thread of its own,
    // so `work` touches nothing of the bridge's but the world's file reads
    // and what it was given.
    virtual void RunAside(const std::function<void()>& work) = 0;
    // Renames not-logged.adi to not-logged-YYYYMMDD-HHMMSS.adi beside it (the
    // time now, in UTC; "-2", "-3"... added while that name is taken), so that
    // a file the bridge cannot add to is kept as it was. The new file's name,
    // or nullopt when it cannot be moved (nothing changes then).
    [[nodiscard]] virtual std::optional<Text> MoveNotLoggedAside() = 0;
    // not-logged-unsaved.adi beside it: where the QSOs go that not-logged.adi
    // could not take when the bridge ends (another program held it). Read
    // and written as not-logged.adi is.
    [[nodiscard]] virtual Text UnsavedPath() = 0;
    [[nodiscard]] virtual std::optional<Text> ReadUnsaved() = 0;
    [[nodiscard]] virtual bool WriteUnsaved(const Text& content) = 0;

    // --- UDP datagrams, only when the operator asked for them (--udp) -------
    // None of these blocks. A world without sockets (the tests' fakes) keeps
    // the defaults: nothing opens.
    // A socket for datagrams to `to`; false when none can be had.
    [[nodiscard]] virtual bool OpenUdp(const UdpAddress& to) {
        (void)to;
        return false;
    }
    // One datagram to the address opened; false when it did not go (no
    // route, a full buffer): it is not tried again.
    [[nodiscard]] virtual bool SendUdp(const std::vector<std::uint8_t>& datagram) {
        (void)datagram;
        return false;
    }
    // A datagram that has arrived on the socket, oldest first; nullopt when
    // none waits. One larger than a datagram can be comes back cut short.
    [[nodiscard]] virtual std::optional<std::vector<std::uint8_t>> ReceiveUdp() {
        return std::nullopt;
    }
    virtual void CloseUdp() {}

    // --- why --------------------------------------------------------------
    // Why the last call above that failed failed (a post, send or text not
    // delivered, a link not active, a read or change of the files that did
    // not work, no object), asked right after it, or right after the bridge
    // heard of the end of a send or write that went on; nullopt when the
    // world gives no reason (the simulated one gives none).
    [[nodiscard]] virtual std::optional<FailureReason> LastFailure() { return std::nullopt; }
};

}  // namespace linkwell::platform
