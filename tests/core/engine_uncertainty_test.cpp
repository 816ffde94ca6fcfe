// The uncertainty budget of the entrance surface dose.

#include "engine/calculation.h"
#include "engine/uncertainty.h"
#include "refdata/referenceloader.h"
#include "testsupport.h"
#include "textio/quantitytext.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

using namespace tamso;

namespace {

engine::CalculationState runState(double exposureSource, double focusSkinCm, double spr, double doseMGy,
                                  double mAs = 5) {
    engine::CalculationState s;
    s.exposureSource = exposureSource;
    s.mAs = mAs;
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

// Worked by hand for 5 mAs, 90 cm focus-skin distance and a scatter-to-primary ratio of 0.02:
// tube output data: 0.035^2 + (0.1/sqrt3)^2 + ((0.1 + 0.2/5)/sqrt3)^2 + 0.02^2 + 0.025^2 + 0.015^2
//                   + 2 (2/(sqrt3 90))^2 + (0.3 * 0.02/1.02)^2 + 0.01^2 = 0.0128054..., so
//                   u = 11.32 %, U(k=2) = 22.63 %: 0.203 mGy gives 0.046 mGy.
TEST(DoseUncertainty, BudgetForTheTubeOutputDataAddsUpByHand) {
    const auto u = engine::doseUncertainty(runState(2, 90, 0.02, 0.203));
    const double byHand = 0.035 * 0.035 + 0.01 / 3 + 0.14 * 0.14 / 3 + 0.0004 + 0.000625 + 0.000225 +
                          2 * (4.0 / (3 * 8100)) + std::pow(0.3 * 0.02 / 1.02, 2) + 0.0001;
    EXPECT_NEAR(sumOfSquares(u), byHand, 1e-15);
    EXPECT_NEAR(u.relativeCombined, std::sqrt(byHand), 1e-15);
    EXPECT_NEAR(u.relativeCombined, 0.11316, 5e-6);
    EXPECT_NEAR(u.expandedMGy, 2 * std::sqrt(byHand) * 0.203, 1e-15);
    EXPECT_EQ(textio::expandedUncertaintyText(u.expandedMGy), "0.046");
}

// The generator's mAs within +-(10 % + 0.2 mAs): at the small mAs of neonatal exposures the fixed
// 0.2 mAs dominates. Its term is (0.10 + 0.2/Q)/sqrt3 at Q mAs, and the expanded uncertainty at
// 1 mAs is about twice that of the 10 %-only budget.
TEST(DoseUncertainty, MAsAccuracyIncludesTheFixedTwoTenthsOfAnMAs) {
    const std::pair<double, double> cases[] = {{0.5, 0.5}, {1, 0.3}, {2, 0.2}, {5, 0.14}, {20, 0.11}};
    const auto withoutMAs = [](const engine::DoseUncertainty& u) {
        double sum = 0;
        for (const auto& c : u.components)
            if (std::string(c.name) != "mAs accuracy of the generator")
                sum += c.relativeStandard * c.relativeStandard;
        return sum;
    };
    for (const auto& [mAs, halfWidth] : cases) {
        const auto u = engine::doseUncertainty(runState(2, 90, 0.02, 1, mAs));
        EXPECT_NEAR(sumOfSquares(u) - withoutMAs(u), halfWidth * halfWidth / 3, 1e-15) << mAs << " mAs";
    }
    const auto atOneMAs = engine::doseUncertainty(runState(2, 90, 0.02, 1, 1));
    EXPECT_NEAR(atOneMAs.relativeCombined, std::sqrt(withoutMAs(atOneMAs) + 0.09 / 3), 1e-15);
    EXPECT_NEAR(atOneMAs.expandedMGy, 0.381, 0.0005); // 19.6 % without the 0.2 mAs
}

// A measured exposure replaces the tube output terms (calibration of the output measurement,
// generator accuracy, interpolation) by the dosimeter's own.
TEST(DoseUncertainty, MeasuredExposureDropsTheGeneratorTerms) {
    const auto fromOutput = engine::doseUncertainty(runState(2, 90, 0.02, 1, 2));
    const auto measured = engine::doseUncertainty(runState(1, 90, 0.02, 1, 2));
    EXPECT_EQ(fromOutput.components.size(), measured.components.size() + 3);
    EXPECT_NEAR(sumOfSquares(fromOutput) - sumOfSquares(measured), 0.01 / 3 + 0.04 / 3 + 0.0004, 1e-15);
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

// A run leaves the expanded uncertainty in the state and among the results.
TEST(DoseUncertainty, RunReportsTheExpandedUncertainty) {
    test::TempFolder folder;
    auto state = test::loadMinimalInstallation(folder.path());
    ASSERT_TRUE(state);
    engine::ResultTexts results;
    ASSERT_TRUE(
        engine::runCalculation(*state, engine::ConditionTexts{}, results, engine::listingInto(folder.path()))
            .ok());
    const auto u = engine::doseUncertainty(*state);
    EXPECT_GT(state->entranceSurfaceDoseUncertaintyMGy, 0);
    EXPECT_DOUBLE_EQ(state->entranceSurfaceDoseUncertaintyMGy, u.expandedMGy);
    EXPECT_EQ(results.resultText(engine::ResultField::EntranceSurfaceDoseUncertaintyMGy),
              textio::expandedUncertaintyText(u.expandedMGy));
    EXPECT_GT(state->hoodScatterToPrimary, 0);
}
