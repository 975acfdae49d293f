// linkwell.exe's command line. With no argument the bridge runs as it always
// has; `--trace FILE` (or `/trace FILE`) adds the field trace. Anything else
// is answered with how the program is used, and the program ends.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace linkwell::field_trace {

inline constexpr std::u16string_view kUsageTitle = u"Linkwell";
inline constexpr std::u16string_view kUsage =
    u"Usage: linkwell.exe [--trace FILE]\n"
    u"\n"
    u"--trace FILE (or /trace FILE) writes a field trace: what passes between "
    u"MixW2, Linkwell and Logger32, with the milliseconds since start, appended to "
    u"FILE (at 10 MB it is renamed to FILE.1 and a new one started).\n"
    u"\n"
    u"Without arguments Linkwell writes nothing.";

struct CommandLine {
    // Set when the arguments are not understood: show kUsage and end.
    bool showUsage = false;
    std::optional<std::u16string> tracePath;
};

// The arguments after the program's name.
[[nodiscard]] CommandLine ParseCommandLine(const std::vector<std::u16string>& args);

}  // namespace linkwell::field_trace
