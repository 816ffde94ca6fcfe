#pragma once
// The calculation state: every value and table shared by the screens and the dose routines. Each
// program makes its own (the shell owns the screens' one) and hands it to what reads or changes it.
// A cell that nothing has set yet holds 0, so it counts as 0 in arithmetic and comparisons.
// Every table is used from index 1; index 0 exists and holds nothing. Nothing grows.
// Per-bin tables have bins 0..300, bin i standing for the photon energy 0.5*i keV.

#include <array>
#include <string>

namespace tamso::engine {

constexpr int kTopBin = 300;           // 150 keV
constexpr int kBinCount = kTopBin + 1; // bins 0..300
constexpr int kBsfEnergyCount = 31;    // backscatter columns 1..31 (1, 5, 10, ..., 150 keV)
constexpr int kBsfRingCount = 300;     // backscatter rings 1..300 (0.1 cm each)
constexpr int kTubeOutputRows = 5;
constexpr int kSprDistanceRows = 4;
constexpr int kSprAreaColumns = 3;
constexpr int kAmbientRows = 6;
constexpr int kAlSteps = 300; // 0.1 mm aluminium steps of the transmission curve

using BinTable = std::array<double, kBinCount>;

struct CalculationState {
    // Exposure conditions (screen) -----------------------------------------------------------
    double tubeVoltageKv = 0;
    double mAs = 0;
    double targetAngleDeg = 0;
    double defaultInherentFilterAlMm = 0;
    double inherentFilterAlCm = 0;
    double addedFilterAlCm = 0;
    double addedFilterCuCm = 0;
    double ffdCm = 0;
    double subjectThicknessCm = 0;
    double focusSkinDistanceCm = 0;
    double hoodSkinDistanceCm = 0;
    double fieldLongCm = 0;
    double fieldShortCm = 0;
    double exposureSource = 0; // 2 = tube output data, 1 = measured value

    // Reference data ---------------------------------------------------------------------------
    double refFilterAlCm = 0;
    double refFilterCuCm = 0;
    double wAirEv = 0;

    // Results ------------------------------------------------------------------------------------
    double filterExposureRatio = 0;
    double hvl1Cm = 0;
    double quarterValueLayerCm = 0;
    double effectiveEnergyKev = 0;
    double qualityIndex = 0;
    double exposureAt1mCkg = 0;
    double doseConversionFactor = 0;
    double backscatterFactor = 0;
    double entranceSurfaceDoseMGy = 0;
    // Beyond the screen's own values: the hood/cover scatter-to-primary ratio of the run and the
    // expanded uncertainty (k = 2) of the entrance surface dose.
    double hoodScatterToPrimary = 0;
    double entranceSurfaceDoseUncertaintyMGy = 0;
    double spareCell = 0; // never written; shown on the last line of the spectrum listing

    // Texts ----------------------------------------------------------------------------------------
    std::string xrayUnitName;
    std::string hospitalName;
    std::string outputDataFileName;
    std::string outputDataComment;

    // Tables -----------------------------------------------------------------------------------------
    // [column 0..2][row 0..5]: column 1 tube voltage (kV), column 2 exposure at 1 m per mAs (C/kg/mAs).
    double TubeOutputTable[3][kTubeOutputRows + 1] = {};
    BinTable TungstenMuTable{};
    BinTable AluminiumMuTable{};
    BinTable CopperMuTable{};
    BinTable PmmaMuTable{};
    BinTable AirMuEnTable{};
    BinTable TissueMuEnTable{};
    std::array<double, kBsfEnergyCount + 1> BsfEnergyTable{};
    // [column k 0..31][row j 0..300]: ring j's contribution to (BSF - 1) at BsfEnergyTable[k].
    double MonoBsfTable[kBsfEnergyCount + 1][kBsfRingCount + 1] = {};
    // [column c 0..3][row r 0..4]: scatter-to-primary ratio behind the hood/cover.
    double ScatterPrimaryRatioTable[kSprAreaColumns + 1][kSprDistanceRows + 1] = {};
    std::array<double, kSprDistanceRows + 1> SprDistanceTable{};
    std::array<double, kSprAreaColumns + 1> SprFieldAreaTable{};
    // [j 0..2 voltage column][k 0..3 position][i 0..6 distance row]; [0][0][i] is the row key (cm).
    double AmbientDoseTable[3][4][kAmbientRows + 1] = {};

    // Intermediate tables of a run ------------------------------------------------------------------
    BinTable TargetSpectrumTable{};
    BinTable PhotonSpectrumTable{};
    BinTable BeamDataSpectrumTable{};
    BinTable SkinExposureSpectrumTable{};
    BinTable HvlSpectrumTable{};
    std::array<double, kAlSteps + 1> AlTransmissionTable{};
    BinTable TissueDoseSpectrumTable{};
    std::array<double, kBsfEnergyCount + 1> FieldBsfTable{};
};

} // namespace tamso::engine
