#include "dicom/imageexposure.h"

#include "dicom/dcmtksetup.h"
#include "dicom/dicomtext.h"
#include "textio/fileio.h"
#include "textio/numbertext.h"

#include <dcmtk/config/osconfig.h>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcmetinf.h>
#include <dcmtk/dcmdata/dcsequen.h>
#include <dcmtk/dcmdata/dcuid.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <functional>

namespace tamso::dicom {

namespace {

// Values longer than this are left in the file (read only when asked for); no value the program
// reads comes near it, and large private blocks before the pixel data cost no time.
constexpr Uint32 kMaxReadLength = 4096;

OFFilename dcmtkFileName(const fs::path& file) {
#if defined(_WIN32) && defined(WIDE_CHAR_FILE_IO_FUNCTIONS)
    return OFFilename(file.wstring().c_str());
#else
    return OFFilename(file.string().c_str());
#endif
}

std::string fileLabel(const fs::path& file) {
    return textio::fileNameUtf8(file);
}

// Whether the file has the "DICM" mark of the DICOM file format after its 128-byte preamble.
bool hasDicomMark(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    char head[132] = {};
    return in.read(head, sizeof head) && std::string_view(head + 128, 4) == "DICM";
}

// The whole value (every value, with its backslashes), blanks at the ends removed; nothing when the
// attribute is absent or empty.
std::optional<std::string> rawValue(DcmItem& item, const DcmTagKey& key) {
    OFString value;
    if (item.findAndGetOFStringArray(key, value).bad())
        return std::nullopt;
    std::string trimmed = trimValue(std::string_view(value.c_str(), value.length()));
    if (trimmed.empty())
        return std::nullopt;
    return trimmed;
}

// One numeric attribute: a string (DS, IS) whose first value is the number, or a binary double (FD).
struct NumberAttribute {
    DcmTagKey key;
    const char* name; // "ExposureInuAs (0018,1153)"
    bool binary;      // FD
};

// The attribute's value when it is present and above 0. A present value that is no number or not
// above 0 is described in problems and gives nothing.
std::optional<double> positiveNumber(DcmItem& item, const NumberAttribute& attribute,
                                     std::vector<std::string>& problems) {
    if (attribute.binary) {
        Float64 value = 0;
        if (item.findAndGetFloat64(attribute.key, value).bad())
            return std::nullopt;
        if (std::isfinite(value) && value > 0)
            return value;
        problems.push_back(std::string(attribute.name) + " の値 " + textio::numberToText(value) +
                           " は使えません");
        return std::nullopt;
    }
    const auto raw = rawValue(item, attribute.key);
    if (!raw)
        return std::nullopt;
    const std::string first = trimValue(std::string_view(*raw).substr(0, raw->find('\\')));
    const auto value = textio::parseNumber(first);
    if (value && *value > 0)
        return *value;
    problems.push_back(std::string(attribute.name) + " の値 '" + first + "' は使えません");
    return std::nullopt;
}

struct FoundNumber {
    double value;
    const char* name;
};

// The first of the attributes that holds a usable number.
std::optional<FoundNumber> firstPositive(DcmItem& item, std::initializer_list<NumberAttribute> attributes,
                                         std::vector<std::string>& problems) {
    for (const NumberAttribute& attribute : attributes)
        if (auto value = positiveNumber(item, attribute, problems))
            return FoundNumber{*value, attribute.name};
    return std::nullopt;
}

std::string joined(const std::vector<std::string>& parts, const char* separator) {
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : separator) + part;
    return text;
}

// The problem of a missing value: what was wrong with the values present, else what is absent.
std::string missingProblem(const std::vector<std::string>& problems, const std::string& absent) {
    return problems.empty() ? absent + " がありません" : joined(problems, "、");
}

Sourced<double> readTubeVoltage(DcmItem& item) {
    Sourced<double> kv;
    std::vector<std::string> problems;
    if (auto found = firstPositive(item, {{DCM_KVP, "KVP (0018,0060)", false}}, problems)) {
        kv.value = found->value;
        kv.source = found->name;
    } else {
        kv.problem = missingProblem(problems, "KVP (0018,0060)");
    }
    return kv;
}

Sourced<double> readMAs(DcmItem& item) {
    Sourced<double> mAs;
    std::vector<std::string> problems;
    if (auto uAs = firstPositive(item, {{DCM_ExposureInuAs, "ExposureInuAs (0018,1153)", false}}, problems)) {
        mAs.value = uAs->value / 1000;
        mAs.source = uAs->name;
        return mAs;
    }
    if (auto found =
            firstPositive(item, {{DCM_ExposureInmAs, "ExposureInmAs (0018,9332)", true}}, problems)) {
        mAs.value = found->value;
        mAs.source = found->name;
        return mAs;
    }
    const auto current = firstPositive(item,
                                       {{DCM_XRayTubeCurrentInmA, "XRayTubeCurrentInmA (0018,9330)", true},
                                        {DCM_XRayTubeCurrent, "XRayTubeCurrent (0018,1151)", false}},
                                       problems);
    const auto time = firstPositive(item,
                                    {{DCM_ExposureTimeInms, "ExposureTimeInms (0018,9328)", true},
                                     {DCM_ExposureTime, "ExposureTime (0018,1150)", false}},
                                    problems);
    std::optional<double> product;
    std::string productSource;
    if (current && time) {
        product = current->value * time->value / 1000;
        productSource = std::string(current->name) + " x " + time->name;
    }
    const auto whole = firstPositive(item, {{DCM_Exposure, "Exposure (0018,1152)", false}}, problems);
    if (whole && !(product && std::fabs(*product - whole->value) < 1)) {
        mAs.value = whole->value;
        mAs.source = whole->name;
    } else if (product) {
        mAs.value = product;
        mAs.source = productSource;
    } else {
        mAs.problem = missingProblem(problems, "ExposureInuAs (0018,1153)、Exposure (0018,1152)、"
                                               "XRayTubeCurrent (0018,1151) と ExposureTime (0018,1150)");
    }
    return mAs;
}

Sourced<double> readFfd(DcmItem& item) {
    Sourced<double> ffd;
    std::vector<std::string> problems;
    if (auto found = firstPositive(
            item, {{DCM_DistanceSourceToDetector, "DistanceSourceToDetector (0018,1110)", false}},
            problems)) {
        ffd.value = found->value / 10;
        ffd.source = found->name;
    } else {
        ffd.problem = missingProblem(problems, "DistanceSourceToDetector (0018,1110)");
    }
    return ffd;
}

bool isDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "YYYYMMDD", or "YYYY.MM.DD" as older headers write it; a real calendar date from 1900 on.
std::optional<CalendarDate> parseDate(std::string_view text) {
    std::string digits;
    if (text.size() == 10 && text[4] == '.' && text[7] == '.')
        digits =
            std::string(text.substr(0, 4)) + std::string(text.substr(5, 2)) + std::string(text.substr(8, 2));
    else
        digits = std::string(text);
    if (digits.size() != 8 || !isDigits(digits))
        return std::nullopt;
    CalendarDate d{std::stoi(digits.substr(0, 4)), std::stoi(digits.substr(4, 2)),
                   std::stoi(digits.substr(6, 2))};
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (d.year < 1900 || d.month < 1 || d.month > 12 || d.day < 1)
        return std::nullopt;
    const bool leap = (d.year % 4 == 0 && d.year % 100 != 0) || d.year % 400 == 0;
    const int days = kDays[d.month - 1] + (d.month == 2 && leap ? 1 : 0);
    if (d.day > days)
        return std::nullopt;
    return d;
}

Sourced<CalendarDate> readExamDate(DcmItem& item) {
    struct DateAttribute {
        DcmTagKey key;
        const char* name;
        bool dateTime;
    };
    const DateAttribute attributes[] = {{DCM_AcquisitionDate, "AcquisitionDate (0008,0022)", false},
                                        {DCM_AcquisitionDateTime, "AcquisitionDateTime (0008,002A)", true},
                                        {DCM_ContentDate, "ContentDate (0008,0023)", false},
                                        {DCM_SeriesDate, "SeriesDate (0008,0021)", false},
                                        {DCM_StudyDate, "StudyDate (0008,0020)", false}};
    Sourced<CalendarDate> date;
    std::vector<std::string> problems;
    for (const DateAttribute& attribute : attributes) {
        const auto raw = rawValue(item, attribute.key);
        if (!raw)
            continue;
        const std::string_view text =
            attribute.dateTime ? std::string_view(*raw).substr(0, 8) : std::string_view(*raw);
        if (auto parsed = parseDate(text)) {
            date.value = parsed;
            date.source = attribute.name;
            return date;
        }
        problems.push_back(std::string(attribute.name) + " の値 '" + *raw + "' は日付として読めません");
    }
    date.problem = missingProblem(
        problems, "AcquisitionDate (0008,0022)、ContentDate (0008,0023)、StudyDate (0008,0020)");
    return date;
}

// A string attribute in UTF-8; empty when absent, with the conversion's message in problem when the
// text cannot be converted.
Sourced<std::string> readText(DcmItem& item, const DcmTagKey& key, const char* name,
                              const std::string& characterSet) {
    Sourced<std::string> text;
    const auto raw = rawValue(item, key);
    if (!raw) {
        text.problem = std::string(name) + " がありません";
        return text;
    }
    auto converted = toUtf8(*raw, characterSet);
    if (!converted.ok()) {
        text.problem = std::string(name) + " の" + converted.error().message;
        return text;
    }
    text.value = trimValue(*converted);
    text.source = name;
    return text;
}

Sourced<FieldSizeCm> readCollimatedField(DcmItem& item) {
    Sourced<FieldSizeCm> field;
    const auto shape = rawValue(item, DCM_CollimatorShape);
    if (!shape) {
        field.problem = "CollimatorShape (0018,1700) がありません";
        return field;
    }
    if (shape->find("RECTANGULAR") == std::string::npos) {
        field.problem = "CollimatorShape (0018,1700) が RECTANGULAR ではありません（" + *shape + "）";
        return field;
    }
    struct Edge {
        DcmTagKey key;
        const char* name;
    };
    const Edge edges[] = {{DCM_CollimatorLeftVerticalEdge, "CollimatorLeftVerticalEdge (0018,1702)"},
                          {DCM_CollimatorRightVerticalEdge, "CollimatorRightVerticalEdge (0018,1704)"},
                          {DCM_CollimatorUpperHorizontalEdge, "CollimatorUpperHorizontalEdge (0018,1706)"},
                          {DCM_CollimatorLowerHorizontalEdge, "CollimatorLowerHorizontalEdge (0018,1708)"}};
    double at[4] = {};
    for (int k = 0; k < 4; ++k) {
        const auto raw = rawValue(item, edges[k].key);
        const auto value = raw ? textio::parseNumber(*raw) : std::nullopt;
        if (!value) {
            field.problem =
                std::string(edges[k].name) + (raw ? " の値 '" + *raw + "' は使えません" : " がありません");
            return field;
        }
        at[k] = *value;
    }
    const auto spacing = rawValue(item, DCM_ImagerPixelSpacing);
    const size_t split = spacing ? spacing->find('\\') : std::string::npos;
    const auto rowSpacing =
        split != std::string::npos ? textio::parseNumber(spacing->substr(0, split)) : std::nullopt;
    const auto columnSpacing =
        split != std::string::npos ? textio::parseNumber(spacing->substr(split + 1)) : std::nullopt;
    if (!rowSpacing || !columnSpacing || !(*rowSpacing > 0) || !(*columnSpacing > 0)) {
        field.problem = spacing ? "ImagerPixelSpacing (0018,1164) の値 '" + *spacing + "' は使えません"
                                : "ImagerPixelSpacing (0018,1164) がありません";
        return field;
    }
    const double widthMm = (at[1] - at[0]) * *columnSpacing;
    const double heightMm = (at[3] - at[2]) * *rowSpacing;
    if (!(widthMm > 0) || !(heightMm > 0)) {
        field.problem = "照射野の縁 (0018,1702〜1708) が幅を持ちません";
        return field;
    }
    auto tenthCm = [](double mm) { return std::round(mm) / 10; };
    field.value = FieldSizeCm{tenthCm(std::max(widthMm, heightMm)), tenthCm(std::min(widthMm, heightMm))};
    field.source = "Collimator (0018,1700-1708) x ImagerPixelSpacing (0018,1164)";
    return field;
}

ImageExposure readExposure(DcmDataset& data, const std::string& sopClassUid, const std::string& modality) {
    ImageExposure e;
    e.modality = modality;
    e.sopClassUid = sopClassUid;
    const std::string characterSet = [&] {
        OFString value;
        if (data.findAndGetOFStringArray(DCM_SpecificCharacterSet, value).bad())
            return std::string();
        return std::string(value.c_str(), value.length());
    }();

    e.tubeVoltageKv = readTubeVoltage(data);
    e.mAs = readMAs(data);
    e.ffdCm = readFfd(data);
    e.examDate = readExamDate(data);
    e.patientId = readText(data, DCM_PatientID, "PatientID (0010,0020)", characterSet);
    e.patientName = readText(data, DCM_PatientName, "PatientName (0010,0010)", characterSet);
    if (e.patientName.has()) {
        e.patientNameGroups = personNameGroups(*e.patientName.value);
        *e.patientName.value = personNameForDisplay(*e.patientName.value);
        if (e.patientName.value->empty()) {
            e.patientName.value.reset();
            e.patientName.problem = "PatientName (0010,0010) がありません";
        }
    }
    if (e.patientId.has() && e.patientId.value->empty()) {
        e.patientId.value.reset();
        e.patientId.problem = "PatientID (0010,0020) がありません";
    }
    e.fieldSize = readCollimatedField(data);

    std::vector<std::string> problems;
    auto bodyText = [&](const DcmTagKey& key, const char* name) {
        Sourced<std::string> text = readText(data, key, name, characterSet);
        if (!text.has() && text.problem.find("がありません") == std::string::npos)
            problems.push_back(text.problem);
        return text.value.value_or(std::string());
    };
    e.bodyPartTexts.bodyPartExamined = bodyText(DCM_BodyPartExamined, "BodyPartExamined (0018,0015)");
    e.bodyPartTexts.viewPosition = bodyText(DCM_ViewPosition, "ViewPosition (0018,5101)");
    e.bodyPartTexts.protocolName = bodyText(DCM_ProtocolName, "ProtocolName (0018,1030)");
    e.bodyPartTexts.seriesDescription = bodyText(DCM_SeriesDescription, "SeriesDescription (0008,103E)");
    e.bodyPartProblem = joined(problems, "、");
    return e;
}

bool isDirectory(DcmFileFormat& file) {
    OFString storageClass;
    file.getMetaInfo()->findAndGetOFString(DCM_MediaStorageSOPClassUID, storageClass);
    return storageClass == UID_MediaStorageDirectoryStorage ||
           file.getDataset()->tagExists(DCM_DirectoryRecordSequence);
}

} // namespace

