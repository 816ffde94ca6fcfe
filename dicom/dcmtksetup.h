#pragma once
// For the code that uses DCMTK (the dicom folder and the node): what every use needs first, and
// file names as DCMTK takes them.

#include "textio/expected.h"

#include <dcmtk/config/osconfig.h>

#include <dcmtk/ofstd/offile.h>

#include <filesystem>

namespace tamso::dicom::detail {

// Quietens DCMTK's own log (its warnings would go to the standard error of the program; every
// failure is reported through Status instead) and checks that its data dictionary is loaded, without
// which the attributes of an image in implicit VR cannot be told apart. Cheap after the first call.
Status prepareDcmtk();

// A path as DCMTK opens it: the wide name on Windows (where DCMTK is built for wide file names), so
// that a Japanese folder name is opened whatever the code page; the path's bytes elsewhere.
OFFilename dcmtkFileName(const std::filesystem::path& file);

} // namespace tamso::dicom::detail
