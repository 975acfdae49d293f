// Reading not-logged.adi as ADIF: whether a body holds whole records, so that nothing is written
// after a broken one.
#include "not_logged/not_logged.h"
#include "text/text.h"

namespace linkwell::not_logged {

using platform::Text;
using text::FindIgnoringCase;

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

}  // namespace linkwell::not_logged
