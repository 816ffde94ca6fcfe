// The dose history window: its table, totals and chart through the model, dates in the forms the
// program stores, hovering a bar, printing and saving as PDF through the same pages as the screen,
// and its opening from the record search. With TAMSO_SCREENSHOT_DIR set, the window is also saved
// as a picture there.

#include "uitestsupport.h"

#include "engine/calculationstate.h"
#include "textio/codec.h"
#include "textio/fileio.h"
#include "ui/kit/language.h"
#include "ui/kit/messagebox.h"
#include "ui/kit/uiutil.h"
#include "ui/records/dosehistorymodel.h"
#include "ui/records/dosehistorypages.h"
#include "ui/records/dosehistorywindow.h"
#include "ui/records/recordsearchscreen.h"
#include "ui/shell/shell.h"

#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineSeries>
#include <QListWidget>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QValueAxis>
#include <QtTest>

#include <memory>

using namespace tamso;
using namespace tamso::ui;

namespace {

std::string storedRecord(const std::string& date, const std::string& dose, const std::string& part = "胸部") {
    return date + "\r\n佐藤\r\n" + part +
           "\r\n 8 \r\nMobile DR-1\r\n 60 \r\n 2.5 \r\n 100 \r\n10 x 12, 縦\r\n" + dose +
           "\r\n 1.5 \r\n .05 \r\n\r\n";
}

void writeSjisFile(const QString& name, const std::string& utf8Text) {
    auto sjis = textio::utf8ToSjis(utf8Text);
    QVERIFY(sjis.ok());
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(sjis->data(), static_cast<qint64>(sjis->size()));
}

// "H1": 20 records in the first file, 3 in its continuation. Dates run 2024/05/01.. one a day,
// two exposures on 2024/05/03; record 22 is not calculated.
void writeInfantH1() {
    std::string first = "新生 一郎\r\n 20 \r\n";
    for (int i = 1; i <= 20; ++i) {
        const int day = i <= 3 ? i : i - 1; // records 3 and 4 on the same day
        first += storedRecord(QStringLiteral("2024/05/%1").arg(day, 2, 10, QLatin1Char('0')).toStdString(),
                              i == 1 ? " .25 " : " .1 ");
    }
    writeSjisFile(QStringLiteral("H1.pat"), first);
    writeSjisFile(QStringLiteral("H1.~2.pat"), "新生 一郎\r\n 3 \r\n" + storedRecord("2024/06/01", " .052 ") +
                                                   storedRecord("2024/06/02", "未計算", "腹部") +
                                                   storedRecord("2024/06/03", " 1.5 "));
}

int pdfPageCount(const QString& file) {
    QFile pdf(file);
    if (!pdf.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray bytes = pdf.readAll();
    return int(bytes.count("/Type /Page\n") + bytes.count("/Type /Page>>") + bytes.count("/Type /Page "));
}

} // namespace

class DoseHistoryTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(uitest::prepareWorkingFolder(dir_));
        installFontSubstitutions();
        uitest::calculationState().hospitalName = "みなと総合病院 NICU";
        writeInfantH1();
    }

    void modelHoldsEveryRecordAndTheTotals() {
        auto history = records::loadDoseHistory(workingFolderPath(), "H1");
        QVERIFY(history.ok());
        DoseHistoryModel model(std::move(*history));
        QCOMPARE(model.rowCount(), 23);
        QCOMPARE(model.columnCount(), int(DoseHistoryModel::kColumnCount)); // with the effective doses
        QCOMPARE(model.exposureCount(), 23);
        // 0.25 + 19 × 0.1 + 0.052 + 1.5 = 3.702; record 22 counts 0.
        QCOMPARE(model.cumulativeDoseText(), QStringLiteral("3.702"));
        QCOMPARE(model.uncountedDoses(), 1);
        QCOMPARE(model.headerData(records::kColumnDose, Qt::Horizontal).toString(),
                 QStringLiteral("入射表面線量(mGy)"));
        auto cell = [&](int row, int column) { return model.index(row, column).data().toString(); };
        QCOMPARE(cell(0, records::kColumnNumber), QStringLiteral("1"));
        QCOMPARE(cell(0, records::kColumnExamDate), QStringLiteral("2024/05/01"));
        QCOMPARE(cell(0, records::kColumnDose), QStringLiteral("0.250"));
        QCOMPARE(cell(0, records::kColumnCumulativeDose), QStringLiteral("0.250"));
        QCOMPARE(cell(0, records::kColumnFieldSize), QStringLiteral("10 x 12, 縦"));
        QCOMPARE(cell(0, records::kColumnCaregiver2), QStringLiteral("0.050"));
        QCOMPARE(cell(20, records::kColumnNumber), QStringLiteral("21")); // the continuation goes on
        QCOMPARE(cell(20, records::kColumnCumulativeDose), QStringLiteral("2.202"));
        QCOMPARE(cell(21, records::kColumnDose), QStringLiteral("未計算"));
        QCOMPARE(cell(21, records::kColumnCumulativeDose), QStringLiteral("2.202"));
        QCOMPARE(cell(22, records::kColumnCumulativeDose), QStringLiteral("3.702"));
        // The flagged dose: red, with the note as its tool tip; the others plain.
        QVERIFY(model.isUncounted(21));
        QCOMPARE(model.index(21, records::kColumnDose).data(Qt::ToolTipRole).toString(),
                 QString::fromUtf8(records::kUncountedDoseNote));
        QVERIFY(model.index(21, records::kColumnDose).data(Qt::ForegroundRole).isValid());
        QVERIFY(!model.index(20, records::kColumnDose).data(Qt::ForegroundRole).isValid());
        QCOMPARE(model.index(0, records::kColumnDose).data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight,
                 int(Qt::AlignRight));
    }

    void examDatesInTheCommonForms_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("date");
        QTest::newRow("yyyy/MM/dd") << QStringLiteral("2024/05/01") << QDate(2024, 5, 1);
        QTest::newRow("yyyy/M/d") << QStringLiteral("2024/5/1") << QDate(2024, 5, 1);
        QTest::newRow("yyyy-MM-dd") << QStringLiteral("2024-12-31") << QDate(2024, 12, 31);
        QTest::newRow("yyyy.MM.dd") << QStringLiteral("2024.05.01") << QDate(2024, 5, 1);
        QTest::newRow("Japanese") << QStringLiteral("2024年5月1日") << QDate(2024, 5, 1);
        QTest::newRow("d MMM yyyy") << QStringLiteral("8 Dec 2026") << QDate(2026, 12, 8);
        QTest::newRow("d MMMM yyyy") << QStringLiteral("8 December 2026") << QDate(2026, 12, 8);
        QTest::newRow("MMM d, yyyy") << QStringLiteral("Dec 8, 2026") << QDate(2026, 12, 8);
        QTest::newRow("dd.MM.yyyy") << QStringLiteral("08.12.2026") << QDate(2026, 12, 8);
        QTest::newRow("blanks around") << QStringLiteral(" 2024/05/01 ") << QDate(2024, 5, 1);
        QTest::newRow("not a date") << QStringLiteral("未記入") << QDate();
        QTest::newRow("empty") << QString() << QDate();
        QTest::newRow("no such day") << QStringLiteral("2024/02/30") << QDate();
    }

    void examDatesInTheCommonForms() {
        QFETCH(QString, text);
        QFETCH(QDate, date);
        QCOMPARE(DoseHistoryModel::parseExamDate(text), date);
    }

    // The date as the program writes it (the system's short date) reads back, also with a
    // two-digit year.
    void examDateOfTheSystemsShortFormat() {
        for (const QDate date : {QDate(2026, 12, 8), QDate(2024, 1, 31), QDate(2030, 7, 4)}) {
            const QString written = ui::shortDateText(date);
            QCOMPARE(DoseHistoryModel::parseExamDate(written), date);
        }
    }

    // The table and the chart run in one order: by date, on one date in save order; an exposure
    // whose date cannot be read stays after the one saved before it. Bars, line, the table's
    // numbers and its cumulative column carry the same exposures in that order.
    void chartRunsByDateAndKeepsUnreadableDatesInFileOrder() {
        records::PatientHistory history;
        history.patientId = "C1";
        auto add = [&](const std::string& date, double dose) {
            records::PatientRecord r;
            r.examDate = date;
            r.bodyPart = "胸部";
            r.entranceSurfaceDoseMGy = dose;
            history.records.push_back(r);
        };
        add("2024/05/03", 0.3);
        add("不明", 0.1);
        add("2024/05/01", 0.2);
        add("2024/05/03", 0.4);
        history.records.push_back(history.records[0]);
        history.records.back().examDate = "2024/05/02";
        history.records.back().entranceSurfaceDoseMGy = std::string("未計算");
        DoseHistoryModel model(records::makeDoseHistory(history));
        QVector<int> rows;
        QVector<double> cumulative;
        for (const auto& p : model.chartPoints()) {
            rows << p.row;
            cumulative << p.cumulativeMGy;
        }
        QCOMPARE(rows, (QVector<int>{0, 1, 2, 3, 4}));
        const QVector<double> expected = {0.2, 0.2, 0.5, 0.6, 1.0};
        const QStringList shownDates = {QStringLiteral("2024/05/01"), QStringLiteral("2024/05/02"),
                                        QStringLiteral("2024/05/03"), QStringLiteral("不明"),
                                        QStringLiteral("2024/05/03")};
        for (int i = 0; i < expected.size(); ++i) {
            QVERIFY2(qAbs(cumulative[i] - expected[i]) < 1e-12, qPrintable(QString::number(i)));
            QCOMPARE(model.index(i, records::kColumnNumber).data().toString(), QString::number(i + 1));
            QCOMPARE(model.index(i, records::kColumnExamDate).data().toString(), shownDates[i]);
            QCOMPARE(model.index(i, records::kColumnCumulativeDose).data().toString(),
                     QString::number(expected[i], 'f', 3));
        }
        QCOMPARE(model.barText(0), QStringLiteral("No.1  2024/05/01  胸部  0.200 mGy"));
        QCOMPARE(model.barText(1), QStringLiteral("No.2  2024/05/02  胸部  未計算 mGy"));

        DoseHistoryPages pages(model, QString());
        QCOMPARE(pages.barSeries()->barSets().size(), 1);
        const QBarSet* set = pages.barSeries()->barSets().first();
        QCOMPARE(set->count(), 5);
        const QVector<double> doses = {0.2, 0, 0.3, 0.1, 0.4};
        for (int i = 0; i < doses.size(); ++i)
            QCOMPARE(set->at(i), doses[i]);
        const auto line = pages.cumulativeSeries()->points();
        QCOMPARE(line.size(), 5);
        for (int i = 0; i < line.size(); ++i) {
            QCOMPARE(line[i].x(), double(i));
            QVERIFY(qAbs(line[i].y() - expected[i]) < 1e-12);
        }
        // One date label under the middle of each run of exposures on the same date; the date that
        // comes again after the unreadable one is made distinct by a zero-width space.
        QCategoryAxis* dates = nullptr;
        for (QAbstractAxis* axis : pages.chart()->axes(Qt::Horizontal))
            dates = qobject_cast<QCategoryAxis*>(axis);
        QVERIFY(dates);
        const QString again = QStringLiteral("2024/05/03") + QChar(0x200B);
        QCOMPARE(dates->categoriesLabels(),
                 (QStringList{QStringLiteral("2024/05/01"), QStringLiteral("2024/05/02"),
                              QStringLiteral("2024/05/03"), QStringLiteral("不明"), again}));
        QCOMPARE(dates->labelsPosition(), QCategoryAxis::AxisLabelsPositionOnValue);
        QCOMPARE(dates->endValue(QStringLiteral("2024/05/01")), 0.0);
        QCOMPARE(dates->endValue(QStringLiteral("2024/05/03")), 2.0);
        QCOMPARE(dates->endValue(again), 4.0);
        // The axes reach above the largest bar and the final cumulative dose, in round steps.
        for (QAbstractAxis* axis : pages.chart()->axes(Qt::Vertical)) {
            auto* values = qobject_cast<QValueAxis*>(axis);
            QVERIFY(values);
            const bool left = axis->alignment() == Qt::AlignLeft;
            QCOMPARE(values->max(), left ? 0.5 : 1.2);
            QCOMPARE(values->tickInterval(), left ? 0.1 : 0.2);
            QCOMPARE(values->tickType(), QValueAxis::TicksDynamic);
            QCOMPARE(values->min(), 0.0);
        }
    }

    // The cumulative effective dose is a second line on its own axis at the right (μSv), point by
    // point as the history sums it; without effective doses the chart has no such line.
    void chartShowsTheCumulativeEffectiveDoseWhereThereIsOne() {
        records::PatientHistory history;
        history.patientId = "E1";
        for (const char* date : {"2024/05/01", "2024/05/02", "2024/05/03", "2024/05/04"}) {
            records::PatientRecord r;
            r.examDate = date;
            r.bodyPart = "胸部";
            r.entranceSurfaceDoseMGy = 0.1;
            history.records.push_back(r);
        }
        const QVector<double> cumulativeUSv = {4.5, 4.5, 12.0, 20.25}; // the second cannot be computed
        records::HistoryEffectiveDoses doses;
        for (double c : cumulativeUSv) {
            records::ExposureEffectiveDose e;
            e.cumulativeUSv = c;
            doses.exposures.push_back(e);
        }
        for (const bool withEffective : {false, true}) {
            DoseHistoryModel model(records::makeDoseHistory(history));
            if (withEffective)
                model.setEffectiveDoses(doses);
            DoseHistoryPages pages(model, QString());
            QCOMPARE(pages.cumulativeEffectiveSeries() != nullptr, withEffective);
            QCOMPARE(pages.chart()->axes(Qt::Vertical).size(), withEffective ? 3 : 2);
            if (!withEffective)
                continue;
            const auto line = pages.cumulativeEffectiveSeries()->points();
            QCOMPARE(line.size(), cumulativeUSv.size());
            for (int i = 0; i < line.size(); ++i)
                QCOMPARE(line[i], QPointF(i, cumulativeUSv[i]));
            const auto axes = pages.cumulativeEffectiveSeries()->attachedAxes();
            auto* values = qobject_cast<QValueAxis*>(axes.last());
            QVERIFY(values);
            QCOMPARE(values->alignment(), Qt::AlignRight);
            QVERIFY(values->titleText().contains(QStringLiteral("μSv")));
            QVERIFY(values->max() >= cumulativeUSv.last());
        }
    }

    // Ticks of 1, 2 or 5 times a power of ten, at most six steps up to just above the value.
    void roundAxisTicks_data() {
        QTest::addColumn<double>("largest");
        QTest::addColumn<double>("step");
        QTest::addColumn<double>("top");
        QTest::newRow("0.052") << 0.052 << 0.01 << 0.06;
        QTest::newRow("0.25") << 0.25 << 0.05 << 0.3;
        QTest::newRow("1.5") << 1.5 << 0.5 << 2.0;
        QTest::newRow("2.188") << 2.188 << 0.5 << 2.5;
        QTest::newRow("3.702") << 3.702 << 1.0 << 4.0;
        QTest::newRow("nothing") << 0.0 << 0.2 << 1.0;
    }
    void roundAxisTicks() {
        QFETCH(double, largest);
        QFETCH(double, step);
        QFETCH(double, top);
        const AxisTicks ticks = ui::roundAxisTicks(largest);
        QVERIFY2(qAbs(ticks.step - step) < 1e-12, qPrintable(QString::number(ticks.step)));
        QVERIFY2(qAbs(ticks.top - top) < 1e-12, qPrintable(QString::number(ticks.top)));
    }

    void windowShowsTheInfantAndNamesTheHoveredBar() {
        DoseHistoryWindow window(uitest::calculationState(), uitest::siteData());
        QVERIFY(window.showHistory(workingFolderPath(), QStringLiteral("H1")).ok());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QString summary = window.findChild<QLabel*>(QStringLiteral("Label1"))->text();
        QVERIFY2(summary.contains(QStringLiteral("撮影回数 : 23 回")), qPrintable(summary));
        QVERIFY2(summary.contains(QStringLiteral("3.702 mGy 以上")), qPrintable(summary));
        QCOMPARE(window.pages()->pageCount(), 2); // 16 rows on the first page, 7 on the second
        QCOMPARE(window.pages()->rowCountOn(0) + window.pages()->rowCountOn(1), 23);

        // The middle of bar 21 (2024/06/01, 0.052 mGy), in the window's page view.
        DoseHistoryPageView* view = window.pageView();
        const auto& points = window.model()->chartPoints();
        const int bar = 20;
        QCOMPARE(points[bar].row, 20);
        const QPointF inChart = window.pages()->chart()->mapToPosition(QPointF(bar, points[bar].doseMGy / 2),
                                                                       window.pages()->barSeries());
        const QPointF onPage = inChart + window.pages()->chartRect().topLeft();
        const QPoint at = (view->pageOrigin(0) + onPage / view->scale()).toPoint();
        QCOMPARE(view->barAt(at), bar);
        QTest::mouseMove(view, at);
        QTRY_COMPARE(window.hoveredText(), QStringLiteral("No.21  2024/06/01  胸部  0.052 mGy"));
        // Off the bars (above the chart) nothing is named.
        QTest::mouseMove(view, (view->pageOrigin(0) + QPointF(200, 60) / view->scale()).toPoint());
        QTRY_VERIFY(window.hoveredText().isEmpty());

        const QString folder = qEnvironmentVariable("TAMSO_SCREENSHOT_DIR");
        if (!folder.isEmpty())
            QVERIFY(window.grab().save(QDir(folder).filePath(QStringLiteral("dosehistory.png"))));
        QVERIFY(QDir().mkpath(QStringLiteral(TAMSO_BINARY_DIR "/test-output")));
        window.grab().save(QStringLiteral(TAMSO_BINARY_DIR "/test-output/dose-history.png"));
    }

    // Every control carries its object name as accessible description and a caption as its name.
    void everyControlIsNamed() {
        DoseHistoryWindow window(uitest::calculationState(), uitest::siteData());
        QCOMPARE(window.objectName(), QStringLiteral("DoseHistory"));
        QCOMPARE(window.windowTitle(), QStringLiteral("TAMSO Ⅱ 線量履歴"));
        const std::pair<const char*, const char*> controls[] = {
            {"Label1", "患児と累積線量"},    {"Command2", "印刷"},
            {"Command3", "PDF保存"},         {"Command1", "bye bye"},
            {"Scroll1", "線量履歴のページ"}, {"Picture1", "線量履歴"}};
        for (const auto& [name, caption] : controls) {
            auto* w = window.findChild<QWidget*>(QString::fromLatin1(name));
            QVERIFY2(w, name);
            QCOMPARE(w->accessibleDescription(), QString::fromLatin1(name));
            QCOMPARE(w->accessibleName(), QString::fromUtf8(caption));
        }
        QCOMPARE(window.findChild<QPushButton*>(QStringLiteral("Command1"))->toolTip(),
                 QStringLiteral(" bye bye "));
        QCOMPARE(window.findChild<QPushButton*>(QStringLiteral("Command2"))->text(), QStringLiteral("印刷"));
        QCOMPARE(window.findChild<QPushButton*>(QStringLiteral("Command3"))->text(),
                 QStringLiteral("PDF保存"));
        // Without a history nothing is printed or saved.
        MessageBox::clearShown();
        window.findChild<QPushButton*>(QStringLiteral("Command2"))->click();
        window.findChild<QPushButton*>(QStringLiteral("Command3"))->click();
        QVERIFY(MessageBox::shown().isEmpty());
        // An ID without a record file is refused with its file named.
        const Status none = window.showHistory(workingFolderPath(), QStringLiteral("NONE"));
        QVERIFY(!none.ok());
        QVERIFY(qs(none.message()).contains(QStringLiteral("NONE.pat")));
        QVERIFY(!window.model());
    }

    // The screen and the paper are painted by the same routine: page 1 painted onto an image
    // matches the page view's picture of it.
    void screenShowsThePagesItPrints() {
        DoseHistoryWindow window(uitest::calculationState(), uitest::siteData());
        QVERIFY(window.showHistory(workingFolderPath(), QStringLiteral("H1")).ok());
        window.resize(1000, 800);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        DoseHistoryPageView* view = window.pageView();
        const QImage shown = view->grab().toImage();
        QImage painted(shown.size(), QImage::Format_RGB32);
        painted.fill(view->palette().color(QPalette::Dark));
        {
            QPainter painter(&painted);
            painter.translate(view->pageOrigin(0));
            painter.scale(1 / view->scale(), 1 / view->scale());
            window.pages()->paintPage(painter, 0, {gothicFontFamily()});
        }
        const QRect page =
            QRectF(view->pageOrigin(0),
                   QSizeF(DoseHistoryPages::kPageWidth, DoseHistoryPages::kPageHeight) / view->scale())
                .toAlignedRect()
                .intersected(shown.rect());
        QCOMPARE(shown.convertToFormat(QImage::Format_RGB32).copy(page), painted.copy(page));
    }

    void printsAndSavesTheSamePagesAsPdf() {
        DoseHistoryWindow window(uitest::calculationState(), uitest::siteData());
        QVERIFY(window.showHistory(workingFolderPath(), QStringLiteral("H1")).ok());
        MessageBox::clearShown();

        // "PDF保存": the file name suggested beside the records, the file written atomically.
        QString suggested;
        const QString pdf = QDir::current().filePath(QStringLiteral("history-H1.pdf"));
        DoseHistoryWindow::setPdfNameProvider([&](QWidget*, const QString& name) {
            suggested = name;
            return pdf;
        });
        window.findChild<QPushButton*>(QStringLiteral("Command3"))->click();
        DoseHistoryWindow::setPdfNameProvider(nullptr);
        QVERIFY2(suggested.endsWith(QStringLiteral("線量履歴_H1.pdf")), qPrintable(suggested));
        QCOMPARE(MessageBox::shown().size(), 1);
        QCOMPARE(MessageBox::shown()[0].kind, MessageBox::Kind::Notice);
        QCOMPARE(pdfPageCount(pdf), 2);
        QVERIFY(QDir().mkpath(QStringLiteral(TAMSO_BINARY_DIR "/test-output")));
        QFile::remove(QStringLiteral(TAMSO_BINARY_DIR "/test-output/dose-history.pdf"));
        QFile::copy(pdf, QStringLiteral(TAMSO_BINARY_DIR "/test-output/dose-history.pdf"));
        QString text, error;
        QVERIFY2(uitest::pdfText(pdf, text, error), qPrintable(error));
        QVERIFY2(uitest::radicalsIn(text).isEmpty(), qPrintable(uitest::radicalsIn(text)));
        const QString flat = text.simplified();
        for (const QString& expected :
             {QStringLiteral("患児の被ばく線量履歴"), QStringLiteral("ID No.: H1"),
              QStringLiteral("氏名 : 新生 一郎"), QStringLiteral("撮影回数 : 23 回"),
              QStringLiteral("累積入射表面線量 : 3.702 mGy 以上"), QStringLiteral("2024/05/01"),
              QStringLiteral("2024/06/03"), QStringLiteral("未計算 ※"), QStringLiteral("3.702"),
              QStringLiteral("みなと総合病院 NICU"), QStringLiteral("1 回の入射表面線量 (mGy)"),
              QStringLiteral("累積線量 (mGy)")})
            QVERIFY2(flat.contains(expected), qPrintable(expected + QStringLiteral(" missing in: ") + flat));
        QString unspaced = flat;
        unspaced.remove(QLatin1Char(' '));
        QVERIFY(unspaced.contains(QStringLiteral("1/2")) && unspaced.contains(QStringLiteral("2/2")));
        QCOMPARE(text.count(QStringLiteral("胸部")), 22); // every body part of the table, once

        // "印刷": asked first, then printed on the printer chosen.
        const QString printed = QDir::current().filePath(QStringLiteral("printed-H1.pdf"));
        DoseHistoryWindow::setPrinterProvider([&](QWidget*) { return uitest::pdfPrinter(printed); });
        MessageBox::clearShown();
        MessageBox::setNextAnswer(MessageBox::Answer::Cancel);
        window.findChild<QPushButton*>(QStringLiteral("Command2"))->click();
        QVERIFY(!QFile::exists(printed));
        window.findChild<QPushButton*>(QStringLiteral("Command2"))->click();
        DoseHistoryWindow::setPrinterProvider(nullptr);
        QCOMPARE(MessageBox::shown().size(), 2);
        QCOMPARE(MessageBox::shown()[1].text, QStringLiteral("プリンタの準備はＯＫですか？"));
        QCOMPARE(pdfPageCount(printed), 2);
        QString printedText;
        QVERIFY2(uitest::pdfText(printed, printedText, error), qPrintable(error));
        for (const QString& expected : {QStringLiteral("ID No.: H1"), QStringLiteral("撮影回数 : 23 回"),
                                        QStringLiteral("2024/06/03"), QStringLiteral("未計算 ※")})
            QVERIFY2(printedText.simplified().contains(expected), qPrintable(expected));

        // A printer that prints to a file writes only where an export may: never a record file.
        QFile record(QDir(qs(textio::pathUtf8(workingFolderPath()))).filePath(QStringLiteral("H1.pat")));
        QVERIFY(record.open(QIODevice::ReadOnly));
        const QByteArray stored = record.readAll();
        record.close();
        DoseHistoryWindow::setPrinterProvider([&](QWidget*) { return uitest::pdfPrinter(record.fileName()); });
        MessageBox::clearShown();
        window.findChild<QPushButton*>(QStringLiteral("Command2"))->click();
        DoseHistoryWindow::setPrinterProvider(nullptr);
        QCOMPARE(MessageBox::shown().size(), 2);
        QCOMPARE(MessageBox::shown()[1].kind, MessageBox::Kind::Warning);
        QVERIFY2(MessageBox::shown()[1].text.contains(QStringLiteral("「H1.pat」には書き出せません")),
                 qPrintable(MessageBox::shown()[1].text));
        QVERIFY(record.open(QIODevice::ReadOnly));
        QCOMPARE(record.readAll(), stored);

        // A PDF that cannot be written: a message, nothing else.
        MessageBox::clearShown();
        DoseHistoryWindow::setPdfNameProvider([&](QWidget*, const QString&) { return QDir::currentPath(); });
        window.findChild<QPushButton*>(QStringLiteral("Command3"))->click();
        DoseHistoryWindow::setPdfNameProvider(nullptr);
        QCOMPARE(MessageBox::shown().size(), 1);
        QCOMPARE(MessageBox::shown()[0].kind, MessageBox::Kind::Warning);
    }

    // 100 records lay out on four pages of the table, every record once.
    void manyRecordsSpreadOverPages() {
        std::string files[5];
        for (int part = 0; part < 5; ++part) {
            files[part] = "長期 入院\r\n 20 \r\n";
            for (int i = 1; i <= 20; ++i)
                files[part] +=
                    storedRecord("2024/" + std::to_string(1 + part) + "/" + std::to_string(i), " .01 ");
        }
        writeSjisFile(QStringLiteral("L100.pat"), files[0]);
        for (int part = 2; part <= 5; ++part)
            writeSjisFile(QStringLiteral("L100.~%1.pat").arg(part), files[part - 1]);
        DoseHistoryWindow window(uitest::calculationState(), uitest::siteData());
        QVERIFY(window.showHistory(workingFolderPath(), QStringLiteral("L100")).ok());
        QCOMPARE(window.model()->rowCount(), 100);
        QCOMPARE(window.model()->cumulativeDoseText(), QStringLiteral("1.000"));
        const DoseHistoryPages& pages = *window.pages();
        int rows = 0;
        for (int page = 0; page < pages.pageCount(); ++page) {
            QCOMPARE(pages.firstRowOn(page), rows);
            QVERIFY(pages.rowCountOn(page) > 0);
            rows += pages.rowCountOn(page);
        }
        QCOMPARE(rows, 100);
        QCOMPARE(pages.pageCount(), 4);
        // 100 dates: every third is labelled, under the middle of its bar.
        auto* dates = qobject_cast<QCategoryAxis*>(pages.chart()->axes(Qt::Horizontal).first());
        QVERIFY(dates);
        QCOMPARE(dates->count(), 34);
        QCOMPARE(dates->categoriesLabels().first(), QStringLiteral("2024/1/1"));
        QCOMPARE(dates->categoriesLabels().at(1), QStringLiteral("2024/1/4"));
        QCOMPARE(dates->endValue(QStringLiteral("2024/1/4")), 3.0);
    }

    // From the record search: "線量履歴" opens the window for the chosen infant through the shell;
    // an infant whose files cannot be read gets a message instead.
    void openedFromTheRecordSearch() {
        Shell shell;
        shell.quitProgram = [] {};
        QVERIFY(shell.start());
        shell.openRecordSearch();
        RecordSearchScreen* search = shell.recordSearchScreen();
        QVERIFY(search);
        auto* files = search->findChild<QListWidget*>(QStringLiteral("File1"));
        auto* history = search->findChild<QPushButton*>(QStringLiteral("Command4"));
        QVERIFY(!history->isEnabled());
        // One entry per infant: the continuation files are not listed apart.
        QVERIFY(uitest::patientFileEntries(files, QStringLiteral("H1.~2.pat")).isEmpty());
        const auto h1 = uitest::patientFileEntries(files, QStringLiteral("H1.pat"));
        QCOMPARE(h1.size(), 1);
        files->setCurrentItem(h1.first());
        emit files->itemClicked(h1.first());
        QVERIFY(history->isEnabled());
        QSignalSpy asked(search, &RecordSearchScreen::doseHistoryRequested);
        MessageBox::clearShown();
        history->click();
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked[0][0].toString(), QStringLiteral("H1"));
        QVERIFY(shell.doseHistoryWindow() && shell.doseHistoryWindow()->isVisible());
        QCOMPARE(shell.doseHistoryWindow()->model()->rowCount(), 23);
        QVERIFY(MessageBox::shown().isEmpty());

        writeSjisFile(QStringLiteral("BAD.pat"), "壊 太郎\r\n 20 \r\n" + storedRecord("2024/01/01", "1"));
        shell.openDoseHistory(QStringLiteral("BAD"));
        QCOMPARE(MessageBox::shown().size(), 1);
        QCOMPARE(MessageBox::shown()[0].kind, MessageBox::Kind::Warning);
        QVERIFY(MessageBox::shown()[0].text.contains(QStringLiteral("BAD.pat")));
        QCOMPARE(shell.doseHistoryWindow()->model()->patientId(), QStringLiteral("H1")); // unchanged
        QVERIFY(QFile::remove(QStringLiteral("BAD.pat")));
    }

private:
    QTemporaryDir dir_;
};

QTEST_MAIN(DoseHistoryTest)
#include "tst_dosehistory.moc"
