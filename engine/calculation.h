#pragma once
// The dose routines. Each works on the calculation state, writes its displayed results through
// ResultFields as soon as they are known, and stops with a typed error (a Japanese message for the
// user) before computing or indexing anything beyond the tables when the conditions or the
// reference data lie outside the model.

#include "engine/calculationstate.h"
#include "engine/resultfields.h"
#include "textio/expected.h"

#include <filesystem>
#include <string>

namespace tamso::engine {

// Spectrum, filtration, spectrum listing "Beam_data.dat" (written into workFolder), exposure
// ratio, half-value layers, effective energy, quality index (Text13..Text16).
Status computeSpectrumAndBeamQuality(CalculationState& state, ResultFields& results,
                                     const std::filesystem::path& workFolder);
// Exposure at 1 m from the tube output data or the measured value in Text19 (Text12; empties
// Text19 in the tube-output-data case).
Status computeExposureAt1m(CalculationState& state, ResultFields& results);
// Conversion factor, backscatter factor, hood/cover scatter, entrance surface dose
// (Text18, Text17, Text7, Text20).
Status computeEntranceSurfaceDose(CalculationState& state, ResultFields& results);
// Caregiver doses at the three positions (Text21, Text22, Text25) from the ambient dose table.
Status computeCaregiverDose(const CalculationState& state, ResultFields& results);

// The texts of the exposure-condition screen's input fields that a calculation run reads.
struct ConditionTexts {
    std::string text1 = "12";    // target angle (degree)
    std::string text2 = "2.5";   // inherent filtration (mm Al)
    std::string text3 = "0";     // added Al (mm)
    std::string text4 = "0";     // added Cu (mm)
    std::string text5 = "50";    // tube voltage (kV)
    std::string text6 = "5";     // mAs
    std::string text8 = "100";   // FFD (cm)
    std::string text23 = "10";   // subject thickness (cm)
    std::string text9 = "60";    // focus-hood distance (cm)
    std::string text10 = "25.4"; // field, long axis (cm)
    std::string text11 = "20.3"; // field, short axis (cm)
};

// The calculation run: reads every field into the state (text-to-number rule), derives the
// focus-skin and hood-skin distances and runs the three routines in order.
Status runCalculation(CalculationState& state, const ConditionTexts& fields, ResultFields& results,
                      const std::filesystem::path& workFolder);

} // namespace tamso::engine
