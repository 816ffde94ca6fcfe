// The spectrum model, the spectrum listing and the beam quality read from the transmission curve.

#include "engine/calculation.h"
#include "refdata/referenceloader.h"
#include "testsupport.h"
#include "textio/fileio.h"
#include "textio/numberformat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

using namespace tamso;

namespace {

const double kSinQuarter = std::sin(3.14159 * 90 / 180);

std::unique_ptr<engine::CalculationState> loadedState(const test::TempFolder& folder) {
    return test::loadMinimalInstallation(folder.path());
}

// A state whose target does not attenuate, so that each bin is the plain thick-target sum.
std::unique_ptr<engine::CalculationState> transparentTarget(const test::TempFolder& folder, double kv) {
    auto state = loadedState(folder);
    state->TungstenMuTable.fill(0);
    state->tubeVoltageKv = kv;
    state->targetAngleDeg = 12;
    state->inherentFilterAlCm = 0.25;
    state->ffdCm = 100;
    state->subjectThicknessCm = 10;
    state->fieldLongCm = 25.4;
    state->fieldShortCm = 20.3;
    return state;
}

// Emission of photon bin i with no attenuation in the target: one term per 0.5 keV electron step
// from the photon energy up to T0.
double emission(int i, double T0) {
    const double E = 0.5 * i;
    double sum = 0;
    for (double T = E; T <= T0; T += 0.5) {
        const double u = E / T;
        const double Q = (0.03658 + 0.000029 * E) *
                         (1 - 5.049 * u + 10.847 * u * u - 10.516 * std::pow(u, 3) + 3.842 * std::pow(u, 4));
        const double S = 1036.1 * std::exp(-0.04695 * T) + 202.41;
        sum += Q * (1 + 511 / T) / S;
    }
    return sum;
}

} // namespace

TEST(EngineSpectrum, FiftyKvStopsBelowTheTubeVoltage) {
    test::TempFolder folder;
    auto s = transparentTarget(folder, 50);
    engine::ResultTexts results;
    ASSERT_TRUE(engine::computeSpectrumAndBeamQuality(*s, results).ok());
    const double T0 = 50 * kSinQuarter;
    EXPECT_NEAR(s->TargetSpectrumTable[99], emission(99, T0), 1e-15); // one electron step at 49.5 keV
    EXPECT_NEAR(s->TargetSpectrumTable[2], emission(2, T0), 1e-12);
    EXPECT_EQ(s->TargetSpectrumTable[100], 0);
    EXPECT_EQ(s->PhotonSpectrumTable[100], 0);
    EXPECT_EQ(s->BeamDataSpectrumTable[100], 0);
    EXPECT_GT(s->PhotonSpectrumTable[99], 0);
}

TEST(EngineSpectrum, FractionalVoltageReachesItsLastWholeBin) {
    test::TempFolder folder;
    auto s = transparentTarget(folder, 50.3);
    engine::ResultTexts results;
    ASSERT_TRUE(engine::computeSpectrumAndBeamQuality(*s, results).ok());
    // Bin 100 (50 keV) gets exactly one electron step, T = 50 keV.
    const double u1 = (0.03658 + 0.000029 * 50) * (1 - 5.049 + 10.847 - 10.516 + 3.842);
    const double single = u1 * (1 + 511.0 / 50) / (1036.1 * std::exp(-0.04695 * 50) + 202.41);
    EXPECT_NEAR(s->TargetSpectrumTable[100], single, 1e-15);
    EXPECT_GT(s->PhotonSpectrumTable[100], 0);
    EXPECT_EQ(s->PhotonSpectrumTable[101], 0);
}

