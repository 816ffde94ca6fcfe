#include "tools/calc/calccli.h"
#include "tools/calc/organcli.h"

#include "tools/calc/auditcli.h"
#ifndef TAMSO_WITHOUT_DICOM
#include "tools/calc/dicombatch.h"
#include "tools/calc/pullcli.h"
#endif

#include "refdata/referenceloader.h"
#include "textio/csv.h"
#include "textio/fileio.h"
#include "textio/numberformat.h"
#include "textio/numbertext.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <memory>
#include <ostream>

namespace tamso::calc {

namespace {

const char* const kHelp =
    R"(tamso-calc - entrance surface dose of one radiograph, as the exposure-condition screen computes it

Usage:
  tamso-calc [--workdir DIR] [conditions]       one exposure, one "key value" line per result
  tamso-calc [--workdir DIR] --csv IN.csv       one exposure per CSV row, results as CSV
  tamso-calc --audit [--workdir DIR] [--from DATE] [--to DATE] [--csv-out FILE]
                                                the facility audit against the reference levels
                                                (tamso-calc --audit --help)
  tamso-calc [--workdir DIR] --dicom PATH [--csv-out OUT.csv] [conditions]
                                                the dose of every radiograph in DICOM files
  tamso-calc --history ID [--workdir DIR] [--csv-out FILE]
                                                the dose history of an infant
  tamso-calc --workdir DIR --pull AET@HOST:PORT --aet OURAET [--from DATE --to DATE] [--patient ID]
                                                back-fills the records from the PACS
                                                (tamso-calc --pull --help)
  tamso-calc --help

The working folder (default: the current folder) must hold the reference files 基礎データ.dat,
mono_dBSF.dat, Atten2.dat, tamso_output.op, s_p_ratio.dat and kaijo_dose.dat. The calculation of
one exposure writes the spectrum listing Beam_data.dat into it, as the program does; the CSV and
DICOM batches write none. tamso-calc creates and fills no working folder: the installed program
fills ~/tamso-data from the shipped files on its first start (they lie in
<prefix>/share/tamso/data, /usr/share/tamso/data for the package).

Conditions (defaults are those of the exposure-condition screen):
  --kv V              tube voltage, kV (50)
  --mas Q             tube current x time, mAs (5)
  --ffd D             focus-image receptor distance, cm (100)
  --thickness T       thickness of the infant, cm (10)
  --focus-hood D      focus-hood/cover distance, cm (60)
  --field LxW         field size at the image receptor, cm (25.4x20.3)
  --angle A           target angle, degree (from the basic data)
  --inherent-al X     inherent filtration, mm Al (from the basic data)
  --added-al X        added aluminium, mm (0)
  --added-cu X        added copper, mm (0)
  --measured-ckg X    use a measured exposure at 1 m, C/kg, for the whole exposure instead of the
                      tube output data; it is used as the screen shows it (three figures)
  --body-part NAME    body part, a line of 撮影部位.txt: adds the organ doses and effective dose
  --weight-kg W       the infant's weight, kg (0.3-6; without it the site's default weight of
                      体重既定値.txt, and weight_assumed says so)
Options may also be written --name=value.

Results, with the value exactly as the screen shows it:
  hvl1_mm_al, quarter_value_mm_al, effective_energy_kev, quality_index, exposure_at_1m_ckg,
  exposure_with_scatter_ckg, dose_conversion_factor, backscatter_factor,
  entrance_surface_dose_mgy, entrance_surface_dose_u_mgy (its expanded uncertainty, k = 2, in
  mGy, with two significant figures), caregiver_usv_1, caregiver_usv_2, caregiver_usv_3
With --body-part also: body_part, weight_kg, weight_assumed (no, or yes with the file it came
  from), effective_dose_usv (ICRP 103, μSv), effective_dose_u_usv (its expanded uncertainty, k = 2)
  and organ_dose_ugy_<organ> per organ (μGy), from the organ-dose table 臓器線量.dat.

CSV batch: the first row names the columns like the options without dashes (kv, mas, ffd,
thickness, focus-hood, field, angle, inherent-al, added-al, added-cu, measured-ckg, body-part,
weight-kg; with body-part the organ keys follow the results); missing
columns and empty cells take the defaults (or the options given on the command line). The output
has a header row, then per input row: row (its number among the data rows), the result keys and
error (the message when that exposure could not be computed; its results are then empty).

DICOM batch: PATH is a DICOM file, a DICOMDIR (its images) or a folder (every file beneath it).
Only the header of each file is read. kV, mAs, focus-detector distance, date, patient ID and body
part come from the image (the body part through DICOM撮影部位.txt of the working folder); --kv,
--mas and --measured-ckg are refused. Thickness and field size come from --thickness and --field
or the defaults, the field from a rectangular collimator where the image has one (its edges and
Imager Pixel Spacing); --ffd serves images without a distance. Output: a header line, then one
tab-separated line per file with the columns
  file, status, patient_id, date, kv, mas, ffd_cm, body_part, thickness_cm, thickness_source,
  field_cm, field_source, entrance_surface_dose_mgy, missing, reason
status: ok (computed), skipped (no radiograph: another modality, a DICOMDIR, no DICOM file),
failed (a radiograph that could not be read or computed; reason says why). missing lists each
value the image lacks and why; sources are option, default or collimator. --csv-out FILE writes
the same rows as CSV (UTF-8 with byte-order mark, CR LF).

Dose history: --history ID reads every record file of the patient ID in the working folder (ID.pat
and its continuation files ID.~2.pat, ID.~3.pat, ... of 20 records each) and prints each exposure
(number, date, body part, kV, mAs, FFD, field, entrance surface dose, cumulative dose, caregiver
doses) with the number of exposures and the cumulative entrance surface dose. A dose that is not a
number (such as 未計算) or is negative is shown as stored, counts as 0 in the sum and is flagged.
A record withdrawn in ID.pat.withdrawn stays in its place with 取消 for its number, no cumulative
dose and the withdrawal (time, who, reason) as its note, and counts nowhere; a withdrawal that
cannot be applied is reported on standard error. --csv-out FILE also writes the history as CSV (UTF-8 with a byte-order mark, for spreadsheets). No
reference file is needed.

--csv-out writes only a regular file or a new name: a folder, pipe, device, a link that leads
nowhere, an empty name, the working folder's own files by name (Atten2.dat, *.pat, tamso-node.conf,
anything in tamso-node/, ...; as Windows reads names: A001.pat. is A001.pat) and what the command
reads (the --dicom file or folder) are refused before anything is read. CSV cells that a spreadsheet would run as a formula (=, +, -, @ first) get a
leading apostrophe; plain numbers stay as they are.

