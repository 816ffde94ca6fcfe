// tamso-node: the DICOM receiving service that computes and records each infant's dose as the
// images arrive (node/nodeservice.h).

#include "node/nodeconfig.h"
#include "node/nodelog.h"
#include "node/nodeplatform.h"
#include "node/nodeservice.h"

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <string>
#include <vector>

namespace {

const char* const kUsage =
    R"(tamso-node - DICOM receiving service: computes and records each infant's entrance surface dose
as the portable unit's (or the PACS's) images arrive

Usage:
  tamso-node --workdir DIR --port PORT --aet TITLE --allow AET[,AET...] [--config FILE] [options]
  tamso-node --help

Receives Digital X-Ray (for presentation and for processing) and Computed Radiography images by
C-STORE (and answers C-ECHO), keeps each image's header in DIR/tamso-node/inbox before it answers
Success, and records each original image's dose in the infant's record file of DIR exactly as the
report's Data Save does; images it cannot record soundly are held with their reason (the program's
"受信画像" window). Every image is listed in DIR/受信記録.csv.

With --forward, the X-Ray Radiation Dose report of each recorded exposure is queued in the durable
outbox DIR/tamso-node/outbox and sent by C-STORE to every destination (AET@HOST:PORT); a destination
that is down gets it later (after 30 s, then twice as long each time, up to an hour), across
restarts, until it acknowledges it. The node also sends what the screens' Data Save and tamso-calc
--pull queued there.

Options (each may also stand in the configuration file as "key = value"; the command line wins):
)";

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    for (const std::string& arg : args)
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            for (const auto& [key, text] : tamso::node::nodeConfigKeys())
                std::cout << "  --" << key << ' ' << text << '\n';
            std::cout << "\nStops cleanly on SIGTERM or Ctrl-C once the images acknowledged are recorded.\n"
                         "Exit status: 0 after a stop request; 2 when it cannot start or a port fails.\n";
            return 0;
        }
    auto config = tamso::node::readNodeConfig(args);
    if (!config.ok()) {
        std::cerr << "tamso-node: " << config.error().message() << '\n';
        return 2;
    }
    // For the tests of a destination that goes down and comes back: the wait between attempts in
    // seconds instead of 30 s growing to an hour. Not for sites (not in --help).
    if (const char* retry = std::getenv("TAMSO_NODE_TEST_RETRY_SECONDS")) {
        const long seconds = std::strtol(retry, nullptr, 10);
        if (seconds >= 1 && seconds <= 3600)
            config->outbox.firstRetry = config->outbox.longestRetry = std::chrono::seconds(seconds);
    }
    tamso::node::platform::installStopHandlers();
    std::mutex out;
    const tamso::node::NodeLogger log = [&out](const std::string& line) {
        // One entry per message, each of its lines stamped, written at once.
        const std::string entry = tamso::node::stampedLogEntry(tamso::node::platform::localTimeText(), line);
        std::lock_guard<std::mutex> lock(out);
        std::cerr << entry << std::flush;
    };
    return tamso::node::runNodeService(*config, log);
}
