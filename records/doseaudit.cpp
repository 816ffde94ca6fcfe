#include "records/doseaudit.h"

#include "records/dosehistory.h"
#include "records/patienthistory.h"
#include "records/patientrecordfile.h"
#include "records/recordeffectivedose.h"
#include "records/recordwithdrawal.h"
#include "textio/codec.h"
#include "textio/csv.h"
#include "textio/fileio.h"
#include "textio/numberformat.h"
#include "textio/numbertext.h"
#include "textio/quantitytext.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <system_error>
#include <unordered_map>
#include <unordered_set>

namespace tamso::records {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

int daysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

// Reads 1 or 2 (or exactly `width`) digits at pos into value.
bool readDigits(std::string_view text, size_t& pos, size_t minDigits, size_t maxDigits, int& value) {
    size_t n = 0;
    value = 0;
    while (pos < text.size() && isDigit(text[pos]) && n < maxDigits) {
        value = value * 10 + (text[pos] - '0');
        ++pos;
        ++n;
    }
    return n >= minDigits && (pos >= text.size() || !isDigit(text[pos]));
}

struct BodyPartSamples {
    std::vector<double> doses;
    std::vector<double> effectiveDoses; // μSv, of the exposures where it could be computed
    std::unordered_set<std::string> infants;
};

// The effective doses of the audit: one run per distinct conditions (many records share them), each
// scaled to the record's own stored dose exactly as recordOrganDoses does.
class EffectiveDoseCache {
public:
    explicit EffectiveDoseCache(const AuditEffectiveDoseData* data) : data_(data) {}
    bool active() const { return data_ != nullptr; }
    std::optional<double> effectiveDoseUSv(const PatientRecord& record, double storedMGy) {
        std::string key = listValueText(record.tubeVoltageKv);
        for (const std::string& part : {listValueText(record.mAs), listValueText(record.ffdCm),
                                        listValueText(record.subjectThicknessCm), record.fieldSize, record.bodyPart})
            key += '\x1F' + part;
        auto found = runs_.find(key);
        if (found == runs_.end()) {
            auto run = recordConditionOrganDoses(data_->loaded, data_->table, data_->defaultWeightKg, record);
            found = runs_.emplace(std::move(key), run.ok() ? std::optional(*run) : std::nullopt).first;
        }
        if (!found->second)
            return std::nullopt;
        return scaledToStoredDose(*found->second, storedMGy).effectiveDoseUSv;
    }

private:
    const AuditEffectiveDoseData* data_;
    std::unordered_map<std::string, std::optional<ConditionOrganDoses>> runs_;
};

} // namespace

std::optional<CalendarDate> parseExamDate(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    CalendarDate date;
    size_t pos = 0;
    if (!readDigits(text, pos, 4, 4, date.year) || pos >= text.size())
        return std::nullopt;
    const char separator = text[pos++];
    if (separator != '/' && separator != '-')
        return std::nullopt;
    if (!readDigits(text, pos, 1, 2, date.month) || pos >= text.size() || text[pos++] != separator)
        return std::nullopt;
    if (!readDigits(text, pos, 1, 2, date.day) || pos != text.size())
        return std::nullopt;
    if (date.year < 1 || date.month < 1 || date.month > 12 || date.day < 1 ||
        date.day > daysInMonth(date.year, date.month))
        return std::nullopt;
    return date;
}

std::string dateText(const CalendarDate& date) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d", date.year, date.month, date.day);
    return text;
}

bool AuditPeriod::contains(const CalendarDate& date) const {
    return (!from || date.key() >= from->key()) && (!to || date.key() <= to->key());
}

double percentileOfSorted(const std::vector<double>& sorted, double p) {
    if (sorted.empty())
        return 0;
    const double h = static_cast<double>(sorted.size() - 1) * std::clamp(p, 0.0, 1.0);
    const size_t lower = static_cast<size_t>(std::floor(h));
    if (lower + 1 >= sorted.size())
        return sorted.back();
    return sorted[lower] + (h - static_cast<double>(lower)) * (sorted[lower + 1] - sorted[lower]);
}

bool isRecordFileName(std::string_view name) {
    return name.size() > kRecordFileExtension.size() && name.front() != '.' &&
           name.substr(name.size() - kRecordFileExtension.size()) == kRecordFileExtension;
}

std::string auditInfantId(std::string_view fileName) {
    if (const auto parsed = parseRecordFileName(fileName))
        return parsed->patientId;
    return std::string(fileName);
}

