#include "textio/codec.h"

#include <cerrno>
#include <iconv.h>
#include <vector>

namespace tamso::textio {
namespace {

Expected<std::string> convert(const char* to, const char* from, std::string_view in, ErrorCode atByte) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return Error(ErrorCode::CodecUnavailable, {from, to});
    std::string out;
    std::vector<char> buffer(4096);
    char* inPtr = const_cast<char*>(in.data());
    size_t inLeft = in.size();
    bool failed = false;
    while (inLeft > 0) {
        char* outPtr = buffer.data();
        size_t outLeft = buffer.size();
        size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        out.append(buffer.data(), buffer.size() - outLeft);
        if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
            failed = true;
            break;
        }
    }
    iconv_close(cd);
    if (failed) {
        size_t offset = in.size() - inLeft;
        return Error(atByte, {std::to_string(offset + 1)});
    }
    return out;
}

} // namespace

Expected<std::string> sjisToUtf8(std::string_view sjis) {
    if (isAscii(sjis))
        return std::string(sjis);
    return convert("UTF-8", "CP932", sjis, ErrorCode::SjisUnreadableAtByte);
}

Expected<std::string> utf8ToSjis(std::string_view utf8) {
    if (isAscii(utf8))
        return std::string(utf8);
    return convert("CP932", "UTF-8", utf8, ErrorCode::SjisUnwritableAtByte);
}

} // namespace tamso::textio
