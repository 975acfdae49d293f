#include "to_mixw/to_mixw.h"

namespace linkwell::to_mixw {

using shell::ControlId;
using shell::Station;

void Sent_Change(Station&) {}

void Timer3_Timer(Station& s) {
    s.form.Disarm(ControlId::Timer3);
    s.vars.DX_SPOT1.clear();
}

void Freq_logger32_Change(Station&) {}

}  // namespace linkwell::to_mixw
