#include "node/imageprocessor.h"

#include "dicom/bodypartmap.h"
#include "dicom/dicomtext.h"
#include "dicom/imageexposure.h"
#include "engine/calculation.h"
#include "node/imageheader.h"
#include "node/nodefolders.h"
#include "node/nodeplatform.h"
#include "node/imageconditions.h"
#include "node/thicknessdefaults.h"
#include "records/exposurerecord.h"
#include "records/recordwithdrawal.h"
#include "records/recordappend.h"
#include "records/recordfilelock.h"
#include "refdata/referencefiles.h"
#include "refdata/referenceloader.h"
#include "textio/codec.h"
#include "textio/fileio.h"
#include "textio/numbertext.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>
#include <set>

namespace tamso::node {
namespace {

constexpr const char* kJournalName = "journal";

std::string joined(const std::vector<std::string>& parts, const char* separator) {
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : separator) + part;
    return text;
}

// A file's time and size, to notice that a site changed it.
struct Stamp {
    bool exists = false;
    fs::file_time_type time{};
    std::uintmax_t size = 0;
    bool operator==(const Stamp& o) const { return exists == o.exists && time == o.time && size == o.size; }
};

Stamp stampOf(const fs::path& file) {
    Stamp s;
    std::error_code ec;
    s.time = fs::last_write_time(file, ec);
    if (ec)
        return s;
    s.size = fs::file_size(file, ec);
    s.exists = !ec;
    return s;
}

// An image taken from the inbox, on its way to a record or the held list.
struct Candidate {
    std::string inboxName;
    fs::path path;
    dicom::ImageExposure exposure;
    ImageIdentity identity;
    ImageEntry entry;
    records::RecordTexts texts;
    std::optional<ExposureDose> dose; // the run's values for the dose report
};

// A journal entry: the log entry the record will have, the record's fields and the run's values.
struct JournalEntry {
    ImageEntry entry;
    records::RecordTexts texts;
    std::optional<ExposureDose> dose;
};

std::string journalLine(const JournalEntry& j) {
    std::string line;
    for (const std::string& value : entryFields(j.entry))
        line += escapeField(value) + "\t";
    const auto texts = j.texts.inLineOrder();
    for (size_t i = 0; i < texts.size(); ++i)
        line += (i ? "\t" : "") + escapeField(texts[i]);
    return line + "\t" + escapeField(j.dose ? exposureDoseText(*j.dose) : std::string()) + "\n";
}

std::optional<JournalEntry> parseJournalLine(const std::string& line) {
    const std::vector<std::string> fields = splitTabs(line);
    const size_t n = imageLogColumns().size();
    // The run's values follow the record's fields (a line of an earlier version has none).
    if (fields.size() != n + records::kRecordLines && fields.size() != n + records::kRecordLines + 1)
        return std::nullopt;
    JournalEntry j;
    j.entry =
        entryFromFields(imageLogColumns(), std::vector<std::string>(fields.begin(), fields.begin() + n));
    auto at = [&](size_t i) { return fields[n + i]; };
    j.texts = {at(0), at(1), at(2), at(3), at(4), at(5), at(6), at(7), at(8), at(9), at(10), at(11), at(12)};
    if (fields.size() > n + records::kRecordLines)
        j.dose = exposureDoseFromText(at(records::kRecordLines));
    return j;
}

std::string logLine(const ImageEntry& e) {
    std::string line = "image " + e.sopInstanceUid;
    if (!e.patientId.empty())
        line += " (ID " + e.patientId + ")";
    switch (e.outcome) {
    case Outcome::Recorded:
        return line + ": recorded as record " + std::to_string(e.recordNumber) + ", " + e.doseMGy + " mGy (" +
               e.kv + " kV, " + e.mAs + " mAs, FFD " + e.ffdCm + " cm, thickness " + e.thicknessCm +
               " cm from " + e.thicknessSource + ", field " + e.fieldCm + " cm)";
    case Outcome::Held:
        return line + ": held: " + e.reason;
    case Outcome::Resolved:
        return line + ": saved through the report";
    case Outcome::Derived:
        return line + ": derived copy, listed and not recorded";
    case Outcome::Duplicate:
        return line + ": " + e.reason;
    case Outcome::Unreadable:
        return line + ": unreadable: " + e.reason;
    case Outcome::SetAside:
        return line + ": set aside: " + e.reason;
    }
    return line;
}

} // namespace

