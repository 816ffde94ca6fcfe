#include "tools/calc/pullcli.h"

#include "tools/calc/calccli.h"

#include "engine/calculationstate.h"
#include "node/dosereporter.h"
#include "node/imagelog.h"
#include "node/imageprocessor.h"
#include "node/nodeconfig.h"
#include "node/nodefolders.h"
#include "node/nodeplatform.h"
#include "node/pull.h"
#include "records/doseaudit.h"
#include "records/patientrecordfile.h"
#include "records/recordfilelock.h"
#include "refdata/referenceloader.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <set>
#include <cstdio>
#include <memory>
#include <optional>
#include <ostream>

namespace tamso::calc {

namespace {

const char* const kPullHelp =
    R"(tamso-calc --pull - back-filling the records from the PACS

Usage:
  tamso-calc --workdir DIR --pull AET@HOST:PORT --aet OURAET [--from DATE] [--to DATE]
             [--patient ID]

Asks the PACS (C-FIND, study then image level) for the radiographs (DX and CR) of the studies of
the period (study date, both days included) and of one patient where given, fetches them (C-GET;
only the header of each is kept) and records each image through the receiving service's own path:
an image whose SOP Instance UID (or exposure) is recorded already is not recorded again, one that
cannot be recorded soundly is held with its reason in the 受信画像 list. Where the working folder's
tamso-node.conf names destinations (forward) or reports-beside-records, the dose report of each
newly recorded image is queued and the outbox is sent once before the command ends; what cannot
be sent waits for tamso-node. tamso-node may run at the same time on the same folder.

