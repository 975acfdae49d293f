// The trace's vocabulary: every kind of line a trace may hold, in one
// table. The field trace recorder writes its kinds through it, the replay
// reads them through it, and the comparison of two traces takes its
// channels from it. Plain data: the standard library only.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace linkwell::vocabulary {

enum class Kind {
    // What the bridge gives out.
    L32,
    Mixw,
    Box,
    Status,
    End,
    // What reaches the bridge, or what it met (the field trace).
    Session,
    Find,
    Object,
    Link,
    Dde,
    FqA,
    AudioFq,
    Decimal,
    L32Code,
    L32Text,
    Typed,
    Click,
    Ok,
    Close,
    EndSession,
    Left,
    Held,
    Failed,
    Timeout,
    Pending,
    Settled,
    Doubt,
    Gone,
    Refused,
    Answers,
    Links,
    Process,
    Waited,
    Watch,
    Tick,
    // What a scenario's players see of the bridge from outside.
    Ctrl,
    File,
    Bridge,
    Second,
    Udp,
};

enum class Direction {
    Outgoing,  // the bridge gives it out: a replay plays it again and compares it
    Incoming,  // it reached the bridge, or the bridge met it: a replay plays it
    Seen,      // the scenario trace's own: seen from outside, never in a field trace
};

// The paths outgoing and seen lines take: lines are compared in order
// within each.
inline constexpr std::string_view kPeersChannel = "Logger32 and MixW";
inline constexpr std::string_view kStatusChannel = "status line";
inline constexpr std::string_view kBoxChannel = "message boxes";
inline constexpr std::string_view kEndChannel = "end";
inline constexpr std::string_view kDumpChannel = "dumps";
inline constexpr std::string_view kFileChannel = "not-logged.adi";
inline constexpr std::string_view kBridgeChannel = "bridges";
inline constexpr std::string_view kUdpChannel = "UDP listeners";

// Every channel once, in the order a comparison reports them.
inline constexpr std::string_view kChannels[] = {kPeersChannel,  kStatusChannel, kBoxChannel,
                                                 kEndChannel,    kDumpChannel,   kFileChannel,
                                                 kBridgeChannel, kUdpChannel};

struct KindInfo {
    Kind kind;
    std::string_view name;
    Direction direction;
    std::string_view channel;  // empty: an incoming kind, compared nowhere
    std::string_view meaning;
};

