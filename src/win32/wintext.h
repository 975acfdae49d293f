// Text at the Windows edge: the bridge's UTF-16 texts as wide strings and in
// the system's ANSI code page.
#pragma once

#include <windows.h>

#include <string>

#include "platform/platform.h"

namespace linkwell::win32 {

[[nodiscard]] inline std::wstring Wide(const platform::Text& t) {
    return {t.begin(), t.end()};
}
[[nodiscard]] inline platform::Text FromWide(std::wstring_view w) {
    return {w.begin(), w.end()};
}

// What the code page cannot hold becomes "?": never a look-alike ("best
// fit" would turn a fullwidth "＜" into a field delimiter of Logger32's).
[[nodiscard]] inline std::string ToAnsi(const platform::Text& t) {
    const std::wstring w = Wide(t);
    if (w.empty()) return {};
    const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, w.data(),
                                      static_cast<int>(w.size()), nullptr, 0, "?", nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, w.data(), static_cast<int>(w.size()),
                        out.data(), n, "?", nullptr);
    return out;
}

[[nodiscard]] inline platform::Text FromAnsi(std::string_view a) {
    if (a.empty()) return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, a.data(), static_cast<int>(a.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, a.data(), static_cast<int>(a.size()), out.data(), n);
    return FromWide(out);
}

// The whole text of a window of this process.
[[nodiscard]] inline platform::Text WindowText(HWND h) {
    const int n = GetWindowTextLengthW(h);
    std::wstring w(static_cast<std::size_t>(n) + 1, L'\0');
    const int got = GetWindowTextW(h, w.data(), n + 1);
    w.resize(static_cast<std::size_t>(got < 0 ? 0 : got));
    return FromWide(w);
}

}  // namespace linkwell::win32
