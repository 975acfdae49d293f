// The field trace recorder: stands between the bridge and its world and
// writes, as it happens, every event the bridge takes in and gives out, in
// the trace language (docs/field-trace.md lists the kinds).
//
// It is the bridge's platform and view (passing every call on to the
// world's), wraps MixW's object and the DDE link sinks, and watches the
// bridge's entry points. It changes nothing the bridge does: the one thing
// it adds is a single note on the status line when the trace cannot be
// written.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "bridge/bridge.h"
#include "field_trace/output.h"
#include "field_trace/trace_lines.h"
#include "platform/platform.h"
#include "version.h"
#include "vocabulary/kinds.h"
#include "window/form.h"

namespace linkwell::field_trace {

using platform::LParam;
using platform::LResult;
using platform::MessageId;
using platform::Text;
using platform::WindowHandle;
using platform::WindowProc;
using platform::WParam;

// What the first line of a recording says.
inline constexpr std::string_view kSessionHeader = "\"linkwell " LINKWELL_VERSION_TEXT "\"";
// A send to Logger32 or a call on MixW's object that kept the bridge waiting
// this long is noted (WAITED): the replay plays the peer as hung for that
// long. Shorter waits are the ordinary cost of a call.
inline constexpr std::int64_t kWaitedNoteMs = 200;

class Recorder final : public platform::Platform, public window::FormView, public EntryObserver {
public:
    // `clock` gives the milliseconds since the program started.
    Recorder(platform::Platform& os, window::FormView& view, Output& out,
             std::function<std::int64_t()> clock);
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // The bridge built on this recorder: its entries are watched from now,
    // and a trace that could not be opened is reported on its status line.
    void Attach(Bridge& bridge);

    // --- Platform ----------------------------------------------------------
    WindowHandle FindWindowByTitle(const Text& title) override;
    MessageId RegisterMessage(const Text& name) override;
    platform::Delivery PostMessage(WindowHandle to, MessageId msg, WParam code,
                                   LParam value) override;
    platform::Delivery SendMessageWithReference(WindowHandle to, MessageId msg,
                                                WParam code) override;
    platform::Delivery SendText(WindowHandle to, const Text& text) override;
    std::uint32_t ProcessOf(WindowHandle window) override;
    WindowProc SetWindowProc(WindowHandle window, WindowProc proc) override {
        return os_.SetWindowProc(window, proc);
    }
    LResult CallWindowProc(WindowProc proc, WindowHandle window, MessageId msg, WParam wParam,
                           LParam lParam) override {
        return os_.CallWindowProc(proc, window, msg, wParam, lParam);
    }
    WindowProc HookProcedure() override { return os_.HookProcedure(); }
    void MakeTopmost(WindowHandle window) override { os_.MakeTopmost(window); }
    void Sleep(int milliseconds) override { os_.Sleep(milliseconds); }
    void MessageBox(const Text& text, const Text& title) override;
    [[noreturn]] void EndProgram() override;
    void StartTimer(int slot, int intervalMs) override { os_.StartTimer(slot, intervalMs); }
    void StopTimer(int slot) override { os_.StopTimer(slot); }
    std::unique_ptr<platform::Automation> GetActiveObject(const Text& progId) override;
    platform::LinkStatus ActivateLink(const platform::LinkTarget& link) override;
    bool LinksConnected() override;
    void CloseLinks() override { os_.CloseLinks(); }
    Text DecimalSeparator() override;
    Text UtcDate() override { return os_.UtcDate(); }
    Text NotLoggedPath() override { return os_.NotLoggedPath(); }
    std::optional<Text> ReadNotLogged() override;
    // Asked after a read that failed: a file there was held by another
    // program, which the replay plays as the file held (HELD yes).
    bool NotLoggedThere() override {
        const bool there = os_.NotLoggedThere();
        if (there) readHeld_ = true;
        if (!aside_) ReadMet();
        return there;
    }
    // A write the world finishes later says whether it worked when it ends.
    platform::FileWrite WriteNotLogged(const platform::NotLoggedText& content) override {
        const auto result = os_.WriteNotLogged(content);
        if (result != platform::FileWrite::Pending) {
            (void)FileChanged(result == platform::FileWrite::Done);
        }
        return result;
    }
    bool FinishNotLoggedWrite() override { return FileChanged(os_.FinishNotLoggedWrite()); }
    std::optional<platform::FailureReason> LastFailure() override { return os_.LastFailure(); }
    void RunAside(const std::function<void()>& work) override {
        aside_ = true;
        os_.RunAside(work);
        aside_ = false;
        ReadMet();
    }
    std::optional<Text> MoveNotLoggedAside() override {
        auto name = os_.MoveNotLoggedAside();
        (void)FileChanged(name.has_value());
        return name;
    }
    Text UnsavedPath() override { return os_.UnsavedPath(); }
    std::optional<Text> ReadUnsaved() override { return os_.ReadUnsaved(); }
    bool WriteUnsaved(const Text& content) override { return os_.WriteUnsaved(content); }
    // The datagrams pass through unrecorded: they are for other programs,
    // and a replay plays the bridge without them.
    bool OpenUdp(const platform::UdpAddress& to) override { return os_.OpenUdp(to); }
    bool SendUdp(const std::vector<std::uint8_t>& datagram) override {
        return os_.SendUdp(datagram);
    }
    std::optional<std::vector<std::uint8_t>> ReceiveUdp() override { return os_.ReceiveUdp(); }
    void CloseUdp() override { os_.CloseUdp(); }

