#pragma once
// The report screen's side of the patient record file: the Data Save flow with its question and
// messages as message boxes, and the look-up of a stored patient name.

#include "ui/report/reportfields.h"

#include <optional>

class QWidget;

namespace tamso::ui {

// Appends the report's exposure to the record file of its ID in the working folder, asking and
// telling the user over the parent; true when the record was written.
bool saveReportRecord(QWidget* parent, const ReportFields& fields);

// The name stored for a patient ID (which may be empty), or nothing when the ID has no readable
// record file.
std::optional<QString> storedPatientName(const QString& id);

} // namespace tamso::ui
