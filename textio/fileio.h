#pragma once
// Files of the working folder: names given in UTF-8 and turned into the platform's own encoding
// (textio/filenames.h), read bounded (textio/filereading.h), contents in Shift-JIS with CR LF line
// ends, failures in words (textio/fileerrors.h). Every replacement is atomic: the new content goes
// to a temporary file beside the target, which is then renamed over it, so a failed write never
// leaves a truncated file behind.
//
// The temporary file of a target is named "." + target name + ".tmp-" + 16 hexadecimal digits
// (".123.pat.tmp-0123456789abcdef" for "123.pat"). Its writer holds an operating-system lock on it
// (flock on POSIX; on Windows it keeps it open, and a leftover is removed only through a handle that
// shares nothing) until it has been renamed, so a temporary file that can be locked was left by a
// writer that died (a crash, a kill, a power cut); each replacement of a target removes such
// leftovers of that target, and only of that target (a scratch file written with
// Durability::Unsynced, which every calculation rewrites: its first replacement in each program).

#include "textio/expected.h"
#include "textio/fileerrors.h"
#include "textio/filenames.h"
#include "textio/filereading.h"
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

} // namespace tamso::textio
