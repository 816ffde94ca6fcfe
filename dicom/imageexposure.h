#pragma once
// The exposure of one radiograph as its DICOM header states it: tube voltage, mAs, focus-detector
// distance, exposure date, patient, the texts that name the body part, and the collimated field.
// Only the header is read (the file up to the pixel data), so a folder of images reads quickly.
// Every value says which attribute it came from, or why it is missing. Plain C++; DCMTK stays
// inside the .cpp files.

#include "dicom/dicomtext.h"
#include "textio/expected.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tamso::dicom {

namespace fs = std::filesystem;

// One value read from the header.
template <typename T> struct Sourced {
    std::optional<T> value;
    std::string source;  // the attribute(s) it came from, e.g. "ExposureInuAs (0018,1153)"
    std::string problem; // why there is no value (Japanese), empty when there is one
    bool has() const { return value.has_value(); }
};

struct CalendarDate {
    int year = 0;
    int month = 0;
    int day = 0;
};

struct FieldSizeCm {
    double longCm = 0;  // the longer side at the detector
    double shortCm = 0; // the shorter side
};

// The texts a body part is recognised from, in UTF-8, blanks at the ends removed.
struct BodyPartTexts {
    std::string bodyPartExamined;  // (0018,0015)
    std::string viewPosition;      // (0018,5101)
    std::string protocolName;      // (0018,1030)
    std::string seriesDescription; // (0008,103E)
};

struct ImageExposure {
    std::string modality;    // (0008,0060), e.g. "DX"
    std::string sopClassUid; // (0008,0016), else the file's Media Storage SOP Class UID
    // Tube voltage: KVP (0018,0060).
    Sourced<double> tubeVoltageKv;
    // mAs: ExposureInuAs (0018,1153) / 1000, else ExposureInmAs (0018,9332), else Exposure
    // (0018,1152), else tube current x exposure time / 1000 ((0018,9330) or (0018,1151) in mA,
    // (0018,9328) or (0018,1150) in ms). Exposure is a whole number of mAs: where the current and
    // time are present too and their product lies within 1 mAs of it, the product (more digits)
    // is used.
    Sourced<double> mAs;
    // Focus-detector distance: DistanceSourceToDetector (0018,1110) in mm, given here in cm.
    Sourced<double> ffdCm;
    // AcquisitionDate (0008,0022), else the date of AcquisitionDateTime (0008,002A), else
    // ContentDate (0008,0023), SeriesDate (0008,0021), StudyDate (0008,0020).
    Sourced<CalendarDate> examDate;
    Sourced<std::string> patientId;     // (0010,0020)
    Sourced<std::string> patientName;   // (0010,0010), as personNameForDisplay shows it
    PersonNameGroups patientNameGroups; // (0010,0010), every group of the name
    // A RECTANGULAR collimator (0018,1700) with its edges (0018,1702/1704/1706/1708, pixel columns
    // and rows of the image) and ImagerPixelSpacing (0018,1164, mm at the detector), rounded to
    // 0.1 cm.
    Sourced<FieldSizeCm> fieldSize;
    BodyPartTexts bodyPartTexts;
    std::string bodyPartProblem; // a text above that could not be converted (Japanese), else empty
};

// What a file turned out to be.
enum class FileKind {
    Radiograph,    // a CR or DX image: the exposure was read
    NotRadiograph, // another DICOM object (CT, a report, a presentation state, ...)
    DicomDir,      // the directory of a DICOM medium
    NotDicom,      // no DICOM file at all
    Unreadable,    // cannot be opened, or a DICOM file that cannot be read
};

struct HeaderReading {
    FileKind kind = FileKind::Unreadable;
    ImageExposure exposure; // read for Radiograph (modality and SOP class also for NotRadiograph)
    std::string message;    // for every other kind: why, naming the file (Japanese)
};

// Reads the header of one file, stopping before the pixel data.
HeaderReading readHeader(const fs::path& file);

// The exposure of one radiograph; every other kind of file gives its message.
Expected<ImageExposure> readImageExposure(const fs::path& file);

// Radiographs are the images of modality CR or DX; an image without modality counts as one when
// its SOP class is computed radiography or digital X-ray (for presentation or for processing).
bool isRadiograph(const std::string& modality, const std::string& sopClassUid);

// The image files a DICOMDIR lists: its IMAGE records in use, in the order they stand, each
// Referenced File ID resolved against the DICOMDIR's folder (component by component without
// regard to case where the exact name does not exist, as media written on other systems need).
// Fails, naming the file, when it cannot be read or is no DICOMDIR.
Expected<std::vector<fs::path>> dicomDirImages(const fs::path& dicomDir);

} // namespace tamso::dicom
