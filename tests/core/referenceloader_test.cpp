// Start-up loading of the six reference files and the readers and writers of the editable ones.

#include "refdata/referencefiles.h"
#include "refdata/referenceloader.h"
#include "testsupport.h"
#include "textio/codec.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <regex>
#include <thread>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace tamso;
using namespace tamso::refdata;

namespace {

std::unique_ptr<engine::CalculationState> loadFolder(const test::TempFolder& folder, Status* status = nullptr) {
    auto state = std::make_unique<engine::CalculationState>();
    Status s = loadReferenceData(*state, folder.path());
    if (status)
        *status = s;
    else
        EXPECT_TRUE(s.ok()) << s.message();
    return state;
}

bool sameTables(const engine::CalculationState& a, const engine::CalculationState& b) {
    return a.AluminiumMuTable == b.AluminiumMuTable && a.TungstenMuTable == b.TungstenMuTable &&
           a.PmmaMuTable == b.PmmaMuTable && a.AirMuEnTable == b.AirMuEnTable &&
           std::equal(&a.MonoBsfTable[0][0], &a.MonoBsfTable[0][0] + sizeof a.MonoBsfTable / sizeof(double),
                      &b.MonoBsfTable[0][0]) &&
           a.SprDistanceTable == b.SprDistanceTable && a.SprFieldAreaTable == b.SprFieldAreaTable &&
           std::equal(&a.AmbientDoseTable[0][0][0],
                      &a.AmbientDoseTable[0][0][0] + sizeof a.AmbientDoseTable / sizeof(double),
                      &b.AmbientDoseTable[0][0][0]);
}

// Rewrites a file's numbers with another separator layout.
std::string relayout(const std::string& text, const std::string& separator) {
    std::string out = std::regex_replace(text, std::regex("(,\\s*|\\s*\\r\\n)"), separator);
    return out;
}

} // namespace

TEST(ReferenceLoader, FillsEveryTableInOrder) {
    test::TempFolder folder;
    test::writeMinimalReferenceFiles(folder.path());
    auto s = loadFolder(folder);
    EXPECT_EQ(s->wAirEv, 33.97);
    EXPECT_EQ(s->xrayUnitName, "試験装置, 型式A");
    EXPECT_EQ(s->targetAngleDeg, 12);
    EXPECT_EQ(s->defaultInherentFilterAlMm, 2.5);
    EXPECT_EQ(s->hospitalName, "試験病院, 新生児科");
    EXPECT_EQ(s->outputDataFileName, "tamso_output.op");
    EXPECT_EQ(s->outputDataComment, "試験用の出力データ");
    EXPECT_EQ(s->TubeOutputTable[1][1], 40);
    EXPECT_EQ(s->TubeOutputTable[1][5], 80);
    EXPECT_EQ(s->TubeOutputTable[2][2], 9.0e-6);
    EXPECT_DOUBLE_EQ(s->refFilterAlCm, 0.25); // a tenth of the file's mm
    EXPECT_EQ(s->refFilterCuCm, 0);
    EXPECT_EQ(s->MonoBsfTable[31][100], 0.001);
    EXPECT_EQ(s->MonoBsfTable[1][101], 0);
    EXPECT_EQ(s->AirMuEnTable[300], 0.15);
    EXPECT_EQ(s->TissueMuEnTable[1], 0.16);
    EXPECT_EQ(s->SprDistanceTable[4], 40);
    EXPECT_EQ(s->ScatterPrimaryRatioTable[3][2], 0.04);
    EXPECT_EQ(s->SprFieldAreaTable[3], 900);
    EXPECT_EQ(s->AmbientDoseTable[0][0][4], 100);
    EXPECT_DOUBLE_EQ(s->AmbientDoseTable[1][1][4], 0.4);
    EXPECT_DOUBLE_EQ(s->AmbientDoseTable[2][3][6], 0.65);
    EXPECT_EQ(s->TungstenMuTable[0], 0); // bin 0 stays unset
    EXPECT_EQ(s->BsfEnergyTable[1], 1);
    EXPECT_EQ(s->BsfEnergyTable[2], 5);
    EXPECT_EQ(s->BsfEnergyTable[31], 150);
    EXPECT_EQ(s->BsfEnergyTable[0], 0);
}

