#pragma once
// Readers and writers of the reference data files of the working folder.
// Readers use field reads and line reads; writers replace the file atomically (Shift-JIS, CR LF).

#include "engine/calculationstate.h"
#include "textio/expected.h"

#include <filesystem>
#include <string>

namespace tamso::refdata {

namespace fs = std::filesystem;

inline constexpr const char* kBasicDataFileName = "基礎データ.dat";
inline constexpr const char* kBackscatterFileName = "mono_dBSF.dat";
inline constexpr const char* kAttenuationFileName = "Atten2.dat";
inline constexpr const char* kTubeOutputFileName = "tamso_output.op";
inline constexpr const char* kScatterRatioFileName = "s_p_ratio.dat";
inline constexpr const char* kAmbientDoseFileName = "kaijo_dose.dat";

// Basic data "基礎データ.dat": W value (number line), X-ray unit name (line), target angle and
// inherent filtration in mm Al (number lines), facility name (line).
struct BasicData {
    double wAirEv = 0;
    std::string xrayUnitName;
    double targetAngleDeg = 0;
    double inherentFilterAlMm = 0;
    std::string hospitalName;
};
Expected<BasicData> readBasicDataFile(const fs::path& folder);
Status writeBasicDataFile(const fs::path& folder, const BasicData& data);
// Puts the basic data into the state (wAirEv, xrayUnitName, targetAngleDeg,
// defaultInherentFilterAlMm, hospitalName).
void applyBasicData(engine::CalculationState& state, const BasicData& data);

// Tube output data: comment line, five voltages (kV), five exposures at 1 m per mAs (C/kg),
// reference Al and Cu filtration in mm.
struct TubeOutputData {
    std::string comment;
    double voltageKv[engine::kTubeOutputRows + 1] = {};          // rows 1..5
    double exposureCkgPerMas[engine::kTubeOutputRows + 1] = {};  // rows 1..5
    double refFilterAlMm = 0;
    double refFilterCuMm = 0;
};
Expected<TubeOutputData> readTubeOutputFile(const fs::path& file);
// Line 1 the comment as given, line 2 the voltages with "###.# ", line 3 the exposures with
// "0.00E+00 ", the Al filtration with "#0.00 " and the Cu filtration with "#0.00".
Status writeTubeOutputFile(const fs::path& file, const TubeOutputData& data);
// TubeOutputTable, refFilterAlCm / refFilterCuCm (mm x 0.1) and the comment.
void applyTubeOutputData(engine::CalculationState& state, const TubeOutputData& data);

// Ambient dose table "kaijo_dose.dat": six rows of key " 000.0" and six values " 0.00".
struct AmbientDoseData {
    double cells[3][4][engine::kAmbientRows + 1] = {}; // same indexing as AmbientDoseTable
};
Expected<AmbientDoseData> readAmbientDoseFile(const fs::path& file);
Status writeAmbientDoseFile(const fs::path& file, const AmbientDoseData& data);

// Read-only physics files, read straight into the state's tables.
Status readBackscatterFile(const fs::path& file, engine::CalculationState& state);
Status readAttenuationFile(const fs::path& file, engine::CalculationState& state);
Status readScatterRatioFile(const fs::path& file, engine::CalculationState& state);

// BsfEnergyTable: 1, 5, 10, ..., 150 keV.
void fillBsfEnergyTable(engine::CalculationState& state);

} // namespace tamso::refdata
