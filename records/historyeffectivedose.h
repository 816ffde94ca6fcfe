#pragma once
// The effective dose of every exposure of a dose history and its cumulative sum, each computed
// from the record's conditions when shown (recordeffectivedose.h: the site's default weight,
// marked as assumed). An exposure whose effective dose cannot be computed (a body part that names
// no region, conditions the calculation refuses, no dose stored) keeps the reason, adds nothing,
// and makes the cumulative effective dose a lower bound. Withdrawn records have none.

#include "engine/calculationstate.h"
#include "engine/organdose.h"
#include "records/dosehistory.h"

#include <optional>
#include <string>
#include <vector>

namespace tamso::records {

struct ExposureEffectiveDose {
    std::optional<engine::OrganDoseResult> doses; // nothing: see problem
    std::string problem;
    double cumulativeUSv = 0; // the effective doses of exposures 1..number that could be computed
};

struct HistoryEffectiveDoses {
    std::vector<ExposureEffectiveDose> exposures; // one per DoseHistory::entries, in its order
    double totalUSv = 0;
    int unavailable = 0; // exposures without an effective dose: the total is then a lower bound
    // The effective dose of a table row (doseHistoryTableEntries): nothing for a withdrawn record.
    const ExposureEffectiveDose* forEntry(const DoseHistory& history, const DoseHistoryEntry& entry) const;
};

// `loaded`: a state with the working folder's reference data (not changed).
HistoryEffectiveDoses historyEffectiveDoses(const DoseHistory& history, const engine::CalculationState& loaded,
                                            const engine::OrganDoseTable& table,
                                            std::optional<double> defaultWeightKg);

} // namespace tamso::records
