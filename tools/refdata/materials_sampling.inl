// Sampling templates of tamso::refgen::Medium (included by materials.h).
#pragma once

#include <algorithm>
#include <cmath>

namespace tamso::refgen {

template <class Uniform> double Medium::sampleCoherent(double energyKeV, Uniform&& u) const
{
    const double qm = energyKeV / kHcKeVAngstrom; // q at theta = pi
    const double qm2 = qm * qm;
    const double cumMax = qTableAt(cumF2_, qm);
    for (;;) {
        const double x = inverseCoherentCumulative(u() * cumMax); // q^2
        const double cosT = std::clamp(1.0 - 2.0 * x / qm2, -1.0, 1.0);
        if (2.0 * u() <= 1.0 + cosT * cosT)
            return cosT;
    }
}

template <class Uniform>
double Medium::sampleIncoherent(double energyKeV, Uniform&& u, double& energyRatio) const
{
    const double k = energyKeV / kElectronRestKeV;
    const double eps0 = 1.0 / (1.0 + 2.0 * k);
    const double eps0sq = eps0 * eps0;
    const double alpha1 = -std::log(eps0);
    const double alpha2 = alpha1 + 0.5 * (1.0 - eps0sq);
    const double qm = energyKeV / kHcKeVAngstrom;
    for (;;) {
        double eps, epssq;
        if (alpha1 > alpha2 * u()) {
            eps = std::exp(-alpha1 * u());
            epssq = eps * eps;
        } else {
            epssq = eps0sq + (1.0 - eps0sq) * u();
            eps = std::sqrt(epssq);
        }
        const double oneMinusCos = (1.0 - eps) / (k * eps);
        const double sin2 = oneMinusCos * (2.0 - oneMinusCos);
        const double greject = 1.0 - eps * sin2 / (1.0 + epssq);
        if (u() > greject)
            continue;
        const double q = qm * std::sqrt(std::max(0.0, 0.5 * oneMinusCos));
        if (u() * sMax_ > scatteringFunction(q))
            continue;
        energyRatio = eps;
        return std::clamp(1.0 - oneMinusCos, -1.0, 1.0);
    }
}

} // namespace tamso::refgen
