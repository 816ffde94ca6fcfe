#include "dicomtestfiles.h"

#include <dcmtk/dcmdata/dcddirif.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/oflog/oflog.h>

#include <stdexcept>
#include <vector>

namespace tamso::test {

namespace {

void check(const OFCondition& condition, const std::string& what) {
    if (condition.bad())
        throw std::runtime_error(what + ": " + condition.text());
}

std::string newUid() {
    char uid[100];
    return dcmGenerateUniqueIdentifier(uid, SITE_INSTANCE_UID_ROOT);
}

} // namespace

DicomImage::DicomImage() : file_(std::make_unique<DcmFileFormat>()) {
    DcmDataset& d = *file_->getDataset();
    const std::string study = newUid();
    check(d.putAndInsertString(DCM_SOPClassUID, UID_DigitalXRayImageStorageForPresentation), "SOP class");
    check(d.putAndInsertString(DCM_SOPInstanceUID, newUid().c_str()), "SOP instance");
    check(d.putAndInsertString(DCM_StudyInstanceUID, study.c_str()), "study");
    check(d.putAndInsertString(DCM_SeriesInstanceUID, newUid().c_str()), "series");
    const struct {
        DcmTagKey key;
        const char* value;
    } values[] = {{DCM_Modality, "DX"},
                  {DCM_PatientID, "N-0001"},
                  {DCM_PatientName, "Yamada^Hanako"},
                  {DCM_PatientBirthDate, "20240420"},
                  {DCM_PatientSex, "F"},
                  {DCM_StudyDate, "20240430"},
                  {DCM_StudyTime, "101500"},
                  {DCM_StudyID, "1"},
                  {DCM_AccessionNumber, "A1"},
                  {DCM_ReferringPhysicianName, ""},
                  {DCM_SeriesNumber, "1"},
                  {DCM_InstanceNumber, "1"},
                  {DCM_AcquisitionDate, "20240501"},
                  {DCM_KVP, "60"},
                  {DCM_ExposureInuAs, "1600"},
                  {DCM_DistanceSourceToDetector, "1000"},
                  {DCM_BodyPartExamined, "CHEST"},
                  {DCM_ViewPosition, "AP"},
                  {DCM_ImageType, "ORIGINAL\\PRIMARY"},
                  {DCM_PhotometricInterpretation, "MONOCHROME2"},
                  {DCM_PresentationIntentType, "FOR PRESENTATION"}};
    for (const auto& v : values)
        check(d.putAndInsertString(v.key, v.value), "attribute");
    pixels(8, 8);
}

DicomImage::~DicomImage() = default;
DicomImage::DicomImage(const DicomImage& other) : file_(std::make_unique<DcmFileFormat>(*other.file_)) {}
DicomImage& DicomImage::operator=(const DicomImage& other) {
    file_ = std::make_unique<DcmFileFormat>(*other.file_);
    return *this;
}

DicomImage& DicomImage::set(const DcmTagKey& key, const std::string& bytes) {
    check(file_->getDataset()->putAndInsertOFStringArray(key, OFString(bytes.data(), bytes.size())), "set");
    return *this;
}

DicomImage& DicomImage::setDouble(const DcmTagKey& key, double value) {
    check(file_->getDataset()->putAndInsertFloat64(key, value), "setDouble");
    return *this;
}

DicomImage& DicomImage::remove(const DcmTagKey& key) {
    file_->getDataset()->findAndDeleteElement(key);
    return *this;
}

DicomImage& DicomImage::makeCt() {
    set(DCM_Modality, "CT");
    set(DCM_SOPClassUID, UID_CTImageStorage);
    return *this;
}

DicomImage& DicomImage::pixels(unsigned rows, unsigned columns) {
    DcmDataset& d = *file_->getDataset();
    check(d.putAndInsertUint16(DCM_Rows, static_cast<Uint16>(rows)), "rows");
    check(d.putAndInsertUint16(DCM_Columns, static_cast<Uint16>(columns)), "columns");
    check(d.putAndInsertUint16(DCM_SamplesPerPixel, 1), "samples");
    check(d.putAndInsertUint16(DCM_BitsAllocated, 16), "bits");
    check(d.putAndInsertUint16(DCM_BitsStored, 12), "bits stored");
    check(d.putAndInsertUint16(DCM_HighBit, 11), "high bit");
    check(d.putAndInsertUint16(DCM_PixelRepresentation, 0), "representation");
    std::vector<Uint16> values(static_cast<size_t>(rows) * columns);
    for (size_t k = 0; k < values.size(); ++k)
        values[k] = static_cast<Uint16>(k & 0x0FFF);
    check(d.putAndInsertUint16Array(DCM_PixelData, values.data(), static_cast<unsigned long>(values.size())),
          "pixels");
    return *this;
}

void DicomImage::save(const fs::path& file, bool implicitVrWithoutHeader) const {
    DcmFileFormat copy(*file_);
    if (implicitVrWithoutHeader)
        check(copy.getDataset()->saveFile(file.string().c_str(), EXS_LittleEndianImplicit),
              "save " + file.string());
    else
        check(copy.saveFile(file.string().c_str(), EXS_LittleEndianExplicit), "save " + file.string());
}

void writeDicomDir(const fs::path& folder, const std::vector<std::string>& relativeImagePaths) {
    OFLog::configure(OFLogger::OFF_LOG_LEVEL); // failures are thrown with their text
    DicomDirInterface dicomDir;
    dicomDir.enableInventMode(OFTrue);
    dicomDir.disableBackupMode();
    const std::string dirFile = (folder / "DICOMDIR").string();
    check(dicomDir.createNewDicomDir(DicomDirInterface::AP_GeneralPurpose, dirFile.c_str(), "TAMSO_TEST"),
          "create DICOMDIR");
    for (const std::string& image : relativeImagePaths)
        check(dicomDir.addDicomFile(image.c_str(), folder.string().c_str()), "add " + image);
    check(dicomDir.writeDicomDir(), "write DICOMDIR");
}

} // namespace tamso::test
