// The working folder at start-up: a new file is created only where nothing has its name, the
// user's folder is filled from the shipped files without replacing anything, and the choice
// between the --workdir folder, the user's folder and the current folder.

#include "refdata/referenceloader.h"
#include "testsupport.h"
#include "textio/fileio.h"
#include "textio/workfolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

using namespace tamso;
using namespace tamso::textio;

namespace {

#ifdef _WIN32
constexpr int kDiskFull = 112; // ERROR_DISK_FULL
#else
constexpr int kDiskFull = ENOSPC;
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

void makeReadOnly(const fs::path& file) {
    fs::permissions(file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
}

// A shipped-files folder with two working-folder files, as an installation has it.
struct Installation {
    test::TempFolder root;
    fs::path defaults = root.path() / "share" / "tamso" / "data";
    Installation() {
        fs::create_directories(defaults);
        test::writeSjis(fileInFolder(defaults, "基礎データ.dat"), "33.97\r\nX線装置\r\n");
        test::writeBytes(fileInFolder(defaults, "kaijo_dose.dat"), "shipped\r\n");
    }
};

TEST(CreateFileAtomic, CreatesOnlyWhereNothingHasTheName) {
    test::TempFolder folder;
    const fs::path file = folder.file("撮影部位.txt");
    auto created = createFileAtomic(file, "new\r\n");
    ASSERT_TRUE(created.ok()) << created.error().message();
    EXPECT_TRUE(*created);
    EXPECT_EQ(test::readBytes(file), "new\r\n");

    auto again = createFileAtomic(file, "other\r\n");
    ASSERT_TRUE(again.ok());
    EXPECT_FALSE(*again);
    EXPECT_EQ(test::readBytes(file), "new\r\n");

    fs::create_directory(folder.file("kaijo_dose.dat"));
    auto onFolder = createFileAtomic(folder.file("kaijo_dose.dat"), "x");
    ASSERT_TRUE(onFolder.ok());
    EXPECT_FALSE(*onFolder);
    EXPECT_TRUE(fs::is_directory(folder.file("kaijo_dose.dat")));
    EXPECT_EQ(entries(folder.path()), (std::vector<std::string>{"kaijo_dose.dat", "撮影部位.txt"}));
}

TEST(CreateFileAtomic, FileThatAppearsWhileTheCopyIsWrittenIsKept) {
    test::TempFolder folder;
    const fs::path file = folder.file("tamso_output.op");
    FaultGuard appears([&](const fs::path&) {
        test::writeBytes(file, "the user's own\r\n");
        return 0;
    });
    auto created = createFileAtomic(file, "shipped\r\n");
    ASSERT_TRUE(created.ok()) << created.error().message();
    EXPECT_FALSE(*created);
    EXPECT_EQ(test::readBytes(file), "the user's own\r\n");
    EXPECT_EQ(entries(folder.path()), std::vector<std::string>{"tamso_output.op"}); // no temporary file left
}

TEST(CreateFileAtomic, FailedWriteLeavesNothing) {
    test::TempFolder folder;
    FaultGuard full([](const fs::path&) { return kDiskFull; });
    auto created = createFileAtomic(folder.file("Atten2.dat"), "bytes");
    ASSERT_FALSE(created.ok());
    EXPECT_EQ(created.error().message(), "ファイル「Atten2.dat」に書き込めません（ディスクがいっぱいです）。");
    EXPECT_TRUE(entries(folder.path()).empty());
}

TEST(CreateFileAtomic, LinkOfTheNameIsNeitherFollowedNorReplaced) {
    TAMSO_POSIX_ONLY("symbolic links, which Windows lets only administrators make");
    test::TempFolder folder;
    fs::create_symlink(folder.path() / "elsewhere.dat", folder.file("s_p_ratio.dat")); // dangling
    auto created = createFileAtomic(folder.file("s_p_ratio.dat"), "x");
    ASSERT_TRUE(created.ok());
    EXPECT_FALSE(*created);
    EXPECT_TRUE(fs::is_symlink(folder.file("s_p_ratio.dat")));
    EXPECT_FALSE(fs::exists(folder.path() / "elsewhere.dat"));
}

TEST(FillWorkFolder, CreatesTheFolderAndCopiesTheShippedFilesAsChangeableFiles) {
    Installation installation;
    for (const auto& entry : fs::directory_iterator(installation.defaults))
        makeReadOnly(entry.path()); // installed files belong to the system
    const fs::path folder = installation.root.path() / "home" / "user" / kUserWorkFolderName;

    auto copied = fillWorkFolder(folder, installation.defaults);
    ASSERT_TRUE(copied.ok()) << copied.error().message();
    EXPECT_EQ(*copied, (std::vector<std::string>{"kaijo_dose.dat", "基礎データ.dat"}));
    EXPECT_EQ(test::readSjis(fileInFolder(folder, "基礎データ.dat")), "33.97\r\nX線装置\r\n");
    // The editors replace these files: a read-only copy would be refused.
    EXPECT_TRUE(writeFileAtomic(fileInFolder(folder, "kaijo_dose.dat"), "site's own\r\n").ok());
    EXPECT_EQ(test::readBytes(fileInFolder(folder, "kaijo_dose.dat")), "site's own\r\n");
}

TEST(FillWorkFolder, KeepsEveryFileTheUserHasAndRestoresOnlyMissingOnes) {
    Installation installation;
    test::TempFolder user;
    test::writeBytes(user.file("kaijo_dose.dat"), "measured here\r\n");
    test::writeBytes(user.file("A001.pat"), "record\r\n");
    fs::create_directory(installation.defaults / "sub"); // folders are not copied
    test::writeBytes(installation.defaults / ".hidden", "x");

    auto copied = fillWorkFolder(user.path(), installation.defaults);
    ASSERT_TRUE(copied.ok()) << copied.error().message();
    EXPECT_EQ(*copied, std::vector<std::string>{"基礎データ.dat"});
    EXPECT_EQ(test::readBytes(user.file("kaijo_dose.dat")), "measured here\r\n");
    EXPECT_EQ(entries(user.path()),
              (std::vector<std::string>{"A001.pat", "kaijo_dose.dat", "基礎データ.dat"}));

    fs::remove(user.file("基礎データ.dat"));
    test::writeBytes(user.file("kaijo_dose.dat"), "changed again\r\n");
    copied = fillWorkFolder(user.path(), installation.defaults);
    ASSERT_TRUE(copied.ok());
    EXPECT_EQ(*copied, std::vector<std::string>{"基礎データ.dat"});
    EXPECT_EQ(test::readBytes(user.file("kaijo_dose.dat")), "changed again\r\n");
    copied = fillWorkFolder(user.path(), installation.defaults);
    ASSERT_TRUE(copied.ok());
    EXPECT_TRUE(copied->empty());
}

TEST(FillWorkFolder, FolderThatCannotBeMadeOrFilesThatAreMissingAreReported) {
    Installation installation;
    const fs::path inTheWay = installation.root.path() / "tamso-data";
    test::writeBytes(inTheWay, "a file");
    auto blocked = fillWorkFolder(inTheWay, installation.defaults);
    ASSERT_FALSE(blocked.ok());
    EXPECT_EQ(blocked.error().message(), "作業フォルダ「" + inTheWay.u8string() +
                                           "」を作成できません（同じ名前のファイルがあります）。");

    const fs::path missing = installation.root.path() / "share" / "missing";
    auto noDefaults = fillWorkFolder(installation.root.path() / "new", missing);
    ASSERT_FALSE(noDefaults.ok());
    EXPECT_EQ(noDefaults.error().message(),
              "付属データのフォルダ「" + missing.u8string() + "」が見つかりません。");
    EXPECT_FALSE(fs::exists(installation.root.path() / "new"));
}

// A folder the system refuses to make is reported with the reason in words, never as a bare error
// number (MinGW's standard library reports errno values on Windows, not the system's codes).
TEST(FillWorkFolder, FolderTheSystemRefusesToMakeIsReportedWithTheReason) {
    Installation installation;
    test::writeBytes(installation.root.path() / "a-file", "x");
    const struct {
        fs::path folder;
        std::string reason;
        bool windowsOnly;
    } cases[] = {{installation.root.path() / "a-file" / "tamso-data", "フォルダが見つかりません", false},
                 {installation.root.path() / "tamso?data", "名前に使えない文字があります", true}};
    for (const auto& c : cases) {
#ifndef _WIN32
        if (c.windowsOnly) // any character but "/" may name a folder here
            continue;
#endif
        auto made = fillWorkFolder(c.folder, installation.defaults);
        ASSERT_FALSE(made.ok()) << test::pathUtf8(c.folder);
        EXPECT_EQ(made.error().message(),
                  "作業フォルダ「" + test::pathUtf8(c.folder) + "」を作成できません（" + c.reason + "）。");
    }
}

TEST(FillWorkFolder, FolderFilledFromTheShippedDataLoads) {
    test::TempFolder user;
    const fs::path folder = user.path() / kUserWorkFolderName;
    auto copied = fillWorkFolder(folder, fs::path(TAMSO_SOURCE_DIR) / "data");
    ASSERT_TRUE(copied.ok()) << copied.error().message();
    auto state = std::make_unique<engine::CalculationState>();
    const Status loaded = refdata::loadReferenceData(*state, folder);
    EXPECT_TRUE(loaded.ok()) << loaded.message();
}

TEST(WorkFolderOption, TakesTheFolderAfterTheOptionOrAfterItsEqualsSign) {
    auto none = workFolderOption({"-platform", "offscreen"});
    ASSERT_TRUE(none.ok());
    EXPECT_FALSE(none->has_value());

    auto spaced = workFolderOption({"--workdir", "作業"});
    ASSERT_TRUE(spaced.ok());
    EXPECT_EQ(**spaced, fs::u8path("作業"));
    auto joined = workFolderOption({"--workdir=/tmp/a b", "--other"});
    ASSERT_TRUE(joined.ok());
    EXPECT_EQ(**joined, fs::path("/tmp/a b"));
    auto last = workFolderOption({"--workdir", "one", "--workdir=two"});
    ASSERT_TRUE(last.ok());
    EXPECT_EQ(**last, fs::path("two"));

    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--workdir"}, {"--workdir="}, {"--workdir", ""}}) {
        auto missing = workFolderOption(args);
        ASSERT_FALSE(missing.ok());
        EXPECT_EQ(missing.error().message(), "起動オプション --workdir には作業フォルダを続けて下さい。");
    }
}

TEST(PrepareWorkFolder, InstalledProgramFillsTheUsersFolderOrTheRequestedOne) {
    Installation installation;
    test::TempFolder home;
    StartFolders folders;
    folders.defaults = installation.defaults;
    folders.user = home.path() / kUserWorkFolderName;
    folders.current = home.path();

    auto chosen = prepareWorkFolder(folders);
    ASSERT_TRUE(chosen.ok()) << chosen.error().message();
    EXPECT_EQ(*chosen, folders.user);
    EXPECT_EQ(entries(folders.user), (std::vector<std::string>{"kaijo_dose.dat", "基礎データ.dat"}));

    folders.requested = fs::path("elsewhere") / "work"; // relative: from the current folder
    chosen = prepareWorkFolder(folders);
    ASSERT_TRUE(chosen.ok()) << chosen.error().message();
    EXPECT_EQ(*chosen, home.path() / "elsewhere" / "work");
    EXPECT_EQ(entries(*chosen), (std::vector<std::string>{"kaijo_dose.dat", "基礎データ.dat"}));

    folders.requested.reset();
    folders.user.clear(); // no home folder known
    auto noHome = prepareWorkFolder(folders);
    ASSERT_FALSE(noHome.ok());
    EXPECT_EQ(noHome.error().message(), "ホームフォルダが分からないため、作業フォルダを決められません。"
                                      "起動オプション --workdir で作業フォルダを指定して下さい。");
}

TEST(PrepareWorkFolder, ProgramWithoutShippedFilesUsesTheFolderAsItIs) {
    test::TempFolder root;
    StartFolders folders;
    folders.defaults = root.path() / "share" / "tamso" / "data"; // none: a build folder
    folders.user = root.path() / "home" / kUserWorkFolderName;
    folders.current = root.path();

    auto chosen = prepareWorkFolder(folders);
    ASSERT_TRUE(chosen.ok());
    EXPECT_EQ(*chosen, root.path());
    EXPECT_TRUE(entries(root.path()).empty()); // nothing created

    folders.requested = root.path() / "missing";
    auto missing = prepareWorkFolder(folders);
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().message(),
              "作業フォルダ「" + folders.requested->u8string() + "」が見つかりません。");
    EXPECT_TRUE(entries(root.path()).empty());

