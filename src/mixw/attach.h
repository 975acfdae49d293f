// The MixW attachment: MixW2's automation object, the thirteen DDE field
// links that make the bridge's boxes follow MixW's QSO and CAT items, and
// the push tick.
//
// A failed call on MixW's object (MixW2 has closed) sends nothing and skips
// the rest of the handler that made it; a refused link leaves its box with
// its last text while the other links still open.
#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "station/station.h"
#include "window/controls.h"

namespace linkwell::mixw {

inline constexpr std::u16string_view kProgId = u"MixW2.Application";

struct FieldLink {
    window::ControlId box;
    std::u16string_view placeholder;
};
// In the order in which the first push tick activates them.
inline constexpr std::array<FieldLink, 13> kFieldLinks = {{
    {window::ControlId::CallBox, u"Call"},
    {window::ControlId::RstRcvdBox, u"RST rcv"},
    {window::ControlId::RstSentBox, u"RST snt"},
    {window::ControlId::DialFreqBox, u"Frequency"},
    {window::ControlId::NameBox, u"Name"},
    {window::ControlId::MixWCommandBox, u"Command"},
    {window::ControlId::ModeBox, u"Mode"},
    {window::ControlId::QthBox, u"Qth"},
    {window::ControlId::TimeBox, u"Time"},
    {window::ControlId::IotaBox, u"IOTA"},
    {window::ControlId::LocatorBox, u"Loc"},
    {window::ControlId::QslManagerBox, u"Manager"},
    {window::ControlId::NotesBox, u"Notes"},
}};

// One attempt to obtain MixW2's running object; true when it is held. A
// failed attempt keeps the object held before, if any.
[[nodiscard]] bool TryAttach(Station& s);
// The box a link of the thirteen fills; nullopt for a link that is none of
// them.
[[nodiscard]] std::optional<window::ControlId> BoxOfLink(const platform::LinkTarget& link);
// True once after the field links opened (anew), and after MixW2 came back.
[[nodiscard]] bool TakeLinksOpened(Station& s);
[[nodiscard]] bool TakeCameBack(Station& s);
// Lets go of MixW2's object (the bridge closes).
void Release(Station& s);

[[nodiscard]] inline bool Attached(const Station& s) {
    return s.mixw.attached;
}
// MixW2's object, or null when none was obtained.
[[nodiscard]] inline platform::Automation* Object(const Station& s) {
    return s.mixw.object.get();
}

// Every 800 ms while MixW2 holds the rig: the first tick opens the links.
// True when MixW's state is to be pushed to Logger32 now (false while one
// of the two programs is away).
[[nodiscard]] bool OnPushTick(Station& s);
// Every watch tick: notices that MixW2 went away (a call found its server
// gone, or its DDE conversations ended), and while it is away looks for
// its object again; once it is back the links are reopened and everything
// is pushed afresh.
void Watch(Station& s);

}  // namespace linkwell::mixw
