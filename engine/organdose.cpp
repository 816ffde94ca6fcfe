#include "engine/organdose.h"

#include "engine/uncertainty.h"
#include "textio/numbertext.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace tamso::engine {

namespace {

const OrganInfo kOrgans[kOrganCount] = {
    {"brain", "脳"},
    {"eye_lens", "水晶体"},
    {"thyroid", "甲状腺"},
    {"salivary_glands", "唾液腺"},
    {"oral_nasal", "口腔・鼻腔"},
    {"oesophagus", "食道"},
    {"thymus", "胸腺"},
    {"lungs", "肺"},
    {"heart", "心臓"},
    {"breasts", "乳房"},
    {"liver", "肝臓"},
    {"gall_bladder", "胆のう"},
    {"stomach", "胃"},
    {"spleen", "脾臓"},
    {"pancreas", "膵臓"},
    {"adrenals", "副腎"},
    {"kidneys", "腎臓"},
    {"small_intestine", "小腸"},
    {"colon", "結腸"},
    {"bladder", "膀胱"},
    {"testes", "精巣"},
    {"ovaries", "卵巣"},
    {"uterus", "子宮"},
    {"prostate", "前立腺"},
    {"skin", "皮膚"},
    {"muscle", "筋肉"},
    {"red_marrow", "赤色骨髄"},
    {"bone_surface", "骨表面"},
};

// ICRP 103 remainder tissues common to both sexes (lymph nodes as muscle, extrathoracic region and
// oral mucosa as the oral and nasal region): 12 entries; the 13th is prostate or uterus.
const Organ kRemainderCommon[] = {Adrenals, OralNasal, GallBladder, Heart,  Kidneys, Muscle,
                                  OralNasal, Pancreas, SmallIntestine, Spleen, Thymus,  Muscle};

// Relative standard uncertainties of the conversion from entrance dose to effective dose.
constexpr double kPhantomVersusInfant = 0.15; // stylised phantom against a real infant's anatomy
constexpr double kMonteCarloStatistics = 0.01;
constexpr double kInverseSquareApproximation = 0.02;
constexpr double kTableInterpolation = 0.02;
constexpr double kFieldPlacementCm = 1.0; // field centre on the infant within +-1 cm (3.5 kg)

double clampedScale(double weightKg, const OrganDoseTable& t) {
    const double w = std::clamp(weightKg, t.weightsKg.front(), t.weightsKg.back());
    return std::cbrt(w / 3.5);
}

// Organ doses per kerma for one phantom weight (index), unit fluence over the field.
void addWeight(const OrganDoseTable& t, int p, int w, const std::vector<double>& kerma, double uLo, double uHi,
               double zLo, double zHi, double factor, OrganDoses& out) {
    const auto& plane = t.planes[p];
    const int e0 = 0, e1 = int(t.energiesKeV.size());
    const auto overlap = [&](double lo, double hi, double tileLo) {
        return std::max(0.0, std::min(hi, tileLo + plane.tileCm) - std::max(lo, tileLo)) / plane.tileCm;
    };
    const int iz0 = std::max(0, int(std::floor((zLo - plane.z0) / plane.tileCm)));
    const int iz1 = std::min(plane.nz - 1, int(std::floor((zHi - plane.z0) / plane.tileCm)));
    const int iu0 = std::max(0, int(std::floor((uLo - plane.u0) / plane.tileCm)));
    const int iu1 = std::min(plane.nu - 1, int(std::floor((uHi - plane.u0) / plane.tileCm)));
    for (int iz = iz0; iz <= iz1; ++iz) {
        const double fz = overlap(zLo, zHi, plane.z0 + iz * plane.tileCm);
        for (int iu = iu0; iu <= iu1; ++iu) {
            const double f = factor * fz * overlap(uLo, uHi, plane.u0 + iu * plane.tileCm);
            if (f <= 0)
                continue;
            const int tile = iz * plane.nu + iu;
            for (int e = e0; e < e1; ++e) {
                if (kerma[e] <= 0)
                    continue;
                const double* v = &t.values[t.offset(p, w, e, tile)];
                const double k = f * kerma[e];
                for (int o = 0; o < kOrganCount; ++o)
                    out[o] += k * v[o];
            }
        }
    }
}

} // namespace

const OrganInfo& organInfo(int organ) {
    if (organ < 0 || organ >= kOrganCount)
        throw std::out_of_range("organInfo");
    return kOrgans[organ];
}

