// The window classes of the bridge's own windows. The Windows test peers
// find the bridge's windows by them.
#pragma once

namespace linkwell::win32 {

inline constexpr wchar_t kFormClass[] = L"LinkwellForm";
inline constexpr wchar_t kAboutClass[] = L"LinkwellAbout";

}  // namespace linkwell::win32
