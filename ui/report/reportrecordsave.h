#pragma once
// The report screen's side of the patient record file: the Data Save flow with its question and
// messages as message boxes, and the look-up of a stored patient name.

#include "node/nodeconfig.h"
#include "textio/expected.h"
#include "ui/report/reportfields.h"

#include <optional>

class QWidget;

namespace tamso::ui {

// Appends the report's exposure to the record files of its ID in the working folder, asking and
// telling the user over the parent; true when the record was written. recordNumber, if given, gets
// the saved record's number among the infant's records.
bool saveReportRecord(QWidget* parent, const ReportFields& fields, int* recordNumber = nullptr);

// The dose reports the working folder's tamso-node.conf asks for (none without the file). A file
// that cannot be read gives nothing, and is said over the parent, after `lead`, once during the
// program's run for each thing wrong in it.
std::optional<node::ReportSettings> readReportSettingsOrSay(QWidget* parent, const QString& lead);

// After Data Save wrote `saved`, where the working folder's settings ask for dose reports: makes
// the dose report of the exposure from what the calculation handed over (`handed`, see
// ReportFields::doseReport) and the record as saved (its patient, date, body part, technologist),
// keeps it beside the records where asked and queues it in the outbox for every destination. The
// report of an image's own infant has the UID the node gives that image's report, so that an image
// reported by the node and saved here again goes out once. The record stays saved whatever happens:
// a report that cannot be made (no calculation handed over, exposure values changed on the report
// after it, the settings, the disk) is said over the parent with the reason. Returns true when a
// report was queued for a destination.
bool queueDoseReport(QWidget* parent, const ReportFields& handed, const ReportFields& saved);

// Fills the exposure number and cumulative dose of the fields from every record file of fields.id
// in the working folder, in the dose history's order (by exam date, then save order): up to and
// including stored record fields.storedRecordNumber, or, for an exposure not stored (0), this one
// with the dose fields.dose placed by its date fields.examDate after the stored exposures of that
// date (a new infant: this exposure alone). An empty ID, or one that cannot name a file, leaves them empty;
// so do record files that cannot be read, and the error says which.
Status fillDoseSoFar(ReportFields& fields);

// The name stored for a patient ID (which may be empty), or nothing when the ID has no readable
// record file.
std::optional<QString> storedPatientName(const QString& id);

} // namespace tamso::ui
