#pragma once
// Small helpers shared by the screens: positions in twips, accessible names, fonts, and the
// conversion between the core's UTF-8 strings and QString.

#include "textio/expected.h"

#include <QRect>
#include <QString>
#include <filesystem>
#include <string>

class QAbstractButton;
class QPrinter;
class QLabel;
class QLineEdit;
class QWidget;

namespace tamso::ui {

// 1440 twips to the inch; at 96 dpi 15 twips make a pixel. Qt scales logical pixels for high-DPI.
constexpr int twips(int value) {
    return (value + 7) / 15;
}
QRect twipsRect(int left, int top, int width, int height);
// Places a widget at a position given in twips (Left, Top, Width, Height).
void placeTwips(QWidget* widget, int left, int top, int width, int height);

// Object name and accessible description are the control's name ("Text5"); the accessible
// name is its caption as the user reads it. A push button takes Enter as it takes Space.
void nameControl(QWidget* widget, const QString& objectName, const QString& caption);

// Esc in the window presses its close command, as a click would.
void closeOnEscape(QWidget* window, QAbstractButton* closeCommand);

// A named label / text field placed in twips.
QLabel* addLabel(QWidget* parent, const QString& objectName, const QString& text, int left, int top,
                 int width, int height = 255);
QLineEdit* addField(QWidget* parent, const QString& objectName, const QString& caption, int left, int top,
                    int width, int height = 375);

// A printer that prints to a file (a PDF file named in the print dialog) writes only where an
// export may (textio::checkExportTarget: never one of the working folder's own files); any other
// printer may print.
Status checkPrinterOutput(const QPrinter& printer);

inline QString qs(const std::string& utf8) {
    return QString::fromStdString(utf8);
}
inline std::string utf8(const QString& text) {
    return text.toStdString();
}
// A fixed text of the core (a table heading, a caption) as the user reads it: translated where the
// installed translation knows it (context "core"), else the Japanese text as it is.
QString coreText(const std::string& message);
// An error (or notice, question) of the core as the user reads it: its code's template translated
// (context "core"), then filled with the error's arguments. A free text (ErrorCode::Text) is
// translated whole where the translation knows it.
QString coreText(const Error& error);

// Maps "Times New Roman", "MS ゴシック", "ＭＳ ゴシック" and "HG丸ｺﾞｼｯｸM-PRO" to fonts present on
// this machine (IPAex Gothic where installed). Call once after the QApplication exists.
void installFontSubstitutions();

QString timesFontFamily();       // "Times New Roman"
QString gothicFontFamily();      // "MS ゴシック"
QString roundGothicFontFamily(); // "HG丸ｺﾞｼｯｸM-PRO"

// The working folder of the program (the current folder when it started).
QString workingFolder();
std::string workingFolderUtf8();
std::filesystem::path workingFolderPath();

} // namespace tamso::ui
