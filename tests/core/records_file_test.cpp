// Reading and writing the patient record file: list fields, the layout, the name look-up.

#include "records/patientrecordfile.h"
#include "testsupport.h"

#include <gtest/gtest.h>

namespace tamso::records {
namespace {

using test::TempFolder;

struct ListCase {
    std::string line;
    ListValue expected;
};
void PrintTo(const ListCase& c, std::ostream* os) { *os << '"' << c.line << '"'; }

class ListValueRead : public ::testing::TestWithParam<ListCase> {};

TEST_P(ListValueRead, ReadsNumbersTextsAndNothing) {
    auto value = readListValue(GetParam().line);
    ASSERT_TRUE(value.has_value()) << GetParam().line;
    EXPECT_EQ(*value, GetParam().expected) << "line [" << GetParam().line << "]";
}

INSTANTIATE_TEST_SUITE_P(Lines, ListValueRead,
                         ::testing::Values(ListCase{"", ListValue{}}, ListCase{"   ", ListValue{}},
                                           ListCase{" 2 ", ListValue{2.0}}, ListCase{"2", ListValue{2.0}},
                                           ListCase{" .5 ", ListValue{0.5}},
                                           ListCase{"0.250", ListValue{0.25}},
                                           ListCase{"-3 ", ListValue{-3.0}},
                                           ListCase{"abc  ", ListValue{std::string("abc")}},
                                           ListCase{"  x y ", ListValue{std::string("x y")}},
                                           ListCase{"12abc", ListValue{std::string("12abc")}},
                                           ListCase{"\"a,b\"", ListValue{std::string("a,b")}},
                                           ListCase{" \"60\" ", ListValue{std::string("60")}},
                                           ListCase{"未計算", ListValue{std::string("未計算")}}));

TEST(ListValueRead, CommaOutsideQuotesIsNotInTheLayout) {
    EXPECT_FALSE(readListValue("1,2").has_value());
    EXPECT_FALSE(readListValue("\"a\",b").has_value());
    EXPECT_FALSE(readListValue(" 3 ,").has_value());
}

// An unreadable list field is reported for what it holds: a comma, or text after a quoted value.
TEST(ListValueRead, SaysWhyALineIsNotOneValue) {
    for (const char* line : {"1,2", "\"a\",b", "\"a\" x,y"}) {
        auto value = parseListValue(line);
        ASSERT_FALSE(value.ok()) << line;
        EXPECT_EQ(value.error().message(), "区切りのカンマがあります") << line;
    }
    for (const char* line : {"\"a\"b", " \"60\" kV"}) {
        auto value = parseListValue(line);
        ASSERT_FALSE(value.ok()) << line;
        EXPECT_EQ(value.error().message().find("カンマ"), std::string::npos) << value.error().message();
        EXPECT_NE(value.error().message().find("引用符"), std::string::npos) << value.error().message();
    }
    auto file = parsePatientRecordFile(
        "名\r\n1\r\nd\r\nt\r\nb\r\n8\r\nu\r\n\"a\"b\r\n2\r\n100\r\nf\r\n1\r\n1\r\n2\r\n3\r\n", "Q.pat");
    ASSERT_FALSE(file.ok());
    EXPECT_NE(file.error().message().find("8 行目（データ 1 の管電圧）に引用符"), std::string::npos)
        << file.error().message();
}

TEST(ListValueWrite, NumbersInWriteFormTextsVerbatimNothingEmpty) {
    EXPECT_EQ(listValueLine(ListValue{2.0}), " 2 ");
    EXPECT_EQ(listValueLine(ListValue{0.5}), " .5 ");
    EXPECT_EQ(listValueLine(ListValue{-3.0}), "-3 ");
    EXPECT_EQ(listValueLine(ListValue{std::string("n/a")}), "n/a");
    EXPECT_EQ(listValueLine(ListValue{}), "");
    // A text that came from a quoted field keeps its quotes, or the file would no longer read.
    EXPECT_EQ(listValueLine(ListValue{std::string("3,5")}), "\"3,5\"");
    EXPECT_EQ(readListValue(listValueLine(ListValue{std::string("3,5")})), ListValue{std::string("3,5")});
    EXPECT_EQ(listValueText(ListValue{0.25}), "0.25");
    EXPECT_EQ(listValueText(ListValue{60.0}), "60");
}

std::string recordLines(const std::string& date, const std::string& dose) {
    return date + "\r\n担当\r\n胸部\r\n 8 \r\n装置\r\n 60 \r\n 2 \r\n 100 \r\n10 x 12\r\n" + dose +
           "\r\n 1 \r\n\r\n\r\n";
}

TEST(RecordLayout, ParsesTwoRecordsAndWritesThemBackIdentically) {
    const std::string text =
        "新生 一郎\r\n 2 \r\n" + recordLines("2024/05/01", " .25 ") + recordLines("2024/05/02", "abc");
    auto state = parsePatientRecordFile(text, "1.pat");
    ASSERT_TRUE(state.ok()) << state.error().message();
    EXPECT_EQ(state->patientName, "新生 一郎");
    EXPECT_EQ(state->patientRecordCount, 2);
    const PatientRecord& first = state->PatientRecordTable[1];
    EXPECT_EQ(first.examDate, "2024/05/01");
    EXPECT_EQ(first.fieldSize, "10 x 12");
    EXPECT_EQ(first.entranceSurfaceDoseMGy, ListValue{0.25});
    EXPECT_EQ(first.caregiverDoseUSv[0], ListValue{1.0});
    EXPECT_EQ(first.caregiverDoseUSv[2], ListValue{});
    EXPECT_EQ(state->PatientRecordTable[2].entranceSurfaceDoseMGy, ListValue{std::string("abc")});
    std::string written;
    for (const auto& line : patientRecordFileLines(*state))
        written += line + "\r\n";
    EXPECT_EQ(written, text);
}

TEST(RecordLayout, AcceptsPlainCountAndTrailingEmptyLines) {
    auto state = parsePatientRecordFile("名\n1\n" + recordLines("d", "1") + "\r\n\r\n", "x.pat");
    ASSERT_TRUE(state.ok()) << state.error().message();
    EXPECT_EQ(state->patientRecordCount, 1);
}

TEST(RecordLoad, FailureLeavesTheTableAsItWas) {
    TempFolder folder;
    test::writeSjis(folder.file("good.pat"), "良 太郎\r\n1\r\n" + recordLines("2024/01/01", "1.5"));
    test::writeBytes(folder.file("notsjis.pat"), "\x82\r\n1\r\n");
    test::writeSjis(folder.file("short.pat"), "短 花子\r\n 3 \r\n" + recordLines("x", "1"));
    PatientRecordState state;
    ASSERT_TRUE(loadPatientRecords(folder.file("good.pat"), state).ok());
    for (const char* bad : {"notsjis.pat", "short.pat", "missing.pat"}) {
        auto error = loadPatientRecords(folder.file(bad), state);
        ASSERT_FALSE(error.ok()) << bad;
        EXPECT_NE(error.message().find(bad), std::string::npos) << error.message();
        EXPECT_EQ(state.patientName, "良 太郎");
        EXPECT_EQ(state.patientRecordCount, 1);
        EXPECT_EQ(state.PatientRecordTable[1].entranceSurfaceDoseMGy, ListValue{1.5});
    }
}

TEST(RecordLookUp, ReturnsTheStoredNameOrNothing) {
    TempFolder folder;
    test::writeSjis(folder.file("A01.pat"), "新生 一郎\r\n1\r\n" + recordLines("d", "1"));
    test::writeBytes(folder.file("empty.pat"), "");
    test::writeBytes(folder.file("bad.pat"), "\x82\r\n");
    fs::create_directory(folder.file("dir.pat"));
    PatientRecordState state;
    state.patientName = "前";
    EXPECT_EQ(lookUpPatientName(folder.path(), "A01", state), std::optional<std::string>("新生 一郎"));
    EXPECT_EQ(state.patientName, "新生 一郎");
    for (const char* id : {"missing", "empty", "bad", "dir", "../A01", ""})
        EXPECT_FALSE(lookUpPatientName(folder.path(), id, state).has_value()) << id;
    EXPECT_EQ(state.patientName, "新生 一郎");
}

} // namespace
} // namespace tamso::records
