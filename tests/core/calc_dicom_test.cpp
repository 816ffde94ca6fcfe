// tamso-calc --dicom, run as the real program on folders of DICOM files written by the test: one
// line per file with the dose the engine computes for the image's exposure, what each image
// lacked, the source of thickness and field, the CSV file, DICOMDIRs and refused options.

#include "dicomtestfiles.h"
#include "engine/calculation.h"
#include "refdata/referenceloader.h"
#include "testsupport.h"
#include "textio/fileio.h"
#include "tools/calc/dicombatch.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif
#include <string>
#include <vector>

using namespace tamso;
using test::DicomImage;

namespace {

namespace fs = std::filesystem;

using Outcome = test::ProgramRun;

std::string inQuotes(const fs::path& path) { return test::quotedArgument(path); }

Outcome runProgram(const test::TempFolder& folder, const std::string& arguments) {
    return test::runCalculator(folder, "--workdir " + test::quotedArgument(folder.path()) + " " + arguments);
}

// The columns in the order the program prints them.
const std::vector<std::string>& kColumns = calc::dicomBatchColumns();

// The printed lines as rows of named cells, checking the header line.
std::vector<std::map<std::string, std::string>> rowsOf(const std::string& text,
                                                       const std::string& separator) {
    std::vector<std::map<std::string, std::string>> rows;
    const auto lines = textio::splitLines(text);
    auto split = [&](const std::string& line) {
        std::vector<std::string> cells;
        size_t start = 0;
        while (true) {
            const size_t end = line.find(separator, start);
            cells.push_back(line.substr(start, end - start));
            if (end == std::string::npos)
                return cells;
            start = end + separator.size();
        }
    };
    EXPECT_FALSE(lines.empty());
    if (lines.empty())
        return rows;
    EXPECT_EQ(split(lines[0]), kColumns);
    for (size_t k = 1; k < lines.size(); ++k) {
        const auto cells = split(lines[k]);
        EXPECT_EQ(cells.size(), kColumns.size()) << lines[k];
        std::map<std::string, std::string> row;
        for (size_t c = 0; c < cells.size() && c < kColumns.size(); ++c)
            row[kColumns[c]] = cells[c];
        rows.push_back(row);
    }
    return rows;
}

class CalcDicom : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(test::calculatorProgram()))
            GTEST_SKIP() << "tamso-calc is not built";
        test::writeMinimalReferenceFiles(folder.path());
        test::writeSjis(folder.file("撮影部位.txt"), "腹部正面\r\n胸部正面\r\n胸部側面\r\n");
        test::writeSjis(folder.file("DICOM撮影部位.txt"),
                        "CHEST,胸部正面\r\nCHEST LL,胸部側面\r\nABDOMEN,腹部正面\r\n");
        // The site's thickness for images without one, as every way in reads it.
        test::writeSjis(folder.file("被写体厚既定値.txt"), "胸部正面,10\r\n胸部側面,10\r\n腹部正面,10\r\n");
        fs::create_directories(images());
    }
    fs::path images() const { return folder.path() / "images"; }

    // The entrance surface dose the engine gives on the same working folder.
    std::string engineDose(const std::string& kv, const std::string& mAs, const std::string& ffd,
                           const std::string& thickness = "10", const std::string& fieldLong = "25.4",
                           const std::string& fieldShort = "20.3") {
        engine::CalculationState state;
        EXPECT_TRUE(refdata::loadReferenceData(state, folder.path()).ok());
        state.exposureSource = 2;
        engine::ConditionTexts conditions = engine::defaultConditions(state);
        conditions.tubeVoltageKv = kv;
        conditions.mAs = mAs;
        conditions.ffdCm = ffd;
        conditions.subjectThicknessCm = thickness;
        conditions.fieldLongCm = fieldLong;
        conditions.fieldShortCm = fieldShort;
        engine::ResultTexts results;
        const Status run = engine::runCalculation(state, conditions, results);
        EXPECT_TRUE(run.ok()) << (run.ok() ? "" : run.message());
        const std::string dose = results.resultText(engine::ResultField::EntranceSurfaceDoseMGy);
        EXPECT_FALSE(dose.empty());
        return dose;
    }

    test::TempFolder folder;
};

} // namespace

