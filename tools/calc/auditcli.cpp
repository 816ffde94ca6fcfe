#include "tools/calc/auditcli.h"

#include "tools/calc/calccli.h"

#include "refdata/organdosefile.h"
#include "refdata/referenceloader.h"
#include "refdata/referencelevels.h"
#include "textio/fileio.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <ostream>

namespace tamso::calc {

namespace {

const char* const kAuditHelp =
    R"(tamso-calc --audit - the facility audit against the diagnostic reference levels (ICRP 135)

Usage:
  tamso-calc --audit [--workdir DIR] [--from DATE] [--to DATE] [--csv-out FILE]

Reads every patient record file of the working folder (default: the current folder), the
continuation files included, and prints per body part the number of exposures and of infants, the
median, 75th percentile (type 7: linear between order statistics), minimum and maximum entrance
surface dose in mGy, the reference level of 参考線量.dat and median/level, and, where the folder
holds the organ-dose table, the median effective dose in μSv (each record's from its conditions,
with the site's default weight). Record files that cannot be read, records whose date cannot be
read and records without a dose are listed, and the records whose effective dose cannot be computed
are counted.

  --from DATE, --to DATE   the period, both days included (2026/12/08, 2026-12-08 or 2026/1/2);
                           without them every record counts, also one whose date cannot be read
  --csv-out FILE           also write the table as CSV (UTF-8 with byte-order mark)

Exit status: 0 when the audit was made; 2 on an error (message on standard error).
)";

// Columns a code point takes on a terminal: two for the wide East Asian ranges.
int columnsOf(char32_t c) {
    const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
                      (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
                      (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                      (c >= 0xFFE0 && c <= 0xFFE6);
    return wide ? 2 : 1;
}

int displayWidth(const std::string& utf8) {
    int width = 0;
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char lead = static_cast<unsigned char>(utf8[i]);
        const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t c = length == 1 ? lead : lead & (0x3F >> (length - 1));
        for (size_t k = 1; k < length && i + k < utf8.size(); ++k)
            c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        width += columnsOf(c);
        i += length;
    }
    return width;
}

std::string padded(const std::string& text, int width, bool right) {
    const std::string blanks(static_cast<size_t>(std::max(0, width - displayWidth(text))), ' ');
    return right ? blanks + text : text + blanks;
}

} // namespace

bool asksForAudit(const std::vector<std::string>& args) {
    return std::find(args.begin(), args.end(), "--audit") != args.end();
}

std::string doseAuditReportText(const records::DoseAudit& audit, const records::AuditPeriod& period) {
    std::string text = "期間: " + records::auditPeriodText(period) + "\n\n";
    std::vector<std::vector<std::string>> rows = {records::auditTableHeadings()};
    for (auto& row : records::auditTableCells(audit))
        rows.push_back(std::move(row));
    std::vector<int> widths(rows.front().size(), 0);
    for (const auto& row : rows)
        for (size_t c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], displayWidth(row[c]));
    for (size_t r = 0; r < rows.size(); ++r) {
        std::string line;
        for (size_t c = 0; c < rows[r].size(); ++c)
            line += (c ? "  " : "") + padded(rows[r][c], widths[c], r > 0 && c > 0 && c + 1 < rows[r].size());
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        text += line + "\n";
    }
    if (audit.bodyParts.empty())
        text += "（期間内に線量のある記録はありません）\n";
    text += "\n";
    for (const std::string& line : records::auditSummaryLines(audit))
        text += line + "\n";
    for (const records::AuditNote& note : audit.notes)
        text += "  " + records::auditNoteText(note) + "\n";
    return text;
}

namespace {

struct AuditOptions {
    std::filesystem::path workFolder = ".";
    records::AuditPeriod period;
    std::optional<std::string> csvOut;
};

// Reads the command line into `o`; returns the exit status where the command ends here (help, or a
// usage error with its message on `err`).
std::optional<int> readAuditOptions(const std::vector<std::string>& args, AuditOptions& o, std::ostream& out,
                                    std::ostream& err) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--audit")
            continue;
        if (arg == "--help" || arg == "-h") {
            out << kAuditHelp;
            return 0;
        }
        std::string name, value;
        if (!readOption(args, i, name, value, "--audit --help", err))
            return kExitError;
        if (name == "workdir") {
            o.workFolder = std::filesystem::u8path(value);
        } else if (name == "from" || name == "to") {
            const auto date = records::parseExamDate(value);
            if (!date) {
                err << "tamso-calc: --" << name
                    << ": not a date (2026/12/08, 2026-12-08 or 2026/1/2): " << value << '\n';
                return 2;
            }
            (name == "from" ? o.period.from : o.period.to) = date;
        } else if (name == "csv-out") {
            o.csvOut = value;
        } else {
            err << "tamso-calc: --" << name << " does not go with --audit (see --audit --help)\n";
            return 2;
        }
    }
    const records::AuditPeriod& period = o.period;
    if (period.from && period.to && period.from->key() > period.to->key()) {
        err << "tamso-calc: --from " << records::dateText(*period.from) << " is after --to "
            << records::dateText(*period.to) << '\n';
        return 2;
    }
    return std::nullopt;
}

