#pragma once
// The node's log: each message one entry, every line of it stamped with the time (a message of
// several lines, such as a condition of DCMTK's that names its causes, stays together and no line
// of it stands without its time), and an error that repeats said once a minute, not at every try.

#include <chrono>
#include <functional>
#include <string>

namespace tamso::node {

// Where the node's lines go (one line per image, per association, per event); may be empty.
using NodeLogger = std::function<void(const std::string& line)>;

// The text of one log entry: each line of the message after the time and a blank; the lines after
// the first are indented by two more blanks, so a reader sees where an entry continues. A message
// without line ends is one line; empty lines and the message's final line end are left out.
std::string stampedLogEntry(const std::string& time, const std::string& message);

// A logger that passes each line on, except a line said the same within the interval before: that
// is counted, and the line's next saying after the interval tells how many were left out.
NodeLogger limitRepeats(NodeLogger log, std::chrono::steady_clock::duration interval = std::chrono::minutes(1));

} // namespace tamso::node
