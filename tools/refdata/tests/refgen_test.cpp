// Tests of the reference-data generator: coefficient tables against NIST, the scattering
// physics of the Monte Carlo, reproducibility, and the committed data against a short new run.

#include "refdata/referencefiles.h"
#include "tools/refdata/refdatagen.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>

using namespace tamso;
using namespace tamso::refgen;

namespace {

const fs::path kNist = TAMSO_REFDATA_NIST_DIR;

const CoefficientTables& tables() {
    static const CoefficientTables t = buildAttenuationTables(kNist);
    return t;
}

const Medium& water() {
    static const Medium m(waterMaterial(), 0.9, 152.0);
    return m;
}

const Medium& pmma() {
    static const Medium m(pmmaMaterial(), 0.9, 152.0);
    return m;
}

const NistTable& waterEn() {
    static const NistTable t = NistTable::load(kNist / "water.csv");
    return t;
}

} // namespace

// --- NIST interpolation -------------------------------------------------------------------

TEST(RefgenNistTable, ReturnsTabulatedValuesAndInterpolatesLogLog) {
    const NistTable air = NistTable::load(kNist / "air.csv");
    EXPECT_NEAR(air.muEnRho(30.0), 0.1537, 1e-6);
    EXPECT_NEAR(air.muEnRho(60.0), 0.03041, 1e-7);
    // Half-way in log energy between 30 and 40 keV the value is the geometric mean.
    const double mid = std::sqrt(30.0 * 40.0);
    EXPECT_NEAR(air.muEnRho(mid), std::sqrt(air.muEnRho(30.0) * air.muEnRho(40.0)), 1e-9);
}

TEST(RefgenNistTable, NeverInterpolatesAcrossAnAbsorptionEdge) {
    const NistTable w = NistTable::load(kNist / "tungsten.csv");
    const double kEdge = 69.53; // as tabulated
    // Just below and above the K edge: the jump stays, and the values are continuous with the
    // rows on the own side of the edge.
    EXPECT_GT(w.muRho(kEdge + 0.01) / w.muRho(kEdge - 0.01), 4.0);
    EXPECT_NEAR(w.muRho(kEdge - 1e-9), 2.552, 1e-3);
    EXPECT_NEAR(w.muRho(kEdge + 1e-9), 11.23, 1e-2);
    // Exactly at the edge the value above it is taken.
    EXPECT_GT(w.muRho(kEdge), 10.0);
    // Synthetic edge: values on either side come only from their own side.
    const NistTable t = NistTable::fromRows({{1, 100, 100}, {2, 10, 10}, {2, 80, 80}, {4, 8, 8}});
    EXPECT_NEAR(t.muRho(1.5), 100 * std::pow(1.5, std::log(0.1) / std::log(2.0)), 1e-9);
    EXPECT_NEAR(t.muRho(3.0), 80 * std::pow(1.5, std::log(0.1) / std::log(2.0)), 1e-9);
}

TEST(RefgenNistTable, ExtendsTheFirstSegmentBelowTheTable) {
    const NistTable t = NistTable::fromRows({{1, 1000, 900}, {2, 125, 100}, {3, 50, 40}});
    EXPECT_NEAR(t.muRho(0.5), 8000, 1e-6); // slope -3
    EXPECT_THROW(NistTable::fromRows({{1, 1, 1}}), std::runtime_error);
    EXPECT_THROW(NistTable::fromRows({{2, 1, 1}, {1, 1, 1}}), std::runtime_error);
}

// --- Attenuation table ------------------------------------------------------------------

TEST(RefgenAttenuationTable, HoldsTheNistSpotValues) {
    const CoefficientTables& t = tables();
    EXPECT_NEAR(t.muAl[60] / 2.699, 1.128, 0.01 * 1.128);
    EXPECT_NEAR(t.muEnAir[60], 0.1537, 0.01 * 0.1537);
    EXPECT_NEAR(t.muEnAir[120], 0.03041, 0.01 * 0.03041);
    EXPECT_NEAR(t.muEnTissue[60], 0.1616, 0.01 * 0.1616);
}

struct MaterialCase {
    const char* file;
    double density;
    std::vector<double> CoefficientTables::*column;
};
void PrintTo(const MaterialCase& c, std::ostream* os) { *os << c.file; }