TEST_F(CalcDicom, OneLinePerFileOfAFolderWithDoseSourcesAndWhatWasMissing) {
    fs::create_directories(images() / "a");
    fs::create_directories(images() / "b");
    DicomImage().save(images() / "a" / "full.dcm");
    DicomImage().remove(DCM_KVP).set(DCM_BodyPartExamined, "HAND").save(images() / "a" / "nokv.dcm");
    DicomImage().makeCt().save(images() / "b" / "ct.dcm");
    test::writeBytes(images() / "b" / "notes.txt", "not an image\r\n");
    DicomImage()
        .set(DCM_KVP, "70")
        .remove(DCM_ExposureInuAs)
        .set(DCM_XRayTubeCurrent, "100")
        .set(DCM_ExposureTime, "25")
        .set(DCM_DistanceSourceToDetector, "1100")
        .set(DCM_ViewPosition, "LL")
        .set(DCM_CollimatorShape, "RECTANGULAR")
        .set(DCM_CollimatorLeftVerticalEdge, "101")
        .set(DCM_CollimatorRightVerticalEdge, "2100")
        .set(DCM_CollimatorUpperHorizontalEdge, "201")
        .set(DCM_CollimatorLowerHorizontalEdge, "1700")
        .set(DCM_ImagerPixelSpacing, "0.15\\0.125")
        .save(images() / "collimated.dcm");

    const Outcome o = runProgram(folder, "--dicom " + inQuotes(images()));
    EXPECT_EQ(o.status, 2); // a radiograph could not be computed
    EXPECT_EQ(o.err,
              "tamso-calc: 1 of 5 file(s) could not be computed (see the status and reason columns)\n");
    const auto rows = rowsOf(o.out, "\t");
    ASSERT_EQ(rows.size(), 5u) << o.out;

    const auto& full = rows[0];
    EXPECT_EQ(full.at("file"), "a/full.dcm");
    EXPECT_EQ(full.at("status"), "ok");
    EXPECT_EQ(full.at("patient_id"), "N-0001");
    EXPECT_EQ(full.at("date"), "2024-05-01");
    EXPECT_EQ(full.at("kv"), "60");
    EXPECT_EQ(full.at("mas"), "1.6");
    EXPECT_EQ(full.at("ffd_cm"), "100");
    EXPECT_EQ(full.at("body_part"), "胸部正面");
    EXPECT_EQ(full.at("thickness_cm"), "10");
    EXPECT_EQ(full.at("thickness_source"), "被写体厚既定値.txt の既定値");
    EXPECT_EQ(full.at("field_cm"), "25.4x20.3");
    EXPECT_EQ(full.at("field_source"), "default");
    EXPECT_EQ(full.at("entrance_surface_dose_mgy"), engineDose("60", "1.6", "100"));
    EXPECT_EQ(full.at("missing"),
              "field_cm: CollimatorShape (0018,1700) がありません（既定の 25.4x20.3 を使用）");
    EXPECT_EQ(full.at("reason"), "");

    const auto& noKv = rows[1];
    EXPECT_EQ(noKv.at("file"), "a/nokv.dcm");
    EXPECT_EQ(noKv.at("status"), "failed");
    EXPECT_EQ(noKv.at("kv"), "");
    EXPECT_EQ(noKv.at("entrance_surface_dose_mgy"), "");
    EXPECT_EQ(
        noKv.at("missing"),
        "kv: KVP (0018,0060) がありません; thickness_cm: BodyPartThickness (0018,11A0) がありません、"
        "撮影部位がわからないため記録と既定値も使えません; body_part: 対応表 DICOM撮影部位.txt にありません"
        "（BodyPartExamined (0018,0015) 'HAND'、ViewPosition 'AP'）; field_cm: CollimatorShape (0018,1700) "
        "がありません（既定の 25.4x20.3 を使用）");
    EXPECT_EQ(noKv.at("reason"), "計算に必要な値が画像にありません: kv, thickness_cm");

    EXPECT_EQ(rows[2].at("file"), "b/ct.dcm");
    EXPECT_EQ(rows[2].at("status"), "skipped");
    EXPECT_EQ(rows[2].at("reason"), "ct.dcm は一般撮影（CR・DX）の画像ではありません（Modality: CT）。");
    EXPECT_EQ(rows[3].at("file"), "b/notes.txt");
    EXPECT_EQ(rows[3].at("status"), "skipped");
    EXPECT_EQ(rows[3].at("reason"), "notes.txt は DICOM ファイルではありません。");

    const auto& collimated = rows[4];
    EXPECT_EQ(collimated.at("status"), "ok") << collimated.at("reason");
    EXPECT_EQ(collimated.at("mas"), "2.5"); // 100 mA x 25 ms
    EXPECT_EQ(collimated.at("ffd_cm"), "110");
    EXPECT_EQ(collimated.at("body_part"), "胸部側面");
    EXPECT_EQ(collimated.at("field_cm"), "25x22.5");
    EXPECT_EQ(collimated.at("field_source"), "collimator");
    EXPECT_EQ(collimated.at("entrance_surface_dose_mgy"), engineDose("70", "2.5", "110", "10", "25", "22.5"));
}

