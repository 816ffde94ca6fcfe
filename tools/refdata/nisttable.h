#pragma once
// Photon interaction coefficients of one material as tabulated by NIST (Hubbell & Seltzer):
// energy, mass attenuation and mass energy-absorption coefficient. Interpolation is log-log
// between neighbouring rows and never across an absorption edge (an edge is a repeated energy:
// the first row lies just below it, the second just above).

#include <filesystem>
#include <string>
#include <vector>

namespace tamso::refgen {

struct NistRow {
    double energyKeV = 0;
    double muRho = 0;   // cm^2/g
    double muEnRho = 0; // cm^2/g
};

class NistTable {
public:
    // Reads "energy_MeV,mu_over_rho,mu_en_over_rho" rows; lines starting with '#' are comments.
    // Throws std::runtime_error when the file cannot be read or holds fewer than two rows.
    static NistTable load(const std::filesystem::path& file);
    static NistTable fromRows(std::vector<NistRow> rows);

    double muRho(double energyKeV) const { return interpolate(energyKeV, false); }
    double muEnRho(double energyKeV) const { return interpolate(energyKeV, true); }
    const std::vector<NistRow>& rows() const { return rows_; }

private:
    // Below the first row and above the last the outermost segment is extended log-log.
    // At an edge energy itself the value just above the edge is returned.
    double interpolate(double energyKeV, bool energyAbsorption) const;
    std::vector<NistRow> rows_;
};

} // namespace tamso::refgen
