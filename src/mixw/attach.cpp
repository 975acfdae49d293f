#include "mixw/attach.h"

#include <algorithm>
#include <utility>

namespace linkwell::mixw {

using platform::Text;
using window::ControlId;

namespace {

// The service, topic and item a link of the thirteen names.
platform::LinkTarget TargetOf(const FieldLink& link) {
    return {DdeName(link.service), DdeName(link.topic), DdeName(link.item)};
}

// The box's link; a box with no conversation stays among the links not
// made, for the watch to try again. A refused link leaves the box as it is
// (it never gets a value: the box's text counts as MixW's); the others
// still open. The item's current value comes inside the activation.
void OpenLink(BridgeState& s, ControlId box) {
    const auto& link = *std::find_if(kFieldLinks.begin(), kFieldLinks.end(),
                                     [box](const FieldLink& l) { return l.box == box; });
    const auto target = TargetOf(link);
    s.mixw.linkOpening = box;
    const auto status = s.platform.ActivateLink(target);
    s.mixw.linkOpening.reset();
    if (status == platform::LinkStatus::Unreachable) return;
    auto& waiting = s.mixw.linksNotMade;
    waiting.erase(std::remove(waiting.begin(), waiting.end(), box), waiting.end());
}

void OpenFieldLinks(BridgeState& s) {
    s.mixw.linksOpenedOnce = true;
    s.mixw.linksOpenedNews = true;
    s.mixw.linksNotMade.clear();
    for (const auto& link : kFieldLinks) s.mixw.linksNotMade.push_back(link.box);
    for (const auto& link : kFieldLinks) {
        s.form.SetText(link.box, Text(link.placeholder));
        OpenLink(s, link.box);
    }
    s.mixw.linksOpen = true;
}

// Links that found no conversation get another try; those refused or
// opened now are not tried again.
void RetryUnreachableLinks(BridgeState& s) {
    const auto waiting = s.mixw.linksNotMade;
    for (const ControlId box : waiting) OpenLink(s, box);
}

}  // namespace

bool TryAttach(BridgeState& s) {
    s.mixw.attachedOrTrying = true;
    if (auto object = s.platform.GetActiveObject(Text(kProgId))) {
        s.mixw.object = std::move(object);
        return true;
    }
    s.mixw.attachedOrTrying = false;
    return false;
}

std::optional<ControlId> BoxOfLink(const platform::LinkTarget& link) {
    for (const auto& field : kFieldLinks) {
        const auto target = TargetOf(field);
        if (target.service == link.service && target.topic == link.topic &&
            target.item == link.item) {
            return field.box;
        }
    }
    return std::nullopt;
}

bool TakeLinksOpened(BridgeState& s) {
    return std::exchange(s.mixw.linksOpenedNews, false);
}

bool TakeCameBack(BridgeState& s) {
    return std::exchange(s.mixw.cameBackNews, false);
}

void Release(BridgeState& s) {
    s.mixw.object.reset();
}

bool OnPushTick(BridgeState& s) {
    // The tick runs only after start-up found both; one that has gone since
    // gets nothing until it is back.
    if (!Attached(s) || s.link.logger32Window.isNull()) return false;
    if (!s.mixw.linksOpen) OpenFieldLinks(s);
    return true;
}

void Watch(BridgeState& s) {
    if (s.mixw.away) {
        if (!TryAttach(s)) return;
        s.mixw.away = false;
        s.mixw.cameBackNews = true;
        OpenFieldLinks(s);
        return;
    }
    if (!Attached(s)) return;
    // Without links (Logger32 took the rig before they opened) nothing else
    // would notice a MixW2 that closed: its object is asked directly.
    const bool gone = (s.mixw.object && s.mixw.object->ServerGone()) ||
                      !s.platform.LinksConnected() ||
                      (!s.mixw.linksOpen && s.mixw.object && !s.mixw.object->StillThere());
    if (!gone) {
        if (s.mixw.linksOpen) RetryUnreachableLinks(s);
        return;
    }
    // Nothing more goes to the old object or its conversations.
    s.mixw.object.reset();
    s.mixw.attachedOrTrying = false;
    s.mixw.away = true;
    s.platform.CloseLinks();
    // The boxes keep what MixW last gave them; those whose link was not made
    // still hold their placeholders.
    s.mixw.linksOpen = false;
}

}  // namespace linkwell::mixw
