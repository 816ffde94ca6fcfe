#pragma once
// Record files that are one file under two names: a link to another record file of the folder
// ("B.pat" -> "A.pat"), or two hard links of one file. Their records are counted once, under the
// name that is counted: of the names of one file, those that are no symbolic link come first, and
// of them the first by its name; every other name is left out with the reason.

#include <filesystem>
#include <optional>
#include <vector>

namespace tamso::records {

namespace fs = std::filesystem;

// For each of `files` (record files of one folder), the record file of that folder counted in its
// place where it is one file with it; nothing for a file counted itself. Only a file that is a
// link or has several names makes the folder be looked through.
std::vector<std::optional<fs::path>> countedInsteadOf(const std::vector<fs::path>& files);

} // namespace tamso::records
