#pragma once
// One cell of a CSV file (RFC 4180) as the exports write it: in double quotes, with quotes doubled,
// when it holds a comma, a quote or a line break, or begins or ends with a blank (which a
// spreadsheet would otherwise drop); as it stands otherwise.
//
// A cell that a spreadsheet would take for a formula is neutralised with a leading apostrophe, as
// spreadsheet programs expect: one that begins, after any blanks (white space of any kind, the
// ideographic space U+3000 and the no-break spaces included), with =, +, - or @ (also their
// full-width forms ＝ ＋ － ＠), or begins with a tab or a line break ("=HYPERLINK(...)" is written
// "'=HYPERLINK(...)"). A cell that is a plain decimal number and nothing else ("-3", "-0.052",
// "+1.5E-03") stays as it is: it can do nothing but be read as the number it is.

#include <string>
#include <string_view>

namespace tamso::textio {

std::string csvCell(std::string_view text);

} // namespace tamso::textio
