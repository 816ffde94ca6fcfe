#include "tools/refdata/organtables.h"

#include "engine/calculation.h"
#include "refdata/organdosefile.h"
#include "refdata/referenceloader.h"
#include "textio/fileio.h"

#include <chrono>
#include <memory>
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

void printPublishedComparisons(const std::filesystem::path& folder, std::ostream& out) {
    auto loaded = std::make_unique<engine::CalculationState>();
    if (auto e = refdata::loadReferenceData(*loaded, folder); !e.ok())
        throw std::runtime_error(e.message());
    auto organs = refdata::loadOrganDoseData(folder);
    if (!organs.ok())
        throw std::runtime_error(organs.error().message());
    struct Result {
        double ePerEsd, e60PerEsd, lungPerEsd, lungPerKi;
    };
    // Sides at the skin (cm; the long one along the infant), focus-skin 92 cm.
    const auto run = [&](const char* part, double longCm, double shortCm, double weightKg, const char* kv = "60") {
        auto st = std::make_unique<engine::CalculationState>(*loaded);
        engine::ConditionTexts c = engine::defaultConditions(*st);
        c.tubeVoltageKv = kv;
        c.mAs = "2";
        c.subjectThicknessCm = "8";
        c.fieldLongCm = num(longCm * 100 / 92, "%.4f");
        c.fieldShortCm = num(shortCm * 100 / 92, "%.4f");
        st->exposureSource = 2;
        engine::ResultTexts texts;
        if (auto e = engine::runCalculation(*st, c, texts); !e.ok())
            throw std::runtime_error(e.message());
        auto r = engine::organDosesForBodyPart(organs->table, *st, part, weightKg, std::nullopt);
        if (!r.ok())
            throw std::runtime_error(r.error().message());
        const double esd = 1000 * st->entranceSurfaceDoseMGy;
        return Result{r->effectiveDoseUSv / esd, r->effectiveDoseIcrp60USv / esd, r->doseUGy[engine::Lungs] / esd,
                      r->doseUGy[engine::Lungs] / (1000 * r->incidentAirKermaMGy)};
    };
    const auto line = [&](const std::string& what, double ours, const std::string& published, double reference) {
        out << what << ": ours " << num(ours, "%.3f") << ", published " << published << ", difference "
            << num(100 * (ours / reference - 1), "%+.0f") << " %\n";
    };
    const Result chest = run("胸部正面", 10, 12, 3.5), both = run("胸腹部正面", 20, 13, 3.5);
    line("E/ESD chest AP, 3.5 kg, ICRP 60 (mSv/mGy)", chest.e60PerEsd, "0.23 (Makri et al 2006)", 0.23);
    line("E/ESD chest AP, 3.5 kg, ICRP 103 (mSv/mGy)", chest.ePerEsd, "0.23 (Makri et al 2006, ICRP 60)", 0.23);
    line("E/ESD chest and abdomen AP, 3.5 kg, ICRP 60", both.e60PerEsd, "0.34-0.40 (Makri et al 2006)", 0.37);
    line("E/ESD chest and abdomen AP, 3.5 kg, ICRP 103", both.ePerEsd, "0.34-0.40 (Makri et al 2006, ICRP 60)", 0.37);
    for (double w : {1.0, 3.5}) {
        const double s = lengthScale(w);
        const Result r = run("胸部正面", 10 * s, 12 * s, w);
        line("lung dose/ESD chest AP, " + num(w, "%g") + " kg", r.lungPerEsd, "0.7-0.9 (Smans et al 2008)", 0.8);
        line("lung dose/incident air kerma chest AP, " + num(w, "%g") + " kg", r.lungPerKi,
             "0.7-0.9 (Smans et al 2008, if their ESD is taken without backscatter)", 0.8);
    }
    const Result abdomen = run("腹部正面", 11, 12, 3.5);
    for (double k : {1.5, 2.0, 2.5}) {
        line("E too-large field / E collimated, chest AP (sides x" + num(k, "%g") + ")",
             run("胸部正面", 10 * k, 12 * k, 3.5).ePerEsd / chest.ePerEsd, "2.0 (Datz et al 2008)", 2.0);
        line("E too-large field / E collimated, abdomen AP (sides x" + num(k, "%g") + ")",
             run("腹部正面", 11 * k, 12 * k, 3.5).ePerEsd / abdomen.ePerEsd, "1.9 (Datz et al 2008)", 1.9);
    }
}

} // namespace tamso::refgen
