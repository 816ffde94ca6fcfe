// The report of a study: its exposures wait together for the report delay and go in one report
// whose totals are their sum; a later exposure sends the whole study again under the same event
// UIDs; the event UID, target region, patient characteristics and filters a registry reads.

#include "node/dosereporter.h"
#include "node/imageprocessor.h"
#include "node/nodefolders.h"
#include "node/targetregions.h"
#include "nodetestsupport.h"
#include "receivedimages.h"

#include <dcmtk/dcmdata/dcdeftag.h>

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace tamso::node {
namespace {

using namespace std::chrono_literals;
using test::TempFolder;

struct Study {
    std::string uid = test::newUid();
    // An image of the study; `event` its own Irradiation Event UID, where it has one.
    test::DicomImage image(const std::string& event = {}) const {
        auto image = test::infantImage("S-1", "Sato^Ai");
        image.set(DCM_StudyInstanceUID, uid).set(DCM_PatientAge, "003D").set(DCM_PatientWeight, "0.95");
        if (!event.empty())
            image.set(DCM_IrradiationEventUID, event);
        return image;
    }
};

// A working folder whose node records images and schedules their study reports (delay 60 s).
struct Site {
    TempFolder folder;
    std::unique_ptr<DoseReporter> reporter;
    std::unique_ptr<ImageProcessor> processor;
    Site() {
        test::copyShippedData(folder.path());
        restart();
    }
    void restart() { // as after kill -9: new objects on the same folder
        processor.reset();
        OutboxOptions options;
        options.reportDelay = 60s;
        reporter = std::make_unique<DoseReporter>(folder.path(), std::vector<Destination>{{"PACS", "127.0.0.1", 104}},
                                                  false, "tamso-node", NodeLogger{}, options);
        processor = std::make_unique<ImageProcessor>(folder.path());
        processor->setRecordedHook(reporter->recordedHook());
        EXPECT_TRUE(processor->open().ok());
    }
    void record(const test::DicomImage& image) {
        image.save(folder.file("i.dcm"));
        auto entry = processor->processImageFile(folder.file("i.dcm"));
        ASSERT_TRUE(entry.ok()) << entry.error().message();
        ASSERT_EQ(entry->outcome, Outcome::Recorded) << entry->reason;
    }
    // The reports waiting, oldest first, after the sender's round at `when`.
    std::vector<test::ReadReport> reportsAt(Clock::time_point when) {
        EXPECT_TRUE(reporter->reportDueStudies(when).ok());
        std::vector<test::ReadReport> reports;
        const auto waiting = reporter->outbox().waiting();
        for (const OutboxEntry& e : *waiting)
            reports.push_back(test::readReport(test::readBytes(reporter->outbox().reportPath(e))));
        return reports;
    }
};

std::vector<const test::ReportItem*> events(const test::ReadReport& r) {
    std::vector<const test::ReportItem*> found;
    for (const test::ReportItem& item : r.root.children)
        if (item.meaning == "Irradiation Event X-Ray Data")
            found.push_back(&item);
    return found;
}

double number(const test::ReportItem* item, const std::string& meaning) {
    return std::stod(item->child(meaning)->value);
}

TEST(StudyReport, WaitsForTheQuietStudyThenHoldsItAllAndALaterExposureSendsTheWholeStudyAgain) {
    Site site;
    Study study;
    site.record(study.image());
    site.record(study.image());
    EXPECT_TRUE(site.reportsAt(Clock::now()).empty()) << "sent before the study was quiet";

    site.restart(); // the waiting study survives a kill
    auto reports = site.reportsAt(Clock::now() + 61s);
    ASSERT_EQ(reports.size(), 1u);
    const test::ReadReport& first = reports[0];
    ASSERT_EQ(events(first).size(), 2u);
    const test::ReportItem* total = first.root.child("Accumulated X-Ray Dose Data");
    EXPECT_EQ(number(total, "Total Number of Radiographic Frames"), 2);
    for (const char* pair : {"Dose (RP)", "Dose Area Product"}) {
        const double sum = number(events(first)[0], pair) + number(events(first)[1], pair);
        EXPECT_NEAR(number(total, pair + std::string(" Total")), sum, sum * 1e-5) << pair;
    }
    EXPECT_TRUE(site.reportsAt(Clock::now() + 200s).size() == 1u) << "the same study queued twice";

    site.record(study.image());
    reports = site.reportsAt(Clock::now() + 122s);
    ASSERT_EQ(reports.size(), 2u);
    const test::ReadReport& second = reports[1];
    EXPECT_NE(second.sopInstanceUid, first.sopInstanceUid);
    EXPECT_EQ(second.studyInstanceUid, study.uid);
    ASSERT_EQ(events(second).size(), 3u);
    std::set<std::string> before, after;
    for (const auto* e : events(first))
        before.insert(e->child("Irradiation Event UID")->value);
    for (const auto* e : events(second))
        after.insert(e->child("Irradiation Event UID")->value);
    for (const std::string& uid : before)
        EXPECT_EQ(after.count(uid), 1u) << "event renamed: " << uid;
    TempFolder validation;
    const OutboxEntry latest = site.reporter->outbox().waiting()->back();
    for (const auto& complaint :
         test::validatorComplaints(validation, test::readBytes(site.reporter->outbox().reportPath(latest))))
        ADD_FAILURE() << complaint;
}

TEST(StudyReport, NamesTheImagesEventTheCodedRegionThePatientAndTheAddedFiltersOnly) {
    Site site;
    Study study;
    const std::string event = test::newUid();
    site.record(study.image(event));
    const auto reports = site.reportsAt(Clock::now() + 61s);
    ASSERT_EQ(reports.size(), 1u);
    const test::ReportItem* e = events(reports[0]).at(0);
    EXPECT_EQ(e->child("Irradiation Event UID")->value, event);
    EXPECT_EQ(e->child("Target Region")->value, "Chest");
    // The shipped basic data add no filter: the inherent filtration is in the comment, not a filter.
    const test::ReportItem* filters = e->child("X-Ray Filters");
    ASSERT_NE(filters, nullptr);
    EXPECT_EQ(filters->child("X-Ray Filter Type")->value, "No filter");
    EXPECT_EQ(filters->child("X-Ray Filter Material"), nullptr);
    EXPECT_NE(e->child("Comment")->value.find("inherent filtration of the tube 2.50 mm Al"), std::string::npos)
        << e->child("Comment")->value;
    const std::string bytes = test::readBytes(site.reporter->outbox().reportPath(site.reporter->outbox().waiting()->front()));
    EXPECT_NE(bytes.find("003D"), std::string::npos) << "patient's age left out";
    TempFolder validation;
    for (const auto& complaint : test::validatorComplaints(validation, bytes))
        ADD_FAILURE() << complaint;
}

TEST(StudyReport, AddedFiltersGoInSnomedCtAndTheInherentPartIsNoFilter) {
    DoseReportInput in = test::sampleReportInput();
    in.dose.aluminiumMm = 3.5;
    in.dose.inherentAluminiumMm = 2.5;
    in.dose.copperMm = 0.1;
    auto report = buildDoseReport(in);
    ASSERT_TRUE(report.ok()) << report.error().message();
    const test::ReadReport read = test::readReport(report->fileBytes);
    std::vector<std::pair<std::string, double>> filters;
    for (const test::ReportItem& item : events(read).at(0)->children)
        if (item.meaning == "X-Ray Filters")
            filters.emplace_back(item.child("X-Ray Filter Material")->value,
                                 std::stod(item.child("X-Ray Filter Thickness Maximum")->value));
    EXPECT_EQ(filters, (std::vector<std::pair<std::string, double>>{{"Aluminum or Aluminum compound", 1.0},
                                                                   {"Copper or Copper compound", 0.1}}));
    EXPECT_EQ(report->fileBytes.find("SRT"), std::string::npos) << "a deprecated coding scheme";
}

TEST(TargetRegionFile, ReadsRegionsAndRefusesWhatWouldSendAWrongCode) {
    const struct {
        const char* text;
        const char* problem; // empty: read
    } cases[] = {
        {"# 撮影部位,コード,意味\n胸部正面, 816094009 ,Chest\n胸部正面,818981001,Abdomen\n", ""},
        {"胸部正面,T-D3000,Chest\n", "1 行目のコード"},
        {"\n胸部正面,816094009\n", "2 行目にコードの意味"},
    };
    for (const auto& c : cases) {
        auto regions = TargetRegions::fromText(c.text);
        if (*c.problem) {
            ASSERT_FALSE(regions.ok()) << c.text;
            EXPECT_NE(regions.error().message().find(c.problem), std::string::npos) << regions.error().message();
            continue;
        }
        ASSERT_TRUE(regions.ok()) << regions.error().message();
        EXPECT_EQ(regions->regionOf("胸部正面").code, "816094009"); // the first line of a body part
        EXPECT_TRUE(regions->regionOf("頭部正面").empty());
    }
}

TEST(OutboxMarks, AReportIsQueuedOncePerDestinationWithoutReadingTheWaitingEntries) {
    TempFolder folder;
    Outbox outbox(folder.path());
    auto report = buildDoseReport(test::sampleReportInput());
    ASSERT_TRUE(report.ok());
    const std::vector<Destination> two = {{"PACS", "127.0.0.1", 104}, {"PACS", "::1", 104}};
    ASSERT_EQ(outbox.enqueue(*report, {two[0]}, "x")->size(), 1u);
    // Entries that cannot be read do not matter: the marks say what was queued.
    for (const auto& entry : fs::directory_iterator(outbox.folder() / "waiting"))
        test::writeBytes(entry.path(), "garbage");
    EXPECT_EQ(outbox.enqueue(*report, two, "x")->size(), 1u); // only the second destination
    EXPECT_EQ(outbox.enqueue(*report, two, "x")->size(), 0u);
    EXPECT_EQ(std::distance(fs::directory_iterator(outbox.folder() / "waiting"), fs::directory_iterator()), 2);
}

} // namespace
} // namespace tamso::node
