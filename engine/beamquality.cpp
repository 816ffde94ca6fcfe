// The spectrum listing "Beam_data.dat", the exposure ratio of the real to the reference
// filtration, the transmission curve in aluminium and the beam quality read from it.

#include "engine/calculation.h"
#include "engine/enginedetail.h"
#include "textio/fileio.h"
#include "textio/numberformat.h"

#include <cmath>
#include <string>
#include <vector>

namespace tamso::engine {

using namespace detail;
using textio::formatNumber;

namespace {

constexpr double kLn2 = 0.693147;
constexpr double kAlStepCm = 0.01;

// The 306 lines of the listing: the relative photon spectrum behind the tube's filtration, then
// the conditions. Bins above bV count as 0.
std::vector<std::string> listingLines(const CalculationState& s, int bV, double maximum) {
    // The energy column is the same in every listing: formatted once.
    static const std::vector<std::string> energies = [] {
        std::vector<std::string> texts(kTopBin + 1);
        for (int i = 1; i <= kTopBin; ++i)
            texts[static_cast<size_t>(i)] = formatNumber(0.5 * i, "0000.0") + ", ";
        return texts;
    }();
    std::vector<std::string> lines;
    lines.reserve(306);
    for (int i = 1; i <= kTopBin; ++i) {
        const double value = i <= bV ? s.BeamDataSpectrumTable[i] : 0.0;
        lines.push_back(energies[static_cast<size_t>(i)] + formatNumber(value / maximum, "0.00000"));
    }
    lines.push_back(formatNumber(s.tubeVoltageKv, " 00."));
    lines.push_back(formatNumber(s.ffdCm, " 000."));
    lines.push_back(formatNumber(s.subjectThicknessCm, " 00."));
    lines.push_back(formatNumber(s.fieldLongCm, " 00.0"));
    lines.push_back(formatNumber(s.fieldShortCm, " 00.0"));
    lines.push_back(formatNumber(s.spareCell, " 0.00E+00"));
    return lines;
}

// The aluminium thickness (cm) at which the transmission curve falls to the level (per cent):
// the first step below it, interpolated linearly in the logarithm against the step before.
Expected<double> thicknessForLevel(const std::array<double, kAlSteps + 1>& Tr, double level) {
    int i = 2;
    while (i <= kAlSteps && Tr[i] >= level)
        ++i;
    if (i > kAlSteps)
        return stop(ErrorCode::TransmissionTooHigh, {std::to_string(static_cast<int>(level))});
    if (!(Tr[i] > 0) || !(Tr[i - 1] > 0))
        return notANumber("半価層");
    const double f = (std::log(level) - std::log(Tr[i - 1])) / (std::log(Tr[i]) - std::log(Tr[i - 1]));
    const double thickness = kAlStepCm * ((i - 1) + f);
    if (!finite(thickness))
        return notANumber("半価層");
    return thickness;
}

// The listing's scale is the largest photon number behind the tube's filtration; the photon
// spectrum at the skin is then normalised to sum 1, negligible bins dropped. Returns the lines of
// the listing, which the caller writes only once every later step has found its value, so that a
// refused run leaves the previous listing in place.
Expected<std::vector<std::string>> normaliseSpectrum(CalculationState& s, int bV) {
    BinTable& P = s.PhotonSpectrumTable;
    double M = 0;
    for (int i = 1; i <= bV; ++i)
        if (s.BeamDataSpectrumTable[i] > M)
            M = s.BeamDataSpectrumTable[i];
    double N = 0;
    for (int i = 2; i <= bV; ++i)
        N += P[i];
    if (!(M > 0) || !(N > 0) || !finite(N))
        return stop(ErrorCode::NoXraysAtSkin);
    std::vector<std::string> listing = listingLines(s, bV, M);
    for (int i = 2; i <= bV; ++i) {
        P[i] = P[i] / N;
        if (P[i] < 1e-10)
            P[i] = 0;
    }
    return listing;
}

// The exposure behind the real filtration and the hood/cover relative to the reference filtration
// (filterExposureRatio), and the exposure spectrum at the skin normalised to sum 1 (left in the
// skin-exposure and half-value-layer spectra). Returns the sum of the normalised spectrum.
Expected<double> weighFiltration(CalculationState& s, int bV) {
    BinTable& H = s.HvlSpectrumTable;
    double A = 0;
    double B = 0;
    for (int i = 2; i <= bV; ++i) {
        A += s.SkinExposureSpectrumTable[i];
        B += H[i];
    }
    if (!(A > 0) || !(B > 0) || !finite(A) || !finite(B))
        return stop(ErrorCode::ExposureSpectrumZero);
    s.filterExposureRatio = B / A;
    if (!finite(s.filterExposureRatio))
        return notANumber("フィルタによる照射線量比");
    double S0 = 0;
    for (int i = 2; i <= bV; ++i) {
        H[i] = H[i] / B;
        S0 += H[i];
        s.SkinExposureSpectrumTable[i] = H[i];
    }
    return S0;
}

// The transmission curve (per cent) through 0.1 mm steps of aluminium of the exposure spectrum
// whose sum is S0.
void transmitThroughAluminium(CalculationState& s, int bV, double S0) {
    BinTable& H = s.HvlSpectrumTable;
    double step[kBinCount];
    for (int i = 2; i <= bV; ++i)
        step[i] = std::exp(kAlStepCm * (-s.AluminiumMuTable[i]));
    for (int j = 1; j <= kAlSteps; ++j) {
        double S = 0;
        for (int i = 2; i <= bV; ++i) {
            H[i] = step[i] * H[i];
            S += H[i];
        }
        s.AlTransmissionTable[j] = 100 * S / S0;
    }
}

// Effective energy: where aluminium's coefficient equals ln 2 / HVL, log-log interpolated.
Expected<double> effectiveEnergyOf(const CalculationState& s, double hvlCm) {
    const double muEff = kLn2 / hvlCm;
    const BinTable& muAl = s.AluminiumMuTable;
    int i = 2;
    while (i <= kTopBin && muAl[i] >= muEff)
        ++i;
    if (i > kTopBin)
        return stop(ErrorCode::EffectiveEnergyNotFound);
    if (!(muAl[i] > 0) || !(muAl[i - 1] > 0))
        return notANumber("実効エネルギー");
    const double lnEi = std::log(0.5 * i);
    const double lnE = lnEi - (std::log(muAl[i]) - std::log(muEff)) / (std::log(muAl[i]) - std::log(muAl[i - 1])) *
                                  (lnEi - std::log(0.5 * (i - 1)));
    return std::exp(lnE);
}

} // namespace

Status detail::spectrumAndBeamQuality(CalculationState& s, ResultFields& results,
                                      const ListingSink& deliverListing) {
    if (auto e = modelFilteredSpectrum(s); !e.ok())
        return e;
    const int bV = topBinOf(2 * s.tubeVoltageKv);
    auto listing = normaliseSpectrum(s, bV);
    if (!listing.ok())
        return listing.error();
    auto S0 = weighFiltration(s, bV);
    if (!S0.ok())
        return S0.error();
    transmitThroughAluminium(s, bV, *S0);

    auto hvl = thicknessForLevel(s.AlTransmissionTable, 50);
    if (!hvl.ok())
        return hvl.error();
    if (!(*hvl > 0))
        return stop(ErrorCode::HvlNotPositive);
    auto effectiveEnergy = effectiveEnergyOf(s, *hvl);
    if (!effectiveEnergy.ok())
        return effectiveEnergy.error();
    auto quarter = thicknessForLevel(s.AlTransmissionTable, 25);
    if (!quarter.ok())
        return quarter.error();
    const double qualityIndex = *effectiveEnergy / s.tubeVoltageKv;
    if (!allFinite({*effectiveEnergy, qualityIndex}))
        return notANumber("実効エネルギー");

    if (auto e = deliverListing(*listing); !e.ok())
        return e;

    s.hvl1Cm = *hvl;
    s.effectiveEnergyKev = *effectiveEnergy;
    s.quarterValueLayerCm = *quarter;
    s.qualityIndex = qualityIndex;
    results.setResultText(ResultField::Hvl1MmAl, formatNumber(10 * s.hvl1Cm, "#0.000"));
    results.setResultText(ResultField::QuarterValueLayerMmAl, formatNumber(10 * s.quarterValueLayerCm, "#0.000"));
    results.setResultText(ResultField::EffectiveEnergyKev, formatNumber(s.effectiveEnergyKev, "#00.00"));
    results.setResultText(ResultField::QualityIndex, formatNumber(s.qualityIndex, "#0.000"));
    return {};
}

Status computeSpectrumAndBeamQuality(CalculationState& s, ResultFields& results, const RunOptions& options) {
    return spectrumAndBeamQuality(s, results, [&](const std::vector<std::string>& lines) -> Status {
        if (!options.listingFolder)
            return {};
        return writeListing(*options.listingFolder, lines);
    });
}

Status detail::writeListing(const std::filesystem::path& workFolder, const std::vector<std::string>& lines) {
    // The listing is a scratch file rewritten by every run: it is replaced atomically, but the run
    // does not wait for the disk (that wait alone would cost more than the whole calculation).
    if (auto e = textio::writeTextLines(textio::fileInFolder(workFolder, "Beam_data.dat"), lines,
                                        textio::Durability::Unsynced);
        !e.ok())
        return stop(ErrorCode::SpectrumNotWritten, {e.message()});
    return {};
}

} // namespace tamso::engine
