// Where the exports may write: every --csv-out of tamso-calc (audit, dose history, DICOM batch)
// refuses a target that is no regular file or new name, and the working folder's own files by
// name, before it reads anything, with exit status 2 and nothing touched; the check itself; and the
// cells of every export neutralised where a spreadsheet would run them as a formula.

#include "testsupport.h"
#include "textio/csv.h"
#include "textio/fileio.h"

#include <gtest/gtest.h>

#include <fstream>

#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

using namespace tamso;

namespace {

namespace fs = std::filesystem;

// What stands at a path, to tell that nothing was touched: its kind and, for a file, its bytes.
[[maybe_unused]] std::string snapshot(const fs::path& path) {
    std::error_code ec;
    const fs::file_status own = fs::symlink_status(path, ec);
    if (fs::is_symlink(own))
        return "link to " + fs::read_symlink(path, ec).string();
    if (fs::is_directory(own))
        return "folder";
    if (fs::is_fifo(own))
        return "pipe";
    if (fs::is_regular_file(own))
        return "file " + test::readBytes(path);
    return "nothing";
}

} // namespace

#ifndef _WIN32
TEST(ExportTarget, OnlyRegularFilesAndNewNamesThatAreNoWorkingFolderFile) {
    test::TempFolder dir;
    test::writeBytes(dir.file("old.csv"), "old");
    test::writeBytes(dir.file("Atten2.dat"), "physics");
    fs::create_directory(dir.file("folder.csv"));
    ASSERT_EQ(::mkfifo(dir.file("pipe.csv").c_str(), 0600), 0);
    fs::create_symlink(dir.file("pipe.csv"), dir.file("to-pipe.csv"));
    fs::create_symlink(dir.file("folder.csv"), dir.file("to-folder.csv"));
    fs::create_symlink("/dev/null", dir.file("to-null.csv"));
    fs::create_symlink(dir.file("gone.csv"), dir.file("dangling.csv"));
    fs::create_symlink(dir.file("Atten2.dat"), dir.file("to-atten.csv"));
    fs::create_symlink(dir.file("old.csv"), dir.file("to-old.csv"));
    const std::pair<const char*, const char*> cases[] = {
        {"new.csv", nullptr},
        {"old.csv", nullptr},
        {"to-old.csv", nullptr},
        {"folder.csv", "フォルダです"},
        {"pipe.csv", "通常のファイルではありません"},
        {"to-pipe.csv", "通常のファイルではありません"},
        {"to-folder.csv", "フォルダです"},
        {"to-null.csv", "通常のファイルではありません"},
        {"dangling.csv", "リンク先がありません"},
        {"to-atten.csv", "リンク先が作業フォルダ"},
        {"Atten2.dat", "作業フォルダのデータファイルや患者ファイルと同じ名前"},
        {"基礎データ.dat", "同じ名前"},
        {"TAMSO_OUTPUT.OP", "同じ名前"},
        {"A001.pat", "同じ名前"},
        {"A001.~2.PAT", "同じ名前"},
        {"A001.pat.lock", "同じ名前"},
        {"Beam_data.dat", "同じ名前"},
        {".out.csv.tmp-0123456789abcdef", "同じ名前"},
        // The node's files and folders, the withdrawn records.
        {"tamso-node.conf", "同じ名前"},
        {"受信記録.csv", "同じ名前"},
        {"被写体厚既定値.txt", "同じ名前"},
        {"A001.pat.withdrawn", "同じ名前"},
        {"tamso-node/images.log", "「tamso-node」フォルダの中"},
        {"tamso-node/journal", "「tamso-node」フォルダの中"},
        {"tamso-node/outbox/new.csv", "「tamso-node」フォルダの中"},
        {"to-node/images.log", "実際の場所が作業フォルダの「tamso-node」フォルダの中"},
        {"線量レポート/A001/x.csv", "「線量レポート」フォルダの中"},
        // Names Windows reads as one of them, or as no name.
        {"A001.pat.", "同じ名前"},
        {"基礎データ.dat ", "同じ名前"},
        {"A001.pat. .", "同じ名前"},
        {"A001.pat::$DATA", "同じ名前"},
        {"Atten2.dat:hidden", "同じ名前"},
        {"TAMSO-NODE./images.log", "フォルダの中"},
        {" . ", "ファイル名がありません"},
        {"", "ファイル名がありません"},
    };
    fs::create_directories(dir.file("tamso-node/outbox"));
    fs::create_directories(dir.file("線量レポート/A001"));
    fs::create_directory_symlink(dir.file("tamso-node"), dir.file("to-node"));
    test::writeBytes(dir.file("tamso-node/images.log"), "log");
    for (const auto& [name, refusal] : cases) {
        const fs::path target = dir.file(name);
        const std::string before = snapshot(target);
        const Status status = textio::writeExportFile(target, "a,b\r\n");
        if (!refusal) {
            EXPECT_TRUE(status.ok()) << name << ": " << status.message();
            continue;
        }
        ASSERT_FALSE(status.ok()) << name;
        EXPECT_NE(status.message().find(refusal), std::string::npos) << name << ": " << status.message();
        EXPECT_NE(status.message().find("「" + textio::fileNameUtf8(target) + "」"), std::string::npos)
            << status.message();
        EXPECT_EQ(snapshot(target), before) << name;
    }
    EXPECT_EQ(snapshot(dir.file("Atten2.dat")), "file physics");
    EXPECT_EQ(snapshot(dir.file("tamso-node/images.log")), "file log");
}
#endif