  --pull AET@HOST:PORT   the PACS (PACS@10.0.0.5:104, PACS@[::1]:104)
  --aet OURAET           our AE title, as the PACS knows us (1 to 16 characters)
  --from DATE, --to DATE the period (2026/01/01, 2026-01-01, 2026/1/1 or 20260101)
  --patient ID           only this patient ID
  --workdir DIR          the working folder (default: the current folder)

Output: one tab-separated line per image: what became of it (recorded, already recorded, held,
derived, unreadable, not fetched, failed), its SOP Instance UID, then the patient ID, exam date,
entrance surface dose and record number of a recorded image, or the reason; then a summary line.

Exit status: 0 when every image found was recorded, recorded before, held or listed; 2 on a wrong
option, a working folder that cannot be used, or an image that could not be fetched or processed;
3 when the PACS cannot be reached or refuses the query or the retrieval.
)";

bool isDigits(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// `dose`: the recorded entry of the exposure, for a duplicate whose own entry names no dose.
std::string entryLine(const char* what, const node::ImageEntry& e, const node::ImageEntry* dose = nullptr) {
    std::string line = std::string(what) + "\t" + e.sopInstanceUid + "\tID " + e.patientId;
    if (dose && e.outcome == node::Outcome::Duplicate && e.doseMGy.empty())
        return line + "\t" + dose->examDate + "\t" + dose->doseMGy + " mGy\trecord " +
               std::to_string(dose->recordNumber) + (e.reason.empty() ? "" : "\t" + e.reason);
    if (e.outcome == node::Outcome::Recorded || e.outcome == node::Outcome::Resolved ||
        (e.outcome == node::Outcome::Duplicate && e.recordNumber > 0)) {
        line += "\t" + e.examDate + "\t" + e.doseMGy + " mGy\trecord " + std::to_string(e.recordNumber);
        if (e.outcome == node::Outcome::Duplicate && !e.reason.empty())
            line += "\t" + e.reason;
        return line;
    }
    return line + "\t" + e.reason;
}

struct Counts {
    int recorded = 0, already = 0, held = 0, listed = 0, failed = 0;
};

// The folders of pulls that ended without removing theirs (killed): each pull holds the lock of its
// folder while it runs, and a folder whose lock is free is left over.
void removeLeftoverPulls(const std::filesystem::path& folder) {
    std::error_code ec;
    std::vector<std::filesystem::path> leftovers;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (it->path().filename().string().rfind("pull-", 0) == 0 && it->is_directory(ec))
            leftovers.push_back(it->path());
    for (const std::filesystem::path& pull : leftovers) {
        records::RecordFileLock lock;
        if (!lock.acquire(pull, {std::chrono::milliseconds(0), std::chrono::milliseconds(1)}).ok())
            continue; // at work
        std::filesystem::remove_all(pull, ec);
        lock.release();
        std::filesystem::remove(records::lockFileFor(pull), ec);
    }
}

// What became of every image the log names: its latest entry, duplicates included.
std::map<std::string, node::ImageEntry> knownImages(const std::filesystem::path& workFolder) {
    std::map<std::string, node::ImageEntry> known;
    if (auto entries = node::readImageLogEntries(workFolder, 0); entries.ok())
        for (node::ImageEntry& e : *entries)
            known[e.sopInstanceUid] = std::move(e);
    return known;
}


// What the command line asks: the working folder and the query.
struct PullRequest {
    std::filesystem::path workFolder = ".";
    node::PullQuery query;
};

// Reads the options; returns the exit status when one is wrong.
std::optional<int> readPullOptions(const std::vector<std::string>& args, PullRequest& request, std::ostream& err) {
    node::PullQuery& query = request.query;
    std::optional<std::string> pacs, aet;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name, value;
        if (!readOption(args, i, name, value, "--pull --help", err))
            return kExitError;
        if (name == "workdir") {
            request.workFolder = std::filesystem::u8path(value);
        } else if (name == "pull") {
            pacs = value;
        } else if (name == "aet") {
            aet = value;
        } else if (name == "from" || name == "to") {
            const std::string date = pullDate(value);
            if (date.empty()) {
                err << "tamso-calc: --" << name
                    << ": not a date (2026/01/01, 2026-01-01 or 20260101): " << value << '\n';
                return 2;
            }
            (name == "from" ? query.fromDate : query.toDate) = date;
        } else if (name == "patient") {
            if (auto bad = records::checkPatientId(value); !bad.ok()) {
                err << "tamso-calc: --patient: " << bad.message() << '\n';
                return 2;
            }
            query.patientId = value;
        } else {
            err << "tamso-calc: --" << name << " does not go with --pull (see --pull --help)\n";
            return 2;
        }
    }
    auto destination = node::parseDestination(*pacs);
    if (!destination.ok()) {
        err << "tamso-calc: --pull: " << destination.error().message() << '\n';
        return 2;
    }
    query.pacs = *destination;
    if (!aet) {
        err << "tamso-calc: --pull needs --aet, our AE title as the PACS knows us (see --pull --help)\n";
        return 2;
    }
    if (!node::isValidAeTitle(*aet)) {
        err << "tamso-calc: --aet: not an AE title (1 to 16 characters, no backslash): " << *aet << '\n';
        return 2;
    }
    query.callingAeTitle = *aet;
    if (!query.fromDate.empty() && !query.toDate.empty() && query.fromDate > query.toDate) {
        err << "tamso-calc: --from " << query.fromDate << " is after --to " << query.toDate << '\n';
        return 2;
    }
    return std::nullopt;
}

// The working folder, before the PACS is asked: its reference data and its report settings.
Expected<node::ReportSettings> workFolderSettings(const std::filesystem::path& workFolder) {
    auto probe = std::make_unique<engine::CalculationState>();
    if (auto e = refdata::loadReferenceData(*probe, workFolder); !e.ok())
        return e.error();
    return node::readReportSettings(workFolder);
}

// The images found that the log knows (recorded, held, derived, duplicate, unreadable) are said as
// they were and not fetched again; returns the others.
std::vector<node::FoundImage> sayKnownImages(const std::vector<node::FoundImage>& found, node::ImageLog& imageLog,
                                             const std::filesystem::path& workFolder, Counts& counts,
                                             std::ostream& out) {
    std::vector<node::FoundImage> toFetch;
    const std::map<std::string, node::ImageEntry> known = knownImages(workFolder);
    for (const node::FoundImage& image : found) {
        const node::ImageEntry* state = imageLog.latest(image.sopInstanceUid);
        if (!state)
            if (auto it = known.find(image.sopInstanceUid); it != known.end())
                state = &it->second;
        if (!state) {
            toFetch.push_back(image);
        } else if (imageLog.isRecorded(image.sopInstanceUid) || state->outcome == node::Outcome::Duplicate) {
            out << entryLine("already recorded", *state, imageLog.recordedEvent(state->irradiationEventUid)) << '\n';
            ++counts.already;
        } else if (state->outcome == node::Outcome::Held) {
            out << entryLine("held", *state) << '\n';
            ++counts.held;
        } else {
            out << entryLine(node::outcomeName(state->outcome), *state) << '\n';
            ++counts.listed;
        }
    }
    return toFetch;
}

// The folder this pull fetches into, under its lock while the pull works in it.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::filesystem::path& workFolder) {
        const auto stamp = std::chrono::duration_cast<std::chrono::microseconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                               .count();
        path_ = node::nodeFolder(workFolder) /
                ("pull-" + std::to_string(node::platform::processId()) + "-" + std::to_string(stamp));
    }
    Status open() {
        removeLeftoverPulls(path_.parent_path());
        return lock_.acquire(path_, {std::chrono::milliseconds(0), std::chrono::milliseconds(1)});
    }
    void remove() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
        lock_.release();
        std::filesystem::remove(records::lockFileFor(path_), ec);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    records::RecordFileLock lock_;
};

