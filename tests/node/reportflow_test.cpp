// The dose reports and the back-filling as a site runs them, with an Orthanc PACS of the test's own:
// the built tamso-node sends the report of each image it records and keeps them while the PACS is
// down; the built tamso-calc --pull records the PACS's radiographs of a period through the node's
// path, once, also while the node runs on the same working folder.

#include "dicompeers.h"
#include "node/imagelog.h"
#include "node/nodefolders.h"
#include "node/outbox.h"
#include "nodetestsupport.h"
#include "receivedimages.h"
#include "records/patienthistory.h"
#include "tools/calc/pullcli.h"

#include <dcmtk/config/osconfig.h>

#include <dcmtk/dcmdata/dcuid.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <regex>
#include <sstream>
#include <thread>

namespace tamso::node {
namespace {

using namespace std::chrono_literals;
using test::DicomImage;
using test::TempFolder;

bool waitUntil(const std::function<bool()>& done, std::chrono::seconds timeout = 30s) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(100ms);
    }
    return true;
}

std::string storescu(std::uint16_t port, const std::vector<fs::path>& files) {
    std::string line = "storescu -to 10 -ta 10 -td 10 -aet MOD1 -aec TAMSO 127.0.0.1 " + std::to_string(port);
    for (const fs::path& file : files)
        line += " " + test::shellWord(file.string());
    return line;
}

// The Orthanc instances of one modality ("SR" for the reports), by their Orthanc IDs.
std::vector<std::string> instancesOf(const test::Orthanc& orthanc, const std::string& modality) {
    std::vector<std::string> ids;
    for (const std::string& id : orthanc.instances())
        if (orthanc.get("/instances/" + id + "/simplified-tags")
                .find("\"Modality\" : \"" + modality + "\"") != std::string::npos)
            ids.push_back(id);
    return ids;
}

size_t recordCount(const fs::path& work, const std::string& id) {
    auto history = records::loadPatientHistory(work, id);
    return history.ok() ? history->records.size() : 0;
}

// The reports a node says it sent ("dose reports: 2 sent, ..." lines of its log), added up.
int reportsSentByNode(const std::string& log) {
    int sent = 0;
    const std::regex round("dose reports: ([0-9]+) sent");
    for (std::sregex_iterator it(log.begin(), log.end(), round), end; it != end; ++it)
        sent += std::stoi((*it)[1]);
    return sent;
}

// A working folder with the shipped data and a node on it that forwards to Orthanc.
struct NodeWithPacs {
    explicit NodeWithPacs(const test::Orthanc& orthanc) {
        test::copyShippedData(work());
        port = test::freeLoopbackPort();
        args = {"--workdir", work().string(),
                "--port",    std::to_string(port),
                "--aet",     "TAMSO",
                "--allow",   "MOD1",
                "--forward", destinationText(orthanc.destination()),
                "--report-delay", "0"};
    }
    bool start() {
        node = std::make_unique<test::NodeProcess>(args, folder.path() / "node.log");
        return node->waitReady(port, "MOD1", folder.path());
    }
    fs::path image(const std::string& name, const DicomImage& image) {
        const fs::path file = folder.path() / "images" / name;
        fs::create_directories(file.parent_path());
        image.save(file);
        return file;
    }
    int send(const std::vector<fs::path>& files) {
        return test::runTool(storescu(port, files), folder.path());
    }
    ImageLog log() {
        ImageLog log(work());
        EXPECT_TRUE(log.refresh().ok());
        return log;
    }
    fs::path work() const { return folder.path(); }

    TempFolder folder;
    std::uint16_t port = 0;
    std::vector<std::string> args;
    std::unique_ptr<test::NodeProcess> node;
};

