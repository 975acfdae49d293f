// The peer settings whose values are more than one word or number.
#include <charconv>
#include <optional>

#include "scenario/scenario.h"

namespace linkwell::scenario {

namespace {

// A whole decimal number from `lo` to `hi`, nothing around it.
std::optional<std::int64_t> Number(std::string_view text, std::int64_t lo, std::int64_t hi) {
    std::int64_t n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || n < lo || n > hi) {
        return std::nullopt;
    }
    return n;
}

// renew-at:MS1,MS2, MS1 before MS2.
bool ReadTextWindowRenewal(std::string_view value, PeerSettings& peers) {
    constexpr std::string_view kPrefix = "renew-at:";
    const auto comma = value.find(',');
    if (!value.starts_with(kPrefix) || comma == std::string_view::npos) return false;
    constexpr std::int64_t kMaxMs = 999999999;
    const auto closed = Number(value.substr(kPrefix.size(), comma - kPrefix.size()), 0, kMaxMs);
    const auto renewed = Number(value.substr(comma + 1), 0, kMaxMs);
    if (!closed || !renewed || *renewed <= *closed) return false;
    peers.textWindowClosedAt = closed;
    peers.textWindowRenewedAt = renewed;
    return true;
}

// non-ascii, or long:N with N from 60 to 1000.
bool ReadProfile(std::string_view value, PeerSettings& peers) {
    if (value == "non-ascii") {
        peers.profile = PeerSettings::Profile::NonAscii;
        return true;
    }
    constexpr std::string_view kLong = "long:";
    const auto length =
        value.starts_with(kLong) ? Number(value.substr(kLong.size()), 60, 1000) : std::nullopt;
    if (!length) return false;
    peers.profile = PeerSettings::Profile::Long;
    peers.notLoggedPathLength = static_cast<int>(*length);
    return true;
}

}  // namespace

bool ReadPeerSettingWithParts(const std::string& name, const std::string& value,
                              PeerSettings& peers, std::string& error) {
    if (name == "logger32-text-window") {
        if (!ReadTextWindowRenewal(value, peers)) {
            error = "logger32-text-window is renew-at:MS1,MS2, MS1 before MS2: " + value;
        }
        return true;
    }
    if (name == "profile") {
        if (!ReadProfile(value, peers))
            error = "profile is non-ascii or long:N (60 to 1000): " + value;
        return true;
    }
    return false;
}

}  // namespace linkwell::scenario
