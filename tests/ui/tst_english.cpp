// The English interface: with the English translation installed (as the program does for
// --lang en or a non-Japanese system), every window of the program shows English texts that fit
// their controls, accessible names follow the shown captions, the printed report is English and
// every caption fits its box. The start option --lang is read here as well. Without an installed
// translation (every other test) the program stays Japanese. With TAMSO_SCREENSHOT_DIR set, the
// start screen, the exposure-condition screen and the report are saved there in English.

#include "uitestsupport.h"

#include "../core/dicomtestfiles.h"
#include "engine/calculationstate.h"
#include "records/patientrecordsave.h"
#include "refdata/referencelevels.h"
#include "textio/codec.h"
#include "textio/fileio.h"

#include "ui/conditions/conditionsscreen.h"
#include "ui/conditions/fieldsizepresets.h"
#include "ui/conditions/measuredexposuredialog.h"
#include "ui/conditions/spectrumwindow.h"
#include "ui/editors/ambientdoseeditor.h"
#include "ui/editors/basicdataeditor.h"
#include "ui/editors/referenceleveleditor.h"
#include "ui/editors/tubeoutputeditor.h"
#include "ui/kit/language.h"
#include "ui/kit/messagebox.h"
#include "ui/kit/uiutil.h"
#include "ui/records/doseauditwindow.h"
#include "ui/records/dosehistorywindow.h"
#include "ui/records/receivedimageswindow.h"
#include "ui/records/recordsearchscreen.h"
#include "ui/report/reportlayout.h"
#include "ui/report/reportpreview.h"
#include "ui/report/reportprinter.h"
#include "ui/report/reportscreen.h"
#include "ui/shell/illustrationwindow.h"
#include "ui/shell/shell.h"
#include "ui/shell/startscreen.h"

#include <QAbstractAxis>
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSeries>
#include <QBarCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyle>
#include <QTableView>
#include <QTableWidget>
#include <QXmlStreamReader>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <vector>

using namespace tamso;

namespace {

bool hasJapanese(const QString& text) {
    static const QRegularExpression japanese(
        QStringLiteral("[\\x{3040}-\\x{30ff}\\x{4e00}-\\x{9fff}\\x{ff01}-\\x{ff60}]"));
    return text.contains(japanese);
}

// The Japanese source texts of translations/tamso_en.ts that have an English translation.
QStringList translatedSources() {
    QFile file(QStringLiteral(TAMSO_SOURCE_DIR "/translations/tamso_en.ts"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList sources;
    QXmlStreamReader xml(&file);
    QString source;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("source"))
            source = xml.readElementText();
        else if (xml.name() == QLatin1String("translation")) {
            const QString translation = xml.readElementText();
            if (!translation.isEmpty() && translation != source && hasJapanese(source))
                sources << source.trimmed();
        }
    }
    return sources;
}

// A canvas that measures the report as the printer draws it: every text with its font, position
// and width in page units, every box.
class MeasuringCanvas : public ui::ReportCanvas {
public:
    struct Text {
        QString text;
        double x, y, width, height, points;
    };
    struct Box {
        double x1, y1, x2, y2;
    };
    std::vector<Text> texts;
    std::vector<Box> boxes;