// Each fetched image through the node's own path, and what became of it.
void processRetrieved(const std::vector<node::RetrievedImage>& retrieved, node::ImageProcessor& processor,
                      node::ImageLog& imageLog, Counts& counts, std::ostream& out) {
    for (const node::RetrievedImage& r : retrieved) {
        if (r.headerFile.empty()) {
            out << "not fetched\t" << r.image.sopInstanceUid << "\tID " << r.image.patientId << '\t'
                << r.problem << '\n';
            ++counts.failed;
            continue;
        }
        auto entry = processor.processImageFile(r.headerFile);
        if (!entry.ok()) {
            out << "failed\t" << r.image.sopInstanceUid << "\tID " << r.image.patientId << '\t'
                << entry.error().message() << '\n';
            ++counts.failed;
            continue;
        }
        switch (entry->outcome) {
        case node::Outcome::Recorded:
            out << entryLine("recorded", *entry) << '\n';
            ++counts.recorded;
            break;
        case node::Outcome::Resolved:
        case node::Outcome::Duplicate:
            out << entryLine("already recorded", *entry, imageLog.refresh().ok() ? imageLog.recordedEvent(entry->irradiationEventUid) : nullptr) << '\n';
            ++counts.already;
            break;
        case node::Outcome::Held:
            out << entryLine("held", *entry) << '\n';
            ++counts.held;
            break;
        case node::Outcome::Derived:
        case node::Outcome::Unreadable:
        case node::Outcome::SetAside:
            out << entryLine(node::outcomeName(entry->outcome), *entry) << '\n';
            ++counts.listed;
            break;
        }
    }
}

// The summary line, with the dose reports: the outbox is sent once where the folder forwards them.
void sayPullSummary(size_t found, const Counts& counts, const node::ReportSettings& settings,
                    node::DoseReporter& reporter, std::ostream& out, std::ostream& err) {
    const int reportsQueued = reporter.studyReportsQueued();
    out << "summary\t" << found << " found, " << counts.recorded << " recorded, " << counts.already
        << " already recorded, " << counts.held << " held";
    if (counts.listed)
        out << ", " << counts.listed << " derived or unreadable";
    if (counts.failed)
        out << ", " << counts.failed << " not fetched or failed";
    if (!settings.forward.empty()) {
        auto round = reporter.outbox().sendDue(node::storeSender(settings.aeTitle));
        auto waiting = reporter.outbox().waiting();
        out << "; dose reports: " << reportsQueued << " queued";
        if (round.ok() && !round->busy)
            out << ", " << round->acknowledged << " sent";
        else if (round.ok())
            out << ", the node's sender is at work";
        if (waiting.ok() && !waiting->empty())
            out << ", " << waiting->size() << " wait for the node";
        if (round.ok())
            for (const std::string& message : round->messages)
                err << "tamso-calc: " << message << '\n';
        else
            err << "tamso-calc: " << round.error().message() << '\n';
    } else if (settings.besideRecords) {
        out << "; dose reports: " << reportsQueued << " kept beside the records";
    }
    out << '\n';
}

} // namespace

