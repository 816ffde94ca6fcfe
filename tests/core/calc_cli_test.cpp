// The command-line calculator, run as the real program on working folders made by the tests.

#include "engine/calculation.h"
#include "refdata/referenceloader.h"
#include "testsupport.h"
#include "textio/fileio.h"
#include "textio/numberformat.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using namespace tamso;

namespace {

const std::vector<std::string> kKeys = {
    "hvl1_mm_al",         "quarter_value_mm_al",       "effective_energy_kev", "quality_index",
    "exposure_at_1m_ckg", "exposure_with_scatter_ckg", "dose_conversion_factor", "backscatter_factor",
    "entrance_surface_dose_mgy", "entrance_surface_dose_u_mgy", "caregiver_usv_1", "caregiver_usv_2",
    "caregiver_usv_3"};
const engine::ResultField kFields[] = {engine::ResultField::Hvl1MmAl, engine::ResultField::QuarterValueLayerMmAl, engine::ResultField::EffectiveEnergyKev, engine::ResultField::QualityIndex,
                               engine::ResultField::ExposureAt1mCkg, engine::ResultField::ExposureWithScatterCkg,  engine::ResultField::DoseConversionFactor, engine::ResultField::BackscatterFactor,
                               engine::ResultField::EntranceSurfaceDoseMGy, engine::ResultField::EntranceSurfaceDoseUncertaintyMGy, engine::ResultField::CaregiverDose1USv, engine::ResultField::CaregiverDose2USv, engine::ResultField::CaregiverDose3USv};

using Outcome = test::ProgramRun;

Outcome runProgram(const test::TempFolder& folder, const std::string& arguments) {
    return test::runCalculator(folder, arguments);
}

std::string workdir(const test::TempFolder& folder) { return "--workdir \"" + folder.path().string() + "\""; }

// The texts the engine gives for the same conditions, in the order of the keys.
std::vector<std::string> engineTexts(const test::TempFolder& folder, const engine::ConditionTexts& conditions) {
    engine::CalculationState state;
    EXPECT_TRUE(refdata::loadReferenceData(state, folder.path()).ok());
    state.exposureSource = 2;
    engine::ResultTexts results;
    // No listing here: the program's own is what the tests look for.
    EXPECT_TRUE(engine::runCalculation(state, conditions, results).ok());
    EXPECT_TRUE(engine::computeCaregiverDose(state, results).ok());
    std::vector<std::string> texts;
    for (engine::ResultField f : kFields)
        texts.push_back(results.resultText(f));
    return texts;
}

class CalcProgram : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(test::calculatorProgram()))
            GTEST_SKIP() << "tamso-calc is not built";
        test::writeMinimalReferenceFiles(folder.path());
    }
    test::TempFolder folder;
};

} // namespace

TEST_F(CalcProgram, PrintsEveryResultAsTheScreenShowsIt) {
    const Outcome o = runProgram(folder, workdir(folder) + " --kv 60 --mas 4 --field 30x24 --added-al 1");
    ASSERT_EQ(o.status, 0) << o.err;
    engine::ConditionTexts conditions;
    conditions.tubeVoltageKv = "60";
    conditions.mAs = "4";
    conditions.fieldLongCm = "30";
    conditions.fieldShortCm = "24";
    conditions.addedFilterAlMm = "1";
    const auto expected = engineTexts(folder, conditions);
    const auto lines = textio::splitLines(o.out);
    ASSERT_EQ(lines.size(), kKeys.size());
    for (size_t k = 0; k < kKeys.size(); ++k)
        EXPECT_EQ(lines[k], kKeys[k] + " " + expected[k]);
    EXPECT_TRUE(std::filesystem::exists(folder.file("Beam_data.dat")));
}

TEST_F(CalcProgram, DefaultsAreTheScreensAndTheBasicData) {
    const Outcome o = runProgram(folder, workdir(folder));
    ASSERT_EQ(o.status, 0) << o.err;
    const auto expected = engineTexts(folder, engine::ConditionTexts{}); // angle 12, inherent 2.5 mm as in the basic data
    const auto lines = textio::splitLines(o.out);
    ASSERT_EQ(lines.size(), kKeys.size());
    for (size_t k = 0; k < kKeys.size(); ++k)
        EXPECT_EQ(lines[k], kKeys[k] + " " + expected[k]);
}

TEST_F(CalcProgram, MeasuredExposureIsUsedAsShown) {
    const Outcome o = runProgram(folder, workdir(folder) + " --measured-ckg 2.5861e-4 --mas 9");
    ASSERT_EQ(o.status, 0) << o.err;
    engine::CalculationState state;
    ASSERT_TRUE(refdata::loadReferenceData(state, folder.path()).ok());
    state.exposureSource = 2;
    engine::ResultTexts results;
    ASSERT_TRUE(
        engine::runCalculation(state, engine::ConditionTexts{}, results, engine::listingInto(folder.path()))
            .ok());
    const std::string shown = textio::formatNumber(state.filterExposureRatio * 2.59e-4, "0.00E+00");
    EXPECT_NE(o.out.find("exposure_at_1m_ckg " + shown + "\n"), std::string::npos) << o.out;
}

TEST_F(CalcProgram, RefusalsAndBadOptionsExitWithTwo) {
    for (const std::string args : {" --kv 85", " --kv abc", " --field 25", " --measured-ckg 0", " --bogus 1",
                                   " --kv", " --angle 0"}) {
        const Outcome o = runProgram(folder, workdir(folder) + args);
        EXPECT_EQ(o.status, 2) << args;
        EXPECT_FALSE(o.err.empty()) << args;
        EXPECT_TRUE(o.out.empty()) << args;
    }
    test::TempFolder empty;
    const Outcome missing = runProgram(empty, workdir(empty));
    EXPECT_EQ(missing.status, 2);
    EXPECT_FALSE(missing.err.empty());
}

