#pragma once
// The node's account of every image it has dealt with, and the receipt log a site reads.
//
// "tamso-node/images.log" (UTF-8, one line per entry, tab-separated, a header line naming the
// columns) is appended to and flushed to the disk before anything that depends on it; it decides
// what has been recorded: an image whose SOP Instance UID has a "recorded" or "resolved" entry is
// never recorded again. The latest entry of a UID is its state. Every entry also becomes a row of
// the receipt log "受信記録.csv" in the working folder (UTF-8 with byte-order mark, CR LF), which
// catches up with the node's log when a program was stopped between the two.
//
// Several programs may use one working folder (the service, tamso-calc, the screens): whoever
// appends holds the node's processing lock ("tamso-node/images.log.lock") and first reads what the
// others appended.

#include "records/recordfilelock.h"
#include "textio/expected.h"

#include <chrono>
#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace tamso::node {

namespace fs = std::filesystem;

enum class Outcome {
    Recorded,   // its dose went into the infant's record files
    Held,       // not recorded; the reason says why; waits for the report
    Resolved,   // held, then saved through the report
    Derived,    // a derived copy (Image Type DERIVED): listed, never recorded
    Duplicate,  // received again after it was recorded (or twice in one batch)
    Unreadable, // no DICOM radiograph that can be read
    SetAside,   // held, then set aside by a person (sent by mistake): never recorded, out of the list
};
const char* outcomeName(Outcome outcome); // "recorded", "held", ...

struct ImageEntry {
    long long number = 0; // the entry's number in the log, from 1
    std::string time;     // local time "2024-05-01 10:15:30"
    Outcome outcome = Outcome::Held;
    std::string sopInstanceUid;
    std::string sopClassUid;
    std::string studyInstanceUid;
    std::string irradiationEventUid; // the exposure (0008,3010), where the image names it
    std::string patientId;
    std::string patientName;
    std::string examDate; // as recorded, "2024/05/01"
    std::string bodyPart;
    // The conditions as recorded, each with where it came from (an attribute, a record, a default).
    std::string kv, kvSource;
    std::string mAs, mAsSource;
    std::string ffdCm, ffdSource;
    std::string thicknessCm, thicknessSource;
    std::string fieldCm, fieldName, fieldSource; // "25.4x20.3", the recorded field size name
    std::string technologist, technologistSource;
    std::string xrayUnit, xrayUnitSource;
    std::string doseMGy;  // entrance surface dose as recorded
    int recordNumber = 0; // recorded, resolved: the record's number among the infant's records
    std::string reason;   // held: why; set aside: who and why (setAsideReason); the others: a note
    std::string file;     // the image's header: in held/ for a held image, else its inbox name
};

// The column names of the log and of the receipt CSV, in order.
const std::vector<std::string>& imageLogColumns();
const std::vector<std::string>& receiptColumns();
inline constexpr const char* kReceiptLogName = "受信記録.csv";

class ImageLog {
public:
    explicit ImageLog(fs::path workFolder);

    // Reads the entries appended since the last call (all of them the first time); a final line
    // without its line end (a write that was cut) is left for later.
    Status refresh();
    // The latest entry of a UID that is not a duplicate (its state), or null.
    const ImageEntry* latest(const std::string& sopInstanceUid) const;
    bool isRecorded(const std::string& sopInstanceUid) const; // recorded or resolved
    // The recorded (or resolved) entry of an exposure, by its irradiation event UID, or null.
    const ImageEntry* recordedEvent(const std::string& irradiationEventUid) const;
    // Whether the infant's record (1..N) was recorded from an image, by the node or by the report's
    // completion of a held image: its exposure is known by the image's UID.
    bool isImageRecord(const std::string& patientId, int recordNumber) const;
    // The outcome logged for an inbox file (its name), if any: an entry of every image processed.
    std::optional<Outcome> loggedFile(const std::string& inboxName) const;
    long long lastNumber() const { return lastNumber_; }

    // Numbers the entries, appends them to the log (flushed to the disk), then to the receipt log.
    // Call with the processing lock held, after refresh().
    Status append(std::vector<ImageEntry>& entries);
    // Appends to the receipt log the entries it lacks (after an interruption between the two).
    Status catchUpReceipts();