Exit status: 0 when every exposure was computed; 2 on an error (message on standard error),
including a batch in which any row or radiograph failed, and for --history an ID without a
readable record file.
)";

// What a DICOM batch of the path reads: the folder with everything in it, or the file, and for a
// DICOMDIR (so named on every medium) the folder of the files it lists.
std::vector<std::filesystem::path> dicomBatchInputs(const std::filesystem::path& path) {
    std::vector<std::filesystem::path> inputs = {path};
    if (textio::comparableFileName(textio::fileNameUtf8(path)) == "dicomdir")
        inputs.push_back(path.has_parent_path() ? path.parent_path() : std::filesystem::path("."));
    return inputs;
}

const std::vector<std::string> kConditionNames = {"kv",         "mas",      "ffd",         "thickness",
                                                  "focus-hood", "field",    "angle",       "inherent-al",
                                                  "added-al",   "added-cu", "measured-ckg", "body-part",
                                                  "weight-kg"};

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// One CSV line split into cells (textio/csv.h), each without the blanks at its ends.
std::vector<std::string> splitCsv(const std::string& line) {
    std::vector<std::string> cells = textio::csvLineCells(line);
    for (std::string& cell : cells)
        cell = trim(cell);
    return cells;
}

Status checkNumber(const std::string& name, const std::string& value) {
    const textio::NumberReading reading = textio::readWholeNumber(value);
    if (reading.status == textio::NumberStatus::OutOfRange)
        return Error::text("--" + name + ": number out of range: " + textio::quotedFieldText(value));
    if (!reading.ok())
        return Error::text("--" + name + ": not a number: " + value);
    return {};
}

} // namespace

