#include "dicom/dicomtext.h"

#include <cctype>

#include "dicom/dcmtksetup.h"
#include "dicom/namefolding.h"
#include "textio/codec.h"

#include <dcmtk/config/osconfig.h>

#include <dcmtk/dcmdata/dcspchrs.h>

#include <algorithm>
#include <vector>

namespace tamso::dicom {

namespace {

constexpr char kEsc = '\x1B';

std::vector<std::string> characterSetTerms(std::string_view specificCharacterSet) {
    std::vector<std::string> terms;
    size_t start = 0;
    while (true) {
        const size_t end = specificCharacterSet.find('\\', start);
        terms.push_back(trimValue(specificCharacterSet.substr(start, end - start)));
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    return terms;
}

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80 && c != kEsc; });
}

bool isJapaneseIso2022(const std::string& term) {
    return term == "ISO 2022 IR 13" || term == "ISO 2022 IR 87" || term == "ISO 2022 IR 159";
}

// Whether the image names the Japanese ISO 2022 sets and nothing else but ASCII.
bool namesOnlyJapaneseIso2022(const std::vector<std::string>& terms) {
    bool japanese = false;
    for (const std::string& term : terms) {
        if (isJapaneseIso2022(term))
            japanese = true;
        else if (!term.empty() && term != "ISO 2022 IR 6")
            return false;
    }
    return japanese;
}

Error notConvertible(std::string_view specificCharacterSet, const std::string& why) {
    return Error(ErrorCode::DicomCharsetNotConvertible, {std::string(specificCharacterSet), why});
}

// A JIS X 0208 row/cell pair (each byte 0x21..0x7E) as its two Shift-JIS bytes.
void appendJisAsShiftJis(std::string& sjis, unsigned char j1, unsigned char j2) {
    unsigned s1 = ((j1 - 0x21u) >> 1) + 0x81u;
    if (s1 > 0x9Fu)
        s1 += 0x40u;
    unsigned s2;
    if (j1 & 1u) {
        s2 = j2 + 0x1Fu;
        if (s2 >= 0x7Fu)
            ++s2;
    } else {
        s2 = j2 + 0x7Eu;
    }
    sjis += static_cast<char>(s1);
    sjis += static_cast<char>(s2);
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// One value being decoded from the Japanese ISO 2022 sets: the sets now designated, the text so far
// and the pending run of JIS X 0208 characters (converted together, as Shift-JIS).
class Iso2022JapaneseDecoding {
public:
    Iso2022JapaneseDecoding(std::string_view value, bool katakanaFirst, std::string_view specificCharacterSet)
        : value_(value), characterSet_(specificCharacterSet), katakanaFirst_(katakanaFirst),
          katakana_(katakanaFirst) {}

    Expected<std::string> run() {
        while (i_ < value_.size()) {
            const auto c = static_cast<unsigned char>(value_[i_]);
            Status s;
            if (c == static_cast<unsigned char>(kEsc))
                s = designation();
            else if (c < 0x21 || c == 0x7F) // blanks and control characters stand for themselves in every set
                s = controlCharacter(c);
            else if (c >= 0x80)
                s = katakanaCharacter(c);
            else if (g0_ == G0::Ascii)
                asciiCharacter(c);
            else
                s = twoByteCharacter(c);
            if (!s.ok())
                return s.error();
        }
        if (auto s = flush(); !s.ok())
            return s.error();
        return out_;
    }

private:
    enum class G0 { Ascii, Jis0208, Jis0212 };

    // Back to the sets of the first term.
    void reset() {
        g0_ = G0::Ascii;
        katakana_ = katakanaFirst_;
    }

    Status flush() {
        if (sjis_.empty())
            return {};
        auto converted = textio::sjisToUtf8(sjis_);
        if (!converted.ok())
            return notConvertible(characterSet_, "JIS X 0208 にない文字");
        out_ += *converted;
        sjis_.clear();
        return {};
    }

    // An escape sequence designating a set to G0 or G1.
    Status designation() {
        if (auto s = flush(); !s.ok())
            return s;
        const std::string_view rest = value_.substr(i_ + 1);
        auto starts = [&](std::string_view sequence) { return rest.substr(0, sequence.size()) == sequence; };
        if (starts("(B") || starts("(J")) {
            g0_ = G0::Ascii;
            i_ += 3;
        } else if (starts("$B") || starts("$@")) {
            g0_ = G0::Jis0208;
            i_ += 3;
        } else if (starts("$(D")) {
            g0_ = G0::Jis0212;
            i_ += 4;
        } else if (starts(")I")) {
            katakana_ = true;
            i_ += 3;
        } else {
            return notConvertible(characterSet_, "未対応のエスケープシーケンス");
        }
        return {};
    }

    Status controlCharacter(unsigned char c) {
        if (auto s = flush(); !s.ok())
            return s;
        if (c == '\r' || c == '\n' || c == '\t' || c == '\f')
            reset();
        out_ += static_cast<char>(c);
        ++i_;
        return {};
    }

    // A byte of G1: half-width katakana where JIS X 0201 katakana is designated.
    Status katakanaCharacter(unsigned char c) {
        if (!katakana_ || c < 0xA1 || c > 0xDF)
            return notConvertible(characterSet_, "指定にない文字");
        if (auto s = flush(); !s.ok())
            return s;
        appendUtf8(out_, U'\uFF61' + (c - 0xA1));
        ++i_;
        return {};
    }

    void asciiCharacter(unsigned char c) {
        out_ += static_cast<char>(c);
        if (c == '\\' || c == '^' || c == '=')
            reset();
        ++i_;
    }

    // A two-byte set: the pair's second byte must be a graphic character too.
    Status twoByteCharacter(unsigned char c) {
        if (i_ + 1 >= value_.size() || static_cast<unsigned char>(value_[i_ + 1]) < 0x21 ||
            static_cast<unsigned char>(value_[i_ + 1]) > 0x7E)
            return notConvertible(characterSet_, "2バイト文字が途中で切れています");
        if (g0_ == G0::Jis0212)
            return notConvertible(characterSet_, "JIS X 0212 の文字");
        appendJisAsShiftJis(sjis_, c, static_cast<unsigned char>(value_[i_ + 1]));
        i_ += 2;
        return {};
    }

    std::string_view value_;
    std::string_view characterSet_;
    bool katakanaFirst_;
    G0 g0_ = G0::Ascii;
    bool katakana_;
    size_t i_ = 0;
    std::string out_;
    std::string sjis_;
};

// ISO 2022 as the Japanese DICOM character sets use it. G0 holds ASCII (ESC ( B), JIS X 0201
// romaji (ESC ( J, read as ASCII: its only differences, yen sign and overline in place of backslash
// and tilde, would break the value delimiter), JIS X 0208 (ESC $ B, or ESC $ @) or JIS X 0212
// (ESC $ ( D); G1 holds JIS X 0201 katakana (ESC ) I) whose bytes 0xA1..0xDF are half-width
// katakana. Each value, and each line, begins in the sets of the first term; the encoder switches
// back to them before every delimiter, so inside a two-byte set every byte pair is a character.
Expected<std::string> decodeJapaneseIso2022(std::string_view value, const std::vector<std::string>& terms,
                                            std::string_view specificCharacterSet) {
    return Iso2022JapaneseDecoding(value, terms.front() == "ISO 2022 IR 13", specificCharacterSet).run();
}

Expected<std::string> convertWithDcmtk(std::string_view value, std::string_view specificCharacterSet) {
    if (auto ready = detail::prepareDcmtk(); !ready.ok())
        return ready.error();
    DcmSpecificCharacterSet converter;
    const OFString from(specificCharacterSet.data(), specificCharacterSet.size());
    if (converter.selectCharacterSet(from, "ISO_IR 192").bad())
        return notConvertible(specificCharacterSet, "この文字コードは使えません");
    OFString converted;
    if (converter.convertString(OFString(value.data(), value.size()), converted).bad())
        return notConvertible(specificCharacterSet, "指定にない文字");
    return std::string(converted.c_str(), converted.length());
}

} // namespace

