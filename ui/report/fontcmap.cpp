#include "ui/report/fontcmap.h"

#include <QtEndian>

#include <algorithm>
#include <iterator>

namespace tamso::ui::sfnt {
namespace {

// Bounds-checked big-endian reads; out-of-range reads give 0 and mark the reader as failed.
class Reader {
public:
    explicit Reader(const QByteArray& data) : data_(data) {}
    quint16 u16(qsizetype at) {
        if (at < 0 || at + 2 > data_.size()) {
            ok_ = false;
            return 0;
        }
        return qFromBigEndian<quint16>(data_.constData() + at);
    }
    quint32 u32(qsizetype at) {
        if (at < 0 || at + 4 > data_.size()) {
            ok_ = false;
            return 0;
        }
        return qFromBigEndian<quint32>(data_.constData() + at);
    }
    bool ok() const { return ok_; }

private:
    const QByteArray& data_;
    bool ok_ = true;
};

void put16(QByteArray& out, quint16 value) {
    char bytes[2];
    qToBigEndian(value, bytes);
    out.append(bytes, 2);
}
void put32(QByteArray& out, quint32 value) {
    char bytes[4];
    qToBigEndian(value, bytes);
    out.append(bytes, 4);
}
void set32(QByteArray& out, qsizetype at, quint32 value) {
    qToBigEndian(value, out.data() + at);
}

constexpr char32_t kLastCodePoint = 0x10FFFF;

struct Subtable {
    quint16 platform = 0;
    quint16 encoding = 0;
    quint32 offset = 0;
    quint16 format = 0;
};

std::vector<Subtable> subtables(const QByteArray& cmap) {
    Reader r(cmap);
    std::vector<Subtable> result;
    const quint16 count = r.u16(2);
    for (quint16 i = 0; i < count && r.ok(); ++i) {
        Subtable s;
        s.platform = r.u16(4 + 8 * i);
        s.encoding = r.u16(6 + 8 * i);
        s.offset = r.u32(8 + 8 * i);
        s.format = r.u16(s.offset);
        if (r.ok())
            result.push_back(s);
    }
    return result;
}

bool isUnicode(const Subtable& s) {
    return s.platform == 0 || (s.platform == 3 && (s.encoding == 1 || s.encoding == 10));
}

bool readFormat12(const QByteArray& cmap, quint32 at, CharMap& map) {
    Reader r(cmap);
    const quint32 length = r.u32(at + 4);
    const quint32 groups = r.u32(at + 12);
    if (!r.ok() || length > quint32(cmap.size()) - at || groups > (length - 16) / 12)
        return false;
    for (quint32 g = 0; g < groups; ++g) {
        const quint32 first = r.u32(at + 16 + 12 * g);
        const quint32 last = r.u32(at + 20 + 12 * g);
        const quint32 glyph = r.u32(at + 24 + 12 * g);
        if (!r.ok() || last < first || last > kLastCodePoint)
            return false;
        for (quint32 c = first; c <= last; ++c) {
            const quint32 index = glyph + (c - first);
            if (index != 0 && index <= 0xFFFF)
                map.emplace(char32_t(c), quint16(index));
        }
    }
    return true;
}

bool readFormat4(const QByteArray& cmap, quint32 at, CharMap& map) {
    Reader r(cmap);
    const quint32 segments = r.u16(at + 6) / 2u;
    const quint32 ends = at + 14;
    const quint32 starts = ends + 2 * segments + 2;
    const quint32 deltas = starts + 2 * segments;
    const quint32 rangeOffsets = deltas + 2 * segments;
    for (quint32 k = 0; k < segments && r.ok(); ++k) {
        const quint16 end = r.u16(ends + 2 * k);
        const quint16 start = r.u16(starts + 2 * k);
        const quint16 delta = r.u16(deltas + 2 * k);
        const quint16 rangeOffset = r.u16(rangeOffsets + 2 * k);
        if (!r.ok() || end < start)
            return false;
        for (quint32 c = start; c <= end && c != 0xFFFF; ++c) {
            quint16 glyph = 0;
            if (rangeOffset == 0) {
                glyph = quint16(c + delta);
            } else {
                glyph = r.u16(rangeOffsets + 2 * k + rangeOffset + 2 * (c - start));
                if (glyph != 0)
                    glyph = quint16(glyph + delta);
            }
            if (!r.ok())
                return false;
            if (glyph != 0)
                map.emplace(char32_t(c), glyph);
        }
    }
    return r.ok();
}

// One format 4 segment: consecutive code points, either with one glyph delta or with glyphs of
// their own listed in the glyph array.
struct Segment {
    quint16 start = 0;
    quint16 end = 0;
    quint16 delta = 0;
    std::vector<quint16> glyphs; // empty: the delta applies
};

std::vector<Segment> format4Segments(const CharMap& map) {
    // Runs of consecutive code points, each cut into pieces with one delta. Long pieces become
    // segments of their own; short neighbouring pieces share one segment with a glyph array.
    constexpr std::size_t kOwnSegment = 8;
    std::vector<Segment> segments;
    std::vector<std::pair<quint16, quint16>> run;
    auto flushPieces = [&] {
        std::size_t i = 0;
        std::vector<std::pair<quint16, quint16>> mixed;
        auto flushMixed = [&] {
            if (mixed.empty())
                return;
            Segment s;
            s.start = mixed.front().first;
            s.end = mixed.back().first;
            for (const auto& entry : mixed)
                s.glyphs.push_back(entry.second);
            segments.push_back(std::move(s));
            mixed.clear();
        };
        while (i < run.size()) {
            std::size_t j = i + 1;
            const quint16 delta = quint16(run[i].second - run[i].first);
            while (j < run.size() && quint16(run[j].second - run[j].first) == delta)
                ++j;
            if (j - i >= kOwnSegment) {
                flushMixed();
                Segment s;
                s.start = run[i].first;
                s.end = run[j - 1].first;
                s.delta = delta;
                segments.push_back(std::move(s));
            } else {
                mixed.insert(mixed.end(), run.begin() + qsizetype(i), run.begin() + qsizetype(j));
            }
            i = j;
        }
        flushMixed();
        run.clear();
    };
    for (const auto& [code, glyph] : map) {
        if (code >= 0xFFFF)
            break;
        if (!run.empty() && char32_t(run.back().first) + 1 != code)
            flushPieces();
        run.emplace_back(quint16(code), glyph);
    }
    flushPieces();
    Segment last; // the closing segment 0xFFFF, to glyph 0
    last.start = last.end = 0xFFFF;
    last.delta = 1;
    segments.push_back(last);
    // A segment of one code point maps as well by a delta as by a glyph array.
    for (Segment& s : segments)
        if (s.glyphs.size() == 1) {
            s.delta = quint16(s.glyphs.front() - s.start);
            s.glyphs.clear();
        }
    return segments;
}

// Empty when the subtable would not fit the format's 16-bit length.
QByteArray writeFormat4(const CharMap& map) {
    const std::vector<Segment> segments = format4Segments(map);
    const quint32 count = quint32(segments.size());
    std::size_t arrayLength = 0;
    for (const Segment& s : segments)
        arrayLength += s.glyphs.size();
    const std::size_t length = 16 + 8 * std::size_t(count) + 2 * arrayLength;
    if (length > 0xFFFF)
        return {};
    quint16 power = 1, selector = 0;
    while (power * 2 <= count) {
        power *= 2;
        ++selector;
    }
    QByteArray out;
    put16(out, 4);
    put16(out, quint16(length));
    put16(out, 0); // language
    put16(out, quint16(2 * count));
    put16(out, quint16(2 * power));
    put16(out, selector);
    put16(out, quint16(2 * count - 2 * power));
    for (const Segment& s : segments)
        put16(out, s.end);
    put16(out, 0); // reserved
    for (const Segment& s : segments)
        put16(out, s.start);
    for (const Segment& s : segments)
        put16(out, s.glyphs.empty() ? s.delta : 0);
    std::size_t arrayAt = 0;
    for (quint32 i = 0; i < count; ++i) {
        const Segment& s = segments[i];
        if (s.glyphs.empty()) {
            put16(out, 0);
        } else {
            // From this word of the range-offset array to the segment's first glyph in the array.
            put16(out, quint16(2 * (count - i + arrayAt)));
            arrayAt += s.glyphs.size();
        }
    }
    for (const Segment& s : segments)
        for (quint16 glyph : s.glyphs)
            put16(out, glyph);
    return out;
}

QByteArray writeFormat12(const CharMap& map) {
    struct Group {
        quint32 first, last, glyph;
    };
    std::vector<Group> groups;
    for (const auto& [code, glyph] : map) {
        if (!groups.empty() && groups.back().last + 1 == code &&
            groups.back().glyph + (groups.back().last + 1 - groups.back().first) == glyph)
            groups.back().last = code;
        else
            groups.push_back({code, code, glyph});
    }
    QByteArray out;
    put16(out, 12);
    put16(out, 0);
    put32(out, quint32(16 + 12 * groups.size()));
    put32(out, 0); // language
    put32(out, quint32(groups.size()));
    for (const Group& g : groups) {
        put32(out, g.first);
        put32(out, g.last);
        put32(out, g.glyph);
    }
    return out;
}

void padTo4(QByteArray& data) {
    while (data.size() % 4 != 0)
        data.append('\0');
}

} // namespace

quint32 checkSum(const QByteArray& data) {
    quint32 sum = 0;
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData());
    for (qsizetype i = 0; i < data.size(); i += 4) {
        quint32 word = 0;
        for (int b = 0; b < 4; ++b)
            word = (word << 8) | (i + b < data.size() ? bytes[i + b] : 0u);
        sum += word;
    }
    return sum;
}

