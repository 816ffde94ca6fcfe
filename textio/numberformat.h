#pragma once
// Digit masks: "0" a digit always shown, "#" a digit shown only if significant, "." the decimal
// point (shown even with no digit after it), "E+00" / "E-00" an exponent (sign always / only when
// negative) with at least as many digits as zeros; any other character is copied. Integer digits
// beyond the mask are shown in full. The value is read to 15 significant digits and rounded half
// away from zero to the digits shown, as a person reads it (2.675 with "#0.00" gives "2.68").
// A minus sign stands directly before the digits; a value that rounds to zero has no sign.
// Examples: "#0.000", "#00.00", "0.00E+00", "0000.0", " 00.", "###.# ", " 0.00".

#include <string>
#include <string_view>

namespace tamso::textio {

std::string formatNumber(double value, std::string_view mask);

} // namespace tamso::textio
