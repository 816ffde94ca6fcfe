// Programs saving records for the same patient at the same time lose nothing, also when one of them
// is killed in the middle of its save and the lock file looks ancient.

#include "records/patienthistory.h"
#include "records/patientrecordsave.h"
#include "records_testsupport.h"
#include "testsupport.h"
#include "textio/fileio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
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

fs::path saverProgram() {
#ifdef _WIN32
    return fs::path(TAMSO_BINARY_DIR) / "tamso_records_saver.exe";
#else
    return fs::path(TAMSO_BINARY_DIR) / "tamso_records_saver";
#endif
}

// The start of a command whose program replaces the shell, so that its death by a signal is not
// reported by the shell.
std::string shellExec() {
#ifdef _WIN32
    return std::string();
#else
    return "exec ";
#endif
}

// The command of a saver that waits for the start file, then saves `count` records tagged `tag`.
std::string saverCommand(const test::TempFolder& folder, const std::string& id, int count,
                         const std::string& tag, const fs::path& start) {
    return test::quotedArgument(saverProgram()) + " " + test::quotedArgument(folder.path()) + " " + id + " " +
           std::to_string(count) + " " + tag + " " + test::quotedArgument(folder.path() / (tag + ".result")) +
           " " + test::quotedArgument(start);
}

// Checks that the record file holds `before` records followed by exactly the records the savers
// reported as saved, each saver's in its own order.
void expectExactlyTheReportedRecords(const fs::path& recordFile, const std::vector<std::string>& before,
                                     const std::vector<std::vector<std::string>>& reported) {
    PatientRecordState state;
    ASSERT_TRUE(loadPatientRecords(recordFile, state).ok());
    size_t total = before.size();
    for (const auto& saved : reported)
        total += saved.size();
    EXPECT_EQ(state.patientRecordCount, static_cast<int>(total));
    std::vector<std::string> stored;
    for (int k = 1; k <= state.patientRecordCount; ++k)
        stored.push_back(state.PatientRecordTable[static_cast<size_t>(k)].examDate);
    ASSERT_GE(stored.size(), before.size());
    EXPECT_EQ(std::vector<std::string>(stored.begin(), stored.begin() + static_cast<long>(before.size())),
              before);
    std::multiset<std::string> expected;
    for (const auto& saved : reported)
        expected.insert(saved.begin(), saved.end());
    EXPECT_EQ(std::multiset<std::string>(stored.begin() + static_cast<long>(before.size()), stored.end()),
              expected);
    for (const auto& saved : reported) {
        std::vector<std::string> order;
        for (const std::string& date : stored)
            if (std::find(saved.begin(), saved.end(), date) != saved.end())
                order.push_back(date);
        EXPECT_EQ(order, saved);
    }
}

TEST(RecordConcurrentSave, TwoProgramsSavingAtOnceLoseNoRecord) {
    ASSERT_TRUE(fs::exists(saverProgram())) << "the saving program is not built: " << saverProgram();
    test::TempFolder folder;
    const fs::path start = folder.path() / "start.flag";
    const int perProgram = 9;
    int exitA = -1, exitB = -1;
    std::thread a(
        [&] { exitA = test::runCommand(saverCommand(folder, "SHARED01", perProgram, "A", start)); });
    std::thread b(
        [&] { exitB = test::runCommand(saverCommand(folder, "SHARED01", perProgram, "B", start)); });
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
    expectExactlyTheReportedRecords(folder.file("SHARED01.pat"), {}, {savedA, savedB});
    // The lock file stays beside the record file, unlocked.
    EXPECT_TRUE(fs::is_regular_file(folder.file("SHARED01.pat.lock")));
    RecordFileLock lock;
    RecordLockOptions now;
    now.wait = std::chrono::milliseconds(0);
    EXPECT_TRUE(lock.acquire(folder.file("SHARED01.pat"), now).ok());
}

