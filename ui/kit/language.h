#pragma once
// The language of the screens. The program's texts are written in Japanese; an English
// translation (translations/tamso_en.ts, built into the program) is installed at start when the
// start option asks for it or, without the option, when the system names another language than
// Japanese. A system that names none (LANG=C.UTF-8, C, POSIX or unset, as on many hospital and
// server set-ups) starts in Japanese.
// Nothing is installed implicitly: library code and the tests stay Japanese unless a program's
// main() (or a test meant for English) calls installLanguage. The files written never change
// with the language.

#include "records/dosehistory.h"

#include <QLocale>
#include <QString>
#include <QStringList>

class QDate;

namespace tamso::ui {

enum class Language { Japanese, English };

struct LanguageChoice {
    bool given = false;                     // the start option was present
    Language language = Language::Japanese; // the language it names
    QString error;                          // not empty: the option was given wrongly
};

// Reads "--lang en", "--lang ja", "--lang=en" or "--lang=ja" from the program's arguments
// (arguments[0], the program, is skipped). The last option given counts.
LanguageChoice languageOption(const QStringList& arguments);

// The language of the interface for a system locale: English where it names a language other than
// Japanese, Japanese for Japanese and for the C locale (which names no language).
Language languageForLocale(const QLocale& locale);
// languageForLocale of the system locale.
Language systemLanguage();

// The language the program starts in: the option where given, else the system's.
Language startLanguage(const LanguageChoice& choice);

// Installs the English translation on the running application (Japanese: removes it and installs
// Qt's own Japanese translation, qtbase_ja, so that the file, print and colour dialogs speak
// Japanese too, where it is installed: Debian qt6-translations-l10n). Answers false when the
// program's translation cannot be loaded. Call after the QCoreApplication exists and before the
// first window is created.
bool installLanguage(Language language);
// The language installed last (Japanese before any installLanguage).
Language installedLanguage();

// The locale dates are shown and stored in: the system's, except that a Japanese interface on a
// system whose language is not Japanese, and any interface on the C locale, write dates in the
// Japanese form ("2026/03/05"), which the audit and the dose history read.
QLocale dateLocale(Language interface, const QLocale& system);
QLocale dateLocale(); // for the installed language and the system locale
// A date in the short form of dateLocale().
QString shortDateText(const QDate& date);

// An exam date as the program stores it (the short date of dateLocale() when the report was
// made): that form, then yyyy/M/d, yyyy-M-d, yyyy.M.d, yyyy年M月d日, d MMM yyyy, d MMMM yyyy,
// MMM d, yyyy, d.M.yyyy and d/M/yyyy or M/d/yyyy (in the order dateLocale() writes day and month),
// with or without leading zeros. A two-digit year is in 2000-2099. Invalid when none fits.
QDate readExamDate(const QString& text);
// readExamDate for the dose history of the core (its order and the report's exposure number).
records::ExamDateReader examDateReader();

} // namespace tamso::ui
