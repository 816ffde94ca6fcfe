#include "tools/refdata/phantom.h"

#include "tools/refdata/materials.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace tamso::refgen::phantom {

namespace {

// ICRP 89 newborn reference masses (g) for the sized organs; bone sites carry the share of the
// newborn's active marrow (sum normalised where used). See data/README.md.
const RegionInfo kRegions[kRegionCount] = {
    {"outside", Void, 0, 0},
    {"residual soft tissue", SoftTissue, 0, 0},
    {"skin", Skin, 0, 0}, // not sized: the outer voxel layer (ICRP 89: 175 g)
    {"mattress", Mattress, 0, 0},
    {"brain", Brain, 380, 0},
    {"eye lens", SoftTissue, 0, 0},
    {"eye", SoftTissue, 0, 0},
    {"thyroid", SoftTissue, 1.3, 0},
    {"salivary glands", SoftTissue, 6, 0},
    {"oral and nasal region", SoftTissue, 0, 0},
    {"oesophagus", SoftTissue, 2, 0},
    {"thymus", SoftTissue, 13, 0},
    {"lungs", Lung, 60, 0},
    {"heart", SoftTissue, 20, 0},
    {"breasts", SoftTissue, 0, 0},
    {"liver", SoftTissue, 130, 0},
    {"gall bladder wall", SoftTissue, 0.5, 0},
    {"stomach wall", SoftTissue, 7, 0},
    {"spleen", SoftTissue, 9.5, 0},
    {"pancreas", SoftTissue, 6, 0},
    {"adrenals", SoftTissue, 6, 0},
    {"kidneys", SoftTissue, 25, 0},
    {"small intestine wall", SoftTissue, 30, 0},
    {"colon wall", SoftTissue, 17, 0},
    {"urinary bladder wall", SoftTissue, 4, 0},
    {"testes", SoftTissue, 0.85, 0},
    {"ovaries", SoftTissue, 0.3, 0},
    {"uterus", SoftTissue, 4, 0},
    {"prostate", SoftTissue, 0.8, 0},
    {"cranium", Skeleton, 0, 0.245},
    {"mandible", Skeleton, 0, 0.025},
    {"cervical spine", Skeleton, 0, 0.034},
    {"thoracic spine", Skeleton, 0, 0.064},
    {"lumbar spine", Skeleton, 0, 0.040},
    {"sacrum", Skeleton, 0, 0.030},
    {"ribs", Skeleton, 0, 0.081},
    {"sternum", Skeleton, 0, 0.008},
    {"clavicles", Skeleton, 0, 0.008},
    {"scapulae", Skeleton, 0, 0.028},
    {"pelvis", Skeleton, 0, 0.089},
    {"humeri", Skeleton, 0, 0.064},
    {"forearms", Skeleton, 0, 0.032},
    {"hands", Skeleton, 0, 0.028},
    {"femora", Skeleton, 0, 0.122},
    {"lower legs", Skeleton, 0, 0.093},
    {"feet", Skeleton, 0, 0.039},
};

// Mixed skeleton of the newborn (mineralised bone, active marrow, cartilage; ICRP 89) sized as a
// whole to this mass (g).
constexpr double kSkeletonMassG = 350;

struct Shape {
    enum Kind { Ellipsoid, Cylinder, Capsule, EllipsoidShell, CylinderShell, Box } kind;
    double c[3];    // centre (capsule: first end)
    double s[3];    // semi-axes / half extents (cylinder: a, b at z0)
    double z0 = 0, z1 = 0, taper = 1; // cylinder: height range, radius factor at z1
    double e[3] = {0, 0, 0};          // capsule: second end
    double r = 0;                     // capsule radius
    double t = 0;                     // shell thickness
    bool rests = false;               // cylinder: lies on the mattress (centre y = back + b)
    double pitch = 0, width = 0;      // cylinder shell: bands (ribs)
    bool faceCut = false;             // ellipsoid shell: leaves the face (y > 3.5, z < 28.5) open
};

Shape ellipsoid(double x, double y, double z, double a, double b, double c) {
    Shape s{Shape::Ellipsoid, {x, y, z}, {a, b, c}};
    return s;
}
Shape cylinder(double x, double y, double a, double b, double z0, double z1, double taper = 1, bool rests = false) {
    Shape s{Shape::Cylinder, {x, y, 0}, {a, b, 0}};
    s.z0 = z0;
    s.z1 = z1;
    s.taper = taper;
    s.rests = rests;
    return s;
}
Shape capsule(double x0, double y0, double z0, double x1, double y1, double z1, double r) {
    Shape s{Shape::Capsule, {x0, y0, z0}, {0, 0, 0}};
    s.e[0] = x1;
    s.e[1] = y1;
    s.e[2] = z1;
    s.r = r;
    return s;
}
Shape box(double x, double y, double z, double hx, double hy, double hz) {
    return Shape{Shape::Box, {x, y, z}, {hx, hy, hz}};
}

Shape scaled(Shape s, double k) {
    switch (s.kind) {
    case Shape::Ellipsoid:
    case Shape::Box:
        for (double& v : s.s)
            v *= k;
        break;
    case Shape::Cylinder:
        s.s[0] *= k;
        s.s[1] *= k;
        break;
    case Shape::Capsule:
        s.r *= k;
        break;
    case Shape::EllipsoidShell:
    case Shape::CylinderShell:
        s.t *= k;
        break;
    }
    return s;
}

bool contains(const Shape& s, double x, double y, double z) {
    auto sq = [](double v) { return v * v; };
    switch (s.kind) {
    case Shape::Ellipsoid:
        return sq((x - s.c[0]) / s.s[0]) + sq((y - s.c[1]) / s.s[1]) + sq((z - s.c[2]) / s.s[2]) <= 1;
    case Shape::Box:
        return std::fabs(x - s.c[0]) <= s.s[0] && std::fabs(y - s.c[1]) <= s.s[1] && std::fabs(z - s.c[2]) <= s.s[2];
    case Shape::Cylinder: {
        if (z < std::min(s.z0, s.z1) || z > std::max(s.z0, s.z1))
            return false;
        const double f = 1 + (s.taper - 1) * (z - s.z0) / (s.z1 - s.z0);
        const double a = s.s[0] * f, b = s.s[1] * f;
        const double cy = s.rests ? kBackY + b : s.c[1];
        return sq((x - s.c[0]) / a) + sq((y - cy) / b) <= 1;
    }
    case Shape::Capsule: {
        const double d[3] = {s.e[0] - s.c[0], s.e[1] - s.c[1], s.e[2] - s.c[2]};
        const double p[3] = {x - s.c[0], y - s.c[1], z - s.c[2]};
        const double dd = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
        const double t = std::clamp((p[0] * d[0] + p[1] * d[1] + p[2] * d[2]) / dd, 0.0, 1.0);
        return sq(p[0] - t * d[0]) + sq(p[1] - t * d[1]) + sq(p[2] - t * d[2]) <= s.r * s.r;
    }
    case Shape::EllipsoidShell: {
        if (z < s.z0 || (s.faceCut && y > 3.5 && z < 28.5))
            return false;
        const double outer = sq((x - s.c[0]) / s.s[0]) + sq((y - s.c[1]) / s.s[1]) + sq((z - s.c[2]) / s.s[2]);
        const double inner = sq((x - s.c[0]) / (s.s[0] - s.t)) + sq((y - s.c[1]) / (s.s[1] - s.t)) +
                             sq((z - s.c[2]) / (s.s[2] - s.t));
        return outer <= 1 && inner > 1;
    }
    case Shape::CylinderShell: {
        if (z < s.z0 || z > s.z1)
            return false;
        if (s.pitch > 0 && std::fmod(z - s.z0, s.pitch) > s.width)
            return false;
        const double outer = sq((x - s.c[0]) / s.s[0]) + sq((y - s.c[1]) / s.s[1]);
        const double inner = sq((x - s.c[0]) / (s.s[0] - s.t)) + sq((y - s.c[1]) / (s.s[1] - s.t));
        return outer <= 1 && inner > 1;
    }
    }
    return false;
}

// A box around the shape (reference cm): lo, hi.
void bounds(const Shape& s, double lo[3], double hi[3]) {
    switch (s.kind) {
    case Shape::Capsule:
        for (int i = 0; i < 3; ++i) {
            lo[i] = std::min(s.c[i], s.e[i]) - s.r;
            hi[i] = std::max(s.c[i], s.e[i]) + s.r;
        }
        return;
    case Shape::Cylinder: {
        const double f = std::max(1.0, s.taper);
        lo[0] = s.c[0] - s.s[0] * f, hi[0] = s.c[0] + s.s[0] * f;
        lo[1] = s.rests ? kBackY : s.c[1] - s.s[1] * f;
        hi[1] = s.rests ? kBackY + 2 * s.s[1] * f : s.c[1] + s.s[1] * f;
        lo[2] = std::min(s.z0, s.z1), hi[2] = std::max(s.z0, s.z1);
        return;
    }
    case Shape::CylinderShell:
        lo[0] = s.c[0] - s.s[0], hi[0] = s.c[0] + s.s[0];
        lo[1] = s.c[1] - s.s[1], hi[1] = s.c[1] + s.s[1];
        lo[2] = s.z0, hi[2] = s.z1;
        return;
    default:
        for (int i = 0; i < 3; ++i) {
            lo[i] = s.c[i] - s.s[i];
            hi[i] = s.c[i] + s.s[i];
        }
    }
}

struct Placed {
    std::uint8_t region;
    Shape shape;
};

// The body: trunk, neck, head, legs and arms (resting on the mattress), scrotum.
std::vector<Placed> bodyShapes() {
    std::vector<Placed> v;
    v.push_back({Residual, cylinder(0, 0, 6.2, 4.9, 0.0, 19.5)});
    v.push_back({Residual, cylinder(0, 0, 2.7, 2.6, 19.0, 23.0)});
    v.push_back({Residual, ellipsoid(0, 1.2, 27.3, 5.0, 6.1, 5.8)});
    for (double sx : {-1.0, 1.0}) {
        v.push_back({Residual, cylinder(2.7 * sx, 0, 2.9, 2.9, 0.5, -17.0, 1.6 / 2.9, true)});
        v.push_back({Residual, cylinder(7.2 * sx, 0, 1.55, 1.55, 19.0, 3.0, 1.1 / 1.55, true)});
    }
    v.push_back({Residual, ellipsoid(0, 1.2, -0.6, 1.1, 1.1, 1.1)});
    return v;
}

std::vector<Placed> boneShapes() {
    std::vector<Placed> v;
    Shape skull = ellipsoid(0, 1.2, 27.8, 4.5, 5.5, 4.85);
    skull.kind = Shape::EllipsoidShell;
    skull.t = 0.35;
    skull.z0 = 24.0;
    skull.faceCut = true;
    v.push_back({Cranium, skull});
    v.push_back({Mandible, capsule(-2.4, 4.4, 23.2, 2.4, 4.4, 23.2, 0.45)});
    v.push_back({Sacrum, cylinder(0, -3.3, 0.75, 0.7, 1.0, 3.5)});
    v.push_back({LumbarSpine, cylinder(0, -3.3, 0.75, 0.7, 3.5, 9.0)});
    v.push_back({ThoracicSpine, cylinder(0, -3.3, 0.75, 0.7, 9.0, 19.0)});
    v.push_back({CervicalSpine, cylinder(0, -1.4, 0.6, 0.55, 19.0, 22.3)});
    Shape ribs{Shape::CylinderShell, {0, 0, 0}, {5.5, 4.3, 0}};
    ribs.z0 = 10.0;
    ribs.z1 = 19.0;
    ribs.t = 0.3;
    ribs.pitch = 0.7;
    ribs.width = 0.35;
    v.push_back({Ribs, ribs});
    v.push_back({Sternum, box(0, 3.95, 15.0, 0.5, 0.2, 3.0)});
    for (double sx : {-1.0, 1.0}) {
        v.push_back({Clavicles, capsule(0.6 * sx, 3.0, 19.0, 4.6 * sx, 0.5, 19.3, 0.25)});
        v.push_back({Scapulae, box(3.3 * sx, -3.9, 16.5, 1.3, 0.15, 2.3)});
        v.push_back({Pelvis, box(3.2 * sx, -1.6, 3.0, 1.3, 0.25, 1.8)});
        v.push_back({Humeri, capsule(7.2 * sx, -3.55, 18.3, 7.2 * sx, -3.6, 11.5, 0.35)});
        v.push_back({Forearms, capsule(7.2 * sx, -3.7, 11.0, 7.2 * sx, -3.8, 5.0, 0.3)});
        v.push_back({Hands, capsule(7.2 * sx, -3.85, 4.5, 7.2 * sx, -3.9, 3.3, 0.35)});
        v.push_back({Femora, capsule(2.7 * sx, -2.4, -0.5, 2.7 * sx, -2.75, -8.0, 0.45)});
        v.push_back({LowerLegs, capsule(2.7 * sx, -2.9, -8.6, 2.7 * sx, -3.3, -14.8, 0.42)});
        v.push_back({Feet, capsule(2.7 * sx, -3.35, -15.2, 2.7 * sx, -3.4, -16.6, 0.45)});
    }
    v.push_back({Pelvis, capsule(-1.5, 2.9, 0.6, 1.5, 2.9, 0.6, 0.3)});
    return v;
}

// Organs in painting order: larger ones first, so that the smaller ones keep their shape.
std::vector<Placed> organShapes() {
    std::vector<Placed> v;
    v.push_back({BrainTissue, ellipsoid(0, 1.2, 27.8, 4.3, 5.3, 4.6)});
    for (double sx : {-1.0, 1.0}) {
        v.push_back({EyeBall, ellipsoid(1.7 * sx, 5.6, 27.0, 0.85, 0.85, 0.85)});
        v.push_back({Lens, ellipsoid(1.7 * sx, 6.3, 27.0, 0.3, 0.18, 0.3)});
        v.push_back({Salivary, ellipsoid(3.0 * sx, 2.0, 23.5, 0.7, 0.9, 1.1)});
        v.push_back({Thyroid, ellipsoid(0.6 * sx, 1.6, 20.8, 0.38, 0.4, 0.8)});
        v.push_back({Lungs, ellipsoid(3.0 * sx, 0.2, 14.8, 2.0, 3.7, 3.3)});
    }
    v.push_back({OralNasal, ellipsoid(0, 3.8, 24.6, 1.4, 1.2, 0.8)});
    v.push_back({Liver, ellipsoid(-1.6, 0.6, 9.0, 3.8, 3.0, 2.6)});
    v.push_back({SmallIntestine, ellipsoid(0.0, 1.2, 4.8, 2.8, 1.6, 1.6)});
    v.push_back({Heart, ellipsoid(0.7, 1.0, 13.0, 1.7, 1.5, 1.9)});
    v.push_back({Thymus, ellipsoid(0.0, 2.9, 17.0, 1.5, 0.9, 1.9)});
    v.push_back({Oesophagus, cylinder(0, -1.3, 0.3, 0.3, 11.5, 21.5)});
    v.push_back({Stomach, ellipsoid(2.9, 0.9, 10.2, 1.3, 1.1, 1.6)});
    v.push_back({Spleen, ellipsoid(4.0, -1.6, 10.0, 0.9, 1.2, 1.4)});
    v.push_back({Pancreas, ellipsoid(0.6, -0.8, 8.3, 2.2, 0.55, 0.6)});
    for (double sx : {-1.0, 1.0}) {
        v.push_back({Kidneys, ellipsoid(2.4 * sx, -2.6, 7.2, 1.2, 1.0, 2.3)});
        v.push_back({Adrenals, ellipsoid(2.2 * sx, -2.4, 9.9, 0.9, 0.55, 1.4)});
        v.push_back({Breasts, ellipsoid(2.8 * sx, 4.0, 15.5, 0.45, 0.25, 0.45)});
        v.push_back({Ovaries, ellipsoid(1.9 * sx, 0.2, 2.6, 0.5, 0.25, 0.3)});
        v.push_back({Testes, ellipsoid(0.5 * sx, 1.4, -0.9, 0.45, 0.45, 0.45)});
    }
    v.push_back({Colon, capsule(-3.9, 0.6, 2.5, -3.9, 0.6, 7.6, 0.55)});
    v.push_back({Colon, capsule(-3.9, 1.8, 7.9, 3.9, 1.8, 7.9, 0.55)});
    v.push_back({Colon, capsule(3.9, 0.6, 7.6, 3.9, 0.6, 2.5, 0.55)});
    v.push_back({Colon, capsule(3.9, 0.6, 2.5, 0.0, -2.0, 1.2, 0.45)});
    v.push_back({GallBladder, ellipsoid(-1.8, 2.9, 7.2, 0.45, 0.4, 0.7)});
    v.push_back({Bladder, ellipsoid(0, 2.2, 1.6, 0.95, 0.95, 0.95)});
    v.push_back({Uterus, ellipsoid(0, 0.6, 1.6, 0.9, 0.6, 1.6)});
    v.push_back({Prostate, ellipsoid(0, 1.3, 0.15, 0.55, 0.55, 0.55)});
    return v;
}

size_t index(int ix, int iy, int iz) {
    return (size_t(iz) * kGridSize[1] + iy) * kGridSize[0] + ix;
}

double centre(int axis, int i) {
    return kGridMin[axis] + (i + 0.5) * kVoxelCm;
}

// Paints a shape; `keep` regions are never overwritten.
template <class Keep> void paint(std::vector<std::uint8_t>& grid, const Placed& p, Keep&& keep) {
    double lo[3], hi[3];
    bounds(p.shape, lo, hi);
    int a[3], b[3];
    for (int k = 0; k < 3; ++k) {
        a[k] = std::max(0, int(std::floor((lo[k] - kGridMin[k]) / kVoxelCm)) - 1);
        b[k] = std::min(kGridSize[k] - 1, int(std::ceil((hi[k] - kGridMin[k]) / kVoxelCm)) + 1);
    }
    for (int iz = a[2]; iz <= b[2]; ++iz)
        for (int iy = a[1]; iy <= b[1]; ++iy)
            for (int ix = a[0]; ix <= b[0]; ++ix) {
                std::uint8_t& v = grid[index(ix, iy, iz)];
                if (!keep(v) && contains(p.shape, centre(0, ix), centre(1, iy), centre(2, iz)))
                    v = p.region;
            }
}

} // namespace

