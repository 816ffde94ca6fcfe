#pragma once
// Helpers for core tests: a fresh temporary working folder per test and byte-level file access.

#include "engine/calculationstate.h"

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace tamso::test {

namespace fs = std::filesystem;

// A new empty folder under the system's temporary folder, removed when the object goes.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const fs::path& path() const { return path_; }
    // The path of a file named in UTF-8 inside the folder.
    fs::path file(std::string_view utf8Name) const;

private:
    fs::path path_;
};

// Writes UTF-8 text converted to Shift-JIS, exactly as given (line ends included).
void writeSjis(const fs::path& file, std::string_view utf8Text);
void writeBytes(const fs::path& file, std::string_view bytes);
std::string readBytes(const fs::path& file);
// The Shift-JIS content of a file decoded to UTF-8.
std::string readSjis(const fs::path& file);

// Writes the six reference files of a small, hand-checkable installation into the folder:
// flat attenuation (every mu 0 except where set), 2.5 mm Al reference, and so on.
void writeMinimalReferenceFiles(const fs::path& folder);

// Writes the minimal installation into the folder and loads it into a new state, with the
// exposure taken from the tube output data as the screen sets it.
std::unique_ptr<engine::CalculationState> loadMinimalInstallation(const fs::path& folder);

// What the built tamso-calc did: its exit status and its standard output and error.
struct ProgramRun {
    int status = -1;
    std::string out;
    std::string err;
};

// The built tamso-calc (beside the tests in the build folder).
std::string calculatorProgram();
// A path in double quotes, for a command line.
std::string quotedArgument(const fs::path& path);
// Runs tamso-calc with the arguments (quoted where they need it); its output is caught in files
// of the folder, which are removed again.
ProgramRun runCalculator(const TempFolder& folder, const std::string& arguments);

} // namespace tamso::test
