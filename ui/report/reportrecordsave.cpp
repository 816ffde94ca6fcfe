#include "ui/report/reportrecordsave.h"

#include "records/patientrecordsave.h"
#include "ui/kit/messagebox.h"
#include "ui/kit/uiutil.h"

namespace tamso::ui {
namespace {

class MessageBoxPrompts : public records::SavePrompts {
public:
    explicit MessageBoxPrompts(QWidget* parent) : parent_(parent) {}
    bool confirmSave(const std::string& question) override { return MessageBox::askOkCancel(parent_, qs(question)); }
    void warn(const std::string& message) override { MessageBox::warning(parent_, qs(message)); }
    void notify(const std::string& message) override { MessageBox::notice(parent_, qs(message)); }

private:
    QWidget* parent_;
};

} // namespace

bool saveReportRecord(QWidget* parent, const ReportFields& f) {
    const records::RecordTexts record = {
        utf8(f.examDate),    utf8(f.technologist), utf8(f.bodyPart), utf8(f.thickness), utf8(f.xrayUnit),
        utf8(f.tubeVoltage), utf8(f.mAs),          utf8(f.ffd),      utf8(f.fieldSize), utf8(f.dose),
        utf8(f.caregiver1),  utf8(f.caregiver2),   utf8(f.caregiver3)};
    MessageBoxPrompts prompts(parent);
    return records::savePatientRecord(workingFolderPath(), utf8(f.id), utf8(f.name), record, prompts);
}

std::optional<QString> storedPatientName(const QString& id) {
    if (const auto name = records::lookUpPatientName(workingFolderPath(), utf8(id)))
        return qs(*name);
    return std::nullopt;
}

} // namespace tamso::ui
