// A world that does as little as a world can: the bridge's sends, posts and
// MixW calls are counted and dropped, MixW's object answers at once with
// fixed numbers, and DDE links deliver straight into their boxes. What a
// benchmark measures on it is the bridge's own work.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <utility>

#include "bridge/bridge.h"
#include "platform/platform.h"
#include "station/station.h"
#include "tests/support/started.h"
#include "window/form.h"

namespace linkwell::bench {

using platform::Text;
using platform::WindowHandle;

struct Counts {
    std::uint64_t texts = 0;
    std::uint64_t textUnits = 0;
    std::uint64_t posts = 0;
    std::uint64_t mixwCalls = 0;
    // Writes of not-logged.adi asked, and the characters built for them
    // (the earlier run's records are shared, not built).
    std::uint64_t writes = 0;
    std::uint64_t writtenUnits = 0;
};

class QuietMixW final : public platform::Automation {
public:
    QuietMixW(Counts& counts, double& fqa, double& audioFq)
        : counts_(counts), fqa_(fqa), audioFq_(audioFq) {}
    platform::CallStatus ExecuteMacros(const Text&) override {
        ++counts_.mixwCalls;
        return platform::CallStatus::Done;
    }
    platform::CallStatus SetQsoData(std::int16_t, Text&) override {
        ++counts_.mixwCalls;
        return platform::CallStatus::Done;
    }
    platform::NumberResult FqA() override { return fqa_; }
    platform::NumberResult AudioFq() override { return audioFq_; }
    bool ServerGone() override { return false; }
    bool StillThere() override { return true; }

private:
    Counts& counts_;
    double& fqa_;
    double& audioFq_;
};

class QuietWorld final : public platform::Platform, public window::FormView {
public:
    static constexpr std::uint64_t kLogger32 = 0x500;
    static constexpr std::uint64_t kLogger32Text = 0x501;

    QuietWorld() : bridge(*this, *this) {}

    Counts counts;
    double fqa = 14070000;
    double audioFq = 1500;
    // not-logged.adi as an earlier run left it, what a write comes to, and
    // what becomes of the texts for Logger32.
    std::optional<Text> earlier;
    platform::FileWrite writeResult = platform::FileWrite::Done;
    platform::Delivery textDelivery = platform::Delivery::Delivered;
    Bridge bridge;

    BridgeState& S() { return bridge.State(); }

    // Started and linked (tests/support/started.h); then the first push tick
    // opens the links.
    void Attach() {
        testing::StartAndLink(*this, WindowHandle{kLogger32Text});
        Tick(window::ControlId::PushTimer);
    }
    void Tick(window::ControlId timer) { bridge.TimerTick(window::TimerSlot(timer)); }
    // MixW's DDE item behind a box takes a new value.
    void Deliver(window::ControlId box, const Text& value) { bridge.TextArrived(box, value); }

    // --- Platform -----------------------------------------------------------
    WindowHandle FindWindowByTitle(const Text&) override { return WindowHandle{kLogger32}; }
    platform::MessageId RegisterMessage(const Text& name) override {
        auto [it, added] = registry_.try_emplace(name, 0);
        if (added) it->second = 0xC000 + static_cast<platform::MessageId>(registry_.size() - 1);
        return it->second;
    }
    platform::Delivery PostMessage(WindowHandle, platform::MessageId, platform::WParam,
                                   platform::LParam) override {
        ++counts.posts;
        return platform::Delivery::Delivered;
    }
    platform::Delivery SendMessageWithReference(WindowHandle, platform::MessageId,
                                                platform::WParam) override {
        ++counts.posts;
        return platform::Delivery::Delivered;
    }
    platform::Delivery SendText(WindowHandle, const Text& text) override {
        ++counts.texts;
        counts.textUnits += text.size();
        return textDelivery;
    }
    // Logger32's two windows are one process, the bridge's another.
    std::uint32_t ProcessOf(WindowHandle w) override {
        return w.value == kLogger32 || w.value == kLogger32Text ? 2 : 1;
    }
    platform::WindowProc SetWindowProc(WindowHandle, platform::WindowProc proc) override {
        return std::exchange(proc_, proc);
    }
    platform::LResult CallWindowProc(platform::WindowProc, WindowHandle, platform::MessageId,
                                     platform::WParam, platform::LParam) override {
        return 0;
    }
    platform::WindowProc HookProcedure() override { return platform::WindowProc{2}; }
    void MakeTopmost(WindowHandle) override {}
    void Sleep(int) override {}
    void MessageBox(const Text&, const Text&) override {}
    [[noreturn]] void EndProgram() override { throw Ended{}; }
    void StartTimer(int, int) override {}
    void StopTimer(int) override {}
    std::unique_ptr<platform::Automation> GetActiveObject(const Text&) override {
        return std::make_unique<QuietMixW>(counts, fqa, audioFq);
    }
    platform::LinkStatus ActivateLink(const platform::LinkTarget&) override {
        // Values reach the boxes through Deliver, as a hot link would bring them.
        return platform::LinkStatus::Active;
    }
    bool LinksConnected() override { return true; }
    void CloseLinks() override {}
    Text DecimalSeparator() override { return u"."; }
    Text UtcDate() override { return u"20261209"; }
    Text NotLoggedPath() override { return u"not-logged.adi"; }
    std::optional<Text> ReadNotLogged() override { return earlier; }
    bool NotLoggedThere() override { return earlier.has_value(); }
    platform::FileWrite WriteNotLogged(const platform::NotLoggedText& text) override {
        ++counts.writes;
        counts.writtenUnits += text.header.size() + text.records.size();
        return writeResult;
    }
    bool FinishNotLoggedWrite() override { return true; }
    void RunAside(const std::function<void()>& work) override { work(); }
    std::optional<Text> MoveNotLoggedAside() override { return std::nullopt; }
    Text UnsavedPath() override { return u"not-logged-unsaved.adi"; }
    std::optional<Text> ReadUnsaved() override { return std::nullopt; }
    bool WriteUnsaved(const Text&) override { return true; }

    // --- FormView -------------------------------------------------------------
    WindowHandle HandleOf(window::WindowId w) override {
        return WindowHandle{w == window::WindowId::Bridge ? 0x100u : 0x200u};
    }
    WindowHandle HandleOf(window::ControlId c) override {
        return WindowHandle{0x1000u + static_cast<std::uint64_t>(window::Index(c))};
    }
    void ControlChanged(window::ControlId) override {}
    void WindowChanged(window::WindowId) override {}

    struct Ended {};

private:
    std::map<Text, platform::MessageId> registry_;
    platform::WindowProc proc_{1};
};

}  // namespace linkwell::bench
