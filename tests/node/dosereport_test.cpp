// The dose report of an exposure: valid for DCMTK's and dicom3tools' checks in every variant, the
// values where a dose registry looks for them by concept name, the patient's name in its character
// set, new UUID-based UIDs, refused input, the values taken from a calculation, the installation's
// UID and the copy beside the record files.

#include "dicomtestfiles.h"
#include "engine/calculation.h"
#include "nodetestsupport.h"
#include "textio/fileio.h"

#include <dcmtk/dcmdata/dcuid.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using namespace tamso;
using node::DoseReportInput;

namespace {

const std::string kEscKanji = "\x1B$B";
const std::string kEscAscii = "\x1B(B";
// JIS X 0208 codes of 山田 and 花子.
const std::string kYamadaJis = ";3ED";
const std::string kHanakoJis = "2V;R";

struct Variant {
    const char* name;
    std::function<void(DoseReportInput&)> change;
};

const Variant kVariants[] = {
    {"image of an integrated unit", [](DoseReportInput&) {}},
    {"cassette-based unit", [](DoseReportInput& in) { in.device = node::AcquisitionDevice::CassetteBased; }},
    {"dose typed on the screen: no image, a study of its own, a UTF-8 name, no copper",
     [](DoseReportInput& in) {
         in.source = node::DoseSource::ManualEntry;
         in.imageSopClassUid = in.imageSopInstanceUid = in.imageSeriesInstanceUid = "";
         in.studyInstanceUid = in.studyDate = in.studyTime = in.accessionNumber = "";
         in.patientName = "山田^花子";
         in.patientCharacterSet = "ISO_IR 192";
         in.bodyPart = "胸部";
         in.operatorName = "佐藤 一郎";
         in.exposureTime = "";
         in.dose.tubeCurrentMa.reset();
         in.dose.exposureTimeMs.reset();
         in.dose.copperMm = 0;
         in.dose.expandedUncertaintyMGy.reset();
         in.xrayUnit = {};
     }},
    {"effective dose at the site's default weight",
     [](DoseReportInput& in) {
         in.dose.effectiveDoseUSv = 24.8071;
         in.dose.effectiveDoseUUSv = 9.96;
         in.dose.assumedWeightKg = 3;
     }},
    {"Japanese ISO 2022 name",
     [](DoseReportInput& in) {
         in.patientCharacterSet = "\\ISO 2022 IR 87";
         in.patientName =
             "Yamada^Hanako=" + kEscKanji + kYamadaJis + kEscAscii + "^" + kEscKanji + kHanakoJis + kEscAscii;
     }},
};

TEST(DoseReport, EveryVariantPassesDcmtkAndDciodvfy) {
    test::TempFolder folder;
    for (const auto& variant : kVariants) {
        SCOPED_TRACE(variant.name);
        DoseReportInput in = test::sampleReportInput();
        variant.change(in);
        auto report = node::buildDoseReport(in);
        ASSERT_TRUE(report.ok()) << report.error().message();
        for (const auto& complaint : test::validatorComplaints(folder, report->fileBytes))
            ADD_FAILURE() << complaint;
    }
}

TEST(DoseReport, RegistryFindsTheValuesByConceptName) {
    auto report = node::buildDoseReport(test::sampleReportInput());
    ASSERT_TRUE(report.ok()) << report.error().message();
    const test::ReadReport read = test::readReport(report->fileBytes);
    EXPECT_EQ(read.sopClassUid, "1.2.840.10008.5.1.4.1.1.88.67");
    EXPECT_EQ(read.root.meaning, "X-Ray Radiation Dose Report");
    const test::ReportItem* event = read.root.child("Irradiation Event X-Ray Data");
    ASSERT_NE(event, nullptr);
    struct Expected {
        const char* meaning;
        const char* value;
        const char* unit;
    };
    // Incident air kerma 0.150 mGy at 920 mm; the dose-area product from the beam alone
    // (0.140 mGy) on the field at the skin: 0.254 x 0.203 m2 x (920/1000)^2.
    const Expected numbers[] = {
        {"KVP", "60", "kV"},
        {"Exposure", "1600", "uA.s"},
        {"Distance Source to Detector", "1000", "mm"},
        {"Distance Source to Reference Point", "920", "mm"},
        {"Dose (RP)", "0.00015", "Gy"},
        {"Dose Area Product", "6.10989e-06", "Gy.m2"},
        {"Collimated Field Area", "0.051562", "m2"},
        {"X-Ray Tube Current", "160", "mA"},
        {"Exposure Time", "10", "ms"},
    };
    for (const auto& e : numbers) {
        SCOPED_TRACE(e.meaning);
        const test::ReportItem* item = event->child(e.meaning);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->valueType, "NUM");
        EXPECT_EQ(item->value, e.value);
        EXPECT_EQ(item->unit, e.unit);
    }
    ASSERT_NE(event->child("Reference Point Definition"), nullptr);
    EXPECT_NE(event->child("Reference Point Definition")->value.find("Entrance surface"), std::string::npos);
    ASSERT_NE(event->child("Comment"), nullptr);
    EXPECT_NE(event->child("Comment")->value.find("0.203 mGy; expanded uncertainty (k=2): 0.040 mGy"),
              std::string::npos);
    ASSERT_NE(event->child("Acquired Image"), nullptr);
    EXPECT_EQ(event->child("Acquired Image")->value, "1.2.826.0.1.3680043.9.7.1.3");
    int filters = 0;
    for (const auto& c : event->children)
        filters += c.meaning == "X-Ray Filters";
    EXPECT_EQ(filters, 2);
    ASSERT_NE(read.root.child("Source of Dose Information"), nullptr);
    EXPECT_EQ(read.root.child("Source of Dose Information")->value, "Computed From Image Attributes");
    const test::ReportItem* accumulated = read.root.child("Accumulated X-Ray Dose Data");
    ASSERT_NE(accumulated, nullptr);
    ASSERT_NE(accumulated->child("Dose (RP) Total"), nullptr);
    EXPECT_EQ(accumulated->child("Dose (RP) Total")->value, "0.00015");
}

