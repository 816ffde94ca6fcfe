// A record found by the search, shown on the report screen and saved again from there is appended
// to the patient's file with the same values.

#include "records/patientrecordfile.h"
#include "textio/codec.h"
#include "textio/fileio.h"
#include "ui/kit/messagebox.h"
#include "ui/kit/uiutil.h"
#include "ui/records/recordsearchscreen.h"
#include "ui/report/reportfields.h"
#include "ui/report/reportscreen.h"
#include "ui/shell/shell.h"
#include "uitestsupport.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using tamso::ui::MessageBox;

class TestRecordsRoundTrip : public QObject {
    Q_OBJECT

private slots:
    void shownRecordSavesBackWithTheSameValues();

private:
    QTemporaryDir dir;
};

void TestRecordsRoundTrip::shownRecordSavesBackWithTheSameValues() {
    QVERIFY(tamso::uitest::prepareWorkingFolder(dir));
    tamso::ui::Shell shell;
    QVERIFY(shell.start());
    const std::string text =
        "往復 一郎\r\n1\r\n2024/07/01\r\n佐藤\r\n腹部\r\n7.5\r\nMobile DR-1\r\n55\r\n1.6\r\n100\r\n"
        "8 x 10, 横\r\n0.25\r\n1.5\r\n\r\n.3\r\n";
    {
        QFile file(QStringLiteral("R01.pat"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(tamso::textio::utf8ToSjis(text)->c_str());
    }
    // The report screen is already open with the focus in its ID field.
    shell.handOverToReport({});
    QVERIFY(shell.reportScreen());
    auto* idField = shell.reportScreen()->findChild<QLineEdit*>(QStringLiteral("Text1"));
    shell.reportScreen()->activateWindow();
    idField->setFocus();
    QTRY_VERIFY(idField->hasFocus());

    shell.openRecordSearch();
    auto* search = shell.recordSearchScreen();
    QVERIFY(search);
    auto* files = search->findChild<QListWidget*>(QStringLiteral("File1"));
    const auto entries = tamso::uitest::patientFileEntries(files, QStringLiteral("R01.pat"));
    QCOMPARE(entries.size(), 1);
    files->setCurrentItem(entries.first());
    search->findChild<QPushButton*>(QStringLiteral("Command2"))->click();
    search->findChild<QListWidget*>(QStringLiteral("List1"))->setCurrentRow(0);
    search->findChild<QPushButton*>(QStringLiteral("Command3"))->click();

    auto* report = shell.reportScreen();
    QVERIFY(report);
    QCOMPARE(report->findChild<QLineEdit*>(QStringLiteral("Text1"))->text(), QStringLiteral("R01"));
    QCOMPARE(report->findChild<QLineEdit*>(QStringLiteral("Text10"))->text(), QStringLiteral("0.250"));
    // The report opens with the focus on the ID, as it always does.
    QTRY_VERIFY(report->isActiveWindow());
    QTRY_COMPARE(QApplication::focusWidget(), report->findChild<QLineEdit*>(QStringLiteral("Text1")));
    auto* save = report->findChild<QPushButton*>(QStringLiteral("Command6"));
    QVERIFY(!save->isEnabled());
    report->findChild<QPushButton*>(QStringLiteral("Command2"))->click();
    QVERIFY(save->isEnabled());
    // The record is stored already: saving it again asks, No being the default, and writes nothing.
    MessageBox::clearShown();
    save->click();
    QCOMPARE(MessageBox::shown().size(), 2);
    QCOMPARE(MessageBox::shown()[1].kind, MessageBox::Kind::QuestionYesNo);
    QCOMPARE(MessageBox::shown()[1].text,
             QStringLiteral("同じ記録が既に保存されています。もう一度保存しますか？"));
    QCOMPARE(MessageBox::shown()[1].defaultAnswer, MessageBox::Answer::No);
    QVERIFY(save->isEnabled());
    tamso::records::PatientRecordState before;
    QVERIFY(tamso::records::loadPatientRecords(
                tamso::textio::fileInFolder(tamso::ui::workingFolderUtf8(), "R01.pat"), before)
                .ok());
    QCOMPARE(before.patientRecordCount, 1);
    // Yes saves it once more (a reprint that is a new exposure).
    MessageBox::clearShown();
    MessageBox::setNextAnswer(MessageBox::Answer::Ok);
    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    save->click();
    QCOMPARE(MessageBox::shown().size(), 3);
    QCOMPARE(MessageBox::shown()[2].text, QStringLiteral("データを保存しました。"));
    QVERIFY(!save->isEnabled());

    tamso::records::PatientRecordState state;
    QVERIFY(tamso::records::loadPatientRecords(
                tamso::textio::fileInFolder(tamso::ui::workingFolderUtf8(), "R01.pat"), state)
                .ok());
    QCOMPARE(state.patientRecordCount, 2);
    const auto& first = state.PatientRecordTable[1];
    const auto& again = state.PatientRecordTable[2];
    QCOMPARE(again.examDate, first.examDate);
    QCOMPARE(again.technologist, first.technologist);
    QCOMPARE(again.fieldSize, first.fieldSize);
    QVERIFY(again.subjectThicknessCm == first.subjectThicknessCm);
    QVERIFY(again.tubeVoltageKv == first.tubeVoltageKv);
    QVERIFY(again.mAs == first.mAs);
    QVERIFY(again.entranceSurfaceDoseMGy == first.entranceSurfaceDoseMGy);
    QVERIFY(again.caregiverDoseUSv[0] == first.caregiverDoseUSv[0]);
    QVERIFY(again.caregiverDoseUSv[2] == first.caregiverDoseUSv[2]);
    QCOMPARE(again.caregiverDoseUSv[1].index(), 0u); // nothing stays nothing
}

QTEST_MAIN(TestRecordsRoundTrip)
#include "tst_recordsroundtrip.moc"
