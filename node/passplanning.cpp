// The planning of a processing pass: the reference data and the site's files, the waiting images,
// what each of them is (unreadable, derived, a duplicate, held for what it lacks, an infant's
// record), and each infant's records planned under its record lock. Nothing on the disk changes
// here but the inbox files a killed pass had logged and not put away.

#include "node/processingpass.h"

#include "dicom/dicomtext.h"
#include "engine/calculation.h"
#include "node/nodefolders.h"
#include "node/nodeplatform.h"
#include "records/exposurerecord.h"
#include "refdata/referencefiles.h"
#include "refdata/referenceloader.h"
#include "textio/codec.h"
#include "textio/fileio.h"

#include <algorithm>

namespace tamso::node {
namespace {

std::string joined(const std::vector<std::string>& parts, const char* separator) {
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : separator) + part;
    return text;
}

void settle(std::vector<ImageEntry>& outcomes, ImageEntry& e, Outcome outcome, const std::string& reason) {
    e.outcome = outcome;
    e.reason = reason;
    outcomes.push_back(e);
}

// Technologist: Operators' Name; X-ray unit: Station Name, else Manufacturer's Model Name, else the
// basic data's unit name.
void nameOperatorAndUnit(const ImageIdentity& identity, const std::string& basicDataUnit, ImageEntry& e) {
    e.technologist = identity.operatorsName.value.value_or("");
    e.technologistSource = identity.operatorsName.has() ? identity.operatorsName.source : "なし";
    if (identity.stationName.has()) {
        e.xrayUnit = *identity.stationName.value;
        e.xrayUnitSource = identity.stationName.source;
    } else if (identity.modelName.has()) {
        e.xrayUnit = *identity.modelName.value;
        e.xrayUnitSource = identity.modelName.source;
    } else {
        e.xrayUnit = basicDataUnit;
        e.xrayUnitSource = refdata::kBasicDataFileName;
    }
}

// Record files are Shift-JIS: a text it cannot hold (a name in a character beyond it) holds this
// image only, never the other records of the pass.
std::string unwritableText(const std::string& name, const records::RecordTexts& texts) {
    const auto lines = texts.inLineOrder();
    for (int i = -1; i < records::kRecordLines; ++i) {
        auto sjis = textio::utf8ToSjis(i < 0 ? name : lines[static_cast<size_t>(i)]);
        if (!sjis.ok())
            return "「" + (i < 0 ? std::string("氏名") : records::recordFieldCaption(i)) +
                   "」を記録ファイルに書けません（" + sjis.error().message() + "）";
    }
    return {};
}

} // namespace

// One infant's stored records while its images are planned.
struct ProcessingPass::Infant {
    std::string id;
    records::StoredInfant stored;
    bool known = false;
    std::string storedName;
    std::string newFileName; // the name a new infant's first file gets
    records::WithdrawnRecords withdrawn;
    RecordedThickness lastThickness; // by body part from the latest records, this pass's included
    std::set<std::string> eventsRecorded; // of this pass

    // The name the infant's records are written with.
    std::string recordName(const std::string& imageName) const {
        return known ? storedName : (newFileName.empty() ? imageName : newFileName);
    }
};

// What the images' conditions are resolved with: a new case's conditions (the basic data's angle
// and filtration), the body-part mapping and thickness defaults, the infant's thickness by body part.
ConditionSources ProcessingPass::conditionSources(const RecordedThickness* infant) const {
    ConditionSources sources;
    sources.base = engine::defaultConditions(*st_.engine);
    sources.bodyParts = &st_.bodyParts;
    sources.infantThickness = infant;
    sources.thicknessDefaults = st_.thickness ? &*st_.thickness : nullptr;
    sources.thicknessDefaultsProblem = st_.thicknessProblem;
    if (st_.organs) {
        sources.defaultWeightKg = st_.organs->defaultWeightKg;
        sources.defaultWeightProblem = st_.organs->defaultWeightProblem;
    }
    return sources;
}

