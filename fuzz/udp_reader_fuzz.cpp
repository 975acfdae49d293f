// Feeds arbitrary datagrams to what the bridge reads of the UDP listeners,
// alone and through the bridge's watch tick, and checks what must hold
// whatever arrives:
//  - no read outside the datagram (the sanitizers), no crash, no box;
//  - only a whole Heartbeat settles a schema, and that schema is 2 or 3 and
//    never above the one in use;
//  - the bridge's schema after the tick is one of those, and what it sends
//    next carries it.
//
// Input: the datagram's bytes, as they arrived.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "support/fake_station.h"
#include "udp/announce.h"
#include "wsjtx/messages.h"

namespace {

using linkwell::testing::FakeWorld;
namespace wsjtx = linkwell::wsjtx;

void Require(bool holds) {
    if (!holds) std::abort();
}

FakeWorld& Started() {
    static FakeWorld* w = [] {
        auto* world = new FakeWorld();
        world->bridge.AnnounceOnUdp({{{127, 0, 0, 1}, 2237}, "fuzz", ""});
        world->StartAndLink();
        return world;
    }();
    return *w;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> datagram(data, data + size);
    for (const std::uint32_t current : {2u, 3u}) {
        if (const auto schema = wsjtx::SettledSchema(datagram, current)) {
            Require(*schema >= wsjtx::kMinSchema && *schema <= current);
            Require(size >= 16);  // magic, schema, type and an Id at least
        }
    }
    if (const auto line = wsjtx::Describe(datagram)) Require(!line->empty());

    auto& w = Started();
    const auto before = w.S().udp.schema;
    w.udpArriving.push_back(datagram);
    w.udpSent.clear();
    w.log.clear();
    w.udpLog.clear();
    // The tick that ends fifteen since the last Heartbeat sends the next.
    w.S().udp.watchTicks = linkwell::udp::kHeartbeatTicks - 1;
    w.bridge.TimerTick(linkwell::window::kWatchTimerSlot);
    const auto after = w.S().udp.schema;
    Require(after >= wsjtx::kMinSchema && after <= before);
    Require(w.udpArriving.empty());
    Require(w.udpSent.size() == 1);
    const auto& heartbeat = w.udpSent.back();
    Require(heartbeat.size() > 8 && heartbeat[7] == after);
    Require(w.log.empty() || w.log.back().rfind("box", 0) != 0);
    // Each run starts from schema 3 again, as a new listener would find it.
    if (after != wsjtx::kMaxSchema) {
        w.S().udp.schema = wsjtx::kMaxSchema;
    }
    return 0;
}
