// The effective doses of a dose history: each record's from its conditions, summed in the
// history's order; a record without one adds nothing, says why, and makes the sum a lower bound.

#include "records/historyeffectivedose.h"
#include "records/recordeffectivedose.h"
#include "refdata/organdosefile.h"
#include "refdata/referenceloader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

using namespace tamso;

namespace {

records::PatientRecord record(const char* date, const char* bodyPart, const char* field, double doseMGy) {
    records::PatientRecord r;
    r.examDate = date;
    r.bodyPart = bodyPart;
    r.tubeVoltageKv = 60.0;
    r.mAs = 2.0;
    r.ffdCm = 100.0;
    r.subjectThicknessCm = 8.0;
    r.fieldSize = field;
    r.entranceSurfaceDoseMGy = doseMGy;
    return r;
}

} // namespace

TEST(HistoryEffectiveDose, SumsWhatCanBeComputedAndSaysWhyTheRestCannot) {
    const std::filesystem::path data = std::filesystem::path(TAMSO_SOURCE_DIR) / "data";
    auto state = std::make_unique<engine::CalculationState>();
    ASSERT_TRUE(refdata::loadReferenceData(*state, data).ok());
    auto organs = refdata::loadOrganDoseData(data);
    ASSERT_TRUE(organs.ok());

    records::PatientHistory p;
    p.patientId = "E1";
    // Saved out of date order; the sums follow the history's order.
    p.records = {record("2026/01/03", "腹部正面", "六切サイズ", 0.06), record("2026/01/01", "胸部正面", "六切サイズ", 0.05),
                 record("2026/01/02", "四肢", "六切サイズ", 0.04), record("2026/01/04", "胸部正面", "その他", 0.05),
                 record("2026/01/05", "胸部側面", "25x20", 0.05)};
    const records::DoseHistory history = records::makeDoseHistory(p);
    const records::HistoryEffectiveDoses e =
        records::historyEffectiveDoses(history, *state, organs->table, organs->defaultWeightKg);
    ASSERT_EQ(e.exposures.size(), history.entries.size());

    struct Expect {
        bool available;
        const char* problemMentions;
    };
    const Expect expect[] = {{true, ""}, {false, "四肢"}, {true, ""}, {false, "その他"}, {true, ""}};
    double sum = 0;
    for (size_t i = 0; i < e.exposures.size(); ++i) {
        const records::DoseHistoryEntry& entry = history.entries[i];
        const records::ExposureEffectiveDose& x = e.exposures[i];
        ASSERT_EQ(x.doses.has_value(), expect[i].available) << i << " " << x.problem;
        EXPECT_EQ(e.forEntry(history, entry), &x);
        if (x.doses) {
            // One rule: the record's own effective dose, with the site's default weight, assumed.
            const auto alone = records::recordOrganDoses(*state, organs->table, organs->defaultWeightKg, entry.record);
            ASSERT_TRUE(alone.ok());
            EXPECT_DOUBLE_EQ(x.doses->effectiveDoseUSv, alone->effectiveDoseUSv);
            EXPECT_TRUE(x.doses->weightAssumed);
            EXPECT_GT(x.doses->effectiveDoseUSv, 0);
            sum += x.doses->effectiveDoseUSv;
        } else {
            EXPECT_NE(x.problem.find(expect[i].problemMentions), std::string::npos) << x.problem;
        }
        EXPECT_DOUBLE_EQ(x.cumulativeUSv, sum) << i;
    }
    EXPECT_DOUBLE_EQ(e.totalUSv, sum);
    EXPECT_EQ(e.unavailable, 2);

    // Without a default weight no record has one, and none adds.
    const auto none = records::historyEffectiveDoses(history, *state, organs->table, std::nullopt);
    EXPECT_EQ(none.unavailable, history.exposureCount());
    EXPECT_EQ(none.totalUSv, 0);
}