bool isRadiograph(const std::string& modality, const std::string& sopClassUid) {
    if (!modality.empty())
        return modality == "CR" || modality == "DX";
    return sopClassUid == UID_ComputedRadiographyImageStorage ||
           sopClassUid == UID_DigitalXRayImageStorageForPresentation ||
           sopClassUid == UID_DigitalXRayImageStorageForProcessing;
}

HeaderReading readHeader(const fs::path& file) {
    HeaderReading reading;
    const std::string name = fileLabel(file);
    if (auto ready = detail::prepareDcmtk(); !ready.ok()) {
        reading.message = ready.message();
        return reading;
    }
    std::error_code ec;
    if (!fs::is_regular_file(file, ec) || !textio::canOpenForReading(file)) {
        reading.message = name + " を開けません。";
        return reading;
    }
    const bool marked = hasDicomMark(file);
    DcmFileFormat dicom;
    const OFCondition loaded = dicom.loadFileUntilTag(dcmtkFileName(file), EXS_Unknown, EGL_noChange,
                                                      kMaxReadLength, ERM_autoDetect, DCM_PixelData);
    DcmDataset& data = *dicom.getDataset();
    OFString sopClass;
    if (data.findAndGetOFString(DCM_SOPClassUID, sopClass).bad() || sopClass.empty())
        dicom.getMetaInfo()->findAndGetOFString(DCM_MediaStorageSOPClassUID, sopClass);
    const std::string modality = rawValue(data, DCM_Modality).value_or(std::string());
    const bool identified = !sopClass.empty() || !modality.empty() || isDirectory(dicom);
    if (loaded.bad() || !identified) {
        if (marked) {
            reading.kind = FileKind::Unreadable;
            reading.message = name + " は DICOM ファイルとして読めません（" + loaded.text() + "）。";
        } else {
            reading.kind = FileKind::NotDicom;
            reading.message = name + " は DICOM ファイルではありません。";
        }
        return reading;
    }
    if (isDirectory(dicom)) {
        reading.kind = FileKind::DicomDir;
        reading.message = name + " は DICOMDIR（画像の一覧）です。";
        return reading;
    }
    const std::string sopClassUid(sopClass.c_str());
    reading.exposure.modality = modality;
    reading.exposure.sopClassUid = sopClassUid;
    if (!isRadiograph(modality, sopClassUid)) {
        reading.kind = FileKind::NotRadiograph;
        reading.message = name + " は一般撮影（CR・DX）の画像ではありません（Modality: " +
                          (modality.empty() ? std::string("なし") : modality) + "）。";
        return reading;
    }
    reading.kind = FileKind::Radiograph;
    reading.exposure = readExposure(data, sopClassUid, modality);
    return reading;
}

