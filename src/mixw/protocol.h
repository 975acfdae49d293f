// MixW2's side of the conversation, as MixW2 defines it: its automation
// object and its members, its DDE server's links, the macros it runs and
// its QSO field numbers.
//
// Carriers:
//  - automation: the running object registered under kProgId, called
//    late-bound by name from the bridge's thread;
//  - DDE: hot links to items of MixW's DDE server; a link brings the item's
//    value as it opens and again on every change, and the bridge's box
//    shows it.
//
// The members, in the order of the table (dir: out = called by the bridge):
//
//   dir  member         kind      arguments              what it does
//   out  ExecuteMacros  method    macros (text)          runs MixW's macros in order
//   out  SetQsoData     method    field (16-bit), value  sets a field of MixW's QSO
//                                 (text, by reference)
//   in   FqA            property  (number, hertz)        MixW's dial frequency
//   in   AudioFq        property  (number, hertz)        the audio offset of the signal
//
// The links (service|topic item: the box that shows it) are kFieldLinks
// below, in the order the bridge opens them.
//
// The macros: "<MODE:name>" and "<BAUDRATE:n>" switch MixW's mode,
// "<ZFQ:kHz>" tunes it, "<CLEARQSO>", "<FIXSTARTTIME>" and "<SAVEQSO>" clear,
// time and save its QSO.
//
// Compatibility:
//  - a failed call (MixW2 has closed) is the call's only answer: nothing is
//    retried, and the caller skips what followed it;
//  - a refused link leaves its box with its last text while the other links
//    still open; a link with no conversation yet is tried again later;
//  - service, topic and item names compare without regard to case.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "platform/platform.h"
#include "window/controls.h"

namespace linkwell::mixw {

inline constexpr std::u16string_view kProgId = u"MixW2.Application";

// The members' names, as the automation object knows them.
namespace member {
inline constexpr std::u16string_view kExecuteMacros = u"ExecuteMacros";
inline constexpr std::u16string_view kSetQsoData = u"SetQsoData";
inline constexpr std::u16string_view kFqA = u"FqA";
inline constexpr std::u16string_view kAudioFq = u"AudioFq";
}  // namespace member

// DDE names are plain ASCII.
inline constexpr std::string_view kService = "MixW";
inline constexpr std::string_view kQsoTopic = "QSO";
inline constexpr std::string_view kCatTopic = "CAT";

struct FieldLink {
    window::ControlId box;
    std::string_view service;
    std::string_view topic;
    std::string_view item;
    std::u16string_view placeholder;  // the box's text while the link opens
};
// In the order in which the first push tick activates them. The time link
// names its service in capitals, as it always has (names compare without
// case).
inline constexpr std::array<FieldLink, 13> kFieldLinks = {{
    {window::ControlId::CallBox, kService, kQsoTopic, "Call", u"Call"},
    {window::ControlId::RstRcvdBox, kService, kQsoTopic, "RstRcv", u"RST rcv"},
    {window::ControlId::RstSentBox, kService, kQsoTopic, "RstSnt", u"RST snt"},
    {window::ControlId::DialFreqBox, kService, kCatTopic, "khz", u"Frequency"},
    {window::ControlId::NameBox, kService, kQsoTopic, "Name", u"Name"},
    {window::ControlId::MixWCommandBox, kService, kQsoTopic, "Command", u"Command"},
    {window::ControlId::ModeBox, kService, kQsoTopic, "Mode", u"Mode"},
    {window::ControlId::QthBox, kService, kQsoTopic, "qth", u"Qth"},
    {window::ControlId::TimeBox, "MIXW", kQsoTopic, "time", u"Time"},
    {window::ControlId::IotaBox, kService, kQsoTopic, "IOTA", u"IOTA"},
    {window::ControlId::LocatorBox, kService, kQsoTopic, "Loc", u"Loc"},
    {window::ControlId::QslManagerBox, kService, kQsoTopic, "Manager", u"Manager"},
    {window::ControlId::NotesBox, kService, kQsoTopic, "Notes", u"Notes"},
}};

// MixW's QSO field numbers for SetQsoData.
namespace qso_field {
inline constexpr std::int16_t kCall = 0;
inline constexpr std::int16_t kName = 1;
inline constexpr std::int16_t kRstRcvd = 2;
inline constexpr std::int16_t kRstSent = 5;
}  // namespace qso_field

// The macros, each run by ExecuteMacros.
namespace macro {
inline constexpr std::array<std::u16string_view, 1> kCw = {u"<MODE:CW>"};
inline constexpr std::array<std::u16string_view, 1> kSsb = {u"<MODE:SSB>"};
inline constexpr std::array<std::u16string_view, 1> kRtty = {u"<MODE:RTTY>"};
inline constexpr std::array<std::u16string_view, 1> kPsk31 = {u"<MODE:BPSK31>"};
inline constexpr std::array<std::u16string_view, 2> kPsk63 = {u"<MODE:BPSK31>", u"<BAUDRATE:63>"};
inline constexpr std::array<std::u16string_view, 2> kPsk125 = {u"<MODE:BPSK31>", u"<BAUDRATE:125>"};
inline constexpr std::array<std::u16string_view, 1> kMfsk16 = {u"<MODE:MFSK>"};

inline constexpr std::u16string_view kClearQso = u"<CLEARQSO>";
inline constexpr std::u16string_view kFixStartTime = u"<FIXSTARTTIME>";
inline constexpr std::u16string_view kSaveQso = u"<SAVEQSO>";
}  // namespace macro

// "<ZFQ:" + the frequency text, unchanged, + ">".
[[nodiscard]] inline platform::Text FrequencyMacro(std::u16string_view tuneFreq) {
    platform::Text macro(u"<ZFQ:");
    macro += tuneFreq;
    macro += u'>';
    return macro;
}

// A DDE name as the links carry it.
[[nodiscard]] inline platform::Text DdeName(std::string_view name) {
    return platform::Text(name.begin(), name.end());
}

}  // namespace linkwell::mixw
