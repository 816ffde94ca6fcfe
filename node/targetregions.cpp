#include "node/targetregions.h"

#include "textio/fileio.h"

#include <algorithm>

namespace tamso::node {
namespace {

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool printableAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

} // namespace

Expected<TargetRegions> TargetRegions::load(const std::filesystem::path& workFolder) {
    const auto file = textio::fileInFolder(workFolder, fileName());
    std::error_code ec;
    if (!std::filesystem::exists(file, ec))
        return TargetRegions{};
    auto text = textio::readTextFile(file);
    if (!text.ok())
        return text.error();
    auto regions = fromText(*text);
    if (!regions.ok())
        return Error{std::string(fileName()) + ": " + regions.error().message};
    return regions;
}

Expected<TargetRegions> TargetRegions::fromText(const std::string& utf8Text) {
    TargetRegions regions;
    const auto lines = textio::splitLines(utf8Text);
    for (size_t n = 0; n < lines.size(); ++n) {
        const std::string line = trim(lines[n]);
        const auto comma = line.find(',');
        if (line.empty() || line[0] == '#' || comma == std::string::npos)
            continue;
        const std::string bodyPart = trim(line.substr(0, comma));
        const std::string rest = line.substr(comma + 1);
        const auto second = rest.find(',');
        const std::string code = trim(rest.substr(0, second));
        const std::string meaning = second == std::string::npos ? std::string() : trim(rest.substr(second + 1));
        const bool digits = !code.empty() && code.size() <= 18 &&
                            std::all_of(code.begin(), code.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (!digits)
            return Error{std::to_string(n + 1) + " 行目のコード「" + code + "」は SNOMED CT のコード（数字）ではありません。"};
        if (meaning.empty() || meaning.size() > 64 || !printableAscii(meaning))
            return Error{std::to_string(n + 1) + " 行目にコードの意味（英語）がありません。"};
        regions.regions_.emplace(bodyPart, TargetRegion{code, meaning});
    }
    return regions;
}

TargetRegion TargetRegions::regionOf(const std::string& bodyPart) const {
    const auto it = regions_.find(trim(bodyPart));
    return it == regions_.end() ? TargetRegion{} : it->second;
}

} // namespace tamso::node
