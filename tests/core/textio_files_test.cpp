// Atomic replacement of files: why a write failed, read-only files, the permissions of a replaced
// file and the temporary files that a killed replacement leaves behind.

#include "testsupport.h"
#include "textio/fileio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <thread>

using namespace tamso;
using namespace tamso::textio;

namespace {

#ifdef _WIN32
constexpr int kDiskFull = 112;       // ERROR_DISK_FULL
constexpr int kQuotaExceeded = 1295; // ERROR_DISK_QUOTA_EXCEEDED
constexpr int kDenied = 5;           // ERROR_ACCESS_DENIED
#else
constexpr int kDiskFull = ENOSPC;
constexpr int kQuotaExceeded = EDQUOT;
constexpr int kDenied = EACCES;
#endif

std::vector<std::string> entries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(fileNameUtf8(entry.path()));
    std::sort(names.begin(), names.end());
    return names;
}

struct FaultGuard {
    explicit FaultGuard(WriteFaultForTesting fault) { setWriteFaultForTesting(std::move(fault)); }
    ~FaultGuard() { setWriteFaultForTesting(nullptr); }
};

TEST(FileErrors, FullDiskIsCalledSoAndNotAFolderThatCannotBeWritten) {
    for (int code : {kDiskFull, kQuotaExceeded}) {
        EXPECT_TRUE(isDiskFull(code));
        EXPECT_EQ(fileErrorReason(code), "ディスクがいっぱいです");
    }
    EXPECT_FALSE(isDiskFull(kDenied));
    EXPECT_EQ(fileErrorReason(kDenied), "書き込みが禁止されています");

    test::TempFolder folder;
    const fs::path file = folder.file("kaijo_dose.dat");
    test::writeBytes(file, "old\r\n");
    FaultGuard full([](const fs::path&) { return kDiskFull; });
    for (const fs::path& target : {file, folder.file("new.dat")}) {
        auto error = writeFileAtomic(target, "new content\r\n");
        ASSERT_FALSE(error.ok());
        EXPECT_EQ(error.message(),
                  "ファイル「" + fileNameUtf8(target) + "」に書き込めません（ディスクがいっぱいです）。");
    }
    EXPECT_EQ(test::readBytes(file), "old\r\n");
    EXPECT_EQ(entries(folder.path()), std::vector<std::string>{"kaijo_dose.dat"}); // no temporary file left
}