// Each recorded image's report arrives with its patient, study, conditions and recorded dose; with
// the PACS down the reports wait, and when it is back (same storage, same port) all arrive, once.
TEST(NodeReportsWithOrthanc, ArriveWithTheImagesValuesWaitWhileThePacsIsDownAndArriveOnce) {
    test::Orthanc orthanc({"TAMSO"});
    NodeWithPacs site(orthanc);
    ::setenv("TAMSO_NODE_TEST_RETRY_SECONDS", "1", 1);
    const bool started = site.start();
    ::unsetenv("TAMSO_NODE_TEST_RETRY_SECONDS");
    ASSERT_TRUE(started) << site.node->log();
    struct Sent {
        const char* id;
        const char* kvp;
        const char* exposureUas;
        std::string uid = test::newUid();
        std::string study = test::newUid();
    };
    std::vector<Sent> sent = {{"R-0001", "60", "1600"}, {"R-0002", "55", "2500"}};
    std::vector<fs::path> files;
    for (const Sent& s : sent)
        files.push_back(site.image(s.id, test::infantImage(s.id, "Yamada^Hanako", s.uid)
                                             .set(DCM_StudyInstanceUID, s.study)
                                             .set(DCM_KVP, s.kvp)
                                             .set(DCM_ExposureInuAs, s.exposureUas)));
    ASSERT_EQ(site.send(files), 0);
    ASSERT_TRUE(waitUntil([&] { return instancesOf(orthanc, "SR").size() == sent.size(); }))
        << site.node->log();
    std::map<std::string, test::ReadReport> byPatient;
    for (const std::string& id : instancesOf(orthanc, "SR")) {
        test::ReadReport r = test::readReport(orthanc.instanceFile(id));
        EXPECT_NE(orthanc.get("/instances/" + id + "/simplified-tags").find(r.studyInstanceUid),
                  std::string::npos);
        byPatient[r.patientId] = r;
    }
    ImageLog log = site.log();
    for (const Sent& s : sent) {
        SCOPED_TRACE(s.id);
        const test::ReadReport& r = byPatient[s.id];
        EXPECT_EQ(r.studyInstanceUid, s.study);
        EXPECT_EQ(r.evidenceInstanceUid, s.uid);
        const ImageEntry* recorded = log.latest(s.uid);
        ASSERT_TRUE(recorded && recorded->outcome == Outcome::Recorded);
        const test::ReportItem* event = r.root.child("Irradiation Event X-Ray Data");
        ASSERT_NE(event, nullptr);
        EXPECT_EQ(event->child("KVP")->value, s.kvp);
        EXPECT_EQ(event->child("Exposure")->value, s.exposureUas);
        EXPECT_EQ(event->child("Exposure")->unit, "uA.s");
        // The dose the report states is the one recorded, to its last digit.
        EXPECT_NE(event->child("Comment")->value.find(": " + recorded->doseMGy + " mGy;"), std::string::npos)
            << event->child("Comment")->value << " / " << recorded->doseMGy;
    }

    orthanc.stop();
    std::vector<fs::path> whileDown;
    for (const char* id : {"W-0001", "W-0002", "W-0003"})
        whileDown.push_back(site.image(id, test::infantImage(id, "Mori^Aoi")));
    ASSERT_EQ(site.send(whileDown), 0);
    Outbox outbox(nodeFolder(site.work()));
    ASSERT_TRUE(waitUntil([&] {
        auto waiting = outbox.waiting();
        return waiting.ok() && waiting->size() == whileDown.size() &&
               std::all_of(waiting->begin(), waiting->end(),
                           [](const OutboxEntry& e) { return e.attempts >= 2; });
    })) << site.node->log(); // tried, and tried again, while it is down
    orthanc.start();
    ASSERT_TRUE(waitUntil([&] { return outbox.waiting()->empty(); })) << site.node->log();
    std::this_thread::sleep_for(1500ms); // a report sent twice would show by now
    const size_t all = sent.size() + whileDown.size();
    EXPECT_EQ(instancesOf(orthanc, "SR").size(), all);
    EXPECT_EQ(outbox.sent()->size(), all);
    EXPECT_EQ(site.node->stop(), 0);
    EXPECT_EQ(reportsSentByNode(site.node->log()), static_cast<int>(all)) << site.node->log();
}

