#pragma once
// tamso-calc --pull: back-filling the records of a working folder from the hospital's PACS. The
// radiographs of a period (and of one patient) are found and their headers fetched (node/pull.h),
// then recorded through the node's own path (node::ImageProcessor: the same exactly-once rule and
// held list as the receiving service), their dose reports queued and sent as the working folder's
// tamso-node.conf asks.

#include <iosfwd>
#include <string>
#include <vector>

namespace tamso::calc {

// Exit status when the PACS cannot be reached or refuses the query or the retrieval.
constexpr int kExitPacsUnreachable = 3;

// Whether the arguments ask for the back-filling (they hold "--pull").
bool asksForPull(const std::vector<std::string>& args);

// The command: --pull AET@HOST:PORT --aet OURAET [--workdir DIR] [--from DATE] [--to DATE]
// [--patient ID]; arguments without the program name. Prints one line per image and a summary;
// returns the exit status.
int runPullCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// A date of --from and --to (2026/01/01, 2026-1-1 or 20260101) as YYYYMMDD; empty when it is none.
std::string pullDate(const std::string& text);

} // namespace tamso::calc