    // The printer's resolution and mapping, or the preview's (96 dpi, its picture's size).
    explicit MeasuringCanvas(ui::ReportTarget target) : device_(10, 10, QImage::Format_RGB32) {
        const double dpi = target == ui::ReportTarget::Printer ? 1200 : 96;
        device_.setDotsPerMeterX(qRound(dpi / 0.0254));
        device_.setDotsPerMeterY(qRound(dpi / 0.0254));
        if (target == ui::ReportTarget::Printer) {
            mapping_ = ui::reportPrinterMapping(dpi);
        } else {
            const ui::ReportPreview preview;
            mapping_.unitsToDeviceX = preview.image().width() / ui::ReportPreview::kUserWidth;
            mapping_.unitsToDeviceY = preview.image().height() / ui::ReportPreview::kUserHeight;
        }
    }
    void setFontName(const QString& name) override { font_.setFamily(name); }
    void setFontCharset(int) override {}
    void setFontSize(double points) override { font_.setPointSizeF(points); }
    void moveTo(double x, double y) override { x_ = x, y_ = y; }
    std::optional<QSizeF> measureText(const QString& text) const override {
        const QFontMetricsF metrics(font_, &device_);
        return QSizeF(metrics.horizontalAdvance(text) / mapping_.unitsToDeviceX,
                      (metrics.ascent() + metrics.descent()) / mapping_.unitsToDeviceY);
    }
    void printText(const QString& text, bool endsLine) override {
        const QFontMetricsF metrics(font_, &device_);
        const double width = metrics.horizontalAdvance(text) / mapping_.unitsToDeviceX;
        texts.push_back({text, x_, y_, width,
                         (metrics.ascent() + metrics.descent()) / mapping_.unitsToDeviceY,
                         font_.pointSizeF()});
        if (endsLine)
            x_ = 0, y_ += metrics.height() / mapping_.unitsToDeviceY;
        else
            x_ += width;
    }
    void box(double x1, double y1, double x2, double y2, std::optional<QColor>) override {
        boxes.push_back({qMin(x1, x2), qMin(y1, y2), qMax(x1, x2), qMax(y1, y2)});
    }
    void line(double, double, double, double) override {}
    void lineTo(double, double) override {}
    void circle(double, double, double, std::optional<QColor>, std::optional<ui::ArcAngles>,
                double) override {}
    void setLineWidth(int) override {}
    void setFillStyle(ui::FillStyle) override {}
    void setFillColour(const QColor&) override {}
    void endDocument() override {}

private:
    QImage device_;
    ui::PainterCanvas::Mapping mapping_;
    QFont font_;
    double x_ = 0, y_ = 0;
};

// Every text of the printed report ends inside the innermost box it starts in, to its right and
// below it, and before the next text that starts to its right on the same line, on the printed page
// and on the preview. Answers the offenders.
QStringList reportOverflows(const ui::ReportFields& fields) {
    QStringList overflows;
    for (const ui::ReportTarget target : {ui::ReportTarget::Printer, ui::ReportTarget::Preview}) {
        MeasuringCanvas canvas(target);
        ui::drawReport(canvas, target, fields, uitest::calculationState());
        const QString where =
            target == ui::ReportTarget::Printer ? QStringLiteral("printer: ") : QStringLiteral("preview: ");
        for (const auto& t : canvas.texts) {
            double right = 210; // the A4 page
            double bottom = 297;
            double innermost = 1e9;
            for (const auto& b : canvas.boxes)
                if (t.x > b.x1 && t.x < b.x2 && t.y > b.y1 && t.y < b.y2 &&
                    (b.x2 - b.x1) * (b.y2 - b.y1) < innermost) {
                    innermost = (b.x2 - b.x1) * (b.y2 - b.y1);
                    right = b.x2, bottom = b.y2;
                }
            for (const auto& other : canvas.texts)
                if (&other != &t && other.y == t.y && other.x > t.x)
                    right = qMin(right, other.x);
            if (t.x + t.width > right)
                overflows << where + QStringLiteral("%1: %2 > %3").arg(t.text).arg(t.x + t.width).arg(right);
            if (t.y + t.height > bottom)
                overflows
                    << where +
                           QStringLiteral("%1: bottom %2 > %3").arg(t.text).arg(t.y + t.height).arg(bottom);
        }
        if (canvas.texts.size() < 20)
            overflows << where + QStringLiteral("too few texts drawn");
    }
    return overflows;
}

} // namespace

class EnglishTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<ui::Shell> shell_;
    QStringList sources_;
    int checkedTexts_ = 0;
    QStringList overflows_;  // "Form1.Text5 \"text\" needs …": a text wider than its control
    QStringList japanese_;   // a text left in Japanese although the translation has it
    QStringList shownTexts_; // every text checkWindow saw

    void click(QWidget* window, const char* name) {
        auto* b = window->findChild<QAbstractButton*>(QString::fromLatin1(name));
        QVERIFY2(b, name);
        QTest::mouseClick(b, Qt::LeftButton);
    }

    void grab(QWidget* window, const char* file) {
        const QString folder = qEnvironmentVariable("TAMSO_SCREENSHOT_DIR");
        if (!folder.isEmpty())
            QVERIFY(window->grab().save(QDir(folder).filePath(QString::fromLatin1(file))));
    }

    // A text shown untranslated although the translation has it.
    QString untranslated(const QString& text) const {
        const QString t = text.trimmed();
        if (t.isEmpty() || !hasJapanese(t))
            return {};
        for (const QString& source : sources_)
            if (t == source || (source.size() >= 3 && t.contains(source)))
                return source;
        return {};
    }

    // Every caption of the window fits its control and none is left in Japanese where the
    // translation has it.
    void checkWindow(QWidget* window) {
        QVERIFY(window);
        window->show();
        QCoreApplication::processEvents();
        const QString windowName = window->objectName();
        if (!untranslated(window->windowTitle()).isEmpty())
            japanese_ << windowName + QStringLiteral(" title");
        // Every text it shows, for the walk that looks for Japanese left in English.
        shownTexts_ << window->windowTitle();
        for (QWidget* w : window->findChildren<QWidget*>()) {
            shownTexts_ << w->toolTip() << w->accessibleName();
            if (auto* label = qobject_cast<QLabel*>(w))
                shownTexts_ << label->text();
            else if (auto* edit = qobject_cast<QLineEdit*>(w))
                shownTexts_ << edit->text();
            else if (auto* combo = qobject_cast<QComboBox*>(w))
                shownTexts_ << combo->currentText();
        }
        QStringList& overflows = overflows_;
        QStringList& japanese = japanese_;
        auto check = [&](QWidget* w, const QString& text, int needed, int available) {
            if (text.isEmpty() || !w->isVisibleTo(window))
                return;
            ++checkedTexts_;
            shownTexts_ << text;
            const QString where = windowName + QLatin1Char('.') + w->objectName() + QStringLiteral(" \"") +
                                  text + QLatin1Char('"');
            if (needed > available)
                overflows << where + QStringLiteral(" needs %1 px, has %2").arg(needed).arg(available);
            if (!untranslated(text).isEmpty())
                japanese << where;
            if (!untranslated(w->accessibleName()).isEmpty())
                japanese << where + QStringLiteral(" accessible name ") + w->accessibleName();
        };
        QStyle* style = window->style();
        for (QWidget* w : window->findChildren<QWidget*>()) {
            const QFontMetrics fm(w->font());
            if (auto* label = qobject_cast<QLabel*>(w)) {
                if (label->wordWrap() || label->textFormat() == Qt::RichText || !label->pixmap().isNull())
                    continue;
                const QRect inside = label->contentsRect().adjusted(label->margin(), 0, -label->margin(), 0);
                for (const QString& line : label->text().split(QLatin1Char('\n')))
                    check(w, line, fm.horizontalAdvance(line), inside.width());
            } else if (auto* check_ = qobject_cast<QCheckBox*>(w)) {
                check(w, check_->text(),
                      style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, w) +
                          style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, w) +
                          fm.horizontalAdvance(check_->text()),
                      w->width());
            } else if (auto* radio = qobject_cast<QRadioButton*>(w)) {
                check(w, radio->text(),
                      style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, w) +
                          style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, w) +
                          fm.horizontalAdvance(radio->text()),
                      w->width());
            } else if (auto* button = qobject_cast<QPushButton*>(w)) {
                const int icon = button->icon().isNull() ? 0 : button->iconSize().width() + 4;
                check(w, button->text(),
                      fm.horizontalAdvance(button->text()) + icon +
                          2 * style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, w) / 2,
                      w->width());
                if (!untranslated(button->toolTip()).isEmpty())
                    japanese << windowName + QLatin1Char('.') + w->objectName() + QStringLiteral(" tool tip");
            } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
                if (edit->isReadOnly() || !edit->isEnabled()) // results and captions shown in fields
                    check(w, edit->text(), fm.horizontalAdvance(edit->text()), edit->width() - 4);
            } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
                check(w, group->title(), fm.horizontalAdvance(group->title()) + 16, group->width());
            }
            // Tables and lists: every heading within its column, every cell within its column (a
            // list that wraps its rows has room for any text).
            if (auto* view = qobject_cast<QAbstractItemView*>(w);
                view && view->model() && view->isVisibleTo(window)) {
                const QAbstractItemModel* model = view->model();
                auto* table = qobject_cast<QTableView*>(view);
                auto* list = qobject_cast<QListView*>(view);
                if (list && list->wordWrap())
                    continue;
                // What the header and the item delegate keep free beside a text.
                const int headerMargin = 2 * style->pixelMetric(QStyle::PM_HeaderMargin, nullptr, view);
                const int cellMargin =
                    2 * (style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1);
                for (int c = 0; c < model->columnCount(); ++c) {
                    const int width = table ? table->columnWidth(c) : view->viewport()->width();
                    if (table && table->isColumnHidden(c))
                        continue;
                    if (table && table->horizontalHeader()->isVisible()) {
                        const QString heading = model->headerData(c, Qt::Horizontal).toString();
                        const QFontMetrics headerMetrics(table->horizontalHeader()->font());
                        check(w, heading, headerMetrics.horizontalAdvance(heading) + headerMargin, width);
                    }
                    for (int r = 0; r < model->rowCount(); ++r) {
                        const QModelIndex index = model->index(r, c);
                        QFont font = view->font();
                        if (const QVariant f = index.data(Qt::FontRole); f.isValid())
                            font = f.value<QFont>();
                        const QString text = index.data().toString();
                        check(w, text, QFontMetrics(font).horizontalAdvance(text) + cellMargin, width);
                    }
                }
            }
            // Charts: the axis titles within the plot area they stand beside.
            if (auto* chartView = qobject_cast<QChartView*>(w); chartView && chartView->isVisibleTo(window)) {
                QChart* chart = chartView->chart();
                const QRectF plot = chart->plotArea();
                for (QAbstractAxis* axis : chart->axes()) {
                    const QFontMetrics titleMetrics(axis->titleFont());
                    const int length = titleMetrics.horizontalAdvance(axis->titleText());
                    const int room =
                        qRound(axis->orientation() == Qt::Vertical ? plot.height() : plot.width());
                    check(w, axis->titleText(), length, room);
                }
                const QFontMetrics titleMetrics(chart->titleFont());
                check(w, chart->title(), titleMetrics.horizontalAdvance(chart->title()), chartView->width());
            }
        }
    }

    static void writeSjis(const QString& name, const std::string& utf8Text) {
        QFile file(name);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QByteArray::fromStdString(*textio::utf8ToSjis(utf8Text)));
    }

    static QStringList pdfLines(const QString& pdf) {
        QString text, error;
        if (!uitest::pdfText(pdf, text, error))
            return {QStringLiteral("(unreadable PDF ") + pdf + QStringLiteral(": ") + error +
                    QLatin1Char(')')};
        return text.split(QLatin1Char('\n'));
    }

