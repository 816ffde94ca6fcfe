// Saves records for one patient in a loop, as a second copy of the program would, for the test of
// two programs saving at once. Usage:
//   tamso_records_saver <folder> <id> <count> <tag> <result file> <start file>
// Waits until <start file> exists, then saves <count> records whose exam dates are "<tag>-<i>" and
// writes the exam dates of the records it saved successfully to <result file>, one per line.

#include "records/patientrecordsave.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <thread>

namespace {

struct AutoPrompts : tamso::records::SavePrompts {
    bool confirmSave(const std::string&) override { return true; }
    void warn(const std::string& message) override { std::cerr << "warning: " << message << '\n'; }
    void notify(const std::string&) override {}
};

} // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    if (argc != 7) {
        std::cerr << "usage: tamso_records_saver <folder> <id> <count> <tag> <result file> <start file>\n";
        return 2;
    }
    const fs::path folder = argv[1];
    const std::string id = argv[2];
    const int count = std::atoi(argv[3]);
    const std::string tag = argv[4];
    const fs::path startFile = argv[6];
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!fs::exists(startFile) && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));

    AutoPrompts prompts;
    tamso::records::PatientRecordState state;
    tamso::records::RecordLockOptions options;
    options.wait = std::chrono::seconds(10);
    options.poll = std::chrono::milliseconds(2);
    std::ofstream result(argv[5], std::ios::binary | std::ios::trunc);
    for (int i = 1; i <= count; ++i) {
        tamso::records::RecordTexts record = {tag + "-" + std::to_string(i),
                                              "担当",
                                              "胸部",
                                              "8",
                                              "装置",
                                              "60",
                                              "2",
                                              "100",
                                              "10 x 12",
                                              "0.25",
                                              "1",
                                              "2",
                                              "3"};
        if (tamso::records::savePatientRecord(folder, id, "並行 太郎", record, prompts, state, options))
            result << record[0] << '\n' << std::flush;
    }
    return result ? 0 : 1;
}
