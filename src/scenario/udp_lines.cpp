#include "scenario/udp_lines.h"

#include "wsjtx/address.h"

namespace linkwell::scenario {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Pairs of hex digits; blanks between the pairs are allowed.
bool ReadHex(const std::string& hex, std::vector<std::uint8_t>& out) {
    int high = -1;
    for (const char c : hex) {
        if (c == ' ' && high < 0) continue;
        const int d = HexDigit(c);
        if (d < 0) return false;
        if (high < 0) {
            high = d;
        } else {
            out.push_back(static_cast<std::uint8_t>(high * 16 + d));
            high = -1;
        }
    }
    return high < 0;
}

}  // namespace

std::string ReadUdpLine(const std::vector<text::Token>& t, Action& a, Scenario& scenario,
                        bool& isAction) {
    isAction = true;
    if (t.size() == 2 && !t[1].quoted && (t[1].raw == "unreachable" || t[1].raw == "reachable")) {
        a.kind = t[1].raw == "reachable" ? ActionKind::UdpReachable : ActionKind::UdpUnreachable;
        return {};
    }
    if (t.size() == 3 && t[1].raw == "receive" && t[2].quoted) {
        act::Datagram d;
        if (!ReadHex(t[2].raw, d.bytes)) return "a datagram is pairs of hex digits";
        a.kind = ActionKind::UdpReceive;
        a.details = std::move(d);
        return {};
    }
    isAction = false;
    if (t.size() != 2) return "wrong number of arguments for udp";
    const auto address = wsjtx::ParseAddress(t[1].value);
    if (!address) return "not an address HOST:PORT: " + t[1].raw;
    if (scenario.udp) return "a second udp address";
    scenario.udp = address;
    return {};
}

}  // namespace linkwell::scenario
