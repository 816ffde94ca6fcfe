#include "textio/numberformat.h"

#include "textio/numbertext.h"

#include <algorithm>
#include <cstdlib>

namespace tamso::textio {
namespace {

struct Mask {
    std::string prefix;
    int integerZeros = 0;   // '0' placeholders before the point
    int integerDigits = 0;  // all placeholders before the point
    bool hasPoint = false;
    int fractionZeros = 0;  // leading '0' placeholders after the point (always shown)
    int fractionDigits = 0; // all placeholders after the point
    bool hasExponent = false;
    bool exponentAlwaysSigned = false;
    int exponentDigits = 0;
    std::string suffix;
};

Mask parseMask(std::string_view m) {
    Mask mask;
    size_t i = 0;
    auto isPlaceholder = [](char c) { return c == '0' || c == '#'; };
    while (i < m.size() && !isPlaceholder(m[i]) && m[i] != '.')
        mask.prefix.push_back(m[i++]);
    while (i < m.size() && isPlaceholder(m[i])) {
        ++mask.integerDigits;
        if (m[i] == '0')
            ++mask.integerZeros;
        ++i;
    }
    if (i < m.size() && m[i] == '.') {
        mask.hasPoint = true;
        ++i;
        bool stillZeros = true;
        while (i < m.size() && isPlaceholder(m[i])) {
            ++mask.fractionDigits;
            if (m[i] == '0' && stillZeros)
                ++mask.fractionZeros;
            else
                stillZeros = false;
            ++i;
        }
    }
    if (i + 2 < m.size() && (m[i] == 'E' || m[i] == 'e') && (m[i + 1] == '+' || m[i + 1] == '-') &&
        isPlaceholder(m[i + 2])) {
        mask.hasExponent = true;
        mask.exponentAlwaysSigned = m[i + 1] == '+';
        i += 2;
        while (i < m.size() && isPlaceholder(m[i])) {
            if (m[i] == '0')
                ++mask.exponentDigits;
            ++i;
        }
    }
    mask.suffix = std::string(m.substr(i));
    return mask;
}

// Rounds the digit string (value = 0.digits * 10^point) half away from zero so that `keep` digits
// remain before the cut; returns the new digit string (possibly one digit longer) and point.
void roundDigits(std::string& digits, int& point, int keep) {
    if (keep < 0) {
        digits.clear();
        return;
    }
    if (static_cast<int>(digits.size()) <= keep)
        return;
    bool up = digits[static_cast<size_t>(keep)] >= '5';
    digits.resize(static_cast<size_t>(keep));
    if (up) {
        int i = keep - 1;
        while (i >= 0 && digits[static_cast<size_t>(i)] == '9') {
            digits[static_cast<size_t>(i)] = '0';
            --i;
        }
        if (i >= 0) {
            ++digits[static_cast<size_t>(i)];
        } else {
            digits.insert(digits.begin(), '1');
            ++point;
        }
    }
    while (!digits.empty() && digits.back() == '0')
        digits.pop_back();
    if (digits.empty())
        point = 0;
}

// Digit at position p (0 = first digit after the point of 0.digits * 10^point scaled) of the
// number; positions are counted from the decimal point: k >= 1 is the k-th fraction digit,
// k <= 0 the integer digit of weight 10^(-k).
char digitAt(const std::string& digits, int point, int k) {
    int index = point + k - 1;
    if (index < 0 || index >= static_cast<int>(digits.size()))
        return '0';
    return digits[static_cast<size_t>(index)];
}

std::string renderFixed(const std::string& digits, int point, const Mask& mask) {
    std::string integerPart;
    for (int k = 1 - point; k <= 0; ++k)
        integerPart.push_back(digitAt(digits, point, k));
    if (digits.empty())
        integerPart.clear();
    if (static_cast<int>(integerPart.size()) < mask.integerZeros)
        integerPart.insert(0, static_cast<size_t>(mask.integerZeros) - integerPart.size(), '0');
    std::string fraction;
    for (int k = 1; k <= mask.fractionDigits; ++k)
        fraction.push_back(digitAt(digits, point, k));
    while (static_cast<int>(fraction.size()) > mask.fractionZeros && !fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
    std::string out = integerPart;
    if (mask.hasPoint) {
        out += '.';
        out += fraction;
    }
    return out;
}

} // namespace

std::string formatNumber(double value, std::string_view maskText) {
    const Mask mask = parseMask(maskText);
    DecimalDigits d = decimalDigits(value);
    std::string digits = d.digits;
    int point = d.pointPosition;
    std::string body;
    if (mask.hasExponent) {
        const int integerPlaces = std::max(1, mask.integerDigits);
        int exponent = 0;
        if (!digits.empty()) {
            roundDigits(digits, point, integerPlaces + mask.fractionDigits);
            exponent = point - integerPlaces;
            point = integerPlaces;
        }
        Mask fixed = mask;
        fixed.integerZeros = std::max(mask.integerZeros, 1);
        body = renderFixed(digits, point, fixed);
        std::string exponentText = std::to_string(std::abs(exponent));
        if (static_cast<int>(exponentText.size()) < mask.exponentDigits)
            exponentText.insert(0, static_cast<size_t>(mask.exponentDigits) - exponentText.size(), '0');
        body += 'E';
        if (exponent < 0)
            body += '-';
        else if (mask.exponentAlwaysSigned)
            body += '+';
        body += exponentText;
    } else {
        roundDigits(digits, point, point + mask.fractionDigits);
        body = renderFixed(digits, point, mask);
    }
    const bool negative = d.negative && !digits.empty();
    return mask.prefix + (negative ? "-" : "") + body + mask.suffix;
}

} // namespace tamso::textio
