#pragma once
// The organ-dose table "臓器線量.dat" (read-only physics data, written by tools/refdata) and the
// site's default weight of an infant "体重既定値.txt".

#include "engine/organdose.h"
#include "textio/expected.h"

#include <filesystem>
#include <optional>
#include <string>

namespace tamso::refdata {

inline constexpr const char* kOrganDoseFileName = "臓器線量.dat";
inline constexpr const char* kDefaultWeightFileName = "体重既定値.txt";

// Reads the table from the working folder; the message names the file and where reading stopped.
Expected<engine::OrganDoseTable> readOrganDoseFile(const std::filesystem::path& folder);
Status writeOrganDoseFile(const std::filesystem::path& folder, const engine::OrganDoseTable& table);

// The default weight (kg): the first line that is neither empty nor starts with '#' holds the number,
// within the plausible weight (engine::checkWeightKg).
Expected<double> readDefaultWeightFile(const std::filesystem::path& folder);

// What the organ doses need from the working folder: the table (required) and the default weight
// (optional: where it cannot be read, the reason is kept and an exposure without a weight is
// refused with it).
struct OrganDoseData {
    engine::OrganDoseTable table;
    std::optional<double> defaultWeightKg;
    std::string defaultWeightProblem;
};
Expected<OrganDoseData> loadOrganDoseData(const std::filesystem::path& folder);

} // namespace tamso::refdata
