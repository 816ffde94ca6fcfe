#pragma once
// One processing pass of the image processor (ImageProcessor::processWaiting), in stages. The pass
// is safe across a kill at any instant because of the order of its durable writes, which is the
// order of the stages:
//
//   settleJournal  the journal an interrupted pass left: what it lists is logged, or left in the
//                  inbox to be processed again, and the hook is called for each image it recorded
//   plan           the waiting images read and checked, each infant's doses computed and its
//                  records planned under its record lock; nothing on the disk changes
//   journal        each record's entry, fields and run values, on the disk before a record file changes
//   records        every infant's record files, with one wait for the disk
//   log            the image log's entries of every image the pass settled
//   hook           the recorded hook of each recorded image, and the inbox put away: held headers
//                  beside the held list, the others removed
//   clearJournal   the journal emptied once every hook has returned
//
// The writing stages end at the point of the same name of ProcessorOptions::interruptForTesting.

#include "dicom/bodypartmap.h"
#include "dicom/imageexposure.h"
#include "engine/calculationstate.h"
#include "refdata/organdosefile.h"
#include "node/imageconditions.h"
#include "node/imageheader.h"
#include "node/imagelog.h"
#include "node/imageprocessor.h"
#include "node/thicknessdefaults.h"
#include "records/recordappend.h"
#include "records/recordfilelock.h"
#include "records/recordwithdrawal.h"
#include "textio/filereading.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace tamso::node {

// A file's time and size, to notice that a site changed it.
using Stamp = textio::FileStamp;
inline Stamp stampOf(const fs::path& file) {
    return textio::fileStamp(file);
}

// The calculation state and the site's files, loaded from the working folder and loaded again when
// one of them changes; what a processor keeps from one pass to the next.
struct ProcessorState {
    std::unique_ptr<engine::CalculationState> engine = std::make_unique<engine::CalculationState>();
    dicom::BodyPartMapping bodyParts;
    std::optional<ThicknessDefaults> thickness;
    std::string thicknessProblem;
    // The organ-dose table and the site's default weight, where the folder has the table (an older
    // folder has none: its reports then carry no effective dose).
    std::optional<refdata::OrganDoseData> organs;
    std::vector<Stamp> stamps;
    bool loaded = false;
    ImageLog log;
    std::atomic<unsigned long> counter{0};
    std::map<std::string, std::string> deferred; // inbox name -> why it waits
    std::mutex admittedMutex;
    std::set<std::string> admitted; // inbox names this processor admitted (for ownImagesOnly)

    explicit ProcessorState(const fs::path& work) : log(work) {}
};

// An image taken from the inbox, on its way to a record or the held list.
struct Candidate {
    std::string inboxName;
    fs::path path;
    dicom::ImageExposure exposure;
    ImageIdentity identity;
    ImageEntry entry;
    records::RecordTexts texts;
    std::optional<ExposureDose> dose; // the run's values for the dose report
};

// One infant's images to record, under its record lock.
struct InfantWork {
    std::string id;
    std::unique_ptr<records::RecordFileLock> lock;
    records::RecordAppendPlan plan;
    std::vector<Candidate*> recorded; // in the order of plan.places
};

// What planning hands to the writing stages.
struct PassPlan {
    PassPlan() = default;
    PassPlan(const PassPlan&) = delete;
    PassPlan& operator=(const PassPlan&) = delete;

    std::map<std::string, std::vector<Candidate>> byInfant; // the images to record, by patient ID
    std::vector<InfantWork> infants;  // their records' plans; they point into byInfant
    std::vector<ImageEntry> outcomes; // every image of the pass that is settled, in order
    std::map<std::string, std::string> formerlyHeld; // UID -> its held header, before the log stage
    bool journaled = false;           // the journal lists records of this pass
    bool keepJournal = false;         // a record or a hook to be tried again by the next pass
};

// The line of the node's log that says what became of an image.
std::string imageLogLine(const ImageEntry& e);

class ProcessingPass {
public:
    ProcessingPass(const fs::path& workFolder, ProcessorState& state, const ProcessorOptions& options,
                   const RecordedHook& hook, const NodeLogger& log);

    // Returns the inbox files the journal settled; `logged` gets the entries logged from it.
    Expected<std::set<std::string>> settleJournal(std::vector<ImageEntry>& logged);
    Status loadSiteFiles();
    // The inbox names to process, oldest first, at most maxBatch.
    std::vector<std::string> waitingImages(const std::set<std::string>& settledFiles);
    void plan(const std::vector<std::string>& names, PassPlan& plan);
    Status journal(PassPlan& plan);
    Status records(PassPlan& plan);
    Status log(PassPlan& plan);
    Status hook(PassPlan& plan, std::vector<ImageEntry>& logged);
    void clearJournal(const PassPlan& plan);

private:
    struct Infant; // one infant's stored records while its images are planned

    void say(const std::string& line) const;
    // A point where a kill could stop the pass: fails there when the test seam asks for it.
    Status killPoint(const char* step) const;
    ConditionSources conditionSources(const RecordedThickness* infant) const;
    // Images that cannot be recorded now stay in the inbox; why is said once, not at every pass.
    void defer(const std::string& id, const std::vector<std::string>& inboxNames, const std::string& why);

    // Planning: an image read and checked on its own, then with its infant's records.
    std::optional<Candidate> screen(const std::string& name, const std::string& now,
                                    std::set<std::string>& uidsInPass, PassPlan& plan);
    std::string duplicateReason(const ImageEntry& e, const std::set<std::string>& uidsInPass,
                                int& recordNumber) const;
    std::vector<std::string> lackingValues(const ImageConditions& resolved, const dicom::ImageExposure& x) const;
    void planInfant(const std::string& id, std::vector<Candidate>& candidates, PassPlan& plan);
    std::string nameProblem(const Infant& infant, const Candidate& c) const;
    std::string computeRecord(Infant& infant, Candidate& c);
    void addEffectiveDose(const ImageConditions& resolved, ExposureDose& dose) const;
    std::string sameExposureProblem(const Infant& infant, const records::RecordTexts& texts) const;

    const fs::path& workFolder_;
    ProcessorState& st_;
    const ProcessorOptions& options_;
    const RecordedHook& hook_;
    const NodeLogger& log_;
    const fs::path node_;
    const fs::path inbox_;
    const fs::path journal_;
};

} // namespace tamso::node
