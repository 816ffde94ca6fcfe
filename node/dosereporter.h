#pragma once
// The dose report of an exposure on its way out: completed with this installation (its device UID
// in "tamso-node/device-uid.txt", the facility of the basic data, the program's version), built,
// kept beside the record files where the site asks for it, and queued in the durable outbox for
// every destination. The node does this for each image it records (its recorded hook), tamso-calc
// for each image it back-fills, the screens for each Data Save of a calculation.

#include "node/dosereport.h"
#include "node/imageprocessor.h"
#include "node/outbox.h"
#include "node/storesender.h"
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

    // Completes the report with this installation, builds it, writes it beside the records where
    // asked and queues it for every destination; returns it. Fails when the report cannot be made
    // (a value missing or out of range) or kept (the disk). A report queued before under its UID is
    // not queued again.
    Expected<DoseReport> queue(DoseReportInput input);

    // The report of an image the node recorded, for the image processor's hook: the image's header
    // (patient, study, the image, the unit), the values of its run and the record's body part, under
    // the UID of the image's report (reportUidOfImage). A report that cannot be made is said in the
    // log and does not come again; an error that may pass (the disk) is returned, and the processor
    // calls again.
    Status reportRecordedImage(const RecordedImage& image);
    RecordedHook recordedHook();

private:
    Expected<std::string> installationUid();
    Expected<DoseReport> build(DoseReportInput& input); // completed with this installation
    Status keep(const DoseReport& report, const DoseReportInput& input);
    void say(const std::string& line);

    fs::path workFolder_;
    std::vector<Destination> forward_;
    bool besideRecords_;
    std::string program_;
    NodeLogger log_;
    Outbox outbox_;
    std::mutex mutex_;
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
