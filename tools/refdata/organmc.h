#pragma once
// Photon transport in the voxel newborn phantom (Woodcock tracking; photoelectric absorption,
// incoherent scattering with the incoherent scattering function, coherent scattering with the form
// factor; energy deposited where the photon interacts) and the organ-dose tables built from it.

#include "engine/organdose.h"
#include "tools/refdata/nisttable.h"
#include "tools/refdata/phantom.h"
#include "tools/refdata/photonmc.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace tamso::refgen {

using engine::kOrganCount;

// The media of the phantom's materials, built once (xraylib).
class PhantomMedia {
public:
    PhantomMedia();
    const Medium& medium(int material) const { return *media_[material]; }
    // Ratio of the energy transferred per gram in active marrow to that in the skeleton mixture, for
    // photons of this energy (photoelectric plus the Klein-Nishina mean energy transfer).
    double marrowToSkeleton(double energyKeV) const;

private:
    double computeMarrowToSkeleton(double energyKeV) const;
    static constexpr int kRatioPoints = 600;
    std::array<double, kRatioPoints> ratio_{};
    std::vector<std::unique_ptr<Medium>> media_; // index = MaterialId (0 unused)
    std::unique_ptr<Medium> marrow_;
};

// A parallel beam on the phantom, scored by the tile of the entrance plane each photon started in.
struct BeamGeometry {
    enum Direction { Anterior, Posterior, RightLateral } direction = Anterior; // the side the beam enters
    double massKg = 3.5;
    bool mattress = true;
    // The entrance plane in reference cm: u across the body (x for AP/PA, y for lateral), z along it.
    double u0 = -9, z0 = -17.4, tileCm = 2;
    int nu = 9, nz = 26;
};

// Energy (keV) deposited per region and tile, summed over the histories, with squares per history.
struct TileScores {
    long long histories = 0;
    int tiles = 0;
    static constexpr int kColumns = phantom::kRegionCount + (phantom::kRegionCount - phantom::kFirstBoneSite);
    std::vector<double> sum, sumSq; // [tile * kColumns + column]; columns: regions, then marrow per bone site
};

TileScores simulateTiles(const phantom::Phantom& ph, const PhantomMedia& media, const BeamGeometry& g,
                         double energyKeV, long long histories, int streams, int threads, std::uint64_t seed,
                         std::uint64_t taskKey);

// Organ doses per incident air kerma of each tile (the tile under unit fluence), kOrganCount per
// tile, and the relative standard error of the whole plane's organ doses.
struct OrganTile {
    std::array<double, kOrganCount> dose{};
};
std::vector<OrganTile> organDosesPerKerma(const phantom::Phantom& ph, const TileScores& s, const BeamGeometry& g,
                                          double energyKeV, double airMuEnRho);
// The same for the tiles inside a rectangle (reference cm, u and z ranges): summed doses and their
// relative standard errors.
struct FieldDoses {
    std::array<double, kOrganCount> dose{}, relError{};
};
FieldDoses fieldDoses(const phantom::Phantom& ph, const TileScores& s, const BeamGeometry& g, double energyKeV,
                      double airMuEnRho, double uLo, double uHi, double zLo, double zHi);

// Each organ's mean position along the beam (reference cm: y for AP/PA, x for lateral).
std::array<double, kOrganCount> organDepthCoordinates(const phantom::Phantom& ph, bool lateral);

} // namespace tamso::refgen
