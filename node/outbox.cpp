#include "node/outbox.h"

#include "records/recordfilelock.h"
#include "textio/codec.h"
#include "textio/fileio.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <functional>
#include <map>
#include <random>

namespace tamso::node {

namespace {

constexpr const char* kEntryExtension = ".txt";

std::int64_t seconds(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::seconds>(t.time_since_epoch()).count();
}

std::string randomHex(int digits) {
    static std::mutex guard;
    static std::random_device device;
    static const char hex[] = "0123456789abcdef";
    std::string text;
    std::lock_guard<std::mutex> lock(guard);
    while (static_cast<int>(text.size()) < digits) {
        std::uint32_t r = device();
        for (int i = 0; i < 8 && static_cast<int>(text.size()) < digits; ++i, r >>= 4)
            text += hex[r & 0xF];
    }
    return text;
}

// Milliseconds since 1970 and a count of this process, zero-padded, so that entry names sort in the
// order they were queued; random digits keep those of two processes apart.
std::string newEntryId(Clock::time_point now) {
    static std::atomic<unsigned> counter{0};
    auto padded = [](std::string digits, std::size_t width) {
        return std::string(digits.size() < width ? width - digits.size() : 0, '0') + digits;
    };
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
    return padded(std::to_string(ms), 15) + "-" + padded(std::to_string(counter++ % 1000000), 6) + "-" +
           randomHex(8);
}

// The text as Shift-JIS can hold it: a character it cannot becomes "?".
std::string storableText(const std::string& utf8) {
    if (textio::utf8ToSjis(utf8).ok())
        return utf8;
    std::string kept;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        const std::string one = utf8.substr(i, length);
        kept += textio::utf8ToSjis(one).ok() ? one : "?";
        i += length;
    }
    return kept;
}

// A value on one line: each line break becomes one blank.
std::string oneLine(const std::string& text) {
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        line += text[i] == '\r' || text[i] == '\n' ? ' ' : text[i];
    }
    return line;
}

Status writeEntry(const fs::path& file, const OutboxEntry& e, bool sent) {
    std::vector<std::string> lines = {
        "destination=" + oneLine(e.destination),
        "report=" + e.reportFile,
        "sop-instance-uid=" + e.sopInstanceUid,
        "label=" + storableText(oneLine(e.label)),
        "queued=" + std::to_string(e.queued),
        "attempts=" + std::to_string(e.attempts),
        "next-attempt=" + std::to_string(e.nextAttempt),
        "last-error=" + storableText(oneLine(e.lastError)),
    };
    if (sent) {
        lines.push_back("acknowledged=" + std::to_string(e.acknowledged));
        lines.push_back("status=" + std::to_string(e.status));
    }
    return textio::writeTextLines(file, lines);
}

std::int64_t number(const std::string& text) {
    std::int64_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// An entry file; one that cannot be read gives an entry that says so.
OutboxEntry readEntry(const fs::path& file) {
    OutboxEntry e;
    e.id = file.stem().string();
    auto text = textio::readTextFile(file);
    if (!text.ok()) {
        e.lastError = text.error().message();
        return e;
    }
    for (const std::string& line : textio::splitLines(*text)) {
        const auto equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        const std::string key = line.substr(0, equals);
        const std::string value = line.substr(equals + 1);
        if (key == "destination")
            e.destination = value;
        else if (key == "report")
            e.reportFile = value;
        else if (key == "sop-instance-uid")
            e.sopInstanceUid = value;
        else if (key == "label")
            e.label = value;
        else if (key == "queued")
            e.queued = number(value);
        else if (key == "attempts")
            e.attempts = static_cast<int>(number(value));
        else if (key == "next-attempt")
            e.nextAttempt = number(value);
        else if (key == "last-error")
            e.lastError = value;
        else if (key == "acknowledged")
            e.acknowledged = number(value);
        else if (key == "status")
            e.status = static_cast<std::uint16_t>(number(value));
    }
    if (e.destination.empty() || e.reportFile.empty())
        e.lastError =
            "送信待ちのファイル（" + textio::fileNameUtf8(file) + "）に送信先またはレポートがありません";
    return e;
}

// The entry files of a folder (temporary files of replacements left out), by name.
std::vector<fs::path> entryFiles(const fs::path& folder) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path name = it->path().filename();
        const std::string text = name.string();
        if (!text.empty() && text.front() != '.' && it->path().extension() == kEntryExtension)
            files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// The name of the mark that a report has an entry for a destination: its UID, "@", and the
// destination with every character but letters, digits, "." and "-" as "_" and two hex digits.
std::string queuedMarkName(const std::string& uid, const std::string& destination) {
    static const char hex[] = "0123456789abcdef";
    std::string name = uid + "@";
    for (unsigned char c : destination) {
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '.' || c == '-') {
            name += static_cast<char>(c);
        } else {
            name += '_';
            name += hex[c >> 4];
            name += hex[c & 0xF];
        }
    }
    return name;
}

