#pragma once
// The two ways the program reads its text files, over the whole (UTF-8) text of a file:
//
// Field read: skips blanks, then reads one field. A field that starts with a double quote runs to
// the closing quote and is returned without the quotes. A number (sign, digits, point, exponent)
// ends at the first blank, comma or line end; any other field ends at a comma or line end. Blanks
// after the field and one following comma or line end are consumed with it.
//
// Line read: the rest of the current line, without its line end.
//
// CR LF, bare LF and bare CR all end a line.
//
// A stretch of the file that was not valid Shift-JIS stands in the text as kUnreadableMark
// (fileio.h); the checked reads below refuse a field or line that holds it, and what lies beyond
// the last field read is never looked at.

#include "textio/expected.h"

#include <optional>
#include <string>
#include <string_view>

namespace tamso::textio {

// The error of a failed field read (TextReader) with the value's name as its first argument.
Error withValueName(Error error, std::string_view what);

class TextReader {
public:
    explicit TextReader(std::string text);

    bool atEnd() const { return pos_ >= text_.size(); }

    // Nothing when the text has ended.
    std::optional<std::string> readField();
    std::optional<std::string> readLine();

    // A field read whose text must be a number; a lone point, the form in which a mask of "#"
    // digits writes zero, reads as 0. The error says which field failed ("what"),
    // in which line, and why (the text ended, the field was not a number, the number was beyond
    // the range of a double, or the field was not valid Shift-JIS).
    Expected<double> readNumber(std::string_view what);
    // The same read for a value whose name is made only when the read fails (a reference file
    // holds thousands of numbers): the error's first argument, the value's name, is empty; the
    // caller names it with withValueName.
    Expected<double> readNumber();
    // A line read whose text must be valid Shift-JIS; the error says which line failed and why.
    Expected<std::string> readText(std::string_view what);

    // 1-based line of the current position.
    int lineNumber() const { return line_; }
    // The text and the 1-based line of the field that readNumber read last.
    const std::string& lastNumberText() const { return lastNumberText_; }
    int lastNumberLine() const { return lastNumberLine_; }

private:
    bool atLineEnd() const;
    void consumeLineEnd();
    void skipBlanks();

    std::string text_;
    size_t pos_ = 0;
    int line_ = 1;
    std::string lastNumberText_;
    int lastNumberLine_ = 0;
};

} // namespace tamso::textio
