#include "win32/world.h"

#include <algorithm>
#include <utility>

#include "win32/automation.h"
#include "win32/wintext.h"
#include "win32/world_internal.h"

namespace linkwell::win32 {

WinWorld* WinWorld::self_ = nullptr;

WinWorld::WinWorld(HINSTANCE instance, field_trace::Output* fieldTrace)
    : instance_(instance), fieldTrace_(fieldTrace) {
    self_ = this;
    HDC screen = GetDC(nullptr);
    dpi_ = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    if (dpi_ <= 0) dpi_ = 96;
    font_ = CreateFontW(-MulDiv(825, dpi_, 7200), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE,
                        DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                        DEFAULT_PITCH | FF_SWISS, L"MS Sans Serif");
    aboutFont_ = CreateFontW(-MulDiv(10, dpi_, 72), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE,
                             DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"MS Sans Serif");
}

WinWorld::~WinWorld() {
    for (auto& [colour, brush] : brushes_) DeleteObject(brush);
    DeleteObject(font_);
    DeleteObject(aboutFont_);
    self_ = nullptr;
}

void WinWorld::Start() {
    CreateForm();
    // The trace's 0 is the window's load, as in the simulated world.
    started_ = GetTickCount64();
    if (fieldTrace_ != nullptr) {
        recorder_ = std::make_unique<field_trace::Recorder>(*this, *this, *fieldTrace_, [this] {
            return static_cast<std::int64_t>(GetTickCount64() - started_);
        });
        bridge_ = std::make_unique<Bridge>(*recorder_, *recorder_);
        recorder_->Attach(*bridge_);
    } else {
        bridge_ = std::make_unique<Bridge>(*this, *this);
    }
    bridge_->Start();
}

// Only WM_QUIT ends the loop. GetMessage gives -1 on an error of its own
// (Wine does so after another program sent a text of a million characters
// or more): that message is lost, the loop goes on.
int WinWorld::Run() {
    RunDeferred();
    while (!quitSeen_) {
        MSG msg;
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            exitCode_ = static_cast<int>(msg.wParam);
            break;
        }
        if (got == -1) {
            // Not a busy loop should the error persist.
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
            continue;
        }
        DispatchOne(msg);
        RunDeferred();
    }
    return exitCode_;
}

void WinWorld::DispatchOne(MSG& msg) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

// --- waiting without blocking the window ------------------------------------------------------

void WinWorld::IntoBridge(std::function<void()> event) {
    if (busy_ > 0) {
        deferred_.push_back(std::move(event));
        return;
    }
    event();
}

void WinWorld::RunDeferred() {
    while (busy_ == 0 && !deferred_.empty()) {
        auto event = std::move(deferred_.front());
        deferred_.pop_front();
        event();
    }
}

bool WinWorld::PumpFor(DWORD ms, HANDLE done) {
    // The longest the thread goes without serving its messages.
    constexpr ULONGLONG kSliceMs = 100;
    const ULONGLONG until = GetTickCount64() + ms;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        if (now >= until) return done != nullptr && WaitForSingleObject(done, 0) == WAIT_OBJECT_0;
        const auto slice = static_cast<DWORD>(std::min(until - now, kSliceMs));
        const DWORD r = MsgWaitForMultipleObjectsEx(done != nullptr ? 1 : 0, &done, slice,
                                                    QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (done != nullptr && r == WAIT_OBJECT_0) return true;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quitSeen_ = true;
                exitCode_ = static_cast<int>(msg.wParam);
                continue;
            }
            DispatchOne(msg);
            if (done != nullptr && WaitForSingleObject(done, 0) == WAIT_OBJECT_0) return true;
        }
    }
}

// --- Platform: the thread
// --------------------------------------------------------------------------

// The window stays alive while the bridge sleeps; a close runs at once.
void WinWorld::Sleep(int milliseconds) {
    const bool outer = inStartupWait_;
    inStartupWait_ = true;
    {
        const Busy busy(*this);
        PumpFor(static_cast<DWORD>(milliseconds < 0 ? 0 : milliseconds), nullptr);
    }
    inStartupWait_ = outer;
}

// Modal: the bridge's messages are handled while the box is open, those
// kept from a wait first.
void WinWorld::MessageBox(const Text& text, const Text& title) {
    const int busy = std::exchange(busy_, 0);
    const bool wait = std::exchange(inStartupWait_, false);
    RunDeferred();
    const std::wstring t = Wide(text);
    const std::wstring c = Wide(title);
    MessageBoxW(form_, t.c_str(), c.c_str(), MB_OK);
    busy_ = busy;
    inStartupWait_ = wait;
}

void WinWorld::EndProgram() {
    ExitProcess(0);
}

void WinWorld::StartTimer(int slot, int intervalMs) {
    timerRunning_[static_cast<std::size_t>(slot)] = true;
    SetTimer(form_, static_cast<UINT_PTR>(slot) + 1, static_cast<UINT>(intervalMs), nullptr);
}

void WinWorld::StopTimer(int slot) {
    timerRunning_[static_cast<std::size_t>(slot)] = false;
    KillTimer(form_, static_cast<UINT_PTR>(slot) + 1);
}

// --- Platform: MixW2 and the locale
// ------------------------------------------------------------------

std::unique_ptr<platform::Automation> WinWorld::GetActiveObject(const Text& progId) {
    return GetRunningObject(progId, [this](HANDLE done, DWORD ms) {
        const Busy busy(*this);
        return PumpFor(ms, done);
    });
}

platform::LinkStatus WinWorld::ActivateLink(const platform::LinkTarget& link,
                                            platform::LinkSink sink) {
    // Values sent later wait while the bridge waits; the current value is
    // the bridge's at once.
    std::optional<Text> now;
    platform::LinkStatus status = platform::LinkStatus::Refused;
    {
        const Busy busy(*this);
        status = links_.Activate(
            link, [this, sink](const Text& v) { IntoBridge([sink, v] { sink(v); }); }, now);
    }
    if (status == platform::LinkStatus::Active && now) sink(*now);
    return status;
}

Text WinWorld::DecimalSeparator() {
    wchar_t buf[8] = {};
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buf, 8) <= 0) return u".";
    return FromWide(buf);
}

}  // namespace linkwell::win32
