#include "node/dosereport.h"

#include "dicom/dcmtksetup.h"
#include "dicom/dicomtext.h"
#include "engine/calculationstate.h"
#include "node/dosereportdetail.h"
#include "textio/fileio.h"
#include "textio/numberformat.h"

#include <dcmtk/config/osconfig.h>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/ofstd/ofuuid.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <iterator>
#include <mutex>
#include <random>
#include <vector>

// The report's input: the values of a run as text, what an image header gives, the label, the UIDs, this
// installation's UID and the copy beside the records.

namespace tamso::node {

using detail::validTime;

namespace {

// The values of ExposureDose by their names in the text; optional ones may be left out.
struct DoseField {
    const char* name;
    double ExposureDose::*value = nullptr;
    std::optional<double> ExposureDose::*optional = nullptr;
};
const DoseField kDoseFields[] = {
    {"kvp", &ExposureDose::kvp},
    {"uas", &ExposureDose::exposureUAs},
    {"ma", nullptr, &ExposureDose::tubeCurrentMa},
    {"ms", nullptr, &ExposureDose::exposureTimeMs},
    {"sid", &ExposureDose::sourceToDetectorMm},
    {"ssd", &ExposureDose::sourceToSkinMm},
    {"al", &ExposureDose::aluminiumMm},
    {"cu", &ExposureDose::copperMm},
    {"inh", nullptr, &ExposureDose::inherentAluminiumMm},
    {"long", &ExposureDose::fieldLongMm},
    {"short", &ExposureDose::fieldShortMm},
    {"kerma", &ExposureDose::incidentAirKermaMGy},
    {"primary", &ExposureDose::primaryAirKermaMGy},
    {"esd", &ExposureDose::entranceSurfaceDoseMGy},
    {"u", nullptr, &ExposureDose::expandedUncertaintyMGy},
    {"bsf", nullptr, &ExposureDose::backscatterFactor},
    {"hvl", nullptr, &ExposureDose::halfValueLayerMmAl},
    {"e", nullptr, &ExposureDose::effectiveDoseUSv},
    {"eu", nullptr, &ExposureDose::effectiveDoseUUSv},
    {"kg", nullptr, &ExposureDose::weightKg},
    {"assumedkg", nullptr, &ExposureDose::assumedWeightKg},
};

} // namespace

std::string exposureDoseText(const ExposureDose& dose) {
    std::string text;
    for (const DoseField& f : kDoseFields) {
        const std::optional<double> value = f.value ? std::optional<double>(dose.*f.value) : dose.*f.optional;
        if (!value)
            continue;
        std::array<char, 40> digits{};
        auto [end, ec] =
            std::to_chars(digits.data(), digits.data() + digits.size(), *value); // shortest exact
        text += (text.empty() ? "" : ";") + std::string(f.name) + "=" +
                (ec == std::errc() ? std::string(digits.data(), end) : std::string("nan"));
    }
    return text;
}

std::optional<ExposureDose> exposureDoseFromText(const std::string& text) {
    ExposureDose dose;
    std::vector<bool> seen(std::size(kDoseFields), false);
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find(';', start), text.size());
        const std::string part = text.substr(start, end - start);
        start = end + 1;
        const std::size_t equals = part.find('=');
        if (equals == std::string::npos)
            return std::nullopt;
        const std::string name = part.substr(0, equals);
        double value = 0;
        const char* first = part.data() + equals + 1;
        const char* last = part.data() + part.size();
        auto [stop, ec] = std::from_chars(first, last, value);
        if (ec != std::errc() || stop != last || !std::isfinite(value))
            return std::nullopt;
        const auto* field = std::find_if(std::begin(kDoseFields), std::end(kDoseFields),
                                         [&](const DoseField& f) { return name == f.name; });
        if (field == std::end(kDoseFields))
            return std::nullopt;
        seen[static_cast<std::size_t>(field - std::begin(kDoseFields))] = true;
        if (field->value)
            dose.*field->value = value;
        else
            dose.*field->optional = value;
    }
    for (std::size_t i = 0; i < std::size(kDoseFields); ++i)
        if (kDoseFields[i].value && !seen[i])
            return std::nullopt;
    return dose;
}