TEST(FileReplacement, ReadOnlyFileIsRefusedAndLeftAsItIs) {
    test::TempFolder folder;
    const fs::path file = folder.file("撮影担当.txt");
    test::writeBytes(file, "keep\r\n");
    fs::permissions(file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const fs::perms mode = fs::status(file).permissions();
    auto error = writeFileAtomic(file, "new\r\n");
    ASSERT_FALSE(error.ok());
    EXPECT_EQ(error.message(), "ファイル「撮影担当.txt」は読み取り専用のため書き換えられません。");
    EXPECT_EQ(test::readBytes(file), "keep\r\n");
    EXPECT_EQ(fs::status(file).permissions(), mode);
    EXPECT_EQ(entries(folder.path()), std::vector<std::string>{"撮影担当.txt"});
    fs::permissions(file, fs::perms::owner_write, fs::perm_options::add);
}

TEST(FileReplacement, ReplacedFileKeepsItsPermissions) {
    TAMSO_POSIX_ONLY("permission bits; a Windows file has the read-only attribute, which is refused");
    test::TempFolder folder;
    const fs::path file = folder.file("1.pat");
    test::writeBytes(file, "old\r\n");
    const fs::perms mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(file, mode);
    ASSERT_TRUE(writeFileAtomic(file, "new\r\n").ok());
    EXPECT_EQ(test::readBytes(file), "new\r\n");
    EXPECT_EQ(fs::status(file).permissions(), mode);
}

TEST(FileReplacement, TemporaryFilesAreNamedAfterTheirTarget) {
    EXPECT_TRUE(isTemporaryFileOf(".1.pat.tmp-0123456789abcdef", "1.pat"));
    EXPECT_FALSE(isTemporaryFileOf(".1.pat.tmp-0123456789abcdef", "11.pat"));
    EXPECT_FALSE(isTemporaryFileOf(".11.pat.tmp-0123456789abcdef", "1.pat"));
    EXPECT_FALSE(isTemporaryFileOf("1.pat.tmp-0123456789abcdef", "1.pat"));
    EXPECT_FALSE(isTemporaryFileOf(".1.pat.tmp-0123456789ABCDEF", "1.pat"));
    EXPECT_FALSE(isTemporaryFileOf(".1.pat.tmp-0123456789abcde", "1.pat"));
    EXPECT_FALSE(isTemporaryFileOf(".1.pat.tmp-0123456789abcdef0", "1.pat"));
    EXPECT_FALSE(isTemporaryFileOf(".1.pat", "1.pat"));

    // The temporary file a replacement writes is one of them, and the longest name it uses.
    test::TempFolder folder;
    const fs::path file = folder.file("1.pat");
    fs::path seen;
    FaultGuard watch([&](const fs::path& temporary) {
        seen = temporary;
        return 0;
    });
    ASSERT_TRUE(writeFileAtomic(file, "x").ok());
    EXPECT_EQ(seen.parent_path(), folder.path());
    EXPECT_TRUE(isTemporaryFileOf(seen.filename(), "1.pat")) << seen;
    EXPECT_EQ(fileNameUtf8(seen).size(), std::string("1.pat").size() + kTemporaryNameExtraLength);
}

// Temporary files left by a killed replacement of the same target go with the next replacement;
// those of other targets and names that only look alike stay.
TEST(FileReplacement, LeftoversOfTheTargetAreRemovedAndNothingElse) {
    test::TempFolder folder;
    const std::vector<std::string> kept = {
        ".Beam_data.dat.tmp-0123456789abcdef", "Beam_data.dat.tmp-0123456789abcdef",
        ".Beam_data.dat.tmp-0123456789abcde", ".tamso-1f2e-0.tmp", "1.pat"};
    for (const std::string& name : kept)
        test::writeBytes(folder.file(name), "keep");
    test::writeBytes(folder.file(".1.pat.tmp-0123456789abcdef"), "half");
    test::writeBytes(folder.file(".1.pat.tmp-aaaaaaaaaaaaaaaa"), "");
    fs::create_directory(folder.file(".1.pat.tmp-bbbbbbbbbbbbbbbb")); // not a file: not ours
    ASSERT_TRUE(writeFileAtomic(folder.file("1.pat"), "new").ok());
    std::vector<std::string> expected = kept;
    expected.push_back(".1.pat.tmp-bbbbbbbbbbbbbbbb");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(entries(folder.path()), expected);
    EXPECT_EQ(test::readBytes(folder.file("1.pat")), "new");
}

// A replacement of the same target that runs while another one is writing does not take the
// other's temporary file for a leftover: both succeed, the later one's content stays.
TEST(FileReplacement, TemporaryFileOfAReplacementInProgressIsKept) {
    test::TempFolder folder;
    const fs::path file = folder.file("1.pat");
    Status inner = Error::text("not run");
    bool writing = false;
    FaultGuard meanwhile([&](const fs::path&) {
        if (!writing) {
            writing = true;
            inner = writeFileAtomic(file, "inner");
        }
        return 0;
    });
    const Status outer = writeFileAtomic(file, "outer");
    EXPECT_TRUE(inner.ok()) << inner.message();
    EXPECT_TRUE(outer.ok()) << outer.message();
    EXPECT_EQ(test::readBytes(file), "outer");
    EXPECT_EQ(entries(folder.path()), std::vector<std::string>{"1.pat"});
}

// Programs replacing the same file at once (two workstations computing in one working folder both
// rewrite the spectrum listing): none takes another's finished temporary file for a leftover in
// the instant before it gets its name, so every replacement succeeds and the file holds one whole
// content.
TEST(FileReplacement, ReplacementsOfOneFileAtOnceAllSucceed) {
    test::TempFolder folder;
    const fs::path file = folder.file("Beam_data.dat");
    std::atomic<int> failures{0};
    std::string firstFailure;
    std::vector<std::thread> writers;
    for (int w = 0; w < 4; ++w)
        writers.emplace_back([&, w] {
            const std::string content(1000, static_cast<char>('a' + w));
            for (int i = 0; i < 40; ++i)
                if (const Status written = writeFileAtomic(file, content, Durability::Unsynced);
                    !written.ok())
                    if (failures++ == 0)
                        firstFailure = written.message();
        });
    for (auto& writer : writers)
        writer.join();
    EXPECT_EQ(failures, 0) << firstFailure;
    const std::string last = test::readBytes(file);
    ASSERT_EQ(last.size(), 1000u);
    EXPECT_EQ(last, std::string(1000, last[0]));
    EXPECT_EQ(entries(folder.path()), std::vector<std::string>{"Beam_data.dat"});
}

} // namespace
