#include "station/status.h"

#include <string>

#include "wsjtx/address.h"

namespace linkwell::station {

using platform::Text;
using window::ControlId;

namespace {

Text Count(std::size_t n, std::u16string_view one, std::u16string_view many) {
    const std::string digits = std::to_string(n);
    return Text(digits.begin(), digits.end()) + u' ' + Text(n == 1 ? one : many);
}

Text Kept(std::size_t n) {
    return Count(n, u"QSO kept", u"QSOs kept");
}

// The kept QSOs Logger32 may have logged before it went away.
Text Doubtful(const BridgeState& s) {
    Text names;
    for (const auto& l : s.kept.loggings) {
        if (!l.doubtful) continue;
        if (!names.empty()) names += u", ";
        names += l.name;
    }
    return names;
}

}  // namespace

Text StatusText(const BridgeState& s) {
    const std::size_t kept = s.kept.loggings.size();
    if (s.link.refused) return Text(kLogger32Elevated);
    if (kept > 0 && s.kept.unwritable) return Text(kFileUnwritable);
    if (s.kept.unwritable) return Text(kFileBehind);
    if (logger32::Away(s.link)) {
        if (kept == 0) return Text(kWaitingForLogger32);
        return u"Logger32 closed: " + Kept(kept);
    }
    if (s.link.pending) {
        if (kept == 0) return Text(kLogger32NotAnswering);
        return Text(kLogger32NotAnswering) + u": " + Kept(kept);
    }
    if (const Text doubtful = Doubtful(s); !doubtful.empty()) return doubtful + Text(kMayBeInLog);
    if (kept > 0) return Kept(kept) + u" for Logger32";
    if (s.mixw.away) return Text(kWaitingForMixWBack);
    if (s.udp.failing) {
        return Text(kUdpFailed) + wsjtx::AddressText(s.udp.settings->to) + Text(kUdpFailedEnd);
    }
    return Text(s.rig.logger32HasRig ? kLogger32Active : kMixWActive);
}

Text StartNote(const BridgeState& s) {
    const int left = s.kept.leftoverCount;
    const int unsaved = s.kept.unsavedCount;
    Text note;
    if (left > 0 || unsaved > 0) {
        note = Count(static_cast<std::size_t>(left + unsaved), u"QSO was", u"QSOs were") +
               u" not taken by Logger32: see ";
        if (left > 0) note += u"not-logged.adi";
        if (left > 0 && unsaved > 0) note += u" and ";
        if (unsaved > 0) note += u"not-logged-unsaved.adi";
    }
    if (s.kept.leftoverHeld) {
        if (!note.empty()) note += u"; ";
        note +=
            u"not-logged.adi is held by another program: Linkwell leaves it as it is until it "
            u"can read it";
    }
    if (!s.kept.movedAsideTo.empty()) {
        if (!note.empty()) note += u"; ";
        note += u"not-logged.adi was damaged: moved to " + s.kept.movedAsideTo;
    }
    return note;
}

void DrawStatus(BridgeState& s) {
    s.statusDrawn = StatusText(s);
    s.form.SetText(ControlId::StatusLine, s.statusDrawn);
}

void RedrawStatusIfChanged(BridgeState& s) {
    if (StatusText(s) != s.statusDrawn) DrawStatus(s);
}

void NoteOnStatusLine(BridgeState& s, const Text& note) {
    s.statusDrawn = StatusText(s);
    s.form.SetText(ControlId::StatusLine, note);
}

void ShowWaitingForMixW(BridgeState& s) {
    s.form.SetText(ControlId::StatusLine, Text(kWaitingForMixW));
}

void NoteTraceStopped(BridgeState& s, const Text& fileName) {
    s.form.SetText(ControlId::StatusLine, Text(kTraceStopped) + fileName);
}

}  // namespace linkwell::station
