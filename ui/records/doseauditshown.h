#pragma once
// The audit's table as the facility audit window and its printout show it (doseauditwindow.cpp,
// doseauditprint.cpp): the fixed words of the core translated (the CSV file keeps them in
// Japanese), and the columns and colour that mark a median above its level.

#include <QColor>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <string>

namespace tamso::ui::auditshown {

// The columns of the table that hold the ratio and the verdict.
constexpr int kRatioColumn = 8;
constexpr int kVerdictColumn = 9;
// The background of a median above its level.
inline const QColor kAboveBackground(0xfd, 0xe2, 0xe2);

QStringList headings();
QString cell(const std::string& cell, std::size_t column);

} // namespace tamso::ui::auditshown