const RegionInfo& regionInfo(int region) {
    if (region < 0 || region >= kRegionCount)
        throw std::out_of_range("regionInfo");
    return kRegions[region];
}

double lengthScale(double massKg) {
    return std::cbrt(massKg / kReferenceMassKg);
}

Material material(MaterialId id) {
    // Mass fractions (per cent) of ICRU Report 46: Z, fraction.
    using F = std::vector<std::pair<int, double>>;
    auto make = [](const char* name, double density, const F& f) {
        Material m{name, density, {}};
        double sum = 0;
        for (const auto& [z, w] : f)
            sum += w;
        for (const auto& [z, w] : f)
            m.elements.push_back({z, w / sum});
        return m;
    };
    const F soft = {{1, 10.5}, {6, 25.6}, {7, 2.7}, {8, 60.2}, {11, 0.1}, {15, 0.2}, {16, 0.3}, {17, 0.2}, {19, 0.2}};
    switch (id) {
    case SoftTissue:
        return make("soft tissue (ICRU 46)", 1.03, soft);
    case Lung:
        return make("lung, inflated newborn", 0.30,
                    {{1, 10.3}, {6, 10.5}, {7, 3.1}, {8, 74.9}, {11, 0.2}, {15, 0.2}, {16, 0.3}, {17, 0.3}, {19, 0.2}});
    case Brain:
        return make("brain (ICRU 46)", 1.04,
                    {{1, 10.7}, {6, 14.5}, {7, 2.2}, {8, 71.2}, {11, 0.2}, {15, 0.4}, {16, 0.2}, {17, 0.3}, {19, 0.3}});
    case Skin:
        return make("skin (ICRU 46)", 1.09,
                    {{1, 10.0}, {6, 20.4}, {7, 4.2}, {8, 64.5}, {11, 0.2}, {15, 0.1}, {16, 0.2}, {17, 0.3}, {19, 0.1}});
    case Skeleton: {
        // Newborn skeleton as a mixture (ICRP 89 masses): 170 g mineralised bone (ICRU 46 cortical
        // bone, 1.92 g/cm3), 50 g active marrow (ICRU 46 red marrow, 1.03), 130 g cartilage
        // (ICRU 46 cartilage, 1.10).
        const F bone = {{1, 3.4}, {6, 15.5}, {7, 4.2}, {8, 43.5}, {11, 0.1}, {12, 0.2}, {15, 10.3}, {16, 0.3}, {20, 22.5}};
        const F marrow = {{1, 10.5}, {6, 41.4}, {7, 3.4}, {8, 43.9}, {15, 0.1}, {16, 0.2}, {17, 0.2}, {19, 0.2}, {26, 0.1}};
        const F cartilage = {{1, 9.6}, {6, 9.9}, {7, 2.2}, {8, 74.4}, {11, 0.5}, {15, 2.2}, {16, 0.9}, {17, 0.3}};
        const double mb = 170, mm = 50, mc = 130;
        F mix;
        auto add = [&](const F& f, double mass) {
            for (const auto& [z, w] : f) {
                auto it = std::find_if(mix.begin(), mix.end(), [&](const auto& e) { return e.first == z; });
                if (it == mix.end())
                    mix.push_back({z, w * mass});
                else
                    it->second += w * mass;
            }
        };
        add(bone, mb);
        add(marrow, mm);
        add(cartilage, mc);
        return make("newborn skeleton mixture", (mb + mm + mc) / (mb / 1.92 + mm / 1.03 + mc / 1.10), mix);
    }
    case Mattress:
        // Polyurethane foam (C27H36N2O10 by atoms) at 0.1 g/cm3.
        return materialFromFormula("polyurethane foam", 0.10, {{6, 27}, {1, 36}, {7, 2}, {8, 10}});
    default:
        throw std::invalid_argument("material: no material for this id");
    }
}

