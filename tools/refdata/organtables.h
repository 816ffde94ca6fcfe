#pragma once
// The organ-dose table of the working folder and the whole-body check of the phantom.

#include "tools/refdata/organmc.h"

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace tamso::refgen {

struct OrganTableSettings {
    std::filesystem::path outFolder = "data";
    std::filesystem::path nistFolder;
    long long histories = 1200000; // per projection, phantom weight and energy
    int streams = 64;
    int threads = 2;
    std::uint64_t seed = 20240601;
};

// Phantom weights and photon energies of the table.
std::vector<double> organTableWeights();
std::vector<double> organTableEnergies();

// Builds the phantom, reports its masses, runs every projection, weight and energy and writes the
// table file (Shift-JIS, CR LF). Progress and statistics go to `log`.
void generateOrganTables(const OrganTableSettings& settings, std::ostream& log);

// Broad parallel beam over the whole 3.5 kg phantom (no mattress): per energy one line, keV, E per
// air kerma free in air (Sv/Gy, ICRP 103), then the organ doses per air kerma in table order.
void wholeBodyConversion(BeamGeometry::Direction direction, const std::vector<double>& energiesKeV,
                         const std::filesystem::path& nistFolder, long long histories, int threads,
                         std::uint64_t seed, std::ostream& out);

// The shipped table of `folder` against published newborn figures, as the program computes an
// exposure (60 kV, 2.5 mm Al, FFD 100 cm, 8 cm thick): one line per comparison.
void printPublishedComparisons(const std::filesystem::path& folder, std::ostream& out);

// The phantom's masses against their reference masses, one line each.
void reportPhantom(const phantom::Phantom& ph, std::ostream& log);

} // namespace tamso::refgen
