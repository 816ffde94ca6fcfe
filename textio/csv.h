#pragma once
// One cell of a CSV file (RFC 4180) as the exports write it: in double quotes, with quotes doubled,
// when it holds a comma, a quote or a line break, or begins or ends with a blank (which a
// spreadsheet would otherwise drop); as it stands otherwise.

#include <string>
#include <string_view>

namespace tamso::textio {

std::string csvCell(std::string_view text);

} // namespace tamso::textio
