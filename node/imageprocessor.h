#pragma once
// From the inbox to the records: each received image's header waits durably in the inbox
// ("tamso-node/inbox", one file per image, named so that they sort in the order they were
// acknowledged) until one processing pass takes it, computes its dose with the working folder's
// reference data and either appends the record to the infant's record files, exactly as the
// report's Data Save would, or holds it with its reason. Nothing is guessed:
//
//  - an image without patient ID, tube voltage, mAs, focus-detector distance, exam date or a body
//    part of the body-part list, conditions the calculation refuses, an ID whose stored name is none
//    of the image's name groups (the wrong infant), a new ID without a name, or no thickness at all
//    is held;
//  - a derived copy (Image Type DERIVED) is listed, never recorded; an image whose SOP Instance UID
//    was recorded before is listed as a duplicate, and so is an image of an exposure recorded before
//    (the same Irradiation Event UID: the "for processing" and "for presentation" images of one
//    exposure).
//
// The infant's thickness: Body Part Thickness (0018,11A0), else that of the infant's latest record
// of the same body part, else the site's default for the body part (ThicknessDefaults). The field:
// the collimator's, else the screen's default (六切サイズ, 25.4 × 20.3 cm). Technologist: Operators'
// Name; X-ray unit: Station Name, else Manufacturer's Model Name, else the basic data's unit name;
// the other conditions as a new case on the screen starts (target angle and inherent filtration
// from the basic data, no added filter, focus-hood distance 60 cm); the exposure from the tube
// output data.
//
// Exactly once, also across a kill at any instant: before the record files are written the pass
// writes a journal ("tamso-node/journal": each record's infant, number, 13 fields and the values of
// its run); the image log entry follows the write, then the recorded hook, and only then do the
// journal and the inbox file go. A pass that finds a journal first settles it: a record found at its
// number with its fields is logged as recorded, one that is not there leaves its image in the inbox
// to be processed again, and the hook is called (again) for each image the journal lists as
// recorded.
//
// Several programs may process one working folder's inbox (the service, tamso-calc): a pass holds
// the node's processing lock, and each infant's record lock while its files are read and written.
// The service's pass also takes the images another program admitted; that program finds their
// outcome in the image log.

#include "node/dosereport.h"
#include "node/imagelog.h"
#include "node/nodelog.h"
#include "textio/expected.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tamso::node {

namespace fs = std::filesystem;

struct ProcessorOptions {
    size_t maxBatch = 64; // images per pass: their records, log lines and journal share one flush each
    std::chrono::milliseconds infantLockWait{10000};
    std::chrono::milliseconds processingLockWait{60000};
    // Take only the images this processor admitted (a program beside the service, such as
    // tamso-calc --pull): the images the service received are left to the service, whose hook
    // reports them as its command line says. The service takes every waiting image.
    bool ownImagesOnly = false;
    // Test seam: asked at each step of a pass that a kill could interrupt ("journal" written,
    // "records" written, "log" appended, "hook" after the first recorded hook); true ends the pass
    // there as a kill would, leaving the folder as it is at that instant.
    std::function<bool(const std::string& step)> interruptForTesting;
};

// An image the node recorded, as the hook gets it: its log entry (with its number), its header
// and the values of its run for the dose report.
struct RecordedImage {
    ImageEntry entry;
    fs::path headerFile;              // the image's header in the inbox, removed after the hook
    std::optional<ExposureDose> dose; // doseReportValues of its run; none for an entry an earlier
                                      // version of the program left in the journal
};

// Called for each image recorded, after its log entry is on the disk. The call comes at least
// once, also across a kill: the journal keeps each record's entry and run values until every hook
// of the pass has returned, and a pass that finds a journal calls the hook again for the images it
// lists as recorded. So the hook's work must come to the same however often it is done (the
// report of an image has one UID, and the outbox queues a report once). An error (a full disk)
// keeps the journal entry and the header, and the next pass calls again.
using RecordedHook = std::function<Status(const RecordedImage& image)>;

struct ProcessorState;

class ImageProcessor {
public:
    explicit ImageProcessor(fs::path workFolder, NodeLogger log = {}, ProcessorOptions options = {});
    ~ImageProcessor();
    ImageProcessor(const ImageProcessor&) = delete;
    ImageProcessor& operator=(const ImageProcessor&) = delete;

    // Creates the node's folders where missing and removes the inbox's unfinished writes of a program
    // that was killed. The work left by an earlier run (journal, inbox) is done by the next pass.
    Status open();

    // Keeps a header (a DICOM file's bytes, headerOnlyCopy) in the inbox, on the disk, and returns
    // its inbox name. Safe to call from several threads.
    Expected<std::string> admitHeader(const std::string& headerBytes);
    // Keeps the header of a DICOM file in the inbox; `uid` gets its SOP Instance UID.
    Expected<std::string> admitFile(const fs::path& dicomFile, std::string* uid = nullptr);
    // How many images wait in the inbox.
    size_t waitingCount() const;

    // One pass: settles a journal left by an interrupted pass, then processes up to maxBatch waiting
    // images, oldest first, and returns the entries it logged. Images it cannot process now (an
    // infant's record file in use, a write that failed) stay in the inbox. Fails, processing
    // nothing, when the reference data cannot be read or the lock cannot be had.
    Expected<std::vector<ImageEntry>> processWaiting();

    // The one way in for an image file from elsewhere (a retrieved image): its header goes into the
    // inbox and through the same pass as a received image. Returns the image's entry: recorded,
    // held, derived, or a duplicate of an image recorded before.
    Expected<ImageEntry> processImageFile(const fs::path& file);

    void setRecordedHook(RecordedHook hook);

    const fs::path& workFolder() const { return workFolder_; }

private:
    fs::path workFolder_;
    NodeLogger log_;
    ProcessorOptions options_;
    RecordedHook hook_;
    std::unique_ptr<ProcessorState> state_;
};

} // namespace tamso::node
