// The entrance surface dose: absorbed-dose conversion factor, the backscatter factor of the
// field weighted over the spectrum, the scatter from the hood/cover and the inverse-square law.

#include "engine/calculation.h"
#include "engine/enginedetail.h"
#include "textio/numberformat.h"

#include <cmath>

namespace tamso::engine {

using namespace detail;
using textio::formatNumber;

namespace {

constexpr double kQuarterTurn = 1.570795;

template <typename Keys> bool strictlyAscending(const Keys& keys, int first, int last) {
    for (int i = first + 1; i <= last; ++i)
        if (!(keys[i] > keys[i - 1]) || !finite(keys[i]) || !finite(keys[i - 1]))
            return false;
    return true;
}

// Backscatter factor of the centred rectangle 2a x 2b for the energy column k: every ring of
// 0.1 cm adds its share times the fraction of its circumference inside the rectangle.
double fieldBackscatter(const CalculationState& s, int k, double a, double b, int Na, int Nb, int Nc) {
    const double* ring = s.MonoBsfTable[k];
    double sum = 0;
    for (int j = 1; j <= Nb; ++j)
        sum += ring[j];
    if (Na > Nb) {
        for (int j = Nb + 1; j <= Na; ++j) {
            const double r = 0.1 * j - 0.05;
            const double rb = r * r - b * b;
            if (rb >= 0) {
                const double phi = std::atan(std::sqrt(rb) / b);
                sum += (kQuarterTurn - phi) / kQuarterTurn * ring[j];
            }
        }
    }
    for (int j = Na + 1; j <= Nc; ++j) {
        const double r = 0.1 * j - 0.05;
        const double rb = r * r - b * b;
        const double ra = r * r - a * a;
        if (rb >= 0 && ra >= 0) {
            const double phiB = std::atan(std::sqrt(rb) / b);
            const double phiA = std::atan(std::sqrt(ra) / a);
            sum += (kQuarterTurn - phiB - phiA) / kQuarterTurn * ring[j];
        }
    }
    return 1 + sum;
}

} // namespace

namespace detail {

Status checkEntranceDoseConditions(const CalculationState& s) {
    if (!allFinite({s.tubeVoltageKv, s.ffdCm, s.focusSkinDistanceCm, s.hoodSkinDistanceCm, s.fieldLongCm,
                    s.fieldShortCm, s.wAirEv}))
        return stop(ErrorCode::ConditionsNotNumbers);
    if (s.tubeVoltageKv >= 150 || s.tubeVoltageKv < 0)
        return stop(ErrorCode::VoltageNotBelow150);
    if (!(s.ffdCm > 0))
        return stop(ErrorCode::FfdNotPositive);
    if (!(s.focusSkinDistanceCm > 0))
        return stop(ErrorCode::FocusSkinNotPositive);
    const int n = topBinOf(2 * s.tubeVoltageKv);
    for (int i = 5; i <= n; ++i)
        if (s.AirMuEnTable[i] == 0 || !finite(s.AirMuEnTable[i]))
            return stop(ErrorCode::AirAbsorptionZero, {formatNumber(0.5 * i, "0.0")});
    if (!strictlyAscending(s.BsfEnergyTable, 1, kBsfEnergyCount))
        return stop(ErrorCode::BsfEnergiesNotAscending);
    if (!strictlyAscending(s.SprDistanceTable, 1, kSprDistanceRows) ||
        !strictlyAscending(s.SprFieldAreaTable, 1, kSprAreaColumns))
        return stop(ErrorCode::SprTableNotAscending);
    return {};
}

} // namespace detail

namespace {

// Absorbed-dose conversion factor (Gy per C/kg) of the exposure spectrum at the skin.
Status convertToAbsorbedDose(CalculationState& s, ResultFields& results, int n) {
    double ratioSum = 0;
    for (int i = 5; i <= n; ++i)
        ratioSum += s.SkinExposureSpectrumTable[i] * s.TissueMuEnTable[i] / s.AirMuEnTable[i];
    const double conversion = s.wAirEv * ratioSum;
    if (!finite(conversion))
        return notANumber("吸収線量変換係数");
    if (conversion < 0)
        return negativeResult("吸収線量変換係数");
    s.doseConversionFactor = conversion;
    results.setResultText(ResultField::DoseConversionFactor, formatNumber(s.doseConversionFactor, "#00.00"));
    return {};
}

// Tissue-dose weights of the photon spectrum, normalised to sum 1.
Status weighTissueDose(CalculationState& s, int n) {
    BinTable& weight = s.TissueDoseSpectrumTable;
    double S = 0;
    for (int i = 2; i <= n; ++i) {
        weight[i] = s.TissueMuEnTable[i] * (0.5 * i * s.PhotonSpectrumTable[i]);
        S += weight[i];
    }
    if (S == 0 || !finite(S))
        return stop(ErrorCode::TissueAbsorptionZero);
    for (int i = 2; i <= n; ++i)
        weight[i] = weight[i] / S;
    return {};
}

// The field at the skin (each side within 1..40 cm): its half sides and the numbers of 0.1 cm rings
// inside the short half side, the long half side and the half diagonal.
struct SkinField {
    double a;
    double b;
    int Na;
    int Nb;
    int Nc;
};

SkinField fieldAtSkin(const CalculationState& s) {
    double L = s.fieldLongCm < s.fieldShortCm ? s.fieldShortCm : s.fieldLongCm;
    double W = s.fieldLongCm < s.fieldShortCm ? s.fieldLongCm : s.fieldShortCm;
    L = L * s.focusSkinDistanceCm / s.ffdCm;
    W = W * s.focusSkinDistanceCm / s.ffdCm;
    if (L > 40)
        L = 40;
    if (L < 1)
        L = 1;
    if (W > 40)
        W = 40;
    if (W < 1)
        W = 1;
    SkinField f;
    f.a = L / 2;
    f.b = W / 2;
    f.Nb = static_cast<int>(std::floor(10 * f.b));
    f.Na = static_cast<int>(std::floor(10 * f.a));
    f.Nc = static_cast<int>(std::floor(10 * std::sqrt(f.a * f.a + f.b * f.b)));
    return f;
}

// The backscatter factor of the field, weighted over the tissue-dose spectrum: the field's factor
// at each energy column up to the first one above the tube voltage, interpolated per bin.
Status weighBackscatter(CalculationState& s, ResultFields& results, int n) {
    const double V = s.tubeVoltageKv;
    const SkinField f = fieldAtSkin(s);
    const auto& energy = s.BsfEnergyTable;
    int K = 2;
    while (K < kBsfEnergyCount && energy[K] <= V)
        ++K;
    for (int k = 1; k <= K; ++k)
        s.FieldBsfTable[k] = fieldBackscatter(s, k, f.a, f.b, f.Na, f.Nb, f.Nc);

    const BinTable& weight = s.TissueDoseSpectrumTable;
    const auto& field = s.FieldBsfTable;
    double bsf = 0;
    for (int i = 1; i <= n; ++i) {
        if (!(weight[i] > 0))
            continue;
        const double E = 0.5 * i;
        int m = 2;
        while (m < K && E >= energy[m])
            ++m;
        const double interpolated = field[m] - (field[m] - field[m - 1]) * (energy[m] - E) / (energy[m] - energy[m - 1]);
        bsf += interpolated * weight[i];
    }
    if (!finite(bsf))
        return notANumber("後方散乱係数");
    if (bsf < 0)
        return negativeResult("後方散乱係数");
    s.backscatterFactor = bsf;
    results.setResultText(ResultField::BackscatterFactor, formatNumber(s.backscatterFactor, "#0.000"));
    return {};
}

// Scatter from the hood/cover: distance clamped to 10..40 cm (kept in the state), area at the image
// receptor to 100..900 cm2, bilinear in the scatter-to-primary table.
double hoodScatterToPrimary(CalculationState& s) {
    if (s.hoodSkinDistanceCm > 40)
        s.hoodSkinDistanceCm = 40;
    if (s.hoodSkinDistanceCm < 10)
        s.hoodSkinDistanceCm = 10;
    const double g = s.hoodSkinDistanceCm;
    const auto& D = s.SprDistanceTable;
    int r = 2;
    while (r < kSprDistanceRows && g > D[r])
        ++r;
    double A = s.fieldLongCm * s.fieldShortCm;
    if (A > 900)
        A = 900;
    if (A < 100)
        A = 100;
    const auto& Ar = s.SprFieldAreaTable;
    int c = 2;
    while (c < kSprAreaColumns && A > Ar[c])
        ++c;
    const auto& T = s.ScatterPrimaryRatioTable;
    auto atDistance = [&](int x) { return T[x][r] - (D[r] - g) * (T[x][r] - T[x][r - 1]) / (D[r] - D[r - 1]); };
    const double sLow = atDistance(c - 1);
    const double sHigh = atDistance(c);
    return sLow + (A - Ar[c - 1]) * (sHigh - sLow) / (Ar[c] - Ar[c - 1]);
}

} // namespace

Status computeEntranceSurfaceDose(CalculationState& s, ResultFields& results) {
    if (auto e = checkEntranceDoseConditions(s); !e.ok())
        return e;
    const int n = topBinOf(2 * s.tubeVoltageKv);
    if (auto e = convertToAbsorbedDose(s, results, n); !e.ok())
        return e;
    if (auto e = weighTissueDose(s, n); !e.ok())
        return e;
    if (auto e = weighBackscatter(s, results, n); !e.ok())
        return e;

    s.hoodScatterToPrimary = hoodScatterToPrimary(s);
    const double withScatter = (s.hoodScatterToPrimary + 1) * s.exposureAt1mCkg;
    if (!finite(withScatter))
        return notANumber("散乱線を付加した照射線量");
    if (withScatter < 0)
        return negativeResult("散乱線を付加した照射線量");
    results.setResultText(ResultField::ExposureWithScatterCkg, formatNumber(withScatter, "0.00E+00"));

    // Entrance surface dose (mGy), carried from 1 m to the skin by the inverse-square law.
    const double dose = 1000 * s.backscatterFactor * s.doseConversionFactor *
                        (10000 / (s.focusSkinDistanceCm * s.focusSkinDistanceCm)) * withScatter;
    if (!finite(dose))
        return notANumber("入射表面線量");
    if (dose < 0)
        return negativeResult("入射表面線量");
    s.entranceSurfaceDoseMGy = dose;
    results.setResultText(ResultField::EntranceSurfaceDoseMGy, formatNumber(s.entranceSurfaceDoseMGy, "#0.000"));
    return {};
}

} // namespace tamso::engine
