#include "field_trace/command_line.h"

namespace linkwell::field_trace {
namespace {

bool IsTraceSwitch(std::u16string_view arg) {
    if (arg.size() < 2) return false;
    if (arg.substr(0, 2) == u"--") {
        arg.remove_prefix(2);
    } else if (arg[0] == u'/' || arg[0] == u'-') {
        arg.remove_prefix(1);
    } else {
        return false;
    }
    if (arg.size() != 5) return false;
    const std::u16string_view word = u"trace";
    for (std::size_t i = 0; i < 5; ++i) {
        char16_t c = arg[i];
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
        if (c != word[i]) return false;
    }
    return true;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::u16string>& args) {
    CommandLine out;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (!IsTraceSwitch(args[i]) || out.tracePath || i + 1 >= args.size() ||
            args[i + 1].empty()) {
            return {true, std::nullopt};
        }
        out.tracePath = args[++i];
    }
    return out;
}

}  // namespace linkwell::field_trace
