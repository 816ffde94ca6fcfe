#include "textio/quantitytext.h"

#include "textio/numberformat.h"
#include "textio/numbertext.h"

#include <algorithm>
#include <cmath>

namespace tamso::textio {
namespace {

std::string fixedMask(int decimals) {
    return decimals > 0 ? "#0." + std::string(static_cast<size_t>(decimals), '0') : std::string("#0");
}

// The decimals that show a positive value to two significant figures (negative: tens, hundreds,
// ...), taken after the rounding, which may carry into a new first digit (0.0996 -> 0.10).
int decimalsForTwoFigures(double value) {
    DecimalDigits d = decimalDigits(value); // value = 0.digits x 10^pointPosition
    int place = d.pointPosition - 1;        // the power of ten of the first digit
    if (d.digits.size() > 2 && d.digits[2] >= '5' && d.digits.substr(0, 2) == "99")
        ++place; // rounds up to 10 x 10^place
    return 1 - place;
}

} // namespace

std::string doseText(double mGy) {
    return formatNumber(mGy, "#0.000");
}

namespace {

// Three decimals, or all of the level's own where it has more.
int levelDecimals(double mGy) {
    const DecimalDigits d = decimalDigits(mGy);
    return std::max(3, static_cast<int>(d.digits.size()) - d.pointPosition);
}

} // namespace

std::string levelText(double mGy) {
    return formatNumber(mGy, fixedMask(levelDecimals(mGy)));
}

std::string doseTextAgainstLevel(double doseMGy, double levelMGy) {
    return formatNumber(doseMGy, fixedMask(levelDecimals(levelMGy)));
}

std::string expandedUncertaintyText(double expandedMGy) {
    if (!(expandedMGy > 0))
        return "0.000";
    const int decimals = decimalsForTwoFigures(expandedMGy);
    if (decimals > 0)
        return formatNumber(expandedMGy, fixedMask(decimals));
    // Ten or more: whole tens, hundreds, ... (123 -> "120").
    const std::string twoFigures = formatNumber(expandedMGy / std::pow(10.0, -decimals), "0");
    return twoFigures + std::string(static_cast<size_t>(-decimals), '0');
}

std::string doseBesideUncertaintyText(double doseMGy, double expandedMGy) {
    const int decimals = expandedMGy > 0 ? std::max(3, decimalsForTwoFigures(expandedMGy)) : 3;
    return formatNumber(doseMGy, fixedMask(decimals));
}

std::string doseWithUncertaintyText(double doseMGy, double expandedMGy) {
    return doseBesideUncertaintyText(doseMGy, expandedMGy) + " ± " + expandedUncertaintyText(expandedMGy) +
           " mGy (k=2)";
}

std::string effectiveDoseText(double uSv) {
    return formatNumber(uSv, "#0.0");
}

std::string organDoseText(double uGy) {
    return formatNumber(uGy, "#0.00");
}

std::string effectiveDoseWithUncertaintyText(double uSv, double expandedUSv) {
    const int decimals = expandedUSv > 0 ? std::max(0, decimalsForTwoFigures(expandedUSv)) : 1;
    return formatNumber(uSv, fixedMask(decimals)) + " ± " + expandedUncertaintyText(expandedUSv) + " μSv (k=2)";
}

std::string ratioText(double ratio, bool above) {
    std::string text = formatNumber(ratio, "#0.00");
    // A dose above its level never shows as 1.00 (or less): more decimals until it shows above 1.
    for (int decimals = 3; above && decimals <= 14 && !(textToNumber(text) > 1); ++decimals)
        text = formatNumber(ratio, fixedMask(decimals));
    return text;
}

} // namespace tamso::textio
