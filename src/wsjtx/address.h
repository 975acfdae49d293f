// The listener's address as the operator writes it: HOST:PORT, HOST an IPv4
// address in dotted decimal (a multicast group too), PORT 1 to 65535.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace linkwell::wsjtx {

[[nodiscard]] std::optional<platform::UdpAddress> ParseAddress(std::u16string_view text);
// "127.0.0.1:2237"
[[nodiscard]] std::u16string AddressText(const platform::UdpAddress& address);

}  // namespace linkwell::wsjtx
