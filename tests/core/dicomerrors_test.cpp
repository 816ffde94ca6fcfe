// The DICOM reading's failures give their code of the catalogue with the values in the order of
// the template's placeholders, and the sentence as before.

#include "dicom/dicomdir.h"
#include "dicom/dicomtext.h"
#include "dicom/imageexposure.h"
#include "dicomtestfiles.h"
#include "errorcases.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <functional>

namespace tamso {
namespace {

TEST(DicomErrors, FailuresGiveTheirCodeWithTheValuesInOrder) {
    test::TempFolder folder;
    test::DicomImage().makeCt().save(folder.file("ct.dcm"));
    test::DicomImage().makeCt().remove(DCM_Modality).save(folder.file("none.dcm"));
    test::DicomImage().save(folder.file("dx.dcm"));
    test::writeBytes(folder.file("note.txt"), "not an image");
    const test::ErrorCase cases[] = {
        {"character set",
         [] { return dicom::toUtf8("caf\xE9", "ISO_IR 999").status(); },
         ErrorCode::DicomCharsetNotConvertible,
         {"ISO_IR 999", "この文字コードは使えません"},
         "文字コード ISO_IR 999 の文字を変換できません（この文字コードは使えません）。"},
        {"CT image",
         [&] { return dicom::readImageExposure(folder.file("ct.dcm")).status(); },
         ErrorCode::DicomNotRadiograph,
         {"ct.dcm", "CT"},
         "ct.dcm は一般撮影（CR・DX）の画像ではありません（Modality: CT）。"},
        {"no modality",
         [&] { return dicom::readImageExposure(folder.file("none.dcm")).status(); },
         ErrorCode::DicomNotRadiographNoModality,
         {"none.dcm"},
         "none.dcm は一般撮影（CR・DX）の画像ではありません（Modality: なし）。"},
        {"text file",
         [&] { return dicom::readImageExposure(folder.file("note.txt")).status(); },
         ErrorCode::DicomNotDicom,
         {"note.txt"},
         "note.txt は DICOM ファイルではありません。"},
        {"image as DICOMDIR",
         [&] { return dicom::dicomDirEntries(folder.file("dx.dcm")).status(); },
         ErrorCode::DicomNotDicomDir,
         {"dx.dcm"},
         "dx.dcm は DICOMDIR ではありません。"},
    };
    test::expectErrorCases(cases);
    // The reading keeps the same failure for the callers that show its sentence.
    const dicom::HeaderReading ct = dicom::readHeader(folder.file("ct.dcm"));
    EXPECT_EQ(ct.error.code, ErrorCode::DicomNotRadiograph);
    EXPECT_EQ(ct.message, ct.error.message());
}

// A header without a patient's name is told apart from one whose name cannot be read, by a flag
// and not by the words of the problem.
TEST(DicomErrors, AnAbsentNameIsFlaggedAndAnUnreadableOneIsNot) {
    test::TempFolder folder;
    test::DicomImage().remove(DCM_PatientName).save(folder.file("a.dcm"));
    test::DicomImage().set(DCM_PatientName, "\xB1\xB2").save(folder.file("b.dcm")); // no character set named
    const auto absent = dicom::readImageExposure(folder.file("a.dcm"));
    const auto unreadable = dicom::readImageExposure(folder.file("b.dcm"));
    ASSERT_TRUE(absent.ok() && unreadable.ok());
    EXPECT_TRUE(!absent->patientName.has() && absent->patientName.absent);
    EXPECT_TRUE(!unreadable->patientName.has() && !unreadable->patientName.absent)
        << unreadable->patientName.problem;
}

} // namespace
} // namespace tamso