namespace {

std::string headerString(DcmItem& item, const DcmTagKey& key) {
    OFString value;
    if (item.findAndGetOFStringArray(key, value).bad())
        return "";
    return dicom::trimValue(std::string_view(value.c_str(), value.length()));
}

std::optional<double> headerNumber(DcmItem& item, std::initializer_list<DcmTagKey> keys) {
    for (const DcmTagKey& key : keys) {
        const std::string text = headerString(item, key);
        double value = 0;
        const char* first = text.data();
        if (!text.empty() && *first == '+')
            ++first;
        auto [end, ec] = std::from_chars(first, text.data() + text.size(), value);
        if (!text.empty() && ec == std::errc() && std::isfinite(value) && value > 0)
            return value;
    }
    return std::nullopt;
}

} // namespace

Expected<DoseReportInput> reportInputFromImage(const fs::path& imageFile) {
    if (Status s = dicom::detail::prepareDcmtk(); !s.ok())
        return s.error();
    DcmFileFormat file;
#if defined(_WIN32) && defined(WIDE_CHAR_FILE_IO_FUNCTIONS)
    const OFFilename name(imageFile.wstring().c_str());
#else
    const OFFilename name(imageFile.string().c_str());
#endif
    if (OFCondition c =
            file.loadFileUntilTag(name, EXS_Unknown, EGL_noChange, 4096, ERM_autoDetect, DCM_PixelData);
        c.bad())
        return Error(ErrorCode::ImageUnreadable, {textio::fileNameUtf8(imageFile), c.text()});
    DcmDataset& d = *file.getDataset();
    DoseReportInput in;
    in.patientCharacterSet = headerString(d, DCM_SpecificCharacterSet);
    in.patientId = headerString(d, DCM_PatientID);
    in.patientName = headerString(d, DCM_PatientName);
    in.patientBirthDate = headerString(d, DCM_PatientBirthDate);
    in.patientSex = headerString(d, DCM_PatientSex);
    in.patientAge = headerString(d, DCM_PatientAge);
    in.patientWeightKg = headerString(d, DCM_PatientWeight);
    const std::string events = headerString(d, DCM_IrradiationEventUID);
    in.irradiationEventUid = dicom::trimValue(events.substr(0, events.find('\\')));
    in.studyInstanceUid = headerString(d, DCM_StudyInstanceUID);
    in.studyDate = headerString(d, DCM_StudyDate);
    in.studyTime = headerString(d, DCM_StudyTime);
    in.studyId = headerString(d, DCM_StudyID);
    in.accessionNumber = headerString(d, DCM_AccessionNumber);
    in.imageSopClassUid = headerString(d, DCM_SOPClassUID);
    in.imageSopInstanceUid = headerString(d, DCM_SOPInstanceUID);
    in.imageSeriesInstanceUid = headerString(d, DCM_SeriesInstanceUID);
    // The exposure's date and time, from the first attribute pair that has a date.
    const std::string acquisition = headerString(d, DCM_AcquisitionDateTime);
    const std::pair<std::string, std::string> moments[] = {
        {headerString(d, DCM_AcquisitionDate), headerString(d, DCM_AcquisitionTime)},
        {acquisition.substr(0, 8), acquisition.size() > 8
                                       ? acquisition.substr(8, acquisition.find_first_of("+-", 8) - 8)
                                       : std::string()},
        {headerString(d, DCM_ContentDate), headerString(d, DCM_ContentTime)},
        {headerString(d, DCM_SeriesDate), headerString(d, DCM_SeriesTime)},
        {in.studyDate, in.studyTime}};
    for (const auto& [date, time] : moments)
        if (!date.empty()) {
            in.exposureDate = date;
            in.exposureTime = validTime(time) ? time : "";
            break;
        }
    auto utf8 = [&](const DcmTagKey& key) {
        auto text = dicom::toUtf8(headerString(d, key), in.patientCharacterSet);
        return text.ok() ? *text : std::string();
    };
    in.operatorName = utf8(DCM_OperatorsName);
    in.xrayUnit.name = utf8(DCM_StationName);
    in.xrayUnit.manufacturer = utf8(DCM_Manufacturer);
    in.xrayUnit.modelName = utf8(DCM_ManufacturerModelName);
    in.xrayUnit.serialNumber = utf8(DCM_DeviceSerialNumber);
    in.xrayUnit.uid = headerString(d, DCM_DeviceUID);
    in.device = in.imageSopClassUid == UID_ComputedRadiographyImageStorage ? AcquisitionDevice::CassetteBased
                                                                           : AcquisitionDevice::Integrated;
    in.source = DoseSource::ComputedFromImageAttributes;
    in.dose.tubeCurrentMa = headerNumber(d, {DCM_XRayTubeCurrentInmA, DCM_XRayTubeCurrent});
    in.dose.exposureTimeMs = headerNumber(d, {DCM_ExposureTimeInms, DCM_ExposureTime});
    return in;
}

