#include "sim/world.h"

#include <limits>
#include <utility>

#include "scenario/text.h"
#include "vocabulary/handles.h"
#include "window/intervals.h"

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

}  // namespace

World::World(std::vector<Action> actions, std::ostream& out, field_trace::Output* fieldTrace)
    : World(scenario::SourceOf(std::move(actions)), out, fieldTrace) {}

World::World(ActionSource source, std::ostream& out, field_trace::Output* fieldTrace)
    : trace_(out),
      logger32_(*this, trace_),
      mixw_(trace_),
      player_(*this, logger32_, mixw_, std::move(source)) {
    trace_.SetClock([this] { return now_; });
    trace_.SetHandleNames([this](std::int64_t v) { return player_.HandleName(v); });
    mixw_.BeforeCall([this] { return MixWCallReturns(); });
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
        const Action* next = player_.Next();
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
        if (pendingText_ && now_ >= logger32HungUntil_) {
            FinishPendingText();
            continue;
        }
        int dueSlot = -1;
        std::int64_t nextDue = std::numeric_limits<std::int64_t>::max();
        for (int slot = 0; slot < window::kTimerSlotCount; ++slot) {
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
        if (pendingText_) nextDue = std::min(nextDue, logger32HungUntil_);
        if (next == nullptr) throw ScenarioOver{};
        now_ = std::min(nextDue, next->time);
    }
}

void World::ApplyNextAction() {
    // Taken out first: applying it may run the bridge, which may look ahead.
    const Action a = player_.Take();
    if (a.time > now_) now_ = a.time;
    player_.Apply(a);
}

void World::IntoBridge(std::function<void()> event) {
    if (sleeping_ > 0) {
        queue_.push_back(std::move(event));
    } else {
        event();
    }
}

// --- the programs and the operator ---------------------------------------------

void World::StartLogger32(bool withTextWindow) {
    ++logger32Instance_;
    const std::uint64_t base = kLogger32Base + logger32Instance_ * 0x10;
    logger32_.Start(withTextWindow, WindowHandle{base + 1}, WindowHandle{base + 2});
}

// Ended while hung, as Task Manager ends it: the text it held dies with it,
// and a new Logger32 answers.
void World::StopLogger32() {
    logger32_.Stop();
    logger32HungUntil_ = 0;
    logger32KnownHung_ = false;
    if (pendingText_) {
        pendingText_.reset();
        queue_.push_back([this] { EndSend(platform::Delivery::NoWindow); });
    }
}

void World::StopMixW() {
    mixw_.Stop();
    mixwHungUntil_ = 0;
    mixwCallStuckUntil_ = 0;
}

void World::Click(window::ControlId button) {
    // A button that is disabled when it is clicked takes no click, also
    // while the bridge is busy; an enabled one acts once the bridge is free.
    if (!bridge_->State().form.Enabled(button) || !boxes_.empty()) return;
    IntoBridge([this, button] {
        if (boxes_.empty()) bridge_->Click(button);
    });
}

void World::PressOk() {
    for (auto it = boxes_.rbegin(); it != boxes_.rend(); ++it) {
        if (*it) {
            *it = false;
            break;
        }
    }
}

void World::CloseBridge() {
    if (!boxes_.empty()) return;
    // During a start-up wait the window keeps answering: a close runs now.
    if (inStartupWait_) {
        DispatchToBridgeWindow(kWmClose, 0, 0);
        return;
    }
    IntoBridge([this] {
        if (boxes_.empty()) DispatchToBridgeWindow(kWmClose, 0, 0);
    });
}

// Windows asks every program, also one with a box open; during a start-up
// wait the window answers at once, as it does a close.
void World::EndSession() {
    if (inStartupWait_) {
        bridge_->EndSession();
        return;
    }
    IntoBridge([this] { bridge_->EndSession(); });
}

// --- the file of QSOs Logger32 did not take ----------------------------------------

Text World::NotLoggedPath() {
    return u"C:\\Users\\operator\\AppData\\Local\\Linkwell\\not-logged.adi";
}

