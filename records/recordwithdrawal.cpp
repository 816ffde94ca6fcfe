#include "records/recordwithdrawal.h"

#include "records/patienthistory.h"
#include "textio/codec.h"
#include "textio/fileio.h"
#include "textio/numbertext.h"
#include "textio/textreader.h"

#include <system_error>

namespace tamso::records {
namespace {

constexpr int kWithdrawalFields = 9;

std::string quotedName(const std::string& name) {
    return "「" + name + "」";
}

// A text field: in double quotes, with what the field read cannot hold inside quotes escaped.
std::string escapedField(const std::string& text) {
    std::string field = "\"";
    for (char c : text) {
        switch (c) {
        case '"':
            field += "%22";
            break;
        case '%':
            field += "%25";
            break;
        case '\r':
            field += "%0D";
            break;
        case '\n':
            field += "%0A";
            break;
        default:
            field += c;
        }
    }
    return field + "\"";
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::optional<std::string> unescapedField(std::string_view field) {
    std::string text;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '%') {
            text += field[i];
            continue;
        }
        const int high = i + 2 < field.size() ? hexDigit(field[i + 1]) : -1;
        const int low = high >= 0 ? hexDigit(field[i + 2]) : -1;
        if (low < 0)
            return std::nullopt;
        text += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return text;
}

// Only blanks, full-width blanks (U+3000) included, or nothing.
bool blank(std::string_view text) {
    while (!text.empty()) {
        if (text.front() == ' ' || text.front() == '\t')
            text.remove_prefix(1);
        else if (text.substr(0, 3) == "\u3000")
            text.remove_prefix(3);
        else
            return false;
    }
    return true;
}

std::string trailName(std::string_view patientId) {
    return recordFileName(patientId, 1) + std::string(kWithdrawalTrailExtension);
}

// The withdrawals of a trail's text against the records.
WithdrawnRecords applyTrail(std::string_view sjis, const std::string& fileName,
                            const std::vector<PatientRecord>& records) {
    WithdrawnRecords result;
    const std::vector<std::string> lines = textio::splitLines(textio::sjisToUtf8MarkingUnreadable(sjis));
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.find_first_not_of(" \t") == std::string::npos)
            continue;
        const std::string where =
            "取り消し記録" + quotedName(fileName) + "の " + std::to_string(i + 1) + " 行目";
        const std::string notApplied = "。この行の取り消しは適用していません。";
        if (line.find(textio::kUnreadableMark) != std::string::npos) {
            result.problems.push_back(where + "に Shift-JIS として読めない文字があります" + notApplied);
            continue;
        }
        auto withdrawal = parseWithdrawalLine(line);
        if (!withdrawal.ok()) {
            result.problems.push_back(where + "を読めません（" + withdrawal.error().message() + "）" +
                                      notApplied);
            continue;
        }
        const int n = withdrawal->recordNumber;
        if (n > static_cast<int>(records.size())) {
            result.problems.push_back(where + "は記録 " + std::to_string(n) +
                                      " を取り消していますが、記録は " + std::to_string(records.size()) +
                                      " 件しかありません" + notApplied);
            continue;
        }
        if (!namesRecord(*withdrawal, records[static_cast<size_t>(n - 1)])) {
            result.problems.push_back(where + "は記録 " + std::to_string(n) + "（撮影日「" +
                                      withdrawal->examDate + "」、撮影部位「" + withdrawal->bodyPart +
                                      "」）を取り消していますが、記録 " + std::to_string(n) +
                                      " の撮影日・撮影部位・管電圧・mAs・線量がこれと違います" + notApplied);
            continue;
        }
        result.byRecord.emplace(n, std::move(*withdrawal)); // a later line for the same record adds nothing
    }
    return result;
}

// The trail's bytes: empty for no trail; the error says why it cannot be read.
Expected<std::string> readTrailBytes(const fs::path& file) {
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(file, ec)))
        return std::string();
    return textio::readRegularFileBytes(file, kMaxWithdrawalTrailBytes);
}

} // namespace

fs::path withdrawalTrailFile(const fs::path& folder, std::string_view patientId) {
    return textio::fileInFolder(folder, trailName(patientId));
}

bool hasWithdrawalTrail(const fs::path& folder, std::string_view patientId) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(withdrawalTrailFile(folder, patientId), ec));
}

Withdrawal withdrawalOf(const PatientRecord& record, int recordNumber, std::string time,
                        std::string withdrawnBy, std::string reason) {
    return {recordNumber,
            std::move(time),
            std::move(withdrawnBy),
            std::move(reason),
            record.examDate,
            record.bodyPart,
            listValueText(record.tubeVoltageKv),
            listValueText(record.mAs),
            listValueText(record.entranceSurfaceDoseMGy)};
}

bool namesRecord(const Withdrawal& w, const PatientRecord& record) {
    return w.examDate == record.examDate && w.bodyPart == record.bodyPart &&
           w.tubeVoltageKv == listValueText(record.tubeVoltageKv) && w.mAs == listValueText(record.mAs) &&
           w.doseMGy == listValueText(record.entranceSurfaceDoseMGy);
}

