// A BridgeState on a recording platform, for tests that call the bridge's
// handlers directly: every post, send, text, MixW call, box and timer change
// is kept in a list of plain strings, and MixW's object and DDE server can
// be made to answer or fail.
#pragma once

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "bridge/bridge.h"
#include "platform/platform.h"
#include "station/station.h"
#include "station/status.h"
#include "support/started.h"
#include "text/text.h"
#include "window/form.h"

namespace linkwell::testing {

using platform::LParam;
using platform::LResult;
using platform::MessageId;
using platform::Text;
using platform::WindowHandle;
using platform::WindowProc;
using platform::WParam;

inline std::string U8(const Text& t) {
    return text::ToUtf8(t);
}

// The status line's trace line while Logger32 hangs, from the program's own
// text: a rewording changes it here too.
inline std::string HungStatus() {
    return "STATUS \"" + text::ToUtf8(station::kLogger32NotAnswering) + "\"";
}

// Thrown by EndProgram so a test can see that the program ended.
struct Ended {};

class FakeMixW final : public platform::Automation {
public:
    FakeMixW(std::vector<std::string>& log, bool& alive, bool& gone, double& fqa, double& audio,
             int& goodReads, const std::optional<platform::FailureReason>& failure)
        : log_(log),
          alive_(alive),
          gone_(gone),
          fqa_(fqa),
          audio_(audio),
          goodReads_(goodReads),
          failure_(failure) {}
    platform::CallStatus ExecuteMacros(const Text& m) override {
        if (!alive_) return platform::CallStatus::Failed;
        log_.push_back("ExecuteMacros " + U8(m));
        return platform::CallStatus::Done;
    }
    platform::CallStatus SetQsoData(std::int16_t f, Text& v) override {
        if (!alive_) return platform::CallStatus::Failed;
        log_.push_back("SetQsoData " + std::to_string(f) + " " + U8(v));
        return platform::CallStatus::Done;
    }
    platform::NumberResult FqA() override { return Read(fqa_); }
    bool ServerGone() override { return gone_; }
    bool StillThere() override { return !gone_; }
    platform::NumberResult AudioFq() override { return Read(audio_); }
    std::optional<platform::FailureReason> LastFailure() override { return failure_; }

private:
    std::vector<std::string>& log_;
    bool& alive_;
    bool& gone_;
    double& fqa_;
    double& audio_;
    int& goodReads_;
    const std::optional<platform::FailureReason>& failure_;

    platform::NumberResult Read(double value) {
        if (!alive_ || goodReads_ == 0) return std::nullopt;
        if (goodReads_ > 0) --goodReads_;
        return value;
    }
};

class FakeWorld final : public platform::Platform, public window::FormView {
public:
    static constexpr std::uint64_t kLogger32 = 0x500;
    static constexpr std::uint64_t kLogger32Text = 0x501;

    FakeWorld() : bridge(*this, *this) {}

    // --- knobs ----------------------------------------------------------------
    bool logger32Present = true;
    bool mixwRunning = true;  // GetActiveObject succeeds, links open
    bool mixwAlive = true;    // calls on an obtained object succeed
    bool mixwGone = false;    // the object's server is gone (with mixwAlive false)
    bool linksConnected = true;
    bool linksReachable = true;  // false: no DDE conversation can be had now
    platform::Delivery textDelivery = platform::Delivery::Delivered;  // SendText's answer
    platform::Delivery postDelivery = platform::Delivery::Delivered;  // PostMessage's answer
    double fqa = 0;
    double audioFq = 0;
    int goodReads = -1;  // property reads that succeed from now; -1: all
    Text decimal = u".";
    std::map<std::string, Text> items;  // DDE items by name as the bridge spells them
    std::vector<std::string> refusedItems;
    int boxesToAnswer = 1000;  // message boxes return at once
    // The reason the world gives for whatever fails (LastFailure), and the
    // one MixW's object gives for its calls; none by default, as the
    // simulated world.
    std::optional<platform::FailureReason> failure;
    std::optional<platform::FailureReason> mixwFailure;

    // --- what happened, in order ------------------------------------------------
    std::vector<std::string> log;
    std::vector<std::string> timerLog;
    std::map<int, int> timers;  // running timers: slot -> interval
    std::map<std::string, platform::LinkTarget> links;
    int sleptMs = 0;

    Bridge bridge;
    BridgeState& S() { return bridge.State(); }

    // Started and linked to Logger32 (support/started.h); the log is cleared.
    void StartAndLink() {
        testing::StartAndLink(*this, WindowHandle{kLogger32Text});
        log.clear();
        timerLog.clear();
    }
    void Tick(window::ControlId timer) { bridge.TimerTick(window::TimerSlot(timer)); }
    void Deliver(const std::string& item, const Text& value) {
        items[item] = value;
        if (auto it = links.find(item); it != links.end())
            bridge.LinkValueArrived(it->second, value);
    }
    void Clear() { log.clear(); }

