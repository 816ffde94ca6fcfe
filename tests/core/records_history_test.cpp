// An infant's records beyond twenty: continuation file names, saves that start and fill them, the
// lock of the first file over all of them, unreadable or missing files, the cumulative dose and the
// CSV export.

#include "records/doseaudit.h"
#include "records/dosehistory.h"
#include "records/patienthistory.h"
#include "records/patientrecordsave.h"
#include "records_testsupport.h"
#include "testsupport.h"
#include "textio/csv.h"
#include "textio/fileio.h"

#include <gtest/gtest.h>

#include <algorithm>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace tamso::records {
namespace {

using test::countLines;
using test::folderEntries;
using test::RecordingPrompts;
using test::sampleRecord;
using test::TempFolder;

// The lines of one stored record with this date and dose, in the number write form.
std::string storedRecord(const std::string& date, const std::string& dose) {
    return date + "\r\n技師\r\n胸部\r\n 8 \r\n装置\r\n 60 \r\n 2 \r\n 100 \r\n10 x 12\r\n" + dose +
           "\r\n 1.5 \r\n\r\n\r\n";
}

// A record file of `count` records dated "day <first>" onwards, each with the dose " .1 ".
std::string fileOfRecords(const std::string& name, int first, int count) {
    std::string text = name + "\r\n " + std::to_string(count) + " \r\n";
    for (int i = first; i < first + count; ++i)
        text += storedRecord("day " + std::to_string(i), " .1 ");
    return text;
}

TEST(ContinuationFileName, NamesSortAfterTheFirstFileAndReadBack) {
    EXPECT_EQ(recordFileName("A001", 1), "A001.pat");
    EXPECT_EQ(recordFileName("A001", 2), "A001.~2.pat");
    EXPECT_EQ(recordFileName("A001", 13), "A001.~13.pat");
    // Sorted by name, a continuation comes right after its first file, before any other ID.
    std::vector<std::string> names = {"A0010.pat", "A001.~2.pat", "A001-1.pat", "A001.pat", "A001.5.pat"};
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names[0], "A001-1.pat"); // '-' sorts before '.'
    EXPECT_EQ(names[1], "A001.5.pat");
    EXPECT_EQ(names[2], "A001.pat");
    EXPECT_EQ(names[3], "A001.~2.pat");

