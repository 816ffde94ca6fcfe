#pragma once
// Our own photon Monte Carlo: backscatter from a water slab (ring tallies for the monoenergetic
// differential backscatter factors) and the scatter-to-primary ratio behind the incubator hood
// (point-detector estimator). Random streams are fixed in number and seeded from a base seed, so
// results are bit-for-bit the same whatever the number of worker threads.

#include "tools/refdata/materials.h"
#include "tools/refdata/nisttable.h"

#include <array>
#include <cstdint>
#include <vector>

namespace tamso::refgen {

// xoshiro256** with splitmix64 seeding.
class Random {
public:
    explicit Random(std::uint64_t seed);
    std::uint64_t next();
    double uniform() { return double(next() >> 11) * 0x1.0p-53; }             // [0, 1)
    double uniformOpen() { return (double(next() >> 11) + 0.5) * 0x1.0p-53; } // (0, 1)
    double operator()() { return uniform(); }

private:
    std::uint64_t s_[4];
};

// Seed of one stream: a hash of the base seed, a task key and the stream number.
std::uint64_t streamSeed(std::uint64_t baseSeed, std::uint64_t taskKey, std::uint64_t stream);

// A photon's direction of flight (unit vector).
struct Direction {
    double u, v, w;
};
// Turns the direction by the polar angle with cosine cosT and a uniform azimuth.
Direction rotate(const Direction& d, double cosT, Random& rng);

// Runs jobs 0..count-1 on `threads` worker threads; each job writes only its own result slot.
template <class Job> void runParallel(int count, int threads, Job&& job);

constexpr int kRings = 300;
constexpr double kRingWidthCm = 0.1;
constexpr double kSlabThicknessCm = 15.0;
constexpr double kCutoffKeV = 1.0;

struct BackscatterResult {
    double energyKeV = 0;
    long long histories = 0;
    std::array<double, kRings> ring{}; // contribution of ring j+1 to (BSF - 1)
    double total = 0;                  // sum over the rings
    double totalStdError = 0;          // standard error of `total`
};

struct BackscatterSettings {
    long long histories = 1000000; // per energy, split evenly over the streams
    int streams = 64;
    int threads = 2;
    std::uint64_t seed = 20240601;
};

// Pencil beam at normal incidence on a laterally infinite water slab; every photon that leaves
// through the entrance plane scores E' * muen/rho(E') / |cos| (|cos| < 0.1 counts as 0.05) in
// the ring of its exit radius; ring sums are divided by N * E0 * muen/rho(E0).
// taskKeys give each energy its own random streams (use the energy's column number).
std::vector<BackscatterResult> simulateBackscatter(const Medium& water, const NistTable& waterEn,
                                                   const std::vector<double>& energiesKeV,
                                                   const std::vector<std::uint64_t>& taskKeys,
                                                   const BackscatterSettings& settings);

struct HoodGeometry {
    double focusHoodCm = 60.0;
    double hoodThicknessCm = 0.6;
    double hoodSkinCm = 10.0;     // skin point at focusHood + hoodSkin on the axis
    double skinReceptorCm = 10.0; // image receptor beyond the skin
    double receptorAreaCm2 = 100; // square field, area at the receptor
};

struct ScatterRatioResult {
    double ratio = 0;
    double stdError = 0;
    long long histories = 0;
};

// Scatter-to-primary ratio of air kerma at the skin point. Source: point focus emitting the
// photon spectrum `binWeights` (bin i = 0.5 i keV, photons per bin) into the square field.
ScatterRatioResult simulateHoodScatter(const Medium& pmma, const NistTable& air,
                                       const std::vector<double>& binWeights, const HoodGeometry& geometry,
                                       long long histories, int streams, int threads, std::uint64_t seed,
                                       std::uint64_t taskKey);

} // namespace tamso::refgen

#include <atomic>
#include <thread>

template <class Job> void tamso::refgen::runParallel(int count, int threads, Job&& job) {
    std::atomic<int> nextJob{0};
    auto worker = [&] {
        for (int j = nextJob++; j < count; j = nextJob++)
            job(j);
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t)
        pool.emplace_back(worker);
    worker();
    for (auto& th : pool)
        th.join();
}
