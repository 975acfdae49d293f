// Text helpers of no layer: UTF-8 <-> UTF-16, Windows-1252 (the simulated
// ANSI code page, '?' for what it cannot hold), the JSON quoting of the
// scenario and trace languages, and names and markers without case.
#pragma once

#include <cstddef>
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

// A-Z as a-z, every other character as it is: DDE names and ADIF markers
// compare so, whatever the process locale.
[[nodiscard]] constexpr char16_t AsciiLower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}
[[nodiscard]] std::string AsciiLower(std::string_view s);

// The first `what` in `text` at or after `from` (at most the text's size),
// letters compared by AsciiLower; npos when there is none.
[[nodiscard]] std::size_t FindIgnoringCase(std::u16string_view text, std::u16string_view what,
                                           std::size_t from = 0);

}  // namespace linkwell::text
