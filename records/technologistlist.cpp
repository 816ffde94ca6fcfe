#include "records/technologistlist.h"

#include "textio/fileio.h"

#include <system_error>

namespace tamso::records {

Status TechnologistList::read(const std::filesystem::path& folder) {
    for (auto& name : TechnologistTable)
        name.clear();
    count_ = 0;
    const auto path = textio::fileInFolder(folder, fileName());
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        read_ = true;
        return {};
    }
    auto text = textio::readTextFile(path);
    if (!text.ok()) {
        // Not read: a later add must not rewrite the file from an empty list.
        read_ = false;
        return text.error();
    }
    for (const std::string& line : textio::splitLines(*text)) {
        if (count_ == kCapacity)
            break;
        TechnologistTable[++count_] = line;
    }
    read_ = true;
    return {};
}

Status TechnologistList::add(const std::filesystem::path& folder, const std::string& name) {
    if (!read_) {
        if (auto error = read(folder); !error.ok())
            return error;
    }
    if (count_ >= kCapacity)
        return fullMessage();
    std::vector<std::string> lines(TechnologistTable.begin() + 1, TechnologistTable.begin() + 1 + count_);
    lines.push_back(name);
    if (auto error = textio::writeTextLines(textio::fileInFolder(folder, fileName()), lines); !error.ok())
        return error;
    return read(folder);
}

const std::string& TechnologistList::entry(int index) const {
    static const std::string empty;
    return index >= 1 && index <= count_ ? TechnologistTable[index] : empty;
}

std::vector<std::string> TechnologistList::names() const {
    return std::vector<std::string>(TechnologistTable.begin() + 1, TechnologistTable.begin() + 1 + count_);
}

} // namespace tamso::records
