#include "to_logger32/to_logger32.h"

#include <string>

namespace linkwell::to_logger32 {

using platform::Text;
using shell::Station;

void PushMixWToLogger32(Station&) {}

void Freq_Change(Station&) {}

void TextCommand_Change(Station&) {}

void CommandSend_Click(Station&) {}

Text AdifField(std::u16string_view prefix, const Text& value) {
    const std::string n = std::to_string(value.size());
    Text out(prefix);
    out.append(n.begin(), n.end());
    out += u'>';
    out += value;
    return out;
}

}  // namespace linkwell::to_logger32
