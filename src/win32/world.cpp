#include "win32/world.h"

#include <algorithm>
#include <utility>

#include "version.h"
#include "win32/automation.h"
#include "win32/wintext.h"
#include "win32/world_internal.h"

namespace linkwell::win32 {

WinWorld* WinWorld::self_ = nullptr;

WinWorld::WinWorld(HINSTANCE instance, field_trace::Output* fieldTrace)
    : instance_(instance), fieldTrace_(fieldTrace) {
    self_ = this;
    dpi_ = GetDeviceCaps(ScreenDc().get(), LOGPIXELSX);
    if (dpi_ <= 0) dpi_ = 96;
    font_.reset(CreateFontW(-MulDiv(825, dpi_, 7200), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE,
                            DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                            DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"MS Sans Serif"));
    aboutFont_.reset(CreateFontW(-MulDiv(10, dpi_, 72), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE,
                                 DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                 DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"MS Sans Serif"));
}

WinWorld::~WinWorld() {
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
    if (udpTo_) bridge_->AnnounceOnUdp({*udpTo_, LINKWELL_VERSION_TEXT, ""});
    bridge_->Start();
}

int WinWorld::Run() {
    return thread_.Run();
}

// --- Platform: the thread
// --------------------------------------------------------------------------

// The window stays alive while the bridge sleeps; a close runs at once.
void WinWorld::Sleep(int milliseconds) {
    thread_.StartupWait(milliseconds);
}

void WinWorld::MessageBox(const Text& text, const Text& title) {
    const std::wstring t = Wide(text);
    const std::wstring c = Wide(title);
    thread_.Modal([this, &t, &c] { MessageBoxW(form_, t.c_str(), c.c_str(), MB_OK); });
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
    return GetRunningObject(
        progId,
        [this](HANDLE done, DWORD ms) {
            const BridgeThread::Wait wait(thread_);
            return thread_.PumpFor(ms, done);
        },
        lastFailure_);
}

platform::LinkStatus WinWorld::ActivateLink(const platform::LinkTarget& link) {
    // Values sent later wait while the bridge waits; the current value is
    // the bridge's at once.
    std::optional<Text> now;
    platform::LinkStatus status = platform::LinkStatus::Refused;
    {
        const BridgeThread::Wait wait(thread_);
        status = links_.Activate(
            link,
            [this, link](const Text& v) {
                thread_.IntoBridge([this, link, v] { bridge_->LinkValueArrived(link, v); });
            },
            now);
    }
    lastFailure_.reset();
    if (status != platform::LinkStatus::Active) {
        if (const auto error = links_.LastError())
            lastFailure_ = platform::FailureReason{*error, {}, {}};
    }
    if (status == platform::LinkStatus::Active && now) bridge_->LinkValueArrived(link, *now);
    return status;
}

Text WinWorld::DecimalSeparator() {
    wchar_t buf[8] = {};
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buf, 8) <= 0) return u".";
    return FromWide(buf);
}

}  // namespace linkwell::win32
