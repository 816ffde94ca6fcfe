#include "node/imageheader.h"

#include "dicom/dcmtksetup.h"
#include "dicom/dicomtext.h"
#include "textio/fileio.h"
#include "textio/numbertext.h"

#include <dcmtk/config/osconfig.h>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcmetinf.h>
#include <dcmtk/dcmdata/dcostrmb.h>
#include <dcmtk/dcmdata/dcuid.h>

namespace tamso::node {
namespace {

using dicom::detail::dcmtkFileName;

std::string value(DcmItem& item, const DcmTagKey& key) {
    OFString text;
    if (item.findAndGetOFStringArray(key, text).bad())
        return {};
    return dicom::trimValue(std::string_view(text.c_str(), text.length()));
}

dicom::Sourced<std::string> text(DcmItem& item, const DcmTagKey& key, const char* name,
                                 const std::string& characterSet, bool personName) {
    dicom::Sourced<std::string> result;
    std::string raw = value(item, key);
    if (personName)
        raw = raw.substr(0, raw.find('\\')); // the first of several names
    if (raw.empty()) {
        result.problem = std::string(name) + " がありません";
        return result;
    }
    auto utf8 = dicom::toUtf8(raw, characterSet);
    if (!utf8.ok()) {
        result.problem = std::string(name) + ": " + utf8.error().message();
        return result;
    }
    std::string shown = personName ? dicom::personNameForDisplay(*utf8) : dicom::trimValue(*utf8);
    if (shown.empty()) {
        result.problem = std::string(name) + " がありません";
        return result;
    }
    result.value = shown;
    result.source = name;
    return result;
}

Status loadHeader(DcmFileFormat& dicomFile, const fs::path& file) {
    if (auto ready = dicom::detail::prepareDcmtk(); !ready.ok())
        return ready;
    const OFCondition loaded = dicomFile.loadFileUntilTag(dcmtkFileName(file), EXS_Unknown, EGL_noChange,
                                                          DCM_MaxReadLength, ERM_autoDetect, DCM_PixelData);
    if (loaded.bad())
        return Error(ErrorCode::DicomUnreadable, {textio::fileNameUtf8(file), loaded.text()});
    return {};
}

} // namespace

const std::vector<std::string>& receivedSopClasses() {
    static const std::vector<std::string> classes = {UID_DigitalXRayImageStorageForPresentation,
                                                     UID_DigitalXRayImageStorageForProcessing,
                                                     UID_ComputedRadiographyImageStorage};
    return classes;
}

bool ImageIdentity::original() const {
    return imageType.empty() || imageType.front() != "DERIVED";
}

Expected<ImageIdentity> readImageIdentity(const fs::path& file) {
    DcmFileFormat dicomFile;
    if (auto e = loadHeader(dicomFile, file); !e.ok())
        return e.error();
    DcmDataset& data = *dicomFile.getDataset();
    ImageIdentity id;
    id.sopInstanceUid = value(data, DCM_SOPInstanceUID);
    id.sopClassUid = value(data, DCM_SOPClassUID);
    id.studyInstanceUid = value(data, DCM_StudyInstanceUID);
    id.seriesInstanceUid = value(data, DCM_SeriesInstanceUID);
    const std::string events = value(data, DCM_IrradiationEventUID);
    id.irradiationEventUid = events.substr(0, events.find('\\'));
    const std::string types = value(data, DCM_ImageType);
    for (size_t start = 0; !types.empty() && start <= types.size();) {
        const size_t end = std::min(types.find('\\', start), types.size());
        id.imageType.push_back(dicom::trimValue(std::string_view(types).substr(start, end - start)));
        start = end + 1;
    }
    const std::string characterSet = value(data, DCM_SpecificCharacterSet);
    id.operatorsName = text(data, DCM_OperatorsName, "OperatorsName (0008,1070)", characterSet, true);
    id.stationName = text(data, DCM_StationName, "StationName (0008,1010)", characterSet, false);
    id.modelName =
        text(data, DCM_ManufacturerModelName, "ManufacturerModelName (0008,1090)", characterSet, false);
    return id;
}

Expected<std::string> headerOnlyCopy(const fs::path& file, std::string* uid, std::string* sopClass) {
    DcmFileFormat dicomFile;
    if (auto e = loadHeader(dicomFile, file); !e.ok())
        return e.error();
    auto copy = headerOnlyCopy(*dicomFile.getDataset(), uid, sopClass);
    if (!copy.ok())
        return Error(ErrorCode::FileProblem, {textio::fileNameUtf8(file), copy.error().message()});
    return copy;
}

Expected<std::string> headerOnlyCopy(DcmDataset& data, std::string* uid, std::string* sopClass) {
    const std::string instance = value(data, DCM_SOPInstanceUID);
    if (instance.empty())
        return Error(ErrorCode::SopInstanceUidMissing);
    if (uid)
        *uid = instance;
    if (sopClass)
        *sopClass = value(data, DCM_SOPClassUID);
    // The file is made of the data set's attributes before the pixel data, with meta information
    // of its own (its transfer syntax is that of the copy).
    DcmFileFormat copy;
    DcmDataset& header = *copy.getDataset();
    for (unsigned long i = 0; i < data.card(); ++i) {
        DcmElement* element = data.getElement(i);
        if (element->getTag() >= DCM_PixelData)
            break;
        header.insert(OFstatic_cast(DcmElement*, element->clone()), OFTrue);
    }
    const E_TransferSyntax xfer = EXS_LittleEndianExplicit;
    copy.validateMetaInfo(xfer);
    const Uint32 length = copy.calcElementLength(xfer, EET_ExplicitLength);
    std::string bytes(static_cast<size_t>(length) + 4096, '\0');
    DcmOutputBufferStream out(bytes.data(), bytes.size());
    copy.transferInit();
    const OFCondition written = copy.write(out, xfer, EET_ExplicitLength, nullptr);
    copy.transferEnd();
    if (written.bad())
        return Error(ErrorCode::ImageHeaderNotWritten, {written.text()});
    void* buffer = nullptr;
    offile_off_t size = 0;
    out.flushBuffer(buffer, size);
    bytes.resize(static_cast<size_t>(size));
    return bytes;
}

} // namespace tamso::node