double effectiveDoseIcrp103(const OrganDoses& d) {
    const auto sexAveraged = [&](Organ male, Organ female) { return 0.5 * (d[male] + d[female]); };
    double remainderCommon = 0;
    for (Organ o : kRemainderCommon)
        remainderCommon += d[o];
    const double remainder = 0.5 * ((remainderCommon + d[Prostate]) / 13 + (remainderCommon + d[Uterus]) / 13);
    return 0.12 * (d[RedMarrow] + d[Colon] + d[Lungs] + d[Stomach] + d[Breasts] + remainder) +
           0.08 * sexAveraged(Testes, Ovaries) +
           0.04 * (d[UrinaryBladder] + d[Oesophagus] + d[Liver] + d[Thyroid]) +
           0.01 * (d[BoneSurface] + d[Brain] + d[SalivaryGlands] + d[Skin]);
}

double effectiveDoseIcrp60(const OrganDoses& d) {
    // Remainder: adrenals, brain, upper large intestine (our colon), small intestine, kidneys, muscle,
    // pancreas, spleen, thymus, uterus.
    const Organ remainderOrgans[] = {Adrenals, Brain, Colon, SmallIntestine, Kidneys,
                                     Muscle,   Pancreas, Spleen, Thymus, Uterus};
    const double named[] = {0.20 * 0.5 * (d[Testes] + d[Ovaries]), 0.12 * d[RedMarrow], 0.12 * d[Colon],
                            0.12 * d[Lungs], 0.12 * d[Stomach], 0.05 * d[UrinaryBladder], 0.05 * d[Breasts],
                            0.05 * d[Liver], 0.05 * d[Oesophagus], 0.05 * d[Thyroid], 0.01 * d[Skin],
                            0.01 * d[BoneSurface]};
    double e = 0;
    for (double v : named)
        e += v;
    const double highestNamed = std::max({d[Testes], d[Ovaries], d[RedMarrow], d[Colon], d[Lungs], d[Stomach],
                                          d[UrinaryBladder], d[Breasts], d[Liver], d[Oesophagus], d[Thyroid],
                                          d[Skin], d[BoneSurface]});
    double sum = 0, top = 0;
    for (Organ o : remainderOrgans) {
        sum += d[o];
        top = std::max(top, d[o]);
    }
    const int n = int(std::size(remainderOrgans));
    if (top > highestNamed) // splitting rule: half to the highest, half to the mean of the others
        return e + 0.025 * top + 0.025 * (sum - top) / (n - 1);
    return e + 0.05 * sum / n;
}

std::optional<BodyPartGeometry> bodyPartGeometry(const std::string& name) {
    const auto has = [&](const char* word) { return name.find(word) != std::string::npos; };
    BodyPartGeometry g;
    if (has("胸腹"))
        g.region = BodyRegion::ChestAbdomen;
    else if (has("胸"))
        g.region = BodyRegion::Chest;
    else if (has("腹"))
        g.region = BodyRegion::Abdomen;
    else if (has("頭"))
        g.region = BodyRegion::Head;
    else
        return std::nullopt;
    g.projection = has("側") ? Projection::Lateral : Projection::Frontal;
    return g;
}

size_t OrganDoseTable::offset(int p, int w, int e, int tile) const {
    const size_t nw = weightsKg.size(), ne = energiesKeV.size();
    size_t base = 0;
    if (p == 1)
        base = nw * ne * size_t(planes[0].nu * planes[0].nz);
    const size_t tiles = size_t(planes[p].nu * planes[p].nz);
    return (base + (size_t(w) * ne + e) * tiles + tile) * kOrganCount;
}

Status checkWeightKg(double weightKg) {
    if (weightKg >= kMinWeightKg && weightKg <= kMaxWeightKg)
        return {};
    return Error(ErrorCode::WeightOutOfRange, {textio::numberToText(weightKg), textio::numberToText(kMinWeightKg),
                                          textio::numberToText(kMaxWeightKg)});
}

