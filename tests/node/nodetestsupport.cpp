#include "nodetestsupport.h"

#include <dcmtk/config/osconfig.h>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcistrmb.h>
#include <dcmtk/dcmdata/dcsequen.h>

#include <cstdlib>
#include <sstream>
#include <stdexcept>

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace tamso::test {

ProgramRun runCommand(const TempFolder& folder, const std::string& command) {
    const auto out = folder.path() / "command-output.txt";
    const int raw = std::system((command + " > " + quotedArgument(out) + " 2>&1").c_str());
    ProgramRun run;
#ifdef _WIN32
    run.status = raw;
#else
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
    run.out = readBytes(out);
    std::error_code ignored;
    fs::remove(out, ignored);
    return run;
}

node::DoseReportInput sampleReportInput() {
    node::DoseReportInput in;
    in.patientId = "N-0001";
    in.patientName = "Yamada^Hanako";
    in.patientBirthDate = "20240420";
    in.patientSex = "F";
    in.studyInstanceUid = "1.2.826.0.1.3680043.9.7.1.1";
    in.studyDate = "20240430";
    in.studyTime = "101500";
    in.accessionNumber = "A123";
    in.imageSopClassUid = "1.2.840.10008.5.1.4.1.1.1.1"; // digital X-ray for presentation
    in.imageSopInstanceUid = "1.2.826.0.1.3680043.9.7.1.3";
    in.imageSeriesInstanceUid = "1.2.826.0.1.3680043.9.7.1.2";
    in.exposureDate = "20240501";
    in.exposureTime = "093000";
    in.bodyPart = "CHEST";
    in.operatorName = "Sato^Ichiro";
    in.dose.kvp = 60;
    in.dose.exposureUAs = 1600;
    in.dose.tubeCurrentMa = 160;
    in.dose.exposureTimeMs = 10;
    in.dose.sourceToDetectorMm = 1000;
    in.dose.sourceToSkinMm = 920;
    in.dose.aluminiumMm = 2.5;
    in.dose.copperMm = 0.1;
    in.dose.fieldLongMm = 254;
    in.dose.fieldShortMm = 203;
    in.dose.incidentAirKermaMGy = 0.150;
    in.dose.primaryAirKermaMGy = 0.140;
    in.dose.entranceSurfaceDoseMGy = 0.203;
    in.dose.expandedUncertaintyMGy = 0.04;
    in.dose.backscatterFactor = 1.352;
    in.dose.halfValueLayerMmAl = 1.86;
    in.xrayUnit = {"", "PORTABLE1", "ACME", "Mobile 9", "SN42"};
    in.recorder = {"2.25.1234567890", "TAMSO-NODE", "TAMSO-II", "tamso-node", "1"};
    in.institutionName = "Test Hospital";
    in.softwareVersion = "2.0";
    in.contentDateTime = "20240501093500";
    return in;
}

std::vector<std::string> validatorComplaints(const TempFolder& folder, const std::string& fileBytes) {
    const auto file = folder.path() / "report-to-check.dcm";
    writeBytes(file, fileBytes);
    std::vector<std::string> complaints;
    // DCMTK 3.6.7's check of string values knows ASCII and Latin-1 only, and says so for a report in
    // UTF-8; that line speaks of DCMTK, not of the report.
    const std::string utf8Limit =
        "W: The VR checker does not support this Specific Character Set: ISO_IR 192";
    auto collect = [&](const std::string& tool, const std::string& output,
                       std::initializer_list<const char*> marks) {
        std::istringstream lines(output);
        for (std::string line; std::getline(lines, line);)
            for (const char* mark : marks)
                if (line.rfind(mark, 0) == 0 && line != utf8Limit)
                    complaints.push_back(tool + ": " + line);
    };
    const ProgramRun dsrdump = runCommand(folder, "dsrdump -v " + quotedArgument(file));
    collect("dsrdump", dsrdump.out, {"W:", "E:", "F:"});
    const ProgramRun dciodvfy = runCommand(folder, "dciodvfy " + quotedArgument(file));
    collect("dciodvfy", dciodvfy.out, {"Error"});
    std::error_code ignored;
    fs::remove(file, ignored);
    return complaints;
}

const ReportItem* ReportItem::child(const std::string& conceptMeaning) const {
    for (const auto& c : children)
        if (c.meaning == conceptMeaning)
            return &c;
    return nullptr;
}

namespace {

std::string stringOf(DcmItem& item, const DcmTagKey& key) {
    OFString value;
    item.findAndGetOFStringArray(key, value);
    return value.c_str();
}

std::string meaningIn(DcmItem& item, const DcmTagKey& sequence) {
    DcmItem* code = nullptr;
    if (item.findAndGetSequenceItem(sequence, code, 0).bad() || code == nullptr)
        return "";
    return stringOf(*code, DCM_CodeMeaning);
}

ReportItem readItem(DcmItem& item) {
    ReportItem r;
    r.valueType = stringOf(item, DCM_ValueType);
    r.meaning = meaningIn(item, DCM_ConceptNameCodeSequence);
    if (r.valueType == "NUM") {
        DcmItem* measured = nullptr;
        if (item.findAndGetSequenceItem(DCM_MeasuredValueSequence, measured, 0).good() && measured) {
            r.value = stringOf(*measured, DCM_NumericValue);
            DcmItem* unit = nullptr;
            if (measured->findAndGetSequenceItem(DCM_MeasurementUnitsCodeSequence, unit, 0).good() && unit)
                r.unit = stringOf(*unit, DCM_CodeValue);
        }
    } else if (r.valueType == "CODE") {
        r.value = meaningIn(item, DCM_ConceptCodeSequence);
    } else if (r.valueType == "TEXT") {
        r.value = stringOf(item, DCM_TextValue);
    } else if (r.valueType == "UIDREF") {
        r.value = stringOf(item, DCM_UID);
    } else if (r.valueType == "DATETIME") {
        r.value = stringOf(item, DCM_DateTime);
    } else if (r.valueType == "PNAME") {
        r.value = stringOf(item, DCM_PersonName);
    } else if (r.valueType == "IMAGE") {
        DcmItem* ref = nullptr;
        if (item.findAndGetSequenceItem(DCM_ReferencedSOPSequence, ref, 0).good() && ref)
            r.value = stringOf(*ref, DCM_ReferencedSOPInstanceUID);
    }
    DcmSequenceOfItems* content = nullptr;
    if (item.findAndGetSequence(DCM_ContentSequence, content).good() && content)
        for (unsigned long i = 0; i < content->card(); ++i)
            r.children.push_back(readItem(*content->getItem(i)));
    return r;
}

} // namespace

ReadReport readReport(const std::string& fileBytes) {
    DcmInputBufferStream in;
    in.setBuffer(fileBytes.data(), static_cast<offile_off_t>(fileBytes.size()));
    in.setEos();
    DcmFileFormat file;
    file.transferInit();
    const OFCondition c = file.read(in);
    file.transferEnd();
    if (c.bad())
        throw std::runtime_error(std::string("not a DICOM file: ") + c.text());
    DcmDataset& data = *file.getDataset();
    ReadReport r;
    r.root = readItem(data);
    r.characterSet = stringOf(data, DCM_SpecificCharacterSet);
    r.patientId = stringOf(data, DCM_PatientID);
    r.patientNameBytes = stringOf(data, DCM_PatientName);
    r.studyInstanceUid = stringOf(data, DCM_StudyInstanceUID);
    r.seriesInstanceUid = stringOf(data, DCM_SeriesInstanceUID);
    r.sopInstanceUid = stringOf(data, DCM_SOPInstanceUID);
    r.sopClassUid = stringOf(data, DCM_SOPClassUID);
    OFString evidence;
    if (DcmItem* study = nullptr;
        data.findAndGetSequenceItem(DCM_CurrentRequestedProcedureEvidenceSequence, study, 0).good() && study)
        study->findAndGetOFString(DCM_ReferencedSOPInstanceUID, evidence, 0, OFTrue);
    r.evidenceInstanceUid = evidence.c_str();
    return r;
}

} // namespace tamso::test