TEST(ReferenceLoader, OnlyTheOrderOfNumbersMatters) {
    test::TempFolder reference;
    test::writeMinimalReferenceFiles(reference.path());
    auto expected = loadFolder(reference);
    for (const std::string separator : {" ", "\r\n", ",", "  ,  ", "\n"}) {
        test::TempFolder folder;
        test::writeMinimalReferenceFiles(folder.path());
        for (const char* name : {"mono_dBSF.dat", "Atten2.dat", "s_p_ratio.dat", "kaijo_dose.dat"}) {
            auto file = folder.file(name);
            test::writeBytes(file, relayout(test::readBytes(file), separator));
        }
        auto loaded = loadFolder(folder);
        EXPECT_TRUE(sameTables(*expected, *loaded)) << "separator \"" << separator << "\"";
    }
}

TEST(ReferenceLoader, ARecordWithAnExtraFieldShiftsWhatFollows) {
    // The shifted values still fit the layout here (ascending keys, no negative ratio), so they are
    // taken as read; a shift that breaks the layout is refused (ImplausibleValues below).
    test::TempFolder folder;
    test::writeMinimalReferenceFiles(folder.path());
    test::writeSjis(folder.file("s_p_ratio.dat"),
                    "10, 0.01, 0.02, 0.03\r\n20, 0.02, 0.03, 0.04\r\n30, 0.03, 0.04, 0.05\r\n"
                    "40, 0.04, 0.05, 0.06, 0.07\r\n100, 400, 900\r\n");
    auto s = loadFolder(folder);
    EXPECT_EQ(s->SprDistanceTable[4], 40);
    EXPECT_EQ(s->ScatterPrimaryRatioTable[3][4], 0.06);
    EXPECT_EQ(s->SprFieldAreaTable[1], 0.07);
    EXPECT_EQ(s->SprFieldAreaTable[2], 100);
    EXPECT_EQ(s->SprFieldAreaTable[3], 400);
}

TEST(ReferenceLoader, SurplusContentAfterTheNeededFieldsIsIgnored) {
    test::TempFolder folder;
    test::writeMinimalReferenceFiles(folder.path());
    test::writeBytes(folder.file("s_p_ratio.dat"),
                     test::readBytes(folder.file("s_p_ratio.dat")) + "anything at all\r\n");
    loadFolder(folder);
}

struct Failure {
    const char* file;
    const char* content; // nullptr: the file is removed
    const char* expectedInMessage;
};
void PrintTo(const Failure& f, std::ostream* os) {
    *os << f.file << (f.content ? " with broken content" : " missing");
}

class ReferenceLoaderFailure : public ::testing::TestWithParam<Failure> {};

TEST_P(ReferenceLoaderFailure, StopsWithAMessageAndLeavesTheStateAsItWas) {
    const Failure& f = GetParam();
    test::TempFolder folder;
    test::writeMinimalReferenceFiles(folder.path());
    if (f.content)
        test::writeSjis(folder.file(f.file), f.content);
    else
        fs::remove(folder.file(f.file));
    engine::CalculationState state;
    state.wAirEv = 1.5;
    state.hospitalName = "before";
    Status status = loadReferenceData(state, folder.path());
    ASSERT_FALSE(status.ok());
    EXPECT_NE(status.message().find(f.file), std::string::npos) << status.message();
    EXPECT_NE(status.message().find(f.expectedInMessage), std::string::npos) << status.message();
    EXPECT_EQ(state.wAirEv, 1.5);
    EXPECT_EQ(state.hospitalName, "before");
    EXPECT_EQ(state.AluminiumMuTable[10], 0);
    EXPECT_EQ(state.BsfEnergyTable[2], 0);
}

INSTANTIATE_TEST_SUITE_P(
    EveryFile, ReferenceLoaderFailure,
    ::testing::Values(
        Failure{"基礎データ.dat", nullptr, "見つかりません"},
        Failure{"基礎データ.dat", " 33.97 \r\n装置\r\n 12 \r\n 2.5 \r\n", "医療施設名"},
        Failure{"基礎データ.dat", "abc\r\n装置\r\n 12 \r\n 2.5 \r\n病院\r\n", "W 値"},
        Failure{"mono_dBSF.dat", nullptr, "見つかりません"},
        Failure{"mono_dBSF.dat", "0.1, 1, 2\r\n", "1 番目の記録の 4 番目の値"},
        Failure{"Atten2.dat", nullptr, "見つかりません"},
        Failure{"Atten2.dat", "0.5, 1, 2, x, 4, 5, 6\r\n", "「x」"},
        Failure{"tamso_output.op", nullptr, "見つかりません"},
        Failure{"tamso_output.op", "comment\r\n40. 50. 60. 70. 80. \r\n1E-5 1E-5\r\n", "3 番目の照射線量"},
        Failure{"tamso_output.op", "", "コメント行"}, Failure{"s_p_ratio.dat", nullptr, "見つかりません"},
        Failure{"s_p_ratio.dat", "10, 0.01, 0.02, 0.03\r\n", "2 番目の記録の 1 番目の値"},
        Failure{"kaijo_dose.dat", nullptr, "見つかりません"},
        Failure{"kaijo_dose.dat", " 070.0 0.10 abc 0.30 0.40 0.50 0.60\r\n", "1 番目の記録の 3 番目の値"}));

