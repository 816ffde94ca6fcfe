#include "node/dosereport.h"

#include "dicom/dcmtksetup.h"
#include "dicom/dicomtext.h"
#include "engine/calculationstate.h"
#include "node/dicomfilebytes.h"
#include "textio/fileio.h"
#include "textio/numberformat.h"
#include "textio/quantitytext.h"

#include <dcmtk/config/osconfig.h>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmsr/codes/dcm.h>
#include <dcmtk/dcmsr/dsrdoc.h>
#include <dcmtk/ofstd/ofuuid.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <ctime>
#include <iterator>
#include <mutex>
#include <random>
#include <vector>

namespace tamso::node {

namespace {

// The mapping resource of the DICOM templates and its UID.
constexpr const char* kDcmr = "DCMR";
constexpr const char* kDcmrUid = "1.2.840.10008.8.1.1";

const DSRCodedEntryValue kHasIntent("363703001", "SCT", "Has Intent");
const DSRCodedEntryValue kDiagnosticIntent("261004008", "SCT", "Diagnostic Intent");
const DSRCodedEntryValue kYes("373066001", "SCT", "Yes");
const DSRCodedEntryValue kNo("373067005", "SCT", "No");
// Filter materials as dose registries know them (X-Ray Filter Materials).
const DSRCodedEntryValue kAluminium("C-120F9", "SRT", "Aluminum or Aluminum compound");
const DSRCodedEntryValue kCopper("C-127F9", "SRT", "Copper or Copper compound");

DSRCodedEntryValue ucum(const char* unit) {
    return DSRCodedEntryValue(unit, "UCUM", unit);
}
const DSRCodedEntryValue kNoUnits("1", "UCUM", "no units");

// A decimal string (DS) of at most 16 characters: six significant digits, the C locale's point.
std::string decimalString(double value) {
    std::array<char, 32> text{};
    auto [end, ec] =
        std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::general, 6);
    if (ec != std::errc())
        return "0";
    return std::string(text.data(), end);
}

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool allDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool validDate(std::string_view date) {
    if (date.size() != 8 || !allDigits(date))
        return false;
    const int month = std::stoi(std::string(date.substr(4, 2)));
    const int day = std::stoi(std::string(date.substr(6, 2)));
    return month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

// HHMMSS, HHMM or HH, optionally with a fraction after HHMMSS.
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

std::string nowDateTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char text[16] = {};
    std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &local);
    return text;
}

Error dcmtkError(const char* what, const OFCondition& condition) {
    return Error{std::string("線量レポートを作成できません（") + what + ": " + condition.text() + "）。"};
}

// Adds content items below their parents, addressing each parent by its node ID, and keeps the
// first failure.
class TreeWriter {
public:
    explicit TreeWriter(DSRDocumentTree& tree) : tree_(tree) {}

    size_t add(size_t parent, DSRTypes::E_RelationshipType relation, DSRTypes::E_ValueType type,
               const DSRCodedEntryValue& concept) {
        if (!status_.ok())
            return 0;
        if (parent != 0 && tree_.gotoNode(parent) == 0) {
            fail("content tree", EC_IllegalCall);
            return 0;
        }
        const size_t id = tree_.addContentItem(
            relation, type, parent == 0 ? DSRTypes::AM_afterCurrent : DSRTypes::AM_belowCurrent);
        if (id == 0) {
            fail(concept.getCodeMeaning().c_str(), EC_IllegalCall);
            return 0;
        }
        check(concept.getCodeMeaning().c_str(), tree_.getCurrentContentItem().setConceptName(concept));
        return id;
    }