// The spectrum listing is left by the calculation of one exposure, as on the screen; a batch of
// many exposures computes without one.
TEST_F(CalcDicom, OnlyASingleExposureLeavesTheSpectrumListing) {
    DicomImage().save(images() / "one.dcm");
    DicomImage().set(DCM_KVP, "55").save(images() / "two.dcm");
    test::writeBytes(folder.file("batch.csv"), "kv,mas\n55,2\n60,1.6\n");
    const struct {
        const char* what;
        std::string arguments;
        bool listing;
    } runs[] = {
        {"one exposure", "--kv 60 --mas 1.6", true},
        {"CSV batch", "--csv " + inQuotes(folder.file("batch.csv")), false},
        {"DICOM batch", "--dicom " + inQuotes(images()), false},
        {"DICOM batch with a CSV file",
         "--dicom " + inQuotes(images()) + " --csv-out " + inQuotes(folder.file("out.csv")), false},
    };
    for (const auto& run : runs) {
        fs::remove(folder.file("Beam_data.dat"));
        const Outcome o = runProgram(folder, run.arguments);
        ASSERT_EQ(o.status, 0) << run.what << ": " << o.err; // every exposure computed
        EXPECT_NE(o.out.find("entrance_surface_dose_mgy"), std::string::npos) << run.what << '\n' << o.out;
        EXPECT_EQ(fs::exists(folder.file("Beam_data.dat")), run.listing) << run.what;
    }
}

TEST_F(CalcDicom, ThicknessAndFieldFromOptionsAndTheCsvFile) {
    DicomImage().set(DCM_PatientID, "N,02").save(images() / "one.dcm");
    const auto csv = folder.file("doses.csv");
    const Outcome o = runProgram(folder, "--dicom " + inQuotes(images() / "one.dcm") +
                                             " --thickness 8 --field 30x24 --csv-out " + inQuotes(csv));
    ASSERT_EQ(o.status, 0) << o.err;
    const auto printed = rowsOf(o.out, "\t");
    ASSERT_EQ(printed.size(), 1u);
    EXPECT_EQ(printed[0].at("file"), (images() / "one.dcm").generic_u8string());
    EXPECT_EQ(printed[0].at("thickness_cm"), "8");
    EXPECT_EQ(printed[0].at("thickness_source"), "option --thickness");
    EXPECT_EQ(printed[0].at("field_cm"), "30x24");
    EXPECT_EQ(printed[0].at("field_source"), "option");
    EXPECT_EQ(printed[0].at("entrance_surface_dose_mgy"), engineDose("60", "1.6", "100", "8", "30", "24"));

    const std::string bytes = test::readBytes(csv);
    ASSERT_EQ(bytes.rfind("\xEF\xBB\xBF", 0), 0u);
    EXPECT_EQ(bytes.find('\n'), bytes.find("\r\n") + 1); // CR LF
    const auto lines = textio::splitLines(bytes.substr(3));
    ASSERT_EQ(lines.size(), 2u);
    std::string header;
    for (const std::string& column : kColumns)
        header += (header.empty() ? "" : ",") + column;
    EXPECT_EQ(lines[0], header);
    // The printed row, with its comma cell quoted.
    std::string expected;
    for (size_t c = 0; c < kColumns.size(); ++c) {
        const std::string& cell = printed[0].at(kColumns[c]);
        expected += (c ? "," : "") + (cell.find(',') != std::string::npos ? "\"" + cell + "\"" : cell);
    }
    EXPECT_EQ(lines[1], expected);
    EXPECT_NE(lines[1].find(",\"N,02\","), std::string::npos);
}

