#pragma once
// The working folder's own files: one list of every file the program reads or writes in a working
// folder, the comparison of names as the file systems make it, and the check of every export (a
// CSV or PDF file the user names), which never replaces any of them nor a file being read.

#include "textio/expected.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tamso::textio {

namespace fs = std::filesystem;

// Every file the program reads or writes in a working folder, as patterns of names:
//   "基礎データ.dat"   a file of this name
//   "*.pat"           every file whose name ends so
//   "tamso-node/"     a folder of this name and everything in it, at any depth
// The temporary file of a replacement of any of them (".<name>.tmp-<16 hex digits>") is one too.
const std::vector<std::string_view>& workingFolderFilePatterns();

// A name as the file systems that may hold a working folder compare it, for every platform (a
// working folder may lie on a Windows share): the part from the first ":" on (a stream,
// "A.pat:x", "A.pat::$DATA") taken away, then the dots and blanks at its end (which Windows drops:
// "A.pat. " is "A.pat"), letters A to Z in small letters. Names that compare equal so may name one
// file.
std::string comparableFileName(std::string_view utf8Name);

// Whether a file name is one of the working folder's own files (workingFolderFilePatterns, a
// folder pattern by its name, or a temporary file of a replacement), compared as
// comparableFileName compares, whatever folder it stands in.
bool isWorkingFolderFileName(std::string_view utf8Name);
// Whether a path is one of them or lies in one of their folders ("x/tamso-node/held/y.csv"):
// its last component by isWorkingFolderFileName, every folder above it by the folder patterns.
bool isWorkingFolderPath(const fs::path& path);

// Whether an export may write to the path: a regular file (also through a link) or a name nothing
// has yet. Refused, with a message naming the file and why: a folder, named pipe, device or socket
// (also through a link), a link that leads nowhere, a name that is empty once Windows has dropped
// its trailing dots and blanks, any of the working folder's own files or what lies in their
// folders (isWorkingFolderPath; also where links lead, and an existing file under another name of
// it), and each of `inputs` that the command reads: the file itself, or for a folder everything in
// it. Nothing is touched.
Status checkExportTarget(const fs::path& target, const std::vector<fs::path>& inputs = {});
// An export: checkExportTarget, then writeFileAtomic.
Status writeExportFile(const fs::path& target, std::string_view bytes);

} // namespace tamso::textio
