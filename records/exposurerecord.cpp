#include "records/exposurerecord.h"

#include "records/doseaudit.h"
#include "textio/numbertext.h"

#include <cstdio>

namespace tamso::records {

const std::vector<FieldSizePreset>& fieldSizePresets() {
    static const std::vector<FieldSizePreset> presets = {
        {"半六切サイズ", 10.2, 12.7}, {"六切サイズ", 25.4, 20.3}, {"四切サイズ", 30.5, 25.4},
        {"大四サイズ", 35.6, 28},     {"大角サイズ", 35.6, 35.6}, {"半切サイズ", 43.2, 35.6},
    };
    return presets;
}

RecordTexts recordTextsOfRun(const engine::CalculationState& state, const engine::ResultFields& results,
                             const RecordContext& context) {
    using engine::ResultField;
    RecordTexts t;
    t.examDate = context.examDate;
    t.technologist = context.technologist;
    t.bodyPart = context.bodyPart;
    t.subjectThicknessCm = textio::numberToText(state.subjectThicknessCm);
    t.xrayUnit = context.xrayUnit;
    t.tubeVoltageKv = textio::numberToText(state.tubeVoltageKv);
    t.mAs = textio::numberToText(state.mAs);
    t.ffdCm = textio::numberToText(state.ffdCm);
    t.fieldSize = context.fieldSizeName;
    t.entranceSurfaceDoseMGy = results.resultText(ResultField::EntranceSurfaceDoseMGy);
    t.caregiverDoseUSv = {results.resultText(ResultField::CaregiverDose1USv),
                          results.resultText(ResultField::CaregiverDose2USv),
                          results.resultText(ResultField::CaregiverDose3USv)};
    return t;
}

std::string recordDateText(int year, int month, int day) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d", year, month, day);
    return text;
}

bool sameExposure(const PatientRecord& a, const PatientRecord& b) {
    const auto dateA = parseExamDate(a.examDate), dateB = parseExamDate(b.examDate);
    const bool sameDate = dateA && dateB ? dateA->key() == dateB->key() : a.examDate == b.examDate;
    return sameDate && a.bodyPart == b.bodyPart && a.tubeVoltageKv == b.tubeVoltageKv && a.mAs == b.mAs &&
           a.ffdCm == b.ffdCm && a.subjectThicknessCm == b.subjectThicknessCm;
}

int sameExposureRecord(const std::vector<PatientRecord>& recordsInSaveOrder, const PatientRecord& record) {
    for (size_t n = 0; n < recordsInSaveOrder.size(); ++n)
        if (sameExposure(recordsInSaveOrder[n], record))
            return static_cast<int>(n) + 1;
    return 0;
}

Error sameExposureQuestion(int recordNumber, const PatientRecord& stored) {
    return Error(ErrorCode::QuestionSameExposure,
                 {std::to_string(recordNumber), stored.examDate, stored.bodyPart, listValueText(stored.tubeVoltageKv),
                  listValueText(stored.mAs), listValueText(stored.entranceSurfaceDoseMGy)});
}

} // namespace tamso::records
