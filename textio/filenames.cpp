#include "textio/filenames.h"

#include <cerrno>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace tamso::textio {

fs::path fileInFolder(const fs::path& folder, std::string_view utf8Name) {
#if defined(_WIN32)
    return folder / fs::u8path(utf8Name.begin(), utf8Name.end());
#else
    return folder / fs::path(std::string(utf8Name)); // names on Linux are UTF-8 bytes
#endif
}

std::string pathUtf8(const fs::path& path) {
#if defined(_WIN32)
    const auto text = path.u8string(); // std::string, or std::u8string from C++20 on
    return std::string(text.begin(), text.end());
#else
    return path.string();
#endif
}

std::string fileNameUtf8(const fs::path& path) {
    return pathUtf8(path.filename());
}

std::string fileTypeText(fs::file_type type) {
    switch (type) {
    case fs::file_type::directory:
        return "フォルダ";
    case fs::file_type::fifo:
        return "FIFO";
    case fs::file_type::block:
    case fs::file_type::character:
        return "デバイス";
    case fs::file_type::socket:
        return "ソケット";
    default:
        return "特殊なファイル";
    }
}

std::string quotedFileName(const fs::path& path) {
    return "「" + fileNameUtf8(path) + "」";
}

size_t nativeNameLength(std::string_view utf8Name) {
#ifdef _WIN32
    size_t units = 0;
    for (unsigned char c : utf8Name) {
        if ((c & 0xC0) == 0x80)
            continue;               // a continuation byte
        units += c >= 0xF0 ? 2 : 1; // four-byte sequences need a surrogate pair
    }
    return units;
#else
    return utf8Name.size();
#endif
}

size_t maxFileNameLength(const fs::path& folder) {
    constexpr size_t usual = 255;
#ifdef _WIN32
    std::error_code ec;
    const fs::path absolute = fs::absolute(folder, ec);
    wchar_t volume[MAX_PATH + 1] = {};
    DWORD maxComponent = 0;
    if (ec || !::GetVolumePathNameW(absolute.c_str(), volume, MAX_PATH + 1) ||
        !::GetVolumeInformationW(volume, nullptr, 0, nullptr, &maxComponent, nullptr, nullptr, 0) ||
        maxComponent == 0)
        return usual;
    return maxComponent;
#else
    errno = 0;
    const long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    return limit > 0 ? static_cast<size_t>(limit) : usual;
#endif
}

} // namespace tamso::textio
