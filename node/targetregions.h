#pragma once
// The body region of each body part, as the dose report codes it: the site's file
// "撮影部位コード.txt" in the working folder (Shift-JIS, CR LF), one body part per line,
//
//     body part,SNOMED CT code,meaning          e.g.  胸部正面,816094009,Chest
//
// the body part written as in "撮影部位.txt", the code a SNOMED CT concept of the common anatomic
// regions (digits only) and its meaning in English. Empty lines, lines starting with "#" and lines
// without a comma are ignored; a code that is not digits or a line without meaning makes the file
// unreadable (the error names the line), so a typing error never sends a wrong code. The first
// line of a body part counts.

#include "node/dosereport.h"
#include "textio/expected.h"

#include <filesystem>
#include <map>
#include <string>

namespace tamso::node {

class TargetRegions {
public:
    static const char* fileName() { return "撮影部位コード.txt"; }

    // The file of the working folder; a missing file gives no regions.
    static Expected<TargetRegions> load(const std::filesystem::path& workFolder);
    // From the file's text (UTF-8).
    static Expected<TargetRegions> fromText(const std::string& utf8Text);

    // The region of the body part; empty where the file names none.
    TargetRegion regionOf(const std::string& bodyPart) const;

private:
    std::map<std::string, TargetRegion> regions_;
};

} // namespace tamso::node
