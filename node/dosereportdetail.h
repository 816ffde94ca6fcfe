#pragma once
// What the dose report's source files share; not for use elsewhere.

#include "node/dosereport.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tamso::node::detail {

// HHMMSS, HHMM or HH, optionally with a fraction after HHMMSS.
bool validTime(std::string_view time);
// YYYYMMDD with a month and day that can be.
bool validDate(std::string_view date);
// An age string: three digits and D, W, M or Y ("003D").
bool validAge(std::string_view age);
// A weight in kg as a decimal string above 0 of at most 16 characters.
bool validWeight(const std::string& weight);

// A decimal string (DS) of at most 16 characters: six significant digits, the C locale's point.
std::string decimalString(double value);
// "unknown" for an empty text.
std::string orUnknown(const std::string& text);
// A UID for a device that has none, the same for the same unit from report to report.
std::string derivedDeviceUid(const ReportDevice& device);

// The patient's and study's texts as the report holds them, and the report's character set.
struct ReportTexts {
    std::string characterSet;
    std::string patientId;
    std::string patientName;
    std::string studyId;
    std::string accessionNumber;
};
Expected<ReportTexts> reportTexts(const DoseReportInput& in);

// The exposures of one report: each sound, all of one patient and study; sorted in the order of
// their moments. Returns the Irradiation Event UID of each, by its position.
Expected<std::vector<std::string>> checkExposures(std::vector<DoseReportInput>& exposures);

// What the values of one exposure give the report.
struct EventValues {
    double fieldAreaM2 = 0;
    double dapGyM2 = 0;  // primary air kerma at the skin x field area at the skin
    double doseRpGy = 0; // incident air kerma at the skin
};
EventValues eventValues(const ExposureDose& d);

// The text of the event's comment: what the report's numbers cannot carry.
std::string eventComment(const DoseReportInput& in);
// The reference point: at the focus-skin distance of the exposure, where one distance holds for all.
std::string referencePointDefinition(std::optional<double> sourceToSkinMm);

} // namespace tamso::node::detail
