// The Windows world: the bridge window and its controls rendered from the
// window model, Win32 timers, window messages to and from Logger32, the
// subclass hook, MixW2's automation object and the DDE field links.
//
// Input goes back to the bridge only through its entry points: EN_CHANGE of
// a text box (TextArrived with the box's new text), button clicks (Click),
// WM_CLOSE reaching the form's own procedure (Close), WM_TIMER (TimerTick)
// and DDE updates (the link's sink).
#pragma once

#include <windows.h>
// The platform layer names its operations as Windows does; keep the
// character-set macros off them.
#undef CallWindowProc
#undef MessageBox
#undef PostMessage

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "bridge/bridge.h"
#include "field_trace/recorder.h"
#include "platform/platform.h"
#include "win32/bridge_thread.h"
#include "win32/dde_client.h"
#include "win32/not_logged_writer.h"
#include "win32/owned.h"
#include "win32/udp_socket.h"
#include "window/form.h"

namespace linkwell::win32 {

using platform::LParam;
using platform::LResult;
using platform::MessageId;
using platform::Text;
using platform::WindowHandle;
using platform::WindowProc;
using platform::WParam;

class WinWorld final : public platform::Platform, public window::FormView {
public:
    // With `fieldTrace`, a field-trace recorder stands between the bridge
    // and this world and writes to it.
    explicit WinWorld(HINSTANCE instance, field_trace::Output* fieldTrace = nullptr);
    ~WinWorld() override;
    WinWorld(const WinWorld&) = delete;
    WinWorld& operator=(const WinWorld&) = delete;

    // Before Start, with --udp: the bridge announces to that address.
    void AnnounceOnUdp(const platform::UdpAddress& to) { udpTo_ = to; }
    // Creates the bridge window, runs OnLoad and shows the window.
    void Start();
    // The message loop; returns the exit code. Only WM_QUIT ends it.
    int Run();

    // --- Platform ----------------------------------------------------------
    WindowHandle FindWindowByTitle(const Text& title) override;
    MessageId RegisterMessage(const Text& name) override;
    platform::Delivery PostMessage(WindowHandle to, MessageId msg, WParam code,
                                   LParam value) override;
    platform::Delivery SendMessageWithReference(WindowHandle to, MessageId msg,
                                                WParam code) override;
    platform::Delivery SendText(WindowHandle to, const Text& text) override;
    std::uint32_t ProcessOf(WindowHandle window) override;
    WindowProc SetWindowProc(WindowHandle window, WindowProc proc) override;
    LResult CallWindowProc(WindowProc proc, WindowHandle window, MessageId msg, WParam wParam,
                           LParam lParam) override;
    WindowProc HookProcedure() override;
    void MakeTopmost(WindowHandle window) override;
    void Sleep(int milliseconds) override;
    void MessageBox(const Text& text, const Text& title) override;
    [[noreturn]] void EndProgram() override;
    void StartTimer(int slot, int intervalMs) override;
    void StopTimer(int slot) override;
    std::unique_ptr<platform::Automation> GetActiveObject(const Text& progId) override;
    platform::LinkStatus ActivateLink(const platform::LinkTarget& link) override;
    bool LinksConnected() override { return links_.Connected(); }
    void CloseLinks() override { links_.CloseAll(); }
    Text DecimalSeparator() override;
    Text UtcDate() override;
    Text NotLoggedPath() override;
    std::optional<Text> ReadNotLogged() override;
    bool NotLoggedThere() override;
    platform::FileWrite WriteNotLogged(const platform::NotLoggedText& content) override;
    bool FinishNotLoggedWrite() override;
    void RunAside(const std::function<void()>& work) override;
    std::optional<Text> MoveNotLoggedAside() override;
    Text UnsavedPath() override;
    std::optional<Text> ReadUnsaved() override;
    bool WriteUnsaved(const Text& content) override;
    bool OpenUdp(const platform::UdpAddress& to) override {
        udp_ = UdpSocket::Open(to);
        return udp_ != nullptr;
    }
    bool SendUdp(const std::vector<std::uint8_t>& datagram) override {
        return udp_ != nullptr && udp_->Send(datagram);
    }
    std::optional<std::vector<std::uint8_t>> ReceiveUdp() override {
        return udp_ != nullptr ? udp_->Receive() : std::nullopt;
    }
    void CloseUdp() override { udp_.reset(); }
    std::optional<platform::FailureReason> LastFailure() override { return lastFailure_; }

