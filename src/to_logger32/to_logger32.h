// MixW to Logger32: MixW's mode, frequency and QSO record pushed to Logger32
// as ADIF-style texts, and the logging commands.
#pragma once

#include <string_view>

#include "shell/station.h"

namespace linkwell::to_logger32 {

// One push per Timer2 tick: the mode if it changed, else the frequency if it
// changed, else the QSO record if one of its fields changed.
void PushMixWToLogger32(shell::Station& s);
// Every change of the Freq box sends the frequency, with no comparison.
void Freq_Change(shell::Station& s);
// MixW's command item: "Save" logs the QSO, "Remove" sends "<EOR>".
void TextCommand_Change(shell::Station& s);
// The Send! button: logs the QSO in Logger32.
void CommandSend_Click(shell::Station& s);

// "<TAG:" + length + ">" + value; the length counts UTF-16 code units.
[[nodiscard]] platform::Text AdifField(std::u16string_view prefix, const platform::Text& value);

}  // namespace linkwell::to_logger32