// Traced as the number of QSO records the file holds (0: removed).
bool World::WriteNotLogged(const Text& content) {
    if (!notLoggedWritable_) return false;
    if (content.empty()) {
        notLogged_.reset();
    } else {
        notLogged_ = content;
    }
    Text upper = content;
    for (auto& c : upper) c = (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
    std::size_t records = 0;
    for (auto at = upper.find(u"<EOR>"); at != Text::npos; at = upper.find(u"<EOR>", at + 1)) {
        ++records;
    }
    trace_.Line("FILE", "\"not-logged.adi\" " + std::to_string(records));
    return true;
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

platform::Delivery World::PostMessage(WindowHandle to, MessageId msg, WParam code, LParam value) {
    if (!logger32_.Running() || to != logger32_.MainWindow()) return platform::Delivery::NoWindow;
    (void)logger32_.Receive(msg, code, value, scenario::Delivery::Posted);
    return platform::Delivery::Delivered;
}

platform::Delivery World::SendMessageWithReference(WindowHandle to, MessageId msg, WParam code) {
    if (!logger32_.Running() || to != logger32_.MainWindow()) return platform::Delivery::NoWindow;
    return SendToLogger32([this, msg, code] {
        (void)logger32_.Receive(msg, code, 0, scenario::Delivery::SentReference);
    });
}

platform::Delivery World::SendText(WindowHandle to, const Text& text) {
    if (onSendText_) onSendText_(to, text);
    const Text arrived = scenario::FromAnsi(scenario::ToAnsi(text));
    if (logger32_.Running() && to == logger32_.TextWindow()) return SendTextToLogger32(arrived);
    if (auto box = ControlOf(to)) {
        // A send to a window of the bridge's own thread runs at once.
        bridge_->TextArrived(*box, arrived);
        return platform::Delivery::Delivered;
    }
    return platform::Delivery::NoWindow;
}

platform::Delivery World::SendTextToLogger32(const Text& text) {
    if (pendingText_) return platform::Delivery::NotAnswering;
    const std::uint64_t instance = logger32Instance_;
    const std::int64_t hung = logger32HungUntil_ - now_;
    if (hung > window::kSendBoundMs) {
        Blocked(window::kSendBoundMs);
        if (!logger32_.Running() || logger32Instance_ != instance) {
            return platform::Delivery::NoWindow;
        }
        pendingText_ = text;
        logger32KnownHung_ = true;
        return platform::Delivery::Pending;
    }
    if (hung > 0) {
        Blocked(hung);
        if (!logger32_.Running() || logger32Instance_ != instance) {
            return platform::Delivery::NoWindow;
        }
    }
    logger32_.ReceiveText(text);
    return platform::Delivery::Delivered;
}

void World::FinishPendingText() {
    const Text text = std::move(*pendingText_);
    pendingText_.reset();
    logger32KnownHung_ = false;
    logger32_.ReceiveText(text);
    queue_.push_back([this] { EndSend(platform::Delivery::Delivered); });
}

void World::EndSend(platform::Delivery result) {
    endingSend_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{endingSend_};
    bridge_->TextSendEnded(result);
}

// The leaving notice waits at most 3 s for a Logger32 that does not answer,
// and none while one is known not to answer.
platform::Delivery World::SendToLogger32(const std::function<void()>& deliver) {
    const std::int64_t hung = logger32HungUntil_ - now_;
    if (hung > 0) {
        if (logger32KnownHung_) return platform::Delivery::NotAnswering;
        if (hung > window::kSendBoundMs) {
            Blocked(window::kSendBoundMs);
            logger32KnownHung_ = true;
            return platform::Delivery::NotAnswering;
        }
        Blocked(hung);
        if (!logger32_.Running()) return platform::Delivery::NoWindow;
    }
    deliver();
    return platform::Delivery::Delivered;
}

std::uint32_t World::ProcessOf(WindowHandle window) {
    if (window.value == kBridgeWindow || window.value == kAboutWindow || ControlOf(window) ||
        (window.value >= kFirstControl && window.value < kFirstControl + window::kControlCount)) {
        return 1;
    }
    if (logger32_.Running() && window.value != 0 &&
        (window == logger32_.MainWindow() || window == logger32_.TextWindow())) {
        return static_cast<std::uint32_t>(100 + logger32Instance_);
    }
    return 0;
}

bool World::Answers(WindowHandle window) {
    const bool answers =
        logger32_.Running() && window == logger32_.MainWindow() && now_ >= logger32HungUntil_;
    if (answers) logger32KnownHung_ = false;
    return answers;
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
    const bool outer = inStartupWait_;
    inStartupWait_ = true;
    struct Restore {
        bool& flag;
        bool value;
        ~Restore() { flag = value; }
    } restore{inStartupWait_, outer};
    Blocked(std::max(milliseconds, 0));
}

void World::Blocked(std::int64_t ms) {
    const std::int64_t until = now_ + ms;
    ++sleeping_;
    struct Awake {
        int& sleeping;
        ~Awake() { --sleeping; }
    } awake{sleeping_};
    for (const Action* a = player_.Next(); a != nullptr && a->time <= until; a = player_.Next()) {
        ApplyNextAction();
    }
    if (player_.Next() == nullptr && now_ < until) throw ScenarioOver{};
    now_ = until;
}

// A call into MixW2's object returns within 5 s or counts as failed; the
// bridge waits meanwhile and handles nothing of its own. A call into a
// MixW2 ended during the call fails.
bool World::MixWCallReturns() {
    const std::int64_t hung = mixwHungUntil_ - now_;
    if (hung <= 0) return true;
    // A call that expired still waits inside MixW2 (on the bridge's call
    // thread): until it returns, later calls fail at once.
    if (now_ < mixwCallStuckUntil_) return false;
    if (hung > window::kCallBoundMs) {
        Blocked(window::kCallBoundMs);
        mixwCallStuckUntil_ = mixwHungUntil_;
        return false;
    }
    Blocked(hung);
    return mixw_.Running() && mixwHungUntil_ <= now_;
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

WindowHandle World::Named(std::string_view name) const {
    using window::ControlId;
    if (name == vocabulary::kLinkwellHandle) return WindowHandle{kBridgeWindow};
    auto control = [](ControlId id) {
        return WindowHandle{kFirstControl + static_cast<std::uint64_t>(window::Index(id))};
    };
    if (name == vocabulary::kSentHandle) return control(ControlId::Logger32TextBox);
    if (name == vocabulary::kClusterHandle) return control(ControlId::ClusterBox);
    if (logger32Instance_ == 0) return {};
    if (name == vocabulary::kLogger32Handle) return logger32_.MainWindow();
    if (name == vocabulary::kLogger32TextHandle) return logger32_.TextWindow();
    return {};
}

std::optional<scenario::ControlLook> World::LookAt(window::ControlId id) {
    const auto& form = bridge_->State().form;
    scenario::ControlLook look;
    look.text = form.GetText(id);
    look.enabled = form.Enabled(id);
    look.backColour = Resolve(form.BackColor(id));
    look.visible = form.Visible(id);
    if (window::Design(id).kind == window::ControlKind::Timer) look.interval = form.Interval(id);
    return look;
}

scenario::WindowLook World::LookAt(window::WindowId window) {
    const bool bridge = window == window::WindowId::Bridge;
    return {bridge_->State().form.WindowVisible(window), bridge ? bridgeTopmost_ : aboutTopmost_};
}

}  // namespace linkwell::sim
