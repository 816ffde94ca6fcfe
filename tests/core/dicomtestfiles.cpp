#include "dicomtestfiles.h"

#include <dcmtk/dcmdata/dcddirif.h>
#include <dcmtk/dcmdata/dcmetinf.h>
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

DicomImage& DicomImage::setDoubles(const DcmTagKey& key, const double* values, unsigned long count) {
    check(file_->getDataset()->putAndInsertFloat64Array(key, values, count), "setDoubles");
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

void writeDicomDirWithFileIds(const fs::path& dicomDir, const std::vector<std::string>& fileIds) {
    DcmFileFormat file;
    DcmDataset& d = *file.getDataset();
    check(
        file.getMetaInfo()->putAndInsertString(DCM_MediaStorageSOPClassUID, UID_MediaStorageDirectoryStorage),
        "storage class");
    check(d.putAndInsertString(DCM_FileSetID, "TAMSO_TEST"), "file set");
    for (const std::string& id : fileIds) {
        auto* record = new DcmItem();
        check(record->putAndInsertString(DCM_DirectoryRecordType, "IMAGE"), "record type");
        check(record->putAndInsertUint16(DCM_RecordInUseFlag, 0xFFFF), "in use");
        check(record->putAndInsertOFStringArray(DCM_ReferencedFileID, OFString(id.data(), id.size())),
              "file ID");
        check(d.insertSequenceItem(DCM_DirectoryRecordSequence, record), "record");
    }
    check(file.saveFile(dicomDir.string().c_str(), EXS_LittleEndianExplicit), "save " + dicomDir.string());
}

namespace raw {

namespace {

std::string word(std::uint16_t v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}
std::string doubleWord(std::uint32_t v) {
    return word(static_cast<std::uint16_t>(v & 0xFFFF)) + word(static_cast<std::uint16_t>(v >> 16));
}
std::string evenLength(std::string value) {
    if (value.size() % 2)
        value += '\0';
    return value;
}

} // namespace

std::string element(std::uint16_t group, std::uint16_t elementNumber, const char* vr,
                    const std::string& value, std::optional<std::uint32_t> length) {
    const std::string v = std::string(vr);
    const bool wide = v == "OB" || v == "OW" || v == "SQ" || v == "UN" || v == "UT" || v == "UC" || v == "UR";
    const std::uint32_t declared = length.value_or(static_cast<std::uint32_t>(value.size()));
    return word(group) + word(elementNumber) + v +
           (wide ? word(0) + doubleWord(declared) : word(static_cast<std::uint16_t>(declared))) + value;
}

std::string fileMeta(const std::string& transferSyntax, const std::string& extra) {
    const std::string body =
        element(0x0002, 0x0001, "OB", std::string("\0\1", 2)) +
        element(0x0002, 0x0002, "UI", evenLength(UID_DigitalXRayImageStorageForPresentation)) +
        element(0x0002, 0x0003, "UI", evenLength("1.2.3.4.5")) +
        element(0x0002, 0x0010, "UI", evenLength(transferSyntax)) + extra;
    return std::string(128, '\0') + "DICM" +
           element(0x0002, 0x0000, "UL", doubleWord(static_cast<std::uint32_t>(body.size()))) + body;
}

std::string radiographStart() {
    return element(0x0008, 0x0016, "UI", evenLength(UID_DigitalXRayImageStorageForPresentation)) +
           element(0x0008, 0x0060, "CS", "DX") + element(0x0018, 0x0060, "DS", "60");
}

std::string nestedSequences(int depth, bool definedLength) {
    const std::string itemEnd = word(0xFFFE) + word(0xE00D) + doubleWord(0);
    const std::string sequenceEnd = word(0xFFFE) + word(0xE0DD) + doubleWord(0);
    if (!definedLength) {
        std::string open, close;
        for (int k = 0; k < depth; ++k) {
            open += element(0x0008, 0x1115, "SQ", "", 0xFFFFFFFF) + word(0xFFFE) + word(0xE000) +
                    doubleWord(0xFFFFFFFF);
            close += itemEnd + sequenceEnd;
        }
        return open + close;
    }
    std::string inner;
    for (int k = 0; k < depth; ++k) {
        const std::string item =
            word(0xFFFE) + word(0xE000) + doubleWord(static_cast<std::uint32_t>(inner.size())) + inner;
        inner = element(0x0008, 0x1115, "SQ", item);
    }
    return inner;
}

} // namespace raw

} // namespace tamso::test
