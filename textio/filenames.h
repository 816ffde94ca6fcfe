#pragma once
// Names of files: given in UTF-8 and turned into the platform's own encoding, and back for
// messages; their lengths as the file system counts them.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace tamso::textio {

namespace fs = std::filesystem;

// The path of a file named by its UTF-8 name inside a folder.
fs::path fileInFolder(const fs::path& folder, std::string_view utf8Name);
// The UTF-8 text of a path (for messages, lists and other programs' arguments).
std::string pathUtf8(const fs::path& path);
// The UTF-8 text of a path's last component (for messages and lists).
std::string fileNameUtf8(const fs::path& path);
// The last component in 「」, as messages name a file.
std::string quotedFileName(const fs::path& path);
// What an entry that is not a regular file is, as messages name it ("フォルダ", "FIFO", "デバイス",
// "ソケット", otherwise "特殊なファイル").
std::string fileTypeText(fs::file_type type);

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

} // namespace tamso::textio
