// The organ doses by every way an exposure enters: the weight of a DICOM image (Patient's Weight)
// and its resolution with the site's default, tamso-calc --dicom and --history; and how the table
// is interpolated (field, weight, distance, spectrum).

#include "dicom/imageexposure.h"
#include "dicomtestfiles.h"
#include "engine/calculation.h"
#include "engine/organdose.h"
#include "node/imageconditions.h"
#include "refdata/organdosefile.h"
#include "refdata/referenceloader.h"
#include "testsupport.h"
#include "textio/fileio.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

using namespace tamso;
using test::DicomImage;

namespace {

namespace fs = std::filesystem;
const fs::path kData = fs::path(TAMSO_SOURCE_DIR) / "data";

void copyShippedFolder(const fs::path& into) {
    for (const auto& entry : fs::directory_iterator(kData))
        if (entry.path().extension() != ".md")
            fs::copy_file(entry.path(), into / entry.path().filename());
}

const engine::OrganDoseTable& table() {
    static const engine::OrganDoseTable t = [] {
        auto read = refdata::readOrganDoseFile(kData);
        EXPECT_TRUE(read.ok());
        return read.ok() ? *read : engine::OrganDoseTable{};
    }();
    return t;
}

// A 60 kV spectrum's air kerma per table energy, from a run on the shipped data.
std::vector<double> kerma60() {
    auto state = std::make_unique<engine::CalculationState>();
    EXPECT_TRUE(refdata::loadReferenceData(*state, kData).ok());
    state->exposureSource = 2;
    engine::ConditionTexts c = engine::defaultConditions(*state);
    c.tubeVoltageKv = "60";
    engine::ResultTexts texts;
    EXPECT_TRUE(engine::runCalculation(*state, c, texts).ok());
    return engine::kermaWeightsOfRun(table(), *state);
}

const engine::BodyPartGeometry kChest{engine::BodyRegion::Chest, engine::Projection::Frontal};

} // namespace

TEST(OrganDoseWays, ImageWeightIsReadWithItsSourceAndRefusedOutsideTheRange) {
    test::TempFolder folder;
    const auto read = [&](const DicomImage& image) {
        image.save(folder.file("w.dcm"));
        return dicom::readHeader(folder.file("w.dcm")).exposure.patientWeightKg;
    };
    const auto given = read(DicomImage().set(DCM_PatientWeight, "2.35"));
    ASSERT_TRUE(given.has());
    EXPECT_DOUBLE_EQ(*given.value, 2.35);
    EXPECT_EQ(given.source, "PatientWeight (0010,1030)");
    const auto grams = read(DicomImage().set(DCM_PatientWeight, "2350")); // grams typed as kg
    EXPECT_FALSE(grams.has());
    EXPECT_NE(grams.problem.find("PatientWeight (0010,1030)"), std::string::npos) << grams.problem;
    EXPECT_FALSE(read(DicomImage()).has());
}

TEST(OrganDoseWays, TheImageWeightGoesBeforeTheSiteDefaultWhichIsMarkedAssumed) {
    dicom::ImageExposure image;
    node::ConditionSources sources;
    sources.defaultWeightKg = 3.0;
    auto c = node::resolveImageConditions(image, sources);
    EXPECT_EQ(c.weightKg.text, "3");
    EXPECT_TRUE(c.weightAssumed);
    EXPECT_NE(c.weightKg.source.find("体重既定値.txt"), std::string::npos);
    image.patientWeightKg.value = 1.2;
    image.patientWeightKg.source = "PatientWeight (0010,1030)";
    c = node::resolveImageConditions(image, sources);
    EXPECT_EQ(c.weightKg.text, "1.2");
    EXPECT_FALSE(c.weightAssumed);
    image.patientWeightKg = {};
    sources.defaultWeightKg.reset();
    sources.defaultWeightProblem = "体重既定値.txt がありません";
    c = node::resolveImageConditions(image, sources);
    EXPECT_FALSE(c.weightKg.has());
    EXPECT_NE(c.weightKg.problem.find("体重既定値.txt"), std::string::npos);
}

TEST(OrganDoseWays, TheDicomBatchCarriesWeightAndEffectiveDose) {
    if (!fs::exists(test::calculatorProgram()))
        GTEST_SKIP() << "tamso-calc is not built";
    test::TempFolder folder;
    copyShippedFolder(folder.path());
    test::writeSjis(folder.file("DICOM撮影部位.txt"), "CHEST,胸部正面\r\n");
    DicomImage().set(DCM_PatientWeight, "1.5").save(folder.file("a.dcm"));
    DicomImage().save(folder.file("b.dcm"));
    const auto run = test::runCalculator(folder, "--workdir " + test::quotedArgument(folder.path()) +
                                                     " --thickness 6 --dicom " + test::quotedArgument(folder.file("a.dcm")));
    ASSERT_EQ(run.status, 0) << run.err << run.out;
    EXPECT_NE(run.out.find("\t1.5\tPatientWeight (0010,1030)\t"), std::string::npos) << run.out;
    const auto other = test::runCalculator(folder, "--workdir " + test::quotedArgument(folder.path()) +
                                                       " --thickness 6 --dicom " + test::quotedArgument(folder.file("b.dcm")));
    ASSERT_EQ(other.status, 0) << other.err;
    EXPECT_NE(other.out.find("\t3\t体重既定値.txt の既定値\t"), std::string::npos) << other.out;
}

