#include "records/historyeffectivedose.h"

#include "records/recordeffectivedose.h"

namespace tamso::records {

const ExposureEffectiveDose* HistoryEffectiveDoses::forEntry(const DoseHistory& history,
                                                             const DoseHistoryEntry& entry) const {
    if (entry.withdrawal || history.entries.empty())
        return nullptr;
    const auto index = static_cast<size_t>(&entry - history.entries.data());
    if (&entry < history.entries.data() || index >= history.entries.size() || index >= exposures.size())
        return nullptr;
    return &exposures[index];
}

HistoryEffectiveDoses historyEffectiveDoses(const DoseHistory& history, const engine::CalculationState& loaded,
                                            const engine::OrganDoseTable& table,
                                            std::optional<double> defaultWeightKg) {
    HistoryEffectiveDoses h;
    h.exposures.reserve(history.entries.size());
    for (const DoseHistoryEntry& entry : history.entries) {
        ExposureEffectiveDose e;
        auto doses = recordOrganDoses(loaded, table, defaultWeightKg, entry.record);
        if (doses.ok()) {
            e.doses = *doses;
            h.totalUSv += doses->effectiveDoseUSv;
        } else {
            e.problem = doses.error().message();
            ++h.unavailable;
        }
        e.cumulativeUSv = h.totalUSv;
        h.exposures.push_back(std::move(e));
    }
    return h;
}

} // namespace tamso::records