TEST(PullCommand, RefusesWhatItCannotUseBeforeAskingThePacs) {
    TempFolder folder;
    test::copyShippedData(folder.path());
    const std::string unreachable = "PACS@127.0.0.1:" + std::to_string(test::freeLoopbackPort());
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {{"--pull", unreachable, "--aet", "TAMSO", "--from", "2026/02/30"}, 2, "--from: not a date"},
        {{"--pull", unreachable, "--aet", "TAMSO", "--to", "2026013"}, 2, "--to: not a date"},
        {{"--pull", unreachable, "--aet", "TAMSO", "--from", "20260301", "--to", "2026/2/1"},
         2,
         "--from 20260301 is after --to 20260201"},
        {{"--pull", "PACS-at-host", "--aet", "TAMSO"}, 2, "--pull: "},
        {{"--pull", "PACS@host:0", "--aet", "TAMSO"}, 2, "--pull: "},
        {{"--pull", unreachable, "--aet", "SEVENTEEN_LETTERS"}, 2, "--aet: not an AE title"},
        {{"--pull", unreachable}, 2, "needs --aet"},
        {{"--pull", unreachable, "--aet", "TAMSO", "--patient", "../x"}, 2, "--patient"},
        {{"--pull", unreachable, "--aet", "TAMSO", "--kv", "60"}, 2, "--kv does not go with --pull"},
        {{"--pull", unreachable, "--aet", "TAMSO", "--from", "20260101"},
         calc::kExitPacsUnreachable,
         "と接続できません"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"--workdir", folder.path().string()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        SCOPED_TRACE(c.args[1] + " " + (c.args.size() > 2 ? c.args.back() : ""));
        std::ostringstream out, err;
        EXPECT_EQ(calc::runPullCommand(args, out, err), c.status);
        EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
        EXPECT_EQ(out.str(), "");
    }
    EXPECT_FALSE(fs::exists(nodeFolder(folder.path()) / "images.log"));

    const std::pair<const char*, const char*> dates[] = {
        {"2026/01/01", "20260101"}, {"2026-1-2", "20260102"}, {"20240229", "20240229"}, {"20260229", ""},
        {"2026/13/01", ""},         {"202601011", ""},        {"2026.01.01", ""},
    };
    for (const auto& [text, date] : dates)
        EXPECT_EQ(calc::pullDate(text), date) << text;
}

// Stores an image in Orthanc over its REST API, as if the PACS had it from before.
void storeInOrthanc(const test::Orthanc& orthanc, const TempFolder& folder, const DicomImage& image) {
    const fs::path file = folder.path() / "upload.dcm";
    image.save(file);
    orthanc.post("/instances", test::readBytes(file));
}

// The lines of tamso-calc's output that start with the word, each once per image.
size_t linesStartingWith(const std::string& output, const std::string& word) {
    size_t n = 0;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);)
        n += line.rfind(word + "\t", 0) == 0;
    return n;
}

