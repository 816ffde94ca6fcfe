// The tamso program: starts on the start screen after loading the reference data of the
// working folder (the current folder).

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

    tamso::ui::Shell shell; // owns and wires every window
    if (!shell.start())
        return 1;
    return app.exec();
}
