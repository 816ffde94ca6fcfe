#pragma once
// Shift-JIS (code page 932) <-> UTF-8 through the platform's converter.
// Inside the program every text is UTF-8; files hold Shift-JIS.

#include "textio/expected.h"

#include <string>
#include <string_view>

namespace tamso::textio {

// Whether every byte is ASCII (below 0x80). Code page 932 holds ASCII unchanged, byte for byte, so
// such a text is the same in Shift-JIS and UTF-8 and needs no conversion (most reference files).
inline bool isAscii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// Fails on bytes that are not valid Shift-JIS.
Expected<std::string> sjisToUtf8(std::string_view sjis);
// Fails on characters that Shift-JIS cannot represent.
Expected<std::string> utf8ToSjis(std::string_view utf8);

} // namespace tamso::textio
