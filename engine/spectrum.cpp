// The X-ray spectrum of a tungsten-anode tube: thick-target bremsstrahlung in 0.5 keV bins, the
// tungsten K lines above 70 keV, and the filtration by aluminium, copper and the 6 mm PMMA
// hood/cover.

#include "engine/enginedetail.h"

#include <cmath>

namespace tamso::engine::detail {

namespace {

constexpr double kPi = 3.14159;          // as used in the angle terms
constexpr double kTungstenDensity = 19.3; // g/cm3
constexpr double kElectronRestKev = 511;
constexpr double kHoodThicknessCm = 0.6;

} // namespace

Error notANumber(const char* what) {
    return stop(ErrorCode::NumberOutOfRange, {what});
}

Error negativeResult(const char* what) {
    return stop(ErrorCode::ResultNegative, {what});
}

Status checkSpectrumConditions(const CalculationState& s) {
    if (!allFinite({s.tubeVoltageKv, s.targetAngleDeg, s.inherentFilterAlCm, s.addedFilterAlCm,
                    s.addedFilterCuCm, s.refFilterAlCm, s.refFilterCuCm, s.ffdCm, s.subjectThicknessCm,
                    s.fieldLongCm, s.fieldShortCm}))
        return stop(ErrorCode::ConditionsNotNumbers);
    if (s.tubeVoltageKv >= 150)
        return stop(ErrorCode::VoltageNotBelow150);
    const double T0 = s.tubeVoltageKv * std::sin(kPi * 90 / 180);
    if (std::floor(2 * T0) < 2)
        return stop(ErrorCode::VoltageTooLow);
    if (std::sin(kPi * s.targetAngleDeg / 180) == 0)
        return stop(ErrorCode::TargetAngleBad);
    return {};
}

namespace {

// Thick-target bremsstrahlung in the target spectrum (bins 2..bT): the electron slows down from T0
// in steps of 0.5 keV; every step at or above the photon energy adds its emission, attenuated on
// the photon's way out of the target (pathFactor: 1 / sine of the target angle).
void emitBremsstrahlung(CalculationState& s, double T0, double pathFactor) {
    BinTable& target = s.TargetSpectrumTable;
    const BinTable& muW = s.TungstenMuTable;
    // Thomson-Whiddington coefficient (keV2 cm2/g).
    const double T02 = T0 * T0;
    const double C = 141766 + 12157 * T0 - 111.046 * T02 + 0.552536 * T02 * T0 - 0.000970158 * T02 * T02;
    const int bT = topBinOf(2 * T0);

    // Terms that depend on the electron energy T = 0.5*t only, shared by every photon bin.
    double restTerm[kBinCount];
    double stopping[kBinCount];
    double depth[kBinCount];
    const double depthDivisor = kTungstenDensity * C;
    for (int t = 2; t <= bT; ++t) {
        const double T = 0.5 * t;
        restTerm[t] = 1 + kElectronRestKev / T;
        stopping[t] = 1036.1 * std::exp(-0.04695 * T) + 202.41;
        depth[t] = (T02 - T * T) / depthDivisor * pathFactor;
    }

    for (int i = 2; i <= bT; ++i) {
        const double E = 0.5 * i;
        const double crossScale = 0.03658 + 0.000029 * E;
        const double mu = muW[i];
        double sum = 0;
        for (int t = i; t <= bT; ++t) {
            const double u = E / (0.5 * t);
            const double u2 = u * u;
            const double Q = crossScale * (1 - 5.049 * u + 10.847 * u2 - 10.516 * u2 * u + 3.842 * u2 * u2);
            sum += Q * restTerm[t] / stopping[t] * std::exp(-mu * depth[t]);
        }
        target[i] = sum;
    }
}

// Tungsten K lines, above 70 keV only: a yield (per cent of the bremsstrahlung) shared among four
// lines.
void addTungstenKLines(BinTable& target, double T0) {
    if (!(T0 > 70))
        return;
    const double R = (std::sqrt(8.79856 * T0 - 595.149) - 4.55528) / 4.39928;
    const int bT = topBinOf(2 * T0);
    double B = 0;
    for (int i = 2; i <= bT; ++i)
        B += target[i];
    const double K = 0.01 * R * B;
    target[119] += 0.5048 * K; // K alpha 1, 59.5 keV
    target[116] += 0.2908 * K; // K alpha 2, 58.0 keV
    target[134] += 0.162 * K;  // K beta 1, 67.0 keV
    target[138] += 0.0424 * K; // K beta 2, 69.0 keV
}

// Filtration of the emitted spectrum in the photon spectrum (bins 2..bV): the reference filtration
// of the tube output data, the tube's own filtration with and without the hood/cover. Exposure
// spectra are weighted by the air coefficient, photon spectra divided by the energy.
Status filterSpectrum(CalculationState& s, int bV) {
    BinTable& P = s.PhotonSpectrumTable;
    const double alCm = s.inherentFilterAlCm + s.addedFilterAlCm;
    const double cuCm = s.addedFilterCuCm;
    for (int i = 2; i <= bV; ++i) {
        const double E = 0.5 * i;
        const double muAl = s.AluminiumMuTable[i];
        const double muCu = s.CopperMuTable[i];
        const double muPmma = s.PmmaMuTable[i];
        const double emitted = P[i];
        const double aRef = std::exp(-s.refFilterAlCm * muAl - s.refFilterCuCm * muCu);
        const double aAl = std::exp(-alCm * muAl);
        const double aCu = std::exp(-cuCm * muCu);
        const double aPmma = std::exp(-kHoodThicknessCm * muPmma);
        s.SkinExposureSpectrumTable[i] = s.AirMuEnTable[i] * aRef * emitted;
        s.HvlSpectrumTable[i] =
            s.AirMuEnTable[i] * emitted * std::exp(-alCm * muAl - cuCm * muCu - kHoodThicknessCm * muPmma);
        s.BeamDataSpectrumTable[i] = aAl * aCu * emitted / E;
        P[i] = aAl * aCu * aPmma * emitted / E;
        if (!allFinite({s.SkinExposureSpectrumTable[i], s.HvlSpectrumTable[i], s.BeamDataSpectrumTable[i], P[i]}))
            return notANumber("X線スペクトル");
    }
    return {};
}

} // namespace

Status modelFilteredSpectrum(CalculationState& s) {
    if (auto e = checkSpectrumConditions(s); !e.ok())
        return e;
    const double V = s.tubeVoltageKv;
    BinTable& P = s.PhotonSpectrumTable;
    for (int i = 1; i <= kTopBin; ++i)
        P[i] = 0;

    // Angle and electron energy (the rounded pi puts T0 a hair below V).
    const double sine = std::sin(kPi * s.targetAngleDeg / 180);
    const double pathFactor = 1 / sine;
    const double T0 = V * std::sin(kPi * 90 / 180);
    emitBremsstrahlung(s, T0, pathFactor);
    addTungstenKLines(s.TargetSpectrumTable, T0);
    const int bT = topBinOf(2 * T0);
    for (int i = 2; i <= bT; ++i)
        P[i] += s.TargetSpectrumTable[i];

    return filterSpectrum(s, topBinOf(2 * V));
}

} // namespace tamso::engine::detail
