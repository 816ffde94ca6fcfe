#pragma once
// Shared helpers for screen tests: a working folder with reference files, message boxes in test mode.

#include "ui/report/reportfields.h"

#include <QString>
#include <QTemporaryDir>

namespace tamso::uitest {

// Puts the program into a fresh temporary working folder holding the shipped default files of
// data/, makes it the current folder and loads the reference data into Module1.
// Message boxes are switched to test mode. Returns false (with a message) on failure.
bool prepareWorkingFolder(QTemporaryDir& dir);

// The texts of a typical report (50 kV, 5 mAs, 100 cm, 六切サイズ, 腹部正面, X-ray unit "記録の装置").
ui::ReportFields sampleReportFields();

} // namespace tamso::uitest
