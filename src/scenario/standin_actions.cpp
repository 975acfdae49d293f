#include "scenario/standin_actions.h"

namespace linkwell::scenario {

void ApplyToStandIns(const Action& a, Logger32StandIn& logger32, MixWStandIn& mixw,
                     const std::function<std::int64_t(const ParamToken&)>& resolve) {
    switch (a.kind) {
        case ActionKind::Logger32Refuse: logger32.Refuse(a.count); break;
        case ActionKind::Logger32Silent: logger32.Silent(); break;
        case ActionKind::Logger32Post:
            logger32.Post(static_cast<WParam>(a.count), resolve(a.param));
            break;
        case ActionKind::Logger32SetText: logger32.SetText(a.text); break;
        case ActionKind::MixWDde: mixw.SetItem(a.name, a.text); break;
        case ActionKind::MixWRefuse: mixw.RefuseItem(a.name); break;
        case ActionKind::MixWFqA: mixw.SetFqA(a.hertz); break;
        case ActionKind::MixWAudioFq: mixw.SetAudioFq(a.hertz); break;
        default: break;  // each world plays the others itself
    }
}

}  // namespace linkwell::scenario
