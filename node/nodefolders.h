#pragma once
// Where the DICOM node keeps its files in the working folder. The node shares the working folder
// with the screens and tamso-calc (reference data, record files); its own files stand apart in one
// subfolder so that a site can back it up or clear it as a whole.

#include "textio/expected.h"

#include <filesystem>

namespace tamso::node {

namespace fs = std::filesystem;

// "<working folder>/tamso-node": the node's own files (received headers, held images, outbox).
fs::path nodeFolder(const fs::path& workFolder);

// The node never writes through a link: fails, naming it, where its folder, inbox, held images,
// outbox, log, journal, locks or the receipt log "受信記録.csv" is a symbolic link (or, on Windows,
// a junction or other reparse point).
Status refuseLinks(const fs::path& workFolder);

// The lock of the service on the working folder ("tamso-node/service.lock", holding the process id).
fs::path serviceLockFile(const fs::path& workFolder);

} // namespace tamso::node
