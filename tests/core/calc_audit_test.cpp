// tamso-calc --audit: the audit table printed and written as CSV for a period, the optional level
// file missing or malformed, and the options it refuses.

#include "audit_testsupport.h"
#include "records/doseaudit.h"
#include "testsupport.h"
#include "textio/fileio.h"
#include "tools/calc/calccli.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace tamso;

namespace {

struct CalcRun {
    int status = -1;
    std::string out;
    std::string err;
};

CalcRun calc(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    CalcRun run;
    run.status = calc::runCalculator(args, out, err);
    run.out = out.str();
    run.err = err.str();
    return run;
}

class AuditCommand : public ::testing::Test {
protected:
    void SetUp() override {
        test::writeAuditFolder(folder);
        test::writeSjis(folder.file("参考線量.dat"),
                        "\"腹部正面\",,\r\n\"胸部正面\", .2 ,Japan DRLs 2020, 乳児\r\n"
                        "\"胸部正面\", .05 ,NICU\r\n\"頭部正面\", .5 ,H\r\n");
        test::writeSjis(folder.file("撮影部位.txt"), "腹部正面\r\n胸部正面\r\n");
    }
    std::string dir() const { return folder.path().u8string(); }
    test::TempFolder folder;
};

TEST_F(AuditCommand, PrintsTheTableOfThePeriodWithItsNotes) {
    const CalcRun run = calc({"--audit", "--workdir", dir(), "--from", "2026/01/01", "--to=2026-12-31"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const auto lines = textio::splitLines(run.out);
    ASSERT_GE(lines.size(), 7u) << run.out;
    EXPECT_EQ(lines[0], "期間: 2026/01/01 ～ 2026/12/31");
    // Columns aligned for a terminal: a Japanese character takes two columns.
    EXPECT_EQ(lines[2].rfind("撮影部位  撮影数  患児数  中央値 (mGy)  75パーセンタイル (mGy)", 0), 0u)
        << lines[2];
    EXPECT_EQ(lines[3],
              "腹部正面       5       3         0.050                   0.200       0.050       0.300");
    EXPECT_EQ(lines[4],
              "胸部正面       4       3         0.250                   0.325       0.100       0.400"
              "             0.200               1.25  超過");
    EXPECT_NE(run.out.find("記録ファイル 7 件（読めないもの 3 件）、記録 14 件、期間内 12 件\n"),
              std::string::npos);
    EXPECT_NE(run.out.find("  撮影日が読めない記録: B002.pat の 5 件目"), std::string::npos);
    EXPECT_NE(run.out.find("  読めない記録ファイル: "), std::string::npos);
    EXPECT_EQ(run.out.find("がないため比較しません"), std::string::npos);
}

TEST_F(AuditCommand, WritesTheSameTableAsCsv) {
    const auto csv = folder.file("監査.csv");
    test::writeBytes(csv, "old");
    const CalcRun run = calc({"--workdir", dir(), "--audit", "--csv-out", csv.u8string()});
    ASSERT_EQ(run.status, 0) << run.err;
    auto audit = records::auditRecordFolder(folder.path(), records::AuditPeriod{},
                                            refdata::loadReferenceLevels(folder.path()).table,
                                            refdata::readBodyPartList(folder.path()));
    ASSERT_TRUE(audit.ok());
    const std::string written = test::readBytes(csv);
    EXPECT_EQ(written, records::doseAuditCsv(*audit));
    EXPECT_EQ(written.rfind("\xEF\xBB\xBF期間,全期間\r\n記録ファイル ", 0), 0u);
    EXPECT_NE(written.find("\r\n\r\n撮影部位,撮影数,"), std::string::npos);
    // No period: the undated chest dose 0.9 and the 2025 dose 5 count (six doses).
    EXPECT_NE(written.find("\r\n胸部正面,6,3,0.350,0.775,0.100,5.000,0.200,1.75,超過,\r\n"), std::string::npos)
        << written;
}

TEST_F(AuditCommand, MissingLevelFileShowsNoLevels) {
    std::filesystem::remove(folder.file("参考線量.dat"));
    const CalcRun run = calc({"--audit", "--workdir", dir()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_NE(run.out.find("参考レベル: 参考線量.dat がないため比較しません\n"), std::string::npos)
        << run.out;
    EXPECT_EQ(run.out.find("超過"), std::string::npos);
}

TEST_F(AuditCommand, MalformedLevelFileIsWarnedAboutAndTheAuditGoesOn) {
    test::writeSjis(folder.file("参考線量.dat"), "\"胸部正面\",0.2mGy,JP\r\n");
    const CalcRun run = calc({"--audit", "--workdir", dir()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err.rfind("tamso-calc: warning: ファイル「参考線量.dat」の読み込みに失敗しました: 1 "
                            "行目の参考レベル「0.2mGy」が数値ではありません。",
                            0),
              0u)
        << run.err;
    EXPECT_NE(run.out.find("\n胸部正面 "), std::string::npos);
    EXPECT_EQ(run.out.find("超過"), std::string::npos);
}

TEST_F(AuditCommand, RefusesBadDatesAndOptionsWithTwo) {
    const std::vector<std::vector<std::string>> cases = {
        {"--audit", "--workdir", dir(), "--from", "2026/02/30"},
        {"--audit", "--workdir", dir(), "--to", "令和8年"},
        {"--audit", "--workdir", dir(), "--from", "2026/03/01", "--to", "2026/02/01"},
        {"--audit", "--workdir", dir(), "--kv", "60"},
        {"--audit", "--workdir", dir(), "--from"},
        {"--audit", "--workdir", dir(), "stray"},
        {"--audit", "--workdir", (folder.path() / "nowhere").u8string()},
        {"--audit", "--workdir", dir(), "--csv-out", (folder.path() / "nowhere" / "a.csv").u8string()},
    };
    for (const auto& args : cases) {
        const CalcRun run = calc(args);
        EXPECT_EQ(run.status, 2) << args.back();
        EXPECT_EQ(run.err.rfind("tamso-calc: ", 0), 0u) << run.err;
    }
    const CalcRun help = calc({"--audit", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--csv-out FILE"), std::string::npos);
    EXPECT_NE(calc({"--help"}).out.find("tamso-calc --audit"), std::string::npos);
}

} // namespace