    // --- FormView ----------------------------------------------------------
    WindowHandle HandleOf(window::WindowId window) override { return view_.HandleOf(window); }
    WindowHandle HandleOf(window::ControlId control) override { return view_.HandleOf(control); }
    void ControlChanged(window::ControlId control) override;
    void WindowChanged(window::WindowId window) override { view_.WindowChanged(window); }

    // --- EntryObserver -------------------------------------------------------
    void HookMessage(MessageId msg, WParam wParam, LParam lParam) override;
    void Clicked(window::ControlId button) override;
    void Closing() override;
    void TextArriving(window::ControlId box, const Text& text) override;
    void LinkValueArriving(const platform::LinkTarget& link, const Text& value) override;
    // A text Logger32 did not take in time was taken after all, or died with
    // its window; a DOUBT ahead of the end it qualifies, for the replay's hang.
    void SendEnding(platform::Delivery result) override {
        if (result == platform::Delivery::InDoubt) Write(vocabulary::Kind::Doubt, "text");
        Write(vocabulary::Kind::Settled,
              result == platform::Delivery::Delivered ? "taken" : "gone");
    }
    void SessionEnding() override { Write(vocabulary::Kind::EndSession, ""); }
    void FileWriteEnding(bool done) override { (void)FileChanged(done); }
    void Ticking(int slot) override;
    void Ticked() override { watchTickAt_.reset(); }

private:
    friend class RecordedObject;
    // A value read now that differs from the last one read: "VALUE" alone
    // the first time, "VALUE after T" when the read at T gave another.
    struct Polled {
        std::optional<std::string> value;
        std::int64_t lastRead = 0;
    };

    void Write(vocabulary::Kind kind, std::string_view details);
    void Poll(Polled& p, vocabulary::Kind kind, std::string value);
    // `why`: the world's reason, asked of it right after the call.
    void CallFailed(std::string_view member, const std::optional<platform::FailureReason>& why);
    // Notes a call or send that started at `since` and kept the bridge waiting.
    void Waited(std::string_view what, std::int64_t since);
    void CallDone() { lastMixWAnswer_ = clock_(); }
    [[nodiscard]] std::string Param(LParam value) const;
    [[nodiscard]] std::optional<std::string> NameOf(MessageId msg) const;
    void ReportFailure();
    // A send to Logger32 gave up (the leaving notice of a hung Logger32).
    void CallTimedOut(std::string_view what);
    // What a post or send to Logger32 came to, when it was not taken.
    void Delivered(std::string_view what, platform::Delivery d);
    // Whether a change of not-logged.adi worked (HELD when that changes,
    // with the world's reason for a failure); gives `done` back.
    bool FileChanged(bool done) {
        return FileChanged(done, done ? std::nullopt : os_.LastFailure());
    }
    bool FileChanged(bool done, const std::optional<platform::FailureReason>& why);

    platform::Platform& os_;
    window::FormView& view_;
    Output& out_;
    std::function<std::int64_t()> clock_;
    Bridge* bridge_ = nullptr;
    bool failureShown_ = false;
    bool writingStatus_ = false;
    bool noteDue_ = false;
    bool fileHeld_ = false;
    // While the world reads an earlier run's file aside (perhaps on a thread
    // of its own), its LEFT line is made there and written once back.
    bool aside_ = false;
    std::optional<std::string> leftAside_;
    bool readHeld_ = false;
    std::optional<platform::FailureReason> readFailure_;  // why the last read gave no text
    // What the last read of the file met, written once the bridge runs again.
    void ReadMet() {
        if (std::exchange(readHeld_, false)) (void)FileChanged(false, readFailure_);
        if (auto left = std::exchange(leftAside_, std::nullopt)) {
            (void)FileChanged(true);
            Write(vocabulary::Kind::Left, *left);
        }
    }

    std::map<MessageId, Text> names_;  // Logger32's registered names by id
    WindowHandle logger32_;
    WindowHandle logger32Text_;
    Polled fqa_;
    Polled audioFq_;
    Polled decimal_;
    std::optional<std::int64_t> lastMixWAnswer_;
    // A tick of the watch that has written nothing yet: its WATCH line goes
    // ahead of its first line, so that a tick that met nothing costs none.
    std::optional<std::int64_t> watchTickAt_;
};

}  // namespace linkwell::field_trace