// The reference data and the site's files, loaded again when changed.
Status ProcessingPass::loadSiteFiles() {
    std::vector<Stamp> stamps;
    for (const char* name :
         {refdata::kBasicDataFileName, refdata::kBackscatterFileName, refdata::kAttenuationFileName,
          refdata::kTubeOutputFileName, refdata::kScatterRatioFileName, refdata::kAmbientDoseFileName,
          dicom::BodyPartMapping::fileName(), dicom::BodyPartMapping::bodyPartListName(),
          ThicknessDefaults::fileName(), refdata::kOrganDoseFileName, refdata::kDefaultWeightFileName})
        stamps.push_back(stampOf(textio::fileInFolder(workFolder_, name)));
    if (st_.loaded && stamps == st_.stamps)
        return {};
    auto fresh = std::make_unique<engine::CalculationState>();
    if (auto e = refdata::loadReferenceData(*fresh, workFolder_); !e.ok()) {
        st_.loaded = false;
        return Error(ErrorCode::ReferenceDataWaiting, {e.message()});
    }
    st_.engine = std::move(fresh);
    st_.bodyParts = dicom::BodyPartMapping::load(workFolder_);
    auto thickness = ThicknessDefaults::load(workFolder_);
    st_.thickness.reset();
    st_.thicknessProblem.clear();
    if (thickness.ok())
        st_.thickness = std::move(*thickness);
    else
        st_.thicknessProblem = thickness.error().message();
    st_.organs.reset();
    if (fs::exists(textio::fileInFolder(workFolder_, refdata::kOrganDoseFileName))) {
        // The entrance surface dose does not need it: images are recorded, their reports without E.
        if (auto organs = refdata::loadOrganDoseData(workFolder_); organs.ok())
            st_.organs = std::move(*organs);
        else
            say("臓器線量の表を読めないため、線量レポートに実効線量を載せません: " + organs.error().message());
    }
    st_.stamps = stamps;
    st_.loaded = true;
    return {};
}

std::vector<std::string> ProcessingPass::waitingImages(const std::set<std::string>& settledFiles) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(inbox_, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = textio::fileNameUtf8(it->path());
        if (name.size() <= 4 || name[0] == '.' || name.compare(name.size() - 4, 4, ".dcm") != 0 ||
            settledFiles.count(name))
            continue;
        if (const auto outcome = st_.log.loggedFile(name)) {
            // Logged by a pass that was interrupted before it put the file away.
            std::error_code putAway;
            if (*outcome == Outcome::Held && !fs::exists(node_ / "held" / fs::u8path(name), putAway))
                (void)platform::renameFile(it->path(), node_ / "held" / fs::u8path(name));
            else
                fs::remove(it->path(), putAway);
            continue;
        }
        if (options_.ownImagesOnly) {
            std::lock_guard<std::mutex> lock(st_.admittedMutex);
            if (!st_.admitted.count(name))
                continue;
        }
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    if (names.size() > options_.maxBatch)
        names.resize(options_.maxBatch);
    return names;
}

void ProcessingPass::plan(const std::vector<std::string>& names, PassPlan& plan) {
    std::set<std::string> uidsInPass;
    const std::string now = platform::localTimeText();
    for (const std::string& name : names)
        if (auto c = screen(name, now, uidsInPass, plan))
            plan.byInfant[c->entry.patientId].push_back(std::move(*c));
    for (auto& [id, candidates] : plan.byInfant)
        planInfant(id, candidates, plan);
}

