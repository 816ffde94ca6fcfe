#include "node/imagelog.h"

#include "node/nodefolders.h"
#include "node/nodeplatform.h"
#include "textio/csv.h"
#include "textio/fileio.h"

#include <algorithm>
#include <fstream>

namespace tamso::node {
namespace {

constexpr const char* kLogName = "images.log";
constexpr size_t kRecentKept = 1000; // the latest listed entries kept for the window

struct Column {
    const char* name;
    std::string ImageEntry::*text; // null for the number, outcome and record number
};

const std::vector<Column>& columns() {
    static const std::vector<Column> list = {
        {"number", nullptr},
        {"time", &ImageEntry::time},
        {"outcome", nullptr},
        {"sop_instance_uid", &ImageEntry::sopInstanceUid},
        {"sop_class_uid", &ImageEntry::sopClassUid},
        {"study_instance_uid", &ImageEntry::studyInstanceUid},
        {"irradiation_event_uid", &ImageEntry::irradiationEventUid},
        {"patient_id", &ImageEntry::patientId},
        {"patient_name", &ImageEntry::patientName},
        {"exam_date", &ImageEntry::examDate},
        {"body_part", &ImageEntry::bodyPart},
        {"kv", &ImageEntry::kv},
        {"kv_source", &ImageEntry::kvSource},
        {"mas", &ImageEntry::mAs},
        {"mas_source", &ImageEntry::mAsSource},
        {"ffd_cm", &ImageEntry::ffdCm},
        {"ffd_source", &ImageEntry::ffdSource},
        {"thickness_cm", &ImageEntry::thicknessCm},
        {"thickness_source", &ImageEntry::thicknessSource},
        {"field_cm", &ImageEntry::fieldCm},
        {"field_name", &ImageEntry::fieldName},
        {"field_source", &ImageEntry::fieldSource},
        {"technologist", &ImageEntry::technologist},
        {"technologist_source", &ImageEntry::technologistSource},
        {"xray_unit", &ImageEntry::xrayUnit},
        {"xray_unit_source", &ImageEntry::xrayUnitSource},
        {"entrance_surface_dose_mgy", &ImageEntry::doseMGy},
        {"record_number", nullptr},
        {"reason", &ImageEntry::reason},
        {"file", &ImageEntry::file},
    };
    return list;
}

std::string columnValue(const ImageEntry& e, const Column& c) {
    const std::string name = c.name;
    if (name == "number")
        return std::to_string(e.number);
    if (name == "outcome")
        return outcomeName(e.outcome);
    if (name == "record_number")
        return e.recordNumber > 0 ? std::to_string(e.recordNumber) : std::string();
    return e.*(c.text);
}

long long wholeNumber(const std::string& text) {
    if (text.empty() || text.size() > 18 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return 0;
    return std::stoll(text);
}

bool isListed(Outcome o) {
    return o == Outcome::Recorded || o == Outcome::Resolved || o == Outcome::Derived ||
           o == Outcome::Duplicate || o == Outcome::SetAside;
}

std::string csvLine(const std::vector<std::string>& cells) {
    std::string line;
    for (size_t i = 0; i < cells.size(); ++i)
        line += (i ? "," : "") + textio::csvCell(cells[i]);
    return line + "\r\n";
}

std::vector<std::string> receiptCells(const ImageEntry& e) {
    std::vector<std::string> cells;
    for (const std::string& name : receiptColumns())
        for (const Column& c : columns())
            if (name == c.name)
                cells.push_back(columnValue(e, c));
    return cells;
}

// The number in the first cell of the receipt log's last row; 0 when it has none.
long long lastReceiptNumber(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return 0;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    const std::streamoff start = std::max<std::streamoff>(0, size - 65536);
    in.seekg(start);
    std::string tail(static_cast<size_t>(size - start), '\0');
    in.read(tail.data(), static_cast<std::streamsize>(tail.size()));
    // Rows begin with their number; a line that does not (inside a quoted cell, the header) is passed,
    // and so is a last row cut short (without its line end).
    tail.erase(tail.rfind('\n') == std::string::npos ? 0 : tail.rfind('\n') + 1);
    long long last = 0;
    for (const std::string& line : textio::splitLines(tail)) {
        const auto comma = line.find(',');
        if (const long long n = wholeNumber(line.substr(0, comma)); n > 0)
            last = n;
    }
    return last;
}

} // namespace

const char* outcomeName(Outcome outcome) {
    switch (outcome) {
    case Outcome::Recorded:
        return "recorded";
    case Outcome::Held:
        return "held";
    case Outcome::Resolved:
        return "resolved";
    case Outcome::Derived:
        return "derived";
    case Outcome::Duplicate:
        return "duplicate";
    case Outcome::Unreadable:
        return "unreadable";
    case Outcome::SetAside:
        return "set_aside";
    }
    return "held";
}

const std::vector<std::string>& imageLogColumns() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> list;
        for (const Column& c : columns())
            list.push_back(c.name);
        return list;
    }();
    return names;
}

