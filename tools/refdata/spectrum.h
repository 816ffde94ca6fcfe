#pragma once
// The program's thick-target tungsten spectrum (Thomson-Whiddington depth, Kramers-like
// cross-section, K lines above 70 kV), reproduced here so that the generator does not depend on
// the engine; plus the field backscatter factor the way the program forms it from ring values.

#include <array>
#include <vector>

namespace tamso::refgen {

constexpr int kBins = 300; // bin i = 0.5 i keV

// Per-bin coefficient tables, index 0..300 (index 0 unused).
struct CoefficientTables {
    std::vector<double> muW, muAl, muCu, muPmma; // 1/cm
    std::vector<double> muEnAir, muEnTissue;     // cm^2/g
};

// Emitted spectrum (energy per bin, arbitrary units), bins 0..300.
std::vector<double> targetSpectrum(double tubeVoltageKv, double targetAngleDeg,
                                   const std::vector<double>& muW);

// Photon numbers per bin behind the aluminium filtration (cm), bins 0..300.
std::vector<double> filteredPhotonSpectrum(double tubeVoltageKv, double targetAngleDeg, double filterAlCm,
                                           const CoefficientTables& t);

// Air-kerma first half-value layer (mm Al) of a photon spectrum.
double halfValueLayerMmAl(const std::vector<double>& photons, const CoefficientTables& t);

// Backscatter factor of a centred rectangle (sides in cm at the surface) from one energy column
// of ring values (ring j+1 spans 0.1 j .. 0.1 (j+1) cm): whole rings inside the short half side,
// then the fraction of each ring's circumference inside the rectangle, taken at mid-radius.
double rectangleFieldBsf(const std::array<double, 300>& rings, double longCm, double shortCm);
// The same for a circular field of the given diameter (rings whose outer radius lies inside).
double circleFieldBsf(const std::array<double, 300>& rings, double diameterCm);

// Spectrum-weighted backscatter factor: tissue-dose weights of the photon spectrum, the field
// values of the 31 energies 1, 5, ..., 150 keV interpolated linearly in energy.
double spectrumWeightedBsf(const std::vector<double>& photons, const CoefficientTables& t,
                           const std::array<double, 32>& fieldBsfByColumn, double tubeVoltageKv);

// Energies of the backscatter columns, index 1..31: 1, 5, 10, ..., 150 keV.
std::array<double, 32> bsfColumnEnergies();

} // namespace tamso::refgen
