#pragma once
// Helpers shared by the record file tests: prompts that answer and record, and a sample record.

#include "records/patientrecordsave.h"

#include <string>
#include <vector>

namespace tamso::test {

struct RecordingPrompts : records::SavePrompts {
    bool answer = true;
    std::vector<std::string> questions, warnings, notices;
    bool confirmSave(const std::string& question) override {
        questions.push_back(question);
        return answer;
    }
    void warn(const std::string& message) override { warnings.push_back(message); }
    void notify(const std::string& message) override { notices.push_back(message); }
};

inline records::RecordTexts sampleRecord(const std::string& examDate = "2024/05/01") {
    return {examDate, "山田 花子", "胸部", "8", "Mobile DR-1", "60", "2", "100", "10 x 12",
            "0.25",   "1.5",       "",     ""};
}

} // namespace tamso::test