std::string reportLabel(const DoseReportInput& in) {
    std::string name = in.patientName;
    if (auto utf8 = dicom::toUtf8(in.patientName, in.patientCharacterSet); utf8.ok())
        name = dicom::personNameForDisplay(*utf8);
    std::string date = in.exposureDate;
    if (date.size() == 8)
        date = date.substr(0, 4) + "/" + date.substr(4, 2) + "/" + date.substr(6, 2);
    std::string label = dicom::trimValue(in.patientId);
    for (const std::string& part : {name, date})
        if (!part.empty())
            label += " " + part;
    return label + " " + textio::formatNumber(in.dose.entranceSurfaceDoseMGy, "#0.000") + " mGy";
}

Expected<std::string> recorderUid(const fs::path& nodeFolder) {
    const fs::path file = nodeFolder / "device-uid.txt";
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (textio::canOpenForReading(file)) {
            auto text = textio::readTextFile(file);
            if (!text.ok())
                return text.error();
            const std::string uid = dicom::trimValue(
                textio::splitLines(*text).empty() ? std::string() : textio::splitLines(*text).front());
            if (uid.empty() || uid.size() > 64 || !std::all_of(uid.begin(), uid.end(), [](char c) {
                    return (c >= '0' && c <= '9') || c == '.';
                }))
                return Error(ErrorCode::DeviceUidFileBad, {textio::fileNameUtf8(file)});
            return uid;
        }
        std::error_code ec;
        fs::create_directories(nodeFolder, ec);
        auto created = textio::createFileAtomic(file, newUuidUid() + "\r\n");
        if (!created.ok())
            return created.error();
    }
    return Error(ErrorCode::DeviceUidFileUnreadable, {textio::fileNameUtf8(file)});
}

Expected<fs::path> writeReportBesideRecords(const fs::path& workFolder, const DoseReport& report,
                                            const std::string& patientId, const std::string& exposureDate) {
    // The ID as a folder name: the characters that no file system takes become "_".
    std::string folderName = dicom::trimValue(patientId);
    for (char& c : folderName)
        if (std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos ||
            static_cast<unsigned char>(c) < 0x20)
            c = '_';
    if (folderName.empty() || folderName == "." || folderName == "..")
        return Error(ErrorCode::ReportFolderIdUnusable, {patientId});
    const fs::path folder =
        textio::fileInFolder(textio::fileInFolder(workFolder, "線量レポート"), folderName);
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec)
        return Error(ErrorCode::ReportFolderCannotMake,
                     {textio::fileNameUtf8(folder), textio::fileErrorReason(ec.value())});
    const fs::path file = textio::fileInFolder(folder, exposureDate + "_" + report.sopInstanceUid + ".dcm");
    auto created = textio::createFileAtomic(file, report.fileBytes);
    if (!created.ok())
        return created.error();
    return file;
}


