#include "tools/refdata/organtables.h"

#include "refdata/organdosefile.h"
#include "textio/fileio.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace tamso::refgen {

using namespace phantom;

namespace {

std::string num(double v, const char* format = "%.5g") {
    char buf[40];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

BeamGeometry planeOf(int projection, double massKg) {
    BeamGeometry g;
    g.massKg = massKg;
    if (projection == 1) {
        g.direction = BeamGeometry::RightLateral;
        g.u0 = -5.0;
        g.nu = 7;
    }
    return g;
}

// Field centres of the body parts (reference cm): chest on the lungs, abdomen from the diaphragm to
// the pubis, chest and abdomen from the shoulders to the pubis, head on the skull.
struct PartCentre {
    const char* name;
    double z, y;
};
const PartCentre kParts[4] = {{"chest", 14.8, 0.0}, {"abdomen", 5.4, 0.0}, {"chest and abdomen", 9.8, 0.0},
                              {"head", 27.3, 1.2}};

double airMuEn(const NistTable& air, double e) {
    return air.muEnRho(e);
}

} // namespace

std::vector<double> organTableWeights() {
    return {0.5, 1.0, 2.0, 4.0};
}

std::vector<double> organTableEnergies() {
    return {15, 20, 25, 30, 35, 40, 50, 60, 70, 80, 100, 150};
}

void reportPhantom(const Phantom& ph, std::ostream& log) {
    log << "phantom at 3.5 kg: body " << num(ph.totalMassG(), "%.0f") << " g\n";
    double skeleton = 0;
    for (int r = 1; r < kRegionCount; ++r) {
        const auto& info = regionInfo(r);
        if (r >= kFirstBoneSite)
            skeleton += ph.massG(r);
        log << "  " << info.name << ": " << num(ph.massG(r), "%.3g") << " g";
        if (info.targetMassG > 0)
            log << " (reference " << num(info.targetMassG, "%.3g") << " g, "
                << num(100 * (ph.massG(r) / info.targetMassG - 1), "%+.1f") << " %)";
        log << "\n";
    }
    log << "  skeleton (mixture): " << num(skeleton, "%.0f") << " g\n";
}

void generateOrganTables(const OrganTableSettings& s, std::ostream& log) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const Phantom ph = Phantom::build();
    reportPhantom(ph, log);
    const PhantomMedia media;
    const NistTable air = NistTable::load(s.nistFolder / "air.csv");
    const auto weights = organTableWeights();
    const auto energies = organTableEnergies();

    engine::OrganDoseTable table;
    table.weightsKg = weights;
    table.energiesKeV = energies;
    for (int p = 0; p < 2; ++p) {
        const BeamGeometry g = planeOf(p, 3.5);
        table.planes[p] = {g.nu, g.nz, g.u0, g.z0, g.tileCm};
        table.depthCoordinate[p] = organDepthCoordinates(ph, p == 1);
    }
    for (int k = 0; k < 4; ++k) {
        auto& part = table.parts[k];
        part.zCentre = kParts[k].z;
        part.uCentre[0] = 0;
        part.uCentre[1] = kParts[k].y;
        part.skin[0] = ph.anteriorSurfaceY(kParts[k].z);
        part.skin[1] = ph.rightSurfaceX(kParts[k].z);
    }
    size_t total = 0;
    for (int p = 0; p < 2; ++p)
        total += weights.size() * energies.size() * size_t(table.planes[p].nu * table.planes[p].nz);
    table.values.assign(total * engine::kOrganCount, 0.0);
    for (int p = 0; p < 2; ++p)
        for (size_t w = 0; w < weights.size(); ++w)
            for (size_t e = 0; e < energies.size(); ++e) {
                const BeamGeometry g = planeOf(p, weights[w]);
                const auto scores = simulateTiles(ph, media, g, energies[e], s.histories, s.streams, s.threads,
                                                  s.seed, 100000 + 1000 * p + 100 * w + e);
                const auto tiles = organDosesPerKerma(ph, scores, g, energies[e], airMuEn(air, energies[e]));
                for (size_t t = 0; t < tiles.size(); ++t)
                    for (int o = 0; o < engine::kOrganCount; ++o)
                        table.values[table.offset(p, int(w), int(e), int(t)) + o] = tiles[t].dose[o];
                // Statistics of a chest field (3.5 kg-like, 10 x 12 cm at the skin) for the log.
                const double sc = lengthScale(weights[w]);
                const auto chest = fieldDoses(ph, scores, g, energies[e], airMuEn(air, energies[e]), -6 / sc * sc,
                                              6, 9.8, 19.8);
                double worst = 0;
                for (int o : {engine::Lungs, engine::Breasts, engine::Thyroid, engine::Oesophagus, engine::Liver,
                              engine::Stomach, engine::RedMarrow})
                    worst = std::max(worst, chest.relError[o]);
                log << (p ? "lateral" : "frontal") << " " << weights[w] << " kg " << energies[e]
                    << " keV: lungs " << num(chest.dose[engine::Lungs], "%.4f") << " +- "
                    << num(100 * chest.relError[engine::Lungs], "%.2f") << " %, worst chest organ "
                    << num(100 * worst, "%.2f") << " % ("
                    << num(std::chrono::duration<double>(Clock::now() - start).count(), "%.0f") << " s)" << std::endl;
            }
    if (auto st = refdata::writeOrganDoseFile(s.outFolder, table); !st.ok())
        throw std::runtime_error(st.message());
    log << refdata::kOrganDoseFileName << " written\n";
}

void wholeBodyConversion(BeamGeometry::Direction direction, const std::vector<double>& energies,
                         const std::filesystem::path& nistFolder, long long histories, int threads,
                         std::uint64_t seed, std::ostream& out) {
    const Phantom ph = Phantom::build();
    const PhantomMedia media;
    const NistTable air = NistTable::load(nistFolder / "air.csv");
    BeamGeometry g;
    g.direction = direction;
    g.mattress = false;
    g.u0 = -9.0;
    g.z0 = -17.4;
    g.tileCm = 18.0;
    g.nu = 1;
    g.nz = 3;
    // Three tiles of 18 x 18 cm cover the whole phantom (x -9..9 cm, z -17.4..36.6 cm).
    out << "# keV, E/K (Sv/Gy, ICRP 103), E/K (ICRP 60), then organ dose per air kerma:";
    for (int o = 0; o < engine::kOrganCount; ++o)
        out << " " << engine::organInfo(o).key;
    out << "\n";
    for (size_t k = 0; k < energies.size(); ++k) {
        const auto scores = simulateTiles(ph, media, g, energies[k], histories, 64, threads, seed, 500000 + k);
        const auto tiles = organDosesPerKerma(ph, scores, g, energies[k], air.muEnRho(energies[k]));
        engine::OrganDoses d{};
        for (const auto& t : tiles)
            for (int o = 0; o < engine::kOrganCount; ++o)
                d[o] += t.dose[o];
        out << num(energies[k], "%g") << "," << num(engine::effectiveDoseIcrp103(d), "%.4f") << ","
            << num(engine::effectiveDoseIcrp60(d), "%.4f");
        for (double v : d)
            out << "," << num(v, "%.4f");
        out << "\n";
        out.flush();
    }
}

} // namespace tamso::refgen
