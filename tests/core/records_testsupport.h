#pragma once
// Helpers shared by the record file tests: prompts that answer and record, a sample record, the
// names in a folder and the lines of a file.

#include "records/patientrecordsave.h"
#include "textio/fileio.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace tamso::test {

struct RecordingPrompts : records::SavePrompts {
    bool answer = true;
    std::vector<std::string> questions, warnings, notices;
    bool confirmSave(const Error& question) override {
        questions.push_back(question.message());
        return answer;
    }
    void warn(const Error& message) override { warnings.push_back(message.message()); }
    void notify(const Error& message) override { notices.push_back(message.message()); }
    bool duplicateAnswer = true;
    std::vector<std::string> duplicateQuestions;
    bool confirmDuplicate(const Error& question) override {
        duplicateQuestions.push_back(question.message());
        return duplicateAnswer;
    }
};

inline records::RecordTexts sampleRecord(const std::string& examDate = "2024/05/01") {
    return {examDate, "山田 花子", "胸部", "8", "Mobile DR-1", "60", "2", "100", "10 x 12",
            "0.25",   "1.5",       "",     ""};
}

// The names of the entries of a folder, sorted.
inline std::vector<std::string> folderEntries(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(textio::fileNameUtf8(entry.path()));
    std::sort(names.begin(), names.end());
    return names;
}

// The number of CR LF line ends in a file's bytes.
inline size_t countLines(const std::string& bytes) {
    size_t n = 0;
    for (size_t pos = bytes.find("\r\n"); pos != std::string::npos; pos = bytes.find("\r\n", pos + 2))
        ++n;
    return n;
}

} // namespace tamso::test
