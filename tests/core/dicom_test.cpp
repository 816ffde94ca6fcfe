// Reading the exposure from the header of real DICOM files written with DCMTK: the values and
// where each came from, mAs from µAs, mAs or current x time, dates, the collimated field, the
// character sets of Japanese names, files that are no radiograph, DICOMDIRs, and the mapping of
// body-part texts onto the body-part list.

#include "dicom/bodypartmap.h"
#include "dicom/dicomtext.h"
#include "dicom/imageexposure.h"
#include "dicomtestfiles.h"
#include "refdata/referencelevels.h"
#include "testsupport.h"
#include "textio/fileio.h"

#include <dcmtk/dcmdata/dcuid.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>

#ifndef _WIN32
#include <sys/stat.h>
#endif

using namespace tamso;
using dicom::FileKind;
using test::DicomImage;

namespace {

namespace fs = std::filesystem;

const std::string kEscKanji = "\x1B$B";
const std::string kEscAscii = "\x1B(B";
const std::string kEscRomaji = "\x1B(J";
// JIS X 0208 codes: 山田 ;3ED, 花子 2V;R, 太郎 B@O:, 十和田 ==OBED (bytes that read as "="),
// 移 0\ (a byte that reads as the value delimiter), 胸部正面 6;It@5LL.
const std::string kYamada = ";3ED";
const std::string kHanako = "2V;R";
const std::string kTowada = "==OBED";
const std::string kUtsuri = "0\\";
// Half-width katakana of JIS X 0201: ﾔﾏﾀﾞ and ﾊﾅｺ.
const std::string kYamadaKana = "\xD4\xCF\xC0\xDE";
const std::string kHanakoKana = "\xCA\xC5\xBA";

class DicomRead : public ::testing::Test {
protected:
    dicom::HeaderReading read(const DicomImage& image, bool implicitVr = false) {
        const auto file = folder.file("image.dcm");
        image.save(file, implicitVr);
        return dicom::readHeader(file);
    }
    dicom::ImageExposure exposure(const DicomImage& image) {
        auto reading = read(image);
        EXPECT_EQ(reading.kind, FileKind::Radiograph) << reading.message;
        return reading.exposure;
    }
    test::TempFolder folder;
};

TEST_F(DicomRead, ValuesOfATypicalRadiographWithTheirSources) {
    const dicom::ImageExposure e = exposure(DicomImage());
    EXPECT_EQ(e.modality, "DX");
    ASSERT_TRUE(e.tubeVoltageKv.has());
    EXPECT_EQ(*e.tubeVoltageKv.value, 60);
    EXPECT_EQ(e.tubeVoltageKv.source, "KVP (0018,0060)");
    ASSERT_TRUE(e.mAs.has());
    EXPECT_EQ(*e.mAs.value, 1.6); // 1600 µAs
    EXPECT_EQ(e.mAs.source, "ExposureInuAs (0018,1153)");
    ASSERT_TRUE(e.ffdCm.has());
    EXPECT_EQ(*e.ffdCm.value, 100); // 1000 mm
    EXPECT_EQ(e.ffdCm.source, "DistanceSourceToDetector (0018,1110)");
    ASSERT_TRUE(e.examDate.has());
    EXPECT_EQ(e.examDate.value->year, 2024);
    EXPECT_EQ(e.examDate.value->month, 5);
    EXPECT_EQ(e.examDate.value->day, 1);
    EXPECT_EQ(e.examDate.source, "AcquisitionDate (0008,0022)"); // before the study date
    EXPECT_EQ(e.patientId.value.value_or(""), "N-0001");
    EXPECT_EQ(e.patientName.value.value_or(""), "Yamada Hanako");
    EXPECT_EQ(e.bodyPartTexts.bodyPartExamined, "CHEST");
    EXPECT_EQ(e.bodyPartTexts.viewPosition, "AP");
    EXPECT_FALSE(e.fieldSize.has());
    EXPECT_EQ(e.fieldSize.problem, "CollimatorShape (0018,1700) がありません");
}

TEST_F(DicomRead, OlderFilesInImplicitVrWithoutMetaHeaderAndDecimalValues) {
    DicomImage image;
    image.set(DCM_KVP, "52.5 ").set(DCM_DistanceSourceToDetector, "1003.5");
    const auto reading = read(image, true);
    ASSERT_EQ(reading.kind, FileKind::Radiograph) << reading.message;
    EXPECT_EQ(*reading.exposure.tubeVoltageKv.value, 52.5);
    EXPECT_EQ(*reading.exposure.ffdCm.value, 100.35);
}

// Only the header is read: a file cut short inside its pixel data still gives its exposure.
TEST_F(DicomRead, StopsBeforeThePixelData) {
    DicomImage image;
    image.pixels(512, 512);
    const auto file = folder.file("cut.dcm");
    image.save(file);
    const std::string bytes = test::readBytes(file);
    ASSERT_GT(bytes.size(), 512u * 512u * 2u);
    test::writeBytes(file, bytes.substr(0, bytes.size() - 400000));
    const auto reading = dicom::readHeader(file);
    ASSERT_EQ(reading.kind, FileKind::Radiograph) << reading.message;
    EXPECT_EQ(*reading.exposure.tubeVoltageKv.value, 60);
}

struct MAsCase {
    const char* name;
    std::vector<std::pair<DcmTagKey, std::string>> values; // "" removes; FD values are numbers
    std::optional<double> mAs;
    std::string source;       // of a value
    std::string problem = ""; // without a value: the problem begins with this
};

TEST_F(DicomRead, MAsFromMicroAmpereSecondsMilliAmpereSecondsOrCurrentTimesTime) {
    const DcmTagKey uAs = DCM_ExposureInuAs, mAs = DCM_Exposure, mA = DCM_XRayTubeCurrent,
                    ms = DCM_ExposureTime, uA = DCM_XRayTubeCurrentInuA, us = DCM_ExposureTimeInuS;
    const std::string mAxMs = "XRayTubeCurrent (0018,1151) x ExposureTime (0018,1150)";
    const MAsCase cases[] = {
        {"µAs wins over mAs", {{mAs, "5"}, {mA, "100"}, {ms, "16"}}, 1.6, "ExposureInuAs (0018,1153)"},
        {"whole mAs", {{uAs, ""}, {mAs, "2"}}, 2, "Exposure (0018,1152)"},
        {"current x time refines a rounded mAs",
         {{uAs, ""}, {mAs, "2"}, {mA, "100"}, {ms, "16"}},
         1.6,
         mAxMs},
        {"a product half a mAs from the whole mAs still rounds to it",
         {{uAs, ""}, {mAs, "2"}, {mA, "100"}, {ms, "15"}},
         1.5,
         mAxMs},
        {"a whole mAs the product does not round to refuses both",
         {{uAs, ""}, {mAs, "2"}, {mA, "101"}, {ms, "10"}},
         std::nullopt,
         "",
         mAxMs + " の 1.01 mAs と Exposure (0018,1152) の 2 mAs が合いません"},
        {"current x time alone", {{uAs, ""}, {mA, "125"}, {ms, "8"}}, 1, mAxMs},
        {"µA x µs win over mA x ms",
         {{uAs, ""}, {mA, "100"}, {ms, "16"}, {uA, "125500"}, {us, "12800"}},
         125.5 * 12.8 / 1000,
         "XRayTubeCurrentInuA (0018,8151) x ExposureTimeInuS (0018,8150)"},
        {"µA x µs alone, beside a whole mAs they round to",
         {{uAs, ""}, {mAs, "2"}, {uA, "160000"}, {us, "10000"}},
         1.6,
         "XRayTubeCurrentInuA (0018,8151) x ExposureTimeInuS (0018,8150)"},
        {"µAs of 0 is no value", {{uAs, "0"}, {mAs, "3"}}, 3, "Exposure (0018,1152)"},
        {"current without time", {{uAs, ""}, {mA, "100"}}, std::nullopt, "", "ExposureInuAs (0018,1153)、"},
        {"several µAs are refused, not taken by the first",
         {{uAs, "2000\\3000"}, {mAs, "5"}},
         std::nullopt,
         "",
         "ExposureInuAs (0018,1153) に値が 2 つあります（'2000\\3000'）"},
        {"several currents",
         {{uAs, ""}, {mA, "100\\200"}, {ms, "16"}},
         std::nullopt,
         "",
         "XRayTubeCurrent (0018,1151) に値が 2 つ"},
        {"an absurd µAs",
         {{uAs, "99999999999"}},
         std::nullopt,
         "",
         "ExposureInuAs (0018,1153) の 1e+08 mAs は使える範囲（0.01 mAs 以上 1000 mAs 以下）の外です"},
        {"just above the largest: every digit, never the limit",
         {{uAs, "1000001"}},
         std::nullopt,
         "",
         "ExposureInuAs (0018,1153) の 1000.001 mAs は使える範囲（0.01 mAs 以上 1000 mAs 以下）の外です"},
        {"the largest", {{uAs, "1000000"}}, 1000, "ExposureInuAs (0018,1153)"},
        {"the smallest", {{uAs, "10"}}, 0.01, "ExposureInuAs (0018,1153)"},
    };
    for (const MAsCase& c : cases) {
        DicomImage image;
        for (const auto& [key, value] : c.values)
            value.empty() ? image.remove(key) : image.set(key, value);
        const dicom::ImageExposure e = exposure(image);
        ASSERT_EQ(e.mAs.has(), c.mAs.has_value()) << c.name << ": " << e.mAs.problem;
        if (c.mAs) {
            EXPECT_DOUBLE_EQ(*e.mAs.value, *c.mAs) << c.name;
        }
        EXPECT_EQ(e.mAs.source, c.source) << c.name;
        EXPECT_EQ(e.mAs.problem.rfind(c.problem, 0), 0u) << c.name << ": " << e.mAs.problem;
        EXPECT_EQ(e.mAs.problem.empty(), c.mAs.has_value()) << c.name << ": " << e.mAs.problem;
    }
    // The binary attributes of newer headers.
    DicomImage binary;
    binary.remove(uAs).setDouble(DCM_ExposureInmAs, 1.25);
    EXPECT_EQ(exposure(binary).mAs.value, 1.25);
    DicomImage binaryProduct;
    binaryProduct.remove(uAs).setDouble(DCM_XRayTubeCurrentInmA, 125.5).setDouble(DCM_ExposureTimeInms, 12.8);
    EXPECT_DOUBLE_EQ(exposure(binaryProduct).mAs.value.value_or(0), 125.5 * 12.8 / 1000);
    // The problem names what was wrong or absent.
    DicomImage zero;
    zero.set(uAs, "0");
    EXPECT_EQ(exposure(zero).mAs.problem, "ExposureInuAs (0018,1153) の値 '0' は使えません");
    DicomImage none;
    none.remove(uAs);
    EXPECT_NE(exposure(none).mAs.problem.find("ExposureInuAs (0018,1153)、Exposure (0018,1152)"),
              std::string::npos);
}

TEST_F(DicomRead, DateFromAcquisitionThenContentSeriesStudy) {
    auto dateOf = [&](const DicomImage& image) {
        const auto e = exposure(image);
        return e.examDate.has()
                   ? std::to_string(e.examDate.value->year) + "-" + std::to_string(e.examDate.value->month) +
                         "-" + std::to_string(e.examDate.value->day) + " " + e.examDate.source
                   : "none: " + e.examDate.problem;
    };
    DicomImage image;
    image.remove(DCM_AcquisitionDate).set(DCM_AcquisitionDateTime, "20240502093000.000");
    EXPECT_EQ(dateOf(image), "2024-5-2 AcquisitionDateTime (0008,002A)");
    image.remove(DCM_AcquisitionDateTime).set(DCM_ContentDate, "20240503");
    EXPECT_EQ(dateOf(image), "2024-5-3 ContentDate (0008,0023)");
    image.remove(DCM_ContentDate);
    EXPECT_EQ(dateOf(image), "2024-4-30 StudyDate (0008,0020)");
    // A date that does not exist falls through to the next attribute; the old dotted form reads.
    image.set(DCM_AcquisitionDate, "20230229");
    EXPECT_EQ(dateOf(image), "2024-4-30 StudyDate (0008,0020)");
    image.set(DCM_AcquisitionDate, "2024.02.29");
    EXPECT_EQ(dateOf(image), "2024-2-29 AcquisitionDate (0008,0022)");
    image.remove(DCM_AcquisitionDate).remove(DCM_StudyDate);
    EXPECT_EQ(
        dateOf(image),
        "none: AcquisitionDate (0008,0022)、ContentDate (0008,0023)、StudyDate (0008,0020) がありません");
    image.set(DCM_StudyDate, "2024-04-30");
    EXPECT_EQ(dateOf(image), "none: StudyDate (0008,0020) の値 '2024-04-30' は日付として読めません");
}

TEST_F(DicomRead, MissingAttributesAreListedWithTheirTags) {
    DicomImage image;
    for (const DcmTagKey& key : {DCM_KVP, DCM_DistanceSourceToDetector, DCM_PatientID, DCM_PatientName})
        image.remove(key);
    image.set(DCM_BodyPartExamined, "");
    const dicom::ImageExposure e = exposure(image);
    EXPECT_FALSE(e.tubeVoltageKv.has());
    EXPECT_EQ(e.tubeVoltageKv.problem, "KVP (0018,0060) がありません");
    EXPECT_FALSE(e.ffdCm.has());
    EXPECT_EQ(e.ffdCm.problem, "DistanceSourceToDetector (0018,1110) がありません");
    EXPECT_EQ(e.patientId.problem, "PatientID (0010,0020) がありません");
    EXPECT_EQ(e.patientName.problem, "PatientName (0010,0010) がありません");
    EXPECT_EQ(e.bodyPartTexts.bodyPartExamined, "");
    EXPECT_TRUE(e.mAs.has()); // the rest is still read
    DicomImage text;
    text.set(DCM_KVP, "sixty");
    EXPECT_EQ(exposure(text).tubeVoltageKv.problem, "KVP (0018,0060) の値 'sixty' は使えません");
}

TEST_F(DicomRead, CollimatedFieldFromTheEdgesAndTheImagerPixelSpacing) {
    DicomImage image;
    // Columns 101..2100 at 0.125 mm: 249.875 mm; rows 201..1700 at 0.15 mm: 224.85 mm.
    image.set(DCM_CollimatorShape, "RECTANGULAR")
        .set(DCM_CollimatorLeftVerticalEdge, "101")
        .set(DCM_CollimatorRightVerticalEdge, "2100")
        .set(DCM_CollimatorUpperHorizontalEdge, "201")
        .set(DCM_CollimatorLowerHorizontalEdge, "1700")
        .set(DCM_ImagerPixelSpacing, "0.15\\0.125");
    dicom::ImageExposure e = exposure(image);
    ASSERT_TRUE(e.fieldSize.has()) << e.fieldSize.problem;
    EXPECT_EQ(e.fieldSize.value->longCm, 25.0);
    EXPECT_EQ(e.fieldSize.value->shortCm, 22.5);
    EXPECT_EQ(e.fieldSize.source, "Collimator (0018,1700-1708) x ImagerPixelSpacing (0018,1164)");

    image.set(DCM_ImagerPixelSpacing, "0.1\\0.3"); // now the columns give the longer side
    e = exposure(image);
    EXPECT_EQ(e.fieldSize.value->longCm, 60.0);  // 1999 x 0.3 mm
    EXPECT_EQ(e.fieldSize.value->shortCm, 15.0); // 1499 x 0.1 mm

    // What makes the field unusable, always with the shape said to be rectangular where it is.
    const std::string rectangular = "CollimatorShape (0018,1700) は RECTANGULAR ですが、";
    const struct {
        const char* name;
        std::vector<std::pair<DcmTagKey, std::string>> values; // "" removes
        std::string problem;                                   // empty: the field is used
    } cases[] = {
        {"no spacing",
         {{DCM_ImagerPixelSpacing, ""}},
         rectangular + "ImagerPixelSpacing (0018,1164) がありません"},
        {"one spacing",
         {{DCM_ImagerPixelSpacing, "0.1"}},
         rectangular + "ImagerPixelSpacing (0018,1164) の値 '0.1' は使えません"},
        {"no lower edge",
         {{DCM_CollimatorLowerHorizontalEdge, ""}},
         rectangular + "CollimatorLowerHorizontalEdge (0018,1708) がありません"},
        {"two left edges",
         {{DCM_CollimatorLeftVerticalEdge, "101\\102"}},
         rectangular + "CollimatorLeftVerticalEdge (0018,1702) の値 '101\\102' は使えません"},
        {"another shape",
         {{DCM_CollimatorShape, "CIRCULAR"}},
         "CollimatorShape (0018,1700) が RECTANGULAR ではありません（CIRCULAR）"},
        {"a word that contains the shape",
         {{DCM_CollimatorShape, "NONRECTANGULAR"}},
         "CollimatorShape (0018,1700) が RECTANGULAR ではありません（NONRECTANGULAR）"},
        {"a rectangle with a circle", {{DCM_CollimatorShape, "CIRCULAR\\RECTANGULAR"}}, ""},
        {"a field of tenths of a millimetre",
         {{DCM_CollimatorRightVerticalEdge, "102"}, {DCM_CollimatorLowerHorizontalEdge, "202"}},
         rectangular + "縁 (0018,1702〜1708) と ImagerPixelSpacing (0018,1164) からの照射野 0.03 × 0.015 cm "
                       "は使える範囲（各辺 "
                       "1 cm 以上 100 cm 以下）の外です"},
        {"a side just below 1 cm", // 79 rows of 0.125 mm
         {{DCM_ImagerPixelSpacing, "0.125\\0.3"}, {DCM_CollimatorLowerHorizontalEdge, "280"}},
         rectangular + "縁 (0018,1702〜1708)"},
        {"a side of 1 cm",
         {{DCM_ImagerPixelSpacing, "0.125\\0.3"}, {DCM_CollimatorLowerHorizontalEdge, "281"}},
         ""},
    };
    for (const auto& c : cases) {
        DicomImage edited = image; // columns 101..2100 x 0.3 mm, rows 201..1700 x 0.15 mm
        edited.set(DCM_ImagerPixelSpacing, "0.15\\0.3");
        for (const auto& [key, value] : c.values)
            value.empty() ? edited.remove(key) : edited.set(key, value);
        const dicom::ImageExposure e = exposure(edited);
        EXPECT_EQ(e.fieldSize.has(), c.problem.empty()) << c.name << ": " << e.fieldSize.problem;
        EXPECT_EQ(e.fieldSize.problem.rfind(c.problem, 0), 0u) << c.name << ": " << e.fieldSize.problem;
    }
}

// A number with several values is refused with them, never taken by its first; a value outside the
// range of any radiograph (a unit or digits gone wrong) is refused with the range; the edges pass.
TEST_F(DicomRead, SeveralValuesAndValuesOutsideTheRangeAreRefused) {
    const struct {
        DcmTagKey key;
        std::string value;
        dicom::Sourced<double> dicom::ImageExposure::*quantity;
        std::optional<double> expected;
        std::string problem;
    } cases[] = {
        {DCM_KVP, "60\\80", &dicom::ImageExposure::tubeVoltageKv, std::nullopt,
         "KVP (0018,0060) に値が 2 つあります（'60\\80'）: どれの値か分からないため使いません"},
        {DCM_KVP, "150", &dicom::ImageExposure::tubeVoltageKv, std::nullopt,
         "KVP (0018,0060) の 150 kV は使える範囲（20 kV 以上 150 kV 未満）の外です"},
        {DCM_KVP, "149.9", &dicom::ImageExposure::tubeVoltageKv, 149.9, ""},
        {DCM_KVP, "20", &dicom::ImageExposure::tubeVoltageKv, 20, ""},
        {DCM_KVP, "19.99", &dicom::ImageExposure::tubeVoltageKv, std::nullopt,
         "KVP (0018,0060) の 19.99 kV は"},
        {DCM_KVP, std::string(5000, '6'), &dicom::ImageExposure::tubeVoltageKv, std::nullopt,
         "KVP (0018,0060) の値が長すぎます（5000 バイト）"},
        {DCM_DistanceSourceToDetector, "1e300", &dicom::ImageExposure::ffdCm, std::nullopt,
         "DistanceSourceToDetector (0018,1110) の 1e+299 cm は使える範囲（30 cm 以上 500 cm 以下）の外です"},
        {DCM_DistanceSourceToDetector, "5000", &dicom::ImageExposure::ffdCm, 500, ""},
        {DCM_DistanceSourceToDetector, "299", &dicom::ImageExposure::ffdCm, std::nullopt,
         "DistanceSourceToDetector (0018,1110) の 29.9 cm は"},
        {DCM_DistanceSourceToDetector, "1000\\1100", &dicom::ImageExposure::ffdCm, std::nullopt,
         "DistanceSourceToDetector (0018,1110) に値が 2 つあります"},
    };
    for (const auto& c : cases) {
        DicomImage image;
        image.set(c.key, c.value);
        const dicom::Sourced<double> got = exposure(image).*c.quantity;
        const std::string label = c.value.substr(0, 20);
        EXPECT_EQ(got.value, c.expected) << label << ": " << got.problem;
        EXPECT_EQ(got.problem.rfind(c.problem, 0), 0u) << label << ": " << got.problem;
    }
    // A binary double with two values.
    DicomImage binary;
    binary.remove(DCM_ExposureInuAs);
    const double two[] = {1.25, 2.5};
    binary.setDoubles(DCM_ExposureInmAs, two, 2);
    EXPECT_EQ(
        exposure(binary).mAs.problem,
        "ExposureInmAs (0018,9332) に値が 2 つあります（1.25\\2.5）: どれの値か分からないため使いません");
}

// Names as Japanese modalities write them, byte for byte, in each character set.
TEST_F(DicomRead, JapaneseNamesInEveryCharacterSet) {
    const struct {
        const char* name;
        std::string characterSet;
        std::string bytes;
        std::string shown;
    } cases[] = {
        {"ISO 2022 IR 87, three groups", "\\ISO 2022 IR 87",
         "Yamada^Hanako=" + kEscKanji + kYamada + kEscAscii + "^" + kEscKanji + kHanako + kEscAscii + "=" +
             kEscKanji + "$d$^$@" + kEscAscii + "^" + kEscKanji + "$O$J$3" + kEscAscii,
         "山田 花子"},
        {"ISO 2022 IR 87, kanji bytes that read as = and \\", "\\ISO 2022 IR 87",
         "Towada^Utsuri=" + kEscKanji + kTowada + kEscAscii + "^" + kEscKanji + kUtsuri + kEscAscii,
         "十和田 移"},
        {"ISO 2022 IR 13 with IR 87", "ISO 2022 IR 13\\ISO 2022 IR 87",
         kYamadaKana + "^" + kHanakoKana + "=" + kEscKanji + kYamada + kEscRomaji + "^" + kEscKanji +
             kHanako + kEscRomaji,
         "山田 花子"},
        {"ISO 2022 IR 13 alone: half-width katakana", "ISO 2022 IR 13", kYamadaKana + "^" + kHanakoKana,
         "ﾔﾏﾀﾞ ﾊﾅｺ"},
        {"ISO_IR 13 (no code extension)", "ISO_IR 13", kYamadaKana + "^" + kHanakoKana, "ﾔﾏﾀﾞ ﾊﾅｺ"},
        {"ISO_IR 192", "ISO_IR 192", "Yamada^Hanako=山田^花子=やまだ^はなこ", "山田 花子"},
        {"alphabetic group only", "\\ISO 2022 IR 87", "Yamada^Hanako", "Yamada Hanako"},
        {"ideographic group empty", "ISO_IR 192", "Yamada^Hanako==やまだ^はなこ", "Yamada Hanako"},
        {"ISO_IR 100", "ISO_IR 100", "M\xFCller^J\xFCrgen", "Müller Jürgen"},
    };
    for (const auto& c : cases) {
        DicomImage image;
        image.set(DCM_SpecificCharacterSet, c.characterSet).set(DCM_PatientName, c.bytes);
        const dicom::ImageExposure e = exposure(image);
        EXPECT_EQ(e.patientName.value.value_or("none: " + e.patientName.problem), c.shown) << c.name;
    }
}

// A name stored for an ID is checked against every group of the image's name before an exposure
// joins that infant's history: a mismatch is how an image lands with the wrong infant.
TEST(PersonName, StoredNameMatchesAnyGroupWrittenWithOrWithoutBlanks) {
    const dicom::PersonNameGroups groups = dicom::personNameGroups("Yamada^Hanako=山田^花子=やまだ^はなこ");
    EXPECT_EQ(groups.alphabetic, "Yamada Hanako");
    EXPECT_EQ(groups.ideographic, "山田 花子");
    EXPECT_EQ(groups.phonetic, "やまだ はなこ");
    const struct {
        const char* stored;
        bool matches;
    } cases[] = {
        {"山田 花子", true},
        {"山田　花子", true},
        {"山田花子", true},
        {"YAMADA HANAKO", true},
        {"ｙａｍａｄａ　ｈａｎａｋｏ", true},
        {"やまだ はなこ", true},
        {"山田 太郎", false},
        {"山田", false},
        {"", false},
        {"  ", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(dicom::personNameMatches(groups, c.stored), c.matches) << c.stored;
    EXPECT_FALSE(dicom::personNameMatches(dicom::personNameGroups(""), "山田 花子"));
}

// One infant's name as different units write it: the width of the kana, its script (the phonetic
// group in hiragana, the record in katakana) and voiced marks written apart make no other name;
// another kana, a missing voiced mark or a different name stays another.
TEST(PersonName, KanaOfEitherWidthOrScriptIsTheSameName) {
    const struct {
        const char* image; // the image's name (PN, UTF-8)
        const char* stored;
        bool matches;
    } cases[] = {
        {"ﾔﾏﾀﾞ^ﾀﾛｳ", "ヤマダ タロウ", true},
        {"ﾔﾏﾀﾞ^ﾀﾛｳ", "ヤマダタロウ", true},
        {"ﾔﾏﾀﾞ^ﾀﾛｳ", "やまだ たろう", true},
        {"山田^太郎=やまだ^たろう", "ヤマダ タロウ", true},
        {"山田^太郎=ヤマダ^タロウ", "やまだ　たろう", true},
        {"ﾊﾟｸ^ｼﾞｭﾝ", "パク ジュン", true},                // semi-voiced and voiced marks joined
        {"ｳﾞｨｸﾄﾙ", "ヴィクトル", true},                   // ウ + voiced mark, small ィ
        {"ｼｮｰｺﾞ", "しょーご", true},                       // small kana and the long vowel mark
        {"\xE3\x82\xAB\xE3\x82\x99ﾄｳ", "ガトウ", true}, // カ + combining voiced mark
        {"か゛とう", "ガトウ", true},                       // spacing voiced mark
        {"ＳＡＴＯ^ｶﾅ", "sato かな", true},
        {"ﾔﾏﾀﾞ^ﾀﾛｳ", "ヤマタ タロウ", false},               // the voiced mark is part of the name
        {"ﾔﾏﾀﾞ^ﾀﾛｳ", "ヤマダ タロ", false},
        {"ｼｮｳｺﾞ", "シヨウゴ", false},                      // small and full-size kana differ
        {"ﾊﾟｸ", "バク", false},                            // semi-voiced is not voiced
        {"やまだ^たろう", "ヤマダ ジロウ", false},
        {"山田^太郎", "ヤマダ タロウ", false},              // kanji are never read as kana
    };
    for (const auto& c : cases)
        EXPECT_EQ(dicom::personNameMatches(dicom::personNameGroups(c.image), c.stored), c.matches)
            << c.image << " / " << c.stored;
}

TEST_F(DicomRead, TextsThatCannotBeConvertedAreMissingNotGarbled) {
    const struct {
        const char* name;
        std::string characterSet;
        std::string bytes;
        std::string problem;
    } cases[] = {
        {"JIS X 0212", "\\ISO 2022 IR 87\\ISO 2022 IR 159", "=\x1B$(D0!" + kEscAscii,
         "PatientName (0010,0010) の文字コード \\ISO 2022 IR 87\\ISO 2022 IR 159 の文字を変換できません（JIS "
         "X 0212 の文字）。"},
        {"no character set named", "", "\x8E\x52\x93\x63",
         "PatientName (0010,0010) の文字コード （指定なし、ASCII） の文字を変換できません（ASCII "
         "にない文字）。"},
        {"a kanji cut in two", "\\ISO 2022 IR 87", "=" + kEscKanji + ";",
         "PatientName (0010,0010) の文字コード \\ISO 2022 IR 87 "
         "の文字を変換できません（2バイト文字が途中で切れています）。"},
        {"an unknown character set", "ISO_IR 999", "\xA4",
         "PatientName (0010,0010) の文字コード ISO_IR 999 "
         "の文字を変換できません（この文字コードは使えません）。"},
    };
    for (const auto& c : cases) {
        DicomImage image;
        if (!c.characterSet.empty())
            image.set(DCM_SpecificCharacterSet, c.characterSet);
        image.set(DCM_PatientName, c.bytes);
        const dicom::ImageExposure e = exposure(image);
        EXPECT_FALSE(e.patientName.has()) << c.name;
        EXPECT_EQ(e.patientName.problem, c.problem) << c.name;
        EXPECT_TRUE(e.tubeVoltageKv.has()) << c.name; // the rest of the header still counts
    }
}

TEST_F(DicomRead, BodyPartTextsInTheImagesCharacterSet) {
    DicomImage image;
    image.set(DCM_SpecificCharacterSet, "\\ISO 2022 IR 87")
        .set(DCM_ProtocolName, "NICU " + kEscKanji + "6;It@5LL" + kEscAscii)
        .set(DCM_SeriesDescription, "chest ap ");
    const dicom::ImageExposure e = exposure(image);
    EXPECT_EQ(e.bodyPartTexts.protocolName, "NICU 胸部正面");
    EXPECT_EQ(e.bodyPartTexts.seriesDescription, "chest ap");
    EXPECT_EQ(e.bodyPartProblem, "");
}

TEST_F(DicomRead, FilesThatAreNoRadiograph) {
    // Another modality.
    DicomImage ct;
    ct.makeCt();
    auto reading = read(ct);
    EXPECT_EQ(reading.kind, FileKind::NotRadiograph);
    EXPECT_EQ(reading.message, "image.dcm は一般撮影（CR・DX）の画像ではありません（Modality: CT）。");
    EXPECT_FALSE(dicom::readImageExposure(folder.file("image.dcm")).ok());

    // Without modality the SOP class decides.
    DicomImage cr;
    cr.remove(DCM_Modality).set(DCM_SOPClassUID, UID_ComputedRadiographyImageStorage);
    EXPECT_EQ(read(cr).kind, FileKind::Radiograph);
    cr.set(DCM_SOPClassUID, UID_SecondaryCaptureImageStorage);
    EXPECT_EQ(read(cr).message, "image.dcm は一般撮影（CR・DX）の画像ではありません（Modality: なし）。");

    // Not DICOM at all, DICOM that cannot be read, no file.
    test::writeBytes(folder.file("notes.txt"), "KVP 60\r\nmAs 2\r\n");
    reading = dicom::readHeader(folder.file("notes.txt"));
    EXPECT_EQ(reading.kind, FileKind::NotDicom);
    EXPECT_EQ(reading.message, "notes.txt は DICOM ファイルではありません。");
    test::writeBytes(folder.file("broken.dcm"),
                     std::string(128, '\0') + "DICM" + std::string("\x02\x00\x10", 3));
    reading = dicom::readHeader(folder.file("broken.dcm"));
    EXPECT_EQ(reading.kind, FileKind::Unreadable);
    EXPECT_EQ(reading.message.rfind("broken.dcm は DICOM ファイルとして読めません（", 0), 0u)
        << reading.message;
    reading = dicom::readHeader(folder.file("nothing.dcm"));
    EXPECT_EQ(reading.kind, FileKind::Unreadable);
    EXPECT_EQ(reading.message, "nothing.dcm を開けません。");
    reading = dicom::readHeader(folder.path());
    EXPECT_EQ(reading.kind, FileKind::Unreadable);
}

// Files made to hurt the reader: thousands of nested sequences (which overflowed the parser's
// stack), declared lengths far beyond the file (a 4 GB file meta value took a minute and
// gigabytes). Each is refused by the look at its structure, before DCMTK parses it; the limits
// themselves still read.
TEST_F(DicomRead, HostileStructuresAreRefusedBeforeParsing) {
    namespace raw = test::raw;
    const std::string meta = raw::fileMeta();
    const std::string start = raw::radiographStart();
    // Implicit VR without meta header: Referenced Image Sequence (0008,1115) in itself.
    std::string implicitNest;
    for (int k = 0; k < 6000; ++k)
        implicitNest += std::string("\x08\x00\x15\x11\xFF\xFF\xFF\xFF\xFE\xFF\x00\xE0\xFF\xFF\xFF\xFF", 16);
    const std::string implicitStart = std::string("\x08\x00\x60\x00\x02\x00\x00\x00"
                                                  "DX",
                                                  10);
    // UN of undefined length is read as a sequence in implicit VR (CP 246), and so is all within.
    std::string unNest = raw::element(0x0009, 0x1010, "UN", "", 0xFFFFFFFF) +
                         std::string("\xFE\xFF\x00\xE0\xFF\xFF\xFF\xFF", 8);
    for (int k = 0; k < 6000; ++k)
        unNest += std::string("\x09\x00\x10\x10\xFF\xFF\xFF\xFF\xFE\xFF\x00\xE0\xFF\xFF\xFF\xFF", 16);
    const struct {
        const char* name;
        std::string bytes;
        std::string reason; // empty: a radiograph
    } cases[] = {
        {"6,000 nested sequences", meta + start + raw::nestedSequences(6000, false),
         "シーケンスの入れ子が 32 段を超えています（(0008,1115)）"},
        {"6,000 nested sequences of defined length", meta + start + raw::nestedSequences(6000, true),
         "シーケンスの入れ子が 32 段を超えています"},
        {"33 nested sequences", meta + start + raw::nestedSequences(33, false),
         "シーケンスの入れ子が 32 段を超えています"},
        {"32 nested sequences", meta + start + raw::nestedSequences(32, false), ""},
        {"a VR DICOM does not know, read as DCMTK reads it",
         meta + start + raw::element(0x0009, 0x1010, "??", "ab"), ""},
        {"nested in implicit VR without meta header", implicitStart + implicitNest,
         "シーケンスの入れ子が 32 段を超えています（(0008,1115)）"},
        {"nested UN", meta + start + unNest, "シーケンスの入れ子が 32 段を超えています（(0009,1010)）"},
        {"a file meta value of 4 GB",
         std::string(128, '\0') + "DICM" +
             raw::element(0x0002, 0x0001, "OB", std::string(240, '\0'), 0xFFFFFFF0),
         "ファイルメタ情報 (0002,0001) の長さ 4294967280 バイトは上限 65536 バイトを超えています"},
        {"a value beyond the end of the file",
         meta + start + raw::element(0x0010, 0x0010, "PN", "Yamada", 60000),
         "(0010,0010) の長さ 60000 バイトがファイルの残り 6 バイトを超えています"},
        {"an item beyond its sequence",
         meta + start +
             raw::element(0x0008, 0x1115, "SQ", std::string("\xFE\xFF\x00\xE0\x10\x00\x00\x00", 8), 8) +
             std::string(16, '\0'),
         "(0008,1115) の長さ 16 バイトが項目の残り 0 バイトを超えています"},
        {"a file meta group length that is wrong",
         std::string(128, '\0') + "DICM" +
             raw::element(0x0002, 0x0000, "UL", std::string("\x40\x00\x00\x00", 4)) +
             raw::element(0x0002, 0x0010, "UI", std::string("1.2.840.10008.1.2.1\0", 20)) + start,
         "ファイルメタ情報のグループ長 (0002,0000) 64 バイトが要素の長さ 28 バイトと合いません"},
        {"a deflated dataset", raw::fileMeta("1.2.840.10008.1.2.1.99") + start,
         "圧縮（Deflated Explicit VR Little Endian）"},
    };
    for (const auto& c : cases) {
        const auto file = folder.file("hostile.dcm");
        test::writeBytes(file, c.bytes);
        const dicom::HeaderReading reading = dicom::readHeader(file);
        if (c.reason.empty()) {
            EXPECT_EQ(reading.kind, FileKind::Radiograph) << c.name << ": " << reading.message;
            continue;
        }
        EXPECT_EQ(reading.kind, FileKind::Unreadable) << c.name;
        EXPECT_EQ(reading.message.rfind("hostile.dcm は DICOM ファイルとして読めません（" + c.reason, 0), 0u)
            << c.name << ": " << reading.message;
    }
}

// The records of a DICOMDIR are opened only where they name a regular file inside its folder; the
// others are listed with the reason, none followed out of the medium.
TEST_F(DicomRead, DicomDirRecordsStayInsideItsFolder) {
    const fs::path medium = folder.path() / "medium";
    fs::create_directories(medium / "IMG");
    DicomImage().save(medium / "IMG" / "IM1");
    DicomImage().save(folder.file("outside.dcm"));
    const struct {
        std::string fileId;
        std::string problem; // empty: opened
    } cases[] = {
        {"IMG\\IM1", ""},
        {"img\\im1", ""},
        {"..\\..\\etc\\passwd", "../../etc/passwd は DICOMDIR のフォルダの外（..）を指すため開きません。"},
        {"IMG\\..\\..\\outside.dcm",
         "IMG/../../outside.dcm は DICOMDIR のフォルダの外（..）を指すため開きません。"},
        {"/dev/zero", "/dev/zero はファイル ID として使えない名前（'/dev/zero'）を含むため開きません。"},
        {"\\DEV\\ZERO", "/DEV/ZERO はファイル ID として使えない名前（''）を含むため開きません。"},
        {"C:\\WINDOWS", "C:/WINDOWS はファイル ID として使えない名前（'C:'）を含むため開きません。"},
        {"IMG\\GONE", "IMG/GONE がありません。"},
        {"IMG", "IMG は通常のファイルではない（フォルダ）ため開きません。"},
#ifndef _WIN32
        {"IMG\\LINK", ""},
        {"IMG\\OUT", "IMG/OUT はリンクで DICOMDIR のフォルダの外を指すため開きません。"},
        {"IMG\\FIFO", "IMG/FIFO は通常のファイルではない（FIFO）ため開きません。"},
        {"IMG\\NULL", "IMG/NULL はリンクで DICOMDIR のフォルダの外を指すため開きません。"},
#endif
    };
#ifndef _WIN32
    fs::create_symlink(medium / "IMG" / "IM1", medium / "IMG" / "LINK");
    fs::create_symlink(folder.file("outside.dcm"), medium / "IMG" / "OUT");
    ASSERT_EQ(::mkfifo((medium / "IMG" / "FIFO").c_str(), 0600), 0);
    fs::create_symlink("/dev/null", medium / "IMG" / "NULL");
#endif
    std::vector<std::string> ids;
    for (const auto& c : cases)
        ids.push_back(c.fileId);
    test::writeDicomDirWithFileIds(medium / "DICOMDIR", ids);
    const auto entries = dicom::dicomDirEntries(medium / "DICOMDIR");
    ASSERT_TRUE(entries.ok()) << entries.error().message();
    ASSERT_EQ(entries->size(), std::size(cases));
    for (size_t k = 0; k < entries->size(); ++k) {
        const dicom::DicomDirEntry& entry = (*entries)[k];
        EXPECT_EQ(entry.problem, cases[k].problem) << cases[k].fileId;
        EXPECT_EQ(entry.path.empty(), !cases[k].problem.empty()) << cases[k].fileId;
        if (cases[k].problem.empty()) {
            EXPECT_TRUE(dicom::readImageExposure(entry.path).ok()) << cases[k].fileId;
        }
    }
    // Only the files that may be opened are images of the DICOMDIR.
    const auto images = dicom::dicomDirImages(medium / "DICOMDIR");
    ASSERT_TRUE(images.ok());
    EXPECT_EQ(images->size(), std::count_if(std::begin(cases), std::end(cases),
                                            [](const auto& c) { return c.problem.empty(); }));
}

TEST_F(DicomRead, DicomDirListsItsImagesWhateverTheCaseOfTheNames) {
    fs::create_directories(folder.path() / "IMG" / "S1");
    DicomImage first;
    first.set(DCM_PatientID, "N-0002");
    first.save(folder.path() / "IMG" / "S1" / "IM1");
    DicomImage second;
    second.set(DCM_KVP, "55");
    second.save(folder.path() / "IMG" / "S1" / "IM2");
    test::writeDicomDir(folder.path(), {"IMG/S1/IM1", "IMG/S1/IM2"});

    const auto dir = folder.file("DICOMDIR");
    EXPECT_EQ(dicom::readHeader(dir).kind, FileKind::DicomDir);
    EXPECT_EQ(dicom::readHeader(dir).message, "DICOMDIR は DICOMDIR（画像の一覧）です。");
    auto images = dicom::dicomDirImages(dir);
    ASSERT_TRUE(images.ok()) << images.error().message();
    ASSERT_EQ(images->size(), 2u);
    EXPECT_EQ((*images)[0], folder.path() / "IMG" / "S1" / "IM1");
    EXPECT_EQ(*dicom::readImageExposure((*images)[1])->tubeVoltageKv.value, 55);

    // Media copied onto a system that wrote the names in small letters.
    fs::rename(folder.path() / "IMG", folder.path() / "img");
    fs::rename(folder.path() / "img" / "S1" / "IM2", folder.path() / "img" / "S1" / "im2");
    images = dicom::dicomDirImages(dir);
    ASSERT_TRUE(images.ok());
    EXPECT_EQ((*images)[1], folder.path() / "img" / "S1" / "im2");
    EXPECT_TRUE(dicom::readImageExposure((*images)[1]).ok());

    // An image is no DICOMDIR.
    const auto notADirectory = dicom::dicomDirImages(folder.path() / "img" / "S1" / "IM1");
    ASSERT_FALSE(notADirectory.ok());
    EXPECT_EQ(notADirectory.error().message(), "IM1 は DICOMDIR ではありません。");
}

// The body-part mapping ---------------------------------------------------------------------------------

const std::vector<std::string> kBodyParts = {"腹部正面", "胸部正面", "胸腹部正面", "胸部側面",
                                             "腹部側面", "頭部正面", "頭部側面"};

dicom::BodyPartTexts texts(std::string bodyPart, std::string view = "", std::string protocol = "",
                           std::string series = "") {
    return {std::move(bodyPart), std::move(view), std::move(protocol), std::move(series)};
}

TEST(BodyPartMapping, MostSpecificLineOfTheFirstTextThatMatches) {
    const auto mapping = dicom::BodyPartMapping::fromLines(
        {"# DICOMの文字,撮影部位", "CHEST,胸部正面", "CHEST LL,胸部側面", "CHEST ABDOMEN,胸腹部正面",
         "ABDOMEN,腹部正面", "SKULL,頭部正面", "胸部,胸部正面", "胸部 側面,胸部側面", "PELVIS,骨盤正面",
         "no comma", "  ,腹部正面"},
        kBodyParts);
    EXPECT_EQ(mapping.entryCount(),
              7u); // the comment, a body part not in the list and broken lines are left out
    auto bodyPart = [&](const dicom::BodyPartTexts& t) {
        const auto found = mapping.match(t);
        return found.value.value_or("none: " + found.problem);
    };
    EXPECT_EQ(bodyPart(texts("CHEST")), "胸部正面");
    EXPECT_EQ(bodyPart(texts("chest", "ll")), "胸部側面"); // without regard to case
    EXPECT_EQ(bodyPart(texts("CHEST", "AP")), "胸部正面");
    EXPECT_EQ(bodyPart(texts("", "", "BABY CHEST_ABDOMEN AP")), "胸腹部正面"); // more words win
    EXPECT_EQ(bodyPart(texts("CHESTABDOMEN")),
              "none: 対応表 DICOM撮影部位.txt にありません（BodyPartExamined (0018,0015) 'CHESTABDOMEN'）");
    EXPECT_EQ(bodyPart(texts("", "", "新生児胸部", "")), "胸部正面"); // non-ASCII words match inside words
    EXPECT_EQ(bodyPart(texts("", "", "", "胸部　側面")), "胸部側面");
    EXPECT_EQ(bodyPart(texts("ABDOMEN", "", "CHEST")), "腹部正面"); // Body Part Examined comes first
    EXPECT_EQ(bodyPart(texts("HAND", "", "SKULL")), "頭部正面");    // then the protocol
    EXPECT_EQ(bodyPart(texts("PELVIS", "AP")),
              "none: 対応表 DICOM撮影部位.txt にありません（BodyPartExamined (0018,0015) "
              "'PELVIS'、ViewPosition 'AP'）");
    EXPECT_EQ(bodyPart(texts("")),
              "none: BodyPartExamined (0018,0015)、ProtocolName (0018,1030)、SeriesDescription "
              "(0008,103E) がありません");
    const auto found = mapping.match(texts("CHEST", "LL"));
    EXPECT_EQ(found.source, "BodyPartExamined (0018,0015) 'CHEST'、ViewPosition (0018,5101) 'LL'");
}

TEST(BodyPartMapping, ReadsTheWorkingFolderFiles) {
    test::TempFolder folder;
    auto mapping = dicom::BodyPartMapping::load(folder.path());
    EXPECT_EQ(mapping.match(texts("CHEST")).problem, "対応表 DICOM撮影部位.txt がありません");
    test::writeSjis(folder.file("DICOM撮影部位.txt"), "CHEST,胸部正面\r\n");
    mapping = dicom::BodyPartMapping::load(folder.path());
    EXPECT_EQ(mapping.match(texts("CHEST")).problem, "撮影部位の一覧 撮影部位.txt がありません");
    test::writeSjis(folder.file("撮影部位.txt"), "腹部正面\r\n胸部正面\r\n");
    mapping = dicom::BodyPartMapping::load(folder.path());
    EXPECT_EQ(mapping.match(texts("CHEST")).value.value_or(""), "胸部正面");
}

#ifndef _WIN32
// Both lists are read bounded, as regular files: a named pipe never makes the DICOM batch or the
// audit wait, and a link to an endless device or a file beyond the bound is refused.
TEST(BodyPartMapping, PipesAndEndlessFilesAreRefusedWithoutWaiting) {
    for (const char* name : {"DICOM撮影部位.txt", "撮影部位.txt"}) {
        for (const char* kind : {"too large", "/dev/zero", "pipe"}) {
            SCOPED_TRACE(std::string(name) + " " + kind);
            test::TempFolder folder;
            test::writeSjis(folder.file("DICOM撮影部位.txt"), "CHEST,胸部正面\r\n");
            test::writeSjis(folder.file("撮影部位.txt"), "胸部正面\r\n");
            fs::remove(folder.file(name));
            if (kind == std::string("pipe"))
                ASSERT_EQ(::mkfifo(folder.file(name).c_str(), 0600), 0);
            else if (kind == std::string("/dev/zero"))
                fs::create_symlink(kind, folder.file(name));
            else
                test::writeBytes(folder.file(name), std::string(textio::kMaxTextFileBytes + 1, 'a'));
            const auto mapping = dicom::BodyPartMapping::load(folder.path());
            EXPECT_NE(mapping.match(texts("CHEST")).problem.find(std::string(name) + " を読めません"),
                      std::string::npos)
                << mapping.match(texts("CHEST")).problem;
            EXPECT_EQ(refdata::readBodyPartList(folder.path()).empty(), name == std::string("撮影部位.txt"));
        }
    }
}
#endif

// Every line of the shipped mapping names a body part of the shipped list, and every body part
// of the list is reached.
TEST(BodyPartMapping, ShippedMappingFitsTheShippedList) {
    const fs::path data = fs::path(TAMSO_SOURCE_DIR) / "data";
    auto mappingText = textio::readTextFile(textio::fileInFolder(data, "DICOM撮影部位.txt"));
    auto listText = textio::readTextFile(textio::fileInFolder(data, "撮影部位.txt"));
    ASSERT_TRUE(mappingText.ok() && listText.ok());
    const auto lines = textio::splitLines(*mappingText);
    const auto list = textio::splitLines(*listText);
    size_t mappings = 0;
    std::set<std::string> reached;
    for (const std::string& line : lines) {
        if (line.empty() || line[0] == '#')
            continue;
        ++mappings;
        const auto target = line.substr(line.find(',') + 1);
        EXPECT_NE(std::find(list.begin(), list.end(), target), list.end()) << line;
        reached.insert(target);
    }
    EXPECT_EQ(dicom::BodyPartMapping::fromLines(lines, list).entryCount(), mappings);
    EXPECT_EQ(reached.size(), list.size());
    EXPECT_NE(test::readBytes(data / fs::u8path("DICOM撮影部位.txt")).find("\r\n"), std::string::npos);
    const auto mapping = dicom::BodyPartMapping::load(data);
    EXPECT_EQ(mapping.match(texts("CHEST", "AP")).value.value_or(""), "胸部正面");
    EXPECT_EQ(mapping.match(texts("ABDOMEN", "LL")).value.value_or(""), "腹部側面");
    EXPECT_EQ(mapping.match(texts("SKULL", "RL")).value.value_or(""), "頭部側面");
    EXPECT_EQ(mapping.match(texts("CHEST_ABDOMEN")).value.value_or(""), "胸腹部正面");
}

} // namespace
