// The report layout: the drawing sequence on both targets, the body-part mark, the painter canvas
// geometry, and the printed default report as a PDF.

#include "uitestsupport.h"

#include "engine/calculation.h"
#include "engine/calculationstate.h"
#include "refdata/referenceloader.h"
#include "textio/numbertext.h"
#include "ui/kit/language.h"
#include "ui/kit/messagebox.h"
#include "ui/kit/uiutil.h"
#include "ui/report/paintercanvas.h"
#include "ui/report/reportlayout.h"
#include "ui/report/reportpreview.h"
#include "ui/report/reportprinter.h"
#include "ui/report/reportrecorder.h"

#include <QBuffer>
#include <QDate>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLocale>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace tamso;
using namespace tamso::ui;

namespace {

ReportFields defaultCase() {
    return uitest::sampleReportFields();
}

QStringList record(ReportTarget target, const ReportFields& fields) {
    RecordingCanvas canvas;
    drawReport(canvas, target, fields, uitest::calculationState());
    return canvas.operations();
}

// The texts a target draws, blanks simplified as in extracted text (a continued line is one text).
QStringList drawnTexts(ReportTarget target, const ReportFields& fields) {
    QStringList texts;
    QString line;
    for (const QString& op : record(target, fields)) {
        const bool ends = op.startsWith(QStringLiteral("text ["));
        if (!ends && !op.startsWith(QStringLiteral("text+ [")))
            continue;
        line += op.mid(op.indexOf(QLatin1Char('[')) + 1).chopped(1);
        if (ends) {
            texts << line.simplified();
            line.clear();
        }
    }
    return texts;
}

// A painter canvas that notes the box (page units) of every text it draws: from its position, as
// wide as the text advances and as high as the line it ends.
class TextBoxCanvas : public PainterCanvas {
public:
    TextBoxCanvas(QPainter& painter, const Mapping& mapping, QList<std::pair<QString, QRectF>>& boxes)
        : PainterCanvas(painter, mapping), boxes_(boxes) {}
    void printText(const QString& text, bool endsLine) override {
        const QPointF start = currentPosition();
        PainterCanvas::printText(text, false);
        const double width = currentPosition().x() - start.x();
        PainterCanvas::printText(QString(), true);
        const double height = currentPosition().y() - start.y();
        boxes_.append({text, QRectF(start.x(), start.y(), width, height)});
        if (!endsLine)
            moveTo(start.x() + width, start.y());
    }

private:
    QList<std::pair<QString, QRectF>>& boxes_;
};

// Pixels darker than mid-grey in a small square around a point.
bool darkNear(const QImage& image, QPointF at, int radius = 1) {
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx) {
            const QPoint p(qRound(at.x()) + dx, qRound(at.y()) + dy);
            if (image.rect().contains(p) && qGray(image.pixel(p)) < 128)
                return true;
        }
    return false;
}

} // namespace

class ReportLayoutTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        QDir::setCurrent(dir_.path());
        installFontSubstitutions();
        MessageBox::setTestMode(true);
        uitest::calculationState().xrayUnitName = "Mobile-X 100";
        uitest::calculationState().hospitalName = "みなと総合病院 放射線科";
    }

    void sequence_data() {
        QTest::addColumn<int>("target");
        QTest::newRow("preview") << int(ReportTarget::Preview);
        QTest::newRow("printer") << int(ReportTarget::Printer);
    }

    // Each row: what the preview draws, and what the printer draws where it differs
    // ("-" = not drawn on that target).
    void sequence() {
        QFETCH(int, target);
        const bool printer = target == int(ReportTarget::Printer);
        const char* rows[][2] = {
            {"font name Times New Roman", nullptr},
            {"font size 14", "font size 18"},
            {"move 10 10", "move 20 10"},
            {"text [TAMSO in NICU]", nullptr},
            {"font name MS ゴシック", nullptr},
            {"font charset 128", nullptr},
            {"fill transparent", nullptr},
            {"width 1", "width 4"},
            {"box 10 21 195 287 default", "box 10 20 195 277 default"},
            {"box 15 28 100 43 #000000", nullptr},
            {"font size 10", "font size 14"},
            {"move 20 30", nullptr},
            {"text [ID No.: 123456]", nullptr},
            {"move 20 37", nullptr},
            {"text [氏名 : 新生 太郎]", nullptr},
            {"box 15 45 100 109 #000000", nullptr},
            {"move 20 47", nullptr},
            {"text [撮影日]", nullptr},
            {"move 43 47", nullptr},
            {"text [: 2026/12/08]", nullptr},
            {"move 20 54", nullptr},
            {"text [撮影担当]", nullptr},
            {"move 43 54", nullptr},
            {"text [: 技師 一郎]", nullptr},
            {"move 20 61", nullptr},
            {"text [撮影装置]", nullptr},
            {"move 43 61", nullptr},
            {"text [: Mobile-X 100]", nullptr},
            {"move 20 68", nullptr},
            {"text [撮影部位]", nullptr},
            {"move 43 68", nullptr},
            {"text [: 腹部正面]", nullptr},
            {"move 20 75", nullptr},
            {"text [被写体厚]", nullptr},
            {"move 43 75", nullptr},
            {"text [: 10 cm]", nullptr},
            {"move 20 82", nullptr},
            {"text [撮影距離]", nullptr},
            {"move 43 82", nullptr},
            {"text [: 100 cm]", nullptr},
            {"move 20 89", nullptr},
            {"text [管電圧]", nullptr},
            {"move 43 89", nullptr},
            {"text [: 50 kV]", nullptr},
            {"move 20 96", nullptr},
            {"text [管電流秒]", nullptr},
            {"move 43 96", nullptr},
            {"text [: 5 mAs]", nullptr},
            {"move 20 103", nullptr},
            {"text [照射野]", nullptr},
            {"move 43 103", nullptr},
            {"text [: 六切サイズ]", nullptr},
            {"box 15 111 100 145 #000000", nullptr},
            {"move 20 117", nullptr},
            {"text [患児の入射表面線量： 0.052 mGy]", nullptr},
            {"move 20 127", nullptr},
            {"text [介助者の被ばく線量  μSv]", nullptr},
            {"move 25 134", nullptr},
            {"text+ [① : 0.012]", nullptr},
            {"text+ [   ② : 0.003]", nullptr},
            {"text [   ③ : 0.001]", nullptr},
            {"box 15 230 190 285 #000000", "box 15 230 190 275 #000000"},
            {"move 20 235", nullptr},
            {"text [備考]", nullptr},
            {"width 2", "width 8"},
            {"line 45 195 45 222", nullptr},
            {"to 105 222", nullptr},
            {"to 105 182", nullptr},
            {"to 63 182", nullptr},
            {"to 45 195", nullptr},
            {"-", "fillcolour #ff0000"},
            {"-", "fill solid"},
            {"circle 108 152 1 #ff0000", nullptr},
            {"circle 108 182 1 #ff0000", nullptr},
            {"circle 108 212 1 #ff0000", nullptr},
            {"width 1", "width 4"},
            {"fill hatched", nullptr},
            {"circle 75 217 10 default aspect 0.5", nullptr},
            {"line 75 155 75 222", nullptr},
            {"line 68 155 60 222", nullptr},
            {"line 82 155 90 222", nullptr},
            {"move 115 150", nullptr},
            {"text [① : 0.012 μSv]", nullptr},
            {"move 115 180", nullptr},
            {"text [② : 0.003 μSv]", nullptr},
            {"move 115 210", nullptr},
            {"text [③ : 0.001 μSv]", nullptr},
            {"move 77 205", nullptr},
            {"text [0.052 mGy]", nullptr},
            {"fill transparent", nullptr},
            {"box 110 28 190 145 default", nullptr},
            {"circle 150 50 18 default", nullptr},
            {"circle 150 88 26 default arc 2.09 6.28318 aspect 1.44", nullptr},
            {"circle 150 88 26 default arc 0 1.047 aspect 1.44", nullptr},
            {"line 162 68 180 72", nullptr},
            {"to 186 77", nullptr},
            {"to 184 82", nullptr},
            {"to 167 78", nullptr},
            {"line 138 68 120 72", nullptr},
            {"to 114 77", nullptr},
            {"to 116 82", nullptr},
            {"to 133 78", nullptr},
            {"line 137 107 124 129", nullptr},
            {"to 125 135", nullptr},
            {"to 130 137", nullptr},
            {"to 142 120", nullptr},
            {"to 150 115", nullptr},
            {"to 158 120", nullptr},
            {"to 170 137", nullptr},
            {"to 175 135", nullptr},
            {"to 176 129", nullptr},
            {"to 163 107", nullptr},
            {"width 2", "width 10"},
            {"box 130 80 170 115 #ff0000", nullptr},
            {"circle 150 97.5 1 #ff0000", nullptr},
            {"width 1", "width 4"},
            {"move 140 99.5", nullptr},
            {"text [0.052 mGy]", nullptr},
            {"move 70 288", "move 70 278"},
            {"text [みなと総合病院 放射線科]", nullptr},
            {"-", "end"},
        };
        QStringList expected;
        for (const auto& row : rows) {
            const char* op = printer && row[1] ? row[1] : row[0];
            if (QString::fromUtf8(op) != QStringLiteral("-"))
                expected << QString::fromUtf8(op);
        }
        const QStringList actual = record(ReportTarget(target), defaultCase());
        for (int i = 0; i < qMin(expected.size(), actual.size()); ++i)
            QCOMPARE(actual.at(i), expected.at(i));
        QCOMPARE(actual.size(), expected.size());
    }

    // With the ID known, the exposure number and cumulative dose open the remarks, at the size of
    // the other texts; every other drawing step stays as it was.
    void doseSoFarLineOpensTheRemarks_data() { sequence_data(); }
    void doseSoFarLineOpensTheRemarks() {
        QFETCH(int, target);
        ReportFields f = defaultCase();
        f.exposureNumber = QStringLiteral("12");
        f.cumulativeDose = QStringLiteral("3.456");
        const QStringList with = record(ReportTarget(target), f);
        const QStringList without = record(ReportTarget(target), defaultCase());
        const int at = with.indexOf(QStringLiteral("text [備考]"));
        QVERIFY(at > 0);
        const QStringList added = with.mid(at + 1, 2);
        QCOMPARE(added, (QStringList{QStringLiteral("move 25 243"),
                                     QStringLiteral("text [撮影 12 回目　累積線量： 3.456 mGy]")}));
        QStringList rest = with;
        for (int i = 0; i < 2; ++i)
            rest.removeAt(at + 1);
        QCOMPARE(rest, without);

        f.cumulativeIsLowerBound = true;
        QVERIFY(record(ReportTarget(target), f)
                    .contains(QStringLiteral("text [撮影 12 回目　累積線量： 3.456 mGy 以上]")));
    }

    // The line fits the remarks on both targets, clear of the other remarks (the dose with its
    // uncertainty, a dose typed over, a level exceeded), with the longest texts it takes.
    void doseSoFarLineFitsTheRemarks_data() { sequence_data(); }
    void doseSoFarLineFitsTheRemarks() {
        QFETCH(int, target);
        ReportFields f = defaultCase();
        f.dose = QStringLiteral("12.345");
        f.exposureNumber = QStringLiteral("123");
        f.cumulativeDose = QStringLiteral("123.456");
        f.cumulativeIsLowerBound = true;
        f.doseWithUncertainty = QStringLiteral("12.345 ± 2.4 mGy (k=2)");
        f.originalDose = QStringLiteral("12.3");
        f.referenceLevel = referenceLevelText(refdata::compareWithLevel(12.345, 0.1));
        f.aboveReferenceLevel = true;
        QList<std::pair<QString, QRectF>> boxes;
        if (target == int(ReportTarget::Preview)) {
            ReportPreview preview;
            QImage image = preview.image();
            QPainter painter(&image);
            PainterCanvas::Mapping mapping;
            mapping.unitsToDeviceX = image.width() / 210.0;
            mapping.unitsToDeviceY = image.height() / 296.0;
            TextBoxCanvas canvas(painter, mapping, boxes);
            drawReport(canvas, ReportTarget::Preview, f, uitest::calculationState());
        } else {
            QBuffer buffer;
            buffer.open(QIODevice::WriteOnly);
            QPdfWriter writer(&buffer);
            writer.setResolution(1200);
            writer.setPageSize(QPageSize(QPageSize::A4));
            QPainter painter(&writer);
            TextBoxCanvas canvas(painter, reportPrinterMapping(1200), boxes);
            drawReport(canvas, ReportTarget::Printer, f, uitest::calculationState());
        }
        const QString line = doseHistoryLine(f);
        QRectF lineBox;
        for (const auto& [text, box] : boxes)
            if (text == line)
                lineBox = box;
        QVERIFY(lineBox.isValid());
        const QRectF remarks(QPointF(15, 230),
                             QPointF(190, target == int(ReportTarget::Printer) ? 275 : 285));
        QVERIFY2(remarks.contains(lineBox), qPrintable(QStringLiteral("%1 %2 %3 %4")
                                                           .arg(lineBox.left())
                                                           .arg(lineBox.top())
                                                           .arg(lineBox.right())
                                                           .arg(lineBox.bottom())));
        for (const auto& [text, box] : boxes)
            if (text != line)
                QVERIFY2(!box.intersects(lineBox), qPrintable(text));
    }

    // The dose with its uncertainty and the dose against its reference level stand in the remarks
    // box on both targets, clear of each other; above the level a red frame goes round the words.
    void uncertaintyAndReferenceLevelInTheRemarks_data() {
        QTest::addColumn<int>("target");
        QTest::newRow("preview") << int(ReportTarget::Preview);
        QTest::newRow("printer") << int(ReportTarget::Printer);
    }
    void uncertaintyAndReferenceLevelInTheRemarks() {
        QFETCH(int, target);
        ReportFields f = defaultCase();
        f.dose = QStringLiteral("12.345");
        f.doseWithUncertainty = QStringLiteral("12.345 ± 2.4 mGy (k=2)");
        f.bodyPart = QStringLiteral("胸腹部正面");
        f.referenceLevel = QStringLiteral("10.000 mGy の 1.23 倍（参考レベル超過）");
        f.aboveReferenceLevel = true;
        const QString uncertaintyLine = QStringLiteral("入射表面線量 12.345 ± 2.4 mGy (k=2)");
        const QString levelLine = QStringLiteral("参考レベル（胸腹部正面）") + f.referenceLevel;
        QVERIFY(drawnTexts(ReportTarget(target), f).contains(uncertaintyLine));
        QVERIFY(drawnTexts(ReportTarget(target), f).contains(levelLine));
        QVERIFY(record(ReportTarget(target), f).contains(QStringLiteral("box 22 249.5 188 257 #ff0000")));
        ReportFields below = f;
        below.aboveReferenceLevel = false;
        for (const QString& op : record(ReportTarget(target), below))
            QVERIFY2(!op.startsWith(QStringLiteral("box 22 ")), qPrintable(op));
        ReportFields none = defaultCase();
        QVERIFY(!drawnTexts(ReportTarget(target), none).contains(uncertaintyLine));

        QList<std::pair<QString, QRectF>> boxes;
        QImage image(1240, 1754, QImage::Format_RGB32);
        QBuffer buffer;
        std::unique_ptr<QPdfWriter> writer;
        std::unique_ptr<QPainter> painter;
        PainterCanvas::Mapping mapping;
        if (target == int(ReportTarget::Preview)) {
            image = ReportPreview().image();
            painter = std::make_unique<QPainter>(&image);
            mapping.unitsToDeviceX = image.width() / 210.0;
            mapping.unitsToDeviceY = image.height() / 296.0;
        } else {
            buffer.open(QIODevice::WriteOnly);
            writer = std::make_unique<QPdfWriter>(&buffer);
            writer->setResolution(1200);
            writer->setPageSize(QPageSize(QPageSize::A4));
            painter = std::make_unique<QPainter>(writer.get());
            mapping = reportPrinterMapping(1200);
        }
        TextBoxCanvas canvas(*painter, mapping, boxes);
        drawReport(canvas, ReportTarget(target), f, uitest::calculationState());
        painter->end();
        const QRectF remarks(QPointF(15, 230),
                             QPointF(190, target == int(ReportTarget::Printer) ? 275 : 285));
        QRectF lines[2];
        for (const auto& [text, box] : boxes) {
            if (text == uncertaintyLine)
                lines[0] = box;
            if (text == levelLine)
                lines[1] = box;
        }
        for (const QRectF& box : lines) {
            QVERIFY(box.isValid());
            QVERIFY2(remarks.contains(box),
                     qPrintable(QStringLiteral("%1 %2").arg(box.right()).arg(box.bottom())));
        }
        QVERIFY(!lines[0].intersects(lines[1]));
    }

    void bodyPartMarkRows_data() {
        QTest::addColumn<QString>("bodyPart");
        QTest::addColumn<double>("upper");
        QTest::addColumn<double>("lower");
        QTest::newRow("head") << QStringLiteral("頭部") << 30.0 << 70.0;
        QTest::newRow("chest") << QStringLiteral("胸部正面") << 62.0 << 90.0;
        QTest::newRow("abdomen") << QStringLiteral("腹部正面") << 80.0 << 115.0;
        QTest::newRow("one character") << QStringLiteral("頭") << 28.0 << 28.0;
        QTest::newRow("empty") << QString() << 28.0 << 28.0;
        QTest::newRow("other part") << QStringLiteral("四肢") << 28.0 << 28.0;
    }

    void bodyPartMarkRows() {
        QFETCH(QString, bodyPart);
        QFETCH(double, upper);
        QFETCH(double, lower);
        ReportFields f = defaultCase();
        f.bodyPart = bodyPart;
        const QStringList ops = record(ReportTarget::Preview, f);
        const double c = (upper + lower) / 2;
        const int at = ops.indexOf(QStringLiteral("box 130 %1 170 %2 #ff0000").arg(upper).arg(lower));
        QVERIFY2(at > 0, qPrintable(ops.join(QLatin1Char('\n'))));
        QCOMPARE(ops.at(at + 1), QStringLiteral("circle 150 %1 1 #ff0000").arg(c));
        QCOMPARE(ops.at(at + 3), QStringLiteral("move 140 %1").arg(c + 2));
        QCOMPARE(ops.at(at + 4), QStringLiteral("text [0.052 mGy]"));
    }

    // Empty fields leave the labels and the units; the X-ray unit never comes from the field.
    void emptyFieldsKeepLabelsAndUnits() {
        ReportFields empty;
        empty.xrayUnit = QStringLiteral("ignored");
        const QStringList ops = record(ReportTarget::Printer, empty);
        QVERIFY(ops.contains(QStringLiteral("text [ID No.: ]")));
        QVERIFY(ops.contains(QStringLiteral("text [: Mobile-X 100]")));
        QVERIFY(!ops.join(QString()).contains(QStringLiteral("ignored")));
        QCOMPARE(ops.count(QStringLiteral("text [: ]")), 4); // date, technologist, body part, field size
        QCOMPARE(ops.count(QStringLiteral("text [:  cm]")), 2);
        QVERIFY(ops.contains(QStringLiteral("text [:  kV]")));
        QVERIFY(ops.contains(QStringLiteral("text [:  mAs]")));
        QVERIFY(ops.contains(QStringLiteral("text [患児の入射表面線量：  mGy]")));
        QVERIFY(ops.contains(QStringLiteral("text [① :  μSv]")));
        QVERIFY(ops.contains(QStringLiteral("text [ mGy]")));
    }

    void unitRowFollowsBasicData() {
        const std::string saved = uitest::calculationState().xrayUnitName;
        uitest::calculationState().xrayUnitName = "新しい装置";
        const QStringList ops = record(ReportTarget::Preview, defaultCase());
        uitest::calculationState().xrayUnitName = saved;
        QVERIFY(ops.contains(QStringLiteral("text [: 新しい装置]")));
        QVERIFY(!ops.join(QString()).contains(QStringLiteral("記録の装置")));
    }

    // A continued text leaves the position right after itself; an ended one goes to the next line.
    void paintedTextPosition() {
        QImage image(600, 800, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        PainterCanvas canvas(painter, {2, 2, 1, 1});
        canvas.setFontName(gothicFontFamily());
        canvas.setFontSize(10);
        canvas.moveTo(25, 134);
        canvas.printText(QStringLiteral("① : 0.012"), false);
        const QPointF afterFirst = canvas.currentPosition();
        QCOMPARE(afterFirst.y(), 134.0);
        QVERIFY(afterFirst.x() > 25 + 10);
        canvas.printText(QStringLiteral("   ② : 0.003"), false);
        QVERIFY(canvas.currentPosition().x() > afterFirst.x() + 10);
        canvas.printText(QStringLiteral("end"), true);
        QCOMPARE(canvas.currentPosition().x(), 0.0);
        QVERIFY(canvas.currentPosition().y() > 134 + 3);
        painter.end();
        // The text hangs below its position: nothing above it, ink within the next few units.
        bool inkAbove = false, inkBelow = false;
        for (int x = 50; x < 120; ++x) {
            for (int y = 250; y < 266; ++y)
                inkAbove = inkAbove || qGray(image.pixel(x, y)) < 128;
            for (int y = 268; y < 290; ++y)
                inkBelow = inkBelow || qGray(image.pixel(x, y)) < 128;
        }
        QVERIFY(!inkAbove);
        QVERIFY(inkBelow);
    }

    // Arcs turn counter-clockwise as seen on the page; the aspect picks the half-axes; hatching
    // runs down from left to right.
    void paintedGeometry() {
        QImage image(400, 400, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        PainterCanvas canvas(painter, {2, 2, 1, 1});
        canvas.circle(50, 50, 20, {}, ArcAngles{0, 1.5707963}, 1.0); // upper right quarter
        canvas.circle(150, 50, 20, {}, {}, 0.5);                     // 20 across, 10 down
        canvas.circle(50, 150, 20, {}, {}, 2.0);                     // 10 across, 20 down
        canvas.setFillStyle(FillStyle::Hatched);
        canvas.box(120, 120, 180, 180, {});
        painter.end();

        QVERIFY(darkNear(image, {100, 60}));   // 50 up from the centre (100, 100)
        QVERIFY(!darkNear(image, {100, 140})); // not below
        QVERIFY(darkNear(image, {140, 100}));  // 3 o'clock
        QVERIFY(!darkNear(image, {60, 100}));  // 9 o'clock not drawn

        QVERIFY(darkNear(image, {340, 100})); // horizontal half-axis 20
        QVERIFY(darkNear(image, {300, 80}));  // vertical half-axis 10
        QVERIFY(!darkNear(image, {300, 60}));

        QVERIFY(darkNear(image, {100, 260})); // vertical half-axis 20
        QVERIFY(darkNear(image, {120, 300})); // horizontal half-axis 10
        QVERIFY(!darkNear(image, {140, 300}));

        // Inside the hatched box: from an ink pixel, the line continues down-right, not up-right.
        int down = 0, up = 0;
        for (int y = 260; y < 340; ++y)
            for (int x = 260; x < 340; ++x)
                if (qGray(image.pixel(x, y)) < 128) {
                    down += qGray(image.pixel(x + 1, y + 1)) < 128;
                    up += qGray(image.pixel(x + 1, y - 1)) < 128;
                }
        QVERIFY(down > 50);
        QVERIFY(up < down / 4);
    }

    // Drawing again superimposes; clearing leaves white.
    void previewKeepsAndClears() {
        ReportPreview preview;
        QCOMPARE(preview.image().size(), QSize(twips(8295), twips(11655)));
        preview.drawReport(defaultCase(), uitest::calculationState());
        const QImage once = preview.image();
        QVERIFY(once != QImage(once.size(), once.format()));
        ReportFields other = defaultCase();
        other.bodyPart = QStringLiteral("頭部");
        preview.drawReport(other, uitest::calculationState());
        // The abdomen mark of the first drawing stays beside the head mark of the second.
        const double sx = preview.image().width() / 210.0, sy = preview.image().height() / 296.0;
        auto isRedNear = [&](double x, double y) {
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const QRgb p = preview.image().pixel(qRound(x * sx) + dx, qRound(y * sy) + dy);
                    if (qRed(p) > 200 && qGreen(p) < 120)
                        return true;
                }
            return false;
        };
        QVERIFY(isRedNear(130, 100)); // abdomen box edge from the first drawing
        QVERIFY(isRedNear(130, 50));  // head box edge from the second
        preview.clear();
        QImage white(preview.image().size(), preview.image().format());
        white.fill(Qt::white);
        QCOMPARE(preview.image(), white);
    }

    // The default case calculated on the default test case's working folder, as the hand-over
    // passes it on, printed to PDF with a picture of the preview beside it.
    void printsDefaultReportToPdf() {
        QTemporaryDir work;
        QDirIterator files(uitest::testCaseWorkFolder(), QDir::Files);
        while (files.hasNext()) {
            files.next();
            QVERIFY(QFile::copy(files.filePath(), work.filePath(files.fileName())));
        }
        const engine::CalculationState saved = uitest::calculationState();
        auto state = std::make_unique<engine::CalculationState>();
        QVERIFY(refdata::loadReferenceData(*state, work.path().toStdString()).ok());
        state->exposureSource = 2; // the screen's default: exposure from the tube output data
        engine::ConditionTexts conditions;
        conditions.targetAngleDeg = textio::numberToText(state->targetAngleDeg);
        conditions.inherentFilterAlMm = textio::numberToText(state->defaultInherentFilterAlMm);
        engine::ResultTexts results;
        QVERIFY(engine::runCalculation(*state, conditions, results,
                                       engine::listingInto(work.path().toStdString()))
                    .ok());
        QVERIFY(engine::computeCaregiverDose(*state, results).ok());
        ReportFields fields;
        fields.id = QStringLiteral("123456");
        fields.name = QStringLiteral("新生 太郎");
        fields.technologist = QStringLiteral("技師 一郎");
        fields.examDate = ui::shortDateText(QDate::currentDate());
        fields.bodyPart = QStringLiteral("腹部正面");
        fields.thickness = qs(textio::numberToText(state->subjectThicknessCm));
        fields.xrayUnit = qs(state->xrayUnitName);
        fields.tubeVoltage = qs(textio::numberToText(state->tubeVoltageKv));
        fields.mAs = qs(textio::numberToText(state->mAs));
        fields.ffd = qs(textio::numberToText(state->ffdCm));
        fields.fieldSize = QStringLiteral("六切サイズ");
        fields.dose = qs(results.resultText(engine::ResultField::EntranceSurfaceDoseMGy));
        fields.caregiver1 = qs(results.resultText(engine::ResultField::CaregiverDose1USv));
        fields.caregiver2 = qs(results.resultText(engine::ResultField::CaregiverDose2USv));
        fields.caregiver3 = qs(results.resultText(engine::ResultField::CaregiverDose3USv));
        QVERIFY(textio::textToNumber(fields.dose.toStdString()) > 0);
        QVERIFY(!fields.caregiver3.isEmpty());
        uitest::calculationState().xrayUnitName = state->xrayUnitName;
        uitest::calculationState().hospitalName = state->hospitalName;

        const QString folder = QStringLiteral(TAMSO_BINARY_DIR "/test-output");
        QVERIFY(QDir().mkpath(folder));
        const QString pdf = folder + QStringLiteral("/report-default.pdf");
        QFile::remove(pdf);
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        const Status printed = printReport(printer, fields, uitest::calculationState());
        QVERIFY2(printed.ok(), printed.ok() ? "" : printed.message().c_str());
        QFile file(pdf);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(bytes.startsWith("%PDF"));
        QCOMPARE(bytes.count("/Type /Page\n") + bytes.count("/Type /Page>>") + bytes.count("/Type /Page "),
                 1);
        QCOMPARE(printer.pageLayout().orientation(), QPageLayout::Portrait);
        QCOMPARE(printer.pageLayout().pageSize().id(), QPageSize::A4);
        QCOMPARE(printer.colorMode(), QPrinter::Color);

        // The saved file's text is the text that was drawn: every caption and value, Japanese
        // included, and no Kangxi radical in place of an ideograph (氏名 read back as ⽒名).
        QString text, toolError;
        QVERIFY2(uitest::pdfText(pdf, text, toolError), qPrintable(toolError));
        QVERIFY2(uitest::radicalsIn(text).isEmpty(), qPrintable(uitest::radicalsIn(text)));
        const QString extracted = text.simplified();
        const QStringList drawn = drawnTexts(ReportTarget::Printer, fields);
        QCOMPARE(drawn.size(), 31); // title, patient 2, conditions 18, doses 3, remarks, figures 5, hospital
        for (const QString& caption : drawn)
            QVERIFY2(extracted.contains(caption),
                     qPrintable(caption + QStringLiteral(" missing in: ") + extracted));
        for (const QString& word :
             {QStringLiteral("氏名"), QStringLiteral("撮影日"), QStringLiteral("入射"),
              QStringLiteral("一郎"), fields.dose, QStringLiteral("mGy"), QStringLiteral("μSv")})
            QVERIFY2(extracted.contains(word), qPrintable(word));

        ReportPreview preview;
        preview.drawReport(fields, uitest::calculationState());
        QVERIFY(preview.image().save(folder + QStringLiteral("/report-default-preview.png")));
        uitest::calculationState() = saved;
    }

    // The printed page carries the exposure number and cumulative dose as drawn.
    void printsTheDoseSoFar() {
        ReportFields f = defaultCase();
        f.exposureNumber = QStringLiteral("21");
        f.cumulativeDose = QStringLiteral("2.150");
        const QString pdf = dir_.filePath(QStringLiteral("report-dose-so-far.pdf"));
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        QVERIFY(printReport(printer, f, uitest::calculationState()).ok());
        QString text, toolError;
        QVERIFY2(uitest::pdfText(pdf, text, toolError), qPrintable(toolError));
        const QString extracted = text.simplified();
        QVERIFY2(extracted.contains(QStringLiteral("撮影 21 回目 累積線量： 2.150 mGy")),
                 qPrintable(extracted));
        const QStringList drawn = drawnTexts(ReportTarget::Printer, f);
        QCOMPARE(drawn.size(), 32); // the 31 of every report and this line
        for (const QString& caption : drawn)
            QVERIFY2(extracted.contains(caption),
                     qPrintable(caption + QStringLiteral(" missing in: ") + extracted));
        QDir().mkpath(QStringLiteral(TAMSO_BINARY_DIR "/test-output"));
        QFile::remove(QStringLiteral(TAMSO_BINARY_DIR "/test-output/report-dose-so-far.pdf"));
        QFile::copy(pdf, QStringLiteral(TAMSO_BINARY_DIR "/test-output/report-dose-so-far.pdf"));
    }

    // A print job that cannot start reports a message instead of success.
    void failedPrintJobIsReported() {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir_.path()); // a folder cannot be written as a file
        const Status printed = printReport(printer, defaultCase(), uitest::calculationState());
        QVERIFY(!printed.ok());
        QVERIFY(!printed.message().empty());
    }
};

QTEST_MAIN(ReportLayoutTest)
#include "tst_reportlayout.moc"
