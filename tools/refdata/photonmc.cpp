#include "tools/refdata/photonmc.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace tamso::refgen {

namespace {

std::uint64_t splitmix(std::uint64_t& x) {
    std::uint64_t z = (x += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::uint64_t rotl(std::uint64_t x, int k) {
    return (x << k) | (x >> (64 - k));
}

// One scattering event at energy e: new direction cosine and energy.
double scatter(const Medium& medium, const Medium::Coefficients& c, double& e, Random& rng) {
    if (rng.uniform() * (c.coherent + c.incoherent) < c.coherent)
        return medium.sampleCoherent(e, rng);
    double ratio = 1.0;
    const double cosT = medium.sampleIncoherent(e, rng, ratio);
    e *= ratio;
    return cosT;
}

// Russian roulette on low weights; returns false when the photon is dropped.
bool roulette(double& weight, Random& rng) {
    if (weight >= 0.01)
        return true;
    if (rng.uniform() < 0.1) {
        weight *= 10.0;
        return true;
    }
    return false;
}

struct RingStream {
    std::array<double, kRings> ring{};
    double sum = 0, sumSq = 0;
};

RingStream backscatterStream(const Medium& water, const NistTable& waterEn, double e0, long long histories,
                             std::uint64_t seed) {
    Random rng(seed);
    RingStream out;
    for (long long h = 0; h < histories; ++h) {
        double e = e0, weight = 1.0, score = 0.0;
        double x = 0, y = 0, z = 0;
        Direction d{0, 0, 1};
        for (;;) {
            const Medium::Coefficients c = water.coefficients(e);
            const double s = -std::log(rng.uniformOpen()) / c.total;
            const double zn = z + d.w * s;
            if (zn < 0.0) {
                const double t = -z / d.w;
                const double r = std::hypot(x + d.u * t, y + d.v * t);
                double cosAbs = std::fabs(d.w);
                if (cosAbs < 0.1)
                    cosAbs = 0.05;
                const int j = int(r / kRingWidthCm);
                if (j < kRings) {
                    const double value = weight * e * waterEn.muEnRho(e) / cosAbs;
                    out.ring[j] += value;
                    score += value;
                }
                break;
            }
            if (zn > kSlabThicknessCm)
                break;
            x += d.u * s;
            y += d.v * s;
            z = zn;
            weight *= 1.0 - c.photo / c.total;
            const double cosT = scatter(water, c, e, rng);
            if (e < kCutoffKeV || !roulette(weight, rng))
                break;
            d = rotate(d, cosT, rng);
        }
        out.sum += score;
        out.sumSq += score * score;
    }
    return out;
}

} // namespace

Direction rotate(const Direction& d, double cosT, Random& rng) {
    const double sinT = std::sqrt(std::max(0.0, 1.0 - cosT * cosT));
    const double phi = 2.0 * 3.14159265358979323846 * rng.uniform();
    const double cp = std::cos(phi), sp = std::sin(phi);
    const double t = 1.0 - d.w * d.w;
    if (t < 1e-12) {
        const double sgn = d.w < 0 ? -1.0 : 1.0;
        return {sinT * cp, sinT * sp, sgn * cosT};
    }
    const double s = std::sqrt(t);
    Direction n{d.u * cosT + sinT * (d.u * d.w * cp - d.v * sp) / s,
                d.v * cosT + sinT * (d.v * d.w * cp + d.u * sp) / s, d.w * cosT - sinT * s * cp};
    const double norm = std::sqrt(n.u * n.u + n.v * n.v + n.w * n.w);
    return {n.u / norm, n.v / norm, n.w / norm};
}

Random::Random(std::uint64_t seed) {
    for (auto& s : s_)
        s = splitmix(seed);
}

std::uint64_t Random::next() {
    const std::uint64_t result = rotl(s_[1] * 5, 7) * 9;
    const std::uint64_t t = s_[1] << 17;
    s_[2] ^= s_[0];
    s_[3] ^= s_[1];
    s_[1] ^= s_[2];
    s_[0] ^= s_[3];
    s_[2] ^= t;
    s_[3] = rotl(s_[3], 45);
    return result;
}

std::uint64_t streamSeed(std::uint64_t baseSeed, std::uint64_t taskKey, std::uint64_t stream) {
    std::uint64_t x = baseSeed;
    std::uint64_t h = splitmix(x);
    x = h ^ (taskKey * 0xD1B54A32D192ED03ull);
    h = splitmix(x);
    x = h ^ (stream * 0x8CB92BA72F3D8DD7ull);
    return splitmix(x);
}

std::vector<BackscatterResult> simulateBackscatter(const Medium& water, const NistTable& waterEn,
                                                   const std::vector<double>& energiesKeV,
                                                   const std::vector<std::uint64_t>& taskKeys,
                                                   const BackscatterSettings& settings) {
    if (taskKeys.size() != energiesKeV.size() || settings.streams < 1 || settings.threads < 1)
        throw std::invalid_argument("simulateBackscatter: inconsistent settings");
    const int nE = int(energiesKeV.size());
    const int nS = settings.streams;
    const long long perStream = (settings.histories + nS - 1) / nS;
    std::vector<RingStream> streams(size_t(nE) * nS);
    runParallel(nE * nS, settings.threads, [&](int job) {
        const int k = job / nS, s = job % nS;
        streams[job] = backscatterStream(water, waterEn, energiesKeV[k], perStream,
                                         streamSeed(settings.seed, taskKeys[k], s));
    });
    std::vector<BackscatterResult> results(nE);
    for (int k = 0; k < nE; ++k) {
        BackscatterResult& r = results[k];
        r.energyKeV = energiesKeV[k];
        r.histories = perStream * nS;
        double sum = 0, sumSq = 0;
        for (int s = 0; s < nS; ++s) { // fixed order: the merge does not depend on threads
            const RingStream& st = streams[size_t(k) * nS + s];
            for (int j = 0; j < kRings; ++j)
                r.ring[j] += st.ring[j];
            sum += st.sum;
            sumSq += st.sumSq;
        }
        const double n = double(r.histories);
        const double norm = energiesKeV[k] * waterEn.muEnRho(energiesKeV[k]);
        for (int j = 0; j < kRings; ++j)
            r.ring[j] /= n * norm;
        const double mean = sum / n;
        const double var = std::max(0.0, sumSq / n - mean * mean);
        r.total = mean / norm;
        r.totalStdError = std::sqrt(var / (n - 1)) / norm;
    }
    return results;
}

namespace {

// The photon spectrum as a cumulative table for sampling energies (bin i = 0.5 i keV, i >= 2).
struct SpectrumSampler {
    std::vector<double> cdf;
    double total = 0;

    explicit SpectrumSampler(const std::vector<double>& binWeights) : cdf(binWeights.size(), 0.0) {
        for (size_t i = 2; i < binWeights.size(); ++i) {
            total += std::max(0.0, binWeights[i]);
            cdf[i] = total;
        }
        if (total <= 0)
            throw std::invalid_argument("simulateHoodScatter: empty spectrum");
    }
    double sample(Random& rng) const {
        const double target = rng.uniform() * total;
        const size_t bin = size_t(std::upper_bound(cdf.begin() + 2, cdf.end(), target) - cdf.begin());
        return 0.5 * double(std::min(bin, cdf.size() - 1));
    }
};

// The scatter behind the hood, from the focus along the axis (cm): the hood from z0 to z1, the
// skin point at zSkin, the field's half width at the hood.
class HoodScatter {
public:
    HoodScatter(const Medium& pmma, const NistTable& air, const std::vector<double>& binWeights,
                const HoodGeometry& g)
        : pmma_(pmma), air_(air), g_(g), spectrum_(binWeights), z0(g.focusHoodCm),
          z1(g.focusHoodCm + g.hoodThicknessCm), zSkin(g.focusHoodCm + g.hoodSkinCm) {
        const double zReceptor = zSkin + g.skinReceptorCm;
        halfAtHood = 0.5 * std::sqrt(g.receptorAreaCm2) * z0 / zReceptor;
    }

    // Primary air kerma at the skin point per photon emitted per steradian.
    double primary(const std::vector<double>& binWeights) const {
        double primary = 0;
        for (size_t i = 2; i < binWeights.size(); ++i) {
            if (binWeights[i] <= 0)
                continue;
            const double e = 0.5 * double(i);
            primary += binWeights[i] / spectrum_.total * e * air_.muEnRho(e) *
                       std::exp(-pmma_.totalLinear(e) * g_.hoodThicknessCm);
        }
        return primary / (zSkin * zSkin);
    }

    // The scattered air kerma that one photon sends to the skin point (next-event estimates).
    double history(Random& rng) const {
        double e = spectrum_.sample(rng);
        // Uniform point on the hood's field square; photons per area ~ cos^3 / z0^2.
        double x = (2.0 * rng.uniform() - 1.0) * halfAtHood;
        double y = (2.0 * rng.uniform() - 1.0) * halfAtHood;
        double z = z0;
        const double len = std::sqrt(x * x + y * y + z0 * z0);
        Direction d{x / len, y / len, z0 / len};
        double weight = d.w * d.w * d.w; // cos^3
        // Forced first interaction inside the hood.
        Medium::Coefficients c = pmma_.coefficients(e);
        const double pathOut = g_.hoodThicknessCm / d.w;
        const double pInteract = -std::expm1(-c.total * pathOut);
        weight *= pInteract;
        double s = -std::log1p(-rng.uniform() * pInteract) / c.total;
        double score = 0;
        for (;;) {
            x += d.u * s;
            y += d.v * s;
            z += d.w * s;
            score += nextEventScore(x, y, z, d, e, weight, c.total);
            // Survival and the real scattering.
            weight *= 1.0 - c.photo / c.total;
            const double cosS = scatter(pmma_, c, e, rng);
            if (e < kCutoffKeV || !roulette(weight, rng))
                break;
            d = rotate(d, cosS, rng);
            c = pmma_.coefficients(e);
            s = -std::log(rng.uniformOpen()) / c.total;
            const double zn = z + d.w * s;
            if (zn < z0 || zn > z1)
                break;
        }
        return score;
    }

    // Photons per unit intensity that one of n samples stands for: area / n * cos^3 / z0^2.
    double sampleScale(double n) const { return 4.0 * halfAtHood * halfAtHood / (n * z0 * z0); }

private:
    // Next-event estimate of the air kerma at the skin point from a photon of this weight
    // interacting at (x, y, z): coherent and incoherent scattering towards the point, attenuated
    // through the rest of the hood, over the squared distance.
    double nextEventScore(double x, double y, double z, const Direction& d, double e, double weight,
                          double totalLinear) const {
        const double dx = -x, dy = -y, dz = zSkin - z;
        const double r2 = dx * dx + dy * dy + dz * dz;
        const double r = std::sqrt(r2);
        const double wz = dz / r;
        const double cosT = (d.u * dx + d.v * dy + d.w * dz) / r;
        const double inHood = (z1 - z) / wz;
        const double eInc = e / (1.0 + e / kElectronRestKeV * (1.0 - cosT));
        double contribution =
            pmma_.coherentPerSr(e, cosT) * std::exp(-pmma_.totalLinear(e) * inHood) * e * air_.muEnRho(e);
        if (eInc >= kCutoffKeV)
            contribution += pmma_.incoherentPerSr(e, cosT) * std::exp(-pmma_.totalLinear(eInc) * inHood) * eInc *
                            air_.muEnRho(eInc);
        return weight * contribution / (totalLinear * r2);
    }

    const Medium& pmma_;
    const NistTable& air_;
    const HoodGeometry& g_;
    SpectrumSampler spectrum_;
    double z0, z1, zSkin, halfAtHood = 0;
};

} // namespace

ScatterRatioResult simulateHoodScatter(const Medium& pmma, const NistTable& air,
                                       const std::vector<double>& binWeights, const HoodGeometry& g,
                                       long long histories, int streams, int threads, std::uint64_t seed,
                                       std::uint64_t taskKey) {
    const HoodScatter hood(pmma, air, binWeights, g);
    const double primary = hood.primary(binWeights);
    struct Sums {
        double sum = 0, sumSq = 0;
    };
    const long long perStream = (histories + streams - 1) / streams;
    std::vector<Sums> out(streams);
    runParallel(streams, threads, [&](int s) {
        Random rng(streamSeed(seed, taskKey, s));
        Sums acc;
        for (long long h = 0; h < perStream; ++h) {
            const double score = hood.history(rng);
            acc.sum += score;
            acc.sumSq += score * score;
        }
        out[s] = acc;
    });
    double sum = 0, sumSq = 0;
    for (const Sums& st : out) {
        sum += st.sum;
        sumSq += st.sumSq;
    }
    const double n = double(perStream) * streams;
    const double scale = hood.sampleScale(n);
    const double mean = sum / n;
    const double var = std::max(0.0, sumSq / n - mean * mean);
    ScatterRatioResult result;
    result.histories = (long long)n;
    result.ratio = sum * scale / primary;
    result.stdError = std::sqrt(var / (n - 1)) * n * scale / primary;
    return result;
}

} // namespace tamso::refgen
