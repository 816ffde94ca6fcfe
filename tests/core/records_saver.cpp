// Saves records for one patient in a loop, as a second copy of the program would, for the tests of
// programs saving at once. Usage:
//   tamso_records_saver <folder> <id> <count> <tag> <result file> <start file>
// Waits until <start file> exists, then saves <count> records whose exam dates are "<tag>-<i>" and
// writes the exam dates of the records it saved successfully to <result file>, one per line.
//   tamso_records_saver --killed <folder> <id> <ready file> <hold ms>
// Starts a save and is killed in its middle: with the record file's lock held and its temporary
// file created, it writes <ready file>, waits <hold ms> and kills itself (SIGKILL; on Windows
// TerminateProcess), as the system or a user would end a hung program.

#include "records/patientrecordsave.h"
#include "textio/fileio.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <unistd.h>
#endif

namespace {

struct AutoPrompts : tamso::records::SavePrompts {
    bool confirmSave(const tamso::Error&) override { return true; }
    void warn(const tamso::Error& message) override { std::cerr << "warning: " << message.message() << '\n'; }
    void notify(const tamso::Error&) override {}
};

tamso::records::RecordTexts recordTagged(const std::string& examDate) {
    return {examDate, "担当", "胸部", "8", "装置", "60", "2", "100", "10 x 12", "0.25", "1", "2", "3"};
}

[[noreturn]] void killSelf() {
#ifdef _WIN32
    ::TerminateProcess(::GetCurrentProcess(), 9);
#else
    ::kill(::getpid(), SIGKILL);
#endif
    std::abort();
}

int killedSave(char** argv) {
    namespace fs = std::filesystem;
    const fs::path folder = argv[2];
    const std::string id = argv[3];
    const fs::path readyFile = argv[4];
    const int holdMs = std::atoi(argv[5]);
    tamso::textio::setWriteFaultForTesting([&](const fs::path&) -> int {
        std::ofstream(readyFile) << "holding\n";
        std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
        killSelf();
    });
    AutoPrompts prompts;
    tamso::records::PatientRecordState state;
    tamso::records::savePatientRecord(folder, id, "並行 太郎", recordTagged("killed"), prompts, state);
    return 3; // not reached: the save ends in the middle
}

} // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    if (argc == 6 && std::string(argv[1]) == "--killed")
        return killedSave(argv);
    if (argc != 7) {
        std::cerr << "usage: tamso_records_saver <folder> <id> <count> <tag> <result file> <start file>\n"
                     "       tamso_records_saver --killed <folder> <id> <ready file> <hold ms>\n";
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
        const tamso::records::RecordTexts record = recordTagged(tag + "-" + std::to_string(i));
        if (tamso::records::savePatientRecord(folder, id, "並行 太郎", record, prompts, state, options))
            result << record.examDate << '\n' << std::flush;
    }
    return result ? 0 : 1;
}