// The calculation state and the site's files, loaded from the working folder and loaded again when
// one of them changes.
struct ImageProcessor::State {
    std::unique_ptr<engine::CalculationState> engine = std::make_unique<engine::CalculationState>();
    dicom::BodyPartMapping bodyParts;
    std::optional<ThicknessDefaults> thickness;
    std::string thicknessProblem;
    std::vector<Stamp> stamps;
    bool loaded = false;
    ImageLog log;
    std::atomic<unsigned long> counter{0};
    std::map<std::string, std::string> deferred; // inbox name -> why it waits
    std::mutex admittedMutex;
    std::set<std::string> admitted; // inbox names this processor admitted (for ownImagesOnly)

    explicit State(const fs::path& work) : log(work) {}
};

ImageProcessor::ImageProcessor(fs::path workFolder, NodeLogger log, ProcessorOptions options)
    : workFolder_(std::move(workFolder)), log_(std::move(log)), options_(options),
      state_(std::make_unique<State>(workFolder_)) {}

ImageProcessor::~ImageProcessor() = default;

void ImageProcessor::setRecordedHook(RecordedHook hook) {
    hook_ = std::move(hook);
}

Status ImageProcessor::open() {
    const fs::path node = nodeFolder(workFolder_);
    if (Status links = refuseLinks(workFolder_); !links.ok())
        return links;
    std::error_code ec;
    for (const char* sub : {"inbox", "held"}) {
        fs::create_directories(node / sub, ec);
        if (ec)
            return Error{"フォルダ「" + (node / sub).u8string() + "」を作れません（" + ec.message() + "）。"};
    }
    // A header a killed program was writing into the inbox was never acknowledged either.
    textio::removeAbandonedTemporaries(node / "inbox");
    return {};
}

Expected<std::string> ImageProcessor::admitHeader(const std::string& headerBytes) {
    // Names sort in the order of admission: microseconds since the epoch, then the process and a
    // counter for images admitted in the same microsecond.
    const auto now = std::chrono::duration_cast<std::chrono::microseconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    char name[80];
    std::snprintf(name, sizeof name, "%017lld-%06lu-%08lu.dcm", static_cast<long long>(now),
                  platform::processId() % 1000000, ++state_->counter % 100000000);
    const fs::path file = nodeFolder(workFolder_) / "inbox" / name;
    auto created = textio::createFileAtomic(file, headerBytes, textio::Durability::Synced);
    if (!created.ok())
        return created.error();
    if (!*created)
        return Error{"受信画像の名前「" + std::string(name) + "」がすでにあります。"};
    std::lock_guard<std::mutex> lock(state_->admittedMutex);
    state_->admitted.insert(name);
    return std::string(name);
}

Expected<std::string> ImageProcessor::admitFile(const fs::path& dicomFile, std::string* uid) {
    auto header = headerOnlyCopy(dicomFile, uid);
    if (!header.ok())
        return header.error();
    return admitHeader(*header);
}

