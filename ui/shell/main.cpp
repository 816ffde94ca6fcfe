// The tamso program: starts on the start screen after loading the reference data of the
// working folder (the current folder).

#include "ui/records/recordsearchscreen.h"
#include "ui/editors/referenceeditors_ui.h"
#include "ui/report/reportscreen.h"
#include "ui/shell/shell.h"
#include "ui/kit/uiutil.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TAMSO-2"));
    // The program ends through "終　了" or the start screen's close box, not when a screen such
    // as the report is the last one closed.
    QApplication::setQuitOnLastWindowClosed(false);
    tamso::ui::installFontSubstitutions();

    tamso::ui::Shell shell;

    // The report screen, the patient records and the reference-data editors are reached
    // through the navigation hooks they register.
    tamso::ui::registerReportScreen();
    tamso::records::registerRecordScreens();
    tamso::ui::registerEditors();

    if (!shell.start())
        return 1;
    return app.exec();
}
