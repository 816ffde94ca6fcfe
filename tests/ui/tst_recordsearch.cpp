// The record search screen and the report's record save: file list, record rows, the show command
// and its hand-over to the report screen, stale listings and unreadable files, withdrawing a record.

#include "textio/codec.h"
#include "textio/fileio.h"
#include "ui/kit/messagebox.h"
#include "ui/kit/uiutil.h"
#include "ui/records/dosehistorymodel.h"
#include "ui/records/dosehistorywindow.h"
#include "ui/records/recordsearchscreen.h"
#include "ui/report/reportfields.h"
#include "ui/report/reportrecordsave.h"
#include "ui/report/reportscreen.h"
#include "ui/shell/shell.h"
#include "uitestsupport.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using tamso::ui::MessageBox;
using tamso::ui::RecordSearchScreen;
using tamso::ui::ReportFields;

namespace {

void writeSjisFile(const QString& name, const std::string& utf8Text) {
    auto sjis = tamso::textio::utf8ToSjis(utf8Text);
    QVERIFY(sjis.ok());
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(sjis->data(), static_cast<qint64>(sjis->size()));
}

std::string record(const std::string& date, const std::string& dose, const std::string& thickness = " 8 ") {
    return date + "\r\n佐藤\r\n胸部\r\n" + thickness +
           "\r\nMobile DR-1\r\n 60 \r\n 2.5 \r\n 100 \r\n10 x 12, 縦\r\n" + dose +
           "\r\n 1.5 \r\n .05 \r\n\r\n";
}

} // namespace

class TestRecordSearch : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void openingListsOnlyRecordFilesWithEmptyFields();
    void onlyTheUsersChoiceLoadsAFile();
    void typedIdChoosesItsFile_data();
    void typedIdChoosesItsFile();
    void listingShowsOneRowPerRecordInFileOrder();
    void showWithoutSelectionWarnsAndShowsNothing();
    void showHandsTheRecordToTheReport();
    void clickingAnotherFileClearsTheListing();
    void unreadableFileIsNotListed();
    void fileWithoutNameDoesNotEnableListing();
    void everyControlIsNamed();
    void reportSaveAsksAndWritesAndLooksUpTheName();
    void reportSaveRefusesUnsafeIdsAndEmptyFields();
    void infantIsListedOnceWithRecordsNumberedAcrossItsFiles();
    void withdrawnRecordIsMarkedCountsNowhereAndIsNotWithdrawnTwice();

private:
    RecordSearchScreen* open();
    QListWidget* files() { return screen->findChild<QListWidget*>(QStringLiteral("File1")); }
    QListWidget* rows() { return screen->findChild<QListWidget*>(QStringLiteral("List1")); }
    QPushButton* button(const char* name) {
        return screen->findChild<QPushButton*>(QString::fromLatin1(name));
    }
    QLineEdit* text(const char* name) { return screen->findChild<QLineEdit*>(QString::fromLatin1(name)); }
    void clickFile(const QString& name);
    // Clicks the withdraw command; once its dialog opens, OK is pressed with nothing as the reason,
    // then with `who` and `reason` typed in (an empty `who` cancels). Whether the dialog opened.
    bool withdrawChosen(const QString& who, const QString& reason);

    QTemporaryDir dir;
    std::unique_ptr<tamso::ui::Shell> shell; // opens the screen and shows the chosen record on the report
    RecordSearchScreen* screen = nullptr;
    QPointer<RecordSearchScreen> watched; // the screen whose chosen records are collected
    QVector<ReportFields> shownOnReport;  // what the show command handed on
};

void TestRecordSearch::initTestCase() {
    QVERIFY(tamso::uitest::prepareWorkingFolder(dir));
    tamso::ui::installFontSubstitutions(); // as the program does at start-up
    shell = std::make_unique<tamso::ui::Shell>();
    shell->quitProgram = [] {};
    QVERIFY(shell->start());
    std::string twenty = "新生 一郎\r\n 20 \r\n";
    for (int i = 1; i <= 20; ++i)
        twenty += record("2024/05/" + std::to_string(i), i == 1 ? " .25 " : (i == 2 ? " 1.5 " : "未計算"),
                         i == 3 ? "厚い" : " 8 ");
    writeSjisFile(QStringLiteral("A001.pat"), twenty);
    writeSjisFile(QStringLiteral("B002.pat"), "別 花子\r\n1\r\n" + record("2023/01/09", "3"));
    writeSjisFile(QStringLiteral("C003.pat"), "壊れ 太郎\r\n 3 \r\n" + record("2023/01/09", "3"));
    writeSjisFile(QStringLiteral("D004.pat"), "\r\n1\r\n" + record("2023/01/09", "3"));
    writeSjisFile(QStringLiteral("A001.pat.lock"), "host=x\r\n");
    writeSjisFile(QStringLiteral("notes.txt"), "x\r\n");
}

