#pragma once
// Shift-JIS (code page 932) <-> UTF-8 through the platform's converter.
// Inside the program every text is UTF-8; files hold Shift-JIS.

#include "textio/expected.h"

#include <string>
#include <string_view>

namespace tamso::textio {

// Fails on bytes that are not valid Shift-JIS.
Expected<std::string> sjisToUtf8(std::string_view sjis);
// Fails on characters that Shift-JIS cannot represent.
Expected<std::string> utf8ToSjis(std::string_view utf8);

} // namespace tamso::textio
