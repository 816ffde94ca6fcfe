#pragma once
// A name reduced to what two spellings of it share, for personNameMatches (dicom/dicomtext.h) and
// nothing else: the one rule by which a stored name and an image's name are the same name.

#include <string>
#include <string_view>

namespace tamso::dicom::detail {

// The name's characters (UTF-8 in, code points out) after
//  - leaving out blanks (space, ideographic space, NUL, tab) and the name separators "^" and "=";
//  - full-width ASCII (U+FF01..U+FF5E) as ASCII, ASCII letters in upper case;
//  - half-width katakana (U+FF61..U+FF9F) as full-width katakana, a following half-width voiced or
//    semi-voiced mark joined to it (ｶﾞ -> ガ, ﾊﾟ -> パ), as NFKC does;
//  - hiragana (U+3041..U+3096, ゝ ゞ) as katakana, so that a phonetic group in hiragana and a
//    record in katakana compare equal;
//  - a combining (U+3099, U+309A) or spacing (U+309B, U+309C) voiced mark joined to the kana before
//    it where the two make one character.
// A byte that is not UTF-8 stays distinct from every character (U+DC80..U+DCFF).
std::u32string foldedName(std::string_view utf8);

} // namespace tamso::dicom::detail
