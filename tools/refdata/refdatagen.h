#pragma once
// The reference-data generator: builds the three physics files of the working folder from
// xraylib cross-sections, the NIST energy-absorption tables and our own Monte Carlo, and writes
// the example starting files of an installation.

#include "tools/refdata/photonmc.h"
#include "tools/refdata/spectrum.h"

#include <filesystem>
#include <string>
#include <vector>

namespace tamso::refgen {

namespace fs = std::filesystem;

struct GeneratorSettings {
    fs::path outFolder = "data";
    fs::path nistFolder;              // folder with air.csv, tissue-soft-icru44.csv, water.csv
    long long bsfHistories = 2500000; // per energy at 5 keV and above
    long long sprHistories = 1000000; // per (distance, area) cell
    int streams = 64;                 // fixed: results do not depend on `threads`
    int threads = 2;
    std::uint64_t seed = 20240601;
    bool physics = true;       // Atten2.dat, mono_dBSF.dat, s_p_ratio.dat
    bool startingFiles = true; // basic data, tube output, ambient dose, body parts
};

// Per-bin coefficients: mu (1/cm) of W, Al, Cu, PMMA from xraylib; muen/rho of air and ICRU-44
// soft tissue by log-log interpolation in the NIST tables (extended log-log below 1 keV).
CoefficientTables buildAttenuationTables(const fs::path& nistFolder);

// Text of the files (lines without line ends).
std::vector<std::string> attenuationFileLines(const CoefficientTables& t);
std::vector<std::string> backscatterFileLines(const std::vector<BackscatterResult>& columns);
struct ScatterRatioTable {
    double distances[4] = {10, 20, 30, 40};
    double areas[3] = {100, 400, 900};
    ScatterRatioResult cells[4][3];
};
std::vector<std::string> scatterRatioFileLines(const ScatterRatioTable& table);

// Backscatter column energies 1, 5, ..., 150 keV (31 values).
std::vector<double> backscatterEnergies();

// Histories for one backscatter energy: fewer at 1 keV, where the photons die in the first
// micrometres and the column is tiny anyway.
long long historiesForEnergy(double energyKeV, long long base);

// Scatter-to-primary ratios of the hood for the 60 kV, 2.5 mm Al, 12 degree spectrum.
ScatterRatioTable simulateScatterRatioTable(const CoefficientTables& t, const fs::path& nistFolder,
                                            long long histories, int streams, int threads,
                                            std::uint64_t seed);

// Writes everything asked for; progress and the comparison with published values go to `log`.
// Throws std::runtime_error on failure.
void generate(const GeneratorSettings& settings, std::ostream& log);

// Example starting files of an installation (Shift-JIS, CR LF).
void writeStartingFiles(const fs::path& folder);

} // namespace tamso::refgen