const std::vector<std::string>& receiptColumns() {
    static const std::vector<std::string> names = {"number",
                                                   "time",
                                                   "sop_instance_uid",
                                                   "patient_id",
                                                   "patient_name",
                                                   "exam_date",
                                                   "body_part",
                                                   "kv",
                                                   "kv_source",
                                                   "mas",
                                                   "mas_source",
                                                   "ffd_cm",
                                                   "ffd_source",
                                                   "thickness_cm",
                                                   "thickness_source",
                                                   "field_cm",
                                                   "field_name",
                                                   "field_source",
                                                   "technologist",
                                                   "technologist_source",
                                                   "xray_unit",
                                                   "xray_unit_source",
                                                   "entrance_surface_dose_mgy",
                                                   "outcome",
                                                   "record_number",
                                                   "reason"};
    return names;
}

std::string escapeField(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string unescapeField(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        out += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return out;
}

std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find('\t', start);
        fields.push_back(unescapeField(line.substr(start, tab - start)));
        if (tab == std::string::npos)
            return fields;
        start = tab + 1;
    }
}

std::vector<std::string> entryFields(const ImageEntry& entry) {
    std::vector<std::string> values;
    for (const Column& c : columns())
        values.push_back(columnValue(entry, c));
    return values;
}

ImageEntry entryFromFields(const std::vector<std::string>& names, const std::vector<std::string>& values) {
    ImageEntry e;
    for (size_t i = 0; i < names.size() && i < values.size(); ++i) {
        const std::string& name = names[i];
        const std::string& v = values[i];
        if (name == "number") {
            e.number = wholeNumber(v);
        } else if (name == "outcome") {
            for (Outcome o : {Outcome::Recorded, Outcome::Held, Outcome::Resolved, Outcome::Derived,
                              Outcome::Duplicate, Outcome::Unreadable, Outcome::SetAside})
                if (v == outcomeName(o))
                    e.outcome = o;
        } else if (name == "record_number") {
            e.recordNumber = static_cast<int>(wholeNumber(v));
        } else {
            for (const Column& c : columns())
                if (c.text && name == c.name)
                    e.*(c.text) = v;
        }
    }
    return e;
}

ImageLog::ImageLog(fs::path workFolder) : workFolder_(std::move(workFolder)) {}

fs::path ImageLog::logFile() const {
    return nodeFolder(workFolder_) / kLogName;
}
fs::path ImageLog::receiptFile() const {
    return textio::fileInFolder(workFolder_, kReceiptLogName);
}

Status ImageLog::refresh() {
    return readFrom(readOffset_);
}

Status ImageLog::readFrom(std::uintmax_t offset) {
    std::ifstream in(logFile(), std::ios::binary);
    if (!in)
        return {}; // no log yet
    in.seekg(0, std::ios::end);
    const std::uintmax_t size = static_cast<std::uintmax_t>(in.tellg());
    if (size < offset) {
        // Shorter than what was read: the log was replaced (restored, moved away); read it anew.
        *this = ImageLog(workFolder_);
        offset = 0;
    }
    if (size <= offset)
        return {};
    in.seekg(static_cast<std::streamoff>(offset));
    std::string bytes(static_cast<size_t>(size - offset), '\0');
    if (!in.read(bytes.data(), static_cast<std::streamsize>(bytes.size())))
        return Error(ErrorCode::ImageLogUnreadable, {logFile().u8string()});
    size_t pos = 0;
    for (;;) {
        const size_t end = bytes.find('\n', pos);
        if (end == std::string::npos)
            break; // an unfinished line waits for its end
        std::string line = bytes.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        if (line[0] == '#') {
            columns_ = splitTabs(line.substr(1));
            continue;
        }
        const std::vector<std::string>& columns = columns_.empty() ? imageLogColumns() : columns_;
        const std::vector<std::string> fields = splitTabs(line);
        // A line with fewer fields than columns was cut (a power cut while it was written): it is
        // no entry, and the lines after it start lines of their own.
        if (fields.size() < columns.size())
            continue;
        ImageEntry e = entryFromFields(columns, fields);
        if (e.sopInstanceUid.empty())
            continue;
        lastNumber_ = std::max(lastNumber_, e.number);
        if (!e.file.empty() && e.outcome != Outcome::Resolved)
            files_.emplace(e.file, e.outcome);
        if (isListed(e.outcome)) {
            recent_.push_back(e);
            if (recent_.size() > kRecentKept)
                recent_.pop_front();
        }
        if ((e.outcome == Outcome::Recorded || e.outcome == Outcome::Resolved) &&
            !e.irradiationEventUid.empty())
            events_.emplace(e.irradiationEventUid, e.sopInstanceUid);
        if ((e.outcome == Outcome::Recorded || e.outcome == Outcome::Resolved) && e.recordNumber > 0)
            imageRecords_.emplace(e.patientId, e.recordNumber);
        // A duplicate repeats an image whose state stays what it was.
        if (e.outcome != Outcome::Duplicate)
            latest_[e.sopInstanceUid] = std::move(e);
    }
    readOffset_ = offset + pos;
    return {};
}

bool ImageLog::isImageRecord(const std::string& patientId, int recordNumber) const {
    return imageRecords_.count({patientId, recordNumber}) > 0;
}

