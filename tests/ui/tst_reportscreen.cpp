// The report screen: the hand-over, the record display, button states, the Data Save into the
// record file, the technologist list and its file, the ID look-up, printing and closing.

#include "uitestsupport.h"

#include "engine/calculationstate.h"
#include "records/patientrecordfile.h"
#include "refdata/referencelevels.h"
#include "textio/codec.h"
#include "textio/fileio.h"
#include "ui/kit/language.h"
#include "ui/kit/messagebox.h"
#include "ui/kit/sitedata.h"
#include "ui/kit/uiutil.h"
#include "ui/report/reportpreview.h"
#include "ui/report/reportscreen.h"
#include "ui/shell/illustrationwindow.h"
#include "ui/shell/shell.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QAccessible>
#include <QRegularExpression>
#include <QtTest>

#include <memory>

using namespace tamso;
using namespace tamso::ui;

namespace {

const QString kListFile = QStringLiteral("撮影担当.txt");

// A hand-over of an exposure typed by hand: no ID and name; the technologist it carries is ignored
// by the report screen.
ReportFields defaultCase() {
    ReportFields f = uitest::sampleReportFields();
    f.id.clear();
    f.name.clear();
    f.technologist = QStringLiteral("無視される");
    f.xrayUnit = QStringLiteral("Mobile-X 100");
    return f;
}

void writeList(const QStringList& names) {
    QByteArray bytes;
    for (const QString& name : names)
        bytes += QByteArray::fromStdString(*textio::utf8ToSjis(utf8(name))) + "\r\n";
    QFile file(kListFile);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QByteArray listBytes() {
    QFile file(kListFile);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray sjisLines(const QStringList& names) {
    QByteArray bytes;
    for (const QString& name : names)
        bytes += QByteArray::fromStdString(*textio::utf8ToSjis(utf8(name))) + "\r\n";
    return bytes;
}

// A record file holding one record of this patient.
void writeRecordFile(const QString& id, const QString& name) {
    const std::string text = utf8(name) +
                             "\r\n1\r\n2024/05/01\r\n佐藤\r\n胸部\r\n 8 \r\nMobile-X 100\r\n 60 \r\n 2.5 \r\n"
                             " 100 \r\n六切サイズ\r\n .25 \r\n 1.5 \r\n .05 \r\n 0 \r\n";
    QFile file(id + QStringLiteral(".pat"));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QByteArray::fromStdString(*textio::utf8ToSjis(text)));
}

QStringList numberedNames(int n) {
    QStringList names;
    for (int i = 1; i <= n; ++i)
        names << QStringLiteral("技師%1").arg(i);
    return names;
}

} // namespace

class ReportScreenTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    std::unique_ptr<Shell> shell_; // opens the report screen as the program does
    ReportScreen* screen_ = nullptr;

    template <typename T> T* child(const char* name) {
        T* widget = screen_->findChild<T*>(QString::fromLatin1(name));
        if (!widget)
            qFatal("missing control %s", name);
        return widget;
    }
    QString text(const char* name) { return child<QLineEdit>(name)->text(); }
    QComboBox* combo() { return child<QComboBox>("Combo1"); }
    bool enabled(const char* name) { return child<QPushButton>(name)->isEnabled(); }
    void click(const char* name) { QTest::mouseClick(child<QPushButton>(name), Qt::LeftButton); }

private slots:
    void initTestCase() {
        QVERIFY(uitest::prepareWorkingFolder(dir_));
        installFontSubstitutions();
        shell_ = std::make_unique<Shell>();
        shell_->quitProgram = [] {};
        QVERIFY(shell_->start());
        shell_->calculationState().xrayUnitName = "Mobile-X 100";
        shell_->calculationState().hospitalName = "みなと総合病院";
    }
    void cleanupTestCase() { shell_.reset(); }

    void init() {
        MessageBox::clearShown();
        QFile::remove(kListFile);
        for (const QString& name : QDir::current().entryList({QStringLiteral("*.pat")}, QDir::Files))
            QFile::remove(name);
        ReportScreen::setPrinterProvider(nullptr);
    }

    void handOverFillsFieldsAndList() {
        writeList({QStringLiteral("佐藤"), QStringLiteral("鈴木"), QStringLiteral("高橋")});
        shell_->showIllustration();
        QVERIFY(shell_->illustrationWindow()->isVisible());
        shell_->handOverToReport(defaultCase());
        screen_ = shell_->reportScreen();
        QVERIFY(screen_);
        QVERIFY(screen_->isVisible());
        QCOMPARE(screen_->windowTitle(), QStringLiteral("TAMSO Ⅱ 報告書"));
        QVERIFY(!shell_->illustrationWindow()->isVisible()); // the hand-over hides the illustration
        QCOMPARE(text("Text1"), QString());
        QCOMPARE(text("Text2"), QString());
        QCOMPARE(text("Text3"), QStringLiteral("2026/12/08"));
        QCOMPARE(text("Text4"), QStringLiteral("腹部正面"));
        QCOMPARE(text("Text5"), QStringLiteral("50"));
        QCOMPARE(text("Text6"), QStringLiteral("5"));
        QCOMPARE(text("Text7"), QStringLiteral("100"));
        QCOMPARE(text("Text8"), QStringLiteral("六切サイズ"));
        QCOMPARE(text("Text9"), QStringLiteral("10"));
        QCOMPARE(text("Text17"), QStringLiteral("Mobile-X 100"));
        QCOMPARE(text("Text10"), QStringLiteral("0.052"));
        QCOMPARE(text("Text11"), QStringLiteral("0.012"));
        QCOMPARE(text("Text12"), QStringLiteral("0.003"));
        QCOMPARE(text("Text13"), QStringLiteral("0.001"));
        QCOMPARE(combo()->count(), 3);
        QCOMPARE(combo()->currentText(), QStringLiteral("佐藤"));
        QCOMPARE(screen_->technologists().technologistCount(), 3);
        QVERIFY(!enabled("Command5"));
        QVERIFY(!enabled("Command6"));

        // A second hand-over keeps each name once and uses the same screen.
        shell_->handOverToReport(defaultCase());
        QCOMPARE(shell_->reportScreen(), screen_);
        QCOMPARE(combo()->count(), 3);
        QVERIFY(MessageBox::shown().isEmpty());

        // ID and name taken from an image come with the hand-over and stay editable; the next
        // hand-over without them empties the fields again.
        ReportFields fromImage = defaultCase();
        fromImage.id = QStringLiteral("N-0001");
        fromImage.name = QStringLiteral("山田 花子");
        shell_->handOverToReport(fromImage);
        QCOMPARE(text("Text1"), QStringLiteral("N-0001"));
        QCOMPARE(text("Text2"), QStringLiteral("山田 花子"));
        QVERIFY(!child<QLineEdit>("Text1")->isReadOnly() && child<QLineEdit>("Text1")->isEnabled());
        QVERIFY(!child<QLineEdit>("Text2")->isReadOnly() && child<QLineEdit>("Text2")->isEnabled());
        QCOMPARE(combo()->currentText(), QStringLiteral("佐藤")); // the technologist is still the list's
        shell_->handOverToReport(defaultCase());
        QCOMPARE(text("Text1"), QString());
        QCOMPARE(text("Text2"), QString());
    }

