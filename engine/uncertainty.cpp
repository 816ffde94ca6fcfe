#include "engine/uncertainty.h"

#include "textio/numberformat.h"

#include <cmath>
#include <string>

namespace tamso::engine {

namespace {

// Reading a distance to within +-1 cm (a rectangular distribution, u = 1 cm / sqrt 3): the
// focus-image receptor distance on the unit's scale, the infant's thickness by eye or ruler.
constexpr double kFfdReadingCm = 1.0;
constexpr double kThicknessReadingCm = 1.0;
// Share of the hood/cover scatter in the exposure, known to about 30 % of itself (Monte Carlo of a
// flat hood against real curved incubator hoods).
constexpr double kHoodScatterRelative = 0.30;

double rectangular(double halfWidth) { return halfWidth / std::sqrt(3.0); }

} // namespace

DoseUncertainty doseUncertainty(const CalculationState& s) {
    DoseUncertainty u;
    if (s.exposureSource == 1) {
        // A dosimeter reading of this exposure: its calibration and energy response.
        u.components.push_back({"measured exposure (dosimeter calibration, energy response)", 0.035});
    } else {
        u.components.push_back({"tube output measurement (dosimeter calibration, energy response)", 0.035});
        // The generator's tube voltage within +-5 % (output ~ kV^2: +-10 %) and mAs within +-10 %
        // between the output measurement and this exposure.
        u.components.push_back({"tube voltage accuracy of the generator", rectangular(0.10)});
        u.components.push_back({"mAs accuracy of the generator", rectangular(0.10)});
        u.components.push_back({"interpolation of the tube output between tabulated voltages", 0.02});
    }
    u.components.push_back({"backscatter factor (Monte Carlo data, spectral weighting)", 0.025});
    u.components.push_back({"absorbed-dose conversion factor (energy-absorption coefficients)", 0.015});
    // Inverse square: d ln D / d d = -2 / d for the focus-skin distance d = FFD - thickness.
    const double d = s.focusSkinDistanceCm;
    if (d > 0) {
        u.components.push_back({"focus-image receptor distance reading", 2 * rectangular(kFfdReadingCm) / d});
        u.components.push_back({"thickness of the infant", 2 * rectangular(kThicknessReadingCm) / d});
    }
    const double scatterShare = s.hoodScatterToPrimary / (1 + s.hoodScatterToPrimary);
    u.components.push_back({"hood/cover scatter", kHoodScatterRelative * scatterShare});
    // The 6 mm PMMA hood/cover: thickness tolerance +-0.5 mm at the attenuation of the beam.
    u.components.push_back({"hood/cover thickness", 0.01});

    double sum = 0;
    for (const auto& c : u.components)
        sum += c.relativeStandard * c.relativeStandard;
    u.relativeCombined = std::sqrt(sum);
    u.expandedMGy = kCoverageFactor * u.relativeCombined * s.entranceSurfaceDoseMGy;
    return u;
}

std::string formatExpandedUncertainty(double expandedMGy) {
    if (!(expandedMGy > 0))
        return "0.000";
    // The decimal place of the first significant digit; one more where that digit is 1 or 2.
    int place = static_cast<int>(std::floor(std::log10(expandedMGy)));
    const double leading = expandedMGy / std::pow(10.0, place);
    int decimals = -place + (leading < 3 ? 1 : 0);
    if (decimals > 3)
        decimals = 3;
    if (decimals <= 0) {
        // 1 mGy or more: whole numbers at most, rounded to the significant digits.
        const double step = std::pow(10.0, -decimals);
        return textio::formatNumber(std::round(expandedMGy / step) * step, "0");
    }
    return textio::formatNumber(expandedMGy, "0." + std::string(static_cast<size_t>(decimals), '0'));
}

} // namespace tamso::engine
