#include "textio/numbertext.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace tamso::textio {
namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isIgnoredBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Length of the longest prefix of s that reads as [+-]digits[.digits][(e|E)[+-]digits]; 0 if none.
size_t numberPrefixLength(std::string_view s, bool& hasDigits) {
    size_t i = 0;
    hasDigits = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    while (i < s.size() && isDigit(s[i])) {
        ++i;
        hasDigits = true;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i])) {
            ++i;
            hasDigits = true;
        }
    }
    if (!hasDigits)
        return 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-'))
            ++j;
        if (j < s.size() && isDigit(s[j])) {
            while (j < s.size() && isDigit(s[j]))
                ++j;
            i = j;
        }
    }
    return i;
}

// Whether a mantissa digit other than 0 stands before any exponent (a number that is not zero).
bool hasNonzeroDigit(std::string_view s) {
    for (char c : s) {
        if (c == 'e' || c == 'E')
            break;
        if (c >= '1' && c <= '9')
            return true;
    }
    return false;
}

// Significant digits kept for the rounding: more than the 767 that can decide how a decimal rounds
// to a double, so a longer mantissa is cut there and one nonzero digit stands in for everything cut
// off; the rounding stays that of the full number, and the converter never sees a huge text.
constexpr size_t kKeptDigits = 800;
// A number 0.DDD x 10^E with E beyond these is too large or too small for a double whatever its
// digits (the double range is about 4.9E-324 .. 1.8E+308).
constexpr long long kDecimalExponentLimit = 400;
constexpr long long kExponentSaturation = 1'000'000'000'000'000LL;

// The decimal number s, already known to be well formed ([+-]digits[.digits][(e|E)[+-]digits] with
// at least one mantissa digit), read with "." as the decimal point whatever the C locale says.
NumberReading decimalValue(std::string_view s) {
    size_t i = 0;
    bool negative = false;
    if (s[i] == '+' || s[i] == '-')
        negative = s[i++] == '-';
    std::string digits;          // significant digits, from the first nonzero one
    bool cutNonzero = false;     // a nonzero digit beyond kKeptDigits was cut off
    long long pointPosition = 0; // value = 0.digits x 10^(pointPosition + exponent)
    auto take = [&](char c) {
        if (digits.size() < kKeptDigits)
            digits.push_back(c);
        else if (c != '0')
            cutNonzero = true;
    };
    for (; i < s.size() && isDigit(s[i]); ++i) {
        if (digits.empty() && s[i] == '0')
            continue;
        take(s[i]);
        ++pointPosition;
    }
    if (i < s.size() && s[i] == '.')
        for (++i; i < s.size() && isDigit(s[i]); ++i) {
            if (digits.empty() && s[i] == '0') {
                --pointPosition;
                continue;
            }
            take(s[i]);
        }
    long long exponent = 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            negativeExponent = s[i++] == '-';
        // Saturates far beyond any text's length, so pointPosition + exponent keeps its side of
        // the range.
        for (; i < s.size() && isDigit(s[i]); ++i)
            if (exponent < kExponentSaturation)
                exponent = exponent * 10 + (s[i] - '0');
        if (negativeExponent)
            exponent = -exponent;
    }
    const double zero = negative ? -0.0 : 0.0;
    if (digits.empty())
        return {NumberStatus::Ok, zero};
    const long long e = pointPosition + exponent;
    if (e > kDecimalExponentLimit)
        return {NumberStatus::OutOfRange, 0};
    if (e < -kDecimalExponentLimit)
        return {NumberStatus::Ok, zero}; // below the smallest double: its nearest double is 0
    std::string canonical = negative ? "-0." : "0.";
    canonical += digits;
    if (cutNonzero)
        canonical += '1';
    canonical += 'e';
    canonical += std::to_string(e);
    double value = 0;
    const char* first = canonical.data();
    const char* last = first + canonical.size();
    auto [end, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range)
        return e > 0 ? NumberReading{NumberStatus::OutOfRange, 0} : NumberReading{NumberStatus::Ok, zero};
    if (ec != std::errc() || end != last)
        return {NumberStatus::NotANumber, 0};
    if (!std::isfinite(value))
        return {NumberStatus::OutOfRange, 0};
    return {NumberStatus::Ok, value};
}

