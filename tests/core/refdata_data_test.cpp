// The shipped working folder data/: it loads with the program's own loader, its physics tables
// hold the NIST values and the expected physical trends, and the default exposure gives a
// plausible beam quality and dose.

#include "engine/calculation.h"
#include "refdata/referencefiles.h"
#include "refdata/referenceloader.h"
#include "testsupport.h"
#include "textio/fileio.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

using namespace tamso;

namespace {

const std::filesystem::path kData = std::filesystem::path(TAMSO_SOURCE_DIR) / "data";

std::unique_ptr<engine::CalculationState> loadShippedData() {
    auto state = std::make_unique<engine::CalculationState>();
    const Status status = refdata::loadReferenceData(*state, kData);
    EXPECT_TRUE(status.ok()) << status.message();
    return state;
}

double columnTotal(const engine::CalculationState& s, int column) {
    double sum = 0;
    for (int j = 1; j <= engine::kBsfRingCount; ++j)
        sum += s.MonoBsfTable[column][j];
    return sum;
}

} // namespace

TEST(ShippedData, LoadsWithTheStartUpLoader) {
    auto s = loadShippedData();
    EXPECT_DOUBLE_EQ(s->wAirEv, 33.97);
    EXPECT_DOUBLE_EQ(s->targetAngleDeg, 12);
    EXPECT_DOUBLE_EQ(s->defaultInherentFilterAlMm, 2.5);
    EXPECT_DOUBLE_EQ(s->refFilterAlCm, 0.25);
    EXPECT_DOUBLE_EQ(s->refFilterCuCm, 0);
    EXPECT_EQ(s->TubeOutputTable[1][2], 50);
    // 31 uGy/mAs at 1 m, 50 kV, as exposure (C/kg per mAs) with W = 33.97 eV, two digits kept.
    EXPECT_NEAR(s->TubeOutputTable[2][2], 31e-6 / 33.97, 0.01 * 31e-6 / 33.97);
    EXPECT_NEAR(s->AmbientDoseTable[1][1][4], 0.12, 1e-9);
    EXPECT_EQ(s->AmbientDoseTable[0][0][6], 120);
    const auto parts = textio::readTextFile(textio::fileInFolder(kData, "撮影部位.txt"));
    ASSERT_TRUE(parts.ok());
    EXPECT_EQ(textio::splitLines(*parts).front(), "腹部正面");
}

TEST(ShippedData, AttenuationTableHoldsNistValues) {
    auto s = loadShippedData();
    EXPECT_NEAR(s->AluminiumMuTable[60] / 2.699, 1.128, 0.01 * 1.128); // 30 keV
    EXPECT_NEAR(s->AirMuEnTable[60], 0.1537, 0.01 * 0.1537);
    EXPECT_NEAR(s->AirMuEnTable[120], 0.03041, 0.01 * 0.03041);
    EXPECT_NEAR(s->TissueMuEnTable[60], 0.1616, 0.01 * 0.1616);
    // The tungsten K edge (69.53 keV) lies between bins 139 and 140.
    EXPECT_GT(s->TungstenMuTable[140], 4 * s->TungstenMuTable[139]);
    for (int i = 1; i <= engine::kTopBin; ++i) {
        ASSERT_GT(s->AirMuEnTable[i], 0) << i;
        ASSERT_GT(s->PmmaMuTable[i], 0) << i;
    }
}

TEST(ShippedData, BackscatterAndScatterTablesFollowThePhysics) {
    auto s = loadShippedData();
    // Backscatter rises from almost nothing at 5 keV to its maximum around 50-70 keV.
    EXPECT_LT(columnTotal(*s, 2), 0.01);                 // 5 keV
    EXPECT_GT(columnTotal(*s, 7), 0.25);                 // 30 keV
    EXPECT_GT(columnTotal(*s, 13), columnTotal(*s, 7));  // 60 keV
    EXPECT_GT(columnTotal(*s, 13), columnTotal(*s, 31)); // 150 keV
    for (int k = 1; k <= 31; ++k)
        for (int j = 1; j <= 300; ++j)
            ASSERT_GE(s->MonoBsfTable[k][j], 0) << k << "," << j;
    // Scatter ratio: keys ascending, more scatter for larger fields and nearer hoods.
    for (int r = 2; r <= 4; ++r)
        EXPECT_GT(s->SprDistanceTable[r], s->SprDistanceTable[r - 1]);
    for (int c = 2; c <= 3; ++c)
        EXPECT_GT(s->SprFieldAreaTable[c], s->SprFieldAreaTable[c - 1]);
    for (int r = 1; r <= 4; ++r)
        for (int c = 1; c <= 3; ++c) {
            EXPECT_GT(s->ScatterPrimaryRatioTable[c][r], 0);
            EXPECT_LT(s->ScatterPrimaryRatioTable[c][r], 0.2);
            if (c > 1) {
                EXPECT_GT(s->ScatterPrimaryRatioTable[c][r], s->ScatterPrimaryRatioTable[c - 1][r]);
            }
            if (r > 1) {
                EXPECT_LT(s->ScatterPrimaryRatioTable[c][r], s->ScatterPrimaryRatioTable[c][r - 1]);
            }
        }
}

// The screen's default exposure on the shipped data: 50 kV, 5 mAs, FFD 100 cm, 10 cm thick,
// focus-hood 60 cm, 25.4 x 20.3 cm, angle and inherent filtration from the basic data.
TEST(ShippedData, DefaultExposureGivesPlausibleBeamQualityAndDose) {
    auto s = loadShippedData();
    test::TempFolder work;
    engine::ConditionTexts fields; // the screen's defaults
    s->exposureSource = 2; // exposure from the tube output data, as the screen starts
    engine::ResultTexts results;
    const Status status = engine::runCalculation(*s, fields, results, engine::listingInto(work.path()));
    ASSERT_TRUE(status.ok()) << status.message();
    const double hvlMm = 10 * s->hvl1Cm;
    EXPECT_GT(hvlMm, 1.5);
    EXPECT_LT(hvlMm, 2.2);
    EXPECT_GT(s->doseConversionFactor, 33);
    EXPECT_LT(s->doseConversionFactor, 38);
    EXPECT_GT(s->backscatterFactor, 1.2);
    EXPECT_LT(s->backscatterFactor, 1.45);
    // About 31 uGy/mAs x 5 mAs at 1 m, inverse square to 90 cm, tissue and backscatter:
    // a few tenths of a mGy.
    EXPECT_GT(s->entranceSurfaceDoseMGy, 0.15);
    EXPECT_LT(s->entranceSurfaceDoseMGy, 0.4);
}