constexpr auto kRereadAfter = std::chrono::seconds(30);

Status makeFolders(const fs::path& outbox) {
    for (const char* name : {"reports", "waiting", "sent", "queued"}) {
        std::error_code ec;
        fs::create_directories(outbox / name, ec);
        if (ec)
            return Error(ErrorCode::OutboxFolderCannotMake,
                         {textio::fileNameUtf8(outbox / name), textio::fileErrorReason(ec.value())});
    }
    return {};
}

// The entries due now by destination, in the order they were queued; `later` gets the time of each
// entry left waiting.
std::map<std::string, std::vector<std::pair<fs::path, OutboxEntry>>> dueByDestination(
    const fs::path& outbox, std::int64_t nowSeconds, bool askedNow, const std::function<void(std::int64_t)>& later) {
    std::map<std::string, std::vector<std::pair<fs::path, OutboxEntry>>> due;
    for (const fs::path& file : entryFiles(outbox / "waiting")) {
        std::error_code ec;
        if (fs::exists(outbox / "sent" / file.filename(), ec)) {
            // Acknowledged, but the program stopped before the waiting entry was removed.
            fs::remove(file, ec);
            continue;
        }
        OutboxEntry e = readEntry(file);
        if (!e.destination.empty() && (askedNow || e.nextAttempt <= nowSeconds))
            due[e.destination].emplace_back(file, e);
        else if (!e.destination.empty())
            later(e.nextAttempt);
    }
    return due;
}

} // namespace

Outbox::Outbox(fs::path nodeFolder, OutboxOptions options)
    : folder_(std::move(nodeFolder) / "outbox"), options_(options) {}

fs::path Outbox::reportPath(const OutboxEntry& entry) const {
    return folder_ / "reports" / entry.reportFile;
}

Expected<std::vector<OutboxEntry>> Outbox::enqueue(const DoseReport& report,
                                                   const std::vector<Destination>& destinations,
                                                   const std::string& label, Clock::time_point now) {
    if (report.sopInstanceUid.empty() || report.fileBytes.empty())
        return Error(ErrorCode::OutboxReportEmpty);
    if (Status s = makeFolders(folder_); !s.ok())
        return s.error();
    const std::string reportFile = report.sopInstanceUid + ".dcm";
    auto created = textio::createFileAtomic(folder_ / "reports" / reportFile, report.fileBytes);
    if (!created.ok())
        return created.error();
    // A report queued before (made again after an interruption): the file there stays, and only
    // the destinations that have no entry of it yet, waiting or sent, get one. The mark of each entry
    // says so in one look; the entries themselves are read only for a report queued by an earlier
    // version (without marks), or one whose mark was not yet written when the program stopped.
    std::optional<std::vector<std::string>> listed;
    auto queuedBefore = [&](const std::string& destination) {
        if (*created)
            return false;
        if (std::error_code ec; fs::exists(folder_ / "queued" / queuedMarkName(report.sopInstanceUid, destination), ec))
            return true;
        if (!listed) {
            listed.emplace();
            for (const char* folder : {"waiting", "sent"})
                for (const fs::path& file : entryFiles(folder_ / folder))
                    if (const OutboxEntry e = readEntry(file); e.sopInstanceUid == report.sopInstanceUid)
                        listed->push_back(e.destination);
        }
        return std::find(listed->begin(), listed->end(), destination) != listed->end();
    };
    std::vector<OutboxEntry> entries;
    std::vector<std::string> done;
    for (const Destination& destination : destinations) {
        OutboxEntry e;
        e.destination = destinationText(destination);
        if (std::find(done.begin(), done.end(), e.destination) != done.end())
            continue;
        done.push_back(e.destination);
        const fs::path mark = folder_ / "queued" / queuedMarkName(report.sopInstanceUid, e.destination);
        if (queuedBefore(e.destination)) {
            if (std::error_code ec; !fs::exists(mark, ec))
                if (Status s = textio::writeFileAtomic(mark, ""); !s.ok())
                    return s.error();
            continue;
        }
        e.id = newEntryId(now);
        e.reportFile = reportFile;
        e.sopInstanceUid = report.sopInstanceUid;
        e.label = label;
        e.queued = seconds(now);
        e.nextAttempt = seconds(now);
        if (Status s = writeEntry(folder_ / "waiting" / (e.id + kEntryExtension), e, false); !s.ok())
            return s.error();
        if (Status s = textio::writeFileAtomic(mark, ""); !s.ok())
            return s.error();
        entries.push_back(e);
    }
    if (!entries.empty()) {
        std::lock_guard<std::mutex> lock(known_);
        earliest_ = std::min(earliest_.value_or(seconds(now)), seconds(now));
        ++generation_;
    }
    return entries;
}

