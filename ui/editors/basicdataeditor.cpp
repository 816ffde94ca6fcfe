#include "ui/editors/basicdataeditor.h"

#include "engine/calculationstate.h"
#include "refdata/referencefiles.h"
#include "textio/numbertext.h"
#include "ui/kit/messagebox.h"
#include "ui/kit/numberinput.h"
#include "ui/kit/uiutil.h"

#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <filesystem>

namespace tamso::ui {
BasicDataEditor::BasicDataEditor(engine::CalculationState& state, QWidget* parent)
    : QWidget(parent, Qt::Window), state_(state) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QCoreApplication::translate("BasicDataEditor", "TAMSO 基本データ"));
    setAccessibleName(windowTitle());
    setAccessibleDescription(objectName());
    setFixedSize(twips(5535), twips(3600));

    const int captionLeft = 240, fieldLeft = 1560, unitLeft = 2760;
    auto* label1 =
        addLabel(this, QStringLiteral("Label1"), QCoreApplication::translate("BasicDataEditor", "医療施設名"),
                 captionLeft, 300, 1215, 255);
    text6_ = addField(this, QStringLiteral("Text6"),
                      QCoreApplication::translate("BasicDataEditor", "医療施設名"), fieldLeft, 240, 3735);
    auto* label2 =
        addLabel(this, QStringLiteral("Label2"), QCoreApplication::translate("BasicDataEditor", "撮影装置名"),
                 captionLeft, 780, 1215, 255);
    text1_ = addField(this, QStringLiteral("Text1"),
                      QCoreApplication::translate("BasicDataEditor", "撮影装置名"), fieldLeft, 720, 3735);
    auto* label3 = addLabel(this, QStringLiteral("Label3"), QStringLiteral("Target angle"), captionLeft, 1260,
                            1215, 255);
    // The captions of the angle, filtration and W value stay as they are; the fields' names and the
    // messages say them in the interface's language.
    text2_ = addField(this, QStringLiteral("Text2"),
                      QCoreApplication::translate("BasicDataEditor", "Ｘ線管ターゲット角度（度）"), fieldLeft, 1200,
                      1095);
    addLabel(this, QStringLiteral("Label4"), QStringLiteral("degree"), unitLeft, 1260, 975, 255);
    auto* label5 =
        addLabel(this, QStringLiteral("Label5"), QStringLiteral("Filtration"), captionLeft, 1740, 1215, 255);
    text3_ = addField(this, QStringLiteral("Text3"),
                      QCoreApplication::translate("BasicDataEditor", "固有フィルタ（mm Al）"), fieldLeft, 1680, 1095);
    addLabel(this, QStringLiteral("Label6"), QStringLiteral("mm Al"), unitLeft, 1740, 975, 255);
    auto* label7 =
        addLabel(this, QStringLiteral("Label7"), QStringLiteral("W value"), captionLeft, 2220, 1215, 255);
    text4_ = addField(this, QStringLiteral("Text4"), QCoreApplication::translate("BasicDataEditor", "空気のW値（eV）"),
                      fieldLeft, 2160, 1095);
    addLabel(this, QStringLiteral("Label8"), QStringLiteral("eV"), unitLeft, 2220, 975, 255);
    for (QLineEdit* number : {text2_, text3_, text4_})
        foldWideCharacters(number);
    label1->setBuddy(text6_);
    label2->setBuddy(text1_);
    label3->setBuddy(text2_);
    label5->setBuddy(text3_);
    label7->setBuddy(text4_);

    command1_ = new QPushButton(QStringLiteral("Save"), this);
    nameControl(command1_, QStringLiteral("Command1"),
                QCoreApplication::translate("BasicDataEditor", "基本データを保存する"));
    command1_->setToolTip(command1_->accessibleName());
    placeTwips(command1_, 1560, 2880, 1215, 495);
    command2_ = new QPushButton(QStringLiteral("Cancel"), this);
    nameControl(command2_, QStringLiteral("Command2"),
                QCoreApplication::translate("BasicDataEditor", "保存せずに閉じる"));
    command2_->setToolTip(command2_->accessibleName());
    placeTwips(command2_, 3000, 2880, 1215, 495);
    // The site's diagnostic reference levels are basic data too; their editor opens beside this one.
    command3_ = new QPushButton(QCoreApplication::translate("BasicDataEditor", "参考レベル"), this);
    nameControl(command3_, QStringLiteral("Command3"),
                QCoreApplication::translate("BasicDataEditor", "参考レベル"));
    placeTwips(command3_, 240, 2880, 1215, 495);
    connect(command1_, &QPushButton::clicked, this, [this] { save(); });
    connect(command2_, &QPushButton::clicked, this, [this] { cancel(); });
    connect(command3_, &QPushButton::clicked, this, &BasicDataEditor::referenceLevelEditorRequested);

    setTabOrder(text1_, text2_);
    setTabOrder(text2_, text3_);
    setTabOrder(text3_, text4_);
    setTabOrder(text4_, text6_);
    setTabOrder(text6_, command1_);
    setTabOrder(command1_, command2_);
    setTabOrder(command2_, command3_);
}

