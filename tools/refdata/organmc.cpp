#include "tools/refdata/organmc.h"

#include "tools/refdata/materials.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace tamso::refgen {

using namespace phantom;

namespace {

// Mean fraction of the photon's energy given to the electron in a Klein-Nishina scattering.
double kleinNishinaTransfer(double energyKeV) {
    const double k = energyKeV / kElectronRestKeV;
    double num = 0, den = 0;
    const int n = 400;
    for (int i = 0; i <= n; ++i) {
        const double c = -1 + 2.0 * i / n;
        const double eps = 1 / (1 + k * (1 - c));
        const double w = (i == 0 || i == n) ? 0.5 : 1.0;
        const double ds = w * eps * eps * (eps + 1 / eps - (1 - c * c));
        num += ds * (1 - eps);
        den += ds;
    }
    return num / den;
}


// Coefficients of every material at one energy (1/cm).
struct Cache {
    double total[kMaterialCount], photo[kMaterialCount], coherent[kMaterialCount], incoherent[kMaterialCount];
    double maximum;
    double marrowRatio;
};

void fill(Cache& c, const PhantomMedia& media, double e, bool mattress) {
    c.maximum = 0;
    c.total[Void] = 0;
    for (int m = 1; m < kMaterialCount; ++m) {
        if (m == Mattress && !mattress) {
            c.total[m] = 0;
            continue;
        }
        const auto k = media.medium(m).coefficients(e);
        c.total[m] = k.total;
        c.photo[m] = k.photo;
        c.coherent[m] = k.coherent;
        c.incoherent[m] = k.incoherent;
        c.maximum = std::max(c.maximum, k.total);
    }
    c.marrowRatio = media.marrowToSkeleton(e);
}

} // namespace

PhantomMedia::PhantomMedia() {
    media_.resize(kMaterialCount);
    for (int m = 1; m < kMaterialCount; ++m)
        media_[m] = std::make_unique<Medium>(material(MaterialId(m)), 0.9, 152.0, 1500, 3000);
    marrow_ = std::make_unique<Medium>(redMarrowMaterial(), 0.9, 152.0, 1500, 3000);
    for (int i = 0; i < kRatioPoints; ++i)
        ratio_[i] = computeMarrowToSkeleton(0.9 * std::pow(152.0 / 0.9, double(i) / (kRatioPoints - 1)));
}

double PhantomMedia::marrowToSkeleton(double e) const {
    const double t = std::clamp(std::log(e / 0.9) / std::log(152.0 / 0.9) * (kRatioPoints - 1), 0.0,
                                kRatioPoints - 1 - 1e-9);
    const int i = int(t);
    return ratio_[i] + (t - i) * (ratio_[i + 1] - ratio_[i]);
}

double PhantomMedia::computeMarrowToSkeleton(double e) const {
    const double f = kleinNishinaTransfer(e);
    const auto m = marrow_->coefficients(e);
    const auto x = media_[Skeleton]->coefficients(e);
    const double rm = marrow_->material().densityGcm3, rx = media_[Skeleton]->material().densityGcm3;
    return ((m.photo + f * m.incoherent) / rm) / ((x.photo + f * x.incoherent) / rx);
}

namespace {

// The phantom's voxel grid scaled to the infant's mass (cm).
struct ScaledGrid {
    double scale, vox, lo[3], hi[3];

