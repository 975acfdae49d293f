// What must hold for every text the bridge sends to Logger32, as plain
// functions so that they can be tested on their own.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "window/form.h"

namespace linkwell::soak {

using platform::Text;

// A run of ADIF-style fields "<TAG:N>value", N the value's length in UTF-16
// units written in plain decimal (no sign, blank or leading zero), the tag
// non-empty and free of ':' and '>'; "<EOR>" alone also counts. Gives
// nullopt when the text is well-formed, else what is wrong and where.
// The value of an APP_LOGQSO field must itself be such a run.
[[nodiscard]] std::optional<std::string> MalformedAdif(std::u16string_view text);

// The QSO record the nine boxes of the form make at this moment.
[[nodiscard]] Text RecordOfBoxes(const window::Form& form);

}  // namespace linkwell::soak
