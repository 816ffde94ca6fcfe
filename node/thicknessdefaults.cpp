#include "node/thicknessdefaults.h"

#include "node/sitetable.h"
#include "textio/numbertext.h"

namespace tamso::node {

Expected<ThicknessDefaults> ThicknessDefaults::load(const std::filesystem::path& workFolder) {
    auto text = readSiteTable(workFolder, fileName());
    if (!text.ok())
        return text.error();
    if (!*text)
        return ThicknessDefaults{};
    auto defaults = fromText(**text);
    if (!defaults.ok())
        return Error(ErrorCode::FileProblem, {fileName(), defaults.error().message()});
    return defaults;
}

Expected<ThicknessDefaults> ThicknessDefaults::fromText(const std::string& utf8Text) {
    ThicknessDefaults defaults;
    for (const SiteTableLine& line : siteTableLines(utf8Text)) {
        const auto number = textio::parseNumber(line.rest);
        if (!number || !(*number > 0))
            return Error(ErrorCode::ThicknessDefaultBad, {std::to_string(line.lineNumber), line.rest});
        defaults.thickness_.emplace(line.bodyPart, textio::numberToText(*number));
    }
    return defaults;
}

std::optional<std::string> ThicknessDefaults::thicknessFor(const std::string& bodyPart) const {
    const auto it = thickness_.find(bodyPart);
    if (it == thickness_.end())
        return std::nullopt;
    return it->second;
}

} // namespace tamso::node