TEST_F(CalcDicom, DicomDirGivesItsImagesOnly) {
    fs::create_directories(images() / "DIR1");
    DicomImage().set(DCM_PatientID, "P1").save(images() / "DIR1" / "IM1");
    DicomImage().set(DCM_PatientID, "P2").set(DCM_KVP, "55").save(images() / "DIR1" / "IM2");
    DicomImage().set(DCM_PatientID, "P3").save(images() / "DIR1" / "IM3"); // on the medium, not listed
    test::writeDicomDir(images(), {"DIR1/IM1", "DIR1/IM2"});
    const Outcome o = runProgram(folder, "--dicom " + inQuotes(images() / "DICOMDIR"));
    ASSERT_EQ(o.status, 0) << o.err;
    const auto rows = rowsOf(o.out, "\t");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].at("file"), "DIR1/IM1");
    EXPECT_EQ(rows[0].at("patient_id"), "P1");
    EXPECT_EQ(rows[1].at("file"), "DIR1/IM2");
    EXPECT_EQ(rows[1].at("kv"), "55");
    EXPECT_EQ(rows[1].at("entrance_surface_dose_mgy"), engineDose("55", "1.6", "100"));

    // Walking the folder lists the DICOMDIR itself as skipped and reads every image.
    const Outcome walk = runProgram(folder, "--dicom " + inQuotes(images()));
    ASSERT_EQ(walk.status, 0) << walk.err;
    const auto walked = rowsOf(walk.out, "\t");
    ASSERT_EQ(walked.size(), 4u);
    EXPECT_EQ(walked[0].at("file"), "DICOMDIR");
    EXPECT_EQ(walked[0].at("status"), "skipped");
    EXPECT_EQ(walked[0].at("reason"), "DICOMDIR は DICOMDIR（画像の一覧）です。");
    EXPECT_EQ(walked[3].at("patient_id"), "P3");
}

TEST_F(CalcDicom, DistanceOptionServesImagesWithoutOneAndExposureOptionsAreRefused) {
    DicomImage().remove(DCM_DistanceSourceToDetector).save(images() / "nosid.dcm");
    Outcome o = runProgram(folder, "--dicom " + inQuotes(images()));
    EXPECT_EQ(o.status, 2);
    auto rows = rowsOf(o.out, "\t");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].at("status"), "failed");
    EXPECT_EQ(rows[0].at("reason"), "計算に必要な値が画像にありません: ffd_cm");

    o = runProgram(folder, "--dicom " + inQuotes(images()) + " --ffd 90");
    ASSERT_EQ(o.status, 0) << o.err;
    rows = rowsOf(o.out, "\t");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].at("ffd_cm"), "90");
    EXPECT_EQ(rows[0].at("missing"),
              "ffd_cm: DistanceSourceToDetector (0018,1110) がありません（--ffd 90 を使用）; "
              "field_cm: CollimatorShape (0018,1700) がありません（既定の 25.4x20.3 を使用）");
    EXPECT_EQ(rows[0].at("entrance_surface_dose_mgy"), engineDose("60", "1.6", "90"));

    for (const std::string option : {"--kv 60", "--mas 2", "--measured-ckg 2e-4"}) {
        o = runProgram(folder, "--dicom " + inQuotes(images()) + " " + option);
        EXPECT_EQ(o.status, 2) << option;
        EXPECT_EQ(o.err, "tamso-calc: --" + option.substr(2, option.find(' ') - 2) +
                             " cannot be used with --dicom: each image gives its own exposure\n");
        EXPECT_TRUE(o.out.empty());
    }
    o = runProgram(folder, "--dicom " + inQuotes(images() / "missing"));
    EXPECT_EQ(o.status, 2);
    EXPECT_NE(o.err.find("no such file or folder"), std::string::npos) << o.err;
    o = runProgram(folder, "--csv-out " + inQuotes(folder.file("x.csv")));
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.err, "tamso-calc: --csv-out is written by --dicom (see --help)\n");
    o = runProgram(folder, "--dicom " + inQuotes(images()) + " --csv " + inQuotes(folder.file("x.csv")));
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.err, "tamso-calc: --csv and --dicom cannot be combined (see --help)\n");
}