    // --- FormView ----------------------------------------------------------
    WindowHandle HandleOf(window::WindowId window) override;
    WindowHandle HandleOf(window::ControlId control) override;
    void ControlChanged(window::ControlId control) override;
    void WindowChanged(window::WindowId window) override;

private:
    static LRESULT CALLBACK FormProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK HookTrampoline(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK AboutProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);

    LRESULT OnFormMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
    void OnCommand(WPARAM wParam, LPARAM lParam);
    void OnTimer(WPARAM id);
    // Windows ends the session: the bridge's unload, and the process gone
    // within kEndSessionLimitMs whatever it waits for.
    void OnEndSession();

    void CreateForm();
    void CreateAbout();
    void DrawButton(const DRAWITEMSTRUCT& item);
    [[nodiscard]] HBRUSH Brush(std::uint32_t colour);
    [[nodiscard]] int Pixels(int twips) const { return MulDiv(twips, dpi_, 1440); }
    [[nodiscard]] std::optional<window::ControlId> ControlOfId(int id) const;

    static WinWorld* self_;
    HINSTANCE instance_;
    int dpi_ = 96;
    HWND form_ = nullptr;
    HWND about_ = nullptr;
    OwnedGdi<HFONT> font_;
    OwnedGdi<HFONT> aboutFont_;
    std::array<HWND, window::kControlCount> controls_{};
    std::array<bool, window::kTimerSlotCount> timerRunning_{};
    std::array<bool, window::kTimerSlotCount> tickPending_{};
    bool showing_ = false;  // a control shows a change of the bridge's
    BridgeThread thread_;
    std::map<std::uint32_t, OwnedGdi<HBRUSH>> brushes_;
    std::int32_t zero_ = 0;  // the leaving notice's referenced value
    DdeLinks links_;
    // Threads whose window has not taken a send in time (the leaving notice
    // given up, a text still pending): later sends to them give up without
    // waiting.
    std::set<DWORD> notAnswering_;
    platform::Delivery BoundedSend(HWND to, UINT msg, WPARAM wParam, LPARAM lParam);
    // The text being sent to another program's window, from the sender
    // thread; null while none is. Kept (pending) past the bridge's wait
    // until the send ends and the bridge has been told.
    struct TextSend;
    std::shared_ptr<TextSend> sending_;
    std::uint64_t sendCount_ = 0;
    void OnTextSendEnded(std::uint64_t id);
    [[nodiscard]] bool TextWaitsOn(DWORD thread) const;
    // not-logged.adi's writer thread, the number of the newest write asked
    // of it, and whether the bridge has heard of its end.
    NotLoggedWriter writer_;
    std::uint64_t writeAsked_ = 0;
    bool writeReported_ = true;
    void OnNotLoggedWritten(std::uint64_t number);
    // Whether a write with that end (GetLastError's code, 0 when it
    // worked) worked, its reason kept when it did not.
    [[nodiscard]] bool Written(DWORD error);
    [[nodiscard]] bool IsOwnWindow(HWND h) const;
    field_trace::Output* fieldTrace_ = nullptr;
    ULONGLONG started_ = GetTickCount64();
    std::unique_ptr<field_trace::Recorder> recorder_;
    std::unique_ptr<Bridge> bridge_;
    std::optional<platform::UdpAddress> udpTo_;
    std::unique_ptr<UdpSocket> udp_;  // only with --udp, once started
    // Why the last operation that failed failed; reset as each one begins.
    std::optional<platform::FailureReason> lastFailure_;
    // GetLastError's code, as the reason of what just failed.
    void FailedWithLastError() { lastFailure_ = platform::FailureReason{GetLastError(), {}, {}}; }
};

}  // namespace linkwell::win32