CharMap readUnicodeCmap(const QByteArray& cmap) {
    const std::vector<Subtable> all = subtables(cmap);
    for (int format : {12, 4})
        for (const Subtable& s : all)
            if (isUnicode(s) && s.format == format) {
                CharMap map;
                const bool ok =
                    format == 12 ? readFormat12(cmap, s.offset, map) : readFormat4(cmap, s.offset, map);
                if (ok)
                    return map;
            }
    return {};
}

QByteArray variationSequences(const QByteArray& cmap) {
    for (const Subtable& s : subtables(cmap))
        if (s.platform == 0 && s.encoding == 5 && s.format == 14) {
            Reader r(cmap);
            const quint32 length = r.u32(s.offset + 2);
            if (r.ok() && length <= quint32(cmap.size()) - s.offset)
                return cmap.mid(s.offset, length);
        }
    return {};
}

QByteArray writeCmap(const CharMap& map, const QByteArray& variations) {
    QByteArray format4 = writeFormat4(map);
    QByteArray format12 = writeFormat12(map);
    padTo4(format4);
    padTo4(format12);
    struct Record {
        quint16 platform, encoding;
        const QByteArray* subtable;
    };
    std::vector<Record> records;
    if (!format4.isEmpty())
        records.push_back({0, 3, &format4});
    records.push_back({0, 4, &format12});
    if (!variations.isEmpty())
        records.push_back({0, 5, &variations});
    if (!format4.isEmpty())
        records.push_back({3, 1, &format4});
    records.push_back({3, 10, &format12});

    QByteArray out;
    put16(out, 0); // version
    put16(out, quint16(records.size()));
    std::vector<std::pair<const QByteArray*, quint32>> placed;
    quint32 next = quint32(4 + 8 * records.size());
    for (const Record& rec : records) {
        auto found = std::find_if(placed.begin(), placed.end(),
                                  [&](const auto& p) { return p.first == rec.subtable; });
        if (found == placed.end()) {
            placed.emplace_back(rec.subtable, next);
            next += quint32(rec.subtable->size());
            next = (next + 3) & ~3u;
            found = placed.end() - 1;
        }
        put16(out, rec.platform);
        put16(out, rec.encoding);
        put32(out, found->second);
    }
    for (const auto& p : placed) {
        out.append(*p.first);
        padTo4(out);
    }
    return out;
}