// Nothing when no digit follows the prefix.
std::optional<double> radixInteger(const std::string& digits, int radix) {
    // Integers of up to 4 hexadecimal digits are 16-bit, of up to 8 digits 32-bit, both signed,
    // as the &H notation is read elsewhere.
    unsigned long long value = 0;
    double wide = 0; // the same value where more digits than 64 bits hold are given
    size_t count = 0;
    for (char c : digits) {
        int d;
        if (isDigit(c))
            d = c - '0';
        else if (radix == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (radix == 16 && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            break;
        if (d >= radix)
            break;
        if (count >= 22)
            break;
        value = value * static_cast<unsigned>(radix) + static_cast<unsigned>(d);
        wide = wide * radix + d;
        ++count;
    }
    if (count == 0)
        return std::nullopt;
    const unsigned long long bits = radix == 16 ? 4ULL * count : 3ULL * count;
    if (bits <= 16 && value >= 0x8000ULL && value <= 0xFFFFULL)
        return static_cast<double>(static_cast<long long>(value) - 0x10000LL);
    if (bits <= 32 && value >= 0x80000000ULL && value <= 0xFFFFFFFFULL)
        return static_cast<double>(static_cast<long long>(value) - 0x100000000LL);
    if (bits > 64)
        return wide;
    return static_cast<double>(value);
}

} // namespace

NumberReading readLeadingNumber(std::string_view text) {
    std::string s;
    s.reserve(text.size());
    for (char c : text)
        if (!isIgnoredBlank(c))
            s.push_back(c);
    if (s.size() >= 2 && s[0] == '&') {
        char kind = s[1];
        std::optional<double> value;
        if (kind == 'H' || kind == 'h')
            value = radixInteger(s.substr(2), 16);
        else if (kind == 'O' || kind == 'o')
            value = radixInteger(s.substr(2), 8);
        if (!value)
            return {NumberStatus::NotANumber, 0};
        return {NumberStatus::Ok, *value};
    }
    bool hasDigits = false;
    size_t n = numberPrefixLength(s, hasDigits);
    if (n == 0)
        return {NumberStatus::NotANumber, 0};
    return decimalValue(std::string_view(s).substr(0, n));
}

double textToNumber(std::string_view text) {
    return readLeadingNumber(text).value;
}

NumberReading readWholeNumber(std::string_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t'))
        ++begin;
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t'))
        --end;
    const std::string_view s = text.substr(begin, end - begin);
    bool hasDigits = false;
    size_t n = numberPrefixLength(s, hasDigits);
    if (n == 0 || n != s.size())
        return {NumberStatus::NotANumber, 0};
    // The usual short number goes straight to the converter, which rounds it to the nearest double
    // as decimalValue does; anything it does not take as it stands (a "+", a long or extreme
    // number) goes the long way.
    if (s.size() <= 32 && s.front() != '+') {
        double value = 0;
        const auto [last, ec] =
            std::from_chars(s.data(), s.data() + s.size(), value, std::chars_format::general);
        if (ec == std::errc() && last == s.data() + s.size() && std::isfinite(value) &&
            (value != 0 || !hasNonzeroDigit(s)))
            return {NumberStatus::Ok, value};
    }
    return decimalValue(s);
}

std::optional<double> parseNumber(std::string_view text) {
    const NumberReading reading = readWholeNumber(text);
    if (!reading.ok())
        return std::nullopt;
    return reading.value;
}

std::string quotedFieldText(std::string_view text) {
    constexpr size_t kShownBytes = 40;
    if (text.size() <= kShownBytes)
        return std::string(text);
    size_t cut = kShownBytes;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) // inside a UTF-8 character
        --cut;
    return std::string(text.substr(0, cut)) + "…";
}

DecimalDigits decimalDigits(double value) {
    DecimalDigits d;
    if (!std::isfinite(value) || value == 0)
        return d;
    d.negative = value < 0;
    // "D.DDDDDDDDDDDDDDe[+-]XX", rounded exactly as printf's "%.14e" rounds (to_chars gives the
    // same digits, without printf's cost).
    char buffer[64];
    const auto written =
        std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::scientific, 14);
    const char* const end = written.ptr;
    const char* p = buffer;
    d.digits.reserve(15);
    for (; p != end && *p != 'e'; ++p)
        if (isDigit(*p))
            d.digits.push_back(*p);
    int exponent = 0;
    if (p != end) {
        const char* e = p + 1;
        const bool negativeExponent = e != end && *e == '-';
        if (e != end && (*e == '-' || *e == '+'))
            ++e;
        std::from_chars(e, end, exponent);
        if (negativeExponent)
            exponent = -exponent;
    }
    while (!d.digits.empty() && d.digits.back() == '0')
        d.digits.pop_back();
    d.pointPosition = exponent + 1;
    return d;
}

namespace {

std::string plainMagnitude(const DecimalDigits& d, bool leadingZero) {
    if (d.digits.empty())
        return "0";
    const int n = static_cast<int>(d.digits.size());
    std::string out;
    if (d.pointPosition <= 0) {
        if (leadingZero)
            out = "0";
        out += '.';
        out.append(static_cast<size_t>(-d.pointPosition), '0');
        out += d.digits;
    } else if (d.pointPosition >= n) {
        out = d.digits;
        out.append(static_cast<size_t>(d.pointPosition - n), '0');
    } else {
        out = d.digits.substr(0, static_cast<size_t>(d.pointPosition));
        out += '.';
        out += d.digits.substr(static_cast<size_t>(d.pointPosition));
    }
    return out;
}

} // namespace

std::string numberToText(double value) {
    DecimalDigits d = decimalDigits(value);
    std::string magnitude = plainMagnitude(d, true);
    return d.negative ? "-" + magnitude : magnitude;
}

std::string numberWriteForm(double value) {
    DecimalDigits d = decimalDigits(value);
    std::string magnitude = plainMagnitude(d, false);
    return (d.negative ? "-" : " ") + magnitude + " ";
}

} // namespace tamso::textio