    explicit ScaledGrid(double massKg) : scale(lengthScale(massKg)), vox(kVoxelCm * scale) {
        for (int a = 0; a < 3; ++a) {
            lo[a] = kGridMin[a] * scale;
            hi[a] = lo[a] + kGridSize[a] * vox;
        }
    }
    bool outside(const double p[3]) const {
        return p[0] < lo[0] || p[0] >= hi[0] || p[1] < lo[1] || p[1] >= hi[1] || p[2] < lo[2] || p[2] >= hi[2];
    }
    std::uint8_t region(const Phantom& ph, const double p[3]) const {
        const int ix = int((p[0] - lo[0]) / vox), iy = int((p[1] - lo[1]) / vox), iz = int((p[2] - lo[2]) / vox);
        return ph.region(std::min(ix, kGridSize[0] - 1), std::min(iy, kGridSize[1] - 1),
                         std::min(iz, kGridSize[2] - 1));
    }
};

struct Photon {
    double p[3] = {0, 0, 0};
    Direction d{0, 0, 0};
    double e = 0, weight = 1;
};

// Starts a photon at a uniform point of the entrance plane; returns the tile it starts in.
int enterPhantom(const BeamGeometry& g, const ScaledGrid& grid, Random& rng, Photon& ph) {
    const double pu = g.u0 + rng.uniform() * g.nu * g.tileCm; // reference cm
    const double pz = g.z0 + rng.uniform() * g.nz * g.tileCm;
    const int tile = std::min(g.nz - 1, int((pz - g.z0) / g.tileCm)) * g.nu +
                     std::min(g.nu - 1, int((pu - g.u0) / g.tileCm));
    const double s = grid.scale;
    switch (g.direction) {
    case BeamGeometry::Anterior:
        ph.p[0] = pu * s, ph.p[1] = grid.hi[1] - 1e-9, ph.p[2] = pz * s, ph.d = {0, -1, 0};
        break;
    case BeamGeometry::Posterior:
        ph.p[0] = pu * s, ph.p[1] = grid.lo[1] + 1e-9, ph.p[2] = pz * s, ph.d = {0, 1, 0};
        break;
    case BeamGeometry::RightLateral:
        ph.p[0] = grid.lo[0] + 1e-9, ph.p[1] = pu * s, ph.p[2] = pz * s, ph.d = {1, 0, 0};
        break;
    }
    return tile;
}

struct Interaction {
    double deposit = 0; // keV, weighted
    double cosT = 1;
    bool ends = false;
};

// A real interaction in material m: the photoelectric share is absorbed here (survival
// weighting), the photon scatters coherently or incoherently, and ends below the cutoff or in
// Russian roulette.
Interaction interact(Photon& ph, const Cache& c, int m, const Medium& medium, Random& rng) {
    Interaction hit;
    hit.deposit = ph.weight * ph.e * c.photo[m] / c.total[m];
    ph.weight *= 1 - c.photo[m] / c.total[m];
    if (rng.uniform() * (c.coherent[m] + c.incoherent[m]) < c.coherent[m]) {
        hit.cosT = medium.sampleCoherent(ph.e, rng);
    } else {
        double ratio = 1;
        hit.cosT = medium.sampleIncoherent(ph.e, rng, ratio);
        hit.deposit += ph.weight * ph.e * (1 - ratio);
        ph.e *= ratio;
    }
    if (ph.e < kCutoffKeV) {
        hit.deposit += ph.weight * ph.e;
        hit.ends = true;
    } else if (ph.weight < 0.01) {
        if (rng.uniform() < 0.1)
            ph.weight *= 10;
        else
            hit.ends = true;
    }
    return hit;
}

constexpr int kColumns = TileScores::kColumns;

// Energy deposited per column in one history; only the columns it touched are visited when the
// history is added to its tile.
class HistoryTally {
public:
    void add(int column, double v) {
        if (!seen_[column]) {
            seen_[column] = true;
            touched_[touchedCount_++] = column;
        }
        h_[column] += v;
    }
    void addToTile(TileScores& out, int tile) {
        for (int i = 0; i < touchedCount_; ++i) {
            const int col = touched_[i];
            out.sum[size_t(tile) * kColumns + col] += h_[col];
            out.sumSq[size_t(tile) * kColumns + col] += h_[col] * h_[col];
            h_[col] = 0;
            seen_[col] = false;
        }
        touchedCount_ = 0;
    }

private:
    std::array<double, kColumns> h_{};
    std::array<int, kColumns> touched_{};
    std::array<bool, kColumns> seen_{};
    int touchedCount_ = 0;
};

// What every history of one simulation shares.
struct TileTransport {
    const Phantom& ph;
    const PhantomMedia& media;
    const BeamGeometry& g;
    ScaledGrid grid;
    Cache start;
    std::array<std::uint8_t, kRegionCount> materialOf{};

    TileTransport(const Phantom& phantom, const PhantomMedia& m, const BeamGeometry& geometry, double e0)
        : ph(phantom), media(m), g(geometry), grid(geometry.massKg) {
        fill(start, media, e0, g.mattress);
        for (int r = 0; r < kRegionCount; ++r)
            materialOf[r] = regionInfo(r).material;
    }

