#pragma once
// Helpers shared by the dose routines: the checks that keep a run inside the model and the
// messages that stop it. Not part of the engine's public interface.

#include "engine/calculationstate.h"
#include "textio/expected.h"

#include "engine/resultfields.h"

#include <cmath>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace tamso::engine::detail {

inline Error stop(ErrorCode code, std::vector<std::string> args = {}) { return Error(code, std::move(args)); }

inline bool finite(double v) { return std::isfinite(v); }
inline bool allFinite(std::initializer_list<double> values) {
    for (double v : values)
        if (!std::isfinite(v))
            return false;
    return true;
}

// The largest whole bin number not above 2 * value; the caller has checked 0 <= value < 150.
inline int topBinOf(double twice) { return static_cast<int>(std::floor(twice)); }

// The message for a value that is no longer a number (overflow, a logarithm of zero, ...).
Error notANumber(const char* what);
// The message for a result that came out below 0 (an exposure or a dose has no negative values).
Error negativeResult(const char* what);

// Conditions and tables read by the spectrum model and the beam-quality steps.
Status checkSpectrumConditions(const CalculationState& state);
// The tube output table around the tube voltage (tube-output-data case only) and the mAs.
Status checkTubeOutputConditions(const CalculationState& state);
// Distances, the air coefficients of the summed bins and the keys of the scatter-ratio table.
Status checkEntranceDoseConditions(const CalculationState& state);

// Steps of the spectrum model: emitted spectrum, K lines and filtration (bins 2..bV), leaving the
// photon spectrum at the skin not yet normalised.
Status modelFilteredSpectrum(CalculationState& state);

// Spectrum and beam quality with the listing handed to `deliverListing` (once every value is
// known, before any field is written) instead of being written into a folder.
using ListingSink = std::function<Status(const std::vector<std::string>& lines)>;
Status spectrumAndBeamQuality(CalculationState& state, ResultFields& results, const ListingSink& deliverListing);
// Writes the spectrum listing "Beam_data.dat" into the folder (atomically).
Status writeListing(const std::filesystem::path& workFolder, const std::vector<std::string>& lines);

} // namespace tamso::engine::detail