void TestRecordSearch::cleanupTestCase() {
    shell.reset();
}

void TestRecordSearch::init() {
    MessageBox::clearShown();
    shownOnReport.clear();
}

RecordSearchScreen* TestRecordSearch::open() {
    shell->openRecordSearch();
    screen = shell->recordSearchScreen();
    if (screen && screen != watched) {
        connect(screen, &RecordSearchScreen::recordChosen, this,
                [this](const ReportFields& f) { shownOnReport.append(f); });
        watched = screen;
    }
    return screen;
}

void TestRecordSearch::clickFile(const QString& name) {
    const auto found = tamso::uitest::patientFileEntries(files(), name);
    QCOMPARE(found.size(), 1);
    const QRect rect = files()->visualItemRect(found.first());
    QTest::mouseClick(files()->viewport(), Qt::LeftButton, {}, rect.center());
    QCOMPARE(files()->currentItem(), found.first());
}

void TestRecordSearch::openingListsOnlyRecordFilesWithEmptyFields() {
    QVERIFY(open());
    QVERIFY(screen->isVisible());
    QStringList names, shown;
    for (int i = 0; i < files()->count(); ++i) {
        names << files()->item(i)->data(RecordSearchScreen::kFileNameRole).toString();
        shown << files()->item(i)->text();
    }
    QCOMPARE(names, (QStringList{QStringLiteral("A001.pat"), QStringLiteral("B002.pat"),
                                 QStringLiteral("C003.pat"), QStringLiteral("D004.pat")}));
    // Each patient by ID and the name its file begins with; a file without a name by its ID.
    QCOMPARE(shown, (QStringList{QStringLiteral("A001　新生 一郎"), QStringLiteral("B002　別 花子"),
                                 QStringLiteral("C003　壊れ 太郎"), QStringLiteral("D004")}));
    clickFile(QStringLiteral("A001.pat"));
    button("Command2")->click();
    QVERIFY(rows()->count() > 0);
    // Opening again starts afresh.
    open();
    QVERIFY(text("Text1")->text().isEmpty());
    QVERIFY(text("Text2")->text().isEmpty());
    QVERIFY(!button("Command2")->isEnabled());
    QVERIFY(!button("Command3")->isEnabled());
    QCOMPARE(rows()->count(), 0);
}

void TestRecordSearch::onlyTheUsersChoiceLoadsAFile() {
    QVERIFY(open());
    // The list taking the focus (by Tab, or as the window opens) makes an entry current; that is
    // no choice of the user's and must leave the screen empty.
    for (const Qt::FocusReason reason :
         {Qt::TabFocusReason, Qt::ActiveWindowFocusReason, Qt::OtherFocusReason}) {
        QFocusEvent focusIn(QEvent::FocusIn, reason);
        QApplication::sendEvent(files(), &focusIn);
        QVERIFY(text("Text1")->text().isEmpty());
        QVERIFY(text("Text2")->text().isEmpty());
        QVERIFY(!button("Command2")->isEnabled());
        QVERIFY(!button("Command3")->isEnabled());
    }
    // A keyboard user chooses with the arrow keys.
    files()->setCurrentItem(nullptr);
    QTest::keyClick(files(), Qt::Key_Down);
    QVERIFY(!text("Text1")->text().isEmpty());
    QVERIFY(button("Command2")->isEnabled());
    const QString first = text("Text1")->text();
    QTest::keyClick(files(), Qt::Key_Down);
    QVERIFY(text("Text1")->text() != first);
    // Opening again starts empty, even though the list keeps the focus.
    QVERIFY(open());
    QVERIFY(text("Text1")->text().isEmpty());
    QVERIFY(!button("Command2")->isEnabled());
}

