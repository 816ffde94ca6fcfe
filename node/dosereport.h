#pragma once
// The X-Ray Radiation Dose report of one exposure: a DICOM structured report (SOP class
// 1.2.840.10008.5.1.4.1.1.88.67) with the projection X-ray dose template at its root and one
// irradiation event per exposure, the way dose registries and PACS import the dose of a
// radiograph. README.md ("The dose report of an exposure") lists where every value goes.
//
// The report is built from plain values (DoseReportInput); doseReportValues() takes them from a
// finished calculation. Plain C++; DCMTK stays inside the .cpp file.

#include "textio/expected.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tamso::engine {
struct CalculationState;
}

namespace tamso::node {

namespace fs = std::filesystem;

// How the X-ray unit records its images: a detector that the unit reads itself (a DR unit), or
// cassettes read elsewhere (CR plates). Decides the accumulated-dose part of the report.
enum class AcquisitionDevice {
    Integrated,    // "Integrated Projection Radiography System"
    CassetteBased, // "Cassette-based Projection Radiography System"
};

// Where the dose values came from.
enum class DoseSource {
    ComputedFromImageAttributes, // the exposure of a received image: "Computed From Image Attributes"
    ManualEntry,                 // conditions typed on the screen: "Manual Entry"
};

// A device named in the report.
struct ReportDevice {
    std::string uid;          // a UID for the device; empty: derived from the other fields
    std::string name;         // e.g. the station name
    std::string manufacturer; // empty: "unknown"
    std::string modelName;    // empty: "unknown"
    std::string serialNumber; // empty: "unknown"
};

// The values of the exposure as the program computed them, in the units the report states them.
struct ExposureDose {
    double kvp = 0;                       // tube voltage, kV
    double exposureUAs = 0;               // tube current x time, µAs
    std::optional<double> tubeCurrentMa;  // where the image states it
    std::optional<double> exposureTimeMs; // where the image states it
    double sourceToDetectorMm = 0;        // focus-detector distance
    double sourceToSkinMm = 0;            // focus-skin distance: the reference point
    double aluminiumMm = 0;               // total aluminium filtration (inherent and added)
    double copperMm = 0;                  // added copper filtration (0: none)
    // The part of aluminiumMm that is the tube's inherent filtration (the rest was added); where it is
    // not known (values kept by an earlier version) the whole is taken as added.
    std::optional<double> inherentAluminiumMm;
    double fieldLongMm = 0;               // collimated field at the detector, longer side
    double fieldShortMm = 0;              // and shorter side
    // Incident air kerma at the reference point, without backscatter (the incubator hood's
    // scatter included), and the part of it from the tube's beam alone (for the dose-area product).
    double incidentAirKermaMGy = 0;
    double primaryAirKermaMGy = 0;
    double entranceSurfaceDoseMGy = 0;            // with backscatter, in tissue
    std::optional<double> expandedUncertaintyMGy; // of the entrance surface dose, k = 2
    std::optional<double> backscatterFactor;      // for the report's comment
    std::optional<double> halfValueLayerMmAl;     // for the report's comment
    // The effective dose (ICRP 103, from the organ doses of the newborn phantom) and its expanded
    // uncertainty (k = 2), where the working folder has the organ-dose table and the body part
    // names a region; the weight it was computed for, the infant's or the site's default (assumed).
    std::optional<double> effectiveDoseUSv;
    std::optional<double> effectiveDoseUUSv;
    std::optional<double> weightKg;
    std::optional<double> assumedWeightKg;
};

// The values the dose routines leave in the calculation state after a successful run, mapped
// onto the report (air kerma from the exposure at 1 m, the W value and the focus-skin distance).
ExposureDose doseReportValues(const engine::CalculationState& state);

// A body region coded in SNOMED CT (the common anatomic regions of the dose report).
struct TargetRegion {
    std::string code;    // SNOMED CT concept ID, e.g. "816094009"
    std::string meaning; // e.g. "Chest"
    bool empty() const { return code.empty(); }
};

struct DoseReportInput {
    // Patient: ID and name as the image holds them. The name is a DICOM person name
    // ("family^given=ideographic=phonetic") in the character set named by patientCharacterSet (the
    // image's Specific Character Set, empty for the default repertoire; "ISO_IR 192" for UTF-8),
    // which also holds the study ID and accession number. The report names no character set where
    // all its texts are ASCII, else it is written in UTF-8 with these texts converted.
    std::string patientId;
    std::string patientName;
    std::string patientCharacterSet;
    std::string patientBirthDate; // YYYYMMDD or empty
    std::string patientSex;       // M, F, O or empty
    std::string patientAge;       // as the image states it (Patient's Age, "003D"), or empty
    std::string patientWeightKg;  // as the image states it (Patient's Weight, a decimal), or empty

    // Study of the image; an empty Study Instance UID gives the report a study of its own.
    std::string studyInstanceUid;
    std::string studyDate; // YYYYMMDD; empty: the exposure date
    std::string studyTime; // HHMMSS; empty: the exposure time
    std::string studyId;
    std::string accessionNumber;

