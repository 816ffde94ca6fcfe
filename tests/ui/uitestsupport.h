#pragma once
// Shared helpers for screen tests: a working folder with reference files, message boxes in test mode.

#include "engine/calculationstate.h"
#include "ui/kit/sitedata.h"
#include "ui/report/reportfields.h"

#include <QImage>
#include <QList>
#include <QPrinter>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class QListWidget;
class QListWidgetItem;

#include <memory>
#include <set>

namespace tamso::uitest {

// The working folder of the default test case (tests/data/default_50kv/workdir): the reference
// files and body parts the screen tests run on. Tests use it instead of the shipped data/, which a
// site replaces with its own measurements.
QString testCaseWorkFolder();

// The calculation state that tests hand to the windows and drawings they make without the shell
// (the shell owns its own): one per test program.
engine::CalculationState& calculationState();
// The site data (reference levels, organ-dose data) handed with it: one per test program, emptied by
// prepareWorkingFolder().
ui::SiteData& siteData();

// Puts the program into a fresh temporary working folder holding a copy of testCaseWorkFolder(),
// makes it the current folder and loads its reference data into a cleared calculationState(); the
// siteData() is emptied.
// Message boxes are switched to test mode. Returns false (with a message) on failure.
bool prepareWorkingFolder(QTemporaryDir& dir);

// The text of a PDF file as pdftotext (poppler-utils) extracts it, in UTF-8, in reading order.
// False, with the reason in `error`, when pdftotext is not installed or fails; the tests that read
// printed files need it (test.sh installs it), so they fail rather than skip without it.
bool pdfText(const QString& pdf, QString& text, QString& error);

// A printer that writes a PDF file, for the screens' printer providers.
std::unique_ptr<QPrinter> pdfPrinter(const QString& file);

// The names of the fonts a PDF file uses, as pdffonts (poppler-utils) lists them.
bool pdfFontNames(const QString& pdf, QStringList& names, QString& error);

// Every word of a PDF file with its box in points (pdftotext -bbox), pages one after the other.
struct PdfWord {
    QString text;
    QRectF box;
};
bool pdfWords(const QString& pdf, QList<PdfWord>& words, QString& error);

// The page of a PDF file as pdftoppm (poppler-utils) renders it at this resolution.
bool pdfPicture(const QString& pdf, int dpi, QImage& picture, QString& error);

// Every code point that the ToUnicode maps of a PDF file (written by Qt) give to a glyph.
std::set<char32_t> pdfToUnicodeTargets(const QString& pdf);

// Characters a printed text must never turn into: the Kangxi radicals (U+2F00–U+2FDF) and the CJK
// radicals supplement (U+2E80–U+2EFF). Returns them as "U+2F52 ⽒ …", empty when there is none.
QString radicalsIn(const QString& text);

// The entries of the record search's patient list that stand for this record file ("A001.pat").
QList<QListWidgetItem*> patientFileEntries(const QListWidget* files, const QString& fileName);

// Types the text into the field as an input method commits it (full-width digits included).
void commitText(QWidget* field, const QString& text);

// The texts of a typical report (50 kV, 5 mAs, 100 cm, 六切サイズ, 腹部正面, X-ray unit "記録の装置").
ui::ReportFields sampleReportFields();

} // namespace tamso::uitest