TEST(PullWithOrthanc, BackFillsThePeriodOnceBesideARunningNodeAndHoldsWhatLacksValues) {
    test::Orthanc orthanc({"TAMSO"});
    NodeWithPacs site(orthanc);
    // The site's settings: reports of what tamso-calc records go to the PACS too.
    test::writeBytes(site.work() / "tamso-node.conf",
                     "aet = TAMSO\nforward = " + destinationText(orthanc.destination()) + "\n");
    TempFolder uploads;
    const std::string both = test::newUid(); // in the PACS and sent to the node at the same time
    struct Stored {
        const char* id;
        std::function<void(DicomImage&)> change;
    };
    const Stored stored[] = {
        {"P-0001", [](DicomImage&) {}},
        {"P-0002",
         [](DicomImage& i) {
             i.set(DCM_SOPClassUID, UID_ComputedRadiographyImageStorage)
                 .set(DCM_Modality, "CR")
                 .set(DCM_StudyDate, "20240502")
                 .remove(DCM_PresentationIntentType);
         }},
        {"P-0003", [](DicomImage& i) { i.remove(DCM_KVP); }},                // held
        {"P-0004", [](DicomImage& i) { i.set(DCM_StudyDate, "20240601"); }}, // after the period
        {"P-0005", [&](DicomImage& i) { i.set(DCM_SOPInstanceUID, both); }},
    };
    for (const Stored& s : stored) {
        DicomImage image = test::infantImage(s.id, "Sato^Ren");
        image.set(DCM_StudyInstanceUID, test::newUid());
        s.change(image);
        storeInOrthanc(orthanc, uploads, image);
    }
    ASSERT_TRUE(site.start()) << site.node->log();
    std::vector<fs::path> toNode = {site.image("both", test::infantImage("P-0005", "Sato^Ren", both))};
    for (const char* id : {"Q-0001", "Q-0002", "Q-0003"})
        toNode.push_back(site.image(id, test::infantImage(id, "Sato^Ren")));

    // The node receives while the PACS is asked.
    const std::string pull = "--workdir " + test::shellWord(site.work().string()) + " --pull " +
                             destinationText(orthanc.destination()) +
                             " --aet TAMSO --from 2024/04/01 --to 20240531";
    test::Tool sender(storescu(site.port, toNode), site.folder.path() / "storescu.log");
    const test::ProgramRun first = test::runCalculator(site.folder, pull);
    EXPECT_EQ(sender.wait(), 0) << sender.output();
    EXPECT_EQ(first.status, 0) << first.out << first.err;
    EXPECT_EQ(linesStartingWith(first.out, "recorded") + linesStartingWith(first.out, "already recorded"), 3u)
        << first.out;
    EXPECT_GE(linesStartingWith(first.out, "recorded"), 2u) << first.out;
    EXPECT_EQ(linesStartingWith(first.out, "held"), 1u) << first.out;
    EXPECT_NE(first.out.find("P-0003\t"), std::string::npos);
    EXPECT_NE(first.out.find("管電圧"), std::string::npos) << first.out; // the reason names the value
    EXPECT_EQ(first.out.find("P-0004"), std::string::npos) << first.out;
    EXPECT_NE(first.out.find("summary\t4 found, "), std::string::npos) << first.out;

    ASSERT_TRUE(
        waitUntil([&] { return site.log().isRecorded(both) && recordCount(site.work(), "Q-0003") == 1; }));
    const std::map<std::string, size_t> records = {{"P-0001", 1}, {"P-0002", 1}, {"P-0003", 0},
                                                   {"P-0004", 0}, {"P-0005", 1}, {"Q-0001", 1}};
    for (const auto& [id, count] : records)
        EXPECT_EQ(recordCount(site.work(), id), count) << id;
    auto listed = listReceivedImages(site.work());
    ASSERT_TRUE(listed.ok());
    ASSERT_EQ(listed->held.size(), 1u);
    EXPECT_EQ(listed->held.front().patientId, "P-0003");

    // Again, after a pull killed mid-way left its folder: nothing is fetched or logged anew, every
    // recorded image says so with its dose, and the leftover goes.
    const fs::path leftover = nodeFolder(site.work()) / "pull-1-1";
    fs::create_directories(leftover);
    test::writeBytes(leftover / "x.dcm", "header");
    const size_t logged = readImageLogEntries(site.work(), 0)->size();
    const test::ProgramRun second = test::runCalculator(site.folder, pull);
    EXPECT_FALSE(fs::exists(leftover));
    EXPECT_EQ(readImageLogEntries(site.work(), 0)->size(), logged);
    for (const std::string& line : textio::splitLines(second.out))
        if (line.rfind("already recorded", 0) == 0) {
            EXPECT_NE(line.find(" mGy\trecord "), std::string::npos) << line;
        }
    EXPECT_EQ(second.status, 0) << second.out << second.err;
    EXPECT_EQ(linesStartingWith(second.out, "already recorded"), 3u) << second.out;
    EXPECT_EQ(linesStartingWith(second.out, "recorded"), 0u) << second.out;
    EXPECT_EQ(linesStartingWith(second.out, "held"), 1u) << second.out;
    for (const auto& [id, count] : records)
        EXPECT_EQ(recordCount(site.work(), id), count) << id;

    // The report of every recorded image reaches the PACS, once, whoever recorded it.
    Outbox outbox(nodeFolder(site.work()));
    EXPECT_TRUE(waitUntil([&] {
        return outbox.waiting()->empty() && instancesOf(orthanc, "SR").size() == 6;
    })) << instancesOf(orthanc, "SR").size()
        << site.node->log();
    EXPECT_EQ(outbox.sent()->size(), 6u);
    EXPECT_EQ(site.node->stop(), 0);
    EXPECT_TRUE(fs::is_empty(nodeFolder(site.work()) / "inbox"));
    for (const auto& entry : fs::directory_iterator(nodeFolder(site.work())))
        EXPECT_NE(entry.path().filename().string().rfind("pull-", 0), 0u) << entry.path();
}

} // namespace
} // namespace tamso::node
