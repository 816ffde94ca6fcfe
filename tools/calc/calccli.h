#pragma once
// The command-line calculator: option parsing, one exposure or a CSV batch, and the printed
// results, kept apart from main() so that tests can drive it.

#include "engine/calculation.h"
#include "engine/calculationstate.h"
#include "records/dosehistory.h"
#include "textio/expected.h"

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tamso::calc {

// Exit statuses.
constexpr int kExitOk = 0;
constexpr int kExitError = 2;

// One option of the command line at args[i]: "--name=value", or "--name value" (i then moves on
// to the value; a next argument that starts with "--" is another option, not a value). Returns
// false, with the message written to `err` and pointing to `help` ("--help", "--audit --help"),
// where args[i] is no option or has no value.
bool readOption(const std::vector<std::string>& args, size_t& i, std::string& name, std::string& value,
                const std::string& help, std::ostream& err);

// The conditions of one exposure as the exposure-condition screen would hold them.
struct Exposure {
    engine::ConditionTexts texts;
    std::optional<double> measuredCkg; // a measured exposure at 1 m (C/kg) instead of the tube output data
    std::string bodyPart;              // a line of 撮影部位.txt: the organ doses and effective dose follow
    std::string weightKg;              // the infant's weight (kg); empty: the site's default
};

// The result keys in the order they are printed, each with the result it prints.
const std::vector<std::pair<std::string, engine::ResultField>>& resultKeys();

// Runs one exposure on the state (as the calculation command and the caregiver command would)
// and returns the results as the screen shows them, in the order of resultKeys(). The spectrum
// listing is written where the options ask for it.
Expected<std::vector<std::string>> calculateExposure(engine::CalculationState& state,
                                                     const Exposure& exposure,
                                                     const engine::RunOptions& run = {});

// Sets one condition named like the options without dashes ("kv", "field", "measured-ckg", ...)
// from its text. An empty text keeps what the exposure holds.
Status setCondition(Exposure& exposure, const std::string& name, const std::string& value);

// The screen's default conditions for a loaded state (angle and inherent filtration from the
// basic data).
Exposure defaultExposure(const engine::CalculationState& state);

// Reads a CSV batch (header row, one exposure per row; missing columns and empty cells take the
// conditions of `defaults`) and writes one result row per exposure. Returns the number of rows
// that failed, or an error for the file itself (an unknown column).
Expected<int> runBatch(engine::CalculationState& state, const std::string& csvText, const Exposure& defaults,
                       const std::filesystem::path& workFolder, std::ostream& out);

// tamso-calc --history ID [--workdir DIR] [--csv-out FILE]: prints the dose history of an infant
// (every exposure stored in its record files, the number of exposures and the cumulative entrance
// surface dose) and, with --csv-out, also writes it as a CSV file. Returns nothing when the
// arguments ask for no history; otherwise the exit status.
std::optional<int> runHistory(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The dose history as --history prints it: ID and name, the table in aligned columns, the totals.
void printDoseHistory(const records::DoseHistory& history, std::ostream& out);
// How many terminal columns a UTF-8 text takes (East Asian wide characters take two).
size_t displayWidth(std::string_view utf8);

// The whole program: arguments without the program name; returns the exit status.
int runCalculator(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace tamso::calc
