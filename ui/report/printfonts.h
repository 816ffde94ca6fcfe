#pragma once
// Fonts for the printer whose text can be read back from the printed file.
//
// Japanese fonts give one glyph to a CJK ideograph and to the Kangxi radical that looks like it
// (一 U+4E00 and ⼀ U+2F00, 日 and ⽇), to the ideographic space and the em space, and so on. A PDF
// tells which characters a glyph stands for by one code point per glyph, and Qt's PDF writer takes
// the lowest code point that the font maps to the glyph: the radical. The page then looks right,
// but its text, copied or searched, is wrong. The printer therefore draws with copies of the
// installed font in which no two code points share a glyph: the first copy holds every character
// and, of the code points that share a glyph, the ordinary one (the ideograph, not its radical or
// compatibility form); further copies hold the others, one per shared glyph each, and every
// character that shares no glyph. Each copy thus names every glyph of the font by one character,
// so whichever copy Qt draws a character with (it chooses per script, and the choice may follow
// the desktop's language), the printed file names the glyph by that character. Qt also draws a tab
// that a font lacks with the space's glyph, which would name the space a tab: the copies draw the
// tab with an empty glyph of its own. The copies keep every outline and metric of the font, so the
// printed page looks exactly as before.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

class QRawFont;

namespace tamso::ui {

// The font files of the copies of `font` (see above), the first the one to draw with and each
// named `family` followed by "-1", "-2", … Empty when no two code points of the font share a
// glyph and the font has a tab or no space, or when the font's tables cannot be read: the font
// itself is then right for printing.
std::vector<QByteArray> fontCopiesWithoutSharedGlyphs(const QRawFont& font, const QString& family);

// Whether the first of two code points that share a glyph is the one the first copy keeps:
// ordinary characters before compatibility forms, radicals, combining marks and format
// characters; among these, the lower code point.
bool keepsSharedGlyph(char32_t first, char32_t second);

// The families the printer draws the family `requested` with: the copies of the font that Qt
// chooses for it (built and installed the first time each family is asked for, and kept for the
// rest of the program), then `requested` itself for anything the copies lack. Just `requested`
// when the font needs no copies. Needs the QGuiApplication.
QStringList printFontFamilies(const QString& requested);

} // namespace tamso::ui
