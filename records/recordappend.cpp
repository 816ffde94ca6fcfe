#include "records/recordappend.h"

#include "textio/fileio.h"
#include "textio/numbertext.h"

namespace tamso::records {
namespace {

void appendRecordLines(std::vector<std::string>& lines, const RecordTexts& record) {
    const auto texts = record.inLineOrder();
    for (int i = 0; i < kRecordLines; ++i)
        lines.push_back(storedRecordLine(i, texts[static_cast<size_t>(i)]));
}

std::string fileText(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines)
        text += line + "\r\n";
    return text;
}

} // namespace

Expected<StoredInfant> loadStoredInfant(const fs::path& folder, std::string_view patientId) {
    StoredInfant stored;
    auto history = loadPatientHistory(folder, patientId);
    if (!history.ok())
        return history.error();
    stored.history = std::move(*history);
    if (!stored.history.files.empty())
        if (auto error = loadPatientRecords(stored.history.files.back().path, stored.lastFile); !error.ok())
            return error.error();
    return stored;
}

Expected<RecordAppendPlan> planRecordAppend(const fs::path& folder, std::string_view patientId,
                                            const std::string& name, const StoredInfant& stored,
                                            const std::vector<RecordTexts>& records) {
    RecordAppendPlan plan;
    const bool newInfant = stored.history.files.empty();
    // The file the next record goes to, as a save would find it.
    bool haveCurrent = !newInfant;
    RecordFileWrite current;
    bool currentTouched = false;
    if (haveCurrent) {
        current.file = stored.history.files.back().path;
        current.part = stored.history.files.back().part;
        current.written = stored.lastFile;
    }
    const std::string firstFileName = newInfant ? name : stored.history.patientName;
    int number = stored.history.recordCount();
    for (const RecordTexts& record : records) {
        std::vector<std::string> lines;
        if (haveCurrent && current.written.patientRecordCount < kMaxPatientRecords) {
            lines = patientRecordFileLines(current.written);
            lines[1] = textio::numberWriteForm(current.written.patientRecordCount + 1);
        } else {
            // No file yet, or the last one is full and stays as it is: a new file.
            if (haveCurrent && currentTouched)
                plan.writes.push_back(std::move(current));
            const int part = haveCurrent ? current.part + 1 : 1;
            current = RecordFileWrite{};
            current.part = part;
            current.file = recordFilePath(folder, patientId, part);
            haveCurrent = true;
            plan.startsContinuation |= part >= 2;
            lines.push_back(firstFileName);
            lines.push_back("1");
        }
        appendRecordLines(lines, record);
        auto parsed = parsePatientRecordFile(fileText(lines), textio::fileNameUtf8(current.file));
        if (!parsed.ok())
            return parsed.error();
        current.lines = std::move(lines);
        current.written = std::move(*parsed);
        currentTouched = true;
        plan.places.push_back({current.file, current.part, ++number});
    }
    if (currentTouched)
        plan.writes.push_back(std::move(current));
    return plan;
}

Status writeRecordAppend(const RecordAppendPlan& plan) {
    for (const RecordFileWrite& write : plan.writes)
        if (auto error = textio::writeTextLines(write.file, write.lines); !error.ok())
            return error;
    return {};
}

Status writeRecordAppends(const std::vector<const RecordAppendPlan*>& plans) {
    std::vector<std::pair<fs::path, std::string>> files;
    for (const RecordAppendPlan* plan : plans)
        for (const RecordFileWrite& write : plan->writes) {
            auto bytes = textio::textLinesBytes(write.lines);
            if (!bytes.ok())
                return Error(ErrorCode::FileCannotWriteText, {textio::fileNameUtf8(write.file), bytes.error().message()});
            files.emplace_back(write.file, std::move(*bytes));
        }
    return textio::writeFilesAtomic(files);
}

Status checkRecordTexts(const std::string& name, const RecordTexts& record) {
    auto hasLineBreak = [](const std::string& text) {
        return text.find_first_of("\r\n") != std::string::npos;
    };
    if (hasLineBreak(name))
        return Error(ErrorCode::NameLineBreak);
    const auto texts = record.inLineOrder();
    for (int i = 0; i < kRecordLines; ++i) {
        const std::string& text = texts[static_cast<size_t>(i)];
        if (hasLineBreak(text))
            return Error(ErrorCode::FieldLineBreak, {recordFieldCaption(i)});
        if (!isListFieldLine(i))
            continue;
        if (text.find(',') != std::string::npos && text.find('"') != std::string::npos)
            return Error(ErrorCode::FieldCommaAndQuote, {recordFieldCaption(i)});
        if (auto read = parseListValue(storedRecordLine(i, text)); !read.ok())
            return Error(ErrorCode::FieldNotStorable, {recordFieldCaption(i), read.error().message()});
    }
    return {};
}

bool recordHoldsTexts(const PatientRecord& stored, const RecordTexts& texts) {
    std::vector<std::string> lines = {"-", "1"};
    appendRecordLines(lines, texts);
    auto parsed = parsePatientRecordFile(fileText(lines), "-");
    if (!parsed.ok())
        return false;
    const PatientRecord& r = parsed->PatientRecordTable[1];
    return r.examDate == stored.examDate && r.technologist == stored.technologist &&
           r.bodyPart == stored.bodyPart && r.subjectThicknessCm == stored.subjectThicknessCm &&
           r.xrayUnit == stored.xrayUnit && r.tubeVoltageKv == stored.tubeVoltageKv && r.mAs == stored.mAs &&
           r.ffdCm == stored.ffdCm && r.fieldSize == stored.fieldSize &&
           r.entranceSurfaceDoseMGy == stored.entranceSurfaceDoseMGy &&
           r.caregiverDoseUSv == stored.caregiverDoseUSv;
}

} // namespace tamso::records