private slots:
    void initTestCase() {
        ui::installFontSubstitutions(); // as the program does at start-up
        sources_ = translatedSources();
        QVERIFY(sources_.size() > 150);
        // Every text of the translation has its English text: lupdate marks new ones unfinished.
        QFile ts(QStringLiteral(TAMSO_SOURCE_DIR "/translations/tamso_en.ts"));
        QVERIFY(ts.open(QIODevice::ReadOnly));
        const QByteArray xml = ts.readAll();
        QCOMPARE(xml.count("type=\"unfinished\""), 0);
        QCOMPARE(xml.count("<source>"), xml.count("<translation>"));
    }
    void init() {
        shownTexts_.clear();
        overflows_.clear();
        QVERIFY(ui::installLanguage(ui::Language::English));
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(uitest::prepareWorkingFolder(*dir_));
    }
    void cleanup() {
        shell_.reset();
        dir_.reset();
        QDir::setCurrent(QDir::tempPath());
        QVERIFY(ui::installLanguage(ui::Language::Japanese));
    }

    // --lang en / --lang ja choose the language; without the option the system's counts.
    void languageOptionIsRead() {
        auto choose = [](const QStringList& args) {
            return ui::languageOption(QStringList{QStringLiteral("tamso")} + args);
        };
        QVERIFY(!choose({}).given);
        QVERIFY(choose({}).error.isEmpty());
        const ui::LanguageChoice en = choose({QStringLiteral("--workdir"), QStringLiteral("/tmp"),
                                              QStringLiteral("--lang"), QStringLiteral("en")});
        QVERIFY(en.given && en.error.isEmpty());
        QCOMPARE(en.language, ui::Language::English);
        QCOMPARE(ui::startLanguage(en), ui::Language::English);
        const ui::LanguageChoice ja = choose({QStringLiteral("--lang=ja")});
        QCOMPARE(ja.language, ui::Language::Japanese);
        QCOMPARE(ui::startLanguage(ja), ui::Language::Japanese); // whatever the system's language
        QCOMPARE(
            choose({QStringLiteral("--lang=ja"), QStringLiteral("--lang"), QStringLiteral("EN")}).language,
            ui::Language::English);
        QVERIFY(!choose({QStringLiteral("--lang"), QStringLiteral("de")}).error.isEmpty());
        QVERIFY(!choose({QStringLiteral("--lang")}).error.isEmpty());
        QCOMPARE(ui::startLanguage(ui::LanguageChoice{}), ui::systemLanguage());
    }

    // Without --lang the program is Japanese unless the system names another language; dates take
    // the Japanese form in a Japanese interface and on the C locale, whatever the locale.
    void systemLanguageAndDates_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<bool>("japanese");
        QTest::addColumn<QString>("japaneseInterfaceDate");
        QTest::addColumn<QString>("englishInterfaceDate");
        QTest::newRow("C.UTF-8, C, POSIX") << "C" << true << "2026/03/05"
                                           << "2026/03/05";
        QTest::newRow("ja_JP") << "ja_JP" << true << "2026/03/05"
                               << "2026/03/05";
        QTest::newRow("en_US") << "en_US" << false << "2026/03/05"
                               << "3/5/26";
        QTest::newRow("de_DE") << "de_DE" << false << "2026/03/05"
                               << "05.03.26";
    }
    void systemLanguageAndDates() {
        QFETCH(QString, locale);
        QFETCH(bool, japanese);
        QFETCH(QString, japaneseInterfaceDate);
        QFETCH(QString, englishInterfaceDate);
        const QLocale system(locale);
        QCOMPARE(ui::languageForLocale(system), japanese ? ui::Language::Japanese : ui::Language::English);
        const QDate date(2026, 3, 5);
        QCOMPARE(ui::dateLocale(ui::Language::Japanese, system).toString(date, QLocale::ShortFormat),
                 japaneseInterfaceDate);
        QCOMPARE(ui::dateLocale(ui::Language::English, system).toString(date, QLocale::ShortFormat),
                 englishInterfaceDate);
    }

    // Qt's own dialogs follow: in Japanese Qt's Japanese translation is installed too.
    void qtsOwnTextsFollowTheLanguage() {
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
        QVERIFY(ui::installLanguage(ui::Language::Japanese));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("キャンセル"));
        QCOMPARE(ui::installedLanguage(), ui::Language::Japanese);
        QVERIFY(ui::installLanguage(ui::Language::English));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
    }

    // Removing the translation brings the Japanese texts back: nothing English sticks.
    void japaneseIsTheSourceLanguage() {
        QCOMPARE(QCoreApplication::translate("StartScreen", "新規計算"), QStringLiteral("New calculation"));
        QVERIFY(ui::installLanguage(ui::Language::Japanese));
        QCOMPARE(QCoreApplication::translate("StartScreen", "新規計算"), QStringLiteral("新規計算"));
        ui::StartScreen japanese;
        QCOMPARE(japanese.findChild<QPushButton*>(QStringLiteral("Command1"))->text(),
                 QStringLiteral("新規計算"));
        QVERIFY(ui::installLanguage(ui::Language::English));
        ui::StartScreen english;
        QCOMPARE(english.findChild<QPushButton*>(QStringLiteral("Command1"))->text(),
                 QStringLiteral("New calculation"));
    }

    // Every window of the program, opened through the shell as the user opens it, checked with
    // checkWindow. Screenshots are taken in English.
    // The organ doses, for the effective dose on the screens.
    static void copyOrganDoseFiles() {
        for (const char* name : {"臓器線量.dat", "体重既定値.txt"})
            if (!QFile::exists(QString::fromUtf8(name)))
                QFile::copy(QStringLiteral(TAMSO_SOURCE_DIR "/data/") + QString::fromUtf8(name), QString::fromUtf8(name));
    }
    void openEveryWindow(bool english) {
        overflows_.clear();
        japanese_.clear();
        checkedTexts_ = 0;
        copyOrganDoseFiles();
        // An infant with two stored exposures: its records listed, its dose history, the audit.
        {
            QFile file(QStringLiteral("EN01.pat"));
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            std::string text = "新生 花子\r\n 2 \r\n";
            for (const char* date : {"2026/12/01", "2026/12/05"})
                text += std::string(date) +
                        "\r\n佐藤\r\n胸部正面\r\n 8 \r\n装置\r\n 60 \r\n 2.5 \r\n 100 \r\n"
                        "六切サイズ\r\n .052 \r\n 1.5 \r\n .05 \r\n\r\n";
            file.write(QByteArray::fromStdString(*textio::utf8ToSjis(text)));
        }
        // A level below the dose: the level field says so in words.
        writeSjis(QStringLiteral("参考線量.dat"), "\"腹部正面\", .1 ,JP\r\n\"胸部正面\", .02 ,JP\r\n");
        shell_ = std::make_unique<ui::Shell>();
        shell_->quitProgram = [] {};
        QVERIFY(shell_->start());
        ui::StartScreen* form2 = shell_->startScreen();
        checkWindow(form2);
        if (english)
            grab(form2, "english-form2.png");

        click(form2, "Command1");
        ui::ConditionsScreen* form1 = shell_->conditionsScreen();
        QVERIFY(form1);
        click(form1, "Command2"); // run
        click(form1, "Command3"); // ambient dose: the illustration
        click(form1, "Command4"); // caregivers
        checkWindow(form1);
        if (english)
            grab(form1, "english-form1.png");
        checkWindow(shell_->illustrationWindow());
        QTest::mouseClick(form1->findChild<QRadioButton*>(QStringLiteral("Option4")), Qt::LeftButton);
        checkWindow(form1->measuredExposureDialog());
        click(form1, "Command14");
        checkWindow(shell_->spectrumWindow());
        click(form1, "Command12");
        checkWindow(shell_->tubeOutputEditor());
        click(form1, "Command5");
        checkWindow(shell_->ambientDoseEditor());
        click(form1, "Command6");
        ui::ReportScreen* report = shell_->reportScreen();
        QVERIFY(report);
        click(report, "Command2"); // the preview
        checkWindow(report);

        shell_->openRecordSearch();
        shell_->recordSearchScreen()->findChild<QListWidget*>(QStringLiteral("File1"))->setCurrentRow(0);
        click(shell_->recordSearchScreen(), "Command2");
        checkWindow(shell_->recordSearchScreen());
        shell_->openBasicDataEditor();
        checkWindow(shell_->basicDataEditor());
        shell_->openReferenceLevelEditor();
        checkWindow(shell_->referenceLevelEditor());
        shell_->openDoseAudit();
        checkWindow(shell_->doseAuditWindow());
        if (english)
            grab(shell_->doseAuditWindow(), "english-form11.png");
        shell_->openReceivedImages();
        checkWindow(shell_->receivedImagesWindow());
        if (english)
            grab(shell_->receivedImagesWindow(), "english-receivedimages.png");

        shell_->openDoseHistory(QStringLiteral("EN01"));
        QVERIFY(shell_->doseHistoryWindow() && shell_->doseHistoryWindow()->isVisible());
        checkWindow(shell_->doseHistoryWindow());
        QVERIFY(checkedTexts_ > 150);
    }

    // Every text of every window fits its control, its table column or its chart, in Japanese and
    // in English, and none is left in Japanese where the translation has it.
    void everyWindowFitsInEnglish() {
        QVERIFY(ui::installLanguage(ui::Language::Japanese));
        openEveryWindow(false);
        QVERIFY2(overflows_.isEmpty(),
                 qPrintable(QStringLiteral("Japanese:\n") + overflows_.join(QLatin1Char('\n'))));
        QVERIFY(!japanese_.isEmpty()); // the check sees Japanese captions at all

        overflows_.clear();
        QVERIFY(ui::installLanguage(ui::Language::English));
        openEveryWindow(true);
        const QStringList overflows = overflows_;
        QVERIFY2(overflows.isEmpty(), qPrintable(overflows.join(QLatin1Char('\n'))));
        QVERIFY2(japanese_.isEmpty(), qPrintable(japanese_.join(QLatin1Char('\n'))));

        // Every caption of the exposure-condition screen is English, its accessible name with it.
        ui::ConditionsScreen* form1 = shell_->conditionsScreen();
        int captions = 0;
        for (QLabel* label : form1->findChildren<QLabel*>())
            if (label->objectName().startsWith(QLatin1String("CaptionText")) &&
                !label->text().trimmed().isEmpty()) {
                ++captions;
                QVERIFY2(!hasJapanese(label->text()), qPrintable(label->objectName() + label->text()));
            }
        QVERIFY(captions >= 20);
        QCOMPARE(form1->findChild<QLineEdit*>(QStringLiteral("Text5"))->accessibleName(),
                 QStringLiteral("Tube voltage"));
        QCOMPARE(shell_->startScreen()->findChild<QPushButton*>(QStringLiteral("Command3"))->text(),
                 QStringLiteral("Exit"));
    }

    // A message of the core is shown in English: a fixed one, and one whose template the
    // translation knows, with its file names and values filled in; a free text it does not know
    // stays Japanese.
    void coreMessagesAreShownTranslated() {
        QCOMPARE(ui::coreText(Error(ErrorCode::NameLineBreak)), QStringLiteral("A name cannot contain a line break."));
        QCOMPARE(ui::coreText(records::continuationSavedMessage("A%2.~2.pat")),
                 QStringLiteral("This infant has more than 20 records: saved in the continuation file “A%2.~2.pat”."));
        QCOMPARE(ui::coreText(Error(ErrorCode::FileMissing, {"体重既定値.txt"})),
                 QStringLiteral("The file “体重既定値.txt” was not found."));
        QCOMPARE(ui::coreText(Error::text("記録ファイル「A001.pat」")), QStringLiteral("記録ファイル「A001.pat」"));
        // The screens' own failures and the node's that a screen shows, values in the sentence's order.
        const std::pair<Error, const char*> shown[] = {
            {Error(ErrorCode::StoredRecordMissing, {"P1", "3"}), "Patient ID “P1” has no record 3."},
            {Error(ErrorCode::PrintFailed), "Could not print. Check the printer settings."},
            {Error(ErrorCode::SetAsideWhyMissing), "Enter why the image is set aside."},
        };
        for (const auto& [error, english] : shown)
            QCOMPARE(ui::coreText(error), QString::fromUtf8(english));
        shell_ = std::make_unique<ui::Shell>();
        shell_->quitProgram = [] {};
        QVERIFY(shell_->start());
        click(shell_->startScreen(), "Command1");
        ui::ConditionsScreen* form1 = shell_->conditionsScreen();
        form1->findChild<QLineEdit*>(QStringLiteral("Text6"))->setText(QStringLiteral("0"));
        ui::MessageBox::clearShown();
        click(form1, "Command2");
        QVERIFY(!ui::MessageBox::shown().isEmpty());
        QCOMPARE(ui::MessageBox::shown().last().text,
                 QStringLiteral("Tube current × exposure time of 0 mAs is out of range. Enter a value from 0.01 "
                                "mAs to 1000 mAs."));
    }

    // Every text a window shows and every message, in a walk through the program in English:
    // none holds kana or kanji but the site's own data (body parts, field-size names, the names of
    // the hospital, the X-ray unit, the staff and the infants, the working folder's file names).
    void noJapaneseLeftInEnglish() {
        // An infant with a record whose date and dose cannot be read, for the audit's notes.
        {
            QFile file(QStringLiteral("EN02.pat"));
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            std::string text = "英語 太郎\r\n 2 \r\n";
            for (const char* dateAndDose :
                 {"2026/12/01\r\n佐藤\r\n胸部正面\r\n 8 \r\n装置\r\n 60 \r\n 2.5 \r\n 100 "
                  "\r\n六切サイズ\r\n 未計算 \r\n",
                  "昨日\r\n佐藤\r\n胸部正面\r\n 8 \r\n装置\r\n 60 \r\n 2.5 \r\n 100 "
                  "\r\n六切サイズ\r\n .05 \r\n"})
                text += std::string(dateAndDose) + " 1.5 \r\n .05 \r\n\r\n";
            file.write(QByteArray::fromStdString(*textio::utf8ToSjis(text)));
        }
        writeSjis(QStringLiteral("撮影担当.txt"), "佐藤\r\n");
        copyOrganDoseFiles();
        writeSjis(QStringLiteral("参考線量.dat"), "\"胸部正面\", .02 ,JP\r\n");
        QStringList siteData = {
            QStringLiteral("英語 太郎"), QStringLiteral("佐藤"), QStringLiteral("装置"),
            QStringLiteral("未計算"),    QStringLiteral("昨日"), QStringLiteral("山田 花子"),
            QStringLiteral("英語 花子"), QStringLiteral("Ｘ線"), QStringLiteral("ⅰ")};
        for (const std::string& part : refdata::readBodyPartList(ui::workingFolderPath()))
            siteData << ui::qs(part);
        siteData << ui::fieldSizeListEntries();

        shell_ = std::make_unique<ui::Shell>();
        shell_->quitProgram = [] {};
        QVERIFY(shell_->start());
        siteData << ui::qs(shell_->calculationState().hospitalName)
                 << ui::qs(shell_->calculationState().xrayUnitName)
                 << ui::qs(shell_->calculationState().outputDataComment)
                 << QStringLiteral("DICOM撮影部位.txt");
        for (const QString& name : QDir::current().entryList(QDir::Files))
            siteData << name;
        const QString pdfFolder = dir_->filePath(QStringLiteral("pdf"));
        QVERIFY(QDir().mkpath(pdfFolder));
        QStringList texts;
        ui::MessageBox::clearShown();

        click(shell_->startScreen(), "Command1");
        ui::ConditionsScreen* form1 = shell_->conditionsScreen();
        // An image without tube voltage and body part: the message lists them.
        const QString image = dir_->filePath(QStringLiteral("lacking.dcm"));
        test::DicomImage()
            .remove(DCM_KVP)
            .remove(DCM_BodyPartExamined)
            .remove(DCM_ProtocolName)
            .set(DCM_PatientName, "Eigo^Hanako")
            .save(std::filesystem::u8path(ui::utf8(image)));
        ui::ConditionsScreen::setDicomFileChooser([image](QWidget*) { return image; });
        click(form1, "Command13");
        ui::ConditionsScreen::setDicomFileChooser(nullptr);
        form1->findChild<QLineEdit*>(QStringLiteral("Text5"))->setText(QStringLiteral("abc"));
        click(form1, "Command2"); // not a number
        form1->findChild<QLineEdit*>(QStringLiteral("Text5"))->setText(QStringLiteral("60"));
        form1->findChild<QLineEdit*>(QStringLiteral("Text23"))->setText(QStringLiteral("8")); // emptied too
        form1->findChild<QComboBox*>(QStringLiteral("Combo2"))->setEditText(QStringLiteral("胸部正面"));
        for (const char* command : {"Command2", "Command3", "Command4"})
            click(form1, command);
        checkWindow(form1);
        checkWindow(shell_->illustrationWindow());
        QTest::mouseClick(form1->findChild<QRadioButton*>(QStringLiteral("Option4")), Qt::LeftButton);
        form1->measuredExposureDialog()
            ->findChild<QLineEdit*>(QStringLiteral("Text1"))
            ->setText(QStringLiteral("x"));
        checkWindow(form1->measuredExposureDialog());
        click(form1->measuredExposureDialog(), "Command1"); // not a number
        click(form1->measuredExposureDialog(), "Command2");
        click(form1, "Command14");
        checkWindow(shell_->spectrumWindow());
        click(form1, "Command12");
        checkWindow(shell_->tubeOutputEditor());
        click(form1, "Command5");
        checkWindow(shell_->ambientDoseEditor());
        shell_->ambientDoseEditor()
            ->findChild<QLineEdit*>(QStringLiteral("Text3"))
            ->setText(QStringLiteral("-1"));
        click(shell_->ambientDoseEditor(), "Command1"); // refused

        // The report: saved, saved again (the same record), the dose typed over, printed.
        click(form1, "Command6");
        ui::ReportScreen* report = shell_->reportScreen();
        report->findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QStringLiteral("EN03"));
        report->findChild<QLineEdit*>(QStringLiteral("Text2"))->setText(QStringLiteral("英語 花子"));
        click(report, "Command2");
        click(report, "Command6");
        click(report, "Command2");
        click(report, "Command6"); // asked about the same record: No
        report->findChild<QLineEdit*>(QStringLiteral("Text10"))->setText(QStringLiteral("0.001"));
        click(report, "Command6"); // asked about the dose: No
        checkWindow(report);
        const QString reportPdf = pdfFolder + QStringLiteral("/report.pdf");
        ui::ReportScreen::setPrinterProvider([reportPdf](QWidget*) { return uitest::pdfPrinter(reportPdf); });
        click(report, "Command5");
        ui::ReportScreen::setPrinterProvider(nullptr);
        texts << pdfLines(reportPdf);

        // The record search, the dose history and the audit with its notes, on screen and on paper.
        shell_->openRecordSearch();
        ui::RecordSearchScreen* form5 = shell_->recordSearchScreen();
        auto* files = form5->findChild<QListWidget*>(QStringLiteral("File1"));
        files->setCurrentRow(0);
        click(form5, "Command2");
        checkWindow(form5);
        shell_->openDoseHistory(QStringLiteral("EN02"));
        checkWindow(shell_->doseHistoryWindow());
        const QString historyPdf = pdfFolder + QStringLiteral("/history.pdf");
        QVERIFY(shell_->doseHistoryWindow()->savePdf(historyPdf).ok());
        texts << pdfLines(historyPdf);
        shell_->openDoseAudit();
        checkWindow(shell_->doseAuditWindow());
        const QString auditPdf = pdfFolder + QStringLiteral("/audit.pdf");
        QVERIFY(shell_->doseAuditWindow()->exportPdf(auditPdf));
        texts << pdfLines(auditPdf);

        shell_->openBasicDataEditor();
        checkWindow(shell_->basicDataEditor());
        shell_->basicDataEditor()
            ->findChild<QLineEdit*>(QStringLiteral("Text2"))
            ->setText(QStringLiteral("abc"));
        click(shell_->basicDataEditor(), "Command1"); // refused
        shell_->openReferenceLevelEditor();
        checkWindow(shell_->referenceLevelEditor());
        checkWindow(shell_->startScreen());

        texts << shownTexts_;
        int messages = 0;
        for (const auto& shown : ui::MessageBox::shown()) {
            texts << shown.text.split(QLatin1Char('\n'));
            ++messages;
        }
        QVERIFY2(messages >= 10, qPrintable(QString::number(messages)));
        if (const QString shots = qEnvironmentVariable("TAMSO_SCREENSHOT_DIR"); !shots.isEmpty())
            for (const QString& pdf : {reportPdf, historyPdf, auditPdf}) {
                const QString copy =
                    QDir(shots).filePath(QStringLiteral("english-") + QFileInfo(pdf).fileName());
                QFile::remove(copy);
                QFile::copy(pdf, copy);
            }
        // The longest first: a body part may hold another ("胸腹部正面", "腹部正面").
        std::sort(siteData.begin(), siteData.end(),
                  [](const QString& a, const QString& b) { return a.size() > b.size(); });
        QStringList left;
        for (const QString& text : texts) {
            QString rest = text;
            for (const QString& data : siteData)
                if (!data.isEmpty())
                    rest.remove(data);
            if (hasJapanese(rest) && !left.contains(text))
                left << text;
        }
        QVERIFY2(texts.size() > 400, qPrintable(QString::number(texts.size())));
        QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char('\n'))));
        QVERIFY2(overflows_.isEmpty(), qPrintable(overflows_.join(QLatin1Char('\n')))); // and all fits
    }

    // Every text of the report ends inside its box, across and down, on the printed page and on the
    // preview, in both languages: the usual texts and the longest ones (a two-digit dose with its
    // uncertainty and a longer dose format than today's, a long name, the dose so far, a dose typed
    // over, a level exceeded). The dose so far is printed about as large as the other texts.
    void reportFitsItsBoxes_data() {
        QTest::addColumn<bool>("english");
        QTest::addColumn<bool>("longest");
        QTest::newRow("Japanese") << false << false;
        QTest::newRow("Japanese, longest") << false << true;
        QTest::newRow("English") << true << false;
        QTest::newRow("English, longest") << true << true;
    }
    void reportFitsItsBoxes() {
        QFETCH(bool, english);
        QFETCH(bool, longest);
        QVERIFY(ui::installLanguage(english ? ui::Language::English : ui::Language::Japanese));
        ui::ReportFields f = uitest::sampleReportFields();
        f.exposureNumber = QStringLiteral("12");
        f.cumulativeDose = QStringLiteral("3.456");
        f.caregiver1 = f.caregiver3 = QStringLiteral("0.600");
        f.caregiver2 = QStringLiteral("0.500");
        if (longest) {
            f.id = QStringLiteral("2026-000123-NICU");
            f.name = QStringLiteral("長谷川部　由紀子ちゃん");
            f.dose = QStringLiteral("12.3456");
            f.doseWithUncertainty = QStringLiteral("12.3456 ± 2.4567 mGy (k=2)");
            f.originalDose = QStringLiteral("12.345");
            f.caregiver1 = f.caregiver2 = f.caregiver3 = QStringLiteral("123.456");
            f.exposureNumber = QStringLiteral("123");
            f.cumulativeDose = QStringLiteral("1234.567");
            f.cumulativeIsLowerBound = true;
            f.bodyPart = QStringLiteral("胸腹部正面（臥位）");
            f.fieldSize = QStringLiteral("大四サイズ（横）");
            f.referenceLevel = ui::referenceLevelText(refdata::compareWithLevel(12.3456, 10.0));
            f.aboveReferenceLevel = true;
        }
        const QStringList overflows = reportOverflows(f);
        QVERIFY2(overflows.isEmpty(), qPrintable(overflows.join(QLatin1Char('\n'))));
        MeasuringCanvas paper(ui::ReportTarget::Printer);
        ui::drawReport(paper, ui::ReportTarget::Printer, f, uitest::calculationState());
        const auto line = std::find_if(paper.texts.begin(), paper.texts.end(),
                                       [&](const auto& t) { return t.text == ui::doseHistoryLine(f); });
        QVERIFY(line != paper.texts.end());
        QVERIFY2(line->points >= 12, qPrintable(QString::number(line->points))); // legible: the body is 14
    }

    // The printed report in English: its captions are English.
    void reportIsEnglishAndFits() {
        const ui::ReportFields fields = uitest::sampleReportFields();
        QVERIFY(ui::installLanguage(ui::Language::English));

        const QString folder = QStringLiteral(TAMSO_BINARY_DIR "/test-output");
        QVERIFY(QDir().mkpath(folder));
        const QString pdf = folder + QStringLiteral("/report-english.pdf");
        QFile::remove(pdf);
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        const Status printed = ui::printReport(printer, fields, uitest::calculationState());
        QVERIFY2(printed.ok(), printed.ok() ? "" : printed.message().c_str());
        QString text, error;
        QVERIFY2(uitest::pdfText(pdf, text, error), qPrintable(error));
        const QString extracted = text.simplified();
        for (const char* caption : {"Name", "Date", "Staff", "Unit", "Region", "FFD", "Voltage", "Field",
                                    "Notes", "Dose to caregivers", "Entrance surface dose"})
            QVERIFY2(extracted.contains(QString::fromLatin1(caption)), caption);
        for (const char* japanese : {"氏名", "撮影日", "撮影担当", "管電圧", "備考", "介助者"})
            QVERIFY2(!extracted.contains(QString::fromUtf8(japanese)), japanese);
        // The stored data stay as they are: the field size preset and the body part.
        QVERIFY(extracted.contains(fields.fieldSize));

        ui::ReportPreview preview;
        preview.drawReport(fields, uitest::calculationState());
        const QString shots = qEnvironmentVariable("TAMSO_SCREENSHOT_DIR");
        if (!shots.isEmpty())
            QVERIFY(preview.image().save(QDir(shots).filePath(QStringLiteral("english-report.png"))));

        // The measurement itself: a text too long for its box is caught.
        ui::ReportFields longName = fields;
        longName.name = QString(60, QLatin1Char('W'));
        QCOMPARE(reportOverflows(longName).size(), 2); // too long even at the smallest size
    }
};

QTEST_MAIN(EnglishTest)
#include "tst_english.moc"