namespace {

using Samples = std::unordered_map<std::string, BodyPartSamples>;

// One record file of an infant into the audit: its records, or the note why it is left out. Its
// first record is the infant's record `firstNumber`; the withdrawn ones are left out.
void auditFile(DoseAudit& audit, Samples& samples, std::unordered_set<std::string>& allInfants,
               const AuditPeriod& period, const std::string& infant, const ReadRecordFile& file,
               const std::optional<std::string>& problem, int firstNumber,
               const WithdrawnRecords& withdrawn, EffectiveDoseCache& effective) {
    const std::string name = textio::fileNameUtf8(file.file.path);
    ++audit.recordFiles;
    if (problem) {
        const bool unreadable = !file.content.ok();
        ++(unreadable ? audit.unreadableFiles : audit.leftOutFiles);
        audit.notes.push_back({unreadable ? AuditNote::Kind::UnreadableFile : AuditNote::Kind::LeftOutFile,
                               name, 0, *problem, false});
        return;
    }
    const PatientRecordState& state = *file.content;
    for (int k = 1; k <= state.patientRecordCount; ++k) {
        const PatientRecord& record = state.PatientRecordTable[static_cast<size_t>(k)];
        ++audit.records;
        if (const Withdrawal* w = withdrawn.find(firstNumber + k - 1)) {
            ++audit.withdrawn;
            audit.notes.push_back({AuditNote::Kind::Withdrawn, name, k, w->reason, false});
            continue;
        }
        const std::optional<CalendarDate> date = parseExamDate(record.examDate);
        if (!date) {
            ++audit.dateUnreadable;
            const bool counted = !period.bounded();
            audit.notes.push_back({AuditNote::Kind::DateUnreadable, name, k, record.examDate, counted});
            if (!counted)
                continue;
        } else if (!period.contains(*date)) {
            continue;
        }
        ++audit.recordsInPeriod;
        const std::optional<double> dose = storedDoseMGy(record.entranceSurfaceDoseMGy);
        if (!dose) {
            ++audit.noDose;
            audit.notes.push_back(
                {AuditNote::Kind::NoDose, name, k, listValueText(record.entranceSurfaceDoseMGy), false});
            continue;
        }
        BodyPartSamples& part = samples[record.bodyPart];
        part.doses.push_back(*dose);
        if (effective.active()) {
            if (const auto uSv = effective.effectiveDoseUSv(record, *dose))
                part.effectiveDoses.push_back(*uSv);
            else
                ++audit.effectiveDoseUnavailable;
        }
        part.infants.insert(infant);
        allInfants.insert(infant);
        ++audit.exposures;
    }
}

// The withdrawals of an infant, against the records of its files that are used (those come first in
// part order, so they are numbered as in the dose history). Read only where there is a trail.
WithdrawnRecords infantWithdrawals(const fs::path& folder, const std::string& infant,
                                   const std::vector<ReadRecordFile>& read,
                                   const std::vector<std::optional<std::string>>& problems,
                                   const std::unordered_set<std::string>& trailNames) {
    // The folder's listing tells which infants have a trail: no look-up per infant.
    if (!trailNames.count(textio::fileNameUtf8(withdrawalTrailFile(folder, infant))))
        return {};
    std::vector<PatientRecord> records;
    for (size_t f = 0; f < read.size(); ++f)
        if (!problems[f])
            for (int k = 1; k <= read[f].content->patientRecordCount; ++k)
                records.push_back(read[f].content->PatientRecordTable[static_cast<size_t>(k)]);
    return loadWithdrawnRecords(folder, infant, records);
}

// The table: body parts in the list's order, then the others by their text.
void summarise(DoseAudit& audit, Samples& samples, const refdata::ReferenceLevelTable& levels,
               const std::vector<std::string>& bodyPartOrder) {
    std::vector<std::string> order;
    std::unordered_set<std::string> placed;
    for (const std::string& part : bodyPartOrder)
        if (samples.count(part) && placed.insert(part).second)
            order.push_back(part);
    std::vector<std::string> others;
    for (const auto& entry : samples)
        if (!placed.count(entry.first))
            others.push_back(entry.first);
    std::sort(others.begin(), others.end());
    order.insert(order.end(), others.begin(), others.end());

    for (const std::string& part : order) {
        BodyPartSamples& s = samples[part];
        std::sort(s.doses.begin(), s.doses.end());
        BodyPartAudit row;
        row.bodyPart = part;
        row.exposures = static_cast<int>(s.doses.size());
        row.infants = static_cast<int>(s.infants.size());
        row.medianMGy = percentileOfSorted(s.doses, 0.5);
        row.lowerQuartileMGy = percentileOfSorted(s.doses, 0.25);
        row.percentile75MGy = percentileOfSorted(s.doses, 0.75);
        row.minimumMGy = s.doses.front();
        row.maximumMGy = s.doses.back();
        if (!s.effectiveDoses.empty()) {
            std::sort(s.effectiveDoses.begin(), s.effectiveDoses.end());
            row.medianEffectiveDoseUSv = percentileOfSorted(s.effectiveDoses, 0.5);
        }
        row.levelMGy = levels.levelFor(part);
        if (row.levelMGy && *row.levelMGy > 0) {
            // The median as the table shows it is what is compared: to the finer of its three
            // decimals and the level's, so that a median equal to the level is never above it.
            row.comparison = refdata::compareWithLevel(
                textio::textToNumber(textio::doseTextAgainstLevel(row.medianMGy, *row.levelMGy)), *row.levelMGy);
            row.medianOverLevel = row.comparison->ratio;
        } else {
            row.levelMGy.reset();
        }
        audit.bodyParts.push_back(std::move(row));
    }
}

} // namespace

