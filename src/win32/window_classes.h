// The window classes of the bridge's own windows, and the name of its one
// instance. The Windows test peers find the bridge's windows by them.
#pragma once

namespace linkwell::win32 {

// One bridge per Windows session: two would both answer Logger32 and both
// log each QSO. The name lives in the session's own namespace, so another
// user's session (fast user switching, a terminal server) has its own.
inline constexpr wchar_t kInstanceName[] = L"Local\\Linkwell.Bridge";

inline constexpr wchar_t kFormClass[] = L"LinkwellForm";
inline constexpr wchar_t kAboutClass[] = L"LinkwellAbout";

}  // namespace linkwell::win32
