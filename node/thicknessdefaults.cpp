#include "node/thicknessdefaults.h"

#include "textio/fileio.h"
#include "textio/numbertext.h"

namespace tamso::node {
namespace {

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

} // namespace

Expected<ThicknessDefaults> ThicknessDefaults::load(const std::filesystem::path& workFolder) {
    const auto file = textio::fileInFolder(workFolder, fileName());
    std::error_code ec;
    if (!std::filesystem::exists(file, ec))
        return ThicknessDefaults{};
    auto text = textio::readTextFile(file);
    if (!text.ok())
        return text.error();
    auto defaults = fromText(*text);
    if (!defaults.ok())
        return Error{std::string(fileName()) + ": " + defaults.error().message};
    return defaults;
}

Expected<ThicknessDefaults> ThicknessDefaults::fromText(const std::string& utf8Text) {
    ThicknessDefaults defaults;
    const auto lines = textio::splitLines(utf8Text);
    for (size_t n = 0; n < lines.size(); ++n) {
        const std::string line = trim(lines[n]);
        const auto comma = line.find(',');
        if (line.empty() || line[0] == '#' || comma == std::string::npos)
            continue;
        const std::string bodyPart = trim(line.substr(0, comma));
        const std::string thickness = trim(line.substr(comma + 1));
        const auto number = textio::parseNumber(thickness);
        if (!number || !(*number > 0))
            return Error{std::to_string(n + 1) + " 行目の被写体厚「" + thickness +
                         "」は 0 より大きい数ではありません。"};
        defaults.thickness_.emplace(bodyPart, textio::numberToText(*number));
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
