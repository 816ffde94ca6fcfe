#include "dicom/imageexposure.h"

#include "dicom/dcmtksetup.h"
#include "dicom/dicomtext.h"
#include "dicom/headerscan.h"
#include "dicom/headervalues.h"
#include "textio/fileio.h"

#include <dcmtk/config/osconfig.h>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcmetinf.h>
#include <dcmtk/dcmdata/dcsequen.h>
#include <dcmtk/dcmdata/dcuid.h>

#include <exception>

namespace tamso::dicom {

using namespace detail;

namespace {

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
            e.patientName.absent = true;
        }
    }
    if (e.patientId.has() && e.patientId.value->empty()) {
        e.patientId.value.reset();
        e.patientId.problem = "PatientID (0010,0020) がありません";
        e.patientId.absent = true;
    }
    e.fieldSize = readCollimatedField(data);

    std::vector<std::string> problems;
    auto bodyText = [&](const DcmTagKey& key, const char* name) {
        Sourced<std::string> text = readText(data, key, name, characterSet);
        if (!text.has() && !text.absent)
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

HeaderReading readHeaderOnce(const fs::path& file) {
    HeaderReading reading;
    const std::string name = fileLabel(file);
    if (auto ready = detail::prepareDcmtk(); !ready.ok()) {
        reading.fail(ready.error());
        return reading;
    }
    std::error_code ec;
    if (!fs::is_regular_file(file, ec) || !textio::canOpenForReading(file)) {
        reading.fail(Error(ErrorCode::DicomFileCannotOpen, {name}));
        return reading;
    }
    // The structure first, so that DCMTK never sees a file that would exhaust its stack or memory.
    const detail::HeaderCheck check = detail::checkHeaderStructure(file);
    if (check.verdict == detail::HeaderCheck::Verdict::NotDicom) {
        reading.kind = FileKind::NotDicom;
        reading.fail(Error(ErrorCode::DicomNotDicom, {name}));
        return reading;
    }
    if (check.verdict == detail::HeaderCheck::Verdict::Refused) {
        reading.fail(Error(ErrorCode::DicomUnreadable, {name, check.reason}));
        return reading;
    }
    DcmFileFormat dicom;
    const OFCondition loaded = dicom.loadFileUntilTag(dcmtkFileName(file), EXS_Unknown, EGL_noChange,
                                                      kMaxReadLength, ERM_autoDetect, DCM_PixelData);
    if (loaded.bad()) {
        reading.fail(Error(ErrorCode::DicomUnreadable, {name, loaded.text()}));
        return reading;
    }
    DcmDataset& data = *dicom.getDataset();
    std::string sopClass = rawValue(data, DCM_SOPClassUID).value_or(std::string());
    if (sopClass.empty())
        sopClass = rawValue(*dicom.getMetaInfo(), DCM_MediaStorageSOPClassUID).value_or(std::string());
    const std::string modality = rawValue(data, DCM_Modality).value_or(std::string());
    if (isDirectory(dicom)) {
        reading.kind = FileKind::DicomDir;
        reading.fail(Error(ErrorCode::DicomIsDicomDir, {name}));
        reading.dicomDirEntries = readDicomDirEntries(data, file);
        return reading;
    }
    if (sopClass.empty() && modality.empty()) {
        reading.kind = check.fileMeta ? FileKind::Unreadable : FileKind::NotDicom;
        reading.fail(check.fileMeta ? Error(ErrorCode::DicomNoClassNorModality, {name})
                                    : Error(ErrorCode::DicomNotDicom, {name}));
        return reading;
    }
    reading.exposure.modality = modality;
    reading.exposure.sopClassUid = sopClass;
    if (!isRadiograph(modality, sopClass)) {
        reading.kind = FileKind::NotRadiograph;
        reading.fail(modality.empty() ? Error(ErrorCode::DicomNotRadiographNoModality, {name})
                                      : Error(ErrorCode::DicomNotRadiograph, {name, modality}));
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
        reading.fail(Error(ErrorCode::DicomUnreadable, {fileLabel(file), e.what()}));
        return reading;
    }
}

Expected<ImageExposure> readImageExposure(const fs::path& file) {
    HeaderReading reading = readHeader(file);
    if (reading.kind != FileKind::Radiograph)
        return reading.error;
    return std::move(reading.exposure);
}

} // namespace tamso::dicom
