#include "ui/report/reportrecordsave.h"

#include "records/dosehistory.h"
#include "records/patientrecordsave.h"
#include "ui/kit/language.h"
#include "ui/kit/messagebox.h"
#include "ui/kit/uiutil.h"

#include <QCoreApplication>

namespace tamso::ui {
namespace {

class MessageBoxPrompts : public records::SavePrompts {
public:
    explicit MessageBoxPrompts(QWidget* parent) : parent_(parent) {}
    bool confirmSave(const std::string& question) override {
        return MessageBox::askOkCancel(parent_, coreText(question));
    }
    void warn(const std::string& message) override { MessageBox::warning(parent_, coreText(message)); }
    void notify(const std::string& message) override { MessageBox::notice(parent_, shownNotice(message)); }
    bool confirmDuplicate(const std::string& question) override {
        return MessageBox::askYesNo(parent_, coreText(question), MessageBox::Answer::No);
    }

private:
    // The notice of a save that started a continuation file names the file; shown translated.
    static QString shownNotice(const std::string& message) {
        const std::string open = "「", close = "」";
        const auto from = message.find(open), to = message.rfind(close);
        if (from != std::string::npos && to != std::string::npos && to > from) {
            const std::string file = message.substr(from + open.size(), to - from - open.size());
            if (message == records::continuationSavedMessage(file))
                return QCoreApplication::translate(
                           "ReportScreen",
                           "この患児の記録は %1 件を超えたため、続きのファイル「%2」に保存しました。")
                    .arg(records::kMaxPatientRecords)
                    .arg(qs(file));
        }
        return coreText(message);
    }
    QWidget* parent_;
};

} // namespace

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
            return Error{"患者ID「" + id + "」の記録 " + std::to_string(f.storedRecordNumber) +
                         " がありません。"};
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