std::string withdrawalLine(const Withdrawal& w) {
    std::string line = std::to_string(w.recordNumber);
    for (const std::string* text :
         {&w.time, &w.withdrawnBy, &w.reason, &w.examDate, &w.bodyPart, &w.tubeVoltageKv, &w.mAs, &w.doseMGy})
        line += "," + escapedField(*text);
    return line;
}

Expected<Withdrawal> parseWithdrawalLine(std::string_view line) {
    textio::TextReader reader{std::string(line)};
    std::vector<std::string> fields;
    while (!reader.atEnd() && fields.size() <= kWithdrawalFields)
        fields.push_back(reader.readField().value_or(std::string()));
    if (fields.size() != kWithdrawalFields)
        return Error(ErrorCode::WithdrawalFieldCount, {std::to_string(fields.size()), std::to_string(kWithdrawalFields)});
    const auto number = textio::parseNumber(fields[0]);
    if (!number || *number < 1 || *number > 1e9 || *number != static_cast<double>(static_cast<int>(*number)))
        return Error(ErrorCode::WithdrawalNumberBad, {textio::quotedFieldText(fields[0])});
    std::vector<std::string> texts;
    for (size_t i = 1; i < fields.size(); ++i) {
        auto text = unescapedField(fields[i]);
        if (!text)
            return Error(ErrorCode::WithdrawalEscapeBad, {std::to_string(i + 1)});
        texts.push_back(std::move(*text));
    }
    if (texts[0].empty() || texts[1].empty() || texts[2].empty())
        return Error(ErrorCode::WithdrawalFieldEmpty);
    return Withdrawal{static_cast<int>(*number),
                      texts[0],
                      texts[1],
                      texts[2],
                      texts[3],
                      texts[4],
                      texts[5],
                      texts[6],
                      texts[7]};
}

const Withdrawal* WithdrawnRecords::find(int recordNumber) const {
    const auto it = byRecord.find(recordNumber);
    return it == byRecord.end() ? nullptr : &it->second;
}

WithdrawnRecords loadWithdrawnRecords(const fs::path& folder, std::string_view patientId,
                                      const std::vector<PatientRecord>& records) {
    const fs::path file = withdrawalTrailFile(folder, patientId);
    auto bytes = readTrailBytes(file);
    if (!bytes.ok()) {
        WithdrawnRecords result;
        result.problems.push_back(bytes.error().message() + "この患児の記録の取り消しは適用していません。");
        return result;
    }
    return applyTrail(*bytes, trailName(patientId), records);
}

Error alreadyWithdrawn(const Withdrawal& w) {
    return Error(ErrorCode::AlreadyWithdrawn, {std::to_string(w.recordNumber), w.time, w.withdrawnBy, w.reason});
}

Status withdrawRecord(const fs::path& folder, std::string_view patientId, const WithdrawalRequest& request,
                      const RecordLockOptions& lockOptions) {
    if (blank(request.reason))
        return Error(ErrorCode::WithdrawalReasonMissing);
    if (blank(request.withdrawnBy))
        return Error(ErrorCode::WithdrawerMissing);
    if (auto bad = checkPatientId(patientId, folder); !bad.ok())
        return bad;
    const Withdrawal withdrawal =
        withdrawalOf(request.listed, request.recordNumber, request.time, request.withdrawnBy, request.reason);
    auto lineBytes = textio::textLinesBytes({withdrawalLine(withdrawal)});
    if (!lineBytes.ok())
        return Error(ErrorCode::WithdrawalNotSjis);

    const fs::path firstFile = patientRecordFile(folder, patientId);
    RecordFileLock lock;
    if (const Status locked = lock.acquire(firstFile, lockOptions); !locked.ok())
        return locked;
    auto history = loadPatientHistory(folder, patientId);
    if (!history.ok())
        return Error(ErrorCode::WithdrawHistoryUnreadable, {history.error().message()});
    const int n = request.recordNumber;
    if (n < 1 || n > history->recordCount() ||
        !sameRecord(history->records[static_cast<size_t>(n - 1)], request.listed))
        return Error(ErrorCode::WithdrawRecordChanged, {std::string(patientId), std::to_string(n)});
    const fs::path trail = withdrawalTrailFile(folder, patientId);
    auto old = readTrailBytes(trail);
    if (!old.ok())
        return Error(ErrorCode::WithdrawTrailUnreadable, {old.error().message()});
    const WithdrawnRecords withdrawn = applyTrail(*old, trailName(patientId), history->records);
    if (const Withdrawal* earlier = withdrawn.find(n))
        return alreadyWithdrawn(*earlier);

    std::string bytes = std::move(*old);
    if (!bytes.empty() && bytes.back() != '\n' && bytes.back() != '\r')
        bytes += "\r\n"; // a last line without its end keeps its own line
    bytes += *lineBytes;
    if (!lock.stillHeld())
        return Error(ErrorCode::RecordFileBusyWithdraw, {textio::fileNameUtf8(firstFile)});
    if (const Status written = textio::writeFileAtomic(trail, bytes); !written.ok())
        return Error(ErrorCode::WithdrawNotWritten, {written.message()});
    return {};
}

} // namespace tamso::records