// Values that the layout of their file rules out stop the start-up with a message that names the
// file, the record and the value as written.
const std::string kHugeAmbientValue = " 070.0 0.27 " + std::string(400, '1') + "E-07 0.27\r\n";

INSTANTIATE_TEST_SUITE_P(
    ImplausibleValues, ReferenceLoaderFailure,
    ::testing::Values(
        // One field too many among the voltages: 90 would be read as an exposure of 90 C/kg per mAs.
        Failure{
            "tamso_output.op",
            "出力\r\n40. 50. 60. 70. 80. 90. \r\n5.89E-07 9.13E-07 1.18E-06 1.41E-06 1.71E-06 2.50 0.00\r\n",
            "1 番目の照射線量（2 行目の「90.」）は X線管の 1 mAs あたりの照射線量としては大きすぎます"},
        Failure{"tamso_output.op", "c\r\n40. 50. 50. 70. 80. \r\n",
                "3 番目の管電圧（2 行目の「50.」）は 2 番目の管電圧（50.）より大きくなければなりません"},
        Failure{"tamso_output.op", "c\r\n-40. 50. 60. 70. 80. \r\n",
                "1 番目の管電圧（2 行目の「-40.」）は 0 以上"},
        Failure{"tamso_output.op", "c\r\n40. 50. 60. 70. 80. \r\n6.00E-06 0.00E+00 ",
                "2 番目の照射線量（3 行目の「0.00E+00」）は 0 より大きくなければなりません"},
        Failure{"tamso_output.op",
                "c\r\n40. 50. 60. 70. 80. \r\n6.00E-06 9.00E-06 1.20E-05 1.50E-05 1.80E-05 2.50 -0.10\r\n",
                "測定時の銅ろ過（3 行目の「-0.10」）は 0 以上"},
        Failure{"s_p_ratio.dat",
                "10, 0.01, 0.02, 0.03, 99\r\n20, 0.02, 0.03, 0.04\r\n30, 0.03, 0.04, 0.05\r\n"
                "40, 0.04, 0.05, 0.06\r\n100, 400, 900\r\n",
                "3 番目の記録の 1 番目の値（2 行目の「0.04」）は "
                "前の記録の距離（99）より大きくなければなりません"},
        Failure{"s_p_ratio.dat", "10, 0.01, 0.02, 0.03\r\n20, -0.02, 0.03, 0.04\r\n",
                "2 番目の記録の 2 番目の値（2 行目の「-0.02」）は 0 以上"},
        Failure{
            "s_p_ratio.dat",
            "10, 0.01, 0.02, 0.03\r\n20, 0.02, 0.03, 0.04\r\n30, 0.03, 0.04, 0.05\r\n"
            "40, 0.04, 0.05, 0.06\r\n100, 900, 400\r\n",
            "3 番目の照射野面積（5 行目の「400」）は 2 番目の照射野面積（900）より大きくなければなりません"},
        Failure{"kaijo_dose.dat", " 070.0 0.27 -0.23 0.27 0.38 0.32 0.38\r\n",
                "1 番目の記録の 3 番目の値（1 行目の「-0.23」）は 0 以上"},
        Failure{"kaijo_dose.dat",
                " 070.0 0.27 0.23 0.27 0.38 0.32 0.38\r\n 080.0 0.20 0.17 0.20 0.28 0.23 0.28\r\n"
                " 080.0 0.15 0.13 0.15 0.22 0.18 0.22\r\n",
                "3 番目の記録の 1 番目の値（3 行目の「080.0」）は "
                "前の記録の距離（080.0）より大きくなければなりません"},
        // A number beyond the range of a double is no value at all, not 0.
        Failure{"kaijo_dose.dat", kHugeAmbientValue.c_str(),
                "1 番目の記録の 3 番目の値（1 "
                "行目の「1111111111111111111111111111111111111111…」）は大きすぎて"}));

