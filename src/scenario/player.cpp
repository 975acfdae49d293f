#include "scenario/player.h"

#include <memory>
#include <utility>

namespace linkwell::scenario {

ActionSource SourceOf(std::vector<Action> actions) {
    return [all = std::make_shared<std::vector<Action>>(std::move(actions)),
            i = std::size_t{0}]() mutable -> std::optional<Action> {
        if (i >= all->size()) return std::nullopt;
        return std::move((*all)[i++]);
    };
}

bool GoesIntoBridge(ActionKind kind) {
    switch (kind) {
        case ActionKind::Logger32Post:
        case ActionKind::Logger32SetText:
        case ActionKind::MixWDde:
        case ActionKind::Click:
        case ActionKind::Ok:
        case ActionKind::Close:
        case ActionKind::SessionEnd: return true;
        default: return false;
    }
}

Player::Player(Stage& stage, Logger32StandIn& logger32, MixWStandIn& mixw, ActionSource source)
    : stage_(stage), logger32_(logger32), mixw_(mixw), source_(std::move(source)) {}

const Action* Player::Next() {
    if (!next_ && !sourceDone_) {
        next_ = source_();
        sourceDone_ = !next_;
    }
    return next_ ? &*next_ : nullptr;
}

Action Player::Take() {
    (void)Next();
    Action a = std::move(*next_);
    next_.reset();
    return a;
}

void Player::Apply(const Action& a) {
    switch (a.kind) {
        case ActionKind::Nop: break;
        case ActionKind::Logger32Start:
            stage_.StartLogger32(a.As<act::Logger32Start>().withTextWindow);
            break;
        case ActionKind::Logger32Stop: stage_.StopLogger32(); break;
        case ActionKind::Logger32Refuse: logger32_.Refuse(a.As<act::Refuse>().count); break;
        case ActionKind::Logger32Silent: logger32_.Silent(); break;
        case ActionKind::Logger32Post:
            logger32_.Post(static_cast<WParam>(a.As<act::Post>().code),
                           Resolve(a.As<act::Post>().param));
            break;
        case ActionKind::Logger32SetText: logger32_.SetText(a.As<act::Text>().text); break;
        case ActionKind::Logger32Hang:
            if (a.As<act::Hang>().inNextLogging) {
                stage_.HoldNextLogging(a.As<act::Hang>().ms);
            } else {
                stage_.HangLogger32(a.As<act::Hang>().ms, a.As<act::Hang>().textWindowOnly);
            }
            break;
        case ActionKind::MixWStart: stage_.StartMixW(); break;
        case ActionKind::MixWStop: stage_.StopMixW(); break;
        case ActionKind::MixWHang: stage_.HangMixW(a.As<act::Hang>().ms); break;
        case ActionKind::MixWDde:
            mixw_.SetItem(a.As<act::Dde>().item, a.As<act::Dde>().value);
            break;
        case ActionKind::MixWRefuse: mixw_.RefuseItem(a.As<act::RefuseItem>().item); break;
        case ActionKind::MixWFqA: mixw_.SetFqA(a.As<act::Hertz>().hz); break;
        case ActionKind::MixWAudioFq: mixw_.SetAudioFq(a.As<act::Hertz>().hz); break;
        case ActionKind::Click:
            stage_.Click(*window::FindControl(a.As<act::Click>().button));
            break;
        case ActionKind::Ok: stage_.PressOk(); break;
        case ActionKind::Close: stage_.CloseBridge(); break;
        case ActionKind::LocaleDecimal: stage_.SetDecimalSeparator(a.As<act::Text>().text); break;
        case ActionKind::Dump: stage_.Dump(a.As<act::Dump>().names); break;
        case ActionKind::SessionEnd: stage_.EndSession(); break;
        case ActionKind::FilePut: stage_.PutNotLogged(a.As<act::Text>().text); break;
        case ActionKind::FileLock: stage_.LockNotLogged(true); break;
        case ActionKind::FileUnlock: stage_.LockNotLogged(false); break;
        case ActionKind::TicksRecorded: stage_.PaceTicksByScenario(); break;
        case ActionKind::Tick: stage_.Tick(a.As<act::Tick>().slot); break;
        case ActionKind::UdpUnreachable: stage_.SetUdpReachable(false); break;
        case ActionKind::UdpReachable: stage_.SetUdpReachable(true); break;
        case ActionKind::UdpReceive: stage_.ArriveUdp(a.As<act::Datagram>().bytes); break;
    }
}

std::optional<std::string> Player::HandleName(std::int64_t value) const {
    for (const auto name : kHandleNames) {
        const WindowHandle h = stage_.Named(name);
        if (h.value != 0 && h.value == static_cast<std::uint64_t>(value)) return std::string(name);
    }
    return std::nullopt;
}

std::int64_t Player::Resolve(const ParamToken& param) const {
    if (!param.handle) return param.number;
    return static_cast<std::int64_t>(stage_.Named(*param.handle).value);
}

}  // namespace linkwell::scenario
