#pragma once
// The exposure of one radiograph as its DICOM header states it: tube voltage, mAs, focus-detector
// distance, exposure date, patient, the texts that name the body part, and the collimated field.
// Only the header is read (the file up to the pixel data), so a folder of images reads quickly.
// Every value says which attribute it came from, or why it is missing. Plain C++; DCMTK stays
// inside the .cpp files.
//
// Files from outside are read defensively: before DCMTK parses a file, a walk over its element
// headers refuses nesting, lengths or element counts beyond what a header needs (see
// headerscan.h); a value longer than any attribute read here is never loaded; a number with more
// than one value is refused, never taken by its first; a value outside the plausible range of a
// radiograph (below) is refused with the range.

#include "dicom/dicomdir.h"
#include "dicom/dicomtext.h"
#include "engine/conditionlimits.h"
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
    bool absent = false; // no value because the header has none (not one that could not be read)
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

// The values an image may give, each range inclusive unless said otherwise; a value outside is
// refused with the range: the ranges of the exposure conditions (engine/conditionlimits.h), one
// table for every way an exposure enters (99,999,999,999 µAs or 1e300 mm are refused).
constexpr double kMinImageKv = engine::conditionLimit(engine::ConditionId::TubeVoltage).min; // up to but not including
constexpr double kMaxImageKv = engine::conditionLimit(engine::ConditionId::TubeVoltage).max;
constexpr double kMinImageMAs = engine::conditionLimit(engine::ConditionId::MAs).min;
constexpr double kMaxImageMAs = engine::conditionLimit(engine::ConditionId::MAs).max;
constexpr double kMinImageFfdCm = engine::conditionLimit(engine::ConditionId::Ffd).min;
constexpr double kMaxImageFfdCm = engine::conditionLimit(engine::ConditionId::Ffd).max;
constexpr double kMinImageFieldCm = engine::conditionLimit(engine::ConditionId::FieldShort).min; // each side
constexpr double kMaxImageFieldCm = engine::conditionLimit(engine::ConditionId::FieldLong).max;
constexpr double kMinImageThicknessCm = engine::conditionLimit(engine::ConditionId::Thickness).min;
constexpr double kMaxImageThicknessCm = engine::conditionLimit(engine::ConditionId::Thickness).max;

struct ImageExposure {
    std::string modality;    // (0008,0060), e.g. "DX"
    std::string sopClassUid; // (0008,0016), else the file's Media Storage SOP Class UID
    // Tube voltage: KVP (0018,0060).
    Sourced<double> tubeVoltageKv;
    // mAs, from the finest attributes present, in this order:
    //  1. ExposureInuAs (0018,1153) / 1000;
    //  2. ExposureInmAs (0018,9332);
    //  3. tube current x exposure time / 1000, the current from XRayTubeCurrentInuA (0018,8151)
    //     / 1000, else XRayTubeCurrentInmA (0018,9330), else XRayTubeCurrent (0018,1151) (mA),
    //     the time from ExposureTimeInuS (0018,8150) / 1000, else ExposureTimeInms (0018,9328),
    //     else ExposureTime (0018,1150) (ms);
    //  4. Exposure (0018,1152), a whole number of mAs.
    // Where Exposure stands beside a product, the product is used only where it rounds to it
    // (|product - Exposure| <= 0.5 mAs); otherwise the two attributes contradict each other and
    // no mAs is taken (the problem names both). An attribute that is present but 0 or no number
    // gives way to the next; one with several values stops the search (the problem says so).
    Sourced<double> mAs;
    // Focus-detector distance: DistanceSourceToDetector (0018,1110) in mm, given here in cm.
    Sourced<double> ffdCm;
    // The infant's thickness: BodyPartThickness (0018,11A0) in mm, given here in cm.
    Sourced<double> bodyPartThicknessCm;
    // AcquisitionDate (0008,0022), else the date of AcquisitionDateTime (0008,002A), else
    // ContentDate (0008,0023), SeriesDate (0008,0021), StudyDate (0008,0020).
    Sourced<CalendarDate> examDate;
    // The infant's weight: PatientWeight (0010,1030), kg, within the plausible weight
    // (engine/organdose.h).
    Sourced<double> patientWeightKg;
    Sourced<std::string> patientId;     // (0010,0020)
    Sourced<std::string> patientName;   // (0010,0010), as personNameForDisplay shows it
    PersonNameGroups patientNameGroups; // (0010,0010), every group of the name
    // A collimator whose CollimatorShape (0018,1700) has the value RECTANGULAR (one of its
    // values: with a circular or polygonal shutter as well, the rectangle bounds the field), with
    // its edges (0018,1702/1704/1706/1708, pixel columns and rows of the image) and
    // ImagerPixelSpacing (0018,1164, row\column spacing in mm at the detector), rounded to 0.1 cm.
    // A side below 1 cm or above 100 cm is refused.
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
    Error error = Error::text(""); // for every other kind: why, naming the file
    std::string message;           // its sentence (Japanese)
    void fail(Error why) {
        message = why.message();
        error = std::move(why);
    }
    std::vector<DicomDirEntry> dicomDirEntries; // for DicomDir: its image records, in order
};

// Reads the header of one file, stopping before the pixel data; the file is parsed once. A file
// that is no regular file, or whose structure goes beyond the limits, is Unreadable with the
// reason; nothing is read from a file DCMTK could not load.
HeaderReading readHeader(const fs::path& file);

// The exposure of one radiograph; every other kind of file gives its message.
Expected<ImageExposure> readImageExposure(const fs::path& file);

// Radiographs are the images of modality CR or DX; an image without modality counts as one when
// its SOP class is computed radiography or digital X-ray (for presentation or for processing).
bool isRadiograph(const std::string& modality, const std::string& sopClassUid);

} // namespace tamso::dicom