Expected<std::vector<OutboxEntry>> Outbox::waiting() const {
    std::vector<OutboxEntry> entries;
    for (const fs::path& file : entryFiles(folder_ / "waiting"))
        if (std::error_code ec; !fs::exists(folder_ / "sent" / file.filename(), ec))
            entries.push_back(readEntry(file));
    return entries;
}

Expected<std::vector<OutboxEntry>> Outbox::sent(std::size_t limit) const {
    // Only the latest queued entries are read, so that a long history costs nothing.
    const std::vector<fs::path> files = entryFiles(folder_ / "sent");
    std::vector<OutboxEntry> entries;
    for (auto it = files.rbegin(); it != files.rend() && entries.size() < limit; ++it)
        entries.push_back(readEntry(*it));
    std::stable_sort(entries.begin(), entries.end(), [](const OutboxEntry& a, const OutboxEntry& b) {
        return a.acknowledged > b.acknowledged;
    });
    return entries;
}

void Outbox::setPreparation(std::function<Status(Clock::time_point)> prepare,
                            std::function<std::optional<Clock::time_point>()> nextWork) {
    prepare_ = std::move(prepare);
    nextWork_ = std::move(nextWork);
}

std::uint64_t Outbox::generation() const {
    std::lock_guard<std::mutex> lock(known_);
    return generation_;
}

std::optional<fs::file_time_type> Outbox::stamp() const {
    std::error_code ec;
    const auto time = fs::last_write_time(folder_ / "queued", ec);
    if (ec)
        return std::nullopt;
    return time;
}

// What a full read of the waiting folder found; an entry queued here while it was read is due now.
void Outbox::remember(std::optional<std::int64_t> earliestSeconds, Clock::time_point now,
                      std::optional<std::uint64_t> readAtGeneration,
                      std::optional<fs::file_time_type> readAtStamp) const {
    std::lock_guard<std::mutex> lock(known_);
    stamp_ = readAtStamp;
    if (readAtGeneration && *readAtGeneration != generation_)
        earliestSeconds = std::min(earliestSeconds.value_or(seconds(now)), seconds(now));
    earliest_ = earliestSeconds;
    read_ = now;
}

// Whether what this object knows says that no entry is due: the folder was read lately, and its
// earliest entry (or one queued since) is not due yet.
bool Outbox::nothingDue(Clock::time_point now) const {
    const auto changed = stamp();
    std::lock_guard<std::mutex> lock(known_);
    if (!read_ || now < *read_ || now - *read_ >= kRereadAfter || !changed || changed != stamp_)
        return false;
    return !earliest_ || *earliest_ > seconds(now);
}

Expected<std::optional<Clock::time_point>> Outbox::nextDue() const {
    const Clock::time_point now = Clock::now();
    std::optional<Clock::time_point> next;
    if (nextWork_)
        next = nextWork_();
    auto sooner = [&next](Clock::time_point t) { next = next ? std::min(*next, t) : t; };
    {
        const auto changed = stamp();
        std::lock_guard<std::mutex> lock(known_);
        if (read_ && now >= *read_ && now - *read_ < kRereadAfter && changed && changed == stamp_) {
            if (earliest_)
                sooner(Clock::time_point{std::chrono::seconds(*earliest_)});
            else
                sooner(*read_ + kRereadAfter);
            return next;
        }
    }
    const std::uint64_t readAt = generation();
    const auto readStamp = stamp();
    auto entries = waiting();
    if (!entries.ok())
        return entries.error();
    std::optional<std::int64_t> earliest;
    for (const auto& e : *entries)
        if (!e.destination.empty())
            earliest = earliest ? std::min(*earliest, e.nextAttempt) : e.nextAttempt;
    remember(earliest, now, readAt, readStamp);
    if (earliest)
        sooner(Clock::time_point{std::chrono::seconds(*earliest)});
    return next;
}

