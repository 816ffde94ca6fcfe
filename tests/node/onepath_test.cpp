// One image, one set of conditions and one dose, whichever way it enters: the screen's import
// (resolveImageConditionsInFolder), tamso-calc --dicom and the node resolve its thickness and field
// alike, with the same sources, and compute the same dose and effective dose; one rule decides whether an exposure is
// recorded already.

#include "node/imageconditions.h"
#include "node/imageprocessor.h"
#include "receivedimages.h"
#include "records/patienthistory.h"
#include "records/patientrecordsave.h"
#include "records/recordwithdrawal.h"
#include "records_testsupport.h"
#include "refdata/organdosefile.h"
#include "refdata/referenceloader.h"
#include "textio/numberformat.h"
#include "textio/numbertext.h"
#include "tools/calc/dicombatch.h"

#include <gtest/gtest.h>

#include <functional>

namespace tamso::node {
namespace {

using test::DicomImage;
using test::TempFolder;

void saveChestRecord(const fs::path& folder, const std::string& thickness, const std::string& kv = "60",
                     const std::string& mAs = "1.6", const std::string& date = "2024/05/01") {
    records::RecordTexts r = test::sampleRecord();
    r.examDate = date;
    r.bodyPart = "胸部正面";
    r.subjectThicknessCm = thickness;
    r.tubeVoltageKv = kv;
    r.mAs = mAs;
    r.ffdCm = "100";
    test::RecordingPrompts prompts;
    records::PatientRecordState state;
    ASSERT_TRUE(records::savePatientRecord(folder, "N-0001", "Yamada^Hanako", r, prompts, state));
}

struct PathCase {
    const char* what;
    std::function<void(DicomImage&)> change;
    std::function<void(const fs::path&)> before; // records stored before the image
    const char* thickness;
    const char* thicknessSource; // its start
};

void PrintTo(const PathCase& c, std::ostream* out) {
    *out << c.what;
}

class OnePath : public ::testing::TestWithParam<PathCase> {};

TEST_P(OnePath, EveryWayInResolvesAndComputesTheImageAlike) {
    const PathCase& c = GetParam();
    TempFolder folder;
    test::copyShippedData(folder.path()); // 被写体厚既定値.txt: 胸部正面 8 cm
    c.before(folder.path());
    DicomImage image = test::infantImage("N-0001", "Yamada^Hanako");
    image.set(DCM_KVP, "62").set(DCM_ExposureInuAs, "2000");
    c.change(image);
    image.save(folder.file("image.dcm"));

    // The screen's import.
    auto read = dicom::readImageExposure(folder.file("image.dcm"));
    ASSERT_TRUE(read.ok());
    engine::CalculationState state;
    ASSERT_TRUE(refdata::loadReferenceData(state, folder.path()).ok());
    const ImageConditions screen =
        resolveImageConditionsInFolder(*read, folder.path(), engine::defaultConditions(state));
    EXPECT_EQ(screen.thicknessCm.text, c.thickness);
    EXPECT_EQ(screen.thicknessCm.source.rfind(c.thicknessSource, 0), 0u) << screen.thicknessCm.source;

    // tamso-calc --dicom, before the node records the image (its record would be the latest).
    calc::DicomBatchOptions options;
    options.conditions = calc::defaultExposure(state);
    auto entries = calc::dicomBatchFiles(folder.file("image.dcm"));
    ASSERT_TRUE(entries.ok() && entries->size() == 1u);
    const FolderSources sources(folder.path());
    const auto organs = refdata::loadOrganDoseData(folder.path());
    const calc::DicomBatchRow row = calc::computeDicomFile(state, entries->front(), options, sources, &organs);
    ASSERT_EQ(row.status, "ok") << row.reason;
    ASSERT_FALSE(row.effectiveDoseUSv.empty()) << row.missing;

    // The node, whose dose report carries the effective dose of the same weight.
    ImageProcessor processor(folder.path());
    ASSERT_TRUE(processor.open().ok());
    std::optional<ExposureDose> reported;
    processor.setRecordedHook([&](const RecordedImage& recorded) {
        reported = recorded.dose;
        return Status();
    });
    auto entry = processor.processImageFile(folder.file("image.dcm"));
    ASSERT_TRUE(entry.ok());
    ASSERT_EQ(entry->outcome, Outcome::Recorded) << entry->reason;

    for (const auto& [way, thickness, source, field] :
         {std::tuple{"tamso-calc", row.thicknessCm, row.thicknessSource, row.fieldCm},
          std::tuple{"node", entry->thicknessCm, entry->thicknessSource, entry->fieldCm}}) {
        EXPECT_EQ(thickness, screen.thicknessCm.text) << way;
        EXPECT_EQ(source, screen.thicknessCm.source) << way;
        EXPECT_EQ(field, screen.fieldLongCm.text + "x" + screen.fieldShortCm.text) << way;
    }
    EXPECT_EQ(entry->doseMGy, row.doseMGy);
    ASSERT_TRUE(reported && reported->effectiveDoseUSv);
    EXPECT_EQ(textio::formatNumber(*reported->effectiveDoseUSv, "#0.000"), row.effectiveDoseUSv);
    EXPECT_EQ(textio::numberToText(reported->weightKg ? *reported->weightKg : *reported->assumedWeightKg),
              row.weightKg);
    EXPECT_EQ(reported->assumedWeightKg.has_value(), row.weightSource.find("体重既定値.txt") != std::string::npos)
        << row.weightSource;
}

INSTANTIATE_TEST_SUITE_P(
    Node, OnePath,
    ::testing::Values(
        PathCase{"the image's own thickness and weight",
                 [](DicomImage& i) { i.set(DCM_BodyPartThickness, "70").set(DCM_PatientWeight, "1.2"); },
                 [](const fs::path&) {}, "7", "BodyPartThickness (0018,11A0)"},
        PathCase{"the site's default for the body part", [](DicomImage&) {}, [](const fs::path&) {}, "8",
                 "被写体厚既定値.txt"},
        PathCase{"the infant's latest record of the body part", [](DicomImage&) {},
                 [](const fs::path& f) {
                     saveChestRecord(f, "9", "50", "2", "2024/04/01");
                     saveChestRecord(f, "9.5", "50", "2", "2024/04/02");
                 },
                 "9.5", "記録 2（2024/04/02）"},
        PathCase{"a withdrawn record gives way to the site's default", [](DicomImage&) {},
                 [](const fs::path& f) {
                     saveChestRecord(f, "12", "50", "2", "2024/04/02");
                     records::WithdrawalRequest request;
                     request.recordNumber = 1;
                     request.listed = records::loadPatientHistory(f, "N-0001")->records.at(0);
                     request.withdrawnBy = "佐藤";
                     request.reason = "被写体厚の入力誤り";
                     request.time = "2024/04/02 10:00:00";
                     ASSERT_TRUE(records::withdrawRecord(f, "N-0001", request).ok());
                 },
                 "8", "被写体厚既定値.txt"},
        PathCase{"a thickness outside the range gives way to the site's", [](DicomImage& i) {
                     i.set(DCM_BodyPartThickness, "500");
                 },
                 [](const fs::path&) {}, "8", "被写体厚既定値.txt"}));

// An exposure saved by hand is asked about when its image arrives (held: the screen asks, default
// No); an image's own record is known by its UID, so a second image of the same conditions is
// another exposure.
TEST(NodeSameExposure, AnImageOfAnExposureSavedByHandIsHeldNotRecordedTwice) {
    TempFolder folder;
    test::copyShippedData(folder.path());
    saveChestRecord(folder.path(), "8", "60", "1.6");
    ImageProcessor processor(folder.path());
    ASSERT_TRUE(processor.open().ok());
    test::infantImage("N-0001", "Yamada^Hanako").save(folder.file("a.dcm"));
    auto held = processor.processImageFile(folder.file("a.dcm"));
    ASSERT_TRUE(held.ok());
    EXPECT_EQ(held->outcome, Outcome::Held);
    EXPECT_NE(held->reason.find("同じ撮影の記録が手入力で保存されています（記録 1"), std::string::npos) << held->reason;

    test::infantImage("N-0001", "Yamada^Hanako").set(DCM_KVP, "66").save(folder.file("b.dcm"));
    test::infantImage("N-0001", "Yamada^Hanako").set(DCM_KVP, "66").save(folder.file("c.dcm"));
    for (const char* name : {"b.dcm", "c.dcm"}) {
        auto recorded = processor.processImageFile(folder.file(name));
        ASSERT_TRUE(recorded.ok());
        EXPECT_EQ(recorded->outcome, Outcome::Recorded) << name << ": " << recorded->reason;
    }
}

} // namespace
} // namespace tamso::node
