#pragma once
// Helpers for core tests: a fresh temporary working folder per test and byte-level file access.

#include "engine/calculationstate.h"
#include "textio/fileio.h"

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

// Marks a test about something only POSIX systems have (permission bits of folders, symbolic
// links, named pipes, signals, HOME): first in the test's body, TAMSO_POSIX_ONLY("why") skips the
// test on Windows with the reason and does nothing elsewhere. Everything about files, text
// conversion, locks and record files runs on both.
#ifdef _WIN32
#define TAMSO_POSIX_ONLY(reason) GTEST_SKIP() << "POSIX only: " << (reason)
#else
#define TAMSO_POSIX_ONLY(reason) static_cast<void>(reason)
#endif

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
// The whole path in UTF-8 (for messages and command lines; path::string() is in the ANSI code
// page on Windows, which cannot hold every name).
using textio::pathUtf8;
// A path in double quotes, in UTF-8, for a command line.
std::string quotedArgument(const fs::path& path);
// Runs a UTF-8 command line through the system's shell (sh, or cmd.exe on Windows, where the
// command goes as UTF-16 and is quoted whole so that cmd keeps the quotes inside it) and returns
// the program's exit status, or -1 when it did not end by itself (a signal on POSIX).
int runCommand(const std::string& utf8Command);
// What a program printed, with the line ends of Linux: a Windows program's standard output and
// error are text streams that end each line with CR LF.
std::string printedText(std::string text);
// Runs tamso-calc with the arguments (quoted where they need it); its output is caught in files
// of the folder, which are removed again, and comes with the line ends of Linux (printedText).
ProgramRun runCalculator(const TempFolder& folder, const std::string& arguments);

} // namespace tamso::test
