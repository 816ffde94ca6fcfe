#include "records/samerecordfile.h"

#include "records/patienthistory.h"
#include "textio/fileio.h"

#include <algorithm>
#include <system_error>

namespace tamso::records {
namespace {

// Whether the file may have another name: a link, or a file with several hard links.
bool mayHaveOtherNames(const fs::path& file) {
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(file, ec)))
        return true;
    const std::uintmax_t links = fs::hard_link_count(file, ec);
    return !ec && links > 1;
}

// The record files of the folder (by name; temporary and hidden files are none).
std::vector<fs::path> recordFilesOf(const fs::path& folder) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = textio::fileNameUtf8(it->path());
        if (!name.empty() && name.front() != '.' && parseRecordFileName(name))
            files.push_back(it->path());
    }
    return files;
}

// Of the names of one file, the one counted: no link before a link, then the first by name.
bool countedBefore(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    const bool linkA = fs::is_symlink(fs::symlink_status(a, ec));
    const bool linkB = fs::is_symlink(fs::symlink_status(b, ec));
    if (linkA != linkB)
        return !linkA;
    return textio::fileNameUtf8(a) < textio::fileNameUtf8(b);
}

} // namespace

std::vector<std::optional<fs::path>> countedInsteadOf(const std::vector<fs::path>& files) {
    std::vector<std::optional<fs::path>> instead(files.size());
    std::vector<fs::path> inFolder;
    bool listed = false;
    for (size_t i = 0; i < files.size(); ++i) {
        if (!mayHaveOtherNames(files[i]))
            continue;
        if (!listed) {
            inFolder = recordFilesOf(files[i].parent_path());
            listed = true;
        }
        fs::path counted = files[i];
        for (const fs::path& other : inFolder) {
            std::error_code ec;
            if (fs::equivalent(other, files[i], ec) && !ec && countedBefore(other, counted))
                counted = other;
        }
        if (textio::fileNameUtf8(counted) != textio::fileNameUtf8(files[i]))
            instead[i] = counted;
    }
    return instead;
}

} // namespace tamso::records
