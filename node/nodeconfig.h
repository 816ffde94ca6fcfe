#pragma once
// The configuration of the receiving service: its working folder, its DICOM address (port, TLS
// port, AE title), who may send (the calling AE titles), TLS certificate and key, and the limits.
//
// Every key can be given on the command line (--key VALUE or --key=VALUE) and in the configuration
// file, a UTF-8 text of "key = value" lines ("#" starts a comment line, blank lines are ignored):
// --config FILE, else "tamso-node.conf" in the working folder where it exists. The command line
// wins over the file. Paths in the file are taken from the file's folder.

#include "node/outbox.h"
#include "node/storesender.h"
#include "textio/expected.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tamso::node {

namespace fs = std::filesystem;

// The file read when --config is not given, in the working folder.
inline constexpr const char* kConfigFileName = "tamso-node.conf";
// How long a study must be quiet before its dose report goes, where the site sets nothing.
inline constexpr std::chrono::seconds kDefaultReportDelay{600};

struct NodeConfig {
    fs::path workFolder = ".";
    std::optional<std::uint16_t> port;    // DICOM over plain TCP
    std::optional<std::uint16_t> tlsPort; // DICOM over TLS
    std::string aeTitle = "TAMSO";
    std::vector<std::string> allowedCallers; // calling AE titles accepted; none: every association refused
    fs::path tlsCertificate;                 // PEM: this node's certificate
    fs::path tlsPrivateKey;                  // PEM: its private key (unencrypted)
    fs::path tlsTrustedCertificates; // PEM: CA or client certificates; given: senders must present one
    int maxAssociations = 8;         // at once; more are refused
    int maxAssociationsPerHost = 4;  // at once from one calling host (the last free one: a new host's)
    std::uint64_t maxObjectBytes = 64ull << 20; // an image larger than this is refused
    int requestTimeoutSeconds = 10; // a connection's TLS handshake and association request: each read
    int idleTimeoutSeconds = 30;    // an association that sends no command for this long is closed
    int dimseTimeoutSeconds = 30;   // within an image, a sender that sends nothing for this long is ended
    // Where the dose report of each recorded exposure goes: C-STORE destinations ("forward", one or
    // more AET@HOST:PORT), and a copy beside the record files ("reports-beside-records = yes").
    std::vector<Destination> forward;
    bool reportsBesideRecords = false;
    OutboxOptions outbox; // the waits between attempts to send a report (no key: tests set them)
    fs::path configFile;  // the configuration file read (empty: none)
};

// What the screens and tamso-calc take from the working folder's configuration file: where the
// dose reports go, how long a study waits for its report and the AE title they are sent under (the
// keys forward, reports-beside-records, report-delay and aet of tamso-node.conf; the file's other keys are the service's).
struct ReportSettings {
    std::vector<Destination> forward;
    bool besideRecords = false;
    std::chrono::seconds reportDelay = kDefaultReportDelay; // report-delay
    std::string aeTitle = "TAMSO";
    fs::path configFile; // the file read (empty: none)
    bool reporting() const { return !forward.empty() || besideRecords; }
};
// Reads them from "tamso-node.conf" in the working folder; no file: no reports. Fails, with the
// file, line and key, where the file cannot be read or one of its keys is wrong.
Expected<ReportSettings> readReportSettings(const fs::path& workFolder);

// The keys, each with its value's description, for --help and messages.
const std::vector<std::pair<std::string, std::string>>& nodeConfigKeys();

// Reads the configuration from the arguments (without the program name) and the configuration file.
// "forward" may be given more than once, and holds one destination or several separated by commas;
// where the command line names any, the file's are not used. Fails with a message naming the key,
// the file and line, or the value: an unknown key, a value that is not of its kind (a port 1-65535,
// an AE title of 1 to 16 characters without backslash or control characters, a destination
// AET@HOST:PORT, yes or no), no port at all, a TLS port without certificate and key, a missing
// configuration file given with --config.
Expected<NodeConfig> readNodeConfig(const std::vector<std::string>& args);

// Whether an AE title is one a DICOM peer can send: 1 to 16 characters of the default repertoire
// without backslash, not only blanks.
bool isValidAeTitle(const std::string& title);

} // namespace tamso::node