Material redMarrowMaterial() {
    Material m{"red marrow (ICRU 46)", 1.03, {}};
    const std::pair<int, double> f[] = {{1, 10.5}, {6, 41.4}, {7, 3.4}, {8, 43.9}, {15, 0.1},
                                        {16, 0.2}, {17, 0.2}, {19, 0.2}, {26, 0.1}};
    for (const auto& [z, w] : f)
        m.elements.push_back({z, w / 100.0});
    return m;
}

Phantom Phantom::build() {
    Phantom p;
    const auto body = bodyShapes();
    const auto bones = boneShapes();
    const auto organs = organShapes();
    std::array<double, kRegionCount> k;
    k.fill(1.0);
    double boneK = 1.0;
    for (int pass = 0; pass < 8; ++pass) {
        p.voxels_.assign(size_t(kGridSize[0]) * kGridSize[1] * kGridSize[2], Outside);
        const auto never = [](std::uint8_t) { return false; };
        for (const auto& s : body)
            paint(p.voxels_, s, never);
        // The mattress under the infant, across the whole grid.
        paint(p.voxels_, Placed{MattressFoam, box(0, kBackY - kMattressCm / 2, 8, 20, kMattressCm / 2, 40)},
              [](std::uint8_t v) { return v != Outside; });
        const auto keepBone = [](std::uint8_t v) { return v >= kFirstBoneSite; };
        for (const auto& s : bones)
            paint(p.voxels_, Placed{s.region, scaled(s.shape, boneK)}, never);
        for (const auto& s : organs)
            paint(p.voxels_, Placed{s.region, scaled(s.shape, k[s.region])}, keepBone);
        // Skin: every body voxel next to one outside the body.
        std::vector<size_t> skin;
        for (int iz = 0; iz < kGridSize[2]; ++iz)
            for (int iy = 0; iy < kGridSize[1]; ++iy)
                for (int ix = 0; ix < kGridSize[0]; ++ix) {
                    if (!isBody(p.voxels_[index(ix, iy, iz)]))
                        continue;
                    const auto outsideAt = [&](int x, int y, int z) {
                        return x < 0 || y < 0 || z < 0 || x >= kGridSize[0] || y >= kGridSize[1] ||
                               z >= kGridSize[2] || !isBody(p.voxels_[index(x, y, z)]);
                    };
                    // The 18 neighbours that share a face or an edge: a layer of about 1.2 voxels
                    // (0.09 cm at 3.5 kg), near the newborn's skin mass.
                    bool surface = false;
                    for (int dz = -1; dz <= 1 && !surface; ++dz)
                        for (int dy = -1; dy <= 1 && !surface; ++dy)
                            for (int dx = -1; dx <= 1 && !surface; ++dx)
                                surface = std::abs(dx) + std::abs(dy) + std::abs(dz) < 3 &&
                                          outsideAt(ix + dx, iy + dy, iz + dz);
                    if (surface)
                        skin.push_back(index(ix, iy, iz));
                }
        for (size_t i : skin)
            p.voxels_[i] = SkinLayer;
        p.measure();
        if (pass == 7)
            break;
        for (int r = 0; r < kRegionCount; ++r)
            if (kRegions[r].targetMassG > 0 && p.mass_[r] > 0)
                k[r] *= std::clamp(std::cbrt(kRegions[r].targetMassG / p.mass_[r]), 0.7, 1.4);
        double skeleton = 0;
        for (int r = kFirstBoneSite; r < kRegionCount; ++r)
            skeleton += p.mass_[r];
        boneK *= std::clamp(std::sqrt(kSkeletonMassG / skeleton), 0.7, 1.4);
    }
    return p;
}