Expected<ImageExposure> readImageExposure(const fs::path& file) {
    HeaderReading reading = readHeader(file);
    if (reading.kind != FileKind::Radiograph)
        return Error{reading.message};
    return std::move(reading.exposure);
}

namespace {

bool sameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

fs::path resolveFileId(const fs::path& folder, const std::vector<std::string>& components) {
    fs::path path = folder;
    for (const std::string& component : components) {
        fs::path exact = path / fs::u8path(component);
        std::error_code ec;
        if (!fs::exists(exact, ec)) {
            for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec)) {
                if (sameIgnoringCase(textio::fileNameUtf8(it->path()), component)) {
                    exact = it->path();
                    break;
                }
            }
        }
        path = exact;
    }
    return path;
}

} // namespace

Expected<std::vector<fs::path>> dicomDirImages(const fs::path& dicomDir) {
    const std::string name = fileLabel(dicomDir);
    if (auto ready = detail::prepareDcmtk(); !ready.ok())
        return ready.error();
    std::error_code ec;
    if (!fs::is_regular_file(dicomDir, ec) || !textio::canOpenForReading(dicomDir))
        return Error{name + " を開けません。"};
    DcmFileFormat dicom;
    const OFCondition loaded =
        dicom.loadFile(dcmtkFileName(dicomDir), EXS_Unknown, EGL_noChange, DCM_MaxReadLength, ERM_autoDetect);
    if (loaded.bad())
        return Error{name + " は DICOM ファイルとして読めません（" + loaded.text() + "）。"};
    if (!isDirectory(dicom))
        return Error{name + " は DICOMDIR ではありません。"};
    std::vector<fs::path> images;
    DcmSequenceOfItems* records = nullptr;
    if (dicom.getDataset()->findAndGetSequence(DCM_DirectoryRecordSequence, records).bad() || !records)
        return images;
    const fs::path folder = dicomDir.parent_path();
    for (unsigned long k = 0; k < records->card(); ++k) {
        DcmItem* record = records->getItem(k);
        if (rawValue(*record, DCM_DirectoryRecordType).value_or(std::string()) != "IMAGE")
            continue;
        Uint16 inUse = 0xFFFF;
        if (record->findAndGetUint16(DCM_RecordInUseFlag, inUse).good() && inUse == 0)
            continue;
        const auto fileId = rawValue(*record, DCM_ReferencedFileID);
        if (!fileId)
            continue;
        std::vector<std::string> components;
        size_t start = 0;
        while (true) {
            const size_t end = fileId->find('\\', start);
            components.push_back(trimValue(std::string_view(*fileId).substr(start, end - start)));
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
        images.push_back(resolveFileId(folder, components));
    }
    return images;
}

} // namespace tamso::dicom