namespace {

// The minimal installation with the n-th occurrence (1-based) of a text in one file replaced.
void replaceInMinimalFile(const test::TempFolder& folder, const char* name, const std::string& from,
                          const std::string& to, int occurrence) {
    test::writeMinimalReferenceFiles(folder.path());
    std::string text = test::readSjis(folder.file(name));
    size_t at = std::string::npos;
    for (int n = 0; n < occurrence; ++n)
        at = text.find(from, at == std::string::npos ? 0 : at + from.size());
    ASSERT_NE(at, std::string::npos);
    text.replace(at, from.size(), to);
    test::writeSjis(folder.file(name), text);
}

std::string loadError(const test::TempFolder& folder) {
    engine::CalculationState state;
    Status status = loadReferenceData(state, folder.path());
    return status.ok() ? std::string("(loaded)") : status.message();
}

} // namespace

TEST(ReferenceLoader, NegativeCoefficientsAndRingSharesAreRefused) {
    {
        test::TempFolder folder;
        replaceInMinimalFile(folder, "Atten2.dat", ", 0.15, 0.16, ", ", -0.15, 0.16, ", 5);
        EXPECT_NE(loadError(folder).find("「Atten2.dat」の値が正しくありません: 5 番目の記録の 5 番目の値（5 "
                                         "行目の「-0.15」）は 0 以上"),
                  std::string::npos)
            << loadError(folder);
    }
    {
        test::TempFolder folder;
        replaceInMinimalFile(folder, "mono_dBSF.dat", ", 0.001000", ", -0.001000", 33);
        EXPECT_NE(loadError(folder).find("「mono_dBSF.dat」の値が正しくありません: 2 番目の記録の 3 "
                                         "番目の値（2 行目の「-0.001000」）"),
                  std::string::npos)
            << loadError(folder);
    }
    {
        // Each value a number, but their sum over the rings is not.
        test::TempFolder folder;
        replaceInMinimalFile(folder, "mono_dBSF.dat", ", 0.001000", ", 1e308", 1);
        std::string text = test::readSjis(folder.file("mono_dBSF.dat"));
        text.replace(text.find(", 0.001000", text.find("\r\n")), 10, ", 1e308");
        test::writeSjis(folder.file("mono_dBSF.dat"), text);
        EXPECT_NE(loadError(folder).find("2 番目の記録の 2 番目の値（2 行目の「1e308」）は 大きすぎます"),
                  std::string::npos)
            << loadError(folder);
    }
}

TEST(ReferenceLoader, TheShippedKindOfValuesLoad) {
    // Zeros are possible values: a zero voltage row written by the editor, rings beyond the field
    // with no backscatter, an ambient dose below the two decimals of the file.
    test::TempFolder folder;
    test::writeMinimalReferenceFiles(folder.path());
    test::writeSjis(folder.file("tamso_output.op"),
                    "c\r\n. 50. 60. 70. 80. \r\n1.00E-06 9.00E-06 1.20E-05 1.50E-05 1.00E-03 0.00 0.00\r\n");
    test::writeSjis(folder.file("kaijo_dose.dat"), " 070.0 0.00 0.00 0.00 0.00 0.00 0.00\r\n"
                                                   " 080.0 0.20 0.17 0.20 0.28 0.23 0.28\r\n"
                                                   " 090.0 0.15 0.13 0.15 0.22 0.18 0.22\r\n"
                                                   " 100.0 0.12 0.10 0.12 0.17 0.14 0.17\r\n"
                                                   " 110.0 0.10 0.08 0.10 0.14 0.11 0.14\r\n"
                                                   " 120.0 0.08 0.07 0.08 0.11 0.10 0.11\r\n");
    auto s = loadFolder(folder);
    EXPECT_EQ(s->TubeOutputTable[1][1], 0);
    EXPECT_EQ(s->TubeOutputTable[2][5], 1e-3);
    EXPECT_EQ(s->AmbientDoseTable[2][3][1], 0);
}

