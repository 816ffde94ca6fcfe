// Withdrawing a record: the trail beside the record files, read back with what a reason may hold,
// withdrawn records left out of the history, the report's dose so far, the audit and tamso-calc,
// and the lines a reader must not apply.

#include "audit_testsupport.h"
#include "records/doseaudit.h"
#include "records/dosehistory.h"
#include "records/recordwithdrawal.h"
#include "testsupport.h"
#include "textio/codec.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tamso::records {
namespace {

using test::Exam;
using test::TempFolder;

// W1: 0.1 mGy, a mistyped 8E+79 mGy, 0.2 mGy.
void writeInfant(const TempFolder& dir) {
    test::writeRecordFile(dir, "W1.pat",
                          {{"2026/01/10", "胸部正面", " .1 "},
                           {"2026/01/11", "胸部正面", " 8E+79 "},
                           {"2026/01/12", "胸部正面", " .2 "}});
}

PatientRecord storedRecord(const TempFolder& dir, int n) {
    auto history = loadPatientHistory(dir.path(), "W1");
    EXPECT_TRUE(history.ok());
    return history->records.at(static_cast<size_t>(n - 1));
}

Status withdraw(const TempFolder& dir, int n, const std::string& reason = "線量の誤入力",
                const std::string& who = "山田 花子") {
    return withdrawRecord(dir.path(), "W1", {n, storedRecord(dir, n), who, reason, "2026/03/05 10:15:00"});
}

TEST(WithdrawalTrail, LinesReadBackWhateverTheReasonHolds) {
    const Withdrawal base = withdrawalOf(PatientRecord{}, 7, "2026/03/05 10:15:00", "技師", "");
    for (const std::string reason : {"kV を 80, 60 と誤入力", "\"重複\" 撮影, \"再\"", "50% 過大 %22",
                                     " 前後の空白 ", "行\r\n分け", "\"", ","}) {
        Withdrawal w = base;
        w.reason = reason;
        w.withdrawnBy = "佐藤, \"主任\"";
        w.bodyPart = "胸部, 腹部";
        const std::string line = withdrawalLine(w);
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
        auto read = parseWithdrawalLine(line);
        ASSERT_TRUE(read.ok()) << line << ": " << read.error().message();
        EXPECT_EQ(read->reason, reason);
        EXPECT_EQ(read->withdrawnBy, w.withdrawnBy);
        EXPECT_EQ(read->bodyPart, w.bodyPart);
        EXPECT_EQ(read->recordNumber, 7);
    }
}

TEST(WithdrawalTrail, WithdrawnRecordCountsNowhereAndTheRecordFileStaysAsItWas) {
    TempFolder dir;
    writeInfant(dir);
    const std::string before = test::readBytes(dir.file("W1.pat"));
    ASSERT_TRUE(withdraw(dir, 2, "桁の誤り, \"8E+79\" と入力").ok());
    EXPECT_EQ(test::readBytes(dir.file("W1.pat")), before);
    EXPECT_EQ(test::readSjis(dir.file("W1.pat.withdrawn")),
              "2,\"2026/03/05 10:15:00\",\"山田 花子\",\"桁の誤り, %228E+79%22 と入力\",\"2026/01/11\","
              "\"胸部正面\",\"60\",\"2\",\"8" +
                  std::string(79, '0') + "\"\r\n");

    auto history = loadDoseHistory(dir.path(), "W1");
    ASSERT_TRUE(history.ok());
    EXPECT_EQ(history->exposureCount(), 2);
    EXPECT_DOUBLE_EQ(history->totalMGy, 0.3);
    EXPECT_TRUE(history->trailProblems.empty());
    const auto rows = doseHistoryTableEntries(*history);
    ASSERT_EQ(rows.size(), 3u);
    const auto withdrawnRow = doseHistoryRow(*rows[1]);
    EXPECT_EQ(withdrawnRow[kColumnNumber], kWithdrawnMark);
    EXPECT_EQ(withdrawnRow[kColumnCumulativeDose], "");
    EXPECT_NE(withdrawnRow[kColumnNote].find("桁の誤り, \"8E+79\" と入力"), std::string::npos);
    EXPECT_EQ(doseHistoryRow(*rows[2])[kColumnNumber], "2");
    EXPECT_NE(doseHistoryCsv(*history).find("取り消した記録,1"), std::string::npos);
    // The report: record 3 is the second exposure; the withdrawn record has no number.
    EXPECT_EQ(cumulativeThroughRecord(*history, 3)->exposureNumber, 2);
    EXPECT_DOUBLE_EQ(cumulativeThroughRecord(*history, 3)->cumulativeMGy, 0.3);
    EXPECT_FALSE(cumulativeThroughRecord(*history, 2));
    EXPECT_EQ(cumulativeWithNewExposure(*history, "0.1", "2026/01/11").exposureNumber, 2);

    auto audit = auditRecordFolder(dir.path(), {}, test::auditLevels());
    ASSERT_TRUE(audit.ok());
    EXPECT_EQ(audit->records, 3);
    EXPECT_EQ(audit->exposures, 2);
    EXPECT_EQ(audit->withdrawn, 1);
    ASSERT_EQ(audit->bodyParts.size(), 1u);
    EXPECT_DOUBLE_EQ(audit->bodyParts[0].maximumMGy, 0.2);
    ASSERT_EQ(audit->notes.size(), 1u);
    EXPECT_EQ(audit->notes[0].kind, AuditNote::Kind::Withdrawn);
}

TEST(WithdrawalTrail, RecordsAreNumberedOnAcrossContinuationFiles) {
    TempFolder dir;
    test::writeRecordFile(dir, "W2.pat", std::vector<Exam>(20, {"2026/01/10", "胸部正面", " .1 "}));
    test::writeRecordFile(dir, "W2.~2.pat", {{"2026/01/11", "胸部正面", " 5 "}});
    auto history = loadPatientHistory(dir.path(), "W2");
    ASSERT_TRUE(history.ok());
    ASSERT_TRUE(withdrawRecord(dir.path(), "W2", {21, history->records[20], "a", "b", "t"}).ok());
    auto audit = auditRecordFolder(dir.path(), {}, test::auditLevels());
    ASSERT_TRUE(audit.ok());
    EXPECT_EQ(audit->exposures, 20);
    EXPECT_DOUBLE_EQ(audit->bodyParts.at(0).maximumMGy, 0.1);
    ASSERT_EQ(audit->notes.size(), 1u);
    EXPECT_EQ(audit->notes[0].fileName, "W2.~2.pat");
    EXPECT_EQ(audit->notes[0].record, 1);
    EXPECT_EQ(loadDoseHistory(dir.path(), "W2")->exposureCount(), 20);
    // The trail is one of the working folder's own files: no export may overwrite it.
    EXPECT_FALSE(textio::checkExportTarget(dir.file("W2.pat.withdrawn")).ok());
}

TEST(WithdrawalTrail, RefusesWhatCannotBeWithdrawnAndWritesNothing) {
    TempFolder dir;
    writeInfant(dir);
    ASSERT_TRUE(withdraw(dir, 2).ok());
    const std::string trail = test::readBytes(dir.file("W1.pat.withdrawn"));
    const Status twice = withdraw(dir, 2, "別の理由");
    ASSERT_FALSE(twice.ok());
    EXPECT_NE(twice.message().find("取り消し済み"), std::string::npos) << twice.message();
    EXPECT_NE(twice.message().find("線量の誤入力"), std::string::npos) << twice.message();
    EXPECT_FALSE(withdraw(dir, 1, "　 ").ok());                                  // a reason of blanks
    EXPECT_FALSE(withdraw(dir, 1, "理由", "").ok());                             // nobody
    EXPECT_FALSE(withdraw(dir, 1, "理由 \u2603").ok());                          // not in Shift-JIS
    EXPECT_FALSE(withdrawRecord(dir.path(), "W1", {4, {}, "a", "b", "t"}).ok()); // no such record
    PatientRecord other = storedRecord(dir, 1);
    other.bodyPart = "頭部正面"; // not the record listed any more
    EXPECT_FALSE(withdrawRecord(dir.path(), "W1", {1, other, "a", "b", "t"}).ok());
    {
        RecordFileLock held;
        ASSERT_TRUE(held.acquire(dir.file("W1.pat")).ok());
        RecordLockOptions noWait;
        noWait.wait = std::chrono::milliseconds(0);
        const Status busy =
            withdrawRecord(dir.path(), "W1", {1, storedRecord(dir, 1), "a", "b", "t"}, noWait);
        ASSERT_FALSE(busy.ok());
        EXPECT_EQ(busy.error().kind(), Error::Kind::Busy);
    }
    EXPECT_EQ(test::readBytes(dir.file("W1.pat.withdrawn")), trail);
}

TEST(WithdrawalTrail, LinesThatCannotBeAppliedAreReportedAndTheRecordsCounted) {
    TempFolder dir;
    writeInfant(dir);
    const std::string good = withdrawalLine(withdrawalOf(storedRecord(dir, 2), 2, "t", "a", "b"));
    const std::string mismatching = withdrawalLine(withdrawalOf(storedRecord(dir, 1), 3, "t", "a", "b"));
    const std::string beyond = withdrawalLine(withdrawalOf(storedRecord(dir, 1), 9, "t", "a", "b"));
    const std::string lines = "garbage\r\n" + mismatching + "\r\n\r\n" + good + "\r\n" + beyond +
                              "\r\n0,\"t\",\"a\",\"b\",\"\",\"\",\"\",\"\",\"\"\r\n" + good +
                              ",\"extra\"\r\n1,\"%zz\",\"a\",\"b\",\"\",\"\",\"\",\"\",\"\"\r\n";
    // Line 9 is no Shift-JIS; line 10 repeats line 4 without its line end.
    test::writeBytes(dir.file("W1.pat.withdrawn"),
                     *textio::utf8ToSjis(lines) + "\x81\x20\r\n" + *textio::utf8ToSjis(good));
    auto history = loadDoseHistory(dir.path(), "W1");
    ASSERT_TRUE(history.ok());
    EXPECT_EQ(history->withdrawn.size(), 1u);
    EXPECT_EQ(history->exposureCount(), 2);
    const auto& problems = history->trailProblems;
    ASSERT_EQ(problems.size(), 7u);
    for (const auto& [index, line] : std::vector<std::pair<size_t, std::string>>{
             {0, "の 1 行目"}, {1, "の 2 行目は記録 3"}, {2, "5 行目"}, {5, "8 行目"}, {6, "9 行目"}})
        EXPECT_NE(problems[index].find(line), std::string::npos) << problems[index];
    auto audit = auditRecordFolder(dir.path(), {}, test::auditLevels());
    ASSERT_TRUE(audit.ok());
    EXPECT_EQ(audit->exposures, 2);
    EXPECT_EQ(std::count_if(audit->notes.begin(), audit->notes.end(),
                            [](const AuditNote& n) { return n.kind == AuditNote::Kind::TrailProblem; }),
              7);
    // A trail that is no file withdraws nothing and says so.
    std::filesystem::remove(dir.file("W1.pat.withdrawn"));
    std::filesystem::create_directory(dir.file("W1.pat.withdrawn"));
    history = loadDoseHistory(dir.path(), "W1");
    ASSERT_TRUE(history.ok());
    EXPECT_EQ(history->exposureCount(), 3);
    EXPECT_EQ(history->trailProblems.size(), 1u);
    EXPECT_FALSE(withdraw(dir, 1).ok());
}

TEST(WithdrawalTrail, CalculatorHistoryShowsTheWithdrawnRecordInItsPlace) {
    if (!std::filesystem::exists(test::calculatorProgram()))
        GTEST_SKIP() << "tamso-calc is not built";
    TempFolder dir;
    writeInfant(dir);
    ASSERT_TRUE(withdraw(dir, 2).ok());
    const test::ProgramRun run =
        test::runCalculator(dir, "--history W1 --workdir " + test::quotedArgument(dir.path()));
    ASSERT_EQ(run.status, 0) << run.err;
    const auto lines = textio::splitLines(run.out);
    ASSERT_EQ(lines.size(), 2u + 1u + 3u + 3u) << run.out;
    EXPECT_EQ(lines[4].rfind("取消", 0), 0u) << lines[4];
    EXPECT_NE(lines[4].find("線量の誤入力"), std::string::npos);
    EXPECT_EQ(lines[5].rfind("2 ", 0), 0u) << lines[5];
    EXPECT_EQ(lines[6], "撮影回数: 2");
    EXPECT_EQ(lines[7], "累積入射表面線量(mGy): 0.300");
    EXPECT_EQ(lines[8], "取り消した記録: 1");
}

} // namespace
} // namespace tamso::records