// An ID typed and entered chooses its file as a click would; an ID without a file is a warning.
void TestRecordSearch::typedIdChoosesItsFile_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("name"); // empty: no such file
    QTest::newRow("listed") << QStringLiteral("A001") << QStringLiteral("新生 一郎");
    QTest::newRow("with spaces") << QStringLiteral(" B002 ") << QStringLiteral("別 花子");
    QTest::newRow("unknown") << QStringLiteral("Z999") << QString();
}
void TestRecordSearch::typedIdChoosesItsFile() {
    QFETCH(QString, typed);
    QFETCH(QString, name);
    open();
    text("Text1")->setText(typed);
    QTest::keyClick(text("Text1"), Qt::Key_Return);
    QCOMPARE(MessageBox::shown().size(), name.isEmpty() ? 1 : 0);
    QCOMPARE(text("Text2")->text(), name);
    QCOMPARE(button("Command2")->isEnabled(), !name.isEmpty());
    if (!name.isEmpty()) {
        QCOMPARE(files()->currentItem()->data(RecordSearchScreen::kFileNameRole).toString(),
                 typed.trimmed() + QStringLiteral(".pat"));
        QTest::keyClick(button("Command2"), Qt::Key_Return); // Enter lists its records
        QVERIFY(rows()->count() > 0);
    }
}

void TestRecordSearch::listingShowsOneRowPerRecordInFileOrder() {
    open();
    clickFile(QStringLiteral("A001.pat"));
    QCOMPARE(text("Text1")->text(), QStringLiteral("A001"));
    QCOMPARE(text("Text2")->text(), QStringLiteral("新生 一郎"));
    QVERIFY(button("Command2")->isEnabled());
    QVERIFY(!button("Command3")->isEnabled());
    button("Command2")->click();
    QCOMPARE(rows()->count(), 20);
    QCOMPARE(rows()->item(0)->text(), QStringLiteral("01 : 2024/05/1 - 胸部 - 0.250 mGy"));
    QCOMPARE(rows()->item(1)->text(), QStringLiteral("02 : 2024/05/2 - 胸部 - 1.500 mGy"));
    QCOMPARE(rows()->item(6)->text(), QStringLiteral("07 : 2024/05/7 - 胸部 - 未計算 mGy"));
    QCOMPARE(rows()->item(19)->text().left(5), QStringLiteral("20 : "));
    QVERIFY(button("Command3")->isEnabled());
    // Fixed pitch, so that the rows line up under the headings whatever fonts the system has.
    const QFontMetricsF metrics(rows()->font());
    QCOMPARE(metrics.horizontalAdvance(QStringLiteral("iiiiii")),
             metrics.horizontalAdvance(QStringLiteral("MMMMMM")));
    QCOMPARE(metrics.horizontalAdvance(QStringLiteral("11 : 1111/11/11")),
             metrics.horizontalAdvance(QStringLiteral("20 : 2024/05/20")));
    QVERIFY(MessageBox::shown().isEmpty());
    // Each row is drawn in four columns that start under their headings and hold their text.
    screen->show();
    QCoreApplication::processEvents();
    const char* headings[] = {"Label4", "Label5", "Label6", "Label7"};
    for (int c = 0; c < 4; ++c) {
        const QRect column = screen->recordColumn(c);
        const int left = rows()->viewport()->mapTo(screen, column.topLeft()).x();
        const QLabel* heading = screen->findChild<QLabel*>(QString::fromLatin1(headings[c]));
        QVERIFY2(qAbs(left - heading->x()) <= 2,
                 qPrintable(QStringLiteral("%1: %2 %3").arg(c).arg(left).arg(heading->x())));
        for (int r = 0; r < rows()->count(); ++r) {
            const QString part = rows()->item(r)->data(Qt::UserRole + 1).toStringList().value(c);
            QVERIFY2(metrics.horizontalAdvance(part) + 4 <= column.width(), qPrintable(part));
        }
    }
    tamso::records::PatientRecord third;
    third.examDate = "2024/05/1";
    third.bodyPart = "胸部";
    QCOMPARE(RecordSearchScreen::recordColumns(third, 3),
             (QStringList{QStringLiteral("03"), QStringLiteral("2024/05/1"), QStringLiteral("胸部"),
                          QStringLiteral(" mGy")}));
    // A picture of the listing, to look at.
    QVERIFY(QDir().mkpath(QStringLiteral(TAMSO_BINARY_DIR "/test-output")));
    screen->grab().save(QStringLiteral(TAMSO_BINARY_DIR "/test-output/record-search-listing.png"));
}

