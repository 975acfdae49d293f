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

#include "shell/station.h"

namespace linkwell::mixw {

inline constexpr std::u16string_view kProgId = u"MixW2.Application";
inline constexpr std::u16string_view kWaitingForMixW = u"Waiting start MixW.";

struct FieldLink {
    shell::ControlId box;
    std::u16string_view placeholder;
};
// In the order in which the first Timer2 tick activates them.
inline constexpr std::array<FieldLink, 13> kFieldLinks = {{
    {shell::ControlId::Callsign, u"Call"},
    {shell::ControlId::RSTr, u"RST rcv"},
    {shell::ControlId::RSTs, u"RST snt"},
    {shell::ControlId::Freq, u"Frequency"},
    {shell::ControlId::HisName, u"Name"},
    {shell::ControlId::TextCommand, u"Command"},
    {shell::ControlId::Mode, u"Mode"},
    {shell::ControlId::Qth, u"Qth"},
    {shell::ControlId::Time, u"Time"},
    {shell::ControlId::IOTA, u"IOTA"},
    {shell::ControlId::Locator, u"Loc"},
    {shell::ControlId::QslManag, u"Manager"},
    {shell::ControlId::Notes, u"Notes"},
}};

// The one-time start-up wait (blocks the thread in Sleep loops).
void Timer1_Timer(shell::Station& s);
// Every 800 ms while MixW2 holds the rig: the first tick activates the
// links; every tick ends the program if Logger32 or MixW2 was never found,
// else pushes MixW's state to Logger32.
void Timer2_Timer(shell::Station& s);

}  // namespace linkwell::mixw
