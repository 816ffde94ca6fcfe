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

// The length of the blank (white space of any kind, or a character that shows nothing) that
// begins the UTF-8 text; 0 when it begins with none.
size_t leadingBlankLength(std::string_view text) {
    if (text.empty())
        return 0;
    if (text.front() == ' ' || text.front() == '\v' || text.front() == '\f') // tab and line breaks: below
        return 1;
    // U+0085, U+00A0, U+1680, U+180E, U+2000..U+200B, U+2028, U+2029, U+202F, U+205F, U+2060,
    // U+3000 and U+FEFF.
    static const std::string_view wide[] = {
        "\xC2\x85",     "\xC2\xA0",     "\xE1\x9A\x80", "\xE1\xA0\x8E", "\xE2\x80\xA8",
        "\xE2\x80\xA9", "\xE2\x80\xAF", "\xE2\x81\x9F", "\xE2\x81\xA0", "\xE3\x80\x80",
        "\xEF\xBB\xBF"};
    for (std::string_view blank : wide)
        if (text.substr(0, blank.size()) == blank)
            return blank.size();
    // U+2000..U+200B: E2 80 80..8B.
    if (text.size() >= 3 && text.substr(0, 2) == "\xE2\x80" && static_cast<unsigned char>(text[2]) >= 0x80 &&
        static_cast<unsigned char>(text[2]) <= 0x8B)
        return 3;
    return 0;
}

// Whether a spreadsheet would read the text as a formula (or run it as one).
bool startsLikeAFormula(std::string_view text) {
    if (text.empty())
        return false;
    if (text.front() == '\t' || text.front() == '\r' || text.front() == '\n')
        return true;
    size_t first = 0;
    while (const size_t blank = leadingBlankLength(text.substr(first)))
        first += blank;
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

std::vector<std::vector<std::string>> csvRows(std::string_view text) {
    std::vector<std::vector<std::string>> rows(1);
    std::string cell;
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                cell += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                cell += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            rows.back().push_back(std::move(cell));
            cell.clear();
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            rows.back().push_back(std::move(cell));
            cell.clear();
            rows.emplace_back();
        } else {
            cell += c;
        }
    }
    if (!cell.empty() || !rows.back().empty())
        rows.back().push_back(std::move(cell));
    if (rows.back().empty())
        rows.pop_back();
    return rows;
}

std::vector<std::string> csvLineCells(std::string_view line) {
    std::vector<std::vector<std::string>> rows = csvRows(line);
    return rows.empty() ? std::vector<std::string>{std::string()} : std::move(rows.front());
}

} // namespace tamso::textio
