#include "textio/workfolder.h"

#include "textio/fileio.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <system_error>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <pwd.h>
#include <unistd.h>
#endif

namespace tamso::textio {
namespace {

// No shipped file comes near this; a larger one is not a working-folder file.
constexpr std::uintmax_t kMaxShippedFileBytes = 64u << 20;

// The words for a failed file-system call of the standard library.
std::string reasonOf(const std::error_code& ec) {
    return fileErrorReason(ec);
}

Status makeFolder(const fs::path& folder) {
    std::error_code ec;
    if (fs::is_directory(folder, ec))
        return {};
    if (fs::symlink_status(folder, ec).type() != fs::file_type::not_found && !ec)
        return Error(ErrorCode::WorkFolderCannotMake, {pathUtf8(folder), "同じ名前のファイルがあります"});
    fs::create_directories(folder, ec);
    if (ec)
        return Error(ErrorCode::WorkFolderCannotMake, {pathUtf8(folder), reasonOf(ec)});
    return {};
}

bool somethingNamed(const fs::path& path) {
    std::error_code ec;
    const fs::file_type type = fs::symlink_status(path, ec).type();
    return type != fs::file_type::not_found && type != fs::file_type::none;
}

} // namespace

// Platform layer ---------------------------------------------------------------------------------
#ifdef _WIN32

fs::path executableFolder() {
    std::wstring buffer(MAX_PATH, L'\0');
    while (buffer.size() <= 32768) {
        const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size()) { // otherwise the name was cut off: try a larger buffer
            buffer.resize(length);
            return fs::path(buffer).parent_path();
        }
        buffer.resize(buffer.size() * 2);
    }
    return {};
}

fs::path userWorkFolder() {
    const DWORD size = ::GetEnvironmentVariableW(L"USERPROFILE", nullptr, 0); // with the final null
    if (size <= 1)
        return {};
    std::wstring profile(size, L'\0');
    const DWORD length = ::GetEnvironmentVariableW(L"USERPROFILE", profile.data(), size);
    if (length == 0 || length >= size)
        return {};
    profile.resize(length);
    return fs::path(profile) / kUserWorkFolderName;
}

#else

fs::path executableFolder() {
    std::error_code ec;
    const fs::path program = fs::read_symlink("/proc/self/exe", ec); // Linux
    return ec ? fs::path() : program.parent_path();
}

fs::path userWorkFolder() {
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        const passwd* user = ::getpwuid(::getuid());
        home = user ? user->pw_dir : nullptr;
    }
    if (!home || !*home)
        return {};
    return fs::path(home) / kUserWorkFolderName;
}

#endif
// End of the platform layer -------------------------------------------------------------------

fs::path installedDefaultsFolder(const fs::path& programFolder) {
    if (programFolder.empty())
        return {};
    return (programFolder / ".." / "share" / "tamso" / "data").lexically_normal();
}

Expected<std::optional<fs::path>> workFolderOption(const std::vector<std::string>& utf8Args) {
    static const std::string option = "--workdir";
    std::optional<fs::path> folder;
    for (size_t i = 0; i < utf8Args.size(); ++i) {
        const std::string& arg = utf8Args[i];
        std::string value;
        if (arg == option) {
            if (i + 1 >= utf8Args.size() || utf8Args[i + 1].empty())
                return Error(ErrorCode::WorkdirOptionEmpty);
            value = utf8Args[++i];
        } else if (arg.rfind(option + "=", 0) == 0) {
            value = arg.substr(option.size() + 1);
            if (value.empty())
                return Error(ErrorCode::WorkdirOptionEmpty);
        } else {
            continue;
        }
        folder = fs::u8path(value);
    }
    return folder;
}

Expected<std::vector<std::string>> fillWorkFolder(const fs::path& folder, const fs::path& defaults) {
    std::error_code ec;
    if (!fs::is_directory(defaults, ec))
        return Error(ErrorCode::DefaultsFolderMissing, {pathUtf8(defaults)});
    std::vector<fs::path> shipped;
    for (fs::directory_iterator it(defaults, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        // Regular files only (a link to one counts); hidden names are no working-folder files.
        if (it->is_regular_file(typeError) && fileNameUtf8(it->path()).rfind('.', 0) != 0)
            shipped.push_back(it->path());
    }
    if (ec)
        return Error(ErrorCode::DefaultsFolderUnreadable, {pathUtf8(defaults), reasonOf(ec)});
    std::sort(shipped.begin(), shipped.end());

    if (Status made = makeFolder(folder); !made.ok())
        return made.error();
    std::vector<std::string> copied;
    for (const fs::path& source : shipped) {
        const fs::path target = folder / source.filename();
        if (somethingNamed(target))
            continue;
        auto bytes = readRegularFileBytes(source, kMaxShippedFileBytes);
        if (!bytes.ok())
            return bytes.error();
        auto created = createFileAtomic(target, *bytes);
        if (!created.ok())
            return created.error();
        if (*created)
            copied.push_back(fileNameUtf8(source));
    }
    return copied;
}

Expected<fs::path> prepareWorkFolder(const StartFolders& folders) {
    std::error_code ec;
    const bool installed = !folders.defaults.empty() && fs::is_directory(folders.defaults, ec);
    fs::path folder;
    if (folders.requested) {
        folder = folders.requested->is_absolute() ? *folders.requested
                                                  : (folders.current / *folders.requested).lexically_normal();
    } else if (installed) {
        if (folders.user.empty())
            return Error(ErrorCode::NoHomeFolder);
        folder = folders.user;
    } else {
        return folders.current;
    }

    if (installed) {
        if (auto filled = fillWorkFolder(folder, folders.defaults); !filled.ok())
            return filled.error();
    } else if (!fs::is_directory(folder, ec)) {
        return Error(ErrorCode::WorkFolderMissing, {pathUtf8(folder)});
    }
    return folder;
}

} // namespace tamso::textio
