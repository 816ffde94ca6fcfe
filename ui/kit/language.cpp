#include "ui/kit/language.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

namespace tamso::ui {

namespace {
QTranslator*& installedTranslator() {
    static QTranslator* translator = nullptr;
    return translator;
}
} // namespace

LanguageChoice languageOption(const QStringList& arguments) {
    const QString option = QStringLiteral("--lang");
    LanguageChoice choice;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        QString value;
        if (arg == option) {
            value = i + 1 < arguments.size() ? arguments[++i] : QString();
        } else if (arg.startsWith(option + QLatin1Char('='))) {
            value = arg.mid(option.size() + 1);
        } else {
            continue;
        }
        choice.given = true;
        if (value.compare(QStringLiteral("en"), Qt::CaseInsensitive) == 0) {
            choice.language = Language::English;
        } else if (value.compare(QStringLiteral("ja"), Qt::CaseInsensitive) == 0) {
            choice.language = Language::Japanese;
        } else {
            // Shown before any translation is installed, so in both languages.
            choice.error = QStringLiteral("起動オプション --lang には ja か en を続けて下さい。\n"
                                          "The start option --lang takes ja or en.");
            return choice;
        }
    }
    return choice;
}

Language systemLanguage() {
    return QLocale::system().language() == QLocale::Japanese ? Language::Japanese : Language::English;
}

Language startLanguage(const LanguageChoice& choice) {
    return choice.given ? choice.language : systemLanguage();
}

bool installLanguage(Language language) {
    QTranslator*& translator = installedTranslator();
    if (translator) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
        translator = nullptr;
    }
    if (language == Language::Japanese)
        return true;
    auto* english = new QTranslator;
    // Built from translations/tamso_en.ts into the program's resources.
    if (!english->load(QStringLiteral(":/i18n/tamso_en.qm")) ||
        !QCoreApplication::installTranslator(english)) {
        delete english;
        return false;
    }
    translator = english;
    return true;
}

} // namespace tamso::ui
