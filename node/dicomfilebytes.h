#pragma once
// Inside the node only: a DICOM file (with its meta header) as bytes in memory, explicit VR little
// endian, so that it can be written atomically with the rest of the program's files.

#include "textio/expected.h"

#include <string>

class DcmFileFormat;

namespace tamso::node::detail {

// The file's bytes; the meta header is completed (SOP class and instance from the dataset, the
// transfer syntax) first.
Expected<std::string> dicomFileBytes(DcmFileFormat& file);

} // namespace tamso::node::detail
