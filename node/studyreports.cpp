#include "node/studyreports.h"

#include "textio/fileio.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <random>

namespace tamso::node {

namespace {

constexpr auto kRescan = std::chrono::seconds(30);

std::int64_t milliseconds(StudyReports::Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
}

// Every byte outside printable ASCII, and "%", as %XX.
std::string escaped(const std::string& value) {
    static const char hex[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned char c : value) {
        if (c >= 0x20 && c < 0x7F && c != '%') {
            text += static_cast<char>(c);
        } else {
            text += '%';
            text += hex[c >> 4];
            text += hex[c & 0xF];
        }
    }
    return text;
}

std::optional<std::string> unescaped(const std::string& text) {
    std::string value;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            value += text[i];
            continue;
        }
        unsigned byte = 0;
        if (i + 2 >= text.size())
            return std::nullopt;
        auto [end, ec] = std::from_chars(text.data() + i + 1, text.data() + i + 3, byte, 16);
        if (ec != std::errc() || end != text.data() + i + 3)
            return std::nullopt;
        value += static_cast<char>(byte);
        i += 2;
    }
    return value;
}

// The text fields of an exposure by their names in its file.
using Field = std::function<std::string&(DoseReportInput&)>;
const std::vector<std::pair<const char*, Field>>& textFields() {
    static const std::vector<std::pair<const char*, Field>> fields = {
        {"patient-id", [](DoseReportInput& e) -> std::string& { return e.patientId; }},
        {"patient-name", [](DoseReportInput& e) -> std::string& { return e.patientName; }},
        {"character-set", [](DoseReportInput& e) -> std::string& { return e.patientCharacterSet; }},
        {"birth-date", [](DoseReportInput& e) -> std::string& { return e.patientBirthDate; }},
        {"sex", [](DoseReportInput& e) -> std::string& { return e.patientSex; }},
        {"age", [](DoseReportInput& e) -> std::string& { return e.patientAge; }},
        {"weight", [](DoseReportInput& e) -> std::string& { return e.patientWeightKg; }},
        {"study", [](DoseReportInput& e) -> std::string& { return e.studyInstanceUid; }},
        {"study-date", [](DoseReportInput& e) -> std::string& { return e.studyDate; }},
        {"study-time", [](DoseReportInput& e) -> std::string& { return e.studyTime; }},
        {"study-id", [](DoseReportInput& e) -> std::string& { return e.studyId; }},
        {"accession", [](DoseReportInput& e) -> std::string& { return e.accessionNumber; }},
        {"image-class", [](DoseReportInput& e) -> std::string& { return e.imageSopClassUid; }},
        {"image", [](DoseReportInput& e) -> std::string& { return e.imageSopInstanceUid; }},
        {"image-series", [](DoseReportInput& e) -> std::string& { return e.imageSeriesInstanceUid; }},
        {"event", [](DoseReportInput& e) -> std::string& { return e.irradiationEventUid; }},
        {"date", [](DoseReportInput& e) -> std::string& { return e.exposureDate; }},
        {"time", [](DoseReportInput& e) -> std::string& { return e.exposureTime; }},
        {"body-part", [](DoseReportInput& e) -> std::string& { return e.bodyPart; }},
        {"region-code", [](DoseReportInput& e) -> std::string& { return e.targetRegion.code; }},
        {"region-meaning", [](DoseReportInput& e) -> std::string& { return e.targetRegion.meaning; }},
        {"operator", [](DoseReportInput& e) -> std::string& { return e.operatorName; }},
        {"unit-uid", [](DoseReportInput& e) -> std::string& { return e.xrayUnit.uid; }},
        {"unit-name", [](DoseReportInput& e) -> std::string& { return e.xrayUnit.name; }},
        {"unit-manufacturer", [](DoseReportInput& e) -> std::string& { return e.xrayUnit.manufacturer; }},
        {"unit-model", [](DoseReportInput& e) -> std::string& { return e.xrayUnit.modelName; }},
        {"unit-serial", [](DoseReportInput& e) -> std::string& { return e.xrayUnit.serialNumber; }},
    };
    return fields;
}

std::string nonce() {
    static std::mutex guard;
    static std::random_device device;
    std::lock_guard<std::mutex> lock(guard);
    return std::to_string(device()) + std::to_string(device());
}

bool safeName(const std::string& uid) {
    return !uid.empty() && uid.size() <= 64 && uid.front() != '.' &&
           std::all_of(uid.begin(), uid.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
}

} // namespace

StudyReports::StudyReports(fs::path outboxFolder, std::chrono::seconds delay)
    : folder_(std::move(outboxFolder)), delay_(delay) {}

std::string StudyReports::exposureText(const DoseReportInput& exposure) {
    DoseReportInput e = exposure;
    std::string text;
    for (const auto& [name, field] : textFields())
        if (const std::string& value = field(e); !value.empty())
            text += std::string(name) + "=" + escaped(value) + "\r\n";
    text += std::string("device=") + (e.device == AcquisitionDevice::CassetteBased ? "cassette" : "integrated") +
            "\r\n";
    text += std::string("source=") + (e.source == DoseSource::ManualEntry ? "manual" : "image") + "\r\n";
    text += "dose=" + exposureDoseText(e.dose) + "\r\n";
    return text;
}