const std::vector<std::pair<std::string, engine::ResultField>>& resultKeys() {
    static const std::vector<std::pair<std::string, engine::ResultField>> keys = {
        {"hvl1_mm_al", engine::ResultField::Hvl1MmAl},
        {"quarter_value_mm_al", engine::ResultField::QuarterValueLayerMmAl},
        {"effective_energy_kev", engine::ResultField::EffectiveEnergyKev},
        {"quality_index", engine::ResultField::QualityIndex},
        {"exposure_at_1m_ckg", engine::ResultField::ExposureAt1mCkg},
        {"exposure_with_scatter_ckg", engine::ResultField::ExposureWithScatterCkg},
        {"dose_conversion_factor", engine::ResultField::DoseConversionFactor},
        {"backscatter_factor", engine::ResultField::BackscatterFactor},
        {"entrance_surface_dose_mgy", engine::ResultField::EntranceSurfaceDoseMGy},
        {"entrance_surface_dose_u_mgy", engine::ResultField::EntranceSurfaceDoseUncertaintyMGy},
        {"caregiver_usv_1", engine::ResultField::CaregiverDose1USv},
        {"caregiver_usv_2", engine::ResultField::CaregiverDose2USv},
        {"caregiver_usv_3", engine::ResultField::CaregiverDose3USv},
    };
    return keys;
}

Exposure defaultExposure(const engine::CalculationState& state) {
    Exposure exposure;
    exposure.texts = engine::defaultConditions(state);
    return exposure;
}

Status setCondition(Exposure& exposure, const std::string& name, const std::string& rawValue) {
    const std::string value = trim(rawValue);
    if (value.empty())
        return {};
    engine::ConditionTexts& t = exposure.texts;
    if (name == "body-part") {
        exposure.bodyPart = value;
        return {};
    }
    if (name == "weight-kg") {
        if (auto e = checkNumber(name, value); !e.ok())
            return e;
        exposure.weightKg = value;
        return {};
    }
    if (name == "field") {
        const auto x = value.find_first_of("xX*");
        if (x == std::string::npos)
            return Error::text("--field: expected LONGxSHORT in cm, e.g. 25.4x20.3: " + value);
        const std::string longSide = trim(value.substr(0, x));
        const std::string shortSide = trim(value.substr(x + 1));
        if (auto e = checkNumber(name, longSide); !e.ok())
            return e;
        if (auto e = checkNumber(name, shortSide); !e.ok())
            return e;
        t.fieldLongCm = longSide;
        t.fieldShortCm = shortSide;
        return {};
    }
    if (auto e = checkNumber(name, value); !e.ok())
        return e;
    if (name == "measured-ckg") {
        const double measured = *textio::parseNumber(value);
        if (!(measured > 0))
            return Error::text("--measured-ckg: the measured exposure must be above 0 C/kg: " + value);
        exposure.measuredCkg = measured;
        return {};
    }
    static const std::map<std::string, std::string engine::ConditionTexts::*> fields = {
        {"kv", &engine::ConditionTexts::tubeVoltageKv},
        {"mas", &engine::ConditionTexts::mAs},
        {"ffd", &engine::ConditionTexts::ffdCm},
        {"thickness", &engine::ConditionTexts::subjectThicknessCm},
        {"focus-hood", &engine::ConditionTexts::focusHoodDistanceCm},
        {"angle", &engine::ConditionTexts::targetAngleDeg},
        {"inherent-al", &engine::ConditionTexts::inherentFilterAlMm},
        {"added-al", &engine::ConditionTexts::addedFilterAlMm},
        {"added-cu", &engine::ConditionTexts::addedFilterCuMm},
    };
    const auto it = fields.find(name);
    if (it == fields.end())
        return Error::text("unknown condition: " + name);
    t.*(it->second) = value;
    return {};
}

Expected<std::vector<std::string>>
calculateExposure(engine::CalculationState& state, const Exposure& exposure, const engine::RunOptions& run) {
    engine::ResultTexts results;
    if (exposure.measuredCkg) {
        state.exposureSource = 1;
        results.setResultText(engine::ResultField::MeasuredExposureCkg,
                              textio::formatNumber(*exposure.measuredCkg, "0.00E+0"));
    } else {
        state.exposureSource = 2;
    }
    Status status = engine::runCalculation(state, exposure.texts, results, run);
    // As after every run on the screen, the next exposure uses the tube output data again.
    state.exposureSource = 2;
    if (!status.ok())
        return status.error();
    if (auto e = engine::computeCaregiverDose(state, results); !e.ok())
        return e.error();
    std::vector<std::string> values;
    values.reserve(resultKeys().size());
    for (const auto& [key, field] : resultKeys())
        values.push_back(results.resultText(field));
    return values;
}

