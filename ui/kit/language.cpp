#include "ui/kit/language.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace tamso::ui {

namespace {
QTranslator*& installedTranslator() {
    static QTranslator* translator = nullptr;
    return translator;
}
QTranslator*& installedQtTranslator() {
    static QTranslator* translator = nullptr;
    return translator;
}
Language& currentLanguage() {
    static Language language = Language::Japanese;
    return language;
}

void removeTranslator(QTranslator*& translator) {
    if (!translator)
        return;
    QCoreApplication::removeTranslator(translator);
    delete translator;
    translator = nullptr;
}

// Qt's own texts in Japanese, from Qt's translations folder or a "translations" folder beside the
// program (where windeployqt puts them on Windows).
void installQtJapanese() {
    auto* qt = new QTranslator;
    const QStringList folders = {
        QLibraryInfo::path(QLibraryInfo::TranslationsPath),
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("translations"))};
    for (const QString& folder : folders) {
        if (qt->load(QStringLiteral("qtbase_ja"), folder) && QCoreApplication::installTranslator(qt)) {
            installedQtTranslator() = qt;
            return;
        }
    }
    delete qt;
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

Language languageForLocale(const QLocale& locale) {
    const QLocale::Language language = locale.language();
    return language == QLocale::Japanese || language == QLocale::C || language == QLocale::AnyLanguage
               ? Language::Japanese
               : Language::English;
}

Language systemLanguage() {
    return languageForLocale(QLocale::system());
}

Language installedLanguage() {
    return currentLanguage();
}

QLocale dateLocale(Language interface, const QLocale& system) {
    if (system.language() == QLocale::Japanese)
        return system;
    if (interface == Language::Japanese || system.language() == QLocale::C ||
        system.language() == QLocale::AnyLanguage)
        return QLocale(QLocale::Japanese, QLocale::Japan);
    return system;
}

QLocale dateLocale() {
    return dateLocale(currentLanguage(), QLocale::system());
}

QString shortDateText(const QDate& date) {
    return dateLocale().toString(date, QLocale::ShortFormat);
}

namespace {

// A two-digit year read by Qt as 19xx is taken as 20xx: exposures of infants are recent.
QDate centuryFixed(QDate date, const QString& format) {
    if (date.isValid() && !format.contains(QStringLiteral("yyyy")) && date.year() < 2000)
        date = date.addYears(100);
    return date;
}

} // namespace

QDate readExamDate(const QString& input) {
    const QString text = input.simplified();
    if (text.isEmpty())
        return {};
    const QLocale system = dateLocale();
    const QString systemFormat = system.dateFormat(QLocale::ShortFormat);
    QDate date = centuryFixed(system.toDate(text, systemFormat), systemFormat);
    if (date.isValid())
        return date;
    // Day before month where the system writes it so ("dd/MM/yyyy"), otherwise month first.
    const bool dayFirst = systemFormat.indexOf(QLatin1Char('d')) < systemFormat.indexOf(QLatin1Char('M'));
    QStringList formats = {QStringLiteral("yyyy/M/d"),    QStringLiteral("yyyy-M-d"),
                           QStringLiteral("yyyy.M.d"),    QStringLiteral("yyyy年M月d日"),
                           QStringLiteral("d MMM yyyy"),  QStringLiteral("d MMMM yyyy"),
                           QStringLiteral("MMM d, yyyy"), QStringLiteral("MMMM d, yyyy"),
                           QStringLiteral("d.M.yyyy"),    QStringLiteral("d.M.yy")};
    if (dayFirst)
        formats << QStringLiteral("d/M/yyyy") << QStringLiteral("d/M/yy");
    else
        formats << QStringLiteral("M/d/yyyy") << QStringLiteral("M/d/yy");
    formats << QStringLiteral("yy/M/d");
    const QLocale c = QLocale::c();
    for (const QString& format : formats) {
        date = centuryFixed(c.toDate(text, format), format);
        if (date.isValid())
            return date;
    }
    return {};
}

records::ExamDateReader examDateReader() {
    return [](std::string_view text) -> std::optional<records::CalendarDate> {
        const QDate date = readExamDate(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
        if (!date.isValid())
            return std::nullopt;
        return records::CalendarDate{date.year(), date.month(), date.day()};
    };
}

Language startLanguage(const LanguageChoice& choice) {
    return choice.given ? choice.language : systemLanguage();
}

bool installLanguage(Language language) {
    QTranslator*& translator = installedTranslator();
    removeTranslator(translator);
    removeTranslator(installedQtTranslator());
    currentLanguage() = language;
    if (language == Language::Japanese) {
        installQtJapanese();
        return true;
    }
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
