// Tube output scaling, the entrance surface dose and the caregiver estimate, on hand-made
// states whose results can be worked out by hand.

#include "engine/calculation.h"
#include "refdata/referenceloader.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

using namespace tamso;

namespace {

constexpr double kQuarterTurn = 1.570795;

// One photon bin at 50 keV (bin 100) carries the whole spectrum; the air and tissue
// coefficients are flat, the ring table empty, the scatter ratio 0.01 * (row + column - 1).
std::unique_ptr<engine::CalculationState> doseState() {
    auto s = std::make_unique<engine::CalculationState>();
    s->tubeVoltageKv = 60;
    s->wAirEv = 33.97;
    s->ffdCm = 100;
    s->focusSkinDistanceCm = 90;
    s->hoodSkinDistanceCm = 30;
    s->fieldLongCm = 25.4;
    s->fieldShortCm = 20.3;
    s->exposureAt1mCkg = 1e-5;
    for (int i = 1; i <= 300; ++i) {
        s->AirMuEnTable[i] = 0.1;
        s->TissueMuEnTable[i] = 0.2;
    }
    s->PhotonSpectrumTable[100] = 1;
    s->SkinExposureSpectrumTable[100] = 1;
    s->BsfEnergyTable[1] = 1;
    for (int k = 2; k <= 31; ++k)
        s->BsfEnergyTable[k] = 5 * (k - 1);
    for (int r = 1; r <= 4; ++r) {
        s->SprDistanceTable[r] = 10 * r;
        for (int c = 1; c <= 3; ++c)
            s->ScatterPrimaryRatioTable[c][r] = 0.01 * (r + c - 1);
    }
    s->SprFieldAreaTable[1] = 100;
    s->SprFieldAreaTable[2] = 400;
    s->SprFieldAreaTable[3] = 900;
    return s;
}

void setRings(engine::CalculationState& s, int first, int last, double value) {
    for (int k = 1; k <= 31; ++k)
        for (int j = first; j <= last; ++j)
            s.MonoBsfTable[k][j] = value;
}

double runDose(engine::CalculationState& s, engine::ResultTexts& results) {
    Status e = engine::computeEntranceSurfaceDose(s, results);
    EXPECT_TRUE(e.ok()) << e.message();
    return s.entranceSurfaceDoseMGy;
}

} // namespace

TEST(EngineDose, ConversionFactorAndDoseOfASingleBin) {
    auto s = doseState();
    engine::ResultTexts results;
    const double dose = runDose(*s, results);
    EXPECT_NEAR(s->doseConversionFactor, 33.97 * 2, 1e-12);
    EXPECT_EQ(results.resultText(engine::ResultField::DoseConversionFactor), "67.94");
    EXPECT_EQ(s->backscatterFactor, 1); // empty ring table
    EXPECT_EQ(results.resultText(engine::ResultField::BackscatterFactor), "1.000");
    // Area 515.62 cm2 at the hood distance of row 3: 0.04 + 115.62 / 500 * 0.01.
    const double spr = 0.04 + 115.62 / 500 * 0.01;
    const double expected = 1000 * 67.94 * (10000.0 / (90 * 90)) * (1 + spr) * 1e-5;
    EXPECT_NEAR(dose, expected, 1e-12 * expected);
    EXPECT_EQ(results.resultText(engine::ResultField::ExposureWithScatterCkg), "1.04E-05");
    EXPECT_EQ(results.resultText(engine::ResultField::EntranceSurfaceDoseMGy), "0.874");
    // Bin 1 is never a tissue-dose weight; bins above n are not touched.
    EXPECT_EQ(s->TissueDoseSpectrumTable[1], 0);
    EXPECT_NEAR(s->TissueDoseSpectrumTable[100], 1, 1e-15);
}

struct ScatterCase {
    double hoodSkin, fieldLong, fieldShort, clampedHoodSkin, spr;
};
void PrintTo(const ScatterCase& c, std::ostream* os) {
    *os << "hood-skin " << c.hoodSkin << " field " << c.fieldLong << "x" << c.fieldShort;
}

class HoodScatter : public ::testing::TestWithParam<ScatterCase> {};

