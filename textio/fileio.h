#pragma once
// Files of the working folder: names given in UTF-8 and turned into the platform's own encoding,
// contents in Shift-JIS with CR LF line ends. Every replacement is atomic: the new content goes to a
// temporary file beside the target, which is then renamed over it, so a failed write never leaves a
// truncated file behind.
//
// The temporary file of a target is named "." + target name + ".tmp-" + 16 hexadecimal digits
// (".123.pat.tmp-0123456789abcdef" for "123.pat"). Its writer holds an operating-system lock on it
// (flock on POSIX; on Windows it keeps it open, and a leftover is removed only through a handle that
// shares nothing) until it has been renamed, so a temporary file that can be locked was left by a
// writer that died (a crash, a kill, a power cut); each replacement of a target removes such
// leftovers of that target, and only of that target (a scratch file written with
// Durability::Unsynced, which every calculation rewrites: its first replacement in each program).

#include "textio/expected.h"
#include "textio/ownfiles.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace tamso::textio {

namespace fs = std::filesystem;

// The path of a file named by its UTF-8 name inside a folder.
fs::path fileInFolder(const fs::path& folder, std::string_view utf8Name);
// The UTF-8 text of a path (for messages, lists and other programs' arguments).
std::string pathUtf8(const fs::path& path);
// The UTF-8 text of a path's last component (for messages and lists).
std::string fileNameUtf8(const fs::path& path);
// What an entry that is not a regular file is, as messages name it ("フォルダ", "FIFO", "デバイス",
// "ソケット", otherwise "特殊なファイル").
std::string fileTypeText(fs::file_type type);

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

// Whether a replacement waits until the new content is on the disk before it is published.
// Stored data (reference files, patient records) always do; a scratch listing that every
// calculation rewrites may skip the wait.
enum class Durability { Synced, Unsynced };

// Replaces (or creates) the file with exactly these bytes, atomically. A target that is read-only (on
// POSIX: no write permission for anyone, or none for this user) is refused and left as it is; a
// replaced file keeps its permission bits and, where the system allows, its owner and group. The
// error says why a write failed: a full disk or quota, a folder that cannot be written, a file in
// use, and so on.
Status writeFileAtomic(const fs::path& path, std::string_view bytes,
                       Durability durability = Durability::Synced);
// The working folder's own files and the check of every export: textio/ownfiles.h.

// Creates the file with exactly these bytes, atomically, unless something of that name is there:
// true when it was created, false when a file (or folder or link) of that name was already there,
// which is then left exactly as it is, also when it appears while the new content is written. The
// new file gets the permissions of a newly created file (writable by its user), whatever the
// permissions of the source of the bytes. On a file system without hard links a file that appears
// in the instant between the last look and the rename may still be replaced.
Expected<bool> createFileAtomic(const fs::path& path, std::string_view bytes,
                                Durability durability = Durability::Synced);
// Replaces (or creates) several files, each atomically as writeFileAtomic does and flushed to the
// disk, with one wait for the disk for all of them: every new content goes to its temporary file,
// all are flushed together, then renamed in the order given and their folders flushed. A failure
// before the renames leaves every file as it was; a rename that fails leaves the files before it
// replaced and those after it as they were.
Status writeFilesAtomic(const std::vector<std::pair<fs::path, std::string>>& files);
// The Shift-JIS bytes of UTF-8 lines, each ended by CR LF (what writeTextLines writes); fails on a
// character Shift-JIS cannot hold.
Expected<std::string> textLinesBytes(const std::vector<std::string>& utf8Lines);
// Writes the UTF-8 lines as Shift-JIS, each ended by CR LF, atomically.
Status writeTextLines(const fs::path& path, const std::vector<std::string>& utf8Lines,
                      Durability durability = Durability::Synced);

// How many characters (in the units of nativeNameLength) the name of a target's temporary file is
// longer than the target's name: ".", ".tmp-" and 16 digits.
inline constexpr std::size_t kTemporaryNameExtraLength = 22;
// Whether a file name is that of a temporary file of a replacement of the target named targetName.
bool isTemporaryFileOf(const fs::path& fileName, const fs::path& targetName);

// The length of a UTF-8 file name as the file system counts it: bytes on POSIX, UTF-16 code units
// on Windows.
std::size_t nativeNameLength(std::string_view utf8Name);
// The unit of nativeNameLength, for messages.
#ifdef _WIN32
inline constexpr const char* kNativeNameUnit = "文字";
#else
inline constexpr const char* kNativeNameUnit = "バイト";
#endif
// The longest file name the file system of the folder allows, in the units of nativeNameLength
// (255 where the system does not tell).
std::size_t maxFileNameLength(const fs::path& folder);

// Why a file operation failed, in words for a message ("ディスクがいっぱいです", ...), from the
// system's error code: errno on POSIX, a GetLastError() code on Windows.
std::string fileErrorReason(int systemErrorCode);
// The same for an error of the standard library (std::filesystem): its system category holds the
// system's codes, its generic category errno values, which MinGW's library gives on Windows too.
std::string fileErrorReason(const std::error_code& error);
// Whether the code says that the disk, or the user's share of it, is full.
bool isDiskFull(int systemErrorCode);

// Test seam: called in each replacement once its temporary file is created and before the content
// is written, with the temporary file's path. A non-zero result is taken as the system's error code
// of that write (for example ENOSPC, a full disk); the replacement then fails as it would on that
// error. An empty function (the default) removes the seam.
using WriteFaultForTesting = std::function<int(const fs::path& temporaryFile)>;
void setWriteFaultForTesting(WriteFaultForTesting fault);

// Removes every temporary file in the folder whose writer has gone (of any target): for a folder
// of files that are each written once under a new name, where no later replacement of the same
// name would remove them.
void removeAbandonedTemporaries(const fs::path& folder);

// Splits text into lines at CR LF, bare LF or bare CR; a final line end does not start another line.
std::vector<std::string> splitLines(std::string_view text);

} // namespace tamso::textio
