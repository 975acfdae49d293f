// Child-window ids of the bridge window's controls, shared by the bridge and
// the stand-in peers that operate it. No Windows header needed.
#pragma once

#include "window/controls.h"

namespace linkwell::win32 {

inline constexpr int kFirstControlId = 100;
[[nodiscard]] inline int ControlDlgId(window::ControlId id) {
    return kFirstControlId + window::Index(id);
}

// The window property that holds a button's resolved face colour (0x00BBGGRR)
// for its owner-drawn painting.
inline constexpr wchar_t kFaceColourProp[] = L"Linkwell.FaceColour";

}  // namespace linkwell::win32