std::vector<CharMap> splitSharedGlyphs(const CharMap& map,
                                       const std::function<bool(char32_t, char32_t)>& before) {
    std::map<quint16, std::vector<char32_t>> byGlyph;
    std::size_t most = 1;
    for (const auto& [code, glyph] : map) {
        std::vector<char32_t>& codes = byGlyph[glyph];
        codes.push_back(code);
        most = std::max(most, codes.size());
    }
    std::vector<CharMap> layers(most);
    for (auto& [glyph, codes] : byGlyph) {
        std::stable_sort(codes.begin(), codes.end(), before);
        for (std::size_t i = 0; i < most; ++i)
            layers[i].emplace(codes[i < codes.size() ? i : 0], glyph);
    }
    return layers;
}

QByteArray writeNameTable(const FontNames& names) {
    const std::pair<quint16, QString> records[] = {
        {1, names.family},   {2, names.style},          {3, names.postscriptName},
        {4, names.fullName}, {6, names.postscriptName},
    };
    QByteArray strings;
    QByteArray out;
    put16(out, 0); // format
    put16(out, quint16(std::size(records)));
    put16(out, quint16(6 + 12 * std::size(records)));
    for (const auto& [id, text] : records) {
        QByteArray utf16be;
        for (QChar ch : text)
            put16(utf16be, ch.unicode());
        put16(out, 3);      // Windows
        put16(out, 1);      // Unicode BMP
        put16(out, 0x0409); // US English
        put16(out, id);
        put16(out, quint16(utf16be.size()));
        put16(out, quint16(strings.size()));
        strings.append(utf16be);
    }
    out.append(strings);
    return out;
}