// Where the field came from, in every case: the collimator, or the option or default with the
// reason the image's own field could not serve.
TEST_F(CalcDicom, FieldSourceAndWhyTheCollimatorDidNotServe) {
    auto collimated = [](const std::string& shape, const std::string& lowerEdge) {
        return DicomImage()
            .set(DCM_CollimatorShape, shape)
            .set(DCM_CollimatorLeftVerticalEdge, "101")
            .set(DCM_CollimatorRightVerticalEdge, "2100")
            .set(DCM_CollimatorUpperHorizontalEdge, "201")
            .set(DCM_CollimatorLowerHorizontalEdge, lowerEdge)
            .set(DCM_ImagerPixelSpacing, "0.15\\0.125");
    };
    collimated("RECTANGULAR", "1700").save(images() / "a.dcm");
    collimated("RECTANGULAR", "").remove(DCM_CollimatorLowerHorizontalEdge).save(images() / "b.dcm");
    collimated("NONRECTANGULAR", "1700").save(images() / "c.dcm");
    collimated("RECTANGULAR", "202").save(images() / "d.dcm"); // 0.15 mm high
    const Outcome o = runProgram(folder, "--dicom " + inQuotes(images()) + " --field 30x24");
    ASSERT_EQ(o.status, 0) << o.err;
    const auto rows = rowsOf(o.out, "\t");
    ASSERT_EQ(rows.size(), 4u);
    const struct {
        const char* field;
        const char* source;
        std::string missing;
    } expected[] = {
        {"25x22.5", "collimator", ""},
        {"30x24", "option",
         "field_cm: CollimatorShape (0018,1700) は RECTANGULAR ですが、CollimatorLowerHorizontalEdge "
         "(0018,1708) "
         "がありません（--field 30x24 を使用）"},
        {"30x24", "option",
         "field_cm: CollimatorShape (0018,1700) が RECTANGULAR ではありません（NONRECTANGULAR）（--field "
         "30x24 を使用）"},
        {"30x24", "option",
         "field_cm: CollimatorShape (0018,1700) は RECTANGULAR ですが、縁 (0018,1702〜1708) と "
         "ImagerPixelSpacing "
         "(0018,1164) からの照射野 24.9875 × 0.015 cm は使える範囲（各辺 1 cm 以上 100 cm 以下）の外です"
         "（--field 30x24 を使用）"},
    };
    for (size_t k = 0; k < rows.size(); ++k) {
        EXPECT_EQ(rows[k].at("field_cm"), expected[k].field) << k;
        EXPECT_EQ(rows[k].at("field_source"), expected[k].source) << k;
        EXPECT_EQ(rows[k].at("missing"), expected[k].missing) << k;
    }
}

// Values an image cannot have are refused with the reason, and so is geometry the engine refuses:
// the row fails, the batch goes on.
TEST_F(CalcDicom, ImpossibleExposuresFailTheirRowOnly) {
    DicomImage().set(DCM_ExposureInuAs, "99999999999").save(images() / "a.dcm");
    DicomImage().set(DCM_KVP, "60\\80").save(images() / "b.dcm");
    DicomImage().set(DCM_DistanceSourceToDetector, "350").save(images() / "c.dcm"); // 35 cm, 10 cm infant
    DicomImage().save(images() / "d.dcm");
    const Outcome o = runProgram(folder, "--dicom " + inQuotes(images()));
    EXPECT_EQ(o.status, 2);
    const auto rows = rowsOf(o.out, "\t");
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].at("reason"), "計算に必要な値が画像にありません: mas");
    EXPECT_EQ(rows[0].at("missing").rfind("mas: ExposureInuAs (0018,1153) の 1e+08 mAs は使える範囲", 0), 0u)
        << rows[0].at("missing");
    EXPECT_EQ(rows[1].at("missing").rfind("kv: KVP (0018,0060) に値が 2 つあります（'60\\80'）", 0), 0u)
        << rows[1].at("missing");
    EXPECT_EQ(rows[2].at("status"), "failed");
    EXPECT_EQ(rows[2].at("reason").rfind(
                  "焦点－皮膚間距離 25 cm（FFD 35 cm − 被写体厚 10 cm）が 30 cm 未満です。", 0),
              0u)
        << rows[2].at("reason");
    EXPECT_EQ(rows[3].at("status"), "ok");
}

