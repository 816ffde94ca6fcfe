// The node's guards of its files and log: whole lines or none appended (a full disk), a cut line
// read as cut, files group-writable under the umask, no writing through links, one service per
// folder, each log line stamped and a repeated error said once.

#include "node/imagelog.h"
#include "node/imageprocessor.h"
#include "node/nodefolders.h"
#include "node/nodelog.h"
#include "node/nodeplatform.h"
#include "testsupport.h"
#include "textio/fileio.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#endif

#include <thread>

namespace tamso::node {
namespace {

using test::TempFolder;

std::string bytesOf(const fs::path& file) {
    auto bytes = textio::readFileBytes(file);
    return bytes.ok() ? *bytes : "<unreadable>";
}

void writeBytes(const fs::path& file, const std::string& bytes) {
    ASSERT_TRUE(textio::writeFileAtomic(file, bytes).ok());
}

// A line cut short before (a power cut) gets its end before the new lines, in their own line end.
TEST(NodeAppend, NewLinesNeverContinueACutOne) {
    struct Case {
        std::string before, appended, after;
    };
    for (const Case& c : std::vector<Case>{{"", "a\n", "a\n"},
                                           {"a\n", "b\n", "a\nb\n"},
                                           {"a\tcu", "b\n", "a\tcu\nb\n"},
                                           {"x,y\r\nx,", "z\r\n", "x,y\r\nx,\r\nz\r\n"}}) {
        TempFolder folder;
        const fs::path file = folder.path() / "log";
        if (!c.before.empty())
            writeBytes(file, c.before);
        ASSERT_TRUE(platform::appendDurably(file, c.appended).ok());
        EXPECT_EQ(bytesOf(file), c.after) << c.before;
    }
}

// A write cut short by a full disk (here the file size limit) leaves the file as it was.
TEST(NodeAppend, AFullDiskAppendsNothing) {
    TAMSO_POSIX_ONLY("the file size limit stands in for a full disk");
#ifndef _WIN32
    TempFolder folder;
    const fs::path file = folder.path() / "images.log";
    writeBytes(file, "first\n");
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 10; // room for 4 of the 12 bytes
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const Status appended = platform::appendDurably(file, "second line\n");
    ::setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_FALSE(appended.ok());
    EXPECT_EQ(bytesOf(file), "first\n");
#endif
}

// The entry cut by a power cut is no entry, and the next one appended is read as itself.
TEST(NodeAppend, ACutEntryIsReadAsCut) {
    TempFolder folder;
    auto entry = [](const std::string& uid) {
        ImageEntry e;
        e.outcome = Outcome::Held;
        e.sopInstanceUid = uid;
        e.patientId = "C-01";
        e.reason = "test";
        return e;
    };
    {
        ImageLog log(folder.path());
        ASSERT_TRUE(log.refresh().ok());
        std::vector<ImageEntry> two{entry("1.2.1"), entry("1.2.2")};
        ASSERT_TRUE(log.append(two).ok());
    }
    const fs::path file = nodeFolder(folder.path()) / "images.log";
    const std::string whole = bytesOf(file);
    const size_t second = whole.rfind("\n", whole.size() - 2) + 1;
    fs::resize_file(file, second + 8); // the second entry cut inside its fields
    ImageLog log(folder.path());
    ASSERT_TRUE(log.refresh().ok());
    std::vector<ImageEntry> third{entry("1.2.3")};
    ASSERT_TRUE(log.append(third).ok());
    ImageLog reread(folder.path());
    ASSERT_TRUE(reread.refresh().ok());
    EXPECT_NE(reread.latest("1.2.1"), nullptr);
    EXPECT_EQ(reread.latest("1.2.2"), nullptr);
    ASSERT_NE(reread.latest("1.2.3"), nullptr);
    EXPECT_EQ(reread.latest("1.2.3")->patientId, "C-01");
}

TEST(NodeFiles, CreatedGroupWritableUnderTheUnitsUmask) {
    TAMSO_POSIX_ONLY("permission bits");
#ifndef _WIN32
    TempFolder folder;
    const mode_t before = ::umask(007);
    const Status durable = platform::appendDurably(folder.path() / "a", "x\n");
    const Status later = platform::appendLater(folder.path() / "b", "x\n");
    ::umask(before);
    ASSERT_TRUE(durable.ok() && later.ok());
    for (const char* name : {"a", "b"}) {
        struct stat status {};
        ASSERT_EQ(::stat((folder.path() / name).c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 0777, 0660u) << name;
    }
#endif
}

// The node never writes through a link: neither at its start nor when it appends.
TEST(NodeFiles, LinksWhereTheNodeWritesAreRefused) {
    TAMSO_POSIX_ONLY("symbolic links");
    for (const std::string name : {"tamso-node/images.log", "tamso-node/inbox", "受信記録.csv"}) {
        TempFolder folder;
        fs::create_directories(folder.path() / "tamso-node");
        fs::create_directories(folder.path() / "elsewhere");
        const fs::path link = textio::fileInFolder(folder.path(), name);
        fs::create_symlink(folder.path() / "elsewhere" / "target", link);
        ImageProcessor processor(folder.path());
        const Status opened = processor.open();
        ASSERT_FALSE(opened.ok()) << name;
        EXPECT_NE(opened.message().find("リンク"), std::string::npos) << opened.message();
        EXPECT_NE(opened.message().find(name.substr(name.rfind('/') + 1)), std::string::npos) << opened.message();
        if (name != "tamso-node/inbox") {
            EXPECT_FALSE(platform::appendDurably(link, "x\n").ok());
            EXPECT_FALSE(fs::exists(folder.path() / "elsewhere" / "target")) << name;
        }
    }
}

// While one service holds the folder a second is refused with the first one's process id; once it
// lets go, the next one gets it.
TEST(NodeFiles, OneServicePerFolder) {
    TempFolder folder;
    const fs::path file = folder.path() / "service.lock";
    {
        auto first = platform::lockService(file);
        ASSERT_TRUE(first.ok()) << first.error().message();
        auto second = platform::lockService(file);
        ASSERT_FALSE(second.ok());
        EXPECT_NE(second.error().message().find("プロセス ID " + std::to_string(platform::processId())),
                  std::string::npos)
            << second.error().message();
    }
    EXPECT_TRUE(platform::lockService(file).ok());
}

TEST(NodeLog, EachLineOfAMessageIsStamped) {
    const std::string t = "2024-05-01 10:15:30";
    struct Case {
        std::string message, entry;
    };
    for (const Case& c : std::vector<Case>{
             {"one line", t + " one line\n"},
             {"DUL network closed\nTCP: reset\n", t + " DUL network closed\n" + t + "   TCP: reset\n"},
             {"a\r\n\r\nb", t + " a\n" + t + "   b\n"}})
        EXPECT_EQ(stampedLogEntry(t, c.message), c.entry) << c.message;
}

TEST(NodeLog, ARepeatedLineIsSaidOncePerInterval) {
    std::vector<std::string> said;
    const NodeLogger log = limitRepeats([&](const std::string& line) { said.push_back(line); },
                                        std::chrono::milliseconds(200));
    for (int i = 0; i < 5; ++i)
        log("disk full");
    log("another");
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    log("disk full");
    EXPECT_EQ(said, (std::vector<std::string>{"disk full", "another",
                                              "disk full (4 more time(s) since it was last logged)"}));
}

} // namespace
} // namespace tamso::node
