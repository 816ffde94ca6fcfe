#include "node/dosereporter.h"

#include "dicom/dicomtext.h"
#include "node/nodefolders.h"
#include "node/targetregions.h"
#include "records/doseaudit.h"
#include "refdata/referencefiles.h"
#include "textio/fileio.h"

#include "tamsoversion.h"

#include <cstdio>

namespace tamso::node {

namespace {

// "2024/05/01" (or as the record's date may stand: "2024-5-1") as YYYYMMDD; empty when it is none.
std::string dicomDate(const std::string& recordDate) {
    const auto date = records::parseExamDate(recordDate);
    if (!date)
        return {};
    char text[16];
    std::snprintf(text, sizeof text, "%04d%02d%02d", date->year, date->month, date->day);
    return text;
}

std::string joinedDestinations(const std::vector<Destination>& list) {
    std::string text;
    for (const Destination& d : list)
        text += (text.empty() ? "" : ", ") + destinationText(d);
    return text;
}

} // namespace

DoseReporter::DoseReporter(fs::path workFolder, std::vector<Destination> forward, bool besideRecords,
                           std::string program, NodeLogger log, OutboxOptions outboxOptions)
    : workFolder_(std::move(workFolder)), forward_(std::move(forward)), besideRecords_(besideRecords),
      program_(std::move(program)), log_(std::move(log)), outbox_(nodeFolder(workFolder_), outboxOptions),
      studies_(outbox_.folder(), outboxOptions.reportDelay) {
    outbox_.setPreparation([this](Clock::time_point now) { return reportDueStudies(now); },
                           [this] { return studies_.nextDue(); });
}

void DoseReporter::say(const std::string& line) {
    if (log_)
        log_(line);
}

Expected<std::string> DoseReporter::installationUid() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (uid_.empty()) {
        auto uid = recorderUid(nodeFolder(workFolder_));
        if (!uid.ok())
            return uid.error();
        uid_ = *uid;
    }
    return uid_;
}

Status DoseReporter::complete(DoseReportInput& input) {
    auto uid = installationUid();
    if (!uid.ok())
        return uid.error();
    input.recorder = {*uid, "TAMSO-II", "TAMSO-II", program_, ""};
    input.softwareVersion = kProgramVersion;
    if (input.institutionName.empty())
        if (auto basic = refdata::readBasicDataFile(workFolder_); basic.ok())
            input.institutionName = basic->hospitalName;
    return {};
}

Expected<DoseReport> DoseReporter::build(DoseReportInput& input) {
    if (Status s = complete(input); !s.ok())
        return s.error();
    return buildDoseReport(input);
}

Status DoseReporter::keep(const DoseReport& report, const DoseReportInput& input, const std::string& label) {
    std::string where;
    if (besideRecords_) {
        auto file = writeReportBesideRecords(workFolder_, report, input.patientId, input.exposureDate);
        if (!file.ok())
            return file.error();
        where = "kept as " + file->u8string();
    }
    if (!forward_.empty()) {
        auto entries = outbox_.enqueue(report, forward_, label);
        if (!entries.ok())
            return entries.error();
        where += (where.empty() ? "" : "; ") +
                 (entries->empty() ? "queued before" : "queued for " + joinedDestinations(forward_));
    }
    say("dose report " + report.sopInstanceUid + " (ID " + dicom::trimValue(input.patientId) + "): " + where);
    return {};
}

