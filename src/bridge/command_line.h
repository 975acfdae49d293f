// linkwell.exe's command line. With no argument the bridge runs as it always
// has; `--trace FILE` (or `/trace FILE`) adds the field trace, `--udp
// HOST:PORT` (or `/udp`) the announcements to WSJT-X listeners. Anything
// else is answered with how the program is used, and the program ends.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace linkwell {

inline constexpr std::u16string_view kUsageTitle = u"Linkwell";
inline constexpr std::u16string_view kUsage =
    u"Usage: linkwell.exe [--trace FILE] [--udp HOST:PORT]\n"
    u"\n"
    u"--trace FILE (or /trace FILE) writes a field trace: what passes between "
    u"MixW2, Linkwell and Logger32, with the milliseconds since start, appended to "
    u"FILE (at 10 MB it is renamed to FILE.1 and a new one started).\n"
    u"\n"
    u"--udp HOST:PORT (or /udp HOST:PORT) announces MixW's dial and mode and each "
    u"QSO logged, as WSJT-X does, to the programs listening there (a map, an award "
    u"tracker, a logger): HOST is an IPv4 address such as 127.0.0.1 or a multicast "
    u"group such as 224.0.0.1, PORT usually 2237.\n"
    u"\n"
    u"Without arguments Linkwell writes nothing and sends nothing.";
// Before kUsage when the --udp address is not one: the text given, quoted.
inline constexpr std::u16string_view kNotAnAddress = u"Not an address for --udp: ";

struct CommandLine {
    // Set when the arguments are not understood: show usageNote, then
    // kUsage, and end.
    bool showUsage = false;
    std::u16string usageNote;
    std::optional<std::u16string> tracePath;
    std::optional<platform::UdpAddress> udp;
};

// The arguments after the program's name.
[[nodiscard]] CommandLine ParseCommandLine(const std::vector<std::u16string>& args);

}  // namespace linkwell
