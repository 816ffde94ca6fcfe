// The outbox of the dose reports: destinations as a site writes them, the waits between attempts,
// what is kept on disk across restarts, one destination down while another takes the reports,
// acknowledged reports never sent again, one sender at a time, and the sending thread.

#include "node/outbox.h"
#include "nodetestsupport.h"
#include "records/recordfilelock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace tamso;
using namespace std::chrono_literals;
using node::Clock;
using node::Destination;
using node::StoreOutcome;

namespace {

const Clock::time_point kStart{std::chrono::seconds(1'700'000'000)};

TEST(Outbox, DestinationsAsTheSiteWritesThem) {
    struct Case {
        const char* text;
        bool ok;
        Destination expected;
    };
    const Case cases[] = {
        {"PACS@10.0.0.5:104", true, {"PACS", "10.0.0.5", 104}},
        {"DOSE_REG@pacs.hospital.local:11112", true, {"DOSE_REG", "pacs.hospital.local", 11112}},
        {"PACS@[::1]:4242", true, {"PACS", "::1", 4242}},
        {"PACS@host", false, {}},
        {"@host:104", false, {}},
        {"AE_TITLE_LONGER_THAN16@host:104", false, {}},
        {"PA\\CS@host:104", false, {}},
        {"PACS@host:0", false, {}},
        {"PACS@host:65536", false, {}},
        {"PACS@host:10x", false, {}},
        {"PACS@:104", false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        auto d = node::parseDestination(c.text);
        ASSERT_EQ(d.ok(), c.ok);
        if (!c.ok) {
            EXPECT_NE(d.error().message().find(c.text), std::string::npos);
            continue;
        }
        EXPECT_TRUE(*d == c.expected);
        EXPECT_EQ(node::destinationText(*d), c.text);
    }
}

// A destination for the tests: acknowledges or fails every file, and counts what it was sent.
struct FakePeer {
    bool up = true;
    std::uint16_t status = 0x0000;
    int filesSent = 0;
    std::vector<std::string> sopInstanceUids;
};

struct OutboxTest : ::testing::Test {
    test::TempFolder folder;
    node::Outbox outbox{folder.path() / "tamso-node", node::OutboxOptions{30s, 100s}};
    std::map<std::string, FakePeer> peers{{"PACS@127.0.0.1:104", {}}, {"REG@127.0.0.1:105", {}}};
    const Destination pacs{"PACS", "127.0.0.1", 104};
    const Destination registry{"REG", "127.0.0.1", 105};

    node::ReportSender sender() {
        return [this](const Destination& d, const std::vector<node::fs::path>& files) {
            FakePeer& peer = peers.at(node::destinationText(d));
            std::vector<StoreOutcome> outcomes;
            for (const auto& file : files) {
                if (!peer.up) {
                    outcomes.push_back({false, 0, "接続できません"});
                    continue;
                }
                ++peer.filesSent;
                peer.sopInstanceUids.push_back(file.stem().string());
                const bool stored = peer.status == 0x0000 || peer.status == 0xB000;
                outcomes.push_back({stored, peer.status, stored ? "" : "保存されませんでした"});
            }
            return outcomes;
        };
    }
    node::DoseReport report() {
        auto r = node::buildDoseReport(test::sampleReportInput());
        EXPECT_TRUE(r.ok());
        return *r;
    }
};

TEST_F(OutboxTest, FailedAttemptsWaitTwiceAsLongEachTimeUpToTheLongest) {
    peers.at("PACS@127.0.0.1:104").up = false;
    ASSERT_TRUE(outbox.enqueue(report(), {pacs}, "N-0001", kStart).ok());
    // Attempt at the due time each round: 30 s, then 60 s, then 100 s (the longest) and so on.
    const int expectedWaits[] = {30, 60, 100, 100};
    auto now = kStart;
    for (int i = 0; i < 4; ++i) {
        auto round = outbox.sendDue(sender(), now);
        ASSERT_TRUE(round.ok());
        EXPECT_EQ(round->failed, 1);
        auto waiting = outbox.waiting();
        ASSERT_EQ(waiting->size(), 1u);
        EXPECT_EQ(waiting->front().attempts, i + 1);
        EXPECT_EQ(waiting->front().nextAttempt - Clock::to_time_t(now), expectedWaits[i]);
        EXPECT_EQ(waiting->front().lastError, "接続できません");
        // Not yet due one second before: nothing is tried.
        now += std::chrono::seconds(expectedWaits[i]);
        EXPECT_EQ(outbox.sendDue(sender(), now - 1s)->failed, 0);
    }
}

TEST_F(OutboxTest, OneDestinationDownTheOtherTakesItsReportsAndNothingIsSentTwice) {
    peers.at("REG@127.0.0.1:105").up = false;
    const node::DoseReport first = report();
    const node::DoseReport second = report();
    ASSERT_TRUE(outbox.enqueue(first, {pacs, registry}, "N-0001", kStart).ok());
    ASSERT_TRUE(outbox.enqueue(second, {pacs, registry}, "N-0002", kStart).ok());
    ASSERT_EQ(outbox.waiting()->size(), 4u);

    auto round = outbox.sendDue(sender(), kStart);
    EXPECT_EQ(round->acknowledged, 2);
    EXPECT_EQ(round->failed, 2);
    EXPECT_EQ(peers.at("PACS@127.0.0.1:104").sopInstanceUids,
              (std::vector<std::string>{first.sopInstanceUid, second.sopInstanceUid}));

    // A restart: a new outbox on the same folder knows what waits and what was sent.
    node::Outbox restarted(folder.path() / "tamso-node", node::OutboxOptions{30s, 100s});
    auto waiting = restarted.waiting();
    ASSERT_EQ(waiting->size(), 2u);
    for (const auto& e : *waiting) {
        EXPECT_EQ(e.destination, "REG@127.0.0.1:105");
        EXPECT_EQ(e.attempts, 1);
    }
    EXPECT_EQ(waiting->front().label, "N-0001");
    EXPECT_EQ(restarted.sent()->size(), 2u);

    peers.at("REG@127.0.0.1:105").up = true;
    EXPECT_EQ(restarted.sendDue(sender(), kStart + 30s)->acknowledged, 2);
    EXPECT_EQ(restarted.sendDue(sender(), kStart + 1h)->acknowledged, 0);
    EXPECT_EQ(peers.at("PACS@127.0.0.1:104").filesSent, 2);
    EXPECT_EQ(peers.at("REG@127.0.0.1:105").filesSent, 2);
    EXPECT_TRUE(restarted.waiting()->empty());
    const auto sent = restarted.sent();
    ASSERT_EQ(sent->size(), 4u);
    EXPECT_EQ(sent->front().acknowledged, Clock::to_time_t(kStart + 30s));
    const node::DoseReport& sentReport =
        sent->front().sopInstanceUid == first.sopInstanceUid ? first : second;
    EXPECT_EQ(test::readBytes(restarted.reportPath(sent->front())), sentReport.fileBytes);
}

TEST_F(OutboxTest, AcknowledgmentByStatus) {
    struct Case {
        std::uint16_t status;
        bool acknowledged;
    };
    const Case cases[] = {{0x0000, true}, {0xB000, true}, {0xA700, false}, {0xC000, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        test::TempFolder own;
        node::Outbox box(own.path());
        peers.at("PACS@127.0.0.1:104").status = c.status;
        ASSERT_TRUE(box.enqueue(report(), {pacs}, "", kStart).ok());
        auto round = box.sendDue(sender(), kStart);
        EXPECT_EQ(round->acknowledged, c.acknowledged ? 1 : 0);
        EXPECT_EQ(box.waiting()->size(), c.acknowledged ? 0u : 1u);
    }
}

TEST_F(OutboxTest, EntryLeftInBothFoldersByACrashIsNotSentAgain) {
    ASSERT_TRUE(outbox.enqueue(report(), {pacs}, "", kStart).ok());
    const auto waitingFolder = outbox.folder() / "waiting";
    const auto entry = std::filesystem::directory_iterator(waitingFolder)->path();
    // The program stopped after writing the sent entry and before removing the waiting one.
    std::filesystem::copy_file(entry, outbox.folder() / "sent" / entry.filename());
    EXPECT_TRUE(outbox.waiting()->empty());
    EXPECT_EQ(outbox.sendDue(sender(), kStart)->acknowledged, 0);
    EXPECT_EQ(peers.at("PACS@127.0.0.1:104").filesSent, 0);
    EXPECT_FALSE(std::filesystem::exists(entry));
}

TEST_F(OutboxTest, OnlyOneSenderAtATimeAndRetryNowMakesAllDue) {
    peers.at("PACS@127.0.0.1:104").up = false;
    ASSERT_TRUE(outbox.enqueue(report(), {pacs}, "", kStart).ok());
    ASSERT_EQ(outbox.sendDue(sender(), kStart)->failed, 1);
    {
        records::RecordFileLock other; // another process's sender at work
        ASSERT_TRUE(other.acquire(outbox.folder() / "sender").ok());
        auto round = outbox.sendDue(sender(), kStart + 1h);
        ASSERT_TRUE(round.ok());
        EXPECT_TRUE(round->busy);
        EXPECT_EQ(round->failed, 0);
        // Sending now while a round is at work says so (not a patient file's message).
        const Status now = outbox.retryNow(kStart + 1s, 50ms);
        ASSERT_FALSE(now.ok());
        EXPECT_EQ(now.error().kind(), Error::Kind::Busy);
        EXPECT_NE(now.message().find("線量レポートを送信している"), std::string::npos) << now.message();
    }
    peers.at("PACS@127.0.0.1:104").up = true;
    EXPECT_EQ(outbox.sendDue(sender(), kStart + 1s)->acknowledged, 0); // not due yet
    ASSERT_TRUE(outbox.retryNow(kStart + 1s).ok());
    EXPECT_EQ(outbox.sendDue(sender(), kStart + 1s)->acknowledged, 1);
}

// A person's "send now" while the destination is down tries every report at once, says what failed,
// and leaves the automatic tries where they were; once the destination is back it sends them.
TEST_F(OutboxTest, ATryAskedForNeverPutsTheNextAutomaticTryFurtherOff) {
    peers.at("PACS@127.0.0.1:104").up = false;
    ASSERT_TRUE(outbox.enqueue(report(), {pacs}, "", kStart).ok());
    ASSERT_EQ(outbox.sendDue(sender(), kStart)->failed, 1);
    const auto before = outbox.waiting()->front();
    for (int press = 1; press <= 3; ++press) {
        auto round = outbox.sendDue(sender(), kStart + std::chrono::seconds(press), true);
        ASSERT_TRUE(round.ok());
        EXPECT_EQ(round->failed, 1);
        ASSERT_EQ(round->messages.size(), 1u);
        EXPECT_NE(round->messages[0].find("接続できません"), std::string::npos);
        const auto after = outbox.waiting()->front();
        EXPECT_EQ(after.attempts, before.attempts);
        EXPECT_EQ(after.nextAttempt, before.nextAttempt);
    }
    peers.at("PACS@127.0.0.1:104").up = true;
    EXPECT_EQ(outbox.sendDue(sender(), kStart + 5s, true)->acknowledged, 1);
    EXPECT_TRUE(outbox.waiting()->empty());
}

TEST_F(OutboxTest, LabelsKeepWhatShiftJisHoldsAndEveryDestinationGetsOneEntry) {
    auto entries = outbox.enqueue(report(), {pacs, registry}, "N-0001 山田 Zoë\r\nline", kStart);
    ASSERT_TRUE(entries.ok()) << entries.error().message();
    ASSERT_EQ(entries->size(), 2u);
    EXPECT_NE(entries->at(0).id, entries->at(1).id);
    auto waiting = outbox.waiting();
    ASSERT_EQ(waiting->size(), 2u);
    EXPECT_EQ(waiting->front().label, "N-0001 山田 Zo? line");
    EXPECT_EQ(outbox.nextDue()->value(), kStart);
}

// A report queued again (made again after an interruption) is not queued twice; a destination it
// was not queued for gets it.
TEST_F(OutboxTest, AReportQueuedAgainGetsOnlyTheDestinationsItLacks) {
    const node::DoseReport r = report();
    ASSERT_EQ(outbox.enqueue(r, {pacs, pacs}, "", kStart)->size(), 1u);
    ASSERT_EQ(outbox.sendDue(sender(), kStart)->acknowledged, 1);
    node::DoseReport again = r;
    again.fileBytes = "made again";
    EXPECT_TRUE(outbox.enqueue(again, {pacs}, "", kStart)->empty());
    EXPECT_EQ(outbox.enqueue(again, {pacs, registry}, "", kStart)->size(), 1u);
    EXPECT_TRUE(outbox.enqueue(again, {registry}, "", kStart)->empty());
    ASSERT_EQ(outbox.waiting()->size(), 1u);
    EXPECT_EQ(test::readBytes(outbox.reportPath(outbox.waiting()->front())), r.fileBytes);
}

TEST_F(OutboxTest, WorkerSendsWhenWokenAndWhenEntriesFallDue) {
    std::atomic<int> acknowledged{0};
    node::OutboxWorker worker(outbox, sender(), 10s);
    worker.onRound([&acknowledged](const node::SendRound& r) { acknowledged += r.acknowledged; });
    worker.start();
    ASSERT_TRUE(outbox.enqueue(report(), {pacs}, "", Clock::now()).ok());
    worker.wake();
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (acknowledged < 1 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    worker.stop();
    EXPECT_EQ(acknowledged, 1);
    EXPECT_TRUE(outbox.waiting()->empty());
}

// With a real PACS: the reports go by C-STORE, arrive once, wait while Orthanc is down and all
// arrive when it is back.
TEST(OutboxWithOrthanc, ReportsArriveWaitWhileItIsDownAndArriveOnceWhenItIsBack) {
    test::TempFolder folder;
    test::Orthanc orthanc({"TAMSO"});
    node::NetworkOptions network;
    network.callingAeTitle = "TAMSO";
    network.connectTimeout = 2s;
    int filesSent = 0;
    const node::ReportSender send = [&](const Destination& d, const std::vector<node::fs::path>& files) {
        filesSent += static_cast<int>(files.size());
        return node::storeFiles(d, files, network);
    };
    node::Outbox outbox(folder.path(), node::OutboxOptions{1s, 1s});

    // Two infants' reports arrive, and carry their patient, study, kVp, exposure and dose.
    std::vector<node::DoseReportInput> inputs(2, test::sampleReportInput());
    inputs[1].patientId = "N-0002";
    inputs[1].studyInstanceUid = "1.2.826.0.1.3680043.9.7.2.1";
    inputs[1].dose.kvp = 55;
    for (const auto& in : inputs) {
        auto r = node::buildDoseReport(in);
        ASSERT_TRUE(r.ok());
        ASSERT_TRUE(outbox.enqueue(*r, {orthanc.destination()}, in.patientId).ok());
    }
    auto round = outbox.sendDue(send);
    ASSERT_TRUE(round.ok());
    ASSERT_EQ(round->acknowledged, 2) << (round->messages.empty() ? "" : round->messages.front());
    const auto ids = orthanc.instances();
    ASSERT_EQ(ids.size(), 2u);
    std::map<std::string, test::ReadReport> byPatient;
    for (const auto& id : ids) {
        const std::string tags = orthanc.get("/instances/" + id + "/simplified-tags");
        test::ReadReport r = test::readReport(orthanc.instanceFile(id));
        EXPECT_NE(tags.find("\"PatientID\" : \"" + r.patientId + "\""), std::string::npos);
        EXPECT_NE(tags.find("\"StudyInstanceUID\" : \"" + r.studyInstanceUid + "\""), std::string::npos);
        byPatient[r.patientId] = r;
    }
    for (const auto& in : inputs) {
        SCOPED_TRACE(in.patientId);
        const test::ReadReport& r = byPatient.at(in.patientId);
        EXPECT_EQ(r.studyInstanceUid, in.studyInstanceUid);
        const test::ReportItem* event = r.root.child("Irradiation Event X-Ray Data");
        ASSERT_NE(event, nullptr);
        EXPECT_EQ(std::stod(event->child("KVP")->value), in.dose.kvp);
        EXPECT_EQ(event->child("Exposure")->value, "1600");
        EXPECT_EQ(event->child("Dose (RP)")->value, "0.00015");
        EXPECT_NE(event->child("Comment")->value.find("0.203 mGy"), std::string::npos);
    }

    // Orthanc down: three more reports wait, also across a restart of the outbox.
    orthanc.stop();
    for (int i = 0; i < 3; ++i) {
        node::DoseReportInput in = test::sampleReportInput();
        in.patientId = "N-01" + std::to_string(i);
        auto r = node::buildDoseReport(in);
        ASSERT_TRUE(outbox.enqueue(*r, {orthanc.destination()}, in.patientId).ok());
    }
    round = outbox.sendDue(send);
    EXPECT_EQ(round->failed, 3);
    EXPECT_EQ(round->acknowledged, 0);
    node::Outbox restarted(folder.path(), node::OutboxOptions{1s, 1s});
    ASSERT_EQ(restarted.waiting()->size(), 3u);
    EXPECT_FALSE(restarted.waiting()->front().lastError.empty());

    orthanc.start();
    round = restarted.sendDue(send, Clock::now() + 2s);
    EXPECT_EQ(round->acknowledged, 3);
    EXPECT_EQ(restarted.sendDue(send, Clock::now() + 1h)->acknowledged, 0);
    EXPECT_TRUE(restarted.waiting()->empty());
    EXPECT_EQ(orthanc.instances().size(), 5u);
    EXPECT_EQ(filesSent, 2 + 3 + 3); // each report acknowledged once; the three also tried while down
}

} // namespace
