#include "node/dosereport.h"

#include "dicom/dcmtksetup.h"
#include "dicom/dicomtext.h"
#include "engine/calculationstate.h"
#include "node/dicomfilebytes.h"
#include "node/dosereportdetail.h"
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
// Filter materials (X-Ray Filter Materials), in SNOMED CT.
const DSRCodedEntryValue kAluminium("12503006", "SCT", "Aluminum or Aluminum compound");
const DSRCodedEntryValue kCopper("5540006", "SCT", "Copper or Copper compound");

DSRCodedEntryValue ucum(const char* unit) {
    return DSRCodedEntryValue(unit, "UCUM", unit);
}
const DSRCodedEntryValue kNoUnits("1", "UCUM", "no units");

using namespace detail;

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
    return Error(ErrorCode::DoseReportNotMade, {what, condition.text()});
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

// The filters in the beam: the added aluminium and copper as flat filters, "No filter" where none
// was added. The tube's inherent filtration is no filter put into the beam: the event's comment
// states it with the half-value layer.
void writeFilters(TreeWriter& w, size_t event, const ExposureDose& d) {
    using T = DSRTypes;
    const double addedAluminium = std::max(0.0, d.aluminiumMm - d.inherentAluminiumMm.value_or(0));
    const std::pair<double, const DSRCodedEntryValue*> filters[] = {{addedAluminium, &kAluminium},
                                                                    {d.copperMm, &kCopper}};
    bool any = false;
    for (const auto& [thickness, material] : filters) {
        if (!(thickness > 1e-9))
            continue;
        any = true;
        const size_t filter = w.container(event, T::RT_contains, CODE_DCM_XRayFilters);
        w.code(filter, T::RT_contains, CODE_DCM_XRayFilterType, CODE_DCM_FlatFilter);
        w.code(filter, T::RT_contains, CODE_DCM_XRayFilterMaterial, *material);
        w.number(filter, CODE_DCM_XRayFilterThicknessMinimum, thickness, ucum("mm"));
        w.number(filter, CODE_DCM_XRayFilterThicknessMaximum, thickness, ucum("mm"));
    }
    if (!any) {
        const size_t filter = w.container(event, T::RT_contains, CODE_DCM_XRayFilters);
        w.code(filter, T::RT_contains, CODE_DCM_XRayFilterType, CODE_DCM_NoFilter);
    }
}

// One irradiation event: the exposure.
void writeEvent(TreeWriter& w, size_t root, const DoseReportInput& in, const std::string& eventUid) {
    using T = DSRTypes;
    const ExposureDose& d = in.dose;
    const EventValues v = eventValues(d);
    const size_t event = w.container(root, T::RT_contains, CODE_DCM_IrradiationEventXRayData);
    w.code(event, T::RT_hasConceptMod, CODE_DCM_AcquisitionPlane, CODE_DCM_SinglePlane);
    w.uid(event, T::RT_contains, CODE_DCM_IrradiationEventUID, eventUid);
    w.dateTime(event, CODE_DCM_DateTimeStarted, in.exposureDate + in.exposureTime);
    w.code(event, T::RT_contains, CODE_DCM_IrradiationEventType, CODE_DCM_StationaryAcquisition_113611);
    if (!in.bodyPart.empty())
        w.text(event, T::RT_contains, CODE_DCM_AcquisitionProtocol, in.bodyPart);
    if (!in.targetRegion.empty())
        w.code(event, T::RT_contains, CODE_DCM_TargetRegion,
               DSRCodedEntryValue(in.targetRegion.code.c_str(), "SCT", in.targetRegion.meaning.c_str()));
    w.number(event, CODE_DCM_DoseAreaProduct, v.dapGyM2, ucum("Gy.m2"));
    // Mechanical data: the distances.
    w.number(event, CODE_DCM_DistanceSourceToDetector, d.sourceToDetectorMm, ucum("mm"));
    w.number(event, CODE_DCM_DistanceSourceToReferencePoint, d.sourceToSkinMm, ucum("mm"));
    // Source data.
    w.number(event, CODE_DCM_Dose_RP, v.doseRpGy, ucum("Gy"));
    w.text(event, T::RT_contains, CODE_DCM_ReferencePointDefinition, referencePointDefinition(d.sourceToSkinMm));
    if (d.exposureTimeMs) {
        w.number(event, CODE_DCM_IrradiationDuration, *d.exposureTimeMs / 1000, ucum("s"));
        w.number(event, CODE_DCM_ExposureTime, *d.exposureTimeMs, ucum("ms"));
    }
    if (d.tubeCurrentMa)
        w.number(event, CODE_DCM_AverageXRayTubeCurrent, *d.tubeCurrentMa, ucum("mA"));
    w.number(event, CODE_DCM_CollimatedFieldArea, v.fieldAreaM2, ucum("m2"));
    w.number(event, CODE_DCM_CollimatedFieldHeight, d.fieldLongMm, ucum("mm"));
    w.number(event, CODE_DCM_CollimatedFieldWidth, d.fieldShortMm, ucum("mm"));
    writeFilters(w, event, d);
    w.number(event, CODE_DCM_KVP, d.kvp, ucum("kV"));
    if (d.tubeCurrentMa)
        w.number(event, CODE_DCM_XRayTubeCurrent, *d.tubeCurrentMa, ucum("mA"));
    w.number(event, CODE_DCM_Exposure, d.exposureUAs, ucum("uA.s"));
    if (d.effectiveDoseUSv)
        w.number(event, CODE_DCM_EffectiveDose, *d.effectiveDoseUSv / 1000, ucum("mSv"));
    w.text(event, T::RT_contains, CODE_DCM_Comment, eventComment(in));
    if (!in.imageSopInstanceUid.empty())
        w.image(event, CODE_DCM_AcquiredImage, in.imageSopClassUid, in.imageSopInstanceUid);
    if (!in.operatorName.empty()) {
        const size_t person = w.personName(event, CODE_DCM_PersonName, in.operatorName);
        w.code(person, T::RT_hasProperties, CODE_DCM_PersonRoleInProcedure,
               CODE_DCM_IrradiationAdministering);
    }
}