void Phantom::measure() {
    std::array<double, kRegionCount> count{};
    std::array<std::array<double, 3>, kRegionCount> sum{};
    for (int iz = 0; iz < kGridSize[2]; ++iz)
        for (int iy = 0; iy < kGridSize[1]; ++iy)
            for (int ix = 0; ix < kGridSize[0]; ++ix) {
                const std::uint8_t r = voxels_[index(ix, iy, iz)];
                count[r] += 1;
                sum[r][0] += centre(0, ix);
                sum[r][1] += centre(1, iy);
                sum[r][2] += centre(2, iz);
            }
    double density[kMaterialCount] = {0};
    for (int m = 1; m < kMaterialCount; ++m)
        density[m] = material(MaterialId(m)).densityGcm3;
    const double v = kVoxelCm * kVoxelCm * kVoxelCm;
    for (int r = 0; r < kRegionCount; ++r) {
        mass_[r] = count[r] * v * density[kRegions[r].material];
        for (int a = 0; a < 3; ++a)
            centroid_[r][a] = count[r] > 0 ? sum[r][a] / count[r] : 0;
    }
}

double Phantom::totalMassG() const {
    double m = 0;
    for (int r = 1; r < kRegionCount; ++r)
        if (r != MattressFoam)
            m += mass_[r];
    return m;
}

double Phantom::anteriorSurfaceY(double z) const {
    const int iz = std::clamp(int((z - kGridMin[2]) / kVoxelCm), 0, kGridSize[2] - 1);
    const int ix = kGridSize[0] / 2;
    for (int iy = kGridSize[1] - 1; iy >= 0; --iy)
        if (isBody(region(ix, iy, iz)))
            return kGridMin[1] + (iy + 1) * kVoxelCm;
    return kBackY;
}

double Phantom::rightSurfaceX(double z) const {
    const int iz = std::clamp(int((z - kGridMin[2]) / kVoxelCm), 0, kGridSize[2] - 1);
    const int iy = int((0.0 - kGridMin[1]) / kVoxelCm);
    for (int ix = 0; ix < kGridSize[0]; ++ix)
        if (isBody(region(ix, iy, iz)))
            return kGridMin[0] + ix * kVoxelCm;
    return 0;
}

} // namespace tamso::refgen::phantom
