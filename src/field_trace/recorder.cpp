#include "field_trace/recorder.h"

#include <charconv>
#include <cstdlib>
#include <utility>

#include "logger32/link.h"
#include "station/status.h"
#include "text/text.h"
#include "vocabulary/handles.h"

namespace linkwell::field_trace {

using text::Quote;
using vocabulary::Kind;

namespace {

std::string Number(double value) {
    char buf[32];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    return ec == std::errc() ? std::string(buf, end) : std::string("0");
}

}  // namespace

// MixW's object as the bridge holds it: each call passed on, each failure
// and each changed property value written down.
class RecordedObject final : public platform::Automation {
public:
    RecordedObject(Recorder& rec, std::unique_ptr<platform::Automation> inner)
        : rec_(rec), inner_(std::move(inner)) {}

    platform::CallStatus ExecuteMacros(const Text& macros) override {
        const std::int64_t start = rec_.clock_();
        const auto status = inner_->ExecuteMacros(macros);
        rec_.Waited("ExecuteMacros", start);
        if (status == platform::CallStatus::Done) {
            rec_.CallDone();
            rec_.Write(Kind::Mixw, "ExecuteMacros " + Quote(macros));
        } else {
            rec_.CallFailed("ExecuteMacros", inner_->LastFailure());
        }
        return status;
    }
    platform::CallStatus SetQsoData(std::int16_t field, Text& value) override {
        // What the bridge handed over, not what MixW may have written back.
        const std::string shown = std::to_string(field) + " " + Quote(value);
        const std::int64_t start = rec_.clock_();
        const auto status = inner_->SetQsoData(field, value);
        rec_.Waited("SetQsoData", start);
        if (status == platform::CallStatus::Done) {
            rec_.CallDone();
            rec_.Write(Kind::Mixw, "SetQsoData " + shown);
        } else {
            rec_.CallFailed("SetQsoData", inner_->LastFailure());
        }
        return status;
    }
    platform::NumberResult FqA() override {
        const std::int64_t start = rec_.clock_();
        auto got = inner_->FqA();
        rec_.Waited("FqA", start);
        return Read(got, rec_.fqa_, Kind::FqA, "FqA");
    }
    platform::NumberResult AudioFq() override {
        const std::int64_t start = rec_.clock_();
        auto got = inner_->AudioFq();
        rec_.Waited("AudioFq", start);
        return Read(got, rec_.audioFq_, Kind::AudioFq, "AudioFq");
    }
    // One wait for both reads: it is named after the read it ended in (FqA
    // when both answered, as the first one asked).
    Dial ReadDial() override {
        const std::int64_t start = rec_.clock_();
        auto got = inner_->ReadDial();
        rec_.Waited(got.fqa && !got.audioFq ? "AudioFq" : "FqA", start);
        (void)Read(got.fqa, rec_.fqa_, Kind::FqA, "FqA");
        if (got.fqa) (void)Read(got.audioFq, rec_.audioFq_, Kind::AudioFq, "AudioFq");
        return got;
    }
    bool ServerGone() override { return inner_->ServerGone(); }
    bool StillThere() override {
        const bool there = inner_->StillThere();
        if (there) {
            rec_.CallDone();
        } else {
            rec_.CallFailed("StillThere", inner_->LastFailure());
        }
        return there;
    }

private:
    platform::NumberResult Read(platform::NumberResult got, Recorder::Polled& polled, Kind kind,
                                std::string_view member) {
        if (!got) {
            rec_.CallFailed(member, inner_->LastFailure());
        } else {
            rec_.CallDone();
            rec_.Poll(polled, kind, Number(*got));
        }
        return got;
    }

