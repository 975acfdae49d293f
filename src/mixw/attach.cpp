#include "mixw/attach.h"

#include <utility>

namespace linkwell::mixw {

using platform::Text;
using window::ControlId;

namespace {

// The box's link; a box with no conversation is kept for the watch to try
// again. A refused link leaves the box as it is; the others still open.
platform::LinkStatus OpenLink(Station& s, ControlId box) {
    const auto& design = *window::Design(box).link;
    const platform::LinkTarget target{Text(design.service), Text(design.topic), Text(design.item)};
    return s.os.ActivateLink(target,
                             [&s, box](const Text& value) { s.linkValueArrived(box, value); });
}

void OpenFieldLinks(Station& s) {
    s.mixw.unreachable.clear();
    for (const auto& link : kFieldLinks) {
        s.form.SetText(link.box, Text(link.placeholder));
        if (OpenLink(s, link.box) == platform::LinkStatus::Unreachable) {
            s.mixw.unreachable.push_back(link.box);
        }
    }
    ++s.mixw.linkOpenings;
    s.mixw.linksOpen = true;
}

// Links that found no conversation get another try; those refused or
// opened now are not tried again.
void RetryUnreachableLinks(Station& s) {
    auto waiting = std::exchange(s.mixw.unreachable, {});
    for (const ControlId box : waiting) {
        if (OpenLink(s, box) == platform::LinkStatus::Unreachable) {
            s.mixw.unreachable.push_back(box);
        }
    }
}

}  // namespace

bool TryAttach(Station& s) {
    s.mixw.attached = true;
    if (auto object = s.os.GetActiveObject(Text(kProgId))) {
        s.mixw.object = std::move(object);
        return true;
    }
    s.mixw.attached = false;
    return false;
}

void Release(Station& s) {
    s.mixw.object.reset();
}

bool OnPushTick(Station& s) {
    // The tick runs only after start-up found both; one that has gone since
    // gets nothing until it is back.
    if (!Attached(s) || s.link.logger32Window.isNull()) return false;
    if (!s.mixw.linksOpen) OpenFieldLinks(s);
    return true;
}

void Watch(Station& s) {
    if (s.mixw.away) {
        if (!TryAttach(s)) return;
        s.mixw.away = false;
        ++s.mixw.returns;
        OpenFieldLinks(s);
        return;
    }
    if (!Attached(s)) return;
    // Without links (Logger32 took the rig before they opened) nothing else
    // would notice a MixW2 that closed: its object is asked directly.
    const bool gone = (s.mixw.object && s.mixw.object->ServerGone()) || !s.os.LinksConnected() ||
                      (!s.mixw.linksOpen && s.mixw.object && !s.mixw.object->StillThere());
    if (!gone) {
        if (s.mixw.linksOpen) RetryUnreachableLinks(s);
        return;
    }
    // Nothing more goes to the old object or its conversations.
    s.mixw.object.reset();
    s.mixw.attached = false;
    s.mixw.away = true;
    s.os.CloseLinks();
    s.mixw.linksOpen = false;
    s.mixw.unreachable.clear();
}

}  // namespace linkwell::mixw
