// The operator at the real bridge window: clicks, OK on a message box,
// closing, the user's decimal separator, and reading the window back for
// `dump`. Only what an operator could do: nothing reaches a window that
// takes no input (a message box is open).
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "peers/launcher.h"
#include "peers/watcher.h"
#include "scenario/dump.h"
#include "window/controls.h"

namespace linkwell::win32::peers {

class Operator final : public scenario::ControlReader {
public:
    Operator(const BridgeProcess& bridge, Watcher& watcher) : bridge_(bridge), watcher_(watcher) {}
    // Puts the user's decimal separator back as it was before the run.
    ~Operator() override;
    Operator(const Operator&) = delete;
    Operator& operator=(const Operator&) = delete;

    void Click(window::ControlId button);
    // The box that was pressed, or null when none was open.
    HWND PressOk();
    void Close();
    void SetDecimalSeparator(const platform::Text& separator);

    [[nodiscard]] std::optional<scenario::ControlLook> LookAt(window::ControlId id) override;
    [[nodiscard]] scenario::WindowLook LookAt(window::WindowId window) override;
    [[nodiscard]] HWND Control(window::ControlId id) const;

private:
    [[nodiscard]] platform::Text ReadText(HWND h);

    const BridgeProcess& bridge_;
    Watcher& watcher_;
    std::optional<std::wstring> userDecimal_;  // as it was before the first change
};

}  // namespace linkwell::win32::peers
