// The report screen's form: its frames, fields and commands, named and numbered as the form names
// them, made in tab order.

#include "ui/report/reportscreen.h"

#include "ui/kit/language.h"
#include "ui/kit/messagebox.h"
#include "ui/kit/numberinput.h"
#include "ui/kit/uiutil.h"
#include "ui/report/reportlayout.h"
#include "ui/report/reportpreview.h"
#include "ui/report/reportprinter.h"
#include "ui/report/reportrecordsave.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDate>
#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QStyle>

#include <cmath>
#include <filesystem>

namespace tamso::ui {

// Makes the screen's controls named and numbered as the form names them. The tab order follows the
// order in which they are made.
struct ReportScreen::Maker {
    QWidget* screen;
    int frameNumber = 0;
    int labelNumber = 0;

    void frame(int left, int top, int width, int height) {
        auto* f = new QFrame(screen);
        f->setFrameShape(QFrame::Box);
        f->setFrameShadow(QFrame::Sunken);
        nameControl(f, QStringLiteral("Frame%1").arg(++frameNumber), QString());
        placeTwips(f, left, top, width, height);
    }
    QString nextLabelName() { return QStringLiteral("Label%1").arg(++labelNumber); }
    QLabel* label(const QString& caption, int left, int top, int width = 1250) {
        auto* l = new QLabel(caption, screen);
        nameControl(l, nextLabelName(), caption);
        placeTwips(l, left, top, width, 300);
        return l;
    }
    QLineEdit* edit(const QString& name, const QString& caption, int left, int top, int width,
                    int height = 395) {
        auto* e = new QLineEdit(screen);
        nameControl(e, name, caption);
        placeTwips(e, left, top, width, height);
        return e;
    }
    QPushButton* button(const QString& name, const QString& caption, int left, int top, int width, int height) {
        auto* b = new QPushButton(caption, screen);
        nameControl(b, name, caption);
        placeTwips(b, left, top, width, height);
        return b;
    }
};

ReportScreen::ReportScreen(const engine::CalculationState& basicData,
                           const refdata::ReferenceLevelTable& referenceLevels, QWidget* parent)
    : QWidget(parent), basicData_(basicData), referenceLevels_(referenceLevels) {
    setObjectName(QStringLiteral("Form8"));
    setWindowTitle(QCoreApplication::translate("ReportScreen", "TAMSO Ⅱ 報告書"));
    setAccessibleName(windowTitle());
    setAccessibleDescription(objectName());
    setFixedSize(twips(12855), twips(11655));

    Maker make{this};
    make.frame(240, 240, 3855, 975);
    make.frame(240, 1440, 3855, 855);
    make.frame(240, 2400, 3855, 3735);
    make.frame(240, 6360, 3855, 2775);
    makePatientFields(make);
    makeConditionFields(make);
    makeDoseFields(make);
    makeCommands(make);

    preview_ = new ReportPreview(this);
    nameControl(preview_, QStringLiteral("Picture1"),
                QCoreApplication::translate("ReportScreen", "報告書プレビュー"));
    placeTwips(preview_, 4500, 0, 8295, 11655);

    setTabOrder(text1_, text2_);
    text1_->installEventFilter(this);
    connectControls();
    setOutputCommandsEnabled(false);
}

// ID, name and technologist.
void ReportScreen::makePatientFields(Maker& make) {
    make.label(QStringLiteral("ID No."), 360, 400);
    text1_ = make.edit(QStringLiteral("Text1"), QStringLiteral("ID No."), 1680, 360, 2175);
    make.label(QCoreApplication::translate("ReportScreen", "氏 名"), 360, 760);
    text2_ = make.edit(QStringLiteral("Text2"), QCoreApplication::translate("ReportScreen", "氏 名"), 1680,
                       720, 2175);

    make.label(QCoreApplication::translate("ReportScreen", "撮影担当"), 360, 1600);
    combo1_ = new QComboBox(this);
    combo1_->setEditable(true);
    combo1_->setInsertPolicy(QComboBox::NoInsert);
    nameControl(combo1_, QStringLiteral("Combo1"), QCoreApplication::translate("ReportScreen", "撮影担当"));
    placeTwips(combo1_, 1680, 1560, 2175, 360);
    command4_ = make.button(QStringLiteral("Command4"), QCoreApplication::translate("ReportScreen", "追加"),
                            3000, 1920, 975, 285);
}

// The exposure conditions, each with its unit.
void ReportScreen::makeConditionFields(Maker& make) {
    make.label(QCoreApplication::translate("ReportScreen", "撮影日"), 360, 2560);
    text3_ = make.edit(QStringLiteral("Text3"), QCoreApplication::translate("ReportScreen", "撮影日"), 1680,
                       2520, 2175);
    make.label(QCoreApplication::translate("ReportScreen", "撮影部位"), 360, 3040);
    text4_ = make.edit(QStringLiteral("Text4"), QCoreApplication::translate("ReportScreen", "撮影部位"), 1680,
                       3000, 2175);
    make.label(QCoreApplication::translate("ReportScreen", "体 厚"), 360, 3400);
    text9_ = make.edit(QStringLiteral("Text9"), QCoreApplication::translate("ReportScreen", "体 厚"), 1680,
                       3360, 1335);
    make.label(QStringLiteral("cm"), 3075, 3400, 700);
    make.label(QCoreApplication::translate("ReportScreen", "撮影装置"), 360, 3840);
    text17_ = make.edit(QStringLiteral("Text17"), QCoreApplication::translate("ReportScreen", "撮影装置"),
                        1080, 4200, 2775);
    make.label(QCoreApplication::translate("ReportScreen", "管電圧"), 360, 4600);
    text5_ = make.edit(QStringLiteral("Text5"), QCoreApplication::translate("ReportScreen", "管電圧"), 1680,
                       4560, 1335);
    make.label(QStringLiteral("kV"), 3075, 4600, 700);
    make.label(QCoreApplication::translate("ReportScreen", "電流･秒"), 360, 4960);
    text6_ = make.edit(QStringLiteral("Text6"), QCoreApplication::translate("ReportScreen", "電流･秒"), 1680,
                       4920, 1335);
    make.label(QStringLiteral("mAs"), 3075, 4960, 700);
    make.label(QStringLiteral("FFD"), 360, 5320);
    text7_ = make.edit(QStringLiteral("Text7"), QStringLiteral("FFD"), 1680, 5280, 1335);
    make.label(QStringLiteral("cm"), 3075, 5320, 700);
    make.label(QCoreApplication::translate("ReportScreen", "照射野"), 360, 5680);
    text8_ = make.edit(QStringLiteral("Text8"), QCoreApplication::translate("ReportScreen", "照射野"), 1680,
                       5640, 2175);
}

// The entrance surface dose, the caregivers' doses and the infant's dose so far.
void ReportScreen::makeDoseFields(Maker& make) {
    // Beside its field on one line, or on two where the words are longer (English).
    QLabel* doseCaption =
        make.label(QCoreApplication::translate("ReportScreen", "入射表面線量"), 360, 6690, 1750);
    doseCaption->setWordWrap(true);
    doseCaption->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    placeTwips(doseCaption, 360, 6690, 1750, 440);
    text10_ = make.edit(QStringLiteral("Text10"), QCoreApplication::translate("ReportScreen", "入射表面線量"),
                        2160, 6720, 1095);
    make.label(QStringLiteral("mGy"), 3315, 6760, 700);
    make.label(QCoreApplication::translate("ReportScreen", "介助者被ばく"), 360, 7440, 2000);
    const int caregiverTops[3] = {7800, 8160, 8520};
    QLineEdit** caregivers[3] = {&text11_, &text12_, &text13_};
    for (int i = 0; i < 3; ++i) {
        const QString row = QString::number(i + 1);
        make.label(row, 1200, caregiverTops[i] + 40, 400);
        *caregivers[i] = make.edit(QStringLiteral("Text%1").arg(11 + i),
                                   QCoreApplication::translate("ReportScreen", "介助者被ばく ") + row, 1680,
                                   caregiverTops[i], 1095);
        make.label(QStringLiteral("μSv"), 2835, caregiverTops[i] + 40, 700);
    }

    // The infant's exposure number and cumulative dose, under the entrance surface dose.
    doseSoFar_ = new QLabel(this);
    nameControl(doseSoFar_, make.nextLabelName(),
                QCoreApplication::translate("ReportScreen", "撮影回数と累積線量"));
    placeTwips(doseSoFar_, 360, 7130, 3660, 285);
}

// OK, Clear, Printer, Data Save, the spectrum check box and " bye bye ".
void ReportScreen::makeCommands(Maker& make) {
    // The commands keep their captions; their names and tips say in the interface's language what
    // each does.
    auto command = [&](const QString& name, const QString& caption, const QString& does, int left, int top) {
        QPushButton* b = make.button(name, caption, left, top, 1335, 615);
        b->setAccessibleName(does);
        b->setToolTip(does);
        return b;
    };
    command2_ = command(QStringLiteral("Command2"), QStringLiteral("OK"),
                        QCoreApplication::translate("ReportScreen", "報告書を描く"), 1080, 9360);
    command3_ = command(QStringLiteral("Command3"), QStringLiteral("Clear"),
                        QCoreApplication::translate("ReportScreen", "報告書を消す"), 2760, 9360);
    command5_ = command(QStringLiteral("Command5"), QStringLiteral("Printer"),
                        QCoreApplication::translate("ReportScreen", "報告書を印刷する"), 1080, 10080);
    command6_ = command(QStringLiteral("Command6"), QStringLiteral("Data Save"),
                        QCoreApplication::translate("ReportScreen", "記録を保存する"), 2760, 10080);
    // The spectrum of the calculation handed over as a second page of the printout.
    check1_ = new QCheckBox(QCoreApplication::translate("ReportScreen", "スペクトルも印刷する"), this);
    nameControl(check1_, QStringLiteral("Check1"), check1_->text());
    placeTwips(check1_, 1080, 10800, 3015, 300);
    command1_ = make.button(QStringLiteral("Command1"), QString(), 120, 10920, 495, 495);
    command1_->setIcon(style()->standardIcon(QStyle::SP_ArrowBack));
    command1_->setToolTip(QStringLiteral(" bye bye "));
    command1_->setAccessibleName(QStringLiteral("bye bye"));
    closeOnEscape(this, command1_);
}

} // namespace tamso::ui