Expected<int> runBatch(engine::CalculationState& state, const std::string& csvText, const Exposure& defaults,
                       const std::filesystem::path& workFolder, std::ostream& out) {
    std::vector<std::string> lines = textio::splitLines(csvText);
    if (!lines.empty() && lines[0].rfind("\xEF\xBB\xBF", 0) == 0) // a byte-order mark
        lines[0].erase(0, 3);
    auto isBlank = [](const std::string& line) { return trim(line).empty(); };
    size_t first = 0;
    while (first < lines.size() && isBlank(lines[first]))
        ++first;
    if (first == lines.size())
        return Error::text("the CSV file has no header row");
    std::vector<std::string> columns = splitCsv(lines[first]);
    for (auto& column : columns) {
        std::transform(column.begin(), column.end(), column.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (column.rfind("--", 0) == 0)
            column.erase(0, 2);
        if (!column.empty() &&
            std::find(kConditionNames.begin(), kConditionNames.end(), column) == kConditionNames.end())
            return Error::text("unknown CSV column: " + column);
    }

    const bool organs = !defaults.bodyPart.empty() ||
                        std::find(columns.begin(), columns.end(), "body-part") != columns.end();
    OrganContext organContext(workFolder);
    out << "row";
    for (const auto& key : resultKeys())
        out << ',' << key.first;
    if (organs)
        for (const auto& key : organResultKeys())
            out << ',' << key;
    out << ",error\n";

    int failed = 0;
    int row = 0;
    for (size_t n = first + 1; n < lines.size(); ++n) {
        if (isBlank(lines[n]))
            continue;
        ++row;
        const std::vector<std::string> cells = splitCsv(lines[n]);
        Exposure exposure = defaults;
        Status status;
        if (cells.size() > columns.size())
            status = Error::text("more cells than columns");
        for (size_t c = 0; status.ok() && c < cells.size(); ++c)
            if (!columns[c].empty())
                status = setCondition(exposure, columns[c], cells[c]);
        std::vector<std::string> values(resultKeys().size());
        std::vector<std::string> organValues(organs ? organResultKeys().size() : 0);
        if (status.ok()) {
            auto computed = calculateExposure(state, exposure); // no listing for a batch
            if (computed.ok())
                values = *computed;
            else
                status = computed.error();
        }
        if (status.ok() && organs && !exposure.bodyPart.empty()) {
            auto computed = organResults(state, exposure.bodyPart, exposure.weightKg, organContext);
            if (computed.ok())
                organValues = *computed;
            else
                status = computed.error();
        }
        out << row;
        for (const auto& value : values)
            out << ',' << textio::csvCell(value);
        for (const auto& value : organValues)
            out << ',' << textio::csvCell(value);
        out << ',' << (status.ok() ? std::string() : textio::csvCell(status.message())) << '\n';
        if (!status.ok())
            ++failed;
    }
    return failed;
}

size_t displayWidth(std::string_view utf8) {
    size_t width = 0;
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        const size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        char32_t code = length == 1 ? c : length == 2 ? c & 0x1F : length == 3 ? c & 0x0F : c & 0x07;
        for (size_t k = 1; k < length && i + k < utf8.size(); ++k)
            code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += length;
        const bool wide = (code >= 0x1100 && code <= 0x115F) ||
                          (code >= 0x2E80 && code <= 0xA4CF && code != 0x303F) ||
                          (code >= 0xAC00 && code <= 0xD7A3) || (code >= 0xF900 && code <= 0xFAFF) ||
                          (code >= 0xFE30 && code <= 0xFE4F) || (code >= 0xFF00 && code <= 0xFF60) ||
                          (code >= 0xFFE0 && code <= 0xFFE6) || code >= 0x20000;
        width += wide ? 2 : 1;
    }
    return width;
}

void printDoseHistory(const records::DoseHistory& history, std::ostream& out) {
    out << "患者ID: " << history.patientId << '\n';
    out << "氏名: " << history.patientName << '\n';
    std::vector<std::vector<std::string>> table = {records::doseHistoryHeadings()};
    for (const records::DoseHistoryEntry* entry : records::doseHistoryTableEntries(history))
        table.push_back(records::doseHistoryRow(*entry));
    std::vector<size_t> widths(records::kDoseHistoryColumnCount, 0);
    for (const auto& row : table)
        for (size_t c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], displayWidth(row[c]));
    for (const auto& row : table) {
        std::string line;
        for (size_t c = 0; c < row.size(); ++c) {
            if (c > 0)
                line += "  ";
            line += row[c];
            if (c + 1 < row.size())
                line.append(widths[c] - displayWidth(row[c]), ' ');
        }
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        out << line << '\n';
    }
    for (const auto& [caption, value] : records::doseHistoryTotals(history))
        out << caption << ": " << value << '\n';
}

