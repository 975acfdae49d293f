#include "bridge/bridge.h"

#include "handover/handover.h"
#include "lifecycle/lifecycle.h"
#include "logger32/link.h"
#include "mixw/attach.h"
#include "not_logged/not_logged.h"
#include "to_logger32/logging.h"
#include "to_logger32/push.h"
#include "to_mixw/to_mixw.h"
#include "udp/announce.h"

namespace linkwell {

using window::ControlId;

Bridge::Bridge(platform::Platform& os, window::FormView& view) : station_(os, view) {
    station_.form.OnTextChange([this](ControlId box) { TextChanged(box); });
}

// The status line is drawn when the outermost event is over: a handler
// that waits for OK may have changed half of what it changes.
void Bridge::AfterEvent() {
    PassNewsUp();
    lifecycle::AfterEvent(station_, depth_ == 1);
}

// News goes up one way: a room records what happened in its own state, and
// here, after each event, the rooms above are given it.
void Bridge::PassNewsUp() {
    PassMixWNewsUp();
    // A Logger32 that answers again is given the kept loggings and then
    // everything afresh, which may settle more of them.
    bool again = false;
    do {
        again = logger32::TakeAnswersAgain(station_);
        to_logger32::Settle(station_, logger32::TakeSettled(station_));
        if (again) to_logger32::TellEverythingAfresh(station_);
    } while (again);
    not_logged::UpdateFile(station_);
}

// Also before a push: the push tick that opens MixW's links pushes at once.
void Bridge::PassMixWNewsUp() {
    if (mixw::TakeLinksOpened(station_)) to_logger32::MixWLinksOpened(station_);
    if (mixw::TakeCameBack(station_)) to_logger32::MixWCameBack(station_);
}

void Bridge::AnnounceOnUdp(udp::Settings settings) {
    udp::Configure(station_, std::move(settings));
}

void Bridge::Start() {
    station_.form.StartDesignTimers();
    lifecycle::OnLoad(station_);
    station_.form.SetWindowVisible(window::WindowId::Bridge, true);
}

void Bridge::TimerTick(int slot) {
    const Nested nested(depth_);
    if (observer_ != nullptr) observer_->Ticking(slot);
    Tick(slot);
    AfterEvent();
    if (observer_ != nullptr) observer_->Ticked();
}

void Bridge::Tick(int slot) {
    if (slot == window::kWatchTimerSlot) {
        lifecycle::OnWatchTick(station_);
        return;
    }
    switch (window::TimerFromSlot(slot)) {
        case ControlId::HandshakeTimer: logger32::OnHandshakeTick(station_); break;
        case ControlId::StartupTimer: lifecycle::WaitForPeers(station_); break;
        case ControlId::PushTimer:
            if (mixw::OnPushTick(station_)) {
                PassMixWNewsUp();
                to_logger32::PushMixWToLogger32(station_);
            }
            udp::OnPushTick(station_);
            break;
        case ControlId::IntakeTimer: to_mixw::OnIntakeTick(station_); break;
        case ControlId::AboutTimer: lifecycle::OnAboutShown(station_); break;
        default: break;
    }
}

platform::LResult Bridge::HookProc(platform::WindowHandle window, platform::MessageId msg,
                                   platform::WParam wParam, platform::LParam lParam) {
    const Nested nested(depth_);
    if (observer_ != nullptr) observer_->HookMessage(msg, wParam, lParam);
    const auto result = logger32::HookWindowProc(station_, window, msg, wParam, lParam);
    AfterEvent();
    return result;
}

void Bridge::Click(ControlId button) {
    const Nested nested(depth_);
    if (observer_ != nullptr) observer_->Clicked(button);
    if (!station_.form.Enabled(button)) return;
    switch (button) {
        case ControlId::MixWTakesRigButton: handover::GiveRigToMixW(station_); break;
        case ControlId::Logger32TakesRigButton: handover::GiveRigToLogger32(station_); break;
        case ControlId::SidebandButton: handover::ToggleSideband(station_); break;
        case ControlId::LogQsoButton: to_logger32::LogQso(station_); break;
        default: break;
    }
    AfterEvent();
}

void Bridge::Close() {
    if (observer_ != nullptr) observer_->Closing();
    lifecycle::BeginClose(station_);
    PassNewsUp();
    lifecycle::Unload(station_);
}

void Bridge::TextSendEnded(platform::Delivery result) {
    const Nested nested(depth_);
    if (observer_ != nullptr) observer_->SendEnding(result);
    logger32::OnSendEnded(station_, result);
    AfterEvent();
}

void Bridge::NotLoggedWritten(bool done) {
    const Nested nested(depth_);
    if (observer_ != nullptr) observer_->FileWriteEnding(done);
    not_logged::OnFileWritten(station_, done);
    AfterEvent();
}

void Bridge::EndSession() {
    if (observer_ != nullptr) observer_->SessionEnding();
    lifecycle::BeginClose(station_);
    PassNewsUp();
    lifecycle::EndSession(station_);
}

void Bridge::TextArrived(ControlId box, const platform::Text& text) {
    const Nested nested(depth_);
    if (observer_ != nullptr) observer_->TextArriving(box, text);
    station_.form.SetText(box, text);
    AfterEvent();
}

void Bridge::LinkValueArrived(const platform::LinkTarget& link, const platform::Text& value) {
    const auto box = mixw::BoxOfLink(link);
    if (!box) return;
    const Nested nested(depth_);
    if (observer_ != nullptr) observer_->LinkValueArriving(link, value);
    station_.form.SetText(*box, value);
    AfterEvent();
}

void Bridge::TextChanged(ControlId box) {
    switch (box) {
        case ControlId::DialFreqBox: to_logger32::OnDialFreqChanged(station_); break;
        case ControlId::MixWCommandBox: to_logger32::OnMixWCommand(station_); break;
        case ControlId::Logger32TextBox: to_mixw::OnLogger32Text(station_); break;
        case ControlId::Logger32FreqBox: to_mixw::OnLogger32FreqChanged(station_); break;
        default: break;
    }
}

}  // namespace linkwell