// A registry finds the effective dose by its concept (in mSv); the comment gives it as the screens
// do, with its uncertainty and the weight it stands for.
TEST(DoseReport, EffectiveDoseIsANumberAndInTheComment) {
    DoseReportInput in = test::sampleReportInput();
    kVariants[3].change(in);
    auto report = node::buildDoseReport(in);
    ASSERT_TRUE(report.ok()) << report.error().message();
    const test::ReportItem* event = test::readReport(report->fileBytes).root.child("Irradiation Event X-Ray Data");
    ASSERT_NE(event, nullptr);
    ASSERT_NE(event->child("Effective Dose"), nullptr);
    EXPECT_EQ(event->child("Effective Dose")->value, "0.0248071");
    EXPECT_EQ(event->child("Effective Dose")->unit, "mSv");
    EXPECT_NE(event->child("Comment")->value.find(
                  "phantom of 3 kg, the site's default weight, assumed): 24.807 uSv, expanded uncertainty (k=2) 10 uSv"),
              std::string::npos)
        << event->child("Comment")->value;
    EXPECT_EQ(test::readReport(node::buildDoseReport(test::sampleReportInput())->fileBytes)
                  .root.child("Irradiation Event X-Ray Data")
                  ->child("Effective Dose"),
              nullptr);
}

TEST(DoseReport, ScreenDoseHasItsOwnStudyAndTheManualEntrySource) {
    DoseReportInput in = test::sampleReportInput();
    kVariants[2].change(in);
    auto report = node::buildDoseReport(in);
    ASSERT_TRUE(report.ok()) << report.error().message();
    const test::ReadReport read = test::readReport(report->fileBytes);
    EXPECT_EQ(read.root.child("Source of Dose Information")->value, "Manual Entry");
    EXPECT_EQ(read.studyInstanceUid.rfind("2.25.", 0), 0u);
    EXPECT_EQ(read.root.child("Irradiation Event X-Ray Data")->child("Acquired Image"), nullptr);
    EXPECT_EQ(read.root.child("Irradiation Event X-Ray Data")->child("DateTime Started")->value, "20240501");
    EXPECT_TRUE(read.evidenceInstanceUid.empty());
}

