#include "records/patienthistory.h"

#include "records/samerecordfile.h"
#include "textio/fileio.h"

#include <algorithm>
#include <system_error>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace tamso::records {
namespace {

// Platform layer: whether two IDs name the same files. POSIX file systems compare names byte for
// byte; Windows ones ignore case, as CompareStringOrdinal does.
#ifdef _WIN32

bool sameFileId(std::string_view a, std::string_view b) {
    const std::wstring wa = fs::u8path(a.begin(), a.end()).native();
    const std::wstring wb = fs::u8path(b.begin(), b.end()).native();
    return ::CompareStringOrdinal(wa.c_str(), static_cast<int>(wa.size()), wb.c_str(),
                                  static_cast<int>(wb.size()), TRUE) == CSTR_EQUAL;
}

#else

bool sameFileId(std::string_view a, std::string_view b) {
    return a == b;
}

#endif
// End of the platform layer.

std::string quotedName(const std::string& name) {
    return "「" + name + "」";
}

} // namespace

std::string recordFileName(std::string_view patientId, int part) {
    std::string name(patientId);
    if (part >= 2)
        name += std::string(kContinuationMark) + std::to_string(part);
    name += kRecordFileExtension;
    return name;
}

fs::path recordFilePath(const fs::path& folder, std::string_view patientId, int part) {
    return textio::fileInFolder(folder, recordFileName(patientId, part));
}

std::optional<RecordFileName> parseRecordFileName(std::string_view fileName) {
    if (fileName.size() <= kRecordFileExtension.size() ||
        fileName.substr(fileName.size() - kRecordFileExtension.size()) != kRecordFileExtension)
        return std::nullopt;
    const std::string_view stem = fileName.substr(0, fileName.size() - kRecordFileExtension.size());
    const size_t mark = stem.rfind(kContinuationMark);
    if (mark != std::string_view::npos && mark > 0) {
        const std::string_view digits = stem.substr(mark + kContinuationMark.size());
        const bool number =
            !digits.empty() && digits.size() <= 9 && digits[0] != '0' &&
            std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (number) {
            const int part = std::stoi(std::string(digits));
            if (part >= 2)
                return RecordFileName{std::string(stem.substr(0, mark)), part};
        }
    }
    return RecordFileName{std::string(stem), 1};
}

bool isContinuationFileName(std::string_view fileName) {
    const auto parsed = parseRecordFileName(fileName);
    return parsed && parsed->part >= 2;
}

std::vector<RecordFilePart> listPatientRecordFiles(const fs::path& folder, std::string_view patientId) {
    std::vector<RecordFilePart> files;
    std::error_code ec;
    const fs::path first = recordFilePath(folder, patientId, 1);
    if (fs::exists(fs::symlink_status(first, ec)))
        files.push_back({first, 1});
    fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const std::string name = textio::fileNameUtf8(it->path());
        const auto parsed = parseRecordFileName(name);
        if (parsed && parsed->part >= 2 && sameFileId(parsed->patientId, patientId))
            files.push_back({it->path(), parsed->part});
    }
    std::sort(files.begin(), files.end(),
              [](const RecordFilePart& a, const RecordFilePart& b) { return a.part < b.part; });
    return files;
}

std::vector<std::optional<std::string>> recordFileProblems(std::string_view patientId,
                                                           const std::vector<ReadRecordFile>& files) {
    std::vector<std::optional<std::string>> problems(files.size());
    const std::string firstName = recordFileName(patientId, 1);
    const ReadRecordFile* first = nullptr;
    std::vector<fs::path> paths;
    for (const ReadRecordFile& f : files)
        paths.push_back(f.file.path);
    const std::vector<std::optional<fs::path>> counted = countedInsteadOf(paths);
    for (size_t i = 0; i < files.size(); ++i) {
        const ReadRecordFile& f = files[i];
        const std::string name = textio::fileNameUtf8(f.file.path);
        if (!f.content.ok()) {
            problems[i] = f.content.error().message();
        } else if (counted[i]) {
            problems[i] = "ファイル" + quotedName(name) + "はファイル" +
                          quotedName(textio::fileNameUtf8(*counted[i])) +
                          "と同じファイルです（リンク）。同じ記録を二度数えないよう、" +
                          quotedName(textio::fileNameUtf8(*counted[i])) + "の記録だけを使います。";
        } else if (f.file.part == 1) {
            first = &f;
        } else if (i == 0 || files[i - 1].file.part != f.file.part - 1) {
            // The file before it in the numbering is not there.
            problems[i] = f.file.part == 2 || !first
                              ? "患者ファイル" + quotedName(firstName) + "がないため、続きのファイル" +
                                    quotedName(name) + "の記録は使えません。"
                              : "患者ID「" + std::string(patientId) + "」の続きのファイル" +
                                    quotedName(recordFileName(patientId, f.file.part - 1)) +
                                    "がありません。ファイル" + quotedName(name) +
                                    "の記録の番号が決まらないため、使えません。";
        } else if (problems[i - 1]) {
            problems[i] = "ファイル" + quotedName(textio::fileNameUtf8(files[i - 1].file.path)) +
                          "が使えないため、続きのファイル" + quotedName(name) + "の記録は使えません。";
        } else if (first && f.content->patientName != first->content->patientName) {
            problems[i] = "続きのファイル" + quotedName(name) + "の 1 行目の氏名「" + f.content->patientName +
                          "」が患者ファイル" + quotedName(firstName) + "の氏名「" +
                          first->content->patientName + "」と違うため、この患児の記録として使えません。";
        }
    }
    return problems;
}

Expected<PatientHistory> loadPatientHistory(const fs::path& folder, std::string_view patientId) {
    PatientHistory history;
    history.patientId = std::string(patientId);
    history.files = listPatientRecordFiles(folder, patientId);
    if (history.files.empty())
        return history;
    std::vector<ReadRecordFile> read;
    read.reserve(history.files.size());
    for (const RecordFilePart& file : history.files)
        read.push_back({file, readPatientRecordFile(file.path)});
    std::string problems;
    for (const auto& problem : recordFileProblems(patientId, read))
        if (problem)
            problems += (problems.empty() ? "" : "\n") + *problem;
    if (!problems.empty())
        return Error(ErrorCode::RecordFilesUnusable, {problems});
    history.records.reserve(history.files.size() * kMaxPatientRecords);
    for (ReadRecordFile& file : read) {
        PatientRecordState& state = *file.content;
        if (file.file.part == 1)
            history.patientName = state.patientName;
        history.recordsPerFile.push_back(state.patientRecordCount);
        for (int k = 1; k <= state.patientRecordCount; ++k)
            history.records.push_back(std::move(state.PatientRecordTable[static_cast<size_t>(k)]));
    }
    return history;
}

} // namespace tamso::records