    // --- Platform ---------------------------------------------------------------
    WindowHandle FindWindowByTitle(const Text& t) override {
        return (t == u"Logger32" && logger32Present) ? WindowHandle{kLogger32} : WindowHandle{};
    }
    MessageId RegisterMessage(const Text& name) override {
        auto [it, added] =
            registry_.try_emplace(name, 0xC000 + static_cast<MessageId>(registry_.size()));
        return it->second;
    }
    platform::Delivery PostMessage(WindowHandle to, MessageId msg, WParam code,
                                   LParam value) override {
        log.push_back("post " + std::to_string(to.value) + " " + NameOf(msg) + " " +
                      std::to_string(code) + " " + std::to_string(value));
        return postDelivery;
    }
    platform::Delivery SendMessageWithReference(WindowHandle to, MessageId msg,
                                                WParam code) override {
        log.push_back("send " + std::to_string(to.value) + " " + NameOf(msg) + " " +
                      std::to_string(code) + " ref");
        return postDelivery;
    }
    platform::Delivery SendText(WindowHandle to, const Text& text) override {
        log.push_back("text " + std::to_string(to.value) + " " + U8(text));
        return textDelivery;
    }
    // Logger32's windows are 0x500-0x5FF in process 2 while it runs; the
    // bridge's are process 1.
    std::uint32_t ProcessOf(WindowHandle w) override {
        if (thirdProgramWindow != 0 && w.value == thirdProgramWindow) return 3;
        if (w.value >= kLogger32 && w.value < kLogger32 + 0x100) return logger32Present ? 2 : 0;
        if (w.value == 0x100 || w.value == 0x200 ||
            (w.value >= 0x1000 && w.value < 0x1000 + window::kControlCount)) {
            return 1;
        }
        return 0;
    }
    WindowProc SetWindowProc(WindowHandle, WindowProc proc) override {
        log.push_back("setproc " + std::to_string(proc.value));
        return std::exchange(proc_, proc);
    }
    LResult CallWindowProc(WindowProc proc, WindowHandle, MessageId msg, WParam wp,
                           LParam lp) override {
        log.push_back("callproc " + std::to_string(proc.value) + " " + std::to_string(msg) + " " +
                      std::to_string(wp) + " " + std::to_string(lp));
        return 77;
    }
    WindowProc HookProcedure() override { return WindowProc{2}; }
    void MakeTopmost(WindowHandle w) override {
        log.push_back("topmost " + std::to_string(w.value));
    }
    void Sleep(int ms) override {
        sleptMs += ms;
        log.push_back("sleep " + std::to_string(ms));
        if (onSleep) onSleep();
    }
    std::function<void()> onSleep;
    void MessageBox(const Text& text, const Text& title) override {
        log.push_back("box " + U8(title) + ": " + U8(text));
        if (onBox) onBox();
    }
    std::function<void()> onBox;
    // The UDP socket: every call, and whether it works.
    bool udpOpens = true;
    bool udpSends = true;
    std::vector<std::string> udpLog;
    std::deque<std::vector<std::uint8_t>> udpArriving;
    bool OpenUdp(const platform::UdpAddress& to) override {
        udpLog.push_back("open " + std::to_string(to.port));
        return udpOpens;
    }
    bool SendUdp(const std::vector<std::uint8_t>& datagram) override {
        udpSent.push_back(datagram);
        udpLog.push_back("send");
        return udpSends;
    }
    std::vector<std::vector<std::uint8_t>> udpSent;
    std::optional<std::vector<std::uint8_t>> ReceiveUdp() override {
        udpLog.push_back("receive");
        if (udpArriving.empty()) return std::nullopt;
        auto d = std::move(udpArriving.front());
        udpArriving.pop_front();
        return d;
    }
    void CloseUdp() override { udpLog.push_back("close"); }
    std::optional<platform::FailureReason> LastFailure() override { return failure; }
    [[noreturn]] void EndProgram() override {
        log.push_back("end");
        throw Ended{};
    }
    void StartTimer(int slot, int ms) override {
        timers[slot] = ms;
        timerLog.push_back("start " + SlotName(slot) + " " + std::to_string(ms));
    }
    void StopTimer(int slot) override {
        if (timers.erase(slot) != 0) {
            timerLog.push_back("stop " + SlotName(slot));
        }
    }
    std::unique_ptr<platform::Automation> GetActiveObject(const Text& progId) override {
        if (progId != u"MixW2.Application" || !mixwRunning) return nullptr;
        return std::make_unique<FakeMixW>(log, mixwAlive, mixwGone, fqa, audioFq, goodReads,
                                          mixwFailure);
    }
    platform::LinkStatus ActivateLink(const platform::LinkTarget& l) override {
        const auto item = U8(l.item);
        log.push_back("link " + U8(l.service) + "|" + U8(l.topic) + " " + item);
        if (!mixwRunning || !linksReachable) return platform::LinkStatus::Unreachable;
        if (std::find(refusedItems.begin(), refusedItems.end(), item) != refusedItems.end()) {
            return platform::LinkStatus::Refused;
        }
        links[item] = l;
        if (auto it = items.find(item); it != items.end()) bridge.LinkValueArrived(l, it->second);
        return platform::LinkStatus::Active;
    }
    bool LinksConnected() override { return linksConnected; }
    void CloseLinks() override {
        log.push_back("closelinks");
        links.clear();
    }
    Text DecimalSeparator() override { return decimal; }
    Text UtcDate() override { return u"20261209"; }
    Text NotLoggedPath() override { return u"C:\\Local\\Linkwell\\not-logged.adi"; }
    bool NotLoggedThere() override { return notLogged.has_value(); }
    std::optional<Text> ReadNotLogged() override {
        log.push_back(aside_ ? "file read aside" : "file read");
        return notLogged;
    }
    platform::FileWrite WriteNotLogged(const platform::NotLoggedText& content) override {
        const Text whole = content.Whole();
        earlierAsked.push_back(content.earlier.get());
        log.push_back(whole.empty() ? "file removed" : "file written");
        if (writesPending) {
            asked = whole;
            return platform::FileWrite::Pending;
        }
        return Put(whole) ? platform::FileWrite::Done : platform::FileWrite::Failed;
    }
    // The newest text asked is written now, as a writer thread would.
    bool FinishNotLoggedWrite() override {
        log.push_back("write finished");
        return asked && Put(*std::exchange(asked, std::nullopt));
    }
    // The writer thread's word, in the bridge's turn.
    void EndPendingWrite() {
        bridge.NotLoggedWritten(asked && Put(*std::exchange(asked, std::nullopt)));
    }
    void RunAside(const std::function<void()>& work) override {
        aside_ = true;
        work();
        aside_ = false;
    }
    bool Put(const Text& whole) {
        if (!fileWritable) return false;
        if (whole.empty()) {
            notLogged.reset();
        } else {
            notLogged = whole;
        }
        return true;
    }
    std::optional<Text> MoveNotLoggedAside() override {
        if (!fileWritable || !notLogged) return std::nullopt;
        log.push_back("file moved aside");
        movedAside = std::exchange(notLogged, std::nullopt);
        return u"not-logged-20261209-120000.adi";
    }
    Text UnsavedPath() override { return u"C:\\Local\\Linkwell\\not-logged-unsaved.adi"; }
    std::optional<Text> ReadUnsaved() override { return unsaved; }
    bool WriteUnsaved(const Text& content) override {
        log.push_back("unsaved written");
        if (!unsavedWritable) return false;
        unsaved = content;
        return true;
    }
    std::optional<Text> notLogged;
    std::optional<Text> movedAside;
    std::optional<Text> unsaved;
    bool fileWritable = true;
    bool writesPending = false;  // writes of not-logged.adi end later (a writer thread)
    std::optional<Text> asked;   // the newest text a pending write was asked to write
    // The earlier run's records each write was given (shared, not copied).
    std::vector<const Text*> earlierAsked;
    bool unsavedWritable = true;
    std::uint64_t thirdProgramWindow = 0;  // a window of another program (process 3)

    // --- FormView -----------------------------------------------------------------
    WindowHandle HandleOf(window::WindowId w) override {
        return WindowHandle{w == window::WindowId::Bridge ? 0x100u : 0x200u};
    }
    WindowHandle HandleOf(window::ControlId c) override {
        return WindowHandle{0x1000u + static_cast<std::uint64_t>(window::Index(c))};
    }
    void ControlChanged(window::ControlId) override {}
    void WindowChanged(window::WindowId) override {}

private:
    static std::string SlotName(int slot) {
        if (slot == window::kWatchTimerSlot) return "watch";
        return std::string(window::Design(window::TimerFromSlot(slot)).name);
    }
    std::string NameOf(MessageId msg) const {
        for (const auto& [name, id] : registry_) {
            if (id == msg) return "\"" + U8(name) + "\"";
        }
        return std::to_string(msg);
    }
    std::map<Text, MessageId> registry_;
    WindowProc proc_{1};
    bool aside_ = false;
};

}  // namespace linkwell::testing
