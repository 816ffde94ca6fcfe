#include "ui/report/reportrecordsave.h"

#include "node/dosereporter.h"
#include "node/nodefolders.h"
#include "records/dosehistory.h"
#include "records/patientrecordsave.h"
#include "ui/kit/language.h"
#include "ui/kit/messagebox.h"
#include "ui/kit/uiutil.h"

#include <QCoreApplication>
#include <QSet>

namespace tamso::ui {
namespace {

class MessageBoxPrompts : public records::SavePrompts {
public:
    explicit MessageBoxPrompts(QWidget* parent) : parent_(parent) {}
    bool confirmSave(const Error& question) override { return MessageBox::askOkCancel(parent_, coreText(question)); }
    void warn(const Error& message) override { MessageBox::warning(parent_, coreText(message)); }
    void notify(const Error& message) override { MessageBox::notice(parent_, coreText(message)); }
    bool confirmDuplicate(const Error& question) override {
        return MessageBox::askYesNo(parent_, coreText(question), MessageBox::Answer::No);
    }

private:
    QWidget* parent_;
};

QString reportNotMade(const QString& reason) {
    return QCoreApplication::translate("ReportScreen",
                                       "記録は保存しましたが、この撮影の線量レポートは作成していません。\n%1")
        .arg(reason);
}

// The values the report states from the calculation: changed on the report, they are no longer
// the calculation's.
bool exposureValuesChanged(const ReportFields& handed, const ReportFields& saved) {
    return !changedExposureConditions(handed, saved).isEmpty() || !sameFieldValue(handed.dose, saved.dose);
}

} // namespace

std::optional<node::ReportSettings> readReportSettingsOrSay(QWidget* parent, const QString& lead) {
    auto settings = node::readReportSettings(workingFolderPath());
    if (settings.ok())
        return std::move(*settings);
    static QSet<QString> said; // once during the program's run: the site mends the file, not the user
    const QString problem = coreText(settings.error());
    if (!said.contains(problem)) {
        said.insert(problem);
        MessageBox::warning(parent, lead +
                                        QCoreApplication::translate(
                                            "ReportScreen", "作業フォルダの tamso-node.conf を読めません: ") +
                                        problem);
    }
    return std::nullopt;
}

bool queueDoseReport(QWidget* parent, const ReportFields& handed, const ReportFields& saved) {
    const auto settings = readReportSettingsOrSay(parent, reportNotMade(QString()));
    if (!settings || !settings->reporting())
        return false;
    if (!handed.doseReport) {
        MessageBox::warning(
            parent, reportNotMade(handed.doseReportProblem.isEmpty()
                                      ? QCoreApplication::translate(
                                            "ReportScreen", "この報告書には線量計算の値がありません。")
                                      : coreText(utf8(handed.doseReportProblem))));
        return false;
    }
    if (exposureValuesChanged(handed, saved)) {
        MessageBox::warning(
            parent,
            reportNotMade(QCoreApplication::translate(
                "ReportScreen", "撮影条件または入射表面線量が、計算の後に報告書で変更されています。")));
        return false;
    }
    const node::SavedExposure record = {utf8(saved.id),       utf8(saved.name),         utf8(saved.examDate),
                                        utf8(saved.bodyPart), utf8(saved.technologist), utf8(saved.xrayUnit)};
    node::DoseReportInput input = node::savedExposureReport(*handed.doseReport, record);
    input.sopInstanceUid = handed.doseReport->sopInstanceUid;
    if (!input.imageSopInstanceUid.empty()) {
        auto installation = node::recorderUid(node::nodeFolder(workingFolderPath()));
        if (!installation.ok()) {
            MessageBox::warning(parent, reportNotMade(coreText(installation.error())));
            return false;
        }
        input.sopInstanceUid = node::reportUidOfImage(*installation, input.imageSopInstanceUid);
    }
    // The exposure waits with its study; the screens' sender (or the node's) sends the study's report
    // once the study has been quiet for the report delay.
    node::OutboxOptions options;
    options.reportDelay = settings->reportDelay;
    node::DoseReporter reporter(workingFolderPath(), settings->forward, settings->besideRecords, "tamso", {},
                                options);
    if (auto report = reporter.queue(std::move(input)); !report.ok()) {
        MessageBox::warning(parent, reportNotMade(coreText(report.error())));
        return false;
    }
    return !settings->forward.empty();
}

bool saveReportRecord(QWidget* parent, const ReportFields& f, int* recordNumber) {
    const records::RecordTexts record = {
        utf8(f.examDate),    utf8(f.technologist), utf8(f.bodyPart),  utf8(f.thickness), utf8(f.xrayUnit),
        utf8(f.tubeVoltage), utf8(f.mAs),          utf8(f.ffd),       utf8(f.fieldSize), utf8(f.dose),
        utf8(f.caregiver1),  utf8(f.caregiver2),   utf8(f.caregiver3)};
    MessageBoxPrompts prompts(parent);
    records::SavedRecordPlace place;
    const bool saved = records::savePatientRecord(workingFolderPath(), utf8(f.id), utf8(f.name), record,
                                                  prompts, records::PatientRecords, {}, &place);
    if (saved && recordNumber)
        *recordNumber = place.recordNumber;
    return saved;
}

Status fillDoseSoFar(ReportFields& f) {
    f.exposureNumber.clear();
    f.cumulativeDose.clear();
    f.cumulativeIsLowerBound = false;
    const std::string id = utf8(f.id);
    if (id.empty() || !records::checkPatientId(id, workingFolderPath()).ok())
        return {};
    auto history = records::loadDoseHistory(workingFolderPath(), id, examDateReader());
    if (!history.ok())
        return history.error();
    std::optional<records::CumulativeDose> dose;
    if (f.storedRecordNumber > 0) {
        dose = records::cumulativeThroughRecord(*history, f.storedRecordNumber);
        if (!dose)
            return Error(ErrorCode::StoredRecordMissing, {id, std::to_string(f.storedRecordNumber)});
    } else {
        dose = records::cumulativeWithNewExposure(*history, utf8(f.dose), utf8(f.examDate), examDateReader());
    }
    f.exposureNumber = QString::number(dose->exposureNumber);
    f.cumulativeDose = qs(records::doseText(dose->cumulativeMGy));
    f.cumulativeIsLowerBound = dose->lowerBound;
    return {};
}

std::optional<QString> storedPatientName(const QString& id) {
    if (const auto name = records::lookUpPatientName(workingFolderPath(), utf8(id)))
        return qs(*name);
    return std::nullopt;
}

} // namespace tamso::ui