    const struct {
        std::string name;
        std::optional<std::pair<std::string, int>> parsed;
    } cases[] = {
        {"A001.pat", std::pair<std::string, int>{"A001", 1}},
        {"A001.~2.pat", std::pair<std::string, int>{"A001", 2}},
        {"山田.~40.pat", std::pair<std::string, int>{"山田", 40}},
        {"a.b.~3.pat", std::pair<std::string, int>{"a.b", 3}},
        {"A.~1.pat", std::pair<std::string, int>{"A.~1", 1}},   // no continuation 1
        {"A.~02.pat", std::pair<std::string, int>{"A.~02", 1}}, // no leading zero
        {"A.~.pat", std::pair<std::string, int>{"A.~", 1}},
        {"A.~2x.pat", std::pair<std::string, int>{"A.~2x", 1}},
        {".~2.pat", std::pair<std::string, int>{".~2", 1}}, // no ID before the mark
        {"A.pat.lock", std::nullopt},
        {".pat", std::nullopt},
        {"notes.txt", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto parsed = parseRecordFileName(c.name);
        ASSERT_EQ(parsed.has_value(), c.parsed.has_value()) << c.name;
        if (parsed) {
            EXPECT_EQ(parsed->patientId, c.parsed->first) << c.name;
            EXPECT_EQ(parsed->part, c.parsed->second) << c.name;
        }
    }
    EXPECT_TRUE(isContinuationFileName("A001.~2.pat"));
    EXPECT_FALSE(isContinuationFileName("A001.pat"));
    EXPECT_FALSE(isContinuationFileName("A001.~2.pat.lock"));
}

// No ID can name a continuation file of another: the ID rules refuse "~".
TEST(ContinuationFileName, IdWithTheMarkIsRefused) {
    for (const char* id : {"A001.~2", "A~B", "~"}) {
        auto refused = checkPatientId(id);
        ASSERT_FALSE(refused.ok()) << id;
        EXPECT_NE(refused.message().find("~"), std::string::npos) << refused.message();
    }
    EXPECT_TRUE(checkPatientId("A001.2").ok());
    EXPECT_TRUE(checkPatientId("A001～2").ok()); // the full-width wave is another character
}

TEST(PatientRecordFiles, ListsTheFirstFileAndItsContinuationsInNumberOrder) {
    TempFolder folder;
    for (const char* name : {"A.pat", "A.~10.pat", "A.~2.pat", "A.~3.pat", "AB.~2.pat", "A.~2.pat.lock",
                             "B.pat", "a.~4.pat", ".A.~2.pat.tmp-0123456789abcdef"})
        test::writeBytes(folder.file(name), "x");
    std::vector<std::pair<std::string, int>> listed;
    for (const RecordFilePart& part : listPatientRecordFiles(folder.path(), "A"))
        listed.emplace_back(textio::fileNameUtf8(part.path), part.part);
#ifdef _WIN32 // names differing only in case are one file there
    const std::vector<std::pair<std::string, int>> expected = {
        {"A.pat", 1}, {"A.~2.pat", 2}, {"A.~3.pat", 3}, {"a.~4.pat", 4}, {"A.~10.pat", 10}};
#else
    const std::vector<std::pair<std::string, int>> expected = {
        {"A.pat", 1}, {"A.~2.pat", 2}, {"A.~3.pat", 3}, {"A.~10.pat", 10}};
#endif
    EXPECT_EQ(listed, expected);
    EXPECT_TRUE(listPatientRecordFiles(folder.path(), "C").empty());
}

class HistorySave : public ::testing::Test {
protected:
    bool save(const std::string& id, const std::string& name, const RecordTexts& record) {
        prompts = RecordingPrompts{};
        return savePatientRecord(folder.path(), id, name, record, prompts, state, {}, &place);
    }
    TempFolder folder;
    RecordingPrompts prompts;
    PatientRecordState state;
    SavedRecordPlace place;
};

// The 21st record starts "P.~2.pat" and leaves "P.pat" byte for byte; the 22nd goes to the
// continuation as an ordinary save.
TEST_F(HistorySave, TwentyFirstStartsTheContinuationAndTwentySecondFollowsIt) {
    ASSERT_TRUE(save("P", "満杯 太郎", sampleRecord("day 1")));
    EXPECT_EQ(place.recordNumber, 1);
    EXPECT_EQ(place.part, 1);
    EXPECT_EQ(place.file, folder.file("P.pat"));
    test::writeSjis(folder.file("P.pat"), fileOfRecords("満杯 太郎", 1, 20));
    const std::string first = test::readBytes(folder.file("P.pat"));
    EXPECT_EQ(countLines(first), 262u);

    ASSERT_TRUE(save("P", "別の 名前", sampleRecord("day 21"))) << prompts.warnings.front();
    EXPECT_TRUE(prompts.warnings.empty());
    EXPECT_EQ(prompts.notices,
              std::vector<std::string>{
                  "この患児の記録は 20 件を超えたため、続きのファイル「P.~2.pat」に保存しました。"});
    EXPECT_EQ(test::readBytes(folder.file("P.pat")), first);
    // The same layout as a first file: the stored name (not the one typed), "1", the texts verbatim.
    EXPECT_EQ(test::readSjis(folder.file("P.~2.pat")),
              "満杯 太郎\r\n1\r\nday 21\r\n山田 花子\r\n胸部\r\n8\r\nMobile DR-1\r\n60\r\n2\r\n100\r\n10 x "
              "12\r\n0.25\r\n1.5\r\n\r\n\r\n");
    EXPECT_EQ(place.part, 2);
    EXPECT_EQ(place.recordNumber, 21);
    EXPECT_EQ(place.file, folder.file("P.~2.pat"));
    EXPECT_EQ(state.patientRecordCount, 1); // the shared table holds the file written
    // One lock file, the first file's, for both files.
    EXPECT_EQ(folderEntries(folder.path()), (std::vector<std::string>{"P.pat", "P.pat.lock", "P.~2.pat"}));

    ASSERT_TRUE(save("P", "満杯 太郎", sampleRecord("day 22")));
    EXPECT_EQ(prompts.notices, std::vector<std::string>{Error(ErrorCode::Saved).message()});
    EXPECT_EQ(test::readBytes(folder.file("P.pat")), first);
    EXPECT_EQ(countLines(test::readBytes(folder.file("P.~2.pat"))), 28u);
    EXPECT_EQ(place.recordNumber, 22);

    auto history = loadPatientHistory(folder.path(), "P");
    ASSERT_TRUE(history.ok()) << history.error().message();
    EXPECT_EQ(history->patientName, "満杯 太郎");
    ASSERT_EQ(history->recordCount(), 22);
    for (int n = 1; n <= 22; ++n)
        EXPECT_EQ(history->records[static_cast<size_t>(n - 1)].examDate, "day " + std::to_string(n));
    EXPECT_EQ(history->recordsPerFile, (std::vector<int>{20, 2}));
}

TEST_F(HistorySave, FortyFirstStartsTheThirdFile) {
    test::writeSjis(folder.file("Q.pat"), fileOfRecords("長期 入院", 1, 20));
    test::writeSjis(folder.file("Q.~2.pat"), fileOfRecords("長期 入院", 21, 20));
    const std::string first = test::readBytes(folder.file("Q.pat"));
    const std::string second = test::readBytes(folder.file("Q.~2.pat"));
    ASSERT_TRUE(save("Q", "長期 入院", sampleRecord("day 41")));
    EXPECT_EQ(prompts.notices, std::vector<std::string>{continuationSavedMessage("Q.~3.pat").message()});
    EXPECT_EQ(test::readBytes(folder.file("Q.pat")), first);
    EXPECT_EQ(test::readBytes(folder.file("Q.~2.pat")), second);
    EXPECT_EQ(countLines(test::readBytes(folder.file("Q.~3.pat"))), 15u);
    EXPECT_EQ(place.recordNumber, 41);
    EXPECT_EQ(place.part, 3);
    auto history = loadPatientHistory(folder.path(), "Q");
    ASSERT_TRUE(history.ok()) << history.error().message();
    ASSERT_EQ(history->recordCount(), 41);
    EXPECT_EQ(history->records[39].examDate, "day 40");
    EXPECT_EQ(history->records[40].examDate, "day 41");
}

// A continuation that is not full is filled before another is started, even when an earlier file
// holds fewer than 20 records (a file edited by hand): records are only ever appended at the end.
TEST_F(HistorySave, AppendsToTheLastFileOnly) {
    test::writeSjis(folder.file("R.pat"), fileOfRecords("名", 1, 19));
    test::writeSjis(folder.file("R.~2.pat"), fileOfRecords("名", 20, 3));
    const std::string first = test::readBytes(folder.file("R.pat"));
    ASSERT_TRUE(save("R", "名", sampleRecord("day 23")));
    EXPECT_EQ(test::readBytes(folder.file("R.pat")), first);
    EXPECT_EQ(place.recordNumber, 23);
    auto history = loadPatientHistory(folder.path(), "R");
    ASSERT_TRUE(history.ok());
    EXPECT_EQ(history->recordsPerFile, (std::vector<int>{19, 4}));
    EXPECT_EQ(history->records.back().examDate, "day 23");
}

// A continuation file not in the layout: the save writes nothing, no file changes, no further
// continuation appears, and the message names the file; the history does not load either.
TEST_F(HistorySave, CorruptContinuationFileLosesNothing) {
    test::writeSjis(folder.file("S.pat"), fileOfRecords("名", 1, 20));
    for (const std::string& broken : {std::string("名\r\n 3 \r\n") + storedRecord("d", "1"), // too few lines
                                      std::string("名\r\n1\r\n\x82\xA0\r\n")}) {             // not Shift-JIS
        test::writeBytes(folder.file("S.~2.pat"), broken);
        const std::string first = test::readBytes(folder.file("S.pat"));
        EXPECT_FALSE(save("S", "名", sampleRecord("day 21")));
        ASSERT_EQ(prompts.warnings.size(), 1u);
        EXPECT_NE(prompts.warnings[0].find("S.~2.pat"), std::string::npos) << prompts.warnings[0];
        EXPECT_NE(prompts.warnings[0].find("保存しませんでした"), std::string::npos) << prompts.warnings[0];
        EXPECT_TRUE(prompts.notices.empty());
        EXPECT_EQ(test::readBytes(folder.file("S.pat")), first);
        EXPECT_EQ(test::readBytes(folder.file("S.~2.pat")), broken);
        EXPECT_EQ(folderEntries(folder.path()),
                  (std::vector<std::string>{"S.pat", "S.pat.lock", "S.~2.pat"}));
        auto history = loadDoseHistory(folder.path(), "S");
        ASSERT_FALSE(history.ok());
        EXPECT_NE(history.error().message().find("S.~2.pat"), std::string::npos) << history.error().message();
    }
}

// A missing file among the infant's files stops the save and the history, naming what is missing.
TEST_F(HistorySave, MissingFirstFileOrMissingContinuationStopsTheSave) {
    test::writeSjis(folder.file("T.~2.pat"), fileOfRecords("名", 21, 2));
    EXPECT_FALSE(save("T", "名", sampleRecord("x")));
    ASSERT_EQ(prompts.warnings.size(), 1u);
    EXPECT_NE(prompts.warnings[0].find("「T.pat」がない"), std::string::npos) << prompts.warnings[0];
    EXPECT_FALSE(fs::exists(folder.file("T.pat")));

    test::writeSjis(folder.file("U.pat"), fileOfRecords("名", 1, 20));
    test::writeSjis(folder.file("U.~3.pat"), fileOfRecords("名", 41, 2));
    const std::string third = test::readBytes(folder.file("U.~3.pat"));
    EXPECT_FALSE(save("U", "名", sampleRecord("x")));
    ASSERT_EQ(prompts.warnings.size(), 1u);
    EXPECT_NE(prompts.warnings[0].find("「U.~2.pat」がありません"), std::string::npos) << prompts.warnings[0];
    EXPECT_FALSE(fs::exists(folder.file("U.~2.pat")));
    EXPECT_EQ(test::readBytes(folder.file("U.~3.pat")), third);
    EXPECT_FALSE(loadPatientHistory(folder.path(), "U").ok());
}

// One rule for the dose history, the save and the audit: a continuation file without its first
// or preceding file, after a file that cannot be used, of another infant, or something that is no
// file under a record file's name is left out and named with the reason. The history and the save
// refuse (nothing is written), the audit lists the file and counts none of its records.
TEST(InfantFiles, OneRuleForHistorySaveAndAudit) {
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> files; // name, content ("" = a folder)
        std::string leftOut;                                    // the file left out
        std::string reason;                                     // part of the reason given
        int usableRecords;                                      // records the audit still counts
    };
    const std::string full = fileOfRecords("名", 1, 20);
    const Case cases[] = {
        {"continuation without its first file",
         {{"K.~2.pat", fileOfRecords("名", 21, 2)}},
         "K.~2.pat",
         "「K.pat」がない",
         0},
        {"~3 without ~2",
         {{"K.pat", full}, {"K.~3.pat", fileOfRecords("名", 41, 2)}},
         "K.~3.pat",
         "「K.~2.pat」がありません",
         20},
        {"continuation of another infant",
         {{"K.pat", full}, {"K.~2.pat", fileOfRecords("別人", 21, 1)}},
         "K.~2.pat",
         "氏名「別人」",
         20},
        {"continuation after an unreadable file",
         {{"K.pat", "名\r\nabc\r\n"}, {"K.~2.pat", fileOfRecords("名", 21, 1)}},
         "K.~2.pat",
         "「K.pat」が使えないため",
         0},
        {"a folder of a continuation's name",
         {{"K.pat", full}, {"K.~2.pat", ""}},
         "K.~2.pat",
         "はファイルではありません",
         20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        for (const auto& [name, content] : c.files) {
            if (content.empty())
                fs::create_directory(folder.file(name));
            else
                test::writeSjis(folder.file(name), content);
        }
        const std::vector<std::string> before = folderEntries(folder.path());
        auto history = loadDoseHistory(folder.path(), "K");
        ASSERT_FALSE(history.ok());
        EXPECT_NE(history.error().message().find(c.reason), std::string::npos) << history.error().message();
        EXPECT_NE(history.error().message().find(c.leftOut), std::string::npos) << history.error().message();

        RecordingPrompts prompts;
        PatientRecordState state;
        EXPECT_FALSE(savePatientRecord(folder.path(), "K", "名", sampleRecord("x"), prompts, state));
        ASSERT_EQ(prompts.warnings.size(), 1u);
        EXPECT_NE(prompts.warnings[0].find(c.reason), std::string::npos) << prompts.warnings[0];
        std::vector<std::string> after = folderEntries(folder.path());
        after.erase(std::remove(after.begin(), after.end(), "K.pat.lock"), after.end());
        EXPECT_EQ(after, before);

        auto audit = auditRecordFolder(folder.path(), AuditPeriod{}, refdata::ReferenceLevelTable{});
        ASSERT_TRUE(audit.ok());
        EXPECT_EQ(audit->exposures, c.usableRecords);
        const auto note = std::find_if(audit->notes.begin(), audit->notes.end(),
                                       [&](const AuditNote& n) { return n.fileName == c.leftOut; });
        ASSERT_NE(note, audit->notes.end());
        EXPECT_NE(auditNoteText(*note).find(c.reason), std::string::npos) << auditNoteText(*note);
    }
}

#ifndef _WIN32
// A named pipe or a link to a device under a record file's name is refused at once by every reader:
// nothing waits for a writer (also not a save holding the infant's lock) or reads without end.
TEST(InfantFiles, PipesAndDevicesAreRefusedWithoutWaiting) {
    for (const bool pipe : {true, false}) {
        SCOPED_TRACE(pipe ? "named pipe" : "link to /dev/zero");
        TempFolder folder;
        if (pipe)
            ASSERT_EQ(::mkfifo(folder.file("X.pat").c_str(), 0600), 0);
        else
            fs::create_symlink("/dev/zero", folder.file("X.pat"));
        auto history = loadDoseHistory(folder.path(), "X");
        ASSERT_FALSE(history.ok());
        EXPECT_NE(history.error().message().find("通常のファイルではありません"), std::string::npos)
            << history.error().message();
        EXPECT_FALSE(readPatientName(folder.file("X.pat")));
        RecordingPrompts prompts;
        PatientRecordState state;
        EXPECT_FALSE(savePatientRecord(folder.path(), "X", "名", sampleRecord("x"), prompts, state));
        ASSERT_EQ(prompts.warnings.size(), 1u);
        EXPECT_NE(prompts.warnings[0].find("通常のファイルではありません"), std::string::npos);
        auto audit = auditRecordFolder(folder.path(), AuditPeriod{}, refdata::ReferenceLevelTable{});
        ASSERT_TRUE(audit.ok());
        ASSERT_EQ(audit->notes.size(), 1u);
        EXPECT_EQ(audit->notes[0].kind, AuditNote::Kind::UnreadableFile);
    }
}
#endif

// A record file under two names (a link to another record file of the folder, a hard link, a
// continuation that links to the first file) counts once: the name that is no link, else the
// first by name; the other is left out with the reason by the history, the save and the audit.
TEST(InfantFiles, ARecordFileUnderTwoNamesCountsOnce) {
    TAMSO_POSIX_ONLY("symbolic links");
    struct Case {
        const char* what;
        const char* second; // the other name of "A.pat"
        bool symbolic;
        bool historyOfA; // whether A's history can still be read
    };
    const Case cases[] = {{"a link to another infant's file", "B.pat", true, true},
                          {"a hard link", "B.pat", false, true},
                          {"a continuation that links to the first file", "A.~2.pat", true, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        test::writeSjis(folder.file("A.pat"), fileOfRecords("名", 1, 3));
        if (c.symbolic)
            fs::create_symlink("A.pat", folder.file(c.second));
        else
            fs::create_hard_link(folder.file("A.pat"), folder.file(c.second));
        auto audit = auditRecordFolder(folder.path(), AuditPeriod{}, refdata::ReferenceLevelTable{});
        ASSERT_TRUE(audit.ok());
        EXPECT_EQ(audit->exposures, 3);
        EXPECT_EQ(audit->leftOutFiles, 1);
        const auto note = std::find_if(audit->notes.begin(), audit->notes.end(), [](const AuditNote& n) {
            return n.kind == AuditNote::Kind::LeftOutFile;
        });
        ASSERT_NE(note, audit->notes.end());
        EXPECT_EQ(note->fileName, c.second);
        EXPECT_NE(auditNoteText(*note).find("「A.pat」と同じファイル"), std::string::npos) << auditNoteText(*note);
        EXPECT_EQ(loadDoseHistory(folder.path(), "A").ok(), c.historyOfA);
        const std::string other = parseRecordFileName(c.second)->patientId;
        if (other != "A") {
            auto history = loadDoseHistory(folder.path(), other);
            ASSERT_FALSE(history.ok());
            EXPECT_NE(history.error().message().find("「A.pat」と同じファイル"), std::string::npos);
        }
    }
}

// The first file's lock guards the continuation: while another saver holds "V.pat.lock", a save
// that would write "V.~2.pat" waits and gives up, and no lock of the continuation is ever made.
TEST_F(HistorySave, FirstFileLockCoversTheContinuation) {
    test::writeSjis(folder.file("V.pat"), fileOfRecords("名", 1, 20));
    RecordFileLock other;
    ASSERT_TRUE(other.acquire(folder.file("V.pat")).ok());
    RecordLockOptions quick;
    quick.wait = std::chrono::milliseconds(100);
    EXPECT_FALSE(savePatientRecord(folder.path(), "V", "名", sampleRecord("x"), prompts, state, quick));
    ASSERT_EQ(prompts.warnings.size(), 1u);
    EXPECT_NE(prompts.warnings[0].find("他で保存中"), std::string::npos) << prompts.warnings[0];
    EXPECT_FALSE(fs::exists(folder.file("V.~2.pat")));
    other.release();
    ASSERT_TRUE(save("V", "名", sampleRecord("x")));
    EXPECT_TRUE(fs::exists(folder.file("V.~2.pat")));
    EXPECT_FALSE(fs::exists(folder.file("V.~2.pat.lock")));
}

// The rules of atomic replacement hold for a continuation file too: a read-only one is not replaced.
TEST_F(HistorySave, ReadOnlyContinuationIsNotReplaced) {
    test::writeSjis(folder.file("W.pat"), fileOfRecords("名", 1, 20));
    test::writeSjis(folder.file("W.~2.pat"), fileOfRecords("名", 21, 1));
    const fs::path second = folder.file("W.~2.pat");
    const std::string before = test::readBytes(second);
    fs::permissions(second, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_FALSE(save("W", "名", sampleRecord("x")));
    ASSERT_EQ(prompts.warnings.size(), 1u);
    EXPECT_NE(prompts.warnings[0].find("W.~2.pat"), std::string::npos) << prompts.warnings[0];
    EXPECT_EQ(test::readBytes(second), before);
    EXPECT_FALSE(fs::exists(folder.file("W.~3.pat")));
    fs::permissions(second, fs::perms::owner_write, fs::perm_options::add);
}

// One order: by exam date, on one date in save order; a date that cannot be read stays after the
// record saved before it. Saved: 03/05 0.1, 03/01 0.2, "昨日" 0.3, 03/05 "未計算", 03/03 0.5.
TEST(DoseHistoryOrder, ByDateThenSaveOrder) {
    TempFolder folder;
    test::writeSjis(folder.file("O.pat"),
                    "順番 花子\r\n 5 \r\n" + storedRecord("2026/03/05", " .1 ") +
                        storedRecord("2026/03/01", " .2 ") + storedRecord("昨日", " .3 ") +
                        storedRecord("2026/3/5", "未計算") + storedRecord("2026-03-03", " .5 "));
    auto history = loadDoseHistory(folder.path(), "O");
    ASSERT_TRUE(history.ok()) << history.error().message();
    const int records[] = {2, 3, 5, 1, 4};
    const double cumulative[] = {0.2, 0.5, 1.0, 1.1, 1.1};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(history->entries[i].number, static_cast<int>(i) + 1);
        EXPECT_EQ(history->entries[i].recordNumber, records[i]) << i;
        EXPECT_NEAR(history->entries[i].cumulativeMGy, cumulative[i], 1e-12) << i;
        EXPECT_EQ(doseHistoryRow(history->entries[i])[kColumnNumber], std::to_string(i + 1));
    }
    // A stored record: its place in this order.
    const struct {
        int record, exposure;
        double cumulative;
        bool lowerBound;
    } stored[] = {{1, 4, 1.1, false}, {2, 1, 0.2, false}, {4, 5, 1.1, true}, {5, 3, 1.0, false}};
    for (const auto& s : stored) {
        const auto dose = cumulativeThroughRecord(*history, s.record);
        ASSERT_TRUE(dose) << s.record;
        EXPECT_EQ(dose->exposureNumber, s.exposure) << s.record;
        EXPECT_NEAR(dose->cumulativeMGy, s.cumulative, 1e-12) << s.record;
        EXPECT_EQ(dose->lowerBound, s.lowerBound) << s.record;
    }
    // A new exposure: after the stored ones of its date, before later ones.
    const struct {
        const char* date;
        int exposure;
        double cumulative;
        bool lowerBound;
    } added[] = {{"2026/02/01", 1, 0.05, false},
                 {"2026/03/03", 4, 1.05, false},
                 {"2026/03/05", 6, 1.15, true},
                 {"2026/03/10", 6, 1.15, true},
                 {"", 6, 1.15, true}};
    for (const auto& a : added) {
        const CumulativeDose dose = cumulativeWithNewExposure(*history, "0.05", a.date);
        EXPECT_EQ(dose.exposureNumber, a.exposure) << a.date;
        EXPECT_NEAR(dose.cumulativeMGy, a.cumulative, 1e-12) << a.date;
        EXPECT_EQ(dose.lowerBound, a.lowerBound) << a.date;
    }
}

// Doses 0.25, 1.5, "未計算", nothing and a quoted "0.052": cumulative 0.25, 1.75, 1.75, 1.75, 1.802.
TEST(DoseHistorySums, MatchHandComputedValues) {
    TempFolder folder;
    test::writeSjis(folder.file("D.pat"),
                    "線量 花子\r\n 6 \r\n" + storedRecord("2024/05/01", " .25 ") +
                        storedRecord("2024/05/02", " 1.5 ") + storedRecord("2024/05/03", "未計算") +
                        storedRecord("2024/05/04", "") + storedRecord("2024/05/05", "\"0.052\"") +
                        storedRecord("2024/05/06", "-100 "));
    auto history = loadDoseHistory(folder.path(), "D");
    ASSERT_TRUE(history.ok()) << history.error().message();
    EXPECT_EQ(history->patientName, "線量 花子");
    ASSERT_EQ(history->exposureCount(), 6);
    // A negative dose is no dose, as in the audit: it neither lowers the sum nor goes unflagged.
    const double expected[] = {0.25, 1.75, 1.75, 1.75, 1.802, 1.802};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(history->entries[static_cast<size_t>(i)].number, i + 1);
        EXPECT_NEAR(history->entries[static_cast<size_t>(i)].cumulativeMGy, expected[i], 1e-12) << i;
    }
    EXPECT_FALSE(history->entries[2].doseMGy.has_value());
    EXPECT_FALSE(history->entries[3].doseMGy.has_value());
    EXPECT_EQ(history->entries[4].doseMGy, std::optional<double>(0.052));
    EXPECT_FALSE(history->entries[5].doseMGy.has_value());
    EXPECT_NEAR(history->totalMGy, 1.802, 1e-12);
    EXPECT_EQ(history->uncountedDoses, 3);
    EXPECT_EQ(doseText(history->totalMGy), "1.802");

    // Shown as stored and flagged; the cumulative in "#0.000".
    const auto third = doseHistoryRow(history->entries[2]);
    EXPECT_EQ(third[kColumnDose], "未計算");
    EXPECT_EQ(third[kColumnCumulativeDose], "1.750");
    EXPECT_EQ(third[kColumnNote], kUncountedDoseNote);
    EXPECT_EQ(doseHistoryRow(history->entries[0])[kColumnNote], "");
    EXPECT_EQ(doseHistoryRow(history->entries[0])[kColumnDose], "0.250"); // three decimals
    EXPECT_EQ(doseHistoryRow(history->entries[5])[kColumnDose], "-100");
    EXPECT_EQ(doseHistoryRow(history->entries[5])[kColumnNote], kUncountedDoseNote);

    // The report's line: a new exposure adds itself; a stored record counts up to itself.
    const CumulativeDose next = cumulativeWithNewExposure(*history, "0.203");
    EXPECT_EQ(next.exposureNumber, 7);
    EXPECT_NEAR(next.cumulativeMGy, 2.005, 1e-12);
    EXPECT_TRUE(next.lowerBound); // records 3, 4 and 6 have no dose
    EXPECT_NEAR(cumulativeWithNewExposure(*history, "-0.5").cumulativeMGy, 1.802, 1e-12);
    const auto second = cumulativeThroughRecord(*history, 2);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->exposureNumber, 2);
    EXPECT_NEAR(second->cumulativeMGy, 1.75, 1e-12);
    EXPECT_FALSE(second->lowerBound);
    EXPECT_TRUE(cumulativeThroughRecord(*history, 3)->lowerBound);
    EXPECT_FALSE(cumulativeThroughRecord(*history, 0));
    EXPECT_FALSE(cumulativeThroughRecord(*history, 7));

