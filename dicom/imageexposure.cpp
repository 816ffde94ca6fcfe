#include "dicom/imageexposure.h"

#include "engine/organdose.h"

#include "dicom/dcmtksetup.h"
#include "dicom/dicomtext.h"
#include "dicom/headerscan.h"
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
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <map>
#include <set>

namespace tamso::dicom {

namespace {

using detail::dcmtkFileName;

// Values longer than this are left in the file (read only when asked for); no value the program
// reads comes near it, and large private blocks before the pixel data cost no time.
constexpr Uint32 kMaxReadLength = 4096;

std::string fileLabel(const fs::path& file) {
    return textio::fileNameUtf8(file);
}

// A number as a message shows it: six significant digits (60, 1.6, 1e+08).
std::string shortNumber(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

// A value outside its range as a message shows it: six significant digits (1e+08), or where they
// would read as a value inside the range (1000.001 as 1000 beside a limit of 1000) every digit, to
// 15 significant ones, so that the message reads as the reason it is.
std::string outsideRangeNumber(double value, double low, double high, bool highExcluded) {
    const std::string shown = shortNumber(value);
    const double read = std::strtod(shown.c_str(), nullptr);
    const bool readsInside = read >= low && (highExcluded ? read < high : read <= high);
    return readsInside && std::fabs(value) < 1e15 ? textio::numberToText(value) : shown;
}

// The element of the key when it is present and its value was loaded: a value longer than
// kMaxReadLength stays in the file (DCMTK loads it on the first access); no attribute read here
// comes near that length, so such a value is described in `problem` instead of being loaded.
DcmElement* loadedElement(DcmItem& item, const DcmTagKey& key, const char* name, std::string* problem) {
    DcmElement* element = nullptr;
    if (item.findAndGetElement(key, element).bad() || !element)
        return nullptr;
    if (element->getLengthField() > kMaxReadLength) {
        if (problem)
            *problem = std::string(name) + " の値が長すぎます（" + std::to_string(element->getLengthField()) +
                       " バイト）";
        return nullptr;
    }
    return element;
}

// The whole value (every value, with its backslashes), blanks at the ends removed; nothing when the
// attribute is absent, empty or too long (then described in `problem`, where given).
std::optional<std::string> rawValue(DcmItem& item, const DcmTagKey& key, const char* name = "",
                                    std::string* problem = nullptr) {
    DcmElement* element = loadedElement(item, key, name, problem);
    OFString value;
    if (!element || element->getOFStringArray(value).bad())
        return std::nullopt;
    std::string trimmed = trimValue(std::string_view(value.c_str(), value.length()));
    if (trimmed.empty())
        return std::nullopt;
    return trimmed;
}

// One numeric attribute: a string (DS, IS) or a binary double (FD), in its own unit; divided by
// `per` it is in the unit of the quantity (1000 µAs per mAs, 10 mm per cm).
struct NumberAttribute {
    DcmTagKey key;
    const char* name; // "ExposureInuAs (0018,1153)"
    bool binary;      // FD
    double per = 1;
};

// What an attribute gave: nothing (absent or empty), a number above 0, a value that is no such
// number (the next attribute may serve), or several values (the quantity is refused: which one
// would be meant cannot be told).
struct AttributeNumber {
    enum class State { Absent, Usable, Unusable, SeveralValues } state = State::Absent;
    double value = 0; // in the quantity's unit
    const char* name = "";
    std::string problem;
};

AttributeNumber readNumber(DcmItem& item, const NumberAttribute& attribute) {
    AttributeNumber n;
    n.name = attribute.name;
    auto unusable = [&](const std::string& shown) {
        n.state = AttributeNumber::State::Unusable;
        n.problem = std::string(attribute.name) + " の値 " + shown + " は使えません";
        return n;
    };
    auto several = [&](const std::string& shown, unsigned long count) {
        n.state = AttributeNumber::State::SeveralValues;
        n.problem = std::string(attribute.name) + " に値が " + std::to_string(count) + " つあります（" +
                    shown + "）: どれの値か分からないため使いません";
        return n;
    };
    std::string tooLong;
    if (attribute.binary) {
        DcmElement* element = loadedElement(item, attribute.key, attribute.name, &tooLong);
        if (!tooLong.empty()) {
            n.state = AttributeNumber::State::Unusable;
            n.problem = tooLong;
            return n;
        }
        if (!element || element->getVM() == 0)
            return n;
        Float64 value = 0;
        if (element->getFloat64(value, 0).bad())
            return unusable("（読めません）");
        if (element->getVM() > 1) {
            std::string shown;
            for (unsigned long k = 0; k < element->getVM(); ++k) {
                Float64 v = 0;
                element->getFloat64(v, k);
                shown += (k ? "\\" : "") + shortNumber(v);
            }
            return several(shown, element->getVM());
        }
        if (!(std::isfinite(value) && value > 0))
            return unusable(shortNumber(value));
        n.state = AttributeNumber::State::Usable;
        n.value = value / attribute.per;
        return n;
    }
    const auto raw = rawValue(item, attribute.key, attribute.name, &tooLong);
    if (!tooLong.empty()) {
        n.state = AttributeNumber::State::Unusable;
        n.problem = tooLong;
        return n;
    }
    if (!raw)
        return n;
    if (raw->find('\\') != std::string::npos)
        return several("'" + *raw + "'",
                       static_cast<unsigned long>(std::count(raw->begin(), raw->end(), '\\') + 1));
    const auto value = textio::parseNumber(*raw);
    if (!value || !(*value > 0))
        return unusable("'" + *raw + "'");
    n.state = AttributeNumber::State::Usable;
    n.value = *value / attribute.per;
    return n;
}

// The first of the attributes that holds a usable number; where one holds several values the
// search stops there. The problems of the attributes passed over are collected.
AttributeNumber firstNumber(DcmItem& item, std::initializer_list<NumberAttribute> attributes,
                            std::vector<std::string>& problems) {
    for (const NumberAttribute& attribute : attributes) {
        AttributeNumber n = readNumber(item, attribute);
        if (n.state == AttributeNumber::State::Usable || n.state == AttributeNumber::State::SeveralValues)
            return n;
        if (n.state == AttributeNumber::State::Unusable)
            problems.push_back(n.problem);
    }
    return {};
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

// A quantity found in the header, kept where it lies in [low, high] (below high only where
// highExcluded); the problem names the range otherwise.
Sourced<double> withinRange(double value, const std::string& source, const char* unit, double low,
                            double high, bool highExcluded = false) {
    Sourced<double> quantity;
    if (value >= low && (highExcluded ? value < high : value <= high)) {
        quantity.value = value;
        quantity.source = source;
    } else {
        quantity.problem = source + " の " + outsideRangeNumber(value, low, high, highExcluded) + " " + unit +
                           " は使える範囲（" +
                           shortNumber(low) + " " + unit + " 以上 " + shortNumber(high) + " " + unit +
                           (highExcluded ? " 未満" : " 以下") + "）の外です";
    }
    return quantity;
}

// One quantity from the first usable of its attributes, checked against its range.
Sourced<double> readQuantity(DcmItem& item, std::initializer_list<NumberAttribute> attributes,
                             const char* unit, double low, double high, bool highExcluded,
                             const std::string& absent) {
    std::vector<std::string> problems;
    const AttributeNumber n = firstNumber(item, attributes, problems);
    if (n.state == AttributeNumber::State::Usable)
        return withinRange(n.value, n.name, unit, low, high, highExcluded);
    Sourced<double> quantity;
    quantity.problem =
        n.state == AttributeNumber::State::SeveralValues ? n.problem : missingProblem(problems, absent);
    return quantity;
}

Sourced<double> readTubeVoltage(DcmItem& item) {
    return readQuantity(item, {{DCM_KVP, "KVP (0018,0060)", false}}, "kV", kMinImageKv, kMaxImageKv, true,
                        "KVP (0018,0060)");
}

Sourced<double> readMAs(DcmItem& item) {
    auto inRange = [](double value, const std::string& source) {
        return withinRange(value, source, "mAs", kMinImageMAs, kMaxImageMAs);
    };
    auto refused = [](const std::string& problem) {
        Sourced<double> none;
        none.problem = problem;
        return none;
    };
    using State = AttributeNumber::State;
    std::vector<std::string> problems;
    const AttributeNumber fine = firstNumber(item,
                                             {{DCM_ExposureInuAs, "ExposureInuAs (0018,1153)", false, 1000},
                                              {DCM_ExposureInmAs, "ExposureInmAs (0018,9332)", true}},
                                             problems);
    if (fine.state == State::SeveralValues)
        return refused(fine.problem);
    if (fine.state == State::Usable)
        return inRange(fine.value, fine.name);

    const AttributeNumber current =
        firstNumber(item,
                    {{DCM_XRayTubeCurrentInuA, "XRayTubeCurrentInuA (0018,8151)", false, 1000},
                     {DCM_XRayTubeCurrentInmA, "XRayTubeCurrentInmA (0018,9330)", true},
                     {DCM_XRayTubeCurrent, "XRayTubeCurrent (0018,1151)", false}},
                    problems);
    const AttributeNumber time =
        firstNumber(item,
                    {{DCM_ExposureTimeInuS, "ExposureTimeInuS (0018,8150)", false, 1000},
                     {DCM_ExposureTimeInms, "ExposureTimeInms (0018,9328)", true},
                     {DCM_ExposureTime, "ExposureTime (0018,1150)", false}},
                    problems);
    for (const AttributeNumber* n : {&current, &time})
        if (n->state == State::SeveralValues)
            return refused(n->problem);
    std::optional<double> product;
    std::string productSource;
    if (current.state == State::Usable && time.state == State::Usable) {
        product = current.value * time.value / 1000;
        productSource = std::string(current.name) + " x " + time.name;
    }
    const AttributeNumber whole =
        firstNumber(item, {{DCM_Exposure, "Exposure (0018,1152)", false}}, problems);
    if (whole.state == State::SeveralValues)
        return refused(whole.problem);
    if (product && whole.state == State::Usable && !(std::fabs(*product - whole.value) <= 0.5))
        return refused(productSource + " の " + shortNumber(*product) + " mAs と Exposure (0018,1152) の " +
                       shortNumber(whole.value) + " mAs が合いません（整数の mAs に丸めて一致しません）");
    if (product)
        return inRange(*product, productSource);
    if (whole.state == State::Usable)
        return inRange(whole.value, whole.name);
    return refused(missingProblem(problems, "ExposureInuAs (0018,1153)、Exposure (0018,1152)、"
                                            "XRayTubeCurrent (0018,1151) と ExposureTime (0018,1150)"));
}

Sourced<double> readFfd(DcmItem& item) {
    return readQuantity(item,
                        {{DCM_DistanceSourceToDetector, "DistanceSourceToDetector (0018,1110)", false, 10}},
                        "cm", kMinImageFfdCm, kMaxImageFfdCm, false, "DistanceSourceToDetector (0018,1110)");
}

Sourced<double> readThickness(DcmItem& item) {
    return readQuantity(item, {{DCM_BodyPartThickness, "BodyPartThickness (0018,11A0)", false, 10}}, "cm",
                        kMinImageThicknessCm, kMaxImageThicknessCm, false, "BodyPartThickness (0018,11A0)");
}

Sourced<double> readWeight(DcmItem& item) {
    return readQuantity(item, {{DCM_PatientWeight, "PatientWeight (0010,1030)", false}}, "kg", engine::kMinWeightKg,
                        engine::kMaxWeightKg, false, "PatientWeight (0010,1030)");
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
        std::string tooLong;
        const auto raw = rawValue(item, attribute.key, attribute.name, &tooLong);
        if (!tooLong.empty())
            problems.push_back(tooLong);
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
    std::string tooLong;
    const auto raw = rawValue(item, key, name, &tooLong);
    if (!raw) {
        text.problem = tooLong.empty() ? std::string(name) + " がありません" : tooLong;
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

// The values of a multi-valued string, each with the blanks at its ends removed.
std::vector<std::string> splitValues(const std::string& raw) {
    std::vector<std::string> values;
    size_t start = 0;
    while (true) {
        const size_t end = raw.find('\\', start);
        values.push_back(trimValue(std::string_view(raw).substr(start, end - start)));
        if (end == std::string::npos)
            return values;
        start = end + 1;
    }
}

Sourced<FieldSizeCm> readCollimatedField(DcmItem& item) {
    Sourced<FieldSizeCm> field;
    std::string problem;
    const auto shape = rawValue(item, DCM_CollimatorShape, "CollimatorShape (0018,1700)", &problem);
    if (!shape) {
        field.problem = problem.empty() ? "CollimatorShape (0018,1700) がありません" : problem;
        return field;
    }
    const std::vector<std::string> shapes = splitValues(*shape);
    if (std::find(shapes.begin(), shapes.end(), "RECTANGULAR") == shapes.end()) {
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
    const std::string rectangular = "CollimatorShape (0018,1700) は RECTANGULAR ですが、";
    double at[4] = {};
    for (int k = 0; k < 4; ++k) {
        const auto raw = rawValue(item, edges[k].key, edges[k].name, &problem);
        const auto value =
            raw && raw->find('\\') == std::string::npos ? textio::parseNumber(*raw) : std::nullopt;
        if (!value) {
            field.problem =
                rectangular + (!problem.empty() ? problem
                               : raw ? std::string(edges[k].name) + " の値 '" + *raw + "' は使えません"
                                     : std::string(edges[k].name) + " がありません");
            return field;
        }
        at[k] = *value;
    }
    const auto spacing = rawValue(item, DCM_ImagerPixelSpacing, "ImagerPixelSpacing (0018,1164)", &problem);
    const std::vector<std::string> spacings = spacing ? splitValues(*spacing) : std::vector<std::string>();
    const auto rowSpacing = spacings.size() == 2 ? textio::parseNumber(spacings[0]) : std::nullopt;
    const auto columnSpacing = spacings.size() == 2 ? textio::parseNumber(spacings[1]) : std::nullopt;
    if (!rowSpacing || !columnSpacing || !(*rowSpacing > 0) || !(*columnSpacing > 0)) {
        field.problem =
            rectangular + (!problem.empty() ? problem
                           : spacing ? "ImagerPixelSpacing (0018,1164) の値 '" + *spacing + "' は使えません"
                                     : "ImagerPixelSpacing (0018,1164) がありません");
        return field;
    }
    const double widthMm = (at[1] - at[0]) * *columnSpacing;
    const double heightMm = (at[3] - at[2]) * *rowSpacing;
    const double longMm = std::max(widthMm, heightMm);
    const double shortMm = std::min(widthMm, heightMm);
    if (!(shortMm >= 10 * kMinImageFieldCm && longMm <= 10 * kMaxImageFieldCm)) {
        field.problem = rectangular + "縁 (0018,1702〜1708) と ImagerPixelSpacing (0018,1164) からの照射野 " +
                        shortNumber(widthMm / 10) + " × " + shortNumber(heightMm / 10) +
                        " cm は使える範囲（各辺 " + shortNumber(kMinImageFieldCm) + " cm 以上 " +
                        shortNumber(kMaxImageFieldCm) + " cm 以下）の外です";
        return field;
    }
    auto tenthCm = [](double mm) { return std::round(mm) / 10; };
    field.value = FieldSizeCm{tenthCm(longMm), tenthCm(shortMm)};
    field.source = "Collimator (0018,1700-1708) x ImagerPixelSpacing (0018,1164)";
    return field;
}

ImageExposure readExposure(DcmDataset& data, const std::string& sopClassUid, const std::string& modality) {
    ImageExposure e;
    e.modality = modality;
    e.sopClassUid = sopClassUid;
    const std::string characterSet = [&] {
        std::string tooLong;
        DcmElement* element = loadedElement(data, DCM_SpecificCharacterSet, "", &tooLong);
        OFString value;
        if (!tooLong.empty())
            return std::string("（長すぎる値）"); // no character set: only ASCII converts
        if (!element || element->getOFStringArray(value).bad())
            return std::string();
        return std::string(value.c_str(), value.length());
    }();

    e.tubeVoltageKv = readTubeVoltage(data);
    e.mAs = readMAs(data);
    e.ffdCm = readFfd(data);
    e.bodyPartThicknessCm = readThickness(data);
    e.patientWeightKg = readWeight(data);
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

namespace {

// The folders listed while the records of one DICOMDIR are resolved: each folder once, its names
// by their small-letter form (the first in name order where two differ only in case).
class FolderListings {
public:
    // The entry of the folder named `component` exactly, else without regard to case; nothing
    // where there is none.
    std::optional<fs::path> find(const fs::path& folder, const std::string& component) {
        auto [it, added] = listings_.try_emplace(folder);
        Listing& listing = it->second;
        if (added) {
            std::error_code ec;
            std::vector<fs::path> names;
            for (fs::directory_iterator entry(folder, ec), end; !ec && entry != end; entry.increment(ec))
                names.push_back(entry->path().filename());
            std::sort(names.begin(), names.end());
            for (const fs::path& name : names) {
                const std::string utf8 = textio::fileNameUtf8(name);
                listing.exact.insert(utf8);
                listing.folded.emplace(lowerAscii(utf8), name);
            }
        }
        if (listing.exact.count(component))
            return folder / fs::u8path(component);
        if (auto found = listing.folded.find(lowerAscii(component)); found != listing.folded.end())
            return folder / found->second;
        return std::nullopt;
    }

private:
    struct Listing {
        std::set<std::string> exact;
        std::map<std::string, fs::path> folded; // emplace keeps the first in name order
    };
    static std::string lowerAscii(std::string text) {
        for (char& c : text)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    }
    std::map<fs::path, Listing> listings_;
};

// Whether `path` (canonical) lies inside `root` (canonical).
bool isInside(const fs::path& path, const fs::path& root) {
    auto p = path.begin();
    for (auto r = root.begin(); r != root.end(); ++r, ++p)
        if (p == path.end() || *p != *r)
            return false;
    return true;
}

// One Referenced File ID resolved inside the DICOMDIR's folder, or the reason it is not opened.
DicomDirEntry resolveEntry(const fs::path& folder, const fs::path& canonicalFolder, const std::string& fileId,
                           FolderListings& listings) {
    DicomDirEntry entry;
    const std::vector<std::string> components = splitValues(fileId);
    for (size_t k = 0; k < components.size(); ++k)
        entry.fileId += (k ? "/" : "") + components[k];
    for (const std::string& c : components) {
        if (c == "..") {
            entry.problem = entry.fileId + " は DICOMDIR のフォルダの外（..）を指すため開きません。";
            return entry;
        }
        if (c.empty() || c == "." || c.find_first_of(std::string("/:\\\0", 4)) != std::string::npos) {
            entry.problem =
                entry.fileId + " はファイル ID として使えない名前（'" + c + "'）を含むため開きません。";
            return entry;
        }
    }
    fs::path path = folder;
    for (const std::string& c : components) {
        const auto found = listings.find(path, c);
        if (!found) {
            entry.problem = entry.fileId + " がありません。";
            return entry;
        }
        path = *found;
    }
    std::error_code ec;
    const fs::path target = fs::canonical(path, ec);
    if (ec) {
        entry.problem = entry.fileId + " がありません（リンク先がありません）。";
        return entry;
    }
    if (!isInside(target, canonicalFolder)) {
        entry.problem = entry.fileId + " はリンクで DICOMDIR のフォルダの外を指すため開きません。";
        return entry;
    }
    const fs::file_type type = fs::status(target, ec).type();
    if (ec || type != fs::file_type::regular) {
        entry.problem =
            entry.fileId + " は通常のファイルではない（" + textio::fileTypeText(type) + "）ため開きません。";
        return entry;
    }
    entry.path = path;
    return entry;
}

std::vector<DicomDirEntry> readDicomDirEntries(DcmDataset& data, const fs::path& dicomDir) {
    std::vector<DicomDirEntry> entries;
    DcmSequenceOfItems* records = nullptr;
    if (data.findAndGetSequence(DCM_DirectoryRecordSequence, records).bad() || !records)
        return entries;
    const fs::path folder = dicomDir.has_parent_path() ? dicomDir.parent_path() : fs::path(".");
    std::error_code ec;
    const fs::path canonicalFolder = fs::canonical(folder, ec);
    FolderListings listings;
    for (unsigned long k = 0; k < records->card(); ++k) {
        DcmItem* record = records->getItem(k);
        if (rawValue(*record, DCM_DirectoryRecordType).value_or(std::string()) != "IMAGE")
            continue;
        std::string tooLong;
        DcmElement* inUse = loadedElement(*record, DCM_RecordInUseFlag, "", &tooLong);
        Uint16 flag = 0xFFFF;
        if (inUse && inUse->getUint16(flag).good() && flag == 0)
            continue;
        const auto fileId = rawValue(*record, DCM_ReferencedFileID, "ReferencedFileID (0004,1500)", &tooLong);
        if (!fileId) {
            if (!tooLong.empty())
                entries.push_back({"", {}, tooLong + "。"});
            continue;
        }
        if (ec) {
            DicomDirEntry entry;
            entry.fileId = *fileId;
            entry.problem =
                textio::fileNameUtf8(folder) + " のフォルダを読めません（" + ec.message() + "）。";
            entries.push_back(entry);
            continue;
        }
        entries.push_back(resolveEntry(folder, canonicalFolder, *fileId, listings));
    }
    return entries;
}

} // namespace

namespace {

HeaderReading readHeaderOnce(const fs::path& file) {
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
    // The structure first, so that DCMTK never sees a file that would exhaust its stack or memory.
    const detail::HeaderCheck check = detail::checkHeaderStructure(file);
    if (check.verdict == detail::HeaderCheck::Verdict::NotDicom) {
        reading.kind = FileKind::NotDicom;
        reading.message = name + " は DICOM ファイルではありません。";
        return reading;
    }
    if (check.verdict == detail::HeaderCheck::Verdict::Refused) {
        reading.message = name + " は DICOM ファイルとして読めません（" + check.reason + "）。";
        return reading;
    }
    DcmFileFormat dicom;
    const OFCondition loaded = dicom.loadFileUntilTag(dcmtkFileName(file), EXS_Unknown, EGL_noChange,
                                                      kMaxReadLength, ERM_autoDetect, DCM_PixelData);
    if (loaded.bad()) {
        reading.message = name + " は DICOM ファイルとして読めません（" + loaded.text() + "）。";
        return reading;
    }
    DcmDataset& data = *dicom.getDataset();
    std::string sopClass = rawValue(data, DCM_SOPClassUID).value_or(std::string());
    if (sopClass.empty())
        sopClass = rawValue(*dicom.getMetaInfo(), DCM_MediaStorageSOPClassUID).value_or(std::string());
    const std::string modality = rawValue(data, DCM_Modality).value_or(std::string());
    if (isDirectory(dicom)) {
        reading.kind = FileKind::DicomDir;
        reading.message = name + " は DICOMDIR（画像の一覧）です。";
        reading.dicomDirEntries = readDicomDirEntries(data, file);
        return reading;
    }
    if (sopClass.empty() && modality.empty()) {
        reading.kind = check.fileMeta ? FileKind::Unreadable : FileKind::NotDicom;
        reading.message = check.fileMeta
                              ? name + " は DICOM ファイルとして読めません（SOPClassUID (0008,0016) も "
                                       "Modality (0008,0060) もありません）。"
                              : name + " は DICOM ファイルではありません。";
        return reading;
    }
    reading.exposure.modality = modality;
    reading.exposure.sopClassUid = sopClass;
    if (!isRadiograph(modality, sopClass)) {
        reading.kind = FileKind::NotRadiograph;
        reading.message = name + " は一般撮影（CR・DX）の画像ではありません（Modality: " +
                          (modality.empty() ? std::string("なし") : modality) + "）。";
        return reading;
    }
    reading.kind = FileKind::Radiograph;
    reading.exposure = readExposure(data, sopClass, modality);
    return reading;
}

} // namespace

HeaderReading readHeader(const fs::path& file) {
    try {
        return readHeaderOnce(file);
    } catch (const std::exception& e) { // memory or the file system giving out: this file only
        HeaderReading reading;
        reading.message = fileLabel(file) + " は DICOM ファイルとして読めません（" + e.what() + "）。";
        return reading;
    }
}

Expected<ImageExposure> readImageExposure(const fs::path& file) {
    HeaderReading reading = readHeader(file);
    if (reading.kind != FileKind::Radiograph)
        return Error{reading.message};
    return std::move(reading.exposure);
}

Expected<std::vector<DicomDirEntry>> dicomDirEntries(const fs::path& dicomDir) {
    HeaderReading reading = readHeader(dicomDir);
    if (reading.kind == FileKind::DicomDir)
        return std::move(reading.dicomDirEntries);
    if (reading.kind == FileKind::Radiograph || reading.kind == FileKind::NotRadiograph)
        return Error{fileLabel(dicomDir) + " は DICOMDIR ではありません。"};
    return Error{reading.message};
}

Expected<std::vector<fs::path>> dicomDirImages(const fs::path& dicomDir) {
    auto entries = dicomDirEntries(dicomDir);
    if (!entries.ok())
        return entries.error();
    std::vector<fs::path> images;
    for (const DicomDirEntry& entry : *entries)
        if (entry.problem.empty())
            images.push_back(entry.path);
    return images;
}

} // namespace tamso::dicom
