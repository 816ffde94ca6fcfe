#include "dicom/namefolding.h"

namespace tamso::dicom::detail {

namespace {

constexpr char32_t kVoicedMark = 0x3099;     // combining katakana-hiragana voiced sound mark
constexpr char32_t kSemiVoicedMark = 0x309A; // combining semi-voiced sound mark

// U+FF61..U+FF9F (half-width punctuation and katakana, JIS X 0201) as their full-width forms; the
// two marks at the end become the combining marks, which the kana before them then take in.
constexpr char32_t kHalfWidth[] = {
    0x3002, 0x300C, 0x300D, 0x3001, 0x30FB, 0x30F2, 0x30A1, 0x30A3, 0x30A5, 0x30A7, 0x30A9, // ｡｢｣､･ｦｧｨｩｪｫ
    0x30E3, 0x30E5, 0x30E7, 0x30C3, 0x30FC,                                                 // ｬｭｮｯｰ
    0x30A2, 0x30A4, 0x30A6, 0x30A8, 0x30AA,                                                 // ｱｲｳｴｵ
    0x30AB, 0x30AD, 0x30AF, 0x30B1, 0x30B3,                                                 // ｶｷｸｹｺ
    0x30B5, 0x30B7, 0x30B9, 0x30BB, 0x30BD,                                                 // ｻｼｽｾｿ
    0x30BF, 0x30C1, 0x30C4, 0x30C6, 0x30C8,                                                 // ﾀﾁﾂﾃﾄ
    0x30CA, 0x30CB, 0x30CC, 0x30CD, 0x30CE,                                                 // ﾅﾆﾇﾈﾉ
    0x30CF, 0x30D2, 0x30D5, 0x30D8, 0x30DB,                                                 // ﾊﾋﾌﾍﾎ
    0x30DE, 0x30DF, 0x30E0, 0x30E1, 0x30E2,                                                 // ﾏﾐﾑﾒﾓ
    0x30E4, 0x30E6, 0x30E8,                                                                 // ﾔﾕﾖ
    0x30E9, 0x30EA, 0x30EB, 0x30EC, 0x30ED,                                                 // ﾗﾘﾙﾚﾛ
    0x30EF, 0x30F3, kVoicedMark, kSemiVoicedMark,                                           // ﾜﾝﾞﾟ
};
static_assert(sizeof(kHalfWidth) / sizeof(kHalfWidth[0]) == 0xFF9F - 0xFF61 + 1);

// The katakana with a voiced (or semi-voiced) form: that form, or 0.
char32_t withMark(char32_t kana, char32_t mark) {
    const bool hRow = kana >= 0x30CF && kana <= 0x30DB && (kana - 0x30CF) % 3 == 0; // ハヒフヘホ
    if (mark == kSemiVoicedMark)
        return hRow ? kana + 2 : 0;
    if (hRow)
        return kana + 1;
    // カ..チ: every second code point; ツテト after the small ッ.
    if (kana >= 0x30AB && kana <= 0x30C1 && (kana - 0x30AB) % 2 == 0)
        return kana + 1;
    if (kana == 0x30C4 || kana == 0x30C6 || kana == 0x30C8)
        return kana + 1;
    switch (kana) {
    case 0x30A6: return 0x30F4; // ウ -> ヴ
    case 0x30EF: return 0x30F7; // ワ -> ヷ
    case 0x30F0: return 0x30F8; // ヰ -> ヸ
    case 0x30F1: return 0x30F9; // ヱ -> ヹ
    case 0x30F2: return 0x30FA; // ヲ -> ヺ
    case 0x30FD: return 0x30FE; // ヽ -> ヾ
    default: return 0;
    }
}

// The next character of UTF-8 text, advancing `i`; a byte that does not start a well-formed
// sequence comes back as U+DC80..U+DCFF.
char32_t nextCodePoint(std::string_view text, size_t& i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    auto stray = [&] {
        ++i;
        return static_cast<char32_t>(0xDC00 + lead);
    };
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    const int length = lead >= 0xF0 && lead < 0xF5 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 && lead < 0xE0 ? 2 : 0;
    if (length == 0 || i + length > text.size())
        return stray();
    char32_t c = lead & (0x7F >> length);
    for (int k = 1; k < length; ++k) {
        const auto byte = static_cast<unsigned char>(text[i + k]);
        if ((byte & 0xC0) != 0x80)
            return stray();
        c = (c << 6) | (byte & 0x3F);
    }
    const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < least[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return stray();
    i += length;
    return c;
}

} // namespace

std::u32string foldedName(std::string_view utf8) {
    std::u32string out;
    for (size_t i = 0; i < utf8.size();) {
        char32_t c = nextCodePoint(utf8, i);
        if (c >= 0xFF01 && c <= 0xFF5E)
            c = c - 0xFF01 + 0x21;
        else if (c >= 0xFF61 && c <= 0xFF9F)
            c = kHalfWidth[c - 0xFF61];
        else if (c == 0x309B || c == 0x309C)
            c = c - 0x309B + kVoicedMark;
        if ((c >= 0x3041 && c <= 0x3096) || c == 0x309D || c == 0x309E)
            c += 0x60; // hiragana -> katakana
        if (c == ' ' || c == '\t' || c == '\0' || c == 0x3000 || c == '^' || c == '=')
            continue;
        if (c >= 'a' && c <= 'z')
            c = c - 'a' + 'A';
        if ((c == kVoicedMark || c == kSemiVoicedMark) && !out.empty())
            if (const char32_t joined = withMark(out.back(), c)) {
                out.back() = joined;
                continue;
            }
        out += c;
    }
    return out;
}

} // namespace tamso::dicom::detail
