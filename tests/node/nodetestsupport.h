#pragma once
// Helpers for the node's tests: a typical dose report, the validators DCMTK (dsrdump) and
// dicom3tools (dciodvfy) run on it, and an Orthanc PACS started for a test.

#include "node/dosereport.h"
#include "node/storesender.h"
#include "testsupport.h"

#include <string>
#include <string_view>
#include <vector>

namespace tamso::test {

// Runs a shell command; its standard output and error together are caught in a file of the folder.
ProgramRun runCommand(const TempFolder& folder, const std::string& command);

// The report of a typical exposure of a received image: patient "N-0001" "Yamada^Hanako", 60 kV,
// 1600 µAs, 1000 mm to the detector, 920 mm to the skin, 2.5 mm Al + 0.1 mm Cu, a 254 x 203 mm
// field, 0.150 mGy incident air kerma, 0.203 mGy entrance surface dose ± 0.040 mGy.
node::DoseReportInput sampleReportInput();

// Writes the file and runs dsrdump (DCMTK's SR reader and its checks for the X-Ray Radiation Dose
// SR) and dciodvfy (the IOD validator of dicom3tools) on it: every warning or error of dsrdump and
// every error of dciodvfy; empty when the file passes both. DCMTK's remark that it cannot check the
// string values of a report in UTF-8 is no warning about the report and is left out.
std::vector<std::string> validatorComplaints(const TempFolder& folder, const std::string& fileBytes);

// A content item of a structured report read back the way a dose registry reads it, by the code
// meanings of the concept names: its value as text (a number's value, a code's meaning, a text, a
// UID, a date-time), the unit of a number, and the items below it.
struct ReportItem {
    std::string valueType; // "CONTAINER", "NUM", "CODE", ...
    std::string meaning;   // the concept name's code meaning
    std::string value;
    std::string unit; // a number's unit code value ("Gy", "uA.s")
    std::vector<ReportItem> children;
    // The first item below this one with that concept name; nullptr when there is none.
    const ReportItem* child(const std::string& conceptMeaning) const;
};
// The root content item of a DICOM file's structured report, and the dataset attributes a test
// asks for by tag through value().
struct ReadReport {
    ReportItem root;
    std::string characterSet;
    std::string patientId;
    std::string patientNameBytes;
    std::string studyInstanceUid;
    std::string seriesInstanceUid;
    std::string sopInstanceUid;
    std::string sopClassUid;
    std::string evidenceInstanceUid; // the first instance of the Current Requested Procedure Evidence
};
ReadReport readReport(const std::string& fileBytes);

// An Orthanc PACS of the test's own (Debian package orthanc): started on free loopback ports with a
// configuration written into a folder of its own (no plugins, storage in that folder, AE title
// "ORTHANC", the given AE titles registered as modalities that may store, query and retrieve), and
// stopped when the object goes. stop() and start() keep its storage and ports, as a PACS that goes
// down and comes back. Fails the test (throws) when Orthanc cannot be started.
class Orthanc {
public:
    explicit Orthanc(std::vector<std::string> allowedAeTitles);
    ~Orthanc();
    Orthanc(const Orthanc&) = delete;
    Orthanc& operator=(const Orthanc&) = delete;

    void start(); // waits until its REST API answers
    void stop();  // at once (SIGKILL), as a PACS that goes down
    bool running() const { return pid_ > 0; }

    node::Destination destination() const { return {"ORTHANC", "127.0.0.1", dicomPort_}; }
    // The body of a REST request; throws unless the answer is 200.
    std::string get(const std::string& path) const;
    std::string post(const std::string& path, const std::string& body) const;
    // The Orthanc IDs of every stored instance.
    std::vector<std::string> instances() const;
    // The DICOM file of an instance.
    std::string instanceFile(const std::string& id) const { return get("/instances/" + id + "/file"); }

private:
    std::string request(const std::string& method, const std::string& path, const std::string& body) const;

    TempFolder folder_;
    std::uint16_t dicomPort_ = 0;
    std::uint16_t httpPort_ = 0;
    long pid_ = 0;
};

} // namespace tamso::test