const ImageEntry* ImageLog::latest(const std::string& uid) const {
    const auto it = latest_.find(uid);
    return it == latest_.end() ? nullptr : &it->second;
}

std::optional<Outcome> ImageLog::loggedFile(const std::string& inboxName) const {
    const auto it = files_.find(inboxName);
    if (it == files_.end())
        return std::nullopt;
    return it->second;
}

const ImageEntry* ImageLog::recordedEvent(const std::string& irradiationEventUid) const {
    if (irradiationEventUid.empty())
        return nullptr;
    const auto it = events_.find(irradiationEventUid);
    return it == events_.end() ? nullptr : latest(it->second);
}

bool ImageLog::isRecorded(const std::string& uid) const {
    const ImageEntry* e = latest(uid);
    if (!e)
        return false;
    return e->outcome == Outcome::Recorded || e->outcome == Outcome::Resolved;
}

Status ImageLog::append(std::vector<ImageEntry>& entries) {
    if (entries.empty())
        return {};
    std::string text;
    std::error_code ec;
    fs::create_directories(logFile().parent_path(), ec);
    if (!fs::exists(logFile(), ec) || fs::file_size(logFile(), ec) == 0) {
        text += "#";
        for (size_t i = 0; i < imageLogColumns().size(); ++i)
            text += (i ? "\t" : "") + imageLogColumns()[i];
        text += "\n";
    }
    for (ImageEntry& e : entries) {
        e.number = ++lastNumber_;
        const auto values = entryFields(e);
        for (size_t i = 0; i < values.size(); ++i)
            text += (i ? "\t" : "") + escapeField(values[i]);
        text += "\n";
    }
    if (auto e = platform::appendDurably(logFile(), text); !e.ok()) {
        lastNumber_ -= static_cast<long long>(entries.size());
        return e;
    }
    // What was appended is read back like any other program's entries.
    if (auto e = refresh(); !e.ok())
        return e;
    return appendReceipts(entries);
}

Status ImageLog::appendReceipts(const std::vector<ImageEntry>& entries) {
    std::string text;
    std::error_code ec;
    if (!fs::exists(receiptFile(), ec))
        text = "\xEF\xBB\xBF" + csvLine(receiptColumns());
    // A row cut short by a power cut is ended before the new ones (platform::appendLater).
    for (const ImageEntry& e : entries)
        text += csvLine(receiptCells(e));
    // Not waited for: the node's log is on the disk, and the receipt log catches up from it.
    return platform::appendLater(receiptFile(), text);
}

Status ImageLog::catchUpReceipts() {
    std::error_code ec;
    if (!fs::exists(receiptFile(), ec))
        return {}; // a new receipt log starts with the next image
    const long long last = lastReceiptNumber(receiptFile());
    if (last >= lastNumber_)
        return {};
    // Only the entries after `last` are wanted: the log is read once more (after an interruption only).
    auto entries = readImageLogEntries(workFolder_, last);
    if (!entries.ok())
        return entries.error();
    std::vector<ImageEntry> missing;
    for (ImageEntry& e : *entries)
        if (e.number <= lastNumber_)
            missing.push_back(std::move(e));
    return appendReceipts(missing);
}

std::vector<ImageEntry> ImageLog::held() const {
    std::vector<ImageEntry> list;
    for (const auto& [uid, e] : latest_)
        if (e.outcome == Outcome::Held)
            list.push_back(e);
    std::sort(list.begin(), list.end(),
              [](const ImageEntry& a, const ImageEntry& b) { return a.number < b.number; });
    return list;
}

std::vector<ImageEntry> ImageLog::recent(size_t count) const {
    std::vector<ImageEntry> list;
    for (auto it = recent_.rbegin(); it != recent_.rend() && list.size() < count; ++it)
        list.push_back(*it);
    return list;
}

Status ProcessingLock::acquire(const fs::path& workFolder, std::chrono::milliseconds wait) {
    const fs::path folder = nodeFolder(workFolder);
    std::error_code ec;
    fs::create_directories(folder, ec);
    records::RecordLockOptions options;
    options.wait = wait;
    Status locked = lock_.acquire(folder / kLogName, options);
    if (!locked.ok() && locked.error().kind() == Error::Kind::Busy)
        return Error(ErrorCode::ImagesBeingProcessed);
    return locked;
}

Expected<std::vector<ImageEntry>> readImageLogEntries(const fs::path& workFolder, long long afterNumber) {
    std::vector<ImageEntry> entries;
    std::ifstream in(ImageLog(workFolder).logFile(), std::ios::binary);
    if (!in)
        return entries;
    std::string line;
    std::vector<std::string> names = imageLogColumns();
    while (std::getline(in, line)) {
        if (in.eof())
            break; // a last line without its end is still being written
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        if (line[0] == '#') {
            names = splitTabs(line.substr(1));
            continue;
        }
        ImageEntry e = entryFromFields(names, splitTabs(line));
        if (e.number > afterNumber)
            entries.push_back(std::move(e));
    }
    return entries;
}

} // namespace tamso::node
