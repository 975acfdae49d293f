// Logger32 for the Wine tests: a top-level window titled "Logger32" and its
// text window, around the portable stand-in that the simulated world plays
// too. With a hung text window (peers logger32-text=hung) the text window
// stops answering on the first text it gets, on a thread of its own.
#pragma once

#include <windows.h>

#include "peers/messages.h"
#include "scenario/logger32_standin.h"
#include "scenario/trace.h"

namespace linkwell::win32::peers {

class Logger32Window final : private scenario::Logger32Port {
public:
    Logger32Window(scenario::Trace& trace, Activity& activity, bool hungTextWindow);
    ~Logger32Window() override;
    Logger32Window(const Logger32Window&) = delete;
    Logger32Window& operator=(const Logger32Window&) = delete;

    [[nodiscard]] scenario::Logger32StandIn& StandIn() { return logger32_; }
    // A new instance in new windows.
    void Start(bool withTextWindow);
    // The windows are gone.
    void Stop();
    [[nodiscard]] HWND MainWindow() const { return main_; }
    [[nodiscard]] HWND TextWindow() const { return text_; }

private:
    // Logger32Port
    platform::MessageId Register(const platform::Text& name) override;
    void Post(platform::WindowHandle to, platform::MessageId msg, platform::WParam code,
              platform::LParam value) override;
    void SetTextOf(platform::WindowHandle to, const platform::Text& text) override;

    static LRESULT CALLBACK MainProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK TextProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK HungTextProc(HWND, UINT, WPARAM, LPARAM);
    [[nodiscard]] static HWND HungTextWindow();
    void DestroyWindows();

    static Logger32Window* self_;
    Activity& activity_;
    scenario::Logger32StandIn logger32_;
    bool hungTextWindow_;
    HWND main_ = nullptr;
    HWND text_ = nullptr;
};

}  // namespace linkwell::win32::peers
