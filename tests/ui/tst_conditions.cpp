// The exposure-condition screen and the measured-exposure dialog, driven through their real
// windows by object name: defaults, the calculation run against the engine run headlessly on the
// same conditions, the Enter chain, presets, the measured exposure, the screen's lifecycle, and
// that results never outlive the conditions they were computed from.

#include "uitestsupport.h"

#include "engine/calculation.h"
#include "engine/calculationstate.h"
#include "refdata/referencelevels.h"
#include "textio/fileio.h"
#include "textio/filereading.h"
#include "textio/numberformat.h"
#include "textio/numbertext.h"
#include "ui/conditions/conditionsscreen.h"
#include "ui/conditions/exposureinputs.h"
#include "ui/conditions/fieldsizepresets.h"
#include "ui/conditions/measuredexposuredialog.h"
#include "ui/conditions/spectrumwindow.h"
#include "ui/editors/ambientdoseeditor.h"
#include "ui/editors/basicdataeditor.h"
#include "ui/editors/tubeoutputeditor.h"
#include "ui/kit/language.h"
#include "ui/kit/messagebox.h"
#include "ui/kit/sitedata.h"
#include "ui/kit/uiutil.h"
#include "ui/report/reportfields.h"
#include "ui/report/reportprinter.h"
#include "ui/report/reportscreen.h"
#include "ui/shell/illustrationwindow.h"
#include "ui/shell/shell.h"
#include "ui/shell/startscreen.h"

#include <QAbstractButton>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

#include <filesystem>
#include <memory>
#include <optional>

using namespace tamso;
using ui::MessageBox;

namespace {

namespace fs = std::filesystem;

fs::path folder() {
    return fs::u8path(ui::workingFolderUtf8());
}

const char* const kInputFields[] = {"Text1", "Text2",  "Text3", "Text4",  "Text5", "Text6",
                                    "Text8", "Text23", "Text9", "Text10", "Text11"};

struct EngineRun {
    engine::ResultTexts results;
    Status status;
};

} // namespace

class ConditionsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<ui::Shell> shell_;
    int quitCount_ = 0;

    ui::ConditionsScreen* form1() const { return shell_->conditionsScreen(); }
    QLineEdit* text(const char* name) const {
        return form1()->findChild<QLineEdit*>(QString::fromLatin1(name));
    }
    QPushButton* button(const char* name) const {
        return form1()->findChild<QPushButton*>(QString::fromLatin1(name));
    }
    QComboBox* combo(const char* name) const {
        return form1()->findChild<QComboBox*>(QString::fromLatin1(name));
    }
    QRadioButton* option(const char* name) const {
        return form1()->findChild<QRadioButton*>(QString::fromLatin1(name));
    }
    ui::MeasuredExposureDialog* form9() const { return form1()->measuredExposureDialog(); }
    QLineEdit* form9Text() const { return form9()->findChild<QLineEdit*>(QStringLiteral("Text1")); }
    QRadioButton* form9Option(const char* name) const {
        return form9()->findChild<QRadioButton*>(QString::fromLatin1(name));
    }

    void click(const char* name) { QTest::mouseClick(button(name), Qt::LeftButton); }

    // The screen's current field texts, as a calculation run reads them.
    engine::ConditionTexts conditionTexts() const {
        engine::ConditionTexts t;
        t.targetAngleDeg = ui::utf8(text("Text1")->text());
        t.inherentFilterAlMm = ui::utf8(text("Text2")->text());
        t.addedFilterAlMm = ui::utf8(text("Text3")->text());
        t.addedFilterCuMm = ui::utf8(text("Text4")->text());
        t.tubeVoltageKv = ui::utf8(text("Text5")->text());
        t.mAs = ui::utf8(text("Text6")->text());
        t.ffdCm = ui::utf8(text("Text8")->text());
        t.subjectThicknessCm = ui::utf8(text("Text23")->text());
        t.focusHoodDistanceCm = ui::utf8(text("Text9")->text());
        t.fieldLongCm = ui::utf8(text("Text10")->text());
        t.fieldShortCm = ui::utf8(text("Text11")->text());
        return t;
    }

    // The engine run headlessly on a copy of the state with the screen's texts.
    EngineRun engineRun(double exposureSource, const QString& measured = QString()) const {
        auto state = std::make_unique<engine::CalculationState>(shell_->calculationState());
        state->exposureSource = exposureSource;
        EngineRun e;
        e.results.setResultText(engine::ResultField::MeasuredExposureCkg, ui::utf8(measured));
        e.status = runCalculation(*state, conditionTexts(), e.results, engine::listingInto(folder()));
        return e;
    }

    void compareResults(const EngineRun& expected) const {
        QVERIFY2(expected.status.ok(), expected.status.ok() ? "" : expected.status.message().c_str());
        for (auto id : {engine::ResultField::ExposureWithScatterCkg, engine::ResultField::ExposureAt1mCkg,
                        engine::ResultField::Hvl1MmAl, engine::ResultField::QuarterValueLayerMmAl,
                        engine::ResultField::EffectiveEnergyKev, engine::ResultField::QualityIndex,
                        engine::ResultField::BackscatterFactor, engine::ResultField::DoseConversionFactor,
                        engine::ResultField::EntranceSurfaceDoseMGy}) {
            const QString shown = text(ui::resultObjectName(id))->text();
            QVERIFY2(!shown.isEmpty(), ui::resultObjectName(id));
            QCOMPARE(shown, ui::qs(expected.results.resultText(id)));
        }
    }

    void runToCaregiver() {
        click("Command2");
        click("Command3");
        click("Command4");
        QVERIFY(button("Command6")->isEnabled());
        QVERIFY(!text("Text21")->text().isEmpty());
    }

    void pressEnter(QWidget* w) { QTest::keyClick(w, Qt::Key_Return); }
    QWidget* focused() const { return form1()->focusWidget(); }

    void leaveField(QLineEdit* field) {
        field->setFocus();
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QCoreApplication::sendEvent(field, &out);
    }

    void expectResultsCleared() {
        for (const char* name : {"Text13", "Text14", "Text15", "Text16", "Text17", "Text18", "Text20",
                                 "Text7", "Text12", "Text21", "Text22", "Text25"})
            QVERIFY2(text(name)->text().isEmpty(), name);
        for (const char* name : {"Command3", "Command4", "Command6"})
            QVERIFY2(!button(name)->isEnabled(), name);
    }
    void expectResultsKept() {
        QVERIFY(!text("Text20")->text().isEmpty());
        QVERIFY(!text("Text21")->text().isEmpty());
        QVERIFY(button("Command6")->isEnabled());
    }

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(uitest::prepareWorkingFolder(*dir_));
        shell_ = std::make_unique<ui::Shell>();
        shell_->quitProgram = [this] { ++quitCount_; };
        QVERIFY(shell_->start());
        QTest::mouseClick(shell_->startScreen()->findChild<QPushButton*>(QStringLiteral("Command1")),
                          Qt::LeftButton);
        QVERIFY(form1());
        QVERIFY(form1()->isVisible());
        QVERIFY(QTest::qWaitForWindowExposed(form1()));
    }
    void cleanup() {
        shell_.reset();
        dir_.reset();
    }

    void defaultsAtLoad() {
        const engine::CalculationState& s = shell_->calculationState();
        QCOMPARE(form1()->windowTitle(), QStringLiteral(" TAMSOⅡ- Kelvo"));
        QCOMPARE(text("Text1")->text(), ui::qs(textio::numberToText(s.targetAngleDeg)));
        QCOMPARE(text("Text2")->text(), ui::qs(textio::numberToText(s.defaultInherentFilterAlMm)));
        QCOMPARE(s.inherentFilterAlCm, s.defaultInherentFilterAlMm * 0.1);
        const std::pair<const char*, const char*> texts[] = {
            {"Text3", "0"},  {"Text4", "0"},   {"Text5", "50"},    {"Text6", "5"},    {"Text8", "100"},
            {"Text9", "60"}, {"Text23", "10"}, {"Text10", "25.4"}, {"Text11", "20.3"}};
        for (const auto& [name, value] : texts)
            QCOMPARE(text(name)->text(), QString::fromLatin1(value));
        QCOMPARE(s.tubeVoltageKv, 50.0);
        QCOMPARE(s.mAs, 5.0);
        QCOMPARE(s.ffdCm, 100.0);
        QCOMPARE(s.subjectThicknessCm, 10.0);
        QCOMPARE(s.fieldLongCm, 25.4);
        QCOMPARE(s.fieldShortCm, 20.3);
        QCOMPARE(s.exposureSource, 2.0);
        QCOMPARE(combo("Combo1")->currentText(), QStringLiteral("六切サイズ"));
        QCOMPARE(combo("Combo1")->count(), 7);
        QCOMPARE(combo("Combo2")->currentText(), QStringLiteral("腹部正面"));
        QVERIFY(!text("Text10")->isEnabled());
        QVERIFY(!text("Text11")->isEnabled());
        QCOMPARE(text("Text29")->text(), ui::qs(s.xrayUnitName));
        QString dataName = ui::qs(s.outputDataFileName);
        dataName.chop(3);
        QCOMPARE(text("Text24")->text(), dataName);
        QCOMPARE(form1()->findChild<QLabel*>(QStringLiteral("Label52"))->text(),
                 QStringLiteral("Wair = ") + ui::qs(textio::numberToText(s.wAirEv)) + QStringLiteral(" eV"));
        QVERIFY(option("Option5")->isChecked());
        for (const char* name : {"Command3", "Command4", "Command6"})
            QVERIFY2(!button(name)->isEnabled(), name);
        for (const char* name : {"Text7", "Text12", "Text13", "Text19", "Text20", "Text21", "Text25"})
            QVERIFY2(text(name)->text().isEmpty(), name);
        auto* date = form1()->findChild<QDateEdit*>(QStringLiteral("DTPicker1"));
        QCOMPARE(date->date(), QDate::currentDate());
        QCOMPARE(date->text(), ui::shortDateText(QDate::currentDate()));
        // The body-part list is the file's lines, in order.
        const auto lines =
            textio::splitLines(*textio::readTextFile(textio::fileInFolder(folder(), "撮影部位.txt")));
        QCOMPARE(combo("Combo2")->count(), int(lines.size()));
        for (int i = 0; i < int(lines.size()); ++i)
            QCOMPARE(combo("Combo2")->itemText(i), ui::qs(lines[size_t(i)]));
    }

    // A new screen opens ready for typing in the first input of the chain.
    void firstInputHasTheFocusOnOpening() {
        QCOMPARE(focused(), text("Text1"));
        form1()->close();
        shell_->newCalculation();
        QVERIFY(QTest::qWaitForWindowExposed(form1()));
        QCOMPARE(focused(), text("Text1"));
    }

    void journeyFromDefaultsToHandOver() {
        const EngineRun expected = engineRun(2);
        click("Command2");
        compareResults(expected);
        const QRegularExpression fixed3(QStringLiteral("^\\d+\\.\\d{3}$"));
        const QRegularExpression fixed2(QStringLiteral("^\\d{2,}\\.\\d{2}$"));
        const QRegularExpression scientific(QStringLiteral("^\\d\\.\\d{2}E[+-]\\d{2,}$"));
        for (const char* name : {"Text13", "Text14", "Text16", "Text17", "Text20"})
            QVERIFY2(fixed3.match(text(name)->text()).hasMatch(), name);
        for (const char* name : {"Text15", "Text18"})
            QVERIFY2(fixed2.match(text(name)->text()).hasMatch(), name);
        for (const char* name : {"Text7", "Text12"})
            QVERIFY2(scientific.match(text(name)->text()).hasMatch(), name);
        QCOMPARE(shell_->calculationState().focusSkinDistanceCm, 90.0);
        QCOMPARE(shell_->calculationState().hoodSkinDistanceCm, 30.0);
        QVERIFY(button("Command3")->isEnabled());
        QCOMPARE(focused(), button("Command3"));
        QVERIFY(!button("Command4")->isEnabled());

        click("Command3");
        QVERIFY(shell_->illustrationWindow() && shell_->illustrationWindow()->isVisible());
        QVERIFY(button("Command4")->isEnabled());
        QCOMPARE(focused(), button("Command4"));
        QVERIFY(!button("Command6")->isEnabled());

        engine::ResultTexts caregiver;
        QVERIFY(engine::computeCaregiverDose(shell_->calculationState(), caregiver).ok());
        click("Command4");
        const QRegularExpression caregiverFormat(QStringLiteral("^\\d+\\.\\d{3}$"));
        for (auto id : {engine::ResultField::CaregiverDose1USv, engine::ResultField::CaregiverDose2USv,
                        engine::ResultField::CaregiverDose3USv}) {
            QCOMPARE(text(ui::resultObjectName(id))->text(), ui::qs(caregiver.resultText(id)));
            QVERIFY(caregiverFormat.match(text(ui::resultObjectName(id))->text()).hasMatch());
        }
        QVERIFY(button("Command6")->isEnabled());
        QCOMPARE(focused(), button("Command6"));

        QSignalSpy handOver(form1(), &ui::ConditionsScreen::reportRequested);
        click("Command6");
        QCOMPARE(handOver.size(), 1);
        const auto handed = std::optional(handOver.first().first().value<ui::ReportFields>());
        // The shell's wiring: the report screen shows the hand-over.
        QVERIFY(shell_->reportScreen() && shell_->reportScreen()->isVisible());
        QCOMPARE(shell_->reportScreen()->fields().dose, handed->dose);
        QVERIFY(!shell_->illustrationWindow()->isVisible());
        QCOMPARE(handed->tubeVoltage, QStringLiteral("50"));
        QCOMPARE(handed->mAs, QStringLiteral("5"));
        QCOMPARE(handed->ffd, QStringLiteral("100"));
        QCOMPARE(handed->thickness, QStringLiteral("10"));
        QCOMPARE(handed->fieldSize, QStringLiteral("六切サイズ"));
        QCOMPARE(handed->bodyPart, QStringLiteral("腹部正面"));
        QCOMPARE(handed->examDate, ui::shortDateText(QDate::currentDate()));
        QCOMPARE(handed->xrayUnit, ui::qs(shell_->calculationState().xrayUnitName));
        QCOMPARE(handed->dose, text("Text20")->text());
        QCOMPARE(handed->caregiver1, text("Text21")->text());
        QCOMPARE(handed->caregiver3, text("Text25")->text());
        QVERIFY(handed->id.isEmpty() && handed->name.isEmpty());
    }

    void enterChain_data() {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("comboText");
        QTest::addColumn<QString>("to");
        const std::pair<const char*, const char*> chain[] = {
            {"DTPicker1", "Text1"}, {"Text1", "Text2"},  {"Text2", "Text3"}, {"Text3", "Text4"}, {"Text4", "Combo2"},
            {"Combo2", "Text5"}, {"Text5", "Text6"}, {"Text6", "Text8"}, {"Text8", "Text23"},
            {"Text23", "Text9"}, {"Text9", "Combo1"}};
        for (const auto& [from, to] : chain)
            QTest::newRow(from) << QString::fromLatin1(from) << QString() << QString::fromLatin1(to);
        QTest::newRow("Combo1 preset")
            << QStringLiteral("Combo1") << QStringLiteral("四切サイズ") << QStringLiteral("Text30");
        QTest::newRow("Combo1 other")
            << QStringLiteral("Combo1") << QStringLiteral("その他") << QStringLiteral("Text10");
        QTest::newRow("Combo1 empty")
            << QStringLiteral("Combo1") << QStringLiteral("") << QStringLiteral("Combo1");
        QTest::newRow("Text10") << QStringLiteral("Text10") << QStringLiteral("その他")
                                << QStringLiteral("Text11");
        QTest::newRow("Text11") << QStringLiteral("Text11") << QStringLiteral("その他")
                                << QStringLiteral("Text30");
        QTest::newRow("Text30") << QStringLiteral("Text30") << QStringLiteral("") << QStringLiteral("Command2");
    }
    void enterChain() {
        QFETCH(QString, from);
        QFETCH(QString, comboText);
        QFETCH(QString, to);
        QComboBox* sizes = combo("Combo1");
        if (from.startsWith(QStringLiteral("Text1")) && from.size() == 6)
            sizes->setCurrentIndex(sizes->findText(comboText)); // "その他" frees the size fields
        else if (from == QStringLiteral("Combo1")) {
            const int index = sizes->findText(comboText);
            if (index >= 0)
                sizes->setCurrentIndex(index);
            else
                sizes->setEditText(comboText);
        }
        auto* source = form1()->findChild<QWidget*>(from);
        source->setFocus();
        QCOMPARE(focused(), source);
        const QString before = sizes->currentText();
        pressEnter(source);
        QWidget* target = form1()->findChild<QWidget*>(to);
        QCOMPARE(focused()->objectName(), target->objectName());
        // The key moves the focus only: no calculation ran, and the size list kept its text.
        QVERIFY(text("Text13")->text().isEmpty());
        QCOMPARE(sizes->currentText(), before);
        QCOMPARE(sizes->count(), 7);
    }

    // Tab walks the form from top to bottom, the left column before the right one; the locked size
    // fields are skipped while a preset is shown, as are the commands not yet available.
    void tabOrder_data() {
        QTest::addColumn<QString>("size");
        QTest::addColumn<QStringList>("order");
        // Of the two options Tab stops on the chosen one; the arrow keys choose the other.
        const QString head = QStringLiteral("DTPicker1 Command13 Option5 Command12 Text1 Text2 Text3 "
                                            "Text4 Combo2 Text5 Text6 Text8 Text23 Text9 Combo1 ");
        const QString tail = QStringLiteral("Text30 Command2 Command5 Command1");
        QTest::newRow("preset") << QStringLiteral("六切サイズ") << (head + tail).split(QLatin1Char(' '));
        QTest::newRow("other") << QStringLiteral("その他")
                               << (head + QStringLiteral("Text10 Text11 ") + tail).split(QLatin1Char(' '));
    }
    void tabOrder() {
        QFETCH(QString, size);
        QFETCH(QStringList, order);
        combo("Combo1")->setCurrentIndex(combo("Combo1")->findText(size));
        form1()->findChild<QWidget*>(QStringLiteral("DTPicker1"))->setFocus(Qt::TabFocusReason);
        QStringList walked{focused()->objectName()};
        while (walked.size() < order.size()) {
            QTest::keyClick(focused(), Qt::Key_Tab);
            if (focused()->objectName() != walked.last()) // Tab first walks the date's parts
                walked << focused()->objectName();
        }
        QCOMPARE(walked, order);
    }

    void enterInSizeListSkipsDisabledFields() {
        combo("Combo1")->setFocus();
        pressEnter(combo("Combo1"));
        QCOMPARE(focused(), text("Text30")); // the weight, the last input before " Go ! "
    }

    void presets_data() {
        QTest::addColumn<QString>("entry");
        for (const QString& entry : ui::fieldSizeListEntries())
            QTest::newRow(qPrintable(entry)) << entry;
    }
    void presets() {
        QFETCH(QString, entry);
        QComboBox* sizes = combo("Combo1");
        sizes->setCurrentIndex(sizes->findText(QStringLiteral("その他")));
        sizes->setCurrentIndex(sizes->findText(entry));
        const auto preset = ui::findFieldSizePreset(entry);
        if (preset) {
            QCOMPARE(text("Text10")->text(), ui::qs(textio::numberToText(preset->longCm)));
            QCOMPARE(text("Text11")->text(), ui::qs(textio::numberToText(preset->shortCm)));
            QCOMPARE(shell_->calculationState().fieldLongCm, preset->longCm);
            QCOMPARE(shell_->calculationState().fieldShortCm, preset->shortCm);
            QVERIFY(!text("Text10")->isEnabled() && !text("Text11")->isEnabled());
        } else {
            QCOMPARE(entry, QStringLiteral("その他"));
            QVERIFY(text("Text10")->text().isEmpty() && text("Text11")->text().isEmpty());
            QVERIFY(text("Text10")->isEnabled() && text("Text11")->isEnabled());
        }
    }

    void largeFourPresetAndBack() {
        QComboBox* sizes = combo("Combo1");
        sizes->setCurrentIndex(sizes->findText(QStringLiteral("大四サイズ")));
        QCOMPARE(text("Text10")->text(), QStringLiteral("35.6"));
        QCOMPARE(text("Text11")->text(), QStringLiteral("28"));
        QVERIFY(!text("Text10")->isEnabled());
        // A typed text matching no entry changes nothing.
        sizes->setEditText(QStringLiteral("A4"));
        QCOMPARE(text("Text11")->text(), QStringLiteral("28"));
        sizes->setCurrentIndex(sizes->findText(QStringLiteral("六切サイズ")));
        QCOMPARE(text("Text10")->text(), QStringLiteral("25.4"));
        QCOMPARE(text("Text11")->text(), QStringLiteral("20.3"));
        QCOMPARE(ui::findFieldSizePreset(QStringLiteral("半六切サイズ"))->longCm, 10.2);
    }

    // Numbers typed full-width by an input method read as their ASCII forms (the field shows them
    // so as they are typed); a text that is not a number stops the run with a message saying so and
    // naming the field, never one about the value's size.
    void typedNumbers_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("problem"); // empty: the run goes on with the ASCII text
        QTest::newRow("full-width digits") << "Text5"
                                           << "５０"
                                           << "50" << QString();
        QTest::newRow("full-width point") << "Text2"
                                          << "２．５"
                                          << "2.5" << QString();
        QTest::newRow("ideographic space") << "Text8"
                                           << "１００　"
                                           << "100 " << QString();
        QTest::newRow("letters") << "Text5"
                                 << "abc"
                                 << "abc"
                                 << "「Ｘ線管電圧」の「abc」は数値ではありません。";
        QTest::newRow("digits then letters") << "Text5"
                                             << "５０kv"
                                             << "50kv"
                                             << "「Ｘ線管電圧」の「50kv」は数値ではありません。";
        QTest::newRow("decimal comma") << "Text23"
                                       << "8,5"
                                       << "8,5"
                                       << "「被写体厚」の「8,5」は数値ではありません。";
        QTest::newRow("empty") << "Text6"
                               << ""
                               << ""
                               << "「Ｘ線管電流×照射時間」に数値が入力されていません。";
        QTest::newRow("other size left empty") << "Text10"
                                               << ""
                                               << ""
                                               << "「照射野サイズ（長軸方向）」に数値が入力されていません。";
    }
    void typedNumbers() {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(QString, problem);
        if (field == QLatin1String("Text10"))
            combo("Combo1")->setCurrentIndex(combo("Combo1")->findText(QStringLiteral("その他")));
        QLineEdit* edit = text(field.toLatin1().constData());
        const QString before = edit->text();
        edit->clear();
        uitest::commitText(edit, typed);
        QCOMPARE(edit->text(), shown);
        if (!problem.isEmpty()) {
            click("Command2");
            QCOMPARE(MessageBox::shown().size(), 1);
            QCOMPARE(MessageBox::shown().first().kind, MessageBox::Kind::Warning);
            QCOMPARE(MessageBox::shown().first().text, problem);
            QVERIFY(text("Text20")->text().isEmpty());
            QVERIFY(!button("Command3")->isEnabled());
            return;
        }
        // The same results as the ASCII text gives.
        click("Command2");
        QVERIFY(MessageBox::shown().isEmpty());
        const QString dose = text("Text20")->text();
        QVERIFY(!dose.isEmpty());
        edit->setText(before);
        click("Command2");
        QCOMPARE(text("Text20")->text(), dose);
    }

    void leavingAFieldWritesTheState_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<double>("expected");
        QTest::newRow("inherent filter in cm") << QStringLiteral("Text2") << QStringLiteral("1.5") << 0.15;
        QTest::newRow("added Al") << QStringLiteral("Text3") << QStringLiteral("2.5") << 0.25;
        QTest::newRow("leading number") << QStringLiteral("Text5") << QStringLiteral("12abc") << 12.0;
        QTest::newRow("empty mAs") << QStringLiteral("Text6") << QString() << 0.0;
        QTest::newRow("blanks inside") << QStringLiteral("Text8") << QStringLiteral("1 2") << 12.0;
        QTest::newRow("angle") << QStringLiteral("Text1") << QStringLiteral("16") << 16.0;
    }
    void leavingAFieldWritesTheState() {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(double, expected);
        QLineEdit* edit = text(field.toLatin1().constData());
        edit->setText(typed);
        leaveField(edit);
        const std::pair<const char*, double*> vars[] = {
            {"Text1", &shell_->calculationState().targetAngleDeg},
            {"Text2", &shell_->calculationState().inherentFilterAlCm},
            {"Text3", &shell_->calculationState().addedFilterAlCm},
            {"Text5", &shell_->calculationState().tubeVoltageKv},
            {"Text6", &shell_->calculationState().mAs},
            {"Text8", &shell_->calculationState().ffdCm}};
        for (const auto& [name, var] : vars)
            if (field == QLatin1String(name))
                QVERIFY(qFuzzyCompare(1 + *var, 1 + expected));
        QCOMPARE(edit->text(), typed);
    }

    void measuredExposureUnits_data() {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("reading");
        QTest::addColumn<QString>("shown");
        QTest::newRow("C/kg E") << QStringLiteral("Option1") << QStringLiteral("2.58E-4")
                                << QStringLiteral("2.58E-4");
        QTest::newRow("C/kg e") << QStringLiteral("Option1") << QStringLiteral("25.8e-5")
                                << QStringLiteral("2.58E-4");
        QTest::newRow("C/kg plain") << QStringLiteral("Option1") << QStringLiteral("0.000258")
                                    << QStringLiteral("2.58E-4");
        QTest::newRow("R") << QStringLiteral("Option2") << QStringLiteral("1") << QStringLiteral("2.58E-4");
        QTest::newRow("Gy") << QStringLiteral("Option3") << QStringLiteral("0.001") << QString();
    }
    void measuredExposureUnits() {
        QFETCH(QString, unit);
        QFETCH(QString, reading);
        QFETCH(QString, shown);
        if (shown.isEmpty()) // air kerma divided by the W value of the loaded basic data
            shown = ui::qs(textio::formatNumber(0.001 / shell_->calculationState().wAirEv, "0.00E+0"));
        if (shell_->calculationState().wAirEv == 33.97 && unit == QStringLiteral("Option3"))
            QCOMPARE(shown, QStringLiteral("2.94E-5"));
        QTest::mouseClick(option("Option4"), Qt::LeftButton);
        QVERIFY(form9() && form9()->isVisible());
        QCOMPARE(form9()->windowTitle(), QStringLiteral("実測値入力"));
        QVERIFY(form9Text()->text().isEmpty());
        QCOMPARE(form9()->focusWidget(), form9Text());
        QVERIFY(form1()->isVisible()); // not modal
        form9Option(unit.toLatin1().constData())->setChecked(true);
        form9Text()->setText(reading);
        QTest::mouseClick(form9()->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
        QVERIFY(!form9()->isVisible());
        QCOMPARE(text("Text19")->text(), shown);
        QCOMPARE(shell_->calculationState().exposureSource, 1.0);
        QVERIFY(option("Option4")->isChecked());
        QVERIFY(MessageBox::shown().isEmpty());
    }

    void badReadingBehavesLikeCancel_data() {
        QTest::addColumn<QString>("reading");
        QTest::addColumn<bool>("cancel");
        for (const char* r : {"0", "-1", ""})
            QTest::newRow(r) << QString::fromLatin1(r) << false;
        QTest::newRow("Cancel") << QStringLiteral("1e-4") << true;
    }
    // A reading that is not a number (full-width digits are one) is said to be none; the dialog
    // stays open for a new reading.
    void readingThatIsNotANumberIsSaidToBeOne() {
        QTest::mouseClick(option("Option4"), Qt::LeftButton);
        form9Text()->clear();
        uitest::commitText(form9Text(), QStringLiteral("２．５８E－４"));
        QCOMPARE(form9Text()->text(), QStringLiteral("2.58E-4"));
        form9Text()->setText(QStringLiteral("abc"));
        QTest::mouseClick(form9()->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
        QCOMPARE(MessageBox::shown().size(), 1);
        QCOMPARE(MessageBox::shown().first().text,
                 QStringLiteral("「実測値」の「abc」は数値ではありません。"));
        QVERIFY(form9()->isVisible());
        form9Text()->setText(QStringLiteral("２．５８E－４"));
        QTest::mouseClick(form9()->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
        QCOMPARE(text("Text19")->text(), QStringLiteral("2.58E-4"));
        QCOMPARE(shell_->calculationState().exposureSource, 1.0);
    }

    void badReadingBehavesLikeCancel() {
        QFETCH(QString, reading);
        QFETCH(bool, cancel);
        QTest::mouseClick(option("Option4"), Qt::LeftButton);
        form9Text()->setText(reading);
        QTest::mouseClick(
            form9()->findChild<QPushButton*>(QString::fromLatin1(cancel ? "Command2" : "Command1")),
            Qt::LeftButton);
        QVERIFY(!form9()->isVisible());
        QCOMPARE(shell_->calculationState().exposureSource, 2.0);
        QVERIFY(option("Option5")->isChecked());
        QVERIFY(!option("Option4")->isChecked());
        QVERIFY(text("Text19")->text().isEmpty());
        QVERIFY(MessageBox::shown().isEmpty());
    }

    void enterInReadingMovesToOkWithoutPressingIt() {
        QTest::mouseClick(option("Option4"), Qt::LeftButton);
        form9Text()->setText(QStringLiteral("1e-4"));
        QTest::keyClick(form9Text(), Qt::Key_Return);
        QCOMPARE(form9()->focusWidget()->objectName(), QStringLiteral("Command1"));
        QVERIFY(form9()->isVisible());
        QVERIFY(text("Text19")->text().isEmpty());
        QCOMPARE(shell_->calculationState().exposureSource, 2.0);
    }

    void measuredValueServesExactlyOneRun() {
        QTest::mouseClick(option("Option4"), Qt::LeftButton);
        form9Text()->setText(QStringLiteral("2.5861E-4"));
        QTest::mouseClick(form9()->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
        QCOMPARE(text("Text19")->text(), QStringLiteral("2.59E-4"));
        const EngineRun measured = engineRun(1, QStringLiteral("2.59E-4"));
        const EngineRun fromOutput = engineRun(2);
        QVERIFY(measured.results.resultText(engine::ResultField::ExposureAt1mCkg) !=
                fromOutput.results.resultText(engine::ResultField::ExposureAt1mCkg));
        click("Command2");
        compareResults(measured);
        QCOMPARE(text("Text19")->text(), QStringLiteral("2.59E-4"));
        QVERIFY(option("Option5")->isChecked());
        QCOMPARE(shell_->calculationState().exposureSource, 2.0);
        click("Command2");
        compareResults(fromOutput);
        QVERIFY(text("Text19")->text().isEmpty());
    }

    void dialogKeepsItsUnitWhileHiddenAndForgetsItOnClose() {
        QTest::mouseClick(option("Option4"), Qt::LeftButton);
        form9Option("Option2")->setChecked(true);
        form9Text()->setText(QStringLiteral("1"));
        QTest::mouseClick(form9()->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
        click("Command2");
        QVERIFY(option("Option5")->isChecked());
        QTest::mouseClick(option("Option4"), Qt::LeftButton);
        QVERIFY(form9Option("Option2")->isChecked());
        QVERIFY(form9Text()->text().isEmpty());
        // The close box: back to the tube output data; the next dialog starts from C/kg.
        form9()->close();
        QVERIFY(option("Option5")->isChecked());
        QCOMPARE(shell_->calculationState().exposureSource, 2.0);
        QTest::mouseClick(option("Option4"), Qt::LeftButton);
        QVERIFY(form9()->isVisible());
        QVERIFY(form9Option("Option1")->isChecked());
    }

    void backKeepsInputsCloseBoxReloads() {
        text("Text5")->setText(QStringLiteral("60"));
        leaveField(text("Text5"));
        text("Text1")->setText(QStringLiteral("17"));
        leaveField(text("Text1"));
        runToCaregiver();
        const QString caregiver = text("Text21")->text();
        ui::ConditionsScreen* first = form1();
        click("Command12");
        QVERIFY(shell_->tubeOutputEditor() && shell_->tubeOutputEditor()->isVisible());
        QTest::mouseClick(button("Command1"), Qt::LeftButton);
        QVERIFY(!shell_->tubeOutputEditor()->isVisible());
        QVERIFY(!form1()->isVisible());
        QVERIFY(shell_->startScreen()->isVisible());
        QVERIFY(!shell_->illustrationWindow()->isVisible());
        for (const char* name : {"Text12", "Text7", "Text13", "Text17", "Text18", "Text20"})
            QVERIFY2(text(name)->text().isEmpty(), name);
        QCOMPARE(text("Text21")->text(), caregiver);

        shell_->newCalculation();
        QCOMPARE(form1(), first);
        QCOMPARE(text("Text5")->text(), QStringLiteral("60"));
        QCOMPARE(text("Text21")->text(), caregiver);
        for (const char* name : {"Command3", "Command4", "Command6"})
            QVERIFY2(!button(name)->isEnabled(), name);
        QVERIFY(!shell_->startScreen()->isVisible());

        form1()->close();
        QVERIFY(shell_->startScreen()->isVisible());
        QVERIFY(!shell_->conditionsScreen());
        shell_->newCalculation();
        QVERIFY(form1());
        QCOMPARE(text("Text5")->text(), QStringLiteral("50"));
        QCOMPARE(text("Text1")->text(), QStringLiteral("17")); // the angle lives in the state
        QVERIFY(text("Text21")->text().isEmpty());
    }

    // " bye bye " empties the measured exposure; the next case must not run on an empty reading
    // (which would read as an exposure of 0) but on the tube output data.
    void backWithAMeasuredValueReturnsToTheOutputData() {
        QTest::mouseClick(option("Option4"), Qt::LeftButton);
        form9Text()->setText(QStringLiteral("2.58E-4"));
        QTest::mouseClick(form9()->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
        QCOMPARE(shell_->calculationState().exposureSource, 1.0);
        QTest::mouseClick(button("Command1"), Qt::LeftButton);
        QVERIFY(text("Text19")->text().isEmpty());
        QVERIFY(!form9()->isVisible());
        shell_->newCalculation();
        QVERIFY(option("Option5")->isChecked());
        QVERIFY(!option("Option4")->isChecked());
        QCOMPARE(shell_->calculationState().exposureSource, 2.0);
        QVERIFY(!form9()->isVisible()); // going back opened no dialog
        const EngineRun expected = engineRun(2);
        MessageBox::clearShown();
        click("Command2");
        QVERIFY(MessageBox::shown().isEmpty());
        compareResults(expected);
    }

    // The calculation leaves the spectrum listing of its conditions in the working folder, as the
    // engine writes it for them.
    void calculationLeavesItsSpectrumListing() {
        const fs::path listing = textio::fileInFolder(folder(), "Beam_data.dat");
        fs::remove(listing);
        click("Command2");
        QVERIFY(!text("Text20")->text().isEmpty());
        const auto written = textio::readFileBytes(listing);
        QVERIFY(written.ok() && !written->empty());
        fs::remove(listing);
        QVERIFY(engineRun(2).status.ok());
        const auto expected = textio::readFileBytes(listing);
        QVERIFY(expected.ok());
        QVERIFY(*written == *expected);
    }

    void engineErrorLeavesNoStaleResults() {
        runToCaregiver();
        // Same inputs, but the spectrum listing cannot be written: the run stops.
        const fs::path listing = textio::fileInFolder(folder(), "Beam_data.dat");
        fs::remove(listing);
        fs::create_directory(listing);
        MessageBox::clearShown();
        click("Command2");
        QCOMPARE(MessageBox::shown().size(), 1);
        QCOMPARE(MessageBox::shown().first().kind, MessageBox::Kind::Warning);
        QCOMPARE(MessageBox::shown().first().icon, QMessageBox::Warning);
        for (const char* name :
             {"Text13", "Text14", "Text15", "Text16", "Text17", "Text18", "Text20", "Text7", "Text12"})
            QVERIFY2(text(name)->text().isEmpty(), name);
        for (const char* name : {"Command3", "Command4", "Command6"})
            QVERIFY2(!button(name)->isEnabled(), name);
    }

    void engineErrorOnAFreshScreen() {
        text("Text5")->setText(QStringLiteral("200"));
        click("Command2");
        QCOMPARE(MessageBox::shown().size(), 1);
        QVERIFY(!MessageBox::shown().first().text.isEmpty());
        QVERIFY(text("Text20")->text().isEmpty());
        QVERIFY(!button("Command3")->isEnabled());
    }

    void changedInputInvalidatesResults_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("sameValue");
        QTest::addColumn<QString>("newValue");
        QTest::newRow("Text1") << QStringLiteral("Text1") << QString() << QStringLiteral("20");
        QTest::newRow("Text2") << QStringLiteral("Text2") << QString() << QStringLiteral("3");
        QTest::newRow("Text3") << QStringLiteral("Text3") << QStringLiteral("0.0") << QStringLiteral("1");
        QTest::newRow("Text4") << QStringLiteral("Text4") << QStringLiteral(" 0") << QStringLiteral("0.1");
        QTest::newRow("Text5") << QStringLiteral("Text5") << QStringLiteral("50.0") << QStringLiteral("55");
        QTest::newRow("Text6") << QStringLiteral("Text6") << QStringLiteral("5abc") << QStringLiteral("4");
        QTest::newRow("Text8") << QStringLiteral("Text8") << QStringLiteral("1 00") << QStringLiteral("110");
        QTest::newRow("Text23") << QStringLiteral("Text23") << QStringLiteral("10.") << QStringLiteral("8");
        QTest::newRow("Text9") << QStringLiteral("Text9") << QStringLiteral("60.0") << QStringLiteral("55");
        QTest::newRow("Combo1") << QStringLiteral("Combo1") << QStringLiteral("六切サイズ")
                                << QStringLiteral("四切サイズ");
        QTest::newRow("Text10") << QStringLiteral("Text10") << QStringLiteral("25.40")
                                << QStringLiteral("30");
        QTest::newRow("Text11") << QStringLiteral("Text11") << QStringLiteral("20.30")
                                << QStringLiteral("18");
    }
    void changedInputInvalidatesResults() {
        QFETCH(QString, field);
        QFETCH(QString, sameValue);
        QFETCH(QString, newValue);
        const bool sizeField = field == QLatin1String("Text10") || field == QLatin1String("Text11");
        QComboBox* sizes = combo("Combo1");
        if (sizeField) {
            sizes->setCurrentIndex(sizes->findText(QStringLiteral("その他")));
            text("Text10")->setText(QStringLiteral("25.4"));
            text("Text11")->setText(QStringLiteral("20.3"));
        }
        runToCaregiver();
        auto set = [&](const QString& value) {
            if (field == QLatin1String("Combo1"))
                sizes->setCurrentIndex(sizes->findText(value));
            else
                text(field.toLatin1().constData())->setText(value);
        };
        if (!sameValue.isEmpty()) {
            set(sameValue);
            QVERIFY(!text("Text20")->text().isEmpty());
            QVERIFY(button("Command6")->isEnabled());
        }
        set(newValue);
        for (const char* name : {"Text13", "Text14", "Text15", "Text16", "Text17", "Text18", "Text20",
                                 "Text7", "Text12", "Text21", "Text22", "Text25"})
            QVERIFY2(text(name)->text().isEmpty(), name);
        for (const char* name : {"Command3", "Command4", "Command6"})
            QVERIFY2(!button(name)->isEnabled(), name);
        // The next run brings everything back.
        click("Command2");
        QVERIFY(!text("Text20")->text().isEmpty());
        QVERIFY(button("Command3")->isEnabled());
    }

    // The keyboard alone carries a case from the last size field to the report: Enter moves the
    // focus along the chain and presses each command that the focus lands on.
    void enterPressesTheFocusedCommands() {
        QSignalSpy handOver(form1(), &ui::ConditionsScreen::reportRequested);
        const EngineRun expected = engineRun(2);
        combo("Combo1")->setFocus();
        pressEnter(combo("Combo1"));
        QCOMPARE(focused(), text("Text30")); // the weight, the last input before " Go ! "
        QVERIFY(text("Text13")->text().isEmpty()); // moving the focus does not run
        pressEnter(button("Command2"));
        compareResults(expected);
        QCOMPARE(focused(), button("Command3"));
        pressEnter(button("Command3"));
        QVERIFY(shell_->illustrationWindow() && shell_->illustrationWindow()->isVisible());
        QCOMPARE(focused(), button("Command4"));
        pressEnter(button("Command4"));
        QVERIFY(!text("Text21")->text().isEmpty());
        QCOMPARE(focused(), button("Command6"));
        pressEnter(button("Command6"));
        QCOMPARE(handOver.size(), 1);
        QCOMPARE(handOver.first().first().value<ui::ReportFields>().dose, text("Text20")->text());

        // In the dialog: Enter in the reading only moves to OK, Enter on OK accepts.
        QTest::mouseClick(option("Option4"), Qt::LeftButton);
        form9Text()->setText(QStringLiteral("2.58E-4"));
        QTest::keyClick(form9Text(), Qt::Key_Return);
        QVERIFY(form9()->isVisible());
        QTest::keyClick(form9()->focusWidget(), Qt::Key_Return);
        QVERIFY(!form9()->isVisible());
        QCOMPARE(text("Text19")->text(), QStringLiteral("2.58E-4"));
        QCOMPARE(shell_->calculationState().exposureSource, 1.0);
    }

    // "出力データを利用" chosen while the dialog is still open, then OK with a reading: the
    // measured value is the one in use, the options say so, and it still serves one run only.
    void outputDataChosenWhileTheDialogIsOpen() {
        QTest::mouseClick(option("Option4"), Qt::LeftButton);
        QVERIFY(form9()->isVisible());
        QTest::mouseClick(option("Option5"), Qt::LeftButton);
        QVERIFY(option("Option5")->isChecked());
        QCOMPARE(shell_->calculationState().exposureSource, 2.0);
        QVERIFY(form9()->isVisible());
        form9Text()->setText(QStringLiteral("2.59E-4"));
        QTest::mouseClick(form9()->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
        QCOMPARE(shell_->calculationState().exposureSource, 1.0);
        QVERIFY(option("Option4")->isChecked());
        QVERIFY(!option("Option5")->isChecked());
        QVERIFY(!form9()->isVisible()); // selecting the option did not open the dialog again
        const EngineRun measured = engineRun(1, QStringLiteral("2.59E-4"));
        const EngineRun fromOutput = engineRun(2);
        click("Command2");
        compareResults(measured);
        QVERIFY(option("Option5")->isChecked());
        QCOMPARE(shell_->calculationState().exposureSource, 2.0);
        click("Command2");
        compareResults(fromOutput);
        QVERIFY(text("Text19")->text().isEmpty());
    }

    // Every caption and unit as the user reads it, leading blanks and full-width characters
    // included, beside the control it belongs to.
    void captionsAndUnits() {
        auto label = [this](const QString& name) {
            auto* l = form1()->findChild<QLabel*>(name);
            return l ? l->text() : QStringLiteral("<no %1>").arg(name);
        };
        // The fields of the tables, each with the caption and unit the table gives it.
        struct Row {
            QString field;
            QString caption;
            QString unit; // empty: no unit beside the field
        };
        std::vector<Row> rows;
        for (const ui::ExposureInput& input : ui::exposureInputs())
            rows.push_back({QString::fromLatin1(input.objectName), ui::shownText(input.caption),
                            ui::shownText(input.unit)});
        for (const ui::ResultOutput& output : ui::resultOutputs())
            if (output.result != engine::ResultField::MeasuredExposureCkg) // captioned by its option
                rows.push_back({QString::fromLatin1(output.objectName), ui::shownText(output.caption),
                                ui::shownText(output.unit)});
        // The fields outside the tables.
        rows.push_back({QStringLiteral("Combo2"), QStringLiteral("   照射部位"), QString()});
        rows.push_back({QStringLiteral("Combo1"), QStringLiteral(" 受像器面での照射野サイズ"), QString()});
        rows.push_back({QStringLiteral("Text29"), QStringLiteral("撮影装置名"), QString()});
        rows.push_back({QStringLiteral("Text24"), QStringLiteral("出力データ名"), QString()});
        for (const Row& row : rows) {
            const QByteArray field = row.field.toLatin1();
            QVERIFY2(!row.caption.trimmed().isEmpty(), field.constData());
            QCOMPARE(label(QStringLiteral("Caption") + row.field), row.caption);
            auto* caption = form1()->findChild<QLabel*>(QStringLiteral("Caption") + row.field);
            QVERIFY2(caption->buddy() && caption->buddy()->objectName() == row.field, field.constData());
            if (!row.unit.isEmpty())
                QCOMPARE(label(QStringLiteral("Unit") + row.field), row.unit);
            else
                QVERIFY2(!form1()->findChild<QLabel*>(QStringLiteral("Unit") + row.field), field.constData());
        }
        const QStringList texts = [this] {
            QStringList all;
            for (QLabel* l : form1()->findChildren<QLabel*>())
                all << l->text();
            for (QGroupBox* g : form1()->findChildren<QGroupBox*>())
                all << g->title();
            for (QAbstractButton* b : form1()->findChildren<QAbstractButton*>())
                all << b->text();
            return all;
        }();
        for (const char* shown : {"撮影日",
                                  "として計算しています。",
                                  "焦点から１ｍの距離の照射線量",
                                  "出力データを利用",
                                  "出力データ編集",
                                  "実測値を直接入力",
                                  "照射線量 at １ｍ",
                                  "C/kg",
                                  "照射条件 (１)",
                                  " フード・カバー（PMMA ）",
                                  "6",
                                  "(固定値)",
                                  "照射条件 (２)",
                                  "患児の入射表面線量",
                                  "介助者の被ばく線量",
                                  "周辺線量",
                                  "周辺線量の実測データ編集",
                                  "周辺線量当量",
                                  "     Sv/exposure",
                                  "μ",
                                  "TAMSO-",
                                  "Ⅱ"})
            QVERIFY2(texts.contains(QString::fromUtf8(shown)), shown);
        QCOMPARE(texts.count(QStringLiteral("TAMSO-")), 2);
        QCOMPARE(texts.count(QStringLiteral("Ⅱ")), 2);
        QCOMPARE(combo("Combo1")->count(), 7);
        const char* const sizes[] = {"半六切サイズ", "六切サイズ", "四切サイズ", "大四サイズ",
                                     "大角サイズ",   "半切サイズ", "その他"};
        for (int i = 0; i < 7; ++i)
            QCOMPARE(combo("Combo1")->itemText(i), QString::fromUtf8(sizes[i]));
        QCOMPARE(button("Command1")->toolTip(), QStringLiteral(" bye bye "));
        QCOMPARE(button("Command4")->toolTip(), QStringLiteral(" Go ! "));
        QVERIFY(button("Command2")->text().isEmpty());

        QTest::mouseClick(option("Option4"), Qt::LeftButton);
        auto form9Label = [this](const char* name) {
            return form9()->findChild<QLabel*>(QString::fromLatin1(name))->text();
        };
        QCOMPARE(form9Label("Label1"), QStringLiteral("焦点から１ｍの距離の照射線量"));
        QCOMPARE(form9Label("Label6"), QStringLiteral("( フード・カバー無しで測定 )"));
        QCOMPARE(form9()->findChild<QGroupBox*>(QStringLiteral("Frame1"))->title(),
                 QStringLiteral("入力単位"));
        QCOMPARE(form9Option("Option1")->text(), QStringLiteral("照射線量 [ C/kg ]"));
        QCOMPARE(form9Option("Option2")->text(), QStringLiteral("照射線量   [ R ]"));
        QCOMPARE(form9Option("Option3")->text(), QStringLiteral("空気カーマ [ Gy ]"));
        QCOMPARE(form9Label("Label4"), QStringLiteral("入力例"));
        QCOMPARE(form9Label("Label2"), QStringLiteral("2.58E-4"));
        QCOMPARE(form9Label("Label5"), QStringLiteral("25.8e-5"));
        QCOMPARE(form9Label("Label3"), QStringLiteral("0.000258"));
        QCOMPARE(form9()->findChild<QPushButton*>(QStringLiteral("Command1"))->text(), QStringLiteral("OK"));
        QCOMPARE(form9()->findChild<QPushButton*>(QStringLiteral("Command2"))->text(),
                 QStringLiteral("Cancel"));
    }

    // An editor that replaces reference data after a run leaves no result of the old data on the
    // screen, so none can reach the report; saving the same values keeps the results.
    void savedReferenceDataInvalidatesResults_data() {
        QTest::addColumn<QString>("editor");
        QTest::newRow("tube output") << QStringLiteral("Form7");
        QTest::newRow("ambient dose") << QStringLiteral("Form3");
    }
    void savedReferenceDataInvalidatesResults() {
        QFETCH(QString, editor);
        const bool tube = editor == QLatin1String("Form7");
        auto openEditor = [&]() -> QWidget* {
            click(tube ? "Command12" : "Command5");
            QWidget* w = tube ? static_cast<QWidget*>(shell_->tubeOutputEditor())
                              : static_cast<QWidget*>(shell_->ambientDoseEditor());
            return w && w->isVisible() ? w : nullptr;
        };
        auto save = [&](QWidget* w) {
            QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
            QVERIFY(!w->isVisible());
        };
        runToCaregiver();
        QWidget* w = openEditor();
        QVERIFY(w);
        save(w); // the values as they were
        expectResultsKept();
        QCOMPARE(text("Text24")->text(), QStringLiteral("tamso_output"));

        w = openEditor();
        QVERIFY(w);
        w->findChild<QLineEdit*>(QStringLiteral("Text2"))->setText(QStringLiteral("1.23E-05"));
        save(w);
        expectResultsCleared();
        QCOMPARE(text("Text24")->text(), QStringLiteral("tamso_output"));
        runToCaregiver();
        const EngineRun expected = engineRun(2);
        compareResults(expected);
    }

    // The W value saved in the basic data editor takes effect when the editor reads its file again.
    void changedWValueInvalidatesResults() {
        runToCaregiver();
        shell_->openBasicDataEditor();
        QWidget* editor = shell_->basicDataEditor();
        QVERIFY(editor && editor->isVisible());
        editor->findChild<QLineEdit*>(QStringLiteral("Text4"))->setText(QStringLiteral("34.5"));
        QTest::mouseClick(editor->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
        expectResultsKept();
        shell_->openBasicDataEditor();
        QCOMPARE(shell_->calculationState().wAirEv, 34.5);
        expectResultsCleared();
        QCOMPARE(form1()->findChild<QLabel*>(QStringLiteral("Label52"))->text(),
                 QStringLiteral("Wair = 34.5 eV"));
        editor->hide();
    }

    // A new measured exposure, or the switch to it, makes the shown results those of another
    // exposure; the return to the tube output data at the end of a run does not.
    void exposureSourceChangeInvalidatesResults() {
        runToCaregiver();
        QTest::mouseClick(option("Option4"), Qt::LeftButton);
        QVERIFY(form9()->isVisible());
        form9()->findChild<QPushButton*>(QStringLiteral("Command2"))->click(); // Cancel: nothing changes
        expectResultsKept();
        QTest::mouseClick(option("Option4"), Qt::LeftButton);
        form9Text()->setText(QStringLiteral("2.58E-4"));
        QTest::mouseClick(form9()->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
        QCOMPARE(shell_->calculationState().exposureSource, 1.0);
        expectResultsCleared();
        runToCaregiver(); // on the measured value, then back to the output data
        QCOMPARE(shell_->calculationState().exposureSource, 2.0);
        expectResultsKept();
        QTest::mouseClick(option("Option5"), Qt::LeftButton); // already the source: no change
        expectResultsKept();
    }

    // After " bye bye " the kept screen opens again on its first input, not on " bye bye ".
    void newCalculationOpensOnTheFirstInput() {
        button("Command1")->setFocus();
        pressEnter(button("Command1"));
        QVERIFY(!form1()->isVisible());
        shell_->newCalculation();
        QCOMPARE(focused(), text("Text1"));
    }

    // The dose is shown with its expanded uncertainty, as the engine gives it, and goes with it;
    // where the uncertainty is finer than the dose field's three decimals (40 kV, 1 mAs: about
    // 0.015 mGy with 0.006 mGy), the dose beside it gets the same last decimal.
    void doseShownWithItsUncertainty() {
        const EngineRun expected = engineRun(2);
        click("Command2");
        const QString dose = text("Text20")->text();
        const QString expanded =
            ui::qs(expected.results.resultText(engine::ResultField::EntranceSurfaceDoseUncertaintyMGy));
        QCOMPARE(expanded, QStringLiteral("0.046"));
        QCOMPARE(text("Text26")->text(),
                 dose + QStringLiteral(" ± ") + expanded + QStringLiteral(" mGy (k=2)"));
        text("Text5")->setText(QStringLiteral("40"));
        text("Text6")->setText(QStringLiteral("1"));
        const EngineRun small = engineRun(2);
        click("Command2");
        const QString smallExpanded =
            ui::qs(small.results.resultText(engine::ResultField::EntranceSurfaceDoseUncertaintyMGy));
        const QRegularExpression finer(QStringLiteral("^(0\\.0\\d{3}) ± 0\\.00\\d\\d mGy \\(k=2\\)$"));
        const QRegularExpressionMatch match = finer.match(text("Text26")->text());
        QVERIFY2(match.hasMatch(), qPrintable(text("Text26")->text()));
        QVERIFY(
            text("Text26")->text().contains(QStringLiteral(" ± ") + smallExpanded + QStringLiteral(" mGy")));
        QCOMPARE(ui::qs(textio::formatNumber(match.captured(1).toDouble(), "#0.000")),
                 text("Text20")->text());
        text("Text5")->setText(QStringLiteral("50"));
        text("Text6")->setText(QStringLiteral("5"));
        click("Command2");
        QCOMPARE(form1()->resultText(engine::ResultField::EntranceSurfaceDoseUncertaintyMGy),
                 ui::utf8(expanded));
        QCOMPARE(form1()->findChild<QLabel*>(QStringLiteral("CaptionText26"))->text(),
                 QStringLiteral("   不確かさ"));
        text("Text5")->setText(QStringLiteral("55"));
        QVERIFY(text("Text26")->text().isEmpty());
        QVERIFY(form1()->resultText(engine::ResultField::EntranceSurfaceDoseUncertaintyMGy).empty());
    }

    // The spectrum of the run in its own window: the photons per 0.5 keV up to the tube voltage,
    // the effective energy marked, the beam-quality figures beside; gone with the results.
    void spectrumWindowShowsTheRun() {
        QVERIFY(!button("Command14")->isEnabled());
        click("Command2");
        QVERIFY(button("Command14")->isEnabled());
        click("Command14");
        ui::SpectrumWindow* window = shell_->spectrumWindow();
        QVERIFY(window && window->isVisible());
        const ui::SpectrumData& shown = window->spectrum();
        QCOMPARE(int(shown.photons.size()), 2 * 50 + 1);
        for (int bin = 0; bin <= 100; ++bin)
            QCOMPARE(shown.photons[size_t(bin)], shell_->calculationState().PhotonSpectrumTable[size_t(bin)]);
        QCOMPARE(shown.effectiveEnergyKev, shell_->calculationState().effectiveEnergyKev);
        QCOMPARE(shown.hvl1MmAl, text("Text13")->text());
        const QList<QAbstractSeries*> series = window->chartView()->chart()->series();
        QCOMPARE(series.size(), 2);
        auto* marker = qobject_cast<QLineSeries*>(series[1]);
        QVERIFY(marker);
        QCOMPARE(marker->at(0).x(), shell_->calculationState().effectiveEnergyKev);
        auto* figures = window->findChild<QLabel*>(QStringLiteral("Label1"));
        QVERIFY(figures->text().contains(text("Text13")->text() + QStringLiteral(" mmAl")));
        if (const QString pictures = qEnvironmentVariable("TAMSO_SCREENSHOT_DIR"); !pictures.isEmpty()) {
            QVERIFY(window->grab().save(QDir(pictures).filePath(QStringLiteral("spectrum-window.png"))));
            // The report's second page with this spectrum, as a PDF to look at.
            QPrinter printer(QPrinter::HighResolution);
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(QDir(pictures).filePath(QStringLiteral("report-spectrum.pdf")));
            ui::ReportFields fields = form1()->reportFields();
            fields.spectrum = shown;
            QVERIFY(ui::printReport(printer, fields, shell_->calculationState(), true).ok());
        }
        // The report receives it with the hand-over.
        QSignalSpy handOver(form1(), &ui::ConditionsScreen::reportRequested);
        click("Command3");
        click("Command4");
        click("Command6");
        QCOMPARE(handOver.first().first().value<ui::ReportFields>().spectrum.photons, shown.photons);
        // A changed input clears the results, and the spectrum window goes with them.
        text("Text5")->setText(QStringLiteral("60"));
        QVERIFY(!window->isVisible());
        QVERIFY(!button("Command14")->isEnabled());
    }

    // After a run the dose stands against the reference level of the chosen body part; above it
    // the field says so in words and in red. No level, no comparison.
    void doseComparedWithTheReferenceLevel() {
        shell_->siteData().referenceLevels.rows = {{"腹部正面", 0.1, "test level"},
                                                   {"胸部正面", 0.5, "test"}};
        QVERIFY(text("Text27")->text().isEmpty());
        click("Command2");
        const double dose = textio::textToNumber(ui::utf8(text("Text20")->text()));
        QVERIFY(dose > 0.1 && dose < 0.5);
        const QString ratioAbove = ui::qs(textio::formatNumber(dose / 0.1, "#0.00"));
        QCOMPARE(text("Text27")->text(),
                 QStringLiteral("0.100 mGy の ") + ratioAbove + QStringLiteral(" 倍（参考レベル超過）"));
        // Above the level the dose and its comparison turn red and bold; below it they are as any text.
        const QColor red(0xd0, 0x00, 0x00);
        for (const char* name : {"Text27", "Text20"}) {
            QCOMPARE(text(name)->palette().color(QPalette::Text), red);
            QVERIFY(text(name)->font().bold());
        }
        // Another body part: its own level, below it.
        combo("Combo2")->setEditText(QStringLiteral("胸部正面"));
        QCOMPARE(text("Text27")->text(), QStringLiteral("0.500 mGy の ") +
                                             ui::qs(textio::formatNumber(dose / 0.5, "#0.00")) +
                                             QStringLiteral(" 倍"));
        for (const char* name : {"Text27", "Text20"}) {
            QCOMPARE(text(name)->palette().color(QPalette::Text),
                     text("Text17")->palette().color(QPalette::Text));
            QVERIFY(!text(name)->font().bold());
        }
        // The hand-over carries it to the report.
        QSignalSpy handOver(form1(), &ui::ConditionsScreen::reportRequested);
        click("Command3");
        click("Command4");
        click("Command6");
        const auto handed = handOver.first().first().value<ui::ReportFields>();
        QCOMPARE(handed.referenceLevel, text("Text27")->text());
        QVERIFY(!handed.aboveReferenceLevel);
        if (const QString pictures = qEnvironmentVariable("TAMSO_SCREENSHOT_DIR"); !pictures.isEmpty()) {
            // The printed report of this exposure, above the abdomen level, to look at.
            ui::ReportFields printed = shell_->reportScreen()->fields();
            printed.bodyPart = QStringLiteral("腹部正面");
            ui::compareWithReferenceLevel(printed, shell_->siteData().referenceLevels);
            QPrinter printer(QPrinter::HighResolution);
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(QDir(pictures).filePath(QStringLiteral("report-remarks.pdf")));
            QVERIFY(ui::printReport(printer, printed, shell_->calculationState()).ok());
        }
        // A body part without a level, and results that are gone, show nothing.
        combo("Combo2")->setEditText(QStringLiteral("頭部"));
        QVERIFY(text("Text27")->text().isEmpty());
        combo("Combo2")->setEditText(QStringLiteral("腹部正面"));
        QVERIFY(!text("Text27")->text().isEmpty());
        text("Text5")->setText(QStringLiteral("60"));
        QVERIFY(text("Text27")->text().isEmpty());
        shell_->siteData().referenceLevels.rows.clear();
    }

    void resultFieldsAreNotForTyping() {
        for (const char* name :
             {"Text7", "Text12", "Text13", "Text14", "Text15", "Text16", "Text19", "Text24"})
            QVERIFY2(!text(name)->isEnabled(), name);
        for (const char* name : {"Text17", "Text18", "Text20", "Text26", "Text21", "Text22", "Text25"})
            QVERIFY2(text(name)->isEnabled() && text(name)->isReadOnly(), name);
    }
};

QTEST_MAIN(ConditionsTest)
#include "tst_conditions.moc"
