#pragma once
// Shared helpers for screen tests: a working folder with reference files, message boxes in test mode.

#include <QString>
#include <QTemporaryDir>

namespace tamso::uitest {

// Puts the program into a fresh temporary working folder holding the shipped default files of
// data/, makes it the current folder and loads the reference data into Module1.
// Message boxes are switched to test mode. Returns false (with a message) on failure.
bool prepareWorkingFolder(QTemporaryDir& dir);

} // namespace tamso::uitest