Expected<DoseReport> DoseReporter::queue(DoseReportInput input) {
    if (!reporting())
        return Error(ErrorCode::NoReportDestination);
    // The exposure's event and study: the same exposure, however it comes again, is the same event.
    const std::string handOver = input.sopInstanceUid;
    if (input.irradiationEventUid.empty())
        input.irradiationEventUid = !input.imageSopInstanceUid.empty() ? eventUidOfImage(input.imageSopInstanceUid)
                                    : !handOver.empty()             ? uidFromText("Irradiation event\x1f" + handOver)
                                                                    : newUuidUid();
    if (dicom::trimValue(input.studyInstanceUid).empty())
        input.studyInstanceUid = uidFromText("Study of the exposure\x1f" + input.irradiationEventUid);
    input.studyInstanceUid = dicom::trimValue(input.studyInstanceUid);
    if (input.targetRegion.empty() && !input.bodyPart.empty()) {
        // A mapping file that cannot be read leaves the region out (said once), the report goes.
        if (auto regions = TargetRegions::load(workFolder_); regions.ok()) {
            input.targetRegion = regions->regionOf(input.bodyPart);
        } else {
            std::lock_guard<std::mutex> lock(mutex_);
            if (failed_.insert(regions.error().message()).second && log_)
                log_("dose reports without target region: " + regions.error().message());
        }
    }
    auto single = build(input); // the exposure on its own: a value the report cannot state fails here
    if (!single.ok())
        return single.error();
    const Clock::time_point now = Clock::now();
    if (Status s = studies_.add(input, now); !s.ok())
        return Error(ErrorCode::DoseReportNotSaved, {s.message()});
    if (studies_.delay().count() == 0)
        if (Status s = reportDueStudies(now); !s.ok())
            return s.error();
    return single;
}

Status DoseReporter::reportStudy(const DueStudy& study) {
    auto uid = installationUid();
    if (!uid.ok())
        return uid.error();
    // The version's UID: this installation, the study and the values of its exposures.
    std::string values;
    for (const DoseReportInput& e : study.exposures)
        values += StudyReports::exposureText(e) + "\x1e";
    std::vector<DoseReportInput> exposures = study.exposures;
    double totalMGy = 0;
    for (DoseReportInput& e : exposures) {
        e.sopInstanceUid = uidFromText("X-Ray Radiation Dose report of the study\x1f" + *uid + "\x1f" + study.studyUid +
                                       "\x1f" + values);
        totalMGy += e.dose.entranceSurfaceDoseMGy;
        if (Status s = complete(e); !s.ok())
            return s;
    }
    auto report = buildStudyDoseReport(exposures);
    if (!report.ok()) { // a study that cannot be reported never can: said, and not tried again
        say("study " + study.studyUid + ": no dose report: " + report.error().message());
        return studies_.done(study);
    }
    DoseReportInput summary = exposures.front();
    summary.dose.entranceSurfaceDoseMGy = totalMGy;
    std::string label = reportLabel(summary);
    if (exposures.size() > 1)
        label += " (" + std::to_string(exposures.size()) + " exposures)";
    if (Status kept = keep(*report, summary, label); !kept.ok())
        return Error(ErrorCode::DoseReportNotSaved, {kept.message()});
    ++studyReportsQueued_;
    return studies_.done(study);
}

Status DoseReporter::reportDueStudies(Clock::time_point now, const std::vector<std::string>& dueNow) {
    std::lock_guard<std::mutex> lock(reporting_);
    if (!dueNow.empty())
        if (Status s = studies_.dueNow(dueNow, now); !s.ok())
            return s;
    auto due = studies_.due(now);
    if (!due.ok())
        return due.error();
    Status first;
    for (const DueStudy& study : *due)
        if (Status s = reportStudy(study); !s.ok() && first.ok())
            first = s;
    return first;
}

