#include "tools/calc/dicombatch.h"

#include "dicom/bodypartmap.h"
#include "dicom/imageexposure.h"
#include "engine/calculation.h"
#include "engine/organdose.h"
#include "textio/numberformat.h"
#include "textio/quantitytext.h"
#include "node/imageconditions.h"
#include "textio/csv.h"
#include "textio/fileio.h"
#include "textio/numbertext.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <ostream>

namespace tamso::calc {

namespace fs = std::filesystem;

namespace {

std::string dateText(const dicom::CalendarDate& d) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
    return text;
}

std::vector<std::string> cells(const DicomBatchRow& r) {
    return {r.file,    r.status,      r.patientId, r.date,        r.kv,
            r.mAs,     r.ffdCm,       r.bodyPart,  r.thicknessCm, r.thicknessSource,
            r.fieldCm, r.fieldSource, r.doseMGy,   r.missing,     r.reason,
            r.weightKg, r.weightSource, r.effectiveDoseUSv, r.effectiveDoseUUSv};
}

// A cell of a tab-separated line: tabs and line breaks become blanks.
std::string lineCell(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, ' ');
    return text;
}

std::string label(const fs::path& path) {
    return path.generic_u8string();
}

} // namespace

const std::vector<std::string>& dicomBatchColumns() {
    static const std::vector<std::string> columns = {"file",
                                                     "status",
                                                     "patient_id",
                                                     "date",
                                                     "kv",
                                                     "mas",
                                                     "ffd_cm",
                                                     "body_part",
                                                     "thickness_cm",
                                                     "thickness_source",
                                                     "field_cm",
                                                     "field_source",
                                                     "entrance_surface_dose_mgy",
                                                     "missing",
                                                     "reason",
                                                     "weight_kg",
                                                     "weight_source",
                                                     "effective_dose_usv",
                                                     "effective_dose_u_usv"};
    return columns;
}

namespace {

// Every entry under the folder: the regular files, and each other entry with why it is left out.
// Links are never followed into folders (no loops, nothing outside the folder by a link's way).
std::vector<DicomBatchEntry> folderEntries(const fs::path& root) {
    std::vector<DicomBatchEntry> entries;
    // Lexically: fs::relative would resolve links and label a linked file by its target.
    auto relativeLabel = [&](const fs::path& p) { return label(p.lexically_relative(root)); };
    auto leftOut = [&](const fs::path& p, const char* status, const std::string& reason) {
        entries.push_back({p, relativeLabel(p), status, reason, std::nullopt});
    };
    std::vector<fs::path> folders{root};
    while (!folders.empty()) {
        const fs::path folder = folders.back();
        folders.pop_back();
        std::error_code ec;
        fs::directory_iterator it(folder, ec);
        for (const fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
            const fs::path p = it->path();
            const std::string name = textio::fileNameUtf8(p);
            std::error_code typeError;
            const fs::file_status own = it->symlink_status(typeError);
            if (fs::is_symlink(own)) {
                const fs::file_status target = fs::status(p, typeError);
                if (typeError || !fs::exists(target))
                    leftOut(p, "failed", name + " のリンク先がありません。");
                else if (fs::is_directory(target))
                    leftOut(p, "skipped", name + " はフォルダへのリンクのため、たどりません。");
                else if (fs::is_regular_file(target))
                    entries.push_back({p, relativeLabel(p), "", "", std::nullopt});
                else
                    leftOut(p, "skipped",
                            name + " は" + textio::fileTypeText(target.type()) +
                                "へのリンクのため読みません。");
            } else if (fs::is_directory(own)) {
                folders.push_back(p);
            } else if (fs::is_regular_file(own)) {
                entries.push_back({p, relativeLabel(p), "", "", std::nullopt});
            } else {
                leftOut(p, "skipped", name + " は" + textio::fileTypeText(own.type()) + "のため読みません。");
            }
        }
        if (ec)
            leftOut(folder, "failed",
                    "フォルダ " + (folder == root ? label(folder) : relativeLabel(folder)) +
                        " を読めません（" + ec.message() + "）。");
    }
    std::sort(entries.begin(), entries.end(), [](const DicomBatchEntry& a, const DicomBatchEntry& b) {
        return a.path.generic_u8string() < b.path.generic_u8string();
    });
    return entries;
}

} // namespace