QString readName(const QByteArray& nameTable, quint16 nameId) {
    Reader r(nameTable);
    const quint16 count = r.u16(2);
    const quint16 storage = r.u16(4);
    for (quint16 i = 0; i < count && r.ok(); ++i) {
        const qsizetype at = 6 + 12 * qsizetype(i);
        const quint16 platform = r.u16(at);
        const quint16 encoding = r.u16(at + 2);
        const bool unicode = platform == 0 || (platform == 3 && (encoding == 1 || encoding == 10));
        if (!unicode || r.u16(at + 6) != nameId)
            continue;
        const quint16 length = r.u16(at + 8);
        const quint16 offset = r.u16(at + 10);
        QString text;
        for (quint16 k = 0; k + 1 < length; k += 2)
            text.append(QChar(r.u16(storage + offset + k)));
        if (r.ok())
            return text;
    }
    return {};
}

QByteArray assembleFont(quint32 sfntVersion, std::vector<Table> tables) {
    std::sort(tables.begin(), tables.end(), [](const Table& a, const Table& b) { return a.tag < b.tag; });
    const quint16 count = quint16(tables.size());
    quint16 power = 1, selector = 0;
    while (power * 2 <= count) {
        power *= 2;
        ++selector;
    }
    QByteArray out;
    put32(out, sfntVersion);
    put16(out, count);
    put16(out, quint16(16 * power));
    put16(out, selector);
    put16(out, quint16(16 * count - 16 * power));
    qsizetype headAt = -1;
    quint32 offset = quint32(12 + 16 * count);
    for (Table& t : tables) {
        if (t.tag == tag("head") && t.data.size() >= 12)
            set32(t.data, 8, 0); // the adjustment counts as 0 in the table's own check sum
        put32(out, t.tag);
        put32(out, checkSum(t.data));
        put32(out, offset);
        put32(out, quint32(t.data.size()));
        if (t.tag == tag("head") && t.data.size() >= 12)
            headAt = offset;
        offset += quint32((t.data.size() + 3) & ~3);
    }
    for (const Table& t : tables) {
        out.append(t.data);
        padTo4(out);
    }
    if (headAt >= 0)
        set32(out, headAt + 8, 0xB1B0AFBAu - checkSum(out));
    return out;
}

std::vector<Table> readFontTables(const QByteArray& font, quint32* sfntVersion) {
    Reader r(font);
    const quint32 version = r.u32(0);
    const quint16 count = r.u16(4);
    std::vector<Table> tables;
    for (quint16 i = 0; i < count; ++i) {
        const qsizetype at = 12 + 16 * qsizetype(i);
        const quint32 tableTag = r.u32(at);
        const quint32 offset = r.u32(at + 8);
        const quint32 length = r.u32(at + 12);
        if (!r.ok() || offset > quint32(font.size()) || length > quint32(font.size()) - offset)
            return {};
        tables.push_back({tableTag, font.mid(offset, length)});
    }
    if (!r.ok())
        return {};
    if (sfntVersion)
        *sfntVersion = version;
    return tables;
}

} // namespace tamso::ui::sfnt
