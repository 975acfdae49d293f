// Text helpers of no layer: UTF-8 <-> UTF-16, Windows-1252 (the simulated
// ANSI code page, '?' for what it cannot hold), the JSON quoting of the
// scenario and trace languages, and DDE names without case.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace linkwell::text {

// nullopt when the bytes are not valid UTF-8.
[[nodiscard]] std::optional<std::u16string> FromUtf8(std::string_view bytes);
// Lone surrogates become U+FFFD.
[[nodiscard]] std::string ToUtf8(std::u16string_view text);

[[nodiscard]] std::string ToAnsi(std::u16string_view text);
[[nodiscard]] std::u16string FromAnsi(std::string_view bytes);

// A JSON string literal; everything outside printable ASCII is escaped.
[[nodiscard]] std::string Quote(std::u16string_view text);

// A-Z as a-z, every other byte as it is: DDE names compare so.
[[nodiscard]] std::string AsciiLower(std::string_view s);

}  // namespace linkwell::text
