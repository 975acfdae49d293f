// The whole bridge wired together: one BridgeState and the entry points through
// which a world (simulated or Windows) delivers events to it. Every entry
// runs on the bridge's one thread; entries nest the way the window system
// nests them (a message box dispatches, a text assignment runs its change
// handler inside the assignment).
#pragma once

#include "platform/platform.h"
#include "station/station.h"
#include "window/form.h"

namespace linkwell {

// Sees what reaches the bridge from outside through its entry points, before
// the bridge acts on it (a field-trace recorder watches here).
class EntryObserver {
public:
    virtual ~EntryObserver() = default;
    virtual void HookMessage(platform::MessageId msg, platform::WParam wParam,
                             platform::LParam lParam) = 0;
    virtual void Clicked(window::ControlId button) = 0;
    virtual void Closing() = 0;
    virtual void TextArriving(window::ControlId box, const platform::Text& text) = 0;
    virtual void LinkValueArriving(const platform::LinkTarget& link,
                                   const platform::Text& value) = 0;
    virtual void SendEnding(platform::Delivery result) = 0;
    virtual void SessionEnding() = 0;
    virtual void FileWriteEnding(bool done) = 0;
    // A timer's tick (the watch's too) begins and ends: the moments the
    // bridge acted by its own clock.
    virtual void Ticking(int slot) = 0;
    virtual void Ticked() = 0;
};

class Bridge {
public:
    Bridge(platform::Platform& os, window::FormView& view);
    Bridge(const Bridge&) = delete;
    Bridge& operator=(const Bridge&) = delete;

    // Program entry: the window is created, its design-time timers start,
    // OnLoad runs and the window is shown.
    void Start();
    // Before Start, with --udp: announcements to the listeners there.
    void AnnounceOnUdp(udp::Settings settings);
    void TimerTick(int slot);
    // The hook procedure, while installed on the bridge window.
    platform::LResult HookProc(platform::WindowHandle window, platform::MessageId msg,
                               platform::WParam wParam, platform::LParam lParam);
    // The operator clicks a button; a disabled button does nothing.
    void Click(window::ControlId button);
    // The window is closed: the unload runs and the program ends.
    void Close();
    // A text written into a box from outside (WM_SETTEXT, a DDE update).
    void TextArrived(window::ControlId box, const platform::Text& text);
    // A DDE link of MixW's brought a value for its box (also the item's
    // current value, inside the link's activation).
    void LinkValueArrived(const platform::LinkTarget& link, const platform::Text& value);
    // A text send that was Pending has ended: Delivered (the window took
    // it) or NoWindow (the window or its program went away first).
    void TextSendEnded(platform::Delivery result);
    // A write of not-logged.adi that was Pending has ended (done: it worked).
    void NotLoggedWritten(bool done);
    // Windows ends the session (shut-down, restart, log-off): the close
    // runs, bounded, with no box; the program ends.
    void EndSession();

    [[nodiscard]] BridgeState& State() { return station_; }
    // At most one; null for none.
    void Observe(EntryObserver* observer) { observer_ = observer; }

private:
    void TextChanged(window::ControlId box);
    void Tick(int slot);
    void AfterEvent();
    void PassNewsUp();
    void PassMixWNewsUp();

    // How deep the entries running now are nested (a box dispatches).
    struct Nested {
        explicit Nested(int& depth) : depth_(depth) { ++depth_; }
        ~Nested() { --depth_; }
        Nested(const Nested&) = delete;
        Nested& operator=(const Nested&) = delete;

    private:
        int& depth_;
    };
    int depth_ = 0;

    EntryObserver* observer_ = nullptr;

    BridgeState station_;
};

}  // namespace linkwell
