// MixW2's running automation object, reached through the running-object
// table and called late-bound by member name (GetIDsOfNames + Invoke; each
// member's id is asked for once per object and kept with it).
// Every failure (MixW2 gone, a call cut off, an unknown member, no answer
// within 5 s) comes back as CallStatus::Failed or no number; nothing throws.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "platform/platform.h"

namespace linkwell::win32 {

// Waits up to the given milliseconds for the event, keeping the caller's
// window served; true when it was signalled.
using CallWait = std::function<bool(HANDLE done, DWORD ms)>;

// Null when the object cannot be obtained (not registered, not running, or
// MixW2 did not answer within the call bound).
[[nodiscard]] std::unique_ptr<platform::Automation> GetRunningObject(const platform::Text& progId,
                                                                     CallWait wait);

}  // namespace linkwell::win32
