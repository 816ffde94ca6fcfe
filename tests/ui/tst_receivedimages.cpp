// The window "受信画像" from the start screen: the node's held images with their reasons and the
// images it recorded with their doses; a held image opened on the exposure-condition screen and
// completed through the report leaves the list for good. With TAMSO_SCREENSHOT_DIR set, the start
// screen and the window are saved as pictures there.

#include "uitestsupport.h"

#include "../core/dicomtestfiles.h"
#include "node/imagelog.h"
#include "node/imageprocessor.h"
#include "ui/kit/messagebox.h"
#include "ui/kit/uiutil.h"
#include "ui/records/receivedimageswindow.h"
#include "ui/shell/shell.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include <memory>

using namespace tamso;
using ui::MessageBox;

namespace {

QWidget* window(const char* name) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String(name) && w->isVisible())
            return w;
    return nullptr;
}

template <typename T> T* control(const char* form, const char* name) {
    QWidget* w = window(form);
    return w ? w->findChild<T*>(QLatin1String(name)) : nullptr;
}

void press(const char* form, const char* name) {
    auto* button = control<QPushButton>(form, name);
    QVERIFY2(button, name);
    QVERIFY2(button->isEnabled(), name);
    button->click();
}

QString cell(const QTableWidget* table, int row, int column) {
    const QTableWidgetItem* item = table->item(row, column);
    return item ? item->text() : QString();
}

void saveScreenshot(QWidget* w, const char* file) {
    const QString folder = qEnvironmentVariable("TAMSO_SCREENSHOT_DIR");
    if (!folder.isEmpty() && w)
        w->grab().save(QDir(folder).filePath(QLatin1String(file)));
}

} // namespace

class ReceivedImagesTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(uitest::prepareWorkingFolder(dir_));
        ui::installFontSubstitutions();
        const QDir data(QStringLiteral(TAMSO_SOURCE_DIR "/data"));
        for (const char* name : {"DICOM撮影部位.txt", "撮影部位.txt", "被写体厚既定値.txt"}) {
            QFile::remove(QString::fromUtf8(name));
            QVERIFY(QFile::copy(data.filePath(QString::fromUtf8(name)), QString::fromUtf8(name)));
        }
        // What the node received: one image recorded, one held for want of its tube voltage.
        node::ImageProcessor processor(ui::workingFolderPath());
        QVERIFY(processor.open().ok());
        test::DicomImage recorded;
        recorded.set(DCM_PatientID, "R-01").set(DCM_PatientName, "Mori^Aoi");
        recorded.save(std::filesystem::path(ui::utf8(dir_.filePath(QStringLiteral("r.dcm")))));
        auto entry = processor.processImageFile(ui::utf8(dir_.filePath(QStringLiteral("r.dcm"))));
        QVERIFY(entry.ok() && entry->outcome == node::Outcome::Recorded);
        recordedDose_ = ui::qs(entry->doseMGy);
        test::DicomImage held;
        held.set(DCM_PatientID, "H-01").set(DCM_PatientName, "Hoshi^Rina").remove(DCM_KVP);
        held.save(std::filesystem::path(ui::utf8(dir_.filePath(QStringLiteral("h.dcm")))));
        entry = processor.processImageFile(ui::utf8(dir_.filePath(QStringLiteral("h.dcm"))));
        QVERIFY(entry.ok() && entry->outcome == node::Outcome::Held);
        heldUid_ = ui::qs(entry->sopInstanceUid);

        shell_ = std::make_unique<ui::Shell>();
        shell_->quitProgram = [] {};
        QVERIFY(shell_->start());
    }

    void listsHeldAndRecordedImages() {
        saveScreenshot(window("Form2"), "form2.png");
        press("Form2", "Command6");
        QVERIFY(window("Form12"));
        const QTableWidget* held = control<QTableWidget>("Form12", "Grid1");
        const QTableWidget* recent = control<QTableWidget>("Form12", "Grid2");
        QCOMPARE(held->rowCount(), 1);
        QCOMPARE(cell(held, 0, 1), QStringLiteral("H-01"));
        QCOMPARE(cell(held, 0, 2), QStringLiteral("Hoshi Rina"));
        QVERIFY2(cell(held, 0, 5).contains(QStringLiteral("管電圧")), qPrintable(cell(held, 0, 5)));
        QCOMPARE(recent->rowCount(), 1);
        QCOMPARE(cell(recent, 0, 1), QStringLiteral("R-01"));
        QCOMPARE(cell(recent, 0, 5), recordedDose_);
        QCOMPARE(cell(recent, 0, 6), QStringLiteral("1"));
        // Nothing to open before a held image is chosen.
        QVERIFY(!control<QPushButton>("Form12", "Command1")->isEnabled());
        control<QTableWidget>("Form12", "Grid1")->selectRow(0);
        saveScreenshot(window("Form12"), "receivedimages.png");
    }

    void heldImageCompletedThroughTheReportLeavesTheList() {
        MessageBox::clearShown();
        press("Form12", "Command1");
        QVERIFY(window("Form1"));
        // The import says what the image lacks; the radiographer types the tube voltage.
        QVERIFY(!MessageBox::shown().isEmpty());
        QVERIFY2(MessageBox::shown().last().text.contains(QStringLiteral("管電圧")),
                 qPrintable(MessageBox::shown().last().text));
        QCOMPARE(control<QLineEdit>("Form1", "Text6")->text(), QStringLiteral("1.6"));
        control<QLineEdit>("Form1", "Text5")->setText(QStringLiteral("60"));
        for (const char* command : {"Command2", "Command3", "Command4", "Command6"}) // calculation to report
            press("Form1", command);
        QVERIFY(window("Form8"));
        QCOMPARE(control<QLineEdit>("Form8", "Text1")->text(), QStringLiteral("H-01"));
        QCOMPARE(control<QLineEdit>("Form8", "Text2")->text(), QStringLiteral("Hoshi Rina"));
        press("Form8", "Command2");
        MessageBox::setNextAnswer(MessageBox::Answer::Ok);
        press("Form8", "Command6");
        QCOMPARE(MessageBox::shown().last().text, QStringLiteral("データを保存しました。"));

        const QTableWidget* held = control<QTableWidget>("Form12", "Grid1");
        const QTableWidget* recent = control<QTableWidget>("Form12", "Grid2");
        QCOMPARE(held->rowCount(), 0);
        QCOMPARE(cell(recent, 0, 1), QStringLiteral("H-01"));
        QCOMPARE(cell(recent, 0, 5), control<QLineEdit>("Form8", "Text10")->text());
        QCOMPARE(cell(recent, 0, 7), QStringLiteral("報告書から記録"));
        auto listed = node::listReceivedImages(ui::workingFolderPath());
        QVERIFY(listed.ok() && listed->held.empty());
        QCOMPARE(ui::qs(listed->recent.at(0).sopInstanceUid), heldUid_);

        // A second save of the same case adds a record, but resolves nothing more.
        press("Form8", "Command2");
        MessageBox::setNextAnswer(MessageBox::Answer::Ok);
        press("Form8", "Command6");
        listed = node::listReceivedImages(ui::workingFolderPath());
        QCOMPARE(listed->recent.at(0).recordNumber, 1);
    }

    void cleanupTestCase() { shell_.reset(); }

private:
    QTemporaryDir dir_;
    std::unique_ptr<ui::Shell> shell_;
    QString recordedDose_;
    QString heldUid_;
};

QTEST_MAIN(ReceivedImagesTest)
#include "tst_receivedimages.moc"