TEST(EngineSpectrum, KLinesOnlyAboveSeventyKev) {
    test::TempFolder folder;
    engine::ResultTexts results;
    auto at70 = transparentTarget(folder, 70);
    ASSERT_TRUE(engine::computeSpectrumAndBeamQuality(*at70, results).ok());
    for (int bin : {116, 119, 134, 138})
        EXPECT_NEAR(at70->TargetSpectrumTable[bin], emission(bin, 70 * kSinQuarter), 1e-15) << bin;

    auto at71 = transparentTarget(folder, 71);
    ASSERT_TRUE(engine::computeSpectrumAndBeamQuality(*at71, results).ok());
    const double T0 = 71 * kSinQuarter;
    double bremsstrahlung = 0;
    for (int i = 2; i <= 141; ++i)
        bremsstrahlung += emission(i, T0);
    const double R = (std::sqrt(8.79856 * T0 - 595.149) - 4.55528) / 4.39928;
    const double K = 0.01 * R * bremsstrahlung;
    EXPECT_GT(K, 0);
    const struct {
        int bin;
        double share;
    } lines[] = {{119, 0.5048}, {116, 0.2908}, {134, 0.162}, {138, 0.0424}};
    for (const auto& line : lines)
        EXPECT_NEAR(at71->TargetSpectrumTable[line.bin] - emission(line.bin, T0), line.share * K, 1e-12 * K)
            << line.bin;
    EXPECT_NEAR(at71->TargetSpectrumTable[117], emission(117, T0), 1e-15);
}

TEST(EngineSpectrum, PhotonSpectrumIsNormalisedWithoutTinyEntries) {
    test::TempFolder folder;
    auto s = loadedState(folder);
    engine::ResultTexts results;
    ASSERT_TRUE(
        engine::runCalculation(*s, engine::ConditionTexts{}, results, engine::listingInto(folder.path()))
            .ok());
    double sum = 0;
    for (int i = 2; i <= 100; ++i) {
        sum += s->PhotonSpectrumTable[i];
        EXPECT_TRUE(s->PhotonSpectrumTable[i] == 0 || s->PhotonSpectrumTable[i] >= 1e-10) << i;
    }
    EXPECT_NEAR(sum, 1, 1e-9);
    EXPECT_EQ(s->PhotonSpectrumTable[1], 0);
}

TEST(EngineSpectrum, ListingHas306LinesOfTheSpectrumAndTheConditions) {
    test::TempFolder folder;
    auto s = loadedState(folder);
    engine::ConditionTexts fields;
    fields.subjectThicknessCm = "8";
    engine::ResultTexts results;
    ASSERT_TRUE(engine::runCalculation(*s, fields, results, engine::listingInto(folder.path())).ok());
    const std::string bytes = test::readBytes(folder.file("Beam_data.dat"));
    const auto lines = textio::splitLines(bytes);
    ASSERT_EQ(lines.size(), 306u);
    size_t crlf = 0;
    for (size_t p = bytes.find("\r\n"); p != std::string::npos; p = bytes.find("\r\n", p + 2))
        ++crlf;
    EXPECT_EQ(crlf, 306u);
    EXPECT_EQ(lines[0], "0000.5, 0.00000");
    EXPECT_EQ(lines[99].substr(0, 8), "0050.0, ");
    EXPECT_EQ(lines[299], "0150.0, 0.00000");
    int maxima = 0;
    for (int i = 0; i < 300; ++i) {
        const double v = std::stod(lines[i].substr(8));
        EXPECT_LE(v, 1.0);
        maxima += lines[i].substr(8) == "1.00000";
    }
    EXPECT_GE(maxima, 1);
    EXPECT_EQ(lines[300], " 50.");
    EXPECT_EQ(lines[301], " 100.");
    EXPECT_EQ(lines[302], " 08.");
    EXPECT_EQ(lines[303], " 25.4");
    EXPECT_EQ(lines[304], " 20.3");
    EXPECT_EQ(lines[305], " 0.00E+00");
}