bool readOption(const std::vector<std::string>& args, size_t& i, std::string& name, std::string& value,
                const std::string& help, std::ostream& err) {
    if (args[i].rfind("--", 0) != 0) {
        err << "tamso-calc: unexpected argument: " << args[i] << " (see " << help << ")\n";
        return false;
    }
    name = args[i].substr(2);
    value.clear();
    if (const auto eq = name.find('='); eq != std::string::npos) {
        value = name.substr(eq + 1);
        name.erase(eq);
    } else if (i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0) {
        value = args[++i];
    } else {
        // The next argument is another option ("--workdir --history"): this one has no value.
        err << "tamso-calc: --" << name << " needs a value (see " << help << ")\n";
        return false;
    }
    return true;
}

std::optional<int> runHistory(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const bool asked = std::any_of(args.begin(), args.end(), [](const std::string& arg) {
        return arg == "--history" || arg.rfind("--history=", 0) == 0;
    });
    if (!asked)
        return std::nullopt;
    std::optional<std::string> id, csvOut;
    std::filesystem::path workFolder = ".";
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name, value;
        if (!readOption(args, i, name, value, "--help", err))
            return kExitError;
        if (name == "history")
            id = value;
        else if (name == "workdir")
            workFolder = std::filesystem::u8path(value);
        else if (name == "csv-out")
            csvOut = value;
        else {
            err << "tamso-calc: --history takes only --workdir and --csv-out, not --" << name
                << " (see --help)\n";
            return kExitError;
        }
    }
    if (!id) {
        err << "tamso-calc: --history needs a patient ID (see --help)\n";
        return kExitError;
    }
    if (auto bad = records::checkPatientId(*id); !bad.ok()) {
        err << "tamso-calc: " << bad.message() << '\n';
        return kExitError;
    }
    if (csvOut) {
        if (auto refused = textio::checkExportTarget(std::filesystem::u8path(*csvOut)); !refused.ok()) {
            err << "tamso-calc: " << refused.message() << '\n';
            return kExitError;
        }
    }
    auto history = records::loadDoseHistory(workFolder, *id);
    if (!history.ok()) {
        err << "tamso-calc: " << history.error().message() << '\n';
        return kExitError;
    }
    if (!history->hasRecords()) {
        err << "tamso-calc: 患者ファイル「" << records::recordFileName(*id, 1) << "」がありません。\n";
        return kExitError;
    }
    for (const std::string& problem : history->trailProblems)
        err << "tamso-calc: " << problem << '\n';
    printDoseHistory(*history, out);
    printHistoryEffectiveDoses(*history, workFolder, out);
    if (csvOut) {
        if (auto e =
                textio::writeExportFile(std::filesystem::u8path(*csvOut), records::doseHistoryCsv(*history));
            !e.ok()) {
            err << "tamso-calc: " << e.message() << '\n';
            return kExitError;
        }
    }
    return kExitOk;
}

namespace {

// The options of one exposure, a CSV batch or a DICOM batch.
struct CalculatorOptions {
    std::filesystem::path workFolder = ".";
    std::optional<std::string> csvPath;
    std::optional<std::string> dicomPath;
    std::optional<std::string> dicomCsvOut;
    std::vector<std::pair<std::string, std::string>> conditions;
};

int failWith(std::ostream& err, const std::string& message) {
    err << "tamso-calc: " << message << '\n';
    return kExitError;
}

// Reads the command line into `o`; returns the exit status where the command ends here (help, or a
// usage error with its message on `err`).
std::optional<int> readCalculatorOptions(const std::vector<std::string>& args, CalculatorOptions& o,
                                         std::ostream& out, std::ostream& err) {
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (arg == "--help" || arg == "-h") {
            out << kHelp;
            return kExitOk;
        }
        if (arg.rfind("--", 0) != 0)
            return failWith(err, "unexpected argument: " + arg + " (see --help)");
        std::string name = arg.substr(2);
        std::string value;
        const auto eq = name.find('=');
        if (eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.erase(eq);
        } else {
            if (i + 1 >= args.size())
                return failWith(err, "--" + name + " needs a value (see --help)");
            value = args[++i];
        }
        if (name == "workdir") {
            o.workFolder = std::filesystem::u8path(value);
        } else if (name == "csv") {
            o.csvPath = value;
        } else if (name == "dicom") {
            o.dicomPath = value;
        } else if (name == "csv-out") {
            o.dicomCsvOut = value;
        } else if (std::find(kConditionNames.begin(), kConditionNames.end(), name) != kConditionNames.end()) {
            o.conditions.emplace_back(name, value);
        } else {
            return failWith(err, "unknown option --" + name + " (see --help)");
        }
    }
    return std::nullopt;
}

