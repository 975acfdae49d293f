// What MixW2's DDE server offers: its service, its two topics and their
// items, as mixw/protocol.h names them. The scenario language, the MixW
// stand-in and the Windows peers' DDE server take them from here; Windows
// compares them without regard to case.
#pragma once

#include <algorithm>
#include <array>
#include <iterator>
#include <string_view>

#include "mixw/protocol.h"
#include "text/text.h"

namespace linkwell::scenario {

inline constexpr std::string_view kMixWService = mixw::kService;
inline constexpr std::string_view kMixWTopics[] = {mixw::kQsoTopic, mixw::kCatTopic};

struct MixWItem {
    std::string_view topic;
    std::string_view name;
};

inline constexpr auto kMixWItems = [] {
    std::array<MixWItem, mixw::kFieldLinks.size()> items{};
    for (std::size_t i = 0; i < items.size(); ++i) {
        items[i] = {mixw::kFieldLinks[i].topic, mixw::kFieldLinks[i].item};
    }
    return items;
}();

[[nodiscard]] inline bool SameName(std::string_view a, std::string_view b) {
    return text::AsciiLower(a) == text::AsciiLower(b);
}

// The item of that name, or null when MixW has none.
[[nodiscard]] inline const MixWItem* FindMixWItem(std::string_view name) {
    const auto* it = std::find_if(std::begin(kMixWItems), std::end(kMixWItems),
                                  [&](const MixWItem& i) { return SameName(i.name, name); });
    return it == std::end(kMixWItems) ? nullptr : it;
}

}  // namespace linkwell::scenario