TEST_P(HoodScatter, ClampsAndInterpolates) {
    const ScatterCase c = GetParam();
    auto s = doseState();
    s->hoodSkinDistanceCm = c.hoodSkin;
    s->fieldLongCm = c.fieldLong;
    s->fieldShortCm = c.fieldShort;
    engine::ResultTexts results;
    const double dose = runDose(*s, results);
    EXPECT_EQ(s->hoodSkinDistanceCm, c.clampedHoodSkin);
    const double expected =
        1000 * s->backscatterFactor * s->doseConversionFactor * (10000.0 / (90 * 90)) * (1 + c.spr) * 1e-5;
    EXPECT_NEAR(dose, expected, 1e-12 * expected);
}

INSTANTIATE_TEST_SUITE_P(
    DistancesAndAreas, HoodScatter,
    ::testing::Values(ScatterCase{5, 10, 10, 10, 0.01},     // 5 cm counts as 10 cm
                      ScatterCase{55, 40, 30, 40, 0.06},    // 55 cm as 40 cm, 1200 cm2 as 900 cm2
                      ScatterCase{30, 10, 5, 30, 0.03},     // 50 cm2 as 100 cm2
                      ScatterCase{25, 20, 20, 25, 0.035},   // halfway between rows 2 and 3
                      ScatterCase{12.5, 30, 30, 12.5, 0.0325})); // a quarter above row 1, last column

TEST(EngineDose, SquareFieldCountsTheCornersOnly) {
    auto s = doseState();
    s->focusSkinDistanceCm = 100; // no projection
    s->fieldLongCm = 20;
    s->fieldShortCm = 20;
    setRings(*s, 1, 300, 0.001);
    engine::ResultTexts results;
    runDose(*s, results);
    // a = b = 10 cm: 100 whole rings, then rings cut by all four edges up to 10 * sqrt(200).
    double expected = 1 + 100 * 0.001;
    for (int j = 101; j <= 141; ++j) {
        const double r = 0.1 * j - 0.05;
        expected += (kQuarterTurn - 2 * std::acos(10 / r)) / kQuarterTurn * 0.001;
    }
    EXPECT_NEAR(s->backscatterFactor, expected, 1e-12);
}

TEST(EngineDose, RingJustBeyondTheShortSideWithItsMidRadiusInsideAddsNothing) {
    auto s = doseState();
    s->focusSkinDistanceCm = 100;
    s->fieldLongCm = 30;
    s->fieldShortCm = 20.14; // b = 10.07 cm: ring 101 has r = 10.05 cm < b
    setRings(*s, 101, 101, 1.0);
    engine::ResultTexts results;
    runDose(*s, results);
    EXPECT_EQ(s->backscatterFactor, 1);

    auto t = doseState();
    t->focusSkinDistanceCm = 100;
    t->fieldLongCm = 30;
    t->fieldShortCm = 20.14;
    setRings(*t, 102, 102, 1.0); // r = 10.15 cm, cut by the long edges only
    runDose(*t, results);
    const double fraction = (kQuarterTurn - std::acos(10.07 / 10.15)) / kQuarterTurn;
    EXPECT_NEAR(t->backscatterFactor, 1 + fraction, 1e-9);
}

TEST(EngineDose, FieldBeyondFortyCentimetresCountsAsForty) {
    auto bsfFor = [](double longSide, double shortSide) {
        auto s = doseState();
        s->focusSkinDistanceCm = 100;
        s->fieldLongCm = longSide;
        s->fieldShortCm = shortSide;
        setRings(*s, 1, 300, 0.001);
        engine::ResultTexts results;
        runDose(*s, results);
        return s->backscatterFactor;
    };
    EXPECT_EQ(bsfFor(60, 50), bsfFor(40, 40));
    EXPECT_EQ(bsfFor(45, 40), bsfFor(40, 40));
    EXPECT_LT(bsfFor(30, 30), bsfFor(40, 40));
    EXPECT_EQ(bsfFor(0.5, 0.2), bsfFor(1, 1)); // below 1 cm counts as 1 cm
    EXPECT_EQ(bsfFor(20.3, 25.4), bsfFor(25.4, 20.3));
}

