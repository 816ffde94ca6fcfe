#include "records/recordeffectivedose.h"

#include "engine/calculation.h"
#include "records/dosehistory.h"
#include "records/exposurerecord.h"
#include "textio/numbertext.h"

#include <memory>
#include <regex>

namespace tamso::records {

namespace {

std::optional<double> number(const ListValue& v) {
    if (const double* d = std::get_if<double>(&v))
        return *d;
    if (const std::string* s = std::get_if<std::string>(&v)) {
        const auto r = textio::readWholeNumber(*s);
        if (r.ok())
            return r.value;
    }
    return std::nullopt;
}

} // namespace

std::optional<std::pair<double, double>> recordFieldCm(const std::string& text) {
    for (const FieldSizePreset& p : fieldSizePresets())
        if (p.name == text)
            return std::pair{p.longCm, p.shortCm};
    static const std::regex sides(R"(([0-9]+(?:\.[0-9]+)?)\s*(?:x|X|×|\*)\s*([0-9]+(?:\.[0-9]+)?))");
    std::smatch m;
    if (!std::regex_search(text, m, sides))
        return std::nullopt;
    const double a = std::stod(m[1].str()), b = std::stod(m[2].str());
    return std::pair{std::max(a, b), std::min(a, b)};
}

Expected<ConditionOrganDoses> recordConditionOrganDoses(const engine::CalculationState& loaded,
                                                        const engine::OrganDoseTable& table,
                                                        std::optional<double> defaultWeightKg,
                                                        const PatientRecord& record) {
    const auto kv = number(record.tubeVoltageKv), mas = number(record.mAs), ffd = number(record.ffdCm),
               thickness = number(record.subjectThicknessCm);
    if (!kv || !mas || !ffd || !thickness)
        return Error(ErrorCode::RecordConditionsNotNumbers);
    const auto field = recordFieldCm(record.fieldSize);
    if (!field)
        return Error(ErrorCode::RecordFieldSizeUnknown, {record.fieldSize});
    auto state = std::make_unique<engine::CalculationState>(loaded);
    state->exposureSource = 2;
    engine::ConditionTexts c = engine::defaultConditions(*state);
    c.tubeVoltageKv = textio::numberToText(*kv);
    c.mAs = textio::numberToText(*mas);
    c.ffdCm = textio::numberToText(*ffd);
    c.subjectThicknessCm = textio::numberToText(*thickness);
    c.fieldLongCm = textio::numberToText(field->first);
    c.fieldShortCm = textio::numberToText(field->second);
    engine::ResultTexts results;
    if (auto e = engine::runCalculation(*state, c, results); !e.ok())
        return e.error();
    auto doses = engine::organDosesForBodyPart(table, *state, record.bodyPart, std::nullopt, defaultWeightKg);
    if (!doses.ok())
        return doses.error();
    return ConditionOrganDoses{std::move(*doses), state->entranceSurfaceDoseMGy};
}

engine::OrganDoseResult scaledToStoredDose(const ConditionOrganDoses& run, double storedMGy) {
    engine::OrganDoseResult doses = run.doses;
    const double ratio = run.computedDoseMGy > 0 ? storedMGy / run.computedDoseMGy : 0;
    for (double& d : doses.doseUGy)
        d *= ratio;
    doses.effectiveDoseUSv *= ratio;
    doses.effectiveDoseUUSv *= ratio;
    doses.effectiveDoseIcrp60USv *= ratio;
    doses.incidentAirKermaMGy *= ratio;
    return doses;
}

Expected<engine::OrganDoseResult> recordOrganDoses(const engine::CalculationState& loaded,
                                                   const engine::OrganDoseTable& table,
                                                   std::optional<double> defaultWeightKg,
                                                   const PatientRecord& record) {
    const auto stored = storedDoseMGy(record.entranceSurfaceDoseMGy);
    if (!stored)
        return Error(ErrorCode::RecordDoseMissing);
    auto run = recordConditionOrganDoses(loaded, table, defaultWeightKg, record);
    if (!run.ok())
        return run.error();
    return scaledToStoredDose(*run, *stored); // to the record's own dose
}

} // namespace tamso::records
