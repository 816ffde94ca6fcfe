#include "node/dosereporter.h"

#include "dicom/dicomtext.h"
#include "node/nodefolders.h"
#include "records/doseaudit.h"
#include "refdata/referencefiles.h"
#include "textio/fileio.h"

#include <cstdio>

#ifndef TAMSO_VERSION
#define TAMSO_VERSION "2.0"
#endif

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
      program_(std::move(program)), log_(std::move(log)), outbox_(nodeFolder(workFolder_), outboxOptions) {}

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

Expected<DoseReport> DoseReporter::build(DoseReportInput& input) {
    auto uid = installationUid();
    if (!uid.ok())
        return uid.error();
    input.recorder = {*uid, "TAMSO-II", "TAMSO-II", program_, ""};
    input.softwareVersion = TAMSO_VERSION;
    if (input.institutionName.empty())
        if (auto basic = refdata::readBasicDataFile(workFolder_); basic.ok())
            input.institutionName = basic->hospitalName;
    return buildDoseReport(input);
}

Status DoseReporter::keep(const DoseReport& report, const DoseReportInput& input) {
    std::string where;
    if (besideRecords_) {
        auto file = writeReportBesideRecords(workFolder_, report, input.patientId, input.exposureDate);
        if (!file.ok())
            return file.error();
        where = "kept as " + file->u8string();
    }
    if (!forward_.empty()) {
        auto entries = outbox_.enqueue(report, forward_, reportLabel(input));
        if (!entries.ok())
            return entries.error();
        where += (where.empty() ? "" : "; ") +
                 (entries->empty() ? "queued before" : "queued for " + joinedDestinations(forward_));
    }
    say("dose report " + report.sopInstanceUid + " (ID " + dicom::trimValue(input.patientId) + "): " + where);
    return {};
}

Expected<DoseReport> DoseReporter::queue(DoseReportInput input) {
    auto report = build(input);
    if (!report.ok())
        return report.error();
    if (Status kept = keep(*report, input); !kept.ok())
        return kept.error();
    return report;
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
    if (auto header = fs::exists(image.headerFile, ec) ? reportInputFromImage(image.headerFile)
                                                       : Expected<DoseReportInput>(Error{"no header"});
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
    auto uid = installationUid();
    if (!uid.ok())
        return uid.error();
    input.sopInstanceUid = reportUidOfImage(*uid, e.sopInstanceUid);
    auto report = build(input);
    if (!report.ok()) { // a report that cannot be made never can: said, and not tried again
        problem(report.error().message);
        return {};
    }
    if (Status kept = keep(*report, input); !kept.ok())
        return Error{"線量レポートを保存できません: " + kept.message()};
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
