// Two programs saving records for the same patient at the same time lose nothing.

#include "records/patientrecordfile.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <thread>

namespace tamso::records {
namespace {

std::vector<std::string> readResultLines(const fs::path& file) {
    std::vector<std::string> lines;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            lines.push_back(line);
    return lines;
}

TEST(RecordConcurrentSave, TwoProgramsSavingAtOnceLoseNoRecord) {
#ifdef _WIN32
    const fs::path saver = fs::path(TAMSO_BINARY_DIR) / "tamso_records_saver.exe";
#else
    const fs::path saver = fs::path(TAMSO_BINARY_DIR) / "tamso_records_saver";
#endif
    ASSERT_TRUE(fs::exists(saver)) << "the saving program is not built: " << saver;
    test::TempFolder folder;
    const fs::path start = folder.path() / "start.flag";
    const int perProgram = 9;
    auto command = [&](const std::string& tag) {
        return "\"" + saver.string() + "\" \"" + folder.path().string() + "\" SHARED01 " +
               std::to_string(perProgram) + " " + tag + " \"" + (folder.path() / (tag + ".result")).string() +
               "\" \"" + start.string() + "\"";
    };
    int exitA = -1, exitB = -1;
    std::thread a([&] { exitA = std::system(command("A").c_str()); });
    std::thread b([&] { exitB = std::system(command("B").c_str()); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // both programs wait for the start
    test::writeBytes(start, "go");
    a.join();
    b.join();
    EXPECT_EQ(exitA, 0);
    EXPECT_EQ(exitB, 0);

    const auto savedA = readResultLines(folder.path() / "A.result");
    const auto savedB = readResultLines(folder.path() / "B.result");
    EXPECT_FALSE(savedA.empty());
    EXPECT_FALSE(savedB.empty());
    PatientRecordState state;
    ASSERT_FALSE(loadPatientRecords(folder.file("SHARED01.pat"), state));
    EXPECT_EQ(state.patientRecordCount, static_cast<int>(savedA.size() + savedB.size()));
    std::multiset<std::string> stored;
    for (int k = 1; k <= state.patientRecordCount; ++k)
        stored.insert(state.PatientRecordTable[static_cast<size_t>(k)].examDate);
    std::multiset<std::string> expected(savedA.begin(), savedA.end());
    expected.insert(savedB.begin(), savedB.end());
    EXPECT_EQ(stored, expected);
    // Each program's records are in its own saving order.
    for (const auto* saved : {&savedA, &savedB}) {
        std::vector<std::string> order;
        for (int k = 1; k <= state.patientRecordCount; ++k) {
            const std::string& date = state.PatientRecordTable[static_cast<size_t>(k)].examDate;
            if (std::find(saved->begin(), saved->end(), date) != saved->end())
                order.push_back(date);
        }
        EXPECT_EQ(order, *saved);
    }
    EXPECT_FALSE(fs::exists(folder.file("SHARED01.pat.lock")));
}

} // namespace
} // namespace tamso::records