    size_t container(size_t parent, DSRTypes::E_RelationshipType relation,
                     const DSRCodedEntryValue& concept) {
        return add(parent, relation, DSRTypes::VT_Container, concept);
    }
    size_t code(size_t parent, DSRTypes::E_RelationshipType relation, const DSRCodedEntryValue& concept,
                const DSRCodedEntryValue& value) {
        const size_t id = add(parent, relation, DSRTypes::VT_Code, concept);
        if (id != 0)
            check(concept.getCodeMeaning().c_str(), tree_.getCurrentContentItem().setCodeValue(value));
        return id;
    }
    size_t text(size_t parent, DSRTypes::E_RelationshipType relation, const DSRCodedEntryValue& concept,
                const std::string& value) {
        const size_t id = add(parent, relation, DSRTypes::VT_Text, concept);
        if (id != 0)
            check(concept.getCodeMeaning().c_str(),
                  tree_.getCurrentContentItem().setStringValue(value.c_str()));
        return id;
    }
    size_t uid(size_t parent, DSRTypes::E_RelationshipType relation, const DSRCodedEntryValue& concept,
               const std::string& value) {
        const size_t id = add(parent, relation, DSRTypes::VT_UIDRef, concept);
        if (id != 0)
            check(concept.getCodeMeaning().c_str(),
                  tree_.getCurrentContentItem().setStringValue(value.c_str()));
        return id;
    }
    size_t dateTime(size_t parent, const DSRCodedEntryValue& concept, const std::string& value) {
        const size_t id = add(parent, DSRTypes::RT_contains, DSRTypes::VT_DateTime, concept);
        if (id != 0)
            check(concept.getCodeMeaning().c_str(),
                  tree_.getCurrentContentItem().setStringValue(value.c_str()));
        return id;
    }
    size_t personName(size_t parent, const DSRCodedEntryValue& concept, const std::string& value) {
        const size_t id = add(parent, DSRTypes::RT_contains, DSRTypes::VT_PName, concept);
        if (id != 0)
            check(concept.getCodeMeaning().c_str(),
                  tree_.getCurrentContentItem().setStringValue(value.c_str()));
        return id;
    }
    // A measurement: the decimal string (DS) and the exact value (FD).
    size_t number(size_t parent, const DSRCodedEntryValue& concept, double value,
                  const DSRCodedEntryValue& unit) {
        const size_t id = add(parent, DSRTypes::RT_contains, DSRTypes::VT_Num, concept);
        if (id == 0)
            return 0;
        DSRNumericMeasurementValue measurement(decimalString(value).c_str(), unit);
        check(concept.getCodeMeaning().c_str(), measurement.setFloatingPointRepresentation(value));
        check(concept.getCodeMeaning().c_str(), tree_.getCurrentContentItem().setNumericValue(measurement));
        return id;
    }
    size_t image(size_t parent, const DSRCodedEntryValue& concept, const std::string& sopClass,
                 const std::string& sopInstance) {
        const size_t id = add(parent, DSRTypes::RT_contains, DSRTypes::VT_Image, concept);
        if (id != 0)
            check(concept.getCodeMeaning().c_str(),
                  tree_.getCurrentContentItem().setImageReference(
                      DSRImageReferenceValue(sopClass.c_str(), sopInstance.c_str())));
        return id;
    }

    void check(const char* what, const OFCondition& condition) {
        if (status_.ok() && condition.bad())
            fail(what, condition);
    }
    const Status& status() const { return status_; }

private:
    void fail(const char* what, const OFCondition& condition) { status_ = dcmtkError(what, condition); }

    DSRDocumentTree& tree_;
    Status status_;
};

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

// The patient's and study's texts as the report holds them, and the report's character set.
struct ReportTexts {
    std::string characterSet;
    std::string patientId;
    std::string patientName;
    std::string studyId;
    std::string accessionNumber;
};

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
            return Error{"線量レポートを作成できません。患者の文字（" + utf8.error().message + "）。"};
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