int runCsvFile(engine::CalculationState& state, const std::string& csvPath, const Exposure& exposure,
               const std::filesystem::path& workFolder, std::ostream& out, std::ostream& err) {
    auto text = textio::readFileBytes(std::filesystem::u8path(csvPath));
    if (!text.ok())
        return failWith(err, text.error().message());
    auto failed = runBatch(state, *text, exposure, workFolder, out);
    if (!failed.ok())
        return failWith(err, failed.error().message());
    if (*failed > 0)
        return failWith(err, std::to_string(*failed) + " exposure(s) could not be computed (see the error column)");
    return kExitOk;
}

// One exposure: one "key value" line per result, the organ results after them with a body part.
int runOneExposure(engine::CalculationState& state, const Exposure& exposure, const std::filesystem::path& workFolder,
                   std::ostream& out, std::ostream& err) {
    // One exposure leaves its spectrum listing in the working folder, as the screen's calculation does.
    auto values = calculateExposure(state, exposure, engine::listingInto(workFolder));
    if (!values.ok())
        return failWith(err, values.error().message());
    std::vector<std::string> organValues;
    if (!exposure.bodyPart.empty()) {
        OrganContext organContext(workFolder);
        auto computed = organResults(state, exposure.bodyPart, exposure.weightKg, organContext);
        if (!computed.ok())
            return failWith(err, computed.error().message());
        organValues = *computed;
    }
    for (size_t k = 0; k < values->size(); ++k)
        out << resultKeys()[k].first << ' ' << (*values)[k] << '\n';
    for (size_t k = 0; k < organValues.size(); ++k)
        out << organResultKeys()[k] << ' ' << organValues[k] << '\n';
    return kExitOk;
}

// The exposure or CSV batch of the options, once the reference data are loaded.
int runExposures(engine::CalculationState& state, const CalculatorOptions& o, std::ostream& out,
                 std::ostream& err) {
    Exposure exposure = defaultExposure(state);
    for (const auto& [name, value] : o.conditions) {
        if (auto e = setCondition(exposure, name, value); !e.ok())
            return failWith(err, e.message());
    }
    if (o.csvPath)
        return runCsvFile(state, *o.csvPath, exposure, o.workFolder, out, err);
    return runOneExposure(state, exposure, o.workFolder, out, err);
}

} // namespace

int runCalculator(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (asksForAudit(args))
        return runAuditCommand(args, out, err);
#ifndef TAMSO_WITHOUT_DICOM
    if (asksForPull(args))
        return runPullCommand(args, out, err);
#endif
    if (const std::optional<int> status = runHistory(args, out, err))
        return *status;
    CalculatorOptions o;
    if (const std::optional<int> status = readCalculatorOptions(args, o, out, err))
        return *status;

    // A target that may not be written (an empty name too) stops the DICOM batch before anything
    // is read; nor may it replace what the batch reads.
    if (o.dicomPath && o.dicomCsvOut) {
        if (auto refused = textio::checkExportTarget(std::filesystem::u8path(*o.dicomCsvOut),
                                                     dicomBatchInputs(std::filesystem::u8path(*o.dicomPath)));
            !refused.ok())
            return failWith(err, refused.message());
    }
    auto state = std::make_unique<engine::CalculationState>();
    if (auto e = refdata::loadReferenceData(*state, o.workFolder); !e.ok())
        return failWith(err, e.message());
    if (o.dicomPath && o.csvPath)
        return failWith(err, "--csv and --dicom cannot be combined (see --help)");
    if (o.dicomPath) {
#ifndef TAMSO_WITHOUT_DICOM
        return runDicomCalculator(*state, *o.dicomPath, o.dicomCsvOut.value_or(""), o.conditions, o.workFolder, out,
                                  err);
#else
        return failWith(err, "this build reads no DICOM files (built without DCMTK)");
#endif
    }
    if (o.dicomCsvOut)
        return failWith(err, "--csv-out is written by --dicom (see --help)");
    return runExposures(*state, o, out, err);
}

} // namespace tamso::calc
