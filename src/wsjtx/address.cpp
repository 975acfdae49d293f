#include "wsjtx/address.h"

#include <algorithm>
#include <string>

namespace linkwell::wsjtx {
namespace {

// A decimal number of 1 to 5 digits, at most `max`; no sign, no blank.
std::optional<unsigned> Number(std::u16string_view digits, unsigned max) {
    if (digits.empty() || digits.size() > 5) return std::nullopt;
    unsigned n = 0;
    for (const char16_t c : digits) {
        if (c < u'0' || c > u'9') return std::nullopt;
        n = n * 10 + static_cast<unsigned>(c - u'0');
    }
    if (n > max) return std::nullopt;
    return n;
}

}  // namespace

std::optional<platform::UdpAddress> ParseAddress(std::u16string_view text) {
    const auto colon = text.rfind(u':');
    if (colon == std::u16string_view::npos) return std::nullopt;
    const auto port = Number(text.substr(colon + 1), 65535);
    if (!port || *port == 0) return std::nullopt;
    platform::UdpAddress out;
    out.port = static_cast<std::uint16_t>(*port);
    std::u16string_view host = text.substr(0, colon);
    for (std::size_t i = 0; i < out.ip.size(); ++i) {
        const auto dot = i + 1 < out.ip.size() ? host.find(u'.') : host.size();
        if (dot == std::u16string_view::npos) return std::nullopt;
        const auto octet = Number(host.substr(0, dot), 255);
        if (!octet || dot > 3) return std::nullopt;
        out.ip[i] = static_cast<std::uint8_t>(*octet);
        host.remove_prefix(std::min(dot + 1, host.size()));
    }
    return out;
}

std::u16string AddressText(const platform::UdpAddress& address) {
    std::string out;
    for (const auto octet : address.ip) out += std::to_string(octet) + '.';
    out.back() = ':';
    out += std::to_string(address.port);
    return {out.begin(), out.end()};
}

}  // namespace linkwell::wsjtx
