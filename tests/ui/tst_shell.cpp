// The program's shell: start-up with and without readable reference data, the start screen's
// commands and the wiring of the windows, the illustration window, the end of the program, and the accessible
// names of every control on the screens of this subsystem. With TAMSO_SCREENSHOT_DIR set, the screens are
// also saved as pictures there.

#include "uitestsupport.h"

#include "engine/calculationstate.h"
#include "ui/conditions/conditionsscreen.h"
#include "ui/conditions/measuredexposuredialog.h"
#include "ui/conditions/spectrumwindow.h"
#include "ui/editors/ambientdoseeditor.h"
#include "ui/editors/basicdataeditor.h"
#include "ui/editors/tubeoutputeditor.h"
#include "ui/kit/messagebox.h"
#include "ui/kit/uiutil.h"
#include "ui/records/doseauditwindow.h"
#include "ui/records/dosehistorywindow.h"
#include "ui/records/receivedimageswindow.h"
#include "ui/records/recordsearchscreen.h"
#include "ui/report/reportfields.h"
#include "ui/report/reportscreen.h"
#include "ui/shell/illustrationwindow.h"
#include "ui/shell/shell.h"
#include "ui/shell/startscreen.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QtTest>

#include <memory>

using namespace tamso;
using ui::MessageBox;

class ShellTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<ui::Shell> shell_;
    int quitCount_ = 0;

    QPushButton* startButton(const char* name) const {
        return shell_->startScreen()->findChild<QPushButton*>(QString::fromLatin1(name));
    }
    QPushButton* form1Button(const char* name) const {
        return shell_->conditionsScreen()->findChild<QPushButton*>(QString::fromLatin1(name));
    }
    void click(QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); }

    static int visibleTopLevels() {
        int n = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            n += w->isVisible() ? 1 : 0;
        return n;
    }

    // Every control below the window carries an accessible name, and its object name as its
    // accessible description.
    static void checkAccessible(QWidget* window) {
        const auto children = window->findChildren<QWidget*>();
        int controls = 0;
        for (QWidget* w : children) {
            const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
                                 qobject_cast<QComboBox*>(w) || qobject_cast<QLabel*>(w) ||
                                 qobject_cast<QDateEdit*>(w) || qobject_cast<QGroupBox*>(w) ||
                                 !w->accessibleDescription().isEmpty();
            // Parts that Qt builds inside a control (a combo box's line edit, a date edit's
            // field) belong to that control.
            const bool inner =
                qobject_cast<QComboBox*>(w->parentWidget()) || qobject_cast<QDateEdit*>(w->parentWidget());
            if (!control || inner)
                continue;
            ++controls;
            const QString where = window->objectName() + QLatin1Char('.') + w->objectName() +
                                  QLatin1Char(' ') + QString::fromLatin1(w->metaObject()->className());
            QVERIFY2(!w->objectName().isEmpty(), qPrintable(where));
            QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(where));
            QVERIFY2(w->accessibleDescription() == w->objectName(), qPrintable(where));
        }
        QVERIFY(controls >= 2);
    }

    void grab(QWidget* window, const char* file) {
        const QString folder = qEnvironmentVariable("TAMSO_SCREENSHOT_DIR");
        if (folder.isEmpty())
            return;
        QVERIFY(window->grab().save(QDir(folder).filePath(QString::fromLatin1(file))));
    }

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(uitest::prepareWorkingFolder(*dir_));
        quitCount_ = 0;
        shell_ = std::make_unique<ui::Shell>();
        shell_->quitProgram = [this] { ++quitCount_; };
    }
    void cleanup() {
        shell_.reset();
        dir_.reset();
        QDir::setCurrent(QDir::tempPath());
    }

    // Esc closes every window as its close command does.
    void escapeClosesTheViewingWindows_data() {
        QTest::addColumn<QString>("window");
        for (const char* w : {"spectrum", "illustration", "history", "audit", "conditions", "report", "search",
                              "received"})
            QTest::newRow(w) << QString::fromLatin1(w);
    }
    void escapeClosesTheViewingWindows() {
        QFETCH(QString, window);
        QVERIFY(shell_->start());
        QWidget* shown = nullptr;
        if (window == QLatin1String("audit")) {
            shell_->openDoseAudit();
            shown = shell_->doseAuditWindow();
        } else if (window == QLatin1String("history")) {
            QFile file(QStringLiteral("ESC.pat"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(
                "A\r\n1\r\n2026/01/01\r\nB\r\nC\r\n8\r\nD\r\n60\r\n2\r\n100\r\nE\r\n .1 \r\n\r\n\r\n\r\n");
            file.close();
            shell_->openDoseHistory(QStringLiteral("ESC"));
            shown = shell_->doseHistoryWindow();
        } else if (window == QLatin1String("search")) {
            shell_->openRecordSearch();
            shown = shell_->recordSearchScreen();
        } else if (window == QLatin1String("received")) {
            shell_->openReceivedImages();
            shown = shell_->receivedImagesWindow();
        } else if (window == QLatin1String("conditions")) {
            QTest::mouseClick(startButton("Command1"), Qt::LeftButton);
            shown = shell_->conditionsScreen();
        } else if (window == QLatin1String("report")) {
            shell_->handOverToReport(uitest::sampleReportFields());
            shown = shell_->reportScreen();
        } else {
            QTest::mouseClick(startButton("Command1"), Qt::LeftButton);
            QTest::mouseClick(form1Button("Command2"), Qt::LeftButton);
            if (window == QLatin1String("spectrum")) {
                QTest::mouseClick(form1Button("Command14"), Qt::LeftButton);
                shown = shell_->spectrumWindow();
            } else {
                QTest::mouseClick(form1Button("Command3"), Qt::LeftButton);
                shown = shell_->illustrationWindow();
            }
        }
        QVERIFY(shown && shown->isVisible());
        shown->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(shown));
        QTest::keyClick(shown, Qt::Key_Escape);
        QVERIFY(!shown->isVisible());
    }

    // Tab leaves a table for the next control, so that the commands after it are reached without
    // a mouse.
    void tabLeavesTheTables_data() {
        QTest::addColumn<QString>("window");
        for (const char* w : {"audit", "received"})
            QTest::newRow(w) << QString::fromLatin1(w);
    }
    void tabLeavesTheTables() {
        QFETCH(QString, window);
        QVERIFY(shell_->start());
        QWidget* shown = nullptr;
        if (window == QLatin1String("audit")) {
            shell_->openDoseAudit();
            shown = shell_->doseAuditWindow();
        } else {
            shell_->openReceivedImages();
            shown = shell_->receivedImagesWindow();
        }
        shown->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(shown));
        auto* table = shown->findChild<QTableWidget*>(QStringLiteral("Grid1"));
        table->setRowCount(2); // cells to walk between, were Tab to stay in the table
        table->setCurrentCell(0, 0);
        table->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(table->hasFocus());
        QTest::keyClick(table, Qt::Key_Tab);
        QVERIFY(QApplication::focusWidget() && QApplication::focusWidget() != table);
        QCOMPARE(table->currentRow(), 0);
    }

    void unreadableReferenceDataEndsBeforeAnyScreen() {
        QTemporaryDir empty;
        QDir::setCurrent(empty.path());
        MessageBox::clearShown();
        QVERIFY(!shell_->start());
        QCOMPARE(MessageBox::shown().size(), 1);
        QCOMPARE(MessageBox::shown().first().kind, MessageBox::Kind::Warning);
        QCOMPARE(MessageBox::shown().first().icon, QMessageBox::Warning);
        QVERIFY(!MessageBox::shown().first().text.isEmpty());
        QVERIFY(!shell_->startScreen());
        QCOMPARE(visibleTopLevels(), 0);
    }

    // Each shell has a calculation state of its own: its screens show that state's basic data, and
    // a calculation on one shell's screen changes its state only.
    void eachShellOwnsTheStateItsScreensUse() {
        ui::Shell other;
        other.quitProgram = [] {};
        QVERIFY(shell_->start());
        QVERIFY(other.start());
        QVERIFY(&other.calculationState() != &shell_->calculationState());
        const struct {
            ui::Shell* shell;
            std::string unit;
        } shells[] = {{shell_.get(), "装置A"}, {&other, "装置B"}};
        for (const auto& s : shells) {
            s.shell->calculationState().xrayUnitName = s.unit;
            s.shell->newCalculation();
        }
        for (const auto& s : shells)
            QCOMPARE(s.shell->conditionsScreen()->findChild<QLineEdit*>(QStringLiteral("Text29"))->text(),
                     ui::qs(s.unit));
        shell_->conditionsScreen()->runCalculation();
        QVERIFY(shell_->calculationState().entranceSurfaceDoseMGy > 0);
        QCOMPARE(other.calculationState().entranceSurfaceDoseMGy, 0.0);
    }

    void startScreenShowsTheHospital() {
        shell_->calculationState().hospitalName = "stale";
        QVERIFY(shell_->start());
        ui::StartScreen* form2 = shell_->startScreen();
        QVERIFY(form2->isVisible());
        QCOMPARE(form2->objectName(), QStringLiteral("Form2"));
        QCOMPARE(form2->windowTitle(), QStringLiteral("TAMSO-Ⅱ"));
        QCOMPARE(form2->size(), QSize(ui::twips(6825), ui::twips(8235)));
        auto* hospital = form2->findChild<QLabel*>(QStringLiteral("Label10"));
        QVERIFY(shell_->calculationState().hospitalName != "stale");
        QCOMPARE(hospital->text(), ui::qs(shell_->calculationState().hospitalName));
        QCOMPARE(startButton("Command1")->text(), QStringLiteral("新規計算"));
        QCOMPARE(startButton("Command3")->text(), QStringLiteral("終　了"));
        QCOMPARE(startButton("Command3")->toolTip(), QStringLiteral(" bye "));
        QCOMPARE(startButton("Command2")->geometry(), ui::twipsRect(4320, 4800, 2295, 525));
        // A facility name saved in the basic data editor is shown at once.
        click(startButton("Command4"));
        ui::BasicDataEditor* form6 = shell_->basicDataEditor();
        QVERIFY(form6 && form6->isVisible());
        form6->findChild<QLineEdit*>(QStringLiteral("Text6"))->setText(QStringLiteral("テスト病院"));
        click(form6->findChild<QPushButton*>(QStringLiteral("Command1")));
        QCOMPARE(hospital->text(), QStringLiteral("テスト病院"));
        QCOMPARE(hospital->accessibleName(), QStringLiteral("テスト病院"));
        auto* picture = form2->findChild<QLabel*>(QStringLiteral("Picture1"));
        QVERIFY(!picture->pixmap().isNull());
        checkAccessible(form2);
    }

    // The start screen's controls stand where the layout puts them (left, top, width, height in
    // twips); the title keeps its place and still fits there.
    void startScreenLayout() {
        QVERIFY(shell_->start());
        ui::StartScreen* form2 = shell_->startScreen();
        const struct {
            const char* name;
            int l, t, w, h;
        } places[] = {{"Label7", 1440, 240, 1125, 465},    {"Label8", 2760, 300, 495, 495},
                      {"Label3", 480, 120, 5070, 345},     {"Label4", 2280, 480, 3735, 345},
                      {"Label1", 5040, 3480, 1185, 360},   {"Label2", 5025, 3465, 1065, 360},
                      {"Command1", 4320, 4080, 2295, 525}, {"Command2", 4320, 4800, 2295, 525},
                      {"Command3", 4320, 5520, 2295, 495}, {"Command4", 4800, 6960, 1815, 345},
                      {"Label10", 2415, 7560, 2160, 240},  {"Label5", 2040, 7920, 2910, 225}};
        for (const auto& p : places) {
            auto* w = form2->findChild<QWidget*>(QString::fromLatin1(p.name));
            QVERIFY2(w, p.name);
            QCOMPARE(w->geometry(), ui::twipsRect(p.l, p.t, p.w, p.h));
        }
        auto* title = form2->findChild<QLabel*>(QStringLiteral("Label7"));
        QVERIFY(QFontMetrics(title->font()).horizontalAdvance(title->text()) <= title->width());
        const QString texts[] = {QStringLiteral("TAMSO"), QStringLiteral("Ⅱ"),
                                 QStringLiteral("TAMSO"), QStringLiteral("in NICU room"),
                                 QStringLiteral("MENU"),  QStringLiteral("MENU")};
        for (int i = 0; i < 6; ++i)
            QCOMPARE(form2->findChild<QLabel*>(QString::fromLatin1(places[i].name))->text(), texts[i]);
        QCOMPARE(startButton("Command2")->text(), QStringLiteral("データ検索"));
        QCOMPARE(startButton("Command4")->text(), QStringLiteral("基本データ入力"));
        QCOMPARE(startButton("Command1")->font().family(), ui::roundGothicFontFamily());
        QCOMPARE(form2->font().family(), ui::timesFontFamily());
    }

    // Enter presses the focused command on the start screen and in the illustration window.
    void enterPressesTheFocusedCommand() {
        QVERIFY(shell_->start());
        startButton("Command1")->setFocus();
        QTest::keyClick(startButton("Command1"), Qt::Key_Return);
        QVERIFY(shell_->conditionsScreen() && shell_->conditionsScreen()->isVisible());
        QVERIFY(!shell_->startScreen()->isVisible());
        click(form1Button("Command2"));
        click(form1Button("Command3"));
        ui::IllustrationWindow* form4 = shell_->illustrationWindow();
        QVERIFY(form4->isVisible());
        auto* close = form4->findChild<QPushButton*>(QStringLiteral("Command1"));
        close->setFocus();
        QTest::keyClick(close, Qt::Key_Enter);
        QVERIFY(!form4->isVisible());
        QVERIFY(shell_->conditionsScreen()->isVisible());
    }

    // The menu's commands open their windows, each created once and kept while it is only hidden.
    void menuCommandsOpenTheirWindows() {
        QVERIFY(shell_->start());
        QSignalSpy search(shell_->startScreen(), &ui::StartScreen::recordSearchRequested);
        QSignalSpy basic(shell_->startScreen(), &ui::StartScreen::basicDataEditorRequested);
        click(startButton("Command2"));
        ui::RecordSearchScreen* form5 = shell_->recordSearchScreen();
        QVERIFY(form5 && form5->isVisible());
        form5->hide();
        click(startButton("Command2"));
        QCOMPARE(shell_->recordSearchScreen(), form5);
        QVERIFY(form5->isVisible());
        click(startButton("Command4"));
        QVERIFY(shell_->basicDataEditor() && shell_->basicDataEditor()->isVisible());
        QCOMPARE(search.size(), 2);
        QCOMPARE(basic.size(), 1);
        QVERIFY(shell_->startScreen()->isVisible()); // the search leaves the start screen up
        QCOMPARE(quitCount_, 0);
        // The close box discards a window; its next use creates it afresh.
        form5->close();
        QTRY_VERIFY(!shell_->recordSearchScreen());
        click(startButton("Command2"));
        QVERIFY(shell_->recordSearchScreen() && shell_->recordSearchScreen()->isVisible());
    }

    void exitEndsAtOnce_data() {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("終　了") << false;
        QTest::newRow("close box") << true;
    }
    void exitEndsAtOnce() {
        QFETCH(bool, closeBox);
        QVERIFY(shell_->start());
        click(startButton("Command1"));
        click(form1Button("Command2"));
        click(form1Button("Command3"));
        QTest::mouseClick(form1Button("Command1"), Qt::LeftButton); // back to the menu
        MessageBox::clearShown();
        if (closeBox)
            shell_->startScreen()->close();
        else
            click(startButton("Command3"));
        QCOMPARE(quitCount_, 1);
        QVERIFY(MessageBox::shown().isEmpty()); // nothing is asked
        QCOMPARE(visibleTopLevels(), 0);
    }

    void newCalculationDisablesTheFollowUpCommands() {
        QVERIFY(shell_->start());
        click(startButton("Command1"));
        ui::ConditionsScreen* form1 = shell_->conditionsScreen();
        QVERIFY(form1->isVisible());
        QVERIFY(!shell_->startScreen()->isVisible());
        click(form1Button("Command2"));
        click(form1Button("Command3"));
        click(form1Button("Command4"));
        QVERIFY(form1Button("Command6")->isEnabled());
        // Another case started while the screen is still shown (e.g. from a second menu use).
        shell_->startScreen()->show();
        click(startButton("Command1"));
        QCOMPARE(shell_->conditionsScreen(), form1);
        for (const char* name : {"Command3", "Command4", "Command6"})
            QVERIFY2(!form1Button(name)->isEnabled(), name);
    }

    void illustrationWindow() {
        QVERIFY(shell_->start());
        click(startButton("Command1"));
        click(form1Button("Command2"));
        click(form1Button("Command3"));
        ui::IllustrationWindow* form4 = shell_->illustrationWindow();
        QVERIFY(form4 && form4->isVisible());
        QCOMPARE(form4->windowTitle(), QStringLiteral("保育器の周辺線量　線量評価点"));
        QCOMPARE(form4->size(), QSize(ui::twips(7260), ui::twips(8190)));
        QVERIFY(shell_->conditionsScreen()->isVisible()); // not modal
        for (const char* label : {"FFD", "40 cm", "PMMA 6mm", "1", "2", "3", "30 cm"})
            QVERIFY2(ui::IncubatorDrawing::labels().contains(QString::fromUtf8(label)), label);
        QVERIFY(ui::IncubatorDrawing::labels().contains(QStringLiteral("保育器外側の周辺線量当量評価点")));
        // The drawing paints something besides its background.
        const QImage picture = form4->findChild<QWidget*>(QStringLiteral("Picture1"))->grab().toImage();
        QVERIFY(picture.pixel(picture.width() / 2, picture.height() / 2) != picture.pixel(2, 2) ||
                picture.pixel(picture.width() / 3, picture.height() / 2) != picture.pixel(2, 2));
        checkAccessible(form4);
        grab(form4, "form4.png");

        auto* close = form4->findChild<QPushButton*>(QStringLiteral("Command1"));
        QCOMPARE(close->geometry(), ui::twipsRect(6120, 7560, 1095, 495));
        shell_->conditionsScreen()->hide();
        click(close);
        QVERIFY(!form4->isVisible());
        QVERIFY(shell_->conditionsScreen()->isVisible());
        // The hand-over to the report hides it as well, and so does the report's " bye bye ".
        click(form1Button("Command3"));
        QVERIFY(form4->isVisible());
        click(form1Button("Command4"));
        click(form1Button("Command6"));
        QVERIFY(!form4->isVisible());
        QVERIFY(shell_->reportScreen()->isVisible());
        click(form1Button("Command3"));
        QVERIFY(form4->isVisible());
        click(shell_->reportScreen()->findChild<QPushButton*>(QStringLiteral("Command1")));
        QVERIFY(!form4->isVisible());
        QVERIFY(!shell_->reportScreen()->isVisible());
    }

    // What the exposure-condition screen asks for reaches the right window, and back.
    void conditionsScreenWiring() {
        QVERIFY(shell_->start());
        // Before the screen exists, editors and the illustration do not reach for it.
        shell_->openTubeOutputEditor();
        QVERIFY(shell_->tubeOutputEditor()->isVisible());
        click(shell_->tubeOutputEditor()->findChild<QPushButton*>(QStringLiteral("Command2")));
        click(startButton("Command1"));
        ui::ConditionsScreen* form1 = shell_->conditionsScreen();
        form1->setOutputDataNameShown(QStringLiteral("xray_b.op"));
        QCOMPARE(form1->findChild<QLineEdit*>(QStringLiteral("Text24"))->text(), QStringLiteral("xray_b"));
        form1->setOutputDataNameShown(QStringLiteral("op"));
        QCOMPARE(form1->findChild<QLineEdit*>(QStringLiteral("Text24"))->text(), QString());

        // " bye bye " hides the measured-exposure dialog and the tube output editor with the screen.
        QTest::mouseClick(form1->findChild<QRadioButton*>(QStringLiteral("Option4")), Qt::LeftButton);
        QVERIFY(form1->measuredExposureDialog()->isVisible());
        click(form1Button("Command12"));
        QVERIFY(shell_->tubeOutputEditor()->isVisible());
        click(form1Button("Command1"));
        QVERIFY(!form1->measuredExposureDialog()->isVisible());
        QVERIFY(!shell_->tubeOutputEditor()->isVisible());

        // The illustration's close command brings the screen back to the front.
        click(startButton("Command1"));
        click(form1Button("Command2"));
        click(form1Button("Command3"));
        form1->hide();
        click(shell_->illustrationWindow()->findChild<QPushButton*>(QStringLiteral("Command1")));
        QVERIFY(form1->isVisible());

        // Each editor command opens its own editor.
        QSignalSpy tube(form1, &ui::ConditionsScreen::tubeOutputEditorRequested);
        QSignalSpy ambient(form1, &ui::ConditionsScreen::ambientDoseEditorRequested);
        click(form1Button("Command5"));
        QVERIFY(shell_->ambientDoseEditor() && shell_->ambientDoseEditor()->isVisible());
        click(form1Button("Command12"));
        QCOMPARE(tube.size(), 1);
        QCOMPARE(ambient.size(), 1);
    }

    void everyControlIsNamedAndScreenshots() {
        QVERIFY(shell_->start());
        grab(shell_->startScreen(), "form2.png");
        click(startButton("Command1"));
        ui::ConditionsScreen* form1 = shell_->conditionsScreen();
        QVERIFY(QTest::qWaitForWindowExposed(form1));
        click(form1Button("Command2"));
        click(form1Button("Command3"));
        click(form1Button("Command4"));
        checkAccessible(form1);
        QCOMPARE(form1->findChild<QLineEdit*>(QStringLiteral("Text5"))->accessibleName(),
                 QStringLiteral("Ｘ線管電圧"));
        QCOMPARE(form1Button("Command2")->accessibleName(), QStringLiteral("Go !"));
        QCOMPARE(form1Button("Command2")->toolTip(), QStringLiteral(" Go ! "));
        QCOMPARE(form1Button("Command1")->toolTip(), QStringLiteral(" bye bye "));
        QCOMPARE(form1Button("Command4")->text(), QStringLiteral("計算する"));
        QVERIFY(!form1Button("Command2")->icon().isNull());
        grab(form1, "form1-calculated.png");
        QTest::mouseClick(form1->findChild<QRadioButton*>(QStringLiteral("Option4")), Qt::LeftButton);
        ui::MeasuredExposureDialog* form9 = form1->measuredExposureDialog();
        checkAccessible(form9);
        auto* cancel = form9->findChild<QPushButton*>(QStringLiteral("Command2"));
        QCOMPARE(cancel->toolTip(), QStringLiteral(" やめます "));
        grab(form9, "form9.png");
    }
};

QTEST_MAIN(ShellTest)
#include "tst_shell.moc"
