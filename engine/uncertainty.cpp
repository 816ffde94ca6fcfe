#include "engine/uncertainty.h"

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
// The accuracy a generator must keep for the current-time product: +-(10 % + 0.2 mAs).
constexpr double kMAsRelativeLimit = 0.10;
constexpr double kMAsAbsoluteLimit = 0.2; // mAs

double rectangular(double halfWidth) {
    return halfWidth / std::sqrt(3.0);
}

} // namespace

DoseUncertainty doseUncertainty(const CalculationState& s) {
    DoseUncertainty u;
    if (s.exposureSource == 1) {
        // A dosimeter reading of this exposure: its calibration and energy response.
        u.components.push_back({"measured exposure (dosimeter calibration, energy response)", 0.035});
    } else {
        u.components.push_back({"tube output measurement (dosimeter calibration, energy response)", 0.035});
        // The generator's tube voltage within +-5 % (output ~ kV^2: +-10 %) between the output
        // measurement and this exposure, and its mAs within +-(10 % + 0.2 mAs): at the run's mAs Q
        // the limit is 0.10 Q + 0.2 mAs, a relative half-width of 0.10 + 0.2 mAs / Q (30 % at
        // 1 mAs), taken as rectangular like the other limits.
        u.components.push_back({"tube voltage accuracy of the generator", rectangular(0.10)});
        if (s.mAs > 0)
            u.components.push_back({"mAs accuracy of the generator",
                                    rectangular(kMAsRelativeLimit + kMAsAbsoluteLimit / s.mAs)});
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

} // namespace tamso::engine