bool BasicDataEditor::open() {
    auto data = refdata::readBasicDataFile(workingFolderPath());
    if (!data.ok()) {
        MessageBox::warning(isVisible() ? this : QApplication::activeWindow(),
                            QCoreApplication::translate("BasicDataEditor", "基本データを読み込めません。\n") +
                                coreText(data.error()));
        return false;
    }
    // Opening re-reads the file: a W value saved since the last opening is in effect from here.
    const double wAirBefore = state_.wAirEv;
    refdata::applyBasicData(state_, *data);
    if (state_.wAirEv != wAirBefore)
        emit referenceDataChanged();
    fillFromState();
    show();
    raise();
    activateWindow();
    return true;
}

void BasicDataEditor::fillFromState() {
    text1_->setText(qs(state_.xrayUnitName));
    text2_->setText(qs(textio::numberToText(state_.targetAngleDeg)));
    text3_->setText(qs(textio::numberToText(state_.defaultInherentFilterAlMm)));
    text4_->setText(qs(textio::numberToText(state_.wAirEv)));
    text6_->setText(qs(state_.hospitalName));
}

bool BasicDataEditor::save() {
    // Only values the calculation can work with are saved: every later calculation reads them.
    // The target angle and the inherent filtration within the ranges every calculation checks.
    const auto angle = conditionForSave(this, text2_, engine::ConditionId::TargetAngle);
    if (!angle)
        return false;
    const auto filtration = conditionForSave(this, text3_, engine::ConditionId::InherentFilterAl);
    if (!filtration)
        return false;
    const auto wValue = numberForSave(
        this, text4_, QCoreApplication::translate("BasicDataEditor", "空気のW値"), [](double v) { return v > 0; },
        QCoreApplication::translate("BasicDataEditor", "0 より大きい数値（eV）"));
    if (!wValue)
        return false;
    refdata::BasicData data;
    data.wAirEv = *wValue;
    data.xrayUnitName = utf8(text1_->text());
    data.targetAngleDeg = *angle;
    data.inherentFilterAlMm = *filtration;
    data.hospitalName = utf8(text6_->text());
    if (auto failure = refdata::writeBasicDataFile(workingFolderPath(), data); !failure.ok()) {
        // Nothing is lost: the old file stays as it was and the editor keeps what was typed.
        MessageBox::warning(
            this, QCoreApplication::translate("BasicDataEditor", "基本データを保存できませんでした。\n") +
                      coreText(failure.error()));
        return false;
    }
    emit hospitalNameSaved(text6_->text());
    MessageBox::notice(this, QCoreApplication::translate("BasicDataEditor", "基本データを保存しました。"));
    hide();
    return true;
}

void BasicDataEditor::cancel() {
    hide();
}

} // namespace tamso::ui