// An image on its own: settled as unreadable, derived, a duplicate or held for what it lacks, or
// returned to be planned with its infant's records.
std::optional<Candidate> ProcessingPass::screen(const std::string& name, const std::string& now,
                                                std::set<std::string>& uidsInPass, PassPlan& plan) {
    Candidate c;
    c.inboxName = name;
    c.path = inbox_ / fs::u8path(name);
    ImageEntry& e = c.entry;
    e.time = now;
    e.file = name;
    const dicom::HeaderReading reading = dicom::readHeader(c.path);
    auto identity = readImageIdentity(c.path);
    if (identity.ok())
        c.identity = *identity;
    e.sopInstanceUid = c.identity.sopInstanceUid;
    e.sopClassUid = c.identity.sopClassUid;
    e.studyInstanceUid = c.identity.studyInstanceUid;
    e.irradiationEventUid = c.identity.irradiationEventUid;
    if (reading.kind != dicom::FileKind::Radiograph || !identity.ok() || e.sopInstanceUid.empty()) {
        const std::string why = reading.kind != dicom::FileKind::Radiograph ? reading.message
                                : !identity.ok()                            ? identity.error().message()
                                                 : "SOPInstanceUID (0008,0018) がありません";
        if (e.sopInstanceUid.empty())
            e.sopInstanceUid = "(" + name + ")";
        settle(plan.outcomes, e, Outcome::Unreadable, why);
        return std::nullopt;
    }
    c.exposure = reading.exposure;
    const dicom::ImageExposure& x = c.exposure;
    // The image's own values; the thickness follows under the infant's lock, from its records.
    const ImageConditions resolved = resolveImageConditions(x, conditionSources(nullptr));
    e.patientId = resolved.patientId.text;
    e.patientName = x.patientName.value.value_or("");
    e.examDate = resolved.examDate.text;
    e.bodyPart = resolved.bodyPart.text;
    e.kv = resolved.tubeVoltageKv.text;
    e.kvSource = resolved.tubeVoltageKv.source;
    e.mAs = resolved.mAs.text;
    e.mAsSource = resolved.mAs.source;
    e.ffdCm = resolved.ffdCm.text;
    e.ffdSource = resolved.ffdCm.source;

    if (!c.identity.original()) {
        settle(plan.outcomes, e, Outcome::Derived, "ImageType (0008,0008) " + joined(c.identity.imageType, "\\"));
        return std::nullopt;
    }
    if (const std::string why = duplicateReason(e, uidsInPass, e.recordNumber); !why.empty()) {
        settle(plan.outcomes, e, Outcome::Duplicate, why);
        return std::nullopt;
    }
    uidsInPass.insert(e.sopInstanceUid);
    if (const std::vector<std::string> lacking = lackingValues(resolved, x); !lacking.empty()) {
        settle(plan.outcomes, e, Outcome::Held, joined(lacking, "、"));
        return std::nullopt;
    }
    return c;
}

// Why an image is a duplicate (with the record number of the image it repeats), or nothing.
std::string ProcessingPass::duplicateReason(const ImageEntry& e, const std::set<std::string>& uidsInPass,
                                            int& recordNumber) const {
    const ImageEntry* before = st_.log.latest(e.sopInstanceUid);
    if (st_.log.isRecorded(e.sopInstanceUid) || uidsInPass.count(e.sopInstanceUid)) {
        const bool recorded = before && st_.log.isRecorded(e.sopInstanceUid);
        recordNumber = recorded ? before->recordNumber : 0;
        return recorded ? "記録済みの画像の再送（" + before->patientId + " の記録 " +
                              std::to_string(before->recordNumber) + "）"
                        : "同じ画像が続けて届きました";
    }
    // An image a person set aside (sent by mistake) stays aside when it comes again.
    if (before && before->outcome == Outcome::SetAside)
        return "取り除いた画像の再送（" + before->reason + "）";
    // Another image of an exposure already recorded (its "for processing" or "for presentation"
    // copy): one exposure, one record.
    if (const ImageEntry* same = st_.log.recordedEvent(e.irradiationEventUid)) {
        recordNumber = same->recordNumber;
        return "同じ照射 (IrradiationEventUID) の画像を記録済み（" + same->patientId + " の記録 " +
               std::to_string(same->recordNumber) + "）";
    }
    return {};
}

// What an image lacks for a record, each with its problem.
std::vector<std::string> ProcessingPass::lackingValues(const ImageConditions& resolved,
                                                       const dicom::ImageExposure& x) const {
    std::vector<std::string> lacking;
    auto need = [&](const ResolvedValue& value, const char* what) {
        if (!value.has())
            lacking.push_back(std::string(what) + ": " + value.problem);
    };
    need(resolved.patientId, "患者ID");
    need(resolved.tubeVoltageKv, "管電圧");
    need(resolved.mAs, "mAs");
    need(resolved.ffdCm, "FFD");
    need(resolved.examDate, "撮影日");
    need(resolved.bodyPart, "撮影部位");
    if (x.patientId.has())
        if (auto bad = records::checkPatientId(*x.patientId.value, workFolder_); !bad.ok())
            lacking.push_back(bad.message());
    return lacking;
}