std::string trimValue(std::string_view text) {
    auto blank = [](char c) { return c == ' ' || c == '\0'; };
    size_t first = 0;
    size_t last = text.size();
    while (first < last && blank(text[first]))
        ++first;
    while (last > first && blank(text[last - 1]))
        --last;
    return std::string(text.substr(first, last - first));
}

Expected<std::string> toUtf8(std::string_view value, std::string_view specificCharacterSet) {
    const std::vector<std::string> terms = characterSetTerms(specificCharacterSet);
    if (isAscii(value))
        return std::string(value);
    if (namesOnlyJapaneseIso2022(terms))
        return decodeJapaneseIso2022(value, terms, specificCharacterSet);
    if (terms.size() == 1 && terms.front().empty())
        return notConvertible("（指定なし、ASCII）", "ASCII にない文字");
    return convertWithDcmtk(value, specificCharacterSet);
}

namespace {

// The components of one name group joined by one blank: family, given and middle name ("山田^太郎"
// -> "山田 太郎"); prefix and suffix are left out.
std::string joinNameComponents(std::string_view group) {
    std::string joined;
    size_t componentStart = 0;
    for (int component = 0; component < 3; ++component) {
        const size_t end = group.find('^', componentStart);
        const std::string part = trimValue(group.substr(componentStart, end - componentStart));
        if (!part.empty())
            joined += (joined.empty() ? "" : " ") + part;
        if (end == std::string_view::npos)
            break;
        componentStart = end + 1;
    }
    return joined;
}

} // namespace

PersonNameGroups personNameGroups(std::string_view utf8PersonName) {
    const std::string_view first = utf8PersonName.substr(0, utf8PersonName.find('\\'));
    std::string_view groups[3];
    size_t start = 0;
    for (auto& group : groups) {
        const size_t end = first.find('=', start);
        group = first.substr(start, end - start);
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    return {joinNameComponents(groups[0]), joinNameComponents(groups[1]), joinNameComponents(groups[2])};
}

std::string personNameForDisplay(std::string_view utf8PersonName) {
    const PersonNameGroups groups = personNameGroups(utf8PersonName);
    for (const std::string* group : {&groups.ideographic, &groups.alphabetic, &groups.phonetic})
        if (!group->empty())
            return *group;
    return {};
}

bool personNameMatches(const PersonNameGroups& groups, std::string_view storedName) {
    const std::u32string stored = detail::foldedName(storedName);
    if (stored.empty())
        return false;
    for (const std::string* group : {&groups.alphabetic, &groups.ideographic, &groups.phonetic})
        if (!group->empty() && detail::foldedName(*group) == stored)
            return true;
    return false;
}

} // namespace tamso::dicom
