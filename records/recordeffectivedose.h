#pragma once
// The effective dose of a stored record, computed from its conditions when it is shown (the record
// file holds no effective dose and keeps its format): the record's tube voltage, mAs, FFD,
// thickness and field (a size of the list by its name, or "L x W" in cm) with the target angle and
// inherent filtration of the basic data, no added filtration and the default focus-hood distance;
// the organ doses per incident air kerma of that run, scaled to the record's own stored entrance
// surface dose (so a dose typed over on the report counts as stored). The weight is the site's
// default (records hold none), so the result is marked as assumed.

#include "engine/calculationstate.h"
#include "engine/organdose.h"
#include "records/patientrecordfile.h"
#include "textio/expected.h"

#include <optional>

namespace tamso::records {

// The field of a record in cm (long, short), or nothing where its text names no size.
std::optional<std::pair<double, double>> recordFieldCm(const std::string& fieldSizeText);

// `loaded`: a state with the working folder's reference data (it is not changed).
Expected<engine::OrganDoseResult> recordOrganDoses(const engine::CalculationState& loaded,
                                                   const engine::OrganDoseTable& table,
                                                   std::optional<double> defaultWeightKg,
                                                   const PatientRecord& record);

// The same in two steps, for callers that meet the same conditions many times (the audit): the run
// of the record's conditions (tube voltage, mAs, FFD, thickness, field and body part; the stored
// dose is not looked at), then its organ doses scaled to a stored entrance surface dose.
struct ConditionOrganDoses {
    engine::OrganDoseResult doses;
    double computedDoseMGy = 0; // the entrance surface dose of the run
};
Expected<ConditionOrganDoses> recordConditionOrganDoses(const engine::CalculationState& loaded,
                                                        const engine::OrganDoseTable& table,
                                                        std::optional<double> defaultWeightKg,
                                                        const PatientRecord& record);
engine::OrganDoseResult scaledToStoredDose(const ConditionOrganDoses& run, double storedMGy);

} // namespace tamso::records