bool asksForPull(const std::vector<std::string>& args) {
    return std::any_of(args.begin(), args.end(), [](const std::string& arg) {
        return arg == "--pull" || arg.rfind("--pull=", 0) == 0;
    });
}

std::string pullDate(const std::string& text) {
    std::string form = text;
    if (text.size() == 8 && isDigits(text))
        form = text.substr(0, 4) + "/" + text.substr(4, 2) + "/" + text.substr(6, 2);
    const auto date = records::parseExamDate(form);
    if (!date)
        return {};
    char out[16];
    std::snprintf(out, sizeof out, "%04d%02d%02d", date->year, date->month, date->day);
    return out;
}

int runPullCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (std::find(args.begin(), args.end(), "--help") != args.end() ||
        std::find(args.begin(), args.end(), "-h") != args.end()) {
        out << kPullHelp;
        return 0;
    }
    PullRequest request;
    if (const auto wrong = readPullOptions(args, request, err))
        return *wrong;
    const std::filesystem::path& workFolder = request.workFolder;

    auto settings = workFolderSettings(workFolder);
    if (!settings.ok()) {
        err << "tamso-calc: " << settings.error().message() << '\n';
        return 2;
    }
    const node::NodeLogger log = [&err](const std::string& line) { err << "tamso-calc: " << line << '\n'; };
    node::OutboxOptions outboxOptions;
    outboxOptions.reportDelay = settings->reportDelay;
    node::DoseReporter reporter(workFolder, settings->forward, settings->besideRecords, "tamso-calc", log,
                                outboxOptions);
    // The node's own path, beside a service that may run on the same folder: the same locks, and
    // only the images this command admits (the service's own images stay the service's).
    node::ProcessorOptions options;
    options.ownImagesOnly = true;
    node::ImageProcessor processor(workFolder, {}, options);
    processor.setRecordedHook([&](const node::RecordedImage& image) -> Status {
        return reporter.reportRecordedImage(image);
    });
    if (auto e = processor.open(); !e.ok()) {
        err << "tamso-calc: " << e.message() << '\n';
        return 2;
    }

    auto found = node::findImages(request.query);
    if (!found.ok()) {
        err << "tamso-calc: " << found.error().message() << '\n';
        return kExitPacsUnreachable;
    }
    // Images recorded before are not fetched again.
    node::ImageLog imageLog(workFolder);
    if (auto e = imageLog.refresh(); !e.ok()) {
        err << "tamso-calc: " << e.message() << '\n';
        return 2;
    }
    Counts counts;
    const std::vector<node::FoundImage> toFetch = sayKnownImages(*found, imageLog, workFolder, counts, out);
    std::set<std::string> studies; // of the images, for their reports
    for (const node::FoundImage& image : *found)
        studies.insert(image.studyInstanceUid);

    ScratchFolder scratch(workFolder);
    if (Status s = scratch.open(); !s.ok()) {
        err << "tamso-calc: " << s.error().message() << '\n';
        return 2;
    }
    auto retrieved = toFetch.empty() ? Expected<std::vector<node::RetrievedImage>>(std::vector<node::RetrievedImage>{})
                                     : node::retrieveHeaders(request.query, toFetch, scratch.path());
    if (!retrieved.ok()) {
        scratch.remove();
        err << "tamso-calc: " << retrieved.error().message() << '\n';
        return kExitPacsUnreachable;
    }
    processRetrieved(*retrieved, processor, imageLog, counts, out);
    scratch.remove();
    // The back-fill has fetched every image of its studies: their reports go now, not after the
    // report delay.
    if (reporter.reporting())
        if (Status s = reporter.reportDueStudies(std::chrono::system_clock::now(),
                                                 std::vector<std::string>(studies.begin(), studies.end()));
            !s.ok())
            err << "tamso-calc: " << s.error().message() << '\n';
    sayPullSummary(found->size(), counts, *settings, reporter, out, err);
    return counts.failed ? 2 : 0;
}

} // namespace tamso::calc
