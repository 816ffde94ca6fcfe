// The diagnostic reference levels on the screens: the start screen's audit command, the audit
// window (its table for a period, the mark above the level, the box plot with the levels, the list
// of what could not be used, the CSV, PDF and print outputs), the optional level file at start-up,
// and the level editor reached from the basic data editor. With TAMSO_SCREENSHOT_DIR set, the
// windows are also saved as pictures there.

#include "uitestsupport.h"

#include "records/doseaudit.h"
#include "refdata/referencelevels.h"
#include "textio/fileio.h"
#include "ui/editors/basicdataeditor.h"
#include "ui/editors/referenceleveleditor.h"
#include "ui/kit/messagebox.h"
#include "ui/kit/sitedata.h"
#include "ui/kit/uiutil.h"
#include "ui/records/doseauditwindow.h"
#include "ui/shell/shell.h"
#include "ui/shell/startscreen.h"

#include <QAbstractButton>
#include <QBoxPlotSeries>
#include <QBoxSet>
#include <QChart>
#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QLabel>
#include <QLineSeries>
#include <QListWidget>
#include <QPrinter>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include <memory>

using namespace tamso;
using ui::MessageBox;

namespace {

struct Exam {
    const char* date;
    const char* bodyPart;
    const char* dose;
};

void writeRecordFile(const QString& name, const std::vector<Exam>& exams) {
    std::vector<std::string> lines = {"新生 太郎", " " + std::to_string(exams.size()) + " "};
    for (const Exam& e : exams)
        lines.insert(lines.end(), {e.date, "技師", e.bodyPart, " 8 ", "装置", " 60 ", " 2 ", " 100 ",
                                   "六切サイズ", e.dose, " 1.5 ", "", ""});
    QVERIFY(
        textio::writeTextLines(textio::fileInFolder(ui::workingFolderPath(), ui::utf8(name)), lines).ok());
}

void writeLevels(const std::vector<std::string>& lines) {
    QVERIFY(textio::writeTextLines(
                textio::fileInFolder(ui::workingFolderPath(), refdata::kReferenceLevelFileName), lines)
                .ok());
}

// Chest 0.1 0.4 (A001 and its continuation) 0.2 0.3 in 2026, one undated 0.9; abdomen 0.05 0.2 0.3;
// head 0.3; one record without a dose, one unreadable file.
void writeAuditFolder() {
    writeRecordFile(QStringLiteral("A001.pat"),
                    {{"2026/01/10", "胸部正面", " .1 "}, {"2026-01-11", "腹部正面", " .05 "}});
    writeRecordFile(QStringLiteral("A001.~2.pat"), {{"2026/02/01", "胸部正面", " .4 "}});
    writeRecordFile(QStringLiteral("B002.pat"), {{"2026/02/03", "胸部正面", " .2 "},
                                                 {"2026/2/4", "腹部正面", " .3 "},
                                                 {"2026/02/05", "頭部正面", " .3 "},
                                                 {"2026/02/06", "腹部正面", "未計算"},
                                                 {"令和8年2月7日", "胸部正面", " .9 "}});
    writeRecordFile(QStringLiteral("C003.pat"),
                    {{"2026/03/01", "胸部正面", " .3 "}, {"2026/03/02", "腹部正面", " .2 "}});
    QFile broken(QDir(ui::workingFolder()).filePath(QStringLiteral("Z999.pat")));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("broken\r\nabc\r\n");
}

} // namespace

class DoseAuditTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<ui::Shell> shell_;

    QPushButton* startButton(const char* name) const {
        return shell_->startScreen()->findChild<QPushButton*>(QString::fromLatin1(name));
    }
    template <typename T> static T* child(QWidget* window, const char* name) {
        T* w = window->findChild<T*>(QString::fromLatin1(name));
        if (!w)
            qWarning("no %s", name);
        return w;
    }
    static void click(QAbstractButton* b) { QTest::mouseClick(b, Qt::LeftButton); }
    QString path(const QString& name) const { return QDir(dir_->path()).filePath(name); }

    ui::DoseAuditWindow* openAudit() {
        if (!shell_->startScreen())
            shell_->start();
        click(startButton("Command5"));
        return shell_->doseAuditWindow();
    }

    static QStringList rowTexts(QTableWidget* grid, int row) {
        QStringList texts;
        for (int c = 0; c < grid->columnCount(); ++c)
            texts << grid->item(row, c)->text();
        return texts;
    }
    static QStringList listTexts(QListWidget* list) {
        QStringList texts;
        for (int i = 0; i < list->count(); ++i)
            texts << list->item(i)->text();
        return texts;
    }

    void grab(QWidget* window, const char* file) {
        const QString folder = qEnvironmentVariable("TAMSO_SCREENSHOT_DIR");
        if (folder.isEmpty())
            return;
        QVERIFY(window->grab().save(QDir(folder).filePath(QString::fromLatin1(file))));
    }

    static void checkNamed(QWidget* window) {
        int controls = 0;
        for (QWidget* w : window->findChildren<QWidget*>()) {
            const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QLabel*>(w) ||
                                 qobject_cast<QDateEdit*>(w) || !w->accessibleDescription().isEmpty();
            if (!control || qobject_cast<QDateEdit*>(w->parentWidget()) ||
                w->objectName().startsWith(QLatin1String("qt_")))
                continue;
            if (!w->parentWidget() || w->parentWidget() != window)
                continue;
            ++controls;
            const QString where = window->objectName() + QLatin1Char('.') + w->objectName();
            QVERIFY2(!w->objectName().isEmpty(), qPrintable(where));
            QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(where));
            QVERIFY2(w->accessibleDescription() == w->objectName(), qPrintable(where));
        }
        QVERIFY(controls >= 4);
    }

