// The audit's median effective dose per body part: the median of the records' own effective doses
// (one rule with the record's effective dose, whatever the conditions cache shares), records whose
// effective dose cannot be computed counted and left out, never guessed.

#include "audit_testsupport.h"
#include "records/doseaudit.h"
#include "records/recordeffectivedose.h"
#include "refdata/organdosefile.h"
#include "refdata/referenceloader.h"
#include "textio/quantitytext.h"

#include <gtest/gtest.h>

#include <memory>

namespace tamso::records {
namespace {

TEST(DoseAuditEffectiveDose, MedianOfTheRecordsOwnEffectiveDosesAndTheOthersCounted) {
    const std::filesystem::path data = std::filesystem::path(TAMSO_SOURCE_DIR) / "data";
    auto state = std::make_unique<engine::CalculationState>();
    ASSERT_TRUE(refdata::loadReferenceData(*state, data).ok());
    auto organs = refdata::loadOrganDoseData(data);
    ASSERT_TRUE(organs.ok());
    const AuditEffectiveDoseData effective{*state, organs->table, organs->defaultWeightKg};

    test::TempFolder dir;
    test::writeRecordFile(dir, "A.pat",
                          {{"2026/01/01", "胸部正面", " .1 "}, {"2026/01/02", "胸部正面", " .3 "},
                           {"2026/01/03", "四肢", " .2 "}, {"2025/12/31", "四肢", " .2 "}});
    test::writeRecordFile(dir, "B.pat",
                          {{"2026/01/04", "胸部正面", " .2 "}, {"2026/01/05", "頭部正面", " .1 "},
                           {"2026/01/06", "頭部正面", " .4 "}, {"2026/01/07", "四肢", " .5 "}});
    const AuditPeriod year2026{parseExamDate("2026/01/01"), parseExamDate("2026/12/31")};

    // A record of the same conditions, alone, through the one rule.
    auto alone = [&](const char* bodyPart, double doseMGy) {
        PatientRecord r;
        r.bodyPart = bodyPart;
        r.tubeVoltageKv = 60.0;
        r.mAs = 2.0;
        r.ffdCm = 100.0;
        r.subjectThicknessCm = 8.0;
        r.fieldSize = "六切サイズ";
        r.entranceSurfaceDoseMGy = doseMGy;
        auto d = recordOrganDoses(*state, organs->table, organs->defaultWeightKg, r);
        return d.ok() ? d->effectiveDoseUSv : -1.0;
    };
    struct Row {
        const char* bodyPart;
        std::optional<double> medianUSv;
    };
    const Row expected[] = {{"四肢", std::nullopt}, // body parts by their text
                            {"胸部正面", alone("胸部正面", 0.2)},
                            {"頭部正面", (alone("頭部正面", 0.1) + alone("頭部正面", 0.4)) / 2}};

    auto audit = auditRecordFolder(dir.path(), year2026, {}, {}, &effective);
    ASSERT_TRUE(audit.ok());
    EXPECT_EQ(audit->effectiveDoseUnavailable, 2); // the limb records of the period only
    const auto cells = auditTableCells(*audit);
    ASSERT_EQ(cells.size(), std::size(expected));
    for (size_t i = 0; i < cells.size(); ++i) {
        const BodyPartAudit& p = audit->bodyParts[i];
        ASSERT_EQ(p.bodyPart, expected[i].bodyPart);
        ASSERT_EQ(p.medianEffectiveDoseUSv.has_value(), expected[i].medianUSv.has_value()) << p.bodyPart;
        if (expected[i].medianUSv) {
            EXPECT_GT(*expected[i].medianUSv, 0);
            EXPECT_DOUBLE_EQ(*p.medianEffectiveDoseUSv, *expected[i].medianUSv) << p.bodyPart;
        }
        EXPECT_EQ(cells[i].back(), expected[i].medianUSv ? textio::effectiveDoseText(*expected[i].medianUSv) : "")
            << p.bodyPart;
    }
    const std::string lines = auditSummaryLines(*audit).back();
    EXPECT_NE(lines.find("体重は既定値"), std::string::npos) << lines;
    EXPECT_NE(lines.find("実効線量を計算できない記録 2 件"), std::string::npos) << lines;
    EXPECT_NE(doseAuditCsv(*audit).find(lines), std::string::npos);

    // Without the organ-dose data: no effective dose and no line about it.
    auto without = auditRecordFolder(dir.path(), year2026, {});
    ASSERT_TRUE(without.ok());
    EXPECT_EQ(auditSummaryLines(*without).size(), 2u);
    for (const auto& row : auditTableCells(*without))
        EXPECT_EQ(row.back(), "");
}

} // namespace
} // namespace tamso::records
