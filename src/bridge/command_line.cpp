#include "bridge/command_line.h"

#include "wsjtx/address.h"

namespace linkwell {
namespace {

// --WORD, -WORD or /WORD, in any letter case.
bool IsSwitch(std::u16string_view arg, std::u16string_view word) {
    if (arg.size() < 2) return false;
    if (arg.substr(0, 2) == u"--") {
        arg.remove_prefix(2);
    } else if (arg[0] == u'/' || arg[0] == u'-') {
        arg.remove_prefix(1);
    } else {
        return false;
    }
    if (arg.size() != word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        char16_t c = arg[i];
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
        if (c != word[i]) return false;
    }
    return true;
}

CommandLine Usage(std::u16string note = {}) {
    CommandLine out;
    out.showUsage = true;
    out.usageNote = std::move(note);
    return out;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::u16string>& args) {
    CommandLine out;
    bool udpGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const bool trace = IsSwitch(args[i], u"trace");
        const bool udp = IsSwitch(args[i], u"udp");
        if ((!trace && !udp) || i + 1 >= args.size() || args[i + 1].empty()) return Usage();
        const std::u16string& value = args[++i];
        if (trace) {
            if (out.tracePath) return Usage();
            out.tracePath = value;
            continue;
        }
        if (udpGiven) return Usage();
        udpGiven = true;
        out.udp = wsjtx::ParseAddress(value);
        if (!out.udp) return Usage(std::u16string(kNotAnAddress) + u'"' + value + u"\"\n\n");
    }
    return out;
}

}  // namespace linkwell
