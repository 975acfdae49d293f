// The Windows world's UDP socket for the announcements: made only with
// --udp, non-blocking, its Winsock use (WSAStartup ... WSACleanup) owned by
// this object and ended with it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/platform.h"
#include "win32/owned.h"

namespace linkwell::win32 {

class UdpSocket {
public:
    // Null when Winsock or a socket cannot be had.
    [[nodiscard]] static std::unique_ptr<UdpSocket> Open(const platform::UdpAddress& to);
    ~UdpSocket();
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    // False when it did not go at once (no route, a full buffer).
    [[nodiscard]] bool Send(const std::vector<std::uint8_t>& datagram);
    // A waiting datagram (cut to 64 KiB), or nullopt when none waits.
    [[nodiscard]] std::optional<std::vector<std::uint8_t>> Receive();

private:
    UdpSocket() = default;
    OwnedSocket socket_;
    bool started_ = false;  // WSAStartup succeeded
    platform::UdpAddress to_;
};

}  // namespace linkwell::win32