std::vector<double> kermaWeightsOfRun(const OrganDoseTable& t, const CalculationState& s) {
    const auto& e = t.energiesKeV;
    std::vector<double> w(e.size(), 0.0);
    const int n = std::min(kTopBin, int(std::floor(2 * s.tubeVoltageKv)));
    double total = 0;
    for (int i = 2; i <= n; ++i) {
        const double energy = 0.5 * i;
        const double k = s.PhotonSpectrumTable[i] * energy * s.AirMuEnTable[i];
        if (!(k > 0))
            continue;
        total += k;
        if (energy <= e.front()) {
            w.front() += k;
            continue;
        }
        if (energy >= e.back()) {
            w.back() += k;
            continue;
        }
        size_t j = 1;
        while (e[j] < energy)
            ++j;
        const double f = std::log(energy / e[j - 1]) / std::log(e[j] / e[j - 1]);
        w[j - 1] += (1 - f) * k;
        w[j] += f * k;
    }
    if (total > 0)
        for (double& v : w)
            v /= total;
    return w;
}

OrganDoses organDosesPerKerma(const OrganDoseTable& t, const std::vector<double>& kerma, BodyPartGeometry part,
                              double weightKg, double longCm, double shortCm, double focusSkinCm, double shiftCm) {
    const int p = part.projection == Projection::Lateral ? 1 : 0;
    const auto& bp = t.parts[int(part.region)];
    const double s = clampedScale(weightKg, t);
    // Bracketing phantom weights, linear in the length scale.
    const auto& ws = t.weightsKg;
    size_t hi = 1;
    while (hi + 1 < ws.size() && std::cbrt(ws[hi] / 3.5) < s)
        ++hi;
    const double s0 = std::cbrt(ws[hi - 1] / 3.5), s1 = std::cbrt(ws[hi] / 3.5);
    const double f1 = std::clamp((s - s0) / (s1 - s0), 0.0, 1.0);
    OrganDoses sum{};
    for (int k = 0; k < 2; ++k) {
        const int w = int(k == 0 ? hi - 1 : hi);
        const double factor = k == 0 ? 1 - f1 : f1;
        if (factor <= 0)
            continue;
        const double sw = std::cbrt(ws[w] / 3.5);
        const double zc = bp.zCentre + shiftCm / sw, uc = bp.uCentre[p];
        const double hz = 0.5 * longCm / sw, hu = 0.5 * shortCm / sw;
        addWeight(t, p, w, kerma, uc - hu, uc + hu, zc - hz, zc + hz, factor, sum);
    }
    // The table's parallel beam to the focus-skin distance: inverse square at the organ's depth.
    for (int o = 0; o < kOrganCount; ++o) {
        const double along = p == 0 ? bp.skin[p] - t.depthCoordinate[p][o] : t.depthCoordinate[p][o] - bp.skin[p];
        const double depth = std::max(0.0, along) * s;
        const double r = focusSkinCm / (focusSkinCm + depth);
        sum[o] *= r * r;
    }
    return sum;
}

namespace {

double effectivePerKerma(const OrganDoseTable& t, const std::vector<double>& kerma, const CalculationState& st,
                         BodyPartGeometry part, double weightKg, double shiftCm = 0) {
    const double scale = st.focusSkinDistanceCm / st.ffdCm;
    return effectiveDoseIcrp103(organDosesPerKerma(t, kerma, part, weightKg,
                                                   std::max(st.fieldLongCm, st.fieldShortCm) * scale,
                                                   std::min(st.fieldLongCm, st.fieldShortCm) * scale,
                                                   st.focusSkinDistanceCm, shiftCm));
}

} // namespace

