// Reading not-logged.adi as ADIF: its markers without regard to case, and
// whether a body holds whole records, so that nothing is written after a
// broken one.
#include "to_logger32/adif_records.h"

#include <algorithm>
#include <cctype>

#include "to_logger32/to_logger32.h"

namespace linkwell::to_logger32 {

using platform::Text;

std::size_t FindIgnoringCase(const Text& text, std::u16string_view what, std::size_t from) {
    const auto lower = [](char16_t c) {
        return c < 0x80 ? static_cast<char16_t>(std::tolower(static_cast<int>(c))) : c;
    };
    const auto it =
        std::search(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(), what.begin(),
                    what.end(), [&](char16_t a, char16_t b) { return lower(a) == lower(b); });
    return it == text.end() ? Text::npos : static_cast<std::size_t>(it - text.begin());
}

bool WholeAdifRecords(const Text& records) {
    const auto isEor = [&records](std::size_t open, std::size_t close) {
        return close - open == 4 && FindIgnoringCase(records, u"<EOR>", open) == open;
    };
    bool inRecord = false;
    for (std::size_t at = records.find(u'<'); at != Text::npos; at = records.find(u'<', at)) {
        const auto close = records.find(u'>', at);
        if (close == Text::npos) return false;
        if (isEor(at, close)) {
            inRecord = false;
            at = close + 1;
            continue;
        }
        // <TAG:LENGTH> or <TAG:LENGTH:TYPE>, and exactly LENGTH characters.
        const auto colon = records.find(u':', at);
        if (colon == Text::npos || colon > close || colon == at + 1) return false;
        std::size_t length = 0;
        auto i = colon + 1;
        for (; i < close && records[i] >= u'0' && records[i] <= u'9'; ++i) {
            length = length * 10 + static_cast<std::size_t>(records[i] - u'0');
            if (length > records.size()) return false;
        }
        if (i == colon + 1) return false;
        if (i < close &&
            (records[i] != u':' || i + 1 == close || records.find(u':', i + 1) < close)) {
            return false;
        }
        if (length > records.size() - close - 1) return false;
        at = close + 1 + length;
        inRecord = true;
    }
    return !inRecord;
}

std::size_t RecordCount(const Text& adif) {
    std::size_t count = 0;
    for (auto at = FindIgnoringCase(adif, u"<EOR>"); at != Text::npos;
         at = FindIgnoringCase(adif, u"<EOR>", at + 5)) {
        ++count;
    }
    return count;
}

}  // namespace linkwell::to_logger32
