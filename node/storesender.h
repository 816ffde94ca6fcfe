#pragma once
// Sending DICOM files to another DICOM node by C-STORE (DCMTK's network module), and the form in
// which a site names such a node: "AET@HOST:PORT".

#include "textio/expected.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tamso::node {

namespace fs = std::filesystem;

// A DICOM node to talk to: its AE title, host name or address, and port.
struct Destination {
    std::string aeTitle;
    std::string host;
    std::uint16_t port = 0;
};
bool operator==(const Destination& a, const Destination& b);

// "AET@HOST:PORT" (an IPv6 address in brackets: "PACS@[::1]:104"). The AE title has 1 to 16
// characters of the default repertoire without backslash; the port is 1 to 65535. Fails with a
// message naming the text and what is wrong.
Expected<Destination> parseDestination(std::string_view text);
// The destination as "AET@HOST:PORT".
std::string destinationText(const Destination& destination);

// A valid AE title of our own or of a peer (1 to 16 characters, no backslash or control character,
// not only blanks).
bool validAeTitle(std::string_view aeTitle);

struct NetworkOptions {
    std::string callingAeTitle = "TAMSO";    // our AE title
    std::chrono::seconds connectTimeout{10}; // to open the connection
    std::chrono::seconds messageTimeout{60}; // to wait for each answer
};

// What the destination answered for one file.
struct StoreOutcome {
    bool acknowledged = false; // stored: status Success (0000) or one of the warnings with which a
                               // storage SCP says it has stored the object (B000, B006, B007)
    std::uint16_t status = 0;  // the C-STORE response status, where one came
    std::string message;       // why it was not acknowledged, or the warning (Japanese)
};

// Sends the files (DICOM files with their meta header) to the destination in one association, in
// their order, and returns one outcome per file. When no association comes about (the destination
// is down, refuses us, or takes none of the files' SOP classes) every outcome says why.
std::vector<StoreOutcome> storeFiles(const Destination& destination, const std::vector<fs::path>& files,
                                     const NetworkOptions& options);

} // namespace tamso::node
