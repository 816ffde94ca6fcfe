// tamso-calc in working folders with every kind of name a user's PC has: Japanese, blanks and
// brackets, characters that code page 932 cannot hold. On Windows the program takes its arguments
// and names every file in UTF-16, so the results, the spectrum listing, the record files and the
// CSV are the same as in a plain folder; an infant's ID that Shift-JIS cannot hold is refused with
// the reason, as it could not name a record file.

#include "records/dosehistory.h"
#include "records_testsupport.h"
#include "testsupport.h"
#include "textio/fileio.h"

#include <gtest/gtest.h>

#include <string>

using namespace tamso;

namespace {

namespace fs = std::filesystem;

const fs::path kDefaultCase = fs::path(TAMSO_SOURCE_DIR) / "tests" / "data" / "default_50kv";

struct FolderName {
    std::string label; // for the test's name
    std::string name;  // UTF-8
};

void PrintTo(const FolderName& f, std::ostream* out) {
    *out << f.label;
}

class CalcInFolder : public ::testing::TestWithParam<FolderName> {
protected:
    void SetUp() override {
        if (!fs::exists(test::calculatorProgram()))
            GTEST_SKIP() << "tamso-calc is not built";
    }
};

} // namespace

TEST_P(CalcInFolder, ComputesTheDefaultCaseAndKeepsRecordsThere) {
    test::TempFolder root;
    const fs::path folder = root.file(GetParam().name);
    fs::create_directory(folder);
    fs::copy(kDefaultCase / "workdir", folder, fs::copy_options::recursive);
    const std::string workdir = " --workdir " + test::quotedArgument(folder);

    const test::ProgramRun run = test::runCalculator(root, workdir);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, test::readBytes(kDefaultCase / "expected.txt"));
    EXPECT_TRUE(test::readBytes(textio::fileInFolder(folder, "Beam_data.dat")) ==
                test::readBytes(kDefaultCase / "Beam_data.dat"));

    // A record saved there reads back through the program, and its history goes to a CSV file
    // named like the folder.
    const std::string id = "山田-001";
    test::RecordingPrompts prompts;
    records::PatientRecordState state;
    ASSERT_TRUE(records::savePatientRecord(folder, id, "山田 花子", test::sampleRecord(), prompts, state));
    const fs::path csv = textio::fileInFolder(folder, GetParam().name + ".csv");
    const test::ProgramRun history =
        test::runCalculator(root, "--history " + id + workdir + " --csv-out " + test::quotedArgument(csv));
    ASSERT_EQ(history.status, 0) << history.err;
    EXPECT_EQ(history.out.rfind("患者ID: " + id + "\n", 0), 0u) << history.out;
    const auto loaded = records::loadDoseHistory(folder, id);
    ASSERT_TRUE(loaded.ok()) << loaded.error().message();
    EXPECT_EQ(test::readBytes(csv), records::doseHistoryCsv(*loaded));

    const test::ProgramRun refused = test::runCalculator(root, "--history \"ID😀\"" + workdir);
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err, "tamso-calc: 患者ID「ID😀」はファイル名に使えません（Shift-JIS で表せない文字が"
                           "含まれています）。別のIDを入力して下さい。\n");
    EXPECT_TRUE(refused.out.empty());
}

INSTANTIATE_TEST_SUITE_P(Names, CalcInFolder,
                         ::testing::Values(FolderName{"Japanese", "作業フォルダ"},
                                           FolderName{"BlanksAndBrackets", "撮影 データ (NICU) ①"},
                                           FolderName{"OutsideCodePage932", "données 😀 한글"}),
                         [](const ::testing::TestParamInfo<FolderName>& info) { return info.param.label; });
