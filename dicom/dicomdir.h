#pragma once
// The image records of a DICOMDIR, the directory of a DICOM medium: the files it lists, each
// resolved inside the DICOMDIR's own folder or refused with the reason. readHeader
// (dicom/imageexposure.h) gives them for a DICOMDIR it reads; every way in walks them from there.

#include "textio/expected.h"

#include <filesystem>
#include <string>
#include <vector>

namespace tamso::dicom {

namespace fs = std::filesystem;

// One image record of a DICOMDIR.
struct DicomDirEntry {
    std::string fileId;  // Referenced File ID (0004,1500) as written, components joined by "/"
    fs::path path;       // the regular file it names, resolved in the DICOMDIR's folder; empty if refused
    std::string problem; // why it is not opened, naming the file ID (Japanese), empty if it may be
};

// The image records of a DICOMDIR: its IMAGE records in use, in the order they stand, each
// Referenced File ID resolved against the DICOMDIR's folder (component by component without
// regard to case where the exact name does not exist, as media written on other systems need; each
// folder is listed once). Only a regular file inside the DICOMDIR's own folder tree is opened: a
// file ID with "..", an absolute or drive path, a link leading out of the folder, a device, a FIFO
// or a folder is refused with the reason, as is a file that does not exist. Fails, naming the
// file, when it cannot be read or is no DICOMDIR.
Expected<std::vector<DicomDirEntry>> dicomDirEntries(const fs::path& dicomDir);

// The files of the records dicomDirEntries may open, in order.
Expected<std::vector<fs::path>> dicomDirImages(const fs::path& dicomDir);

} // namespace tamso::dicom