// One bad entry never stops the batch: hostile files, FIFOs, devices, links and unreadable folders
// each get their row with the reason, every image is computed and the CSV file is written. A linked
// image is listed by the link's own name.
TEST_F(CalcDicom, EveryEntryOfAFolderIsListedAndNoneStopsTheBatch) {
    fs::create_directories(images() / "sub");
    DicomImage().set(DCM_PatientID, "P1").save(images() / "a.dcm");
    test::writeBytes(images() / "b_deep.dcm", test::raw::fileMeta() + test::raw::radiographStart() +
                                                  test::raw::nestedSequences(6000, false));
    test::writeBytes(images() / "c_huge.dcm",
                     std::string(128, '\0') + "DICM" +
                         test::raw::element(0x0002, 0x0001, "OB", std::string(240, '\0'), 0xFFFFFFF0));
    DicomImage().set(DCM_PatientID, "P2").save(images() / "sub" / "z.dcm");
#ifndef _WIN32
    fs::create_symlink(images() / "sub" / "z.dcm", images() / "d_link.dcm");
    fs::create_symlink(images() / "missing.dcm", images() / "e_broken.dcm");
    fs::create_symlink(images() / "sub", images() / "f_folder");
    fs::create_symlink("/dev/null", images() / "g_device");
    ASSERT_EQ(::mkfifo((images() / "h_fifo").c_str(), 0600), 0);
    const bool root = ::geteuid() == 0; // root lists every folder
    fs::create_directories(images() / "i_locked");
    fs::permissions(images() / "i_locked", fs::perms::none);
#endif
    const auto csv = folder.file("out.csv");
    const Outcome o = runProgram(folder, "--dicom " + inQuotes(images()) + " --csv-out " + inQuotes(csv));
#ifndef _WIN32
    fs::permissions(images() / "i_locked", fs::perms::owner_all);
#endif
    EXPECT_EQ(o.status, 2) << o.err;
    const auto rows = rowsOf(o.out, "\t");
    std::vector<std::string> shown;
    for (const auto& row : rows)
        shown.push_back(row.at("file") + " " + row.at("status") + " " + row.at("patient_id") +
                        row.at("reason"));
    std::vector<std::string> expected = {
        "a.dcm ok P1",
        "b_deep.dcm failed b_deep.dcm は DICOM ファイルとして読めません（シーケンスの入れ子が 32 "
        "段を超えています"
        "（(0008,1115)））。",
        "c_huge.dcm failed c_huge.dcm は DICOM ファイルとして読めません（ファイルメタ情報 (0002,0001) の長さ "
        "4294967280 バイトは上限 65536 バイトを超えています）。",
#ifndef _WIN32
        "d_link.dcm ok P2",
        "e_broken.dcm failed e_broken.dcm のリンク先がありません。",
        "f_folder skipped f_folder はフォルダへのリンクのため、たどりません。",
        "g_device skipped g_device はデバイスへのリンクのため読みません。",
        "h_fifo skipped h_fifo はFIFOのため読みません。",
#endif
        "sub/z.dcm ok P2",
    };
#ifndef _WIN32
    if (!root)
        expected.insert(expected.end() - 1,
                        "i_locked failed フォルダ i_locked を読めません（Permission denied）。");
#endif
    EXPECT_EQ(shown, expected) << o.out;
    // The CSV file holds the same rows.
    const auto lines = textio::splitLines(test::readBytes(csv).substr(3));
    EXPECT_EQ(lines.size(), rows.size() + 1);
}

// A DICOMDIR's records that may not be opened are failed rows with the reason; the others are
// computed.
TEST_F(CalcDicom, DicomDirRecordsOutsideTheMediumAreListedNotOpened) {
    fs::create_directories(images() / "IMG");
    DicomImage().save(images() / "IMG" / "IM1");
    test::writeDicomDirWithFileIds(images() / "DICOMDIR", {"IMG\\IM1", "..\\..\\etc\\passwd", "IMG\\IM9"});
    const Outcome o = runProgram(folder, "--dicom " + inQuotes(images() / "DICOMDIR"));
    EXPECT_EQ(o.status, 2);
    const auto rows = rowsOf(o.out, "\t");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].at("file"), "IMG/IM1");
    EXPECT_EQ(rows[0].at("status"), "ok");
    EXPECT_EQ(rows[1].at("file"), "../../etc/passwd");
    EXPECT_EQ(rows[1].at("status"), "failed");
    EXPECT_EQ(rows[1].at("reason"),
              "../../etc/passwd は DICOMDIR のフォルダの外（..）を指すため開きません。");
    EXPECT_EQ(rows[2].at("reason"), "IMG/IM9 がありません。");
}
