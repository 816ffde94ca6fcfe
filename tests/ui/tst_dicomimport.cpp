// "DICOM読込" on the exposure-condition screen, driven through the real windows with DICOM files
// written by the test: the filled and marked fields, the one message for what an image lacks,
// files that change nothing, DICOMDIRs, and the patient handed on to the report.

#include "uitestsupport.h"

#include "../core/dicomtestfiles.h"
#include "engine/calculationstate.h"
#include "textio/codec.h"
#include "ui/conditions/conditionsscreen.h"
#include "ui/kit/language.h"
#include "ui/kit/messagebox.h"
#include "ui/kit/uiutil.h"
#include "ui/report/reportscreen.h"
#include "ui/shell/shell.h"
#include "ui/shell/startscreen.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <filesystem>
#include <fstream>
#include <memory>

using namespace tamso;
using test::DicomImage;
using ui::MessageBox;

namespace {

namespace fs = std::filesystem;

const std::string kEscKanji = "\x1B$B";
const std::string kEscAscii = "\x1B(B";
// "Yamada^Hanako=山田^花子" in ISO 2022 IR 87.
const std::string kYamadaHanako =
    "Yamada^Hanako=" + kEscKanji + ";3ED" + kEscAscii + "^" + kEscKanji + "2V;R" + kEscAscii;

QString dateText(int year, int month, int day) {
    return ui::shortDateText(QDate(year, month, day));
}

void writeBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// A rectangular collimator of 25 x 22.5 cm at the detector: columns 101..2100 at 0.125 mm, rows
// 201..1700 at 0.15 mm.
DicomImage& collimated(DicomImage& image) {
    return image.set(DCM_CollimatorShape, "RECTANGULAR")
        .set(DCM_CollimatorLeftVerticalEdge, "101")
        .set(DCM_CollimatorRightVerticalEdge, "2100")
        .set(DCM_CollimatorUpperHorizontalEdge, "201")
        .set(DCM_CollimatorLowerHorizontalEdge, "1700")
        .set(DCM_ImagerPixelSpacing, "0.15\\0.125");
}

} // namespace

class DicomImportTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<ui::Shell> shell_;
    QString chosenFile_;
    QStringList offeredImages_;
    int chosenImage_ = 0;

    ui::ConditionsScreen* form1() const { return shell_->conditionsScreen(); }
    template <typename T> T* child(const char* name) const {
        return form1()->findChild<T*>(QString::fromLatin1(name));
    }
    QLineEdit* text(const char* name) const { return child<QLineEdit>(name); }
    QComboBox* bodyPart() const { return child<QComboBox>("Combo2"); }
    QDateEdit* date() const { return child<QDateEdit>("DTPicker1"); }
    fs::path file(const char* name) const {
        return fs::u8path(ui::utf8(dir_->filePath(QString::fromUtf8(name))));
    }

    void importFile(const fs::path& path) {
        chosenFile_ = ui::qs(path.u8string());
        QTest::mouseClick(child<QPushButton>("Command13"), Qt::LeftButton);
    }

    // What the user sees in the inputs, the body part and the date.
    QStringList inputsShown() const {
        QStringList shown;
        for (const char* name : {"Text1", "Text2", "Text3", "Text4", "Text5", "Text6", "Text8", "Text23",
                                 "Text9", "Text10", "Text11"})
            shown << text(name)->text();
        shown << bodyPart()->currentText() << date()->date().toString(Qt::ISODate);
        return shown;
    }
    QList<QWidget*> marked() const {
        QList<QWidget*> controls;
        for (QWidget* w : form1()->findChildren<QWidget*>())
            if (form1()->isFilledFromDicom(w))
                controls << w;
        return controls;
    }
    void expectMarked(QWidget* control, bool on) {
        QVERIFY2(form1()->isFilledFromDicom(control) == on, qPrintable(control->objectName()));
        QCOMPARE(control->property("filledFromDicom").toBool(), on);
        QCOMPARE(control->toolTip().startsWith(QStringLiteral("DICOMから入力")), on);
        QCOMPARE(control->palette().color(QPalette::Base) == QColor(0xff, 0xf3, 0xbf), on);
    }

    void grab(QWidget* window, const char* name) {
        const QString folder = qEnvironmentVariable("TAMSO_SCREENSHOT_DIR");
        if (!folder.isEmpty())
            QVERIFY(window->grab().save(QDir(folder).filePath(QString::fromLatin1(name))));
    }

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(uitest::prepareWorkingFolder(*dir_));
        for (const QString& name : {QStringLiteral("DICOM撮影部位.txt"), QStringLiteral("被写体厚既定値.txt")})
            QFile::copy(QStringLiteral(TAMSO_SOURCE_DIR "/data/") + name, dir_->filePath(name));
        ui::ConditionsScreen::setDicomFileChooser([this](QWidget*) { return chosenFile_; });
        offeredImages_.clear();
        chosenImage_ = 0;
        ui::ConditionsScreen::setDicomImageChooser([this](QWidget*, const QStringList& images) {
            offeredImages_ = images;
            return chosenImage_;
        });
        shell_ = std::make_unique<ui::Shell>();
        shell_->quitProgram = [] {};
        QVERIFY(shell_->start());
        QTest::mouseClick(shell_->startScreen()->findChild<QPushButton*>(QStringLiteral("Command1")),
                          Qt::LeftButton);
        QVERIFY(form1() && form1()->isVisible());
    }
    void cleanup() {
        shell_.reset();
        ui::ConditionsScreen::setDicomFileChooser(nullptr);
        ui::ConditionsScreen::setDicomImageChooser(nullptr);
        dir_.reset();
    }

    void commandStandsBesideTheDate() {
        auto* command = child<QPushButton>("Command13");
        QVERIFY(command);
        QCOMPARE(command->text(), QStringLiteral("DICOM読込"));
        QCOMPARE(command->accessibleName(), QStringLiteral("DICOM読込"));
        QCOMPARE(command->parentWidget(), static_cast<QWidget*>(form1())); // in the heading, not in a group
        QVERIFY(command->geometry().top() < date()->geometry().bottom());
        QVERIFY(command->geometry().left() > date()->geometry().right());
    }

    void importFillsMarksAndHandsThePatientToTheReport() {
        DicomImage image;
        image.set(DCM_SpecificCharacterSet, "\\ISO 2022 IR 87").set(DCM_PatientName, kYamadaHanako);
        collimated(image).save(file("chest.dcm"));
        importFile(file("chest.dcm"));

        QVERIFY2(MessageBox::shown().isEmpty(),
                 MessageBox::shown().isEmpty() ? "" : qPrintable(MessageBox::shown().first().text));
        QCOMPARE(text("Text5")->text(), QStringLiteral("60"));
        QCOMPARE(text("Text6")->text(), QStringLiteral("1.6"));
        QCOMPARE(text("Text8")->text(), QStringLiteral("100"));
        QCOMPARE(bodyPart()->currentText(), QStringLiteral("胸部正面"));
        QCOMPARE(date()->date(), QDate(2024, 5, 1));
        // The collimated field, as a field size of its own.
        QCOMPARE(child<QComboBox>("Combo1")->currentText(), QStringLiteral("その他"));
        QCOMPARE(text("Text10")->text(), QStringLiteral("25"));
        QCOMPARE(text("Text11")->text(), QStringLiteral("22.5"));
        // The state holds the values as if the user had typed them.
        QCOMPARE(shell_->calculationState().tubeVoltageKv, 60.0);
        QCOMPARE(shell_->calculationState().mAs, 1.6);
        QCOMPARE(shell_->calculationState().ffdCm, 100.0);
        QCOMPARE(shell_->calculationState().fieldLongCm, 25.0);
        QCOMPARE(shell_->calculationState().fieldShortCm, 22.5);
        for (QWidget* w : {static_cast<QWidget*>(text("Text5")), static_cast<QWidget*>(text("Text6")),
                           static_cast<QWidget*>(text("Text8")), static_cast<QWidget*>(text("Text10")),
                           static_cast<QWidget*>(text("Text11")), static_cast<QWidget*>(bodyPart()),
                           static_cast<QWidget*>(date())})
            expectMarked(w, true);
        QCOMPARE(marked().size(), 8); // and the thickness, the site's for the body part
        QCOMPARE(text("Text5")->toolTip(), QStringLiteral("DICOMから入力（KVP (0018,0060)）"));
        QCOMPARE(text("Text6")->toolTip(), QStringLiteral("DICOMから入力（ExposureInuAs (0018,1153)）"));
        QCOMPARE(
            text("Text10")->toolTip(),
            QStringLiteral("DICOMから入力（Collimator (0018,1700-1708) x ImagerPixelSpacing (0018,1164)）"));
        grab(form1(), "form1-dicom.png");

        const ui::ReportFields fields = form1()->reportFields();
        QCOMPARE(fields.id, QStringLiteral("N-0001"));
        QCOMPARE(fields.name, QStringLiteral("山田 花子"));
        QCOMPARE(fields.examDate, dateText(2024, 5, 1));

        // Calculation, caregiver estimate and the report: ID, name and date from the image.
        for (const char* command : {"Command2", "Command3", "Command4", "Command6"})
            QTest::mouseClick(child<QPushButton>(command), Qt::LeftButton);
        QVERIFY(MessageBox::shown().isEmpty());
        ui::ReportScreen* report = shell_->reportScreen();
        QVERIFY(report && report->isVisible());
        auto reportText = [report](const char* name) {
            return report->findChild<QLineEdit*>(QString::fromLatin1(name))->text();
        };
        QCOMPARE(reportText("Text1"), QStringLiteral("N-0001"));
        QCOMPARE(reportText("Text2"), QStringLiteral("山田 花子"));
        QCOMPARE(reportText("Text3"), dateText(2024, 5, 1));
        QCOMPARE(reportText("Text4"), QStringLiteral("胸部正面"));
        QCOMPARE(reportText("Text5"), QStringLiteral("60"));
        QCOMPARE(reportText("Text6"), QStringLiteral("1.6"));
        QCOMPARE(reportText("Text7"), QStringLiteral("100"));
        QCOMPARE(reportText("Text10"), text("Text20")->text());
    }

    // An image whose ID has a record file under a name that is none of the image's name groups is
    // warned about once, at the hand-over, before the stored name replaces the image's.
    void storedNameOfAnotherInfantIsWarnedAbout_data() {
        QTest::addColumn<QString>("storedName"); // empty: no record file
        QTest::addColumn<bool>("warned");
        QTest::newRow("no record file") << QString() << false;
        QTest::newRow("ideographic group") << QStringLiteral("山田　花子") << false;
        QTest::newRow("alphabetic group") << QStringLiteral("YAMADA HANAKO") << false;
        QTest::newRow("another infant") << QStringLiteral("鈴木 一郎") << true;
        QTest::newRow("family name only") << QStringLiteral("山田") << true;
    }
    void storedNameOfAnotherInfantIsWarnedAbout() {
        QFETCH(QString, storedName);
        QFETCH(bool, warned);
        if (!storedName.isEmpty()) {
            QFile record(dir_->filePath(QStringLiteral("N-0001.pat")));
            QVERIFY(record.open(QIODevice::WriteOnly));
            record.write(QByteArray::fromStdString(*textio::utf8ToSjis(
                ui::utf8(storedName) + "\r\n1\r\n2024/04/01\r\n佐藤\r\n胸部正面\r\n8\r\n装置\r\n60\r\n2\r\n"
                                       "100\r\n六切サイズ\r\n .1 \r\n\r\n\r\n\r\n")));
        }
        DicomImage image;
        image.set(DCM_SpecificCharacterSet, "\\ISO 2022 IR 87").set(DCM_PatientName, kYamadaHanako);
        collimated(image).save(file("named.dcm"));
        importFile(file("named.dcm"));
        for (const char* command : {"Command2", "Command3", "Command4", "Command6"})
            QTest::mouseClick(child<QPushButton>(command), Qt::LeftButton);
        ui::ReportScreen* report = shell_->reportScreen();
        QVERIFY(report);
        QCOMPARE(MessageBox::shown().size(), warned ? 1 : 0);
        if (warned) {
            QCOMPARE(MessageBox::shown().first().kind, MessageBox::Kind::Warning);
            const QString& message = MessageBox::shown().first().text;
            for (const QString& part : {QStringLiteral("N-0001"), storedName, QStringLiteral("山田 花子")})
                QVERIFY2(message.contains(part), qPrintable(message));
        }
        auto* id = report->findChild<QLineEdit*>(QStringLiteral("Text1"));
        auto* name = report->findChild<QLineEdit*>(QStringLiteral("Text2"));
        QCOMPARE(name->text(), QStringLiteral("山田 花子")); // not replaced before the ID is left
        QFocusEvent leaving(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(id, &leaving); // the user leaves the ID field
        QCOMPARE(name->text(), storedName.isEmpty() ? QStringLiteral("山田 花子") : storedName);
        QCOMPARE(MessageBox::shown().size(), warned ? 1 : 0); // once for the ID
    }

    // Marking a control changes its background only: its font and size stay as they were before
    // any import, after the first and after the next.
    void markingKeepsFontAndSize() {
        form1()->show();
        QCoreApplication::processEvents();
        const QList<QWidget*> controls = {text("Text5"), text("Text6"), text("Text8"), bodyPart(), date()};
        auto looks = [&] {
            QStringList shown;
            for (QWidget* w : controls)
                shown << QStringLiteral("%1 %2 %3x%4 %5x%6")
                             .arg(w->objectName(), w->font().toString())
                             .arg(w->sizeHint().width())
                             .arg(w->sizeHint().height())
                             .arg(w->width())
                             .arg(w->height());
            return shown;
        };
        const QStringList before = looks();
        DicomImage().save(file("chest.dcm"));
        for (int import = 1; import <= 2; ++import) {
            importFile(file("chest.dcm"));
            QCoreApplication::processEvents();
            QCOMPARE(marked().size(), 6); // kV, mAs, FFD, thickness, body part, date
            QCOMPARE(looks(), before);
        }
        QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton); // back: the marks go
        QCOMPARE(marked().size(), 0);
        QCOMPARE(looks(), before);
    }

    void editingAFieldClearsOnlyItsMark() {
        DicomImage().save(file("chest.dcm"));
        importFile(file("chest.dcm"));
        QCOMPARE(marked().size(), 6);

        text("Text6")->setFocus();
        text("Text6")->selectAll();
        QTest::keyClicks(text("Text6"), QStringLiteral("2"));
        QCOMPARE(text("Text6")->text(), QStringLiteral("2"));
        expectMarked(text("Text6"), false);
        expectMarked(text("Text5"), true);

        bodyPart()->lineEdit()->setFocus();
        QTest::keyClicks(bodyPart()->lineEdit(), QStringLiteral("X"));
        expectMarked(bodyPart(), false);

        date()->setFocus();
        QTest::keyClick(date(), Qt::Key_Up);
        QVERIFY(date()->date() != QDate(2024, 5, 1));
        expectMarked(date(), false);
        QCOMPARE(marked().size(), 3); // Text5, Text8 and the thickness
        QCOMPARE(form1()->reportFields().id, QStringLiteral("N-0001")); // the patient stays
    }

    // What the image lacks is emptied and marked, never kept from the exposure typed before, and
    // listed in one message; the calculation refuses until it is typed.
    void whatTheImageLacksIsEmptiedMarkedAndListed() {
        text("Text5")->setText(QStringLiteral("55"));
        text("Text8")->setText(QStringLiteral("90"));
        DicomImage()
            .remove(DCM_KVP)
            .remove(DCM_DistanceSourceToDetector)
            .remove(DCM_PatientName)
            .remove(DCM_AcquisitionDate)
            .remove(DCM_StudyDate)
            .set(DCM_BodyPartExamined, "HAND")
            .save(file("hand.dcm"));
        importFile(file("hand.dcm"));

        QCOMPARE(MessageBox::shown().size(), 1);
        QCOMPARE(MessageBox::shown().first().kind, MessageBox::Kind::Warning);
        QCOMPARE(
            MessageBox::shown().first().text,
            QStringLiteral(
                "DICOM画像に次の項目がありません。空欄は入力してから計算してください。\n"
                "・Ｘ線管電圧：KVP (0018,0060) がありません\n"
                "・焦点-受像器間距離（FFD）：DistanceSourceToDetector (0018,1110) がありません\n"
                "・被写体厚：BodyPartThickness (0018,11A0) がありません、撮影部位がわからないため記録と既定値も使えません\n"
                "・照射野サイズ：CollimatorShape (0018,1700) がありません（既定の六切サイズを使用）\n"
                "・照射部位：対応表 DICOM撮影部位.txt にありません（BodyPartExamined (0018,0015) 'HAND'、"
                "ViewPosition 'AP'）\n"
                "・撮影日：AcquisitionDate (0008,0022)、ContentDate (0008,0023)、StudyDate (0008,0020) "
                "がありません\n"
                "・氏名：PatientName (0010,0010) がありません"));
        for (QWidget* w : {static_cast<QWidget*>(text("Text5")), static_cast<QWidget*>(text("Text8")),
                           static_cast<QWidget*>(text("Text23")), static_cast<QWidget*>(bodyPart()),
                           static_cast<QWidget*>(date())})
            QVERIFY2(form1()->isMissingFromDicom(w), qPrintable(w->objectName()));
        QCOMPARE(text("Text5")->text(), QString());
        QCOMPARE(text("Text8")->text(), QString());
        QCOMPARE(bodyPart()->currentText(), QString());
        QCOMPARE(form1()->reportFields().examDate, QString());
        QCOMPARE(text("Text6")->text(), QStringLiteral("1.6"));
        QCOMPARE(marked(), QList<QWidget*>{text("Text6")});
        QCOMPARE(form1()->reportFields().id, QStringLiteral("N-0001"));
        grab(form1(), "form1-dicom-missing.png");

        MessageBox::clearShown();
        QTest::mouseClick(child<QPushButton>("Command2"), Qt::LeftButton);
        QCOMPARE(MessageBox::shown().size(), 1); // refused: the tube voltage is empty
        QVERIFY(!child<QPushButton>("Command3")->isEnabled());
        text("Text5")->setFocus();
        QTest::keyClicks(text("Text5"), QStringLiteral("60"));
        QVERIFY(!form1()->isMissingFromDicom(text("Text5")));
    }

    // A file that cannot be used says why and leaves the screen, the marks and the patient of an
    // earlier import as they were.
    void unusableFilesChangeNothing() {
        DicomImage().save(file("chest.dcm"));
        importFile(file("chest.dcm"));
        text("Text5")->setText(QStringLiteral("58"));
        MessageBox::clearShown();
        const QStringList shown = inputsShown();
        const QList<QWidget*> marks = marked();

        QFile notes(dir_->filePath(QStringLiteral("notes.txt")));
        QVERIFY(notes.open(QIODevice::WriteOnly));
        notes.write("KVP 60\r\n");
        notes.close();
        DicomImage().makeCt().save(file("ct.dcm"));
        fs::create_directories(file("cd") / "IMG");
        DicomImage().makeCt().save(file("cd") / "IMG" / "CT1");
        test::writeDicomDir(file("cd"), {"IMG/CT1"});
        const struct {
            fs::path path;
            QString message;
        } cases[] = {
            {file("notes.txt"), QStringLiteral("notes.txt は DICOM ファイルではありません。")},
            {file("ct.dcm"),
             QStringLiteral("ct.dcm は一般撮影（CR・DX）の画像ではありません（Modality: CT）。")},
            {file("none.dcm"), QStringLiteral("none.dcm を開けません。")},
            {file("cd") / "DICOMDIR", QStringLiteral("DICOMDIR には一般撮影（CR・DX）の画像がありません。")},
        };
        for (const auto& c : cases) {
            importFile(c.path);
            QCOMPARE(MessageBox::shown().size(), 1);
            QCOMPARE(MessageBox::shown().first().kind, MessageBox::Kind::Warning);
            QCOMPARE(MessageBox::shown().first().text, c.message);
            QCOMPARE(inputsShown(), shown);
            QCOMPARE(marked(), marks);
            QCOMPARE(form1()->reportFields().id, QStringLiteral("N-0001"));
            MessageBox::clearShown();
        }
        // A cancelled dialog does nothing at all.
        chosenFile_.clear();
        QTest::mouseClick(child<QPushButton>("Command13"), Qt::LeftButton);
        QVERIFY(MessageBox::shown().isEmpty());
        QCOMPARE(inputsShown(), shown);
    }

    void dicomDirOffersItsRadiographs() {
        const fs::path cd = file("cd");
        fs::create_directories(cd / "IMG");
        DicomImage().set(DCM_KVP, "52").set(DCM_PatientID, "P1").save(cd / "IMG" / "IM1");
        DicomImage().makeCt().save(cd / "IMG" / "CT1");
        DicomImage()
            .set(DCM_KVP, "64")
            .set(DCM_PatientID, "P2")
            .set(DCM_BodyPartExamined, "ABDOMEN")
            .save(cd / "IMG" / "IM2");
        test::writeDicomDir(cd, {"IMG/IM1", "IMG/CT1", "IMG/IM2"});

        chosenImage_ = -1; // cancelled: nothing changes
        const QStringList shown = inputsShown();
        importFile(cd / "DICOMDIR");
        QCOMPARE(offeredImages_.size(), 2); // the CT image is not offered
        QCOMPARE(offeredImages_[0],
                 dateText(2024, 5, 1) + QStringLiteral("  P1  Yamada Hanako  CHEST AP  52 kV  (IMG/IM1)"));
        QVERIFY(offeredImages_[1].endsWith(QStringLiteral("ABDOMEN AP  64 kV  (IMG/IM2)")));
        QCOMPARE(inputsShown(), shown);

        chosenImage_ = 1;
        importFile(cd / "DICOMDIR");
        QCOMPARE(MessageBox::shown().size(), 1); // only that the image has no field
        QCOMPARE(MessageBox::shown().first().text,
                 QStringLiteral("DICOM画像に次の項目がありません。空欄は入力してから計算してください。\n"
                                "・照射野サイズ：CollimatorShape (0018,1700) がありません（既定の六切サイズを使用）"));
        QCOMPARE(text("Text5")->text(), QStringLiteral("64"));
        QCOMPARE(bodyPart()->currentText(), QStringLiteral("腹部正面"));
        QCOMPARE(form1()->reportFields().id, QStringLiteral("P2"));

        // A DICOMDIR with one radiograph imports it without asking.
        const fs::path single = file("single");
        fs::create_directories(single / "IMG");
        DicomImage().set(DCM_KVP, "48").save(single / "IMG" / "IM1");
        test::writeDicomDir(single, {"IMG/IM1"});
        offeredImages_.clear();
        importFile(single / "DICOMDIR");
        QVERIFY(offeredImages_.isEmpty());
        QCOMPARE(text("Text5")->text(), QStringLiteral("48"));
    }

    // The field the image does not give stays, and the message says why; a preset chosen after an
    // import is the user's own field again.
    void fieldFromTheCollimatorOrWhyNot() {
        DicomImage image;
        collimated(image).set(DCM_CollimatorShape, "NONRECTANGULAR").save(file("a.dcm"));
        importFile(file("a.dcm"));
        QCOMPARE(MessageBox::shown().size(), 1);
        QVERIFY(MessageBox::shown().first().text.endsWith(
            QStringLiteral("・照射野サイズ：CollimatorShape (0018,1700) が RECTANGULAR ではありません"
                           "（NONRECTANGULAR）（既定の六切サイズを使用）")));
        QCOMPARE(text("Text10")->text(), QStringLiteral("25.4"));
        expectMarked(text("Text10"), false);

        MessageBox::clearShown();
        DicomImage field;
        collimated(field).save(file("b.dcm"));
        importFile(file("b.dcm"));
        QVERIFY(MessageBox::shown().isEmpty());
        expectMarked(text("Text10"), true);
        child<QComboBox>("Combo1")->setCurrentIndex(
            child<QComboBox>("Combo1")->findText(QStringLiteral("六切サイズ")));
        QCOMPARE(text("Text10")->text(), QStringLiteral("25.4"));
        expectMarked(text("Text10"), false);
        expectMarked(text("Text11"), false);
    }

    // A hostile file gives its message and changes nothing; a DICOMDIR's records that are not
    // opened are listed (at most 20 by name), and its radiographs are still offered.
    void hostileFilesAndRecordsAreListedNotRead() {
        const QStringList shown = inputsShown();
        writeBytes(file("deep.dcm"), test::raw::fileMeta() + test::raw::radiographStart() +
                                         test::raw::nestedSequences(6000, false));
        importFile(file("deep.dcm"));
        QCOMPARE(MessageBox::shown().size(), 1);
        QCOMPARE(MessageBox::shown().first().text,
                 QStringLiteral(
                     "deep.dcm は DICOM ファイルとして読めません（シーケンスの入れ子が 32 段を超えています"
                     "（(0008,1115)））。"));
        QCOMPARE(inputsShown(), shown);

        MessageBox::clearShown();
        const fs::path cd = file("cd");
        fs::create_directories(cd / "IMG");
        DicomImage image;
        collimated(image).set(DCM_KVP, "66").save(cd / "IMG" / "IM1");
        fs::copy_file(file("deep.dcm"), cd / "IMG" / "DEEP");
        test::writeDicomDirWithFileIds(cd / "DICOMDIR", {"IMG\\IM1", "..\\..\\etc\\passwd", "IMG\\DEEP"});
        importFile(cd / "DICOMDIR");
        QCOMPARE(MessageBox::shown().size(), 1);
        QCOMPARE(MessageBox::shown().first().text,
                 QStringLiteral(
                     "次の項目は開きませんでした。\n"
                     "・../../etc/passwd は DICOMDIR のフォルダの外（..）を指すため開きません。\n"
                     "・DEEP は DICOM ファイルとして読めません（シーケンスの入れ子が 32 段を超えています"
                     "（(0008,1115)））。"));
        QCOMPARE(text("Text5")->text(), QStringLiteral("66")); // the one radiograph, without asking

        MessageBox::clearShown();
        std::vector<std::string> missing;
        for (int k = 0; k < 25; ++k)
            missing.push_back("IMG\\GONE" + std::to_string(k));
        test::writeDicomDirWithFileIds(cd / "DICOMDIR", missing);
        importFile(cd / "DICOMDIR");
        QCOMPARE(MessageBox::shown().size(), 1);
        const QStringList lines = MessageBox::shown().first().text.split(QLatin1Char('\n'));
        QCOMPARE(lines.first(), QStringLiteral("DICOMDIR には一般撮影（CR・DX）の画像がありません。"));
        QCOMPARE(lines.size(), 1 + 1 + 20 + 1);
        QCOMPARE(lines.last(), QStringLiteral("…ほか 5 件"));
    }

    void backToTheStartScreenForgetsThePatientAndTheMarks() {
        DicomImage().save(file("chest.dcm"));
        importFile(file("chest.dcm"));
        QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton);
        QVERIFY(marked().isEmpty());
        QCOMPARE(form1()->reportFields().id, QString());
        QCOMPARE(form1()->reportFields().name, QString());
        QCOMPARE(text("Text5")->text(), QStringLiteral("60")); // the values stay, as every input does
    }
};

QTEST_MAIN(DicomImportTest)
#include "tst_dicomimport.moc"
