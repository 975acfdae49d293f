#include "scenario/logger32_standin.h"

#include "logger32/link.h"
#include "logger32/protocol.h"
#include "text/text.h"

namespace linkwell::scenario {

using text::Quote;

void Logger32StandIn::Start(bool withTextWindow, WindowHandle main, WindowHandle text) {
    running_ = true;
    withTextWindow_ = withTextWindow;
    main_ = main;
    text_ = text;
    for (std::size_t i = 0; i < ids_.size(); ++i) {
        ids_[i] = port_.Register(Text(logger32::kMessageNames[i]));
    }
    requestName_.reset();
    requester_ = {};
    bridgeTextBox_ = {};
}

std::optional<std::size_t> Logger32StandIn::NameOf(MessageId msg) const {
    for (std::size_t i = 0; i < ids_.size(); ++i) {
        if (ids_[i] == msg) return i;
    }
    return std::nullopt;
}

bool Logger32StandIn::Receive(MessageId msg, WParam code, LParam value, Delivery how) {
    if (!running_) return false;
    const auto name = NameOf(msg);
    if (!name) return false;
    const char* verb = how == Delivery::Posted ? "post" : "send";
    const std::string shown = how == Delivery::SentReference ? "ref" : trace_.Param(value);
    trace_.Line("L32", std::string(verb) + " " + Quote(logger32::kMessageNames[*name]) + " " +
                           std::to_string(code) + " " + shown);
    if (code == logger32::code::kTextWindowOf)
        bridgeTextBox_ = WindowHandle{static_cast<std::uint64_t>(value)};
    if (code != logger32::code::kConnect || how != Delivery::Posted) return true;
    requestName_ = name;
    requester_ = WindowHandle{static_cast<std::uint64_t>(value)};
    if (silent_) return true;
    if (refusals_ > 0) {
        --refusals_;
        port_.Post(requester_, msg, logger32::code::kAnswer, 0);
        return true;
    }
    port_.Post(requester_, msg, logger32::code::kAnswer, 1);
    if (withTextWindow_) {
        port_.Post(requester_, msg, logger32::code::kTextWindow, static_cast<LParam>(text_.value));
    }
    return true;
}

void Logger32StandIn::ReceiveText(const Text& text) {
    if (!running_) return;
    trace_.Line("L32", "text " + Quote(text));
    if (text.starts_with(logger32::kLoggingTag)) logged_.push_back(text);
}

void Logger32StandIn::Post(WParam code, LParam value) {
    if (!running_ || !requestName_) return;
    port_.Post(requester_, ids_[*requestName_], code, value);
}

void Logger32StandIn::NewTextWindow(WindowHandle text) {
    text_ = text;
    if (withTextWindow_) Post(logger32::code::kTextWindow, static_cast<LParam>(text.value));
}

void Logger32StandIn::SetText(const Text& text) {
    if (!running_ || bridgeTextBox_.isNull()) return;
    port_.SetTextOf(bridgeTextBox_, text);
}

}  // namespace linkwell::scenario
