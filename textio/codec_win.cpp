#include "textio/codec.h"

#include <string>
#include <windows.h>

namespace tamso::textio {
namespace {

Expected<std::wstring> toWide(UINT codePage, std::string_view in, ErrorCode what) {
    if (in.empty())
        return std::wstring();
    int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(), static_cast<int>(in.size()),
                                nullptr, 0);
    if (n <= 0)
        return Error(what);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(), static_cast<int>(in.size()), out.data(),
                        n);
    return out;
}

Expected<std::string> fromWide(UINT codePage, const std::wstring& in, ErrorCode what) {
    if (in.empty())
        return std::string();
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultPtr = codePage == CP_UTF8 ? nullptr : &usedDefault;
    DWORD flags = codePage == CP_UTF8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    int n = WideCharToMultiByte(codePage, flags, in.data(), static_cast<int>(in.size()), nullptr, 0, nullptr,
                                usedDefaultPtr);
    if (n <= 0 || usedDefault)
        return Error(what);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, flags, in.data(), static_cast<int>(in.size()), out.data(), n, nullptr,
                        usedDefaultPtr);
    return out;
}

} // namespace

Expected<std::string> sjisToUtf8(std::string_view sjis) {
    if (isAscii(sjis))
        return std::string(sjis);
    auto wide = toWide(932, sjis, ErrorCode::SjisUnreadable);
    if (!wide.ok())
        return wide.error();
    return fromWide(CP_UTF8, *wide, ErrorCode::SjisUnreadable);
}

Expected<std::string> utf8ToSjis(std::string_view utf8) {
    if (isAscii(utf8))
        return std::string(utf8);
    auto wide = toWide(CP_UTF8, utf8, ErrorCode::Utf8Unreadable);
    if (!wide.ok())
        return wide.error();
    return fromWide(932, *wide, ErrorCode::SjisUnwritable);
}

} // namespace tamso::textio
