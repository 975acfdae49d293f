#include "scenario/mixw_standin.h"

#include "scenario/mixw_items.h"
#include "text/text.h"

namespace linkwell::scenario {

using text::Quote;

// The object the bridge holds; tied to the MixW2 run it was obtained from.
class MixWObject final : public platform::Automation {
public:
    MixWObject(MixWStandIn& mixw, std::uint64_t generation)
        : mixw_(mixw), generation_(generation) {}

    platform::CallStatus ExecuteMacros(const Text& macros) override {
        if (!Answered()) return platform::CallStatus::Failed;
        mixw_.trace_.Line("MIXW", "ExecuteMacros " + Quote(macros));
        return platform::CallStatus::Done;
    }
    platform::CallStatus SetQsoData(std::int16_t field, Text& value) override {
        if (!Answered()) return platform::CallStatus::Failed;
        mixw_.trace_.Line("MIXW", "SetQsoData " + std::to_string(field) + " " + Quote(value));
        return platform::CallStatus::Done;
    }
    platform::NumberResult FqA() override {
        if (!Answered()) return std::nullopt;
        return mixw_.fqa_;
    }
    platform::NumberResult AudioFq() override {
        if (!Answered()) return std::nullopt;
        return mixw_.audioFq_;
    }
    bool ServerGone() override { return gone_; }
    // A hung MixW2 is still there: the round trip does not wait for it.
    bool StillThere() override {
        if (!mixw_.Alive(generation_)) gone_ = true;
        return !gone_;
    }

private:
    // The call reaches the MixW2 run the object came from and returns in
    // time; a MixW2 ended while the call waited never returns it.
    bool Answered() {
        if (mixw_.Alive(generation_) && mixw_.beforeCall_ && !mixw_.beforeCall_()) return false;
        if (!mixw_.Alive(generation_)) {
            gone_ = true;
            return false;
        }
        return true;
    }

    MixWStandIn& mixw_;
    std::uint64_t generation_;
    bool gone_ = false;
};

namespace {

std::string Narrow(const Text& t) {
    std::string out;
    for (char16_t c : t) out += (c < 0x80) ? static_cast<char>(c) : '\x7f';
    return out;
}

}  // namespace

void MixWStandIn::Start() {
    running_ = true;
    ++generation_;
}

void MixWStandIn::SetItem(const std::string& item, const Text& value) {
    const auto key = text::AsciiLower(item);
    items_[key] = value;
    if (!running_) return;
    // Deliveries may make the bridge open no new link; copy to stay safe.
    const auto links = links_;
    for (const auto& link : links) {
        if (link.item == key && link.generation == generation_) link.deliver(value);
    }
}

bool MixWStandIn::LinksConnected() const {
    return std::all_of(links_.begin(), links_.end(),
                       [this](const Link& link) { return Alive(link.generation); });
}

std::unique_ptr<platform::Automation> MixWStandIn::Object() {
    if (!running_) return nullptr;
    return std::make_unique<MixWObject>(*this, generation_);
}

platform::LinkStatus MixWStandIn::Advise(const platform::LinkTarget& link,
                                         std::function<void(const Text&)> deliver) {
    const auto item = text::AsciiLower(Narrow(link.item));
    const MixWItem* known = FindMixWItem(item);
    if (!running_) return platform::LinkStatus::Unreachable;
    if (!SameName(Narrow(link.service), kMixWService) || known == nullptr ||
        !SameName(Narrow(link.topic), known->topic) || refused_.count(item) != 0) {
        return platform::LinkStatus::Refused;
    }
    links_.push_back({item, generation_, deliver});
    if (auto it = items_.find(item); it != items_.end()) deliver(it->second);
    return platform::LinkStatus::Active;
}

}  // namespace linkwell::scenario
