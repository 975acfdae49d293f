// What the UDP announcements hold: where they go and what was last said.
// Only udp/ writes it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "wsjtx/messages.h"

namespace linkwell::udp {

// The operator's --udp and what the Heartbeat says of this program.
struct Settings {
    platform::UdpAddress to;
    std::string version;
    std::string revision;
};

struct UdpState {
    // Set only with --udp: without it nothing here is ever touched.
    std::optional<Settings> settings;
    bool open = false;    // the socket was had, the Heartbeat began
    bool closed = false;  // the Close was sent (the bridge ends)
    std::uint32_t schema = wsjtx::kMaxSchema;
    unsigned watchTicks = 0;  // since the last Heartbeat
    // The last Status sent; nullopt before the first.
    std::optional<wsjtx::StatusFields> statusSent;
    // The socket could not be had, or the last send failed: the status
    // line says so (unless something about Logger32 or MixW2 comes first).
    bool failing = false;
};

}  // namespace linkwell::udp
