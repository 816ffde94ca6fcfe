// The window "受信画像" from the start screen: the node's held images with their reasons and the
// images it recorded with their doses; a held image opened on the exposure-condition screen and
// completed through the report leaves the list for good. The dose report of a Data Save where the
// site asks for reports, and the reports waiting in the outbox with the command to send them now.
// With TAMSO_SCREENSHOT_DIR set, the start screen and the window are saved as pictures there.

#include "uitestsupport.h"

#include "../core/dicomtestfiles.h"
#include "node/dosereporter.h"
#include "node/imagelog.h"
#include "node/imageprocessor.h"
#include "node/nodefolders.h"
#include "node/outbox.h"
#include "ui/conditions/conditionsscreen.h"
#include "ui/kit/language.h"
#include "ui/kit/messagebox.h"
#include "ui/kit/uiutil.h"
#include "ui/records/receivedimageswindow.h"
#include "ui/records/receivedimagetexts.h"
#include "ui/shell/shell.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <set>

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

// The destination of the tests' reports: nothing listens there, so that every report stays waiting.
const char* const kClosedDestination = "PACS@127.0.0.1:1";

node::Outbox outbox() {
    return node::Outbox(node::nodeFolder(ui::workingFolderPath()));
}

std::set<std::string> waitingIds() {
    std::set<std::string> ids;
    const auto waiting = outbox().waiting();
    for (const node::OutboxEntry& e : *waiting)
        ids.insert(e.id);
    return ids;
}

