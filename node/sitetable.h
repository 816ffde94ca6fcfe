#pragma once
// The site's small tables of the working folder keyed by body part ("被写体厚既定値.txt",
// "撮影部位コード.txt"): Shift-JIS, CR LF, one body part per line, "body part,value[,...]". Empty lines,
// lines starting with "#" and lines without a comma are skipped; blanks at both ends are dropped.

#include "textio/expected.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tamso::node {

struct SiteTableLine {
    size_t lineNumber = 0; // 1 for the file's first line
    std::string bodyPart;
    std::string rest; // after the first comma, blanks at both ends dropped
};

std::vector<SiteTableLine> siteTableLines(const std::string& utf8Text);

// The file's text (bounded read), nothing for a file that does not exist; the error of a file that
// cannot be read.
Expected<std::optional<std::string>> readSiteTable(const std::filesystem::path& workFolder, const char* fileName);

std::string trimBlanks(const std::string& text);

} // namespace tamso::node