// A UUID under the root 2.25 made from a text (version 8, custom): two 64-bit FNV-1a hashes with
// different offsets make its 128 bits. The same text gives the same UID.
std::string nameBasedUid(const std::string& key) {
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

// A UID for a device that has none: made from its name, manufacturer, model and serial number, so
// that the same unit keeps the same UID from report to report.
std::string derivedDeviceUid(const ReportDevice& device) {
    return nameBasedUid(device.name + '\x1f' + device.manufacturer + '\x1f' + device.modelName + '\x1f' +
                        device.serialNumber);
}

bool validUid(std::string_view uid) {
    return !uid.empty() && uid.size() <= 64 && uid.front() != '.' && uid.back() != '.' &&
           std::all_of(uid.begin(), uid.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; }) &&
           uid.find("..") == std::string_view::npos;
}

Status checkInput(const DoseReportInput& in) {
    if (dicom::trimValue(in.patientId).empty())
        return Error{"患者IDがないため、線量レポートを作成できません。"};
    if (!validDate(in.exposureDate))
        return Error{"撮影日（" + in.exposureDate +
                     "）が YYYYMMDD の形でないため、線量レポートを作成できません。"};
    if (!in.exposureTime.empty() && !validTime(in.exposureTime))
        return Error{"撮影時刻（" + in.exposureTime +
                     "）が HHMMSS の形でないため、線量レポートを作成できません。"};
    if (!in.sopInstanceUid.empty() && !validUid(in.sopInstanceUid))
        return Error{"線量レポートの UID（" + in.sopInstanceUid + "）が UID の形ではありません。"};
    const bool hasImage = !in.imageSopInstanceUid.empty();
    if (hasImage &&
        (in.imageSopClassUid.empty() || in.imageSeriesInstanceUid.empty() || in.studyInstanceUid.empty()))
        return Error{
            "画像の SOP クラス、シリーズまたは検査の UID がないため、線量レポートを作成できません。"};
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
            return Error{std::string(p.name) + "が 0 より大きい数でないため、線量レポートを作成できません。"};
    for (double v : {d.aluminiumMm, d.copperMm})
        if (!std::isfinite(v) || v < 0)
            return Error{"付加フィルタの厚さが 0 未満または数でないため、線量レポートを作成できません。"};
    if (d.sourceToSkinMm > d.sourceToDetectorMm)
        return Error{"焦点－皮膚間距離が FFD より長いため、線量レポートを作成できません。"};
    for (const auto& optional : {d.tubeCurrentMa, d.exposureTimeMs, d.expandedUncertaintyMGy})
        if (optional && (!std::isfinite(*optional) || *optional < 0))
            return Error{
                "管電流、撮影時間または不確かさが 0 未満または数でないため、線量レポートを作成できません。"};
    return {};
}

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
    text +=
        in.source == DoseSource::ManualEntry ? "; conditions entered by hand" : "; conditions from the image";
    return text + ".";
}

std::string referencePointDefinition(const ExposureDose& d) {
    return "Entrance surface of the patient on the central beam axis, " + decimalString(d.sourceToSkinMm) +
           " mm from the focal spot (focus-detector distance minus the patient's thickness); incident air "
           "kerma "
           "without backscatter, the scatter of the incubator hood included";
}

