#pragma once
// The conditions of one radiograph from its DICOM header: the one resolution that every way an image
// enters uses (the exposure-condition screen's import and its completion of a held image,
// tamso-calc --dicom, the node, tamso-calc --pull), so that one image gives one set of conditions
// and one dose, each value with its source.
//
// From the image: tube voltage, mAs, FFD, exam date, patient, body part (through the working
// folder's DICOM撮影部位.txt), the collimated field and Body Part Thickness. Where the image has no
// thickness: the infant's latest record of the same body part, else the site's default for the
// body part (被写体厚既定値.txt). Where it has no field: the default field of a new case (六切サイズ).
// What no image states (target angle, filtration, focus-hood distance) comes from the base
// conditions the caller gives (those of a new case, with the basic data's angle and filtration).
// A caller that overrides a value (a tamso-calc option, a field the user typed) says so in its
// source. A value nothing gives stays empty with its problem: the calculation refuses it until the
// user types one, and nothing is ever taken from an earlier exposure.

#include "dicom/bodypartmap.h"
#include "dicom/imageexposure.h"
#include "engine/calculation.h"
#include "engine/organdose.h"
#include "node/thicknessdefaults.h"
#include "records/patientrecordfile.h"
#include "records/recordwithdrawal.h"

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tamso::node {

// One resolved condition: its text (empty where nothing gives it), where it came from, or why
// there is none.
struct ResolvedValue {
    std::string text;    // UTF-8, a number in its shortest decimal form
    std::string source;  // "KVP (0018,0060)", "記録 3（2026/01/12）の被写体厚", "--thickness", ...
    std::string problem; // why there is none (Japanese)
    bool has() const { return !text.empty(); }
    void set(std::string value, std::string from) {
        text = std::move(value);
        source = std::move(from);
        problem.clear();
    }
};

struct ImageConditions {
    ResolvedValue tubeVoltageKv;
    ResolvedValue mAs;
    ResolvedValue ffdCm;
    ResolvedValue thicknessCm;
    ResolvedValue fieldLongCm;  // the collimator's long side, else the default field's
    ResolvedValue fieldShortCm; // both sides share their source
    std::string fieldSizeName;  // "その他" for a collimated field, else the default field's name
    ResolvedValue bodyPart;
    ResolvedValue examDate; // as records store it: "2026/01/12"
    ResolvedValue patientId;
    ResolvedValue patientName;
    // The infant's weight (kg): PatientWeight (0010,1030), else the site's default weight
    // (体重既定値.txt), then weightAssumed; none where neither gives one.
    ResolvedValue weightKg;
    bool weightAssumed = false;
    engine::ConditionTexts base; // what no image states: angle, filtration, focus-hood distance

    // The conditions to run: the base with every resolved value.
    engine::ConditionTexts texts() const;
    // What the calculation cannot do without, one "caption: problem" per value, in the form's
    // order: tube voltage, mAs, FFD, thickness.
    std::vector<std::string> lackingForDose() const;
};

// The latest thickness recorded for each body part of an infant (the last saved record of the part
// with a thickness above 0), with its source: "記録 N（date）の被写体厚".
using RecordedThickness = std::map<std::string, ResolvedValue>;
// A withdrawn record (records/recordwithdrawal.h) gives none.
RecordedThickness recordedThickness(const std::vector<records::PatientRecord>& recordsInSaveOrder,
                                    const records::WithdrawnRecords* withdrawn = nullptr);

// What besides the image the resolution draws on.
struct ConditionSources {
    engine::ConditionTexts base;                  // a new case's conditions (defaultConditions)
    const dicom::BodyPartMapping* bodyParts = nullptr;
    const RecordedThickness* infantThickness = nullptr; // the image's infant; none for a new infant
    const ThicknessDefaults* thicknessDefaults = nullptr;
    std::string thicknessDefaultsProblem; // why the site's defaults could not be read
    std::optional<double> defaultWeightKg;  // the site's default weight of an infant
    std::string defaultWeightProblem;       // why it could not be read
};

ImageConditions resolveImageConditions(const dicom::ImageExposure& image, const ConditionSources& sources);

// The working folder's own sources, read once for many images: its body-part mapping and its
// thickness defaults.
class FolderSources {
public:
    explicit FolderSources(std::filesystem::path workFolder);
    FolderSources(const FolderSources&) = delete;
    FolderSources& operator=(const FolderSources&) = delete;

    // The sources of one image with the base conditions: the infant's records (read once per infant
    // for this object's life, not locked: the node resolves under the infant's lock with
    // ConditionSources instead); none for an image without a patient ID with readable records.
    ConditionSources forImage(const dicom::ImageExposure& image, const engine::ConditionTexts& base) const;
    const std::filesystem::path& workFolder() const { return workFolder_; }

private:
    std::filesystem::path workFolder_;
    dicom::BodyPartMapping bodyParts_;
    std::optional<ThicknessDefaults> thicknessDefaults_;
    std::string thicknessDefaultsProblem_;
    mutable std::map<std::string, std::optional<RecordedThickness>> infants_; // by patient ID
    std::optional<double> defaultWeightKg_;
    std::string defaultWeightProblem_;
};

// The organ doses and effective dose of an image's exposure, after its calculation run left the
// state: its body part and its weight as resolved (the site's default then counts as assumed). Fails
// with the reason where the body part names no region or no weight is known.
Expected<engine::OrganDoseResult> imageOrganDoses(const engine::OrganDoseTable& table,
                                                  const engine::CalculationState& state,
                                                  const ImageConditions& resolved);

// One image with the sources of its working folder.
ImageConditions resolveImageConditionsInFolder(const dicom::ImageExposure& image,
                                               const std::filesystem::path& workFolder,
                                               const engine::ConditionTexts& base);

} // namespace tamso::node
