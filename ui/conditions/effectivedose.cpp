// The exposure-condition screen's organ doses: the infant's weight (an optional condition: empty
// means unknown, then the site's default weight stands in), the effective dose with its uncertainty
// shown after each run and the command that opens the organ doses.

#include "ui/conditions/conditionsscreen.h"

#include "engine/calculationstate.h"
#include "node/imageconditions.h"
#include "ui/kit/numberinput.h"
#include "ui/kit/organdosedata.h"
#include "ui/kit/uiutil.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tamso::ui {

void ConditionsScreen::buildOrganDoseControls(const GroupGrid& geometry, const GroupGrid& results) {
    const QString weight = QCoreApplication::translate("ConditionsScreen", "体重");
    weight_ = addFieldRow(geometry.grid, 9, geometry.box, "Text30", weight, QStringLiteral("kg"));
    weight_->setPlaceholderText(QCoreApplication::translate("ConditionsScreen", "不明なら空欄"));
    weight_->setToolTip(QCoreApplication::translate("ConditionsScreen",
                                                    "空欄のときは作業フォルダの体重既定値.txt の値を使います"));
    foldWideCharacters(weight_);

    effectiveDose_ = addFieldRow(results.grid, 10, results.box, "Text31",
                                 QCoreApplication::translate("ConditionsScreen", "   実効線量"), QString());
    results.grid->addWidget(effectiveDose_, 10, 1, 1, 2);
    effectiveDose_->setReadOnly(true);
    // Wide enough for a three-digit effective dose with the assumed weight.
    engine::OrganDoseResult widest;
    widest.effectiveDoseUSv = 999.4;
    widest.effectiveDoseUUSv = 99.4;
    widest.weightKg = 3.25;
    widest.weightAssumed = true;
    effectiveDose_->setMinimumWidth(
        effectiveDose_->fontMetrics().horizontalAdvance(effectiveDoseShown(widest)) + 16);
    command15_ = makeCommand(results.box, "Command15", QCoreApplication::translate("ConditionsScreen", "臓器線量"),
                             QCoreApplication::translate("ConditionsScreen", "臓器線量"));
    results.grid->addWidget(command15_, 11, 2);
}

void ConditionsScreen::connectOrganDoseControls() {
    // The weight stands under the field size: Tab and Enter reach it after the size, before " Go ! ".
    setTabOrder(inputEdit(&engine::ConditionTexts::fieldShortCm), weight_);
    setTabOrder(weight_, command2_);
    enterActions_.insert(inputEdit(&engine::ConditionTexts::fieldShortCm),
                         [this] { weight_->setFocus(Qt::TabFocusReason); });
    weight_->installEventFilter(this);
    enterActions_.insert(weight_, [this] { command2_->setFocus(Qt::TabFocusReason); });
    connect(weight_, &QLineEdit::textChanged, this, [this] { showEffectiveDose(); });
    connect(weight_, &QLineEdit::textEdited, this, [this] { unmarkDicom(weight_); });
    connect(combo2_, &QComboBox::currentTextChanged, this, [this] { showEffectiveDose(); });
    connect(command15_, &QPushButton::clicked, this, [this] {
        if (organDoses_)
            emit organDosesRequested(combo2_->currentText(), *organDoses_);
    });
}

QString ConditionsScreen::weightProblem(std::optional<double>* weightKg) const {
    const QString text = weight_->text().trimmed();
    if (text.isEmpty())
        return {};
    const QString problem =
        typedNumberProblem(QCoreApplication::translate("ConditionsScreen", "体重"), text);
    if (!problem.isEmpty())
        return problem;
    const double kg = readTypedNumber(text).value;
    if (const Status range = engine::checkWeightKg(kg); !range.ok())
        return coreText(range.error());
    if (weightKg)
        *weightKg = kg;
    return {};
}

void ConditionsScreen::showEffectiveDose() {
    organDoses_.reset();
    command15_->setEnabled(false);
    if (!resultsShown_) {
        effectiveDose_->clear();
        effectiveDose_->setToolTip(QString());
        return;
    }
    std::optional<double> weightKg;
    QString problem = weightProblem(&weightKg);
    if (problem.isEmpty()) {
        auto result = organDosesOfRun(state_, site_, combo2_->currentText(), weightKg);
        if (result.ok())
            organDoses_ = *result;
        else
            problem = coreText(result.error());
    }
    // Where it cannot be computed the field says so, and its tool tip and accessible name say why.
    effectiveDose_->setText(organDoses_ ? effectiveDoseShown(*organDoses_)
                                        : QCoreApplication::translate("ConditionsScreen", "計算できません"));
    effectiveDose_->setToolTip(organDoses_ ? QCoreApplication::translate("ConditionsScreen",
                                                                         "実効線量（ICRP 103）と拡張不確かさ")
                                           : problem);
    effectiveDose_->setCursorPosition(0);
    effectiveDose_->setAccessibleName(QCoreApplication::translate("ConditionsScreen", "実効線量 ") +
                                      (organDoses_ ? effectiveDose_->text() : effectiveDoseUnavailable(problem)));
    command15_->setEnabled(organDoses_.has_value());
}

void ConditionsScreen::fillWeightFromDicom(const node::ImageConditions& resolved) {
    // The image's weight, marked with its source; without one the field stays empty and the site's
    // default weight stands in (the effective dose says so).
    if (resolved.weightKg.has() && !resolved.weightAssumed) {
        weight_->setText(qs(resolved.weightKg.text));
        markFromDicom(weight_, resolved.weightKg.source);
    } else {
        weight_->clear();
    }
}

} // namespace tamso::ui
