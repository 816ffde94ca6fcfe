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

Status computeEntranceSurfaceDose(CalculationState& s, ResultFields& results) {
    if (auto e = checkEntranceDoseConditions(s); !e.ok())
        return e;
    const int n = topBinOf(2 * s.tubeVoltageKv);
    const double V = s.tubeVoltageKv;

    // Absorbed-dose conversion factor (Gy per C/kg).
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

    // Tissue-dose weights of the spectrum.
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

    // Field at the skin, half sides and ring counts.
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
    const double a = L / 2;
    const double b = W / 2;
    const int Nb = static_cast<int>(std::floor(10 * b));
    const int Na = static_cast<int>(std::floor(10 * a));
    const int Nc = static_cast<int>(std::floor(10 * std::sqrt(a * a + b * b)));

    // Energy columns up to the first one above the tube voltage.
    const auto& energy = s.BsfEnergyTable;
    int K = 2;
    while (K < kBsfEnergyCount && energy[K] <= V)
        ++K;
    for (int k = 1; k <= K; ++k)
        s.FieldBsfTable[k] = fieldBackscatter(s, k, a, b, Na, Nb, Nc);

    // Spectrum-weighted backscatter factor.
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

    // Scatter from the hood/cover: distance clamped to 10..40 cm, area at the image receptor to
    // 100..900 cm2, bilinear in the scatter-to-primary table.
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
    const double spr = sLow + (A - Ar[c - 1]) * (sHigh - sLow) / (Ar[c] - Ar[c - 1]);
    s.hoodScatterToPrimary = spr;
    const double withScatter = (spr + 1) * s.exposureAt1mCkg;
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
