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

#include "textio/expected.h"

#include <optional>
#include <string>
#include <string_view>

namespace tamso::textio {

class TextReader {
public:
    explicit TextReader(std::string text);

    bool atEnd() const { return pos_ >= text_.size(); }

    // Nothing when the text has ended.
    std::optional<std::string> readField();
    std::optional<std::string> readLine();

    // A field read whose text must be a number; a lone point, the form in which a mask of "#"
    // digits writes zero, reads as 0. The error says which field failed ("what"),
    // in which line, and why (the text ended, or the field was not a number).
    Expected<double> readNumber(std::string_view what);

    // 1-based line of the current position.
    int lineNumber() const { return line_; }

private:
    bool atLineEnd() const;
    void consumeLineEnd();
    void skipBlanks();

    std::string text_;
    size_t pos_ = 0;
    int line_ = 1;
};

} // namespace tamso::textio
