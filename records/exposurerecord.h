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

// Whether two records are of the same exposure: the same exam date (as a calendar date where both
// read as one, else as written), body part, tube voltage, mAs, FFD and thickness (numbers by value).
// The technologist, the unit, the field's name and the doses may differ: an exposure saved again with
// its dose typed over, by another hand, or entered by hand after the node recorded its image, is
// still the one exposure. The one rule of Data Save, the node and the back-fill.
bool sameExposure(const PatientRecord& a, const PatientRecord& b);

// The number (1..N) of the first record of the list that is of the same exposure, or 0.
int sameExposureRecord(const std::vector<PatientRecord>& recordsInSaveOrder, const PatientRecord& record);

// The question asked before a second record of one exposure is saved (default No), naming the
// stored record.
Error sameExposureQuestion(int recordNumber, const PatientRecord& stored);

// An exam date as records store it in the Japanese short date form: "2024/05/01".
std::string recordDateText(int year, int month, int day);

} // namespace tamso::records
