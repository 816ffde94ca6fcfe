#include "refdata/organdosefile.h"

#include "textio/fileio.h"
#include "textio/textreader.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace tamso::refdata {

namespace {

namespace fs = std::filesystem;
using engine::OrganDoseTable;

constexpr const char* kHeader = "organ_dose_per_incident_air_kerma";
constexpr int kVersion = 1;
// Far more than the table needs (about 6 MB), little enough to keep a wrong file out of memory.
constexpr std::uintmax_t kMaxBytes = std::uintmax_t{64} << 20;
constexpr std::uintmax_t kMaxWeightFileBytes = 1 << 16;

Error fileError(const fs::path& file, const std::string& detail) {
    return Error(ErrorCode::ReferenceFileUnreadable, {textio::fileNameUtf8(file), detail});
}

std::string num(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.5g", v);
    return buf;
}

// Reads the table; returns an empty string or what went wrong.
class TableReader {
public:
    explicit TableReader(std::string text) : r_(std::move(text)) {}

    bool keyword(const char* expected) {
        auto f = r_.readField();
        if (!f || *f != expected) {
            problem_ = std::string("「") + expected + "」の行がありません（" + std::to_string(r_.lineNumber()) + " 行目）";
            return false;
        }
        return true;
    }
    bool number(double& v) {
        auto x = r_.readNumber();
        if (!x.ok()) {
            problem_ = "値" + x.error().message();
            return false;
        }
        v = *x;
        if (!std::isfinite(v)) {
            problem_ = std::to_string(r_.lastNumberLine()) + " 行目の値が数値として扱えません";
            return false;
        }
        return true;
    }
    bool count(int& n, int lo, int hi) {
        double v;
        if (!number(v))
            return false;
        if (v != std::floor(v) || v < lo || v > hi) {
            problem_ = std::to_string(r_.lastNumberLine()) + " 行目の個数「" + r_.lastNumberText() + "」が正しくありません";
            return false;
        }
        n = int(v);
        return true;
    }
    bool expect(double v, double expected) {
        if (v != expected) {
            problem_ = std::to_string(r_.lastNumberLine()) + " 行目の値「" + r_.lastNumberText() + "」は " +
                       num(expected) + " でなければなりません";
            return false;
        }
        return true;
    }
    bool ascending(const std::vector<double>& v, double minimum) {
        for (size_t i = 0; i < v.size(); ++i)
            if (!(v[i] > (i ? v[i - 1] : minimum))) {
                problem_ = std::to_string(r_.lastNumberLine()) + " 行目の並びが昇順でない、または 0 以下です";
                return false;
            }
        return true;
    }
    textio::TextReader& reader() { return r_; }
    std::string problem_;

private:
    textio::TextReader r_;
};

bool readTable(TableReader& in, OrganDoseTable& t) {
    double v;
    int n;
    if (!in.keyword(kHeader) || !in.number(v) || !in.expect(v, kVersion))
        return false;
    if (!in.keyword("organs") || !in.count(n, engine::kOrganCount, engine::kOrganCount))
        return false;
    for (int o = 0; o < engine::kOrganCount; ++o) {
        auto name = in.reader().readField();
        if (!name || *name != engine::organInfo(o).key) {
            in.problem_ = "臓器の並びが違います（" + std::string(engine::organInfo(o).key) + "）";
            return false;
        }
    }
    for (auto [key, target] : {std::pair{"weights", &t.weightsKg}, std::pair{"energies", &t.energiesKeV}}) {
        if (!in.keyword(key) || !in.count(n, 2, 64))
            return false;
        target->resize(size_t(n));
        for (double& x : *target)
            if (!in.number(x))
                return false;
        if (!in.ascending(*target, 0))
            return false;
    }
    for (int p = 0; p < 2; ++p) {
        auto& pl = t.planes[p];
        if (!in.keyword("plane") || !in.number(v) || !in.expect(v, p) || !in.count(pl.nu, 1, 200) ||
            !in.count(pl.nz, 1, 200) || !in.number(pl.u0) || !in.number(pl.z0) || !in.number(pl.tileCm))
            return false;
        if (!(pl.tileCm > 0)) {
            in.problem_ = "タイルの大きさが 0 以下です";
            return false;
        }
    }
    for (int k = 0; k < 4; ++k) {
        auto& part = t.parts[k];
        if (!in.keyword("part") || !in.number(v) || !in.expect(v, k) || !in.number(part.zCentre) ||
            !in.number(part.uCentre[0]) || !in.number(part.uCentre[1]) || !in.number(part.skin[0]) ||
            !in.number(part.skin[1]))
            return false;
    }
    for (int p = 0; p < 2; ++p) {
        if (!in.keyword("depth") || !in.number(v) || !in.expect(v, p))
            return false;
        for (double& d : t.depthCoordinate[p])
            if (!in.number(d))
                return false;
    }
    const size_t nw = t.weightsKg.size(), ne = t.energiesKeV.size();
    t.values.assign(t.offset(1, int(nw) - 1, int(ne) - 1, t.planes[1].nu * t.planes[1].nz - 1) + engine::kOrganCount,
                    0.0);
    for (int p = 0; p < 2; ++p)
        for (size_t w = 0; w < nw; ++w)
            for (size_t e = 0; e < ne; ++e)
                for (int tile = 0; tile < t.planes[p].nu * t.planes[p].nz; ++tile) {
                    const double keys[] = {double(p), double(w), double(e), double(tile)};
                    for (double key : keys)
                        if (!in.number(v) || !in.expect(v, key))
                            return false;
                    double* row = &t.values[t.offset(p, int(w), int(e), tile)];
                    for (int o = 0; o < engine::kOrganCount; ++o) {
                        if (!in.number(row[o]))
                            return false;
                        if (row[o] < 0) {
                            in.problem_ = std::to_string(in.reader().lastNumberLine()) + " 行目に負の線量があります";
                            return false;
                        }
                    }
                }
    return true;
}

} // namespace

