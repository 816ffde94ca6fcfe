#pragma once
// Where the DICOM node keeps its files in the working folder. The node shares the working folder
// with the screens and tamso-calc (reference data, record files); its own files stand apart in one
// subfolder so that a site can back it up or clear it as a whole.

#include <filesystem>

namespace tamso::node {

namespace fs = std::filesystem;

// "<working folder>/tamso-node": the node's own files (received headers, held images, outbox).
fs::path nodeFolder(const fs::path& workFolder);

} // namespace tamso::node
