// The dose report's values: the checks of its input, its texts and their character set, what the
// values of an exposure give the report (the dose-area product and the dose at the reference point)
// and the texts that state what its numbers cannot carry.

#include "node/dosereport.h"

#include "dicom/dicomtext.h"
#include "node/dosereportdetail.h"
#include "textio/numberformat.h"
#include "textio/numbertext.h"
#include "textio/quantitytext.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace tamso::node::detail {

// A decimal string (DS) of at most 16 characters: six significant digits, the C locale's point.
std::string decimalString(double value) {
    std::array<char, 32> text{};
    auto [end, ec] =
        std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::general, 6);
    if (ec != std::errc())
        return "0";
    return std::string(text.data(), end);
}

namespace {

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool allDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

bool validDate(std::string_view date) {
    if (date.size() != 8 || !allDigits(date))
        return false;
    const int month = std::stoi(std::string(date.substr(4, 2)));
    const int day = std::stoi(std::string(date.substr(6, 2)));
    return month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

bool validTime(std::string_view time) {
    const std::string_view whole = time.substr(0, time.find('.'));
    if (whole.size() < 2 || whole.size() > 6 || whole.size() % 2 != 0 || !allDigits(whole))
        return false;
    if (whole.size() < time.size()) {
        const std::string_view fraction = time.substr(whole.size() + 1);
        if (whole.size() != 6 || fraction.empty() || fraction.size() > 6 || !allDigits(fraction))
            return false;
    }
    return true;
}

namespace {

// The texts of the report beside the patient's and study's.
std::vector<const std::string*> ownTexts(const DoseReportInput& in) {
    return {&in.bodyPart,
            &in.operatorName,
            &in.institutionName,
            &in.xrayUnit.name,
            &in.xrayUnit.manufacturer,
            &in.xrayUnit.modelName,
            &in.xrayUnit.serialNumber,
            &in.recorder.name,
            &in.recorder.manufacturer,
            &in.recorder.modelName,
            &in.recorder.serialNumber,
            &in.softwareVersion};
}

} // namespace

// The image's texts are converted from its character set; the report is written in the default
// repertoire (no character set named) where every text is ASCII, else in UTF-8 (ISO_IR 192), the
// one character set besides ASCII that DCMTK's structured-report reader takes without a warning.
Expected<ReportTexts> reportTexts(const DoseReportInput& in) {
    ReportTexts texts{"", in.patientId, in.patientName, in.studyId, in.accessionNumber};
    bool ascii = true;
    for (std::string* value :
         {&texts.patientId, &texts.patientName, &texts.studyId, &texts.accessionNumber}) {
        auto utf8 = dicom::toUtf8(*value, in.patientCharacterSet);
        if (!utf8.ok())
            return Error(ErrorCode::DoseReportPatientText, {utf8.error().message()});
        *value = *utf8;
        ascii = ascii && isAscii(*value);
    }
    const auto own = ownTexts(in);
    ascii = ascii && std::all_of(own.begin(), own.end(), [](const std::string* t) { return isAscii(*t); });
    if (!ascii)
        texts.characterSet = "ISO_IR 192";
    return texts;
}

std::string orUnknown(const std::string& text) {
    return text.empty() ? "unknown" : text;
}

// A UID for a device that has none: made from its name, manufacturer, model and serial number, so
// that the same unit keeps the same UID from report to report.
std::string derivedDeviceUid(const ReportDevice& device) {
    return uidFromText(device.name + '\x1f' + device.manufacturer + '\x1f' + device.modelName + '\x1f' +
                        device.serialNumber);
}

namespace {

bool validUid(std::string_view uid) {
    return !uid.empty() && uid.size() <= 64 && uid.front() != '.' && uid.back() != '.' &&
           std::all_of(uid.begin(), uid.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; }) &&
           uid.find("..") == std::string_view::npos;
}

Status checkInput(const DoseReportInput& in) {
    if (dicom::trimValue(in.patientId).empty())
        return Error(ErrorCode::DoseReportNoPatientId);
    if (!validDate(in.exposureDate))
        return Error(ErrorCode::DoseReportDateBad, {in.exposureDate});
    if (!in.exposureTime.empty() && !validTime(in.exposureTime))
        return Error(ErrorCode::DoseReportTimeBad, {in.exposureTime});
    if (!in.sopInstanceUid.empty() && !validUid(in.sopInstanceUid))
        return Error(ErrorCode::DoseReportUidBad, {in.sopInstanceUid});
    const bool hasImage = !in.imageSopInstanceUid.empty();
    if (hasImage &&
        (in.imageSopClassUid.empty() || in.imageSeriesInstanceUid.empty() || in.studyInstanceUid.empty()))
        return Error(ErrorCode::DoseReportImageUidsMissing);
    const ExposureDose& d = in.dose;
    const struct {
        double value;
        const char* name;
    } positive[] = {{d.kvp, "管電圧"},
                    {d.exposureUAs, "mAs"},
                    {d.sourceToDetectorMm, "FFD"},
                    {d.sourceToSkinMm, "焦点－皮膚間距離"},
                    {d.fieldLongMm, "照射野"},
                    {d.fieldShortMm, "照射野"},
                    {d.incidentAirKermaMGy, "入射空気カーマ"},
                    {d.primaryAirKermaMGy, "入射空気カーマ"},
                    {d.entranceSurfaceDoseMGy, "入射表面線量"}};
    for (const auto& p : positive)
        if (!std::isfinite(p.value) || !(p.value > 0))
            return Error(ErrorCode::DoseReportValueNotPositive, {p.name});
    for (double v : {d.aluminiumMm, d.copperMm})
        if (!std::isfinite(v) || v < 0)
            return Error(ErrorCode::DoseReportFilterBad);
    if (d.sourceToSkinMm > d.sourceToDetectorMm)
        return Error(ErrorCode::DoseReportSkinBeyondFfd);
    for (const auto& optional : {d.tubeCurrentMa, d.exposureTimeMs, d.expandedUncertaintyMGy})
        if (optional && (!std::isfinite(*optional) || *optional < 0))
            return Error(ErrorCode::DoseReportOptionalBad);
    for (const auto& optional : {d.effectiveDoseUSv, d.effectiveDoseUUSv})
        if (optional && (!std::isfinite(*optional) || *optional < 0))
            return Error(ErrorCode::DoseReportEffectiveDoseBad);
    return {};
}

} // namespace

namespace {

// The effective dose with its uncertainty and the weight it was computed for.
std::string effectiveDoseText(const ExposureDose& d) {
    std::string text = "effective dose (ICRP 103, from the organ doses of a newborn phantom";
    if (d.weightKg)
        text += " of " + textio::numberToText(*d.weightKg) + " kg";
    else if (d.assumedWeightKg)
        text += " of " + textio::numberToText(*d.assumedWeightKg) + " kg, the site's default weight, assumed";
    text += "): " + textio::formatNumber(*d.effectiveDoseUSv, "#0.000") + " uSv";
    if (d.effectiveDoseUUSv && *d.effectiveDoseUUSv > 0)
        text += ", expanded uncertainty (k=2) " + textio::expandedUncertaintyText(*d.effectiveDoseUUSv) + " uSv";
    return text;
}

} // namespace

// The text of the event's comment: what the report's numbers cannot carry.
std::string eventComment(const DoseReportInput& in) {
    const ExposureDose& d = in.dose;
    std::string text =
        "Entrance surface dose (absorbed dose in tissue at the skin, with backscatter and the "
        "scatter of the incubator hood): " +
        (d.expandedUncertaintyMGy && *d.expandedUncertaintyMGy > 0
             ? textio::doseBesideUncertaintyText(d.entranceSurfaceDoseMGy, *d.expandedUncertaintyMGy)
             : textio::doseText(d.entranceSurfaceDoseMGy)) +
        " mGy";
    // The uncertainty with two significant figures, the dose above to its last decimal.
    if (d.expandedUncertaintyMGy && *d.expandedUncertaintyMGy > 0)
        text +=
            "; expanded uncertainty (k=2): " + textio::expandedUncertaintyText(*d.expandedUncertaintyMGy) +
            " mGy";
    if (d.backscatterFactor)
        text += "; backscatter factor " + textio::formatNumber(*d.backscatterFactor, "#0.000");
    if (d.halfValueLayerMmAl)
        text +=
            "; first half-value layer " + textio::formatNumber(*d.halfValueLayerMmAl, "#0.000") + " mm Al";
    if (d.effectiveDoseUSv)
        text += "; " + effectiveDoseText(d);
    if (d.inherentAluminiumMm && *d.inherentAluminiumMm > 0)
        text += "; inherent filtration of the tube " + textio::formatNumber(*d.inherentAluminiumMm, "#0.00") +
                " mm Al equivalent";
    text +=
        in.source == DoseSource::ManualEntry ? "; conditions entered by hand" : "; conditions from the image";
    return text + ".";
}

// The reference point: at the focus-skin distance of the exposure, where one distance holds for all.
std::string referencePointDefinition(std::optional<double> sourceToSkinMm) {
    return "Entrance surface of the patient on the central beam axis, " +
           (sourceToSkinMm ? decimalString(*sourceToSkinMm) + " mm from the focal spot"
                           : std::string("at each exposure's distance from the focal spot")) +
           " (focus-detector distance minus the patient's thickness); incident air kerma without "
           "backscatter, the scatter of the incubator hood included";
}

EventValues eventValues(const ExposureDose& d) {
    EventValues v;
    v.fieldAreaM2 = d.fieldLongMm * d.fieldShortMm / 1e6;
    const double skinScale = d.sourceToSkinMm / d.sourceToDetectorMm;
    v.dapGyM2 = d.primaryAirKermaMGy / 1000 * v.fieldAreaM2 * skinScale * skinScale;
    v.doseRpGy = d.incidentAirKermaMGy / 1000;
    return v;
}

// An age string: three digits and D, W, M or Y ("003D").
bool validAge(std::string_view age) {
    return age.size() == 4 && allDigits(age.substr(0, 3)) && std::string_view("DWMY").find(age[3]) != std::string_view::npos;
}

// A weight in kg as a decimal string above 0 of at most 16 characters.
bool validWeight(const std::string& weight) {
    if (weight.empty() || weight.size() > 16)
        return false;
    double value = 0;
    auto [end, ec] = std::from_chars(weight.data(), weight.data() + weight.size(), value);
    return ec == std::errc() && end == weight.data() + weight.size() && std::isfinite(value) && value > 0;
}

// The exposures of one report: each sound, all of one patient and study; in the order of their
// moments. The Irradiation Event UID of each, by its position.
Expected<std::vector<std::string>> checkExposures(std::vector<DoseReportInput>& exposures) {
    if (exposures.empty())
        return Error(ErrorCode::DoseReportNoExposures);
    for (const DoseReportInput& e : exposures) {
        if (Status s = checkInput(e); !s.ok())
            return s.error();
        if (dicom::trimValue(e.patientId) != dicom::trimValue(exposures.front().patientId) ||
            dicom::trimValue(e.studyInstanceUid) != dicom::trimValue(exposures.front().studyInstanceUid))
            return Error(ErrorCode::DoseReportMixedExposures);
        if (!e.irradiationEventUid.empty() && !validUid(e.irradiationEventUid))
            return Error(ErrorCode::DoseReportEventUidBad, {e.irradiationEventUid});
    }
    std::stable_sort(exposures.begin(), exposures.end(), [](const DoseReportInput& a, const DoseReportInput& b) {
        return a.exposureDate + a.exposureTime < b.exposureDate + b.exposureTime;
    });
    std::vector<std::string> uids;
    for (const DoseReportInput& e : exposures)
        uids.push_back(!e.irradiationEventUid.empty()      ? e.irradiationEventUid
                       : !e.imageSopInstanceUid.empty() ? eventUidOfImage(e.imageSopInstanceUid)
                                                        : newUuidUid());
    return uids;
}

} // namespace tamso::node::detail
