#pragma once
// Diagnostic reference levels: the optional working-folder file "参考線量.dat", the table it holds
// and the comparison of one exposure's entrance surface dose with the level of its body part.
//
// Layout (Shift-JIS, CR LF), one record per line, read with the field and line reads:
//   "胸部正面", .2 ,Japan DRLs 2020: 乳児（0～1 歳）胸部 入射表面線量
// field 1  the body part, a quoted field (as it stands in 撮影部位.txt; it cannot hold a quote)
// field 2  the level in mGy of entrance surface dose, in the number write form; empty: no level
// rest    the source, the rest of the line taken whole (commas and quotes in it are kept)
// Blank lines are skipped.
//
// Several records may name one body part (a national level, an older European level, the local
// levels of a NICU by weight band): the first record of a body part is the level that every
// comparison uses; the later ones are kept as documentation and never compared with.

#include "textio/expected.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tamso::refdata {

namespace fs = std::filesystem;

inline constexpr const char* kReferenceLevelFileName = "参考線量.dat";
inline constexpr const char* kBodyPartListFileName = "撮影部位.txt";

struct ReferenceLevelRow {
    std::string bodyPart;
    std::optional<double> levelMGy; // entrance surface dose; nothing: no level for the body part
    std::string source;
};

struct ReferenceLevelTable {
    std::vector<ReferenceLevelRow> rows; // in file order

    // The record used for the body part (its first one); null when the body part has none.
    const ReferenceLevelRow* rowFor(std::string_view bodyPart) const;
    // The level that the body part is compared with; nothing when it has no level.
    std::optional<double> levelFor(std::string_view bodyPart) const;
    // Whether the row at this index is the one used for its body part (the others document).
    bool isUsedRow(size_t index) const;
};

// The comparison of one dose with a level, made on the figures as they are shown, so that what is
// shown supports the verdict: the dose as shown (three decimals, or as the user typed it; the
// audit's median to the finer of three decimals and the level's, textio::doseTextAgainstLevel)
// against the level as shown (textio::levelText, which shows every digit of the level), so that a
// dose equal to its level, or below it, is never above it. The ratio is shown
// with two decimals, more where two would show a dose above its level as 1.00.
struct LevelComparison {
    double levelMGy = 0;
    double ratio = 0;      // dose / level
    bool above = false;    // the dose is above the level (a dose equal to it is not)
    std::string levelText; // "0.200", "0.0547"
    std::string ratioText; // "1.02", "1.002"
};
// `shownDoseMGy` is the value of the dose's text as shown; `levelMGy` must be above 0.
LevelComparison compareWithLevel(double shownDoseMGy, double levelMGy);
// With the level of the body part; nothing when the body part has no level in the table (the
// comparison is then not shown). `shownDoseMGy` is a dose as shown or typed ("0.1004" typed is
// compared as 0.1004).
std::optional<LevelComparison> compareWithReferenceLevel(const ReferenceLevelTable& table,
                                                         std::string_view bodyPart, double shownDoseMGy);
// The same for a computed dose (the calculation's, the audit's median): compared at the finer of its
// three decimals and the level's own decimals (textio::doseTextAgainstLevel), so that a computed
// 0.05468 mGy, shown as "0.055", is not above a level of 0.0547 mGy.
std::optional<LevelComparison> compareComputedDoseWithReferenceLevel(const ReferenceLevelTable& table,
                                                                     std::string_view bodyPart,
                                                                     double computedDoseMGy);

// The records of a file's UTF-8 text; the error names the file and the line and says what is
// wrong (a body part missing, a level that is not a number or not above 0, text that was not
// Shift-JIS, marked as textio::kUnreadableMark).
Expected<ReferenceLevelTable> parseReferenceLevels(std::string_view utf8Text, std::string_view fileName);
Expected<ReferenceLevelTable> readReferenceLevelFile(const fs::path& file);
// The lines of the file, one per row. Refused: an empty body part, one holding a quote, a level
// that is not above 0.
Expected<std::vector<std::string>> referenceLevelFileLines(const ReferenceLevelTable& table);
Status writeReferenceLevelFile(const fs::path& file, const ReferenceLevelTable& table);

// Start-up reading of the optional file: a missing file gives an empty table and no warning; a
// file that is present but cannot be read gives an empty table and the warning to show once
// (the comparisons are then not shown, as without the file). Never fails.
struct OptionalReferenceLevels {
    ReferenceLevelTable table;
    bool present = false;
    std::optional<std::string> warning;
};
OptionalReferenceLevels loadReferenceLevels(const fs::path& folder);

// The body parts of "撮影部位.txt", one per line, taken whole, in file order; empty when the file
// is missing or cannot be read (as the exposure-condition screen takes it).
std::vector<std::string> readBodyPartList(const fs::path& folder);

// The rows as the editor lists them: first one row per body part of the list (its used record from
// the table, or an empty one), in the list's order, without empty or repeated entries; then every
// other record of the table in file order (body parts not in the list, documentation records).
// `listed` receives the number of rows of the first kind. The order keeps which record is used.
std::vector<ReferenceLevelRow> arrangeForBodyPartList(const ReferenceLevelTable& table,
                                                      const std::vector<std::string>& bodyParts,
                                                      size_t* listed = nullptr);

} // namespace tamso::refdata