// What the effective doses need: the folder's organ-dose table and reference data, or why they
// cannot be computed (empty problem and no organs: the folder has no organ-dose table).
struct EffectiveDoseInputs {
    std::unique_ptr<engine::CalculationState> state = std::make_unique<engine::CalculationState>();
    std::optional<refdata::OrganDoseData> organs;
    std::string problem;
};

EffectiveDoseInputs loadEffectiveDoseInputs(const std::filesystem::path& workFolder) {
    EffectiveDoseInputs in;
    if (std::filesystem::exists(textio::fileInFolder(workFolder, refdata::kOrganDoseFileName))) {
        auto data = refdata::loadOrganDoseData(workFolder);
        if (!data.ok())
            in.problem = data.error().message();
        else if (auto e = refdata::loadReferenceData(*in.state, workFolder); !e.ok())
            in.problem = e.message();
        else
            in.organs = std::move(*data);
    }
    return in;
}

} // namespace

int runAuditCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    AuditOptions o;
    if (const std::optional<int> status = readAuditOptions(args, o, out, err))
        return *status;

    // A target that may not be written stops the command before anything is read.
    if (o.csvOut) {
        if (auto refused = textio::checkExportTarget(std::filesystem::u8path(*o.csvOut)); !refused.ok()) {
            err << "tamso-calc: " << refused.message() << '\n';
            return 2;
        }
    }
    const refdata::OptionalReferenceLevels levels = refdata::loadReferenceLevels(o.workFolder);
    if (levels.warning)
        err << "tamso-calc: warning: " << *levels.warning << '\n';
    const EffectiveDoseInputs inputs = loadEffectiveDoseInputs(o.workFolder);
    std::optional<records::AuditEffectiveDoseData> effective;
    if (inputs.organs)
        effective.emplace(
            records::AuditEffectiveDoseData{*inputs.state, inputs.organs->table, inputs.organs->defaultWeightKg});
    auto audit = records::auditRecordFolder(o.workFolder, o.period, levels.table,
                                            refdata::readBodyPartList(o.workFolder),
                                            effective ? &*effective : nullptr);
    if (!audit.ok()) {
        err << "tamso-calc: " << audit.error().message() << '\n';
        return 2;
    }
    out << doseAuditReportText(*audit, o.period);
    if (!levels.present)
        out << "参考レベル: " << refdata::kReferenceLevelFileName << " がないため比較しません\n";
    if (!inputs.problem.empty())
        out << "実効線量: 計算しません（" << inputs.problem << "）\n";
    if (o.csvOut) {
        if (auto e = records::writeDoseAuditCsv(std::filesystem::u8path(*o.csvOut), *audit); !e.ok()) {
            err << "tamso-calc: " << e.message() << '\n';
            return 2;
        }
    }
    return 0;
}

} // namespace tamso::calc
