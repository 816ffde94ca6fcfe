#pragma once
// The receiving service as a whole: one listening pool per port (plain, TLS), one processing thread
// that takes the inbox's images in the order they were acknowledged, until the stop request
// (platform::requestStop: SIGTERM, Ctrl-C). Stopping: no new association, new C-STOREs end their
// association unacknowledged, the associations in progress end (at the latest after the DIMSE
// timeout), and every image acknowledged is processed before the service returns.

#include "node/imageprocessor.h"
#include "node/nodeconfig.h"

namespace tamso::node {

// Runs the service; returns 0 after a stop request, else (a port that cannot be opened, reference
// data that cannot be read, a TLS certificate that does not load) logs why and returns 2.
// `recorded`, if given, is called for each image recorded (see RecordedHook).
int runNodeService(const NodeConfig& config, const NodeLogger& log, RecordedHook recorded = {});

} // namespace tamso::node
