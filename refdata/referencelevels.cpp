#include "refdata/referencelevels.h"

#include "textio/fileio.h"
#include "textio/numbertext.h"
#include "textio/quantitytext.h"
#include "textio/textreader.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <system_error>

namespace tamso::refdata {

namespace {

// Far beyond a table of every body part a site lists, with long sources; it keeps a wrong file (a
// disk image) from filling the memory.
constexpr std::uintmax_t kMaxFileBytes = std::uintmax_t{4} << 20;

Error fileError(std::string_view fileName, const std::string& detail) {
    return Error(ErrorCode::ReferenceFileUnreadable, {std::string(fileName), detail});
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string withoutLeadingBlanks(std::string text) {
    size_t first = 0;
    while (first < text.size() && isBlank(text[first]))
        ++first;
    return text.substr(first);
}

bool isBlankLine(std::string_view line) {
    return std::all_of(line.begin(), line.end(), isBlank);
}

} // namespace

const ReferenceLevelRow* ReferenceLevelTable::rowFor(std::string_view bodyPart) const {
    for (const ReferenceLevelRow& row : rows)
        if (row.bodyPart == bodyPart)
            return &row;
    return nullptr;
}

std::optional<double> ReferenceLevelTable::levelFor(std::string_view bodyPart) const {
    const ReferenceLevelRow* row = rowFor(bodyPart);
    if (!row)
        return std::nullopt;
    return row->levelMGy;
}

bool ReferenceLevelTable::isUsedRow(size_t index) const {
    return index < rows.size() && rowFor(rows[index].bodyPart) == &rows[index];
}

LevelComparison compareWithLevel(double shownDoseMGy, double levelMGy) {
    LevelComparison comparison;
    comparison.levelMGy = levelMGy;
    comparison.levelText = textio::levelText(levelMGy);
    // The level as shown: the same value for every level of up to 15 significant digits.
    const double shownLevel = textio::textToNumber(comparison.levelText);
    comparison.above = shownDoseMGy > shownLevel;
    comparison.ratio = shownDoseMGy / shownLevel;
    comparison.ratioText = textio::ratioText(comparison.ratio, comparison.above);
    return comparison;
}

std::optional<LevelComparison> compareWithReferenceLevel(const ReferenceLevelTable& table,
                                                         std::string_view bodyPart, double shownDoseMGy) {
    const std::optional<double> level = table.levelFor(bodyPart);
    if (!level || !(*level > 0))
        return std::nullopt;
    return compareWithLevel(shownDoseMGy, *level);
}

std::optional<LevelComparison> compareComputedDoseWithReferenceLevel(const ReferenceLevelTable& table,
                                                                     std::string_view bodyPart,
                                                                     double computedDoseMGy) {
    const std::optional<double> level = table.levelFor(bodyPart);
    if (!level || !(*level > 0))
        return std::nullopt;
    return compareWithLevel(textio::textToNumber(textio::doseTextAgainstLevel(computedDoseMGy, *level)), *level);
}

Expected<ReferenceLevelTable> parseReferenceLevels(std::string_view utf8Text, std::string_view fileName) {
    ReferenceLevelTable table;
    const std::vector<std::string> lines = textio::splitLines(utf8Text);
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        const std::string where = std::to_string(i + 1) + " 行目";
        if (isBlankLine(line))
            continue;
        if (line.find(textio::kUnreadableMark) != std::string::npos)
            return fileError(fileName, where + "に Shift-JIS として読めない文字があります");
        // Each line is read on its own, so that a record without its later fields never reaches
        // into the next line.
        textio::TextReader reader(line);
        ReferenceLevelRow row;
        row.bodyPart = reader.readField().value_or(std::string());
        if (row.bodyPart.empty())
            return fileError(fileName, where + "に撮影部位がありません");
        const std::string levelText = reader.readField().value_or(std::string());
        if (!levelText.empty()) {
            const textio::NumberReading reading = textio::readWholeNumber(levelText);
            const std::string quotedLevel = "参考レベル「" + textio::quotedFieldText(levelText) + "」";
            if (reading.status == textio::NumberStatus::OutOfRange)
                return fileError(fileName, where + "の" + quotedLevel + "は大きすぎて数値として扱えません");
            if (!reading.ok())
                return fileError(fileName, where + "の" + quotedLevel + "が数値ではありません");
            if (!(reading.value > 0))
                return fileError(fileName, where + "の" + quotedLevel + "は 0 より大きくなければなりません");
            row.levelMGy = reading.value;
        }
        row.source = withoutLeadingBlanks(reader.readLine().value_or(std::string()));
        table.rows.push_back(std::move(row));
    }
    return table;
}

Expected<ReferenceLevelTable> readReferenceLevelFile(const fs::path& file) {
    auto bytes = textio::readRegularFileBytes(file, kMaxFileBytes);
    if (!bytes.ok())
        return bytes.error();
    return parseReferenceLevels(textio::sjisToUtf8MarkingUnreadable(*bytes), textio::fileNameUtf8(file));
}

Expected<std::vector<std::string>> referenceLevelFileLines(const ReferenceLevelTable& table) {
    std::vector<std::string> lines;
    lines.reserve(table.rows.size());
    for (const ReferenceLevelRow& row : table.rows) {
        if (row.bodyPart.empty())
            return Error(ErrorCode::ReferenceLevelNoBodyPart);
        if (row.bodyPart.find('"') != std::string::npos)
            return Error(ErrorCode::ReferenceLevelQuote, {row.bodyPart});
        if (row.levelMGy && !(*row.levelMGy > 0 && std::isfinite(*row.levelMGy)))
            return Error(ErrorCode::ReferenceLevelNotPositive, {row.bodyPart});
        lines.push_back("\"" + row.bodyPart + "\"," +
                        (row.levelMGy ? textio::numberWriteForm(*row.levelMGy) : std::string()) + "," +
                        withoutLeadingBlanks(row.source));
    }
    return lines;
}

Status writeReferenceLevelFile(const fs::path& file, const ReferenceLevelTable& table) {
    auto lines = referenceLevelFileLines(table);
    if (!lines.ok())
        return lines.error();
    return textio::writeTextLines(file, *lines);
}

OptionalReferenceLevels loadReferenceLevels(const fs::path& folder) {
    OptionalReferenceLevels loaded;
    const fs::path file = textio::fileInFolder(folder, kReferenceLevelFileName);
    std::error_code ec;
    const fs::file_status status = fs::status(file, ec);
    if (status.type() == fs::file_type::not_found)
        return loaded;
    loaded.present = true;
    auto table = readReferenceLevelFile(file);
    if (!table.ok()) {
        loaded.warning = table.error().message() + "\n参考レベルとの比較は表示しません。";
        return loaded;
    }
    loaded.table = std::move(*table);
    return loaded;
}

std::vector<std::string> readBodyPartList(const fs::path& folder) {
    auto text = textio::readTextFile(textio::fileInFolder(folder, kBodyPartListFileName));
    if (!text.ok())
        return {};
    return textio::splitLines(*text);
}

std::vector<ReferenceLevelRow> arrangeForBodyPartList(const ReferenceLevelTable& table,
                                                      const std::vector<std::string>& bodyParts,
                                                      size_t* listed) {
    std::vector<ReferenceLevelRow> arranged;
    std::vector<bool> taken(table.rows.size(), false);
    std::set<std::string> seen;
    for (const std::string& part : bodyParts) {
        if (part.empty() || !seen.insert(part).second)
            continue;
        ReferenceLevelRow row{part, std::nullopt, std::string()};
        for (size_t i = 0; i < table.rows.size(); ++i)
            if (table.rows[i].bodyPart == part) {
                row = table.rows[i];
                taken[i] = true;
                break;
            }
        arranged.push_back(std::move(row));
    }
    if (listed)
        *listed = arranged.size();
    for (size_t i = 0; i < table.rows.size(); ++i)
        if (!taken[i])
            arranged.push_back(table.rows[i]);
    return arranged;
}

} // namespace tamso::refdata