// Each infant under its record lock: name, thickness, dose and the records' plan. The lock is held
// until the records stage has written the files.
void ProcessingPass::planInfant(const std::string& id, std::vector<Candidate>& candidates, PassPlan& plan) {
    InfantWork work;
    work.id = id;
    work.lock = std::make_unique<records::RecordFileLock>();
    records::RecordLockOptions lockOptions;
    lockOptions.wait = options_.infantLockWait;
    if (auto e = work.lock->acquire(records::patientRecordFile(workFolder_, id), lockOptions); !e.ok()) {
        std::vector<std::string> names;
        for (const Candidate& c : candidates)
            names.push_back(c.inboxName);
        defer(id, names, e.message());
        return;
    }
    auto stored = records::loadStoredInfant(workFolder_, id);
    if (!stored.ok()) {
        for (Candidate& c : candidates)
            settle(plan.outcomes, c.entry, Outcome::Held, stored.error().message());
        return;
    }
    Infant infant;
    infant.id = id;
    infant.stored = std::move(*stored);
    infant.known = !infant.stored.history.files.empty();
    infant.storedName = infant.known ? infant.stored.history.patientName : std::string();
    infant.withdrawn = records::loadWithdrawnRecords(workFolder_, id, infant.stored.history.records);
    infant.lastThickness = recordedThickness(infant.stored.history.records, &infant.withdrawn);
    std::vector<records::RecordTexts> texts;
    for (Candidate& c : candidates) {
        ImageEntry& e = c.entry;
        if (!e.irradiationEventUid.empty() && infant.eventsRecorded.count(e.irradiationEventUid)) {
            settle(plan.outcomes, e, Outcome::Duplicate, "同じ照射 (IrradiationEventUID) の画像をこの画像と同時に記録");
            continue;
        }
        std::string why = nameProblem(infant, c);
        if (why.empty())
            why = computeRecord(infant, c);
        if (why.empty())
            why = sameExposureProblem(infant, c.texts);
        if (why.empty())
            why = unwritableText(infant.recordName(e.patientName), c.texts);
        if (!why.empty()) {
            settle(plan.outcomes, e, Outcome::Held, why);
            continue;
        }
        if (!infant.known && infant.newFileName.empty())
            infant.newFileName = infant.recordName(e.patientName);
        infant.lastThickness[e.bodyPart].set(e.thicknessCm, "この画像と同時に届いた同じ撮影部位の画像の被写体厚");
        texts.push_back(c.texts);
        work.recorded.push_back(&c);
        if (!e.irradiationEventUid.empty())
            infant.eventsRecorded.insert(e.irradiationEventUid);
    }
    if (texts.empty())
        return;
    auto append = records::planRecordAppend(workFolder_, id, infant.known ? infant.storedName : infant.newFileName,
                                            infant.stored, texts);
    if (!append.ok()) {
        for (Candidate* c : work.recorded)
            settle(plan.outcomes, c->entry, Outcome::Held, "記録の形式で保存できません: " + append.error().message());
        return;
    }
    work.plan = std::move(*append);
    for (size_t k = 0; k < work.recorded.size(); ++k) {
        ImageEntry& e = work.recorded[k]->entry;
        e.outcome = Outcome::Recorded;
        e.recordNumber = work.plan.places[k].recordNumber;
    }
    plan.infants.push_back(std::move(work));
}

// The wrong-infant check: the name stored for the ID must be one of the image's names.
std::string ProcessingPass::nameProblem(const Infant& infant, const Candidate& c) const {
    const dicom::ImageExposure& x = c.exposure;
    const ImageEntry& e = c.entry;
    // A name whose bytes cannot be read is no name to check: held with what went wrong.
    if (!x.patientName.has() && !x.patientName.absent) {
        std::string why = x.patientName.problem;
        if (why.size() >= 3 && why.compare(why.size() - 3, 3, "。") == 0)
            why.erase(why.size() - 3);
        return "画像の氏名を読めないため、患児か確かめられません（" + why + "）";
    }
    const std::string& expected = infant.known ? infant.storedName : infant.newFileName;
    if (infant.known && expected.empty())
        return "患者ID「" + infant.id + "」の患者ファイルに氏名がないため、画像の患児か確かめられません";
    if (!expected.empty()) {
        if (!dicom::personNameMatches(x.patientNameGroups, expected))
            return "患者ID「" + infant.id + "」の氏名「" + expected + "」が画像の氏名「" + e.patientName +
                   "」と一致しません（別の患児の可能性）";
    } else if (e.patientName.empty()) {
        return "新しい患者IDですが、画像に氏名 (0010,0010) がありません";
    }
    return {};
}