// Two programs save at once across the 20th record: the one lock of the first file keeps them
// apart while one of them starts the continuation file, so the infant's files hold the records
// saved before and exactly the reported ones, 20 in the first file and the rest in the continuation.
TEST(RecordConcurrentSave, TwoProgramsSavingAcrossTheTwentiethRecordLoseNothing) {
    ASSERT_TRUE(fs::exists(saverProgram())) << "the saving program is not built: " << saverProgram();
    test::TempFolder folder;
    const std::string id = "SHARED03";
    std::vector<std::string> before;
    for (int i = 1; i <= 14; ++i) {
        test::RecordingPrompts prompts;
        PatientRecordState state;
        before.push_back("before-" + std::to_string(i));
        ASSERT_TRUE(savePatientRecord(folder.path(), id, "並行 太郎", test::sampleRecord(before.back()),
                                      prompts, state));
    }
    const fs::path start = folder.path() / "start.flag";
    const int perProgram = 6;
    int exitA = -1, exitB = -1;
    std::thread a([&] { exitA = test::runCommand(saverCommand(folder, id, perProgram, "A", start)); });
    std::thread b([&] { exitB = test::runCommand(saverCommand(folder, id, perProgram, "B", start)); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    test::writeBytes(start, "go");
    a.join();
    b.join();
    EXPECT_EQ(exitA, 0);
    EXPECT_EQ(exitB, 0);
    const auto savedA = readResultLines(folder.path() / "A.result");
    const auto savedB = readResultLines(folder.path() / "B.result");
    EXPECT_EQ(savedA.size() + savedB.size(), static_cast<size_t>(2 * perProgram));

    auto history = loadPatientHistory(folder.path(), id);
    ASSERT_TRUE(history.ok()) << history.error().message();
    EXPECT_EQ(history->recordsPerFile, (std::vector<int>{20, 6}));
    std::vector<std::string> stored;
    for (const PatientRecord& record : history->records)
        stored.push_back(record.examDate);
    ASSERT_EQ(stored.size(), before.size() + savedA.size() + savedB.size());
    EXPECT_EQ(std::vector<std::string>(stored.begin(), stored.begin() + 14), before);
    std::multiset<std::string> expected(savedA.begin(), savedA.end());
    expected.insert(savedB.begin(), savedB.end());
    EXPECT_EQ(std::multiset<std::string>(stored.begin() + 14, stored.end()), expected);
    EXPECT_FALSE(fs::exists(folder.file(id + ".~2.pat.lock")));
}

// A saver is killed while it holds the lock; its lock file carries an old time and keeps looking
// old (as on a file server whose clock is behind), and several savers wait for the lock at once.
// The lock passes to exactly one waiter at a time the moment the killed saver is gone: every
// record a saver reports as saved is in the file, nothing else is, and the killed save's temporary
// file is cleared away by the next save.
TEST(RecordConcurrentSave, SaverKilledWhileHoldingAnOldLookingLockLosesNothingForTheOthers) {
    ASSERT_TRUE(fs::exists(saverProgram())) << "the saving program is not built: " << saverProgram();
    test::TempFolder folder;
    const std::string id = "SHARED02";
    const fs::path recordFile = folder.file(id + ".pat");
    const fs::path lockFile = folder.file(id + ".pat.lock");
    test::RecordingPrompts prompts;
    PatientRecordState state;
    ASSERT_TRUE(
        savePatientRecord(folder.path(), id, "並行 太郎", test::sampleRecord("before"), prompts, state));
    test::writeBytes(lockFile, "host=crashed\r\npid=1\r\n"); // as a program of an earlier version left it
    const auto longAgo = fs::file_time_type::clock::now() - std::chrono::minutes(10);
    fs::last_write_time(lockFile, longAgo);

    const auto began = std::chrono::steady_clock::now();
    const fs::path ready = folder.path() / "killed.ready";
    int killedExit = 0;
    std::thread killed([&] {
        killedExit = test::runCommand((shellExec() + test::quotedArgument(saverProgram()) + " --killed " +
                                       test::quotedArgument(folder.path()) + " " + id + " " +
                                       test::quotedArgument(ready) + " 400"));
    });
    while (!fs::exists(ready) && std::chrono::steady_clock::now() - began < std::chrono::seconds(5))
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    if (!fs::exists(ready)) {
        killed.join();
        FAIL() << "the killed saver did not start its save";
    }

    std::atomic<bool> running{true};
    std::thread oldClock([&] {
        while (running) {
            std::error_code ignored;
            fs::last_write_time(lockFile, longAgo, ignored);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    const fs::path start = folder.path() / "start.flag";
    const std::vector<std::string> tags = {"A", "B", "C"};
    const int perProgram = 6; // 1 + 3 * 6 records: within the 20 a file holds
    std::vector<int> exits(tags.size(), -1);
    std::vector<std::thread> savers;
    for (size_t i = 0; i < tags.size(); ++i)
        savers.emplace_back(
            [&, i] { exits[i] = test::runCommand(saverCommand(folder, id, perProgram, tags[i], start)); });
    test::writeBytes(start, "go");
    for (auto& saver : savers)
        saver.join();
    killed.join();
    running = false;
    oldClock.join();

    EXPECT_NE(killedExit, 0); // it was killed, not ended
    std::vector<std::vector<std::string>> reported;
    for (size_t i = 0; i < tags.size(); ++i) {
        EXPECT_EQ(exits[i], 0) << tags[i];
        reported.push_back(readResultLines(folder.path() / (tags[i] + ".result")));
        // The lock came free with the killed saver, long before a waiter would give up.
        EXPECT_EQ(reported.back().size(), static_cast<size_t>(perProgram)) << tags[i];
    }
    expectExactlyTheReportedRecords(recordFile, {"before"}, reported);
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(8));
    for (const auto& entry : fs::directory_iterator(folder.path()))
        EXPECT_FALSE(textio::isTemporaryFileOf(entry.path().filename(), recordFile.filename()))
            << "left over: " << entry.path().filename();
}

} // namespace
} // namespace tamso::records
