// The newborn phantom and the photon transport in it: organ masses against their reference
// masses, reproducible results whatever the number of threads, and the physics of a broad beam.

#include "tools/refdata/organtables.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace tamso;
using namespace tamso::refgen;

namespace {

const phantom::Phantom& newborn() {
    static const phantom::Phantom p = phantom::Phantom::build();
    return p;
}

const PhantomMedia& media() {
    static const PhantomMedia m;
    return m;
}

} // namespace

TEST(NewbornPhantom, OrgansWithinTenPerCentOfTheirReferenceMasses) {
    for (int r = 1; r < phantom::kRegionCount; ++r) {
        const auto& info = phantom::regionInfo(r);
        if (info.targetMassG > 0) {
            EXPECT_NEAR(newborn().massG(r), info.targetMassG, 0.1 * info.targetMassG) << info.name;
        }
    }
    EXPECT_NEAR(newborn().totalMassG(), 3500, 0.05 * 3500);
    double skeleton = 0;
    for (int r = phantom::kFirstBoneSite; r < phantom::kRegionCount; ++r) {
        EXPECT_GT(newborn().massG(r), 0) << phantom::regionInfo(r).name;
        skeleton += newborn().massG(r);
    }
    EXPECT_NEAR(skeleton, 350, 0.1 * 350);
    EXPECT_NEAR(newborn().massG(phantom::SkinLayer), 175, 0.2 * 175);
}

TEST(NewbornPhantom, OrgansLieWhereAnatomyPutsThem) {
    const auto at = [](int region) { return newborn().centroid(region); };
    EXPECT_GT(at(phantom::BrainTissue)[2], at(phantom::Lungs)[2]);
    EXPECT_GT(at(phantom::Lungs)[2], at(phantom::Liver)[2]);
    EXPECT_GT(at(phantom::Liver)[2], at(phantom::Bladder)[2]);
    EXPECT_LT(at(phantom::Liver)[0], 0);  // the infant's right
    EXPECT_GT(at(phantom::Spleen)[0], 0); // left
    EXPECT_GT(at(phantom::Breasts)[1], at(phantom::Kidneys)[1]); // anterior to posterior
}

TEST(PhantomTransport, ResultsDoNotDependOnTheNumberOfThreads) {
    BeamGeometry g;
    g.massKg = 1.0;
    const auto one = simulateTiles(newborn(), media(), g, 40.0, 6400, 8, 1, 7, 1);
    const auto two = simulateTiles(newborn(), media(), g, 40.0, 6400, 8, 2, 7, 1);
    EXPECT_EQ(one.sum, two.sum);
    const auto other = simulateTiles(newborn(), media(), g, 40.0, 6400, 8, 2, 8, 1);
    EXPECT_NE(one.sum, other.sum);
}

TEST(PhantomTransport, ABroadBeamDosesTheSideItEnters) {
    const NistTable air = NistTable::load(std::filesystem::path(TAMSO_REFDATA_NIST_DIR) / "air.csv");
    BeamGeometry g;
    g.mattress = false;
    g.tileCm = 18;
    g.nu = 1;
    g.nz = 3;
    const auto doses = [&](BeamGeometry::Direction d) {
        g.direction = d;
        const auto s = simulateTiles(newborn(), media(), g, 40.0, 60000, 16, 2, 3, 2);
        engine::OrganDoses sum{};
        for (const auto& t : organDosesPerKerma(newborn(), s, g, 40.0, air.muEnRho(40.0)))
            for (int o = 0; o < engine::kOrganCount; ++o)
                sum[o] += t.dose[o];
        return sum;
    };
    const auto ap = doses(BeamGeometry::Anterior), pa = doses(BeamGeometry::Posterior);
    EXPECT_GT(ap[engine::Breasts], 2 * pa[engine::Breasts]);
    EXPECT_GT(ap[engine::Thymus], pa[engine::Thymus]);
    EXPECT_GT(pa[engine::Kidneys], ap[engine::Kidneys]);
    // Dose per air kerma near the entrance is about the tissue-to-air ratio times the backscatter
    // (the breasts weigh 0.4 g: a few per cent of noise at these histories).
    EXPECT_GT(ap[engine::Breasts], 0.8);
    EXPECT_LT(ap[engine::Breasts], 1.8);
}