// Everything the tree holds, below the root container: the report's context from the first
// exposure, the accumulated dose of them all, one event each (with its UID, in `eventUids`).
void writeContent(TreeWriter& w, size_t root, const std::vector<DoseReportInput>& exposures,
                  const std::vector<std::string>& eventUids, const std::string& studyUid,
                  const std::string& recorderUid) {
    using T = DSRTypes;
    const DoseReportInput& in = exposures.front();

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

    // Accumulated dose: the sum over the exposures of the report.
    double dapTotal = 0, doseRpTotal = 0;
    std::optional<double> oneDistance = in.dose.sourceToSkinMm;
    for (const DoseReportInput& e : exposures) {
        const EventValues v = eventValues(e.dose);
        dapTotal += v.dapGyM2;
        doseRpTotal += v.doseRpGy;
        if (oneDistance && e.dose.sourceToSkinMm != *oneDistance)
            oneDistance.reset();
    }
    const size_t accumulated = w.container(root, T::RT_contains, CODE_DCM_AccumulatedXRayDoseData);
    w.code(accumulated, T::RT_hasConceptMod, CODE_DCM_AcquisitionPlane, CODE_DCM_SinglePlane);
    if (integrated) {
        w.number(accumulated, CODE_DCM_DoseAreaProductTotal, dapTotal, ucum("Gy.m2"));
        w.number(accumulated, CODE_DCM_Dose_RP_Total, doseRpTotal, ucum("Gy"));
    }
    w.number(accumulated, CODE_DCM_TotalNumberOfRadiographicFrames, static_cast<double>(exposures.size()),
             kNoUnits);
    if (integrated) {
        if (oneDistance)
            w.number(accumulated, CODE_DCM_DistanceSourceToReferencePoint, *oneDistance, ucum("mm"));
        w.text(accumulated, T::RT_contains, CODE_DCM_ReferencePointDefinition,
               referencePointDefinition(oneDistance));
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

    for (std::size_t i = 0; i < exposures.size(); ++i)
        writeEvent(w, root, exposures[i], eventUids[i]);

    // Where the values come from: each source once.
    bool said[2] = {false, false};
    for (const DoseReportInput& e : exposures) {
        const bool manual = e.source == DoseSource::ManualEntry;
        if (!said[manual])
            w.code(root, T::RT_contains, CODE_DCM_SourceOfDoseInformation,
                   manual ? CODE_DCM_ManualEntry : CODE_DCM_ComputedFromImageAttributes);
        said[manual] = true;
    }
}

// The document's attributes: patient, study, series, this program as its maker, its creation.
void writeAttributes(DSRDocument& doc, TreeWriter& w, const DoseReportInput& in, const ReportTexts& texts,
                     const std::string& created) {
    auto set = [&w](const char* what, const OFCondition& c) { w.check(what, c); };
    set("Specific Character Set", doc.setSpecificCharacterSet(texts.characterSet.c_str()));
    set("Patient ID", doc.setPatientID(texts.patientId.c_str()));
    set("Patient's Name", doc.setPatientName(texts.patientName.c_str()));
    set("Patient's Birth Date", doc.setPatientBirthDate(in.patientBirthDate.c_str()));
    set("Patient's Sex", doc.setPatientSex(in.patientSex.c_str()));
    set("Study Date",
        doc.setStudyDate(in.studyDate.empty() ? in.exposureDate.c_str() : in.studyDate.c_str()));
    set("Study Time",
        doc.setStudyTime(in.studyDate.empty() ? in.exposureTime.c_str() : in.studyTime.c_str()));
    set("Study ID", doc.setStudyID(texts.studyId.c_str()));
    set("Accession Number", doc.setAccessionNumber(texts.accessionNumber.c_str()));
    set("Series Number", doc.setSeriesNumber("1"));
    set("Instance Number", doc.setInstanceNumber("1"));
    set("Series Description", doc.setSeriesDescription("X-Ray Radiation Dose Report"));
    set("Manufacturer", doc.setManufacturer(orUnknown(in.recorder.manufacturer).c_str()));
    set("Model Name", doc.setManufacturerModelName(orUnknown(in.recorder.modelName).c_str()));
    set("Serial Number", doc.setDeviceSerialNumber(orUnknown(in.recorder.serialNumber).c_str()));
    set("Software Versions", doc.setSoftwareVersions(orUnknown(in.softwareVersion).c_str()));
    set("Content Date", doc.setContentDate(created.substr(0, 8).c_str()));
    set("Content Time", doc.setContentTime(created.substr(8).c_str()));
}

// What the data set holds beside the document: the report's own UIDs, the institution and the
// patient's characteristics.
Status writeDatasetAttributes(DcmDataset& data, const DoseReport& report, const DoseReportInput& in) {
    // The document's own UIDs come from DCMTK's root; the report's are UUID-based.
    for (const auto& [key, value] : {std::pair{DCM_StudyInstanceUID, report.studyInstanceUid},
                                     std::pair{DCM_SeriesInstanceUID, report.seriesInstanceUid},
                                     std::pair{DCM_SOPInstanceUID, report.sopInstanceUid}})
        if (OFCondition c = data.putAndInsertString(key, value.c_str()); c.bad())
            return dcmtkError("UID", c);
    if (!in.institutionName.empty())
        if (OFCondition c = data.putAndInsertString(DCM_InstitutionName, in.institutionName.c_str()); c.bad())
            return dcmtkError("Institution Name", c);
    // The patient's characteristics at the study (Patient Study module), where the image states them
    // in a form the attributes take.
    if (validAge(in.patientAge))
        if (OFCondition c = data.putAndInsertString(DCM_PatientAge, in.patientAge.c_str()); c.bad())
            return dcmtkError("Patient's Age", c);
    if (validWeight(in.patientWeightKg))
        if (OFCondition c = data.putAndInsertString(DCM_PatientWeight, in.patientWeightKg.c_str()); c.bad())
            return dcmtkError("Patient's Weight", c);
    return {};
}

} // namespace

