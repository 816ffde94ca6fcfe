// The journal of the processing pass ("tamso-node/journal"): written before the record files, it
// lets the next pass finish the work of a pass that was killed.

#include "node/processingpass.h"

#include "node/nodeplatform.h"
#include "records/exposurerecord.h"
#include "records/patienthistory.h"
#include "textio/fileio.h"

namespace tamso::node {
namespace {

// A journal entry: the log entry the record will have, the record's fields and the run's values.
struct JournalEntry {
    ImageEntry entry;
    records::RecordTexts texts;
    std::optional<ExposureDose> dose;
};

std::string journalLine(const JournalEntry& j) {
    std::string line;
    for (const std::string& value : entryFields(j.entry))
        line += escapeField(value) + "\t";
    const auto texts = j.texts.inLineOrder();
    for (size_t i = 0; i < texts.size(); ++i)
        line += (i ? "\t" : "") + escapeField(texts[i]);
    return line + "\t" + escapeField(j.dose ? exposureDoseText(*j.dose) : std::string()) + "\n";
}

std::optional<JournalEntry> parseJournalLine(const std::string& line) {
    const std::vector<std::string> fields = splitTabs(line);
    const size_t n = imageLogColumns().size();
    // The run's values follow the record's fields (a line of an earlier version has none).
    if (fields.size() != n + records::kRecordLines && fields.size() != n + records::kRecordLines + 1)
        return std::nullopt;
    JournalEntry j;
    j.entry =
        entryFromFields(imageLogColumns(), std::vector<std::string>(fields.begin(), fields.begin() + n));
    auto at = [&](size_t i) { return fields[n + i]; };
    j.texts = {at(0), at(1), at(2), at(3), at(4), at(5), at(6), at(7), at(8), at(9), at(10), at(11), at(12)};
    if (fields.size() > n + records::kRecordLines)
        j.dose = exposureDoseFromText(at(records::kRecordLines));
    return j;
}

std::vector<JournalEntry> parseJournal(const std::string& text) {
    std::vector<JournalEntry> found;
    for (const std::string& line : textio::splitLines(text))
        if (!line.empty() && line[0] != '#')
            if (auto j = parseJournalLine(line))
                found.push_back(std::move(*j));
    return found;
}

} // namespace

// The journal of an interrupted pass: an entry the log holds was logged before the interruption; one
// whose record is found at its number with its fields is logged now; the others are processed again.
Expected<std::set<std::string>> ProcessingPass::settleJournal(std::vector<ImageEntry>& logged) {
    std::set<std::string> settledFiles;
    auto text = textio::readRegularFileBytes(journal_, 64u << 20);
    if (!text.ok() || text->empty())
        return settledFiles;
    const std::vector<JournalEntry> found = parseJournal(*text);
    std::vector<ImageEntry> recovered;
    std::vector<const JournalEntry*> hooked; // recorded: the hook is called (again) for each
    std::map<std::string, std::vector<const JournalEntry*>> byInfant;
    for (const JournalEntry& j : found) {
        if (st_.log.isRecorded(j.entry.sopInstanceUid)) {
            settledFiles.insert(j.entry.file); // logged before the interruption
            hooked.push_back(&j);
        } else {
            byInfant[j.entry.patientId].push_back(&j);
        }
    }
    for (const auto& [id, entries] : byInfant) {
        records::RecordFileLock lock;
        records::RecordLockOptions lockOptions;
        lockOptions.wait = options_.infantLockWait;
        if (auto e = lock.acquire(records::patientRecordFile(workFolder_, id), lockOptions); !e.ok())
            return Error(ErrorCode::InterruptedRecordCheck, {e.message()});
        auto history = records::loadPatientHistory(workFolder_, id);
        if (!history.ok())
            return Error(ErrorCode::InterruptedRecordCheck, {history.error().message()});
        for (const JournalEntry* j : entries) {
            const int n = j->entry.recordNumber;
            if (n >= 1 && n <= history->recordCount() &&
                records::recordHoldsTexts(history->records[static_cast<size_t>(n - 1)], j->texts)) {
                recovered.push_back(j->entry);
                settledFiles.insert(j->entry.file);
                hooked.push_back(j);
            }
        }
    }
    if (auto e = st_.log.append(recovered); !e.ok())
        return e.error();
    for (const ImageEntry& e : recovered) {
        say(imageLogLine(e) + " (after an interruption)");
        logged.push_back(e);
    }
    // The hook for every image the journal lists as recorded, with its entry as logged.
    std::string kept;                // the journal lines whose hook has still to succeed
    std::set<std::string> keptFiles; // and their headers
    for (const JournalEntry* j : hooked) {
        const ImageEntry* entry = st_.log.latest(j->entry.sopInstanceUid);
        if (!hook_ || !entry)
            continue;
        if (const Status done = hook_({*entry, inbox_ / fs::u8path(j->entry.file), j->dose}); !done.ok()) {
            say("image " + entry->sopInstanceUid + ": " + done.message() + " (tried again at the next pass)");
            kept += journalLine(*j);
            keptFiles.insert(j->entry.file);
        }
    }
    for (const std::string& file : settledFiles) {
        std::error_code ec;
        if (!keptFiles.count(file))
            fs::remove(inbox_ / fs::u8path(file), ec);
    }
    // Settled: what the journal held is in the log or will be processed again; only the entries
    // whose hook is still to succeed stay.
    if (kept.empty()) {
        std::error_code ec;
        fs::resize_file(journal_, 0, ec);
    } else if (auto e = textio::writeFileAtomic(journal_, kept); !e.ok()) {
        return e.error();
    }
    return settledFiles;
}

// Each record's entry, fields and run values, on the disk before any record file changes.
Status ProcessingPass::journal(PassPlan& plan) {
    std::string journalText;
    for (const InfantWork& work : plan.infants)
        for (const Candidate* c : work.recorded)
            journalText += journalLine({c->entry, c->texts, c->dose});
    if (journalText.empty())
        return {};
    plan.journaled = true;
    if (auto e = platform::appendDurably(journal_, journalText); !e.ok())
        return Error(ErrorCode::RecordNotPrepared, {e.message()});
    return killPoint("journal");
}

// Every record and hook of the pass is done: the next pass has nothing to settle.
void ProcessingPass::clearJournal(const PassPlan& plan) {
    if (!plan.keepJournal && plan.journaled) {
        std::error_code emptied;
        fs::resize_file(journal_, 0, emptied);
    }
}

} // namespace tamso::node
