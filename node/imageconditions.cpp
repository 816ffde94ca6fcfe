#include "node/imageconditions.h"

#include "refdata/organdosefile.h"
#include "records/exposurerecord.h"
#include "records/patienthistory.h"
#include "textio/numbertext.h"

#include <variant>

namespace tamso::node {

namespace {

ResolvedValue fromImage(const dicom::Sourced<double>& value) {
    ResolvedValue resolved;
    if (value.has())
        resolved.set(textio::numberToText(*value.value), value.source);
    else
        resolved.problem = value.problem;
    return resolved;
}

ResolvedValue fromImage(const dicom::Sourced<std::string>& value) {
    ResolvedValue resolved;
    if (value.has() && !value.value->empty())
        resolved.set(*value.value, value.source);
    else
        resolved.problem = value.problem;
    return resolved;
}

} // namespace

engine::ConditionTexts ImageConditions::texts() const {
    engine::ConditionTexts t = base;
    t.tubeVoltageKv = tubeVoltageKv.text;
    t.mAs = mAs.text;
    t.ffdCm = ffdCm.text;
    t.subjectThicknessCm = thicknessCm.text;
    t.fieldLongCm = fieldLongCm.text;
    t.fieldShortCm = fieldShortCm.text;
    return t;
}

std::vector<std::string> ImageConditions::lackingForDose() const {
    std::vector<std::string> lacking;
    const std::pair<const char*, const ResolvedValue*> values[] = {
        {"管電圧", &tubeVoltageKv}, {"mAs", &mAs}, {"FFD", &ffdCm}};
    for (const auto& [caption, value] : values)
        if (!value->has())
            lacking.push_back(std::string(caption) + ": " + value->problem);
    if (!thicknessCm.has())
        lacking.push_back("被写体厚がありません（" + thicknessCm.problem + "）");
    return lacking;
}

RecordedThickness recordedThickness(const std::vector<records::PatientRecord>& recordsInSaveOrder,
                                    const records::WithdrawnRecords* withdrawn) {
    RecordedThickness latest;
    for (size_t n = 0; n < recordsInSaveOrder.size(); ++n) {
        const records::PatientRecord& r = recordsInSaveOrder[n];
        if (withdrawn && withdrawn->find(static_cast<int>(n) + 1))
            continue;
        if (const double* cm = std::get_if<double>(&r.subjectThicknessCm); cm && *cm > 0)
            latest[r.bodyPart].set(textio::numberToText(*cm),
                                   "記録 " + std::to_string(n + 1) + "（" + r.examDate + "）の被写体厚");
    }
    return latest;
}

ImageConditions resolveImageConditions(const dicom::ImageExposure& image, const ConditionSources& sources) {
    ImageConditions c;
    c.base = sources.base;
    c.tubeVoltageKv = fromImage(image.tubeVoltageKv);
    c.mAs = fromImage(image.mAs);
    c.ffdCm = fromImage(image.ffdCm);
    c.patientId = fromImage(image.patientId);
    c.patientName = fromImage(image.patientName);
    if (image.examDate.has()) {
        const dicom::CalendarDate& d = *image.examDate.value;
        c.examDate.set(records::recordDateText(d.year, d.month, d.day), image.examDate.source);
    } else {
        c.examDate.problem = image.examDate.problem;
    }
    if (sources.bodyParts) {
        c.bodyPart = fromImage(sources.bodyParts->match(image.bodyPartTexts));
        if (!c.bodyPart.has() && !image.bodyPartProblem.empty())
            c.bodyPart.problem += "、" + image.bodyPartProblem;
    }

    // The field: the collimator's, recorded under "その他" as a typed size is; else a new case's.
    if (image.fieldSize.has()) {
        c.fieldLongCm.set(textio::numberToText(image.fieldSize.value->longCm), image.fieldSize.source);
        c.fieldShortCm.set(textio::numberToText(image.fieldSize.value->shortCm), image.fieldSize.source);
        c.fieldSizeName = records::kOtherFieldSizeName;
    } else {
        const std::string source = std::string("既定値（") + records::kDefaultFieldSizeName + "）";
        c.fieldLongCm.set(sources.base.fieldLongCm, source);
        c.fieldShortCm.set(sources.base.fieldShortCm, source);
        c.fieldSizeName = records::kDefaultFieldSizeName;
    }

    // The weight: the image's, else the site's default (assumed).
    c.weightKg = fromImage(image.patientWeightKg);
    if (!c.weightKg.has()) {
        if (sources.defaultWeightKg) {
            c.weightKg.set(textio::numberToText(*sources.defaultWeightKg),
                           std::string(refdata::kDefaultWeightFileName) + " の既定値");
            c.weightAssumed = true;
        } else if (!sources.defaultWeightProblem.empty()) {
            c.weightKg.problem += "、" + sources.defaultWeightProblem;
        }
    }

    // The thickness: the image's, else the infant's latest of the body part, else the site's default.
    c.thicknessCm = fromImage(image.bodyPartThicknessCm);
    if (!c.thicknessCm.has()) {
        const std::string imageProblem = c.thicknessCm.problem;
        const std::string& part = c.bodyPart.text;
        if (sources.infantThickness && c.bodyPart.has())
            if (auto it = sources.infantThickness->find(part); it != sources.infantThickness->end()) {
                c.thicknessCm = it->second;
                return c;
            }
        if (sources.thicknessDefaults && c.bodyPart.has())
            if (auto cm = sources.thicknessDefaults->thicknessFor(part)) {
                c.thicknessCm.set(*cm, std::string(ThicknessDefaults::fileName()) + " の既定値");
                return c;
            }
        if (!sources.thicknessDefaultsProblem.empty())
            c.thicknessCm.problem = sources.thicknessDefaultsProblem;
        else if (!c.bodyPart.has())
            c.thicknessCm.problem = imageProblem + "、撮影部位がわからないため記録と既定値も使えません";
        else
            c.thicknessCm.problem = "画像に BodyPartThickness (0018,11A0) がなく、同じ撮影部位「" + part +
                                    "」の記録も " + ThicknessDefaults::fileName() + " の既定値もありません";
    }
    return c;
}

FolderSources::FolderSources(std::filesystem::path workFolder)
    : workFolder_(std::move(workFolder)), bodyParts_(dicom::BodyPartMapping::load(workFolder_)) {
    if (auto loaded = ThicknessDefaults::load(workFolder_); loaded.ok())
        thicknessDefaults_ = std::move(*loaded);
    else
        thicknessDefaultsProblem_ = loaded.error().message();
    if (auto weight = refdata::readDefaultWeightFile(workFolder_); weight.ok())
        defaultWeightKg_ = *weight;
    else
        defaultWeightProblem_ = weight.error().message();
}

ConditionSources FolderSources::forImage(const dicom::ImageExposure& image,
                                         const engine::ConditionTexts& base) const {
    ConditionSources sources;
    sources.base = base;
    sources.bodyParts = &bodyParts_;
    sources.thicknessDefaults = thicknessDefaults_ ? &*thicknessDefaults_ : nullptr;
    sources.thicknessDefaultsProblem = thicknessDefaultsProblem_;
    sources.defaultWeightKg = defaultWeightKg_;
    sources.defaultWeightProblem = defaultWeightProblem_;
    if (!image.patientId.has())
        return sources;
    const std::string& id = *image.patientId.value;
    auto [known, added] = infants_.try_emplace(id);
    if (added && records::checkPatientId(id, workFolder_).ok())
        if (auto history = records::loadPatientHistory(workFolder_, id); history.ok()) {
            const records::WithdrawnRecords withdrawn = records::loadWithdrawnRecords(workFolder_, id, history->records);
            known->second = recordedThickness(history->records, &withdrawn);
        }
    if (known->second)
        sources.infantThickness = &*known->second;
    return sources;
}

ImageConditions resolveImageConditionsInFolder(const dicom::ImageExposure& image,
                                               const std::filesystem::path& workFolder,
                                               const engine::ConditionTexts& base) {
    const FolderSources folder(workFolder);
    return resolveImageConditions(image, folder.forImage(image, base));
}

Expected<engine::OrganDoseResult> imageOrganDoses(const engine::OrganDoseTable& table,
                                                  const engine::CalculationState& state,
                                                  const ImageConditions& resolved) {
    const std::optional<double> weight =
        resolved.weightKg.has() ? textio::parseNumber(resolved.weightKg.text) : std::nullopt;
    return engine::organDosesForBodyPart(table, state, resolved.bodyPart.text,
                                         resolved.weightAssumed ? std::nullopt : weight,
                                         resolved.weightAssumed ? weight : std::nullopt);
}

} // namespace tamso::node
