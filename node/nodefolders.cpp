#include "node/nodefolders.h"

namespace tamso::node {

fs::path nodeFolder(const fs::path& workFolder) { return workFolder / "tamso-node"; }

} // namespace tamso::node
