#include "node/imageprocessor.h"

#include "node/imageheader.h"
#include "node/nodefolders.h"
#include "node/nodeplatform.h"
#include "node/processingpass.h"
#include "records/recordappend.h"
#include "textio/fileio.h"

#include <algorithm>
#include <cstdio>

namespace tamso::node {

std::string imageLogLine(const ImageEntry& e) {
    std::string line = "image " + e.sopInstanceUid;
    if (!e.patientId.empty())
        line += " (ID " + e.patientId + ")";
    switch (e.outcome) {
    case Outcome::Recorded:
        return line + ": recorded as record " + std::to_string(e.recordNumber) + ", " + e.doseMGy + " mGy (" +
               e.kv + " kV, " + e.mAs + " mAs, FFD " + e.ffdCm + " cm, thickness " + e.thicknessCm +
               " cm from " + e.thicknessSource + ", field " + e.fieldCm + " cm)";
    case Outcome::Held:
        return line + ": held: " + e.reason;
    case Outcome::Resolved:
        return line + ": saved through the report";
    case Outcome::Derived:
        return line + ": derived copy, listed and not recorded";
    case Outcome::Duplicate:
        return line + ": " + e.reason;
    case Outcome::Unreadable:
        return line + ": unreadable: " + e.reason;
    case Outcome::SetAside:
        return line + ": set aside: " + e.reason;
    }
    return line;
}

ImageProcessor::ImageProcessor(fs::path workFolder, NodeLogger log, ProcessorOptions options)
    : workFolder_(std::move(workFolder)), log_(std::move(log)), options_(options),
      state_(std::make_unique<ProcessorState>(workFolder_)) {}

ImageProcessor::~ImageProcessor() = default;

void ImageProcessor::setRecordedHook(RecordedHook hook) {
    hook_ = std::move(hook);
}

Status ImageProcessor::open() {
    const fs::path node = nodeFolder(workFolder_);
    if (Status links = refuseLinks(workFolder_); !links.ok())
        return links;
    std::error_code ec;
    for (const char* sub : {"inbox", "held"}) {
        fs::create_directories(node / sub, ec);
        if (ec)
            return Error(ErrorCode::NodeFolderCannotMake, {(node / sub).u8string(), ec.message()});
    }
    // A header a killed program was writing into the inbox was never acknowledged either.
    textio::removeAbandonedTemporaries(node / "inbox");
    return {};
}

Expected<std::string> ImageProcessor::admitHeader(const std::string& headerBytes) {
    // Names sort in the order of admission: microseconds since the epoch, then the process and a
    // counter for images admitted in the same microsecond.
    const auto now = std::chrono::duration_cast<std::chrono::microseconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    char name[80];
    std::snprintf(name, sizeof name, "%017lld-%06lu-%08lu.dcm", static_cast<long long>(now),
                  platform::processId() % 1000000, ++state_->counter % 100000000);
    const fs::path file = nodeFolder(workFolder_) / "inbox" / name;
    auto created = textio::createFileAtomic(file, headerBytes, textio::Durability::Synced);
    if (!created.ok())
        return created.error();
    if (!*created)
        return Error(ErrorCode::ReceivedNameTaken, {std::string(name)});
    std::lock_guard<std::mutex> lock(state_->admittedMutex);
    state_->admitted.insert(name);
    return std::string(name);
}

Expected<std::string> ImageProcessor::admitFile(const fs::path& dicomFile, std::string* uid) {
    auto header = headerOnlyCopy(dicomFile, uid);
    if (!header.ok())
        return header.error();
    return admitHeader(*header);
}

size_t ImageProcessor::waitingCount() const {
    size_t n = 0;
    std::error_code ec;
    for (fs::directory_iterator it(nodeFolder(workFolder_) / "inbox", ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        n += name.size() > 4 && name[0] != '.' && name.compare(name.size() - 4, 4, ".dcm") == 0;
    }
    return n;
}

// One pass, stage by stage (node/processingpass.h): the order of the durable writes is what makes
// the pass safe across a kill.
Expected<std::vector<ImageEntry>> ImageProcessor::processWaiting() {
    ProcessorState& st = *state_;
    ProcessingPass pass(workFolder_, st, options_, hook_, log_);
    ProcessingLock processing;
    if (auto e = processing.acquire(workFolder_, options_.processingLockWait); !e.ok())
        return e.error();
    if (auto e = st.log.refresh(); !e.ok())
        return e.error();
    if (auto e = st.log.catchUpReceipts(); !e.ok() && log_)
        log_("receipt log: " + e.message());

    std::vector<ImageEntry> logged;
    const auto settledFiles = pass.settleJournal(logged);
    if (!settledFiles.ok())
        return settledFiles.error();
    if (auto e = pass.loadSiteFiles(); !e.ok())
        return e.error();
    PassPlan plan;
    pass.plan(pass.waitingImages(*settledFiles), plan);
    if (auto e = pass.journal(plan); !e.ok())
        return e.error();
    if (auto e = pass.records(plan); !e.ok())
        return e.error();
    if (auto e = pass.log(plan); !e.ok())
        return e.error();
    if (auto e = pass.hook(plan, logged); !e.ok())
        return e.error();
    pass.clearJournal(plan);
    return logged;
}

ProcessingPass::ProcessingPass(const fs::path& workFolder, ProcessorState& state, const ProcessorOptions& options,
                               const RecordedHook& hook, const NodeLogger& log)
    : workFolder_(workFolder), st_(state), options_(options), hook_(hook), log_(log),
      node_(nodeFolder(workFolder)), inbox_(node_ / "inbox"), journal_(node_ / "journal") {}

void ProcessingPass::say(const std::string& line) const {
    if (log_)
        log_(line);
}

Status ProcessingPass::killPoint(const char* step) const {
    if (options_.interruptForTesting && options_.interruptForTesting(step))
        return Error(ErrorCode::InterruptedForTest);
    return {};
}

void ProcessingPass::defer(const std::string& id, const std::vector<std::string>& inboxNames,
                           const std::string& why) {
    bool news = false;
    for (const std::string& name : inboxNames) {
        std::string& before = st_.deferred[name];
        news |= before != why;
        before = why;
    }
    if (news)
        say("ID " + id + ": " + std::to_string(inboxNames.size()) + " image(s) wait: " + why);
}

// Every infant's record files with one wait for the disk; an infant whose lock was lost, or whose
// files cannot be written now, keeps its images waiting in the inbox.
Status ProcessingPass::records(PassPlan& plan) {
    auto deferWork = [this](InfantWork& work, const std::string& why) {
        std::vector<std::string> names;
        for (const Candidate* c : work.recorded)
            names.push_back(c->inboxName);
        defer(work.id, names, why);
        work.recorded.clear();
    };
    std::vector<InfantWork*> writable;
    std::vector<const records::RecordAppendPlan*> plans;
    for (InfantWork& work : plan.infants) {
        if (work.lock->stillHeld()) {
            writable.push_back(&work);
            plans.push_back(&work.plan);
        } else {
            deferWork(work, "患者ファイル「" + records::recordFileName(work.id, 1) + "」は他で保存中です");
        }
    }
    if (!records::writeRecordAppends(plans).ok()) {
        // One infant's files (read-only, in use) must not hold back the others: each on its own. The
        // records that reached the disk before a failure are found through the journal by the next
        // pass; the others are processed again.
        plan.keepJournal = true;
        for (InfantWork* work : writable)
            if (const Status written = records::writeRecordAppends({&work->plan}); !written.ok())
                deferWork(*work, written.message());
    }
    for (InfantWork& work : plan.infants) {
        work.lock->release();
        for (const Candidate* c : work.recorded)
            plan.outcomes.push_back(c->entry);
    }
    return plan.journaled ? killPoint("records") : Status{};
}

// The image log's entries of every image the pass settled, in the order of their inbox names.
Status ProcessingPass::log(PassPlan& plan) {
    std::sort(plan.outcomes.begin(), plan.outcomes.end(),
              [](const ImageEntry& a, const ImageEntry& b) { return a.file < b.file; });
    for (const ImageEntry& e : plan.outcomes)
        if (const ImageEntry* before = st_.log.latest(e.sopInstanceUid); before && before->outcome == Outcome::Held)
            plan.formerlyHeld[e.sopInstanceUid] = before->file;
    if (auto e = st_.log.append(plan.outcomes); !e.ok())
        return e.error();
    return killPoint("log");
}

// The hook of each recorded image, then its inbox file put away: a held image keeps its header for
// the report, beside the held list; the others' go, and so does an earlier held header of the image.
Status ProcessingPass::hook(PassPlan& plan, std::vector<ImageEntry>& logged) {
    std::map<std::string, std::optional<ExposureDose>> doses; // inbox name -> the run's values
    for (const InfantWork& work : plan.infants)
        for (const Candidate* c : work.recorded)
            doses[c->inboxName] = c->dose;
    for (const ImageEntry& e : plan.outcomes) {
        say(imageLogLine(e));
        st_.deferred.erase(e.file);
        const fs::path inboxFile = inbox_ / fs::u8path(e.file);
        std::error_code removeError;
        if (auto it = plan.formerlyHeld.find(e.sopInstanceUid);
            it != plan.formerlyHeld.end() && (e.outcome != Outcome::Held || it->second != e.file))
            fs::remove(node_ / "held" / fs::u8path(it->second), removeError);
        logged.push_back(e);
        if (e.outcome == Outcome::Recorded && hook_) {
            if (const Status done = hook_({e, inboxFile, doses[e.file]}); !done.ok()) {
                // The journal keeps the entry and the inbox the header: the next pass calls again.
                say("image " + e.sopInstanceUid + ": " + done.message() + " (tried again at the next pass)");
                plan.keepJournal = true;
                continue;
            }
            if (Status stop = killPoint("hook"); !stop.ok())
                return stop;
        }
        if (e.outcome == Outcome::Held) {
            if (auto moved = platform::renameFile(inboxFile, heldHeaderFile(workFolder_, e)); !moved.ok())
                say("held image " + e.sopInstanceUid + ": " + moved.message());
        } else {
            fs::remove(inboxFile, removeError);
        }
    }
    return {};
}

Expected<ImageEntry> ImageProcessor::processImageFile(const fs::path& file) {
    std::string uid;
    auto name = admitFile(file, &uid);
    if (!name.ok())
        return name.error();
    for (int round = 0; round < 1000; ++round) {
        auto pass = processWaiting();
        if (!pass.ok())
            return pass.error();
        for (const ImageEntry& e : *pass)
            if (e.file == *name)
                return e;
        std::error_code ec;
        if (!fs::exists(nodeFolder(workFolder_) / "inbox" / fs::u8path(*name), ec)) {
            // Another program's pass took it: its entry is the one logged for this inbox file (the
            // latest entry of the UID would be the record of an earlier image, where this one is a
            // duplicate).
            auto entries = readImageLogEntries(workFolder_, 0);
            if (!entries.ok())
                return entries.error();
            for (auto it = entries->rbegin(); it != entries->rend(); ++it)
                if (it->file == *name)
                    return *it;
            return Error(ErrorCode::ImageResultMissing, {uid});
        }
        if (auto it = state_->deferred.find(*name); it != state_->deferred.end())
            return Error(ErrorCode::ImageNotYetRecorded, {uid, it->second});
    }
    return Error(ErrorCode::ImageNotProcessed, {uid});
}

} // namespace tamso::node
