#pragma once
// Start-up loading: the six reference files of the working folder, in a fixed order, into the
// calculation state. Either every table is filled or the state is left exactly as it was and the
// error names the file and the place where reading stopped.

#include "engine/calculationstate.h"
#include "textio/expected.h"

#include <filesystem>

namespace tamso::refdata {

Status loadReferenceData(engine::CalculationState& state, const std::filesystem::path& folder);

} // namespace tamso::refdata