Expected<std::vector<DicomBatchEntry>> dicomBatchFiles(const fs::path& path) {
    std::error_code ec;
    if (fs::is_directory(path, ec))
        return folderEntries(path);
    if (!fs::exists(fs::symlink_status(path, ec)))
        return Error::text("no such file or folder: " + label(path));
    dicom::HeaderReading reading = dicom::readHeader(path);
    std::vector<DicomBatchEntry> entries;
    if (reading.kind != dicom::FileKind::DicomDir) {
        entries.push_back({path, label(path), "", "", std::move(reading)});
        return entries;
    }
    const fs::path folder = path.parent_path();
    for (const dicom::DicomDirEntry& record : reading.dicomDirEntries) {
        if (record.problem.empty())
            entries.push_back(
                {record.path, label(record.path.lexically_relative(folder)), "", "", std::nullopt});
        else
            entries.push_back(
                {folder / fs::u8path(record.fileId), record.fileId, "failed", record.problem, std::nullopt});
    }
    return entries;
}

namespace {

// The image's conditions as every way in resolves them; an option serves where the image has no
// value of its own, before the infant's records and the site's defaults.
node::ImageConditions resolveWithOptions(const dicom::ImageExposure& image, const DicomBatchOptions& options,
                                         const node::FolderSources& folder) {
    node::ConditionSources sources = folder.forImage(image, options.conditions.texts);
    if (options.thicknessGiven && !image.bodyPartThicknessCm.has()) {
        sources.infantThickness = nullptr;
        sources.thicknessDefaults = nullptr;
    }
    node::ImageConditions resolved = node::resolveImageConditions(image, sources);
    const engine::ConditionTexts& given = options.conditions.texts;
    if (options.thicknessGiven && !image.bodyPartThicknessCm.has())
        resolved.thicknessCm.set(given.subjectThicknessCm, "option --thickness");
    if (options.ffdGiven && !resolved.ffdCm.has())
        resolved.ffdCm.set(given.ffdCm, "option --ffd");
    if (options.fieldGiven && !image.fieldSize.has()) {
        resolved.fieldLongCm.set(given.fieldLongCm, "option --field");
        resolved.fieldShortCm.set(given.fieldShortCm, "option --field");
    }
    return resolved;
}

// Adds one item to a "; "-separated list.
void appendItem(std::string& list, const std::string& item) {
    list += (list.empty() ? "" : "; ") + item;
}

// The row's conditions with their sources, and in "missing" each value the image lacks and why.
// Returns the names of the values without which no dose can be computed.
std::vector<std::string> describeConditions(DicomBatchRow& row, const dicom::ImageExposure& image,
                                            const node::ImageConditions& resolved,
                                            const DicomBatchOptions& options) {
    auto note = [&](const char* name, const std::string& problem) {
        appendItem(row.missing, std::string(name) + ": " + problem);
    };
    std::vector<std::string> lacking;
    const std::pair<const char*, const node::ResolvedValue*> needed[] = {
        {"kv", &resolved.tubeVoltageKv}, {"mas", &resolved.mAs}, {"ffd_cm", &resolved.ffdCm},
        {"thickness_cm", &resolved.thicknessCm}};
    for (const auto& [name, value] : needed)
        if (!value->has()) {
            note(name, value->problem);
            lacking.push_back(name);
        }
    if (options.ffdGiven && !image.ffdCm.has())
        note("ffd_cm", image.ffdCm.problem + "（--ffd " + resolved.ffdCm.text + " を使用）");
    if (image.examDate.has())
        row.date = dateText(*image.examDate.value);
    else
        note("date", image.examDate.problem);
    row.patientId = resolved.patientId.text;
    if (!resolved.patientId.has())
        note("patient_id", resolved.patientId.problem);
    row.bodyPart = resolved.bodyPart.text;
    if (!resolved.bodyPart.has())
        note("body_part", resolved.bodyPart.problem);

    row.thicknessSource = resolved.thicknessCm.source;
    if (image.fieldSize.has()) {
        row.fieldSource = "collimator";
    } else {
        row.fieldSource = options.fieldGiven ? "option" : "default";
        note("field_cm", image.fieldSize.problem + "（" + (options.fieldGiven ? "--field " : "既定の ") +
                             resolved.fieldLongCm.text + "x" + resolved.fieldShortCm.text + " を使用）");
    }
    row.kv = resolved.tubeVoltageKv.text;
    row.mAs = resolved.mAs.text;
    row.ffdCm = resolved.ffdCm.text;
    row.thicknessCm = resolved.thicknessCm.text;
    row.fieldCm = resolved.fieldLongCm.text + "x" + resolved.fieldShortCm.text;
    return lacking;
}

// The effective dose where the working folder has the organ-dose table and the body part names
// a region; otherwise the reason stands in "missing" and the dose is still computed.
void addEffectiveDose(DicomBatchRow& row, engine::CalculationState& state, const node::ImageConditions& resolved,
                      const Expected<refdata::OrganDoseData>* organs) {
    if (organs && organs->ok() && resolved.bodyPart.has()) {
        auto e = node::imageOrganDoses((*organs)->table, state, resolved);
        if (e.ok()) {
            row.effectiveDoseUSv = textio::formatNumber(e->effectiveDoseUSv, "#0.000");
            row.effectiveDoseUUSv = textio::expandedUncertaintyText(e->effectiveDoseUUSv);
        } else {
            appendItem(row.missing, std::string("effective_dose_usv: ") + e.error().message());
        }
    } else if (organs && !organs->ok()) {
        appendItem(row.missing, std::string("effective_dose_usv: ") + organs->error().message());
    }
}

} // namespace

