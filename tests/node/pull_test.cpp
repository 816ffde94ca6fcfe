// Back-filling from a PACS: the date range as the query states it, and with an Orthanc that holds
// radiographs of two infants and other images beforehand, the radiographs of a period and of one
// infant found and their headers fetched without pixel data.

#include "dicomtestfiles.h"
#include "node/pull.h"
#include "nodetestsupport.h"

#include <dcmtk/dcmdata/dcuid.h>
#include <gtest/gtest.h>

#include <algorithm>

using namespace tamso;
using namespace std::chrono_literals;

namespace {

TEST(Pull, StudyDateRangeOfTheQuery) {
    struct Case {
        const char* from;
        const char* to;
        const char* range; // nullptr: refused
    };
    const Case cases[] = {
        {"20240401", "20240531", "20240401-20240531"},
        {"20240401", "", "20240401-"},
        {"", "20240531", "-20240531"},
        {"", "", ""},
        {"20240501", "20240501", "20240501-20240501"},
        {"20240601", "20240501", nullptr},
        {"2024/04/01", "", nullptr},
        {"", "2024053", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.from) + " " + c.to);
        node::PullQuery q;
        q.fromDate = c.from;
        q.toDate = c.to;
        auto range = node::studyDateRange(q);
        ASSERT_EQ(range.ok(), c.range != nullptr);
        if (c.range) {
            EXPECT_EQ(*range, c.range);
        }
    }
}

// Stores an image in Orthanc over its REST API, as if the PACS had it from before.
std::string storeInOrthanc(const test::Orthanc& orthanc, const test::TempFolder& folder,
                           const test::DicomImage& image) {
    const auto file = folder.path() / "upload.dcm";
    image.save(file);
    return orthanc.post("/instances", test::readBytes(file));
}

std::string sopInstanceUidOf(const test::DicomImage& image, const test::TempFolder& folder) {
    const auto file = folder.path() / "uid.dcm";
    image.save(file);
    DcmFileFormat f;
    f.loadFile(file.string().c_str());
    OFString uid;
    f.getDataset()->findAndGetOFString(DCM_SOPInstanceUID, uid);
    return uid.c_str();
}

TEST(PullWithOrthanc, RadiographsOfThePeriodAndOfOneInfantAreFoundAndTheirHeadersFetched) {
    test::TempFolder folder;
    test::Orthanc orthanc({"TAMSO"});

    test::DicomImage inRange; // DX of N-0001, study date 2024-04-30
    inRange.pixels(64, 64);
    test::DicomImage crInRange; // CR of N-0002, 2024-05-02
    crInRange.set(DCM_SOPClassUID, UID_ComputedRadiographyImageStorage)
        .set(DCM_Modality, "CR")
        .set(DCM_PatientID, "N-0002")
        .set(DCM_StudyDate, "20240502")
        .remove(DCM_PresentationIntentType)
        .set(DCM_TextValue, std::string(150000, 'x')); // a header far longer than any write buffer
    test::DicomImage outOfRange;                       // DX of N-0001, 2024-06-01
    outOfRange.set(DCM_StudyDate, "20240601");
    test::DicomImage ctInStudy = inRange; // a CT in the study of the first radiograph
    ctInStudy.makeCt().set(DCM_SOPInstanceUID, "1.2.826.0.1.3680043.9.7.99.1");
    ctInStudy.set(DCM_SeriesInstanceUID, "1.2.826.0.1.3680043.9.7.99.2");
    for (const auto* image : {&inRange, &crInRange, &outOfRange, &ctInStudy})
        storeInOrthanc(orthanc, folder, *image);
    ASSERT_EQ(orthanc.instances().size(), 4u);

    node::PullQuery query;
    query.pacs = orthanc.destination();
    query.callingAeTitle = "TAMSO";
    query.connectTimeout = 5s;
    query.fromDate = "20240401";
    query.toDate = "20240531";
    auto found = node::findImages(query);
    ASSERT_TRUE(found.ok()) << found.error().message();
    std::vector<std::string> uids;
    for (const auto& f : *found)
        uids.push_back(f.sopInstanceUid);
    std::sort(uids.begin(), uids.end());
    std::vector<std::string> expected = {sopInstanceUidOf(inRange, folder),
                                         sopInstanceUidOf(crInRange, folder)};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(uids, expected);

    query.patientId = "N-0002";
    auto ofOne = node::findImages(query);
    ASSERT_TRUE(ofOne.ok()) << ofOne.error().message();
    ASSERT_EQ(ofOne->size(), 1u);
    EXPECT_EQ(ofOne->front().patientId, "N-0002");
    EXPECT_EQ(ofOne->front().sopClassUid, UID_ComputedRadiographyImageStorage);

    const auto headers = folder.path() / "pulled";
    auto retrieved = node::retrieveHeaders(query, *found, headers);
    ASSERT_TRUE(retrieved.ok()) << retrieved.error().message();
    ASSERT_EQ(retrieved->size(), 2u);
    for (const auto& r : *retrieved) {
        SCOPED_TRACE(r.image.sopInstanceUid);
        ASSERT_TRUE(r.problem.empty()) << r.problem;
        EXPECT_EQ(r.headerFile, headers / (r.image.sopInstanceUid + ".dcm"));
        DcmFileFormat file;
        ASSERT_TRUE(file.loadFile(r.headerFile.string().c_str()).good());
        OFString kvp, patient;
        file.getDataset()->findAndGetOFString(DCM_KVP, kvp);
        file.getDataset()->findAndGetOFString(DCM_PatientID, patient);
        EXPECT_EQ(kvp, "60");
        EXPECT_EQ(std::string(patient.c_str()), r.image.patientId);
        EXPECT_FALSE(file.getDataset()->tagExists(DCM_PixelData));
        OFString text;
        file.getDataset()->findAndGetOFStringArray(DCM_TextValue, text);
        EXPECT_EQ(text.length(), r.image.patientId == "N-0002" ? 150000u : 0u);
    }

    // An image the PACS no longer has: that image fails, the others are fetched.
    std::vector<node::FoundImage> withMissing = *found;
    withMissing.insert(withMissing.begin(), withMissing.front());
    withMissing.front().sopInstanceUid = "1.2.826.0.1.3680043.9.7.404";
    auto partly = node::retrieveHeaders(query, withMissing, folder.path() / "again");
    ASSERT_TRUE(partly.ok()) << partly.error().message();
    EXPECT_FALSE(partly->at(0).problem.empty());
    EXPECT_TRUE(partly->at(1).problem.empty()) << partly->at(1).problem;
    EXPECT_TRUE(partly->at(2).problem.empty()) << partly->at(2).problem;

    // A calling AE title the PACS does not know gets no answer.
    query.callingAeTitle = "STRANGER";
    EXPECT_FALSE(node::findImages(query).ok());
}

} // namespace
