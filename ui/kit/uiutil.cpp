#include "ui/kit/uiutil.h"

#include "textio/ownfiles.h"

#include <QAbstractButton>
#include <QKeySequence>
#include <QShortcut>

#include <QCoreApplication>
#include <QDir>
#include <QFont>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QWidget>

namespace tamso::ui {

QRect twipsRect(int left, int top, int width, int height) {
    return QRect(twips(left), twips(top), twips(width), twips(height));
}

void placeTwips(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(twipsRect(left, top, width, height));
}

void nameControl(QWidget* widget, const QString& objectName, const QString& caption) {
    widget->setObjectName(objectName);
    widget->setAccessibleName(caption.trimmed().isEmpty() ? objectName : caption.trimmed());
    widget->setAccessibleDescription(objectName);
    // Enter presses the command that has the focus, as Space does, in every window.
    if (auto* button = qobject_cast<QPushButton*>(widget))
        button->setAutoDefault(true);
}

QLabel* addLabel(QWidget* parent, const QString& objectName, const QString& text, int left, int top,
                 int width, int height) {
    auto* label = new QLabel(text, parent);
    nameControl(label, objectName, text);
    placeTwips(label, left, top, width, height);
    return label;
}

void closeOnEscape(QWidget* window, QAbstractButton* closeCommand) {
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), window);
    escape->setContext(Qt::WindowShortcut);
    QObject::connect(escape, &QShortcut::activated, closeCommand, &QAbstractButton::click);
}

QLineEdit* addField(QWidget* parent, const QString& objectName, const QString& caption, int left, int top,
                    int width, int height) {
    auto* field = new QLineEdit(parent);
    nameControl(field, objectName, caption);
    placeTwips(field, left, top, width, height);
    return field;
}

QString coreText(const std::string& message) {
    return QCoreApplication::translate("core", message.c_str());
}

QString coreText(const Error& error) {
    if (error.code == ErrorCode::Text)
        return coreText(error.arg(0));
    const QString pattern = QCoreApplication::translate("core", textio::errorTemplate(error.code));
    return qs(textio::fillTemplate(utf8(pattern), error.args));
}

QString timesFontFamily() {
    return QStringLiteral("Times New Roman");
}
QString gothicFontFamily() {
    return QStringLiteral("MS ゴシック");
}
QString roundGothicFontFamily() {
    return QStringLiteral("HG丸ｺﾞｼｯｸM-PRO");
}

void installFontSubstitutions() {
    const QStringList families = QFontDatabase::families();
    auto firstPresent = [&](const QStringList& candidates) -> QStringList {
        QStringList present;
        for (const QString& c : candidates)
            if (families.contains(c, Qt::CaseInsensitive))
                present << c;
        return present;
    };
    const QStringList gothic = firstPresent({QStringLiteral("IPAexGothic"), QStringLiteral("IPAGothic"),
                                             QStringLiteral("Noto Sans CJK JP"), QStringLiteral("VL Gothic"),
                                             QStringLiteral("TakaoGothic")});
    const QStringList serif =
        firstPresent({QStringLiteral("Liberation Serif"), QStringLiteral("DejaVu Serif"),
                      QStringLiteral("FreeSerif"), QStringLiteral("IPAexMincho")});
    if (!families.contains(timesFontFamily()))
        QFont::insertSubstitutions(timesFontFamily(), serif + gothic);
    for (const QString& name : {gothicFontFamily(), QStringLiteral("ＭＳ ゴシック"), roundGothicFontFamily()})
        if (!families.contains(name))
            QFont::insertSubstitutions(name, gothic);
}

QString workingFolder() {
    return QDir::currentPath();
}
std::string workingFolderUtf8() {
    return utf8(QDir::toNativeSeparators(QDir::currentPath()));
}
std::filesystem::path workingFolderPath() {
    return std::filesystem::u8path(workingFolderUtf8());
}

Status checkPrinterOutput(const QPrinter& printer) {
    const QString file = printer.outputFileName();
    if (file.isEmpty())
        return {};
    return textio::checkExportTarget(std::filesystem::path(file.toStdU16String()));
}

} // namespace tamso::ui
