#pragma once
// The infant's thickness the node uses for a body part when neither the image nor the infant's
// records give one: the site's file "被写体厚既定値.txt" in the working folder (Shift-JIS, CR LF),
// one body part per line,
//
//     body part,thickness in cm          e.g.  胸部正面,8
//
// the body part written as in "撮影部位.txt". Empty lines, lines starting with "#" and lines without
// a comma are ignored; a thickness that is not a number above 0 makes the file unreadable (the
// error names the line), so a typing error never gives a wrong dose. The first line of a body part
// counts.

#include "textio/expected.h"

#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace tamso::node {

class ThicknessDefaults {
public:
    static const char* fileName() { return "被写体厚既定値.txt"; }

    // The file of the working folder; a missing file gives no defaults.
    static Expected<ThicknessDefaults> load(const std::filesystem::path& workFolder);
    // From the file's text (UTF-8).
    static Expected<ThicknessDefaults> fromText(const std::string& utf8Text);

    // The thickness (cm) set for the body part, as written in the file.
    std::optional<std::string> thicknessFor(const std::string& bodyPart) const;

private:
    std::map<std::string, std::string> thickness_;
};

} // namespace tamso::node
