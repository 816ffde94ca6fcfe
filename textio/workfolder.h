#pragma once
// The working folder a program starts in. An installed program finds the shipped working-folder
// files read-only in <prefix>/share/tamso/data, beside its <prefix>/bin; it works in the user's own
// folder, tamso-data in the home folder (~/tamso-data, %USERPROFILE%\tamso-data on Windows), or in
// the folder given with the start option --workdir DIR. The folder is created where missing and
// gets every shipped file it lacks; a file it has is never replaced, so a site's own data and
// records stay as they are. A program started from its build folder has no shipped files beside
// it: it works in the current folder, or the --workdir folder, and creates and copies nothing.

#include "textio/expected.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tamso::textio {

namespace fs = std::filesystem;

// The name of the user's own working folder inside the home folder.
inline constexpr const char* kUserWorkFolderName = "tamso-data";

// The folder of the running program's executable; empty where the system does not tell.
fs::path executableFolder();
// Where an installation keeps the shipped working-folder files for a program in programFolder:
// programFolder/../share/tamso/data (so /usr/share/tamso/data for /usr/bin/tamso).
fs::path installedDefaultsFolder(const fs::path& programFolder);
// The user's own working folder: tamso-data in the home folder ($HOME on POSIX, %USERPROFILE% on
// Windows); empty when the home folder is not known.
fs::path userWorkFolder();

// The folder of the start option --workdir DIR (or --workdir=DIR) among the UTF-8 arguments
// (without the program's name); nothing when the option is not given, the last one when given
// more than once. Other arguments are left to their readers.
Expected<std::optional<fs::path>> workFolderOption(const std::vector<std::string>& utf8Args);

// Creates the folder (and the folders above it) where missing and copies into it each regular
// file of `defaults` whose name it has nothing of; a file, folder or link of that name that is
// there is left exactly as it is. The copies are new files that their user may change. Returns the
// UTF-8 names copied, in the order of their names.
Expected<std::vector<std::string>> fillWorkFolder(const fs::path& folder, const fs::path& defaults);

// What the start-up choice of the working folder depends on.
struct StartFolders {
    std::optional<fs::path> requested; // the --workdir folder, if given
    fs::path defaults;                 // the installed shipped files; an installed program has them
    fs::path user;                     // the user's own working folder (userWorkFolder())
    fs::path current;                  // the current folder
};

// Chooses the working folder and prepares it: the requested folder, else (installed) the user's
// own folder, else (no shipped files) the current folder. With shipped files the chosen folder is
// filled from them (fillWorkFolder); without, a requested folder must exist. A relative requested
// folder is taken from the current folder. Returns the chosen folder.
Expected<fs::path> prepareWorkFolder(const StartFolders& folders);

} // namespace tamso::textio