TEST(EngineDose, SwappedFieldSidesGiveTheSameRun) {
    test::TempFolder folder;
    test::writeMinimalReferenceFiles(folder.path());
    engine::CalculationState a;
    ASSERT_TRUE(refdata::loadReferenceData(a, folder.path()).ok());
    a.exposureSource = 2;
    engine::CalculationState b = a;
    engine::ConditionTexts fa;
    engine::ConditionTexts fb;
    fb.fieldLongCm = "20.3";
    fb.fieldShortCm = "25.4";
    engine::ResultTexts ra;
    engine::ResultTexts rb;
    ASSERT_TRUE(engine::runCalculation(a, fa, ra, engine::listingInto(folder.path())).ok());
    ASSERT_TRUE(engine::runCalculation(b, fb, rb, engine::listingInto(folder.path())).ok());
    EXPECT_EQ(a.backscatterFactor, b.backscatterFactor);
    EXPECT_EQ(a.entranceSurfaceDoseMGy, b.entranceSurfaceDoseMGy);
    EXPECT_EQ(ra.resultText(engine::ResultField::ExposureWithScatterCkg), rb.resultText(engine::ResultField::ExposureWithScatterCkg));
    EXPECT_DOUBLE_EQ(a.focusSkinDistanceCm, 90);
    EXPECT_DOUBLE_EQ(a.hoodSkinDistanceCm, 30);
}

// --- Tube output ------------------------------------------------------------------------------

namespace {

std::unique_ptr<engine::CalculationState> outputState(double kv) {
    auto s = std::make_unique<engine::CalculationState>();
    const double volts[] = {40, 50, 60, 70, 80};
    const double perMas[] = {6e-6, 9e-6, 1.2e-5, 1.5e-5, 1.8e-5};
    for (int r = 1; r <= 5; ++r) {
        s->TubeOutputTable[1][r] = volts[r - 1];
        s->TubeOutputTable[2][r] = perMas[r - 1];
    }
    s->tubeVoltageKv = kv;
    s->mAs = 2;
    s->filterExposureRatio = 0.5;
    s->exposureSource = 2;
    return s;
}

} // namespace

class TubeOutput : public ::testing::TestWithParam<std::pair<double, double>> {};

TEST_P(TubeOutput, InterpolatesPerMasBetweenTheBracketingRows) {
    const auto [kv, perMas] = GetParam();
    auto s = outputState(kv);
    engine::ResultTexts results;
    results.setResultText(engine::ResultField::MeasuredExposureCkg, "2.58E-4");
    ASSERT_TRUE(engine::computeExposureAt1m(*s, results).ok());
    EXPECT_NEAR(s->exposureAt1mCkg, 2 * 0.5 * perMas, 1e-18);
    EXPECT_EQ(results.resultText(engine::ResultField::MeasuredExposureCkg), "");
}

INSTANTIATE_TEST_SUITE_P(Voltages, TubeOutput,
                         ::testing::Values(std::pair{50.0, 9e-6}, std::pair{40.0, 6e-6},
                                           std::pair{45.0, 7.5e-6}, std::pair{79.0, 1.77e-5},
                                           std::pair{70.0, 1.5e-5}));

TEST(TubeOutputEnd, LastTabulatedVoltageGivesTheLastRowExactly) {
    auto s = outputState(80);
    engine::ResultTexts results;
    ASSERT_TRUE(engine::computeExposureAt1m(*s, results).ok());
    EXPECT_EQ(s->exposureAt1mCkg, 2 * (0.5 * 1.8e-5));
    EXPECT_EQ(results.resultText(engine::ResultField::ExposureAt1mCkg), "1.80E-05");

    auto above = outputState(80.01);
    results.setResultText(engine::ResultField::ExposureAt1mCkg, "old");
    Status e = engine::computeExposureAt1m(*above, results);
    ASSERT_FALSE(e.ok());
    EXPECT_NE(e.message().find("80 kV"), std::string::npos) << e.message();
    EXPECT_EQ(results.resultText(engine::ResultField::ExposureAt1mCkg), "old");
}

TEST(TubeOutputEnd, BelowTheFirstTabulatedVoltageIsRefused) {
    // Extrapolated below row 1 the exposure would fall to nothing and below.
    for (double kv : {39.99, 30.0, 5.0}) {
        auto s = outputState(kv);
        engine::ResultTexts results;
        results.setResultText(engine::ResultField::ExposureAt1mCkg, "old");
        Status e = engine::computeExposureAt1m(*s, results);
        ASSERT_FALSE(e.ok()) << kv;
        EXPECT_NE(e.message().find("最小管電圧（40 kV）を下回っている"), std::string::npos) << e.message();
        EXPECT_EQ(results.resultText(engine::ResultField::ExposureAt1mCkg), "old");
    }
}

