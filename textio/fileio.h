#pragma once
// Files of the working folder: names given in UTF-8 and turned into the platform's own encoding,
// contents in Shift-JIS with CR LF line ends. Every replacement is atomic: the new content goes to a
// temporary file beside the target, which is then renamed over it, so a failed write never leaves a
// truncated file behind.

#include "textio/expected.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tamso::textio {

namespace fs = std::filesystem;

// The path of a file named by its UTF-8 name inside a folder.
fs::path fileInFolder(const fs::path& folder, std::string_view utf8Name);
// The UTF-8 text of a path's last component (for messages and lists).
std::string fileNameUtf8(const fs::path& path);

// Whether the file exists and can be opened for reading.
bool canOpenForReading(const fs::path& path);

// The raw bytes of a file; the error names the file.
Expected<std::string> readFileBytes(const fs::path& path);
// The file's Shift-JIS text converted to UTF-8.
Expected<std::string> readTextFile(const fs::path& path);

// The raw bytes of a regular file (a link to one is followed) of at most maxBytes. A folder, FIFO,
// device or socket is refused before it is opened, so nothing waits for a writer or reads without
// end; a larger file is refused, and no more than maxBytes + 1 bytes are ever read. The error
// names the file.
Expected<std::string> readRegularFileBytes(const fs::path& path, std::uintmax_t maxBytes);

// Stands in a converted text for a stretch that is not valid Shift-JIS: U+FFFD, which no
// Shift-JIS character converts to.
inline constexpr std::string_view kUnreadableMark = "\xEF\xBF\xBD";
// Shift-JIS converted to UTF-8 as far as it is valid: from the first character of a line that does
// not convert to the end of that line, the line holds kUnreadableMark instead. Line ends are kept,
// so a reader that stops before such a stretch reads exactly what a strict conversion gives.
std::string sjisToUtf8MarkingUnreadable(std::string_view sjis);

// Whether a replacement waits until the new content is on the disk before it is published.
// Stored data (reference files, patient records) always do; a scratch listing that every
// calculation rewrites may skip the wait.
enum class Durability { Synced, Unsynced };

// Replaces (or creates) the file with exactly these bytes, atomically.
Status writeFileAtomic(const fs::path& path, std::string_view bytes, Durability durability = Durability::Synced);
// Writes the UTF-8 lines as Shift-JIS, each ended by CR LF, atomically.
Status writeTextLines(const fs::path& path, const std::vector<std::string>& utf8Lines,
                      Durability durability = Durability::Synced);

// Splits text into lines at CR LF, bare LF or bare CR; a final line end does not start another line.
std::vector<std::string> splitLines(std::string_view text);

} // namespace tamso::textio
