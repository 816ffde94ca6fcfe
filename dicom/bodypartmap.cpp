#include "dicom/bodypartmap.h"

#include "textio/fileio.h"

#include <algorithm>
#include <optional>

namespace tamso::dicom {

namespace {

bool isSeparator(char c) {
    return c == ' ' || c == '\t' || c == '_' || c == '-' || c == '^' || c == '/' || c == '\\' || c == '(' ||
           c == ')' || c == ',' || c == '.' || c == ':' || c == ';' || c == '+' || c == '&';
}

// The words of a text: split at ASCII separators and at the ideographic space, ASCII letters in
// capitals.
std::vector<std::string> wordsOf(const std::string& text) {
    static const std::string kIdeographicSpace = "\xE3\x80\x80";
    std::vector<std::string> words;
    std::string word;
    auto finish = [&] {
        if (!word.empty())
            words.push_back(word);
        word.clear();
    };
    for (size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, kIdeographicSpace.size(), kIdeographicSpace) == 0) {
            finish();
            i += kIdeographicSpace.size() - 1;
        } else if (isSeparator(text[i])) {
            finish();
        } else {
            const char c = text[i];
            word += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
        }
    }
    finish();
    return words;
}

bool isAsciiWord(const std::string& word) {
    return std::all_of(word.begin(), word.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool wordMatches(const std::string& key, const std::vector<std::string>& textWords) {
    const bool ascii = isAsciiWord(key);
    return std::any_of(textWords.begin(), textWords.end(), [&](const std::string& word) {
        return ascii ? word == key : word.find(key) != std::string::npos;
    });
}

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

} // namespace

BodyPartMapping BodyPartMapping::fromLines(const std::vector<std::string>& mappingLines,
                                           const std::vector<std::string>& bodyPartList) {
    BodyPartMapping mapping;
    std::vector<std::string> listed;
    for (const std::string& entry : bodyPartList)
        listed.push_back(trimmed(entry));
    for (const std::string& rawLine : mappingLines) {
        const std::string line = trimmed(rawLine);
        const auto comma = line.find(',');
        if (line.empty() || line[0] == '#' || comma == std::string::npos)
            continue;
        Entry entry{wordsOf(line.substr(0, comma)), trimmed(line.substr(comma + 1))};
        if (entry.words.empty() || std::find(listed.begin(), listed.end(), entry.bodyPart) == listed.end())
            continue;
        mapping.entries_.push_back(std::move(entry));
    }
    return mapping;
}

BodyPartMapping BodyPartMapping::load(const std::filesystem::path& workFolder) {
    auto readLines = [&](const char* name) -> Expected<std::vector<std::string>> {
        const auto path = textio::fileInFolder(workFolder, name);
        std::error_code ec;
        if (!std::filesystem::exists(path, ec))
            return Error(ErrorCode::BodyPartFileMissing, {name});
        auto text = textio::readTextFile(path);
        if (!text.ok())
            return Error(ErrorCode::BodyPartFileUnreadable, {name});
        return textio::splitLines(*text);
    };
    const auto mappingLines = readLines(fileName());
    const auto listLines = readLines(bodyPartListName());
    BodyPartMapping mapping;
    if (!mappingLines.ok())
        mapping.problem_ = "対応表 " + mappingLines.error().message();
    else if (!listLines.ok())
        mapping.problem_ = "撮影部位の一覧 " + listLines.error().message();
    else
        mapping = fromLines(*mappingLines, *listLines);
    return mapping;
}

Sourced<std::string> BodyPartMapping::match(const BodyPartTexts& texts) const {
    Sourced<std::string> found;
    const struct {
        const char* name;
        const std::string& text;
    } sources[] = {{"BodyPartExamined (0018,0015)", texts.bodyPartExamined},
                   {"ProtocolName (0018,1030)", texts.protocolName},
                   {"SeriesDescription (0008,103E)", texts.seriesDescription}};
    const std::vector<std::string> viewWords = wordsOf(texts.viewPosition);
    std::string present;
    for (const auto& source : sources) {
        if (source.text.empty())
            continue;
        present += (present.empty() ? "" : "、") + std::string(source.name) + " '" + source.text + "'";
        std::vector<std::string> words = wordsOf(source.text);
        words.insert(words.end(), viewWords.begin(), viewWords.end());
        const Entry* best = nullptr;
        for (const Entry& entry : entries_) {
            const bool all = std::all_of(entry.words.begin(), entry.words.end(),
                                         [&](const std::string& key) { return wordMatches(key, words); });
            if (all && (!best || entry.words.size() > best->words.size()))
                best = &entry;
        }
        if (best) {
            found.value = best->bodyPart;
            found.source =
                std::string(source.name) + " '" + source.text + "'" +
                (texts.viewPosition.empty() ? "" : "、ViewPosition (0018,5101) '" + texts.viewPosition + "'");
            return found;
        }
    }
    if (!problem_.empty())
        found.problem = problem_;
    else if (present.empty())
        found.problem = "BodyPartExamined (0018,0015)、ProtocolName (0018,1030)、SeriesDescription "
                        "(0008,103E) がありません";
    else
        found.problem = std::string("対応表 ") + fileName() + " にありません（" + present +
                        (texts.viewPosition.empty() ? "" : "、ViewPosition '" + texts.viewPosition + "'") +
                        "）";
    return found;
}

} // namespace tamso::dicom
