// The words of a scenario line or a trace line: blank-separated words and
// strings in double quotes with JSON escapes (\", \\, \n, \t, \uXXXX...).
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace linkwell::text {

struct Token {
    std::string raw;       // as written for a word; a string's value in UTF-8
    std::u16string value;  // decoded
    bool quoted = false;
};

// What is wrong with a line, without its file and line (the reader adds them).
struct TokenError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Throws TokenError.
[[nodiscard]] std::vector<Token> Tokenize(std::string_view line);

}  // namespace linkwell::text
