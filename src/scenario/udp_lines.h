// The scenario's `udp` lines, read apart from the rest of the language:
//   udp HOST:PORT          the bridge runs with --udp HOST:PORT (whole run)
//   udp unreachable        from now the datagrams cannot be sent
//   udp reachable          ... and can again
//   udp receive "HEX"      a datagram reaches the bridge's socket
#pragma once

#include <string>
#include <vector>

#include "scenario/scenario.h"
#include "text/tokens.h"

namespace linkwell::scenario {

// Fills `a` for an action, or `scenario.udp` for the address; "" when the
// line is one of these, else what is wrong with it.
[[nodiscard]] std::string ReadUdpLine(const std::vector<text::Token>& t, Action& a,
                                      Scenario& scenario, bool& isAction);

}  // namespace linkwell::scenario