std::vector<OrganDoseUncertaintyComponent> effectiveDoseBudget(const OrganDoseTable& t, const CalculationState& st,
                                                               BodyPartGeometry part, double weightKg,
                                                               bool weightAssumed) {
    std::vector<OrganDoseUncertaintyComponent> u;
    const DoseUncertainty esd = doseUncertainty(st);
    u.push_back({"entrance surface dose (its own budget)", esd.relativeCombined});
    // Backscatter does not enter the effective dose: the incident air kerma is the ESD without it,
    // but the backscatter factor's own component is part of the ESD budget above; kept, a small
    // overestimate.
    u.push_back({"stylised phantom against the real infant", kPhantomVersusInfant});
    u.push_back({"Monte Carlo statistics", kMonteCarloStatistics});
    u.push_back({"inverse-square correction of the parallel-beam table", kInverseSquareApproximation});
    u.push_back({"interpolation in energy, weight and field", kTableInterpolation});
    const std::vector<double> kerma = kermaWeightsOfRun(t, st);
    const double e0 = effectivePerKerma(t, kerma, st, part, weightKg);
    if (e0 > 0) {
        // The field centre placed within +-1 cm (at 3.5 kg, scaled with the infant): the larger change
        // of the two shifts, as a rectangular distribution.
        const double shift = kFieldPlacementCm * clampedScale(weightKg, t);
        const double up = effectivePerKerma(t, kerma, st, part, weightKg, shift);
        const double down = effectivePerKerma(t, kerma, st, part, weightKg, -shift);
        u.push_back({"field placement on the infant",
                     std::max(std::fabs(up - e0), std::fabs(down - e0)) / e0 / std::sqrt(3.0)});
        const double lo = t.weightsKg.front(), hi = t.weightsKg.back();
        if (weightAssumed || weightKg < lo || weightKg > hi) {
            // An assumed weight may be off by half of itself; outside the phantom's sizes the
            // nearest size stands in.
            const double wLo = weightAssumed ? weightKg * 0.5 : std::clamp(weightKg, lo, hi);
            const double wHi = weightAssumed ? weightKg * 1.5 : std::clamp(weightKg, lo, hi);
            const double a = effectivePerKerma(t, kerma, st, part, wLo);
            const double b = effectivePerKerma(t, kerma, st, part, wHi);
            double rel = std::max(std::fabs(a - e0), std::fabs(b - e0)) / e0 / std::sqrt(3.0);
            if (!weightAssumed)
                rel = std::max(rel, 0.10);
            u.push_back({weightAssumed ? "assumed weight (+-50 %)" : "weight outside the phantom's sizes", rel});
        }
    }
    return u;
}

Expected<OrganDoseResult> computeOrganDoses(const OrganDoseTable& t, const CalculationState& st,
                                            BodyPartGeometry part, double weightKg, bool weightAssumed) {
    if (auto bad = checkWeightKg(weightKg); !bad.ok())
        return bad.error();
    if (t.weightsKg.size() < 2 || t.energiesKeV.size() < 2 || t.values.empty())
        return Error(ErrorCode::OrganTableMissing);
    if (!(st.entranceSurfaceDoseMGy >= 0) || !(st.backscatterFactor > 0) || !(st.doseConversionFactor > 0) ||
        !(st.focusSkinDistanceCm > 0) || !(st.ffdCm > 0))
        return Error(ErrorCode::OrganDoseBeforeCalculation);
    OrganDoseResult r;
    r.weightKg = weightKg;
    r.weightAssumed = weightAssumed;
    r.incidentAirKermaMGy =
        st.entranceSurfaceDoseMGy * st.wAirEv / (st.backscatterFactor * st.doseConversionFactor);
    const std::vector<double> kerma = kermaWeightsOfRun(t, st);
    const double scale = st.focusSkinDistanceCm / st.ffdCm;
    const OrganDoses perKerma = organDosesPerKerma(
        t, kerma, part, weightKg, std::max(st.fieldLongCm, st.fieldShortCm) * scale,
        std::min(st.fieldLongCm, st.fieldShortCm) * scale, st.focusSkinDistanceCm);
    for (int o = 0; o < kOrganCount; ++o)
        r.doseUGy[o] = 1000 * r.incidentAirKermaMGy * perKerma[o];
    r.effectiveDoseUSv = effectiveDoseIcrp103(r.doseUGy);
    r.effectiveDoseIcrp60USv = effectiveDoseIcrp60(r.doseUGy);
    double sum = 0;
    for (const auto& c : effectiveDoseBudget(t, st, part, weightKg, weightAssumed))
        sum += c.relativeStandard * c.relativeStandard;
    r.effectiveDoseUUSv = kCoverageFactor * std::sqrt(sum) * r.effectiveDoseUSv;
    if (!std::isfinite(r.effectiveDoseUSv) || !std::isfinite(r.effectiveDoseUUSv))
        return Error(ErrorCode::NumberOutOfRange, {"実効線量"});
    return r;
}

Expected<OrganDoseResult> organDosesForBodyPart(const OrganDoseTable& table, const CalculationState& state,
                                                const std::string& bodyPartName, std::optional<double> weightKg,
                                                std::optional<double> defaultWeightKg) {
    const auto part = bodyPartGeometry(bodyPartName);
    if (!part)
        return Error(ErrorCode::BodyPartWithoutOrgans, {bodyPartName});
    if (weightKg)
        return computeOrganDoses(table, state, *part, *weightKg, false);
    if (defaultWeightKg)
        return computeOrganDoses(table, state, *part, *defaultWeightKg, true);
    return Error(ErrorCode::WeightUnknown);
}

} // namespace tamso::engine