class RefgenAttenuationAgainstNist : public ::testing::TestWithParam<MaterialCase> {};

// Every tabulated NIST energy that falls on a bin between 5 and 150 keV (and is no edge row):
// the xraylib-based mu agrees with NIST's mu/rho within 1 %.
TEST_P(RefgenAttenuationAgainstNist, AgreesWithinOnePercent) {
    const MaterialCase& c = GetParam();
    const NistTable nist = NistTable::load(kNist / c.file);
    const auto& rows = nist.rows();
    int checked = 0;
    for (size_t k = 0; k < rows.size(); ++k) {
        const double e = rows[k].energyKeV;
        const bool edge =
            (k > 0 && rows[k - 1].energyKeV == e) || (k + 1 < rows.size() && rows[k + 1].energyKeV == e);
        const double bin = 2 * e;
        if (edge || e < 5 || e > 150 || std::fabs(bin - std::round(bin)) > 1e-9)
            continue;
        const double ours = (tables().*c.column)[int(std::round(bin))] / c.density;
        EXPECT_NEAR(ours / rows[k].muRho, 1.0, 0.01) << c.file << " at " << e << " keV";
        ++checked;
    }
    EXPECT_GE(checked, 10);
}

INSTANTIATE_TEST_SUITE_P(Materials, RefgenAttenuationAgainstNist,
                         ::testing::Values(MaterialCase{"tungsten.csv", 19.3, &CoefficientTables::muW},
                                           MaterialCase{"aluminium.csv", 2.699, &CoefficientTables::muAl},
                                           MaterialCase{"copper.csv", 8.96, &CoefficientTables::muCu},
                                           MaterialCase{"pmma.csv", 1.19, &CoefficientTables::muPmma}));

TEST(RefgenAttenuationTable, FileKeepsSixSignificantDigitsAndLoads) {
    const std::vector<std::string> lines = attenuationFileLines(tables());
    ASSERT_EQ(lines.size(), 300u);
    std::istringstream in(lines[119]); // 60 keV
    std::string field;
    std::vector<double> v;
    while (std::getline(in, field, ','))
        v.push_back(std::stod(field));
    ASSERT_EQ(v.size(), 7u);
    EXPECT_EQ(v[0], 60.0);
    EXPECT_NEAR(v[2] / tables().muAl[120], 1.0, 1e-6);
    EXPECT_NEAR(v[6] / tables().muPmma[120], 1.0, 1e-6);
}

// --- Scattering physics -----------------------------------------------------------------

struct ScatterCase {
    bool pmmaMedium;
    double energyKeV;
};
void PrintTo(const ScatterCase& c, std::ostream* os) {
    *os << (c.pmmaMedium ? "PMMA " : "water ") << c.energyKeV << " keV";
}

class RefgenScatteringPhysics : public ::testing::TestWithParam<ScatterCase> {};

// The angular distributions used by the point detector integrate to the library's totals.
TEST_P(RefgenScatteringPhysics, DifferentialCoefficientsIntegrateToTheTotals) {
    const Medium& m = GetParam().pmmaMedium ? pmma() : water();
    const double e = GetParam().energyKeV;
    double coh = 0, incoh = 0;
    const int n = 20000;
    for (int i = 0; i < n; ++i) { // midpoint rule in cos(theta)
        const double mu = -1.0 + (i + 0.5) * 2.0 / n;
        coh += 2 * M_PI * m.coherentPerSr(e, mu) * 2.0 / n;
        incoh += 2 * M_PI * m.incoherentPerSr(e, mu) * 2.0 / n;
    }
    const Medium::Coefficients c = m.coefficients(e);
    EXPECT_NEAR(coh / c.coherent, 1.0, 0.04);
    EXPECT_NEAR(incoh / c.incoherent, 1.0, 0.03);
}

