// The printer's font copies: the character-map reader and writer, the split of shared glyphs, the
// font file assembly, the copies of the installed Japanese font, and a printed report whose text
// reads back as drawn and whose page looks as it did with the font itself.

#include "uitestsupport.h"

#include "engine/calculationstate.h"
#include "ui/report/fontcmap.h"
#include "ui/report/paintercanvas.h"
#include "ui/report/printfonts.h"
#include "ui/report/reportlayout.h"
#include "ui/report/reportprinter.h"
#include "ui/kit/uiutil.h"
#include "ui/kit/language.h"
#include "textio/codec.h"
#include "ui/records/dosehistorywindow.h"
#include "ui/records/doseauditwindow.h"

#include <QFont>
#include <QGlyphRun>
#include <QPainter>
#include <QPainterPath>
#include <QPrinter>
#include <QRawFont>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <functional>
#include <set>

using namespace tamso;
using namespace tamso::ui;

namespace {

// The same 'cmap' table with one encoding record only (the subtables stay where they are).
QByteArray onlyRecord(const QByteArray& cmap, quint16 platform, quint16 encoding) {
    const quint16 count = qFromBigEndian<quint16>(cmap.constData() + 2);
    for (quint16 i = 0; i < count; ++i) {
        const char* record = cmap.constData() + 4 + 8 * i;
        if (qFromBigEndian<quint16>(record) == platform && qFromBigEndian<quint16>(record + 2) == encoding) {
            QByteArray out = cmap;
            qToBigEndian<quint16>(1, out.data() + 2);
            out.replace(4, 8, QByteArray(record, 8));
            return out;
        }
    }
    return {};
}

quint16 format(const QByteArray& cmap) {
    return qFromBigEndian<quint16>(cmap.constData() + qFromBigEndian<quint32>(cmap.constData() + 8));
}

sfnt::CharMap bmpPart(const sfnt::CharMap& map) {
    sfnt::CharMap bmp;
    for (const auto& [code, glyph] : map)
        if (code < 0xFFFF)
            bmp.emplace(code, glyph);
    return bmp;
}

QRawFont installedGothic() {
    return QRawFont::fromFont(QFont(gothicFontFamily()));
}

// Draws with the font that Qt chooses for each family the report asks for, by its own name, so
// that nothing falls back to another font.
class FontsThemselvesCanvas : public PainterCanvas {
public:
    using PainterCanvas::PainterCanvas;
    void setFontName(const QString& name) override {
        setFontFamilies({QRawFont::fromFont(QFont(name)).familyName()});
    }
};

// The report drawn on a PDF printer with the fonts themselves, as the printer drew it before it
// used the copies.
bool printWithFontsThemselves(const QString& pdf, const ReportFields& fields) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    configureReportPrinter(printer);
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    FontsThemselvesCanvas canvas(painter, reportPrinterMapping(printer.resolution()));
    drawReport(canvas, ReportTarget::Printer, fields, uitest::calculationState());
    return painter.end();
}

bool printReportTo(const QString& pdf, const ReportFields& fields) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    return printReport(printer, fields, uitest::calculationState()).ok();
}

// Texts that share their glyphs with other code points in Japanese fonts: ideographs with Kangxi
// radicals, the ideographic space with the em space, the minus sign with the soft hyphen, the
// fullwidth tilde with the wave dash, quotation marks with modifier letters; and the radicals
// themselves, which must read back as radicals.
ReportFields trickyFields() {
    ReportFields f = uitest::sampleReportFields();
    f.name = QStringLiteral("一二三　日月"); // U+3000 between
    f.technologist = QStringLiteral("入江 氏子");
    f.bodyPart = QStringLiteral("腹部 ‘正面’ 〜～");
    f.fieldSize = QStringLiteral("⼀⽇ (−2) ‐‑"); // radicals, U+2212, U+2010, U+2011
    return f;
}

} // namespace

class PrintFontsTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        installFontSubstitutions();
        uitest::calculationState().xrayUnitName = "Mobile-X 100";
        uitest::calculationState().hospitalName = "みなと総合病院 放射線科";
    }

    // Written maps read back unchanged, from the format 12 and from the format 4 subtable: long
    // runs with one delta, scattered glyphs, gaps, the last code points of the plane, and code
    // points beyond it (format 12 only).
    void cmapRoundTrip() {
        sfnt::CharMap map;
        for (char32_t c = 0x20; c < 0x7F; ++c)
            map[c] = quint16(c - 29);
        for (char32_t c = 0x3041; c < 0x3097; ++c) // scattered glyphs
            map[c] = quint16(1000 + (c * 7919) % 5000);
        for (char32_t c = 0x4E00; c < 0x4E40; c += 3) // gaps
            map[c] = quint16(c - 0x4E00 + 7000);
        map[0xFFFD] = 42;
        map[0xFFFE] = 43;
        map[0x20B9F] = 9000;
        map[0x20BA0] = 9001;
        map[0x2F8ED] = 9002;
        const QByteArray variations = QByteArray::fromHex("000e0000000a00000000"); // empty format 14
        const QByteArray cmap = sfnt::writeCmap(map, variations);
        QCOMPARE(sfnt::readUnicodeCmap(cmap), map);
        QCOMPARE(sfnt::variationSequences(cmap), variations);

        const QByteArray windowsBmp = onlyRecord(cmap, 3, 1);
        QCOMPARE(format(windowsBmp), quint16(4));
        QCOMPARE(sfnt::readUnicodeCmap(windowsBmp), bmpPart(map));
        QCOMPARE(format(onlyRecord(cmap, 3, 10)), quint16(12));
        QCOMPARE(format(onlyRecord(cmap, 0, 3)), quint16(4));
        QVERIFY(sfnt::variationSequences(sfnt::writeCmap(map)).isEmpty());
    }

    // The installed font's own map survives the writer in both formats, and damaged tables give
    // an empty map instead of a crash.
    void cmapOfInstalledFont() {
        const QRawFont font = installedGothic();
        QVERIFY(font.isValid());
        const sfnt::CharMap map = sfnt::readUnicodeCmap(font.fontTable("cmap"));
        QVERIFY(map.size() > 5000);
        QCOMPARE(map.at(U'一'), quint16(font.glyphIndexesForString(QStringLiteral("一")).value(0)));
        const QByteArray cmap = sfnt::writeCmap(map);
        QCOMPARE(sfnt::readUnicodeCmap(cmap), map);
        QCOMPARE(sfnt::readUnicodeCmap(onlyRecord(cmap, 3, 1)), bmpPart(map));

        QVERIFY(sfnt::readUnicodeCmap(QByteArray()).empty());
        QVERIFY(sfnt::readUnicodeCmap(cmap.left(40)).empty());
        QByteArray wrongLength = cmap;
        qToBigEndian<quint32>(0x7FFFFFFF, wrongLength.data() + 8); // subtable offset past the end
        QVERIFY(sfnt::readUnicodeCmap(onlyRecord(wrongLength, 0, 3)).empty());
    }

    // Ordinary characters first, then the lower code point.
    void keptCodePoint_data() {
        QTest::addColumn<uint>("kept");
        QTest::addColumn<uint>("other");
        QTest::newRow("ideograph before Kangxi radical") << 0x4E00u << 0x2F00u;
        QTest::newRow("ideograph before radicals supplement") << 0x9F9Fu << 0x2EE2u;
        QTest::newRow("ideograph before compatibility ideograph") << 0x6EBAu << 0xF9ECu;
        QTest::newRow("ideograph before supplementary compatibility") << 0x6ADBu << 0x2F8EDu;
        QTest::newRow("minus sign before soft hyphen") << 0x2212u << 0x00ADu;
        QTest::newRow("underscore before combining low line") << 0x005Fu << 0x0332u;
        QTest::newRow("space before no-break space") << 0x0020u << 0x00A0u;
        QTest::newRow("hyphen-minus before hyphen") << 0x002Du << 0x2010u;
        QTest::newRow("wave dash before fullwidth tilde") << 0x301Cu << 0xFF5Eu;
        QTest::newRow("both compatibility forms: lower") << 0x2003u << 0x3000u;
    }
    void keptCodePoint() {
        QFETCH(uint, kept);
        QFETCH(uint, other);
        QVERIFY(keepsSharedGlyph(kept, other));
        QVERIFY(!keepsSharedGlyph(other, kept));
    }

    void splitSharedGlyphs() {
        const sfnt::CharMap map = {{0x4E00, 10}, {0x2F00, 10}, {0x20, 3},    {0xA0, 3},
                                   {0x2D, 16},   {0x2010, 16}, {0x2011, 16}, {0x41, 5}};
        const std::vector<sfnt::CharMap> layers = sfnt::splitSharedGlyphs(map, keepsSharedGlyph);
        QCOMPARE(layers.size(), std::size_t(3));
        QCOMPARE(layers[0], (sfnt::CharMap{{0x20, 3}, {0x2D, 16}, {0x41, 5}, {0x4E00, 10}}));
        QCOMPARE(layers[1], (sfnt::CharMap{{0xA0, 3}, {0x2010, 16}, {0x41, 5}, {0x2F00, 10}}));
        QCOMPARE(layers[2], (sfnt::CharMap{{0x20, 3}, {0x2011, 16}, {0x41, 5}, {0x4E00, 10}}));
        QCOMPARE(sfnt::splitSharedGlyphs({{0x41, 5}, {0x42, 6}}, keepsSharedGlyph).size(), std::size_t(1));
    }

    // Tables come back as put in, sorted; each check sum and the whole file's add up.
    void assembledFont() {
        const QByteArray head = QByteArray(54, '\x01');
        std::vector<sfnt::Table> tables = {
            {sfnt::tag("name"),
             sfnt::writeNameTable({QStringLiteral("Family X"), QStringLiteral("Regular"),
                                   QStringLiteral("Family X Regular"), QStringLiteral("FamilyX")})},
            {sfnt::tag("head"), head},
            {sfnt::tag("OS/2"), QByteArray("odd", 3)}};
        const QByteArray font = sfnt::assembleFont(sfnt::kTrueTypeVersion, tables);
        QCOMPARE(font.size() % 4, 0);
        QCOMPARE(sfnt::checkSum(font), 0xB1B0AFBAu);
        quint32 version = 0;
        const std::vector<sfnt::Table> back = sfnt::readFontTables(font, &version);
        QCOMPARE(version, sfnt::kTrueTypeVersion);
        QCOMPARE(back.size(), std::size_t(3));
        QCOMPARE(back[0].tag, sfnt::tag("OS/2"));
        QCOMPARE(back[0].data, QByteArray("odd"));
        QCOMPARE(back[1].tag, sfnt::tag("head"));
        QCOMPARE(back[1].data.mid(12), head.mid(12)); // all but the check-sum adjustment
        QCOMPARE(back[2].tag, sfnt::tag("name"));
        QCOMPARE(sfnt::readName(back[2].data, 1), QStringLiteral("Family X"));
        QCOMPARE(sfnt::readName(back[2].data, 6), QStringLiteral("FamilyX"));
        QByteArray headWithoutAdjustment = back[1].data;
        headWithoutAdjustment.replace(8, 4, QByteArray(4, '\0'));
        for (int i = 0; i < 3; ++i) {
            const char* entry = font.constData() + 12 + 16 * i;
            QCOMPARE(qFromBigEndian<quint32>(entry + 4),
                     sfnt::checkSum(i == 1 ? headWithoutAdjustment : back[i].data));
        }
        QVERIFY(sfnt::readFontTables(font.left(40)).empty());
    }

    // The copies of the installed Japanese font: together they map every code point of the font to
    // its own glyph, each copy at most one code point to a glyph and every glyph the font reaches,
    // the tab to an empty glyph no character reaches, the ideographs in the first copy and the
    // radicals in a later one; every other table is the font's own, so the outlines are.
    void copiesOfInstalledFont() {
        const QRawFont font = installedGothic();
        const sfnt::CharMap original = sfnt::readUnicodeCmap(font.fontTable("cmap"));
        QVERIFY(original.count(0x2F00) && original.at(0x2F00) == original.at(0x4E00)); // the fault's cause
        const std::vector<QByteArray> files = fontCopiesWithoutSharedGlyphs(font, QStringLiteral("Copy"));
        QVERIFY(files.size() >= 2);
        std::set<quint16> reached = {};
        for (const auto& [code, glyph] : original)
            reached.insert(glyph);
        sfnt::CharMap together;
        for (std::size_t i = 0; i < files.size(); ++i) {
            QCOMPARE(sfnt::checkSum(files[i]), 0xB1B0AFBAu);
            const std::vector<sfnt::Table> tables = sfnt::readFontTables(files[i]);
            QVERIFY(!tables.empty());
            sfnt::CharMap map;
            for (const sfnt::Table& t : tables) {
                if (t.tag == sfnt::tag("cmap")) {
                    map = sfnt::readUnicodeCmap(t.data);
                } else if (t.tag == sfnt::tag("name")) {
                    QCOMPARE(sfnt::readName(t.data, 1), QStringLiteral("Copy-%1").arg(i + 1));
                } else {
                    const char name[5] = {char(t.tag >> 24), char(t.tag >> 16), char(t.tag >> 8), char(t.tag),
                                          0};
                    QVERIFY2(t.tag != sfnt::tag("DSIG"), name);
                    const QByteArray own = font.fontTable(name);
                    if (t.tag == sfnt::tag("head"))
                        QCOMPARE(t.data.mid(12), own.mid(12));
                    else
                        QVERIFY2(t.data == own, name);
                }
            }
            std::set<quint16> glyphs;
            for (const auto& [code, glyph] : map) {
                QVERIFY2(glyphs.insert(glyph).second, qPrintable(QString::number(uint(code), 16)));
                together.emplace(code, glyph);
            }
            glyphs.erase(map.at(U'\t'));
            QCOMPARE(glyphs, reached);
        }
        QVERIFY(together.count(U'\t') && !original.count(U'\t'));
        const quint16 tab = together.at(U'\t');
        together.erase(U'\t');
        QCOMPARE(together, original);
        QRawFont drawn = font;
        drawn.setPixelSize(24);
        QVERIFY(tab != 0 && !reached.count(tab) && drawn.pathForGlyph(tab).isEmpty());

        const QRawFont first(files[0], 24);
        QVERIFY(first.isValid());
        QCOMPARE(first.familyName(), QStringLiteral("Copy-1"));
        for (const QString& ideographs :
             {QStringLiteral("氏名撮影日入射一郎"), QStringLiteral("ID 0.203 mGy μSv")}) {
            QVERIFY(first.supportsCharacter(ideographs.at(0)));
            const QList<quint32> glyphs = first.glyphIndexesForString(ideographs);
            QCOMPARE(glyphs, installedGothic().glyphIndexesForString(ideographs));
            QRawFont sized = font;
            sized.setPixelSize(24);
            for (quint32 g : glyphs)
                QCOMPARE(first.pathForGlyph(g), sized.pathForGlyph(g));
            QCOMPARE(first.advancesForGlyphIndexes(glyphs), sized.advancesForGlyphIndexes(glyphs));
        }
        QVERIFY(!first.supportsCharacter(char32_t(0x2F00)));
        bool radicalInLaterCopy = false;
        for (std::size_t i = 1; i < files.size(); ++i)
            radicalInLaterCopy =
                radicalInLaterCopy || QRawFont(files[i], 24).supportsCharacter(char32_t(0x2F00));
        QVERIFY(radicalInLaterCopy);
    }

    // The copies are installed once per family; a family whose font needs none prints as itself.
    void printFamilies() {
        const QStringList gothic = printFontFamilies(gothicFontFamily());
        QVERIFY(gothic.size() >= 3);
        QCOMPARE(gothic.last(), gothicFontFamily());
        QCOMPARE(printFontFamilies(gothicFontFamily()), gothic);
        QFont font;
        font.setFamilies(gothic);
        QCOMPARE(QFontInfo(font).family(), gothic.first());
        QVERIFY(fontCopiesWithoutSharedGlyphs(QRawFont(), QStringLiteral("x")).empty());
    }

    // Whichever copy draws a glyph, the printed file names it by the character it was drawn for:
    // the same glyphs, digits among them, drawn with each copy in turn all read back.
    void everyCopyNamesTheGlyphsItDraws() {
        const QString text = QStringLiteral("0123456789 ±.:()=k ① 被写体厚 cm");
        const QList<quint32> glyphs = installedGothic().glyphIndexesForString(text);
        const QStringList families = printFontFamilies(gothicFontFamily());
        const QStringList copies = families.mid(0, families.size() - 1);
        const QString pdf = dir_.filePath(QStringLiteral("glyphs.pdf"));
        {
            QPrinter printer(QPrinter::HighResolution);
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            QPainter painter(&printer);
            for (int i = 0; i < copies.size(); ++i) {
                QRawFont font = QRawFont::fromFont(QFont(copies[i]));
                QCOMPARE(font.familyName(), copies[i]);
                font.setPixelSize(100);
                QList<QPointF> at;
                qreal x = 0;
                for (const QPointF& advance : font.advancesForGlyphIndexes(glyphs)) {
                    at << QPointF(x, 0);
                    x += advance.x();
                }
                QGlyphRun run;
                run.setRawFont(font);
                run.setGlyphIndexes(glyphs);
                run.setPositions(at);
                painter.drawGlyphRun(QPointF(100, 200 + 200 * i), run);
            }
        }
        QString read, error;
        QVERIFY2(uitest::pdfText(pdf, read, error), qPrintable(error));
        QStringList lines = read.split(QLatin1Char('\n'));
        lines.removeIf([](const QString& line) { return line.simplified().isEmpty(); }); // and the form feed
        QCOMPARE(lines.size(), copies.size());
        for (const QString& line : lines)
            QCOMPARE(line.simplified(), text);
    }

    // The patient's name prints at the body size (14 pt) where it fits its box, otherwise at the
    // largest half point that fits: ordinary, long, full-width and fallback-font names.
    void patientNamePrintsAtTheLargestSizeThatFits() {
        const double right = (100 - 0.5) * 72 / 25.4; // the box's line less the inset, in points
        for (const QString& name :
             {QStringLiteral("新生 太郎"), QStringLiteral("長谷川原 美智子左衛門太郎丸"),
              QStringLiteral("Ａｌｅｘａｎｄｒａ Ｓｍｉｔｈ－Ｊｏｎｅｓ"),
              QStringLiteral("Nguyễn Thị Hương")}) {
            ReportFields f = uitest::sampleReportFields();
            f.name = name;
            const QString pdf = dir_.filePath(QStringLiteral("name.pdf"));
            QVERIFY(printReportTo(pdf, f));
            QList<uitest::PdfWord> words;
            QString error;
            QVERIFY2(uitest::pdfWords(pdf, words, error), qPrintable(error));
            const auto label = std::find_if(words.begin(), words.end(), [](const uitest::PdfWord& w) {
                return w.text == QStringLiteral("氏名");
            });
            QVERIFY(label != words.end());
            double end = 0;
            for (const uitest::PdfWord& w : words)
                if (qAbs(w.box.top() - label->box.top()) < 0.1)
                    end = std::max(end, w.box.right());
            const double size = label->box.height(); // the line's height is its size in this font
            const double left = label->box.left();
            QVERIFY2(end <= right && size <= 14.01, qPrintable(name));
            if (size < 13.9) // half a point more would not fit
                QVERIFY2(left + (end - left) * (size + 0.5) / size > right, qPrintable(name));
            QVERIFY2(size < 13.9 || name != QStringLiteral("長谷川原 美智子左衛門太郎丸"),
                     "too long for 14 pt");
            QVERIFY2(size > 13.9 || name != QStringLiteral("新生 太郎"), "an ordinary name fits at 14 pt");
        }
    }

    // Whatever the report draws reads back from the printed file as drawn, look-alike characters
    // included; and the page looks as it did when printed with the fonts themselves.
    void printedTextReadsBackAsDrawn() {
        const ReportFields fields = trickyFields();
        const QString pdf = dir_.filePath(QStringLiteral("tricky.pdf"));
        QVERIFY(printReportTo(pdf, fields));
        QString text, error;
        QVERIFY2(uitest::pdfText(pdf, text, error), qPrintable(error));
        // pdftotext writes every blank as a space; the file itself keeps the ideographic one.
        for (const QString& drawn : {QStringLiteral("氏名 : 一二三 日月"), QStringLiteral(": 入江 氏子"),
                                     QStringLiteral(": 腹部 ‘正面’ 〜～"), QStringLiteral(": ⼀⽇ (−2) ‐‑"),
                                     QStringLiteral("患児の入射表面線量： 0.052 mGy")})
            QVERIFY2(text.contains(drawn), qPrintable(drawn + QStringLiteral(" missing in:\n") + text));
        const std::set<char32_t> mapped = uitest::pdfToUnicodeTargets(pdf);
        for (char32_t drawn :
             {0x3000, 0x4E00, 0x65E5, 0x5165, 0x6C0F, 0x2F00, 0x2F47, 0x2212, 0xFF5E, 0x301C})
            QVERIFY2(mapped.count(drawn), qPrintable(QString::number(uint(drawn), 16)));
        for (char32_t lookalike : {0x2003, 0x2F0A, 0x2F52, 0x00AD, 0x0009}) // no space as a tab
            QVERIFY2(!mapped.count(lookalike), qPrintable(QString::number(uint(lookalike), 16)));
    }


    void pageLooksAsWithTheFontsThemselves() {
        for (const ReportFields& fields : {uitest::sampleReportFields(), trickyFields()}) {
            const QString copies = dir_.filePath(QStringLiteral("copies.pdf"));
            const QString themselves = dir_.filePath(QStringLiteral("themselves.pdf"));
            QVERIFY(printReportTo(copies, fields));
            QVERIFY(printWithFontsThemselves(themselves, fields));
            QImage a, b;
            QString error;
            QVERIFY2(uitest::pdfPicture(copies, 150, a, error), qPrintable(error));
            QVERIFY2(uitest::pdfPicture(themselves, 150, b, error), qPrintable(error));
            QCOMPARE(a.size(), b.size());
            QCOMPARE(a.convertToFormat(QImage::Format_RGB32), b.convertToFormat(QImage::Format_RGB32));
        }
    }

    // One process prints report, dose history, audit, the report again and the English report: each
    // file's text holds every digit and label drawn, whatever was printed before it.
    void everyDocumentOfOneRunReadsBack() {
        QTemporaryDir folder;
        QVERIFY(uitest::prepareWorkingFolder(folder));
        std::string records = "新生 一郎\r\n 2 \r\n";
        for (const char* dateAndDose : {"2024/05/01\r\n佐藤\r\n胸部\r\n 8 \r\nMobile DR-1\r\n 60 \r\n 2.5 \r\n "
                                        "100 \r\n10 x 12, 縦\r\n .123 \r\n 4.5 \r\n .067 \r\n\r\n",
                                        "2024/06/29\r\n佐藤\r\n胸部\r\n 9 \r\nMobile DR-1\r\n 70 \r\n 3.2 \r\n "
                                        "100 \r\n10 x 12, 縦\r\n .085 \r\n 1.5 \r\n .04 \r\n\r\n"})
            records += dateAndDose;
        QFile file(QStringLiteral("N-0123.pat"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray::fromStdString(*textio::utf8ToSjis(records)));
        file.close();

        ReportFields report = uitest::sampleReportFields();
        report.id = QStringLiteral("N-0123");
        report.thickness = QStringLiteral("9");
        report.doseWithUncertainty = QStringLiteral("0.085 ± 0.017 mGy (k=2)");
        report.exposureNumber = QStringLiteral("2");
        report.cumulativeDose = QStringLiteral("0.208");
        const QStringList reportTexts = {
            QStringLiteral("ID No.: N-0123"), QStringLiteral("被写体厚 : 9 cm"), QStringLiteral("(k=2)"),
            QStringLiteral("① : 0.012 μSv"), QStringLiteral("0.085 ± 0.017 mGy"), QStringLiteral("0.052 mGy"),
            QStringLiteral("2026/12/08"), QStringLiteral("撮影 2 回目 累積線量： 0.208 mGy"),
            QStringLiteral("管電圧 : 50 kV"), QStringLiteral("撮影距離 : 100 cm")};
        struct Document {
            QString name;
            std::function<bool(const QString&)> print;
            QStringList texts;
        };
        auto printed = [&](const ReportFields& f) {
            return [f](const QString& pdf) { return printReportTo(pdf, f); };
        };
        QStringList english = reportTexts;
        english.replaceInStrings(QStringLiteral("被写体厚 : "), QStringLiteral("Thickness: "));
        english.replaceInStrings(QStringLiteral("撮影距離 : "), QStringLiteral("FFD : "));
        english.replaceInStrings(QStringLiteral("管電圧 : "), QStringLiteral("Voltage : "));
        english.replace(english.indexOf(QStringLiteral("撮影 2 回目 累積線量： 0.208 mGy")),
                        QStringLiteral("Entrance surface dose: 0.052 mGy"));
        const Document documents[] = {
            {QStringLiteral("report"), printed(report), reportTexts},
            {QStringLiteral("history"),
             [](const QString& pdf) {
                 DoseHistoryWindow window(uitest::calculationState(), uitest::siteData());
                 return window.showHistory(workingFolderPath(), QStringLiteral("N-0123")).ok() &&
                        window.savePdf(pdf).ok();
             },
             {QStringLiteral("ID No.: N-0123"), QStringLiteral("2024/06/29"), QStringLiteral("0.123"),
              QStringLiteral("0.208"), QStringLiteral("4.500"), QStringLiteral("0.067")}},
            {QStringLiteral("audit"),
             [](const QString& pdf) {
                 DoseAuditWindow window(uitest::calculationState(), uitest::siteData());
                 window.open();
                 return window.exportPdf(pdf);
             },
             {QStringLiteral("0.085"), QStringLiteral("0.123")}},
            {QStringLiteral("report again"), printed(report), reportTexts},
            {QStringLiteral("English report"),
             [&](const QString& pdf) {
                 const bool ok = installLanguage(Language::English) && printReportTo(pdf, report);
                 return installLanguage(Language::Japanese) && ok;
             },
             english},
        };
        for (const Document& d : documents) {
            const QString pdf = dir_.filePath(d.name + QStringLiteral(".pdf"));
            QVERIFY2(d.print(pdf), qPrintable(d.name));
            QString text, error;
            QVERIFY2(uitest::pdfText(pdf, text, error), qPrintable(error));
            const QString flat = text.simplified();
            for (const QString& drawn : d.texts)
                QVERIFY2(flat.contains(drawn), qPrintable(d.name + QStringLiteral(": ") + drawn +
                                                          QStringLiteral(" missing in ") + flat));
            QVERIFY2(uitest::radicalsIn(text).isEmpty(), qPrintable(d.name));
            // Every character, ① μ ± and the digits included, drawn with a copy, in any language.
            QStringList fonts;
            QVERIFY2(uitest::pdfFontNames(pdf, fonts, error), qPrintable(error));
            for (const QString& font : fonts)
                QVERIFY2(font.startsWith(QStringLiteral("TAMSOPrint")),
                         qPrintable(d.name + QLatin1Char(' ') + font));
        }
    }
};

QTEST_MAIN(PrintFontsTest)
#include "tst_printfonts.moc"
