#include "textio/fileerrors.h"

#include <cerrno>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#ifndef ERROR_DISK_QUOTA_EXCEEDED // not in every SDK's headers (MinGW-w64 lacks it)
#define ERROR_DISK_QUOTA_EXCEEDED 1295L
#endif
#endif

namespace tamso::textio {
namespace {

using Failure = FileFailure;

// An errno value: the system's code on POSIX, and what the standard library of MinGW reports for
// file-system failures on Windows too.
Failure classifyErrno(int code) {
    switch (code) {
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return Failure::DiskFull;
    case EACCES:
    case EPERM:
        return Failure::Denied;
    case EROFS:
        return Failure::ReadOnlyMedium;
    case ENOENT:
    case ENOTDIR:
        return Failure::Missing;
    case ENAMETOOLONG:
        return Failure::NameTooLong;
    case EBUSY:
#ifdef ETXTBSY
    case ETXTBSY:
#endif
        return Failure::InUse;
    case EISDIR:
        return Failure::IsFolder;
    case EIO:
        return Failure::Io;
#ifdef _WIN32
    case EINVAL: // a name with a character Windows does not allow ("?", "*", ...)
        return Failure::BadName;
#endif
    default:
        return Failure::Other;
    }
}

std::string reasonOf(Failure failure, int code) {
    switch (failure) {
    case Failure::DiskFull:
        return "ディスクがいっぱいです";
    case Failure::Denied:
        return "書き込みが禁止されています";
    case Failure::ReadOnlyMedium:
        return "ドライブが書き込み禁止です";
    case Failure::Missing:
        return "フォルダが見つかりません";
    case Failure::NameTooLong:
        return "ファイル名が長すぎます";
    case Failure::BadName:
        return "名前に使えない文字があります";
    case Failure::InUse:
        return "ファイルが使用中です";
    case Failure::IsFolder:
        return "同じ名前のフォルダがあります";
    case Failure::Io:
        return "ディスクへの読み書きに失敗しました";
    case Failure::Other:
        break;
    }
    return "システムのエラー番号 " + std::to_string(code);
}

} // namespace

#ifdef _WIN32

FileFailure classifyFileError(int code) {
    switch (static_cast<DWORD>(code)) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_QUOTA_EXCEEDED:
        return Failure::DiskFull;
    case ERROR_ACCESS_DENIED:
        return Failure::Denied;
    case ERROR_WRITE_PROTECT:
        return Failure::ReadOnlyMedium;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
        return Failure::Missing;
    case ERROR_FILENAME_EXCED_RANGE:
        return Failure::NameTooLong;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
        return Failure::BadName;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return Failure::InUse;
    case ERROR_DIRECTORY:
        return Failure::IsFolder;
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_GEN_FAILURE:
    case ERROR_UNEXP_NET_ERR:
    case ERROR_NETNAME_DELETED:
        return Failure::Io;
    default:
        return Failure::Other;
    }
}

#else

FileFailure classifyFileError(int code) {
    return classifyErrno(code);
}

#endif

std::string fileErrorReason(int code) {
    return reasonOf(classifyFileError(code), code);
}

std::string fileErrorReason(const std::error_code& error) {
    if (error.category() == std::generic_category())
        return reasonOf(classifyErrno(error.value()), error.value());
    return fileErrorReason(error.value());
}

bool isDiskFull(int code) {
    return classifyFileError(code) == FileFailure::DiskFull;
}

} // namespace tamso::textio
