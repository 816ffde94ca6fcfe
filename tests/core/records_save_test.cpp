// The save flow: exact bytes of new and rewritten files, the 20-record limit, corrupt files, unsafe
// IDs, write failures and the lock beside the file.

#include "records/exposurerecord.h"
#include "records/patientrecordsave.h"
#include "records_testsupport.h"
#include "testsupport.h"
#include "textio/fileio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <thread>

namespace tamso::records {
namespace {

using test::countLines;
using test::folderEntries;
using test::RecordingPrompts;
using test::sampleRecord;
using test::TempFolder;

constexpr const char* kRecordBody = "2024/05/01\r\n山田 花子\r\n胸部\r\n";

class RecordSave : public ::testing::Test {
protected:
    bool save(const std::string& id, const std::string& name, const RecordTexts& record) {
        return savePatientRecord(folder.path(), id, name, record, prompts, state);
    }
    TempFolder folder;
    RecordingPrompts prompts;
    PatientRecordState state;
};

TEST_F(RecordSave, FirstSaveWritesNameOneAndTheTextsVerbatim) {
    ASSERT_TRUE(save("A01", "新生 一郎", sampleRecord()));
    EXPECT_EQ(test::readSjis(folder.file("A01.pat")),
              std::string("新生 一郎\r\n1\r\n") + kRecordBody +
                  "8\r\nMobile DR-1\r\n60\r\n2\r\n100\r\n10 x 12\r\n0.25\r\n1.5\r\n\r\n\r\n");
    EXPECT_EQ(countLines(test::readBytes(folder.file("A01.pat"))), 15u);
    EXPECT_EQ(prompts.questions, std::vector<std::string>{Error(ErrorCode::QuestionSave).message()});
    EXPECT_EQ(prompts.notices, std::vector<std::string>{Error(ErrorCode::Saved).message()});
    EXPECT_TRUE(prompts.warnings.empty());
    // The lock file stays beside the record file; no temporary file is left.
    EXPECT_EQ(folderEntries(folder.path()), (std::vector<std::string>{"A01.pat", "A01.pat.lock"}));
}

TEST_F(RecordSave, SecondSaveRewritesInNumberFormAndBothFilesLoadAlike) {
    ASSERT_TRUE(save("A01", "新生 一郎", sampleRecord()));
    PatientRecordState afterFirst;
    ASSERT_TRUE(loadPatientRecords(folder.file("A01.pat"), afterFirst).ok());
    ASSERT_TRUE(save("A01", "新生 一郎", sampleRecord("2024/05/02")));
    const std::string bytes = test::readBytes(folder.file("A01.pat"));
    EXPECT_EQ(countLines(bytes), 28u);
    EXPECT_EQ(test::readSjis(folder.file("A01.pat")),
              std::string("新生 一郎\r\n 2 \r\n") + kRecordBody +
                  " 8 \r\nMobile DR-1\r\n 60 \r\n 2 \r\n 100 \r\n10 x 12\r\n .25 \r\n 1.5 \r\n\r\n\r\n" +
                  "2024/05/02\r\n山田 花子\r\n胸部\r\n8\r\nMobile DR-1\r\n60\r\n2\r\n100\r\n10 x "
                  "12\r\n0.25\r\n1.5\r\n\r\n\r\n");
    PatientRecordState afterSecond;
    ASSERT_TRUE(loadPatientRecords(folder.file("A01.pat"), afterSecond).ok());
    EXPECT_EQ(afterSecond.patientRecordCount, 2);
    for (int k : {1, 2}) {
        const PatientRecord& r = afterSecond.PatientRecordTable[static_cast<size_t>(k)];
        const PatientRecord& first = afterFirst.PatientRecordTable[1];
        EXPECT_EQ(r.subjectThicknessCm, first.subjectThicknessCm);
        EXPECT_EQ(r.tubeVoltageKv, first.tubeVoltageKv);
        EXPECT_EQ(r.mAs, first.mAs);
        EXPECT_EQ(r.ffdCm, first.ffdCm);
        EXPECT_EQ(r.entranceSurfaceDoseMGy, ListValue{0.25});
        EXPECT_EQ(r.caregiverDoseUSv, first.caregiverDoseUSv);
        EXPECT_EQ(r.caregiverDoseUSv[1], ListValue{});
    }
    EXPECT_EQ(state.patientRecordCount, 2); // the shared table follows the file
}

// A file holds 20 records; the 21st goes to the continuation file and the full file stays byte
// for byte (the continuation itself is checked in records_history_test.cpp).
TEST_F(RecordSave, TwentyRecordsThenTheTwentyFirstLeavesTheFileByteForByte) {
    for (int i = 1; i <= kMaxPatientRecords; ++i)
        ASSERT_TRUE(save("P20", "満杯 太郎", sampleRecord("day " + std::to_string(i)))) << i;
    const std::string before = test::readBytes(folder.file("P20.pat"));
    EXPECT_EQ(countLines(before), 262u);
    prompts = RecordingPrompts{};
    EXPECT_TRUE(save("P20", "満杯 太郎", sampleRecord("day 21")));
    EXPECT_TRUE(prompts.warnings.empty());
    EXPECT_EQ(prompts.notices, std::vector<std::string>{continuationSavedMessage("P20.~2.pat").message()});
    EXPECT_EQ(test::readBytes(folder.file("P20.pat")), before);
    EXPECT_EQ(folderEntries(folder.path()),
              (std::vector<std::string>{"P20.pat", "P20.pat.lock", "P20.~2.pat"}));
}

// A record equal in every field to one stored in any file of the infant, however its numbers are
// written (a record shown again from the search has "0.250" for the stored " .25 "), asks first;
// No writes nothing, Yes appends it. A record of the same exposure (date, body part, kV, mAs, FFD and
// thickness; only the technologist, unit, field name or doses differ, as for a dose typed over) is
// asked about naming the stored record; another exposure is not asked about.
enum class Asked { No, SameRecord, SameExposure };
struct DuplicateCase {
    const char* what;
    int storedBefore; // records saved before the sample (the 21st lands in the continuation)
    void (*edit)(RecordTexts&);
    Asked asked;
};

class DuplicateRecord : public RecordSave, public ::testing::WithParamInterface<DuplicateCase> {};

TEST_P(DuplicateRecord, IsAskedAboutWithNoWritingNothing) {
    const DuplicateCase& c = GetParam();
    for (int i = 1; i <= c.storedBefore; ++i)
        ASSERT_TRUE(save("D1", "重複 一郎", sampleRecord("2024/04/" + std::to_string(10 + i))));
    ASSERT_TRUE(save("D1", "重複 一郎", sampleRecord()));
    prompts = {};
    prompts.duplicateAnswer = false;
    RecordTexts again = sampleRecord();
    c.edit(again);
    const int count = c.storedBefore + 1;
    const bool asked = c.asked != Asked::No;
    EXPECT_EQ(save("D1", "重複 一郎", again), !asked) << c.what;
    EXPECT_EQ(prompts.duplicateQuestions.size(), asked ? 1u : 0u) << c.what;
    auto history = loadPatientHistory(folder.path(), "D1");
    ASSERT_TRUE(history.ok());
    EXPECT_EQ(history->recordCount(), asked ? count : count + 1) << c.what;
    if (asked) {
        EXPECT_EQ(prompts.duplicateQuestions.front(),
                  c.asked == Asked::SameRecord
                      ? Error(ErrorCode::QuestionDuplicate).message()
                      : sameExposureQuestion(count, history->records[static_cast<size_t>(count) - 1]).message())
            << c.what;
        EXPECT_TRUE(prompts.notices.empty());
        prompts.duplicateAnswer = true; // the reprint-and-save path stays open
        EXPECT_TRUE(save("D1", "重複 一郎", again));
        ASSERT_TRUE((history = loadPatientHistory(folder.path(), "D1")).ok());
        EXPECT_EQ(history->recordCount(), count + 1);
    }
}

INSTANTIATE_TEST_SUITE_P(
    RecordSave, DuplicateRecord,
    ::testing::Values(
        DuplicateCase{"same texts", 0, [](RecordTexts&) {}, Asked::SameRecord},
        DuplicateCase{"numbers written otherwise", 1,
                      [](RecordTexts& r) {
                          r.entranceSurfaceDoseMGy = "0.250";
                          r.tubeVoltageKv = " 60 ";
                          r.caregiverDoseUSv[0] = "1.500";
                      },
                      Asked::SameRecord},
        DuplicateCase{"stored in the continuation file", 20, [](RecordTexts&) {}, Asked::SameRecord},
        DuplicateCase{"a dose typed over", 0, [](RecordTexts& r) { r.entranceSurfaceDoseMGy = "0.251"; },
                      Asked::SameExposure},
        DuplicateCase{"another technologist", 0, [](RecordTexts& r) { r.technologist = "別人"; },
                      Asked::SameExposure},
        DuplicateCase{"a caregiver dose filled in", 0, [](RecordTexts& r) { r.caregiverDoseUSv[2] = "0"; },
                      Asked::SameExposure},
        DuplicateCase{"a blank in a whole line", 0, [](RecordTexts& r) { r.fieldSize = "10 x 12 "; },
                      Asked::SameExposure},
        DuplicateCase{"another date", 0, [](RecordTexts& r) { r.examDate = "2024/05/02"; }, Asked::No},
        DuplicateCase{"another body part", 0, [](RecordTexts& r) { r.bodyPart = "腹部正面"; }, Asked::No},
        DuplicateCase{"another mAs", 0, [](RecordTexts& r) { r.mAs = "2.5"; }, Asked::No},
        DuplicateCase{"another thickness", 0, [](RecordTexts& r) { r.subjectThicknessCm = "7"; }, Asked::No}));

TEST_F(RecordSave, ExistingIdKeepsTheStoredName) {
    ASSERT_TRUE(save("A01", "新生 一郎", sampleRecord()));
    ASSERT_TRUE(save("A01", "別人 二郎", sampleRecord()));
    EXPECT_EQ(test::readSjis(folder.file("A01.pat")).substr(0, std::string("新生 一郎\r\n").size()),
              "新生 一郎\r\n");
}

TEST_F(RecordSave, WholeLinesKeepCommasAndBlanksAndListFieldsWithCommasStayReadable) {
    RecordTexts record = sampleRecord();
    record.fieldSize = " 10, 12 cm  ";
    record.bodyPart = "胸部, 腹部 ";
    record.subjectThicknessCm = "3,5"; // typed with a comma
    ASSERT_TRUE(save("C1", "名", record));
    ASSERT_TRUE(save("C1", "名", record));
    PatientRecordState loaded;
    ASSERT_TRUE(loadPatientRecords(folder.file("C1.pat"), loaded).ok());
    for (int k : {1, 2}) {
        EXPECT_EQ(loaded.PatientRecordTable[static_cast<size_t>(k)].fieldSize, " 10, 12 cm  ");
        EXPECT_EQ(loaded.PatientRecordTable[static_cast<size_t>(k)].bodyPart, "胸部, 腹部 ");
        EXPECT_EQ(loaded.PatientRecordTable[static_cast<size_t>(k)].subjectThicknessCm,
                  ListValue{std::string("3,5")});
    }
}

TEST_F(RecordSave, EmptyListFieldsAreEmptyLinesAndLoadAsNothing) {
    RecordTexts record = sampleRecord();
    for (std::string* listField : {&record.subjectThicknessCm, &record.tubeVoltageKv, &record.mAs,
                                   &record.ffdCm, &record.entranceSurfaceDoseMGy, &record.caregiverDoseUSv[0],
                                   &record.caregiverDoseUSv[1], &record.caregiverDoseUSv[2]})
        listField->clear();
    ASSERT_TRUE(save("E1", "名", record));
    ASSERT_TRUE(save("E1", "名", record));
    PatientRecordState loaded;
    ASSERT_TRUE(loadPatientRecords(folder.file("E1.pat"), loaded).ok());
    const PatientRecord& r = loaded.PatientRecordTable[1];
    EXPECT_EQ(r.entranceSurfaceDoseMGy, ListValue{});
    EXPECT_EQ(r.caregiverDoseUSv[0], ListValue{});
    EXPECT_EQ(r.tubeVoltageKv, ListValue{});
    EXPECT_EQ(countLines(test::readBytes(folder.file("E1.pat"))), 28u);
}

TEST_F(RecordSave, EmptyIdOrNameOrCancelWritesNothing) {
    EXPECT_FALSE(save("", "名", sampleRecord()));
    EXPECT_FALSE(save("A01", "", sampleRecord()));
    EXPECT_EQ(prompts.warnings, (std::vector<std::string>(2, Error(ErrorCode::EnterIdAndName).message())));
    EXPECT_TRUE(prompts.questions.empty());
    prompts.answer = false;
    EXPECT_FALSE(save("A01", "名", sampleRecord()));
    EXPECT_EQ(prompts.questions.size(), 1u);
    EXPECT_TRUE(folderEntries(folder.path()).empty());
}

// Each corrupt layout: the save stops with a message naming the file and leaves it untouched.
class CorruptRecordFile : public ::testing::TestWithParam<std::string> {};

TEST_P(CorruptRecordFile, IsNeverRewritten) {
    TempFolder folder;
    test::writeBytes(folder.file("X9.pat"), GetParam());
    RecordingPrompts prompts;
    PatientRecordState state;
    EXPECT_FALSE(savePatientRecord(folder.path(), "X9", "名", sampleRecord(), prompts, state));
    ASSERT_EQ(prompts.warnings.size(), 1u);
    EXPECT_NE(prompts.warnings[0].find("X9.pat"), std::string::npos) << prompts.warnings[0];
    EXPECT_TRUE(prompts.notices.empty());
    EXPECT_EQ(test::readBytes(folder.file("X9.pat")), GetParam());
    EXPECT_EQ(folderEntries(folder.path()), (std::vector<std::string>{"X9.pat", "X9.pat.lock"}));
}

std::string sjisRecord() {
    return "d\r\nt\r\nb\r\n8\r\nu\r\n60\r\n2\r\n100\r\nf\r\n1\r\n1\r\n2\r\n3\r\n";
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, CorruptRecordFile,
    ::testing::Values("name\r\n 2 \r\n" + sjisRecord(),  // fewer lines than the count
                      "name\r\nabc\r\n" + sjisRecord(),  // count not a number
                      "name\r\n 21 \r\n" + sjisRecord(), // count above 20
                      "name\r\n0\r\n",                   // count below 1
                      "name\r\n1\r\nd\r\nt\r\nb\r\n8,5\r\nu\r\n60\r\n2\r\n100\r\nf\r\n1\r\n1\r\n2\r\n3\r\n",
                      std::string("\x82\xA0\x82\r\n1\r\n") + sjisRecord(), // not Shift-JIS
                      std::string(), "name\r\n",                           // empty, name only
                      "name\r\n1.5\r\n" + sjisRecord(),                    // count not whole
                      "name\r\n1\r\n" + sjisRecord() + sjisRecord()));     // more records than counted

class UnsafeId : public ::testing::TestWithParam<std::string> {};

TEST_P(UnsafeId, IsRefusedBeforeAnythingIsTouched) {
    TempFolder folder;
    fs::create_directory(folder.path() / "sub");
    RecordingPrompts prompts;
    PatientRecordState state;
    EXPECT_FALSE(savePatientRecord(folder.path() / "sub", GetParam(), "名", sampleRecord(), prompts, state));
    ASSERT_EQ(prompts.warnings.size(), 1u);
    EXPECT_NE(prompts.warnings[0].find("患者ID"), std::string::npos);
    EXPECT_TRUE(prompts.questions.empty());
    EXPECT_TRUE(folderEntries(folder.path() / "sub").empty());
    EXPECT_EQ(folderEntries(folder.path()), std::vector<std::string>{"sub"});
}

INSTANTIATE_TEST_SUITE_P(Ids, UnsafeId,
                         ::testing::Values("../evil", "a/b", "a\\b", "..", "a..b", "CON", "con", "Nul.txt",
                                           "prn.x", "AUX", "COM1", "lpt9", "a<b", "a>b", "a:b", "a\"b", "a|b",
                                           "a?b", "a*b", "tab\tid", std::string("nul\0x", 5), " lead",
                                           "trail ", "dot.", "\xE3\x80\x80全角", "絵文字\xF0\x9F\x98\x80",
                                           "\xFF\xFE", ".hidden", ".pat", "COM0", "lpt0", "CONIN$", "conout$",
                                           "CONOUT$.log", "com1.a.b", "NUL .txt", "Lpt0.pat",
                                           std::string(230, '7')));

// The message says why an ID cannot name a file.
TEST(UnsafeIdMessage, SaysWhy) {
    const struct {
        std::string id, why;
    } cases[] = {{".hidden", "先頭の「.」"},
                 {"CONIN$", "「CONIN$」は機器の名前"},
                 {"com0.txt", "「COM0」は機器の名前"},
                 {"LPT0", "「LPT0」は機器の名前"},
                 {std::string(230, '7'), "長すぎます"}};
    for (const auto& c : cases) {
        auto error = checkPatientId(c.id);
        ASSERT_FALSE(error.ok()) << c.id;
        EXPECT_NE(error.message().find(c.why), std::string::npos) << error.message();
    }
    // The longest name a save uses is the temporary file's: ".", the ID, ".pat", ".tmp-" and 16 digits.
    auto tooLong = checkPatientId(std::string(230, '7'));
    ASSERT_FALSE(tooLong.ok());
    EXPECT_NE(tooLong.message().find("256"), std::string::npos) << tooLong.message();
    EXPECT_NE(tooLong.message().find("255"), std::string::npos) << tooLong.message();
    EXPECT_TRUE(checkPatientId(std::string(229, '7')).ok());
}

class SafeId : public ::testing::TestWithParam<std::string> {};

TEST_P(SafeId, NamesTheFileExactlyAsTyped) {
    TempFolder folder;
    RecordingPrompts prompts;
    PatientRecordState state;
    ASSERT_TRUE(savePatientRecord(folder.path(), GetParam(), "名", sampleRecord(), prompts, state))
        << (prompts.warnings.empty() ? "" : prompts.warnings[0]);
    EXPECT_TRUE(fs::is_regular_file(folder.file(GetParam() + ".pat")));
    EXPECT_EQ(lookUpPatientName(folder.path(), GetParam(), state), std::optional<std::string>("名"));
}

INSTANTIATE_TEST_SUITE_P(Ids, SafeId,
                         ::testing::Values("123456", "山田-001", "ｱｲｳ", "COM10", "CONSOLE", "a.b", "12 34",
                                           "x,y", "LPT", "a.b.c", "COM", "LPTA", "CONIN", "x.hidden",
                                           std::string(229, '7'))); // the temporary file's name: 255

TEST(RecordSaveFailure, WorkingFolderThatIsAFileGivesAMessage) {
    TempFolder folder;
    test::writeBytes(folder.file("notafolder"), "x");
    RecordingPrompts prompts;
    PatientRecordState state;
    EXPECT_FALSE(savePatientRecord(folder.file("notafolder"), "A01", "名", sampleRecord(), prompts, state));
    ASSERT_EQ(prompts.warnings.size(), 1u);
    EXPECT_NE(prompts.warnings[0].find("A01.pat"), std::string::npos) << prompts.warnings[0];
    EXPECT_TRUE(prompts.notices.empty());
    EXPECT_EQ(test::readBytes(folder.file("notafolder")), "x");
}

TEST(RecordSaveFailure, RecordFileThatIsAFolderGivesAMessage) {
    TempFolder folder;
    fs::create_directories(folder.file("A01.pat") / "inside");
    RecordingPrompts prompts;
    PatientRecordState state;
    EXPECT_FALSE(savePatientRecord(folder.path(), "A01", "名", sampleRecord(), prompts, state));
    ASSERT_EQ(prompts.warnings.size(), 1u);
    EXPECT_TRUE(prompts.notices.empty());
    EXPECT_TRUE(fs::is_directory(folder.file("A01.pat") / "inside"));
    RecordFileLock lock; // the failed save let its lock go
    RecordLockOptions now;
    now.wait = std::chrono::milliseconds(0);
    EXPECT_TRUE(lock.acquire(folder.file("A01.pat"), now).ok());
}

TEST(RecordSaveFailure, TextThatShiftJisCannotHoldGivesAMessageAndKeepsTheFile) {
    TempFolder folder;
    RecordingPrompts prompts;
    PatientRecordState state;
    ASSERT_TRUE(savePatientRecord(folder.path(), "A01", "名", sampleRecord(), prompts, state));
    const std::string before = test::readBytes(folder.file("A01.pat"));
    RecordTexts record = sampleRecord();
    record.bodyPart = "胸部\xF0\x9F\x98\x80";
    EXPECT_FALSE(savePatientRecord(folder.path(), "A01", "名", record, prompts, state));
    EXPECT_EQ(prompts.warnings.size(), 1u);
    EXPECT_EQ(prompts.notices.size(), 1u); // only the first save's
    EXPECT_EQ(test::readBytes(folder.file("A01.pat")), before);
}

// A list field whose text cannot be stored so that it reads back is refused before the question,
// with the real reason; quotes elsewhere are stored and read back.
TEST(RecordSaveFailure, ListFieldIsRefusedOnlyForWhatItHolds) {
    TempFolder folder;
    RecordingPrompts prompts;
    PatientRecordState state;
    RecordTexts record = sampleRecord();
    record.tubeVoltageKv = "\"a\"b"; // a quoted value with text after it, no comma
    EXPECT_FALSE(savePatientRecord(folder.path(), "Q1", "名", record, prompts, state));
    ASSERT_EQ(prompts.warnings.size(), 1u);
    EXPECT_NE(prompts.warnings[0].find("管電圧"), std::string::npos) << prompts.warnings[0];
    EXPECT_NE(prompts.warnings[0].find("引用符"), std::string::npos) << prompts.warnings[0];
    EXPECT_EQ(prompts.warnings[0].find("カンマ"), std::string::npos) << prompts.warnings[0];
    EXPECT_TRUE(prompts.questions.empty());
    EXPECT_FALSE(fs::exists(folder.file("Q1.pat")));

    record.tubeVoltageKv = "a\"b"; // a quote inside the value
    ASSERT_TRUE(savePatientRecord(folder.path(), "Q1", "名", record, prompts, state));
    ASSERT_TRUE(savePatientRecord(folder.path(), "Q1", "名", record, prompts, state));
    PatientRecordState loaded;
    ASSERT_TRUE(loadPatientRecords(folder.file("Q1.pat"), loaded).ok());
    for (int k : {1, 2})
        EXPECT_EQ(loaded.PatientRecordTable[static_cast<size_t>(k)].tubeVoltageKv,
                  ListValue{std::string("a\"b")});
}

// Fails the writes of every replacement with a system error code while it lives.
struct WriteFault {
    explicit WriteFault(int code) {
        textio::setWriteFaultForTesting([code](const fs::path&) { return code; });
    }
    ~WriteFault() { textio::setWriteFaultForTesting(nullptr); }
};

#ifdef _WIN32
constexpr int kDiskFull = 112;       // ERROR_DISK_FULL
constexpr int kQuotaExceeded = 1295; // ERROR_DISK_QUOTA_EXCEEDED
#else
constexpr int kDiskFull = ENOSPC;
constexpr int kQuotaExceeded = EDQUOT;
#endif

TEST(RecordSaveFailure, FullDiskIsNamedAsTheCauseAndKeepsTheFile) {
    TempFolder folder;
    RecordingPrompts prompts;
    PatientRecordState state;
    ASSERT_TRUE(savePatientRecord(folder.path(), "F1", "名", sampleRecord(), prompts, state));
    const std::string before = test::readBytes(folder.file("F1.pat"));
    for (int code : {kDiskFull, kQuotaExceeded}) {
        prompts = RecordingPrompts{};
        WriteFault full(code);
        EXPECT_FALSE(savePatientRecord(folder.path(), "F1", "名", sampleRecord("2"), prompts, state));
        EXPECT_FALSE(savePatientRecord(folder.path(), "F2", "名", sampleRecord("2"), prompts, state));
        ASSERT_EQ(prompts.warnings.size(), 2u);
        for (const std::string& warning : prompts.warnings) {
            EXPECT_NE(warning.find("ディスクがいっぱいです"), std::string::npos) << warning;
            EXPECT_EQ(warning.find("書き込みできません"), std::string::npos) << warning;
        }
        EXPECT_TRUE(prompts.notices.empty());
        EXPECT_EQ(test::readBytes(folder.file("F1.pat")), before);
        EXPECT_FALSE(fs::exists(folder.file("F2.pat")));
        EXPECT_EQ(folderEntries(folder.path()),
                  (std::vector<std::string>{"F1.pat", "F1.pat.lock", "F2.pat.lock"}));
    }
}

TEST(RecordSaveFailure, ReadOnlyRecordFileIsNotReplaced) {
    TempFolder folder;
    RecordingPrompts prompts;
    PatientRecordState state;
    ASSERT_TRUE(savePatientRecord(folder.path(), "R1", "名", sampleRecord(), prompts, state));
    const fs::path file = folder.file("R1.pat");
    const std::string before = test::readBytes(file);
    fs::permissions(file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const fs::perms mode = fs::status(file).permissions();
    prompts = RecordingPrompts{};
    EXPECT_FALSE(savePatientRecord(folder.path(), "R1", "名", sampleRecord("2"), prompts, state));
    ASSERT_EQ(prompts.warnings.size(), 1u);
    EXPECT_NE(prompts.warnings[0].find("R1.pat"), std::string::npos) << prompts.warnings[0];
    EXPECT_NE(prompts.warnings[0].find("読み取り専用"), std::string::npos) << prompts.warnings[0];
    EXPECT_TRUE(prompts.notices.empty());
    EXPECT_EQ(test::readBytes(file), before);
    EXPECT_EQ(fs::status(file).permissions(), mode);
    fs::permissions(file, fs::perms::owner_write, fs::perm_options::add);
}

// Temporary files of a save that was killed are removed by the next save of the same file; the
// temporary files of other files, and files that only look alike, stay.
TEST_F(RecordSave, LeftoversOfAKilledSaveOfTheSameFileAreRemoved) {
    const std::vector<std::string> others = {".T10.pat.tmp-0123456789abcdef", ".T1.pat.tmp-0123",
                                             "T1.pat.tmp-0123456789abcdef", ".T1.pat.tmp-0123456789abcdeg",
                                             ".T1.pat.lock.tmp-0123456789abcdef"};
    for (const std::string& name : others)
        test::writeBytes(folder.file(name), "keep");
    test::writeBytes(folder.file(".T1.pat.tmp-0123456789abcdef"), "half a rec");
    test::writeBytes(folder.file(".T1.pat.tmp-fedcba9876543210"), "");
    ASSERT_TRUE(save("T1", "名", sampleRecord()));
    std::vector<std::string> expected = others;
    expected.push_back("T1.pat");
    expected.push_back("T1.pat.lock");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(folderEntries(folder.path()), expected);
}

TEST(RecordFileLocking, LockHeldByAnotherSaverMakesTheSaveWaitThenGiveUp) {
    TempFolder folder;
    RecordingPrompts prompts;
    PatientRecordState state;
    ASSERT_TRUE(savePatientRecord(folder.path(), "L1", "名", sampleRecord(), prompts, state));
    const std::string before = test::readBytes(folder.file("L1.pat"));
    RecordFileLock other; // another saver in the middle of its save
    ASSERT_TRUE(other.acquire(folder.file("L1.pat")).ok());
    RecordLockOptions options;
    options.wait = std::chrono::milliseconds(200);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(savePatientRecord(folder.path(), "L1", "名", sampleRecord(), prompts, state, options));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
    ASSERT_EQ(prompts.warnings.size(), 1u);
    EXPECT_NE(prompts.warnings[0].find("L1.pat"), std::string::npos);
    EXPECT_NE(prompts.warnings[0].find("他で保存中"), std::string::npos) << prompts.warnings[0];
    EXPECT_EQ(test::readBytes(folder.file("L1.pat")), before);
    EXPECT_TRUE(other.stillHeld());
}

TEST(RecordFileLocking, WaitingSaverGoesOnAsSoonAsTheHolderIsDone) {
    TempFolder folder;
    RecordFileLock other;
    ASSERT_TRUE(other.acquire(folder.file("L4.pat")).ok());
    std::thread holder([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        other.release();
    });
    RecordingPrompts prompts;
    PatientRecordState state;
    const bool saved = savePatientRecord(folder.path(), "L4", "名", sampleRecord(), prompts, state);
    holder.join();
    EXPECT_TRUE(saved) << (prompts.warnings.empty() ? "" : prompts.warnings[0]);
    EXPECT_EQ(prompts.notices, std::vector<std::string>{Error(ErrorCode::Saved).message()});
}

// A lock file without a holder, such as one left by a crash or by a program of an earlier version
// (which wrote its host and process into it), is no lock, however old or new it looks; it is used
// as it is.
TEST(RecordFileLocking, LockFileWithoutAHolderDoesNotBlock) {
    for (const auto age : {std::chrono::minutes(5), std::chrono::minutes(0)}) {
        TempFolder folder;
        test::writeBytes(folder.file("L2.pat.lock"), "host=crashed\r\n");
        fs::last_write_time(folder.file("L2.pat.lock"), fs::file_time_type::clock::now() - age);
        RecordingPrompts prompts;
        PatientRecordState state;
        RecordLockOptions options;
        options.wait = std::chrono::milliseconds(0);
        EXPECT_TRUE(savePatientRecord(folder.path(), "L2", "名", sampleRecord(), prompts, state, options));
        EXPECT_EQ(folderEntries(folder.path()), (std::vector<std::string>{"L2.pat", "L2.pat.lock"}));
        EXPECT_EQ(test::readBytes(folder.file("L2.pat.lock")), "host=crashed\r\n");
    }
}

// A lock file deleted (or replaced) under its holder does not let a second saver in beside it
// unnoticed: where the name goes at once (POSIX), the first one sees that its lock no longer guards
// the name and does not write. Where a deleted file keeps its name while it is open (Windows,
// unless the file system deletes the POSIX way), the second saver finds the lock in use, not a
// folder it cannot write, and gets it once the first lets go.
TEST(RecordFileLocking, HolderWhoseLockFileWasReplacedNoLongerHoldsIt) {
    TempFolder folder;
    const fs::path file = folder.file("L5.pat");
    RecordLockOptions quick;
    quick.wait = std::chrono::milliseconds(0);
    RecordFileLock first, second;
    ASSERT_TRUE(first.acquire(file, quick).ok());
    ASSERT_TRUE(fs::remove(lockFileFor(file)));
    if (const Status whileHeld = second.acquire(file, quick); whileHeld.ok()) {
        EXPECT_FALSE(first.stillHeld());
    } else {
        EXPECT_EQ(whileHeld.error().kind(), Error::Kind::Busy) << whileHeld.message();
        first.release();
        ASSERT_TRUE(second.acquire(file, quick).ok());
    }
    EXPECT_TRUE(second.stillHeld());
    RecordFileLock third;
    const Status thirdTry = third.acquire(file, quick);
    ASSERT_FALSE(thirdTry.ok());
    EXPECT_EQ(thirdTry.error().kind(), Error::Kind::Busy);
}

TEST(RecordFileLocking, SecondLockOnTheSameFileIsBusyUntilReleased) {
    TempFolder folder;
    const fs::path file = folder.file("L3.pat");
    RecordFileLock first, second;
    RecordLockOptions quick;
    quick.wait = std::chrono::milliseconds(0);
    ASSERT_TRUE(first.acquire(file, quick).ok());
    const Status secondTry = second.acquire(file, quick);
    ASSERT_FALSE(secondTry.ok());
    EXPECT_EQ(secondTry.error().kind(), Error::Kind::Busy);
    EXPECT_TRUE(first.stillHeld());
    first.release();
    EXPECT_TRUE(second.acquire(file, quick).ok());
    EXPECT_FALSE(first.stillHeld());
}

} // namespace
} // namespace tamso::records