    fs::create_directory(root.path() / "work");
    folders.requested = root.path() / "work";
    chosen = prepareWorkFolder(folders);
    ASSERT_TRUE(chosen.ok());
    EXPECT_EQ(*chosen, root.path() / "work");
    EXPECT_TRUE(entries(root.path() / "work").empty());
}

TEST(InstalledLayout, ShippedFilesLieInShareBesideTheProgramsFolder) {
    EXPECT_EQ(installedDefaultsFolder(fs::path("/usr/bin")), fs::path("/usr/share/tamso/data"));
    EXPECT_EQ(installedDefaultsFolder(fs::path("/tmp/root/usr/bin")),
              fs::path("/tmp/root/usr/share/tamso/data"));
    EXPECT_TRUE(installedDefaultsFolder(fs::path()).empty());
    // The test binary lies at the top of the build folder.
    std::error_code ec;
    EXPECT_TRUE(fs::equivalent(executableFolder(), fs::path(TAMSO_BINARY_DIR), ec)) << executableFolder();
}

// The user's folder is tamso-data in the home folder: HOME on POSIX, the user profile on Windows
// (a Japanese user name included).
TEST(InstalledLayout, UsersFolderIsTamsoDataInTheHomeFolder) {
#ifdef _WIN32
    const wchar_t* variable = L"USERPROFILE";
    const fs::path home = fs::u8path("C:\\Users\\技師");
    std::wstring saved(32768, L'\0');
    const DWORD length = ::GetEnvironmentVariableW(variable, saved.data(), static_cast<DWORD>(saved.size()));
    saved.resize(length);
    ASSERT_TRUE(::SetEnvironmentVariableW(variable, home.c_str()));
    const fs::path folder = userWorkFolder();
    ::SetEnvironmentVariableW(variable, length ? saved.c_str() : nullptr);
#else
    const char* old = std::getenv("HOME");
    const std::string saved = old ? old : "";
    const fs::path home = "/home/gishi";
    ::setenv("HOME", home.c_str(), 1);
    const fs::path folder = userWorkFolder();
    if (old)
        ::setenv("HOME", saved.c_str(), 1);
    else
        ::unsetenv("HOME");
#endif
    EXPECT_EQ(folder, home / "tamso-data");
}

} // namespace
