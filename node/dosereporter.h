#pragma once
// The dose report of a study on its way out. Each exposure (the node's recorded images through its
// recorded hook, tamso-calc's back-filled ones, the screens' Data Save) is scheduled here, the one
// place: it waits with its study (studyreports.h) until the study has been quiet for the report
// delay; then the study's report is completed with this installation (its device UID in
// "tamso-node/device-uid.txt", the facility of the basic data, the program's version), built, kept
// beside the record files where the site asks for it, and queued in the durable outbox for every
// destination. The outbox's sender makes the reports of the studies due at each of its rounds.

#include "node/dosereport.h"
#include "node/imageprocessor.h"
#include "node/outbox.h"
#include "node/storesender.h"
#include "node/studyreports.h"
#include "textio/expected.h"

#include <chrono>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tamso::node {

namespace fs = std::filesystem;

class DoseReporter {
public:
    // `program` names the recording program in the report ("tamso-node", "tamso", "tamso-calc").
    DoseReporter(fs::path workFolder, std::vector<Destination> forward, bool besideRecords,
                 std::string program, NodeLogger log = {}, OutboxOptions outboxOptions = {});

    // Whether the site asks for reports at all (a destination, or the copy beside the records).
    bool reporting() const { return !forward_.empty() || besideRecords_; }
    const std::vector<Destination>& destinations() const { return forward_; }
    Outbox& outbox() { return outbox_; }

    // Schedules the report of an exposure with its study: its Irradiation Event UID (the image's
    // own, else eventUidOfImage, else one made from the report UID the input brings), its study (a
    // dose without an image: a study of its own made the same way), its body part coded from the
    // working folder's "撮影部位コード.txt" (targetregions.h). Returns the exposure's report on its
    // own as a check. Fails when the report cannot be made (a value missing or out of range) or the
    // exposure kept (the disk). With no report delay the study's report is queued at once.
    Expected<DoseReport> queue(DoseReportInput input);

    // Makes, keeps and queues the reports of the studies that have fallen due (the outbox's
    // sender calls it at each round). Makes the given studies due first (a back-fill).
    Status reportDueStudies(Clock::time_point now = Clock::now(), const std::vector<std::string>& dueNow = {});
    // The reports of studies queued by this object so far.
    int studyReportsQueued() const { return studyReportsQueued_; }

    // The report of an image the node recorded, for the image processor's hook: the image's header
    // (patient, study, the image, the unit), the values of its run and the record's body part, under
    // the UID of the image's report (reportUidOfImage). A report that cannot be made is said in the
    // log and does not come again; an error that may pass (the disk) is returned, and the processor
    // calls again.
    Status reportRecordedImage(const RecordedImage& image);
    RecordedHook recordedHook();

private:
    Expected<std::string> installationUid();
    Status complete(DoseReportInput& input); // with this installation
    Expected<DoseReport> build(DoseReportInput& input); // completed with this installation
    Status keep(const DoseReport& report, const DoseReportInput& input, const std::string& label);
    Status reportStudy(const DueStudy& study);
    void say(const std::string& line);

    fs::path workFolder_;
    std::vector<Destination> forward_;
    bool besideRecords_;
    std::string program_;
    NodeLogger log_;
    Outbox outbox_;
    StudyReports studies_;
    std::mutex mutex_;
    std::mutex reporting_; // one thread makes the due studies' reports at a time
    int studyReportsQueued_ = 0;
    std::string uid_;              // this installation's device UID, once read
    std::set<std::string> failed_; // "image UID: message" said once
};

// The sender of the outbox's reports: C-STORE under our AE title.
ReportSender storeSender(const std::string& callingAeTitle,
                         std::chrono::seconds connectTimeout = std::chrono::seconds(10),
                         std::chrono::seconds messageTimeout = std::chrono::seconds(60));

// A record saved through the report screen, as the dose report takes it.
struct SavedExposure {
    std::string patientId;   // UTF-8, as saved
    std::string patientName; // UTF-8, as the record holds it ("山田 花子")
    std::string examDate;    // as the record holds it ("2024/05/01")
    std::string bodyPart;
    std::string technologist;
    std::string xrayUnit;
};

// The report of a dose computed on the screen and saved through the report. `computed` holds what
// the exposure-condition screen knew: the image's values where the conditions came from an imported
// image (reportInputFromImage), the run's values, the source of the conditions and the exam date.
// The record decides the patient: where its ID is the image's patient ID the report goes into the
// image's study and references the image; otherwise (no image, or an ID typed in its place) the
// report gets a study of its own, with the record's ID and name (family and given name, separated
// by the first blank, as "family^given"). Exam date, body part, technologist and X-ray unit are the
// record's (the unit as the device's name where the image names none).
DoseReportInput savedExposureReport(DoseReportInput computed, const SavedExposure& saved);

// A person's name as the record holds it ("山田 花子", full-width blank too) as a DICOM person name
// ("山田^花子").
std::string personNameOfRecord(const std::string& utf8Name);

} // namespace tamso::node
