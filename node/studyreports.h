#pragma once
// The dose report of a study, as X-ray units make it: the exposures of a study wait together until
// the study has been quiet for the report delay, and then one report holds them all, its
// accumulated dose their sum. An exposure that comes later makes the study due again: its next
// report holds the whole study again, under a new SOP Instance UID, each exposure under the
// Irradiation Event UID it had, so that a registry keeps each exposure once.
//
// Everything is on the disk before a call returns, so that a study survives restarts like the
// outbox itself. Files, under the outbox ("<working folder>/tamso-node/outbox"):
//   studies/<Study Instance UID>/<Irradiation Event UID>.txt   one exposure, its report's values
//   pending/<Study Instance UID>.txt                            the study waits: when it is due
// An exposure file holds "key=value" lines (ASCII, CR LF; other bytes as %XX). The study's report
// UID is made from this installation, the study and its exposures' values: the same study made
// again after an interruption is the same object, a changed one a new one.

#include "node/dosereport.h"
#include "textio/expected.h"

#include <chrono>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tamso::node {

namespace fs = std::filesystem;

// One study whose quiet time has passed.
struct DueStudy {
    std::string studyUid;
    std::string marker;                    // the pending file's content when it was read
    std::vector<DoseReportInput> exposures; // the study's exposures, as kept
};

class StudyReports {
public:
    using Clock = std::chrono::system_clock;

    StudyReports(fs::path outboxFolder, std::chrono::seconds delay);

    std::chrono::seconds delay() const { return delay_; }

    // Keeps the exposure with its study (the exposure of the same Irradiation Event UID replaced)
    // and makes the study due `delay` after now. The exposure needs its study and event UIDs.
    Status add(const DoseReportInput& exposure, Clock::time_point now = Clock::now());
    // Makes the studies due now (a back-fill that has fetched every image of them).
    Status dueNow(const std::vector<std::string>& studyUids, Clock::time_point now = Clock::now());

    // The studies due at `now`, each with its exposures. Reads the pending folder only when the
    // earliest due time this object knows has come or `rescanAfter` has passed since it last read it
    // (another process may have made a study due).
    Expected<std::vector<DueStudy>> due(Clock::time_point now = Clock::now());
    // Ends the wait of a study once its report is queued, unless an exposure came meanwhile.
    Status done(const DueStudy& study);
    // When the next study falls due, as far as this object knows.
    std::optional<Clock::time_point> nextDue();

    // The values of an exposure as the text of its file, and back.
    static std::string exposureText(const DoseReportInput& exposure);
    static std::optional<DoseReportInput> exposureFromText(const std::string& text);

private:
    Expected<std::vector<DoseReportInput>> readStudy(const std::string& studyUid) const;
    Status markDue(const std::string& studyUid, Clock::time_point due);

    fs::path folder_;
    std::chrono::seconds delay_;
    std::mutex mutex_;
    std::optional<Clock::time_point> earliest_; // the earliest due time known to this object
    std::optional<Clock::time_point> scanned_;  // when the pending folder was last read
};

} // namespace tamso::node