// Names as Windows compares them, on every platform: streams cut, trailing dots and blanks
// dropped, letters in either case.
TEST(ExportTarget, NamesAreComparedAsWindowsReadsThem) {
    const std::pair<const char*, const char*> cases[] = {
        {"A001.PAT. . ", "a001.pat"}, {"x.csv::$DATA", "x.csv"}, {"x.csv:s:$DATA", "x.csv"},
        {"基礎データ.DAT", "基礎データ.dat"}, {" . ", ""}, {"Ａ.csv", "Ａ.csv"}, {".x.", ".x"},
    };
    for (const auto& [name, comparable] : cases)
        EXPECT_EQ(textio::comparableFileName(name), comparable) << name;
}

// Every file the README's table of the working folder names (an ID, date or UID standing in
// for its placeholder) is refused as an export target, in any folder.
TEST(ExportTarget, EveryFileOfTheWorkingFolderTableIsRefused) {
    std::ifstream readme(fs::u8path(TAMSO_SOURCE_DIR "/README.md"));
    std::string line;
    while (std::getline(readme, line) && line != "## The working folder") {
    }
    int names = 0;
    while (std::getline(readme, line) && line.rfind("## ", 0) != 0) {
        if (line.rfind("| `", 0) != 0)
            continue;
        const std::string cell = line.substr(1, line.find(" |", 1) - 1); // the first column
        for (size_t at = cell.find('`'), end; at != std::string::npos; at = cell.find('`', end + 1)) {
            end = cell.find('`', at + 1);
            std::string name = cell.substr(at + 1, end - at - 1);
            for (const auto& [placeholder, value] : {std::pair<std::string, std::string>{"<ID>", "A001"},
                                                     {"<date>", "20260101"},
                                                     {"<UID>", "1.2.3"}})
                for (size_t p; (p = name.find(placeholder)) != std::string::npos;)
                    name.replace(p, placeholder.size(), value);
            if (name.back() == '/')
                name += "x.csv";
            test::TempFolder dir;
            const Status status = textio::checkExportTarget(dir.file(name));
            EXPECT_FALSE(status.ok()) << name;
            ++names;
        }
    }
    EXPECT_GT(names, 20);
}

#ifndef _WIN32

// tamso-calc stops before it reads or writes anything: exit 2, the message, the target as it was.
TEST(ExportTarget, EveryCsvOutOfTamsoCalcRefusesWithTwo) {
    if (!fs::exists(test::calculatorProgram()))
        GTEST_SKIP() << "tamso-calc is not built";
    test::TempFolder dir;
    test::writeMinimalReferenceFiles(dir.path());
    test::writeSjis(dir.file("R1.pat"),
                    "名\r\n 1 \r\n2026/01/01\r\n技師\r\n胸部正面\r\n 8 \r\n装置\r\n 60 \r\n"
                    " 2 \r\n 100 \r\n10 x 12\r\n .1 \r\n\r\n\r\n\r\n");
    fs::create_directory(dir.file("out-folder"));
    ASSERT_EQ(::mkfifo(dir.file("out-pipe").c_str(), 0600), 0);
    fs::create_symlink("/dev/null", dir.file("out-null"));
    const std::string workdir = "--workdir " + test::quotedArgument(dir.path());
    const std::vector<std::string> commands = {"--audit " + workdir, "--history R1 " + workdir,
                                               workdir + " --dicom " +
                                                   test::quotedArgument(dir.file("none.dcm"))};
    for (const char* target :
         {"out-folder", "out-pipe", "out-null", "tamso_output.op", "R1.pat", "Atten2.dat"}) {
        for (const std::string& command : commands) {
            const std::string before = snapshot(dir.file(target));
            const test::ProgramRun run =
                test::runCalculator(dir, command + " --csv-out " + test::quotedArgument(dir.file(target)));
            EXPECT_EQ(run.status, 2) << command << " -> " << target;
            EXPECT_NE(run.err.find("には書き出せません"), std::string::npos) << run.err;
            EXPECT_TRUE(run.out.empty()) << command << " -> " << target << "\n" << run.out;
            EXPECT_EQ(snapshot(dir.file(target)), before) << command << " -> " << target;
        }
    }
    EXPECT_FALSE(fs::exists(dir.file("Beam_data.dat"))); // the DICOM batch computed nothing
    // An option without its value is refused, never read past ("--workdir --history").
    const test::ProgramRun noValue = test::runCalculator(dir, "--workdir --history");
    EXPECT_EQ(noValue.status, 2);
    EXPECT_NE(noValue.err.find("--workdir needs a value"), std::string::npos) << noValue.err;
}
#endif

