#pragma once
// Why a file operation failed, in words for a message ("ディスクがいっぱいです", ...), from the
// system's error code: errno on POSIX, a GetLastError() code on Windows.

#include <string>
#include <system_error>

namespace tamso::textio {

// What kind of failure a system error code stands for.
enum class FileFailure {
    DiskFull,
    Denied,
    ReadOnlyMedium,
    Missing,
    NameTooLong,
    BadName,
    InUse,
    IsFolder,
    Io,
    Other
};
FileFailure classifyFileError(int systemErrorCode);

// Why a file operation failed, in words for a message, from the system's error code.
std::string fileErrorReason(int systemErrorCode);
// The same for an error of the standard library (std::filesystem): its system category holds the
// system's codes, its generic category errno values, which MinGW's library gives on Windows too.
std::string fileErrorReason(const std::error_code& error);
// Whether the code says that the disk, or the user's share of it, is full.
bool isDiskFull(int systemErrorCode);

} // namespace tamso::textio
