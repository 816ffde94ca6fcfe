#include "ui/report/printfonts.h"

#include "ui/report/fontcmap.h"

#include <QChar>
#include <QFont>
#include <QFontDatabase>
#include <QHash>
#include <QRawFont>
#include <QtEndian>

#include <algorithm>

namespace tamso::ui {
namespace {

// Every table an OpenType font may hold, except 'DSIG': a signature that the copy would break.
// 'cmap' and 'name' are written anew.
constexpr const char* kCopiedTables[] = {
    "avar", "BASE", "CBDT", "CBLC", "CFF ", "CFF2", "COLR", "CPAL", "cvar", "cvt ", "EBDT", "EBLC",
    "EBSC", "fpgm", "fvar", "gasp", "GDEF", "glyf", "GPOS", "GSUB", "gvar", "hdmx", "head", "hhea",
    "hmtx", "HVAR", "JSTF", "kern", "loca", "LTSH", "MATH", "maxp", "MERG", "meta", "MVAR", "OS/2",
    "PCLT", "post", "prep", "sbix", "STAT", "SVG ", "VDMX", "vhea", "vmtx", "VORG", "VVAR",
};

constexpr quint32 tagOf(const char* name) {
    return quint32(quint8(name[0])) << 24 | quint32(quint8(name[1])) << 16 | quint32(quint8(name[2])) << 8 |
           quint32(quint8(name[3]));
}

// Radicals, compatibility forms, combining marks and format characters: the code points a glyph
// is shared with, rather than the one it is drawn for.
bool isVariantForm(char32_t c) {
    if (c >= 0x2E80 && c <= 0x2FDF) // CJK radicals supplement, Kangxi radicals
        return true;
    if (QChar::decompositionTag(c) != QChar::NoDecomposition)
        return true;
    switch (QChar::category(c)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
    case QChar::Other_Format:
        return true;
    default:
        return false;
    }
}

QString postscriptName(const QString& family) {
    QString name;
    for (QChar ch : family)
        if (ch.unicode() > 32 && ch.unicode() < 127 && !QStringLiteral("[](){}<>/%").contains(ch))
            name.append(ch);
    return name.left(63);
}

// The first glyph that no character reaches (in TrueType fonts the empty ".null"), or 0 when every
// glyph is reached.
quint16 unreachedGlyph(const sfnt::CharMap& map, const QByteArray& maxp) {
    const quint16 count = maxp.size() >= 6 ? qFromBigEndian<quint16>(maxp.constData() + 4) : 0;
    std::vector<bool> reached(count, false);
    for (const auto& [code, glyph] : map)
        if (glyph < count)
            reached[glyph] = true;
    for (quint16 glyph = 1; glyph < count; ++glyph)
        if (!reached[glyph])
            return glyph;
    return 0;
}

} // namespace

bool keepsSharedGlyph(char32_t first, char32_t second) {
    const bool firstVariant = isVariantForm(first);
    if (firstVariant != isVariantForm(second))
        return !firstVariant;
    return first < second;
}

std::vector<QByteArray> fontCopiesWithoutSharedGlyphs(const QRawFont& font, const QString& family) {
    if (!font.isValid())
        return {};
    const QByteArray cmap = font.fontTable("cmap");
    const sfnt::CharMap map = sfnt::readUnicodeCmap(cmap);
    if (map.empty())
        return {};
    std::vector<sfnt::CharMap> layers = sfnt::splitSharedGlyphs(map, keepsSharedGlyph);
    // Qt draws a tab that the font lacks with the space's glyph, so the space's glyph would be named
    // by the tab, the lower code point. The copies draw the tab with an empty glyph of its own.
    const quint16 tabGlyph =
        !map.count(U'\t') && map.count(U' ') ? unreachedGlyph(map, font.fontTable("maxp")) : 0;
    if (layers.size() < 2 && tabGlyph == 0)
        return {};
    if (tabGlyph != 0)
        for (sfnt::CharMap& layer : layers)
            layer.emplace(U'\t', tabGlyph);

    std::vector<sfnt::Table> tables;
    bool cff = false;
    for (const char* name : kCopiedTables) {
        const QByteArray data = font.fontTable(name);
        if (data.isEmpty())
            continue;
        tables.push_back({tagOf(name), data});
        cff = cff || tagOf(name) == sfnt::tag("CFF ") || tagOf(name) == sfnt::tag("CFF2");
    }
    auto has = [&](quint32 t) {
        return std::any_of(tables.begin(), tables.end(), [t](const sfnt::Table& x) { return x.tag == t; });
    };
    if (!has(sfnt::tag("head")) || !has(sfnt::tag("maxp")) || !has(sfnt::tag("hmtx")) ||
        !(cff || (has(sfnt::tag("glyf")) && has(sfnt::tag("loca")))))
        return {};

    const QByteArray variations = sfnt::variationSequences(cmap);
    const QString style = font.styleName().isEmpty() ? QStringLiteral("Regular") : font.styleName();
    std::vector<QByteArray> files;
    for (std::size_t i = 0; i < layers.size(); ++i) {
        const QString name = family + QLatin1Char('-') + QString::number(i + 1);
        std::vector<sfnt::Table> copy = tables;
        copy.push_back({sfnt::tag("cmap"), sfnt::writeCmap(layers[i], variations)});
        copy.push_back({sfnt::tag("name"), sfnt::writeNameTable({name, style, name + QLatin1Char(' ') + style,
                                                                 postscriptName(name)})});
        files.push_back(
            sfnt::assembleFont(cff ? sfnt::kCffVersion : sfnt::kTrueTypeVersion, std::move(copy)));
    }
    return files;
}

QStringList printFontFamilies(const QString& requested) {
    static QHash<QString, QStringList> installed;
    static int copies = 0;
    const auto known = installed.constFind(requested);
    if (known != installed.constEnd())
        return *known;

    QStringList families;
    QList<int> ids;
    const QRawFont font = QRawFont::fromFont(QFont(requested));
    const QString family = QStringLiteral("TAMSO Print %1").arg(copies + 1);
    const std::vector<QByteArray> files = fontCopiesWithoutSharedGlyphs(font, family);
    if (!files.empty())
        ++copies;
    for (const QByteArray& file : files) {
        const int id = QFontDatabase::addApplicationFontFromData(file);
        const QStringList added = id >= 0 ? QFontDatabase::applicationFontFamilies(id) : QStringList();
        if (added.isEmpty()) { // a copy that cannot be installed: print with the font itself
            for (int other : ids)
                QFontDatabase::removeApplicationFont(other);
            families.clear();
            break;
        }
        ids << id;
        families << added.first();
    }
    families << requested;
    installed.insert(requested, families);
    return families;
}

} // namespace tamso::ui