TEST(DoseReport, UidsAreNewUuidOnesAndTheImageStudyIsKept) {
    auto first = node::buildDoseReport(test::sampleReportInput());
    auto second = node::buildDoseReport(test::sampleReportInput());
    ASSERT_TRUE(first.ok() && second.ok());
    const test::ReadReport a = test::readReport(first->fileBytes);
    const test::ReadReport b = test::readReport(second->fileBytes);
    EXPECT_EQ(a.studyInstanceUid, "1.2.826.0.1.3680043.9.7.1.1");
    EXPECT_EQ(a.evidenceInstanceUid, "1.2.826.0.1.3680043.9.7.1.3");
    for (const auto& uid : {a.sopInstanceUid, a.seriesInstanceUid, b.sopInstanceUid}) {
        EXPECT_EQ(uid.rfind("2.25.", 0), 0u) << uid;
        EXPECT_LE(uid.size(), 64u);
    }
    EXPECT_EQ(a.sopInstanceUid, first->sopInstanceUid);
    EXPECT_NE(a.sopInstanceUid, b.sopInstanceUid);
    EXPECT_NE(a.seriesInstanceUid, b.seriesInstanceUid);
    // The exposure of one image is one event, whichever report names it.
    EXPECT_EQ(a.root.child("Irradiation Event X-Ray Data")->child("Irradiation Event UID")->value,
              b.root.child("Irradiation Event X-Ray Data")->child("Irradiation Event UID")->value);
    // The X-ray unit without a UID of its own keeps one derived UID.
    auto unitUid = [](const test::ReadReport& r) {
        return r.root.child("Accumulated X-Ray Dose Data")
            ->child("Device Role in Procedure")
            ->child("Device Observer UID")
            ->value;
    };
    EXPECT_EQ(unitUid(a), unitUid(b));
    EXPECT_EQ(unitUid(a).rfind("2.25.", 0), 0u);
}