    void listFileEdgeCases_data() {
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("expected");
        QTest::newRow("missing") << -1 << 0;
        QTest::newRow("empty") << 0 << 0;
        QTest::newRow("fifty") << 50 << 50;
        QTest::newRow("fifty-five") << 55 << 50;
    }
    void listFileEdgeCases() {
        QFETCH(int, lines);
        QFETCH(int, expected);
        if (lines >= 0)
            writeList(numberedNames(lines));
        shell_->handOverToReport(defaultCase());
        QCOMPARE(screen_->technologists().technologistCount(), expected);
        QCOMPARE(combo()->count(), expected);
        QCOMPARE(combo()->currentText(), expected ? QStringLiteral("技師1") : QString());
        QVERIFY(MessageBox::shown().isEmpty());
    }

    void buttonStates() {
        shell_->handOverToReport(defaultCase());
        QVERIFY(!enabled("Command5") && !enabled("Command6"));
        click("Command2");
        QVERIFY(enabled("Command5") && enabled("Command6"));
        click("Command3");
        QVERIFY(!enabled("Command5") && !enabled("Command6"));
        const QImage blank = screen_->preview()->image();

        // Saving: a refused save keeps Data Save, a successful one disables only Data Save.
        click("Command2");
        QVERIFY(screen_->preview()->image() != blank);
        child<QLineEdit>("Text1")->setText(QStringLiteral("123"));
        child<QLineEdit>("Text2")->setText(QStringLiteral("保存 花子"));
        MessageBox::setNextAnswer(MessageBox::Answer::Cancel); // "このデータを保存しますか？"
        click("Command6");
        QVERIFY(enabled("Command6"));
        QVERIFY(!QFile::exists(QStringLiteral("123.pat")));
        click("Command6");
        QVERIFY(!enabled("Command6"));
        QVERIFY(enabled("Command5"));
        int asked = 0;
        for (const auto& shown : MessageBox::shown())
            asked += shown.kind == MessageBox::Kind::QuestionOkCancel;
        QCOMPARE(asked, 2);
        records::PatientRecordState saved;
        QVERIFY(
            records::loadPatientRecords(textio::fileInFolder(workingFolderPath(), "123.pat"), saved).ok());
        QCOMPARE(saved.patientName, std::string("保存 花子"));
        QCOMPARE(saved.patientRecordCount, 1);
        QCOMPARE(records::listValueText(saved.PatientRecordTable[1].tubeVoltageKv), std::string("50"));
        click("Command2");
        QVERIFY(enabled("Command6"));

        // The record display clears the preview, disables both and fills every field.
        ReportFields stored = defaultCase();
        stored.id = QStringLiteral("999");
        stored.name = QStringLiteral("前の患者");
        stored.technologist = QStringLiteral("記録の技師");
        shell_->showRecordOnReport(stored);
        QVERIFY(!enabled("Command5") && !enabled("Command6"));
        QCOMPARE(screen_->preview()->image(), blank);
        QCOMPARE(text("Text1"), QStringLiteral("999"));
        QCOMPARE(text("Text2"), QStringLiteral("前の患者"));
        QCOMPARE(combo()->currentText(), QStringLiteral("記録の技師"));
    }

    // A hand-over without ID and name leaves them empty: saving without them is a warning and
    // writes nothing.
    void saveWithoutIdentityIsAWarning() {
        shell_->handOverToReport(defaultCase());
        click("Command2");
        click("Command6");
        QCOMPARE(MessageBox::shown().size(), 1);
        QCOMPARE(MessageBox::shown().first().kind, MessageBox::Kind::Warning);
        QCOMPARE(MessageBox::shown().first().text, QStringLiteral("患者IDおよび氏名を入力して下さい"));
        QVERIFY(enabled("Command6"));
        QVERIFY(QDir::current().entryList({QStringLiteral("*.pat")}, QDir::Files).isEmpty());
    }

    void addTechnologist() {
        writeList({QStringLiteral("佐藤"), QStringLiteral("鈴木")});
        shell_->handOverToReport(defaultCase());
        combo()->setCurrentText(QStringLiteral("田中"));
        click("Command4");
        QCOMPARE(listBytes(),
                 sjisLines({QStringLiteral("佐藤"), QStringLiteral("鈴木"), QStringLiteral("田中")}));
        QCOMPARE(combo()->count(), 3);
        QCOMPARE(combo()->currentText(), QStringLiteral("田中"));
        QCOMPARE(screen_->technologists().technologistCount(), 3);
        // An empty name becomes an empty line and an empty entry.
        combo()->setCurrentText(QString());
        click("Command4");
        QCOMPARE(listBytes(), sjisLines({QStringLiteral("佐藤"), QStringLiteral("鈴木"),
                                         QStringLiteral("田中"), QString()}));
        QCOMPARE(combo()->count(), 4);
        // A fresh hand-over reads the file back.
        shell_->handOverToReport(defaultCase());
        QCOMPARE(combo()->count(), 4);
        QCOMPARE(combo()->itemText(2), QStringLiteral("田中"));
    }

