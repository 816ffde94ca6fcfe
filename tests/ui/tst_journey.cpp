// The whole program as a user goes through it: start, a calculation of the default case, the
// caregiver estimate, the report, saving the exposure for a patient, finding it again through the
// record search and showing it on the report; the editors reached from their commands; the exit.
// With TAMSO_SCREENSHOT_DIR set, the report and search screens are also saved as pictures there.

#include "uitestsupport.h"

#include "engine/calculation.h"
#include "engine/calculationstate.h"
#include "textio/codec.h"
#include "ui/conditions/exposureinputs.h"
#include "textio/fileio.h"
#include "textio/numberformat.h"
#include "textio/numbertext.h"
#include "ui/report/reportscreen.h"
#include "ui/kit/messagebox.h"
#include "ui/shell/shell.h"
#include "ui/shell/startscreen.h"
#include "ui/kit/uiutil.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

#include <memory>

using namespace tamso;
using ui::MessageBox;

namespace {

QWidget* window(const char* name) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String(name))
            return w;
    return nullptr;
}

template <typename T> T* control(const char* form, const char* name) {
    QWidget* w = window(form);
    return w ? w->findChild<T*>(QLatin1String(name)) : nullptr;
}

QString text(const char* form, const char* name) {
    auto* edit = control<QLineEdit>(form, name);
    return edit ? edit->text() : QStringLiteral("<missing %1.%2>").arg(QLatin1String(form), QLatin1String(name));
}

void press(const char* form, const char* name) {
    auto* button = control<QPushButton>(form, name);
    QVERIFY2(button, name);
    QVERIFY2(button->isEnabled(), name);
    button->click();
}

void saveScreenshot(const char* form, const char* file) {
    const QString folder = qEnvironmentVariable("TAMSO_SCREENSHOT_DIR");
    if (!folder.isEmpty() && window(form))
        window(form)->grab().save(QDir(folder).filePath(QLatin1String(file)));
}

} // namespace

class JourneyTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(uitest::prepareWorkingFolder(dir_));
        ui::installFontSubstitutions();
        shell_ = std::make_unique<ui::Shell>();
        shell_->quitProgram = [this] { ++quits_; };
        QVERIFY(shell_->start());
        QVERIFY(window("Form2") && window("Form2")->isVisible());
    }

    void calculationOfTheDefaultCase() {
        press("Form2", "Command1");
        QVERIFY(window("Form1") && window("Form1")->isVisible());
        QVERIFY(!window("Form2")->isVisible());
        QVERIFY(!control<QPushButton>("Form1", "Command3")->isEnabled());
        QVERIFY(!control<QPushButton>("Form1", "Command6")->isEnabled());

        press("Form1", "Command2");

        // The same conditions run headlessly on a copy of the loaded reference data.
        engine::ConditionTexts fields;
        fields.targetAngleDeg = ui::utf8(text("Form1", "Text1"));
        fields.inherentFilterAlMm = ui::utf8(text("Form1", "Text2"));
        auto state = std::make_unique<engine::CalculationState>(shell_->calculationState());
        engine::ResultTexts expected;
        QVERIFY(engine::runCalculation(*state, fields, expected, engine::listingInto(ui::workingFolderPath()))
                    .ok());
        for (engine::ResultField f : {engine::ResultField::Hvl1MmAl, engine::ResultField::QuarterValueLayerMmAl, engine::ResultField::EffectiveEnergyKev, engine::ResultField::QualityIndex,
                              engine::ResultField::ExposureAt1mCkg, engine::ResultField::DoseConversionFactor, engine::ResultField::BackscatterFactor, engine::ResultField::ExposureWithScatterCkg,
                              engine::ResultField::EntranceSurfaceDoseMGy}) {
            const QString shown = text("Form1", ui::resultObjectName(f));
            QVERIFY2(!shown.isEmpty(), ui::resultObjectName(f));
            QCOMPARE(shown, ui::qs(expected.resultText(f)));
        }
        QVERIFY(control<QPushButton>("Form1", "Command3")->isEnabled());
    }

    void caregiverEstimateAndHandOver() {
        press("Form1", "Command3");
        QVERIFY(window("Form4") && window("Form4")->isVisible());
        press("Form1", "Command4");
        engine::ResultTexts expected;
        QVERIFY(engine::computeCaregiverDose(shell_->calculationState(), expected).ok());
        QCOMPARE(text("Form1", "Text21"), ui::qs(expected.resultText(engine::ResultField::CaregiverDose1USv)));
        QCOMPARE(text("Form1", "Text22"), ui::qs(expected.resultText(engine::ResultField::CaregiverDose2USv)));
        QCOMPARE(text("Form1", "Text25"), ui::qs(expected.resultText(engine::ResultField::CaregiverDose3USv)));

        press("Form1", "Command6");
        QVERIFY(window("Form8") && window("Form8")->isVisible());
        QVERIFY(!window("Form4")->isVisible());
        QCOMPARE(text("Form8", "Text1"), QString());
        QCOMPARE(text("Form8", "Text2"), QString());
        QCOMPARE(text("Form8", "Text4"), QStringLiteral("腹部正面"));
        QCOMPARE(text("Form8", "Text5"), QStringLiteral("50"));
        QCOMPARE(text("Form8", "Text6"), QStringLiteral("5"));
        QCOMPARE(text("Form8", "Text7"), QStringLiteral("100"));
        QCOMPARE(text("Form8", "Text8"), QStringLiteral("六切サイズ"));
        QCOMPARE(text("Form8", "Text9"), QStringLiteral("10"));
        QCOMPARE(text("Form8", "Text17"), ui::qs(shell_->calculationState().xrayUnitName));
        QCOMPARE(text("Form8", "Text10"), text("Form1", "Text20"));
        QCOMPARE(text("Form8", "Text11"), text("Form1", "Text21"));
        QCOMPARE(text("Form8", "Text13"), text("Form1", "Text25"));
        QVERIFY(!control<QPushButton>("Form8", "Command5")->isEnabled());
        QVERIFY(!control<QPushButton>("Form8", "Command6")->isEnabled());
    }

    void reportDrawnAndSavedForAPatient() {
        control<QLineEdit>("Form8", "Text1")->setText(QStringLiteral("B-001"));
        control<QLineEdit>("Form8", "Text2")->setText(QStringLiteral("新生 太郎"));
        press("Form8", "Command2");
        QVERIFY(control<QPushButton>("Form8", "Command5")->isEnabled());
        saveScreenshot("Form8", "form8-report.png");
        MessageBox::clearShown();
        MessageBox::setNextAnswer(MessageBox::Answer::Ok);
        press("Form8", "Command6");
        QVERIFY(!control<QPushButton>("Form8", "Command6")->isEnabled());
        QVERIFY(!MessageBox::shown().isEmpty());
        QCOMPARE(MessageBox::shown().last().text, QStringLiteral("データを保存しました。"));

        const auto file = textio::fileInFolder(ui::workingFolderUtf8(), "B-001.pat");
        auto content = textio::readTextFile(file);
        QVERIFY(content.ok());
        const auto lines = textio::splitLines(*content);
        QCOMPARE(int(lines.size()), 15);
        QCOMPARE(ui::qs(lines[0]), QStringLiteral("新生 太郎"));
        QCOMPARE(ui::qs(lines[1]), QStringLiteral("1"));
        QCOMPARE(ui::qs(lines[11]), text("Form1", "Text20"));
    }

    void recordFoundAgainAndShownOnTheReport() {
        shell_->startScreen()->show();
        press("Form2", "Command2");
        QVERIFY(window("Form5") && window("Form5")->isVisible());
        auto* files = control<QListWidget>("Form5", "File1");
        QVERIFY(files);
        const auto found = uitest::patientFileEntries(files, QStringLiteral("B-001.pat"));
        QCOMPARE(found.size(), 1);
        files->setCurrentItem(found.first());
        emit files->itemClicked(found.first());
        QCOMPARE(text("Form5", "Text1"), QStringLiteral("B-001"));
        QCOMPARE(text("Form5", "Text2"), QStringLiteral("新生 太郎"));
        press("Form5", "Command2");
        auto* list = control<QListWidget>("Form5", "List1");
        QCOMPARE(list->count(), 1);
        QVERIFY(list->item(0)->text().startsWith(QStringLiteral("01 : ")));
        list->setCurrentRow(0);
        saveScreenshot("Form5", "form5-search.png");

        control<QLineEdit>("Form8", "Text10")->setText(QStringLiteral("changed"));
        press("Form5", "Command3");
        QCOMPARE(text("Form8", "Text1"), QStringLiteral("B-001"));
        QCOMPARE(text("Form8", "Text2"), QStringLiteral("新生 太郎"));
        const double dose = textio::textToNumber(ui::utf8(text("Form1", "Text20")));
        QCOMPARE(text("Form8", "Text10"), ui::qs(textio::formatNumber(dose, "#0.000")));
        QCOMPARE(text("Form8", "Text5"), QStringLiteral("50"));
        QVERIFY(!control<QPushButton>("Form8", "Command5")->isEnabled());
    }

    void editorsOpenFromTheirCommands() {
        press("Form1", "Command12");
        QVERIFY(window("Form7") && window("Form7")->isVisible());
        press("Form1", "Command5");
        QVERIFY(window("Form3") && window("Form3")->isVisible());
        press("Form2", "Command4");
        QVERIFY(window("Form6") && window("Form6")->isVisible());
    }

    void exitEndsAtOnce() {
        MessageBox::clearShown();
        press("Form2", "Command3");
        QCOMPARE(quits_, 1);
        QVERIFY(MessageBox::shown().isEmpty());
    }

private:
    QTemporaryDir dir_;
    std::unique_ptr<ui::Shell> shell_;
    int quits_ = 0;
};

QTEST_MAIN(JourneyTest)
#include "tst_journey.moc"