// Everything the tree holds, below the root container.
void writeContent(TreeWriter& w, size_t root, const DoseReportInput& in, const std::string& studyUid,
                  const std::string& eventUid, const std::string& recorderUid) {
    using T = DSRTypes;
    const ExposureDose& d = in.dose;
    const double fieldAreaM2 = d.fieldLongMm * d.fieldShortMm / 1e6;
    const double skinScale = d.sourceToSkinMm / d.sourceToDetectorMm;
    const double dapGyM2 = d.primaryAirKermaMGy / 1000 * fieldAreaM2 * skinScale * skinScale;
    const double doseRpGy = d.incidentAirKermaMGy / 1000;

    const size_t procedure =
        w.code(root, T::RT_hasConceptMod, CODE_DCM_ProcedureReported, CODE_DCM_ProjectionXRay);
    w.code(procedure, T::RT_hasConceptMod, kHasIntent, kDiagnosticIntent);

    // The recording device: this program.
    w.code(root, T::RT_hasObsContext, CODE_DCM_ObserverType, CODE_DCM_Device);
    w.uid(root, T::RT_hasObsContext, CODE_DCM_DeviceObserverUID, recorderUid);
    if (!in.recorder.name.empty())
        w.text(root, T::RT_hasObsContext, CODE_DCM_DeviceObserverName, in.recorder.name);
    w.text(root, T::RT_hasObsContext, CODE_DCM_DeviceObserverManufacturer,
           orUnknown(in.recorder.manufacturer));
    w.text(root, T::RT_hasObsContext, CODE_DCM_DeviceObserverModelName, orUnknown(in.recorder.modelName));
    w.text(root, T::RT_hasObsContext, CODE_DCM_DeviceObserverSerialNumber,
           orUnknown(in.recorder.serialNumber));

    const size_t scope = w.code(root, T::RT_hasObsContext, CODE_DCM_ScopeOfAccumulation, CODE_DCM_Study);
    w.uid(scope, T::RT_hasProperties, CODE_DCM_StudyInstanceUID, studyUid);

    const bool integrated = in.device == AcquisitionDevice::Integrated;
    w.code(root, T::RT_contains, CODE_DCM_AcquisitionDeviceType,
           integrated ? CODE_DCM_IntegratedProjectionRadiographySystem
                      : CODE_DCM_CassetteBasedProjectionRadiographySystem);
    w.code(root, T::RT_contains, CODE_DCM_XRayDetectorDataAvailable, kNo);
    w.code(root, T::RT_contains, CODE_DCM_XRaySourceDataAvailable, kYes);
    w.code(root, T::RT_contains, CODE_DCM_XRayMechanicalDataAvailable, kYes);

    // Accumulated dose: the one exposure of the report.
    const size_t accumulated = w.container(root, T::RT_contains, CODE_DCM_AccumulatedXRayDoseData);
    w.code(accumulated, T::RT_hasConceptMod, CODE_DCM_AcquisitionPlane, CODE_DCM_SinglePlane);
    if (integrated) {
        w.number(accumulated, CODE_DCM_DoseAreaProductTotal, dapGyM2, ucum("Gy.m2"));
        w.number(accumulated, CODE_DCM_Dose_RP_Total, doseRpGy, ucum("Gy"));
    }
    w.number(accumulated, CODE_DCM_TotalNumberOfRadiographicFrames, 1, kNoUnits);
    if (integrated) {
        w.number(accumulated, CODE_DCM_DistanceSourceToReferencePoint, d.sourceToSkinMm, ucum("mm"));
        w.text(accumulated, T::RT_contains, CODE_DCM_ReferencePointDefinition, referencePointDefinition(d));
    }
    const size_t unit =
        w.code(accumulated, T::RT_contains, CODE_DCM_DeviceRoleInProcedure, CODE_DCM_IrradiatingDevice);
    if (!in.xrayUnit.name.empty())
        w.text(unit, T::RT_hasProperties, CODE_DCM_DeviceName, in.xrayUnit.name);
    w.text(unit, T::RT_hasProperties, CODE_DCM_DeviceManufacturer, orUnknown(in.xrayUnit.manufacturer));
    w.text(unit, T::RT_hasProperties, CODE_DCM_DeviceModelName, orUnknown(in.xrayUnit.modelName));
    w.text(unit, T::RT_hasProperties, CODE_DCM_DeviceSerialNumber, orUnknown(in.xrayUnit.serialNumber));
    w.uid(unit, T::RT_hasProperties, CODE_DCM_DeviceObserverUID,
          in.xrayUnit.uid.empty() ? derivedDeviceUid(in.xrayUnit) : in.xrayUnit.uid);

    // The irradiation event: the exposure.
    const size_t event = w.container(root, T::RT_contains, CODE_DCM_IrradiationEventXRayData);
    w.code(event, T::RT_hasConceptMod, CODE_DCM_AcquisitionPlane, CODE_DCM_SinglePlane);
    w.uid(event, T::RT_contains, CODE_DCM_IrradiationEventUID, eventUid);
    w.dateTime(event, CODE_DCM_DateTimeStarted, in.exposureDate + in.exposureTime);
    w.code(event, T::RT_contains, CODE_DCM_IrradiationEventType, CODE_DCM_StationaryAcquisition_113611);
    if (!in.bodyPart.empty())
        w.text(event, T::RT_contains, CODE_DCM_AcquisitionProtocol, in.bodyPart);
    w.number(event, CODE_DCM_DoseAreaProduct, dapGyM2, ucum("Gy.m2"));
    // Mechanical data: the distances.
    w.number(event, CODE_DCM_DistanceSourceToDetector, d.sourceToDetectorMm, ucum("mm"));
    w.number(event, CODE_DCM_DistanceSourceToReferencePoint, d.sourceToSkinMm, ucum("mm"));
    // Source data.
    w.number(event, CODE_DCM_Dose_RP, doseRpGy, ucum("Gy"));
    w.text(event, T::RT_contains, CODE_DCM_ReferencePointDefinition, referencePointDefinition(d));
    if (d.exposureTimeMs) {
        w.number(event, CODE_DCM_IrradiationDuration, *d.exposureTimeMs / 1000, ucum("s"));
        w.number(event, CODE_DCM_ExposureTime, *d.exposureTimeMs, ucum("ms"));
    }
    if (d.tubeCurrentMa)
        w.number(event, CODE_DCM_AverageXRayTubeCurrent, *d.tubeCurrentMa, ucum("mA"));
    w.number(event, CODE_DCM_CollimatedFieldArea, fieldAreaM2, ucum("m2"));
    w.number(event, CODE_DCM_CollimatedFieldHeight, d.fieldLongMm, ucum("mm"));
    w.number(event, CODE_DCM_CollimatedFieldWidth, d.fieldShortMm, ucum("mm"));
    const std::pair<double, const DSRCodedEntryValue*> filters[] = {{d.aluminiumMm, &kAluminium},
                                                                    {d.copperMm, &kCopper}};
    for (const auto& [thickness, material] : filters) {
        if (!(thickness > 0))
            continue;
        const size_t filter = w.container(event, T::RT_contains, CODE_DCM_XRayFilters);
        w.code(filter, T::RT_contains, CODE_DCM_XRayFilterType, CODE_DCM_FlatFilter);
        w.code(filter, T::RT_contains, CODE_DCM_XRayFilterMaterial, *material);
        w.number(filter, CODE_DCM_XRayFilterThicknessMinimum, thickness, ucum("mm"));
        w.number(filter, CODE_DCM_XRayFilterThicknessMaximum, thickness, ucum("mm"));
    }
    w.number(event, CODE_DCM_KVP, d.kvp, ucum("kV"));
    if (d.tubeCurrentMa)
        w.number(event, CODE_DCM_XRayTubeCurrent, *d.tubeCurrentMa, ucum("mA"));
    w.number(event, CODE_DCM_Exposure, d.exposureUAs, ucum("uA.s"));
    w.text(event, T::RT_contains, CODE_DCM_Comment, eventComment(in));
    if (!in.imageSopInstanceUid.empty())
        w.image(event, CODE_DCM_AcquiredImage, in.imageSopClassUid, in.imageSopInstanceUid);
    if (!in.operatorName.empty()) {
        const size_t person = w.personName(event, CODE_DCM_PersonName, in.operatorName);
        w.code(person, T::RT_hasProperties, CODE_DCM_PersonRoleInProcedure,
               CODE_DCM_IrradiationAdministering);
    }

    w.code(root, T::RT_contains, CODE_DCM_SourceOfDoseInformation,
           in.source == DoseSource::ManualEntry ? CODE_DCM_ManualEntry
                                                : CODE_DCM_ComputedFromImageAttributes);
}

} // namespace

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

