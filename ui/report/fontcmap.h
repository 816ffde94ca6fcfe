#pragma once
// TrueType / OpenType font files taken apart and put together again, and their character maps
// ('cmap') read, split and written. The printer uses these to build copies of a font in which no
// two characters share a glyph (see printfonts.h); outlines, metrics and every other table are
// copied unchanged, so the copies draw exactly what the font draws.

#include <QByteArray>
#include <QString>

#include <functional>
#include <map>
#include <vector>

namespace tamso::ui::sfnt {

// A four-letter table tag as a big-endian number ("cmap", "OS/2", "cvt ").
constexpr quint32 tag(const char (&name)[5]) {
    return quint32(quint8(name[0])) << 24 | quint32(quint8(name[1])) << 16 | quint32(quint8(name[2])) << 8 |
           quint32(quint8(name[3]));
}

struct Table {
    quint32 tag = 0;
    QByteArray data;
};

// sfnt version numbers: TrueType outlines, and CFF outlines ("OTTO").
constexpr quint32 kTrueTypeVersion = 0x00010000;
constexpr quint32 kCffVersion = tag("OTTO");

// Unicode code point → glyph index. Entries to glyph 0 (the missing glyph) are never kept.
using CharMap = std::map<char32_t, quint16>;

// The Unicode character map of a 'cmap' table: its format 12 subtable for full Unicode where there
// is one, otherwise its format 4 subtable for the Basic Multilingual Plane. Empty when the table
// has neither or is damaged.
CharMap readUnicodeCmap(const QByteArray& cmap);

// The format 14 subtable (Unicode variation sequences) of a 'cmap' table, byte for byte; empty
// when there is none.
QByteArray variationSequences(const QByteArray& cmap);

// A 'cmap' table for a character map: format 4 for the Basic Multilingual Plane (platforms 0/3
// and 3/1) where it fits the format's 64 KiB, format 12 for everything (platforms 0/4 and 3/10),
// and the given format 14 subtable (platform 0/5) where not empty.
QByteArray writeCmap(const CharMap& map, const QByteArray& variations = {});

// Splits a character map into maps that each send no two code points to one glyph and each reach
// every glyph of the map. A glyph that several code points share goes to the first map with the
// code point that comes first by `before`, to the second map with the next one, and so on; maps
// beyond its last code point send it its first one. A glyph of one code point is in every map.
std::vector<CharMap> splitSharedGlyphs(const CharMap& map,
                                       const std::function<bool(char32_t, char32_t)>& before);

// A 'name' table with the Windows (3/1, US English) records a font needs to be installed: family
// (1), style (2), unique name (3), full name (4) and PostScript name (6).
struct FontNames {
    QString family;
    QString style;
    QString fullName;
    QString postscriptName;
};
QByteArray writeNameTable(const FontNames& names);
// The Windows (3/1) or Unicode (0/x) record of this name id; empty when there is none.
QString readName(const QByteArray& nameTable, quint16 nameId);

// A font file from its tables: the tables sorted by tag and padded to four bytes, their check sums
// in the table directory and the font's check-sum adjustment in 'head'.
QByteArray assembleFont(quint32 sfntVersion, std::vector<Table> tables);

// The tables of a font file (not a collection); empty when the file is damaged.
std::vector<Table> readFontTables(const QByteArray& font, quint32* sfntVersion = nullptr);

// The check sum of the table directory's definition (big-endian 32-bit words, zero-padded).
quint32 checkSum(const QByteArray& data);

} // namespace tamso::ui::sfnt
