#pragma once
// The durable outbox of the dose reports: every report queued for a destination is kept on disk
// until the destination has acknowledged it, sent again with growing intervals while it is down,
// and never sent again once acknowledged. The outbox survives restarts: all it knows is in its
// files, each written atomically and on the disk before the call that wrote it returns.
//
// Files, under the node's folder ("<working folder>/tamso-node/outbox"):
//   reports/<SOP Instance UID>.dcm   the report, written once
//   waiting/<entry>.txt              one per report and destination not yet acknowledged
//   sent/<entry>.txt                 the same entry once acknowledged, with when and how
//   queued/<UID>@<destination>       empty: the report of that UID has an entry for that destination,
//                                    so that queuing checks one file, however many reports wait
//   sender.lock                      held by the one sender at work (another process's sender waits
//                                    for its next turn), so that no report is sent twice at once
// An entry file holds "key=value" lines (Shift-JIS, CR LF): destination, report, sop-instance-uid,
// label, queued, attempts, next-attempt, last-error, and in sent/ also acknowledged and status;
// times are seconds since 1970-01-01 UTC.
//
// Acknowledged means a C-STORE response that says the object is stored. Should the program stop
// in the instant between that response and the entry's move to sent/, the report goes once more
// with the same SOP Instance UID, which a PACS takes as the same object.

#include "node/dosereport.h"
#include "node/storesender.h"
#include "textio/expected.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tamso::node {

namespace fs = std::filesystem;

using Clock = std::chrono::system_clock;

struct OutboxOptions {
    std::chrono::seconds firstRetry{30};     // the wait after the first failed attempt
    std::chrono::seconds longestRetry{3600}; // the waits double up to this one
    // How long a study must be quiet before its dose report is made (studyreports.h); 0: at once.
    std::chrono::seconds reportDelay{0};
};

struct OutboxEntry {
    std::string id;             // the entry's file name without ".txt"
    std::string destination;    // "AET@HOST:PORT"
    std::string reportFile;     // file name in reports/
    std::string sopInstanceUid; // of the report
    std::string label; // what the report is about, for lists ("N-0001 山田 花子 2024/05/01 0.203 mGy")
    std::int64_t queued = 0;       // seconds since 1970 UTC
    int attempts = 0;              // failed attempts so far
    std::int64_t nextAttempt = 0;  // not sent before this time
    std::string lastError;         // why the last attempt failed
    std::int64_t acknowledged = 0; // when the destination acknowledged it (sent entries only)
    std::uint16_t status = 0;      // the acknowledging C-STORE status (sent entries only)
};

// What one sending round did.
struct SendRound {
    bool busy = false;    // another sender was at work: nothing was tried
    int acknowledged = 0; // entries the destinations acknowledged
    int failed = 0;       // entries tried without acknowledgment (they wait for their next attempt)
    std::vector<std::string> messages; // one line per failed destination or entry (Japanese)
};

// Sends files to one destination: one outcome per file (storeFiles with the node's options).
using ReportSender =
    std::function<std::vector<StoreOutcome>(const Destination&, const std::vector<fs::path>&)>;

class Outbox {
public:
    // The outbox of the node folder ("<working folder>/tamso-node").
    explicit Outbox(fs::path nodeFolder, OutboxOptions options = {});

    const fs::path& folder() const { return folder_; }

    // Keeps the report and one waiting entry per destination (due at once); everything is on the
    // disk when it returns. The label is kept with the entries for the lists. A report queued before
    // (the same SOP Instance UID) is not queued again: only a destination that has no entry of it,
    // waiting or sent, gets one. Returns the entries made.
    Expected<std::vector<OutboxEntry>> enqueue(const DoseReport& report,
                                               const std::vector<Destination>& destinations,
                                               const std::string& label,
                                               Clock::time_point now = Clock::now());

