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

//
// The reader takes what such a writer wrote: a double quote opens and closes a quoted stretch,
// in which commas and line breaks are text and a doubled quote stands for one; cells are kept
// as they stand (blanks included), the apostrophe of a neutralised cell too.

#include <string>
#include <string_view>
#include <vector>

namespace tamso::textio {

std::string csvCell(std::string_view text);

// The rows of a CSV text, each ended by CR LF, LF or CR outside a quoted stretch; an empty line
// is a row of one empty cell, and a line end at the very end starts no further row.
std::vector<std::vector<std::string>> csvRows(std::string_view text);
// The cells of one line (no line end in it): one empty cell for an empty line.
std::vector<std::string> csvLineCells(std::string_view line);

} // namespace tamso::textio
