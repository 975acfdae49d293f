#include "sim/world.h"

#include <cstdio>
#include <limits>
#include <utility>

#include "not_logged/not_logged.h"
#include "text/text.h"
#include "window/timing.h"

namespace linkwell::sim {
namespace {

// Unwinds the bridge's stack when the program ends or the scenario is over.
struct ProgramEnded {};
struct ScenarioOver {};

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
        if (!messages_.empty()) {
            auto event = std::move(messages_.front());
            messages_.pop_front();
            event();
            continue;
        }
        if (pendingText_ && now_ >= TextWindowHungUntil()) {
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
            const bool paced = ticksPaced_;
            // A timer keeps its phase, as Windows' do: the ticks it missed
            // while the bridge waited come as one, and the next on time.
            const std::int64_t missed = t.interval > 0 ? (now_ - t.due) / t.interval : 0;
            t.due = paced ? kNever : t.due + (missed + 1) * std::max(t.interval, 1);
            bridge_->TimerTick(dueSlot);
            continue;
        }
        if (pendingText_) nextDue = std::min(nextDue, TextWindowHungUntil());
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
    if (busy_ > 0) {
        messages_.push_back(std::move(event));
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
    textWindowHungUntil_ = 0;
    logger32KnownHung_ = false;
    if (pendingText_) {
        pendingText_.reset();
        const auto d = std::exchange(pendingBegun_, false) ? platform::Delivery::InDoubt
                                                           : platform::Delivery::NoWindow;
        messages_.push_back([this, d] { EndSend(d); });
    }
}

void World::StopMixW() {
    mixw_.Stop();
    conversations_.clear();
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
    if (closeAnsweredAtOnce_) {
        DispatchToBridgeWindow(kWmClose, 0, 0);
        return;
    }
    IntoBridge([this] {
        if (boxes_.empty()) DispatchToBridgeWindow(kWmClose, 0, 0);
    });
}

// Windows asks every program, also one with a box open or waiting in a send
// or a call (the thread serves what is sent to it meanwhile): the bridge
// answers at once, inside whatever it was doing.
void World::EndSession() {
    bridge_->EndSession();
}

// --- the file of QSOs Logger32 did not take ----------------------------------------

Text World::NotLoggedPath() {
    return u"C:\\Users\\operator\\AppData\\Local\\Linkwell\\not-logged.adi";
}

// Traced as the number of QSO records the file holds (0: removed).
bool World::WriteNotLoggedText(const Text& content) {
    // Removing a file that is not there is done (as on Windows).
    if (content.empty() && !notLogged_) return true;
    if (!notLoggedWritable_ || NotLoggedHeld()) return false;
    if (content.empty()) {
        notLogged_.reset();
    } else {
        notLogged_ = content;
    }
    trace_.Line("FILE", "\"not-logged.adi\" " + std::to_string(not_logged::RecordCount(content)));
    return true;
}

// The simulated day is fixed; the time of day is the scenario's clock.
std::optional<Text> World::MoveNotLoggedAside() {
    if (!notLoggedWritable_ || NotLoggedHeld() || !notLogged_) return std::nullopt;
    const auto seconds = now_ / 1000;
    char stamp[16] = {};
    std::snprintf(stamp, sizeof stamp, "%02d%02d%02d", static_cast<int>(seconds / 3600 % 24),
                  static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
    const std::string base = "not-logged-" + text::ToUtf8(UtcDate()) + "-" + stamp;
    std::string name = base + ".adi";
    for (int n = 2; movedAside_.count(name) != 0; ++n) {
        name = base + "-" + std::to_string(n) + ".adi";
    }
    const Text moved = *std::exchange(notLogged_, std::nullopt);
    movedAside_[name] = moved;
    trace_.Line("FILE", "\"not-logged.adi\" 0");
    trace_.Line("FILE", "\"" + name + "\" " + std::to_string(not_logged::RecordCount(moved)));
    return Text(name.begin(), name.end());
}

Text World::UnsavedPath() {
    return u"C:\\Users\\operator\\AppData\\Local\\Linkwell\\not-logged-unsaved.adi";
}

bool World::WriteUnsaved(const Text& content) {
    if (!notLoggedWritable_) return false;
    if (content.empty()) {
        unsaved_.reset();
    } else {
        unsaved_ = content;
    }
    trace_.Line("FILE",
                "\"not-logged-unsaved.adi\" " + std::to_string(not_logged::RecordCount(content)));
    return true;
}

// --- the thread ---------------------------------------------------------------

void World::Sleep(int milliseconds) {
    const bool outer = closeAnsweredAtOnce_;
    closeAnsweredAtOnce_ = true;
    struct Restore {
        bool& flag;
        bool value;
        ~Restore() { flag = value; }
    } restore{closeAnsweredAtOnce_, outer};
    WaitInCall(std::max(milliseconds, 0));
}

void World::WaitInCall(std::int64_t ms, const std::function<bool()>& over) {
    const std::int64_t until = now_ + ms;
    ++busy_;
    struct Awake {
        int& busy;
        ~Awake() { --busy; }
    } awake{busy_};
    for (const Action* a = player_.Next(); a != nullptr && a->time <= until; a = player_.Next()) {
        ApplyNextAction();
        if (over && over()) return;
    }
    if (player_.Next() == nullptr && now_ < until) throw ScenarioOver{};
    now_ = until;
}

void World::MessageBox(const Text& text, const Text& title) {
    trace_.Line("BOX", text::Quote(title) + " " + text::Quote(text));
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
    timers_[static_cast<std::size_t>(slot)] = {
        true, intervalMs, ticksPaced_ ? kNever : now_ + intervalMs, ++timerOrder_};
}

void World::PaceTicksByScenario() {
    ticksPaced_ = true;
    for (auto& t : timers_) t.due = kNever;
}

// The timer is due now: it ticks as it would have, among the timers due
// now in their order, once the bridge is free; one tick for all that came
// while it waited. Where the ticks are recorded, that order is the
// recording's: after a long wait Windows may hand over the watch's tick
// before an older timer's in the same millisecond.
void World::Tick(int slot) {
    auto& t = timers_[static_cast<std::size_t>(slot)];
    if (!t.running) return;
    t.due = std::min(t.due, now_);
    if (ticksPaced_) t.order = ++timerOrder_;
}

void World::StopTimer(int slot) {
    timers_[static_cast<std::size_t>(slot)].running = false;
}

}  // namespace linkwell::sim
