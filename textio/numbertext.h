#pragma once
// Numbers as the user and the files write them.

#include <optional>
#include <string>
#include <string_view>

namespace tamso::textio {

// The number formed by the longest leading part of the text that reads as a decimal number:
// blanks, tabs and line breaks are ignored wherever they stand ("1 2" is 12), "." is always the
// decimal point, an exponent is written with E or e, "&H" / "&O" start a hexadecimal / octal
// integer. Anything else, and the empty text, gives 0 ("12abc" gives 12).
double textToNumber(std::string_view text);

// The whole text (surrounding blanks allowed) as a decimal number, or nothing if it is not one.
std::optional<double> parseNumber(std::string_view text);

// The shortest plain decimal form of a value, read to 15 significant digits: 25.4 -> "25.4",
// 50 -> "50", 0.5 -> "0.5", -3 -> "-3". Never an exponent.
std::string numberToText(double value);

// The form in which a number is written to a file as a number: a blank (or the minus sign), the
// shortest decimal text without the zero before the point, then a blank: " .5 ", " 2 ", "-3 ".
std::string numberWriteForm(double value);

// The decimal digits of a value read to 15 significant digits, without leading or trailing zeros.
// value = (negative ? -1 : 1) * 0.digits * 10^pointPosition; zero has empty digits.
struct DecimalDigits {
    bool negative = false;
    std::string digits;
    int pointPosition = 0;
};
DecimalDigits decimalDigits(double value);

} // namespace tamso::textio
