#pragma once
// The record of one computed exposure: the 13 fields that the report's Data Save stores, built from
// the conditions and results of a calculation run in the texts that the exposure-condition screen
// hands over to the report. The screen and the DICOM node both build their records here, so a
// record the node appends reads exactly as one saved through the report for the same exposure.

#include "engine/calculationstate.h"
#include "engine/resultfields.h"
#include "records/patientrecordfile.h"

#include <string>
#include <vector>

namespace tamso::records {

// The field sizes the exposure-condition screen offers, recorded under their names: the long-axis
// field takes the first value for every size, including 半六切 (10.2 × 12.7).
struct FieldSizePreset {
    std::string name;
    double longCm = 0;
    double shortCm = 0;
};
const std::vector<FieldSizePreset>& fieldSizePresets();            // the six sizes, in list order
inline constexpr const char* kOtherFieldSizeName = "その他";       // a size typed by the user
inline constexpr const char* kDefaultFieldSizeName = "六切サイズ"; // what a new case starts with

// What the record takes from elsewhere than the run: the exam date as the report shows it, the
// technologist, the body part, the field size's name and the X-ray unit.
struct RecordContext {
    std::string examDate;
    std::string technologist;
    std::string bodyPart;
    std::string fieldSizeName;
    std::string xrayUnit;
};

// The record of the run: tube voltage, mAs, FFD and thickness as the run read them (in their
// shortest decimal text), the entrance surface dose and the caregiver doses as the results show
// them, the rest from the context.
RecordTexts recordTextsOfRun(const engine::CalculationState& state, const engine::ResultFields& results,
                             const RecordContext& context);

// An exam date as records store it in the Japanese short date form: "2024/05/01".
std::string recordDateText(int year, int month, int day);

} // namespace tamso::records
