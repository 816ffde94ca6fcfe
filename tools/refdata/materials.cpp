#include "tools/refdata/materials.h"

#include <xraylib.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace tamso::refgen {

namespace {

// Calls an xraylib function and turns its error report into an exception.
template <class F> double checked(const char* what, F&& f) {
    xrl_error* error = nullptr;
    const double v = f(&error);
    if (error) {
        std::string message = std::string(what) + ": " + error->message;
        xrl_error_free(error);
        throw std::runtime_error(message);
    }
    return v;
}

double atomicWeight(int z) {
    return checked("AtomicWeight", [&](xrl_error** e) { return AtomicWeight(z, e); });
}

} // namespace

Material materialFromFormula(const std::string& name, double density,
                             const std::vector<std::pair<int, double>>& atomCounts) {
    Material m{name, density, {}};
    double total = 0;
    for (const auto& [z, n] : atomCounts)
        total += n * atomicWeight(z);
    for (const auto& [z, n] : atomCounts)
        m.elements.push_back({z, n * atomicWeight(z) / total});
    return m;
}

Material waterMaterial() {
    return materialFromFormula("water", 1.00, {{1, 2}, {8, 1}});
}
Material pmmaMaterial() {
    return materialFromFormula("PMMA", 1.19, {{6, 5}, {1, 8}, {8, 2}});
}
Material elementMaterial(const std::string& name, int z, double density) {
    return Material{name, density, {{z, 1.0}}};
}

double totalMassAttenuation(const Material& m, double energyKeV) {
    double sum = 0;
    for (const auto& el : m.elements)
        sum += el.massFraction *
               checked("CS_Total", [&](xrl_error** e) { return CS_Total(el.z, energyKeV, e); });
    return sum;
}

Medium::Medium(const Material& material, double eMinKeV, double eMaxKeV, int energyPoints, int qPoints)
    : material_(material), density_(material.densityGcm3) {
    nE_ = energyPoints;
    lnEMin_ = std::log(eMinKeV);
    dLnE_ = (std::log(eMaxKeV) - lnEMin_) / (nE_ - 1);
    for (int i = 0; i < nE_; ++i) {
        const double e = std::exp(lnEMin_ + i * dLnE_);
        double photo = 0, incoh = 0, coh = 0;
        for (const auto& el : material_.elements) {
            photo +=
                el.massFraction * checked("CS_Photo", [&](xrl_error** x) { return CS_Photo(el.z, e, x); });
            incoh +=
                el.massFraction * checked("CS_Compt", [&](xrl_error** x) { return CS_Compt(el.z, e, x); });
            coh += el.massFraction * checked("CS_Rayl", [&](xrl_error** x) { return CS_Rayl(el.z, e, x); });
        }
        lnPhoto_.push_back(std::log(photo * density_));
        lnIncoh_.push_back(std::log(incoh * density_));
        lnCoh_.push_back(std::log(coh * density_));
    }

    qMax_ = 1.02 * eMaxKeV / kHcKeVAngstrom;
    dq_ = qMax_ / (qPoints - 1);
    f2_.assign(qPoints, 0.0);
    s_.assign(qPoints, 0.0);
    for (const auto& el : material_.elements) {
        const double perGram = el.massFraction / atomicWeight(el.z);
        sMax_ += perGram * el.z;
        for (int j = 0; j < qPoints; ++j) {
            const double q = j * dq_;
            const double f =
                q == 0.0 ? el.z : checked("FF_Rayl", [&](xrl_error** x) { return FF_Rayl(el.z, q, x); });
            const double s =
                q == 0.0 ? 0.0 : checked("SF_Compt", [&](xrl_error** x) { return SF_Compt(el.z, q, x); });
            f2_[j] += perGram * f * f;
            s_[j] += perGram * s;
        }
    }
    // Cumulative integral of f2 over x = q^2 (trapezoid in x between grid nodes).
    cumF2_.assign(qPoints, 0.0);
    for (int j = 1; j < qPoints; ++j) {
        const double x0 = (j - 1) * dq_ * (j - 1) * dq_, x1 = j * dq_ * j * dq_;
        cumF2_[j] = cumF2_[j - 1] + 0.5 * (f2_[j - 1] + f2_[j]) * (x1 - x0);
    }
}

double Medium::tableAt(const std::vector<double>& logValues, double energyKeV) const {
    double t = (std::log(energyKeV) - lnEMin_) / dLnE_;
    t = std::clamp(t, 0.0, double(nE_ - 1) - 1e-9);
    const int i = int(t);
    const double f = t - i;
    return std::exp(logValues[i] + f * (logValues[i + 1] - logValues[i]));
}

double Medium::qTableAt(const std::vector<double>& values, double q) const {
    double t = q / dq_;
    const int last = int(values.size()) - 1;
    t = std::clamp(t, 0.0, double(last) - 1e-9);
    const int j = int(t);
    const double f = t - j;
    return values[j] + f * (values[j + 1] - values[j]);
}

double Medium::inverseCoherentCumulative(double target) const {
    const auto it = std::upper_bound(cumF2_.begin(), cumF2_.end(), target);
    size_t j = size_t(it - cumF2_.begin());
    if (j == 0)
        return 0.0;
    if (j >= cumF2_.size())
        j = cumF2_.size() - 1;
    const double c0 = cumF2_[j - 1], c1 = cumF2_[j];
    const double x0 = (j - 1) * dq_ * (j - 1) * dq_, x1 = j * dq_ * j * dq_;
    const double f = c1 > c0 ? (target - c0) / (c1 - c0) : 0.0;
    return x0 + f * (x1 - x0);
}

Medium::Coefficients Medium::coefficients(double energyKeV) const {
    Coefficients c{tableAt(lnPhoto_, energyKeV), tableAt(lnIncoh_, energyKeV), tableAt(lnCoh_, energyKeV),
                   0.0};
    c.total = c.photo + c.incoherent + c.coherent;
    return c;
}

double Medium::formFactorSquared(double q) const {
    return qTableAt(f2_, q);
}
double Medium::scatteringFunction(double q) const {
    return qTableAt(s_, q);
}

double Medium::coherentPerSr(double energyKeV, double cosTheta) const {
    const double q = energyKeV / kHcKeVAngstrom * std::sqrt(std::max(0.0, 0.5 * (1.0 - cosTheta)));
    return density_ * kAvogadro * kClassicalElectronRadius2 * 0.5 * (1.0 + cosTheta * cosTheta) *
           formFactorSquared(q);
}

double Medium::incoherentPerSr(double energyKeV, double cosTheta) const {
    const double k = energyKeV / kElectronRestKeV;
    const double ratio = 1.0 / (1.0 + k * (1.0 - cosTheta)); // E'/E
    const double sin2 = 1.0 - cosTheta * cosTheta;
    const double q = energyKeV / kHcKeVAngstrom * std::sqrt(std::max(0.0, 0.5 * (1.0 - cosTheta)));
    return density_ * kAvogadro * kClassicalElectronRadius2 * 0.5 * ratio * ratio *
           (ratio + 1.0 / ratio - sin2) * scatteringFunction(q);
}

} // namespace tamso::refgen
