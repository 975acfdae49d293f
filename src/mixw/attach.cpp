#include "mixw/attach.h"

#include "lifecycle/lifecycle.h"
#include "logger32/link.h"
#include "to_logger32/to_logger32.h"

namespace linkwell::mixw {

using platform::Text;
using window::ControlId;

namespace {

void OpenFieldLinks(Station& s) {
    for (const auto& link : kFieldLinks) {
        s.form.SetText(link.box, Text(link.placeholder));
        const auto& design = *window::Design(link.box).link;
        const platform::LinkTarget target{Text(design.service), Text(design.topic),
                                          Text(design.item)};
        const ControlId box = link.box;
        // A refused link leaves the box as it is; the others still open.
        (void)s.os.ActivateLink(target,
                                [&s, box](const Text& value) { s.form.SetText(box, value); });
    }
    to_logger32::ForgetCallSent(s);
    s.mixw.linksOpen = true;
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

void OnPushTick(Station& s) {
    // The tick runs only after start-up found both; one that has gone since
    // gets nothing until it is back.
    if (!Attached(s) || !logger32::Logger32Known(s)) return;
    if (!s.mixw.linksOpen) OpenFieldLinks(s);
    to_logger32::PushMixWToLogger32(s);
}

void Watch(Station& s) {
    if (s.mixw.away) {
        if (!TryAttach(s)) return;
        s.mixw.away = false;
        OpenFieldLinks(s);
        to_logger32::ForgetWhatWasSent(s);
        lifecycle::ShowStatus(s);
        return;
    }
    if (!Attached(s)) return;
    const bool gone = (s.mixw.object && s.mixw.object->ServerGone()) || !s.os.LinksConnected();
    if (!gone) return;
    // Nothing more goes to the old object or its conversations.
    s.mixw.object.reset();
    s.mixw.attached = false;
    s.mixw.away = true;
    s.os.CloseLinks();
    s.mixw.linksOpen = false;
    lifecycle::ShowStatus(s);
}

}  // namespace linkwell::mixw
