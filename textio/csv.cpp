#include "textio/csv.h"

namespace tamso::textio {
namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// [+-] digits [. digits] [E [+-] digits], or [+-] . digits [...]: the whole text, nothing around it.
bool isPlainNumber(std::string_view s) {
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    size_t digits = 0;
    while (i < s.size() && isDigit(s[i]))
        ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            ++i;
        size_t exponentDigits = 0;
        while (i < s.size() && isDigit(s[i]))
            ++i, ++exponentDigits;
        if (exponentDigits == 0)
            return false;
    }
    return i == s.size();
}

// Whether a spreadsheet would read the text as a formula (or run it as one).
bool startsLikeAFormula(std::string_view text) {
    if (text.empty())
        return false;
    if (text.front() == '\t' || text.front() == '\r' || text.front() == '\n')
        return true;
    size_t first = 0;
    while (first < text.size() && text[first] == ' ')
        ++first;
    const std::string_view rest = text.substr(first);
    if (rest.empty())
        return false;
    const char c = rest.front();
    if (c == '=' || c == '+' || c == '-' || c == '@' || c == '\t' || c == '\r' || c == '\n')
        return true;
    // The full-width forms: ＝ U+FF1D, ＋ U+FF0B, － U+FF0D, ＠ U+FF20.
    for (std::string_view wide : {"\xEF\xBC\x9D", "\xEF\xBC\x8B", "\xEF\xBC\x8D", "\xEF\xBC\xA0"})
        if (rest.substr(0, wide.size()) == wide)
            return true;
    return false;
}

} // namespace

std::string csvCell(std::string_view raw) {
    std::string text;
    if (startsLikeAFormula(raw) && !isPlainNumber(raw))
        text = "'";
    text += raw;
    const bool quote = text.find_first_of(",\"\r\n") != std::string::npos ||
                       (!text.empty() && (text.front() == ' ' || text.back() == ' '));
    if (!quote)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

} // namespace tamso::textio
