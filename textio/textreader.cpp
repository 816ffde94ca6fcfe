#include "textio/textreader.h"

#include "textio/fileio.h"
#include "textio/numbertext.h"

namespace tamso::textio {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool startsNumber(char c) {
    return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

bool isLonePoint(std::string_view field) {
    if (!field.empty() && (field.front() == '+' || field.front() == '-'))
        field.remove_prefix(1);
    return field == ".";
}

bool holdsUnreadable(std::string_view text) {
    return text.find(kUnreadableMark) != std::string_view::npos;
}

} // namespace

TextReader::TextReader(std::string text) : text_(std::move(text)) {}

bool TextReader::atLineEnd() const {
    return pos_ < text_.size() && (text_[pos_] == '\r' || text_[pos_] == '\n');
}

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
    // Each field is found first and then copied whole.
    auto take = [&](size_t start) { field.assign(text_, start, pos_ - start); };
    if (first == '"') {
        const size_t start = ++pos_;
        while (pos_ < text_.size() && text_[pos_] != '"' && text_[pos_] != '\r' && text_[pos_] != '\n')
            ++pos_;
        take(start);
        if (pos_ < text_.size() && text_[pos_] == '"')
            ++pos_;
    } else if (startsNumber(first)) {
        const size_t start = pos_;
        while (pos_ < text_.size() && !isBlank(text_[pos_]) && text_[pos_] != ',' && !atLineEnd())
            ++pos_;
        take(start);
    } else {
        const size_t start = pos_;
        while (pos_ < text_.size() && text_[pos_] != ',' && !atLineEnd())
            ++pos_;
        take(start);
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

Error withValueName(Error error, std::string_view what) {
    if (!error.args.empty())
        error.args[0] = std::string(what) + error.args[0];
    return error;
}

Expected<double> TextReader::readNumber(std::string_view what) {
    auto value = readNumber();
    if (!value.ok())
        return withValueName(value.error(), what);
    return value;
}

Expected<double> TextReader::readNumber() {
    skipBlanks();
    const int line = line_;
    auto field = readField();
    if (!field)
        return Error(ErrorCode::EndBeforeValue, {""});
    lastNumberText_ = std::move(*field);
    lastNumberLine_ = line;
    NumberReading reading = readWholeNumber(lastNumberText_);
    if (reading.ok())
        return reading.value;
    // The messages are made only here, for the field that failed.
    const std::string place = std::to_string(line);
    if (holdsUnreadable(lastNumberText_))
        return Error(ErrorCode::ValueNotSjis, {"", place});
    // A lone point, as a mask of "#" digits writes zero ("###.# " gives ". "), is zero.
    if (reading.status == NumberStatus::NotANumber && isLonePoint(lastNumberText_))
        return 0.0;
    if (reading.status == NumberStatus::OutOfRange)
        return Error(ErrorCode::NumberTooLarge, {"", place, quotedFieldText(lastNumberText_)});
    return Error(ErrorCode::NotANumber, {"", place, quotedFieldText(lastNumberText_)});
}

Expected<std::string> TextReader::readText(std::string_view what) {
    const int line = line_;
    auto text = readLine();
    if (!text)
        return Error(ErrorCode::EndBeforeValue, {std::string(what)});
    if (holdsUnreadable(*text))
        return Error(ErrorCode::ValueNotSjis, {std::string(what), std::to_string(line)});
    return *text;
}

} // namespace tamso::textio