    // A new infant: this exposure alone.
    auto none = loadDoseHistory(folder.path(), "NEW");
    ASSERT_TRUE(none.ok());
    EXPECT_EQ(none->exposureCount(), 0);
    const CumulativeDose alone = cumulativeWithNewExposure(*none, "0.052");
    EXPECT_EQ(alone.exposureNumber, 1);
    EXPECT_EQ(doseText(alone.cumulativeMGy), "0.052");
    EXPECT_FALSE(alone.lowerBound);
    EXPECT_TRUE(cumulativeWithNewExposure(*none, "").lowerBound);
}

// Doses whose sum no number holds: the cumulative says it cannot be summed, never a number.
TEST(DoseHistorySums, ASumTooLargeForANumberSaysSo) {
    TempFolder folder;
    test::writeSjis(folder.file("F.pat"), "名\r\n 2 \r\n" + storedRecord("2024/05/01", " 1E+308 ") +
                                              storedRecord("2024/05/02", " 1E+308 "));
    auto history = loadDoseHistory(folder.path(), "F");
    ASSERT_TRUE(history.ok()) << history.error().message();
    EXPECT_NE(doseHistoryRow(history->entries[0])[kColumnCumulativeDose], kUnsummableDoseText);
    EXPECT_EQ(doseHistoryRow(history->entries[1])[kColumnCumulativeDose], kUnsummableDoseText);
    EXPECT_EQ(doseHistoryTotals(*history)[1].second, kUnsummableDoseText);
    EXPECT_EQ(doseText(cumulativeWithNewExposure(*history, "0.1").cumulativeMGy), kUnsummableDoseText);
    EXPECT_NE(doseHistoryCsv(*history).find(kUnsummableDoseText), std::string::npos);
}