Expected<OrganDoseTable> readOrganDoseFile(const fs::path& folder) {
    const fs::path file = textio::fileInFolder(folder, kOrganDoseFileName);
    auto bytes = textio::readRegularFileBytes(file, kMaxBytes);
    if (!bytes.ok())
        return bytes.error();
    TableReader in(textio::sjisToUtf8MarkingUnreadable(*bytes));
    OrganDoseTable t;
    if (!readTable(in, t))
        return fileError(file, in.problem_);
    return t;
}

Status writeOrganDoseFile(const fs::path& folder, const OrganDoseTable& t) {
    std::vector<std::string> lines;
    lines.push_back(std::string(kHeader) + "," + std::to_string(kVersion));
    std::string organs = "organs," + std::to_string(engine::kOrganCount);
    for (int o = 0; o < engine::kOrganCount; ++o)
        organs += std::string(",") + engine::organInfo(o).key;
    lines.push_back(organs);
    for (auto [key, values] : {std::pair{"weights", &t.weightsKg}, std::pair{"energies", &t.energiesKeV}}) {
        std::string line = std::string(key) + "," + std::to_string(values->size());
        for (double x : *values)
            line += "," + num(x);
        lines.push_back(line);
    }
    for (int p = 0; p < 2; ++p) {
        const auto& pl = t.planes[p];
        lines.push_back("plane," + std::to_string(p) + "," + std::to_string(pl.nu) + "," + std::to_string(pl.nz) +
                        "," + num(pl.u0) + "," + num(pl.z0) + "," + num(pl.tileCm));
    }
    for (int k = 0; k < 4; ++k) {
        const auto& part = t.parts[k];
        lines.push_back("part," + std::to_string(k) + "," + num(part.zCentre) + "," + num(part.uCentre[0]) + "," +
                        num(part.uCentre[1]) + "," + num(part.skin[0]) + "," + num(part.skin[1]));
    }
    for (int p = 0; p < 2; ++p) {
        std::string line = "depth," + std::to_string(p);
        for (double d : t.depthCoordinate[p])
            line += "," + num(d);
        lines.push_back(line);
    }
    char buf[32];
    for (int p = 0; p < 2; ++p)
        for (size_t w = 0; w < t.weightsKg.size(); ++w)
            for (size_t e = 0; e < t.energiesKeV.size(); ++e)
                for (int tile = 0; tile < t.planes[p].nu * t.planes[p].nz; ++tile) {
                    std::string line = std::to_string(p) + "," + std::to_string(w) + "," + std::to_string(e) + "," +
                                       std::to_string(tile);
                    const double* row = &t.values[t.offset(p, int(w), int(e), tile)];
                    for (int o = 0; o < engine::kOrganCount; ++o) {
                        std::snprintf(buf, sizeof buf, ",%.4g", row[o]);
                        line += buf;
                    }
                    lines.push_back(line);
                }
    return textio::writeTextLines(textio::fileInFolder(folder, kOrganDoseFileName), lines);
}

Expected<double> readDefaultWeightFile(const fs::path& folder) {
    const fs::path file = textio::fileInFolder(folder, kDefaultWeightFileName);
    auto bytes = textio::readRegularFileBytes(file, kMaxWeightFileBytes);
    if (!bytes.ok())
        return bytes.error();
    textio::TextReader reader(textio::sjisToUtf8MarkingUnreadable(*bytes));
    while (!reader.atEnd()) {
        auto line = reader.readText("体重の既定値");
        if (!line.ok())
            return fileError(file, line.error().message());
        const auto first = line->find_first_not_of(" \t");
        if (first == std::string::npos || (*line)[first] == '#')
            continue;
        textio::TextReader value(*line);
        auto weight = value.readNumber("体重の既定値");
        if (!weight.ok())
            return fileError(file, weight.error().message());
        if (auto bad = engine::checkWeightKg(*weight); !bad.ok())
            return fileError(file, bad.message());
        return *weight;
    }
    return fileError(file, "体重の既定値がありません");
}

Expected<OrganDoseData> loadOrganDoseData(const fs::path& folder) {
    auto table = readOrganDoseFile(folder);
    if (!table.ok())
        return table.error();
    OrganDoseData data;
    data.table = std::move(*table);
    auto weight = readDefaultWeightFile(folder);
    if (weight.ok())
        data.defaultWeightKg = *weight;
    else
        data.defaultWeightProblem = weight.error().message();
    return data;
}

} // namespace tamso::refdata
