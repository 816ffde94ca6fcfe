// The node's configuration (command line and file), the site's thickness defaults and the image
// log's lines: what each accepts, what it refuses with which message, and what reads back.

#include "node/imagelog.h"
#include "node/nodeconfig.h"
#include "node/thicknessdefaults.h"
#include "testsupport.h"

#include <gtest/gtest.h>

namespace tamso::node {
namespace {

using test::TempFolder;

struct ConfigCase {
    const char* name;
    std::vector<std::string> args; // "WORK" stands for the working folder
    const char* file;              // tamso-node.conf in the working folder, or null
    const char* error;             // part of the message, or null for success
    std::function<void(const NodeConfig&, const fs::path& work)> check;
};

void PrintTo(const ConfigCase& c, std::ostream* out) { *out << c.name; }

class NodeConfigs : public ::testing::TestWithParam<ConfigCase> {};

TEST_P(NodeConfigs, AreReadOrRefusedWithAReason) {
    const ConfigCase& c = GetParam();
    TempFolder work;
    if (c.file)
        test::writeBytes(work.path() / kConfigFileName, c.file);
    std::vector<std::string> args;
    for (const std::string& arg : c.args)
        args.push_back(arg == "WORK" ? work.path().string() : arg);
    auto config = readNodeConfig(args);
    if (c.error) {
        ASSERT_FALSE(config.ok());
        EXPECT_NE(config.error().message().find(c.error), std::string::npos) << config.error().message();
        return;
    }
    ASSERT_TRUE(config.ok()) << config.error().message();
    c.check(*config, work.path());
}

const std::vector<std::string> base = {"--workdir", "WORK", "--port", "11112", "--aet", "NICU_TAMSO"};
std::vector<std::string> with(std::vector<std::string> more) {
    std::vector<std::string> args = base;
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

INSTANTIATE_TEST_SUITE_P(
    Node, NodeConfigs,
    ::testing::Values(
        ConfigCase{"command line", with({"--allow", "MOBILE1, PACS ,,MOBILE2"}), nullptr, nullptr,
                   [](const NodeConfig& c, const fs::path&) {
                       EXPECT_EQ(c.port, std::uint16_t{11112});
                       EXPECT_FALSE(c.tlsPort);
                       EXPECT_EQ(c.aeTitle, "NICU_TAMSO");
                       EXPECT_EQ(c.allowedCallers, (std::vector<std::string>{"MOBILE1", "PACS", "MOBILE2"}));
                       EXPECT_EQ(c.maxAssociations, 8);
                       EXPECT_EQ(c.maxObjectBytes, 64ull << 20);
                   }},
        ConfigCase{"no allow list accepts none", base, nullptr, nullptr,
                   [](const NodeConfig& c, const fs::path&) { EXPECT_TRUE(c.allowedCallers.empty()); }},
        ConfigCase{"the file, the command line wins", with({"--port=4104"}),
                   "\xEF\xBB\xBF# site settings\r\nport = 2104\r\nallow = MOBILE1\r\n\r\ntls-port = 2762\r\n"
                   "tls-certificate = certs/node.pem\r\ntls-private-key = "
                   "/etc/tamso/node.key\r\nmax-object-mb = 32\r\n",
                   nullptr,
                   [](const NodeConfig& c, const fs::path& work) {
                       EXPECT_EQ(c.port, std::uint16_t{4104});
                       EXPECT_EQ(c.tlsPort, std::uint16_t{2762});
                       EXPECT_EQ(c.allowedCallers, std::vector<std::string>{"MOBILE1"});
                       EXPECT_EQ(c.tlsCertificate, work / "certs/node.pem"); // from the file's folder
                       EXPECT_EQ(c.tlsPrivateKey, fs::path("/etc/tamso/node.key"));
                       EXPECT_EQ(c.maxObjectBytes, 32ull << 20);
                       EXPECT_EQ(c.configFile, work / kConfigFileName);
                   }},
        ConfigCase{"no port", {"--workdir", "WORK", "--aet", "A"}, nullptr, "no port given", {}},
        ConfigCase{"port out of range", with({"--port", "70000"}), nullptr, "--port: not a port number", {}},
        ConfigCase{"AE title with a backslash", with({"--aet", "A\\B"}), nullptr, "not an AE title", {}},
        ConfigCase{"AE title of 17 characters",
                   with({"--aet", "ABCDEFGHIJKLMNOPQ"}),
                   nullptr,
                   "not an AE title",
                   {}},
        ConfigCase{"calling AE title too long",
                   with({"--allow", "OK,ABCDEFGHIJKLMNOPQ"}),
                   nullptr,
                   "not an AE title",
                   {}},
        ConfigCase{"unknown option", with({"--prot", "1"}), nullptr, "unknown option --prot", {}},
        ConfigCase{"unknown key in the file",
                   base,
                   "port = 1\nallowed = X\n",
                   "line 2: unknown key \"allowed\"",
                   {}},
        ConfigCase{"line without a value", base, "port 1\n", "line 1: expected", {}},
        ConfigCase{"missing --config file",
                   with({"--config", "/nonexistent/tamso-node.conf"}),
                   nullptr,
                   "--config: no such file",
                   {}},
        ConfigCase{"TLS port without certificate",
                   with({"--tls-port", "2762"}),
                   nullptr,
                   "needs --tls-certificate and --tls-private-key",
                   {}},
        ConfigCase{"one port for both",
                   with({"--tls-port", "11112", "--tls-certificate", "c", "--tls-private-key", "k"}),
                   nullptr,
                   "must differ",
                   {}},
        ConfigCase{"limit of no images", with({"--max-object-mb", "0"}), nullptr, "from 1 to 4000", {}},
        ConfigCase{"destinations of the file, each once", base,
                   "forward = PACS@10.0.0.5:104, REG@[::1]:11112\nforward = PACS@10.0.0.5:104\n"
                   "reports-beside-records = Yes\n",
                   nullptr,
                   [](const NodeConfig& c, const fs::path&) {
                       ASSERT_EQ(c.forward.size(), 2u);
                       EXPECT_EQ(destinationText(c.forward[0]), "PACS@10.0.0.5:104");
                       EXPECT_EQ(destinationText(c.forward[1]), "REG@[::1]:11112");
                       EXPECT_TRUE(c.reportsBesideRecords);
                   }},
        ConfigCase{"destinations of the command line replace the file's",
                   with({"--forward", "A@h1:104", "--forward=B@h2:105"}), "forward = PACS@10.0.0.5:104\n",
                   nullptr,
                   [](const NodeConfig& c, const fs::path&) {
                       ASSERT_EQ(c.forward.size(), 2u);
                       EXPECT_EQ(destinationText(c.forward[1]), "B@h2:105");
                       EXPECT_FALSE(c.reportsBesideRecords);
                   }},
        ConfigCase{"destination without a port", with({"--forward", "PACS@host"}), nullptr, "--forward:", {}},
        ConfigCase{"beside the records neither yes nor no", base, "reports-beside-records = sometimes\n",
                   "line 1: expected yes or no", {}}),
    [](const ::testing::TestParamInfo<ConfigCase>& info) {
        std::string name = info.param.name;
        for (char& ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return name;
    });

TEST(ThicknessDefaultsFile, GivesTheSitesValueOrRefusesWhatIsNoThickness) {
    auto defaults = ThicknessDefaults::fromText("# 撮影部位,被写体厚\r\n胸部正面, 8\r\n頭部側面,11.5\r\n"
                                                "胸部正面,9\r\n\r\nno comma here\r\n");
    ASSERT_TRUE(defaults.ok());
    const struct {
        const char* bodyPart;
        std::optional<std::string> thickness;
    } cases[] = {
        {"胸部正面", "8"}, {"頭部側面", "11.5"}, {"腹部正面", std::nullopt}, {"no comma here", std::nullopt}};
    for (const auto& c : cases)
        EXPECT_EQ(defaults->thicknessFor(c.bodyPart), c.thickness) << c.bodyPart;
    for (const char* bad : {"胸部正面,0\r\n", "胸部正面,-1\r\n", "胸部正面,八\r\n", "胸部正面,\r\n"}) {
        auto refused = ThicknessDefaults::fromText(std::string("# x\r\n") + bad);
        ASSERT_FALSE(refused.ok()) << bad;
        EXPECT_NE(refused.error().message().find("2 行目"), std::string::npos) << refused.error().message();
    }
}

// Every text of an entry comes back from its log line as it was: tabs, line breaks and
// backslashes included; a log with columns in another order (a later version) reads by name.
TEST(ImageLogLines, EveryFieldReadsBackAsWritten) {
    ImageEntry e;
    e.number = 12;
    e.outcome = Outcome::Held;
    e.sopInstanceUid = "1.2.3";
    e.patientName = "山田\t花子";
    e.reason = "two\r\nlines \\ and a \\t that is no tab";
    e.recordNumber = 0;
    e.file = "0001.dcm";
    std::vector<std::string> escaped;
    for (const std::string& value : entryFields(e))
        escaped.push_back(escapeField(value));
    std::string line;
    for (size_t i = 0; i < escaped.size(); ++i)
        line += (i ? "\t" : "") + escaped[i];
    EXPECT_EQ(line.find('\n'), std::string::npos);
    const ImageEntry back = entryFromFields(imageLogColumns(), splitTabs(line));
    EXPECT_EQ(back.patientName, e.patientName);
    EXPECT_EQ(back.reason, e.reason);
    EXPECT_EQ(back.outcome, Outcome::Held);
    EXPECT_EQ(back.number, 12);
    const ImageEntry reordered = entryFromFields({"reason", "sop_instance_uid", "outcome", "unknown"},
                                                 {"why", "9.9", "recorded", "ignored"});
    EXPECT_EQ(reordered.sopInstanceUid, "9.9");
    EXPECT_EQ(reordered.outcome, Outcome::Recorded);
    EXPECT_EQ(reordered.reason, "why");
}

// The screens and tamso-calc read where the reports go from the working folder's file, whatever
// else it holds; without a file there are no reports, and a wrong value is said with its line.
TEST(ReportSettingsOfTheWorkingFolder, AreTheFilesKeysForReports) {
    const struct {
        const char* file; // null: none
        const char* error;
        size_t destinations;
        bool beside;
        const char* aeTitle;
    } cases[] = {
        {nullptr, nullptr, 0, false, "TAMSO"},
        {"port = 11112\nallow = MOD1\naet = NICU\nforward = PACS@pacs:104\n", nullptr, 1, false, "NICU"},
        {"reports-beside-records = yes\n", nullptr, 0, true, "TAMSO"},
        {"port = 11112\nforward = PACS@pacs\n", "line 2", 0, false, ""},
        {"aet = A\\B\n", "not an AE title", 0, false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file ? c.file : "(no file)");
        TempFolder work;
        if (c.file)
            test::writeBytes(work.path() / kConfigFileName, c.file);
        auto settings = readReportSettings(work.path());
        if (c.error) {
            ASSERT_FALSE(settings.ok());
            EXPECT_NE(settings.error().message().find(c.error), std::string::npos) << settings.error().message();
            continue;
        }
        ASSERT_TRUE(settings.ok()) << settings.error().message();
        EXPECT_EQ(settings->forward.size(), c.destinations);
        EXPECT_EQ(settings->besideRecords, c.beside);
        EXPECT_EQ(settings->aeTitle, c.aeTitle);
        EXPECT_EQ(settings->reporting(), c.destinations > 0 || c.beside);
    }
}

// The receipt log catches up with the node's log after an interruption between the two, and a
// row cut short (a power cut) does not run into the next one.
TEST(ReceiptLog, CatchesUpWithTheNodesLog) {
    TempFolder work;
    ImageLog log(work.path());
    std::vector<ImageEntry> entries(3);
    for (size_t i = 0; i < entries.size(); ++i) {
        entries[i].sopInstanceUid = "1.2." + std::to_string(i);
        entries[i].outcome = Outcome::Derived;
    }
    ASSERT_TRUE(log.append(entries).ok());
    const std::string full = test::readBytes(log.receiptFile());
    // The last row lost, and the one before it cut in the middle.
    const size_t secondRow = full.find("\r\n2,");
    test::writeBytes(log.receiptFile(), full.substr(0, secondRow + 6));
    ImageLog again(work.path());
    ASSERT_TRUE(again.refresh().ok());
    ASSERT_TRUE(again.catchUpReceipts().ok());
    const std::string caught = test::readBytes(log.receiptFile());
    for (const char* uid : {",1.2.0,", ",1.2.1,", ",1.2.2,"}) { // each row once, complete
        EXPECT_NE(caught.find(uid), std::string::npos) << caught;
        EXPECT_EQ(caught.find(uid), caught.rfind(uid)) << caught;
    }
    EXPECT_EQ(caught.substr(caught.size() - 2), "\r\n");
}

} // namespace
} // namespace tamso::node