// 45 records of 0.1 mGy over three files: the sum runs on across the files.
TEST(DoseHistorySums, RunAcrossFiles) {
    TempFolder folder;
    test::writeSjis(folder.file("E.pat"), fileOfRecords("名", 1, 20));
    test::writeSjis(folder.file("E.~2.pat"), fileOfRecords("名", 21, 20));
    test::writeSjis(folder.file("E.~3.pat"), fileOfRecords("名", 41, 5));
    auto history = loadDoseHistory(folder.path(), "E");
    ASSERT_TRUE(history.ok()) << history.error().message();
    ASSERT_EQ(history->exposureCount(), 45);
    EXPECT_EQ(history->entries[20].number, 21);
    EXPECT_EQ(history->entries[20].record.examDate, "day 21");
    EXPECT_EQ(doseText(history->entries[19].cumulativeMGy), "2.000");
    EXPECT_EQ(doseText(history->entries[20].cumulativeMGy), "2.100");
    EXPECT_EQ(doseText(history->totalMGy), "4.500");
    EXPECT_EQ(doseText(cumulativeThroughRecord(*history, 41)->cumulativeMGy), "4.100");
}

TEST(DoseHistoryCsv, StartsWithAByteOrderMarkAndReadsBackCellForCell) {
    TempFolder folder;
    std::string tricky = storedRecord("2024/05/03", "未計算");
    tricky.replace(tricky.find("10 x 12"), 7, "10 x 12, 縦 \"大\"");
    tricky.replace(tricky.find("胸部"), 6, " 胸部 ");
    test::writeSjis(folder.file("C1.pat"), "新生, 一郎\r\n 3 \r\n" + storedRecord("2024/05/01", " .25 ") +
                                               storedRecord("2024/05/02", " 1.5 ") + tricky);
    auto history = loadDoseHistory(folder.path(), "C1");
    ASSERT_TRUE(history.ok()) << history.error().message();
    const std::string csv = doseHistoryCsv(*history);
    ASSERT_EQ(csv.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(csv.substr(3, csv.find("\r\n\r\n") + 4 - 3),
              "患者ID,C1\r\n氏名,\"新生, 一郎\"\r\n撮影回数,3\r\n累積入射表面線量(mGy),1.750\r\n"
              "線量のない記録,1\r\n\r\n");
    EXPECT_NE(csv.find("\r\n1,2024/05/01,胸部,60,2,100,10 x 12,0.250,0.250,1.500,,,\r\n"), std::string::npos)
        << csv;
    EXPECT_NE(csv.find(",\"10 x 12, 縦 \"\"大\"\"\","), std::string::npos) << csv;
    EXPECT_EQ(csv.find('\n'), csv.find("\r\n") + 1); // CR LF throughout
    EXPECT_EQ(csv.substr(csv.size() - 2), "\r\n");

    const auto rows = textio::csvRows(csv.substr(3));
    ASSERT_EQ(rows.size(), 5u + 1u + 1u + 3u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"患者ID", "C1"}));
    EXPECT_EQ(rows[1], (std::vector<std::string>{"氏名", "新生, 一郎"}));
    size_t r = 2;
    for (const auto& [caption, value] : doseHistoryTotals(*history))
        EXPECT_EQ(rows[r++], (std::vector<std::string>{caption, value}));
    EXPECT_EQ(rows[r++], std::vector<std::string>{""});
    EXPECT_EQ(rows[r++], doseHistoryHeadings());
    for (const DoseHistoryEntry& entry : history->entries)
        EXPECT_EQ(rows[r++], doseHistoryRow(entry));
    EXPECT_EQ(rows[9][kColumnFieldSize], "10 x 12, 縦 \"大\"");
    EXPECT_EQ(rows[9][kColumnBodyPart], " 胸部 ");
}

} // namespace
} // namespace tamso::records
