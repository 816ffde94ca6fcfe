// What the exposure-condition screen hands over: the report's fields and the input of a dose report.

#include "ui/conditions/conditionsscreen.h"

#include "engine/calculation.h"
#include "engine/calculationstate.h"
#include "records/exposurerecord.h"
#include "textio/numbertext.h"
#include "ui/kit/language.h"
#include "ui/kit/uiutil.h"
#include "ui/report/reportfields.h"

#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QLineEdit>
#include <QRadioButton>

#include <string>

namespace tamso::ui {

ReportFields ConditionsScreen::reportFields() const {
    const engine::CalculationState& s = state_;
    // The record's fields as the node builds them too (records/exposurerecord.h).
    const records::RecordTexts t = records::recordTextsOfRun(s, *this,
                                                             {date_->date() == date_->minimumDate() ? std::string() : utf8(shortDateText(date_->date())),
                                                              std::string(), utf8(combo2_->currentText()),
                                                              utf8(combo1_->currentText()), s.xrayUnitName});
    ReportFields r;
    r.id = dicomPatientId_;
    r.name = dicomPatientName_;
    r.imageNameGroups = dicomNameGroups_;
    r.examDate = qs(t.examDate);
    r.bodyPart = qs(t.bodyPart);
    r.tubeVoltage = qs(t.tubeVoltageKv);
    r.mAs = qs(t.mAs);
    r.ffd = qs(t.ffdCm);
    r.fieldSize = qs(t.fieldSize);
    r.thickness = qs(t.subjectThicknessCm);
    r.xrayUnit = qs(t.xrayUnit);
    r.dose = qs(t.entranceSurfaceDoseMGy);
    if (resultsShown_)
        r.preciseDose = qs(textio::numberToText(s.entranceSurfaceDoseMGy));
    r.doseWithUncertainty = resultField(engine::ResultField::EntranceSurfaceDoseUncertaintyMGy)->text();
    if (resultsShown_ && organDoses_)
        r.effectiveDose = effectiveDose_->text();
    if (resultsShown_) {
        r.spectrum = spectrum();
        if (dicomReportProblem_.empty())
            r.doseReport = doseReportInput();
        else
            r.doseReportProblem = qs(dicomReportProblem_);
    }
    if (const auto comparison = referenceLevelComparison()) {
        r.referenceLevel = referenceLevelText(*comparison);
        r.aboveReferenceLevel = comparison->above;
    }
    r.caregiver1 = qs(t.caregiverDoseUSv[0]);
    r.caregiver2 = qs(t.caregiverDoseUSv[1]);
    r.caregiver3 = qs(t.caregiverDoseUSv[2]);
    return r;
}

node::DoseReportInput ConditionsScreen::doseReportInput() const {
    node::DoseReportInput in;
    bool typed = option4_->isChecked(); // a measured exposure is the user's reading
    if (dicomReport_) {
        in = *dicomReport_;
        for (auto condition : {&engine::ConditionTexts::tubeVoltageKv, &engine::ConditionTexts::mAs,
                               &engine::ConditionTexts::ffdCm})
            typed = typed || !isFilledFromDicom(inputEdit(condition));
    } else {
        typed = true;
    }
    in.source = typed ? node::DoseSource::ManualEntry : node::DoseSource::ComputedFromImageAttributes;
    node::ExposureDose dose = node::doseReportValues(state_);
    if (!typed) { // the image's current and time belong to its own tube voltage and mAs
        dose.tubeCurrentMa = in.dose.tubeCurrentMa;
        dose.exposureTimeMs = in.dose.exposureTimeMs;
    }
    in.dose = dose;
    if (in.exposureDate.empty() || !isFilledFromDicom(date_)) {
        in.exposureDate = utf8(date_->date().toString(QStringLiteral("yyyyMMdd")));
        in.exposureTime.clear();
    }
    return in;
}

void ConditionsScreen::handOverToReport() {
    emit reportRequested(reportFields());
}

} // namespace tamso::ui