// A UTF-8 note added after the last needed field is no Shift-JIS; it is never read, so it does
// not matter. The same bytes inside a needed field or line stop the start-up.
TEST(ReferenceLoader, NoteAfterTheLastNeededFieldNeedNotBeShiftJis) {
    const std::string note = "\r\n# 注記: 2024 年 4 月測定、単位 μSv/mAs ✓\r\n";
    ASSERT_FALSE(textio::sjisToUtf8(note).ok());
    test::TempFolder reference;
    test::writeMinimalReferenceFiles(reference.path());
    auto expected = loadFolder(reference);

    test::TempFolder folder;
    test::writeMinimalReferenceFiles(folder.path());
    for (const char* name : {"kaijo_dose.dat", "基礎データ.dat", "tamso_output.op", "s_p_ratio.dat"}) {
        auto file = folder.file(name);
        test::writeBytes(file, test::readBytes(file) + note);
    }
    auto sameLine = folder.file("Atten2.dat"); // on the line of the last field, after a blank
    std::string atten = test::readBytes(sameLine);
    test::writeBytes(sameLine, atten.substr(0, atten.size() - 2) + " ✓\r\n");
    auto loaded = loadFolder(folder);
    EXPECT_TRUE(sameTables(*expected, *loaded));
    EXPECT_EQ(loaded->hospitalName, "試験病院, 新生児科");

    test::writeBytes(folder.file("kaijo_dose.dat"),
                     textio::utf8ToSjis(" 070.0 0.1 0.2 0.3 0.4 0.5 0.6\r\n 080.0 0.1 ").value() + "✓ 0.3" +
                         note);
    const std::string field = loadError(folder);
    EXPECT_NE(field.find("「kaijo_dose.dat」の読み込みに失敗しました: 2 番目の記録の 3 番目の値（2 行目）に "
                         "Shift-JIS として読めない文字"),
              std::string::npos)
        << field;
    test::writeMinimalReferenceFiles(folder.path());
    test::writeBytes(folder.file("基礎データ.dat"),
                     textio::utf8ToSjis(" 33.97 \r\n装置\r\n 12 \r\n 2.5 \r\n").value() + "病院 ✓\r\n");
    const std::string line = loadError(folder);
    EXPECT_NE(line.find("「基礎データ.dat」の読み込みに失敗しました: 医療施設名（5 行目）に Shift-JIS "
                        "として読めない文字"),
              std::string::npos)
        << line;
}

TEST(ReferenceLoader, FilesFarLargerThanTheirLayoutAreRefused) {
    test::TempFolder folder;
    test::writeMinimalReferenceFiles(folder.path());
    const auto file = folder.file("s_p_ratio.dat");
    const std::string content = test::readBytes(file);
    test::writeBytes(file, content + "\r\n" + std::string(200 * 1024, '#') + "\r\n"); // a long note is fine
    loadFolder(folder);
    test::writeBytes(file, content + std::string(2 * 1024 * 1024, ' '));
    const std::string message = loadError(folder);
    EXPECT_NE(message.find("ファイル「s_p_ratio.dat」が大きすぎます"), std::string::npos) << message;
}

// A reference file that is not a regular file is refused before it is opened: a named pipe would
// wait for a writer for ever, a device such as /dev/zero would be read without end.
TEST(ReferenceLoader, OnlyRegularFilesAreRead) {
    test::TempFolder folder;
    test::writeMinimalReferenceFiles(folder.path());
    const auto file = folder.file("kaijo_dose.dat");
    const auto kept = folder.file("kept.dat");
    fs::rename(file, kept);
    fs::create_directory(file);
    EXPECT_NE(loadError(folder).find("「kaijo_dose.dat」はファイルではありません"), std::string::npos);
    fs::remove(file);
#ifndef _WIN32
    fs::create_symlink(kept, file); // a link to a regular file is read through
    loadFolder(folder);
    fs::remove(file);
    fs::create_symlink("/dev/null", file); // a device (not /dev/zero: a regression would read it for ever)
    EXPECT_NE(loadError(folder).find("「kaijo_dose.dat」は通常のファイルではありません"), std::string::npos);
    fs::remove(file);
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    // Should the loader open the pipe, this lets it go on (it then fails another way) instead of
    // hanging the test.
    std::atomic<bool> done{false};
    std::thread unblock([&] {
        while (!done) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            const int fd = ::open(file.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
        }
    });
    const std::string message = loadError(folder);
    done = true;
    unblock.join();
    EXPECT_NE(message.find("「kaijo_dose.dat」は通常のファイルではありません"), std::string::npos) << message;
#endif
}

