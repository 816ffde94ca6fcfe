// The tamso program: chooses and prepares its working folder (see textio/workfolder.h: the
// --workdir folder, the user's ~/tamso-data for an installed program, else the current folder),
// works there in the language chosen by --lang or the system (see ui/kit/language.h), and starts
// on the start screen after loading the reference data of that folder.

#include "textio/workfolder.h"
#include "ui/kit/language.h"
#include "ui/kit/messagebox.h"
#include "ui/kit/uiutil.h"
#include "ui/shell/shell.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QStringList>

#include <string>
#include <system_error>
#include <vector>

namespace {

// Makes the chosen working folder the current folder, creating and filling it first where the
// program is installed. Tells the user and answers false when it cannot.
bool enterWorkingFolder() {
    using namespace tamso;
    std::vector<std::string> args;
    const QStringList arguments = QCoreApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i)
        args.push_back(ui::utf8(arguments[i]));
    const auto requested = textio::workFolderOption(args);
    if (!requested.ok()) {
        ui::MessageBox::warning(nullptr, ui::coreText(requested.error()));
        return false;
    }
    textio::StartFolders folders;
    folders.requested = *requested;
    folders.defaults = textio::installedDefaultsFolder(textio::executableFolder());
    folders.user = textio::userWorkFolder();
    std::error_code ec;
    folders.current = std::filesystem::current_path(ec);
    const auto folder = textio::prepareWorkFolder(folders);
    if (!folder.ok()) {
        ui::MessageBox::warning(nullptr, ui::coreText(folder.error()));
        return false;
    }
    std::filesystem::current_path(*folder, ec);
    if (ec) {
        const QString name = QDir::toNativeSeparators(QString::fromStdString(folder->u8string()));
        ui::MessageBox::warning(
            nullptr, QCoreApplication::translate("Main", "作業フォルダ「%1」に移れません。").arg(name));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TAMSO-2"));
    // The program ends through "終　了" or the start screen's close box, not when a screen such
    // as the report is the last one closed.
    QApplication::setQuitOnLastWindowClosed(false);
    tamso::ui::installFontSubstitutions();
    // The language first, so that every window and message is built in it: --lang en / --lang ja,
    // else English where the system names another language than Japanese (C.UTF-8, C, POSIX or an
    // unset LANG start in Japanese).
    const tamso::ui::LanguageChoice language = tamso::ui::languageOption(QCoreApplication::arguments());
    if (!language.error.isEmpty()) {
        tamso::ui::MessageBox::warning(nullptr, language.error);
        return 1;
    }
    tamso::ui::installLanguage(tamso::ui::startLanguage(language));
    if (!enterWorkingFolder())
        return 1;

    tamso::ui::Shell shell; // owns and wires every window
    if (!shell.start())
        return 1;
    return app.exec();
}
