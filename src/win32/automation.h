// MixW2's running automation object, reached through the running-object
// table and called late-bound by member name (GetIDsOfNames + Invoke; each
// member's id is asked for once per object and kept with it).
// Every failure (MixW2 gone, a call cut off, an unknown member) comes back
// as CallStatus::Failed or no number; nothing throws.
#pragma once

#include <memory>

#include "platform/platform.h"

namespace linkwell::win32 {

// Null when the object cannot be obtained (not registered, not running).
[[nodiscard]] std::unique_ptr<platform::Automation> GetRunningObject(const platform::Text& progId);

}  // namespace linkwell::win32
