#include "uitestsupport.h"

#include "engine/calculationstate.h"
#include "refdata/referenceloader.h"
#include "ui/shell/messagebox.h"
#include "ui/shell/uiutil.h"

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

} // namespace tamso::uitest