    // A screen that never read the list (reached from the record search) keeps the file's names.
    void addKeepsNamesNeverRead() {
        delete shell_->reportScreen();
        writeList({QStringLiteral("佐藤"), QStringLiteral("鈴木")});
        shell_->showRecordOnReport(defaultCase());
        screen_ = shell_->reportScreen();
        QVERIFY(screen_);
        QCOMPARE(combo()->count(), 0);
        combo()->setCurrentText(QStringLiteral("田中"));
        click("Command4");
        QCOMPARE(listBytes(),
                 sjisLines({QStringLiteral("佐藤"), QStringLiteral("鈴木"), QStringLiteral("田中")}));
        QCOMPARE(combo()->count(), 3);
    }

    void fiftyOneNamesAreRefused() {
        writeList(numberedNames(50));
        const QByteArray before = listBytes();
        shell_->handOverToReport(defaultCase());
        combo()->setCurrentText(QStringLiteral("五十一人目"));
        click("Command4");
        QCOMPARE(MessageBox::shown().size(), 1);
        QCOMPARE(MessageBox::shown().first().kind, MessageBox::Kind::Warning);
        QCOMPARE(MessageBox::shown().first().text,
                 QStringLiteral("撮影担当者は50名までしか登録できません。"));
        QCOMPARE(listBytes(), before);
        QCOMPARE(screen_->technologists().technologistCount(), 50);
    }

    // A name Shift-JIS cannot hold is refused with a message and the file keeps its names.
    void unwritableNameKeepsFile() {
        writeList({QStringLiteral("佐藤")});
        shell_->handOverToReport(defaultCase());
        combo()->setCurrentText(QStringLiteral("😀"));
        click("Command4");
        QCOMPARE(MessageBox::shown().size(), 1);
        QCOMPARE(listBytes(), sjisLines({QStringLiteral("佐藤")}));
        QCOMPARE(screen_->technologists().technologistCount(), 1);
    }

