// The facility audit over the record files of a working folder: the exam date forms, the type 7
// percentiles against values worked out by hand (even and odd counts, ties, one dose), infants
// counted across continuation files, the period, and every record or file that cannot be used
// listed rather than skipped; the table and its CSV.

#include "audit_testsupport.h"
#include "records/doseaudit.h"
#include "testsupport.h"
#include "textio/fileio.h"

#include <gtest/gtest.h>

#include <tuple>

namespace tamso::records {
namespace {

using test::auditLevels;
using test::Exam;
using test::TempFolder;
using test::writeAuditFolder;
using test::writeRecordFile;

const BodyPartAudit& part(const DoseAudit& audit, const std::string& name) {
    for (const BodyPartAudit& p : audit.bodyParts)
        if (p.bodyPart == name)
            return p;
    throw std::runtime_error("no row for " + name);
}

TEST(AuditExamDate, ReadsTheStoredForms) {
    const std::tuple<const char*, int, int, int> good[] = {
        {"2026/12/08", 2026, 12, 8}, {"2026-12-08", 2026, 12, 8}, {"2026/1/2", 2026, 1, 2},
        {"2026-1-2", 2026, 1, 2},    {" 2026/01/2 ", 2026, 1, 2}, {"2024/02/29", 2024, 2, 29},
        {"2000/2/29", 2000, 2, 29},  {"2026/12/31", 2026, 12, 31}};
    for (const auto& [text, y, m, d] : good) {
        const auto date = parseExamDate(text);
        ASSERT_TRUE(date) << text;
        EXPECT_EQ(date->year, y) << text;
        EXPECT_EQ(date->month, m) << text;
        EXPECT_EQ(date->day, d) << text;
    }
    for (const char* bad : {"", "2026/02/30", "2025/02/29", "1900/02/29", "2026/13/01", "2026/00/10",
                            "2026/1/0", "26/1/2", "02026/1/2", "2026/001/02", "2026/1/2/3", "2026/01-02",
                            "2026.1.2", "2026年1月2日", "令和8年2月7日", "2026/1/2 10:00", "2026/ 1/2"})
        EXPECT_FALSE(parseExamDate(bad)) << bad;
    EXPECT_EQ(dateText(*parseExamDate("2026-1-2")), "2026/01/02");
}

TEST(AuditPeriodTest, IncludesBothEnds) {
    AuditPeriod period{parseExamDate("2026/02/01"), parseExamDate("2026/02/28")};
    EXPECT_TRUE(period.contains(*parseExamDate("2026/02/01")));
    EXPECT_TRUE(period.contains(*parseExamDate("2026/02/28")));
    EXPECT_FALSE(period.contains(*parseExamDate("2026/01/31")));
    EXPECT_FALSE(period.contains(*parseExamDate("2026/03/01")));
    EXPECT_TRUE(AuditPeriod{}.contains(*parseExamDate("1999/1/1")));
    EXPECT_FALSE(AuditPeriod{}.bounded());
}

// Type 7: h = (n - 1) p between the order statistics x[floor h] and x[floor h + 1].
TEST(AuditPercentile, InterpolatesBetweenOrderStatistics) {
    const std::vector<double> even = {0.1, 0.2, 0.3, 0.4};
    EXPECT_DOUBLE_EQ(percentileOfSorted(even, 0.5), 0.25);
    EXPECT_DOUBLE_EQ(percentileOfSorted(even, 0.75), 0.325); // h = 2.25
    EXPECT_DOUBLE_EQ(percentileOfSorted(even, 0.25), 0.175); // h = 0.75
    const std::vector<double> odd = {1, 2, 3, 4, 5};
    EXPECT_DOUBLE_EQ(percentileOfSorted(odd, 0.5), 3);
    EXPECT_DOUBLE_EQ(percentileOfSorted(odd, 0.75), 4); // h = 3, an order statistic itself
    const std::vector<double> ties = {2, 2, 2, 5};
    EXPECT_DOUBLE_EQ(percentileOfSorted(ties, 0.5), 2);
    EXPECT_DOUBLE_EQ(percentileOfSorted(ties, 0.75), 2.75); // h = 2.25
    const std::vector<double> six = {1, 2, 3, 4, 9, 50};
    EXPECT_DOUBLE_EQ(percentileOfSorted(six, 0.75), 7.75); // h = 3.75: 4 + 0.75 (9 - 4)
    EXPECT_DOUBLE_EQ(percentileOfSorted({7}, 0.75), 7);
    EXPECT_DOUBLE_EQ(percentileOfSorted(odd, 0), 1);
    EXPECT_DOUBLE_EQ(percentileOfSorted(odd, 1), 5);
    EXPECT_DOUBLE_EQ(percentileOfSorted({}, 0.5), 0);
}

TEST(AuditInfant, ContinuationFilesBelongToTheirFirstFile) {
    EXPECT_EQ(auditInfantId("A001.pat"), "A001");
    EXPECT_EQ(auditInfantId("A001.~2.pat"), "A001");
    EXPECT_EQ(auditInfantId("A001.~13.pat"), "A001");
    EXPECT_EQ(auditInfantId("山田.2026.~3.pat"), "山田.2026");
    // Not the continuation naming: the file is an infant of its own.
    EXPECT_EQ(auditInfantId("A001.~1.pat"), "A001.~1");
    EXPECT_EQ(auditInfantId("A001.~02.pat"), "A001.~02");
    EXPECT_EQ(auditInfantId("A001.~x.pat"), "A001.~x");
    EXPECT_EQ(auditInfantId("A001.~.pat"), "A001.~");
    EXPECT_TRUE(isRecordFileName("A001.~2.pat"));
    EXPECT_FALSE(isRecordFileName("A001.pat.lock"));
    EXPECT_FALSE(isRecordFileName(".A001.pat"));
    EXPECT_FALSE(isRecordFileName(".pat"));
    EXPECT_FALSE(isRecordFileName("A001.PAT.txt"));
}

// The verdict compares the median as the table shows it (three decimals, or the level's where
// finer) with the level: a median of 0.2004 mGy shows and counts as 0.200, at the level of 0.2 mGy,
// and one of 0.2005 as 0.201; at a level of 0.0547 mGy a median equal to it or below is not above.
TEST(DoseAuditTable, VerdictFollowsTheMedianAsShown) {
    const std::tuple<const char*, double, std::vector<std::string>> cases[] = {
        {" .2004 ", 0.2, {"0.200", "0.200", "1.00", "以下"}},
        {" .2005 ", 0.2, {"0.201", "0.200", "1.01", "超過"}},
        {" .2 ", 0.2, {"0.200", "0.200", "1.00", "以下"}},
        {" .0547 ", 0.0547, {"0.0547", "0.0547", "1.00", "以下"}},
        {" .0545 ", 0.0547, {"0.0545", "0.0547", "1.00", "以下"}},
        {" .05474 ", 0.0547, {"0.0547", "0.0547", "1.00", "以下"}},
        {" .0548 ", 0.0547, {"0.0548", "0.0547", "1.002", "超過"}}};
    for (const auto& [dose, level, shown] : cases) {
        TempFolder dir;
        writeRecordFile(dir, "A.pat", {{"2026/01/10", "胸部正面", dose}});
        refdata::ReferenceLevelTable levels;
        levels.rows = {{"胸部正面", level, "JP"}};
        auto audit = auditRecordFolder(dir.path(), {}, levels);
        ASSERT_TRUE(audit.ok()) << audit.error().message();
        const auto cells = auditTableCells(*audit);
        ASSERT_EQ(cells.size(), 1u);
        EXPECT_EQ((std::vector<std::string>{cells[0][3], cells[0][7], cells[0][8], cells[0][9]}), shown)
            << dose;
        EXPECT_EQ(audit->bodyParts[0].medianAboveLevel(), shown[3] == "超過") << dose;
    }
}

TEST(DoseAuditFolder, StatisticsOfAPeriodMatchTheHandValues) {
    TempFolder dir;
    writeAuditFolder(dir);
    const AuditPeriod year2026{parseExamDate("2026/01/01"), parseExamDate("2026/12/31")};
    auto audit = auditRecordFolder(dir.path(), year2026, auditLevels(), {"腹部正面", "胸部正面"});
    ASSERT_TRUE(audit.ok()) << audit.error().message();
    ASSERT_EQ(audit->bodyParts.size(), 3u);
    // The body-part list's order, then the others.
    EXPECT_EQ(audit->bodyParts[0].bodyPart, "腹部正面");
    EXPECT_EQ(audit->bodyParts[1].bodyPart, "胸部正面");
    EXPECT_EQ(audit->bodyParts[2].bodyPart, "頭部正面");

    // Chest: 0.1 (A001), 0.4 (A001 continuation), 0.2 (B002), 0.3 (C003); the 2025 dose is outside
    // the period, the dose of the undated record cannot be placed in it.
    const BodyPartAudit& chest = part(*audit, "胸部正面");
    EXPECT_EQ(chest.exposures, 4);
    EXPECT_EQ(chest.infants, 3);
    EXPECT_DOUBLE_EQ(chest.medianMGy, 0.25);
    EXPECT_DOUBLE_EQ(chest.percentile75MGy, 0.325);
    EXPECT_DOUBLE_EQ(chest.lowerQuartileMGy, 0.175);
    EXPECT_DOUBLE_EQ(chest.minimumMGy, 0.1);
    EXPECT_DOUBLE_EQ(chest.maximumMGy, 0.4);
    EXPECT_DOUBLE_EQ(*chest.levelMGy, 0.2); // the first record of the body part
    EXPECT_DOUBLE_EQ(*chest.medianOverLevel, 1.25);
    EXPECT_TRUE(chest.medianAboveLevel());

    // Abdomen, with ties: 0.05 0.05 0.05 0.2 0.3; the body part is listed without a level.
    const BodyPartAudit& abdomen = part(*audit, "腹部正面");
    EXPECT_EQ(abdomen.exposures, 5);
    EXPECT_EQ(abdomen.infants, 3);
    EXPECT_DOUBLE_EQ(abdomen.medianMGy, 0.05);
    EXPECT_DOUBLE_EQ(abdomen.percentile75MGy, 0.2);
    EXPECT_DOUBLE_EQ(abdomen.minimumMGy, 0.05);
    EXPECT_DOUBLE_EQ(abdomen.maximumMGy, 0.3);
    EXPECT_FALSE(abdomen.levelMGy);
    EXPECT_FALSE(abdomen.medianOverLevel);
    EXPECT_FALSE(abdomen.medianAboveLevel());

    const BodyPartAudit& head = part(*audit, "頭部正面");
    EXPECT_EQ(head.exposures, 1);
    EXPECT_DOUBLE_EQ(head.medianMGy, 0.3);
    EXPECT_DOUBLE_EQ(head.percentile75MGy, 0.3);
    EXPECT_DOUBLE_EQ(*head.medianOverLevel, 0.6);
    EXPECT_FALSE(head.medianAboveLevel());

    EXPECT_EQ(audit->recordFiles, 7); // A001, A001.~2, B002, C003, Y998, Z999, folder.pat
    EXPECT_EQ(audit->unreadableFiles, 3);
    EXPECT_EQ(audit->records, 14);
    EXPECT_EQ(audit->recordsInPeriod, 12);
    EXPECT_EQ(audit->exposures, 10);
    EXPECT_EQ(audit->infants, 3);
    EXPECT_EQ(audit->dateUnreadable, 1);
    EXPECT_EQ(audit->noDose, 2);
    EXPECT_EQ(auditSummaryLines(*audit),
              (std::vector<std::string>{
                  "記録ファイル 7 件（読めないもの 3 件）、記録 14 件、期間内 12 件",
                  "集計した撮影 10 件（患児 3 人）、撮影日が読めない記録 1 件、線量のない記録 2 件"}));
    EXPECT_EQ(auditPeriodText(year2026), "2026/01/01 ～ 2026/12/31");
    EXPECT_EQ(auditPeriodText(AuditPeriod{std::nullopt, parseExamDate("2026-1-2")}), " ～ 2026/01/02");
    EXPECT_EQ(auditPeriodText(AuditPeriod{}), "全期間");
}

// Nothing is left out silently: each file and record that could not be used is listed.
TEST(DoseAuditFolder, ListsUnreadableFilesUndatedRecordsAndRecordsWithoutDose) {
    TempFolder dir;
    writeAuditFolder(dir);
    const AuditPeriod year2026{parseExamDate("2026/01/01"), parseExamDate("2026/12/31")};
    auto audit = auditRecordFolder(dir.path(), year2026, auditLevels());
    ASSERT_TRUE(audit.ok());
    std::vector<std::string> texts;
    for (const AuditNote& note : audit->notes)
        texts.push_back(auditNoteText(note));
    ASSERT_EQ(texts.size(), 6u) << ::testing::PrintToString(texts);
    EXPECT_EQ(texts[0], "線量のない記録: B002.pat の 4 件目（入射表面線量「未計算」）。集計から除きました");
    EXPECT_EQ(texts[1], "撮影日が読めない記録: B002.pat の 5 "
                        "件目（撮影日「令和8年2月7日」）。期間に入るか判らないため集計から除きました");
    EXPECT_EQ(texts[2], "線量のない記録: C003.pat の 5 件目（入射表面線量「」）。集計から除きました");
    EXPECT_EQ(audit->notes[3].kind, AuditNote::Kind::UnreadableFile);
    EXPECT_EQ(audit->notes[3].fileName, "Y998.pat");
    EXPECT_NE(texts[3].find("読めない記録ファイル: "), std::string::npos);
    EXPECT_EQ(audit->notes[4].fileName, "Z999.pat");
    EXPECT_NE(texts[4].find("「Z999.pat」"), std::string::npos) << texts[4];
    EXPECT_NE(texts[4].find("整数ではありません"), std::string::npos) << texts[4];
    EXPECT_EQ(texts[5], "読めない記録ファイル: 「folder.pat」はファイルではありません。");
}

TEST(DoseAuditFolder, WithoutAPeriodUndatedRecordsAreCountedAndStillListed) {
    TempFolder dir;
    writeAuditFolder(dir);
    auto audit = auditRecordFolder(dir.path(), AuditPeriod{}, auditLevels());
    ASSERT_TRUE(audit.ok());
    // Chest: 0.1 0.2 0.3 0.4 0.9 5, six doses.
    const BodyPartAudit& chest = part(*audit, "胸部正面");
    EXPECT_EQ(chest.exposures, 6);
    EXPECT_DOUBLE_EQ(chest.medianMGy, 0.35);
    EXPECT_DOUBLE_EQ(chest.percentile75MGy, 0.775); // h = 3.75: 0.4 + 0.75 (0.9 - 0.4)
    EXPECT_DOUBLE_EQ(chest.maximumMGy, 5);
    ASSERT_GE(audit->notes.size(), 2u);
    EXPECT_EQ(audit->notes[1].kind, AuditNote::Kind::DateUnreadable);
    EXPECT_TRUE(audit->notes[1].counted);
    EXPECT_NE(auditNoteText(audit->notes[1]).find("期間を指定していないため集計に含めました"),
              std::string::npos);
    // Without a body-part list the body parts are in the order of their text.
    std::vector<std::string> order;
    for (const auto& p : audit->bodyParts)
        order.push_back(p.bodyPart);
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
}

TEST(DoseAuditFolder, AShortPeriodTakesOnlyItsDates) {
    TempFolder dir;
    writeAuditFolder(dir);
    const AuditPeriod february{parseExamDate("2026/02/01"), parseExamDate("2026/2/28")};
    auto audit = auditRecordFolder(dir.path(), february, auditLevels());
    ASSERT_TRUE(audit.ok());
    const BodyPartAudit& chest = part(*audit, "胸部正面");
    EXPECT_EQ(chest.exposures, 2);
    EXPECT_EQ(chest.infants, 2); // A001 through its continuation file, and B002
    EXPECT_DOUBLE_EQ(chest.medianMGy, 0.3);
    EXPECT_DOUBLE_EQ(chest.percentile75MGy, 0.35);
    const BodyPartAudit& abdomen = part(*audit, "腹部正面");
    EXPECT_EQ(abdomen.exposures, 1); // B002's 0.3; its "未計算" record is listed
    EXPECT_EQ(audit->noDose, 1);
    // From a date on, with no end.
    auto fromMarch =
        auditRecordFolder(dir.path(), AuditPeriod{parseExamDate("2026/03/01"), std::nullopt}, auditLevels());
    ASSERT_TRUE(fromMarch.ok());
    EXPECT_EQ(part(*fromMarch, "胸部正面").exposures, 1);
    EXPECT_EQ(part(*fromMarch, "腹部正面").exposures, 2);
}

TEST(DoseAuditFolder, EmptyFolderGivesAnEmptyTableAndAMissingFolderAnError) {
    TempFolder dir;
    auto audit = auditRecordFolder(dir.path(), AuditPeriod{}, auditLevels());
    ASSERT_TRUE(audit.ok());
    EXPECT_TRUE(audit->bodyParts.empty());
    EXPECT_EQ(audit->recordFiles, 0);
    auto missing = auditRecordFolder(dir.file("nowhere"), AuditPeriod{}, auditLevels());
    ASSERT_FALSE(missing.ok());
    EXPECT_NE(missing.error().message().find("一覧できません"), std::string::npos);
}

TEST(DoseAuditTable, CellsAndCsvAsTheWindowShowsThem) {
    TempFolder dir;
    writeAuditFolder(dir);
    const AuditPeriod year2026{parseExamDate("2026/01/01"), parseExamDate("2026/12/31")};
    auto audit = auditRecordFolder(dir.path(), year2026, auditLevels(), {"胸部正面"});
    ASSERT_TRUE(audit.ok());
    const auto cells = auditTableCells(*audit);
    ASSERT_EQ(cells.size(), 3u);
    EXPECT_EQ(cells[0], (std::vector<std::string>{"胸部正面", "4", "3", "0.250", "0.325", "0.100", "0.400",
                                                  "0.200", "1.25", "超過", ""}));
    EXPECT_EQ(cells[1][0], "腹部正面");
    EXPECT_EQ(cells[1][7], ""); // no level: no level, ratio or verdict
    EXPECT_EQ(cells[1][8], "");
    EXPECT_EQ(cells[1][9], "");
    EXPECT_EQ(cells[2], (std::vector<std::string>{"頭部正面", "1", "1", "0.300", "0.300", "0.300", "0.300",
                                                  "0.500", "0.60", "以下", ""}));
    const std::string csv = doseAuditCsv(*audit);
    EXPECT_EQ(csv.substr(0, 3), "\xEF\xBB\xBF");
    // The period and the summary first, then a blank line and the table.
    const std::vector<std::string> summary = auditSummaryLines(*audit);
    EXPECT_EQ(csv.substr(3, csv.find("\r\n\r\n") + 4 - 3),
              "期間,2026/01/01 ～ 2026/12/31\r\n" + summary[0] + "\r\n" + summary[1] + "\r\n\r\n");
    const size_t table = csv.find("\r\n\r\n") + 4;
    EXPECT_EQ(
        csv.substr(table, csv.find("\r\n", table) - table),
        "撮影部位,撮影数,患児数,中央値 (mGy),75パーセンタイル (mGy),最小 (mGy),最大 (mGy),参考レベル (mGy),"
        "中央値/参考レベル,判定,実効線量 中央値 (μSv)");
    EXPECT_NE(csv.find("\r\n胸部正面,4,3,0.250,0.325,0.100,0.400,0.200,1.25,超過,\r\n"), std::string::npos)
        << csv;
    EXPECT_NE(csv.find("\r\n腹部正面,5,3,0.050,0.200,0.050,0.300,,,,\r\n"), std::string::npos) << csv;
}

TEST(DoseAuditTable, CsvQuotesBodyPartsWithCommasOrQuotes) {
    TempFolder dir;
    writeRecordFile(dir, "A.pat", {{"2026/01/01", "胸部, \"AP\"", " .1 "}});
    auto audit = auditRecordFolder(dir.path(), AuditPeriod{}, refdata::ReferenceLevelTable{});
    ASSERT_TRUE(audit.ok());
    EXPECT_NE(doseAuditCsv(*audit).find("\r\n\"胸部, \"\"AP\"\"\",1,1,"), std::string::npos);
}

} // namespace
} // namespace tamso::records
