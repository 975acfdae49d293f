// The MixW attachment: the start-up wait for Logger32 and MixW2, MixW2's
// automation object, the thirteen DDE field links that make the bridge's
// boxes follow MixW's QSO and CAT items, and the periodic tick.
//
// A failed call on MixW's object (MixW2 has closed) sends nothing and skips
// the rest of the handler that made it; a refused link leaves its box with
// its last text while the other links still open.
#pragma once

#include <array>
#include <string_view>

#include "bridge/station.h"

namespace linkwell::mixw {

inline constexpr std::u16string_view kProgId = u"MixW2.Application";
inline constexpr std::u16string_view kWaitingForMixW = u"Waiting start MixW.";

struct FieldLink {
    window::ControlId box;
    std::u16string_view placeholder;
};
// In the order in which the first Timer2 tick activates them.
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

// The one-time start-up wait (blocks the thread in Sleep loops).
void WaitForPeers(window::Station& s);
// Every 800 ms while MixW2 holds the rig: the first tick activates the
// links; every tick ends the program if Logger32 or MixW2 was never found,
// else pushes MixW's state to Logger32.
void OnPushTick(window::Station& s);

}  // namespace linkwell::mixw