std::string reportUidOfImage(const std::string& recorderUid, const std::string& imageSopInstanceUid) {
    return nameBasedUid("X-Ray Radiation Dose report\x1f" + recorderUid + '\x1f' +
                        dicom::trimValue(imageSopInstanceUid));
}

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
    {"long", &ExposureDose::fieldLongMm},
    {"short", &ExposureDose::fieldShortMm},
    {"kerma", &ExposureDose::incidentAirKermaMGy},
    {"primary", &ExposureDose::primaryAirKermaMGy},
    {"esd", &ExposureDose::entranceSurfaceDoseMGy},
    {"u", nullptr, &ExposureDose::expandedUncertaintyMGy},
    {"bsf", nullptr, &ExposureDose::backscatterFactor},
    {"hvl", nullptr, &ExposureDose::halfValueLayerMmAl},
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

ExposureDose doseReportValues(const engine::CalculationState& s) {
    ExposureDose d;
    d.kvp = s.tubeVoltageKv;
    d.exposureUAs = s.mAs * 1000;
    d.sourceToDetectorMm = s.ffdCm * 10;
    d.sourceToSkinMm = s.focusSkinDistanceCm * 10;
    d.aluminiumMm = (s.inherentFilterAlCm + s.addedFilterAlCm) * 10;
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

Expected<DoseReport> buildDoseReport(const DoseReportInput& in) {
    if (Status s = dicom::detail::prepareDcmtk(); !s.ok())
        return s.error();
    if (Status s = checkInput(in); !s.ok())
        return s.error();
    auto texts = reportTexts(in);
    if (!texts.ok())
        return texts.error();

    DoseReport report;
    report.studyInstanceUid =
        in.studyInstanceUid.empty() ? newUuidUid() : dicom::trimValue(in.studyInstanceUid);
    report.seriesInstanceUid = newUuidUid();
    report.sopInstanceUid = in.sopInstanceUid.empty() ? newUuidUid() : in.sopInstanceUid;
    const std::string recorderUid = in.recorder.uid.empty() ? derivedDeviceUid(in.recorder) : in.recorder.uid;
    const std::string created = in.contentDateTime.empty() ? nowDateTime() : in.contentDateTime;
    if (created.size() < 14 || !validDate(created.substr(0, 8)) || !validTime(created.substr(8)))
        return Error{"線量レポートの作成日時（" + created + "）が YYYYMMDDHHMMSS の形ではありません。"};

    DSRDocument doc(DSRTypes::DT_XRayRadiationDoseSR);
    doc.completeDocument();
    TreeWriter w(doc.getTree());
    auto set = [&w](const char* what, const OFCondition& c) { w.check(what, c); };
    set("Specific Character Set", doc.setSpecificCharacterSet(texts->characterSet.c_str()));
    set("Patient ID", doc.setPatientID(texts->patientId.c_str()));
    set("Patient's Name", doc.setPatientName(texts->patientName.c_str()));
    set("Patient's Birth Date", doc.setPatientBirthDate(in.patientBirthDate.c_str()));
    set("Patient's Sex", doc.setPatientSex(in.patientSex.c_str()));
    set("Study Date",
        doc.setStudyDate(in.studyDate.empty() ? in.exposureDate.c_str() : in.studyDate.c_str()));
    set("Study Time",
        doc.setStudyTime(in.studyDate.empty() ? in.exposureTime.c_str() : in.studyTime.c_str()));
    set("Study ID", doc.setStudyID(texts->studyId.c_str()));
    set("Accession Number", doc.setAccessionNumber(texts->accessionNumber.c_str()));
    set("Series Number", doc.setSeriesNumber("1"));
    set("Instance Number", doc.setInstanceNumber("1"));
    set("Series Description", doc.setSeriesDescription("X-Ray Radiation Dose Report"));
    set("Manufacturer", doc.setManufacturer(orUnknown(in.recorder.manufacturer).c_str()));
    set("Model Name", doc.setManufacturerModelName(orUnknown(in.recorder.modelName).c_str()));
    set("Serial Number", doc.setDeviceSerialNumber(orUnknown(in.recorder.serialNumber).c_str()));
    set("Software Versions", doc.setSoftwareVersions(orUnknown(in.softwareVersion).c_str()));
    set("Content Date", doc.setContentDate(created.substr(0, 8).c_str()));
    set("Content Time", doc.setContentTime(created.substr(8).c_str()));

    DSRDocumentTree& tree = doc.getTree();
    const size_t root = tree.addContentItem(DSRTypes::RT_isRoot, DSRTypes::VT_Container);
    if (root == 0)
        return dcmtkError("root", EC_IllegalCall);
    set("root", tree.getCurrentContentItem().setConceptName(CODE_DCM_XRayRadiationDoseReport));
    set("template", tree.getCurrentContentItem().setTemplateIdentification("10001", kDcmr, kDcmrUid));
    writeContent(w, root, in, report.studyInstanceUid, newUuidUid(), recorderUid);
    if (!w.status().ok())
        return w.status().error();
    if (!in.imageSopInstanceUid.empty())
        set("evidence", doc.getCurrentRequestedProcedureEvidence().addItem(
                            report.studyInstanceUid.c_str(), in.imageSeriesInstanceUid.c_str(),
                            in.imageSopClassUid.c_str(), in.imageSopInstanceUid.c_str()));
    if (!w.status().ok())
        return w.status().error();

    DcmFileFormat file;
    DcmDataset& data = *file.getDataset();
    if (OFCondition c = doc.write(data); c.bad())
        return dcmtkError("document", c);
    // The document's own UIDs come from DCMTK's root; the report's are UUID-based.
    for (const auto& [key, value] : {std::pair{DCM_StudyInstanceUID, report.studyInstanceUid},
                                     std::pair{DCM_SeriesInstanceUID, report.seriesInstanceUid},
                                     std::pair{DCM_SOPInstanceUID, report.sopInstanceUid}})
        if (OFCondition c = data.putAndInsertString(key, value.c_str()); c.bad())
            return dcmtkError("UID", c);
    if (!in.institutionName.empty())
        if (OFCondition c = data.putAndInsertString(DCM_InstitutionName, in.institutionName.c_str()); c.bad())
            return dcmtkError("Institution Name", c);
    auto bytes = detail::dicomFileBytes(file);
    if (!bytes.ok())
        return bytes.error();
    report.fileBytes = std::move(*bytes);
    return report;
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
        return Error{"画像（" + textio::fileNameUtf8(imageFile) + "）を読めません: " + c.text()};
    DcmDataset& d = *file.getDataset();
    DoseReportInput in;
    in.patientCharacterSet = headerString(d, DCM_SpecificCharacterSet);
    in.patientId = headerString(d, DCM_PatientID);
    in.patientName = headerString(d, DCM_PatientName);
    in.patientBirthDate = headerString(d, DCM_PatientBirthDate);
    in.patientSex = headerString(d, DCM_PatientSex);
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
                return Error{"装置の UID のファイル（" + textio::fileNameUtf8(file) +
                             "）の内容が UID ではありません。"};
            return uid;
        }
        std::error_code ec;
        fs::create_directories(nodeFolder, ec);
        auto created = textio::createFileAtomic(file, newUuidUid() + "\r\n");
        if (!created.ok())
            return created.error();
    }
    return Error{"装置の UID のファイル（" + textio::fileNameUtf8(file) + "）を読めません。"};
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
        return Error{"患者ID（" + patientId + "）では線量レポートのフォルダを作れません。"};
    const fs::path folder =
        textio::fileInFolder(textio::fileInFolder(workFolder, "線量レポート"), folderName);
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec)
        return Error{"線量レポートのフォルダ（" + textio::fileNameUtf8(folder) +
                     "）を作れません: " + textio::fileErrorReason(ec.value())};
    const fs::path file = textio::fileInFolder(folder, exposureDate + "_" + report.sopInstanceUid + ".dcm");
    auto created = textio::createFileAtomic(file, report.fileBytes);
    if (!created.ok())
        return created.error();
    return file;
}

} // namespace tamso::node
