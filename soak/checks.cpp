#include "soak/checks.h"

#include <array>
#include <cstdint>

namespace linkwell::soak {
namespace {

std::string Where(std::size_t at, const char* what) {
    return std::string(what) + " at unit " + std::to_string(at);
}

}  // namespace

std::optional<std::string> MalformedAdif(std::u16string_view text) {
    if (text == u"<EOR>") return std::nullopt;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] != u'<') return Where(i, "no '<' where a field should begin");
        const std::size_t tagStart = i + 1;
        std::size_t j = tagStart;
        while (j < text.size() && text[j] != u':' && text[j] != u'>') ++j;
        if (j >= text.size() || text[j] != u':') return Where(i, "a tag without ':'");
        if (j == tagStart) return Where(i, "an empty tag");
        const auto tag = text.substr(tagStart, j - tagStart);
        std::size_t k = j + 1;
        std::uint64_t length = 0;
        const std::size_t digitsStart = k;
        while (k < text.size() && text[k] >= u'0' && text[k] <= u'9') {
            length = length * 10 + static_cast<std::uint64_t>(text[k] - u'0');
            if (length > text.size()) return Where(i, "a length longer than the text");
            ++k;
        }
        if (k == digitsStart) return Where(i, "no length digits");
        if (k - digitsStart > 1 && text[digitsStart] == u'0')
            return Where(i, "a length with a leading zero");
        if (k >= text.size() || text[k] != u'>') return Where(i, "no '>' after the length");
        const std::size_t valueStart = k + 1;
        if (valueStart + length > text.size()) return Where(i, "a value shorter than its length");
        if (tag == u"APP_LOGQSO") {
            if (auto inner =
                    MalformedAdif(text.substr(valueStart, static_cast<std::size_t>(length)))) {
                return "inside APP_LOGQSO: " + *inner;
            }
        }
        i = valueStart + static_cast<std::size_t>(length);
    }
    if (text.empty()) return std::string("an empty text");
    return std::nullopt;
}

Text RecordOfBoxes(const window::Form& form) {
    using window::ControlId;
    struct Field {
        std::u16string_view tag;
        ControlId box;
    };
    static constexpr std::array<Field, 9> kFields = {{
        {u"CALL", ControlId::CallBox},
        {u"RST_RCVD", ControlId::RstRcvdBox},
        {u"RST_SENT", ControlId::RstSentBox},
        {u"QTH", ControlId::QthBox},
        {u"NAME", ControlId::NameBox},
        {u"COMMENT", ControlId::NotesBox},
        {u"GRIDSQUARE", ControlId::LocatorBox},
        {u"IOTA", ControlId::IotaBox},
        {u"QSL_VIA", ControlId::QslManagerBox},
    }};
    Text out;
    for (const auto& f : kFields) {
        const Text& value = form.GetText(f.box);
        const auto n = std::to_string(value.size());
        out += u'<';
        out += f.tag;
        out += u':';
        out.append(n.begin(), n.end());
        out += u'>';
        out += value;
    }
    return out;
}

}  // namespace linkwell::soak