// tamso-calc never writes what it reads, nor to an empty name: exit 2, the input as it was.
TEST(ExportTarget, TamsoCalcNeverReplacesWhatItReads) {
    if (!fs::exists(test::calculatorProgram()))
        GTEST_SKIP() << "tamso-calc is not built";
    test::TempFolder dir;
    test::writeMinimalReferenceFiles(dir.path());
    fs::create_directories(dir.file("images/sub"));
    test::writeBytes(dir.file("images/sub/1.dcm"), "image");
    test::writeBytes(dir.file("images/DICOMDIR"), "dir");
    test::writeBytes(dir.file("in.csv"), "kv\r\n60\r\n");
    const std::string images = test::quotedArgument(dir.file("images"));
    const std::pair<std::string, std::string> cases[] = {
        {"--dicom " + images + " --csv-out \"\"", "ファイル名がありません"},
        {"--dicom " + images + " --csv-out " + test::quotedArgument(dir.file("images/sub/1.dcm")),
         "読み込むフォルダ「images」の中"},
        {"--dicom " + images + " --csv-out " + test::quotedArgument(dir.file("images/new.csv")),
         "読み込むフォルダ「images」の中"},
        {"--dicom " + test::quotedArgument(dir.file("images/sub/1.dcm")) + " --csv-out " +
             test::quotedArgument(dir.file("images/sub/../sub/1.dcm")),
         "読み込むファイル"},
        {"--dicom " + test::quotedArgument(dir.file("images/DICOMDIR")) + " --csv-out " +
             test::quotedArgument(dir.file("images/sub/new.csv")),
         "読み込むフォルダ「images」の中"},
        {"--csv " + test::quotedArgument(dir.file("in.csv")) + " --csv-out " +
             test::quotedArgument(dir.file("in.csv")),
         "--csv-out"},
    };
    for (const auto& [arguments, refusal] : cases) {
        const test::ProgramRun run =
            test::runCalculator(dir, "--workdir " + test::quotedArgument(dir.path()) + " " + arguments);
        EXPECT_EQ(run.status, 2) << arguments;
        EXPECT_NE(run.err.find(refusal), std::string::npos) << arguments << "\n" << run.err;
    }
    EXPECT_EQ(test::readBytes(dir.file("images/sub/1.dcm")), "image");
    EXPECT_EQ(test::readBytes(dir.file("in.csv")), "kv\r\n60\r\n");
    EXPECT_FALSE(fs::exists(dir.file("images/new.csv")));
    EXPECT_FALSE(fs::exists(dir.file("images/sub/new.csv")));
    EXPECT_FALSE(fs::exists(dir.file("Beam_data.dat"))); // nothing was computed
}

// Cells that would run as a formula get a leading apostrophe; plain numbers stay numbers.
TEST(Csv, FormulaCellsAreNeutralisedAndNumbersStay) {
    const std::pair<const char*, const char*> cases[] = {
        {"=HYPERLINK(\"http://x\",\"y\")", "\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\""},
        {"=1+2", "'=1+2"},
        {"+81-3-1234", "'+81-3-1234"},
        {"-2+3+cmd|' /C calc'!A0", "'-2+3+cmd|' /C calc'!A0"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"  =1+2", "'  =1+2"},
        {"\t=1", "'\t=1"},
        {"\r=1", "\"'\r=1\""},
        {"\xEF\xBC\x9D"
         "1+1",
         "'\xEF\xBC\x9D"
         "1+1"},
        {"-3", "-3"},
        {"-0.052", "-0.052"},
        {"+1.5E-03", "+1.5E-03"},
        {"-", "'-"},
        {"-1e", "'-1e"},
        {"1=1", "1=1"},
        {"A-1", "A-1"},
        {"0.203", "0.203"},
        // Blanks of any kind before the formula: ideographic, no-break, thin space, a BOM.
        {"\xE3\x80\x80=1+1", "'\xE3\x80\x80=1+1"},
        {"\xC2\xA0 @SUM(A1)", "'\xC2\xA0 @SUM(A1)"},
        {"\xE2\x80\x89\xE3\x80\x80-1+1", "'\xE2\x80\x89\xE3\x80\x80-1+1"},
        {"\xEF\xBB\xBF+1+1", "'\xEF\xBB\xBF+1+1"},
        {"\xE3\x80\x80" "A", "\xE3\x80\x80" "A"},
    };
    for (const auto& [cell, written] : cases)
        EXPECT_EQ(textio::csvCell(cell), written) << cell;
}
