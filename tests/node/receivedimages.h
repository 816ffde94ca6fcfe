#pragma once
// Helpers for the DICOM node's tests: a working folder with the shipped reference data and images
// of given infants.

#include "dicomtestfiles.h"
#include "testsupport.h"

#include <dcmtk/dcmdata/dcuid.h>

#include <filesystem>
#include <string>

namespace tamso::test {

// Copies the shipped working-folder files (data/, without its README) into the folder.
inline void copyShippedData(const fs::path& folder) {
    for (const auto& entry : fs::directory_iterator(fs::path(TAMSO_SOURCE_DIR) / "data"))
        if (entry.path().filename() != "README.md")
            fs::copy_file(entry.path(), folder / entry.path().filename(),
                          fs::copy_options::overwrite_existing);
}

// A new UID under DCMTK's test root.
inline std::string newUid() {
    char uid[100];
    return dcmGenerateUniqueIdentifier(uid, SITE_INSTANCE_UID_ROOT);
}

// The default DX chest image (60 kV, 1.6 mAs, SID 1000 mm) of an infant, with its own UID.
inline DicomImage infantImage(const std::string& id, const std::string& name,
                              const std::string& uid = newUid()) {
    DicomImage image;
    image.set(DCM_PatientID, id).set(DCM_PatientName, name).set(DCM_SOPInstanceUID, uid);
    return image;
}

} // namespace tamso::test