std::optional<DoseReportInput> StudyReports::exposureFromText(const std::string& text) {
    DoseReportInput e;
    bool dose = false;
    for (const std::string& line : textio::splitLines(text)) {
        const auto equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        const std::string key = line.substr(0, equals);
        const std::string value = line.substr(equals + 1);
        if (key == "dose") {
            auto values = exposureDoseFromText(value);
            if (!values)
                return std::nullopt;
            e.dose = *values;
            dose = true;
        } else if (key == "device") {
            e.device = value == "cassette" ? AcquisitionDevice::CassetteBased : AcquisitionDevice::Integrated;
        } else if (key == "source") {
            e.source = value == "manual" ? DoseSource::ManualEntry : DoseSource::ComputedFromImageAttributes;
        } else {
            const auto& fields = textFields();
            const auto it = std::find_if(fields.begin(), fields.end(),
                                         [&](const auto& f) { return key == f.first; });
            auto plain = unescaped(value);
            if (it == fields.end() || !plain)
                return std::nullopt;
            it->second(e) = *plain;
        }
    }
    if (!dose || e.studyInstanceUid.empty() || e.irradiationEventUid.empty())
        return std::nullopt;
    return e;
}

Status StudyReports::markDue(const std::string& studyUid, Clock::time_point due) {
    const fs::path pending = folder_ / "pending";
    std::error_code ec;
    fs::create_directories(pending, ec);
    if (ec)
        return Error(ErrorCode::ReportPendingFolderCannotMake,
                     {textio::fileNameUtf8(pending), textio::fileErrorReason(ec)});
    const std::string marker = std::to_string(milliseconds(due)) + ";" + nonce() + "\r\n";
    if (Status s = textio::writeFileAtomic(pending / (studyUid + ".txt"), marker); !s.ok())
        return s;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!earliest_ || due < *earliest_)
        earliest_ = due;
    return {};
}

Status StudyReports::add(const DoseReportInput& exposure, Clock::time_point now) {
    const std::string study = exposure.studyInstanceUid;
    if (!safeName(study) || !safeName(exposure.irradiationEventUid))
        return Error(ErrorCode::ReportUidMissing);
    const fs::path studyFolder = folder_ / "studies" / study;
    std::error_code ec;
    fs::create_directories(studyFolder, ec);
    if (ec)
        return Error(ErrorCode::ReportStudyFolderCannotMake,
                     {textio::fileNameUtf8(studyFolder), textio::fileErrorReason(ec)});
    // The exposure first, then the study's due time: a study found due holds every exposure kept.
    if (Status s = textio::writeFileAtomic(studyFolder / (exposure.irradiationEventUid + ".txt"),
                                           exposureText(exposure));
        !s.ok())
        return s;
    return markDue(study, now + delay_);
}

Status StudyReports::dueNow(const std::vector<std::string>& studyUids, Clock::time_point now) {
    for (const std::string& study : studyUids)
        if (std::error_code ec; safeName(study) && fs::exists(folder_ / "pending" / (study + ".txt"), ec))
            if (Status s = markDue(study, now); !s.ok())
                return s;
    return {};
}

Expected<std::vector<DoseReportInput>> StudyReports::readStudy(const std::string& studyUid) const {
    std::vector<DoseReportInput> exposures;
    const fs::path studyFolder = folder_ / "studies" / studyUid;
    std::vector<fs::path> files;
    std::error_code ec;
    for (fs::directory_iterator it(studyFolder, ec), end; !ec && it != end; it.increment(ec))
        if (it->path().extension() == ".txt" && it->path().filename().string().front() != '.')
            files.push_back(it->path());
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        auto text = textio::readRegularFileBytes(file, 1 << 20);
        if (!text.ok())
            return text.error();
        auto exposure = exposureFromText(*text);
        if (!exposure)
            return Error(ErrorCode::ReportExposureFileUnreadable, {textio::fileNameUtf8(file)});
        exposures.push_back(std::move(*exposure));
    }
    return exposures;
}

Expected<std::vector<DueStudy>> StudyReports::due(Clock::time_point now) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const bool fresh = scanned_ && now - *scanned_ < kRescan && now >= *scanned_;
        if (fresh && (!earliest_ || now < *earliest_))
            return std::vector<DueStudy>{};
        scanned_ = now;
        earliest_.reset();
    }
    std::vector<DueStudy> due;
    std::optional<Clock::time_point> earliest;
    std::error_code ec;
    for (fs::directory_iterator it(folder_ / "pending", ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path file = it->path();
        const std::string study = file.stem().string();
        if (file.extension() != ".txt" || !safeName(study))
            continue;
        auto marker = textio::readRegularFileBytes(file, 256);
        if (!marker.ok())
            continue; // replaced at this instant: read at the next round
        std::int64_t dueMs = 0;
        std::from_chars(marker->data(), marker->data() + marker->size(), dueMs);
        const Clock::time_point at{std::chrono::milliseconds(dueMs)};
        if (at > now) {
            earliest = earliest ? std::min(*earliest, at) : at;
            continue;
        }
        auto exposures = readStudy(study);
        if (!exposures.ok())
            return exposures.error();
        due.push_back({study, *marker, std::move(*exposures)});
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (earliest && (!earliest_ || *earliest < *earliest_))
        earliest_ = earliest;
    return due;
}

Status StudyReports::done(const DueStudy& study) {
    const fs::path file = folder_ / "pending" / (study.studyUid + ".txt");
    auto marker = textio::readRegularFileBytes(file, 256);
    if (marker.ok() && *marker == study.marker) {
        std::error_code ec;
        fs::remove(file, ec);
        if (ec)
            return Error(ErrorCode::ReportPendingFileNotRemoved,
                         {textio::fileNameUtf8(file), textio::fileErrorReason(ec)});
    }
    return {};
}

std::optional<StudyReports::Clock::time_point> StudyReports::nextDue() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!scanned_)
        return Clock::now(); // not read yet: at once
    const auto rescan = *scanned_ + kRescan;
    return earliest_ ? std::min(*earliest_, rescan) : rescan;
}

} // namespace tamso::node
