// ADIF markers found without regard to case ("<EOR>", "<eor>").
#pragma once

#include <cstddef>
#include <string_view>

#include "platform/platform.h"

namespace linkwell::to_logger32 {

[[nodiscard]] std::size_t FindIgnoringCase(const platform::Text& text, std::u16string_view what,
                                           std::size_t from = 0);

}  // namespace linkwell::to_logger32
