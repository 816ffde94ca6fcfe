// The exposure-condition screen's commands: the calculation, the caregiver estimate, the ambient
// dose and the way back to the start screen.

#include "ui/conditions/conditionsscreen.h"

#include "engine/calculation.h"
#include "engine/calculationstate.h"
#include "engine/conditionlimits.h"
#include "ui/conditions/exposureinputs.h"
#include "ui/conditions/measuredexposuredialog.h"
#include "ui/kit/language.h"
#include "ui/kit/messagebox.h"
#include "ui/kit/numberinput.h"
#include "ui/kit/uiutil.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDate>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace tamso::ui {

void ConditionsScreen::runCalculation() {
    engine::ConditionTexts texts;
    for (const Input& input : inputs_) {
        // A text that is not a number is said to be one, not taken as 0 and then found too small.
        const QString problem =
            typedNumberProblem(shownText(input.entry->caption).trimmed(), input.edit->text());
        if (!problem.isEmpty()) {
            refuseRun(problem);
            input.edit->setFocus(Qt::OtherFocusReason);
            return;
        }
        texts.*(input.entry->condition) = utf8(asciiNumberText(input.edit->text()));
        // Its plausible range, as every calculation checks it, said in the interface's language.
        for (const engine::ConditionLimit& limit : engine::kConditionLimits) {
            if (limit.text != input.entry->condition)
                continue;
            const QString outside = conditionProblem(limit.id, input.edit->text());
            if (!outside.isEmpty()) {
                refuseRun(outside);
                input.edit->setFocus(Qt::OtherFocusReason);
                return;
            }
        }
    }

    if (const QString weight = weightProblem(); !weight.isEmpty()) {
        refuseRun(weight);
        weight_->setFocus(Qt::OtherFocusReason);
        return;
    }

    const Status status =
        tamso::engine::runCalculation(state_, texts, *this, engine::listingInto(workingFolderPath()));
    if (!status.ok()) {
        refuseRun(coreText(status.error()));
        return;
    }
    recordRunInputs();
    QCoreApplication::processEvents();
    // Back to the tube output data: the measured value served this run. The results count as
    // shown only after this, so the return of the source does not clear them.
    option4_->setChecked(false);
    option5_->setChecked(true);
    resultsShown_ = true;
    checkInputsAgainstRun(); // an input changed while the pending events ran
    if (!resultsShown_)
        return;
    command3_->setEnabled(true);
    command14_->setEnabled(true);
    showReferenceLevel();
    showEffectiveDose();
    command3_->setFocus(Qt::OtherFocusReason);
}

void ConditionsScreen::refuseRun(const QString& message) {
    // No result of earlier conditions may stay on screen or be handed on beside these inputs.
    clearResultFields(false);
    resultsShown_ = false;
    for (QPushButton* b : {command3_, command4_, command6_, command14_})
        b->setEnabled(false);
    emit resultsCleared();
    MessageBox::warning(this, message);
}

void ConditionsScreen::showAmbientDose() {
    command4_->setEnabled(true);
    command4_->setFocus(Qt::OtherFocusReason);
    emit illustrationRequested();
}

void ConditionsScreen::runCaregiverEstimate() {
    const Status status = engine::computeCaregiverDose(state_, *this);
    if (!status.ok()) {
        for (auto result : {engine::ResultField::CaregiverDose1USv, engine::ResultField::CaregiverDose2USv,
                            engine::ResultField::CaregiverDose3USv})
            resultField(result)->clear();
        command6_->setEnabled(false);
        MessageBox::warning(this, coreText(status.error()));
        return;
    }
    command6_->setEnabled(true);
    command6_->setFocus(Qt::OtherFocusReason);
}

void ConditionsScreen::backToStartScreen() {
    // The results and the measured reading go; the caregiver doses stay until the next run.
    clearResultFields(false);
    measured_->clear();
    weight_->clear(); // the next case is another infant
    // With its reading gone the measured exposure cannot serve the next case: an empty reading
    // would count as an exposure of 0. The next case starts from the tube output data.
    if (option5_->isChecked())
        selectOutputData();
    else
        option5_->setChecked(true); // runs its handler
    resultsShown_ = false;
    command14_->setEnabled(false);
    // The image's patient belongs to this case only.
    forgetDicomImport();
    emit backRequested();
}

void ConditionsScreen::disableFollowUpCommands() {
    for (QPushButton* b : {command3_, command4_, command6_})
        b->setEnabled(false);
}

void ConditionsScreen::closeEvent(QCloseEvent* event) {
    event->accept();
    emit closedByUser();
}

} // namespace tamso::ui