void writeFile(const QString& name, const QByteArray& bytes) {
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// An image the node holds for want of its tube voltage, processed now.
std::string holdImage(const QTemporaryDir& dir, const char* id, const char* name) {
    node::ImageProcessor processor(ui::workingFolderPath());
    if (!processor.open().ok())
        return {};
    test::DicomImage image;
    image.set(DCM_PatientID, id).set(DCM_PatientName, name).remove(DCM_KVP);
    const std::string file = ui::utf8(dir.filePath(QStringLiteral("held.dcm")));
    image.save(std::filesystem::u8path(file));
    auto entry = processor.processImageFile(std::filesystem::u8path(file));
    return entry.ok() && entry->outcome == node::Outcome::Held ? entry->sopInstanceUid : std::string();
}

QWidget* focused() {
    return QApplication::focusWidget();
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
        // The node sends the report of each image it records (the screens' settings name no
        // destination yet: the report waits in the outbox).
        node::DoseReporter reporter(ui::workingFolderPath(), {*node::parseDestination(kClosedDestination)},
                                    false, "tamso-node");
        node::ImageProcessor processor(ui::workingFolderPath());
        processor.setRecordedHook(reporter.recordedHook());
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

    // The chosen image's reason whole under the list, the next step in one line, and the commands
    // reached with Tab from the list (the arrows stay in it).
    void chosenHeldImageSaysWhyAndWhatToDo() {
        auto* w = static_cast<ui::ReceivedImagesWindow*>(window("Form12"));
        const std::string reason = w->heldImages().at(0).reason;
        QCOMPARE(w->heldDetailText(), QStringLiteral("保留の理由: ") + ui::qs(reason));
        QVERIFY2(w->nextStepText().contains(QStringLiteral("条件入力画面で開く")),
                 qPrintable(w->nextStepText()));
        QVERIFY(control<QPushButton>("Form12", "Command5")->isEnabled());
        for (const char* name : {"Label6", "Label7", "Command5"}) {
            auto* c = control<QWidget>("Form12", name);
            QVERIFY2(c && !c->accessibleName().isEmpty(), name);
            QCOMPARE(c->accessibleDescription(), QLatin1String(name));
        }
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        control<QTableWidget>("Form12", "Grid1")->setFocus(Qt::TabFocusReason);
        QStringList walked;
        for (int i = 0; i < 4 && focused(); ++i) {
            QTest::keyClick(focused(), Qt::Key_Tab);
            walked << focused()->objectName();
        }
        QCOMPARE(walked, QStringLiteral("Label6 Label7 Command1 Command5").split(QLatin1Char(' ')));
        // The next step follows the reason: a name of another infant is checked, not typed over.
        QVERIFY(ui::nextStepText("患者ID「A」の氏名「B」が画像の氏名「C」と一致しません（別の患児の可能性）")
                    .contains(QStringLiteral("取り除く")));
        QVERIFY(ui::nextStepText("計算できません: x") !=
                ui::nextStepText("管電圧: KVP (0018,0060) がありません"));
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

    // Data Save with the working folder's report settings: the record is saved in every case; the
    // report is queued once where the settings name a destination, with the record's patient and
    // the source of its conditions, and otherwise the user is told why there is none.
    void dataSaveQueuesTheDoseReport_data() {
        QTest::addColumn<QByteArray>("settings"); // tamso-node.conf; empty: none
        QTest::addColumn<QString>("image");       // SOP Instance UID of the image imported; empty: typed
        QTest::addColumn<QString>("id");          // the ID typed on the report; empty: the image's
        QTest::addColumn<QString>("dose");        // typed on the report over the calculation's
        QTest::addColumn<bool>("diskRefuses");
        QTest::addColumn<QString>("source"); // in the report queued; empty: none queued
        QTest::addColumn<bool>("imageStudy");
        QTest::addColumn<QString>("message"); // shown after the save; empty: none
        const QByteArray base = QByteArray("aet = TAMSO_WS\nforward = ") + kClosedDestination + "\n";
        const QByteArray broken = base + "forwrd = PACS@127.0.0.1:2\n";
        const QByteArray conf = base + "report-delay = 0\n"; // each save's study reported at once
        const QString image = QStringLiteral("Computed From Image Attributes");
        const QString none;
        QTest::newRow("the image's infant")
            << conf << QStringLiteral("1.2.392.1.1") << none << none << false << image << true << none;
        QTest::newRow("the same image saved again: one report")
            << conf << QStringLiteral("1.2.392.1.1") << none << none << false << none << false << none;
        QTest::newRow("another ID typed over the image's")
            << conf << QStringLiteral("1.2.392.1.2") << QStringLiteral("S-02") << none << false << image
            << false << none;
        QTest::newRow("conditions typed") << conf << none << QStringLiteral("S-03") << none << false
                                          << QStringLiteral("Manual Entry") << false << none;
        QTest::newRow("no settings") << QByteArray() << QStringLiteral("1.2.392.1.4") << none << none << false
                                     << none << false << none;
        QTest::newRow("settings that cannot be read")
            << broken << QStringLiteral("1.2.392.1.5") << none << none << false << none << false
            << QStringLiteral("tamso-node.conf line 3: unknown key \"forwrd\"");
        QTest::newRow("the same settings again: said once")
            << broken << QStringLiteral("1.2.392.1.6") << none << none << false << none << false << none;
        QTest::newRow("the disk refuses the report")
            << conf << QStringLiteral("1.2.392.1.7") << none << none << true << none << false
            << QStringLiteral("記録は保存しましたが、この撮影の線量レポートは作成していません。");
        QTest::newRow("the dose typed over on the report")
            << conf << QStringLiteral("1.2.392.1.8") << none << QStringLiteral("0.001") << false << none
            << false << QStringLiteral("計算の後に報告書で変更されています");
    }

    void dataSaveQueuesTheDoseReport() {
        QFETCH(QByteArray, settings);
        QFETCH(QString, image);
        QFETCH(QString, id);
        QFETCH(QString, dose);
        QFETCH(bool, diskRefuses);
        QFETCH(QString, source);
        QFETCH(bool, imageStudy);
        QFETCH(QString, message);
        QFile::remove(QStringLiteral("tamso-node.conf"));
        if (!settings.isEmpty())
            writeFile(QStringLiteral("tamso-node.conf"), settings);
        const QString reports = ui::qs(outbox().folder().u8string()) + QStringLiteral("/reports");
        if (diskRefuses) { // no report can be kept: its folder is a file
            QVERIFY(QDir().rename(reports, reports + QStringLiteral(".aside")));
            writeFile(reports, "not a folder");
        }
        const std::set<std::string> before = waitingIds();

        if (window("Form1"))
            press("Form1", "Command1"); // the last case ends
        shell_->newCalculation();
        std::string imageStudyUid;
        if (!image.isEmpty()) {
            // Each image its own infant (a new record file), but the two saves of one image.
            const QString file = dir_.filePath(image + QStringLiteral(".dcm"));
            test::DicomImage()
                .set(DCM_SOPInstanceUID, ui::utf8(image))
                .set(DCM_StudyInstanceUID, ui::utf8(image) + ".1") // one image, one study and series
                .set(DCM_SeriesInstanceUID, ui::utf8(image) + ".2")
                .set(DCM_PatientID, "S-" + ui::utf8(image).substr(ui::utf8(image).rfind('.') + 1))
                .set(DCM_PatientName, "Sato^Rin")
                .save(std::filesystem::u8path(ui::utf8(file)));
            const auto header = node::reportInputFromImage(std::filesystem::u8path(ui::utf8(file)));
            QVERIFY2(header.ok(), header.ok() ? "" : header.error().message().c_str());
            imageStudyUid = header->studyInstanceUid;
            ui::ConditionsScreen::setDicomFileChooser([file](QWidget*) { return file; });
            press("Form1", "Command13");
            ui::ConditionsScreen::setDicomFileChooser(nullptr);
        }
        for (const char* command : {"Command2", "Command3", "Command4", "Command6"})
            press("Form1", command);
        if (!id.isEmpty()) {
            control<QLineEdit>("Form8", "Text1")->setText(id);
            control<QLineEdit>("Form8", "Text2")->setText(QStringLiteral("佐藤 凛"));
        }
        if (!dose.isEmpty())
            control<QLineEdit>("Form8", "Text10")->setText(dose);
        const QString patientId = control<QLineEdit>("Form8", "Text1")->text();
        press("Form8", "Command2");
        MessageBox::clearShown();
        if (!dose.isEmpty())
            MessageBox::setNextAnswer(MessageBox::Answer::Yes); // the dose typed over: saved as typed
        MessageBox::setNextAnswer(MessageBox::Answer::Ok);  // save?
        MessageBox::setNextAnswer(MessageBox::Answer::Yes); // the same exposure again: yes
        press("Form8", "Command6");
        if (diskRefuses) {
            QVERIFY(QFile::remove(reports));
            QVERIFY(QDir().rename(reports + QStringLiteral(".aside"), reports));
        }

        // The record stands whatever became of its report.
        QStringList texts;
        for (const auto& shown : MessageBox::shown())
            if (shown.kind != MessageBox::Kind::QuestionOkCancel &&
                shown.kind != MessageBox::Kind::QuestionYesNo)
                texts << shown.text;
        QVERIFY2(!texts.isEmpty() && texts.first() == QStringLiteral("データを保存しました。"),
                 qPrintable(texts.join(QLatin1Char('|'))));
        QCOMPARE(texts.size(), message.isEmpty() ? 1 : 2);
        if (!message.isEmpty()) {
            QVERIFY2(texts.last().contains(message), qPrintable(texts.last()));
            QCOMPARE(MessageBox::shown().last().icon, QMessageBox::Warning);
        }

        std::vector<node::OutboxEntry> added;
        const auto waiting = outbox().waiting();
        for (const node::OutboxEntry& e : *waiting)
            if (!before.count(e.id))
                added.push_back(e);
        QCOMPARE(added.size(), size_t(source.isEmpty() ? 0 : 1));
        if (source.isEmpty())
            return;
        QCOMPARE(ui::qs(added[0].destination), QString::fromLatin1(kClosedDestination));
        QVERIFY2(ui::qs(added[0].label).startsWith(patientId + QLatin1Char(' ')), added[0].label.c_str());
        DcmFileFormat report;
        QVERIFY(report.loadFile(outbox().reportPath(added[0]).c_str()).good());
        OFString value;
        report.getDataset()->findAndGetOFString(DCM_PatientID, value);
        QCOMPARE(QString::fromLatin1(value.c_str()), patientId);
        report.getDataset()->findAndGetOFString(DCM_StudyInstanceUID, value);
        QCOMPARE(value.c_str() == imageStudyUid, imageStudy);
        QFile file(ui::qs(outbox().reportPath(added[0]).u8string()));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains(source.toLatin1())); // Source of Dose Information
    }

    // The window lists what waits in the outbox, with the count; "今すぐ送信" makes every report due
    // at once and wakes the screens' sender.
    void waitingReportsListedAndSentNow() {
        QVERIFY(shell_->reportSender()); // started by the first report queued
        // Nothing listens at the destination: the sender's first try of each report fails.
        QTRY_VERIFY_WITH_TIMEOUT(
            [] {
                const auto waiting = outbox().waiting();
                return std::all_of(waiting->begin(), waiting->end(),
                                   [](const node::OutboxEntry& e) { return e.attempts >= 1; });
            }(),
            10000);
        shell_->reportSender()->stop(); // no further round: the entries stay as the window leaves them
        shell_->openReceivedImages();
        const auto waiting = outbox().waiting();
        const QTableWidget* reports = control<QTableWidget>("Form12", "Grid3");
        QCOMPARE(reports->rowCount(), int(waiting->size()));
        QCOMPARE(waiting->size(), size_t(4)); // the node's, and three of Data Save
        for (int row = 0; row < reports->rowCount(); ++row) {
            const node::OutboxEntry& e = waiting->at(size_t(row));
            QCOMPARE(cell(reports, row, 0), ui::qs(e.label));
            QCOMPARE(cell(reports, row, 1), QString::fromLatin1(kClosedDestination));
            QCOMPARE(cell(reports, row, 3), QStringLiteral("1"));
            QVERIFY(!cell(reports, row, 5).isEmpty()); // why it failed
            QCOMPARE(reports->item(row, 5)->toolTip(), cell(reports, row, 5));
            QVERIFY(e.nextAttempt > QDateTime::currentSecsSinceEpoch());
        }
        QCOMPARE(control<QLabel>("Form12", "Label5")->text(), QStringLiteral("送信待ちの線量レポート: 4 件"));
        saveScreenshot(window("Form12"), "receivedimages-reports.png");

        // Sending now while the destination is down: every report tried, the result said, and the
        // automatic tries stay where they were (pressing twice changes nothing).
        auto* w = static_cast<ui::ReceivedImagesWindow*>(window("Form12"));
        for (int pressing = 0; pressing < 2; ++pressing) {
            press("Form12", "Command4");
            QTRY_VERIFY_WITH_TIMEOUT(!w->sending(), 20000);
            QVERIFY2(w->reportStatusText().startsWith(QStringLiteral("今すぐ送信: 送信 0 件、失敗 4 件（")),
                     qPrintable(w->reportStatusText()));
            QVERIFY(w->reportStatusText().contains(QString::fromLatin1(kClosedDestination)));
            const auto after = outbox().waiting();
            for (size_t i = 0; i < after->size(); ++i) {
                QCOMPARE(after->at(i).attempts, waiting->at(i).attempts);
                QCOMPARE(after->at(i).nextAttempt, waiting->at(i).nextAttempt);
            }
        }
        // One form of date and time in the window: the log's, the outbox's and the exam date.
        QCOMPARE(cell(reports, 0, 4), ui::outboxTimeText(outbox().waiting()->front().nextAttempt));
        const QRegularExpression form(QStringLiteral("^\\d{4}/\\d{2}/\\d{2}( \\d{2}:\\d{2}:\\d{2})?$"));
        const QTableWidget* recent = control<QTableWidget>("Form12", "Grid2");
        for (const QString& shown :
             {cell(reports, 0, 2), cell(reports, 0, 4), cell(recent, 0, 0), cell(recent, 0, 3)})
            QVERIFY2(form.match(shown).hasMatch(), qPrintable(shown));
    }

    // In the English interface the node's reasons, the next step and the errors are English; the
    // values (IDs, attribute names) stay. Then an image sent by mistake is set aside.
    void heldReasonsInEnglish() {
        QVERIFY(!holdImage(dir_, "E-01", "Ito^Mei").empty());
        QVERIFY(ui::installLanguage(ui::Language::English));
        {
            ui::ReceivedImagesWindow english;
            english.open();
            QCOMPARE(english.heldImages().size(), size_t(1));
            english.heldTable()->selectRow(0);
            const QRegularExpression japanese(
                QStringLiteral("[\\x{3000}-\\x{30FF}\\x{4E00}-\\x{9FFF}\\x{FF01}-\\x{FF9F}]"));
            const QStringList shown{cell(english.heldTable(), 0, 5), english.heldDetailText(),
                                    english.nextStepText(), cell(english.reportTable(), 0, 5),
                                    ui::nodeText("PACS@h:1: PACS@h:1 と接続できません: x")};
            for (const QString& text : shown)
                QVERIFY2(!text.isEmpty() && !japanese.match(text).hasMatch(), qPrintable(text));
            QVERIFY2(english.heldDetailText().contains(QStringLiteral("KVP (0018,0060)")),
                     qPrintable(english.heldDetailText()));
            saveScreenshot(&english, "receivedimages-en.png");
        }
        QVERIFY(ui::installLanguage(ui::Language::Japanese));
    }

    void imageSentByMistakeIsSetAsideWithWhoAndWhy() {
        shell_->openReceivedImages();
        auto* w = static_cast<ui::ReceivedImagesWindow*>(window("Form12"));
        QCOMPARE(w->heldImages().size(), size_t(1));
        const node::ImageEntry held = w->heldImages().at(0);
        w->heldTable()->selectRow(0);
        // The dialog refuses an empty reason, then sets the image aside.
        MessageBox::clearShown();
        QTimer::singleShot(0, [] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QStringLiteral("佐藤"));
            dialog->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
            QVERIFY(dialog->isVisible());
            dialog->findChild<QLineEdit*>(QStringLiteral("Text2"))->setText(QStringLiteral("別の患者の画像"));
            dialog->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
        });
        press("Form12", "Command5");
        QCOMPARE(MessageBox::shown().size(), 1);
        QVERIFY(MessageBox::shown().first().text.contains(QStringLiteral("理由")));
        QCOMPARE(w->heldTable()->rowCount(), 0);
        QCOMPARE(cell(w->recentTable(), 0, 1), QStringLiteral("E-01"));
        QCOMPARE(cell(w->recentTable(), 0, 7), QStringLiteral("取り除き（記録しない）"));
        QVERIFY(w->recentTable()->item(0, 7)->toolTip().contains(QStringLiteral("佐藤")));
        QVERIFY(!QFile::exists(ui::qs(node::heldHeaderFile(ui::workingFolderPath(), held).u8string())));
    }

    // Enter on a held image's row opens it on the exposure-condition screen, as the command does.
    void enterOnAHeldImageOpensIt() {
        QVERIFY(!holdImage(dir_, "K-01", "Kagi^Yuki").empty());
        if (QWidget* conditions = window("Form1"))
            conditions->hide();
        shell_->openReceivedImages();
        auto* w = static_cast<ui::ReceivedImagesWindow*>(window("Form12"));
        QVERIFY(w);
        QCOMPARE(w->heldTable()->rowCount(), 1);
        QCOMPARE(cell(w->heldTable(), 0, 1), QStringLiteral("K-01"));
        w->heldTable()->selectRow(0);
        w->heldTable()->setFocus(Qt::TabFocusReason);
        MessageBox::clearShown();
        QTest::keyClick(w->heldTable(), Qt::Key_Return);
        QVERIFY(window("Form1"));
        QVERIFY(!MessageBox::shown().isEmpty());
        QVERIFY2(MessageBox::shown().last().text.contains(QStringLiteral("管電圧")),
                 qPrintable(MessageBox::shown().last().text));
        QCOMPARE(control<QLineEdit>("Form1", "Text6")->text(), QStringLiteral("1.6"));
        QVERIFY(control<QLineEdit>("Form1", "Text5")->text().isEmpty());
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
