#pragma once
// A stylised newborn phantom: body, organs and skeleton as ellipsoids, elliptic cylinders (some
// tapered), shells and capsules, painted into a voxel grid. Sized for a 3.5 kg term newborn in
// reference coordinates (cm); an infant of another weight is the same grid with every length
// scaled by (mass / 3.5 kg)^(1/3). The sources of every dimension, mass and composition are listed
// in data/README.md ("Newborn phantom").
//
// Coordinates: x to the infant's left, y anterior, z towards the head; z = 0 at the bottom of the
// trunk; the infant lies supine on a mattress whose top is the plane y = kBackY.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tamso::refgen {

struct Material;

namespace phantom {

enum MaterialId : std::uint8_t { Void, SoftTissue, Lung, Brain, Skeleton, Skin, Mattress, kMaterialCount };

// The regions painted into the grid. Bone sites come last, from kFirstBoneSite on.
enum RegionId : std::uint8_t {
    Outside, Residual, SkinLayer, MattressFoam, BrainTissue, Lens, EyeBall, Thyroid, Salivary, OralNasal,
    Oesophagus, Thymus, Lungs, Heart, Breasts, Liver, GallBladder, Stomach, Spleen, Pancreas, Adrenals,
    Kidneys, SmallIntestine, Colon, Bladder, Testes, Ovaries, Uterus, Prostate,
    Cranium, Mandible, CervicalSpine, ThoracicSpine, LumbarSpine, Sacrum, Ribs, Sternum, Clavicles, Scapulae,
    Pelvis, Humeri, Forearms, Hands, Femora, LowerLegs, Feet,
    kRegionCount
};
constexpr int kFirstBoneSite = Cranium;

struct RegionInfo {
    const char* name;
    MaterialId material;
    double targetMassG;     // reference mass at 3.5 kg the region is sized to; 0: not sized
    double marrowFraction;  // bone sites: share of the skeleton's active marrow
};
const RegionInfo& regionInfo(int region);

constexpr double kReferenceMassKg = 3.5;
constexpr double kVoxelCm = 0.075; // at 3.5 kg
constexpr double kBackY = -4.9;    // the mattress top (the infant's back)
constexpr double kMattressCm = 3.0;
constexpr double kGridMin[3] = {-9.0, -7.95, -17.4};
constexpr int kGridSize[3] = {240, 206, 678};

// Length scale of an infant of the given mass.
double lengthScale(double massKg);

// Material compositions (mass fractions) and densities.
Material material(MaterialId id);
Material redMarrowMaterial(); // ICRU 46 red marrow, for the marrow-to-skeleton dose ratio

class Phantom {
public:
    // Builds the grid and sizes every organ with a reference mass to it (a few passes).
    static Phantom build();

    std::uint8_t region(int ix, int iy, int iz) const {
        return voxels_[(size_t(iz) * kGridSize[1] + iy) * kGridSize[0] + ix];
    }
    const std::vector<std::uint8_t>& voxels() const { return voxels_; }
    // Mass (g) of a region at 3.5 kg, from its voxels.
    double massG(int region) const { return mass_[region]; }
    double totalMassG() const;
    // Mean position (reference cm) of a region's voxels along x, y, z.
    std::array<double, 3> centroid(int region) const { return centroid_[region]; }
    // The skin's y (anterior surface) and x extents at a height z, on the midline (reference cm).
    double anteriorSurfaceY(double z) const;
    double rightSurfaceX(double z) const; // the infant's right (most negative x)

private:
    void measure();
    std::vector<std::uint8_t> voxels_;
    std::array<double, kRegionCount> mass_{};
    std::array<std::array<double, 3>, kRegionCount> centroid_{};
};

// Region ids whose voxels make up the skin's exterior (the body without the mattress).
inline bool isBody(std::uint8_t r) { return r != Outside && r != MattressFoam; }

} // namespace phantom
} // namespace tamso::refgen
