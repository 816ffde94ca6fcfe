#include "tools/refdata/refdatagen.h"

#include "refdata/referencefiles.h"
#include "refdata/referencelevels.h"
#include "textio/fileio.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <stdexcept>

namespace tamso::refgen {

namespace {

std::string sci(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6E", v);
    return buf;
}

std::string fixed(double v, int decimals) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

void check(const Status& status) {
    if (!status.ok())
        throw std::runtime_error(status.message());
}

void writeLines(const fs::path& folder, const char* utf8Name, const std::vector<std::string>& lines) {
    check(textio::writeTextLines(textio::fileInFolder(folder, utf8Name), lines));
}

} // namespace

CoefficientTables buildAttenuationTables(const fs::path& nistFolder) {
    const NistTable air = NistTable::load(nistFolder / "air.csv");
    const NistTable tissue = NistTable::load(nistFolder / "tissue-soft-icru44.csv");
    const Material w = elementMaterial("tungsten", 74, 19.3);
    const Material al = elementMaterial("aluminium", 13, 2.699);
    const Material cu = elementMaterial("copper", 29, 8.96);
    const Material pmma = pmmaMaterial();
    CoefficientTables t;
    for (auto* v : {&t.muW, &t.muAl, &t.muCu, &t.muPmma, &t.muEnAir, &t.muEnTissue})
        v->assign(kBins + 1, 0.0);
    for (int i = 1; i <= kBins; ++i) {
        const double e = 0.5 * i;
        t.muW[i] = totalMassAttenuation(w, e) * w.densityGcm3;
        t.muAl[i] = totalMassAttenuation(al, e) * al.densityGcm3;
        t.muCu[i] = totalMassAttenuation(cu, e) * cu.densityGcm3;
        t.muPmma[i] = totalMassAttenuation(pmma, e) * pmma.densityGcm3;
        t.muEnAir[i] = air.muEnRho(e);
        t.muEnTissue[i] = tissue.muEnRho(e);
    }
    return t;
}

std::vector<std::string> attenuationFileLines(const CoefficientTables& t) {
    std::vector<std::string> lines;
    for (int i = 1; i <= kBins; ++i)
        lines.push_back(fixed(0.5 * i, 1) + "," + sci(t.muW[i]) + "," + sci(t.muAl[i]) + "," +
                        sci(t.muCu[i]) + "," + sci(t.muEnAir[i]) + "," + sci(t.muEnTissue[i]) + "," +
                        sci(t.muPmma[i]));
    return lines;
}

std::vector<std::string> backscatterFileLines(const std::vector<BackscatterResult>& columns) {
    if (columns.size() != 31)
        throw std::invalid_argument("the backscatter table needs 31 energy columns");
    std::vector<std::string> lines;
    for (int j = 0; j < kRings; ++j) {
        std::string line = fixed(kRingWidthCm * (j + 1), 1);
        for (const auto& c : columns)
            line += "," + sci(c.ring[j]);
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> scatterRatioFileLines(const ScatterRatioTable& table) {
    std::vector<std::string> lines;
    for (int r = 0; r < 4; ++r) {
        std::string line = fixed(table.distances[r], 0);
        for (int c = 0; c < 3; ++c)
            line += "," + sci(table.cells[r][c].ratio);
        lines.push_back(line);
    }
    lines.push_back(fixed(table.areas[0], 0) + "," + fixed(table.areas[1], 0) + "," +
                    fixed(table.areas[2], 0));
    return lines;
}

std::vector<double> backscatterEnergies() {
    std::vector<double> e{1.0};
    for (int k = 2; k <= 31; ++k)
        e.push_back(5.0 * (k - 1));
    return e;
}

long long historiesForEnergy(double energyKeV, long long base) {
    return energyKeV < 5.0 ? base / 10 : base;
}

ScatterRatioTable simulateScatterRatioTable(const CoefficientTables& t, const fs::path& nistFolder,
                                            long long histories, int streams, int threads,
                                            std::uint64_t seed) {
    const NistTable air = NistTable::load(nistFolder / "air.csv");
    const Medium pmma(pmmaMaterial(), 0.9, 152.0);
    const std::vector<double> spectrum = filteredPhotonSpectrum(60.0, 12.0, 0.25, t);
    ScatterRatioTable table;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c) {
            HoodGeometry g;
            g.hoodSkinCm = table.distances[r];
            g.receptorAreaCm2 = table.areas[c];
            table.cells[r][c] = simulateHoodScatter(pmma, air, spectrum, g, histories, streams, threads, seed,
                                                    1000 + 10 * r + c);
        }
    return table;
}

void writeStartingFiles(const fs::path& folder) {
    refdata::BasicData basic;
    basic.wAirEv = 33.97;
    basic.xrayUnitName = "ポータブル装置（例）";
    basic.targetAngleDeg = 12;
    basic.inherentFilterAlMm = 2.5;
    basic.hospitalName = "○○病院 NICU（例）";
    check(refdata::writeBasicDataFile(folder, basic));

    // Typical output of a portable unit behind 2.5 mm Al: air kerma at 1 m per mAs (uGy),
    // turned into exposure with the W value (X = K / W).
    refdata::TubeOutputData out;
    out.comment = "例示値: 2.5 mm Al, 1 m, 空気カーマ 20/31/40/48/58 uGy/mAs を W=33.97 eV で"
                  "照射線量に換算。装置の実測値に置き換えること";
    const double kermaUGy[5] = {20, 31, 40, 48, 58};
    for (int r = 1; r <= 5; ++r) {
        out.voltageKv[r] = 30.0 + 10.0 * r;
        out.exposureCkgPerMas[r] = kermaUGy[r - 1] * 1e-6 / basic.wAirEv;
    }
    out.refFilterAlMm = 2.5;
    out.refFilterCuMm = 0.0;
    check(refdata::writeTubeOutputFile(textio::fileInFolder(folder, refdata::kTubeOutputFileName), out));

    // Ambient dose equivalent per mAs 30 cm beside the beam centre (example): scattered
    // radiation follows the primary at the 10 cm phantom, i.e. falls with the square of the
    // focus-phantom distance; 60 kV gives the tube output ratio 40/31 times 1.1 for the more
    // penetrating scatter.
    refdata::AmbientDoseData amb;
    const double at100cm50kV[4] = {0, 0.12, 0.10, 0.12}; // +30 cm, ceiling height, -30 cm
    const double kvFactor[3] = {0, 1.0, 40.0 / 31.0 * 1.1};
    for (int i = 1; i <= 6; ++i) {
        const double ffd = 60.0 + 10.0 * i;
        amb.cells[0][0][i] = ffd;
        const double distance = std::pow(90.0 / (ffd - 10.0), 2);
        for (int j = 1; j <= 2; ++j)
            for (int k = 1; k <= 3; ++k)
                amb.cells[j][k][i] = at100cm50kV[k] * kvFactor[j] * distance;
    }
    check(refdata::writeAmbientDoseFile(textio::fileInFolder(folder, refdata::kAmbientDoseFileName), amb));

    const std::vector<std::string> bodyParts = {"腹部正面", "胸部正面", "胸腹部正面", "胸部側面",
                                                "腹部側面", "頭部正面", "頭部側面"};
    writeLines(folder, "撮影部位.txt", bodyParts);
    // The infant's weight where none is given, for the organ doses (an example: a NICU sets the
    // typical weight of its infants).
    writeLines(folder, "体重既定値.txt",
               {"# 体重の既定値 (kg)。体重の分からない撮影の実効線量に使います。施設の乳児に合わせて変更してください。", "3"});

    // Diagnostic reference levels (entrance surface dose, mGy): one row per listed body part, the
    // published infant chest level where there is one; then, as documentation never compared
    // with, the older European newborn chest level and the local NICU levels by weight band.
    refdata::ReferenceLevelTable levels;
    for (const std::string& part : bodyParts)
        levels.rows.push_back({part, std::nullopt, ""});
    levels.rows[1] = {"胸部正面", 0.2,
                      "Japan DRLs 2020（医療被ばく研究情報ネットワーク J-RIME）一般撮影 乳児（0～1 歳）胸部 "
                      "入射表面線量 0.2 mGy"};
    levels.rows.push_back({"胸部正面", 0.08,
                           "European Guidelines on Quality Criteria for Diagnostic Radiographic Images in "
                           "Paediatrics (EUR 16261, 1996) 新生児 胸部 AP 入射表面線量 80 μGy"});
    const char* const bands[] = {"1000 g 未満", "1000～1499 g", "1500～2499 g", "2500 g 超"};
    const double bandLevelsUGy[] = {54.7, 50.1, 50.9, 55.5};
    for (int b = 0; b < 4; ++b)
        levels.rows.push_back({"胸部正面", bandLevelsUGy[b] / 1000,
                               std::string("NICU の院内参考レベルの例（胸腹部撮影, 移動型装置）体重 ") + bands[b] +
                                   " " + fixed(bandLevelsUGy[b], 1) + " μGy"});
    check(refdata::writeReferenceLevelFile(textio::fileInFolder(folder, refdata::kReferenceLevelFileName), levels));
}

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Water and its energy-absorption table, for the backscatter runs.
struct WaterSlab {
    NistTable table;
    Medium water;
};

BackscatterSettings backscatterSettings(const GeneratorSettings& s) {
    BackscatterSettings bs;
    bs.streams = s.streams;
    bs.threads = s.threads;
    bs.seed = s.seed;
    bs.histories = s.bsfHistories;
    return bs;
}

// The 1 keV column alone with fewer histories, then all others in one parallel run.
std::vector<BackscatterResult> simulateBackscatterColumns(const GeneratorSettings& s, const WaterSlab& slab,
                                                          const std::vector<double>& energies) {
    BackscatterSettings bs = backscatterSettings(s);
    bs.histories = historiesForEnergy(1.0, s.bsfHistories);
    std::vector<BackscatterResult> columns = simulateBackscatter(slab.water, slab.table, {energies[0]}, {1}, bs);
    bs.histories = s.bsfHistories;
    std::vector<double> rest(energies.begin() + 1, energies.end());
    std::vector<std::uint64_t> keys;
    for (size_t k = 1; k < energies.size(); ++k)
        keys.push_back(k + 1);
    const auto more = simulateBackscatter(slab.water, slab.table, rest, keys, bs);
    columns.insert(columns.end(), more.begin(), more.end());
    return columns;
}

void logBackscatterColumns(const std::vector<BackscatterResult>& columns, std::ostream& log) {
    log << "energy_keV  histories  sum(BSF-1)  rel_std_error  BSF(10 cm circle)\n";
    double worst = 0;
    for (const auto& c : columns) {
        const double rel = c.total > 0 ? c.totalStdError / c.total : 0;
        if (c.energyKeV >= 5)
            worst = std::max(worst, rel);
        log << fixed(c.energyKeV, 0) << "  " << c.histories << "  " << sci(c.total) << "  "
            << fixed(100 * rel, 3) << " %  " << fixed(circleFieldBsf(c.ring, 10.0), 4) << "\n";
    }
    log << "largest relative standard error at 5 keV and above: " << fixed(100 * worst, 3) << " %\n";
}

// Published comparison values: monoenergetic 10 cm circular fields and a 60 kV beam.
void logPublishedBackscatter(const GeneratorSettings& s, const WaterSlab& slab, const std::vector<double>& energies,
                             const std::vector<BackscatterResult>& columns, const CoefficientTables& t,
                             std::ostream& log) {
    const auto interpolated = [&](double e, double diameter) {
        const auto& ek = energies;
        size_t m = 1;
        while (m + 1 < ek.size() && e >= ek[m])
            ++m;
        const double b1 = circleFieldBsf(columns[m].ring, diameter);
        const double b0 = circleFieldBsf(columns[m - 1].ring, diameter);
        return b1 - (b1 - b0) * (ek[m] - e) / (ek[m] - ek[m - 1]);
    };
    BackscatterSettings direct = backscatterSettings(s);
    direct.histories = s.bsfHistories / 2;
    const auto anchors = simulateBackscatter(slab.water, slab.table, {32.0, 49.35}, {901, 902}, direct);
    for (const auto& a : anchors)
        log << "BSF 10 cm circle at " << a.energyKeV << " keV: table "
            << fixed(interpolated(a.energyKeV, 10.0), 4) << ", direct run "
            << fixed(circleFieldBsf(a.ring, 10.0), 4) << "\n";
    const std::vector<double> beam = filteredPhotonSpectrum(60.0, 12.0, 0.25, t);
    log << "60 kV, 12 deg, 2.5 mm Al: HVL " << fixed(halfValueLayerMmAl(beam, t), 3) << " mm Al\n";
    for (double side : {10.0, 20.0}) {
        std::array<double, 32> field{};
        for (int k = 1; k <= 31; ++k)
            field[k] = rectangleFieldBsf(columns[k - 1].ring, side, side);
        log << "BSF " << side << " x " << side
            << " cm, 60 kV beam: " << fixed(spectrumWeightedBsf(beam, t, field, 60.0), 4) << "\n";
    }
}

void writeBackscatterFile(const GeneratorSettings& s, const CoefficientTables& t, std::ostream& log) {
    const auto start = Clock::now();
    const WaterSlab slab{NistTable::load(s.nistFolder / "water.csv"), Medium(waterMaterial(), 0.9, 152.0)};
    const std::vector<double> energies = backscatterEnergies();
    const std::vector<BackscatterResult> columns = simulateBackscatterColumns(s, slab, energies);
    writeLines(s.outFolder, refdata::kBackscatterFileName, backscatterFileLines(columns));
    log << "mono_dBSF.dat written (" << fixed(secondsSince(start), 0) << " s wall)\n";
    logBackscatterColumns(columns, log);
    logPublishedBackscatter(s, slab, energies, columns, t, log);
}

void writeScatterRatioFile(const GeneratorSettings& s, const CoefficientTables& t, std::ostream& log) {
    const auto sprStart = Clock::now();
    const ScatterRatioTable spr =
        simulateScatterRatioTable(t, s.nistFolder, s.sprHistories, s.streams, s.threads, s.seed);
    writeLines(s.outFolder, refdata::kScatterRatioFileName, scatterRatioFileLines(spr));
    log << "s_p_ratio.dat written (" << fixed(secondsSince(sprStart), 0) << " s wall)\n";
    for (int r = 0; r < 4; ++r) {
        log << "g = " << spr.distances[r] << " cm:";
        for (int c = 0; c < 3; ++c)
            log << "  " << fixed(spr.cells[r][c].ratio, 5) << " +- "
                << fixed(100 * spr.cells[r][c].stdError / spr.cells[r][c].ratio, 2) << " %";
        log << "\n";
    }
}

} // namespace

void generate(const GeneratorSettings& s, std::ostream& log) {
    fs::create_directories(s.outFolder);
    if (s.startingFiles) {
        writeStartingFiles(s.outFolder);
        log << "starting files written\n";
    }
    if (!s.physics)
        return;

    const CoefficientTables t = buildAttenuationTables(s.nistFolder);
    writeLines(s.outFolder, refdata::kAttenuationFileName, attenuationFileLines(t));
    log << "Atten2.dat written\n";
    writeBackscatterFile(s, t, log);
    writeScatterRatioFile(s, t, log);
}

} // namespace tamso::refgen
