#pragma once
// The technologist list: TechnologistTable (names 1..50) and technologistCount, mirrored in the
// file "撮影担当.txt" of the working folder (Shift-JIS, one name per line, CR LF, in the order the
// names were added). Plain C++ without any screen dependency.

#include "textio/expected.h"

#include <array>
#include <filesystem>
#include <string>
#include <vector>

namespace tamso::records {

class TechnologistList {
public:
    static constexpr int kCapacity = 50;
    static const char* fileName() { return "撮影担当.txt"; }
    static Error fullMessage() { return Error(ErrorCode::TechnologistListFull); }

    // Replaces the list with the file's lines, at most 50 of them. A missing file gives an empty
    // list. A file that cannot be read leaves the list empty and returns the message.
    Status read(const std::filesystem::path& folder);

    // Adds a name as the file's last line and reads the list back. The names already in the file
    // are kept even if the list was never read. The name is not checked: an empty name adds an
    // empty line. With 50 names, or when the file cannot be read or written, nothing changes and
    // the message is returned.
    Status add(const std::filesystem::path& folder, const std::string& name);

    int technologistCount() const { return count_; }
    // Entry 1..technologistCount; any other index gives an empty name.
    const std::string& entry(int index) const;
    std::vector<std::string> names() const;
    bool hasBeenRead() const { return read_; }

private:
    std::array<std::string, kCapacity + 1> TechnologistTable{}; // entry 0 unused
    int count_ = 0;
    bool read_ = false;
};

} // namespace tamso::records