private slots:
    void initTestCase() { ui::installFontSubstitutions(); } // as the program does at start-up
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(uitest::prepareWorkingFolder(*dir_));
        shell_ = std::make_unique<ui::Shell>();
        shell_->quitProgram = [] {};
        ui::DoseAuditWindow::setFileNameProvider({});
        ui::DoseAuditWindow::setPrinterProvider({});
    }
    void cleanup() {
        shell_.reset();
        dir_.reset();
        QDir::setCurrent(QDir::tempPath());
    }

    // The new command stands in free space: every control of the start screen keeps its place
    // (startScreenLayout in tst_shell checks them) and none overlaps the new one.
    void startScreenCommandOpensTheAudit() {
        QVERIFY(shell_->start());
        ui::StartScreen* form2 = shell_->startScreen();
        QPushButton* audit = startButton("Command5");
        QVERIFY(audit);
        QCOMPARE(audit->text(), QStringLiteral("参考レベル監査"));
        QCOMPARE(audit->geometry(), ui::twipsRect(4800, 6480, 1815, 345));
        for (QWidget* w : form2->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            if (w != audit)
                QVERIFY2(!w->geometry().intersects(audit->geometry()), qPrintable(w->objectName()));
        QVERIFY(QRect(QPoint(0, 0), form2->size()).contains(audit->geometry()));
        QCOMPARE(audit->accessibleDescription(), QStringLiteral("Command5"));
        click(audit);
        ui::DoseAuditWindow* form11 = shell_->doseAuditWindow();
        QVERIFY(form11 && form11->isVisible());
        QCOMPARE(form11->objectName(), QStringLiteral("Form11"));
        QVERIFY(form11->audit().has_value()); // audited at once, for every date
        QVERIFY(form2->isVisible());
        form11->hide();
        click(audit);
        QCOMPARE(shell_->doseAuditWindow(), form11);
        form11->close(); // the close box discards it
        QTRY_VERIFY(!shell_->doseAuditWindow());
    }

    void tableOfAPeriodMarksTheMedianAboveTheLevel() {
        writeAuditFolder();
        writeLevels({"\"胸部正面\", .2 ,Japan DRLs 2020", "\"頭部正面\", .5 ,H", "\"胸部正面\", .05 ,NICU"});
        ui::DoseAuditWindow* form11 = openAudit();
        form11->setPeriod(QDate(2026, 1, 1), QDate(2026, 12, 31));
        QVERIFY(child<QDateEdit>(form11, "DateEdit1")->isEnabled());
        click(child<QPushButton>(form11, "Command1"));
        auto* grid = child<QTableWidget>(form11, "Grid1");
        QCOMPARE(grid->rowCount(), 3);
        // The body-part list's order (腹部正面, 胸部正面, ..., 頭部正面).
        QCOMPARE(rowTexts(grid, 0),
                 QStringList({QStringLiteral("腹部正面"), QStringLiteral("3"), QStringLiteral("3"),
                              QStringLiteral("0.200"), QStringLiteral("0.250"), QStringLiteral("0.050"),
                              QStringLiteral("0.300"), QString(), QString(), QString(), QString()}));
        QCOMPARE(rowTexts(grid, 1),
                 QStringList({QStringLiteral("胸部正面"), QStringLiteral("4"), QStringLiteral("3"),
                              QStringLiteral("0.250"), QStringLiteral("0.325"), QStringLiteral("0.100"),
                              QStringLiteral("0.400"), QStringLiteral("0.200"), QStringLiteral("1.25"),
                              QStringLiteral("超過"), QString()}));
        QCOMPARE(rowTexts(grid, 2).mid(7),
                 QStringList({QStringLiteral("0.500"), QStringLiteral("0.60"), QStringLiteral("以下"), QString()}));
        // Above the level: coloured and in words.
        QCOMPARE(grid->item(1, 9)->foreground().color(), QColor(0xb0, 0x10, 0x10));
        QVERIFY(grid->item(1, 9)->font().bold());
        QVERIFY(grid->item(1, 0)->background() != grid->item(2, 0)->background());
        QVERIFY(!grid->item(2, 9)->font().bold());
        // Nothing left out silently.
        const QStringList notes = listTexts(child<QListWidget>(form11, "List1"));
        QCOMPARE(notes.size(), 3);
        QVERIFY(notes[0].startsWith(QStringLiteral("線量のない記録: B002.pat の 4 件目")));
        QVERIFY(notes[1].startsWith(QStringLiteral("撮影日が読めない記録: B002.pat の 5 件目")));
        QVERIFY(notes[2].startsWith(QStringLiteral("読めない記録ファイル: ")));
        QVERIFY(notes[2].contains(QStringLiteral("Z999.pat")));
        const QString summary = child<QLabel>(form11, "Label5")->text();
        QVERIFY2(summary.contains(QStringLiteral("期間: 2026/01/01 ～ 2026/12/31")), qPrintable(summary));
        QVERIFY2(summary.contains(QStringLiteral("記録ファイル 5 件（読めないもの 1 件）")),
                 qPrintable(summary));
        QCOMPARE(child<QLabel>(form11, "Label6")->text(),
                 QStringLiteral("参考レベル: 参考線量.dat（各撮影部位の最初の行）"));
        checkNamed(form11);
        grab(form11, "form11-audit.png");
    }

    void everyDateCountsTheUndatedRecordAndAPeriodEndingBeforeItStartsIsRefused() {
        writeAuditFolder();
        ui::DoseAuditWindow* form11 = openAudit();
        QVERIFY(child<QCheckBox>(form11, "Check1")->isChecked());
        QVERIFY(!child<QDateEdit>(form11, "DateEdit1")->isEnabled());
        auto* grid = child<QTableWidget>(form11, "Grid1");
        QCOMPARE(grid->item(1, 0)->text(), QStringLiteral("胸部正面"));
        QCOMPARE(grid->item(1, 1)->text(), QStringLiteral("5")); // the undated 0.9 counts
        // No level file: no level, and the window says why.
        QCOMPARE(grid->item(1, 7)->text(), QString());
        QCOMPARE(child<QLabel>(form11, "Label6")->text(),
                 QStringLiteral("参考線量.dat がないため参考レベルとは比較しません"));

        form11->setPeriod(QDate(2026, 3, 1), QDate(2026, 2, 1));
        MessageBox::clearShown();
        QVERIFY(!form11->runAudit());
        QCOMPARE(MessageBox::shown().size(), 1);
        QCOMPARE(MessageBox::shown().first().icon, QMessageBox::Warning);
        QCOMPARE(grid->item(1, 1)->text(), QStringLiteral("5")); // the audit shown stays
        form11->setPeriod(QDate(2026, 2, 1), QDate(2026, 2, 28));
        QVERIFY(form11->runAudit());
        QCOMPARE(grid->item(1, 1)->text(), QStringLiteral("2"));
        QCOMPARE(grid->item(1, 2)->text(), QStringLiteral("2")); // A001 by its continuation, B002
    }

    void boxPlotHasABoxPerBodyPartAndTheLevelsDrawn() {
        writeAuditFolder();
        writeLevels({"\"胸部正面\", .2 ,JP", "\"腹部正面\",,", "\"頭部正面\", .5 ,H"});
        ui::DoseAuditWindow* form11 = openAudit();
        form11->setPeriod(QDate(2026, 1, 1), QDate(2026, 12, 31));
        QVERIFY(form11->runAudit());
        QList<QBoxPlotSeries*> boxes;
        QList<QLineSeries*> levels;
        for (QAbstractSeries* series : form11->chart()->series()) {
            if (auto* b = qobject_cast<QBoxPlotSeries*>(series))
                boxes << b;
            if (auto* l = qobject_cast<QLineSeries*>(series))
                levels << l;
        }
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0]->count(), 3);
        QBoxSet* chest = boxes[0]->boxSets()[1];
        QCOMPARE(chest->label(), QStringLiteral("胸部正面"));
        QCOMPARE(chest->at(QBoxSet::LowerExtreme), 0.1);
        QCOMPARE(chest->at(QBoxSet::LowerQuartile), 0.175);
        QCOMPARE(chest->at(QBoxSet::Median), 0.25);
        QCOMPARE(chest->at(QBoxSet::UpperQuartile), 0.325);
        QCOMPARE(chest->at(QBoxSet::UpperExtreme), 0.4);
        QCOMPARE(levels.size(), 2); // chest and head; the abdomen has no level
        QCOMPARE(levels[0]->at(0).y(), 0.2);
        QCOMPARE(levels[1]->at(1).y(), 0.5);
        QVERIFY(levels[0]->at(0).x() < 1 && levels[0]->at(1).x() > 1); // across the chest's box
    }

    void csvPdfAndPrintOutputs() {
        writeAuditFolder();
        writeLevels({"\"胸部正面\", .2 ,JP"});
        ui::DoseAuditWindow* form11 = openAudit();
        form11->setPeriod(QDate(2026, 1, 1), QDate(2026, 12, 31));
        QVERIFY(form11->runAudit());
        QString asked;
        QString answer = path(QStringLiteral("監査.csv"));
        ui::DoseAuditWindow::setFileNameProvider([&](QWidget*, const QString& suggested) {
            asked = suggested;
            return answer;
        });
        MessageBox::clearShown();
        click(child<QPushButton>(form11, "Command2"));
        QVERIFY(asked.endsWith(QStringLiteral(".csv")));
        QFile csv(answer);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QCOMPARE(csv.readAll().toStdString(), records::doseAuditCsv(*form11->audit()));
        QCOMPARE(MessageBox::shown().size(), 1);
        QCOMPARE(MessageBox::shown().first().kind, MessageBox::Kind::Notice);

        answer = path(QStringLiteral("監査.pdf"));
        click(child<QPushButton>(form11, "Command4"));
        QVERIFY(asked.endsWith(QStringLiteral(".pdf")));
        QString text, error;
        QVERIFY2(uitest::pdfText(answer, text, error), qPrintable(error));
        if (const QString folder = qEnvironmentVariable("TAMSO_SCREENSHOT_DIR"); !folder.isEmpty()) {
            QImage page;
            QVERIFY2(uitest::pdfPicture(answer, 80, page, error), qPrintable(error));
            QVERIFY(page.save(QDir(folder).filePath(QStringLiteral("doseaudit-printed.png"))));
        }
        // The headings stand inside their row: the wrapped "75パーセンタイル (mGy)" ends clear above
        // the row's lower line (a row too low for it reaches down to that line).
        QList<uitest::PdfWord> words;
        QVERIFY2(uitest::pdfWords(answer, words, error), qPrintable(error));
        const auto heading = std::find_if(words.begin(), words.end(), [](const uitest::PdfWord& w) {
            return w.text == QStringLiteral("75パーセンタイル");
        });
        QVERIFY(heading != words.end());
        double headingBottom = 0, firstRowTop = 1e9;
        for (const uitest::PdfWord& w : words) {
            if (w.box.left() < heading->box.right() && w.box.right() > heading->box.left() &&
                w.box.top() >= heading->box.top() && w.box.top() < heading->box.top() + 20)
                headingBottom = std::max(headingBottom, w.box.bottom()); // the heading's lines
            if (w.text == QStringLiteral("腹部正面") && w.box.top() > heading->box.top())
                firstRowTop = std::min(firstRowTop, w.box.top());
        }
        QVERIFY(headingBottom > 0 && firstRowTop < 1e9);
        // 2.5 mm: the first row's words stand about 1.9 mm below its upper line.
        QVERIFY2(firstRowTop - headingBottom >= 7.1,
                 qPrintable(QString::number(firstRowTop - headingBottom)));
        for (const char* expected : {"参考レベル監査", "入射表面線量の分布", "胸部正面", "0.325", "超過",
                                     "読めない記録ファイル", "Z999.pat", "2026/01/01 ～ 2026/12/31"})
            QVERIFY2(text.contains(QString::fromUtf8(expected)),
                     qPrintable(QString::fromUtf8(expected) + QStringLiteral(" in ") + text));

        const QString printed = path(QStringLiteral("printed.pdf"));
        ui::DoseAuditWindow::setPrinterProvider([&](QWidget*) { return uitest::pdfPrinter(printed); });
        click(child<QPushButton>(form11, "Command3"));
        QVERIFY2(uitest::pdfText(printed, text, error), qPrintable(error));
        QVERIFY(text.contains(QStringLiteral("超過")));

        // A cancelled dialog writes nothing; an unwritable place is warned about.
        answer.clear();
        MessageBox::clearShown();
        click(child<QPushButton>(form11, "Command2"));
        QVERIFY(MessageBox::shown().isEmpty());
        QVERIFY(!form11->exportCsv(path(QStringLiteral("nowhere/a.csv"))));
        QCOMPARE(MessageBox::shown().size(), 1);
        QCOMPARE(MessageBox::shown().first().icon, QMessageBox::Warning);
    }

    // A level file that cannot be read does not stop the program: one warning, then no levels.
    void malformedLevelFileIsWarnedAboutOnceAtStartUp() {
        writeLevels({"\"胸部正面\", .2 ,JP", "\"腹部正面\",0.3mGy,x"});
        MessageBox::clearShown();
        QVERIFY(shell_->start());
        QVERIFY(shell_->startScreen()->isVisible());
        QCOMPARE(MessageBox::shown().size(), 1);
        QCOMPARE(MessageBox::shown().first().icon, QMessageBox::Warning);
        QVERIFY(MessageBox::shown().first().text.contains(
            QStringLiteral("2 行目の参考レベル「0.3mGy」が数値ではありません")));
        QVERIFY(shell_->siteData().referenceLevels.rows.empty());
        // The audit lists the same problem and compares with nothing.
        writeAuditFolder();
        ui::DoseAuditWindow* form11 = openAudit();
        QVERIFY(listTexts(child<QListWidget>(form11, "List1")).first().contains(QStringLiteral("0.3mGy")));
        QCOMPARE(child<QLabel>(form11, "Label6")->text(),
                 QStringLiteral("参考線量.dat を読めないため参考レベルとは比較しません"));
        // A readable file is in effect after start-up.
        writeLevels({"\"胸部正面\", .2 ,JP"});
        shell_.reset();
        shell_ = std::make_unique<ui::Shell>();
        shell_->quitProgram = [] {};
        MessageBox::clearShown();
        QVERIFY(shell_->start());
        QVERIFY(MessageBox::shown().isEmpty());
        QCOMPARE(shell_->siteData().referenceLevels.levelFor("胸部正面"), std::optional<double>(0.2));
    }

    void levelEditorListsTheBodyPartsAndSaves() {
        writeLevels(
            {"\"胸部正面\", .2 ,Japan DRLs 2020, 乳児", "\"胸部正面\", .08 ,EUR 16261", "\"その他\", .1 ,x"});
        QVERIFY(shell_->start());
        shell_->openBasicDataEditor();
        ui::BasicDataEditor* form6 = shell_->basicDataEditor();
        auto* levelsCommand = child<QPushButton>(form6, "Command3");
        QCOMPARE(levelsCommand->text(), QStringLiteral("参考レベル"));
        QCOMPARE(levelsCommand->geometry(), ui::twipsRect(240, 2880, 1215, 495));
        grab(form6, "basicdataeditor.png");
        click(levelsCommand);
        ui::ReferenceLevelEditor* form10 = shell_->referenceLevelEditor();
        QVERIFY(form10 && form10->isVisible());
        QCOMPARE(form10->objectName(), QStringLiteral("Form10"));
        auto* grid = child<QTableWidget>(form10, "Grid1");
        // One row per line of 撮影部位.txt (seven), then the other records.
        QCOMPARE(form10->listedRows(), size_t(7));
        QCOMPARE(grid->rowCount(), 9);
        QCOMPARE(grid->item(0, 0)->text(), QStringLiteral("腹部正面"));
        QCOMPARE(grid->item(0, 1)->text(), QString());
        QCOMPARE(grid->item(0, 3)->text(), QStringLiteral("比較しない（空欄）"));
        QCOMPARE(grid->item(1, 0)->text(), QStringLiteral("胸部正面"));
        QCOMPARE(grid->item(1, 1)->text(), QStringLiteral("0.2"));
        QCOMPARE(grid->item(1, 2)->text(), QStringLiteral("Japan DRLs 2020, 乳児"));
        QCOMPARE(grid->item(1, 3)->text(), QStringLiteral("比較に使用"));
        QCOMPARE(grid->item(7, 0)->text(), QStringLiteral("胸部正面"));
        QCOMPARE(grid->item(7, 3)->text(), QStringLiteral("参考（比較しない）"));
        QCOMPARE(grid->item(8, 0)->text(), QStringLiteral("その他"));
        QCOMPARE(grid->item(8, 3)->text(), QStringLiteral("比較に使用"));
        QVERIFY(!(grid->item(1, 0)->flags() & Qt::ItemIsEditable)); // the body part is the list's
        checkNamed(form10);
        grid->item(0, 1)->setText(QStringLiteral("0.3")); // the use follows what is typed
        QCOMPARE(grid->item(0, 3)->text(), QStringLiteral("比較に使用"));
        grid->item(0, 1)->setText(QString());

        // A level that is not a number above 0 is refused; nothing is written.
        const auto file = textio::fileInFolder(ui::workingFolderPath(), refdata::kReferenceLevelFileName);
        const std::string before = *textio::readFileBytes(file);
        grid->item(5, 1)->setText(QStringLiteral("0"));
        MessageBox::clearShown();
        QVERIFY(!form10->save());
        QCOMPARE(MessageBox::shown().size(), 1);
        QVERIFY(MessageBox::shown().first().text.contains(QStringLiteral("頭部正面")));
        QCOMPARE(*textio::readFileBytes(file), before);
        QVERIFY(form10->isVisible());

        // Save: the level of 頭部正面, the chest level changed, the documentation row emptied goes.
        grid->item(5, 1)->setText(QStringLiteral(" 0.5 "));
        grid->item(5, 2)->setText(QStringLiteral("院内, 2026"));
        grid->item(1, 1)->setText(QStringLiteral("0.05"));
        grid->item(7, 1)->setText(QString());
        grid->item(7, 2)->setText(QString());
        QSignalSpy changed(form10, &ui::ReferenceLevelEditor::referenceLevelsChanged);
        MessageBox::clearShown();
        QVERIFY(form10->save());
        QCOMPARE(changed.size(), 1);
        QCOMPARE(MessageBox::shown().first().text, QStringLiteral("参考レベルを保存しました。"));
        QVERIFY(!form10->isVisible());
        QCOMPARE(textio::readTextFile(file).value(),
                 std::string(
                     "\"腹部正面\",,\r\n\"胸部正面\", .05 ,Japan DRLs 2020, 乳児\r\n\"胸腹部正面\",,\r\n"
                     "\"胸部側面\",,\r\n\"腹部側面\",,\r\n\"頭部正面\", .5 ,院内, 2026\r\n\"頭部側面\",,\r\n"
                     "\"その他\", .1 ,x\r\n"));
        QCOMPARE(shell_->siteData().referenceLevels.levelFor("胸部正面"),
                 std::optional<double>(0.05)); // in effect at once
        QCOMPARE(shell_->siteData().referenceLevels.levelFor("頭部正面"), std::optional<double>(0.5));
    }

    // In Japanese the window says what the core says (the English translation follows these).
    void shownWordsAreTheCoresInJapanese() {
        records::DoseAudit audit;
        audit.recordFiles = 4, audit.unreadableFiles = 1, audit.records = 30, audit.recordsInPeriod = 12;
        audit.exposures = 10, audit.infants = 3, audit.dateUnreadable = 2, audit.noDose = 1;
        for (int leftOut : {0, 2}) {
            audit.leftOutFiles = leftOut;
            QCOMPARE(ui::DoseAuditWindow::summaryLines(audit),
                     QStringList({ui::qs(records::auditSummaryLines(audit)[0]),
                                  ui::qs(records::auditSummaryLines(audit)[1])}));
        }
        using Kind = records::AuditNote::Kind;
        for (const records::AuditNote& note :
             {records::AuditNote{Kind::UnreadableFile, "A.pat", 0, "患者ファイル「A.pat」は読めません。",
                                 false},
              records::AuditNote{Kind::LeftOutFile, "A.~3.pat", 0, "続きのファイルが欠けています。", false},
              records::AuditNote{Kind::DateUnreadable, "B.pat", 3, "昨日", true},
              records::AuditNote{Kind::DateUnreadable, "B.pat", 4, "", false},
              records::AuditNote{Kind::NoDose, "C.~2.pat", 20, "未計算", false}})
            QCOMPARE(ui::DoseAuditWindow::noteText(note), ui::qs(records::auditNoteText(note)));
        for (const records::AuditPeriod& period :
             {records::AuditPeriod{}, records::AuditPeriod{records::CalendarDate{2026, 1, 1}, std::nullopt}})
            QCOMPARE(ui::DoseAuditWindow::periodText(period), ui::qs(records::auditPeriodText(period)));
    }

    // Rows can be added, deleted and moved; the first row of a body part is the level compared with.
    void levelEditorAddsDeletesAndMovesRows() {
        writeLevels({"\"胸部正面\", .2 ,A", "\"胸部正面\", .08 ,B"});
        QVERIFY(shell_->start());
        shell_->openReferenceLevelEditor();
        ui::ReferenceLevelEditor* form10 = shell_->referenceLevelEditor();
        auto* grid = child<QTableWidget>(form10, "Grid1");
        QCOMPARE(grid->rowCount(), 8);
        // The documentation row up above the used one: it is now the one compared with.
        grid->setCurrentCell(7, 1);
        for (int i = 0; i < 6; ++i)
            click(child<QPushButton>(form10, "Command5"));
        QCOMPARE(grid->currentRow(), 1);
        QCOMPARE(grid->item(1, 1)->text(), QStringLiteral("0.08"));
        QCOMPARE(grid->item(1, 3)->text(), QStringLiteral("比較に使用"));
        QCOMPARE(grid->item(2, 1)->text(), QStringLiteral("0.2"));
        QCOMPARE(grid->item(2, 3)->text(), QStringLiteral("参考（比較しない）"));
        click(child<QPushButton>(form10, "Command6")); // and back down one
        click(child<QPushButton>(form10, "Command5"));
        QCOMPARE(grid->item(1, 1)->text(), QStringLiteral("0.08"));
        // A row of its own, typed in full-width digits, after the last row.
        grid->setCurrentCell(grid->rowCount() - 1, 0);
        click(child<QPushButton>(form10, "Command3"));
        const int added = grid->rowCount() - 1;
        QCOMPARE(grid->currentRow(), added);
        QVERIFY(grid->item(added, 0)->flags() & Qt::ItemIsEditable);
        grid->item(added, 1)->setText(QStringLiteral("０．３"));
        // Without its body part it is refused.
        MessageBox::clearShown();
        QVERIFY(!form10->save());
        QCOMPARE(MessageBox::shown().first().text,
                 QStringLiteral("撮影部位が空の参考レベルは保存できません。"));
        grid->item(added, 0)->setText(QStringLiteral("新生児頭部"));
        QCOMPARE(grid->item(added, 3)->text(), QStringLiteral("比較に使用"));
        // 頭部側面 (a row of the body-part list) deleted.
        const auto rows = grid->findItems(QStringLiteral("頭部側面"), Qt::MatchExactly);
        QCOMPARE(rows.size(), 1);
        grid->setCurrentCell(rows.first()->row(), 0);
        click(child<QPushButton>(form10, "Command4"));
        QCOMPARE(grid->rowCount(), 8);
        MessageBox::clearShown();
        QVERIFY(form10->save());
        const auto file = textio::fileInFolder(ui::workingFolderPath(), refdata::kReferenceLevelFileName);
        QCOMPARE(textio::readTextFile(file).value(),
                 std::string(
                     "\"腹部正面\",,\r\n\"胸部正面\", .08 ,B\r\n\"胸部正面\", .2 ,A\r\n\"胸腹部正面\",,\r\n"
                     "\"胸部側面\",,\r\n\"腹部側面\",,\r\n\"頭部正面\",,\r\n\"新生児頭部\", .3 ,\r\n"));
        QCOMPARE(shell_->siteData().referenceLevels.levelFor("胸部正面"), std::optional<double>(0.08));
        QCOMPARE(shell_->siteData().referenceLevels.levelFor("新生児頭部"), std::optional<double>(0.3));
    }

    // The shipped table: the used chest level, the others below as documentation (the NICU levels
    // under 胸腹部正面).
    void levelEditorShowsTheShippedTable() {
        QVERIFY(QFile::copy(QStringLiteral(TAMSO_SOURCE_DIR "/data/参考線量.dat"),
                            QDir(ui::workingFolder()).filePath(QStringLiteral("参考線量.dat"))));
        QVERIFY(shell_->start());
        shell_->openReferenceLevelEditor();
        ui::ReferenceLevelEditor* form10 = shell_->referenceLevelEditor();
        auto* grid = child<QTableWidget>(form10, "Grid1");
        QCOMPARE(grid->rowCount(), 12);
        QCOMPARE(grid->item(1, 1)->text(), QStringLiteral("0.2"));
        QCOMPARE(grid->item(1, 3)->text(), QStringLiteral("比較に使用"));
        for (int r = 7; r < 12; ++r) {
            QCOMPARE(grid->item(r, 0)->text(),
                     r == 7 ? QStringLiteral("胸部正面") : QStringLiteral("胸腹部正面"));
            QCOMPARE(grid->item(r, 3)->text(), QStringLiteral("参考（比較しない）"));
        }
        QCOMPARE(grid->item(8, 1)->text(), QStringLiteral("0.0547"));
        grab(form10, "referenceleveleditor.png");
    }

    void levelEditorRefusesToOpenOnAnUnreadableFile() {
        writeLevels({"\"胸部正面\",abc,JP"});
        QVERIFY(shell_->start());
        MessageBox::clearShown();
        shell_->openReferenceLevelEditor();
        QVERIFY(!shell_->referenceLevelEditor()->isVisible());
        QCOMPARE(MessageBox::shown().size(), 1);
        QVERIFY(MessageBox::shown().first().text.contains(
            QStringLiteral("ファイルを直すか削除してから開いて下さい")));
        // Without a file the editor opens with the body-part list and saves a new file.
        QFile::remove(QDir(ui::workingFolder()).filePath(QStringLiteral("参考線量.dat")));
        shell_->openReferenceLevelEditor();
        QVERIFY(shell_->referenceLevelEditor()->isVisible());
        QCOMPARE(child<QTableWidget>(shell_->referenceLevelEditor(), "Grid1")->rowCount(), 7);
        click(child<QPushButton>(shell_->referenceLevelEditor(), "Command2")); // Cancel writes nothing
        QVERIFY(!QFile::exists(QDir(ui::workingFolder()).filePath(QStringLiteral("参考線量.dat"))));
    }
};

QTEST_MAIN(DoseAuditTest)
#include "tst_doseaudit.moc"