void TestRecordSearch::showWithoutSelectionWarnsAndShowsNothing() {
    open();
    clickFile(QStringLiteral("A001.pat"));
    button("Command2")->click();
    rows()->clearSelection();
    button("Command3")->click();
    QCOMPARE(MessageBox::shown().size(), 1);
    QCOMPARE(MessageBox::shown()[0].text, QStringLiteral("検索データ番号を選択して下さい。"));
    QCOMPARE(MessageBox::shown()[0].kind, MessageBox::Kind::Warning);
    QVERIFY(shownOnReport.isEmpty());
    QCOMPARE(rows()->count(), 20);
}

void TestRecordSearch::showHandsTheRecordToTheReport() {
    open();
    clickFile(QStringLiteral("A001.pat"));
    button("Command2")->click();
    rows()->setCurrentRow(0);
    button("Command3")->click();
    rows()->setCurrentRow(1);
    button("Command3")->click();
    rows()->setCurrentRow(2);
    button("Command3")->click();
    QCOMPARE(shownOnReport.size(), 3);
    const ReportFields& first = shownOnReport[0];
    QCOMPARE(first.id, QStringLiteral("A001"));
    QCOMPARE(first.name, QStringLiteral("新生 一郎"));
    QCOMPARE(first.technologist, QStringLiteral("佐藤"));
    QCOMPARE(first.examDate, QStringLiteral("2024/05/1"));
    QCOMPARE(first.bodyPart, QStringLiteral("胸部"));
    QCOMPARE(first.thickness, QStringLiteral("8"));
    QCOMPARE(first.xrayUnit, QStringLiteral("Mobile DR-1"));
    QCOMPARE(first.tubeVoltage, QStringLiteral("60"));
    QCOMPARE(first.mAs, QStringLiteral("2.5"));
    QCOMPARE(first.ffd, QStringLiteral("100"));
    QCOMPARE(first.fieldSize, QStringLiteral("10 x 12, 縦"));
    QCOMPARE(first.dose, QStringLiteral("0.250"));
    QCOMPARE(first.caregiver1, QStringLiteral("1.500"));
    QCOMPARE(first.caregiver2, QStringLiteral("0.050"));
    QCOMPARE(first.caregiver3, QString());
    QCOMPARE(shownOnReport[1].dose, QStringLiteral("1.500"));
    QCOMPARE(shownOnReport[2].dose, QStringLiteral("未計算")); // a text as stored
    QCOMPARE(shownOnReport[2].thickness, QStringLiteral("厚い"));
    QVERIFY(MessageBox::shown().isEmpty());
    // The report screen shows the record chosen last, the technologist included.
    tamso::ui::ReportScreen* report = shell->reportScreen();
    QVERIFY(report && report->isVisible());
    QCOMPARE(report->fields().id, QStringLiteral("A001"));
    QCOMPARE(report->fields().name, QStringLiteral("新生 一郎"));
    QCOMPARE(report->fields().technologist, QStringLiteral("佐藤"));
    QCOMPARE(report->fields().examDate, QStringLiteral("2024/05/3"));
    QCOMPARE(report->fields().dose, QStringLiteral("未計算"));

    // Doses that were quoted in the file still read as numbers: "#0.000" on the report.
    writeSjisFile(QStringLiteral("Q005.pat"),
                  "引用 符子\r\n1\r\n2024/08/01\r\n佐藤\r\n頭部\r\n\"8\"\r\nMobile DR-1\r\n"
                  "\"60\"\r\n2\r\n100\r\n8 x 10\r\n \"0.25\" \r\n\"1.5\"\r\n\"-.5\"\r\n\"a,b\"\r\n");
    open();
    clickFile(QStringLiteral("Q005.pat"));
    button("Command2")->click();
    QCOMPARE(rows()->item(0)->text(), QStringLiteral("01 : 2024/08/01 - 頭部 - 0.250 mGy"));
    rows()->setCurrentRow(0);
    button("Command3")->click();
    QCOMPARE(shownOnReport.size(), 4);
    QCOMPARE(shownOnReport[3].thickness, QStringLiteral("8"));
    QCOMPARE(shownOnReport[3].tubeVoltage, QStringLiteral("60"));
    QCOMPARE(shownOnReport[3].dose, QStringLiteral("0.250"));
    QCOMPARE(shownOnReport[3].caregiver1, QStringLiteral("1.500"));
    QCOMPARE(shownOnReport[3].caregiver2, QStringLiteral("-0.500"));
    QCOMPARE(shownOnReport[3].caregiver3, QStringLiteral("a,b"));
    QVERIFY(QFile::remove(QStringLiteral("Q005.pat")));
}

