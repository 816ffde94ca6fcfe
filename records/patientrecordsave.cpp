#include "records/patientrecordsave.h"

#include "textio/codec.h"
#include "textio/fileio.h"
#include "textio/numbertext.h"

#include <algorithm>
#include <system_error>

namespace tamso::records {
namespace {

// A field text that cannot be stored on its own line, or a list field that would not read back.
Status checkRecordTexts(const std::string& name, const RecordTexts& record) {
    auto hasLineBreak = [](const std::string& text) {
        return text.find_first_of("\r\n") != std::string::npos;
    };
    if (hasLineBreak(name))
        return Error{"氏名に改行を含めることはできません。"};
    const auto texts = record.inLineOrder();
    for (int i = 0; i < kRecordLines; ++i) {
        const std::string& text = texts[static_cast<size_t>(i)];
        if (hasLineBreak(text))
            return Error{"「" + recordFieldCaption(i) + "」に改行を含めることはできません。"};
        if (!isListFieldLine(i))
            continue;
        if (text.find(',') != std::string::npos && text.find('"') != std::string::npos)
            return Error{"「" + recordFieldCaption(i) +
                         "」にカンマ(,)と引用符(\")を一緒に含めることはできません。"};
        if (auto read = parseListValue(storedRecordLine(i, text)); !read.ok())
            return Error{"「" + recordFieldCaption(i) + "」は記録できません（" + read.error().message +
                         "）。"};
    }
    return {};
}

} // namespace

std::string continuationSavedMessage(const std::string& continuationFileName) {
    return "この患児の記録は " + std::to_string(kMaxPatientRecords) + " 件を超えたため、続きのファイル「" +
           continuationFileName + "」に保存しました。";
}

bool savePatientRecord(const fs::path& folder, const std::string& patientId, const std::string& name,
                       const RecordTexts& record, SavePrompts& prompts, PatientRecordState& state,
                       const RecordLockOptions& lockOptions, SavedRecordPlace* place) {
    if (patientId.empty() || name.empty()) {
        prompts.warn(kMessageEnterIdAndName);
        return false;
    }
    if (auto bad = checkPatientId(patientId, folder); !bad.ok()) {
        prompts.warn(bad.message());
        return false;
    }
    if (auto bad = checkRecordTexts(name, record); !bad.ok()) {
        prompts.warn(bad.message());
        return false;
    }
    if (!prompts.confirmSave(kQuestionSave))
        return false;
    // Asked before the lock is taken, so that no other save waits on the user. A history that
    // cannot be read is refused below, under the lock.
    if (const auto asStored = recordAsStored(record)) {
        if (auto history = loadPatientHistory(folder, patientId); history.ok()) {
            const bool stored = std::any_of(history->records.begin(), history->records.end(),
                                            [&](const PatientRecord& r) { return sameRecord(r, *asStored); });
            if (stored && !prompts.confirmDuplicate(kQuestionDuplicate))
                return false;
        }
    }

    const fs::path firstFile = patientRecordFile(folder, patientId);
    fs::path file = firstFile;
    std::vector<std::string> lines;
    PatientRecordState written;
    SavedRecordPlace saved;
    bool startsContinuation = false;
    {
        // One lock for all files of the infant: the first file's, also while a continuation is written.
        RecordFileLock lock;
        if (const Status locked = lock.acquire(firstFile, lockOptions); !locked.ok()) {
            prompts.warn(locked.message()); // in use by another saver, or the lock file cannot be made
            return false;
        }

        const auto texts = record.inLineOrder();
        auto appendRecordLines = [&] {
            for (int i = 0; i < kRecordLines; ++i)
                lines.push_back(storedRecordLine(i, texts[static_cast<size_t>(i)]));
        };
        if (listPatientRecordFiles(folder, patientId).empty()) {
            lines.push_back(name);
            lines.push_back("1");
            appendRecordLines();
            saved = {firstFile, 1, 1};
        } else {
            // Every file of the infant must read in the layout: none is rewritten otherwise, and the
            // record's number among them must be known.
            auto history = loadPatientHistory(folder, patientId);
            if (!history.ok()) {
                prompts.warn(history.error().message + "ファイルは変更せず、データは保存しませんでした。");
                return false;
            }
            const RecordFilePart& last = history->files.back();
            PatientRecordState stored = state;
            if (auto error = loadPatientRecords(last.path, stored); !error.ok()) {
                prompts.warn(error.message() + "ファイルは変更せず、データは保存しませんでした。");
                return false;
            }
            state = stored; // the save reads the file into the shared table, as the search does
            if (stored.patientRecordCount < kMaxPatientRecords) {
                file = last.path;
                lines = patientRecordFileLines(stored);
                lines[1] = textio::numberWriteForm(stored.patientRecordCount + 1);
                appendRecordLines();
                saved = {file, last.part, history->recordCount() + 1};
            } else {
                // The last file is full and stays as it is: the record starts the next continuation,
                // under the name stored in the first file.
                const int part = last.part + 1;
                file = recordFilePath(folder, patientId, part);
                lines.push_back(history->patientName);
                lines.push_back("1");
                appendRecordLines();
                saved = {file, part, history->recordCount() + 1};
                startsContinuation = true;
            }
        }

        // What the new file holds, as it reads back.
        const std::string fileName = textio::fileNameUtf8(file);
        std::string text;
        for (const auto& line : lines)
            text += line + "\r\n";
        auto parsed = parsePatientRecordFile(text, fileName);
        if (!parsed.ok()) {
            prompts.warn("このデータは記録の形式で保存できません: " + parsed.error().message);
            return false;
        }
        written = std::move(*parsed);

        if (!lock.stillHeld()) {
            prompts.warn("患者ファイル「" + textio::fileNameUtf8(firstFile) +
                         "」は他で保存中のため使用できません。しばらくしてからもう一度保存して下さい。");
            return false;
        }
        if (auto error = textio::writeTextLines(file, lines); !error.ok()) {
            prompts.warn(error.message() + "データは保存されていません。");
            return false;
        }
    } // the lock goes before the notice, which waits for the user
    state = std::move(written);
    if (place)
        *place = saved;
    prompts.notify(startsContinuation ? continuationSavedMessage(textio::fileNameUtf8(file)) : kMessageSaved);
    return true;
}

} // namespace tamso::records