DicomBatchRow computeDicomFile(engine::CalculationState& state, const DicomBatchEntry& entry,
                               const DicomBatchOptions& options, const node::FolderSources& folder,
                               const Expected<refdata::OrganDoseData>* organs) {
    DicomBatchRow row;
    row.file = entry.label;
    if (!entry.status.empty()) {
        row.status = entry.status;
        row.reason = entry.reason;
        return row;
    }
    std::optional<dicom::HeaderReading> readHere;
    const dicom::HeaderReading& reading =
        entry.reading ? *entry.reading : readHere.emplace(dicom::readHeader(entry.path));
    if (reading.kind != dicom::FileKind::Radiograph) {
        row.status = reading.kind == dicom::FileKind::Unreadable ? "failed" : "skipped";
        row.reason = reading.message;
        return row;
    }
    const dicom::ImageExposure& image = reading.exposure;
    const node::ImageConditions resolved = resolveWithOptions(image, options, folder);
    const std::vector<std::string> lacking = describeConditions(row, image, resolved, options);
    if (!lacking.empty()) {
        row.status = "failed";
        std::string names;
        for (const std::string& name : lacking)
            names += (names.empty() ? "" : ", ") + name;
        row.reason = "計算に必要な値が画像にありません: " + names;
        return row;
    }
    Exposure exposure = options.conditions;
    exposure.texts = resolved.texts();
    // The dose as the calculation command computes it, from the tube output data.
    state.exposureSource = 2;
    engine::ResultTexts results;
    if (const Status run = engine::runCalculation(state, exposure.texts, results); !run.ok()) {
        row.status = "failed";
        row.reason = run.message();
        return row;
    }
    row.status = "ok";
    row.doseMGy = results.resultText(engine::ResultField::EntranceSurfaceDoseMGy);
    row.weightKg = resolved.weightKg.text;
    row.weightSource = resolved.weightKg.source;
    addEffectiveDose(row, state, resolved, organs);
    return row;
}

