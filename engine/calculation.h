#pragma once
// The dose routines. Each works on the calculation state, writes its displayed results through
// ResultFields as soon as they are known, and stops with a typed error (a Japanese message for the
// user) before computing or indexing anything beyond the tables when the conditions or the
// reference data lie outside the model.

#include "engine/calculationstate.h"
#include "engine/resultfields.h"
#include "textio/expected.h"

#include <filesystem>
#include <optional>
#include <string>

namespace tamso::engine {

// What the caller of a run asks of it beyond the results. The spectrum listing "Beam_data.dat" is
// for the user who looks at it after computing one exposure (the exposure-condition screen,
// tamso-calc for one exposure); a computation of many exposures (the DICOM node, the CSV and DICOM
// batches, the audit) asks for none, and by default none is written.
struct RunOptions {
    std::optional<std::filesystem::path> listingFolder; // the folder that receives the listing
};
// The options of a run that writes the spectrum listing into the folder.
RunOptions listingInto(const std::filesystem::path& folder);

// Spectrum, filtration, the spectrum listing where the options ask for it, exposure ratio,
// half-value layers, effective energy, quality index (Hvl1MmAl .. QualityIndex).
Status computeSpectrumAndBeamQuality(CalculationState& state, ResultFields& results,
                                     const RunOptions& options = {});
// Exposure at 1 m from the tube output data or the measured value shown as MeasuredExposureCkg
// (ExposureAt1mCkg; empties MeasuredExposureCkg in the tube-output-data case).
Status computeExposureAt1m(CalculationState& state, ResultFields& results);
// Conversion factor, backscatter factor, hood/cover scatter, entrance surface dose
// (DoseConversionFactor, BackscatterFactor, ExposureWithScatterCkg, EntranceSurfaceDoseMGy).
Status computeEntranceSurfaceDose(CalculationState& state, ResultFields& results);
// Caregiver doses at the three positions (CaregiverDose1USv .. 3USv) from the ambient dose table.
Status computeCaregiverDose(const CalculationState& state, ResultFields& results);

// The exposure conditions of one radiograph as the user typed them; a calculation run reads each
// with the text-to-number rule. The defaults are those a new case starts from, on the
// exposure-condition screen and in the command-line calculator alike, except that the target angle
// and the inherent filtration come from the basic data (see defaultConditions).
struct ConditionTexts {
    std::string targetAngleDeg = "12";      // target angle (degree)
    std::string inherentFilterAlMm = "2.5"; // inherent filtration (mm Al)
    std::string addedFilterAlMm = "0";      // added aluminium (mm)
    std::string addedFilterCuMm = "0";      // added copper (mm)
    std::string tubeVoltageKv = "50";       // tube voltage (kV)
    std::string mAs = "5";                  // tube current x exposure time (mAs)
    std::string ffdCm = "100";              // focus-image receptor distance (cm)
    std::string subjectThicknessCm = "10";  // thickness of the infant (cm)
    std::string focusHoodDistanceCm = "60"; // focus-hood/cover distance (cm)
    std::string fieldLongCm = "25.4";       // field size at the receptor, long axis (cm)
    std::string fieldShortCm = "20.3";      // field size at the receptor, short axis (cm)
};

// The conditions a new case starts from, with the target angle and the inherent filtration of the
// basic data in the state.
ConditionTexts defaultConditions(const CalculationState& state);

// The skin can come no closer to the focus than this (cm): mobile X-ray units hold it at least
// 30 cm away by the spacer of their collimator.
constexpr double kMinFocusSkinDistanceCm = 30;

// The geometry of a run: an FFD above 0, a focus-skin distance (FFD - thickness) of at least
// kMinFocusSkinDistanceCm, and the hood/cover between the focus and the skin (focus-hood distance
// above 0 and below the focus-skin distance). The message names the values.
Status checkGeometry(double ffdCm, double thicknessCm, double focusHoodCm);

// The calculation run: reads every field into the state (text-to-number rule), derives the
// focus-skin and hood-skin distances, checks the geometry (checkGeometry), runs the three routines
// in order and writes the spectrum listing where the options ask for it (no file otherwise).
Status runCalculation(CalculationState& state, const ConditionTexts& fields, ResultFields& results,
                      const RunOptions& options = {});

} // namespace tamso::engine
