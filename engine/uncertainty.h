#pragma once
// The uncertainty of the entrance surface dose: a budget of relative standard uncertainties, their
// combination and the expanded uncertainty (coverage factor k = 2). The budget and its sources are
// written up in data/README.md ("Uncertainty of the entrance surface dose").

#include "engine/calculationstate.h"

#include <vector>

namespace tamso::engine {

struct UncertaintyComponent {
    const char* name;        // what is uncertain, in English
    double relativeStandard; // relative standard uncertainty it gives the dose (0.035 = 3.5 %)
};

struct DoseUncertainty {
    std::vector<UncertaintyComponent> components;
    double relativeCombined = 0; // root sum of squares of the components
    double expandedMGy = 0;      // k = 2, in mGy, for the dose of the run
};

constexpr double kCoverageFactor = 2;

// The budget for the run left in the state: the exposure at 1 m from the tube output data (then
// also its mAs) or from a measured value (exposureSource), the focus-skin distance, the hood/cover
// scatter share. The expanded value is shown with textio::expandedUncertaintyText.
DoseUncertainty doseUncertainty(const CalculationState& state);

} // namespace tamso::engine
