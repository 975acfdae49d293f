#include "sim/world.h"

#include <cstdio>
#include <limits>
#include <utility>

#include "scenario/standin_actions.h"
#include "scenario/text.h"

namespace linkwell::sim {
namespace {

// Unwinds the bridge's stack when the program ends or the scenario is over.
struct ProgramEnded {};
struct ScenarioOver {};

// System colours as a fresh Windows desktop has them.
std::uint32_t Resolve(std::uint32_t colour) {
    if ((colour & window::kSystemColour) == 0) return colour;
    switch (colour & 0xFFu) {
        case 5: return 0x00FFFFFF;   // COLOR_WINDOW
        default: return 0x00F0F0F0;  // COLOR_BTNFACE, COLOR_MENU
    }
}

const char* Bool(bool b) {
    return b ? "true" : "false";
}

}  // namespace

World::World(std::vector<Action> actions, std::ostream& out, field_trace::Output* fieldTrace)
    : World(
          [all = std::make_shared<std::vector<Action>>(std::move(actions)),
           i = std::size_t{0}]() mutable -> std::optional<Action> {
              if (i >= all->size()) return std::nullopt;
              return std::move((*all)[i++]);
          },
          out, fieldTrace) {}

World::World(ActionSource source, std::ostream& out, field_trace::Output* fieldTrace)
    : source_(std::move(source)), trace_(out), logger32_(*this, trace_), mixw_(trace_) {
    trace_.SetClock([this] { return now_; });
    trace_.SetHandleNames([this](std::int64_t v) { return HandleName(v); });
    if (fieldTrace == nullptr) {
        bridge_ = std::make_unique<Bridge>(*this, *this);
        return;
    }
    recorder_ =
        std::make_unique<field_trace::Recorder>(*this, *this, *fieldTrace, [this] { return now_; });
    bridge_ = std::make_unique<Bridge>(*recorder_, *recorder_);
    recorder_->Attach(*bridge_);
}

World::~World() = default;

bool World::Run() {
    try {
        bridge_->Start();
        Pump([] { return false; });
    } catch (const ProgramEnded&) {
        return true;
    } catch (const ScenarioOver&) {
    }
    return false;
}

// --- the event loop ---------------------------------------------------------

void World::Pump(const std::function<bool()>& done) {
    while (!done()) {
        const Action* next = NextAction();
        if (next != nullptr && next->time <= now_) {
            ApplyNextAction();
            continue;
        }
        if (!queue_.empty()) {
            auto event = std::move(queue_.front());
            queue_.pop_front();
            event();
            continue;
        }
        int dueSlot = -1;
        std::int64_t nextDue = std::numeric_limits<std::int64_t>::max();
        for (int slot = 0; slot < window::kTimerCount; ++slot) {
            const auto& t = timers_[static_cast<std::size_t>(slot)];
            if (!t.running) continue;
            if (t.due < nextDue || (dueSlot >= 0 && t.due == nextDue &&
                                    t.order < timers_[static_cast<std::size_t>(dueSlot)].order)) {
                nextDue = t.due;
                dueSlot = slot;
            }
        }
        if (dueSlot >= 0 && nextDue <= now_) {
            auto& t = timers_[static_cast<std::size_t>(dueSlot)];
            t.due = now_ + t.interval;
            bridge_->TimerTick(dueSlot);
            continue;
        }
        if (next == nullptr) throw ScenarioOver{};
        now_ = std::min(nextDue, next->time);
    }
}

const Action* World::NextAction() {
    if (!next_ && !sourceDone_) {
        next_ = source_();
        sourceDone_ = !next_;
    }
    return next_ ? &*next_ : nullptr;
}

void World::ApplyNextAction() {
    // Taken out first: applying it may run the bridge, which may look ahead.
    const Action a = std::move(*next_);
    next_.reset();
    if (a.time > now_) now_ = a.time;
    Apply(a);
}

void World::IntoBridge(std::function<void()> event) {
    if (sleeping_ > 0) {
        queue_.push_back(std::move(event));
    } else {
        event();
    }
}

void World::Apply(const Action& a) {
    using window::ControlId;
    switch (a.kind) {
        case ActionKind::Nop: break;
        case ActionKind::Logger32Refuse:
        case ActionKind::Logger32Silent:
        case ActionKind::Logger32Post:
        case ActionKind::Logger32SetText:
        case ActionKind::MixWDde:
        case ActionKind::MixWRefuse:
        case ActionKind::MixWFqA:
        case ActionKind::MixWAudioFq:
            scenario::ApplyToStandIns(a, logger32_, mixw_,
                                      [this](const ParamToken& p) { return ResolveParam(p); });
            break;
        case ActionKind::Logger32Start: {
            ++logger32Instance_;
            const std::uint64_t base = kLogger32Base + logger32Instance_ * 0x10;
            logger32_.Start(!a.flag, WindowHandle{base + 1}, WindowHandle{base + 2});
            break;
        }
        case ActionKind::Logger32Stop: logger32_.Stop(); break;
        case ActionKind::MixWStart: mixw_.Start(); break;
        case ActionKind::MixWStop: mixw_.Stop(); break;
        case ActionKind::Click: {
            const auto button = *window::FindControl(a.name);
            IntoBridge([this, button] {
                if (boxes_.empty()) bridge_->Click(button);
            });
            break;
        }
        case ActionKind::Ok:
            for (auto it = boxes_.rbegin(); it != boxes_.rend(); ++it) {
                if (*it) {
                    *it = false;
                    break;
                }
            }
            break;
        case ActionKind::Close:
            IntoBridge([this] {
                if (boxes_.empty()) DispatchToBridgeWindow(kWmClose, 0, 0);
            });
            break;
        case ActionKind::LocaleDecimal: decimal_ = a.text; break;
        case ActionKind::Dump: Dump(a.names); break;
    }
}

// --- windows and messages ------------------------------------------------------

WindowHandle World::FindWindowByTitle(const Text& title) {
    if (title == u"Logger32" && logger32_.Running()) return logger32_.MainWindow();
    return {};
}

MessageId World::RegisterMessage(const Text& name) {
    auto [it, added] = registry_.try_emplace(name, 0);
    if (added) it->second = 0xC000 + static_cast<MessageId>(registry_.size() - 1);
    return it->second;
}

void World::PostMessage(WindowHandle to, MessageId msg, WParam code, LParam value) {
    if (logger32_.Running() && to == logger32_.MainWindow()) {
        (void)logger32_.Receive(msg, code, value, scenario::Delivery::Posted);
    }
}

void World::SendMessageWithReference(WindowHandle to, MessageId msg, WParam code) {
    if (logger32_.Running() && to == logger32_.MainWindow()) {
        (void)logger32_.Receive(msg, code, 0, scenario::Delivery::SentReference);
    }
}

void World::SendText(WindowHandle to, const Text& text) {
    if (onSendText_) onSendText_(to, text);
    const Text arrived = scenario::FromAnsi(scenario::ToAnsi(text));
    if (logger32_.Running() && to == logger32_.TextWindow()) {
        logger32_.ReceiveText(arrived);
    } else if (auto box = ControlOf(to)) {
        // A send to a window of the bridge's own thread runs at once.
        bridge_->TextArrived(*box, arrived);
    }
}

WindowProc World::SetWindowProc(WindowHandle window, WindowProc proc) {
    if (window.value != kBridgeWindow) return {};
    return std::exchange(bridgeProc_, proc);
}

LResult World::CallWindowProc(WindowProc proc, WindowHandle window, MessageId msg, WParam wParam,
                              LParam lParam) {
    if (proc == kFormProc) return FormProc(msg);
    if (proc == kHookProc) return bridge_->HookProc(window, msg, wParam, lParam);
    return 0;
}

LResult World::DispatchToBridgeWindow(MessageId msg, WParam wParam, LParam lParam) {
    return CallWindowProc(bridgeProc_, WindowHandle{kBridgeWindow}, msg, wParam, lParam);
}

LResult World::FormProc(MessageId msg) {
    if (msg == kWmClose) bridge_->Close();
    return 0;
}

void World::MakeTopmost(WindowHandle window) {
    if (window.value == kBridgeWindow) bridgeTopmost_ = true;
    if (window.value == kAboutWindow) aboutTopmost_ = true;
}

// Logger32Port: what the stand-in does to the bridge.
void World::Post(WindowHandle to, MessageId msg, WParam code, LParam value) {
    if (to.value != kBridgeWindow) return;
    queue_.push_back([this, msg, code, value] { DispatchToBridgeWindow(msg, code, value); });
}

void World::SetTextOf(WindowHandle to, const Text& text) {
    const auto box = ControlOf(to);
    if (!box) return;
    const Text arrived = scenario::FromAnsi(scenario::ToAnsi(text));
    IntoBridge([this, box, arrived] { bridge_->TextArrived(*box, arrived); });
}

// --- the thread ---------------------------------------------------------------

void World::Sleep(int milliseconds) {
    const std::int64_t until = now_ + std::max(milliseconds, 0);
    ++sleeping_;
    struct Awake {
        int& sleeping;
        ~Awake() { --sleeping; }
    } awake{sleeping_};
    for (const Action* a = NextAction(); a != nullptr && a->time <= until; a = NextAction()) {
        ApplyNextAction();
    }
    if (NextAction() == nullptr && now_ < until) throw ScenarioOver{};
    now_ = until;
}

void World::MessageBox(const Text& text, const Text& title) {
    trace_.Line("BOX", scenario::Quote(title) + " " + scenario::Quote(text));
    const std::size_t mine = boxes_.size();
    boxes_.push_back(true);
    struct Closed {
        std::vector<bool>& boxes;
        ~Closed() { boxes.pop_back(); }
    } closed{boxes_};
    Pump([this, mine] { return !boxes_[mine]; });
}

void World::EndProgram() {
    trace_.Line("END", "");
    throw ProgramEnded{};
}

void World::StartTimer(int slot, int intervalMs) {
    timers_[static_cast<std::size_t>(slot)] = {true, intervalMs, now_ + intervalMs, ++timerOrder_};
}

void World::StopTimer(int slot) {
    timers_[static_cast<std::size_t>(slot)].running = false;
}

// --- MixW2 ----------------------------------------------------------------------

std::unique_ptr<platform::Automation> World::GetActiveObject(const Text& progId) {
    if (progId != u"MixW2.Application") return nullptr;
    return mixw_.Object();
}

platform::LinkStatus World::ActivateLink(const platform::LinkTarget& link,
                                         platform::LinkSink sink) {
    return mixw_.Advise(link, [this, sink = std::move(sink)](const Text& value) {
        IntoBridge([sink, value] { sink(value); });
    });
}

// --- the view ---------------------------------------------------------------------

WindowHandle World::HandleOf(window::WindowId window) {
    if (window == window::WindowId::About) {
        aboutCreated_ = true;
        return WindowHandle{kAboutWindow};
    }
    return WindowHandle{kBridgeWindow};
}

WindowHandle World::HandleOf(window::ControlId control) {
    return WindowHandle{kFirstControl + static_cast<std::uint64_t>(window::Index(control))};
}

std::optional<window::ControlId> World::ControlOf(WindowHandle h) const {
    if (h.value < kFirstControl || h.value >= kFirstControl + window::kControlCount)
        return std::nullopt;
    const auto id = static_cast<window::ControlId>(h.value - kFirstControl);
    if (window::Design(id).kind != window::ControlKind::TextBox) return std::nullopt;
    return id;
}

void World::ControlChanged(window::ControlId control) {
    if (control == window::ControlId::StatusLine) {
        trace_.Line("STATUS", scenario::Quote(bridge_->State().form.GetText(control)));
    }
}

std::optional<std::string> World::HandleName(std::int64_t value) const {
    const auto v = static_cast<std::uint64_t>(value);
    if (v == kBridgeWindow) return "Linkwell";
    if (v == kFirstControl +
                 static_cast<std::uint64_t>(window::Index(window::ControlId::Logger32TextBox)))
        return "Sent";
    if (v ==
        kFirstControl + static_cast<std::uint64_t>(window::Index(window::ControlId::ClusterBox)))
        return "Cluster";
    if (logger32Instance_ > 0) {
        if (v == logger32_.MainWindow().value) return "Logger32";
        if (v == logger32_.TextWindow().value) return "Logger32Text";
    }
    return std::nullopt;
}

std::int64_t World::ResolveParam(const ParamToken& p) const {
    if (!p.handle) return p.number;
    const auto& n = *p.handle;
    using window::ControlId;
    if (n == "Linkwell") return static_cast<std::int64_t>(kBridgeWindow);
    if (n == "Sent")
        return static_cast<std::int64_t>(kFirstControl) + window::Index(ControlId::Logger32TextBox);
    if (n == "Cluster")
        return static_cast<std::int64_t>(kFirstControl) + window::Index(ControlId::ClusterBox);
    const std::uint64_t base = kLogger32Base + logger32Instance_ * 0x10;
    if (n == "Logger32") return static_cast<std::int64_t>(base + 1);
    return static_cast<std::int64_t>(base + 2);  // Logger32Text
}

void World::Dump(const std::vector<std::string>& names) {
    if (!names.empty()) {
        for (const auto& n : names) DumpOne(n);
        return;
    }
    for (const auto& c : window::Controls()) DumpOne(std::string(c.name));
    DumpOne("Linkwell");
    DumpOne("Form1");
}

void World::DumpOne(const std::string& name) {
    const auto& form = bridge_->State().form;
    if (name == "Linkwell" || name == "Form1") {
        const auto w = name == "Linkwell" ? window::WindowId::Bridge : window::WindowId::About;
        const bool top = name == "Linkwell" ? bridgeTopmost_ : aboutTopmost_;
        trace_.Line("CTRL",
                    name + " visible=" + Bool(form.WindowVisible(w)) + " topmost=" + Bool(top));
        return;
    }
    const auto id = *window::FindControl(name);
    std::string details = name;
    switch (window::Design(id).kind) {
        case window::ControlKind::TextBox:
        case window::ControlKind::Label:
            details += " text=" + scenario::Quote(form.GetText(id));
            break;
        case window::ControlKind::Button: {
            char colour[16];
            std::snprintf(colour, sizeof colour, "0x%08X", Resolve(form.BackColor(id)));
            details += " caption=" + scenario::Quote(form.GetText(id)) +
                       " enabled=" + Bool(form.Enabled(id)) + " backcolor=" + colour +
                       " visible=" + Bool(form.Visible(id));
            break;
        }
        case window::ControlKind::Timer:
            details += " interval=" + std::to_string(form.Interval(id)) +
                       " enabled=" + Bool(form.Enabled(id));
            break;
    }
    trace_.Line("CTRL", details);
}

}  // namespace linkwell::sim
