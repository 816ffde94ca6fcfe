#pragma once
// Texts of a DICOM header in UTF-8: string values converted from the character set the image names
// in Specific Character Set (0008,0005), and person names as the program shows them.
//
// The Japanese ISO 2022 sets (ISO 2022 IR 13 half-width katakana, ISO 2022 IR 87 JIS X 0208 kanji,
// switched by escape sequences) are decoded here: the character set converter DCMTK uses on Debian
// (the C library's iconv) has no "ISO-IR-87", so DCMTK refuses them there. Every other character
// set (ISO_IR 192 UTF-8, ISO_IR 13, ISO_IR 100, GB18030, ...) goes through DCMTK's converter.

#include "textio/expected.h"

#include <string>
#include <string_view>

namespace tamso::dicom {

// A string value (all its values, backslashes included) converted to UTF-8 from the character set
// named by the raw value of Specific Character Set (empty: the default repertoire, ASCII). Fails,
// naming the character set, when a byte does not belong to the named sets or the character set is
// unknown; a character of JIS X 0212 (ISO 2022 IR 159) is refused as not convertible.
Expected<std::string> toUtf8(std::string_view value, std::string_view specificCharacterSet);

// The three groups of a person name (PN, already UTF-8, "alphabetic=ideographic=phonetic"), each
// with family, given and middle name joined by one blank ("山田^太郎" -> "山田 太郎"); prefix and
// suffix are left out, an absent group is empty. Only the first value counts.
struct PersonNameGroups {
    std::string alphabetic;
    std::string ideographic;
    std::string phonetic;
};
PersonNameGroups personNameGroups(std::string_view utf8PersonName);

// Whether a name stored for the patient (a record file's name, UTF-8) is one of the groups, written
// with or without blanks between its parts: blanks (also the ideographic space), "^" and "=" are
// ignored, full-width letters and digits count as their ASCII forms, letters without regard to case,
// half-width katakana as full-width (ｶﾞ as ガ) and hiragana as katakana (detail::foldedName). The one
// rule by which the node, the pull, the screen's import and the report screen take an image's name
// for the stored one. An empty stored name matches nothing.
bool personNameMatches(const PersonNameGroups& groups, std::string_view storedName);

// A person name (PN, already UTF-8) as the program shows it: of the groups "alphabetic=ideographic=
// phonetic" the ideographic one where it holds a name, else the alphabetic, else the phonetic; within
// it family, given and middle name joined by one blank ("山田^太郎" -> "山田 太郎"); prefix and suffix
// are left out. Only the first value counts.
std::string personNameForDisplay(std::string_view utf8PersonName);

// The text with the blanks (spaces, and the NUL a UI value is padded with) at both ends removed.
std::string trimValue(std::string_view text);

} // namespace tamso::dicom
