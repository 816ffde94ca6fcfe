#include "uitestsupport.h"

#include "engine/calculationstate.h"
#include "refdata/referenceloader.h"
#include "ui/kit/messagebox.h"
#include "ui/kit/uiutil.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QtDebug>

namespace tamso::uitest {

bool prepareWorkingFolder(QTemporaryDir& dir) {
    if (!dir.isValid())
        return false;
    const QString source = QStringLiteral(TAMSO_SOURCE_DIR "/data");
    QDirIterator it(source, QDir::Files);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile::copy(path, dir.filePath(it.fileName()));
        QFile(dir.filePath(it.fileName())).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    QDir::setCurrent(dir.path());
    ui::MessageBox::setTestMode(true);
    ui::MessageBox::clearShown();
    Module1 = CalculationState{};
    auto status = refdata::loadReferenceData(Module1, ui::workingFolderUtf8());
    if (status) {
        qWarning() << ui::qs(status->message);
        return false;
    }
    return true;
}

ui::ReportFields sampleReportFields() {
    ui::ReportFields f;
    f.id = QStringLiteral("123456");
    f.name = QStringLiteral("新生 太郎");
    f.technologist = QStringLiteral("技師 一郎");
    f.examDate = QStringLiteral("2026/12/08");
    f.bodyPart = QStringLiteral("腹部正面");
    f.thickness = QStringLiteral("10");
    f.xrayUnit = QStringLiteral("記録の装置");
    f.tubeVoltage = QStringLiteral("50");
    f.mAs = QStringLiteral("5");
    f.ffd = QStringLiteral("100");
    f.fieldSize = QStringLiteral("六切サイズ");
    f.dose = QStringLiteral("0.052");
    f.caregiver1 = QStringLiteral("0.012");
    f.caregiver2 = QStringLiteral("0.003");
    f.caregiver3 = QStringLiteral("0.001");
    return f;
}

} // namespace tamso::uitest
