#include "sim/replay_slots.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "text/text.h"

namespace linkwell::sim {

void ReplaySlots::Add(std::int64_t time, std::string text, std::int64_t place) {
    // Setting-up actions at 0 come first, in the order they were made.
    const int order = time == 0 && text.rfind('#', 0) != 0 ? 0 : 1;
    if (order == 1 && place == Next() && text.rfind('#', 0) != 0) lastEvent_ = Event{seq_, time};
    actions_.push_back({time, order, place, std::move(text)});
    ++seq_;
}

std::int64_t ReplaySlots::Latest(std::int64_t since) const {
    for (const auto& a : actions_) since = std::max(since, a.time);
    return since;
}

std::string ReplaySlots::Scenario(std::int64_t end) {
    std::stable_sort(actions_.begin(), actions_.end(), [](const Action& a, const Action& b) {
        if (a.time != b.time) return a.time < b.time;
        if (a.order != b.order) return a.order < b.order;
        return a.place < b.place;
    });
    std::ostringstream out;
    std::int64_t clock = 0;
    for (const auto& a : actions_) {
        if (a.time > clock) {
            out << "at " << a.time << '\n';
            clock = a.time;
        }
        out << a.text << '\n';
    }
    if (end > clock) out << "at " << end << '\n';
    return out.str();
}

std::string Word(const field_trace::TraceLine& t, std::size_t i) {
    return i < t.details.size() ? t.details[i].raw : std::string();
}

std::string String(const field_trace::TraceLine& t, std::size_t i) {
    return i < t.details.size() ? text::Quote(t.details[i].value) : std::string("\"\"");
}

std::int64_t After(const field_trace::TraceLine& t, std::size_t i) {
    if (Word(t, i) != "after") return 0;
    return std::strtoll(Word(t, i + 1).c_str(), nullptr, 10) + 1;
}

std::string Where(const field_trace::TraceLine& t, std::string_view why) {
    return "line " + std::to_string(t.line) + " (" + field_trace::Format(t) +
           "): " + std::string(why);
}

}  // namespace linkwell::sim
