// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <mstcpip.h>
// clang-format on

#include "win32/udp_socket.h"

#ifndef SIO_UDP_CONNRESET
#define SIO_UDP_CONNRESET _WSAIOW(IOC_VENDOR, 12)
#endif

namespace linkwell::win32 {
namespace {

constexpr int kLargestDatagram = 65536;

sockaddr_in SocketAddress(const platform::UdpAddress& a) {
    sockaddr_in out{};
    out.sin_family = AF_INET;
    out.sin_port = htons(a.port);
    out.sin_addr.s_addr =
        htonl((static_cast<u_long>(a.ip[0]) << 24) | (static_cast<u_long>(a.ip[1]) << 16) |
              (static_cast<u_long>(a.ip[2]) << 8) | a.ip[3]);
    return out;
}

}  // namespace

std::unique_ptr<UdpSocket> UdpSocket::Open(const platform::UdpAddress& to) {
    std::unique_ptr<UdpSocket> out(new UdpSocket());
    out->to_ = to;
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return nullptr;
    out->started_ = true;
    out->socket_.reset(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    if (!out->socket_) return nullptr;
    const SOCKET s = out->socket_.get();
    // Never wait: a send either goes at once or is lost.
    u_long nonBlocking = 1;
    if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) return nullptr;
    // A port nobody listens on must not turn the next receive into an
    // error: the listeners come and go.
    BOOL report = FALSE;
    DWORD returned = 0;
    (void)WSAIoctl(s, SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &returned, nullptr,
                   nullptr);
    // A multicast group's datagrams stay on the local network.
    if (to.IsMulticast()) {
        const DWORD ttl = 1;
        if (setsockopt(s, IPPROTO_IP, IP_MULTICAST_TTL, reinterpret_cast<const char*>(&ttl),
                       sizeof ttl) != 0) {
            return nullptr;
        }
    }
    // Bound now, so that a server's answer can be read before the first send.
    sockaddr_in any{};
    any.sin_family = AF_INET;
    if (bind(s, reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0) return nullptr;
    return out;
}

UdpSocket::~UdpSocket() {
    socket_.reset();  // before Winsock's end
    if (started_) WSACleanup();
}

bool UdpSocket::Send(const std::vector<std::uint8_t>& datagram) {
    const sockaddr_in to = SocketAddress(to_);
    const int sent = sendto(socket_.get(), reinterpret_cast<const char*>(datagram.data()),
                            static_cast<int>(datagram.size()), 0,
                            reinterpret_cast<const sockaddr*>(&to), sizeof to);
    return sent == static_cast<int>(datagram.size());
}

std::optional<std::vector<std::uint8_t>> UdpSocket::Receive() {
    std::vector<std::uint8_t> buffer(kLargestDatagram);
    for (;;) {
        const int got = recv(socket_.get(), reinterpret_cast<char*>(buffer.data()),
                             static_cast<int>(buffer.size()), 0);
        if (got >= 0) {
            buffer.resize(static_cast<std::size_t>(got));
            return buffer;
        }
        const int error = WSAGetLastError();
        // Cut short: what fits is read, the reader makes what it can of it.
        if (error == WSAEMSGSIZE) return buffer;
        // An ICMP answer to an earlier send, where it is still reported.
        if (error == WSAECONNRESET) continue;
        return std::nullopt;
    }
}

}  // namespace linkwell::win32
