#include "textio/numbertext.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace tamso::textio {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isIgnoredBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Length of the longest prefix of s that reads as [+-]digits[.digits][(e|E)[+-]digits]; 0 if none.
size_t numberPrefixLength(const std::string& s, bool& hasDigits) {
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

// The decimal number s (already known to be well formed) read with "." as the decimal point,
// whatever the C locale says; nothing when it overflows. A number too small to represent is 0.
std::optional<double> decimalValue(const std::string& s) {
    size_t start = !s.empty() && s[0] == '+' ? 1 : 0;
    double value = 0;
    const char* first = s.data() + start;
    const char* last = s.data() + s.size();
    auto [end, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        const size_t e = s.find_first_of("eE");
        if (e != std::string::npos && e + 1 < s.size() && s[e + 1] == '-')
            return 0.0;
        return std::nullopt;
    }
    if (ec != std::errc() || end != last || !std::isfinite(value))
        return std::nullopt;
    return value;
}

double radixInteger(const std::string& digits, int radix) {
    // Integers of up to 4 hexadecimal digits are 16-bit, of up to 8 digits 32-bit, both signed,
    // as the &H notation is read elsewhere.
    unsigned long long value = 0;
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
        ++count;
    }
    if (count == 0)
        return 0;
    const unsigned long long bits = radix == 16 ? 4ULL * count : 3ULL * count;
    if (bits <= 16 && value >= 0x8000ULL && value <= 0xFFFFULL)
        return static_cast<double>(static_cast<long long>(value) - 0x10000LL);
    if (bits <= 32 && value >= 0x80000000ULL && value <= 0xFFFFFFFFULL)
        return static_cast<double>(static_cast<long long>(value) - 0x100000000LL);
    return static_cast<double>(value);
}

} // namespace

double textToNumber(std::string_view text) {
    std::string s;
    s.reserve(text.size());
    for (char c : text)
        if (!isIgnoredBlank(c))
            s.push_back(c);
    if (s.size() >= 2 && s[0] == '&') {
        char kind = s[1];
        if (kind == 'H' || kind == 'h')
            return radixInteger(s.substr(2), 16);
        if (kind == 'O' || kind == 'o')
            return radixInteger(s.substr(2), 8);
        return 0;
    }
    bool hasDigits = false;
    size_t n = numberPrefixLength(s, hasDigits);
    if (n == 0)
        return 0;
    return decimalValue(s.substr(0, n)).value_or(0);
}

std::optional<double> parseNumber(std::string_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t'))
        ++begin;
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t'))
        --end;
    std::string s(text.substr(begin, end - begin));
    bool hasDigits = false;
    size_t n = numberPrefixLength(s, hasDigits);
    if (n == 0 || n != s.size())
        return std::nullopt;
    return decimalValue(s);
}

DecimalDigits decimalDigits(double value) {
    DecimalDigits d;
    if (!std::isfinite(value) || value == 0)
        return d;
    d.negative = value < 0;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.14e", std::fabs(value));
    // buffer: "D.DDDDDDDDDDDDDDe[+-]XX"
    std::string mantissa;
    const char* p = buffer;
    for (; *p && *p != 'e'; ++p)
        if (isDigit(*p))
            mantissa.push_back(*p);
    int exponent = *p == 'e' ? std::atoi(p + 1) : 0;
    while (!mantissa.empty() && mantissa.back() == '0')
        mantissa.pop_back();
    d.digits = mantissa;
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