void TestRecordSearch::clickingAnotherFileClearsTheListing() {
    open();
    clickFile(QStringLiteral("A001.pat"));
    button("Command2")->click();
    rows()->setCurrentRow(4);
    clickFile(QStringLiteral("B002.pat"));
    QCOMPARE(text("Text1")->text(), QStringLiteral("B002"));
    QCOMPARE(text("Text2")->text(), QStringLiteral("別 花子"));
    QCOMPARE(rows()->count(), 0);
    QVERIFY(!button("Command3")->isEnabled());
    button("Command3")->click(); // disabled: nothing happens
    QVERIFY(shownOnReport.isEmpty());
    button("Command2")->click();
    QCOMPARE(rows()->count(), 1);
    rows()->setCurrentRow(0);
    button("Command3")->click();
    QCOMPARE(shownOnReport.size(), 1);
    QCOMPARE(shownOnReport[0].id, QStringLiteral("B002"));
    QCOMPARE(shownOnReport[0].name, QStringLiteral("別 花子"));
    QCOMPARE(shownOnReport[0].examDate, QStringLiteral("2023/01/09"));
    QCOMPARE(shownOnReport[0].dose, QStringLiteral("3.000"));
}

void TestRecordSearch::unreadableFileIsNotListed() {
    open();
    clickFile(QStringLiteral("A001.pat"));
    button("Command2")->click();
    clickFile(QStringLiteral("C003.pat"));
    QCOMPARE(text("Text2")->text(), QStringLiteral("壊れ 太郎"));
    button("Command2")->click();
    QCOMPARE(MessageBox::shown().size(), 1);
    QCOMPARE(MessageBox::shown()[0].kind, MessageBox::Kind::Warning);
    QVERIFY(MessageBox::shown()[0].text.contains(QStringLiteral("C003.pat")));
    QCOMPARE(rows()->count(), 0);
    QVERIFY(!button("Command3")->isEnabled());
    QFile file(QStringLiteral("C003.pat"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().startsWith(tamso::textio::utf8ToSjis("壊れ 太郎\r\n 3 \r\n")->c_str()));
}

void TestRecordSearch::fileWithoutNameDoesNotEnableListing() {
    open();
    clickFile(QStringLiteral("D004.pat"));
    QCOMPARE(text("Text1")->text(), QStringLiteral("D004"));
    QVERIFY(text("Text2")->text().isEmpty());
    QVERIFY(!button("Command2")->isEnabled());
}

void TestRecordSearch::everyControlIsNamed() {
    open();
    const auto widgets = screen->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    QVERIFY(widgets.size() >= 14);
    for (QWidget* w : widgets) {
        QVERIFY2(!w->objectName().isEmpty(), w->metaObject()->className());
        QCOMPARE(w->accessibleDescription(), w->objectName());
        QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
    }
    QCOMPARE(button("Command1")->toolTip(), QStringLiteral(" bye bye "));
    using tamso::ui::twipsRect;
    QCOMPARE(files()->geometry(), twipsRect(240, 600, 3615, 4365));
    QCOMPARE(rows()->geometry(), twipsRect(4080, 600, 5055, 5235));
    QCOMPARE(text("Text1")->geometry(), twipsRect(1440, 5040, 2415, 375));
    QCOMPARE(text("Text2")->geometry(), twipsRect(1440, 5400, 2415, 375));
    QCOMPARE(button("Command2")->geometry(), twipsRect(1200, 5880, 1695, 495));
    QCOMPARE(button("Command3")->geometry(), twipsRect(5640, 5880, 1695, 495));
    QCOMPARE(button("Command1")->geometry(), twipsRect(8760, 6000, 495, 495));
    QCOMPARE(button("Command2")->text(), QStringLiteral("OK"));
    QCOMPARE(button("Command3")->text(), QStringLiteral("OK"));
    // Captions: the file list's heading above it, the column headings above the record list.
    auto labelAt = [&](const QString& caption) -> QRect {
        for (QLabel* label : screen->findChildren<QLabel*>())
            if (label->text() == caption)
                return label->geometry();
        return {};
    };
    const QRect fileHeading = labelAt(QStringLiteral("患者ファイル ( ID番号) 選択"));
    QVERIFY(fileHeading.isValid() && fileHeading.bottom() <= files()->geometry().top());
    QCOMPARE(fileHeading.left(), files()->geometry().left());
    const QRect idLabel = labelAt(QStringLiteral("患者ID"));
    const QRect nameLabel = labelAt(QStringLiteral("患者氏名"));
    QVERIFY(idLabel.isValid() && idLabel.right() < text("Text1")->geometry().left());
    QVERIFY(nameLabel.isValid() && nameLabel.right() < text("Text2")->geometry().left());
    const std::pair<const char*, int> headings[] = {
        {"No.", 4080}, {"撮影年月日", 4560}, {"撮影部位", 6120}, {"入射表面線量", 7320}};
    for (const auto& [caption, left] : headings) {
        const QRect at = labelAt(QString::fromUtf8(caption));
        QVERIFY2(at.isValid(), caption);
        QCOMPARE(at.topLeft(), twipsRect(left, 240, 1, 1).topLeft());
    }
    button("Command1")->click();
    QVERIFY(!screen->isVisible());
}

void TestRecordSearch::reportSaveAsksAndWritesAndLooksUpTheName() {
    ReportFields f;
    f.id = QStringLiteral("新規-01");
    f.name = QStringLiteral("保存 三郎");
    f.examDate = QStringLiteral("2024/06/01");
    f.dose = QStringLiteral("0.25");
    MessageBox::setNextAnswer(MessageBox::Answer::Cancel);
    QVERIFY(!tamso::ui::saveReportRecord(nullptr, f));
    QVERIFY(!QFile::exists(QStringLiteral("新規-01.pat")));
    QVERIFY(tamso::ui::saveReportRecord(nullptr, f));
    QVERIFY(QFile::exists(QStringLiteral("新規-01.pat")));
    QCOMPARE(MessageBox::shown().size(), 3);
    QCOMPARE(MessageBox::shown()[0].text, QStringLiteral("このデータを保存しますか？"));
    QCOMPARE(MessageBox::shown()[0].kind, MessageBox::Kind::QuestionOkCancel);
    QCOMPARE(MessageBox::shown()[2].text, QStringLiteral("データを保存しました。"));
    QCOMPARE(MessageBox::shown()[2].kind, MessageBox::Kind::Notice);
    QCOMPARE(tamso::ui::storedPatientName(QStringLiteral("新規-01")),
             std::optional(QStringLiteral("保存 三郎")));
    QVERIFY(!tamso::ui::storedPatientName(QStringLiteral("unknown")));
    // The new file appears in the list the next time the screen opens.
    open();
    QCOMPARE(tamso::uitest::patientFileEntries(files(), QStringLiteral("新規-01.pat")).size(), 1);
    QVERIFY(QFile::remove(QStringLiteral("新規-01.pat")));
}

void TestRecordSearch::reportSaveRefusesUnsafeIdsAndEmptyFields() {
    ReportFields f;
    f.name = QStringLiteral("名");
    QVERIFY(!tamso::ui::saveReportRecord(nullptr, f));
    QCOMPARE(MessageBox::shown().last().text, QStringLiteral("患者IDおよび氏名を入力して下さい"));
    QCOMPARE(MessageBox::shown().last().icon, QMessageBox::Warning);
    for (const QString& id :
         {QStringLiteral("../x"), QStringLiteral("CON"), QStringLiteral("a:b"), QStringLiteral(" x")}) {
        MessageBox::clearShown();
        f.id = id;
        QVERIFY(!tamso::ui::saveReportRecord(nullptr, f));
        QCOMPARE(MessageBox::shown().size(), 1); // no question before the refusal
        QCOMPARE(MessageBox::shown()[0].kind, MessageBox::Kind::Warning);
        QVERIFY(MessageBox::shown()[0].text.contains(QStringLiteral("患者ID")));
    }
    QVERIFY(!QFile::exists(QStringLiteral("CON.pat")));
    QVERIFY(!QFile::exists(QStringLiteral("../x.pat")));
}

// An infant with continuation files: one entry in the file list, all records listed 1..N across the
// files, the chosen one handed on with its number; a continuation without its first file is listed
// as a file of its own; an unreadable continuation is named in a message.
void TestRecordSearch::infantIsListedOnceWithRecordsNumberedAcrossItsFiles() {
    auto fileOf = [](const std::string& name, int first, int count) {
        std::string text = name + "\r\n " + std::to_string(count) + " \r\n";
        for (int i = first; i < first + count; ++i)
            text += record("day " + std::to_string(i), " .1 ");
        return text;
    };
    writeSjisFile(QStringLiteral("M001.pat"), fileOf("続き 太郎", 1, 20));
    writeSjisFile(QStringLiteral("M001.~2.pat"), fileOf("続き 太郎", 21, 5));
    writeSjisFile(QStringLiteral("O9.~2.pat"), fileOf("孤立 花子", 21, 2));
    writeSjisFile(QStringLiteral("N1.pat"), fileOf("壊れ 次郎", 1, 20));
    writeSjisFile(QStringLiteral("N1.~2.pat"), "壊れ 次郎\r\n 4 \r\n" + record("x", "1"));
    writeSjisFile(QStringLiteral("L1.pat"), fileOf("長期 三郎", 1, 20));
    for (int part = 2; part <= 6; ++part)
        writeSjisFile(QStringLiteral("L1.~%1.pat").arg(part),
                      fileOf("長期 三郎", 20 * part - 19, part < 6 ? 20 : 5));

    open();
    // The dose history command, beside the show command under the record list.
    QCOMPARE(button("Command4")->text(), QStringLiteral("線量履歴"));
    QCOMPARE(button("Command4")->geometry(), tamso::ui::twipsRect(7440, 5880, 1215, 495));
    QVERIFY(!button("Command4")->geometry().intersects(button("Command3")->geometry()));
    QVERIFY(!button("Command4")->geometry().intersects(button("Command1")->geometry()));
    QVERIFY(!button("Command4")->isEnabled());
    QStringList names;
    for (int i = 0; i < files()->count(); ++i)
        names << files()->item(i)->data(RecordSearchScreen::kFileNameRole).toString();
    QVERIFY(names.contains(QStringLiteral("M001.pat")));
    QVERIFY(!names.contains(QStringLiteral("M001.~2.pat")));
    QVERIFY(!names.contains(QStringLiteral("L1.~3.pat")));
    QVERIFY(names.contains(QStringLiteral("O9.~2.pat")));

    clickFile(QStringLiteral("M001.pat"));
    QCOMPARE(text("Text1")->text(), QStringLiteral("M001"));
    button("Command2")->click();
    QCOMPARE(rows()->count(), 25);
    QCOMPARE(rows()->item(19)->text(), QStringLiteral("20 : day 20 - 胸部 - 0.100 mGy"));
    QCOMPARE(rows()->item(20)->text(), QStringLiteral("21 : day 21 - 胸部 - 0.100 mGy"));
    rows()->setCurrentRow(22);
    button("Command3")->click();
    QCOMPARE(shownOnReport.size(), 1);
    QCOMPARE(shownOnReport[0].id, QStringLiteral("M001"));
    QCOMPARE(shownOnReport[0].name, QStringLiteral("続き 太郎"));
    QCOMPARE(shownOnReport[0].examDate, QStringLiteral("day 23"));
    QCOMPARE(shownOnReport[0].storedRecordNumber, 23);
    // The report counts the infant's dose up to that record.
    QCOMPARE(shell->reportScreen()->fields().exposureNumber, QStringLiteral("23"));
    QCOMPARE(shell->reportScreen()->fields().cumulativeDose, QStringLiteral("2.300"));

    // From record 100 on, the numbers have three digits.
    clickFile(QStringLiteral("L1.pat"));
    button("Command2")->click();
    QCOMPARE(rows()->count(), 105);
    QCOMPARE(rows()->item(98)->text().left(5), QStringLiteral("99 : "));
    QCOMPARE(rows()->item(104)->text().left(6), QStringLiteral("105 : "));
    rows()->setCurrentRow(104);
    button("Command3")->click();
    QCOMPARE(shownOnReport.last().examDate, QStringLiteral("day 105"));
    QCOMPARE(shownOnReport.last().storedRecordNumber, 105);

    // A continuation whose first file is gone is listed as a file of its own.
    clickFile(QStringLiteral("O9.~2.pat"));
    QCOMPARE(text("Text2")->text(), QStringLiteral("孤立 花子"));
    button("Command2")->click();
    QCOMPARE(rows()->count(), 2);
    QCOMPARE(rows()->item(0)->text().left(5), QStringLiteral("01 : "));

    MessageBox::clearShown();
    clickFile(QStringLiteral("N1.pat"));
    button("Command2")->click();
    QCOMPARE(MessageBox::shown().size(), 1);
    QCOMPARE(MessageBox::shown()[0].kind, MessageBox::Kind::Warning);
    QVERIFY(MessageBox::shown()[0].text.contains(QStringLiteral("N1.~2.pat")));
    QCOMPARE(rows()->count(), 0);
    QVERIFY(!button("Command3")->isEnabled());

    for (const QString& name : QDir::current().entryList(
             {QStringLiteral("M001*"), QStringLiteral("O9*"), QStringLiteral("N1*"), QStringLiteral("L1*")}))
        QFile::remove(name);
}

bool TestRecordSearch::withdrawChosen(const QString& who, const QString& reason) {
    bool opened = false;
    QTimer::singleShot(0, this, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog || dialog->objectName() != QStringLiteral("WithdrawDialog"))
            return;
        opened = true;
        auto* ok = dialog->findChild<QPushButton*>(QStringLiteral("Command1"));
        if (who.isEmpty()) {
            dialog->findChild<QPushButton*>(QStringLiteral("Command2"))->click();
            return;
        }
        tamso::uitest::commitText(dialog->findChild<QComboBox*>(QStringLiteral("Combo1"))->lineEdit(), who);
        ok->click(); // no reason: refused, the dialog stays
        tamso::uitest::commitText(dialog->findChild<QLineEdit*>(QStringLiteral("Text1")), reason);
        ok->click();
    });
    button("Command5")->click();
    return opened;
}