Expected<DoseAudit> auditRecordFolder(const fs::path& folder, const AuditPeriod& period,
                                      const refdata::ReferenceLevelTable& levels,
                                      const std::vector<std::string>& bodyPartOrder,
                                      const AuditEffectiveDoseData* effective) {
    // The record files, by name. Folders, pipes and the like of a record file's name are taken
    // too: the reader refuses them, and they are listed with the reason.
    std::vector<std::pair<std::string, fs::path>> files;
    std::unordered_set<std::string> trailNames; // the withdrawal trails of the folder
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    auto listingError = [&folder](const std::error_code& error) {
        return Error(ErrorCode::RecordFolderUnlistable, {folder.u8string(), textio::fileErrorReason(error.value())});
    };
    if (ec)
        return listingError(ec);
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec)
            return listingError(ec);
        std::string name = textio::fileNameUtf8(it->path());
        if (isRecordFileName(name))
            files.emplace_back(std::move(name), it->path());
        else if (name.size() > kWithdrawalTrailExtension.size() &&
                 name.compare(name.size() - kWithdrawalTrailExtension.size(), std::string::npos,
                              kWithdrawalTrailExtension) == 0)
            trailNames.insert(std::move(name));
    }
    std::sort(files.begin(), files.end());
    // Each infant's files in part order.
    std::map<std::string, std::vector<RecordFilePart>> infantFiles;
    for (const auto& [name, path] : files) {
        const auto parsed = parseRecordFileName(name);
        infantFiles[parsed->patientId].push_back({path, parsed->part});
    }

    DoseAudit audit;
    audit.period = period;
    audit.effectiveDoses = effective != nullptr;
    EffectiveDoseCache effectiveDoses(effective);
    Samples samples;
    std::unordered_set<std::string> allInfants;
    for (auto& [infant, parts] : infantFiles) {
        std::sort(parts.begin(), parts.end(),
                  [](const RecordFilePart& a, const RecordFilePart& b) { return a.part < b.part; });
        std::vector<ReadRecordFile> read;
        read.reserve(parts.size());
        for (const RecordFilePart& part : parts)
            read.push_back({part, readPatientRecordFile(part.path)});
        // One rule with the dose history and the save: a file left out is listed with the reason.
        const auto problems = recordFileProblems(infant, read);
        const WithdrawnRecords withdrawn = infantWithdrawals(folder, infant, read, problems, trailNames);
        for (const std::string& problem : withdrawn.problems)
            audit.notes.push_back({AuditNote::Kind::TrailProblem,
                                   textio::fileNameUtf8(withdrawalTrailFile(folder, infant)), 0, problem,
                                   false});
        int firstNumber = 1;
        for (size_t f = 0; f < read.size(); ++f) {
            auditFile(audit, samples, allInfants, period, infant, read[f], problems[f], firstNumber,
                      withdrawn, effectiveDoses);
            if (!problems[f])
                firstNumber += read[f].content->patientRecordCount;
        }
    }
    audit.infants = static_cast<int>(allInfants.size());
    // Notes by file name, then record.
    std::stable_sort(audit.notes.begin(), audit.notes.end(),
                     [](const AuditNote& a, const AuditNote& b) { return a.fileName < b.fileName; });
    summarise(audit, samples, levels, bodyPartOrder);
    return audit;
}