// The sampled scattering angles follow the same distributions (mean cosine within 4 SE).
TEST_P(RefgenScatteringPhysics, SampledAnglesFollowTheDifferentialCoefficients) {
    const Medium& m = GetParam().pmmaMedium ? pmma() : water();
    const double e = GetParam().energyKeV;
    for (bool coherent : {true, false}) {
        double num = 0, den = 0;
        const int n = 20000;
        for (int i = 0; i < n; ++i) {
            const double mu = -1.0 + (i + 0.5) * 2.0 / n;
            const double p = coherent ? m.coherentPerSr(e, mu) : m.incoherentPerSr(e, mu);
            num += mu * p;
            den += p;
        }
        const double expected = num / den;
        Random rng(7);
        double sum = 0, sumSq = 0;
        const int samples = 100000;
        for (int i = 0; i < samples; ++i) {
            double ratio = 1;
            const double mu = coherent ? m.sampleCoherent(e, rng) : m.sampleIncoherent(e, rng, ratio);
            if (!coherent) { // Compton energy follows from the angle
                ASSERT_NEAR(ratio, 1.0 / (1.0 + e / kElectronRestKeV * (1.0 - mu)), 1e-9);
            }
            sum += mu;
            sumSq += mu * mu;
        }
        const double mean = sum / samples;
        const double se = std::sqrt((sumSq / samples - mean * mean) / samples);
        EXPECT_NEAR(mean, expected, 4 * se + 1e-3) << (coherent ? "coherent" : "incoherent");
    }
}

INSTANTIATE_TEST_SUITE_P(Energies, RefgenScatteringPhysics,
                         ::testing::Values(ScatterCase{false, 10}, ScatterCase{false, 60},
                                           ScatterCase{false, 140}, ScatterCase{true, 30}));

// --- Backscatter Monte Carlo ------------------------------------------------------------

TEST(RefgenBackscatter, IsReproducibleWhateverTheThreadCount) {
    BackscatterSettings s;
    s.histories = 4000;
    s.streams = 8;
    s.threads = 1;
    const auto one = simulateBackscatter(water(), waterEn(), {40.0}, {9}, s);
    s.threads = 2;
    const auto two = simulateBackscatter(water(), waterEn(), {40.0}, {9}, s);
    EXPECT_EQ(one[0].ring, two[0].ring);
    EXPECT_EQ(one[0].total, two[0].total);
    s.seed += 1;
    const auto other = simulateBackscatter(water(), waterEn(), {40.0}, {9}, s);
    EXPECT_NE(one[0].total, other[0].total);
}

// A short new run agrees with the committed table's column totals within 4 standard errors.
TEST(RefgenBackscatter, CommittedTableAgreesWithAShortRun) {
    auto state = std::make_unique<engine::CalculationState>();
    const auto status =
        refdata::readBackscatterFile(fs::path(TAMSO_SOURCE_DIR) / "data" / "mono_dBSF.dat", *state);
    ASSERT_TRUE(status.ok()) << status.message();
    BackscatterSettings s;
    s.histories = 200000;
    s.streams = 16;
    s.threads = 2;
    s.seed = 99; // independent of the committed run
    const auto runs = simulateBackscatter(water(), waterEn(), {30.0, 60.0}, {7, 13}, s);
    for (const auto& r : runs) {
        const int column = int(r.energyKeV / 5) + 1;
        double committed = 0;
        for (int j = 1; j <= 300; ++j)
            committed += state->MonoBsfTable[column][j];
        EXPECT_NEAR(committed, r.total, 4 * r.totalStdError) << r.energyKeV << " keV";
        // Most of the backscatter comes back within 10 cm of the beam.
        double inner = 0;
        for (int j = 1; j <= 100; ++j)
            inner += state->MonoBsfTable[column][j];
        EXPECT_GT(inner / committed, 0.8);
    }
}

// --- Field backscatter factor and spectrum ---------------------------------------------

// With ring values equal to the ring areas the field sum measures the covered area.
TEST(RefgenFieldBackscatter, RingFractionsCoverTheFieldArea) {
    std::array<double, 300> area{};
    for (int j = 0; j < 300; ++j)
        area[j] = M_PI * (std::pow(0.1 * (j + 1), 2) - std::pow(0.1 * j, 2));
    for (auto [l, w] : {std::pair{10.0, 10.0}, {20.0, 8.0}, {30.0, 24.0}}) {
        EXPECT_NEAR(rectangleFieldBsf(area, l, w) - 1, l * w, 0.01 * l * w) << l << " x " << w;
        EXPECT_EQ(rectangleFieldBsf(area, l, w), rectangleFieldBsf(area, w, l));
    }
    EXPECT_EQ(rectangleFieldBsf(area, 50, 45), rectangleFieldBsf(area, 40, 40));
    EXPECT_NEAR(circleFieldBsf(area, 10.0) - 1, M_PI * 25, 1e-9);
}

