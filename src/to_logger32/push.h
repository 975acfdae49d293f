// MixW to Logger32: MixW's mode, frequency and QSO record pushed to Logger32
// whenever they change (the texts are in logger32/protocol.h).
//
// What goes to Logger32, always as text by WM_SETTEXT, never confirmed:
//  - the mode text when the Mode box differs from the mode last sent
//    (MixW's PSK and MFSK names replaced by Logger32's);
//  - the frequency text when FqA + AudioFq (MHz, 15 significant digits)
//    differs from the last one sent, and on every change of the Freq box;
//  - the nine-field QSO record when one of its eight compared fields
//    changed and a callsign is there.
// A tick sends one text at most, in that order of precedence. A read of
// FqA or AudioFq that fails (MixW2 has closed) sends nothing for that step
// and keeps what was remembered; it never stops the bridge.
#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "station/station.h"

namespace linkwell::to_logger32 {

// The modes in which the frequency comes from the Freq box (MixW's dial
// frequency) rather than from FqA and AudioFq.
inline constexpr std::array<std::u16string_view, 4> kDialModes = {u"SSB", u"CW", u"RTTY", u"SSTV"};

struct ModeName {
    std::u16string_view mixw;
    std::u16string_view logger32;
};
// MixW's mode names that Logger32 knows by another name, in the order they
// are tried. No right-hand name is also a left-hand one.
inline constexpr std::array<ModeName, 6> kModeNames = {{
    {u"BPSK31", u"PSK31"},
    {u"BPSK63", u"PSK63"},
    {u"BPSK62", u"PSK63"},
    {u"BPSK125", u"PSK125"},
    {u"BPSK250", u"PSK250"},
    {u"MFSK", u"MFSK16"},
}};

// One push per tick of the push timer: the mode if it changed, else the frequency if it
// changed, else the QSO record if one of its fields changed.
void PushMixWToLogger32(BridgeState& s);
// Every change of the Freq box sends the frequency, with no comparison; the
// sideband toggle is not honoured here.
void OnDialFreqChanged(BridgeState& s);

// The frequency to send, in kHz: the Freq box in a dial mode, else
// (FqA + AudioFq) / 1000, or (FqA - AudioFq) / 1000 when the sideband toggle
// is honoured and set. nullopt when MixW's values cannot be read (MixW2 has
// closed) or the Freq box holds a number too large for a double.
[[nodiscard]] std::optional<platform::Text> ForceFreqText(BridgeState& s, bool honourSideband);

// A handover: mode, frequency, QTH, name, notes and report received are
// sent again on the next pushes, whatever they are.
void ForgetWhatWasSent(BridgeState& s);
// The field links opened: the next record with a callsign is sent.
void ForgetCallSent(BridgeState& s);
// A logging: the record brought up to date with the boxes, as the record
// stage builds it, so that the QSO logged is the one on screen. One that
// differs from the record Logger32 was last given goes to Logger32 first;
// so does a mode MixW shows that Logger32 was not given yet, while MixW2
// holds the rig (Logger32 logs the QSO in the mode it holds).
void RecordForLogging(BridgeState& s);
// What MixW's attachment recorded, acted on at the next push: its links
// opened anew (the next record with a callsign is sent), or MixW2 came
// back (everything is).
void MixWLinksOpened(BridgeState& s);
void MixWCameBack(BridgeState& s);

}  // namespace linkwell::to_logger32