size_t ImageProcessor::waitingCount() const {
    size_t n = 0;
    std::error_code ec;
    for (fs::directory_iterator it(nodeFolder(workFolder_) / "inbox", ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        n += name.size() > 4 && name[0] != '.' && name.compare(name.size() - 4, 4, ".dcm") == 0;
    }
    return n;
}

Expected<std::vector<ImageEntry>> ImageProcessor::processWaiting() {
    State& st = *state_;
    // What the images' conditions are resolved with: a new case's conditions (the basic data's angle
    // and filtration), the body-part mapping and thickness defaults, the infant's thickness by body part.
    auto conditionSources = [&st](const RecordedThickness* infant) {
        ConditionSources sources;
        sources.base = engine::defaultConditions(*st.engine);
        sources.bodyParts = &st.bodyParts;
        sources.infantThickness = infant;
        sources.thicknessDefaults = st.thickness ? &*st.thickness : nullptr;
        sources.thicknessDefaultsProblem = st.thicknessProblem;
        return sources;
    };
    const fs::path node = nodeFolder(workFolder_);
    const fs::path inbox = node / "inbox";
    auto say = [this](const std::string& line) {
        if (log_)
            log_(line);
    };

    ProcessingLock processing;
    if (auto e = processing.acquire(workFolder_, options_.processingLockWait); !e.ok())
        return e.error();
    if (auto e = st.log.refresh(); !e.ok())
        return e.error();
    if (auto e = st.log.catchUpReceipts(); !e.ok())
        say("receipt log: " + e.message());

    std::vector<ImageEntry> logged;
    std::set<std::string> settledFiles; // inbox files settled by the journal

    // The journal of an interrupted pass ----------------------------------------------------------
    const fs::path journal = node / kJournalName;
    std::set<std::string> keptFiles; // headers of recorded images whose hook is still to succeed
    if (auto text = textio::readRegularFileBytes(journal, 64u << 20); text.ok() && !text->empty()) {
        std::vector<JournalEntry> found;
        for (const std::string& line : textio::splitLines(*text))
            if (!line.empty() && line[0] != '#')
                if (auto j = parseJournalLine(line))
                    found.push_back(std::move(*j));
        std::vector<ImageEntry> recovered;
        std::vector<const JournalEntry*> hooked; // recorded: the hook is called (again) for each
        std::map<std::string, std::vector<const JournalEntry*>> byInfant;
        for (const JournalEntry& j : found) {
            if (st.log.isRecorded(j.entry.sopInstanceUid)) {
                settledFiles.insert(j.entry.file); // logged before the interruption
                hooked.push_back(&j);
            } else {
                byInfant[j.entry.patientId].push_back(&j);
            }
        }
        for (const auto& [id, entries] : byInfant) {
            records::RecordFileLock lock;
            records::RecordLockOptions lockOptions;
            lockOptions.wait = options_.infantLockWait;
            if (auto e = lock.acquire(records::patientRecordFile(workFolder_, id), lockOptions); !e.ok())
                return Error{"中断された記録の確認: " + e.message()};
            auto history = records::loadPatientHistory(workFolder_, id);
            if (!history.ok())
                return Error{"中断された記録の確認: " + history.error().message};
            for (const JournalEntry* j : entries) {
                const int n = j->entry.recordNumber;
                if (n >= 1 && n <= history->recordCount() &&
                    records::recordHoldsTexts(history->records[static_cast<size_t>(n - 1)], j->texts)) {
                    recovered.push_back(j->entry);
                    settledFiles.insert(j->entry.file);
                    hooked.push_back(j);
                }
            }
        }
        if (auto e = st.log.append(recovered); !e.ok())
            return e.error();
        for (const ImageEntry& e : recovered) {
            say(logLine(e) + " (after an interruption)");
            logged.push_back(e);
        }
        // The hook for every image the journal lists as recorded, with its entry as logged.
        std::string kept; // the journal lines whose hook has still to succeed
        for (const JournalEntry* j : hooked) {
            const ImageEntry* entry = st.log.latest(j->entry.sopInstanceUid);
            if (!hook_ || !entry)
                continue;
            if (const Status done = hook_({*entry, inbox / fs::u8path(j->entry.file), j->dose}); !done.ok()) {
                say("image " + entry->sopInstanceUid + ": " + done.message() +
                    " (tried again at the next pass)");
                kept += journalLine(*j);
                keptFiles.insert(j->entry.file);
            }
        }
        for (const std::string& file : settledFiles) {
            std::error_code ec;
            if (!keptFiles.count(file))
                fs::remove(inbox / fs::u8path(file), ec);
        }
        // Settled: what the journal held is in the log or will be processed again; only the entries
        // whose hook is still to succeed stay.
        if (kept.empty()) {
            std::error_code ec;
            fs::resize_file(journal, 0, ec);
        } else if (auto e = textio::writeFileAtomic(journal, kept); !e.ok()) {
            return e.error();
        }
    }

    // The reference data and the site's files, loaded again when changed --------------------------
    std::vector<fs::path> watched;
    for (const char* name :
         {refdata::kBasicDataFileName, refdata::kBackscatterFileName, refdata::kAttenuationFileName,
          refdata::kTubeOutputFileName, refdata::kScatterRatioFileName, refdata::kAmbientDoseFileName,
          dicom::BodyPartMapping::fileName(), dicom::BodyPartMapping::bodyPartListName(),
          ThicknessDefaults::fileName()})
        watched.push_back(textio::fileInFolder(workFolder_, name));
    std::vector<Stamp> stamps;
    for (const fs::path& file : watched)
        stamps.push_back(stampOf(file));
    if (!st.loaded || stamps != st.stamps) {
        auto fresh = std::make_unique<engine::CalculationState>();
        if (auto e = refdata::loadReferenceData(*fresh, workFolder_); !e.ok()) {
            st.loaded = false;
            return Error{"基準データを読めないため、受信画像は処理を待っています: " + e.message()};
        }
        st.engine = std::move(fresh);
        st.bodyParts = dicom::BodyPartMapping::load(workFolder_);
        auto thickness = ThicknessDefaults::load(workFolder_);
        st.thickness.reset();
        st.thicknessProblem.clear();
        if (thickness.ok())
            st.thickness = std::move(*thickness);
        else
            st.thicknessProblem = thickness.error().message;
        st.stamps = stamps;
        st.loaded = true;
    }

    // The waiting images, oldest first -------------------------------------------------------------
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(inbox, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = textio::fileNameUtf8(it->path());
        if (name.size() <= 4 || name[0] == '.' || name.compare(name.size() - 4, 4, ".dcm") != 0 ||
            settledFiles.count(name))
            continue;
        if (const auto outcome = st.log.loggedFile(name)) {
            // Logged by a pass that was interrupted before it put the file away.
            std::error_code putAway;
            if (*outcome == Outcome::Held && !fs::exists(node / "held" / fs::u8path(name), putAway))
                (void)platform::renameFile(it->path(), node / "held" / fs::u8path(name));
            else
                fs::remove(it->path(), putAway);
            continue;
        }
        if (options_.ownImagesOnly) {
            std::lock_guard<std::mutex> lock(st.admittedMutex);
            if (!st.admitted.count(name))
                continue;
        }
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    if (names.size() > options_.maxBatch)
        names.resize(options_.maxBatch);

    std::vector<ImageEntry> outcomes; // every image of the pass that is settled, in order
    std::map<std::string, std::vector<Candidate>> byInfant;
    std::set<std::string> uidsInPass;
    const std::string now = platform::localTimeText();
    for (const std::string& name : names) {
        Candidate c;
        c.inboxName = name;
        c.path = inbox / fs::u8path(name);
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
            e.outcome = Outcome::Unreadable;
            e.reason = reading.kind != dicom::FileKind::Radiograph ? reading.message
                       : !identity.ok()                            ? identity.error().message
                                        : "SOPInstanceUID (0008,0018) がありません";
            if (e.sopInstanceUid.empty())
                e.sopInstanceUid = "(" + name + ")";
            outcomes.push_back(e);
            continue;
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
            e.outcome = Outcome::Derived;
            e.reason = "ImageType (0008,0008) " + joined(c.identity.imageType, "\\");
            outcomes.push_back(e);
            continue;
        }
        if (st.log.isRecorded(e.sopInstanceUid) || uidsInPass.count(e.sopInstanceUid)) {
            e.outcome = Outcome::Duplicate;
            const ImageEntry* before = st.log.latest(e.sopInstanceUid);
            e.recordNumber = before && st.log.isRecorded(e.sopInstanceUid) ? before->recordNumber : 0;
            e.reason = before && st.log.isRecorded(e.sopInstanceUid)
                           ? "記録済みの画像の再送（" + before->patientId + " の記録 " +
                                 std::to_string(before->recordNumber) + "）"
                           : "同じ画像が続けて届きました";
            outcomes.push_back(e);
            continue;
        }
        // An image a person set aside (sent by mistake) stays aside when it comes again.
        if (const ImageEntry* before = st.log.latest(e.sopInstanceUid);
            before && before->outcome == Outcome::SetAside) {
            e.outcome = Outcome::Duplicate;
            e.reason = "取り除いた画像の再送（" + before->reason + "）";
            outcomes.push_back(e);
            continue;
        }
        // Another image of an exposure already recorded (its "for processing" or "for presentation"
        // copy): one exposure, one record.
        if (const ImageEntry* same = st.log.recordedEvent(e.irradiationEventUid)) {
            e.outcome = Outcome::Duplicate;
            e.recordNumber = same->recordNumber;
            e.reason = "同じ照射 (IrradiationEventUID) の画像を記録済み（" + same->patientId + " の記録 " +
                       std::to_string(same->recordNumber) + "）";
            outcomes.push_back(e);
            continue;
        }
        uidsInPass.insert(e.sopInstanceUid);

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
        if (!lacking.empty()) {
            e.outcome = Outcome::Held;
            e.reason = joined(lacking, "、");
            outcomes.push_back(e);
            continue;
        }
        byInfant[e.patientId].push_back(std::move(c));
    }

    // Each infant under its record lock: name, thickness, dose and the records' plan -------------------
    struct InfantWork {
        std::string id;
        std::unique_ptr<records::RecordFileLock> lock;
        records::RecordAppendPlan plan;
        std::vector<Candidate*> recorded; // in the order of plan.places
    };
    std::vector<InfantWork> infants;
    for (auto& [id, candidates] : byInfant) {
        InfantWork work;
        work.id = id;
        work.lock = std::make_unique<records::RecordFileLock>();
        records::RecordLockOptions lockOptions;
        lockOptions.wait = options_.infantLockWait;
        if (auto e = work.lock->acquire(records::patientRecordFile(workFolder_, id), lockOptions); !e.ok()) {
            bool news = false;
            for (const Candidate& c : candidates) {
                std::string& before = st.deferred[c.inboxName];
                news |= before != e.message();
                before = e.message();
            }
            if (news)
                say("ID " + id + ": " + std::to_string(candidates.size()) + " image(s) wait: " + e.message());
            continue;
        }
        auto stored = records::loadStoredInfant(workFolder_, id);
        auto holdAll = [&](const std::string& reason) {
            for (Candidate& c : candidates) {
                c.entry.outcome = Outcome::Held;
                c.entry.reason = reason;
                outcomes.push_back(c.entry);
            }
        };
        if (!stored.ok()) {
            holdAll(stored.error().message);
            continue;
        }
        const bool known = !stored->history.files.empty();
        std::string storedName = known ? stored->history.patientName : std::string();
        std::string newFileName; // the name a new infant's first file gets
        // Thickness by body part from the latest records, this pass's included.
        std::optional<records::WithdrawnRecords> withdrawn =
            records::loadWithdrawnRecords(workFolder_, id, stored->history.records);
        RecordedThickness lastThickness = recordedThickness(stored->history.records, &*withdrawn);
        std::vector<records::RecordTexts> texts;
        std::set<std::string> eventsRecorded; // of this pass
        for (Candidate& c : candidates) {
            ImageEntry& e = c.entry;
            const dicom::ImageExposure& x = c.exposure;
            auto hold = [&](const std::string& reason) {
                e.outcome = Outcome::Held;
                e.reason = reason;
                outcomes.push_back(e);
            };
            if (!e.irradiationEventUid.empty() && eventsRecorded.count(e.irradiationEventUid)) {
                e.outcome = Outcome::Duplicate;
                e.reason = "同じ照射 (IrradiationEventUID) の画像をこの画像と同時に記録";
                outcomes.push_back(e);
                continue;
            }
            // A name whose bytes cannot be read is no name to check: held with what went wrong.
            if (!x.patientName.has() && x.patientName.problem.find("がありません") == std::string::npos) {
                std::string why = x.patientName.problem;
                if (why.size() >= 3 && why.compare(why.size() - 3, 3, "。") == 0)
                    why.erase(why.size() - 3);
                hold("画像の氏名を読めないため、患児か確かめられません（" + why + "）");
                continue;
            }
            // The wrong-infant check: the name stored for the ID must be one of the image's names.
            const std::string& expected = known ? storedName : newFileName;
            if (known && expected.empty()) {
                hold("患者ID「" + id + "」の患者ファイルに氏名がないため、画像の患児か確かめられません");
                continue;
            }
            if (!expected.empty()) {
                if (!dicom::personNameMatches(x.patientNameGroups, expected)) {
                    hold("患者ID「" + id + "」の氏名「" + expected + "」が画像の氏名「" + e.patientName +
                         "」と一致しません（別の患児の可能性）");
                    continue;
                }
            } else if (e.patientName.empty()) {
                hold("新しい患者IDですが、画像に氏名 (0010,0010) がありません");
                continue;
            }
            // Thickness and field, as every way in resolves an image.
            const ImageConditions resolved = resolveImageConditions(x, conditionSources(&lastThickness));
            if (!resolved.thicknessCm.has()) {
                hold(resolved.lackingForDose().back());
                continue;
            }
            e.thicknessCm = resolved.thicknessCm.text;
            e.thicknessSource = resolved.thicknessCm.source;
            e.fieldName = resolved.fieldSizeName;
            e.fieldSource = resolved.fieldLongCm.source;
            e.fieldCm = resolved.fieldLongCm.text + "x" + resolved.fieldShortCm.text;
            // Technologist and X-ray unit.
            e.technologist = c.identity.operatorsName.value.value_or("");
            e.technologistSource = c.identity.operatorsName.has() ? c.identity.operatorsName.source : "なし";
            if (c.identity.stationName.has()) {
                e.xrayUnit = *c.identity.stationName.value;
                e.xrayUnitSource = c.identity.stationName.source;
            } else if (c.identity.modelName.has()) {
                e.xrayUnit = *c.identity.modelName.value;
                e.xrayUnitSource = c.identity.modelName.source;
            } else {
                e.xrayUnit = st.engine->xrayUnitName;
                e.xrayUnitSource = refdata::kBasicDataFileName;
            }
            // The calculation, as the screen's calculation and caregiver commands run it.
            const engine::ConditionTexts conditions = resolved.texts();
            st.engine->exposureSource = 2;
            engine::ResultTexts results;
            // No spectrum listing: the screens' Beam_data.dat stays theirs, and nothing is written per image.
            Status run = engine::runCalculationWithoutListing(*st.engine, conditions, results);
            if (run.ok())
                run = engine::computeCaregiverDose(*st.engine, results);
            if (!run.ok()) {
                hold("計算できません: " + run.message());
                continue;
            }
            c.texts = records::recordTextsOfRun(
                *st.engine, results, {e.examDate, e.technologist, e.bodyPart, e.fieldName, e.xrayUnit});
            c.dose = doseReportValues(*st.engine);
            e.doseMGy = c.texts.entranceSurfaceDoseMGy;
            const std::string name = known ? storedName : (newFileName.empty() ? e.patientName : newFileName);
            if (auto bad = records::checkRecordTexts(name, c.texts); !bad.ok()) {
                hold(bad.message());
                continue;
            }
            // One exposure, one record: a record saved by hand (no image names it) of the same exposure
            // is asked about on the screen, as Data Save asks; an image's own record is known by its UID.
            if (const auto asStored = records::recordAsStored(c.texts)) {
                const auto& storedRecords = stored->history.records;
                int same = 0;
                for (size_t n = 0; n < storedRecords.size() && !same; ++n)
                    if (!st.log.isImageRecord(id, static_cast<int>(n) + 1) && !withdrawn->find(static_cast<int>(n) + 1) &&
                        records::sameExposure(storedRecords[n], *asStored))
                        same = static_cast<int>(n) + 1;
                if (same) {
                    hold("同じ撮影の記録が手入力で保存されています（記録 " + std::to_string(same) + "：" +
                         storedRecords[static_cast<size_t>(same) - 1].examDate + "）。別の撮影であれば"
                         "「条件入力画面で開く」から保存してください");
                    continue;
                }
            }
            // Record files are Shift-JIS: a text it cannot hold (a name in a character beyond it)
            // holds this image only, never the other records of the pass.
            std::string unwritable;
            const auto lines = c.texts.inLineOrder();
            for (int i = -1; i < records::kRecordLines && unwritable.empty(); ++i) {
                auto sjis = textio::utf8ToSjis(i < 0 ? name : lines[static_cast<size_t>(i)]);
                if (!sjis.ok())
                    unwritable = "「" + (i < 0 ? std::string("氏名") : records::recordFieldCaption(i)) +
                                 "」を記録ファイルに書けません（" + sjis.error().message + "）";
            }
            if (!unwritable.empty()) {
                hold(unwritable);
                continue;
            }
            if (!known && newFileName.empty())
                newFileName = name;
            lastThickness[e.bodyPart].set(e.thicknessCm, "この画像と同時に届いた同じ撮影部位の画像の被写体厚");
            texts.push_back(c.texts);
            work.recorded.push_back(&c);
            if (!e.irradiationEventUid.empty())
                eventsRecorded.insert(e.irradiationEventUid);
        }
        if (texts.empty())
            continue;
        auto plan =
            records::planRecordAppend(workFolder_, id, known ? storedName : newFileName, *stored, texts);
        if (!plan.ok()) {
            for (Candidate* c : work.recorded) {
                c->entry.outcome = Outcome::Held;
                c->entry.reason = "記録の形式で保存できません: " + plan.error().message;
                outcomes.push_back(c->entry);
            }
            continue;
        }
        work.plan = std::move(*plan);
        for (size_t k = 0; k < work.recorded.size(); ++k) {
            ImageEntry& e = work.recorded[k]->entry;
            e.outcome = Outcome::Recorded;
            e.recordNumber = work.plan.places[k].recordNumber;
        }
        infants.push_back(std::move(work));
    }

    // The journal, then the record files ----------------------------------------------------------------
    std::string journalText;
    for (const InfantWork& work : infants)
        for (const Candidate* c : work.recorded)
            journalText += journalLine({c->entry, c->texts, c->dose});
    const bool anyRecord = !journalText.empty();
    auto interrupted = [this](const char* step) {
        return options_.interruptForTesting && options_.interruptForTesting(step);
    };
    const Error interruption{"interrupted for a test"};
    if (anyRecord) {
        if (auto e = platform::appendDurably(journal, journalText); !e.ok())
            return Error{"記録の準備ができません: " + e.message()};
        if (interrupted("journal"))
            return interruption;
    }
    // Every infant's files with one wait for the disk.
    bool keepJournal = false;
    // Images that cannot be recorded now stay in the inbox; why is said once, not at every pass.
    auto defer = [&](InfantWork& work, const std::string& why) {
        bool news = false;
        for (const Candidate* c : work.recorded) {
            std::string& before = st.deferred[c->inboxName];
            news |= before != why;
            before = why;
        }
        if (news)
            say("ID " + work.id + ": " + std::to_string(work.recorded.size()) + " image(s) wait: " + why);
        work.recorded.clear();
    };
    std::vector<InfantWork*> writable;
    std::vector<const records::RecordAppendPlan*> plans;
    for (InfantWork& work : infants) {
        if (work.lock->stillHeld()) {
            writable.push_back(&work);
            plans.push_back(&work.plan);
        } else {
            defer(work, "患者ファイル「" + records::recordFileName(work.id, 1) + "」は他で保存中です");
        }
    }
    if (!records::writeRecordAppends(plans).ok()) {
        // One infant's files (read-only, in use) must not hold back the others: each on its own. The
        // records that reached the disk before a failure are found through the journal by the next
        // pass; the others are processed again.
        keepJournal = true;
        for (InfantWork* work : writable)
            if (const Status written = records::writeRecordAppends({&work->plan}); !written.ok())
                defer(*work, written.message());
    }
    for (InfantWork& work : infants) {
        work.lock->release();
        for (const Candidate* c : work.recorded)
            outcomes.push_back(c->entry);
    }

    if (anyRecord && interrupted("records"))
        return interruption;

    // The log, then the files ---------------------------------------------------------------------------
    std::sort(outcomes.begin(), outcomes.end(),
              [](const ImageEntry& a, const ImageEntry& b) { return a.file < b.file; });
    std::map<std::string, std::optional<ExposureDose>> doses; // inbox name -> the run's values
    for (const InfantWork& work : infants)
        for (const Candidate* c : work.recorded)
            doses[c->inboxName] = c->dose;
    std::map<std::string, std::string> formerlyHeld; // UID -> its held header, before this pass
    for (const ImageEntry& e : outcomes)
        if (const ImageEntry* before = st.log.latest(e.sopInstanceUid);
            before && before->outcome == Outcome::Held)
            formerlyHeld[e.sopInstanceUid] = before->file;
    if (auto e = st.log.append(outcomes); !e.ok())
        return e.error();
    if (interrupted("log"))
        return interruption;
    for (const ImageEntry& e : outcomes) {
        say(logLine(e));
        st.deferred.erase(e.file);
        const fs::path inboxFile = inbox / fs::u8path(e.file);
        std::error_code removeError;
        if (auto it = formerlyHeld.find(e.sopInstanceUid);
            it != formerlyHeld.end() && (e.outcome != Outcome::Held || it->second != e.file))
            fs::remove(node / "held" / fs::u8path(it->second), removeError);
        logged.push_back(e);
        if (e.outcome == Outcome::Recorded && hook_) {
            if (const Status done = hook_({e, inboxFile, doses[e.file]}); !done.ok()) {
                // The journal keeps the entry and the inbox the header: the next pass calls again.
                say("image " + e.sopInstanceUid + ": " + done.message() + " (tried again at the next pass)");
                keepJournal = true;
                continue;
            }
            if (interrupted("hook"))
                return interruption;
        }
        if (e.outcome == Outcome::Held) {
            // The held image keeps its header for the report, beside the held list.
            if (auto moved = platform::renameFile(inboxFile, heldHeaderFile(workFolder_, e)); !moved.ok())
                say("held image " + e.sopInstanceUid + ": " + moved.message());
        } else {
            fs::remove(inboxFile, removeError);
        }
    }
    if (!keepJournal && anyRecord) {
        std::error_code emptied;
        fs::resize_file(journal, 0, emptied);
    }
    return logged;
}

Expected<ImageEntry> ImageProcessor::processImageFile(const fs::path& file) {
    std::string uid;
    auto name = admitFile(file, &uid);
    if (!name.ok())
        return name.error();
    for (int round = 0; round < 1000; ++round) {
        auto pass = processWaiting();
        if (!pass.ok())
            return pass.error();
        for (const ImageEntry& e : *pass)
            if (e.file == *name)
                return e;
        std::error_code ec;
        if (!fs::exists(nodeFolder(workFolder_) / "inbox" / fs::u8path(*name), ec)) {
            // Another program's pass took it: its entry is the one logged for this inbox file (the
            // latest entry of the UID would be the record of an earlier image, where this one is a
            // duplicate).
            auto entries = readImageLogEntries(workFolder_, 0);
            if (!entries.ok())
                return entries.error();
            for (auto it = entries->rbegin(); it != entries->rend(); ++it)
                if (it->file == *name)
                    return *it;
            return Error{"画像 " + uid + " の処理結果が見つかりません。"};
        }
        if (auto it = state_->deferred.find(*name); it != state_->deferred.end())
            return Error{"画像 " + uid + " はまだ記録できません: " + it->second};
    }
    return Error{"画像 " + uid + " を処理できません。"};
}

} // namespace tamso::node
