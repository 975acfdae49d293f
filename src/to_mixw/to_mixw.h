// Logger32 to MixW: Logger32's texts arriving in the Sent box (clicked DX
// spots and QSO records), read on the next Timer3 tick and acted on in MixW;
// and Logger32's frequency retuning MixW.
#pragma once

#include "shell/station.h"

namespace linkwell::to_mixw {

// Every change of the Sent box: keeps a spot, answers code 10, arms Timer3.
void Sent_Change(shell::Station& s);
// One tick per arming: takes the pending spot and acts on it and on the
// record in Sent.
void Timer3_Timer(shell::Station& s);
// Logger32's frequency (kHz) tunes MixW while Logger32 holds the rig.
void Freq_logger32_Change(shell::Station& s);

}  // namespace linkwell::to_mixw
