#include "node/sitetable.h"

#include "textio/fileio.h"

namespace tamso::node {

std::string trimBlanks(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::vector<SiteTableLine> siteTableLines(const std::string& utf8Text) {
    std::vector<SiteTableLine> table;
    const auto lines = textio::splitLines(utf8Text);
    for (size_t n = 0; n < lines.size(); ++n) {
        const std::string line = trimBlanks(lines[n]);
        const auto comma = line.find(',');
        if (line.empty() || line[0] == '#' || comma == std::string::npos)
            continue;
        table.push_back({n + 1, trimBlanks(line.substr(0, comma)), trimBlanks(line.substr(comma + 1))});
    }
    return table;
}

Expected<std::optional<std::string>> readSiteTable(const std::filesystem::path& workFolder, const char* fileName) {
    const auto file = textio::fileInFolder(workFolder, fileName);
    std::error_code ec;
    if (!std::filesystem::exists(file, ec))
        return std::optional<std::string>{};
    auto text = textio::readTextFile(file);
    if (!text.ok())
        return text.error();
    return std::optional<std::string>{std::move(*text)};
}

} // namespace tamso::node
