#include "tools/refdata/nisttable.h"

#include <cmath>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tamso::refgen {

NistTable NistTable::load(const std::filesystem::path& file) {
    std::ifstream in(file);
    if (!in)
        throw std::runtime_error("cannot open " + file.string());
    std::vector<NistRow> rows;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        double mev = 0, mu = 0, muEn = 0;
        char c1 = 0, c2 = 0;
        if (!(fields >> mev >> c1 >> mu >> c2 >> muEn) || c1 != ',' || c2 != ',')
            throw std::runtime_error("malformed row in " + file.string() + ": " + line);
        rows.push_back({mev * 1000.0, mu, muEn});
    }
    return fromRows(std::move(rows));
}

NistTable NistTable::fromRows(std::vector<NistRow> rows) {
    if (rows.size() < 2)
        throw std::runtime_error("a coefficient table needs at least two rows");
    for (size_t k = 1; k < rows.size(); ++k)
        if (rows[k].energyKeV < rows[k - 1].energyKeV)
            throw std::runtime_error("coefficient table energies must not decrease");
    NistTable t;
    t.rows_ = std::move(rows);
    return t;
}

double NistTable::interpolate(double e, bool energyAbsorption) const {
    const auto value = [&](size_t k) { return energyAbsorption ? rows_[k].muEnRho : rows_[k].muRho; };
    const size_t n = rows_.size();
    // Segment [k, k+1] with distinct energies: the last one whose lower energy is <= e, so that an
    // energy exactly at an edge takes the row above the edge; below the table the first segment.
    size_t seg = n; // none yet
    for (size_t k = 0; k + 1 < n; ++k) {
        if (rows_[k + 1].energyKeV == rows_[k].energyKeV)
            continue;
        if (seg == n || rows_[k].energyKeV <= e)
            seg = k;
        if (rows_[k].energyKeV > e)
            break;
    }
    if (seg == n)
        throw std::runtime_error("coefficient table without a usable segment");
    const double e0 = rows_[seg].energyKeV, e1 = rows_[seg + 1].energyKeV;
    const double v0 = value(seg), v1 = value(seg + 1);
    const double slope = std::log(v1 / v0) / std::log(e1 / e0);
    return v0 * std::exp(slope * std::log(e / e0));
}

} // namespace tamso::refgen
