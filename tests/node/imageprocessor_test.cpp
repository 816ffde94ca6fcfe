// The node's way from an image header to a record or the held list, in process (the receiving
// service itself is tested with real DICOM peers in node_service_test.cpp): what each image becomes,
// the record exactly as the calculation gives it, exactly once across resends and interruptions at
// every step of a pass.

#include "engine/calculation.h"
#include "node/dosereporter.h"
#include "node/imageprocessor.h"
#include "node/nodefolders.h"
#include "nodetestsupport.h"
#include "receivedimages.h"
#include "records/patienthistory.h"
#include "records/patientrecordsave.h"
#include "records_testsupport.h"
#include "refdata/referenceloader.h"
#include "textio/fileio.h"
#include "textio/numbertext.h"
#include "tools/calc/calccli.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <future>
#include <optional>
#include <set>
#include <thread>

namespace tamso::node {
namespace {

using test::DicomImage;
using test::TempFolder;

records::PatientHistory historyOf(const fs::path& folder, const std::string& id) {
    auto history = records::loadPatientHistory(folder, id);
    EXPECT_TRUE(history.ok());
    return history.ok() ? *history : records::PatientHistory{};
}

// A record file for the ID as the report would have saved it, under the stored name.
records::RecordTexts chestRecord() {
    records::RecordTexts r = test::sampleRecord();
    r.bodyPart = "胸部正面";
    r.subjectThicknessCm = "9.5";
    return r;
}

void saveRecordFor(const fs::path& folder, const std::string& id, const std::string& name,
                   const records::RecordTexts& record = chestRecord()) {
    test::RecordingPrompts prompts;
    records::PatientRecordState state;
    ASSERT_TRUE(records::savePatientRecord(folder, id, name, record, prompts, state));
}

size_t filesIn(const fs::path& folder) {
    size_t n = 0;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        ++n;
    return n;
}

struct ImageCase {
    const char* name;
    std::function<void(DicomImage&)> change;
    const char* storedName; // a record file of N-0001 under this name before the image, or null
    Outcome outcome;
    const char* reasonPart; // in the reason, or null
    // For a recorded image, record fields (index in the file's line order) and their texts.
    std::vector<std::pair<int, std::string>> fields;
};

void PrintTo(const ImageCase& c, std::ostream* out) {
    *out << c.name;
}

class ImageOutcomes : public ::testing::TestWithParam<ImageCase> {};

TEST_P(ImageOutcomes, EachImageBecomesWhatItSoundlyCanBe) {
    const ImageCase& c = GetParam();
    TempFolder folder;
    test::copyShippedData(folder.path());
    if (c.storedName) {
        const std::string name = c.storedName;
        saveRecordFor(folder.path(), "N-0001", name.empty() ? "x" : name);
        if (name.empty()) // a file whose first line is empty, as an old program may have left it
            test::writeBytes(folder.file("N-0001.pat"), test::readBytes(folder.file("N-0001.pat")).substr(1));
    }
    const size_t before = historyOf(folder.path(), "N-0001").records.size();
    DicomImage image = test::infantImage("N-0001", "Yamada^Hanako");
    image.set(DCM_OperatorsName, "Sato^Keiko").set(DCM_StationName, "NICU-1");
    c.change(image);
    image.save(folder.file("image.dcm"));

    ImageProcessor processor(folder.path());
    ASSERT_TRUE(processor.open().ok());
    auto entry = processor.processImageFile(folder.file("image.dcm"));
    ASSERT_TRUE(entry.ok()) << entry.error().message();
    EXPECT_EQ(entry->outcome, c.outcome) << outcomeName(entry->outcome) << ": " << entry->reason;
    if (c.reasonPart) {
        EXPECT_NE(entry->reason.find(c.reasonPart), std::string::npos) << entry->reason;
    }

    const auto history = historyOf(folder.path(), "N-0001");
    const size_t added = history.records.size() - before;
    EXPECT_EQ(added, c.outcome == Outcome::Recorded ? 1u : 0u);
    if (c.outcome == Outcome::Recorded && added == 1) {
        EXPECT_EQ(entry->recordNumber, static_cast<int>(history.records.size()));
        std::vector<std::string> lines = records::patientRecordFileLines([&] {
            records::PatientRecordState s;
            s.patientRecordCount = 1;
            s.PatientRecordTable[1] = history.records.back();
            return s;
        }());
        for (const auto& [index, text] : c.fields)
            EXPECT_EQ(lines[static_cast<size_t>(2 + index)], text) << records::recordFieldCaption(index);
    }
    // Nothing stays in the inbox; a held image keeps its header beside the held list.
    EXPECT_EQ(filesIn(nodeFolder(folder.path()) / "inbox"), 0u);
    EXPECT_EQ(fs::exists(heldHeaderFile(folder.path(), *entry)), c.outcome == Outcome::Held);
}

void collimated(DicomImage& image, const char* right, const char* lower) {
    image.set(DCM_CollimatorShape, "RECTANGULAR")
        .set(DCM_CollimatorLeftVerticalEdge, "0")
        .set(DCM_CollimatorRightVerticalEdge, right)
        .set(DCM_CollimatorUpperHorizontalEdge, "0")
        .set(DCM_CollimatorLowerHorizontalEdge, lower)
        .set(DCM_ImagerPixelSpacing, "0.1\\0.1");
}

// Record lines as a rewritten file holds them (number write form): date, technologist, body
// part, thickness, unit, kV, mAs, FFD, field.
INSTANTIATE_TEST_SUITE_P(
    Node, ImageOutcomes,
    ::testing::Values(
        ImageCase{"complete",
                  [](DicomImage&) {},
                  nullptr,
                  Outcome::Recorded,
                  nullptr,
                  {{0, "2024/05/01"},
                   {1, "Sato Keiko"},
                   {2, "胸部正面"},
                   {3, " 8 "},
                   {4, "NICU-1"},
                   {5, " 60 "},
                   {6, " 1.6 "},
                   {7, " 100 "},
                   {8, "六切サイズ"}}},
        ImageCase{"thickness from the image",
                  [](DicomImage& i) { i.set(DCM_BodyPartThickness, "75"); },
                  nullptr,
                  Outcome::Recorded,
                  nullptr,
                  {{3, " 7.5 "}}},
        ImageCase{"thickness of the infant's last chest record",
                  [](DicomImage&) {},
                  "Yamada Hanako",
                  Outcome::Recorded,
                  nullptr,
                  {{3, " 9.5 "}, {0, "2024/05/01"}}},
        // The screen enters an image's collimated field as "その他", whatever its size.
        ImageCase{"collimator of the default size",
                  [](DicomImage& i) { collimated(i, "2540", "2030"); },
                  nullptr,
                  Outcome::Recorded,
                  nullptr,
                  {{8, "その他"}}},
        ImageCase{"unit from the model name",
                  [](DicomImage& i) { i.remove(DCM_StationName).set(DCM_ManufacturerModelName, "Mobile X"); },
                  nullptr,
                  Outcome::Recorded,
                  nullptr,
                  {{4, "Mobile X"}}},
        ImageCase{"unit from the basic data",
                  [](DicomImage& i) { i.remove(DCM_StationName).remove(DCM_OperatorsName); },
                  nullptr,
                  Outcome::Recorded,
                  nullptr,
                  {{1, ""}, {4, "ポータブル装置（例）"}}},
        ImageCase{
            "ideographic name matches the stored name",
            [](DicomImage& i) {
                i.set(DCM_SpecificCharacterSet, "ISO_IR 192").set(DCM_PatientName, "Yamada^Hanako=山田^花子");
            },
            "山田 花子",
            Outcome::Recorded,
            nullptr,
            {}},
        // An older CR writes half-width katakana, a DR unit full-width or hiragana: one infant.
        ImageCase{"half-width katakana name matches the stored katakana",
                  [](DicomImage& i) {
                      i.set(DCM_SpecificCharacterSet, "ISO_IR 13")
                          .set(DCM_PatientName, "\xD4\xCF\xC0\xDE^\xCA\xC5\xBA"); // ﾔﾏﾀﾞ^ﾊﾅｺ
                  },
                  "ヤマダ ハナコ",
                  Outcome::Recorded,
                  nullptr,
                  {}},
        ImageCase{"hiragana phonetic group matches the stored katakana",
                  [](DicomImage& i) {
                      i.set(DCM_SpecificCharacterSet, "ISO_IR 192")
                          .set(DCM_PatientName, "Yamada^Hanako=山田^花子=やまだ^はなこ");
                  },
                  "ヤマダ　ハナコ",
                  Outcome::Recorded,
                  nullptr,
                  {}},
        ImageCase{"name bytes that cannot be read",
                  [](DicomImage& i) {
                      i.set(DCM_SpecificCharacterSet, "ISO_IR 192").set(DCM_PatientName, "\xFF\xFE^\x80");
                  },
                  "Yamada Hanako",
                  Outcome::Held,
                  "氏名を読めない",
                  {}},
        ImageCase{"no patient ID",
                  [](DicomImage& i) { i.remove(DCM_PatientID); },
                  nullptr,
                  Outcome::Held,
                  "患者ID",
                  {}},
        ImageCase{"no kV", [](DicomImage& i) { i.remove(DCM_KVP); }, nullptr, Outcome::Held, "管電圧", {}},
        ImageCase{
            "no mAs", [](DicomImage& i) { i.remove(DCM_ExposureInuAs); }, nullptr, Outcome::Held, "mAs", {}},
        ImageCase{"no distance",
                  [](DicomImage& i) { i.remove(DCM_DistanceSourceToDetector); },
                  nullptr,
                  Outcome::Held,
                  "FFD",
                  {}},
        ImageCase{"body part not in the mapping",
                  [](DicomImage& i) { i.set(DCM_BodyPartExamined, "KNEE"); },
                  nullptr,
                  Outcome::Held,
                  "撮影部位",
                  {}},
        ImageCase{"ID that cannot name a file",
                  [](DicomImage& i) { i.set(DCM_PatientID, "N~1"); },
                  nullptr,
                  Outcome::Held,
                  "~",
                  {}},
        ImageCase{"conditions the calculation refuses",
                  [](DicomImage& i) { i.set(DCM_KVP, "120"); },
                  nullptr,
                  Outcome::Held,
                  "計算できません",
                  {}},
        ImageCase{"new ID without a name",
                  [](DicomImage& i) { i.remove(DCM_PatientName); },
                  nullptr,
                  Outcome::Held,
                  "氏名",
                  {}},
        ImageCase{"record file without a name", [](DicomImage&) {}, "", Outcome::Held, "氏名がない", {}},
        ImageCase{"stored name of another infant",
                  [](DicomImage&) {},
                  "鈴木 一郎",
                  Outcome::Held,
                  "一致しません",
                  {}},
        ImageCase{"name Shift-JIS cannot hold",
                  [](DicomImage& i) {
                      i.set(DCM_SpecificCharacterSet, "ISO_IR 192").set(DCM_PatientName, "Kim^Jiwoo=김^지우");
                  },
                  nullptr,
                  Outcome::Held,
                  "氏名",
                  {}},
        ImageCase{"derived copy",
                  [](DicomImage& i) { i.set(DCM_ImageType, "DERIVED\\SECONDARY"); },
                  nullptr,
                  Outcome::Derived,
                  "DERIVED",
                  {}}),
    [](const ::testing::TestParamInfo<ImageCase>& info) {
        std::string name = info.param.name;
        for (char& ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return name;
    });

// The record holds what the calculation command gives for the same conditions (tamso-calc's
// logic on the same working folder), dose and caregiver doses alike.
TEST(NodeRecord, DoseIsTheCalculatorsForTheSameConditions) {
    TempFolder folder;
    test::copyShippedData(folder.path());
    test::infantImage("N-0002", "Kato^Ren")
        .set(DCM_KVP, "55")
        .set(DCM_ExposureInuAs, "2000")
        .save(folder.file("i.dcm"));
    ImageProcessor processor(folder.path());
    ASSERT_TRUE(processor.open().ok());
    auto entry = processor.processImageFile(folder.file("i.dcm"));
    ASSERT_TRUE(entry.ok() && entry->outcome == Outcome::Recorded) << (entry.ok() ? entry->reason : "");

    engine::CalculationState state;
    ASSERT_TRUE(refdata::loadReferenceData(state, folder.path()).ok());
    calc::Exposure exposure = calc::defaultExposure(state);
    for (auto [name, value] : {std::pair{"kv", "55"}, {"mas", "2"}, {"ffd", "100"}, {"thickness", "8"}})
        ASSERT_TRUE(calc::setCondition(exposure, name, value).ok());
    test::TempFolder scratch; // the calculator's listing goes there
    auto results = calc::calculateExposure(state, exposure, engine::listingInto(scratch.path()));
    ASSERT_TRUE(results.ok());
    auto value = [&](const std::string& key) {
        for (size_t i = 0; i < calc::resultKeys().size(); ++i)
            if (calc::resultKeys()[i].first == key)
                return (*results)[i];
        return std::string();
    };
    const records::PatientRecord& r = historyOf(folder.path(), "N-0002").records.at(0);
    EXPECT_EQ(records::listValueText(r.entranceSurfaceDoseMGy), value("entrance_surface_dose_mgy"));
    EXPECT_EQ(entry->doseMGy, value("entrance_surface_dose_mgy"));
    EXPECT_EQ(records::listValueLine(r.caregiverDoseUSv[0]),
              records::listValueLine(*textio::parseNumber(value("caregiver_usv_1"))));
    EXPECT_EQ(records::listValueLine(r.caregiverDoseUSv[2]),
              records::listValueLine(*textio::parseNumber(value("caregiver_usv_3"))));
    // The screens' spectrum listing is not the node's to write.
    EXPECT_EQ(test::readBytes(folder.file("Beam_data.dat")),
              test::readBytes(fs::path(TAMSO_SOURCE_DIR) / "data" / "Beam_data.dat"));
}

// Resends are normal: the SOP Instance UID decides, within one pass and across passes; a held
// image sent again is looked at again.
TEST(NodeExactlyOnce, ResentImagesNeverMakeASecondRecord) {
    TempFolder folder;
    test::copyShippedData(folder.path());
    ImageProcessor processor(folder.path());
    ASSERT_TRUE(processor.open().ok());
    const std::string uid = test::newUid();
    test::infantImage("N-0003", "Mori^Aoi", uid).save(folder.file("a.dcm"));
    // Twice in the inbox before a pass, then once more afterwards.
    ASSERT_TRUE(processor.admitFile(folder.file("a.dcm")).ok());
    ASSERT_TRUE(processor.admitFile(folder.file("a.dcm")).ok());
    auto pass = processor.processWaiting();
    ASSERT_TRUE(pass.ok());
    ASSERT_EQ(pass->size(), 2u);
    EXPECT_EQ((*pass)[0].outcome, Outcome::Recorded);
    EXPECT_EQ((*pass)[1].outcome, Outcome::Duplicate);
    auto again = processor.processImageFile(folder.file("a.dcm"));
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again->outcome, Outcome::Duplicate);
    EXPECT_EQ(again->recordNumber, 1);
    // Another program (a new processor on the same folder) knows it too.
    ImageProcessor other(folder.path());
    ASSERT_TRUE(other.open().ok());
    EXPECT_EQ(other.processImageFile(folder.file("a.dcm"))->outcome, Outcome::Duplicate);
    EXPECT_EQ(historyOf(folder.path(), "N-0003").records.size(), 1u);

    // Held without kV; sent again with kV (the modality corrected it): recorded, no longer held.
    const std::string heldUid = test::newUid();
    test::infantImage("N-0003", "Mori^Aoi", heldUid).remove(DCM_KVP).save(folder.file("b.dcm"));
    EXPECT_EQ(processor.processImageFile(folder.file("b.dcm"))->outcome, Outcome::Held);
    test::infantImage("N-0003", "Mori^Aoi", heldUid).save(folder.file("b.dcm"));
    EXPECT_EQ(processor.processImageFile(folder.file("b.dcm"))->outcome, Outcome::Recorded);
    auto listed = listReceivedImages(folder.path());
    ASSERT_TRUE(listed.ok());
    EXPECT_TRUE(listed->held.empty());
    EXPECT_EQ(filesIn(nodeFolder(folder.path()) / "held"), 0u);
    EXPECT_EQ(historyOf(folder.path(), "N-0003").records.size(), 2u);

    // The "for processing" and "for presentation" images of one exposure (one irradiation event):
    // one record, whether they come in one pass or one after the other.
    for (bool onePass : {true, false}) {
        const std::string event = test::newUid();
        const std::string id = onePass ? "N-0004" : "N-0005";
        test::infantImage(id, "Mori^Aoi")
            .set(DCM_IrradiationEventUID, event)
            .set(DCM_SOPClassUID, UID_DigitalXRayImageStorageForProcessing)
            .set(DCM_PresentationIntentType, "FOR PROCESSING")
            .save(folder.file("p.dcm"));
        test::infantImage(id, "Mori^Aoi").set(DCM_IrradiationEventUID, event).save(folder.file("q.dcm"));
        ASSERT_TRUE(processor.admitFile(folder.file("p.dcm")).ok());
        if (!onePass) {
            ASSERT_TRUE(processor.processWaiting().ok());
        }
        ASSERT_TRUE(processor.admitFile(folder.file("q.dcm")).ok());
        ASSERT_TRUE(processor.processWaiting().ok());
        EXPECT_EQ(historyOf(folder.path(), id).records.size(), 1u) << id;
    }
}

// A program beside the service (tamso-calc --pull) takes only the images it admitted, and an image
// of its own that the service's pass took is reported as that pass logged it: a resend is a
// duplicate, not the earlier image's record.
TEST(NodeExactlyOnce, AProgramBesideTheServiceSharesItsPathNotItsImages) {
    TempFolder folder;
    test::copyShippedData(folder.path());
    ImageProcessor service(folder.path());
    ProcessorOptions besideOptions;
    besideOptions.ownImagesOnly = true;
    ImageProcessor beside(folder.path(), {}, besideOptions);
    ASSERT_TRUE(service.open().ok() && beside.open().ok());
    const std::string uid = test::newUid();
    test::infantImage("N-0006", "Mori^Aoi", uid).save(folder.file("received.dcm"));
    ASSERT_TRUE(service.admitFile(folder.file("received.dcm")).ok());
    auto pass = beside.processWaiting();
    ASSERT_TRUE(pass.ok());
    EXPECT_TRUE(pass->empty());
    EXPECT_EQ(service.waitingCount(), 1u);
    ASSERT_EQ(service.processWaiting()->size(), 1u);

    test::infantImage("N-0006", "Mori^Aoi", uid).save(folder.file("pulled.dcm")); // the same image again
    std::optional<ProcessingLock> serviceAtWork(std::in_place);
    ASSERT_TRUE(serviceAtWork->acquire(folder.path(), std::chrono::seconds(1)).ok());
    auto pulled =
        std::async(std::launch::async, [&] { return beside.processImageFile(folder.file("pulled.dcm")); });
    while (service.waitingCount() == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    serviceAtWork.reset();
    ASSERT_TRUE(service.processWaiting().ok());
    auto entry = pulled.get();
    ASSERT_TRUE(entry.ok()) << entry.error().message();
    EXPECT_EQ(entry->outcome, Outcome::Duplicate) << outcomeName(entry->outcome);
    EXPECT_EQ(historyOf(folder.path(), "N-0006").records.size(), 1u);
}

// A kill can stop a pass after any of its steps; the next pass (of a new program) finishes the
// work: every image recorded exactly once, each logged once as recorded, its dose report queued
// once, nothing left over.
class Interruption : public ::testing::TestWithParam<const char*> {};

TEST_P(Interruption, NextPassRecordsEveryImageExactlyOnce) {
    TempFolder folder;
    test::copyShippedData(folder.path());
    // 19 stored records for A: the pass fills its first file and starts a continuation.
    for (int k = 0; k < 19; ++k)
        saveRecordFor(folder.path(), "A", "Ito Mei");
    std::vector<std::string> uids;
    {
        ProcessorOptions options;
        options.interruptForTesting = [step = std::string(GetParam())](const std::string& at) {
            return at == step;
        };
        ImageProcessor first(folder.path(), {}, options);
        DoseReporter reporter(folder.path(), {{"PACS", "127.0.0.1", 104}}, false, "tamso-node");
        first.setRecordedHook(reporter.recordedHook());
        ASSERT_TRUE(first.open().ok());
        for (const char* id : {"A", "B", "A", "A"}) {
            uids.push_back(test::newUid());
            test::infantImage(id, id == std::string("A") ? "Ito^Mei" : "Abe^Sora", uids.back())
                .save(folder.file("x.dcm"));
            ASSERT_TRUE(first.admitFile(folder.file("x.dcm")).ok());
        }
        test::infantImage("B", "Abe^Sora").remove(DCM_KVP).save(folder.file("held.dcm"));
        ASSERT_TRUE(first.admitFile(folder.file("held.dcm")).ok());
        test::infantImage("B", "Abe^Sora")
            .set(DCM_ImageType, "DERIVED\\SECONDARY")
            .save(folder.file("d.dcm"));
        ASSERT_TRUE(first.admitFile(folder.file("d.dcm")).ok());
        EXPECT_FALSE(first.processWaiting().ok()); // interrupted
    }
    ImageProcessor next(folder.path());
    DoseReporter reporter(folder.path(), {{"PACS", "127.0.0.1", 104}}, false, "tamso-node");
    next.setRecordedHook(reporter.recordedHook());
    ASSERT_TRUE(next.open().ok());
    ASSERT_TRUE(next.processWaiting().ok());
    ASSERT_TRUE(next.processWaiting().ok());
    // One report per recorded image, referencing it.
    std::multiset<std::string> reported;
    const auto waiting = reporter.outbox().waiting();
    ASSERT_TRUE(waiting.ok());
    for (const OutboxEntry& e : *waiting)
        reported.insert(
            test::readReport(test::readBytes(reporter.outbox().reportPath(e))).evidenceInstanceUid);
    EXPECT_EQ(reported, std::multiset<std::string>(uids.begin(), uids.end()));

    EXPECT_EQ(historyOf(folder.path(), "A").records.size(), 22u);
    EXPECT_EQ(historyOf(folder.path(), "B").records.size(), 1u);
    ImageLog log(folder.path());
    ASSERT_TRUE(log.refresh().ok());
    for (const std::string& uid : uids)
        EXPECT_TRUE(log.isRecorded(uid)) << uid;
    // One recorded entry per image in the receipt log; the held image held once, the derived
    // copy listed.
    const std::string receipts = test::readBytes(log.receiptFile());
    for (const std::string& uid : uids) {
        size_t count = 0;
        for (size_t at = receipts.find(uid + ","); at != std::string::npos;
             at = receipts.find(uid + ",", at + 1))
            ++count;
        EXPECT_EQ(count, 1u) << uid;
    }
    EXPECT_EQ(log.held().size(), 1u);
    EXPECT_TRUE(fs::exists(heldHeaderFile(folder.path(), log.held().at(0))));
    EXPECT_EQ(filesIn(nodeFolder(folder.path()) / "inbox"), 0u);
    const fs::path journal = nodeFolder(folder.path()) / "journal";
    EXPECT_TRUE(!fs::exists(journal) || fs::file_size(journal) == 0);
}

INSTANTIATE_TEST_SUITE_P(Node, Interruption, ::testing::Values("journal", "records", "log", "hook"));

// A record file that cannot be written (a full disk) keeps its images waiting, unrecorded and not
// held; once the disk has room they are recorded.
TEST(NodeWriteFailure, ImagesWaitUntilTheirRecordCanBeWritten) {
    TempFolder folder;
    test::copyShippedData(folder.path());
    ImageProcessor processor(folder.path());
    ASSERT_TRUE(processor.open().ok());
    test::infantImage("C", "Ono^Yui").save(folder.file("c.dcm"));
    textio::setWriteFaultForTesting([](const fs::path& temp) {
        return temp.filename().string().find("C.pat") != std::string::npos ? ENOSPC : 0;
    });
    auto entry = processor.processImageFile(folder.file("c.dcm"));
    textio::setWriteFaultForTesting({});
    ASSERT_FALSE(entry.ok());
    EXPECT_NE(entry.error().message().find("ディスク"), std::string::npos) << entry.error().message();
    EXPECT_EQ(processor.waitingCount(), 1u);
    EXPECT_TRUE(listReceivedImages(folder.path())->held.empty());
    auto later = processor.processWaiting();
    ASSERT_TRUE(later.ok());
    ASSERT_EQ(later->size(), 1u);
    EXPECT_EQ(later->at(0).outcome, Outcome::Recorded);
    EXPECT_EQ(historyOf(folder.path(), "C").records.size(), 1u);
}

// One infant's record file that cannot be replaced (read-only) holds back its own images only.
TEST(NodeWriteFailure, OneInfantsReadOnlyFileDoesNotHoldBackTheOthers) {
    TempFolder folder;
    test::copyShippedData(folder.path());
    saveRecordFor(folder.path(), "RO", "Ueno Sai");
    fs::permissions(folder.file("RO.pat"),
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    ImageProcessor processor(folder.path());
    ASSERT_TRUE(processor.open().ok());
    test::infantImage("RO", "Ueno^Sai").save(folder.file("a.dcm"));
    test::infantImage("OK", "Sato^Mio").save(folder.file("b.dcm"));
    ASSERT_TRUE(processor.admitFile(folder.file("a.dcm")).ok());
    ASSERT_TRUE(processor.admitFile(folder.file("b.dcm")).ok());
    auto pass = processor.processWaiting();
    ASSERT_TRUE(pass.ok());
    ASSERT_EQ(pass->size(), 1u);
    EXPECT_EQ(pass->at(0).patientId, "OK");
    EXPECT_EQ(pass->at(0).outcome, Outcome::Recorded);
    EXPECT_EQ(processor.waitingCount(), 1u);
    EXPECT_EQ(historyOf(folder.path(), "RO").records.size(), 1u);
    // Writable again: recorded at the next pass, once.
    fs::permissions(folder.file("RO.pat"), fs::perms::owner_write, fs::perm_options::add);
    ASSERT_TRUE(processor.processWaiting().ok());
    EXPECT_EQ(historyOf(folder.path(), "RO").records.size(), 2u);
    EXPECT_EQ(historyOf(folder.path(), "OK").records.size(), 1u);
}

// A held image saved through the report leaves the held list, and a resend of it is a duplicate.
TEST(NodeHeld, ResolvedThroughTheReportLeavesTheListForGood) {
    TempFolder folder;
    test::copyShippedData(folder.path());
    ImageProcessor processor(folder.path());
    ASSERT_TRUE(processor.open().ok());
    const std::string uid = test::newUid();
    test::infantImage("D", "Ueda^Kai", uid).remove(DCM_ExposureInuAs).save(folder.file("d.dcm"));
    auto held = processor.processImageFile(folder.file("d.dcm"));
    ASSERT_TRUE(held.ok());
    ASSERT_EQ(held->outcome, Outcome::Held);
    auto listed = listReceivedImages(folder.path());
    ASSERT_EQ(listed->held.size(), 1u);
    EXPECT_EQ(listed->held[0].sopInstanceUid, uid);
    EXPECT_NE(listed->held[0].reason.find("mAs"), std::string::npos);

    saveRecordFor(folder.path(), "D", "Ueda Kai");
    ASSERT_TRUE(resolveHeldImage(folder.path(), uid, "D", 1, "0.25").ok());
    listed = listReceivedImages(folder.path());
    EXPECT_TRUE(listed->held.empty());
    ASSERT_FALSE(listed->recent.empty());
    EXPECT_EQ(listed->recent[0].outcome, Outcome::Resolved);
    EXPECT_EQ(listed->recent[0].doseMGy, "0.25");
    EXPECT_FALSE(fs::exists(heldHeaderFile(folder.path(), *held)));
    test::infantImage("D", "Ueda^Kai", uid).save(folder.file("d.dcm"));
    EXPECT_EQ(processor.processImageFile(folder.file("d.dcm"))->outcome, Outcome::Duplicate);
    EXPECT_EQ(historyOf(folder.path(), "D").records.size(), 1u);
}

// An image sent by mistake is set aside with who and why: it stays in the log and the receipt log,
// leaves the held list for good (a resend too), its header leaves held/, and nothing is recorded.
TEST(NodeHeld, SetAsideStaysInTheLogOutOfTheListForGood) {
    TempFolder folder;
    test::copyShippedData(folder.path());
    ImageProcessor processor(folder.path());
    ASSERT_TRUE(processor.open().ok());
    const std::string uid = test::newUid();
    test::infantImage("E", "Eto^Ren", uid).remove(DCM_KVP).save(folder.file("e.dcm"));
    auto held = processor.processImageFile(folder.file("e.dcm"));
    ASSERT_TRUE(held.ok());
    ASSERT_EQ(held->outcome, Outcome::Held);

    // Nobody, no reason or an image not held: refused, nothing written.
    const struct {
        const char* uid;
        const char* who;
        const char* why;
        const char* message;
    } refused[] = {{uid.c_str(), " ", "誤送信", "名前"},
                   {uid.c_str(), "佐藤", "\t", "理由"},
                   {"1.2.3.4", "佐藤", "誤送信", "保留されていません"}};
    for (const auto& r : refused) {
        const Status s = setAsideHeldImage(folder.path(), r.uid, r.who, r.why);
        ASSERT_FALSE(s.ok()) << r.message;
        EXPECT_NE(s.message().find(r.message), std::string::npos) << s.message();
    }
    EXPECT_EQ(listReceivedImages(folder.path())->held.size(), 1u);

    ASSERT_TRUE(setAsideHeldImage(folder.path(), uid, "佐藤", "別の検査の画像").ok());
    auto listed = listReceivedImages(folder.path());
    EXPECT_TRUE(listed->held.empty());
    ASSERT_FALSE(listed->recent.empty());
    const ImageEntry& aside = listed->recent[0];
    EXPECT_EQ(aside.outcome, Outcome::SetAside);
    EXPECT_EQ(aside.reason, setAsideReason("佐藤", "別の検査の画像"));
    EXPECT_FALSE(aside.time.empty());
    EXPECT_FALSE(fs::exists(heldHeaderFile(folder.path(), *held)));
    EXPECT_TRUE(fs::exists(setAsideHeaderFile(folder.path(), aside)));
    const std::string receipts = test::readBytes(folder.file(kReceiptLogName));
    EXPECT_NE(receipts.find("set_aside"), std::string::npos);
    EXPECT_NE(receipts.find("別の検査の画像"), std::string::npos);
    // Setting aside twice is refused; the log read anew keeps the state.
    EXPECT_FALSE(setAsideHeldImage(folder.path(), uid, "佐藤", "もう一度").ok());

    test::infantImage("E", "Eto^Ren", uid).remove(DCM_KVP).save(folder.file("e.dcm"));
    auto again = processor.processImageFile(folder.file("e.dcm"));
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again->outcome, Outcome::Duplicate);
    EXPECT_NE(again->reason.find("別の検査の画像"), std::string::npos) << again->reason;
    EXPECT_TRUE(listReceivedImages(folder.path())->held.empty());
    EXPECT_EQ(historyOf(folder.path(), "E").records.size(), 0u);
}

} // namespace
} // namespace tamso::node
