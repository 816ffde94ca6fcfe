#pragma once
// tamso-calc --audit: the facility audit of the record files of a working folder against the
// diagnostic reference levels, printed as the audit window shows it and written as CSV.

#include "records/doseaudit.h"
#include "textio/expected.h"

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

namespace tamso::calc {

// Whether the arguments ask for the audit (they hold "--audit").
bool asksForAudit(const std::vector<std::string>& args);

// The audit command: --audit [--workdir DIR] [--from DATE] [--to DATE] [--csv-out FILE]; arguments
// without the program name. Returns the exit status.
int runAuditCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The audit table as text: the window's columns, aligned for a fixed-pitch terminal (a Japanese
// character takes two columns), then the period, the summary and every note.
std::string doseAuditReportText(const records::DoseAudit& audit, const records::AuditPeriod& period);

} // namespace tamso::calc