Expected<DoseReport> buildDoseReport(const DoseReportInput& in) {
    return buildStudyDoseReport({in});
}

Expected<DoseReport> buildStudyDoseReport(std::vector<DoseReportInput> exposures) {
    if (Status s = dicom::detail::prepareDcmtk(); !s.ok())
        return s.error();
    // The report's own UID and creation are the first exposure's, whatever the order of the events.
    const std::string ownUid = exposures.empty() ? std::string() : exposures.front().sopInstanceUid;
    auto eventUids = checkExposures(exposures);
    if (!eventUids.ok())
        return eventUids.error();
    DoseReportInput& in = exposures.front();
    in.sopInstanceUid = ownUid;
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
        return Error(ErrorCode::DoseReportCreatedBad, {created});

    DSRDocument doc(DSRTypes::DT_XRayRadiationDoseSR);
    doc.completeDocument();
    TreeWriter w(doc.getTree());
    writeAttributes(doc, w, in, *texts, created);
    auto set = [&w](const char* what, const OFCondition& c) { w.check(what, c); };

    DSRDocumentTree& tree = doc.getTree();
    const size_t root = tree.addContentItem(DSRTypes::RT_isRoot, DSRTypes::VT_Container);
    if (root == 0)
        return dcmtkError("root", EC_IllegalCall);
    set("root", tree.getCurrentContentItem().setConceptName(CODE_DCM_XRayRadiationDoseReport));
    set("template", tree.getCurrentContentItem().setTemplateIdentification("10001", kDcmr, kDcmrUid));
    writeContent(w, root, exposures, *eventUids, report.studyInstanceUid, recorderUid);
    if (!w.status().ok())
        return w.status().error();
    for (const DoseReportInput& e : exposures)
        if (!e.imageSopInstanceUid.empty())
            set("evidence", doc.getCurrentRequestedProcedureEvidence().addItem(
                                report.studyInstanceUid.c_str(), e.imageSeriesInstanceUid.c_str(),
                                e.imageSopClassUid.c_str(), e.imageSopInstanceUid.c_str()));
    if (!w.status().ok())
        return w.status().error();

    DcmFileFormat file;
    DcmDataset& data = *file.getDataset();
    if (OFCondition c = doc.write(data); c.bad())
        return dcmtkError("document", c);
    if (Status s = writeDatasetAttributes(data, report, in); !s.ok())
        return s.error();
    auto bytes = detail::dicomFileBytes(file);
    if (!bytes.ok())
        return bytes.error();
    report.fileBytes = std::move(*bytes);
    return report;
}

} // namespace tamso::node