TEST(OrganDoseWays, TheHistoryAddsTheEffectiveDoseOfEveryRecord) {
    if (!fs::exists(test::calculatorProgram()))
        GTEST_SKIP() << "tamso-calc is not built";
    test::TempFolder folder;
    copyShippedFolder(folder.path());
    test::writeSjis(folder.file("H2.pat"),
                    "新生 二郎\r\n 2 \r\n2024/05/01\r\n技師\r\n胸部正面\r\n 8 \r\n装置\r\n 60 \r\n 2 \r\n 100 \r\n"
                    "六切サイズ\r\n .1 \r\n 1.5 \r\n .05 \r\n\r\n2024/05/02\r\n技師\r\n骨盤\r\n 8 \r\n装置\r\n 60 \r\n 2 \r\n"
                    " 100 \r\n六切サイズ\r\n .1 \r\n 1.5 \r\n .05 \r\n\r\n");
    const auto run = test::runCalculator(folder, "--history H2 --workdir " + test::quotedArgument(folder.path()));
    ASSERT_EQ(run.status, 0) << run.err;
    const auto lines = textio::splitLines(run.out);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_NE(lines[lines.size() - 4].find("体重 3 kg は 体重既定値.txt の既定値"), std::string::npos) << run.out;
    EXPECT_NE(lines[lines.size() - 3].find("No. 1  2024/05/01  胸部正面  "), std::string::npos);
    EXPECT_NE(lines[lines.size() - 3].find(" ± "), std::string::npos);
    EXPECT_NE(lines[lines.size() - 2].find("計算できません"), std::string::npos); // 骨盤: no region
    EXPECT_EQ(lines.back().rfind("累積実効線量(μSv): ", 0), 0u);
}

TEST(OrganDoseInterpolation, TheSpectrumIsSharedOutAsAirKermaPerTableEnergy) {
    const auto k = kerma60();
    double sum = 0;
    for (double v : k)
        sum += v;
    EXPECT_NEAR(sum, 1.0, 1e-12);
    EXPECT_EQ(k.back(), 0.0); // nothing at 150 keV from a 60 kV tube
}

TEST(OrganDoseInterpolation, FieldWeightAndDistanceActAsPhysicsSays) {
    const auto k = kerma60();
    const auto at = [&](double longCm, double shortCm, double weight, double fsd, double shift = 0) {
        return engine::organDosesPerKerma(table(), k, kChest, weight, longCm, shortCm, fsd, shift);
    };
    // No field, no dose; a larger field never less.
    EXPECT_EQ(at(0, 0, 3.5, 90)[engine::Lungs], 0.0);
    const auto small = at(8, 8, 3.5, 90), large = at(16, 16, 3.5, 90);
    for (int o = 0; o < engine::kOrganCount; ++o)
        EXPECT_GE(large[o], small[o]) << engine::organInfo(o).key;
    // Continuous across a phantom weight of the table, clamped beyond the largest.
    const double e2minus = engine::effectiveDoseIcrp103(at(10, 12, 1.999, 90));
    const double e2plus = engine::effectiveDoseIcrp103(at(10, 12, 2.001, 90));
    EXPECT_NEAR(e2minus, e2plus, 0.002 * e2plus);
    EXPECT_EQ(engine::effectiveDoseIcrp103(at(10, 12, 5, 90)), engine::effectiveDoseIcrp103(at(10, 12, 4, 90)));
    // Nearer focus: the deep organs lose more to the inverse square than the shallow ones.
    const auto near = at(10, 12, 3.5, 40), far = at(10, 12, 3.5, 200);
    EXPECT_LT(near[engine::Lungs] / far[engine::Lungs], near[engine::Thymus] / far[engine::Thymus]);
    EXPECT_EQ(near[engine::Skin], far[engine::Skin]);
    // The field moved towards the head takes in the thyroid and leaves the stomach.
    const auto up = at(10, 12, 3.5, 90, 4);
    const auto centre = at(10, 12, 3.5, 90);
    EXPECT_GT(up[engine::Thyroid], centre[engine::Thyroid]);
    EXPECT_LT(up[engine::Stomach], centre[engine::Stomach]);
}

TEST(OrganDoseInterpolation, TheTableReadsBackAsWritten) {
    engine::OrganDoseTable t;
    t.weightsKg = {1, 2};
    t.energiesKeV = {20, 40};
    t.planes[0] = {2, 1, -2, 0, 2};
    t.planes[1] = {1, 1, -1, 0, 2};
    for (int k = 0; k < 4; ++k)
        t.parts[k] = {1.0 + k, {0, 0.5}, {4.5, -5.5}};
    t.depthCoordinate[0].fill(1.5);
    t.depthCoordinate[1].fill(-2.5);
    t.values.resize(t.offset(1, 1, 1, 0) + engine::kOrganCount);
    for (size_t i = 0; i < t.values.size(); ++i)
        t.values[i] = 0.001 * double(i % 977);
    test::TempFolder folder;
    ASSERT_TRUE(refdata::writeOrganDoseFile(folder.path(), t).ok());
    const auto back = refdata::readOrganDoseFile(folder.path());
    ASSERT_TRUE(back.ok()) << back.error().message();
    ASSERT_EQ(back->values.size(), t.values.size());
    for (size_t i = 0; i < t.values.size(); ++i) // four significant digits, as written
        ASSERT_NEAR(back->values[i], t.values[i], 1e-12) << i;
    EXPECT_EQ(back->energiesKeV, t.energiesKeV);
    EXPECT_EQ(back->parts[3].zCentre, 4.0);
    EXPECT_EQ(back->depthCoordinate[1][5], -2.5);
    const std::string bytes = test::readBytes(folder.file(refdata::kOrganDoseFileName));
    EXPECT_NE(bytes.find("\r\n"), std::string::npos);
}