    // The entries not yet acknowledged, oldest first.
    Expected<std::vector<OutboxEntry>> waiting() const;
    // The acknowledged entries of the latest `limit` reports queued, the latest acknowledgment first.
    Expected<std::vector<OutboxEntry>> sent(std::size_t limit = 100) const;
    // The report file of an entry.
    fs::path reportPath(const OutboxEntry& entry) const;

    // Work done at the start of every sending round, under the sender's lock, before the due entries
    // are read (the reports of the studies that have fallen due), and when it next has work.
    void setPreparation(std::function<Status(Clock::time_point)> prepare,
                        std::function<std::optional<Clock::time_point>()> nextWork);

    // Sends every waiting entry that is due, one association per destination; an acknowledged
    // entry moves to sent/, a failed one waits (firstRetry, then twice as long each time, up to
    // longestRetry). Does nothing while another sender (of this or another process) is at work.
    // `askedNow`: a try a person asked for ("今すぐ送信"): every waiting entry, due or not; one that
    // fails keeps its count of failed attempts and its next automatic attempt, so that pressing the
    // command while the destination is down never puts the next try further off.
    Expected<SendRound> sendDue(const ReportSender& send, Clock::time_point now = Clock::now(),
                                bool askedNow = false);

    // Makes every waiting entry due now (for a site that has mended its PACS link). Waits up to
    // `lockWait` for a sending round at work to end; fails as busy (saying so) after that.
    Status retryNow(Clock::time_point now = Clock::now(),
                    std::chrono::milliseconds lockWait = std::chrono::seconds(10));

    // The time at which the next waiting entry (or the preparation's work) falls due; nothing when
    // none waits. What this object queued or sent itself it knows; the waiting folder is read again
    // when that time has come, when another object or process has queued or retried since (the
// folder queued/ changed), and at least every 30 s.
    Expected<std::optional<Clock::time_point>> nextDue() const;

private:
    bool nothingDue(Clock::time_point now) const;
    std::uint64_t generation() const;
    std::optional<fs::file_time_type> stamp() const;
    void remember(std::optional<std::int64_t> earliestSeconds, Clock::time_point now,
                  std::optional<std::uint64_t> readAtGeneration, std::optional<fs::file_time_type> readAtStamp) const;

    fs::path folder_;
    OutboxOptions options_;
    std::function<Status(Clock::time_point)> prepare_;
    std::function<std::optional<Clock::time_point>()> nextWork_;
    // What the last full read of the waiting folder found: the earliest due entry (seconds since
    // 1970), or none; and when it was read. Lowered by each entry queued here.
    mutable std::mutex known_;
    mutable std::optional<std::int64_t> earliest_;
    mutable std::optional<Clock::time_point> read_;
    mutable std::uint64_t generation_ = 0; // counts the entries queued here and the retries
    // The time of the last change of queued/ when the waiting folder was last read: every entry
    // queued (by any process) adds a mark there, and a retry a file, so one look tells.
    mutable std::optional<fs::file_time_type> stamp_;
};

// Sends the outbox's reports in a thread of its own: at start, whenever wake() is called (after a
// report was queued) and when the next waiting entry falls due, looking at least every `poll`
// (reports queued by another process are seen then). stop() finishes the round at work and ends.
class OutboxWorker {
public:
    OutboxWorker(Outbox& outbox, ReportSender send,
                 std::chrono::milliseconds poll = std::chrono::seconds(30));
    ~OutboxWorker();
    OutboxWorker(const OutboxWorker&) = delete;
    OutboxWorker& operator=(const OutboxWorker&) = delete;

    void start();
    void wake();
    void stop();
    // Called after each round that tried something (for the node's log); set before start().
    void onRound(std::function<void(const SendRound&)> report) { onRound_ = std::move(report); }

private:
    void run();

    Outbox& outbox_;
    ReportSender send_;
    std::chrono::milliseconds poll_;
    std::function<void(const SendRound&)> onRound_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool woken_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace tamso::node
