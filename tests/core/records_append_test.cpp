// Several records appended at once give the bytes that saving them one by one gives, across the
// 20-record limit; a batch of files written with one wait for the disk is all-or-nothing before
// its renames; the record of a run holds the run's conditions and results as the report shows them.

#include "engine/calculation.h"
#include "records/exposurerecord.h"
#include "records/patienthistory.h"
#include "records/patientrecordsave.h"
#include "records/recordappend.h"
#include "records_testsupport.h"
#include "testsupport.h"
#include "textio/fileio.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace tamso::records {
namespace {

using test::TempFolder;

RecordTexts numbered(int k) {
    return test::sampleRecord("2024/05/" + std::to_string(10 + k % 20)); // each record its own date
}

class AppendAtOnce : public ::testing::TestWithParam<std::pair<int, int>> {};

TEST_P(AppendAtOnce, GivesTheBytesOfSavingOneByOne) {
    const auto [stored, added] = GetParam();
    TempFolder one, many;
    test::RecordingPrompts prompts;
    PatientRecordState state;
    for (int k = 0; k < stored + added; ++k) {
        ASSERT_TRUE(savePatientRecord(one.path(), "A7", "新生 一郎", numbered(k), prompts, state));
        if (k < stored) {
            ASSERT_TRUE(savePatientRecord(many.path(), "A7", "新生 一郎", numbered(k), prompts, state));
        }
    }
    auto infant = loadStoredInfant(many.path(), "A7");
    ASSERT_TRUE(infant.ok());
    std::vector<RecordTexts> records;
    for (int k = stored; k < stored + added; ++k)
        records.push_back(numbered(k));
    auto plan = planRecordAppend(many.path(), "A7", "新生 一郎", *infant, records);
    ASSERT_TRUE(plan.ok()) << plan.error().message();
    ASSERT_EQ(plan->places.size(), static_cast<size_t>(added));
    EXPECT_EQ(plan->places.back().recordNumber, stored + added);
    const int filesBefore = (stored + 19) / 20, filesAfter = (stored + added + 19) / 20;
    EXPECT_EQ(plan->startsContinuation, filesAfter > std::max(filesBefore, 1));
    ASSERT_TRUE(writeRecordAppends({&*plan}).ok());
    const auto files = listPatientRecordFiles(one.path(), "A7");
    ASSERT_EQ(listPatientRecordFiles(many.path(), "A7").size(), files.size());
    for (const RecordFilePart& file : files)
        EXPECT_EQ(test::readBytes(many.path() / file.path.filename()), test::readBytes(file.path))
            << file.path.filename();
}

INSTANTIATE_TEST_SUITE_P(Records, AppendAtOnce,
                         ::testing::Values(std::pair{0, 1}, std::pair{0, 3}, std::pair{18, 5},
                                           std::pair{20, 2}, std::pair{3, 41}));

// A batch whose second file cannot be written (a full disk) leaves the first as it was too.
TEST(WriteFilesAtomic, FailureBeforeTheRenamesChangesNoFile) {
    TempFolder folder;
    test::writeBytes(folder.file("a.txt"), "old a");
    textio::setWriteFaultForTesting([](const fs::path& temp) {
        return temp.filename().string().find("b.txt") != std::string::npos ? ENOSPC : 0;
    });
    const Status written =
        textio::writeFilesAtomic({{folder.file("a.txt"), "new a"}, {folder.file("b.txt"), "new b"}});
    textio::setWriteFaultForTesting({});
    ASSERT_FALSE(written.ok());
    EXPECT_NE(written.message().find("b.txt"), std::string::npos) << written.message();
    EXPECT_EQ(test::readBytes(folder.file("a.txt")), "old a");
    EXPECT_FALSE(fs::exists(folder.file("b.txt")));
    EXPECT_EQ(test::folderEntries(folder.path()), std::vector<std::string>{"a.txt"}); // no temporary left
    ASSERT_TRUE(
        textio::writeFilesAtomic({{folder.file("a.txt"), "new a"}, {folder.file("b.txt"), "new b"}}).ok());
    EXPECT_EQ(test::readBytes(folder.file("b.txt")), "new b");
}

TEST(ExposureRecord, HoldsTheRunsConditionsAndResultsAsTheReportShowsThem) {
    engine::CalculationState state;
    state.tubeVoltageKv = 62.5;
    state.mAs = 1.6;
    state.ffdCm = 100;
    state.subjectThicknessCm = 7.5;
    engine::ResultTexts results;
    results.setResultText(engine::ResultField::EntranceSurfaceDoseMGy, "0.085");
    results.setResultText(engine::ResultField::CaregiverDose2USv, "0.224");
    const RecordTexts t = recordTextsOfRun(
        state, results, {recordDateText(2024, 5, 1), "佐藤", "胸部正面", "六切サイズ", "NICU-1"});
    EXPECT_EQ(t.inLineOrder(), (std::array<std::string, kRecordLines>{
                                   "2024/05/01", "佐藤", "胸部正面", "7.5", "NICU-1", "62.5", "1.6", "100",
                                   "六切サイズ", "0.085", "", "0.224", ""}));
}

} // namespace
} // namespace tamso::records