    void idLookUpAndEnter() {
        // Record files of two patients; the second was stored with an empty name.
        writeRecordFile(QStringLiteral("123"), QStringLiteral("山田 花子"));
        writeRecordFile(QStringLiteral("777"), QString());
        shell_->handOverToReport(defaultCase());
        screen_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(screen_));
        QLineEdit* id = child<QLineEdit>("Text1");
        QLineEdit* name = child<QLineEdit>("Text2");
        auto typeIdAndLeave = [&](const QString& typed) {
            id->setFocus();
            QTRY_VERIFY(id->hasFocus());
            id->setText(typed);
            name->setFocus();
            QTRY_VERIFY(name->hasFocus());
        };
        id->setFocus();
        QTRY_VERIFY(id->hasFocus());
        id->setText(QStringLiteral("123"));
        QTest::keyClick(id, Qt::Key_Return);
        QTRY_VERIFY(name->hasFocus());
        QCOMPARE(name->text(), QStringLiteral("山田 花子"));
        // An unknown ID, or one that cannot name a file, leaves the typed name.
        name->setText(QStringLiteral("手入力"));
        typeIdAndLeave(QStringLiteral("456"));
        QCOMPARE(name->text(), QStringLiteral("手入力"));
        typeIdAndLeave(QStringLiteral("../123"));
        QCOMPARE(name->text(), QStringLiteral("手入力"));
        // A stored empty name replaces the typed one as well, so the report shows what is stored.
        typeIdAndLeave(QStringLiteral("777"));
        QCOMPARE(name->text(), QString());
        QCOMPARE(screen_->fields().name, QString());
        QFile::remove(QStringLiteral("123.pat"));
        QFile::remove(QStringLiteral("777.pat"));
    }

    // The exposure number and cumulative dose of the infant, from all its record files: shown once
    // the ID is known, drawn and printed with the report, kept for an exposure once it is saved,
    // counted up to a stored record shown from the search.
    void doseSoFarFollowsTheInfantsRecords() {
        // K1: 20 records of 0.1 mGy and a continuation with 0.052 mGy, 2.052 mGy in all.
        std::string first = "小林 一郎\r\n 20 \r\n", second = "小林 一郎\r\n1\r\n";
        auto record = [](const std::string& dose) {
            return "2024/05/01\r\n佐藤\r\n胸部\r\n 8 \r\n装置\r\n 60 \r\n 2 \r\n 100 \r\n六切\r\n" + dose +
                   "\r\n\r\n\r\n\r\n";
        };
        for (int i = 0; i < 20; ++i)
            first += record(" .1 ");
        second += record(" .052 ");
        auto write = [](const QString& name, const std::string& text) {
            QFile file(name);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(QByteArray::fromStdString(*textio::utf8ToSjis(text)));
        };
        write(QStringLiteral("K1.pat"), first);
        write(QStringLiteral("K1.~2.pat"), second);

        shell_->handOverToReport(defaultCase());     // this exposure: 0.052 mGy
        QVERIFY(screen_->doseSoFarText().isEmpty()); // no ID yet
        QVERIFY(screen_->fields().exposureNumber.isEmpty());
        screen_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(screen_));
        QLineEdit* id = child<QLineEdit>("Text1");
        auto typeIdAndLeave = [&](const QString& typed) {
            id->setFocus();
            QTRY_VERIFY(id->hasFocus());
            id->setText(typed);
            child<QLineEdit>("Text2")->setFocus();
            QTRY_VERIFY(!id->hasFocus());
        };
        typeIdAndLeave(QStringLiteral("K1"));
        QCOMPARE(screen_->doseSoFarText(), QStringLiteral("撮影 22 回目　累積線量： 2.104 mGy"));
        QCOMPARE(screen_->fields().exposureNumber, QStringLiteral("22"));
        QCOMPARE(screen_->fields().cumulativeDose, QStringLiteral("2.104"));
        QVERIFY(!screen_->fields().cumulativeIsLowerBound);
        QCOMPARE(child<QLabel>("Label25")->text(), screen_->doseSoFarText());
        // Dated before the stored exposures, it is the first of the infant's exposures.
        const QString date = text("Text3");
        child<QLineEdit>("Text3")->setText(QStringLiteral("2024/04/30"));
        emit child<QLineEdit>("Text3")->editingFinished();
        QCOMPARE(screen_->doseSoFarText(), QStringLiteral("撮影 1 回目　累積線量： 0.052 mGy"));
        child<QLineEdit>("Text3")->setText(date);
        emit child<QLineEdit>("Text3")->editingFinished();
        // A new infant: this exposure alone.
        typeIdAndLeave(QStringLiteral("K2"));
        QCOMPARE(screen_->doseSoFarText(), QStringLiteral("撮影 1 回目　累積線量： 0.052 mGy"));

        // Printed with the report.
        typeIdAndLeave(QStringLiteral("K1"));
        child<QLineEdit>("Text2")->setText(QStringLiteral("小林 一郎"));
        click("Command2");
        const QString pdf = dir_.filePath(QStringLiteral("dose-so-far.pdf"));
        ReportScreen::setPrinterProvider([&](QWidget*) { return uitest::pdfPrinter(pdf); });
        click("Command5");
        QString printed, error;
        QVERIFY2(uitest::pdfText(pdf, printed, error), qPrintable(error));
        QVERIFY2(printed.simplified().contains(QStringLiteral("撮影 22 回目 累積線量： 2.104 mGy")),
                 qPrintable(printed));

        // Saved, the exposure is record 22: drawn again it keeps its number and sum.
        click("Command6");
        QVERIFY(!enabled("Command6"));
        QCOMPARE(screen_->doseSoFarText(), QStringLiteral("撮影 22 回目　累積線量： 2.104 mGy"));
        click("Command2");
        QCOMPARE(screen_->fields().exposureNumber, QStringLiteral("22"));
        QCOMPARE(screen_->fields().cumulativeDose, QStringLiteral("2.104"));

        // A stored record from the search counts up to itself; under another ID the same fields
        // are a new exposure of that infant.
        ReportFields stored = defaultCase();
        stored.id = QStringLiteral("K1");
        stored.storedRecordNumber = 3;
        shell_->showRecordOnReport(stored);
        QCOMPARE(screen_->doseSoFarText(), QStringLiteral("撮影 3 回目　累積線量： 0.300 mGy"));
        typeIdAndLeave(QStringLiteral("K2"));
        QCOMPARE(screen_->doseSoFarText(), QStringLiteral("撮影 1 回目　累積線量： 0.052 mGy"));
        // A dose that is not a number makes the sum a lower bound.
        child<QLineEdit>("Text10")->setText(QStringLiteral("未計算"));
        QCOMPARE(screen_->fields().cumulativeDose, QStringLiteral("0.000"));
        QVERIFY(screen_->fields().cumulativeIsLowerBound);

        // Record files that cannot be read: the screen says so, the report draws no line.
        write(QStringLiteral("K3.pat"), first);
        write(QStringLiteral("K3.~2.pat"), "小林 一郎\r\n 2 \r\n" + record(" .1 "));
        typeIdAndLeave(QStringLiteral("K3"));
        QCOMPARE(screen_->doseSoFarText(), QStringLiteral("累積線量: 患者ファイルを読み込めません"));
        QVERIFY(child<QLabel>("Label25")->toolTip().contains(QStringLiteral("K3.~2.pat")));
        QVERIFY(screen_->fields().exposureNumber.isEmpty());
        QVERIFY(MessageBox::shown().size() >= 3); // the print question, the save question and notice
        for (const auto& shown : MessageBox::shown())
            QVERIFY2(shown.kind != MessageBox::Kind::Warning, qPrintable(shown.text));
    }

    void printing() {
        shell_->handOverToReport(defaultCase());
        click("Command2");
        const QString pdf = dir_.filePath(QStringLiteral("printed.pdf"));
        QString target = pdf;
        int asked = 0;
        ReportScreen::setPrinterProvider([&](QWidget*) {
            ++asked;
            return uitest::pdfPrinter(target);
        });
        // Cancel: nothing is asked or printed.
        MessageBox::setNextAnswer(MessageBox::Answer::Cancel);
        click("Command5");
        QCOMPARE(asked, 0);
        QCOMPARE(MessageBox::shown().size(), 1);
        QCOMPARE(MessageBox::shown().first().text, QStringLiteral("プリンタの準備はＯＫですか？"));
        QCOMPARE(MessageBox::shown().first().kind, MessageBox::Kind::QuestionOkCancel);
        // OK prints the fields as they stand, edited after drawing; the file's text reads back
        // as typed, ideographs and all.
        child<QLineEdit>("Text2")->setText(QStringLiteral("日野 一氏"));
        click("Command5");
        QCOMPARE(asked, 1);
        QVERIFY(QFile::exists(pdf));
        QCOMPARE(MessageBox::shown().size(), 2);
        QString printed, error;
        QVERIFY2(uitest::pdfText(pdf, printed, error), qPrintable(error));
        QVERIFY2(printed.contains(QStringLiteral("氏名 : 日野 一氏")), qPrintable(printed));
        QVERIFY2(uitest::radicalsIn(printed).isEmpty(), qPrintable(uitest::radicalsIn(printed)));
        // A job that cannot start gives a warning; the screen stays usable.
        target = dir_.path();
        click("Command5");
        QCOMPARE(MessageBox::shown().size(), 4);
        QCOMPARE(MessageBox::shown().last().kind, MessageBox::Kind::Warning);
        QVERIFY(enabled("Command5") && enabled("Command6"));
        QVERIFY(screen_->isVisible());
    }

    // The spectrum handed over with a calculation prints as a second page when asked for; a stored
    // record has none, and the choice is then off.
    void spectrumPrintsAsASecondPage() {
        ReportFields withSpectrum = defaultCase();
        withSpectrum.spectrum.tubeVoltageKv = 50;
        withSpectrum.spectrum.effectiveEnergyKev = 27.77;
        withSpectrum.spectrum.photons.assign(101, 0.0);
        for (int bin = 20; bin <= 100; ++bin)
            withSpectrum.spectrum.photons[static_cast<size_t>(bin)] = 1.0 / 81;
        withSpectrum.spectrum.hvl1MmAl = QStringLiteral("1.860");
        withSpectrum.spectrum.quarterValueMmAl = QStringLiteral("4.266");
        withSpectrum.spectrum.effectiveEnergy = QStringLiteral("27.77");
        withSpectrum.spectrum.qualityIndex = QStringLiteral("0.555");
        shell_->handOverToReport(withSpectrum);
        screen_ = shell_->reportScreen();
        auto* check = child<QCheckBox>("Check1");
        QVERIFY(check->isEnabled());
        QVERIFY(!check->isChecked());
        QCOMPARE(check->text(), QStringLiteral("スペクトルも印刷する"));
        click("Command2");
        const QString pdf = dir_.filePath(QStringLiteral("spectrum.pdf"));
        ReportScreen::setPrinterProvider([&](QWidget*) { return uitest::pdfPrinter(pdf); });
        auto printedPages = [&](QString& text) {
            click("Command5");
            QString error;
            if (!uitest::pdfText(pdf, text, error))
                return -1;
            return static_cast<int>(text.count(QLatin1Char('\f')));
        };
        QString text;
        QCOMPARE(printedPages(text), 1);
        QVERIFY(!text.contains(QStringLiteral("Ｘ線スペクトルと線質")));
        check->setChecked(true);
        QCOMPARE(printedPages(text), 2);
        const QString second = text.section(QLatin1Char('\f'), 1, 1);
        for (const QString& expected : {QStringLiteral("Ｘ線スペクトルと線質"), QStringLiteral("第１半価層"),
                                        QStringLiteral("1.860 mmAl"), QStringLiteral("27.77 keV"),
                                        QStringLiteral("光子エネルギー (keV)")})
            QVERIFY2(second.contains(expected), qPrintable(expected + QStringLiteral(" in ") + second));
        QVERIFY2(uitest::radicalsIn(text).isEmpty(), qPrintable(uitest::radicalsIn(text)));
        if (const QString pictures = qEnvironmentVariable("TAMSO_SCREENSHOT_DIR"); !pictures.isEmpty()) {
            QFile::remove(QDir(pictures).filePath(QStringLiteral("report-spectrum.pdf")));
            QFile::copy(pdf, QDir(pictures).filePath(QStringLiteral("report-spectrum.pdf")));
        }

        shell_->showRecordOnReport(defaultCase());
        QVERIFY(!check->isEnabled());
        QVERIFY(!check->isChecked());
        QVERIFY(screen_->fields().spectrum.empty());
    }

    // The uncertainty handed over stays with its dose; the reference level follows the dose and
    // body part as they stand, a stored record's too.
    void uncertaintyAndReferenceLevelOnTheReport() {
        shell_->siteData().referenceLevels.rows = {{"腹部正面", 0.1, "test"}};
        ReportFields handed = defaultCase();
        handed.dose = QStringLiteral("0.203");
        handed.doseWithUncertainty = QStringLiteral("0.203 ± 0.046 mGy (k=2)");
        shell_->handOverToReport(handed);
        screen_ = shell_->reportScreen();
        ReportFields f = screen_->fields();
        QCOMPARE(f.doseWithUncertainty, QStringLiteral("0.203 ± 0.046 mGy (k=2)"));
        QCOMPARE(f.referenceLevel, QStringLiteral("0.100 mGy の 2.03 倍（参考レベル超過）"));
        QVERIFY(f.aboveReferenceLevel);
        child<QLineEdit>("Text10")->setText(QStringLiteral("0.050"));
        f = screen_->fields();
        QVERIFY(f.doseWithUncertainty.isEmpty());
        QCOMPARE(f.referenceLevel, QStringLiteral("0.100 mGy の 0.50 倍"));
        // A dose typed with more digits is compared as shown, and the ratio shows it above 1.
        child<QLineEdit>("Text10")->setText(QStringLiteral("0.1004"));
        QCOMPARE(screen_->fields().referenceLevel, QStringLiteral("0.100 mGy の 1.004 倍（参考レベル超過）"));
        child<QLineEdit>("Text10")->setText(QStringLiteral("0.050"));
        QVERIFY(!f.aboveReferenceLevel);
        child<QLineEdit>("Text4")->setText(QStringLiteral("頭部正面"));
        QVERIFY(screen_->fields().referenceLevel.isEmpty());
        // A stored record: no uncertainty, the level of its body part.
        ReportFields stored = defaultCase();
        stored.dose = QStringLiteral("0.250");
        shell_->showRecordOnReport(stored);
        f = screen_->fields();
        QVERIFY(f.doseWithUncertainty.isEmpty());
        QCOMPARE(f.referenceLevel, QStringLiteral("0.100 mGy の 2.50 倍（参考レベル超過）"));
        shell_->siteData().referenceLevels.rows.clear();
    }

    // The preview is what prints and saves: OK draws on a cleared preview, a drawn preview follows
    // every edit, and a dose typed over the computed (or stored) one is asked about on Data Save
    // (No by default) and said in the remarks, on the preview and on paper alike.
    void editedDoseIsAskedAboutAndMarked_data() {
        QTest::addColumn<bool>("fromRecord");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("remark");
        QTest::addColumn<bool>("savable"); // a dose that is a number of 0 or more
        QTest::newRow("computed, unchanged") << false << QStringLiteral("0.203") << QString() << true;
        QTest::newRow("computed, same value") << false << QStringLiteral("0.2030") << QString() << true;
        QTest::newRow("computed, same value full-width")
            << false << QStringLiteral("０．２０３") << QString() << true;
        QTest::newRow("computed, typed over")
            << false << QStringLiteral("0.050")
            << QStringLiteral("入射表面線量は手入力の値です（計算値 0.203 mGy）") << true;
        QTest::newRow("stored, typed over")
            << true << QStringLiteral("0.050")
            << QStringLiteral("入射表面線量は手入力の値です（記録値 0.203 mGy）") << true;
        QTest::newRow("computed, not a number")
            << false << QStringLiteral("未計算")
            << QStringLiteral("入射表面線量は手入力の値です（計算値 0.203 mGy）") << false;
    }
    void editedDoseIsAskedAboutAndMarked() {
        QFETCH(bool, fromRecord);
        QFETCH(QString, typed);
        QFETCH(QString, remark);
        QFETCH(bool, savable);
        ReportFields handed = defaultCase();
        handed.id = QStringLiteral("E1");
        handed.name = QStringLiteral("編集 一郎");
        handed.dose = QStringLiteral("0.203");
        handed.doseWithUncertainty = fromRecord ? QString() : QStringLiteral("0.203 ± 0.046 mGy (k=2)");
        if (fromRecord)
            shell_->showRecordOnReport(handed);
        else
            shell_->handOverToReport(handed);
        screen_ = shell_->reportScreen();
        click("Command2");
        click("Command2"); // a second OK draws on a cleared preview, not over the first drawing
        child<QLineEdit>("Text1")->setText(QStringLiteral("E2")); // drawn over "E1" without the fix
        child<QLineEdit>("Text10")->setText(typed);
        QCOMPARE(screen_->fields().dose, typed);
        ReportPreview fresh;
        fresh.drawReport(screen_->fields(), shell_->calculationState());
        QVERIFY(screen_->preview()->image() == fresh.image());
        QCOMPARE(editedDoseRemark(screen_->fields()), remark);

        const QString pdf = dir_.filePath(QStringLiteral("edited.pdf"));
        ReportScreen::setPrinterProvider([&](QWidget*) { return uitest::pdfPrinter(pdf); });
        click("Command5");
        QString printed, error;
        QVERIFY2(uitest::pdfText(pdf, printed, error), qPrintable(error));
        printed.remove(QLatin1Char(' '));
        QVERIFY2(printed.contains(QStringLiteral("患児の入射表面線量：") + typed + QStringLiteral("mGy")),
                 qPrintable(printed));
        QCOMPARE(printed.contains(QStringLiteral("手入力")), !remark.isEmpty());
        QVERIFY(!printed.contains(QStringLiteral("±")) || typed == QStringLiteral("0.203"));

        MessageBox::clearShown();
        click("Command6");
        if (!savable) { // printed as typed, never saved
            QCOMPARE(MessageBox::shown().size(), 1);
            QCOMPARE(MessageBox::shown().first().kind, MessageBox::Kind::Warning);
            QVERIFY(!QFile::exists(QStringLiteral("E2.pat")));
            return;
        }
        const bool asked = !remark.isEmpty();
        QCOMPARE(MessageBox::shown().size(), asked ? 1 : 2);
        if (asked) {
            QCOMPARE(MessageBox::shown().first().kind, MessageBox::Kind::QuestionYesNo);
            QCOMPARE(MessageBox::shown().first().defaultAnswer, MessageBox::Answer::No);
            QVERIFY(MessageBox::shown().first().text.contains(QStringLiteral("0.203 mGy")));
            QVERIFY(!QFile::exists(QStringLiteral("E2.pat")));
            MessageBox::setNextAnswer(MessageBox::Answer::Yes);
            click("Command6");
        }
        records::PatientRecordState saved;
        QVERIFY(records::loadPatientRecords(textio::fileInFolder(workingFolderPath(), "E2.pat"), saved).ok());
        QCOMPARE(qs(records::listValueText(saved.PatientRecordTable[1].entranceSurfaceDoseMGy)),
                 qs(records::listValueText(*records::readListValue(utf8(typed)))));
    }

    // Data Save stores only what was computed: conditions changed on the report since the
    // calculation (or the stored record), a date that is no calendar date, a dose that is no number
    // of 0 or more are refused with a warning naming the field, and nothing is written. The same
    // values written otherwise (full-width, another decimal form, another date form) are saved.
    void dataSaveRefusesWhatWasNotComputed_data() {
        QTest::addColumn<bool>("fromRecord");
        QTest::addColumn<QStringList>("edits"); // "Text5=70": the field's name and the text typed
        QTest::addColumn<QString>("message");   // empty: saved; <today>: today's date as an example
        const auto t = [](const char* text) { return QString::fromUtf8(text); };
        const auto edits = [](std::initializer_list<const char*> list) {
            QStringList texts;
            for (const char* edit : list)
                texts << QString::fromUtf8(edit);
            return texts;
        };
        const QString again =
            t("が、線量を計算した撮影条件から変更されています。入射表面線量はこの条件で計算し"
              "たものではないため、保存できません。撮影条件の画面に戻って計算し直して下さい。");
        const QString dose = t("0 以上の数値（mGy）を入力して下さい。");
        const QString date = t("「<today>」のように、実在する日付を入力して下さい。");
        QTest::newRow("tube voltage") << false << edits({"Text5=70"}) << t("報告書の「管電圧」") + again;
        QTest::newRow("tube voltage, letters")
            << false << edits({"Text5=abc"}) << t("報告書の「管電圧」") + again;
        QTest::newRow("mAs and FFD") << false << edits({"Text6=6", "Text7=90"})
                                     << t("報告書の「電流･秒」、「FFD」") + again;
        QTest::newRow("thickness") << false << edits({"Text9=8"}) << t("報告書の「体 厚」") + again;
        QTest::newRow("field size") << false << edits({"Text8=四切サイズ"})
                                    << t("報告書の「照射野」") + again;
        QTest::newRow("stored record, FFD")
            << true << edits({"Text7=80"})
            << t("報告書の「FFD」が、記録されていた撮影条件から変更されています。入射表面線量はこの条件で計算"
                 "した"
                 "ものではないため、保存できません。撮影条件の画面に戻って計算し直して下さい。");
        QTest::newRow("date of month 13") << false << edits({"Text3=2026/13/45"})
                                          << t("「撮影日」の「2026/13/45」は日付として読めません。") + date;
        QTest::newRow("date of 30 February")
            << true << edits({"Text3=2026/02/30"})
            << t("「撮影日」の「2026/02/30」は日付として読めません。") + date;
        QTest::newRow("no date") << false << edits({"Text3="})
                                 << t("「撮影日」が空欄です。「<today>」のように日付を入力して下さい。");
        QTest::newRow("no dose") << false << edits({"Text10= "}) << t("「入射表面線量」が空欄です。") + dose;
        QTest::newRow("dose not a number")
            << true << edits({"Text10=abc"}) << t("「入射表面線量」の「abc」は数値ではありません。") + dose;
        QTest::newRow("negative dose")
            << false << edits({"Text10=-0.1"}) << t("「入射表面線量」の「-0.1」では計算できません。") + dose;
        QTest::newRow("dose beyond any number")
            << false << edits({"Text10=1e999"})
            << t("「入射表面線量」の「1e999」は数値ではありません。") + dose;
        QTest::newRow("the same values written otherwise")
            << false << edits({"Text5=５０", "Text6=5.0", "Text7= 100 ", "Text9=1e1", "Text3=2026-12-8"})
            << QString();
        QTest::newRow("stored record as it was") << true << QStringList() << QString();
    }
    void dataSaveRefusesWhatWasNotComputed() {
        QFETCH(bool, fromRecord);
        QFETCH(QStringList, edits);
        QFETCH(QString, message);
        ReportFields handed = defaultCase();
        handed.id = QStringLiteral("V1");
        handed.name = QStringLiteral("検査 一郎");
        if (fromRecord)
            shell_->showRecordOnReport(handed);
        else
            shell_->handOverToReport(handed);
        screen_ = shell_->reportScreen();
        click("Command2");
        for (const QString& edit : edits)
            child<QLineEdit>(qPrintable(edit.section(QLatin1Char('='), 0, 0)))
                ->setText(edit.section(QLatin1Char('='), 1));
        MessageBox::clearShown();
        click("Command6");
        if (message.isEmpty()) {
            QVERIFY(QFile::exists(QStringLiteral("V1.pat")));
            for (const auto& shown : MessageBox::shown())
                QVERIFY2(shown.kind != MessageBox::Kind::Warning, qPrintable(shown.text));
            return;
        }
        QCOMPARE(MessageBox::shown().size(), 1);
        QCOMPARE(MessageBox::shown().first().kind, MessageBox::Kind::Warning);
        QCOMPARE(MessageBox::shown().first().icon, QMessageBox::Warning);
        QCOMPARE(MessageBox::shown().first().text,
                 message.replace(QStringLiteral("<today>"), shortDateText(QDate::currentDate())));
        QVERIFY(!QFile::exists(QStringLiteral("V1.pat")));
        QVERIFY(enabled("Command6"));
    }

    void closeButtonHides() {
        shell_->handOverToReport(defaultCase());
        shell_->showIllustration();
        QVERIFY(shell_->illustrationWindow()->isVisible());
        QSignalSpy back(screen_, &ReportScreen::backRequested);
        click("Command1");
        QVERIFY(!screen_->isVisible());
        QCOMPARE(back.size(), 1);
        QVERIFY(!shell_->illustrationWindow()->isVisible()); // the illustration goes with it
        QCOMPARE(shell_->reportScreen(), screen_);
    }

    // The keyboard alone: the screen opens on the ID, Enter presses OK and Data Save, and the commands
    // whose captions stay English say in Japanese what they do.
    void keyboardDrawsAndSaves() {
        ReportFields stored = defaultCase();
        stored.id = QStringLiteral("999");
        stored.storedRecordNumber = 1;
        for (bool fromRecord : {false, true}) {
            fromRecord ? shell_->showRecordOnReport(stored) : shell_->handOverToReport(defaultCase());
            QCOMPARE(screen_->focusWidget(), child<QWidget>("Text1"));
        }
        shell_->handOverToReport(defaultCase());
        child<QLineEdit>("Text1")->setText(QStringLiteral("E1"));
        child<QLineEdit>("Text2")->setText(QStringLiteral("鍵盤 太郎"));
        QTest::keyClick(child<QPushButton>("Command2"), Qt::Key_Return);
        QVERIFY(enabled("Command6"));
        QTest::keyClick(child<QPushButton>("Command6"), Qt::Key_Enter);
        QVERIFY(QFile::exists(QStringLiteral("E1.pat")));
        for (const char* name : {"Command2", "Command3", "Command5", "Command6"}) {
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(child<QPushButton>(name));
            QVERIFY2(a && a->text(QAccessible::Name).contains(QRegularExpression(QStringLiteral("[ぁ-んァ-ヶ一-龯]"))),
                     name);
        }
    }

    // Leaving a drawn report whose record is not saved asks first, by every way out; No stays.
    void leavingUnsavedAsks_data() {
        QTest::addColumn<QString>("way");
        QTest::addColumn<bool>("leave");
        for (const char* way : {"button", "escape", "close box"})
            for (bool leave : {false, true})
                QTest::newRow(qPrintable(QString::fromLatin1(way) + QLatin1String(leave ? " yes" : " no")))
                    << QString::fromLatin1(way) << leave;
    }
    void leavingUnsavedAsks() {
        QFETCH(QString, way);
        QFETCH(bool, leave);
        shell_->handOverToReport(defaultCase());
        screen_ = shell_->reportScreen();
        screen_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(screen_));
        auto leaveBy = [&] {
            if (way == QLatin1String("button"))
                click("Command1");
            else if (way == QLatin1String("escape"))
                QTest::keyClick(screen_, Qt::Key_Escape);
            else
                screen_->close();
        };
        leaveBy(); // nothing drawn: no question
        QVERIFY(!screen_->isVisible());
        QVERIFY(MessageBox::shown().isEmpty());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // the close box discards it

        shell_->handOverToReport(defaultCase());
        screen_ = shell_->reportScreen();
        screen_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(screen_));
        click("Command2");
        QVERIFY(screen_->hasUnsavedRecord());
        MessageBox::setNextAnswer(leave ? MessageBox::Answer::Yes : MessageBox::Answer::No);
        leaveBy();
        QCOMPARE(MessageBox::shown().size(), 1);
        QCOMPARE(MessageBox::shown().first().kind, MessageBox::Kind::QuestionYesNo);
        QCOMPARE(MessageBox::shown().first().defaultAnswer, MessageBox::Answer::No);
        QCOMPARE(screen_->isVisible(), !leave);
        if (leave)
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        screen_ = shell_->reportScreen();
    }

    // After Data Save the preview shows what the record now is, as the side line and the printout
    // do, also where the infant's files changed after the drawing.
    void previewFollowsTheSave() {
        shell_->handOverToReport(defaultCase());
        screen_ = shell_->reportScreen();
        child<QLineEdit>("Text1")->setText(QStringLiteral("P1"));
        child<QLineEdit>("Text2")->setText(QStringLiteral("見本 一郎"));
        click("Command2");
        const QImage drawnFirst = screen_->preview()->image();
        writeRecordFile(QStringLiteral("P1"), QStringLiteral("見本 一郎")); // stored meanwhile
        click("Command6");
        QVERIFY(!enabled("Command6"));
        QCOMPARE(screen_->fields().exposureNumber, QStringLiteral("2"));
        ReportPreview fresh;
        fresh.drawReport(screen_->fields(), shell_->calculationState());
        QCOMPARE(screen_->preview()->image(), fresh.image());
        QVERIFY(screen_->preview()->image() != drawnFirst);
        QVERIFY(!screen_->hasUnsavedRecord());
    }

    void everyControlIsNamed() {
        shell_->handOverToReport(defaultCase());
        for (QWidget* w : screen_->findChildren<QWidget*>()) {
            if (w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_")))
                continue;
            if (w->parentWidget() != screen_)
                continue;
            QCOMPARE(w->accessibleDescription(), w->objectName());
            QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
        }
        for (const char* name : {"Text1", "Text2", "Text3", "Text4", "Text5", "Text6", "Text7", "Text8",
                                 "Text9", "Text10", "Text11", "Text12", "Text13", "Text17"})
            QVERIFY(child<QLineEdit>(name));
        QCOMPARE(child<QPushButton>("Command1")->toolTip(), QStringLiteral(" bye bye "));
        QCOMPARE(child<QWidget>("Picture1")->geometry(), twipsRect(4500, 0, 8295, 11655));
    }

    // Every field, command and frame where the screen's layout puts it, with its caption.
    void layoutAndCaptions() {
        shell_->handOverToReport(defaultCase());
        struct Place {
            const char* name;
            const char* caption; // the label beside the field, the button's text
            int left, top, width, height;
        };
        const Place places[] = {
            {"Text1", "ID No.", 1680, 360, 2175, 395},     {"Text2", "氏 名", 1680, 720, 2175, 395},
            {"Combo1", "撮影担当", 1680, 1560, 2175, 360}, {"Text3", "撮影日", 1680, 2520, 2175, 395},
            {"Text4", "撮影部位", 1680, 3000, 2175, 395},  {"Text9", "体 厚", 1680, 3360, 1335, 395},
            {"Text17", "撮影装置", 1080, 4200, 2775, 395}, {"Text5", "管電圧", 1680, 4560, 1335, 395},
            {"Text6", "電流･秒", 1680, 4920, 1335, 395},   {"Text7", "FFD", 1680, 5280, 1335, 395},
            {"Text8", "照射野", 1680, 5640, 2175, 395},    {"Text10", "入射表面線量", 2160, 6720, 1095, 395},
            {"Text11", "1", 1680, 7800, 1095, 395},        {"Text12", "2", 1680, 8160, 1095, 395},
            {"Text13", "3", 1680, 8520, 1095, 395},
        };
        QHash<QString, QRect> labels;
        for (QLabel* label : screen_->findChildren<QLabel*>())
            labels.insert(label->text(), label->geometry());
        for (const Place& p : places) {
            const QRect at = child<QWidget>(p.name)->geometry();
            QCOMPARE(at, twipsRect(p.left, p.top, p.width, p.height));
            const QString caption = QString::fromUtf8(p.caption);
            QVERIFY2(labels.contains(caption), p.caption);
            const QRect label = labels.value(caption);
            if (caption == QStringLiteral("撮影装置")) // on the row above its box
                QVERIFY(label.bottom() < at.top());
            else // on the field's row, to its left
                QVERIFY2(label.right() < at.left() && label.top() < at.bottom() && label.bottom() > at.top(),
                         p.name);
        }
        // Unit captions to the right of their fields.
        const std::pair<const char*, const char*> units[] = {
            {"Text9", "cm"},   {"Text5", "kV"},   {"Text6", "mAs"},  {"Text7", "cm"},
            {"Text10", "mGy"}, {"Text11", "μSv"}, {"Text12", "μSv"}, {"Text13", "μSv"}};
        for (const auto& [name, unit] : units) {
            const QRect field = child<QWidget>(name)->geometry();
            bool found = false;
            for (QLabel* label : screen_->findChildren<QLabel*>())
                found =
                    found ||
                    (label->text() == QString::fromUtf8(unit) && label->geometry().left() > field.right() &&
                     label->geometry().top() < field.bottom() && label->geometry().bottom() > field.top());
            QVERIFY2(found, name);
        }
        QVERIFY(labels.contains(QStringLiteral("介助者被ばく")));
        QVERIFY(labels.value(QStringLiteral("介助者被ばく")).bottom() <
                child<QWidget>("Text11")->geometry().top());

        const Place commands[] = {
            {"Command4", "追加", 3000, 1920, 975, 285},
            {"Command2", "OK", 1080, 9360, 1335, 615},
            {"Command3", "Clear", 2760, 9360, 1335, 615},
            {"Command5", "Printer", 1080, 10080, 1335, 615},
            {"Command6", "Data Save", 2760, 10080, 1335, 615},
            {"Command1", "", 120, 10920, 495, 495},
        };
        for (const Place& p : commands) {
            QCOMPARE(child<QPushButton>(p.name)->geometry(), twipsRect(p.left, p.top, p.width, p.height));
            QCOMPARE(child<QPushButton>(p.name)->text(), QString::fromUtf8(p.caption));
        }
        QVERIFY(!child<QPushButton>("Command1")->icon().isNull());

        QList<QRect> frames;
        for (QFrame* frame : screen_->findChildren<QFrame*>())
            if (frame->metaObject() == &QFrame::staticMetaObject)
                frames << frame->geometry();
        for (const QRect& expected : {twipsRect(240, 240, 3855, 975), twipsRect(240, 1440, 3855, 855),
                                      twipsRect(240, 2400, 3855, 3735), twipsRect(240, 6360, 3855, 2775)})
            QVERIFY2(frames.contains(expected),
                     qPrintable(QStringLiteral("frame %1,%2").arg(expected.x()).arg(expected.y())));
        QCOMPARE(frames.size(), 4);
    }
};

QTEST_MAIN(ReportScreenTest)
#include "tst_reportscreen.moc"