void TestRecordSearch::withdrawnRecordIsMarkedCountsNowhereAndIsNotWithdrawnTwice() {
    writeSjisFile(QStringLiteral("W005.pat"),
                  "取消 太郎\r\n 2 \r\n" + record("2024/06/01", " .1 ") + record("2024/06/02", " 8E+79 "));
    open();
    clickFile(QStringLiteral("W005.pat"));
    button("Command2")->click();
    rows()->clearSelection();
    QVERIFY(!withdrawChosen(QString(), QString())); // nothing chosen
    QCOMPARE(MessageBox::shown().size(), 1);
    rows()->setCurrentRow(1);
    QVERIFY(withdrawChosen(QString(), QString())); // cancelled
    const QString reason = QStringLiteral("桁の誤り, \"8E+79\" と入力");
    MessageBox::setNextAnswer(MessageBox::Answer::No);
    QVERIFY(withdrawChosen(QStringLiteral("山田"), reason));
    QVERIFY(!QFile::exists(QStringLiteral("W005.pat.withdrawn")));
    MessageBox::clearShown();
    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    QVERIFY(withdrawChosen(QStringLiteral("山田"), reason));
    const auto& shown = MessageBox::shown();
    QCOMPARE(shown.size(), 3); // no reason, the question (default No), done
    QCOMPARE(shown[0].kind, MessageBox::Kind::Warning);
    QCOMPARE(shown[1].defaultAnswer, MessageBox::Answer::No);
    QVERIFY(shown[1].text.contains(reason));
    QVERIFY(tamso::textio::readTextFile("W005.pat.withdrawn")->find("%228E+79%22") != std::string::npos);

    QVERIFY(rows()->item(1)->text().endsWith(RecordSearchScreen::withdrawnMark().trimmed()));
    QVERIFY(rows()->item(1)->font().strikeOut());
    QVERIFY(!rows()->item(0)->text().endsWith(RecordSearchScreen::withdrawnMark().trimmed()));
    QVERIFY(!rows()->item(0)->font().strikeOut());
    MessageBox::clearShown();
    rows()->setCurrentRow(1);
    QVERIFY(!withdrawChosen(QStringLiteral("佐藤"), QStringLiteral("again")));
    QCOMPARE(MessageBox::shown().size(), 1);
    QVERIFY(MessageBox::shown()[0].text.contains(QStringLiteral("取り消し済み")));

    // Shown on the report, it is a new exposure; the history strikes it through and leaves it out.
    button("Command3")->click();
    QCOMPARE(shownOnReport.last().storedRecordNumber, 0);
    QCOMPARE(shell->reportScreen()->fields().exposureNumber, QStringLiteral("2"));
    shell->openDoseHistory(QStringLiteral("W005"));
    const tamso::ui::DoseHistoryModel* model = shell->doseHistoryWindow()->model();
    QCOMPARE(model->rowCount(), 2);
    QCOMPARE(model->exposureCount(), 1);
    QCOMPARE(model->chartPoints().size(), 1);
    QCOMPARE(model->cumulativeDoseText(), QStringLiteral("0.100"));
    QVERIFY(model->index(1, 1).data(Qt::FontRole).value<QFont>().strikeOut());
    QVERIFY(model->index(1, 1).data(Qt::ToolTipRole).toString().contains(reason));
    for (const QString& name : QDir::current().entryList({QStringLiteral("W005*")}))
        QFile::remove(name);
}

QTEST_MAIN(TestRecordSearch)
#include "tst_recordsearch.moc"