TEST_F(CalcProgram, HelpNamesEveryOptionAndResult) {
    const Outcome o = runProgram(folder, "--help");
    ASSERT_EQ(o.status, 0);
    for (const char* option : {"--workdir", "--csv", "--kv", "--mas", "--ffd", "--thickness", "--focus-hood", "--field",
                               "--angle", "--inherent-al", "--added-al", "--added-cu", "--measured-ckg"})
        EXPECT_NE(o.out.find(option), std::string::npos) << option;
    for (const auto& key : kKeys)
        EXPECT_NE(o.out.find(key), std::string::npos) << key;
}

TEST_F(CalcProgram, CsvBatchGivesOneRowPerExposureAndKeepsGoingAfterAFailure) {
    test::writeBytes(folder.file("in.csv"), "kv,mas,field\r\n50,5,25.4x20.3\r\n85,5,\r\n\r\n60,,20x20\r\n");
    const Outcome o = runProgram(folder, workdir(folder) + " --csv \"" + folder.file("in.csv").string() + "\"");
    EXPECT_EQ(o.status, 2); // one row failed
    const auto lines = textio::splitLines(o.out);
    ASSERT_EQ(lines.size(), 4u) << o.out;
    std::string header = "row";
    for (const auto& key : kKeys)
        header += "," + key;
    EXPECT_EQ(lines[0], header + ",error");

    std::string first = "1";
    for (const auto& text : engineTexts(folder, engine::ConditionTexts{}))
        first += "," + text;
    EXPECT_EQ(lines[1], first + ",");

    EXPECT_EQ(lines[2].substr(0, 2 + kKeys.size()), "2" + std::string(kKeys.size(), ',') + ",")
        << "a failed row has empty results";
    EXPECT_NE(lines[2].find("80 kV"), std::string::npos) << lines[2];

    engine::ConditionTexts third;
    third.tubeVoltageKv = "60";
    third.fieldLongCm = "20";
    third.fieldShortCm = "20";
    std::string expectedThird = "3";
    for (const auto& text : engineTexts(folder, third))
        expectedThird += "," + text;
    EXPECT_EQ(lines[3], expectedThird + ",");
}

TEST_F(CalcProgram, CsvWithAnUnknownColumnIsRefused) {
    test::writeBytes(folder.file("bad.csv"), "kv,voltage\n50,50\n");
    const Outcome o = runProgram(folder, workdir(folder) + " --csv \"" + folder.file("bad.csv").string() + "\"");
    EXPECT_EQ(o.status, 2);
    EXPECT_NE(o.err.find("voltage"), std::string::npos);
}

TEST_F(CalcProgram, NumbersOutOfRangeAndRunsWithoutAnExposureExitWithTwo) {
    const std::string huge = std::string(400, '1') + "E-07";
    const struct {
        std::string args;
        const char* inMessage;
    } cases[] = {{" --thickness " + huge, "--thickness: number out of range: 1111"},
                 {" --field 25.4x1e999", "--field: number out of range: 1e999"},
                 {" --measured-ckg 1e400", "--measured-ckg: number out of range"},
                 {" --mas 0", "Ｘ線管電流×照射時間 0 mAs は範囲外です。0.01 mAs 以上 1000 mAs 以下"},
                 {" --mas -2", "-2 mAs は範囲外です"},
                 {" --kv 30", "最小管電圧（40 kV）を下回っている"},
                 {" --ffd 35 --thickness 10", "焦点－皮膚間距離 25 cm"},
                 {" --focus-hood 95", "フード・カバーは焦点と皮膚の間にあります"},
                 // Implausible values that computed doses up to 3.8E+85 mGy with exit status 0.
                 {" --inherent-al -1", "固有フィルタ（アルミ当量） -1 mm は範囲外です"},
                 {" --angle 120", "Ｘ線管ターゲット角度 120 度 は範囲外です"},
                 {" --thickness -5", "被写体厚 -5 cm は範囲外です"},
                 {" --field 0x0", "照射野サイズ（長軸方向） 0 cm は範囲外です"},
                 {" --ffd 1e6", "1000000 cm は範囲外です"},
                 {" --mas 1e300", "mAs は範囲外です"},
                 {" --added-cu 1.5", "付加フィルタ（銅） 1.5 mm は範囲外です"}};
    for (const auto& c : cases) {
        const Outcome o = runProgram(folder, workdir(folder) + c.args);
        EXPECT_EQ(o.status, 2) << c.args;
        EXPECT_NE(o.err.find(c.inMessage), std::string::npos) << c.args << ": " << o.err;
        EXPECT_TRUE(o.out.empty()) << c.args;
    }
    // A tiny value written out in full is a value.
    const Outcome tiny = runProgram(folder, workdir(folder) + " --added-cu 0." + std::string(400, '0') + "1");
    EXPECT_EQ(tiny.status, 0) << tiny.err;
}

// One field too many in the tube output file shifts every later value; the program stops at start-up
// instead of printing a dose a thousand times too high.
TEST_F(CalcProgram, ShiftedTubeOutputFileStopsWithTheFileNamed) {
    test::writeSjis(folder.file("tamso_output.op"),
                    "出力\r\n40. 50. 60. 70. 80. 90. \r\n"
                    "5.89E-07 9.13E-07 1.18E-06 1.41E-06 1.71E-06 2.50 0.00\r\n");
    const Outcome o = runProgram(folder, workdir(folder));
    EXPECT_EQ(o.status, 2);
    EXPECT_TRUE(o.out.empty()) << o.out;
    EXPECT_NE(o.err.find("tamso_output.op"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("「90.」"), std::string::npos) << o.err;
}