TEST(EngineSpectrum, RunAfterAHigherVoltageEqualsAFreshRun) {
    test::TempFolder used;
    test::TempFolder fresh;
    auto a = loadedState(used);
    auto b = loadedState(fresh);
    engine::ConditionTexts at80;
    at80.tubeVoltageKv = "80";
    at80.fieldLongCm = "35";
    engine::ResultTexts ra;
    engine::ResultTexts rb;
    ASSERT_TRUE(engine::runCalculation(*a, at80, ra, engine::listingInto(used.path())).ok());
    ASSERT_TRUE(
        engine::runCalculation(*a, engine::ConditionTexts{}, ra, engine::listingInto(used.path())).ok());
    ASSERT_TRUE(
        engine::runCalculation(*b, engine::ConditionTexts{}, rb, engine::listingInto(fresh.path())).ok());
    EXPECT_EQ(test::readBytes(used.file("Beam_data.dat")), test::readBytes(fresh.file("Beam_data.dat")));
    for (engine::ResultField f : {engine::ResultField::ExposureWithScatterCkg, engine::ResultField::ExposureAt1mCkg, engine::ResultField::Hvl1MmAl, engine::ResultField::QuarterValueLayerMmAl,
                          engine::ResultField::EffectiveEnergyKev, engine::ResultField::QualityIndex, engine::ResultField::BackscatterFactor, engine::ResultField::DoseConversionFactor,
                          engine::ResultField::EntranceSurfaceDoseMGy})
        EXPECT_EQ(ra.resultText(f), rb.resultText(f)) << static_cast<int>(f);
    EXPECT_EQ(a->hvl1Cm, b->hvl1Cm);
    EXPECT_EQ(a->effectiveEnergyKev, b->effectiveEnergyKev);
    EXPECT_EQ(a->backscatterFactor, b->backscatterFactor);
    EXPECT_EQ(a->entranceSurfaceDoseMGy, b->entranceSurfaceDoseMGy);
    const auto lines = textio::splitLines(test::readBytes(used.file("Beam_data.dat")));
    EXPECT_EQ(lines[119], "0060.0, 0.00000");
}

// A beam whose exposure lies in one bin: the transmission falls exponentially, so the log-linear
// reading gives ln 2 / mu exactly, and the power-law coefficients give back the bin's energy.
class SingleBinBeam : public ::testing::TestWithParam<double> {};

TEST_P(SingleBinBeam, HalfValueLayerIsLn2OverMu) {
    const double mu = GetParam(); // aluminium coefficient at 40 keV (1/cm)
    test::TempFolder folder;
    auto s = loadedState(folder);
    s->tubeVoltageKv = 60;
    s->targetAngleDeg = 12;
    s->inherentFilterAlCm = 0.25;
    s->addedFilterAlCm = 0.1;
    s->addedFilterCuCm = 0.01;
    s->refFilterAlCm = 0.3;
    s->refFilterCuCm = 0.002;
    const int bin = 80;
    for (int i = 1; i <= 300; ++i) {
        s->AirMuEnTable[i] = i == bin ? 1 : 0;
        s->AluminiumMuTable[i] = mu * std::pow(40.0 / (0.5 * i), 3);
    }
    engine::ResultTexts results;
    ASSERT_TRUE(engine::computeSpectrumAndBeamQuality(*s, results).ok());
    const double ln2 = std::log(2.0);
    EXPECT_NEAR(s->hvl1Cm, ln2 / mu, 1e-12);
    EXPECT_NEAR(s->quarterValueLayerCm, 2 * ln2 / mu, 1e-12);
    const double muEff = 0.693147 / (ln2 / mu);
    const double expectedEnergy = 40 * std::cbrt(mu / muEff);
    EXPECT_NEAR(s->effectiveEnergyKev, expectedEnergy, 1e-9);
    EXPECT_NEAR(s->qualityIndex, expectedEnergy / 60, 1e-11);
    const double muAl = s->AluminiumMuTable[bin];
    const double muCu = s->CopperMuTable[bin];
    const double ratio = std::exp(-0.35 * muAl - 0.01 * muCu - 0.6 * s->PmmaMuTable[bin]) /
                         std::exp(-0.3 * muAl - 0.002 * muCu);
    EXPECT_NEAR(s->filterExposureRatio, ratio, 1e-12 * ratio);
    EXPECT_EQ(results.resultText(engine::ResultField::Hvl1MmAl), mu == 2 ? "3.466" : "0.069");
    EXPECT_EQ(results.resultText(engine::ResultField::QuarterValueLayerMmAl), mu == 2 ? "6.931" : "0.139");
    EXPECT_EQ(results.resultText(engine::ResultField::EffectiveEnergyKev), "40.00");
    EXPECT_EQ(results.resultText(engine::ResultField::QualityIndex), "0.667");
    EXPECT_NEAR(s->SkinExposureSpectrumTable[bin], 1, 1e-15);
}

// 2 /cm: the curve crosses 50 % after a few millimetres. 100 /cm: already below 50 % after the
// first 0.1 mm, so the first two points are extrapolated.
INSTANTIATE_TEST_SUITE_P(Coefficients, SingleBinBeam, ::testing::Values(2.0, 100.0));
