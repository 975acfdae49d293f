// MixW2 as the bridge sees it: a running automation object with the four
// members, and a DDE server "MixW" with the QSO and CAT items. It records
// the calls it receives; only the scenario changes its items and
// properties. Closing it fails every call on an object obtained before (the
// object then reports its server gone) and silences every link made before,
// also after it starts again.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "scenario/trace.h"
#include "text/text.h"

namespace linkwell::scenario {

using platform::Text;

class MixWStandIn {
public:
    explicit MixWStandIn(Trace& trace) : trace_(trace) {}

    // --- the scenario's actions ---------------------------------------------
    void Start();
    void Stop() { running_ = false; }
    // Item names are compared without regard to case.
    void SetItem(const std::string& item, const Text& value);
    void RefuseItem(const std::string& item) { refused_.insert(text::AsciiLower(item)); }
    void SetFqA(double hz) { fqa_ = hz; }
    void SetAudioFq(double hz) { audioFq_ = hz; }

    // --- the bridge's side -----------------------------------------------------
    // Null while MixW2 is not running.
    [[nodiscard]] std::unique_ptr<platform::Automation> Object();
    // `deliver` carries a value into the bridge's box.
    [[nodiscard]] platform::LinkStatus Advise(const platform::LinkTarget& link,
                                              std::function<void(const Text&)> deliver);
    // False once a link was made with a MixW2 run that has since closed.
    [[nodiscard]] bool LinksConnected() const;
    // The bridge ends its links.
    void DropLinks() { links_.clear(); }
    // Runs before each call on an object reaches MixW2; false: the call did
    // not return in time (the world decides how long it waited).
    void BeforeCall(std::function<bool()> gate) { beforeCall_ = std::move(gate); }

    [[nodiscard]] bool Running() const { return running_; }
    // The item's current value, when MixW has one (a DDE request answers it).
    [[nodiscard]] std::optional<Text> Item(const std::string& item) const {
        const auto it = items_.find(text::AsciiLower(item));
        if (it == items_.end()) return std::nullopt;
        return it->second;
    }

private:
    friend class MixWObject;
    struct Link {
        std::string item;
        std::uint64_t generation;
        std::function<void(const Text&)> deliver;
    };
    [[nodiscard]] bool Alive(std::uint64_t generation) const {
        return running_ && generation == generation_;
    }

    Trace& trace_;
    bool running_ = false;
    std::uint64_t generation_ = 0;
    double fqa_ = 0;
    double audioFq_ = 0;
    std::map<std::string, Text> items_;  // by lower-case name
    std::set<std::string> refused_;
    std::vector<Link> links_;
    std::function<bool()> beforeCall_;
};

}  // namespace linkwell::scenario