    // Follows one photon (Woodcock tracking) until it leaves the grid or its history ends.
    void track(Photon& photon, Cache& c, Random& rng, HistoryTally& tally) const {
        c = start;
        for (;;) {
            const double step = -std::log(rng.uniformOpen()) / c.maximum;
            double* p = photon.p;
            const Direction& d = photon.d;
            p[0] += d.u * step, p[1] += d.v * step, p[2] += d.w * step;
            if (grid.outside(p))
                break;
            const std::uint8_t r = grid.region(ph, p);
            const int m = materialOf[r];
            if (rng.uniform() * c.maximum >= c.total[m])
                continue; // virtual collision
            const Interaction hit = interact(photon, c, m, media.medium(m), rng);
            if (r != MattressFoam) {
                tally.add(r, hit.deposit);
                if (r >= kFirstBoneSite)
                    tally.add(kRegionCount + (r - kFirstBoneSite), hit.deposit * c.marrowRatio);
            }
            if (hit.ends)
                break;
            photon.d = rotate(photon.d, hit.cosT, rng);
            fill(c, media, photon.e, g.mattress);
        }
    }

    void runStream(Random& rng, long long histories, double e0, TileScores& out) const {
        const int tiles = g.nu * g.nz;
        out.sum.assign(size_t(tiles) * kColumns, 0.0);
        out.sumSq.assign(size_t(tiles) * kColumns, 0.0);
        HistoryTally tally;
        Cache c;
        for (long long n = 0; n < histories; ++n) {
            Photon photon;
            const int tile = enterPhantom(g, grid, rng, photon);
            photon.e = e0;
            track(photon, c, rng, tally);
            tally.addToTile(out, tile);
        }
    }
};

// The streams' scores summed in a fixed order: independent of the number of threads.
TileScores sumStreams(const std::vector<TileScores>& parts, int tiles, long long histories) {
    TileScores total;
    total.histories = histories;
    total.tiles = tiles;
    total.sum.assign(size_t(tiles) * kColumns, 0.0);
    total.sumSq.assign(size_t(tiles) * kColumns, 0.0);
    for (const auto& part : parts)
        for (size_t i = 0; i < total.sum.size(); ++i) {
            total.sum[i] += part.sum[i];
            total.sumSq[i] += part.sumSq[i];
        }
    return total;
}

} // namespace

TileScores simulateTiles(const Phantom& ph, const PhantomMedia& media, const BeamGeometry& g, double e0,
                         long long histories, int streams, int threads, std::uint64_t seed, std::uint64_t taskKey) {
    const TileTransport transport(ph, media, g, e0);
    const long long perStream = (histories + streams - 1) / streams;
    std::vector<TileScores> parts(streams);
    runParallel(streams, threads, [&](int stream) {
        Random rng(streamSeed(seed, taskKey, stream));
        transport.runStream(rng, perStream, e0, parts[stream]);
    });
    return sumStreams(parts, g.nu * g.nz, perStream * streams);
}

namespace {

// Per-history organ value (keV/g) of one tile: energy over the organ's mass, the marrow of the bone
// sites weighted by their share of the active marrow, the bone surface as the skeleton mixture.
struct OrganMap {
    std::array<std::vector<std::pair<int, double>>, kOrganCount> columns; // column, factor (1/g)
};

OrganMap organMap(const Phantom& ph, double massScale) {
    using namespace engine;
    OrganMap m;
    const std::pair<int, int> direct[] = {
        {engine::Brain, BrainTissue}, {engine::EyeLens, Lens},       {engine::Thyroid, phantom::Thyroid},
        {SalivaryGlands, Salivary}, {engine::OralNasal, phantom::OralNasal}, {engine::Oesophagus, phantom::Oesophagus},
        {engine::Thymus, phantom::Thymus}, {engine::Lungs, phantom::Lungs}, {engine::Heart, phantom::Heart},
        {engine::Breasts, phantom::Breasts}, {engine::Liver, phantom::Liver}, {engine::GallBladder, phantom::GallBladder},
        {engine::Stomach, phantom::Stomach}, {engine::Spleen, phantom::Spleen}, {engine::Pancreas, phantom::Pancreas},
        {engine::Adrenals, phantom::Adrenals}, {engine::Kidneys, phantom::Kidneys},
        {engine::SmallIntestine, phantom::SmallIntestine}, {engine::Colon, phantom::Colon},
        {UrinaryBladder, Bladder}, {engine::Testes, phantom::Testes}, {engine::Ovaries, phantom::Ovaries},
        {engine::Uterus, phantom::Uterus}, {engine::Prostate, phantom::Prostate}, {engine::Skin, SkinLayer},
        {Muscle, Residual}};
    for (const auto& [organ, region] : direct)
        m.columns[organ].push_back({region, 1.0 / (ph.massG(region) * massScale)});
    double fractions = 0, skeleton = 0;
    for (int r = kFirstBoneSite; r < kRegionCount; ++r) {
        fractions += regionInfo(r).marrowFraction;
        skeleton += ph.massG(r);
    }
    for (int r = kFirstBoneSite; r < kRegionCount; ++r) {
        m.columns[RedMarrow].push_back(
            {kRegionCount + r - kFirstBoneSite, regionInfo(r).marrowFraction / fractions / (ph.massG(r) * massScale)});
        m.columns[BoneSurface].push_back({r, 1.0 / (skeleton * massScale)});
    }
    return m;
}

} // namespace