TEST(RefgenSpectrum, SixtyKvBeamHasThePublishedBeamQuality) {
    const std::vector<double> beam = filteredPhotonSpectrum(60, 12, 0.25, tables());
    const double hvl = halfValueLayerMmAl(beam, tables());
    EXPECT_GT(hvl, 1.9);
    EXPECT_LT(hvl, 2.3);
    EXPECT_EQ(beam[120], 0.0); // nothing at the tube voltage itself
    const std::vector<double> high = targetSpectrum(80, 12, tables().muW);
    EXPECT_GT(high[119], 2 * high[118]); // K alpha 1 line above 70 kV
    const std::vector<double> low = targetSpectrum(70, 12, tables().muW);
    EXPECT_LT(low[119], 1.5 * low[118]);
}

// --- Hood scatter -----------------------------------------------------------------------

TEST(RefgenHoodScatter, RatioGrowsWithFieldAndFallsWithDistance) {
    const NistTable air = NistTable::load(kNist / "air.csv");
    const std::vector<double> beam = filteredPhotonSpectrum(60, 12, 0.25, tables());
    const auto ratio = [&](double g, double area) {
        HoodGeometry geo;
        geo.hoodSkinCm = g;
        geo.receptorAreaCm2 = area;
        return simulateHoodScatter(pmma(), air, beam, geo, 20000, 8, 2, 5, 1);
    };
    const ScatterRatioResult near100 = ratio(10, 100), near900 = ratio(10, 900), far900 = ratio(40, 900);
    EXPECT_GT(near900.ratio, near100.ratio + 4 * near900.stdError);
    EXPECT_GT(near900.ratio, far900.ratio + 4 * near900.stdError);
    // Single scatter from a 6 mm PMMA hood adds a few per cent at most.
    EXPECT_GT(near100.ratio, 0.005);
    EXPECT_LT(near900.ratio, 0.2);
    EXPECT_LT(near900.stdError / near900.ratio, 0.02);
}

// A very thin hood and a narrow monoenergetic beam: single forward coherent scattering, whose
// ratio follows from the geometry alone (checks the source weighting, the forced collision, the
// point detector and the primary normalisation together).
TEST(RefgenHoodScatter, ThinHoodNarrowBeamMatchesSingleScatter) {
    const NistTable air = NistTable::load(kNist / "air.csv");
    std::vector<double> line(301, 0.0);
    line[60] = 1.0; // 30 keV only
    HoodGeometry g;
    g.hoodThicknessCm = 0.001;
    g.hoodSkinCm = 20;
    g.receptorAreaCm2 = 0.04; // 2 mm square at the receptor
    const ScatterRatioResult r = simulateHoodScatter(pmma(), air, line, g, 20000, 4, 2, 3, 2);
    const double zSkin = g.focusHoodCm + g.hoodSkinCm;
    const double half = 0.5 * std::sqrt(g.receptorAreaCm2) * g.focusHoodCm / (zSkin + 10);
    const double expected = 4 * half * half * g.hoodThicknessCm * pmma().coherentPerSr(30, 1.0) * zSkin *
                            zSkin / (g.focusHoodCm * g.focusHoodCm * g.hoodSkinCm * g.hoodSkinCm);
    EXPECT_NEAR(r.ratio / expected, 1.0, 0.02);
}

TEST(RefgenHoodScatter, FileHasTheLoaderLayout) {
    ScatterRatioTable table;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c)
            table.cells[r][c].ratio = 0.01 * (r + 1) + 0.001 * (c + 1);
    const std::vector<std::string> lines = scatterRatioFileLines(table);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[1], "20,2.100000E-02,2.200000E-02,2.300000E-02");
    EXPECT_EQ(lines[4], "100,400,900");
}