Status DoseReporter::reportRecordedImage(const RecordedImage& image) {
    if (!reporting())
        return {};
    const ImageEntry& e = image.entry;
    auto problem = [&](const std::string& message) {
        // Said once per image and message: the processor may call again for the same image.
        std::lock_guard<std::mutex> lock(mutex_);
        if (failed_.insert(e.sopInstanceUid + ": " + message).second && log_)
            log_("image " + e.sopInstanceUid + ": no dose report: " + message);
    };
    if (!image.dose) {
        problem("the values of its run were not kept (recorded by an earlier version)");
        return {};
    }
    DoseReportInput input;
    std::error_code ec;
    if (auto header = fs::exists(image.headerFile, ec)
                          ? reportInputFromImage(image.headerFile)
                          : Expected<DoseReportInput>(Error(ErrorCode::NoImageHeader));
        header.ok()) {
        input = std::move(*header);
    } else {
        // The header is gone: what the log keeps of the image (its patient and study; no reference
        // to the image itself, whose series the log does not keep).
        input.patientId = e.patientId;
        input.patientName = personNameOfRecord(e.patientName);
        input.patientCharacterSet = "ISO_IR 192";
        input.studyInstanceUid = e.studyInstanceUid;
        input.exposureDate = dicomDate(e.examDate);
        input.operatorName = personNameOfRecord(e.technologist);
        input.xrayUnit.name = e.xrayUnit;
    }
    ExposureDose dose = *image.dose;
    dose.tubeCurrentMa = input.dose.tubeCurrentMa;
    dose.exposureTimeMs = input.dose.exposureTimeMs;
    input.dose = dose;
    input.bodyPart = e.bodyPart;
    input.source = DoseSource::ComputedFromImageAttributes;
    if (input.studyInstanceUid.empty()) // neither header nor log name its study
        input.studyInstanceUid = uidFromText("Study of the image\x1f" + e.sopInstanceUid);
    if (input.irradiationEventUid.empty())
        input.irradiationEventUid = eventUidOfImage(e.sopInstanceUid);
    auto queued = queue(input);
    if (queued.ok())
        return {};
    // A report that cannot be made never can: said, and not tried again; the disk may pass.
    if (queued.error().code == ErrorCode::DoseReportNotSaved)
        return queued.error();
    problem(queued.error().message());
    return {};
}

RecordedHook DoseReporter::recordedHook() {
    return [this](const RecordedImage& image) { return reportRecordedImage(image); };
}

ReportSender storeSender(const std::string& callingAeTitle, std::chrono::seconds connectTimeout,
                         std::chrono::seconds messageTimeout) {
    NetworkOptions options;
    options.callingAeTitle = callingAeTitle;
    options.connectTimeout = connectTimeout;
    options.messageTimeout = messageTimeout;
    return [options](const Destination& destination, const std::vector<fs::path>& files) {
        return storeFiles(destination, files, options);
    };
}

std::string personNameOfRecord(const std::string& utf8Name) {
    std::string name = dicom::trimValue(utf8Name);
    const std::string fullWidthBlank = "\xE3\x80\x80";
    std::size_t blank = name.find(' ');
    std::size_t width = 1;
    if (const std::size_t wide = name.find(fullWidthBlank); wide < blank) {
        blank = wide;
        width = fullWidthBlank.size();
    }
    if (blank == std::string::npos)
        return name;
    std::size_t rest = blank + width;
    while (rest < name.size() &&
           (name[rest] == ' ' || name.compare(rest, fullWidthBlank.size(), fullWidthBlank) == 0))
        rest += name[rest] == ' ' ? 1 : fullWidthBlank.size();
    return name.substr(0, blank) + "^" + name.substr(rest);
}

DoseReportInput savedExposureReport(DoseReportInput in, const SavedExposure& saved) {
    const bool sameInfant = !in.imageSopInstanceUid.empty() &&
                            dicom::trimValue(in.patientId) == dicom::trimValue(saved.patientId);
    if (!sameInfant) {
        // A study of its own under the record's patient: the image's study and patient are another's.
        DoseReportInput own;
        own.source = in.source;
        own.device = in.device;
        own.dose = in.dose;
        own.exposureDate = in.exposureDate;
        own.exposureTime = in.exposureTime;
        own.xrayUnit = in.xrayUnit;
        in = own;
        in.patientId = saved.patientId;
        in.patientName = personNameOfRecord(saved.patientName);
        in.patientCharacterSet = "ISO_IR 192";
    }
    if (const std::string date = dicomDate(saved.examDate); !date.empty() && date != in.exposureDate) {
        in.exposureDate = date;
        in.exposureTime.clear(); // the image's time belongs to its own date
    }
    in.bodyPart = saved.bodyPart;
    in.operatorName = personNameOfRecord(saved.technologist);
    if (in.xrayUnit.name.empty())
        in.xrayUnit.name = saved.xrayUnit;
    return in;
}

} // namespace tamso::node
