// The three ways numbers become text, or text becomes a number, on their way
// to Logger32. None of them follows the process locale: digits are made with
// std::to_chars and read with std::from_chars, and the one locale-dependent
// piece, the user's decimal separator, is passed in.
//
// Numbers are rounded to 15 significant digits, written without trailing
// zeros after the separator, without exponent and without digit grouping;
// a magnitude below 1 gets a 0 before the separator. Both writers need a
// finite value.
#pragma once

#include <optional>
#include <string_view>

#include "platform/platform.h"

namespace linkwell::to_logger32 {

// The text a frequency is remembered by for change detection: a point as
// separator and a leading blank before a value that is not negative
// (" 14.0715", "-3.5", " 0").
[[nodiscard]] platform::Text DetectionText(double value);

// The text a value is sent with: the user's decimal separator and no blank
// ("14071.5", "14071,5", "-3.5").
[[nodiscard]] platform::Text ValueText(double value, std::u16string_view decimalSeparator);

// The number at the start of a box's text: leading blanks skipped, an
// optional sign, digits with a point as separator (never the locale's), up
// to the first character that cannot continue it; 0 when the text does not
// begin with a number. nullopt when the number is too large for a double.
[[nodiscard]] std::optional<double> LeadingNumber(std::u16string_view text);

// A kHz text as sent (with the user's separator) as ADIF's FREQ: megahertz
// with a point, the digits kept as they were ("14075,45" with "," gives
// "14.07545", "500" gives "0.500", "7030" gives "7.030"). Empty when the
// text is no plain number.
[[nodiscard]] platform::Text MegahertzText(std::u16string_view kilohertz,
                                           std::u16string_view decimalSeparator);

}  // namespace linkwell::to_logger32