// A UUID under the root 2.25 made from a text (version 8, custom): two 64-bit FNV-1a hashes with
// different offsets make its 128 bits. The same text gives the same UID.
std::string uidFromText(const std::string& key) {
    auto fnv = [&key](std::uint64_t hash) {
        for (unsigned char c : key) {
            hash ^= c;
            hash *= 0x100000001b3ULL;
        }
        return hash;
    };
    const std::uint64_t high = fnv(0xcbf29ce484222325ULL);
    const std::uint64_t low = fnv(0x84222325cbf29ce4ULL);
    OFUUID::BinaryRepresentation bytes{};
    for (int i = 0; i < 8; ++i) {
        bytes.value[i] = static_cast<Uint8>(high >> (56 - 8 * i));
        bytes.value[8 + i] = static_cast<Uint8>(low >> (56 - 8 * i));
    }
    bytes.value[6] = static_cast<Uint8>((bytes.value[6] & 0x0F) | 0x80); // version 8: custom
    bytes.value[8] = static_cast<Uint8>((bytes.value[8] & 0x3F) | 0x80); // RFC 4122 variant
    OFString uid;
    OFUUID(bytes).toString(uid, OFUUID::ER_RepresentationOID);
    return uid.c_str();
}

std::string newUuidUid() {
    static std::mutex guard;
    static std::random_device device;
    OFUUID::BinaryRepresentation bytes{};
    {
        std::lock_guard<std::mutex> lock(guard);
        for (int i = 0; i < 16; i += 4) {
            const std::uint32_t r = device();
            for (int j = 0; j < 4; ++j)
                bytes.value[i + j] = static_cast<Uint8>(r >> (8 * j));
        }
    }
    bytes.value[6] = static_cast<Uint8>((bytes.value[6] & 0x0F) | 0x40); // version 4: random
    bytes.value[8] = static_cast<Uint8>((bytes.value[8] & 0x3F) | 0x80); // RFC 4122 variant
    OFString uid;
    OFUUID(bytes).toString(uid, OFUUID::ER_RepresentationOID);
    return uid.c_str();
}

std::string eventUidOfImage(const std::string& imageSopInstanceUid) {
    return uidFromText("Irradiation event of the image\x1f" + dicom::trimValue(imageSopInstanceUid));
}

std::string reportUidOfImage(const std::string& recorderUid, const std::string& imageSopInstanceUid) {
    return uidFromText("X-Ray Radiation Dose report\x1f" + recorderUid + '\x1f' +
                        dicom::trimValue(imageSopInstanceUid));
}

ExposureDose doseReportValues(const engine::CalculationState& s) {
    ExposureDose d;
    d.kvp = s.tubeVoltageKv;
    d.exposureUAs = s.mAs * 1000;
    d.sourceToDetectorMm = s.ffdCm * 10;
    d.sourceToSkinMm = s.focusSkinDistanceCm * 10;
    d.aluminiumMm = (s.inherentFilterAlCm + s.addedFilterAlCm) * 10;
    d.inherentAluminiumMm = s.inherentFilterAlCm * 10;
    d.copperMm = s.addedFilterCuCm * 10;
    d.fieldLongMm = std::max(s.fieldLongCm, s.fieldShortCm) * 10;
    d.fieldShortMm = std::min(s.fieldLongCm, s.fieldShortCm) * 10;
    // Air kerma = exposure x W/e (Gy per C/kg), carried from 1 m to the skin by the inverse square.
    const double toSkin =
        s.focusSkinDistanceCm > 0 ? 10000 / (s.focusSkinDistanceCm * s.focusSkinDistanceCm) : 0;
    d.primaryAirKermaMGy = 1000 * s.wAirEv * s.exposureAt1mCkg * toSkin;
    d.incidentAirKermaMGy = d.primaryAirKermaMGy * (1 + s.hoodScatterToPrimary);
    d.entranceSurfaceDoseMGy = s.entranceSurfaceDoseMGy;
    if (s.entranceSurfaceDoseUncertaintyMGy > 0)
        d.expandedUncertaintyMGy = s.entranceSurfaceDoseUncertaintyMGy;
    if (s.backscatterFactor > 0)
        d.backscatterFactor = s.backscatterFactor;
    if (s.hvl1Cm > 0)
        d.halfValueLayerMmAl = s.hvl1Cm * 10;
    return d;
}

} // namespace tamso::node
