// tamso-calc --history: the dose history of an infant printed as a table with its totals and
// written as CSV, run as the real program on record files made by the tests.

#include "records/dosehistory.h"
#include "testsupport.h"
#include "textio/fileio.h"
#include "tools/calc/calccli.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

using namespace tamso;

namespace {

using Outcome = test::ProgramRun;

std::string quotedPath(const std::filesystem::path& path) {
    return test::quotedArgument(path);
}

Outcome runProgram(const test::TempFolder& folder, const std::string& arguments) {
    return test::runCalculator(folder, arguments);
}

std::string storedRecord(const std::string& date, const std::string& dose) {
    return date + "\r\n技師\r\n胸部\r\n 8 \r\n装置\r\n 60 \r\n 2 \r\n 100 \r\n10 x 12, 縦\r\n" + dose +
           "\r\n 1.5 \r\n .05 \r\n\r\n";
}

class HistoryProgram : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(test::calculatorProgram()))
            GTEST_SKIP() << "tamso-calc is not built";
        // 20 records of 0.1 mGy, then a continuation with 0.052 mGy and one not calculated.
        std::string first = "新生 一郎\r\n 20 \r\n";
        for (int i = 1; i <= 20; ++i)
            first += storedRecord("2024/05/" + std::to_string(i), " .1 ");
        test::writeSjis(folder.file("H1.pat"), first);
        test::writeSjis(folder.file("H1.~2.pat"), "新生 一郎\r\n 2 \r\n" +
                                                      storedRecord("2024/06/01", " .052 ") +
                                                      storedRecord("2024/06/02", "未計算"));
    }
    std::string workdir() const { return "--workdir " + quotedPath(folder.path()); }
    test::TempFolder folder;
};

} // namespace

TEST_F(HistoryProgram, PrintsEveryExposureAndTheTotals) {
    const Outcome o = runProgram(folder, "--history H1 " + workdir());
    ASSERT_EQ(o.status, 0) << o.err;
    const auto lines = textio::splitLines(o.out);
    ASSERT_EQ(lines.size(), 2u + 1u + 22u + 3u) << o.out;
    EXPECT_EQ(lines[0], "患者ID: H1");
    EXPECT_EQ(lines[1], "氏名: 新生 一郎");
    EXPECT_EQ(lines[2].rfind("No.  撮影日", 0), 0u) << lines[2];
    EXPECT_EQ(lines[3].rfind("1    2024/05/1 ", 0), 0u) << lines[3];
    EXPECT_NE(lines[23].find("0.052"), std::string::npos) << lines[23];
    EXPECT_NE(lines[23].find("2.052"), std::string::npos) << lines[23];
    EXPECT_NE(lines[24].find("未計算"), std::string::npos) << lines[24];
    EXPECT_NE(lines[24].find(records::kUncountedDoseNote), std::string::npos) << lines[24];
    EXPECT_EQ(lines[25], "撮影回数: 22");
    EXPECT_EQ(lines[26], "累積入射表面線量(mGy): 2.052");
    EXPECT_EQ(lines[27], "線量のない記録: 1");
    // Columns line up on the screen: the body part starts at the same column in every row.
    for (size_t i = 2; i < 25; ++i) {
        const std::string& line = lines[i];
        const size_t at = line.find(i == 2 ? "撮影部位" : "胸部");
        ASSERT_NE(at, std::string::npos) << line;
        EXPECT_EQ(calc::displayWidth(line.substr(0, at)),
                  calc::displayWidth(lines[3].substr(0, lines[3].find("胸部"))))
            << line;
    }
}

TEST_F(HistoryProgram, WritesTheSameHistoryAsCsv) {
    const auto csv = folder.path() / "history.csv";
    const Outcome o = runProgram(folder, workdir() + " --history=H1 --csv-out " + quotedPath(csv));
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_FALSE(o.out.empty());
    auto history = records::loadDoseHistory(folder.path(), "H1");
    ASSERT_TRUE(history.ok());
    EXPECT_EQ(test::readBytes(csv), records::doseHistoryCsv(*history));
    EXPECT_EQ(test::readBytes(csv).substr(0, 3), "\xEF\xBB\xBF");
}

TEST_F(HistoryProgram, UnknownOrUnreadableInfantExitsWithTwo) {
    const Outcome missing = runProgram(folder, "--history H9 " + workdir());
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("H9.pat"), std::string::npos) << missing.err;
    EXPECT_TRUE(missing.out.empty());

    test::writeSjis(folder.file("H1.~2.pat"), "新生 一郎\r\n 3 \r\n" + storedRecord("2024/06/01", "1"));
    const auto csv = folder.path() / "history.csv";
    const Outcome corrupt = runProgram(folder, "--history H1 " + workdir() + " --csv-out " + quotedPath(csv));
    EXPECT_EQ(corrupt.status, 2);
    EXPECT_NE(corrupt.err.find("H1.~2.pat"), std::string::npos) << corrupt.err;
    EXPECT_TRUE(corrupt.out.empty());
    EXPECT_FALSE(std::filesystem::exists(csv));

    for (const std::string args :
         {"--history H1 --kv 60", "--history", "--history ../x", "--history H1 extra"}) {
        const Outcome bad = runProgram(folder, args + " " + workdir());
        EXPECT_EQ(bad.status, 2) << args;
        EXPECT_FALSE(bad.err.empty()) << args;
    }
    const Outcome help = runProgram(folder, "--help");
    EXPECT_NE(help.out.find("--history"), std::string::npos);
    EXPECT_NE(help.out.find("--csv-out"), std::string::npos);
}