std::vector<OrganTile> organDosesPerKerma(const Phantom& ph, const TileScores& s, const BeamGeometry& g,
                                          double energyKeV, double airMuEnRho) {
    const double scale = lengthScale(g.massKg);
    const OrganMap map = organMap(ph, scale * scale * scale);
    const double area = g.nu * g.nz * g.tileCm * g.tileCm * scale * scale; // cm2
    const double fluence = double(s.histories) / area;
    const double kerma = fluence * energyKeV * airMuEnRho;
    std::vector<OrganTile> out(size_t(s.tiles));
    for (int t = 0; t < s.tiles; ++t)
        for (int o = 0; o < kOrganCount; ++o) {
            double v = 0;
            for (const auto& [col, f] : map.columns[o])
                v += f * s.sum[size_t(t) * TileScores::kColumns + col];
            out[size_t(t)].dose[o] = v / kerma;
        }
    return out;
}

FieldDoses fieldDoses(const Phantom& ph, const TileScores& s, const BeamGeometry& g, double energyKeV,
                      double airMuEnRho, double uLo, double uHi, double zLo, double zHi) {
    const double scale = lengthScale(g.massKg);
    const OrganMap map = organMap(ph, scale * scale * scale);
    const double area = g.nu * g.nz * g.tileCm * g.tileCm * scale * scale;
    const double n = double(s.histories);
    const double kerma = n / area * energyKeV * airMuEnRho;
    FieldDoses out;
    std::array<double, kOrganCount> var{};
    for (int t = 0; t < s.tiles; ++t) {
        const double u = g.u0 + (t % g.nu + 0.5) * g.tileCm, z = g.z0 + (t / g.nu + 0.5) * g.tileCm;
        if (u < uLo || u > uHi || z < zLo || z > zHi)
            continue;
        for (int o = 0; o < kOrganCount; ++o)
            for (const auto& [col, f] : map.columns[o]) {
                const size_t i = size_t(t) * TileScores::kColumns + col;
                out.dose[o] += f * s.sum[i];
                // Columns of one organ from one tile are summed per history only approximately
                // (marrow sites are taken as independent): enough for the error estimate.
                var[o] += f * f * (s.sumSq[i] - s.sum[i] * s.sum[i] / n);
            }
    }
    for (int o = 0; o < kOrganCount; ++o) {
        out.relError[o] = out.dose[o] > 0 ? std::sqrt(std::max(0.0, var[o])) / out.dose[o] : 0;
        out.dose[o] /= kerma;
    }
    return out;
}

std::array<double, kOrganCount> organDepthCoordinates(const Phantom& ph, bool lateral) {
    using namespace engine;
    const int axis = lateral ? 0 : 1;
    std::array<double, kOrganCount> c{};
    const OrganMap map = organMap(ph, 1.0);
    for (int o = 0; o < kOrganCount; ++o) {
        double sum = 0, weight = 0;
        for (const auto& [col, f] : map.columns[o]) {
            const int region = col >= kRegionCount ? kFirstBoneSite + (col - kRegionCount) : col;
            const double w = f * ph.massG(region); // marrow: share of marrow; others: mass fraction
            sum += w * ph.centroid(region)[axis];
            weight += w;
        }
        c[o] = weight > 0 ? sum / weight : 0;
    }
    // The skin is irradiated where the beam enters: no inverse-square correction.
    c[engine::Skin] = lateral ? -99 : 99;
    return c;
}

} // namespace tamso::refgen
