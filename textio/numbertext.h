#pragma once
// Numbers as the user and the files write them.

#include <optional>
#include <string>
#include <string_view>

namespace tamso::textio {

// Decimal numbers are read in any spelling of sign, digits, point, fraction and exponent ("+.5",
// "5.", ".5E3", "1e5", leading zeros, any number of digits) and rounded to the nearest double,
// denormals included. A number too small for a double (below about 4.9E-324, e.g. 1E-400 or a
// point followed by 400 zeros and a 1) reads as 0, the nearest double; a number too large for one
// (about 1.8E+308 and above, however it is written, e.g. 400 digits followed by "E-07") is out of
// range and never becomes a value.

enum class NumberStatus {
    Ok,         // the value is the number
    NotANumber, // the value is 0
    OutOfRange, // a number beyond the largest double; the value is 0
};

struct NumberReading {
    NumberStatus status = NumberStatus::NotANumber;
    double value = 0;
    bool ok() const { return status == NumberStatus::Ok; }
};

// The number formed by the longest leading part of the text that reads as a decimal number:
// blanks, tabs and line breaks are ignored wherever they stand ("1 2" is 12), "." is always the
// decimal point, an exponent is written with E or e, "&H" / "&O" start a hexadecimal / octal
// integer. Anything else, and the empty text, gives 0 ("12abc" gives 12); so does a leading number
// that is out of range ("1e999"), which readLeadingNumber tells apart.
double textToNumber(std::string_view text);
NumberReading readLeadingNumber(std::string_view text);

// The whole text (surrounding blanks allowed) as a decimal number, or nothing if it is not one or
// is out of range; readWholeNumber tells the two apart.
std::optional<double> parseNumber(std::string_view text);
NumberReading readWholeNumber(std::string_view text);

// A field's text as a message quotes it: a long one (a number of 400 digits) is cut at a character
// boundary and ends in "…".
std::string quotedFieldText(std::string_view utf8Text);

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
