// The simulated world's UDP socket: each datagram the bridge sends is a
// trace line of its own, "UDP Heartbeat ...", with the fields as on the wire.
#include <string>

#include "sim/world.h"
#include "wsjtx/messages.h"

namespace linkwell::sim {

void World::AnnounceOnUdp(const platform::UdpAddress& to) {
    // The simulated program has no release of its own: its Heartbeat names
    // the world, so that traces do not change with the version.
    bridge_->AnnounceOnUdp({to, "sim", ""});
}

bool World::OpenUdp(const platform::UdpAddress&) {
    udpOpen_ = udpReachable_;
    return udpOpen_;
}

bool World::SendUdp(const std::vector<std::uint8_t>& datagram) {
    if (!udpOpen_ || !udpReachable_) return false;
    const auto line = wsjtx::Describe(datagram);
    trace_.Line("UDP", line ? *line : "datagram of " + std::to_string(datagram.size()) + " bytes");
    return true;
}

std::optional<std::vector<std::uint8_t>> World::ReceiveUdp() {
    if (udpArrived_.empty()) return std::nullopt;
    auto datagram = std::move(udpArrived_.front());
    udpArrived_.pop_front();
    return datagram;
}

}  // namespace linkwell::sim
