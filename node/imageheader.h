#pragma once
// What the node reads from an image's header beyond the exposure (dicom/imageexposure.h): the
// image's identity, whether it is an original and who took it on which unit; and the header-only
// copy of a received image that the node keeps.

#include "dicom/imageexposure.h"
#include "textio/expected.h"

#include <filesystem>
#include <string>
#include <vector>

class DcmDataset;

namespace tamso::node {

namespace fs = std::filesystem;

// The storage classes the node receives: digital X-ray for presentation and for processing, and
// computed radiography.
const std::vector<std::string>& receivedSopClasses();

struct ImageIdentity {
    std::string sopInstanceUid;    // (0008,0018)
    std::string sopClassUid;       // (0008,0016)
    std::string studyInstanceUid;  // (0020,000D)
    std::string seriesInstanceUid; // (0020,000E)
    // (0008,3010), the exposure the image shows: the "for processing" and "for presentation"
    // images of one exposure share it.
    std::string irradiationEventUid;
    std::vector<std::string> imageType; // (0008,0008), its values
    // An original image: Image Type's first value ORIGINAL (an image without Image Type counts as
    // one); DERIVED copies (processed, re-sent by a workstation) are not.
    bool original() const;
    dicom::Sourced<std::string> operatorsName;  // (0008,1070), the first name as the program shows names
    dicom::Sourced<std::string> stationName;    // (0008,1010)
    dicom::Sourced<std::string> modelName;      // (0008,1090) Manufacturer's Model Name
};

// Reads the identity from a DICOM file's header (the reading stops before the pixel data).
Expected<ImageIdentity> readImageIdentity(const fs::path& file);

// The header of a DICOM file as a DICOM file of its own, without the pixel data (file meta
// information and every attribute before the pixel data, explicit VR little endian): what the node
// keeps of a received image. Fails when the file is no readable DICOM file or has no SOP Instance
// UID; `uid`, if given, gets the SOP Instance UID and `sopClass` the SOP Class UID.
Expected<std::string> headerOnlyCopy(const fs::path& file, std::string* uid = nullptr,
                                     std::string* sopClass = nullptr);
// The same for a data set received in memory; its pixel data is taken out of it.
Expected<std::string> headerOnlyCopy(DcmDataset& dataset, std::string* uid = nullptr,
                                     std::string* sopClass = nullptr);

} // namespace tamso::node
