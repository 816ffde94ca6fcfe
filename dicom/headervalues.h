#pragma once
// Single values of a loaded DICOM header, as the readers of this folder take them: the raw text of
// an attribute (a value too long is described, never loaded), its values one by one, a number
// from the first usable of its attributes checked against its range, and the words of their
// problems. Included only by the .cpp files of dicom/, which use DCMTK.

#include "dicom/imageexposure.h"

#include <dcmtk/config/osconfig.h>

#include <dcmtk/dcmdata/dcdatset.h>
#include <dcmtk/dcmdata/dcelem.h>
#include <dcmtk/dcmdata/dcitem.h>

#include <optional>
#include <string>
#include <vector>

namespace tamso::dicom::detail {

// Values longer than this are left in the file (read only when asked for); no value the program
// reads comes near it, and large private blocks before the pixel data cost no time.
constexpr Uint32 kMaxReadLength = 4096;

// A file as messages name it.
std::string fileLabel(const fs::path& file);
// A number as a message shows it: six significant digits (60, 1.6, 1e+08).
std::string shortNumber(double value);
std::string joined(const std::vector<std::string>& parts, const char* separator);
// The problem of a missing value: what was wrong with the values present, else what is absent.
std::string missingProblem(const std::vector<std::string>& problems, const std::string& absent);

// The element of the key when it is present and its value was loaded: a value longer than
// kMaxReadLength stays in the file (DCMTK loads it on the first access); no attribute read here
// comes near that length, so such a value is described in `problem` instead of being loaded.
DcmElement* loadedElement(DcmItem& item, const DcmTagKey& key, const char* name, std::string* problem);
// The whole value (every value, with its backslashes), blanks at the ends removed; nothing when the
// attribute is absent, empty or too long (then described in `problem`, where given).
std::optional<std::string> rawValue(DcmItem& item, const DcmTagKey& key, const char* name = "",
                                    std::string* problem = nullptr);
// The values of a multi-valued string, each with the blanks at its ends removed.
std::vector<std::string> splitValues(const std::string& raw);

// The quantities of the exposure, each from the first usable of its attributes (imageexposure.h
// names them) and within its range.
Sourced<double> readTubeVoltage(DcmItem& item);
Sourced<double> readMAs(DcmItem& item);
Sourced<double> readFfd(DcmItem& item);
Sourced<double> readThickness(DcmItem& item);
// The infant's weight: PatientWeight (0010,1030) in kg, within the plausible weights of the organ doses.
Sourced<double> readWeight(DcmItem& item);

// The date of the exposure, from the first of its attributes that holds one (imageexposure.h).
Sourced<CalendarDate> readExamDate(DcmItem& item);
// A string attribute in UTF-8; empty when absent, with the conversion's message in problem when the
// text cannot be converted.
Sourced<std::string> readText(DcmItem& item, const DcmTagKey& key, const char* name,
                              const std::string& characterSet);

// The field of a rectangular collimator at the detector (imageexposure.h).
Sourced<FieldSizeCm> readCollimatedField(DcmItem& item);

// The image records of a loaded DICOMDIR, resolved as dicomDirEntries describes.
std::vector<DicomDirEntry> readDicomDirEntries(DcmDataset& data, const fs::path& dicomDir);

} // namespace tamso::dicom::detail
