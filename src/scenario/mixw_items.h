// What MixW2's DDE server offers: its service, its two topics and their
// items. The scenario language, the MixW stand-in and the Windows peers'
// DDE server take them from here; Windows compares them without regard to
// case.
#pragma once

#include <algorithm>
#include <cctype>
#include <iterator>
#include <string_view>

namespace linkwell::scenario {

inline constexpr std::string_view kMixWService = "MixW";
inline constexpr std::string_view kMixWTopics[] = {"QSO", "CAT"};

struct MixWItem {
    std::string_view topic;
    std::string_view name;
};

inline constexpr MixWItem kMixWItems[] = {
    {"QSO", "Call"},    {"QSO", "RstRcv"}, {"QSO", "RstSnt"}, {"QSO", "Name"}, {"QSO", "Command"},
    {"QSO", "Mode"},    {"QSO", "qth"},    {"QSO", "time"},   {"QSO", "IOTA"}, {"QSO", "Loc"},
    {"QSO", "Manager"}, {"QSO", "Notes"},  {"CAT", "khz"}};

[[nodiscard]] inline bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// The item of that name, or null when MixW has none.
[[nodiscard]] inline const MixWItem* FindMixWItem(std::string_view name) {
    const auto* it = std::find_if(std::begin(kMixWItems), std::end(kMixWItems),
                                  [&](const MixWItem& i) { return SameName(i.name, name); });
    return it == std::end(kMixWItems) ? nullptr : it;
}

}  // namespace linkwell::scenario
