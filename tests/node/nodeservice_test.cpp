// The receiving service as a site runs it: the built tamso-node on a loopback port, images sent by
// DCMTK's own storescu (a client nobody here wrote), records, receipt log and held list read back
// from the working folder. Four senders at once, resends, derived copies, wrong infants, missing
// values, who may send, TLS, a kill -9 in the middle of a burst, peers that stall or hold
// associations, and a second node on the same folder.

#include "node/imagelog.h"
#include "node/nodefolders.h"
#include "dicompeers.h"
#include "receivedimages.h"
#include "records/patienthistory.h"
#include "records/patientrecordsave.h"
#include "records_testsupport.h"
#include "textio/fileio.h"
#include "textio/numbertext.h"

#include <dcmtk/config/osconfig.h>

#include <dcmtk/dcmnet/scu.h>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <thread>

namespace tamso::node {
namespace {

using test::DicomImage;
using test::shellWord;
using test::TempFolder;

constexpr std::chrono::seconds kProcessingTimeout{30};

std::string storescu(const std::string& callingAe, std::uint16_t port, const std::vector<fs::path>& files,
                     const std::string& extra = {}) {
    std::string line = "storescu -v -to 10 -ta 10 -td 10 " + extra + " -aet " + shellWord(callingAe) +
                       " -aec TAMSO 127.0.0.1 " + std::to_string(port);
    for (const fs::path& file : files)
        line += " " + shellWord(file.string());
    return line;
}

std::vector<records::PatientRecord> recordsOf(const fs::path& work, const std::string& id) {
    auto history = records::loadPatientHistory(work, id);
    return history.ok() ? history->records : std::vector<records::PatientRecord>{};
}

// Waits until every UID has an entry in the node's log; returns the log read then.
std::unique_ptr<ImageLog> waitForEntries(const fs::path& work, const std::vector<std::string>& uids) {
    const auto end = std::chrono::steady_clock::now() + kProcessingTimeout;
    for (;;) {
        auto log = std::make_unique<ImageLog>(work);
        EXPECT_TRUE(log->refresh().ok());
        bool all = true;
        for (const std::string& uid : uids)
            all = all && log->latest(uid);
        if (all || std::chrono::steady_clock::now() > end) {
            EXPECT_TRUE(all) << "the node did not process every image in time";
            return log;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

// A working folder with the shipped data, a node on it and images written for the test.
class ServiceFixture {
public:
    explicit ServiceFixture(std::vector<std::string> extraArgs = {}) {
        test::copyShippedData(work());
        port = test::freeLoopbackPort();
        args = {"--workdir", work().string(), "--port",  std::to_string(port),
                "--aet",     "TAMSO",         "--allow", "MOD1,MOD2,MOD3,MOD4"};
        args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    }
    bool start(std::uint16_t readyPort = 0, const std::string& readyAe = "MOD1") {
        node = std::make_unique<test::NodeProcess>(args, folder.path() /
                                                             ("node-" + std::to_string(++starts) + ".log"));
        return node->waitReady(readyPort ? readyPort : port, readyAe, folder.path());
    }
    fs::path work() const { return folder.path(); }
    fs::path image(const std::string& name, const DicomImage& image) {
        const fs::path file = folder.path() / "images" / name;
        fs::create_directories(file.parent_path());
        image.save(file);
        return file;
    }
    std::string send(const std::string& ae, const std::vector<fs::path>& files, int* status = nullptr,
                     const std::string& extra = {}) {
        std::string output;
        const int s = test::runTool(storescu(ae, port, files, extra), folder.path(), &output);
        if (status)
            *status = s;
        return output;
    }

    TempFolder folder;
    std::uint16_t port = 0;
    std::vector<std::string> args;
    std::unique_ptr<test::NodeProcess> node;
    int starts = 0;
};

// One node for the tests of ordinary traffic; each test uses infants of its own.
class NodeService : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        fixture = new ServiceFixture({"--max-object-mb", "1"});
        test::RecordingPrompts prompts;
        records::PatientRecordState state;
        ASSERT_TRUE(records::savePatientRecord(fixture->work(), "M-01", "鈴木 一郎", test::sampleRecord(),
                                               prompts, state));
        ASSERT_TRUE(fixture->start()) << fixture->node->log();
    }
    static void TearDownTestSuite() {
        EXPECT_EQ(fixture->node->stop(), 0) << fixture->node->log();
        const std::string log = fixture->node->log();
        EXPECT_NE(log.find("stopped"), std::string::npos) << log;
        delete fixture;
        fixture = nullptr;
    }
    static ServiceFixture* fixture;
};
ServiceFixture* NodeService::fixture = nullptr;

TEST_F(NodeService, FourSendersAtOnceEachInfantGetsItsRecords) {
    ServiceFixture& f = *fixture;
    std::vector<std::unique_ptr<test::Tool>> senders;
    std::vector<std::string> uids;
    std::map<std::string, std::vector<std::string>> mAsById;
    for (int s = 1; s <= 4; ++s) {
        std::vector<fs::path> files;
        const std::string id = "F-0" + std::to_string(s);
        for (int k = 0; k < 6; ++k) {
            uids.push_back(test::newUid());
            const std::string uAs = std::to_string(1000 + 100 * s + 10 * k);
            mAsById[id].push_back(textio::numberToText(std::stoi(uAs) / 1000.0));
            files.push_back(f.image(id + "-" + std::to_string(k) + ".dcm",
                                    test::infantImage(id, "Baby^No" + std::to_string(s), uids.back())
                                        .set(DCM_ExposureInuAs, uAs)));
        }
        senders.push_back(
            std::make_unique<test::Tool>(storescu("MOD" + std::to_string(s), f.port, files),
                                         f.folder.path() / ("sender" + std::to_string(s) + ".txt")));
    }
    for (auto& sender : senders)
        EXPECT_EQ(sender->wait(), 0) << sender->output();
    auto log = waitForEntries(f.work(), uids);
    for (const std::string& uid : uids)
        EXPECT_TRUE(log->isRecorded(uid)) << uid;
    for (const auto& [id, values] : mAsById) {
        const auto stored = recordsOf(f.work(), id);
        ASSERT_EQ(stored.size(), 6u) << id;
        // Each infant's records in the order its sender sent them.
        for (size_t k = 0; k < stored.size(); ++k)
            EXPECT_EQ(records::listValueText(stored[k].mAs), values[k]) << id << " record " << k + 1;
        EXPECT_EQ(stored[0].technologist, "");
        EXPECT_EQ(stored[0].bodyPart, "胸部正面");
    }
    // One line per association in the node's log.
    const std::string nodeLog = f.node->log();
    for (int s = 1; s <= 4; ++s)
        EXPECT_NE(nodeLog.find("association from MOD" + std::to_string(s) +
                               " (127.0.0.1): 6 image(s) stored, released"),
                  std::string::npos)
            << nodeLog;
}

TEST_F(NodeService, ResendsDerivedCopiesWrongInfantsAndMissingValues) {
    ServiceFixture& f = *fixture;
    const std::string uid = test::newUid(), derived = test::newUid(), wrong = test::newUid(),
                      noKv = test::newUid();
    const fs::path original = f.image("r1.dcm", test::infantImage("R-01", "Kudo^Rin", uid));
    int status = 0;
    f.send("MOD2", {original}, &status);
    EXPECT_EQ(status, 0);
    f.send("MOD2",
           {original,
            f.image("r2.dcm",
                    test::infantImage("R-01", "Kudo^Rin", derived).set(DCM_ImageType, "DERIVED\\SECONDARY")),
            f.image("m1.dcm", test::infantImage("M-01", "Yamada^Hanako", wrong)),
            f.image("r3.dcm", test::infantImage("R-01", "Kudo^Rin", noKv).remove(DCM_KVP))},
           &status);
    EXPECT_EQ(status, 0); // every image is acknowledged: held ones wait for the report
    auto log = waitForEntries(f.work(), {uid, derived, wrong, noKv});
    EXPECT_EQ(recordsOf(f.work(), "R-01").size(), 1u);
    EXPECT_EQ(recordsOf(f.work(), "M-01").size(), 1u); // only the record saved before
    EXPECT_EQ(log->latest(derived)->outcome, Outcome::Derived);

    auto listed = listReceivedImages(f.work());
    ASSERT_TRUE(listed.ok());
    std::map<std::string, std::string> held;
    for (const ImageEntry& e : listed->held)
        held[e.sopInstanceUid] = e.reason;
    ASSERT_EQ(held.count(wrong), 1u);
    EXPECT_NE(held[wrong].find("鈴木 一郎"), std::string::npos) << held[wrong];
    ASSERT_EQ(held.count(noKv), 1u);
    EXPECT_NE(held[noKv].find("管電圧"), std::string::npos) << held[noKv];

    // The receipt log has a row for each image received, with its outcome: the resend too. Its rows
    // follow the node's log.
    std::string receipts;
    for (auto end = std::chrono::steady_clock::now() + kProcessingTimeout; std::chrono::steady_clock::now() < end;
         std::this_thread::sleep_for(std::chrono::milliseconds(20))) {
        receipts = test::readBytes(textio::fileInFolder(f.work(), kReceiptLogName));
        if (receipts.find("," + noKv + ",") != std::string::npos && receipts.find("," + wrong + ",") != std::string::npos)
            break;
    }
    EXPECT_EQ(receipts.rfind("\xEF\xBB\xBF", 0), 0u);
    auto rowsOf = [&](const std::string& u) {
        std::vector<std::string> rows;
        for (const std::string& line : textio::splitLines(receipts))
            if (line.find("," + u + ",") != std::string::npos)
                rows.push_back(line);
        return rows;
    };
    ASSERT_EQ(rowsOf(uid).size(), 2u);
    EXPECT_NE(rowsOf(uid)[0].find(",recorded,1,"), std::string::npos) << rowsOf(uid)[0];
    EXPECT_NE(rowsOf(uid)[1].find(",duplicate,1,"), std::string::npos) << rowsOf(uid)[1];
    EXPECT_NE(rowsOf(derived).at(0).find(",derived,"), std::string::npos);
    EXPECT_NE(rowsOf(noKv).at(0).find(",held,"), std::string::npos);
}

// The dose recorded is the one tamso-calc computes for the same conditions.
TEST_F(NodeService, RecordedDoseIsTamsoCalcsForTheSameConditions) {
    ServiceFixture& f = *fixture;
    const std::string uid = test::newUid();
    f.send("MOD3", {f.image("k.dcm", test::infantImage("K-01", "Sano^Ema", uid)
                                         .set(DCM_KVP, "55")
                                         .set(DCM_ExposureInuAs, "2000")
                                         .set(DCM_BodyPartThickness, "75"))});
    auto log = waitForEntries(f.work(), {uid});
    ASSERT_TRUE(log->isRecorded(uid));
    std::string out;
    ASSERT_EQ(test::runTool(test::quotedArgument(test::calculatorProgram()) + " --workdir " +
                                shellWord(f.work().string()) + " --kv 55 --mas 2 --ffd 100 --thickness 7.5",
                            f.folder.path(), &out),
              0);
    const auto stored = recordsOf(f.work(), "K-01");
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_NE(out.find("entrance_surface_dose_mgy " + log->latest(uid)->doseMGy + "\n"), std::string::npos)
        << out;
    EXPECT_EQ(records::listValueLine(stored[0].entranceSurfaceDoseMGy),
              records::listValueLine(*textio::parseNumber(log->latest(uid)->doseMGy)));
}

// Only the allowed calling AE titles, only radiographs, nothing above the size limit; no malformed
// PDU stops the service.
TEST_F(NodeService, WhoMaySendWhat) {
    ServiceFixture& f = *fixture;
    int status = 0;
    const std::string stranger = test::newUid();
    std::string out =
        f.send("STRANGER", {f.image("s.dcm", test::infantImage("S-01", "Ota^Jun", stranger))}, &status);
    EXPECT_NE(status, 0);
    EXPECT_NE(out.find("Calling AE Title Not Recognized"), std::string::npos) << out;

    DicomImage report = test::infantImage("S-01", "Ota^Jun");
    report.set(DCM_SOPClassUID, UID_BasicTextSRStorage).set(DCM_Modality, "SR");
    out = f.send("MOD1", {f.image("sr.dcm", report)}, &status, "-R");
    EXPECT_NE(status, 0) << out;

    DicomImage big = test::infantImage("S-01", "Ota^Jun");
    big.pixels(1024, 1024); // 2 MiB, above the limit of 1
    out = f.send("MOD1", {f.image("big.dcm", big)}, &status);
    EXPECT_NE(status, 0) << out;

    // Bytes that are no PDU at all, and an association request whose lengths lie.
    for (const char* bytes :
         {"GET / HTTP/1.0\\r\\n\\r\\n", "\\001\\000\\000\\000\\377\\377\\000\\001garbage"})
        EXPECT_EQ(
            test::runTool("bash -c " + shellWord("exec 3<>/dev/tcp/127.0.0.1/" + std::to_string(f.port) +
                                                 "; printf '" + bytes + "' >&3; sleep 0.2; exec 3>&-"),
                          f.folder.path()),
            0);
    // The node goes on: an allowed image afterwards is recorded.
    const std::string after = test::newUid();
    f.send("MOD1", {f.image("after.dcm", test::infantImage("S-01", "Ota^Jun", after))}, &status);
    EXPECT_EQ(status, 0);
    auto log = waitForEntries(f.work(), {after});
    EXPECT_TRUE(log->isRecorded(after));
    EXPECT_EQ(log->latest(stranger), nullptr);
    EXPECT_EQ(recordsOf(f.work(), "S-01").size(), 1u);
    const std::string nodeLog = f.node->log();
    EXPECT_NE(nodeLog.find(
                  "association from STRANGER (127.0.0.1): refused: calling AE title STRANGER is not allowed"),
              std::string::npos)
        << nodeLog;
    EXPECT_NE(nodeLog.find("refused: none of the offered SOP classes is received (BasicTextSRStorage)"),
              std::string::npos)
        << nodeLog;
    EXPECT_NE(nodeLog.find("refused: larger than the limit of 1 MiB"), std::string::npos) << nodeLog;
}

// Associations beyond the limit are refused while the others run; once one ends, the next is taken.
TEST(NodeServiceLimits, AssociationsBeyondTheLimitAreRefused) {
    ServiceFixture f({"--max-associations", "1"});
    ASSERT_TRUE(f.start()) << f.node->log();
    DcmSCU held; // an association kept open by this test
    held.setAETitle("MOD2");
    held.setPeerHostName("127.0.0.1");
    held.setPeerPort(f.port);
    held.setPeerAETitle("TAMSO");
    OFList<OFString> syntaxes;
    syntaxes.push_back(UID_LittleEndianExplicitTransferSyntax);
    held.addPresentationContext(UID_VerificationSOPClass, syntaxes);
    ASSERT_TRUE(held.initNetwork().good());
    ASSERT_TRUE(held.negotiateAssociation().good());
    int status = 0;
    const fs::path image = f.image("l.dcm", test::infantImage("L-01", "Mori^Ken"));
    std::string out = f.send("MOD1", {image}, &status);
    EXPECT_NE(status, 0);
    EXPECT_NE(out.find("Local Limit Exceeded"), std::string::npos) << out;
    held.releaseAssociation();
    f.send("MOD1", {image}, &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(f.node->log().find("refused: 1 associations at once already"), std::string::npos)
        << f.node->log();
    EXPECT_EQ(f.node->stop(), 0);
}

// TLS with certificates made by the test: a sender with a client certificate signed by the trusted
// CA is received; one without a certificate, or speaking plain TCP to the TLS port, is not.
TEST(NodeServiceTls, CertificatesDecideWhoIsReceived) {
    TempFolder certs;
    const std::string dir = shellWord(certs.path().string());
    const std::string script = "set -e; cd " + dir +
                               "; openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days "
                               "2 -subj /CN=test-ca 2>/dev/null"
                               "; for n in server client; do openssl req -newkey rsa:2048 -nodes -keyout "
                               "$n.key -out $n.csr -subj /CN=$n "
                               "2>/dev/null; openssl x509 -req -in $n.csr -CA ca.pem -CAkey ca.key "
                               "-CAcreateserial -out $n.pem -days 2 "
                               "2>/dev/null; done";
    ASSERT_EQ(test::runTool(script, certs.path()), 0);
    const std::uint16_t tlsPort = test::freeLoopbackPort();
    ServiceFixture f({"--tls-port", std::to_string(tlsPort), "--tls-certificate",
                      (certs.path() / "server.pem").string(), "--tls-private-key",
                      (certs.path() / "server.key").string(), "--tls-trusted-certificates",
                      (certs.path() / "ca.pem").string()});
    ASSERT_TRUE(f.start()) << f.node->log();
    const std::string uid = test::newUid();
    const fs::path image = f.image("t.dcm", test::infantImage("T-01", "Hara^Nao", uid));
    const std::string tls = "+tls " + shellWord((certs.path() / "client.key").string()) + " " +
                            shellWord((certs.path() / "client.pem").string()) + " +cf " +
                            shellWord((certs.path() / "ca.pem").string());
    auto sendTls = [&](const std::string& options) {
        std::string out;
        const int status =
            test::runTool("storescu -v -to 10 -ta 10 -td 10 " + options + " -aet MOD1 -aec TAMSO 127.0.0.1 " +
                              std::to_string(tlsPort) + " " + shellWord(image.string()),
                          f.folder.path(), &out);
        return std::make_pair(status, out);
    };
    const auto anonymous = sendTls("+tla -ic");
    EXPECT_NE(anonymous.first, 0) << anonymous.second;
    const auto plain = sendTls("");
    EXPECT_NE(plain.first, 0) << plain.second;
    const auto withCertificate = sendTls(tls);
    EXPECT_EQ(withCertificate.first, 0) << withCertificate.second << f.node->log();
    auto log = waitForEntries(f.work(), {uid});
    EXPECT_TRUE(log->isRecorded(uid));
    EXPECT_EQ(recordsOf(f.work(), "T-01").size(), 1u);
    EXPECT_EQ(f.node->stop(), 0);
}

// kill -9 in the middle of a burst from four senders, then a restart: every image a sender saw
// acknowledged is recorded exactly once, no image twice; sent again, every image is recorded once.
TEST(NodeServiceCrash, KillDuringABurstLosesAndDuplicatesNothing) {
    ServiceFixture f;
    ASSERT_TRUE(f.start()) << f.node->log();
    constexpr int kSenders = 4, kImages = 25;
    std::vector<std::vector<fs::path>> files(kSenders);
    std::map<std::string, std::pair<std::string, std::string>> byFile; // file -> (ID, mAs text)
    for (int s = 0; s < kSenders; ++s)
        for (int k = 0; k < kImages; ++k) {
            const std::string id = "X-" + std::to_string(s);
            const int uAs = 1000 + 10 * k;
            files[s].push_back(f.image(id + "-" + std::to_string(k) + ".dcm",
                                       test::infantImage(id, "Crash^Test", test::newUid())
                                           .set(DCM_ExposureInuAs, std::to_string(uAs))));
            byFile[files[s].back().string()] = {id, textio::numberToText(uAs / 1000.0)};
        }
    std::vector<std::unique_ptr<test::Tool>> senders;
    for (int s = 0; s < kSenders; ++s)
        senders.push_back(
            std::make_unique<test::Tool>(storescu("MOD" + std::to_string(s + 1), f.port, files[s]),
                                         f.folder.path() / ("burst" + std::to_string(s) + ".txt")));
    // Kill once a part of the burst is logged.
    const auto end = std::chrono::steady_clock::now() + kProcessingTimeout;
    for (;;) {
        ImageLog log(f.work());
        ASSERT_TRUE(log.refresh().ok());
        if (log.lastNumber() >= 20 || std::chrono::steady_clock::now() > end)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    f.node->kill();
    std::set<std::string> acknowledged;
    for (auto& sender : senders) {
        sender->wait();
        for (const std::string& file : test::acknowledgedFiles(sender->output()))
            acknowledged.insert(file);
    }
    ASSERT_FALSE(acknowledged.empty());

    ASSERT_TRUE(f.start()) << f.node->log();
    // The restart finishes the work of the inbox; then each acknowledged image is in its infant's
    // records exactly once (each image's mAs is its own), and no image is there twice.
    auto countsNow = [&] {
        std::map<std::pair<std::string, std::string>, int> counts;
        for (int s = 0; s < kSenders; ++s)
            for (const auto& r : recordsOf(f.work(), "X-" + std::to_string(s)))
                ++counts[{"X-" + std::to_string(s), records::listValueText(r.mAs)}];
        return counts;
    };
    const auto settle = std::chrono::steady_clock::now() + kProcessingTimeout;
    while (!fs::is_empty(nodeFolder(f.work()) / "inbox") && std::chrono::steady_clock::now() < settle)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    auto counts = countsNow();
    for (const std::string& file : acknowledged)
        EXPECT_EQ(counts[byFile[file]], 1) << file;
    for (const auto& [image, n] : counts)
        EXPECT_EQ(n, 1) << image.first << " " << image.second;

    // Everything sent again: the images not acknowledged before are recorded now, the others are
    // duplicates.
    senders.clear();
    for (int s = 0; s < kSenders; ++s)
        senders.push_back(
            std::make_unique<test::Tool>(storescu("MOD" + std::to_string(s + 1), f.port, files[s]),
                                         f.folder.path() / ("again" + std::to_string(s) + ".txt")));
    for (auto& sender : senders)
        EXPECT_EQ(sender->wait(), 0) << sender->output();
    // Wait until the resent images are all logged: as many entries as images after the restart.
    const auto done = std::chrono::steady_clock::now() + kProcessingTimeout;
    while (std::chrono::steady_clock::now() < done) {
        int total = 0;
        for (const auto& [image, n] : countsNow())
            total += n;
        if (total == kSenders * kImages && fs::is_empty(nodeFolder(f.work()) / "inbox"))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    counts = countsNow();
    EXPECT_EQ(counts.size(), static_cast<size_t>(kSenders * kImages));
    for (const auto& [image, n] : counts)
        EXPECT_EQ(n, 1) << image.first << " " << image.second;
    EXPECT_EQ(f.node->stop(), 0) << f.node->log();
}


// ---------------------------------------------------------------------------------------------
// Peers that stall, hold associations or share the folder.

// A TCP connection to the loopback port that sends the given bytes, then nothing.
int silentPeer(std::uint16_t port, const std::string& bytes = {}) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    if (!bytes.empty()) {
        EXPECT_EQ(::send(s, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
    }
    return s;
}

double secondsOf(const std::function<int()>& run, int& status) {
    const auto start = std::chrono::steady_clock::now();
    status = run();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Bare connections, a half-sent association request and a TLS connection without its ClientHello
// delay no other sender, plain or TLS; the node closes each once its request time has passed.
TEST(NodeServiceStalls, NoPeerDelaysAnother) {
    TempFolder certs;
    ASSERT_EQ(test::runTool("cd " + shellWord(certs.path().string()) +
                                "; openssl req -x509 -newkey rsa:2048 -nodes -keyout k.pem -out c.pem -days 1 "
                            "-subj /CN=node 2>/dev/null",
                            certs.path()),
              0);
    const std::uint16_t tlsPort = test::freeLoopbackPort();
    ServiceFixture f({"--tls-port", std::to_string(tlsPort), "--tls-certificate", (certs.path() / "c.pem").string(),
                      "--tls-private-key", (certs.path() / "k.pem").string(), "--request-timeout", "2"});
    ASSERT_TRUE(f.start()) << f.node->log();
    std::vector<int> stalled;
    for (int i = 0; i < 20; ++i)
        stalled.push_back(silentPeer(f.port));
    stalled.push_back(silentPeer(f.port, std::string("\x01\x00\x00\x00\x00\xCD\x00\x01", 8))); // half a request
    for (int i = 0; i < 3; ++i)
        stalled.push_back(silentPeer(tlsPort)); // no ClientHello
    const std::string echo = "echoscu -to 5 -ta 5 -td 5 -aet MOD1 -aec TAMSO ";
    for (const std::string& line :
         {echo + "127.0.0.1 " + std::to_string(f.port), echo + "+tla -ic 127.0.0.1 " + std::to_string(tlsPort)}) {
        int status = -1;
        const double took = secondsOf([&] { return test::runTool(line, f.folder.path()); }, status);
        EXPECT_EQ(status, 0) << line;
        EXPECT_LT(took, 1.0) << line;
    }
    // Each stalled connection is ended by the node after its 2 s (closed, or an abort or TLS alert
    // first), not held.
    timeval wait{6, 0};
    for (int s : {stalled.front(), stalled[20], stalled.back()}) {
        ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        char byte = 0;
        int status = 0;
        const double took = secondsOf([&] { return static_cast<int>(::recv(s, &byte, 1, 0)); }, status);
        EXPECT_NE(status, -1) << s; // -1: this side's own 6 s ran out
        EXPECT_LT(took, 4.0) << s;
    }
    for (int s : stalled)
        ::close(s);
    EXPECT_NE(f.node->log().find("127.0.0.1 on port " + std::to_string(f.port) + " closed"), std::string::npos)
        << f.node->log();
    EXPECT_EQ(f.node->stop(), 0);
}

// A host that holds associations leaves the last free one to another host and has at most its
// share; an association that sends no command is closed after idle-timeout, and the sender is in.
TEST(NodeServiceLimits, AHostKeepsItsShareAndIdleAssociationsAreClosed) {
    struct Case {
        std::vector<std::string> args;
        std::string refusal;
    };
    for (const Case& c : std::vector<Case>{
             {{"--max-associations", "2"}, "the last free association is kept for another host"},
             {{"--max-associations-per-host", "1"}, "1 associations from 127.0.0.1 at once already"}}) {
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--idle-timeout", "1"});
        ServiceFixture f(args);
        ASSERT_TRUE(f.start()) << f.node->log();
        DcmSCU held;
        held.setAETitle("MOD2");
        held.setPeerHostName("127.0.0.1");
        held.setPeerPort(f.port);
        held.setPeerAETitle("TAMSO");
        OFList<OFString> syntaxes;
        syntaxes.push_back(UID_LittleEndianExplicitTransferSyntax);
        held.addPresentationContext(UID_VerificationSOPClass, syntaxes);
        ASSERT_TRUE(held.initNetwork().good());
        ASSERT_TRUE(held.negotiateAssociation().good());
        const fs::path image = f.image("h.dcm", test::infantImage("H-01", "Ono^Aki"));
        int status = 0;
        EXPECT_NE(f.send("MOD1", {image}, &status).find("Local Limit Exceeded"), std::string::npos);
        EXPECT_NE(f.node->log().find("refused: " + c.refusal), std::string::npos) << f.node->log();
        std::this_thread::sleep_for(std::chrono::milliseconds(2600)); // looked at each second
        EXPECT_NE(f.node->log().find("closed: no command for 1 s"), std::string::npos) << f.node->log();
        f.send("MOD1", {image}, &status);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(f.node->stop(), 0);
    }
}

// A second node on the folder is refused with the first one's process; every file the node writes
// is writable by the group under the shipped unit's umask 0007.
TEST(NodeServiceFolder, OneNodePerFolderAndGroupWritableFiles) {
    ServiceFixture f;
    const mode_t before = ::umask(007);
    const bool started = f.start();
    ::umask(before);
    ASSERT_TRUE(started) << f.node->log();
    const std::uint16_t otherPort = test::freeLoopbackPort();
    test::NodeProcess second({"--workdir", f.work().string(), "--port", std::to_string(otherPort), "--allow", "MOD1"},
                             f.folder.path() / "second.log");
    EXPECT_FALSE(second.waitReady(otherPort, "MOD1", f.folder.path(), std::chrono::seconds(5)));
    EXPECT_EQ(second.stop(), 2);
    auto pid = textio::readFileBytes(f.work() / "tamso-node" / "service.lock");
    ASSERT_TRUE(pid.ok());
    EXPECT_NE(second.log().find("すでに別の tamso-node が動いています（プロセス ID " + pid->substr(0, pid->find('\n'))),
              std::string::npos)
        << second.log();

    const std::string recorded = test::newUid(), held = test::newUid();
    f.send("MOD1", {f.image("r.dcm", test::infantImage("G-01", "Goto^Mai", recorded)),
                    f.image("u.dcm", test::infantImage("", "Goto^Mai", held))});
    waitForEntries(f.work(), {recorded, held});
    std::vector<fs::path> files{textio::fileInFolder(f.work(), "受信記録.csv"), f.work() / "G-01.pat"};
    for (const auto& entry : fs::recursive_directory_iterator(f.work() / "tamso-node"))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    EXPECT_GE(files.size(), 6u);
    for (const fs::path& file : files) {
        struct stat status {};
        ASSERT_EQ(::stat(file.c_str(), &status), 0) << file;
        EXPECT_EQ(status.st_mode & 0660, 0660u) << file;
    }
    EXPECT_EQ(f.node->stop(), 0);
}

} // namespace
} // namespace tamso::node