    Recorder& rec_;
    std::unique_ptr<platform::Automation> inner_;
};

Recorder::Recorder(platform::Platform& os, window::FormView& view, Output& out,
                   std::function<std::int64_t()> clock)
    : os_(os), view_(view), out_(out), clock_(std::move(clock)) {
    out_.OnFailure([this] { ReportFailure(); });
    Write(Kind::Session, kSessionHeader);
}

void Recorder::Attach(Bridge& bridge) {
    bridge_ = &bridge;
    bridge.Observe(this);
    if (out_.Failed()) ReportFailure();
}

void Recorder::ReportFailure() {
    if (bridge_ == nullptr || failureShown_) return;
    failureShown_ = true;
    // The file failed on the status line's own change: that change is shown
    // first, then the note.
    if (writingStatus_) {
        noteDue_ = true;
        return;
    }
    station::NoteTraceStopped(bridge_->State(), out_.File().Name());
}

void Recorder::Write(Kind kind, std::string_view details) {
    if (const auto tick = std::exchange(watchTickAt_, std::nullopt)) {
        out_.Line(*tick, vocabulary::Name(Kind::Watch), "");
    }
    out_.Line(clock_(), vocabulary::Name(kind), details);
}

void Recorder::Poll(Polled& p, Kind kind, std::string value) {
    const std::int64_t now = clock_();
    if (p.value != value) {
        std::string details = value;
        if (p.value) details += " after " + std::to_string(p.lastRead);
        p.value = std::move(value);
        Write(kind, details);
    }
    p.lastRead = now;
}

void Recorder::CallFailed(std::string_view member,
                          const std::optional<platform::FailureReason>& why) {
    std::string details(member);
    if (lastMixWAnswer_) details += " after " + std::to_string(*lastMixWAnswer_);
    Write(Kind::Failed, details + Because(why));
}

void Recorder::Waited(std::string_view what, std::int64_t since) {
    const std::int64_t waited = clock_() - since;
    if (waited >= kWaitedNoteMs)
        Write(Kind::Waited, std::string(what) + " " + std::to_string(waited));
}

void Recorder::CallTimedOut(std::string_view what) {
    Write(Kind::Timeout, what);
}

std::optional<std::string> Recorder::NameOf(MessageId msg) const {
    const auto it = names_.find(msg);
    if (it == names_.end()) return std::nullopt;
    return Quote(it->second);
}

std::string Recorder::Param(LParam value) const {
    const auto v = static_cast<std::uint64_t>(value);
    auto is = [v](WindowHandle h) { return !h.isNull() && h.value == v; };
    auto named = [](std::string_view name) {
        return std::string(vocabulary::kHandlePrefix) + std::string(name);
    };
    if (is(view_.HandleOf(window::WindowId::Bridge))) return named(vocabulary::kLinkwellHandle);
    if (is(view_.HandleOf(window::ControlId::Logger32TextBox))) {
        return named(vocabulary::kSentHandle);
    }
    if (is(view_.HandleOf(window::ControlId::ClusterBox))) {
        return named(vocabulary::kClusterHandle);
    }
    if (is(logger32_)) return named(vocabulary::kLogger32Handle);
    if (is(logger32Text_)) return named(vocabulary::kLogger32TextHandle);
    return std::to_string(value);
}

// --- what the bridge asks of the world ---------------------------------------------

WindowHandle Recorder::FindWindowByTitle(const Text& title) {
    const WindowHandle found = os_.FindWindowByTitle(title);
    if (title == logger32::kWindowTitle && !found.isNull()) logger32_ = found;
    Write(Kind::Find,
          Quote(title) + " " +
              (found.isNull() ? std::string("0") : Param(static_cast<LParam>(found.value))));
    return found;
}

MessageId Recorder::RegisterMessage(const Text& name) {
    const MessageId id = os_.RegisterMessage(name);
    for (const auto& known : logger32::kMessageNames) {
        if (name == known) names_[id] = name;
    }
    return id;
}

void Recorder::Delivered(std::string_view what, platform::Delivery d) {
    if (d == platform::Delivery::Pending) Write(Kind::Pending, what);
    if (d == platform::Delivery::Pending || d == platform::Delivery::Delivered) return;
    const std::string why = std::string(what) + Because(os_.LastFailure());
    switch (d) {
        case platform::Delivery::NotAnswering: CallTimedOut(why); break;
        case platform::Delivery::Refused: Write(Kind::Refused, why); break;
        case platform::Delivery::NoWindow: Write(Kind::Gone, why); break;
        // Went away inside the send: a text that may have been taken.
        case platform::Delivery::InDoubt:
            Write(Kind::Doubt, what);
            Write(Kind::Gone, why);
            break;
        default: break;
    }
}

platform::Delivery Recorder::PostMessage(WindowHandle to, MessageId msg, WParam code,
                                         LParam value) {
    // A post to no window goes nowhere; it is not given out.
    if (const auto name = NameOf(msg); name && !to.isNull()) {
        Write(Kind::L32, "post " + *name + " " + std::to_string(code) + " " + Param(value));
    }
    const auto d = os_.PostMessage(to, msg, code, value);
    if (!to.isNull()) Delivered("post", d);
    return d;
}

platform::Delivery Recorder::SendMessageWithReference(WindowHandle to, MessageId msg, WParam code) {
    if (const auto name = NameOf(msg); name && !to.isNull()) {
        Write(Kind::L32, "send " + *name + " " + std::to_string(code) + " ref");
    }
    const std::int64_t start = clock_();
    const auto d = os_.SendMessageWithReference(to, msg, code);
    Waited("send", start);
    if (!to.isNull()) Delivered("send", d);
    return d;
}

platform::Delivery Recorder::SendText(WindowHandle to, const Text& text) {
    if (!to.isNull()) Write(Kind::L32, "text " + Quote(text));
    const std::int64_t start = clock_();
    const auto d = os_.SendText(to, text);
    Waited("text", start);
    if (!to.isNull()) Delivered("text", d);
    return d;
}

std::uint32_t Recorder::ProcessOf(WindowHandle window) {
    const std::uint32_t process = os_.ProcessOf(window);
    // Logger32's window without a process: it has closed.
    if (process == 0 && !window.isNull() && window == logger32_) {
        Write(Kind::Process, Param(static_cast<LParam>(window.value)) + " 0");
    }
    return process;
}

bool Recorder::LinksConnected() {
    const bool connected = os_.LinksConnected();
    if (!connected) Write(Kind::Links, "ended");
    return connected;
}

void Recorder::MessageBox(const Text& text, const Text& title) {
    Write(Kind::Box, Quote(title) + " " + Quote(text));
    os_.MessageBox(text, title);
    Write(Kind::Ok, "");
}

void Recorder::EndProgram() {
    Write(Kind::End, "");
    os_.EndProgram();
    std::abort();  // the world's EndProgram never returns
}

std::unique_ptr<platform::Automation> Recorder::GetActiveObject(const Text& progId) {
    auto object = os_.GetActiveObject(progId);
    Write(Kind::Object, Quote(progId) + (object ? std::string(" obtained")
                                                : " unavailable" + Because(os_.LastFailure())));
    if (!object) return nullptr;
    CallDone();
    return std::make_unique<RecordedObject>(*this, std::move(object));
}

// The current value arrives inside the call (LinkValueArriving), before the
// LINK line.
platform::LinkStatus Recorder::ActivateLink(const platform::LinkTarget& link) {
    const auto status = os_.ActivateLink(link);
    Write(Kind::Link, Quote(link.service) + " " + Quote(link.topic) + " " + Quote(link.item) +
                          (status == platform::LinkStatus::Active    ? " active"
                           : status == platform::LinkStatus::Refused ? " refused"
                                                                     : " unreachable") +
                          (status == platform::LinkStatus::Active ? std::string()
                                                                  : Because(os_.LastFailure())));
    return status;
}

Text Recorder::DecimalSeparator() {
    Text separator = os_.DecimalSeparator();
    Poll(decimal_, Kind::Decimal, Quote(separator));
    return separator;
}

// --- what the bridge shows ----------------------------------------------------------

void Recorder::ControlChanged(window::ControlId control) {
    if (control == window::ControlId::StatusLine && bridge_ != nullptr) {
        writingStatus_ = true;
        Write(Kind::Status, Quote(bridge_->State().form.GetText(control)));
        writingStatus_ = false;
    }
    view_.ControlChanged(control);
    if (std::exchange(noteDue_, false)) {
        station::NoteTraceStopped(bridge_->State(), out_.File().Name());
    }
}

// --- what reaches the bridge ----------------------------------------------------------

void Recorder::HookMessage(MessageId msg, WParam wParam, LParam lParam) {
    const auto name = NameOf(msg);
    if (!name) return;  // the window's own traffic
    const auto value32 = static_cast<std::int32_t>(static_cast<std::uint32_t>(lParam));
    if (wParam == logger32::code::kTextWindow) {
        logger32Text_ = WindowHandle{static_cast<std::uint32_t>(lParam)};
    }
    Write(Kind::L32Code, *name + " " + std::to_string(wParam) + " " + Param(value32));
}

void Recorder::Clicked(window::ControlId button) {
    Write(Kind::Click, window::Design(button).name);
}

void Recorder::Closing() {
    Write(Kind::Close, "");
}

// What an earlier run left in not-logged.adi: the replay puts it back.
std::optional<Text> Recorder::ReadNotLogged() {
    auto file = os_.ReadNotLogged();
    if (file) leftAside_ = Quote(*file);
    readFailure_ = file ? std::nullopt : os_.LastFailure();
    if (!aside_) ReadMet();
    return file;
}

// A change of the file that failed, after one that worked, or the other
// way round: the replay holds the file from before the event that met it.
bool Recorder::FileChanged(bool done, const std::optional<platform::FailureReason>& why) {
    if (done != fileHeld_) return done;
    fileHeld_ = !done;
    Write(Kind::Held, fileHeld_ ? "yes" + Because(why) : std::string("no"));
    return done;
}

// The replay ticks the timers where these did. A tick of the window's
// timers may change what the next one does without a line of its own (an
// interval armed, a value taken in), so each is written; a tick of the
// watch that met nothing changed nothing, and is written only ahead of its
// first line.
void Recorder::Ticking(int slot) {
    if (slot == window::kWatchTimerSlot) {
        watchTickAt_ = clock_();
    } else {
        Write(Kind::Tick, window::Design(window::TimerFromSlot(slot)).name);
    }
}

void Recorder::LinkValueArriving(const platform::LinkTarget& link, const Text& value) {
    Write(Kind::Dde, text::ToUtf8(link.item) + " " + Quote(value));
}

void Recorder::TextArriving(window::ControlId box, const Text& text) {
    // The box's own text coming back (the window echoes each change) is no
    // arrival.
    if (bridge_ == nullptr || bridge_->State().form.GetText(box) == text) return;
    if (box == window::ControlId::Logger32TextBox) {
        Write(Kind::L32Text, Quote(text));
    } else {
        Write(Kind::Typed, std::string(window::Design(box).name) + " " + Quote(text));
    }
}

}  // namespace linkwell::field_trace
