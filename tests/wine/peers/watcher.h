// The peers' end of the watcher: a window that linkwell-watch.dll (hooked
// into the bridge's thread) reports to. It prints each change of the status
// line and each message box as the bridge makes them, and keeps the open
// boxes for the operator's OK.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "peers/messages.h"
#include "scenario/trace.h"

namespace linkwell::win32::peers {

class Watcher {
public:
    Watcher(scenario::Trace& trace, Activity& activity);
    ~Watcher();
    Watcher(const Watcher&) = delete;
    Watcher& operator=(const Watcher&) = delete;

    // The innermost box still open, taken off the list; null when none is.
    [[nodiscard]] HWND TakeInnermostBox();

private:
    static LRESULT CALLBACK WatchProc(HWND, UINT, WPARAM, LPARAM);

    static Watcher* self_;
    scenario::Trace& trace_;
    Activity& activity_;
    HWND window_ = nullptr;
    std::vector<HWND> boxes_;  // open message boxes, innermost last
    std::wstring pieces_;      // the pieces of a long text so far
};

}  // namespace linkwell::win32::peers