// The effective dose of the run for the dose report, where the folder has the organ-dose table; an
// image whose body part names no region or whose weight is unknown is recorded without it.
void ProcessingPass::addEffectiveDose(const ImageConditions& resolved, ExposureDose& dose) const {
    if (!st_.organs || !resolved.bodyPart.has())
        return;
    const auto organs = imageOrganDoses(st_.organs->table, *st_.engine, resolved);
    if (!organs.ok())
        return;
    dose.effectiveDoseUSv = organs->effectiveDoseUSv;
    dose.effectiveDoseUUSv = organs->effectiveDoseUUSv;
    (organs->weightAssumed ? dose.assumedWeightKg : dose.weightKg) = organs->weightKg;
}

// Thickness and field, as every way in resolves an image, then the calculation, as the screen's
// calculation and caregiver commands run it, and the record's fields; or why there is no record.
std::string ProcessingPass::computeRecord(Infant& infant, Candidate& c) {
    ImageEntry& e = c.entry;
    const ImageConditions resolved = resolveImageConditions(c.exposure, conditionSources(&infant.lastThickness));
    if (!resolved.thicknessCm.has())
        return resolved.lackingForDose().back();
    e.thicknessCm = resolved.thicknessCm.text;
    e.thicknessSource = resolved.thicknessCm.source;
    e.fieldName = resolved.fieldSizeName;
    e.fieldSource = resolved.fieldLongCm.source;
    e.fieldCm = resolved.fieldLongCm.text + "x" + resolved.fieldShortCm.text;
    nameOperatorAndUnit(c.identity, st_.engine->xrayUnitName, e);
    const engine::ConditionTexts conditions = resolved.texts();
    st_.engine->exposureSource = 2;
    engine::ResultTexts results;
    // No spectrum listing: the screens' Beam_data.dat stays theirs, and nothing is written per image.
    Status run = engine::runCalculation(*st_.engine, conditions, results);
    if (run.ok())
        run = engine::computeCaregiverDose(*st_.engine, results);
    if (!run.ok())
        return "計算できません: " + run.message();
    c.texts = records::recordTextsOfRun(*st_.engine, results,
                                        {e.examDate, e.technologist, e.bodyPart, e.fieldName, e.xrayUnit});
    c.dose = doseReportValues(*st_.engine);
    addEffectiveDose(resolved, *c.dose);
    e.doseMGy = c.texts.entranceSurfaceDoseMGy;
    if (auto bad = records::checkRecordTexts(infant.recordName(e.patientName), c.texts); !bad.ok())
        return bad.message();
    return {};
}

// One exposure, one record: a record saved by hand (no image names it) of the same exposure is
// asked about on the screen, as Data Save asks; an image's own record is known by its UID.
std::string ProcessingPass::sameExposureProblem(const Infant& infant, const records::RecordTexts& texts) const {
    const auto asStored = records::recordAsStored(texts);
    if (!asStored)
        return {};
    const auto& storedRecords = infant.stored.history.records;
    for (size_t n = 0; n < storedRecords.size(); ++n) {
        const int number = static_cast<int>(n) + 1;
        if (!st_.log.isImageRecord(infant.id, number) && !infant.withdrawn.find(number) &&
            records::sameExposure(storedRecords[n], *asStored))
            return "同じ撮影の記録が手入力で保存されています（記録 " + std::to_string(number) + "：" +
                   storedRecords[n].examDate + "）。別の撮影であれば「条件入力画面で開く」から保存してください";
    }
    return {};
}

} // namespace tamso::node
