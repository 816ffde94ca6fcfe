#include "nodetestsupport.h"

#include "dicompeers.h"

#include <dcmtk/config/osconfig.h>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcistrmb.h>
#include <dcmtk/dcmdata/dcsequen.h>

#include <chrono>
#include <cstdlib>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <thread>

#ifndef _WIN32
#include <arpa/inet.h>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

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

#ifndef _WIN32
namespace {

std::string orthancProgram() {
    return fs::exists("/usr/sbin/Orthanc") ? "/usr/sbin/Orthanc" : "Orthanc";
}

} // namespace

Orthanc::Orthanc(std::vector<std::string> allowedAeTitles) {
    dicomPort_ = freeLoopbackPort();
    httpPort_ = freeLoopbackPort();
    std::string modalities;
    for (std::size_t n = 0; n < allowedAeTitles.size(); ++n)
        modalities += std::string(n ? ",\n" : "") + "    \"m" + std::to_string(n) + "\": { \"AET\": \"" +
                      allowedAeTitles[n] +
                      "\", \"Host\": \"127.0.0.1\", \"Port\": 104, \"AllowEcho\": true, \"AllowFind\": true, "
                      "\"AllowGet\": true, \"AllowMove\": false, \"AllowStore\": true }";
    const std::string storage = (folder_.path() / "storage").string();
    const std::string config = "{\n"
                               "  \"Name\": \"TAMSO-TEST\",\n"
                               "  \"StorageDirectory\": \"" +
                               storage +
                               "\",\n"
                               "  \"IndexDirectory\": \"" +
                               storage +
                               "\",\n"
                               "  \"Plugins\": [],\n"
                               "  \"HttpPort\": " +
                               std::to_string(httpPort_) +
                               ",\n"
                               "  \"DicomPort\": " +
                               std::to_string(dicomPort_) +
                               ",\n"
                               "  \"DicomAet\": \"ORTHANC\",\n"
                               "  \"RemoteAccessAllowed\": false,\n"
                               "  \"AuthenticationEnabled\": false,\n"
                               "  \"DicomCheckModalityHost\": false,\n"
                               "  \"DicomAlwaysAllowStore\": false,\n"
                               "  \"DicomModalities\": {\n" +
                               modalities +
                               "\n  },\n"
                               "  \"SaveJobs\": false,\n"
                               "  \"HttpThreadsCount\": 4\n"
                               "}\n";
    writeBytes(folder_.path() / "orthanc.json", config);
    start();
}

Orthanc::~Orthanc() {
    stop();
}

void Orthanc::start() {
    if (pid_ > 0)
        return;
    const std::string program = orthancProgram();
    const std::string config = (folder_.path() / "orthanc.json").string();
    const std::string log = (folder_.path() / "orthanc.log").string();
    const pid_t pid = spawn({program, config}, log, true); // a restart adds to the log
    if (pid < 0)
        throw std::runtime_error("cannot start Orthanc");
    pid_ = pid;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
        try {
            get("/system");
            return;
        } catch (const std::exception&) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    stop();
    throw std::runtime_error("Orthanc (" + program + ") did not answer; its log:\n" + readBytes(log));
}

void Orthanc::stop() {
    if (pid_ <= 0)
        return;
    // Killed at once, as a PACS that goes down; a clean stop takes Orthanc seconds. What it has
    // acknowledged is in its storage and index already.
    ::kill(static_cast<pid_t>(pid_), SIGKILL);
    int status = 0;
    ::waitpid(static_cast<pid_t>(pid_), &status, 0);
    pid_ = 0;
}

std::string Orthanc::request(const std::string& method, const std::string& path,
                             const std::string& body) const {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(httpPort_);
    if (s < 0 || ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (s >= 0)
            ::close(s);
        throw std::runtime_error("Orthanc's REST API does not answer");
    }
    const std::string head = method + " " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\nContent-Length: " +
                             std::to_string(body.size()) + "\r\n\r\n";
    const std::string message = head + body;
    for (std::size_t sent = 0; sent < message.size();) {
        const auto n = ::send(s, message.data() + sent, message.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            break;
        sent += static_cast<std::size_t>(n);
    }
    std::string answer;
    char buffer[65536];
    for (ssize_t n; (n = ::recv(s, buffer, sizeof buffer, 0)) > 0;)
        answer.append(buffer, static_cast<std::size_t>(n));
    ::close(s);
    const auto end = answer.find("\r\n\r\n");
    if (answer.rfind("HTTP/1.", 0) != 0 || answer.size() < 12 || end == std::string::npos)
        throw std::runtime_error("no HTTP answer from Orthanc");
    if (answer.substr(9, 3) != "200")
        throw std::runtime_error(method + " " + path + ": " + answer.substr(0, answer.find("\r\n")) + "\n" +
                                 answer.substr(end + 4));
    return answer.substr(end + 4);
}

std::string Orthanc::get(const std::string& path) const {
    return request("GET", path, "");
}
std::string Orthanc::post(const std::string& path, const std::string& body) const {
    return request("POST", path, body);
}

std::vector<std::string> Orthanc::instances() const {
    const std::string json = get("/instances");
    std::vector<std::string> ids;
    const std::regex id("\"([0-9a-f]{8}(-[0-9a-f]{8}){4})\"");
    for (std::sregex_iterator it(json.begin(), json.end(), id), end; it != end; ++it)
        ids.push_back((*it)[1]);
    return ids;
}
#endif

} // namespace tamso::test
