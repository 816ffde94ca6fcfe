// The organ doses on the screens: the weight and the effective dose on the exposure-condition
// screen, the organ-dose window and the effective dose on the printed report.

#include "engine/calculationstate.h"
#include "engine/organdose.h"
#include "refdata/organdosefile.h"
#include "textio/filenames.h"
#include "textio/quantitytext.h"
#include "ui/conditions/conditionsscreen.h"
#include "ui/conditions/organdosewindow.h"
#include "ui/kit/language.h"
#include "ui/kit/messagebox.h"
#include "ui/kit/organdosedata.h"
#include "ui/kit/uiutil.h"
#include "ui/report/reportprinter.h"
#include "ui/shell/shell.h"
#include "ui/shell/startscreen.h"
#include "uitestsupport.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include <chrono>
#include <filesystem>

using namespace tamso;

class OrganDosesTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<ui::Shell> shell_;

    ui::ConditionsScreen* form1() const { return shell_->conditionsScreen(); }
    QPushButton* button(const char* name) const {
        return form1()->findChild<QPushButton*>(QString::fromLatin1(name));
    }
    void run(const QString& bodyPart, const QString& weight) {
        form1()->findChild<QComboBox*>(QStringLiteral("Combo2"))->setEditText(bodyPart);
        form1()->weightField()->clear();
        uitest::commitText(form1()->weightField(), weight);
        QTest::mouseClick(button("Command2"), Qt::LeftButton);
    }
    // What the engine gives for the exposure left in the state.
    engine::OrganDoseResult expected(const std::string& bodyPart, std::optional<double> weight) const {
        auto data = refdata::loadOrganDoseData(ui::workingFolderPath());
        auto r = engine::organDosesForBodyPart(data->table, shell_->calculationState(), bodyPart, weight,
                                               data->defaultWeightKg);
        return *r;
    }

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(uitest::prepareWorkingFolder(*dir_));
        for (const char* name : {refdata::kOrganDoseFileName, refdata::kDefaultWeightFileName})
            QVERIFY(QFile::copy(QStringLiteral(TAMSO_SOURCE_DIR "/data/") + QString::fromUtf8(name),
                                dir_->filePath(QString::fromUtf8(name))));
        shell_ = std::make_unique<ui::Shell>();
        shell_->quitProgram = [] {};
        QVERIFY(shell_->start());
        QTest::mouseClick(shell_->startScreen()->findChild<QPushButton*>(QStringLiteral("Command1")),
                          Qt::LeftButton);
        QVERIFY(form1());
    }
    void cleanup() {
        shell_.reset();
        dir_.reset();
    }

    // The effective dose beside the dose after each run: the engine's, the weight typed or the
    // site's default (then said), and the reason where it cannot be computed.
    void screenShowsTheEffectiveDose() {
        struct Case {
            const char* bodyPart;
            const char* weight;
            double kg; // as read; 0 for none
            bool available, assumed;
        };
        const Case cases[] = {{"胸部正面", "", 0, true, true},
                              {"腹部正面", "1.2", 1.2, true, false},
                              {"頭部側面", "２．５", 2.5, true, false},
                              {"四肢", "", 0, false, false}};
        for (const Case& c : cases) {
            run(QString::fromUtf8(c.bodyPart), QString::fromUtf8(c.weight));
            const QString shown = form1()->effectiveDoseField()->text();
            QVERIFY2(!form1()->resultField(engine::ResultField::EntranceSurfaceDoseMGy)->text().isEmpty(),
                     qPrintable(ui::MessageBox::shown().isEmpty() ? QString() : ui::MessageBox::shown().last().text));
            QCOMPARE(form1()->organDoses().has_value(), c.available);
            QCOMPARE(button("Command15")->isEnabled(), c.available);
            if (!c.available) {
                QVERIFY2(shown.startsWith(QStringLiteral("計算できません")) && !form1()->effectiveDoseField()->toolTip().isEmpty(), qPrintable(shown));
                continue;
            }
            const std::optional<double> weight = c.kg > 0 ? std::optional<double>(c.kg) : std::nullopt;
            const engine::OrganDoseResult e = expected(c.bodyPart, weight);
            QVERIFY2(shown.startsWith(ui::qs(textio::effectiveDoseWithUncertaintyText(e.effectiveDoseUSv,
                                                                                      e.effectiveDoseUUSv))),
                     qPrintable(shown));
            QCOMPARE(shown.contains(QStringLiteral("既定値")), c.assumed);
        }
        // A weight outside the plausible range refuses the run with a message; the field keeps the focus.
        form1()->weightField()->clear();
        uitest::commitText(form1()->weightField(), QStringLiteral("9"));
        QTest::mouseClick(button("Command2"), Qt::LeftButton);
        QVERIFY(form1()->effectiveDoseField()->text().isEmpty());
        QVERIFY(!button("Command6")->isEnabled());
    }

    // The site's default weight and organ-dose table as they stand at each run: a file changed (or
    // removed) while the program runs is read again, whatever changed in it.
    void effectiveDoseFollowsTheSiteFilesAsChanged() {
        QFile tableFile(dir_->filePath(QString::fromUtf8(refdata::kOrganDoseFileName)));
        QVERIFY(tableFile.open(QIODevice::ReadOnly));
        const QByteArray table = tableFile.readAll();
        tableFile.close();
        struct Case {
            const char* file;
            std::optional<QByteArray> bytes; // nothing: the file removed
            int secondsLater;                // its time after the file's before (0: the same time)
            double defaultKg;                // the default weight then used; 0: no effective dose
        };
        const Case cases[] = {{refdata::kDefaultWeightFileName, QByteArray("2.4\r\n"), 2, 2.4},
                              {refdata::kDefaultWeightFileName, QByteArray("1.2\r\n"), 2, 1.2}, // same size
                              {refdata::kDefaultWeightFileName, QByteArray("# kg\r\n1.8\r\n"), 0, 1.8},
                              {refdata::kDefaultWeightFileName, QByteArray("x\r\n"), 2, 0},
                              {refdata::kDefaultWeightFileName, QByteArray("3\r\n"), 2, 3},
                              {refdata::kOrganDoseFileName, std::nullopt, 0, 0},
                              {refdata::kOrganDoseFileName, table, 0, 3}};
        run(QStringLiteral("胸部正面"), QString()); // the files read before they change
        QVERIFY(form1()->organDoses().has_value());
        for (const Case& c : cases) {
            const std::filesystem::path path = textio::fileInFolder(ui::workingFolderPath(), c.file);
            const auto before = std::filesystem::exists(path) ? std::filesystem::last_write_time(path)
                                                              : std::filesystem::file_time_type::clock::now();
            QFile file(ui::qs(path.u8string()));
            file.remove();
            if (c.bytes) {
                QVERIFY(file.open(QIODevice::WriteOnly) && file.write(*c.bytes) == c.bytes->size());
                file.close();
                // Set, as an edit some seconds on leaves it, whatever the grain of the clock.
                std::filesystem::last_write_time(path, before + std::chrono::seconds(c.secondsLater));
            }
            run(QStringLiteral("胸部正面"), QString());
            const QString shown = form1()->effectiveDoseField()->text();
            QCOMPARE(form1()->organDoses().has_value(), c.defaultKg > 0);
            if (c.defaultKg == 0) {
                QVERIFY2(shown.startsWith(QStringLiteral("計算できません")), qPrintable(shown));
                continue;
            }
            QCOMPARE(form1()->organDoses()->weightKg, c.defaultKg);
            QCOMPARE(shown, ui::effectiveDoseShown(expected("胸部正面", std::nullopt)));
        }
    }

    // The button opens the organ doses: every organ with its dose, Esc closes the window.
    void organWindowShowsEveryOrgan() {
        run(QStringLiteral("胸部正面"), QStringLiteral("3"));
        QTest::mouseClick(button("Command15"), Qt::LeftButton);
        ui::OrganDoseWindow* window = shell_->organDoseWindow();
        QVERIFY(window && window->isVisible());
        QTableWidget* table = window->table();
        QCOMPARE(table->rowCount(), engine::kOrganCount);
        const engine::OrganDoseResult e = expected("胸部正面", 3.0);
        for (int o : {int(engine::Lungs), int(engine::Brain), int(engine::Testes)})
            QCOMPARE(table->item(o, 1)->text(), ui::qs(textio::organDoseText(e.doseUGy[o])));
        QVERIFY(e.doseUGy[engine::Lungs] > e.doseUGy[engine::Testes]); // the chest's organs, not the gonads
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QTest::keyClick(window, Qt::Key_Escape);
        QVERIFY(!window->isVisible());
        // A changed condition clears the results, and the window goes with them.
        QTest::mouseClick(button("Command15"), Qt::LeftButton);
        uitest::commitText(form1()->findChild<QLineEdit*>(QStringLiteral("Text5")), QStringLiteral("60"));
        QVERIFY(!window->isVisible());
        QVERIFY(!button("Command15")->isEnabled());
    }

    // The report prints the effective dose the screen handed over, on the line of the dose.
    void reportPrintsTheEffectiveDose() {
        run(QStringLiteral("腹部正面"), QString());
        const ui::ReportFields fields = form1()->reportFields();
        QVERIFY(!fields.effectiveDose.isEmpty());
        const QString pdf = dir_->filePath(QStringLiteral("report.pdf"));
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        QVERIFY(ui::printReport(printer, fields, shell_->calculationState()).ok());
        QString text, error;
        QVERIFY2(uitest::pdfText(pdf, text, error), qPrintable(error));
        const QString value = fields.effectiveDose.section(QStringLiteral(" μSv"), 0, 0);
        QVERIFY2(text.contains(QStringLiteral("実効線量 ") + value), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("既定値")), qPrintable(text));
    }

    // With TAMSO_SCREENSHOT_DIR: the screen and the window in both languages.
    void screenshots() {
        const QString pictures = qEnvironmentVariable("TAMSO_SCREENSHOT_DIR");
        if (pictures.isEmpty())
            QSKIP("TAMSO_SCREENSHOT_DIR not set");
        for (const auto& [language, suffix] : {std::pair{ui::Language::Japanese, ""}, std::pair{ui::Language::English, "-en"}}) {
            QVERIFY(ui::installLanguage(language));
            cleanup();
            init();
            run(QStringLiteral("胸部正面"), QString());
            QTest::mouseClick(button("Command15"), Qt::LeftButton);
            QVERIFY(QTest::qWaitForWindowExposed(shell_->organDoseWindow()));
            const QString end = QString::fromLatin1(suffix) + QStringLiteral(".png");
            QVERIFY(form1()->grab().save(QDir(pictures).filePath(QStringLiteral("form1-effective-dose") + end)));
            QVERIFY(shell_->organDoseWindow()->grab().save(QDir(pictures).filePath(QStringLiteral("organ-doses") + end)));
        }
        QVERIFY(ui::installLanguage(ui::Language::Japanese));
    }
};

QTEST_MAIN(OrganDosesTest)
#include "tst_organdoses.moc"