    // Held images not resolved since, oldest first.
    std::vector<ImageEntry> held() const;
    // The latest entries that record, resolve, list a derived copy or a duplicate, newest first, at
    // most `count` (up to 1000).
    std::vector<ImageEntry> recent(size_t count) const;

    fs::path logFile() const;
    fs::path receiptFile() const;

private:
    Status readFrom(std::uintmax_t offset);
    Status appendReceipts(const std::vector<ImageEntry>& entries);

    fs::path workFolder_;
    std::uintmax_t readOffset_ = 0;
    long long lastNumber_ = 0;
    std::vector<std::string> columns_;                    // of the file, from its header line
    std::unordered_map<std::string, ImageEntry> latest_;  // the state of each UID (duplicates aside)
    std::deque<ImageEntry> recent_;                       // the latest listed entries, oldest first
    std::unordered_map<std::string, Outcome> files_;      // inbox name -> its first outcome
    std::unordered_map<std::string, std::string> events_; // irradiation event UID -> recorded image UID
    std::set<std::pair<std::string, int>> imageRecords_;   // (patient ID, record number) of recorded images
};

// The node's processing lock, held while images are processed or a held image is resolved.
class ProcessingLock {
public:
    // Waits up to `wait`; the error is of kind Busy when another program kept it.
    Status acquire(const fs::path& workFolder, std::chrono::milliseconds wait);
    bool held() const { return lock_.held(); }

private:
    records::RecordFileLock lock_;
};

// One field of a tab-separated line with tab, line ends and backslash escaped, and back.
std::string escapeField(const std::string& text);
std::string unescapeField(const std::string& text);
std::vector<std::string> splitTabs(const std::string& line);

// The entry's values in the order of imageLogColumns(), and an entry from them (columns by name).
std::vector<std::string> entryFields(const ImageEntry& entry);
ImageEntry entryFromFields(const std::vector<std::string>& columns, const std::vector<std::string>& values);

// Every entry of the working folder's log numbered above `afterNumber`, in order: for a program
// that must see each image the node recorded (a sender of dose reports catching up after a stop).
Expected<std::vector<ImageEntry>> readImageLogEntries(const fs::path& workFolder, long long afterNumber);

// The working folder's received images for the window: held images and the latest others.
struct ReceivedImages {
    std::vector<ImageEntry> held;   // oldest first
    std::vector<ImageEntry> recent; // newest first
};
Expected<ReceivedImages> listReceivedImages(const fs::path& workFolder, size_t recentCount = 100);

// The file of a held image's header.
fs::path heldHeaderFile(const fs::path& workFolder, const ImageEntry& held);

// A held image set aside by a person (an image sent by mistake, of another patient, a test shot):
// its entry becomes "set_aside", with the time, who set it aside and why in its reason; it leaves
// the held list for good, stays in the log and the receipt log, and its header moves from held/ to
// set-aside/. A resend of it is listed as a duplicate, never held again. Fails, saying so, when
// who or why is empty or the image is no longer held. Takes the processing lock (waiting a few
// seconds).
Status setAsideHeldImage(const fs::path& workFolder, const std::string& sopInstanceUid,
                         const std::string& who, const std::string& why);
// The reason of a set-aside entry: "取り除き（担当: who）: why".
std::string setAsideReason(const std::string& who, const std::string& why);
// The file of a set-aside image's header.
fs::path setAsideHeaderFile(const fs::path& workFolder, const ImageEntry& setAside);

// A held image whose record was saved through the report: its entry becomes "resolved" with the
// record's ID, number and dose, its reason stating the values typed rather than taken from the
// image (typedValues, "管電圧 60 kV、被写体厚 8 cm"; empty: none), and its header goes. Nothing happens (and true is returned) when the
// image is no longer held. Takes the processing lock (waiting a few seconds).
Status resolveHeldImage(const fs::path& workFolder, const std::string& sopInstanceUid,
                        const std::string& patientId, int recordNumber, const std::string& doseMGy,
                        const std::string& typedValues = {});

} // namespace tamso::node
