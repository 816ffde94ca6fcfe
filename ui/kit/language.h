#pragma once
// The language of the screens. The program's texts are written in Japanese; an English
// translation (translations/tamso_en.ts, built into the program) is installed at start when the
// start option asks for it or, without the option, when the system language is not Japanese.
// Nothing is installed implicitly: library code and the tests stay Japanese unless a program's
// main() (or a test meant for English) calls installLanguage. The files written never change
// with the language.

#include <QString>
#include <QStringList>

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

// English unless the system locale's language is Japanese.
Language systemLanguage();

// The language the program starts in: the option where given, else the system's.
Language startLanguage(const LanguageChoice& choice);

// Installs the English translation on the running application (Japanese: removes it). Answers
// false when the translation cannot be loaded. Call after the QCoreApplication exists and before
// the first window is created.
bool installLanguage(Language language);

} // namespace tamso::ui