std::string auditNoteText(const AuditNote& note) {
    const std::string record = note.fileName + " の " + std::to_string(note.record) + " 件目";
    switch (note.kind) {
    case AuditNote::Kind::UnreadableFile:
        return "読めない記録ファイル: " + note.detail;
    case AuditNote::Kind::LeftOutFile:
        return "除いた記録ファイル: " + note.detail;
    case AuditNote::Kind::DateUnreadable:
        return "撮影日が読めない記録: " + record + "（撮影日「" + note.detail + "」）" +
               (note.counted ? "。期間を指定していないため集計に含めました"
                             : "。期間に入るか判らないため集計から除きました");
    case AuditNote::Kind::NoDose:
        return "線量のない記録: " + record + "（入射表面線量「" + note.detail + "」）。集計から除きました";
    case AuditNote::Kind::Withdrawn:
        return "取り消した記録: " + record + "（理由「" + note.detail + "」）。集計から除きました";
    case AuditNote::Kind::TrailProblem:
        return "適用していない取り消し: " + note.detail;
    }
    return note.detail;
}

std::string auditPeriodText(const AuditPeriod& period) {
    if (!period.bounded())
        return "全期間";
    return (period.from ? dateText(*period.from) : std::string()) + " ～ " +
           (period.to ? dateText(*period.to) : std::string());
}

std::vector<std::string> auditSummaryLines(const DoseAudit& audit) {
    auto count = [](int n) { return std::to_string(n); };
    const std::string leftOut =
        audit.leftOutFiles > 0 ? "、除いたもの " + count(audit.leftOutFiles) + " 件" : std::string();
    std::vector<std::string> lines = {"記録ファイル " + count(audit.recordFiles) + " 件（読めないもの " + count(audit.unreadableFiles) +
                " 件" + leftOut + "）、記録 " + count(audit.records) + " 件、期間内 " +
                count(audit.recordsInPeriod) + " 件",
            "集計した撮影 " + count(audit.exposures) + " 件（患児 " + count(audit.infants) +
                " 人）、撮影日が読めない記録 " + count(audit.dateUnreadable) + " 件、線量のない記録 " +
                count(audit.noDose) + " 件" +
                (audit.withdrawn > 0 ? "、取り消した記録 " + count(audit.withdrawn) + " 件" : std::string())};
    if (audit.effectiveDoses)
        lines.push_back("実効線量（体重は既定値）: 実効線量を計算できない記録 " +
                        count(audit.effectiveDoseUnavailable) + " 件（中央値から除きました）");
    return lines;
}

std::vector<std::string> auditTableHeadings() {
    return {"撮影部位",   "撮影数",     "患児数",           "中央値 (mGy)",      "75パーセンタイル (mGy)",
            "最小 (mGy)", "最大 (mGy)", "参考レベル (mGy)", "中央値/参考レベル", "判定",
            "実効線量 中央値 (μSv)"};
}

std::vector<std::vector<std::string>> auditTableCells(const DoseAudit& audit) {
    std::vector<std::vector<std::string>> rows;
    for (const BodyPartAudit& p : audit.bodyParts) {
        using textio::doseText;
        rows.push_back({p.bodyPart, std::to_string(p.exposures), std::to_string(p.infants),
                        p.levelMGy ? textio::doseTextAgainstLevel(p.medianMGy, *p.levelMGy)
                                   : doseText(p.medianMGy),
                        doseText(p.percentile75MGy), doseText(p.minimumMGy),
                        doseText(p.maximumMGy), p.comparison ? p.comparison->levelText : std::string(),
                        p.comparison ? p.comparison->ratioText : std::string(),
                        p.comparison ? (p.comparison->above ? "超過" : "以下") : std::string(),
                        p.medianEffectiveDoseUSv ? textio::effectiveDoseText(*p.medianEffectiveDoseUSv)
                                                 : std::string()});
    }
    return rows;
}

std::string doseAuditCsv(const DoseAudit& audit) {
    std::string csv = "\xEF\xBB\xBF";
    auto addRow = [&csv](const std::vector<std::string>& cells) {
        for (size_t i = 0; i < cells.size(); ++i)
            csv += (i ? "," : "") + textio::csvCell(cells[i]);
        csv += "\r\n";
    };
    addRow({"期間", auditPeriodText(audit.period)});
    for (const std::string& line : auditSummaryLines(audit))
        addRow({line});
    csv += "\r\n";
    addRow(auditTableHeadings());
    for (const auto& row : auditTableCells(audit))
        addRow(row);
    return csv;
}

Status writeDoseAuditCsv(const fs::path& file, const DoseAudit& audit) {
    return textio::writeExportFile(file, doseAuditCsv(audit));
}

} // namespace tamso::records