TEST(TubeOutputEnd, ZeroMasGivesZero) {
    auto s = outputState(50);
    s->mAs = 0;
    engine::ResultTexts results;
    ASSERT_TRUE(engine::computeExposureAt1m(*s, results).ok());
    EXPECT_EQ(results.resultText(engine::ResultField::ExposureAt1mCkg), "0.00E+00");
}

TEST(TubeOutputEnd, MeasuredValueIsUsedAsShownWhateverTheMas) {
    for (double mas : {1.0, 7.0}) {
        auto s = outputState(50);
        s->exposureSource = 1;
        s->filterExposureRatio = 0.8;
        s->mAs = mas;
        engine::ResultTexts results;
        results.setResultText(engine::ResultField::MeasuredExposureCkg, "2.58E-4");
        ASSERT_TRUE(engine::computeExposureAt1m(*s, results).ok());
        EXPECT_NEAR(s->exposureAt1mCkg, 2.064e-4, 1e-18);
        EXPECT_EQ(results.resultText(engine::ResultField::ExposureAt1mCkg), "2.06E-04");
        EXPECT_EQ(results.resultText(engine::ResultField::MeasuredExposureCkg), "2.58E-4");
    }
}

// --- Caregiver ------------------------------------------------------------------------------

namespace {

// Row keys 70..120 cm; value = row + 10 * voltage column + 100 * position (uSv per mAs).
engine::CalculationState ambientState(double kv, double ffd, double mas) {
    engine::CalculationState s;
    for (int i = 1; i <= 6; ++i) {
        s.AmbientDoseTable[0][0][i] = 60 + 10 * i;
        for (int j = 1; j <= 2; ++j)
            for (int k = 1; k <= 3; ++k)
                s.AmbientDoseTable[j][k][i] = i + 10 * j + 100 * k;
    }
    s.tubeVoltageKv = kv;
    s.ffdCm = ffd;
    s.mAs = mas;
    return s;
}

} // namespace

struct CaregiverCase {
    double kv, ffd, mas;
    const char* position1;
    const char* position3;
};
void PrintTo(const CaregiverCase& c, std::ostream* os) {
    *os << c.kv << " kV " << c.ffd << " cm " << c.mas << " mAs";
}

class Caregiver : public ::testing::TestWithParam<CaregiverCase> {};

TEST_P(Caregiver, InterpolatesInDistanceAndVoltage) {
    const CaregiverCase c = GetParam();
    const engine::CalculationState s = ambientState(c.kv, c.ffd, c.mas);
    engine::ResultTexts results;
    ASSERT_TRUE(engine::computeCaregiverDose(s, results).ok());
    EXPECT_EQ(results.resultText(engine::ResultField::CaregiverDose1USv), c.position1);
    EXPECT_EQ(results.resultText(engine::ResultField::CaregiverDose3USv), c.position3);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Caregiver,
    ::testing::Values(CaregiverCase{55, 100, 1, "119.000", "319.000"}, // mean of the two voltage columns
                      CaregiverCase{45, 100, 1, "114.000", "314.000"}, // below 50 kV: the 50 kV column
                      CaregiverCase{80, 100, 1, "124.000", "324.000"}, // above 60 kV: the 60 kV column
                      CaregiverCase{50, 105, 1, "114.500", "314.500"}, // mean of rows 4 and 5
                      CaregiverCase{50, 60, 1, "111.000", "311.000"},  // below 70 cm: row 1
                      CaregiverCase{50, 70, 1, "111.000", "311.000"},  // 70 cm brackets rows 1 and 2
                      CaregiverCase{50, 150, 1, "116.000", "316.000"}, // above 120 cm: row 6
                      CaregiverCase{55, 105, 2, "239.000", "639.000"}, // times the mAs
                      CaregiverCase{50, 100, 0, "0.000", "0.000"}));

TEST(CaregiverExample, PointTwelvePerMasAtFiveMasShowsPointSix) {
    engine::CalculationState s = ambientState(50, 100, 5);
    s.AmbientDoseTable[1][1][4] = 0.12;
    engine::ResultTexts results;
    ASSERT_TRUE(engine::computeCaregiverDose(s, results).ok());
    EXPECT_EQ(results.resultText(engine::ResultField::CaregiverDose1USv), "0.600");
    EXPECT_EQ(results.resultText(engine::ResultField::CaregiverDose2USv), "1070.000"); // (4 + 10 + 200) x 5
}