Status Outbox::retryNow(Clock::time_point now, std::chrono::milliseconds lockWait) {
    records::RecordFileLock lock;
    if (Status s = makeFolders(folder_); !s.ok())
        return s;
    if (Status s = lock.acquire(folder_ / "sender", {lockWait, std::chrono::milliseconds(20)}); !s.ok()) {
        if (s.error().kind() == Error::Kind::Busy)
            return Error(ErrorCode::SendingInProgress);
        return s;
    }
    for (const fs::path& file : entryFiles(folder_ / "waiting")) {
        OutboxEntry e = readEntry(file);
        if (e.destination.empty() || e.nextAttempt <= seconds(now))
            continue;
        e.nextAttempt = seconds(now);
        if (Status s = writeEntry(file, e, false); !s.ok())
            return s;
    }
    // Other objects and processes see the change by queued/.
    if (Status s = textio::writeFileAtomic(folder_ / "queued" / "retry", std::to_string(seconds(now))); !s.ok())
        return s;
    std::lock_guard<std::mutex> known(known_);
    read_.reset();
    ++generation_;
    return {};
}

Expected<SendRound> Outbox::sendDue(const ReportSender& send, Clock::time_point now, bool askedNow) {
    SendRound round;
    if (Status s = makeFolders(folder_); !s.ok())
        return s.error();
    records::RecordFileLock lock;
    if (Status s =
            lock.acquire(folder_ / "sender", {std::chrono::milliseconds(0), std::chrono::milliseconds(1)});
        !s.ok()) {
        if (s.error().kind() == Error::Kind::Busy) {
            round.busy = true;
            return round;
        }
        return s.error();
    }
    if (prepare_)
        if (Status s = prepare_(now); !s.ok())
            round.messages.push_back(s.error().message());
    if (!askedNow && nothingDue(now))
        return round;
    const std::int64_t nowSeconds = seconds(now);
    const std::uint64_t readAt = generation();
    const auto readStamp = stamp();
    std::optional<std::int64_t> earliest; // of the entries left waiting
    auto later = [&earliest](std::int64_t at) { earliest = earliest ? std::min(*earliest, at) : at; };
    auto due = dueByDestination(folder_, nowSeconds, askedNow, later);
    for (auto& [destinationTextValue, entries] : due) {
        std::vector<StoreOutcome> outcomes;
        auto destination = parseDestination(destinationTextValue);
        if (destination.ok()) {
            std::vector<fs::path> files;
            for (const auto& [file, e] : entries)
                files.push_back(reportPath(e));
            outcomes = send(*destination, files);
        }
        if (outcomes.size() != entries.size())
            outcomes.assign(entries.size(), StoreOutcome{false, 0,
                                                         destination.ok() ? "送信の結果を得られませんでした"
                                                                          : destination.error().message()});
        std::string lastMessage;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            auto& [file, e] = entries[i];
            const StoreOutcome& outcome = outcomes[i];
            if (outcome.acknowledged) {
                e.acknowledged = nowSeconds;
                e.status = outcome.status;
                e.lastError = outcome.message;
                if (Status s = writeEntry(folder_ / "sent" / file.filename(), e, true); !s.ok())
                    return s.error();
                std::error_code ec;
                fs::remove(file, ec);
                ++round.acknowledged;
                continue;
            }
            if (!askedNow) { // a person's "send now" never pushes the next automatic try later
                ++e.attempts;
                auto wait = options_.firstRetry;
                for (int k = 1; k < e.attempts && wait < options_.longestRetry; ++k)
                    wait *= 2;
                wait = std::min(wait, options_.longestRetry);
                e.nextAttempt = nowSeconds + std::max<std::int64_t>(wait.count(), 1);
            }
            later(e.nextAttempt);
            e.lastError = outcome.message;
            if (Status s = writeEntry(file, e, false); !s.ok())
                return s.error();
            ++round.failed;
            if (outcome.message != lastMessage)
                round.messages.push_back(destinationTextValue + ": " + outcome.message);
            lastMessage = outcome.message;
        }
    }
    remember(earliest, now, readAt, readStamp);
    return round;
}

} // namespace tamso::node