Expected<std::vector<DicomBatchRow>> runDicomBatch(engine::CalculationState& state, const fs::path& path,
                                                   const DicomBatchOptions& options,
                                                   const fs::path& workFolder, std::ostream& out) {
    auto files = dicomBatchFiles(path);
    if (!files.ok())
        return files.error();
    const node::FolderSources folder(workFolder);
    // The organ-dose table where the working folder has one (an older folder has none).
    std::optional<Expected<refdata::OrganDoseData>> organs;
    if (fs::exists(textio::fileInFolder(workFolder, refdata::kOrganDoseFileName)))
        organs = refdata::loadOrganDoseData(workFolder);
    std::vector<DicomBatchRow> rows;
    rows.reserve(files->size());
    const auto& columns = dicomBatchColumns();
    for (size_t c = 0; c < columns.size(); ++c)
        out << (c ? "\t" : "") << columns[c];
    out << '\n';
    for (const DicomBatchEntry& entry : *files) {
        try {
            rows.push_back(computeDicomFile(state, entry, options, folder, organs ? &*organs : nullptr));
        } catch (const std::exception& e) { // this file only; the batch goes on
            DicomBatchRow failed;
            failed.file = entry.label;
            failed.status = "failed";
            failed.reason = e.what();
            rows.push_back(failed);
        }
        const std::vector<std::string> values = cells(rows.back());
        for (size_t c = 0; c < values.size(); ++c)
            out << (c ? "\t" : "") << lineCell(values[c]);
        out << '\n';
    }
    return rows;
}

Status writeDicomBatchCsv(const fs::path& csvFile, const std::vector<DicomBatchRow>& rows) {
    std::string text = "\xEF\xBB\xBF";
    auto line = [&](const std::vector<std::string>& values) {
        for (size_t c = 0; c < values.size(); ++c)
            text += (c ? "," : "") + textio::csvCell(values[c]);
        text += "\r\n";
    };
    line(dicomBatchColumns());
    for (const DicomBatchRow& row : rows)
        line(cells(row));
    return textio::writeExportFile(csvFile, text);
}

int runDicomCalculator(engine::CalculationState& state, const std::string& dicomPath,
                       const std::string& csvOut,
                       const std::vector<std::pair<std::string, std::string>>& conditionOptions,
                       const fs::path& workFolder, std::ostream& out, std::ostream& err) {
    DicomBatchOptions options;
    options.conditions = defaultExposure(state);
    for (const auto& [name, value] : conditionOptions) {
        if (name == "kv" || name == "mas" || name == "measured-ckg") {
            err << "tamso-calc: --" << name
                << " cannot be used with --dicom: each image gives its own exposure\n";
            return kExitError;
        }
        if (auto e = setCondition(options.conditions, name, value); !e.ok()) {
            err << "tamso-calc: " << e.message() << '\n';
            return kExitError;
        }
        options.thicknessGiven |= name == "thickness";
        options.fieldGiven |= name == "field";
        options.ffdGiven |= name == "ffd";
    }
    // A target that may not be written stops the batch before any image is read.
    if (!csvOut.empty()) {
        if (auto refused = textio::checkExportTarget(fs::u8path(csvOut)); !refused.ok()) {
            err << "tamso-calc: " << refused.message() << '\n';
            return kExitError;
        }
    }
    auto rows = runDicomBatch(state, fs::u8path(dicomPath), options, workFolder, out);
    if (!rows.ok()) {
        err << "tamso-calc: " << rows.error().message() << '\n';
        return kExitError;
    }
    if (!csvOut.empty()) {
        if (auto written = writeDicomBatchCsv(fs::u8path(csvOut), *rows); !written.ok()) {
            err << "tamso-calc: " << written.message() << '\n';
            return kExitError;
        }
    }
    const auto failed = std::count_if(rows->begin(), rows->end(),
                                      [](const DicomBatchRow& r) { return r.status == "failed"; });
    if (failed > 0) {
        err << "tamso-calc: " << failed << " of " << rows->size()
            << " file(s) could not be computed (see the status and reason columns)\n";
        return kExitError;
    }
    return kExitOk;
}

} // namespace tamso::calc
