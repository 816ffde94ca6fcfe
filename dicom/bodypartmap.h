#pragma once
// The body part of an image as the body-part list "撮影部位.txt" names it, found through the
// working folder's mapping file "DICOM撮影部位.txt": Shift-JIS, CR LF, one mapping per line,
//
//     DICOM text,body part          e.g.  CHEST LL,胸部側面
//
// The DICOM text is one or more words (separated by blanks) of Body Part Examined, View Position,
// Protocol Name or Series Description; a line matches an image when each of its words is a word of
// the image's text (ASCII letters without regard to case), and a word with other than ASCII
// characters also matches inside a longer word ("胸部" in "新生児胸部"). Of the lines that match,
// the one with the most words wins, then the earlier line. Empty lines, lines starting with "#"
// and lines without a comma are ignored, and so are lines whose body part is not in the list.

#include "dicom/imageexposure.h"

#include <filesystem>
#include <string>
#include <vector>

namespace tamso::dicom {

class BodyPartMapping {
public:
    static const char* fileName() { return "DICOM撮影部位.txt"; }
    static const char* bodyPartListName() { return "撮影部位.txt"; }

    // The mapping file and the body-part list of the working folder. A missing or unreadable file
    // gives a mapping that matches nothing and says why in its answer.
    static BodyPartMapping load(const std::filesystem::path& workFolder);

    // From the texts of the file and of the body-part list, as UTF-8 lines.
    static BodyPartMapping fromLines(const std::vector<std::string>& mappingLines,
                                     const std::vector<std::string>& bodyPartList);

    // The body part of an image: the texts are tried in the order Body Part Examined, Protocol Name,
    // Series Description (each together with View Position), and the first that matches a line
    // gives it; the source names the attribute and its text. Without a match, the problem says
    // which texts the image has.
    Sourced<std::string> match(const BodyPartTexts& texts) const;

    size_t entryCount() const { return entries_.size(); }

private:
    struct Entry {
        std::vector<std::string> words; // ASCII letters in capitals
        std::string bodyPart;
    };
    std::vector<Entry> entries_;
    std::string problem_; // why nothing can match (a file could not be read)
};

} // namespace tamso::dicom
