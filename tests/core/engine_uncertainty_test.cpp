// The uncertainty budget of the entrance surface dose and how its expanded value is shown.

#include "engine/calculation.h"
#include "engine/uncertainty.h"
#include "refdata/referenceloader.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

using namespace tamso;

namespace {

engine::CalculationState runState(double exposureSource, double focusSkinCm, double spr, double doseMGy) {
    engine::CalculationState s;
    s.exposureSource = exposureSource;
    s.focusSkinDistanceCm = focusSkinCm;
    s.hoodScatterToPrimary = spr;
    s.entranceSurfaceDoseMGy = doseMGy;
    return s;
}

double sumOfSquares(const engine::DoseUncertainty& u) {
    double sum = 0;
    for (const auto& c : u.components)
        sum += c.relativeStandard * c.relativeStandard;
    return sum;
}

} // namespace

// Worked by hand for 90 cm focus-skin distance and a scatter-to-primary ratio of 0.02:
// tube output data: 0.035^2 + 2 (0.1/sqrt3)^2 + 0.02^2 + 0.025^2 + 0.015^2 + 2 (2/(sqrt3 90))^2
//                   + (0.3 * 0.02/1.02)^2 + 0.01^2 = 0.0096055..., so u = 9.801 %, U(k=2) = 19.60 %.
TEST(DoseUncertainty, BudgetForTheTubeOutputDataAddsUpByHand) {
    const auto u = engine::doseUncertainty(runState(2, 90, 0.02, 0.203));
    const double byHand = 0.035 * 0.035 + 2 * (0.01 / 3) + 0.0004 + 0.000625 + 0.000225 +
                          2 * (4.0 / (3 * 8100)) + std::pow(0.3 * 0.02 / 1.02, 2) + 0.0001;
    EXPECT_NEAR(sumOfSquares(u), byHand, 1e-15);
    EXPECT_NEAR(u.relativeCombined, std::sqrt(byHand), 1e-15);
    EXPECT_NEAR(u.relativeCombined, 0.09801, 5e-6);
    EXPECT_NEAR(u.expandedMGy, 2 * std::sqrt(byHand) * 0.203, 1e-15);
    EXPECT_EQ(engine::formatExpandedUncertainty(u.expandedMGy), "0.04");
}

// A measured exposure replaces the tube output terms (calibration of the output measurement,
// generator accuracy, interpolation) by the dosimeter's own.
TEST(DoseUncertainty, MeasuredExposureDropsTheGeneratorTerms) {
    const auto fromOutput = engine::doseUncertainty(runState(2, 90, 0.02, 1));
    const auto measured = engine::doseUncertainty(runState(1, 90, 0.02, 1));
    EXPECT_EQ(fromOutput.components.size(), measured.components.size() + 3);
    EXPECT_NEAR(sumOfSquares(fromOutput) - sumOfSquares(measured), 2 * (0.01 / 3) + 0.0004, 1e-15);
}

// The distance terms grow as the tube comes closer (inverse square); scatter adds its share.
TEST(DoseUncertainty, CloserTubeAndMoreScatterGiveALargerUncertainty) {
    const double far = engine::doseUncertainty(runState(2, 120, 0, 1)).relativeCombined;
    const double near = engine::doseUncertainty(runState(2, 40, 0, 1)).relativeCombined;
    const double scattered = engine::doseUncertainty(runState(2, 120, 0.5, 1)).relativeCombined;
    EXPECT_GT(near, far);
    EXPECT_GT(scattered, far);
    EXPECT_EQ(engine::doseUncertainty(runState(2, 90, 0.02, 0)).expandedMGy, 0);
}

// One significant digit, two when the first is 1 or 2; never below the dose's 0.001 mGy step.
TEST(DoseUncertainty, ExpandedValueIsShownWithItsSignificantDigits) {
    const std::pair<double, const char*> cases[] = {
        {0.0496, "0.05"},  {0.0396, "0.04"}, {0.0183, "0.018"}, {0.0251, "0.025"}, {0.0299, "0.030"},
        {0.12, "0.12"},    {0.96, "1.0"},    {1.24, "1.2"},     {4.4, "4"},        {0.00042, "0.000"},
        {0.0016, "0.002"}, {0, "0.000"},     {-1, "0.000"},     {35, "40"},        {25, "25"},  {0.35, "0.4"}};
    for (const auto& [value, shown] : cases)
        EXPECT_EQ(engine::formatExpandedUncertainty(value), shown) << value;
}

// A run leaves the expanded uncertainty in the state and among the results.
TEST(DoseUncertainty, RunReportsTheExpandedUncertainty) {
    test::TempFolder folder;
    auto state = test::loadMinimalInstallation(folder.path());
    ASSERT_TRUE(state);
    engine::ResultTexts results;
    ASSERT_TRUE(engine::runCalculation(*state, engine::ConditionTexts{}, results, folder.path()).ok());
    const auto u = engine::doseUncertainty(*state);
    EXPECT_GT(state->entranceSurfaceDoseUncertaintyMGy, 0);
    EXPECT_DOUBLE_EQ(state->entranceSurfaceDoseUncertaintyMGy, u.expandedMGy);
    EXPECT_EQ(results.resultText(engine::ResultField::EntranceSurfaceDoseUncertaintyMGy),
              engine::formatExpandedUncertainty(u.expandedMGy));
    EXPECT_GT(state->hoodScatterToPrimary, 0);
}
