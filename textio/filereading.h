#pragma once
// Reading the files of the working folder: their bytes, bounded where a file comes from outside,
// and their Shift-JIS text converted to UTF-8.

#include "textio/expected.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tamso::textio {

namespace fs = std::filesystem;

// Whether the file exists and can be opened for reading.
bool canOpenForReading(const fs::path& path);

// The raw bytes of a file; the error names the file.
Expected<std::string> readFileBytes(const fs::path& path);

// The raw bytes of a regular file (a link to one is followed) of at most maxBytes. A folder, FIFO,
// device or socket is refused before it is opened, so nothing waits for a writer or reads without
// end; a larger file is refused, and no more than maxBytes + 1 bytes are ever read. The error
// names the file.
Expected<std::string> readRegularFileBytes(const fs::path& path, std::uintmax_t maxBytes);

// The longest text file of the working folder read whole (lists, settings, the node's files): far
// beyond any of them, it keeps a wrong file (a disk image) from filling the memory.
inline constexpr std::uintmax_t kMaxTextFileBytes = std::uintmax_t{4} << 20;
// The Shift-JIS text of a regular file of at most maxBytes (readRegularFileBytes), converted to
// UTF-8: a named pipe or device of the name never makes the program wait or read without end.
Expected<std::string> readTextFile(const fs::path& path, std::uintmax_t maxBytes = kMaxTextFileBytes);

// Stands in a converted text for a stretch that is not valid Shift-JIS: U+FFFD, which no
// Shift-JIS character converts to.
inline constexpr std::string_view kUnreadableMark = "\xEF\xBF\xBD";
// Shift-JIS converted to UTF-8 as far as it is valid: from the first character of a line that does
// not convert to the end of that line, the line holds kUnreadableMark instead. Line ends are kept,
// so a reader that stops before such a stretch reads exactly what a strict conversion gives.
std::string sjisToUtf8MarkingUnreadable(std::string_view sjis);

// What tells whether a file changed since it was read: whether it exists, its modification time
// and its size. A file read again when its stamp differs is never used stale.
struct FileStamp {
    bool exists = false;
    fs::file_time_type time{};
    std::uintmax_t size = 0;
    bool operator==(const FileStamp& o) const {
        return exists == o.exists && time == o.time && size == o.size;
    }
    bool operator!=(const FileStamp& o) const { return !(*this == o); }
};
FileStamp fileStamp(const fs::path& file);

// Splits text into lines at CR LF, bare LF or bare CR; a final line end does not start another line.
std::vector<std::string> splitLines(std::string_view text);

} // namespace tamso::textio
