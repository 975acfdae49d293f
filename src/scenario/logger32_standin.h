// Logger32 as the bridge sees it: a top-level window titled "Logger32" that
// knows the five registered names, answers each connect request at once
// (accept, refuse or keep silent, as the scenario says), names its text
// window, and records every code and text it receives.
//
// It lives in a world through Logger32Port, so the simulated world and the
// Windows peer program run the same stand-in.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "scenario/trace.h"

namespace linkwell::scenario {

using platform::LParam;
using platform::MessageId;
using platform::Text;
using platform::WindowHandle;
using platform::WParam;

class Logger32Port {
public:
    virtual ~Logger32Port() = default;
    [[nodiscard]] virtual MessageId Register(const Text& name) = 0;
    virtual void Post(WindowHandle to, MessageId msg, WParam code, LParam value) = 0;
    // WM_SETTEXT from Logger32 (an ANSI program) into a window.
    virtual void SetTextOf(WindowHandle to, const Text& text) = 0;
};

enum class Delivery { Posted, Sent, SentReference };

class Logger32StandIn {
public:
    Logger32StandIn(Logger32Port& port, Trace& trace) : port_(port), trace_(trace) {}

    // --- the scenario's actions ---------------------------------------------
    // A new instance: it knows no bridge yet. The behaviour settings below
    // (refusals, silence) carry over from before it started; a silence ends
    // with the instance that kept it (a Logger32 started anew answers).
    void Start(bool withTextWindow, WindowHandle main, WindowHandle text);
    void Stop() {
        if (running_) silent_ = false;
        running_ = false;
    }
    void Refuse(std::int64_t count) { refusals_ = count; }
    void Silent() { silent_ = true; }
    // Posts under the name of the last connect request, to the window it named.
    void Post(WParam code, LParam value);
    // Writes into the window handed over with the last code 2.
    void SetText(const Text& text);
    // Its text window was closed and `text` made instead (the Windows
    // peers' logger32-text-window): it names it to the bridge of the last
    // connect request with code 3, and in its answers from now.
    void NewTextWindow(WindowHandle text);

    // --- what reaches it -------------------------------------------------------
    // A registered message at the main window. Returns false when the id is
    // none of Logger32's names (the message is not for it).
    bool Receive(MessageId msg, WParam code, LParam value, Delivery how);
    void ReceiveText(const Text& text);

    [[nodiscard]] bool Running() const { return running_; }
    // Logger32's log: each logging text it took, in order, across
    // restarts (the log outlives the program).
    [[nodiscard]] const std::vector<Text>& Logged() const { return logged_; }
    [[nodiscard]] WindowHandle MainWindow() const { return main_; }
    [[nodiscard]] WindowHandle TextWindow() const { return text_; }

private:
    [[nodiscard]] std::optional<std::size_t> NameOf(MessageId msg) const;

    Logger32Port& port_;
    Trace& trace_;
    bool running_ = false;
    bool withTextWindow_ = true;
    bool silent_ = false;
    std::int64_t refusals_ = 0;
    WindowHandle main_;
    WindowHandle text_;
    std::array<MessageId, 5> ids_{};
    // What it learnt from the bridge.
    std::optional<std::size_t> requestName_;
    WindowHandle requester_;
    WindowHandle bridgeTextBox_;
    std::vector<Text> logged_;
};

}  // namespace linkwell::scenario