TEST(BasicDataFile, WritesNumberLinesAndKeepsTextLinesWhole) {
    test::TempFolder folder;
    BasicData data{33.97, "装置, A 型", 12, 2.5, "病院, 新生児 科"};
    ASSERT_TRUE(writeBasicDataFile(folder.path(), data).ok());
    EXPECT_EQ(test::readSjis(folder.file("基礎データ.dat")),
              " 33.97 \r\n装置, A 型\r\n 12 \r\n 2.5 \r\n病院, 新生児 科\r\n");
    auto back = readBasicDataFile(folder.path());
    ASSERT_TRUE(back.ok());
    EXPECT_EQ(back->wAirEv, 33.97);
    EXPECT_EQ(back->xrayUnitName, "装置, A 型");
    EXPECT_EQ(back->targetAngleDeg, 12);
    EXPECT_EQ(back->inherentFilterAlMm, 2.5);
    EXPECT_EQ(back->hospitalName, "病院, 新生児 科");
    BasicData zero{0, "", 0.5, -1, ""};
    ASSERT_TRUE(writeBasicDataFile(folder.path(), zero).ok());
    EXPECT_EQ(test::readSjis(folder.file("基礎データ.dat")), " 0 \r\n\r\n .5 \r\n-1 \r\n\r\n");
}

TEST(TubeOutputFile, WritesTheEditorsLayoutAndReadsItBack) {
    test::TempFolder folder;
    TubeOutputData data;
    data.comment = "No comment";
    for (int r = 1; r <= 5; ++r) {
        data.voltageKv[r] = 30 + 10 * r;
        data.exposureCkgPerMas[r] = 2.58e-5 * r;
    }
    data.refFilterAlMm = 2.5;
    data.refFilterCuMm = 0;
    const auto file = folder.file("tamso_output.op");
    ASSERT_TRUE(writeTubeOutputFile(file, data).ok());
    EXPECT_EQ(test::readSjis(file), "No comment\r\n40. 50. 60. 70. 80. \r\n"
                                    "2.58E-05 5.16E-05 7.74E-05 1.03E-04 1.29E-04 2.50 0.00\r\n");
    auto back = readTubeOutputFile(file);
    ASSERT_TRUE(back.ok());
    EXPECT_EQ(back->voltageKv[5], 80);
    EXPECT_EQ(back->exposureCkgPerMas[4], 1.03e-4);
    engine::CalculationState s;
    applyTubeOutputData(s, *back);
    EXPECT_DOUBLE_EQ(s.refFilterAlCm, 0.25);
    EXPECT_EQ(s.TubeOutputTable[2][1], 2.58e-5);
}

TEST(TubeOutputFile, AZeroVoltageAsWrittenLoadsAtTheNextStart) {
    test::TempFolder folder;
    test::writeMinimalReferenceFiles(folder.path());
    auto s = loadFolder(folder);
    auto data = readTubeOutputFile(folder.file("tamso_output.op")).value();
    data.voltageKv[1] = 0; // a hand-made file held 0 here; the editor carries it through
    ASSERT_TRUE(writeTubeOutputFile(folder.file("tamso_output.op"), data).ok());
    EXPECT_EQ(test::readSjis(folder.file("tamso_output.op")).find(". 50. 60. 70. 80. \r\n"),
              data.comment.size() + 2);
    Status status;
    auto again = loadFolder(folder, &status);
    ASSERT_TRUE(status.ok()) << status.message();
    EXPECT_EQ(again->TubeOutputTable[1][1], 0);
    EXPECT_EQ(again->TubeOutputTable[1][2], 50);
    EXPECT_EQ(again->TubeOutputTable[2][5], s->TubeOutputTable[2][5]);
}

TEST(AmbientDoseFile, WritesKeysAndTwoDecimals) {
    test::TempFolder folder;
    AmbientDoseData data;
    for (int i = 1; i <= 6; ++i) {
        data.cells[0][0][i] = 60 + 10 * i;
        for (int a = 1; a <= 2; ++a)
            for (int b = 1; b <= 3; ++b)
                data.cells[a][b][i] = i == 4 ? 0.256 : 12.5;
    }
    const auto file = folder.file("kaijo_dose.dat");
    ASSERT_TRUE(writeAmbientDoseFile(file, data).ok());
    const std::string text = test::readSjis(file);
    EXPECT_EQ(text.substr(0, 36), " 070.0 12.50 12.50 12.50 12.50 12.50");
    EXPECT_NE(text.find("\r\n 100.0 0.26 0.26 0.26 0.26 0.26 0.26\r\n"), std::string::npos);
    auto back = readAmbientDoseFile(file);
    ASSERT_TRUE(back.ok());
    EXPECT_EQ(back->cells[1][2][4], 0.26);
    EXPECT_EQ(back->cells[0][0][6], 120);
}
