#include "node/nodefolders.h"

#include "textio/fileio.h"

namespace tamso::node {

fs::path nodeFolder(const fs::path& workFolder) { return workFolder / "tamso-node"; }

fs::path serviceLockFile(const fs::path& workFolder) { return nodeFolder(workFolder) / "service.lock"; }

Status refuseLinks(const fs::path& workFolder) {
    const fs::path node = nodeFolder(workFolder);
    for (const fs::path& path :
         {node, node / "inbox", node / "held", node / "outbox", node / "images.log", node / "images.log.lock",
          node / "journal", node / "service.lock", textio::fileInFolder(workFolder, "受信記録.csv")}) {
        std::error_code ec;
        if (fs::is_symlink(fs::symlink_status(path, ec)))
            return Error(ErrorCode::NodeLinkRefused, {textio::pathUtf8(path)});
    }
    return {};
}

} // namespace tamso::node
