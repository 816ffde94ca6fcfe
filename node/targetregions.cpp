#include "node/targetregions.h"

#include "node/sitetable.h"

#include <algorithm>

namespace tamso::node {
namespace {

bool printableAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

} // namespace

Expected<TargetRegions> TargetRegions::load(const std::filesystem::path& workFolder) {
    auto text = readSiteTable(workFolder, fileName());
    if (!text.ok())
        return text.error();
    if (!*text)
        return TargetRegions{};
    auto regions = fromText(**text);
    if (!regions.ok())
        return Error(ErrorCode::FileProblem, {fileName(), regions.error().message()});
    return regions;
}

Expected<TargetRegions> TargetRegions::fromText(const std::string& utf8Text) {
    TargetRegions regions;
    for (const SiteTableLine& line : siteTableLines(utf8Text)) {
        const auto second = line.rest.find(',');
        const std::string code = trimBlanks(line.rest.substr(0, second));
        const std::string meaning = second == std::string::npos ? std::string() : trimBlanks(line.rest.substr(second + 1));
        const bool digits = !code.empty() && code.size() <= 18 &&
                            std::all_of(code.begin(), code.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (!digits)
            return Error(ErrorCode::TargetRegionCodeBad, {std::to_string(line.lineNumber), code});
        if (meaning.empty() || meaning.size() > 64 || !printableAscii(meaning))
            return Error(ErrorCode::TargetRegionMeaningMissing, {std::to_string(line.lineNumber)});
        regions.regions_.emplace(line.bodyPart, TargetRegion{code, meaning});
    }
    return regions;
}

TargetRegion TargetRegions::regionOf(const std::string& bodyPart) const {
    const auto it = regions_.find(trimBlanks(bodyPart));
    return it == regions_.end() ? TargetRegion{} : it->second;
}

} // namespace tamso::node