TEST(DoseReport, ReportInAsciiOrUtf8WithTheImageTextsConverted) {
    const std::string jisName =
        "Yamada^Hanako=" + kEscKanji + kYamadaJis + kEscAscii + "^" + kEscKanji + kHanakoJis + kEscAscii;
    struct Case {
        const char* name;
        std::string characterSet;
        std::string patientName;
        std::string bodyPart;
        std::string expectedCharacterSet;
        std::string expectedName;
    };
    const Case cases[] = {
        {"ASCII name, no character set", "", "Yamada^Hanako", "CHEST", "", "Yamada^Hanako"},
        {"ASCII name in a Japanese character set", "\\ISO 2022 IR 87", "Yamada^Hanako", "CHEST", "",
         "Yamada^Hanako"},
        {"ISO 2022 name: converted to UTF-8", "\\ISO 2022 IR 87", jisName, "CHEST", "ISO_IR 192",
         "Yamada^Hanako=山田^花子"},
        {"Japanese body part with an ASCII name", "", "Yamada^Hanako", "胸部", "ISO_IR 192", "Yamada^Hanako"},
        {"UTF-8 name and a Japanese body part", "ISO_IR 192", "山田^花子", "胸部", "ISO_IR 192", "山田^花子"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DoseReportInput in = test::sampleReportInput();
        in.patientCharacterSet = c.characterSet;
        in.patientName = c.patientName;
        in.bodyPart = c.bodyPart;
        auto report = node::buildDoseReport(in);
        ASSERT_TRUE(report.ok()) << report.error().message();
        const test::ReadReport read = test::readReport(report->fileBytes);
        EXPECT_EQ(read.characterSet, c.expectedCharacterSet);
        EXPECT_EQ(read.patientNameBytes, c.expectedName);
        EXPECT_EQ(read.root.child("Irradiation Event X-Ray Data")->child("Acquisition Protocol")->value,
                  c.bodyPart);
    }
}

TEST(DoseReport, RefusesWhatAReportCannotState) {
    struct Case {
        const char* name;
        std::function<void(DoseReportInput&)> change;
        const char* message;
    };
    const Case cases[] = {
        {"no patient ID", [](DoseReportInput& in) { in.patientId = "  "; }, "患者ID"},
        {"date not YYYYMMDD", [](DoseReportInput& in) { in.exposureDate = "2024/05/01"; }, "撮影日"},
        {"impossible month", [](DoseReportInput& in) { in.exposureDate = "20241301"; }, "撮影日"},
        {"time with letters", [](DoseReportInput& in) { in.exposureTime = "09h30"; }, "撮影時刻"},
        {"no tube voltage", [](DoseReportInput& in) { in.dose.kvp = 0; }, "管電圧"},
        {"air kerma not a number", [](DoseReportInput& in) { in.dose.incidentAirKermaMGy = std::nan(""); },
         "入射空気カーマ"},
        {"skin beyond the detector", [](DoseReportInput& in) { in.dose.sourceToSkinMm = 1200; },
         "FFD より長い"},
        {"negative copper", [](DoseReportInput& in) { in.dose.copperMm = -0.1; }, "フィルタ"},
        {"image without its series", [](DoseReportInput& in) { in.imageSeriesInstanceUid = ""; }, "シリーズ"},
        {"ISO 2022 name with a byte outside its sets",
         [](DoseReportInput& in) {
             in.patientCharacterSet = "\\ISO 2022 IR 87";
             in.patientName = "Yamada\xFF";
         },
         "患者の文字"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DoseReportInput in = test::sampleReportInput();
        c.change(in);
        auto report = node::buildDoseReport(in);
        ASSERT_FALSE(report.ok());
        EXPECT_NE(report.error().message().find(c.message), std::string::npos) << report.error().message();
    }
}

TEST(DoseReport, ValuesOfACalculationAgreeWithItsDose) {
    test::TempFolder folder;
    auto state = test::loadMinimalInstallation(folder.path());
    engine::ConditionTexts conditions = engine::defaultConditions(*state);
    conditions.tubeVoltageKv = "60";
    conditions.mAs = "1.6";
    conditions.ffdCm = "100";
    conditions.subjectThicknessCm = "8";
    conditions.addedFilterCuMm = "0.1";
    engine::ResultTexts results;
    ASSERT_TRUE(engine::runCalculation(*state, conditions, results, engine::listingInto(folder.path())).ok());
    const node::ExposureDose d = node::doseReportValues(*state);
    EXPECT_DOUBLE_EQ(d.kvp, 60);
    EXPECT_DOUBLE_EQ(d.exposureUAs, 1600);
    EXPECT_DOUBLE_EQ(d.sourceToDetectorMm, 1000);
    EXPECT_DOUBLE_EQ(d.sourceToSkinMm, 920);
    EXPECT_DOUBLE_EQ(d.aluminiumMm, 2.5); // the inherent 2.5 mm of the basic data, no added aluminium
    EXPECT_DOUBLE_EQ(d.copperMm, 0.1);
    EXPECT_DOUBLE_EQ(d.fieldLongMm, 254);
    EXPECT_DOUBLE_EQ(d.fieldShortMm, 203);
    // The entrance surface dose is the incident air kerma times the backscatter factor and the
    // ratio of tissue to air absorption (the conversion factor over W).
    ASSERT_GT(d.incidentAirKermaMGy, 0);
    EXPECT_NEAR(d.entranceSurfaceDoseMGy,
                d.incidentAirKermaMGy * state->backscatterFactor * state->doseConversionFactor /
                    state->wAirEv,
                1e-12 * d.entranceSurfaceDoseMGy);
    EXPECT_NEAR(d.incidentAirKermaMGy, d.primaryAirKermaMGy * (1 + state->hoodScatterToPrimary), 1e-15);
    EXPECT_EQ(d.entranceSurfaceDoseMGy, state->entranceSurfaceDoseMGy);
}

TEST(DoseReport, ImageHeaderGivesPatientStudyImageUnitAndMomentOfTheExposure) {
    test::TempFolder folder;
    struct Case {
        const char* name;
        std::function<void(test::DicomImage&)> change;
        const char* date;
        const char* time;
    };
    const Case cases[] = {
        {"acquisition date without time", [](test::DicomImage&) {}, "20240501", ""},
        {"acquisition date and time", [](test::DicomImage& i) { i.set(DCM_AcquisitionTime, "093000"); },
         "20240501", "093000"},
        {"acquisition date-time with offset",
         [](test::DicomImage& i) {
             i.remove(DCM_AcquisitionDate).set(DCM_AcquisitionDateTime, "20240502101500.5+0900");
         },
         "20240502", "101500.5"},
        {"content date and time",
         [](test::DicomImage& i) {
             i.remove(DCM_AcquisitionDate).set(DCM_ContentDate, "20240503").set(DCM_ContentTime, "1200");
         },
         "20240503", "1200"},
        {"study date only", [](test::DicomImage& i) { i.remove(DCM_AcquisitionDate); }, "20240430", "101500"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::DicomImage image;
        c.change(image);
        image.save(folder.file("image.dcm"));
        auto in = node::reportInputFromImage(folder.file("image.dcm"));
        ASSERT_TRUE(in.ok()) << in.error().message();
        EXPECT_EQ(in->exposureDate, c.date);
        EXPECT_EQ(in->exposureTime, c.time);
    }

    test::DicomImage image;
    image.set(DCM_SpecificCharacterSet, "\\ISO 2022 IR 87")
        .set(DCM_PatientName, "Yamada^Hanako=" + kEscKanji + kYamadaJis + kEscAscii)
        .set(DCM_OperatorsName, kEscKanji + kHanakoJis + kEscAscii)
        .set(DCM_StationName, "PORTABLE1")
        .set(DCM_Manufacturer, "ACME")
        .set(DCM_XRayTubeCurrent, "200")
        .set(DCM_ExposureTime, "8");
    image.save(folder.file("image.dcm"));
    auto in = node::reportInputFromImage(folder.file("image.dcm"));
    ASSERT_TRUE(in.ok()) << in.error().message();
    EXPECT_EQ(in->patientId, "N-0001");
    EXPECT_EQ(in->patientName, "Yamada^Hanako=" + kEscKanji + kYamadaJis + kEscAscii);
    EXPECT_EQ(in->patientCharacterSet, "\\ISO 2022 IR 87");
    EXPECT_EQ(in->operatorName, "花子");
    EXPECT_EQ(in->xrayUnit.name, "PORTABLE1");
    EXPECT_EQ(in->xrayUnit.manufacturer, "ACME");
    EXPECT_EQ(in->imageSopClassUid, UID_DigitalXRayImageStorageForPresentation);
    EXPECT_FALSE(in->imageSopInstanceUid.empty());
    EXPECT_FALSE(in->imageSeriesInstanceUid.empty());
    EXPECT_EQ(in->device, node::AcquisitionDevice::Integrated);
    EXPECT_EQ(in->dose.tubeCurrentMa, 200);
    EXPECT_EQ(in->dose.exposureTimeMs, 8);

    // With the dose of the calculation the report of the image is complete and valid.
    const DoseReportInput sample = test::sampleReportInput();
    in->dose = sample.dose;
    in->recorder = sample.recorder;
    in->softwareVersion = sample.softwareVersion;
    EXPECT_EQ(node::reportLabel(*in), "N-0001 山田 2024/05/01 0.203 mGy");
    auto report = node::buildDoseReport(*in);
    ASSERT_TRUE(report.ok()) << report.error().message();
    for (const auto& complaint : test::validatorComplaints(folder, report->fileBytes))
        ADD_FAILURE() << complaint;
    EXPECT_EQ(test::readReport(report->fileBytes).studyInstanceUid, in->studyInstanceUid);

    image.set(DCM_SOPClassUID, UID_ComputedRadiographyImageStorage).set(DCM_Modality, "CR");
    image.save(folder.file("image.dcm"));
    EXPECT_EQ(node::reportInputFromImage(folder.file("image.dcm"))->device,
              node::AcquisitionDevice::CassetteBased);
}

TEST(DoseReport, InstallationUidIsMadeOnceAndAStrangeFileRefused) {
    test::TempFolder folder;
    const auto nodeFolder = folder.path() / "tamso-node";
    auto first = node::recorderUid(nodeFolder);
    auto again = node::recorderUid(nodeFolder);
    ASSERT_TRUE(first.ok() && again.ok()) << (first.ok() ? again.error().message() : first.error().message());
    EXPECT_EQ(*first, *again);
    EXPECT_EQ(first->rfind("2.25.", 0), 0u);
    test::writeBytes(nodeFolder / "device-uid.txt", "not a uid\r\n");
    EXPECT_FALSE(node::recorderUid(nodeFolder).ok());
}

TEST(DoseReport, CopyBesideTheRecordsIsNamedByPatientAndDateAndNeverReplaced) {
    test::TempFolder folder;
    auto report = node::buildDoseReport(test::sampleReportInput());
    ASSERT_TRUE(report.ok());
    auto written = node::writeReportBesideRecords(folder.path(), *report, "N/0001", "20240501");
    ASSERT_TRUE(written.ok()) << written.error().message();
    EXPECT_EQ(*written,
              folder.file("線量レポート") / "N_0001" / ("20240501_" + report->sopInstanceUid + ".dcm"));
    EXPECT_EQ(test::readBytes(*written), report->fileBytes);
    node::DoseReport other = *report;
    other.fileBytes = "changed";
    ASSERT_TRUE(node::writeReportBesideRecords(folder.path(), other, "N/0001", "20240501").ok());
    EXPECT_EQ(test::readBytes(*written), report->fileBytes);
    EXPECT_FALSE(node::writeReportBesideRecords(folder.path(), *report, "..", "20240501").ok());
}

} // namespace
