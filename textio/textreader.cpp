#include "textio/textreader.h"

#include "textio/fileio.h"
#include "textio/numbertext.h"

namespace tamso::textio {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool startsNumber(char c) { return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'; }

bool isLonePoint(std::string_view field) {
    if (!field.empty() && (field.front() == '+' || field.front() == '-'))
        field.remove_prefix(1);
    return field == ".";
}

bool holdsUnreadable(std::string_view text) { return text.find(kUnreadableMark) != std::string_view::npos; }

} // namespace

TextReader::TextReader(std::string text) : text_(std::move(text)) {}

bool TextReader::atLineEnd() const { return pos_ < text_.size() && (text_[pos_] == '\r' || text_[pos_] == '\n'); }

void TextReader::consumeLineEnd() {
    if (pos_ >= text_.size())
        return;
    if (text_[pos_] == '\r') {
        ++pos_;
        if (pos_ < text_.size() && text_[pos_] == '\n')
            ++pos_;
    } else if (text_[pos_] == '\n') {
        ++pos_;
    } else {
        return;
    }
    ++line_;
}

void TextReader::skipBlanks() {
    while (pos_ < text_.size() && isBlank(text_[pos_]))
        ++pos_;
}

std::optional<std::string> TextReader::readField() {
    skipBlanks();
    if (atEnd())
        return std::nullopt;
    std::string field;
    const char first = text_[pos_];
    if (first == '"') {
        ++pos_;
        while (pos_ < text_.size() && text_[pos_] != '"' && text_[pos_] != '\r' && text_[pos_] != '\n')
            field.push_back(text_[pos_++]);
        if (pos_ < text_.size() && text_[pos_] == '"')
            ++pos_;
    } else if (startsNumber(first)) {
        while (pos_ < text_.size() && !isBlank(text_[pos_]) && text_[pos_] != ',' && !atLineEnd())
            field.push_back(text_[pos_++]);
    } else {
        while (pos_ < text_.size() && text_[pos_] != ',' && !atLineEnd())
            field.push_back(text_[pos_++]);
        while (!field.empty() && isBlank(field.back()))
            field.pop_back();
    }
    skipBlanks();
    if (pos_ < text_.size() && text_[pos_] == ',')
        ++pos_;
    else
        consumeLineEnd();
    return field;
}

std::optional<std::string> TextReader::readLine() {
    if (atEnd())
        return std::nullopt;
    const size_t start = pos_;
    while (pos_ < text_.size() && !atLineEnd())
        ++pos_;
    std::string line = text_.substr(start, pos_ - start);
    consumeLineEnd();
    return line;
}

Expected<double> TextReader::readNumber(std::string_view what) {
    skipBlanks();
    const int line = line_;
    auto field = readField();
    if (!field)
        return Error{std::string(what) + "を読む前にファイルが終わっています"};
    lastNumberText_ = *field;
    lastNumberLine_ = line;
    const std::string place = std::string(what) + "（" + std::to_string(line) + " 行目";
    if (holdsUnreadable(*field))
        return Error{place + "）に Shift-JIS として読めない文字があります"};
    const std::string quoted = place + "の「" + quotedFieldText(*field) + "」）";
    NumberReading reading = readWholeNumber(*field);
    // A lone point, as a mask of "#" digits writes zero ("###.# " gives ". "), is zero.
    if (reading.status == NumberStatus::NotANumber && isLonePoint(*field))
        reading = {NumberStatus::Ok, 0.0};
    if (reading.status == NumberStatus::OutOfRange)
        return Error{quoted + "は大きすぎて数値として扱えません"};
    if (!reading.ok())
        return Error{quoted + "が数値ではありません"};
    return reading.value;
}

Expected<std::string> TextReader::readText(std::string_view what) {
    const int line = line_;
    auto text = readLine();
    if (!text)
        return Error{std::string(what) + "を読む前にファイルが終わっています"};
    if (holdsUnreadable(*text))
        return Error{std::string(what) + "（" + std::to_string(line) +
                     " 行目）に Shift-JIS として読めない文字があります"};
    return *text;
}

} // namespace tamso::textio
