// The dose report on its way out: the run's values through the journal's text, the report of a dose
// saved through the report screen (whose patient and study), the report of each image the node
// records queued once even when the queueing fails or is interrupted.

#include "node/dosereporter.h"
#include "node/nodefolders.h"
#include "nodetestsupport.h"
#include "receivedimages.h"
#include "textio/fileio.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>

namespace tamso::node {
namespace {

using test::TempFolder;

TEST(DoseReportValuesText, CarriesEveryValueToItsLastBitAndRefusesWhatIsNotSuchALine) {
    ExposureDose d = test::sampleReportInput().dose;
    d.incidentAirKermaMGy = 0.1 + 0.2; // a value with no short decimal form
    d.exposureTimeMs.reset();
    d.effectiveDoseUSv = 24.5591;
    d.effectiveDoseUUSv = 9.96;
    d.assumedWeightKg = 3;
    const auto back = exposureDoseFromText(exposureDoseText(d));
    ASSERT_TRUE(back);
    // A study report written after a restart takes the effective dose and its weight from here.
    EXPECT_EQ(back->effectiveDoseUSv, d.effectiveDoseUSv);
    EXPECT_EQ(back->effectiveDoseUUSv, d.effectiveDoseUUSv);
    EXPECT_EQ(back->assumedWeightKg, d.assumedWeightKg);
    EXPECT_FALSE(back->weightKg);
    EXPECT_EQ(back->incidentAirKermaMGy, d.incidentAirKermaMGy);
    EXPECT_EQ(back->entranceSurfaceDoseMGy, d.entranceSurfaceDoseMGy);
    EXPECT_EQ(back->tubeCurrentMa, d.tubeCurrentMa);
    EXPECT_FALSE(back->exposureTimeMs);
    EXPECT_EQ(back->halfValueLayerMmAl, d.halfValueLayerMmAl);

    const std::string good = exposureDoseText(d);
    for (const std::string& bad : {std::string(), good + ";kvp", good + ";volume=3", good + ";u=1e999",
                                   good.substr(good.find(';') + 1), // without kvp
                                   std::string("kvp=6O") + good.substr(good.find(';'))})
        EXPECT_FALSE(exposureDoseFromText(bad)) << bad;
}

TEST(PersonNameOfRecord, FamilyAndGivenNameAtTheFirstBlank) {
    const std::pair<const char*, const char*> cases[] = {
        {"山田 花子", "山田^花子"},       {"山田\xE3\x80\x80花子", "山田^花子"}, {"Yamada  Hanako", "Yamada^Hanako"},
        {"Van der Berg Ann", "Van^der Berg Ann"}, {"山田", "山田"},                     {" 山田 花子 ", "山田^花子"},
    };
    for (const auto& [record, dicom] : cases)
        EXPECT_EQ(personNameOfRecord(record), dicom) << record;
}

// The record decides the patient: the image's study only where the record is the image's infant.
TEST(SavedExposureReport, ImagesStudyOnlyForTheImagesInfant) {
    DoseReportInput image = test::sampleReportInput(); // N-0001, its study and image
    image.exposureTime = "093000";
    DoseReportInput typed;                             // conditions typed on the screen
    typed.source = DoseSource::ManualEntry;
    typed.dose = image.dose;
    typed.exposureDate = "20240501";
    const struct {
        const char* name;
        const DoseReportInput* computed;
        SavedExposure saved;
        bool imageStudy;
        const char* patientName;
        const char* date;
        const char* time;
    } cases[] = {
        {"the image's infant", &image, {"N-0001", "山田 花子", "2024/05/01", "胸部", "佐藤 恵子", "X1"}, true,
         "Yamada^Hanako", "20240501", "093000"},
        {"another ID typed", &image, {"N-0002", "鈴木 一郎", "2024/05/01", "胸部", "", "X1"}, false, "鈴木^一郎",
         "20240501", "093000"},
        {"the date changed on the report", &image, {"N-0001", "", "2024/5/3", "腹部", "", "X1"}, true,
         "Yamada^Hanako", "20240503", ""},
        {"no image", &typed, {"N-0003", "田中 太郎", "2024/06/02", "胸部", "", "X1"}, false, "田中^太郎",
         "20240602", ""},
        {"a date that is none keeps the screen's", &typed, {"N-0003", "田中", "?", "胸部", "", "X1"}, false,
         "田中", "20240501", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const DoseReportInput in = savedExposureReport(*c.computed, c.saved);
        EXPECT_EQ(in.patientId, c.saved.patientId);
        EXPECT_EQ(in.patientName, c.patientName);
        EXPECT_EQ(in.exposureDate, c.date);
        EXPECT_EQ(in.exposureTime, c.time);
        EXPECT_EQ(in.bodyPart, c.saved.bodyPart);
        EXPECT_EQ(in.source, c.computed->source);
        EXPECT_EQ(in.dose.entranceSurfaceDoseMGy, image.dose.entranceSurfaceDoseMGy);
        EXPECT_EQ(in.studyInstanceUid.empty(), !c.imageStudy);
        EXPECT_EQ(in.imageSopInstanceUid.empty(), !c.imageStudy);
        EXPECT_EQ(in.accessionNumber.empty(), !c.imageStudy);
        // Every variant makes a report that the validators pass.
        DoseReportInput complete = in;
        complete.recorder = image.recorder;
        auto report = buildDoseReport(complete);
        ASSERT_TRUE(report.ok()) << report.error().message();
        if (c.imageStudy) {
            EXPECT_EQ(report->studyInstanceUid, image.studyInstanceUid);
        } else {
            EXPECT_NE(report->studyInstanceUid, image.studyInstanceUid);
        }
        TempFolder folder;
        for (const auto& complaint : test::validatorComplaints(folder, report->fileBytes))
            ADD_FAILURE() << complaint;
    }
}

// A full disk while the report of a recorded image is queued: the record stands, the journal and
// the header keep what the report needs, and the next pass queues it, once.
TEST(RecordedImageReport, QueuedByTheNextPassWhenTheDiskWasFull) {
    TempFolder folder;
    test::copyShippedData(folder.path());
    DoseReporter reporter(folder.path(), {{"PACS", "127.0.0.1", 104}}, true, "tamso-node");
    ImageProcessor processor(folder.path());
    processor.setRecordedHook(reporter.recordedHook());
    ASSERT_TRUE(processor.open().ok());
    const std::string uid = test::newUid();
    test::infantImage("F", "Fuji^Rei", uid).save(folder.file("f.dcm"));
    textio::setWriteFaultForTesting([](const fs::path& temp) {
        return temp.parent_path().filename() == "waiting" ? ENOSPC : 0;
    });
    auto entry = processor.processImageFile(folder.file("f.dcm"));
    textio::setWriteFaultForTesting({});
    ASSERT_TRUE(entry.ok()) << entry.error().message();
    EXPECT_EQ(entry->outcome, Outcome::Recorded);
    EXPECT_TRUE(reporter.outbox().waiting()->empty());
    const fs::path journal = nodeFolder(folder.path()) / "journal";
    EXPECT_GT(fs::file_size(journal), 0u);

    ASSERT_TRUE(processor.processWaiting().ok());
    ASSERT_TRUE(processor.processWaiting().ok());
    const auto waiting = reporter.outbox().waiting();
    ASSERT_EQ(waiting->size(), 1u);
    const test::ReadReport report = test::readReport(test::readBytes(reporter.outbox().reportPath(waiting->front())));
    EXPECT_EQ(report.evidenceInstanceUid, uid);
    EXPECT_EQ(report.patientId, "F");
    EXPECT_EQ(fs::file_size(journal), 0u);
    EXPECT_TRUE(fs::is_empty(nodeFolder(folder.path()) / "inbox"));
    // Beside the records, the same report (written before the outbox failed, and not replaced).
    EXPECT_EQ(test::readBytes(folder.file("線量レポート") / "F" / ("20240501_" + report.sopInstanceUid + ".dcm")),
              test::readBytes(reporter.outbox().reportPath(waiting->front())));
}

} // namespace
} // namespace tamso::node
