// MixW2's running automation object, reached through the running-object
// table and called late-bound by member name (GetIDsOfNames + Invoke; each
// member's id is asked for once per object and kept with it).
// Every failure (MixW2 gone, a call cut off, an unknown member, no answer
// within 5 s) comes back as CallStatus::Failed or no number; nothing throws.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>

#include "platform/platform.h"
#include "win32/call_thread.h"

namespace linkwell::win32 {

// Null when the object cannot be obtained (not registered, not running, or
// MixW2 did not answer within the call bound); `why` then holds COM's reason
// (none for a call given up at its bound).
[[nodiscard]] std::unique_ptr<platform::Automation> GetRunningObject(
    const platform::Text& progId, CallWait wait, std::optional<platform::FailureReason>& why);

}  // namespace linkwell::win32