    // The image of the exposure; all empty for a dose computed on the screen.
    std::string imageSopClassUid;
    std::string imageSopInstanceUid;
    std::string imageSeriesInstanceUid;

    std::string exposureDate; // YYYYMMDD
    std::string exposureTime; // HHMMSS (fractions allowed) or empty when unknown
    std::string bodyPart;     // UTF-8, as the program names it ("胸部"); empty: left out
    TargetRegion targetRegion; // the body part coded (SNOMED CT); empty: left out
    // The exposure's Irradiation Event UID: the image's own (0008,3010) where it has one; empty: the
    // UID eventUidOfImage gives the image, or a new one for a dose without an image.
    std::string irradiationEventUid;
    std::string operatorName; // UTF-8, who made the exposure; empty: left out

    AcquisitionDevice device = AcquisitionDevice::Integrated;
    DoseSource source = DoseSource::ComputedFromImageAttributes;
    ExposureDose dose;

    ReportDevice xrayUnit;       // the irradiating device
    ReportDevice recorder;       // this program: uid (recorderUid), name, serial
    std::string institutionName; // UTF-8, the facility name of the basic data; empty: left out
    std::string softwareVersion; // of this program
    std::string contentDateTime; // when the report is made, YYYYMMDDHHMMSS; empty: now
    // The report's own SOP Instance UID; empty: a new one. The report of a recorded image has the
    // UID reportUidOfImage gives, so that made again (after an interruption) it is the same object.
    std::string sopInstanceUid;
};

struct DoseReport {
    std::string fileBytes; // the DICOM file (with its meta header), explicit VR little endian
    std::string sopInstanceUid;
    std::string seriesInstanceUid;
    std::string studyInstanceUid;
};

// The report's values that an image header holds: patient (name, ID and study texts raw, with the
// image's Specific Character Set), study, the image itself, exposure date and time (Acquisition
// Date/Time, else Acquisition DateTime, Content, Series, Study Date/Time), the technologist
// (Operators' Name), the X-ray unit (Station Name, Manufacturer, Manufacturer's Model Name, Device
// Serial Number, Device UID), tube current and exposure time where stated, the kind of unit (CR:
// cassette-based, else integrated) and the source "Computed From Image Attributes". The dose, body
// part and this program's part are the caller's. Reads the header only.
Expected<DoseReportInput> reportInputFromImage(const fs::path& imageFile);

// The label of a report in the outbox's lists: "<ID> <name> <YYYY/MM/DD> <dose> mGy".
std::string reportLabel(const DoseReportInput& input);

// Builds the report. Fails (message in Japanese) when a value is missing or outside what a
// report can state: no patient ID, no exposure date, a value not above 0 where one is needed.
Expected<DoseReport> buildDoseReport(const DoseReportInput& input);

// The report of a study: one irradiation event per exposure (in the order of their date and time),
// the accumulated dose their sum, the patient, study and this program from the first; the report's
// own SOP Instance UID is the first's. Fails as buildDoseReport, and when the exposures are none or
// not of one patient and study.
Expected<DoseReport> buildStudyDoseReport(std::vector<DoseReportInput> exposures);

// The Irradiation Event UID of an image without one of its own: made from its SOP Instance UID,
// the same for every report and every program that names the image.
std::string eventUidOfImage(const std::string& imageSopInstanceUid);

// A UUID under the root 2.25 made from a text: the same text gives the same UID.
std::string uidFromText(const std::string& text);

// A new UID under the UUID root: "2.25." and the decimal digits of a random (version 4) UUID.
std::string newUuidUid();

// The SOP Instance UID of the report of a recorded image: a UUID under the root 2.25 made from this
// installation's UID and the image's SOP Instance UID. The report of one image is one DICOM object,
// however often it is made: a PACS that gets it twice keeps it once.
std::string reportUidOfImage(const std::string& recorderUid, const std::string& imageSopInstanceUid);

// The values of a run as one line of text ("kvp=60;uas=1600;...", every number to its last bit),
// which the node keeps in its journal until the report is queued, and back; nothing when the text
// is not such a line or lacks a value.
std::string exposureDoseText(const ExposureDose& dose);
std::optional<ExposureDose> exposureDoseFromText(const std::string& text);

// The UID of this installation as the recording device: read from "<node folder>/device-uid.txt",
// created there (with a new UID) on first use.
Expected<std::string> recorderUid(const fs::path& nodeFolder);

// Writes the report as a file beside the record files of the working folder, when the site asks
// for it: "<working folder>/線量レポート/<patient ID>/<exposure date>_<SOP Instance UID>.dcm". A file
// of that name that is there already is left as it is. Returns the file's path.
Expected<fs::path> writeReportBesideRecords(const fs::path& workFolder, const DoseReport& report,
                                            const std::string& patientId, const std::string& exposureDate);

} // namespace tamso::node