inline constexpr KindInfo kKinds[] = {
    {Kind::L32, "L32", Direction::Outgoing, kPeersChannel,
     "a post, send or text to Logger32's windows"},
    {Kind::Mixw, "MIXW", Direction::Outgoing, kPeersChannel, "a call on MixW's object that worked"},
    {Kind::Box, "BOX", Direction::Outgoing, kBoxChannel, "a message box opened"},
    {Kind::Status, "STATUS", Direction::Outgoing, kStatusChannel, "the status line changed"},
    {Kind::End, "END", Direction::Outgoing, kEndChannel, "the bridge ended"},
    {Kind::Session, "SESSION", Direction::Incoming, "", "a run of the bridge starts its trace"},
    {Kind::Find, "FIND", Direction::Incoming, "", "the bridge looked for Logger32's window"},
    {Kind::Object, "OBJECT", Direction::Incoming, "", "the bridge asked for MixW's running object"},
    {Kind::Link, "LINK", Direction::Incoming, "", "a DDE link to MixW was opened, or not"},
    {Kind::Dde, "DDE", Direction::Incoming, "", "a DDE value from MixW arrived"},
    {Kind::FqA, "FQA", Direction::Incoming, "", "MixW's FqA read another value"},
    {Kind::AudioFq, "AUDIOFQ", Direction::Incoming, "", "MixW's AudioFq read another value"},
    {Kind::Decimal, "DECIMAL", Direction::Incoming, "",
     "the user's decimal separator read another value"},
    {Kind::L32Code, "L32CODE", Direction::Incoming, "",
     "a registered message of Logger32 reached the bridge"},
    {Kind::L32Text, "L32TEXT", Direction::Incoming, "",
     "Logger32 wrote a text into the bridge's Sent box"},
    {Kind::Typed, "TYPED", Direction::Incoming, "", "a box's text was changed by typing"},
    {Kind::Click, "CLICK", Direction::Incoming, "", "the operator clicked a button"},
    {Kind::Ok, "OK", Direction::Incoming, "", "the operator pressed OK on a message box"},
    {Kind::Close, "CLOSE", Direction::Incoming, "", "the operator closed the window"},
    {Kind::EndSession, "ENDSESSION", Direction::Incoming, "", "Windows ended the session"},
    {Kind::Left, "LEFT", Direction::Incoming, "", "not-logged.adi held a text an earlier run left"},
    {Kind::Held, "HELD", Direction::Incoming, "",
     "not-logged.adi could not be changed (another program held it), or could again"},
    {Kind::Failed, "FAILED", Direction::Incoming, "", "a call on MixW's object failed"},
    {Kind::Timeout, "TIMEOUT", Direction::Incoming, "", "the leaving notice to Logger32 gave up"},
    {Kind::Pending, "PENDING", Direction::Incoming, "",
     "a text to Logger32 was not taken within its bound and goes on"},
    {Kind::Settled, "SETTLED", Direction::Incoming, "", "a text that went on was taken or lost"},
    {Kind::Doubt, "DOUBT", Direction::Incoming, "",
     "Logger32's window went away after it may have begun a text"},
    {Kind::Gone, "GONE", Direction::Incoming, "", "a post or send to Logger32 found no window"},
    {Kind::Refused, "REFUSED", Direction::Incoming, "",
     "Windows refused a post or send to Logger32"},
    {Kind::Answers, "ANSWERS", Direction::Incoming, "", "a probe found Logger32 answering again"},
    {Kind::Links, "LINKS", Direction::Incoming, "", "MixW's DDE conversations ended"},
    {Kind::Process, "PROCESS", Direction::Incoming, "",
     "Logger32's window has no process any more"},
    {Kind::Waited, "WAITED", Direction::Incoming, "",
     "a send or a call kept the bridge waiting this long"},
    {Kind::Watch, "WATCH", Direction::Incoming, "",
     "the watch ticked, and what follows is what it met and did"},
    {Kind::Tick, "TICK", Direction::Incoming, "",
     "a timer of the window ticked, and what follows is what its tick did"},
    {Kind::Ctrl, "CTRL", Direction::Seen, kDumpChannel, "a dump of a control or a window"},
    {Kind::File, "FILE", Direction::Seen, kFileChannel,
     "not-logged.adi changed: how many QSO records it holds"},
    {Kind::Bridge, "BRIDGE", Direction::Seen, kBridgeChannel,
     "the bridge was killed, or its new copy started; its field trace is there or not"},
    {Kind::Second, "SECOND", Direction::Seen, kBridgeChannel,
     "what became of a second copy of the bridge"},
    {Kind::Udp, "UDP", Direction::Seen, kUdpChannel,
     "a datagram the bridge sent to the --udp address, with its fields"},
};

[[nodiscard]] constexpr const KindInfo& Info(Kind kind) {
    for (const auto& k : kKinds) {
        if (k.kind == kind) return k;
    }
    return kKinds[0];  // every Kind has its row (the vocabulary test checks)
}

[[nodiscard]] constexpr std::string_view Name(Kind kind) {
    return Info(kind).name;
}

// The kind a trace line names, if it is one of the table's.
[[nodiscard]] constexpr std::optional<Kind> KindNamed(std::string_view name) {
    for (const auto& k : kKinds) {
        if (k.name == name) return k.kind;
    }
    return std::nullopt;
}

[[nodiscard]] constexpr bool IsOutgoing(Kind kind) {
    return Info(kind).direction == Direction::Outgoing;
}

// Whether a trace line's kind is one the bridge gives out.
[[nodiscard]] constexpr bool IsOutgoing(std::string_view name) {
    const auto kind = KindNamed(name);
    return kind && IsOutgoing(*kind);
}

// The channel a line of this kind is compared in; empty for incoming kinds
// and for names that are no kind.
[[nodiscard]] constexpr std::string_view ChannelOf(std::string_view name) {
    const auto kind = KindNamed(name);
    return kind ? Info(*kind).channel : std::string_view();
}

// How many ms a line may come early or late when two traces are compared,
// unless said otherwise: real timers run late by about as much.
inline constexpr std::int64_t kToleranceMs = 400;

}  // namespace linkwell::vocabulary
