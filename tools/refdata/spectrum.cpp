#include "tools/refdata/spectrum.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace tamso::refgen {

std::vector<double> targetSpectrum(double v, double angleDeg, const std::vector<double>& muW) {
    std::vector<double> out(kBins + 1, 0.0);
    const double pi = 3.14159; // the program's rounded value
    const double k = 1.0 / std::sin(pi * angleDeg / 180.0);
    const double t0 = v * std::sin(pi * 90.0 / 180.0);
    const double c =
        141766 + 12157 * t0 - 111.046 * t0 * t0 + 0.552536 * t0 * t0 * t0 - 0.000970158 * t0 * t0 * t0 * t0;
    const int bT = std::min(kBins, int(std::floor(2.0 * t0)));
    for (int i = 2; i <= bT; ++i) {
        const double e = 0.5 * i;
        double sum = 0;
        for (double t = e; t <= t0; t += 0.5) {
            const double u = e / t;
            const double q = (0.03658 + 0.000029 * e) *
                             (1 - 5.049 * u + 10.847 * u * u - 10.516 * u * u * u + 3.842 * u * u * u * u);
            const double s = 1036.1 * std::exp(-0.04695 * t) + 202.41;
            const double x = (t0 * t0 - t * t) / (19.3 * c) * k;
            sum += q * (1 + 511 / t) / s * std::exp(-muW[i] * x);
        }
        out[i] = sum;
    }
    if (t0 > 70) {
        const double r = (std::sqrt(8.79856 * t0 - 595.149) - 4.55528) / 4.39928;
        double b = 0;
        for (int i = 2; i <= bT; ++i)
            b += out[i];
        const double kl = 0.01 * r * b;
        out[119] += 0.5048 * kl;
        out[116] += 0.2908 * kl;
        out[134] += 0.162 * kl;
        out[138] += 0.0424 * kl;
    }
    return out;
}

std::vector<double> filteredPhotonSpectrum(double v, double angleDeg, double filterAlCm,
                                           const CoefficientTables& t) {
    std::vector<double> p = targetSpectrum(v, angleDeg, t.muW);
    for (int i = 2; i <= kBins; ++i)
        p[i] *= std::exp(-filterAlCm * t.muAl[i]) / (0.5 * i);
    p[0] = p[1] = 0;
    return p;
}

double halfValueLayerMmAl(const std::vector<double>& photons, const CoefficientTables& t) {
    const auto kerma = [&](double alCm) {
        double k = 0;
        for (int i = 2; i <= kBins; ++i)
            k += photons[i] * 0.5 * i * t.muEnAir[i] * std::exp(-alCm * t.muAl[i]);
        return k;
    };
    const double k0 = kerma(0);
    double lo = 0, hi = 5.0; // cm
    for (int it = 0; it < 100; ++it) {
        const double mid = 0.5 * (lo + hi);
        (kerma(mid) > 0.5 * k0 ? lo : hi) = mid;
    }
    return 10.0 * 0.5 * (lo + hi);
}

double rectangleFieldBsf(const std::array<double, 300>& rings, double longCm, double shortCm) {
    const double H = 1.570795; // a quarter turn as the program writes it
    double l = std::max(longCm, shortCm), w = std::min(longCm, shortCm);
    l = std::clamp(l, 1.0, 40.0);
    w = std::clamp(w, 1.0, 40.0);
    const double a = l / 2, b = w / 2;
    const int nb = int(std::floor(10 * b)), na = int(std::floor(10 * a));
    const int nc = std::min(300, int(std::floor(10 * std::sqrt(a * a + b * b))));
    double sum = 0;
    for (int j = 1; j <= nb; ++j)
        sum += rings[j - 1];
    for (int j = nb + 1; j <= na; ++j) {
        const double r = 0.1 * j - 0.05;
        if (r * r - b * b >= 0)
            sum += (H - std::atan(std::sqrt(r * r - b * b) / b)) / H * rings[j - 1];
    }
    for (int j = na + 1; j <= nc; ++j) {
        const double r = 0.1 * j - 0.05;
        if (r * r - b * b >= 0 && r * r - a * a >= 0) {
            const double f =
                (H - std::atan(std::sqrt(r * r - b * b) / b) - std::atan(std::sqrt(r * r - a * a) / a)) / H;
            sum += f * rings[j - 1];
        }
    }
    return 1 + sum;
}

double circleFieldBsf(const std::array<double, 300>& rings, double diameterCm) {
    const int n = std::min(300, int(std::floor(10 * diameterCm / 2 + 1e-9)));
    double sum = 0;
    for (int j = 0; j < n; ++j)
        sum += rings[j];
    return 1 + sum;
}

std::array<double, 32> bsfColumnEnergies() {
    std::array<double, 32> e{};
    for (int k = 2; k <= 31; ++k)
        e[k] = 5.0 * (k - 1);
    e[1] = 1.0;
    return e;
}

double spectrumWeightedBsf(const std::vector<double>& photons, const CoefficientTables& t,
                           const std::array<double, 32>& field, double v) {
    const std::array<double, 32> ek = bsfColumnEnergies();
    const int n = std::min(kBins, int(std::floor(2 * v)));
    double s = 0;
    std::vector<double> w(kBins + 1, 0.0);
    for (int i = 2; i <= n; ++i) {
        w[i] = t.muEnTissue[i] * 0.5 * i * photons[i];
        s += w[i];
    }
    if (s <= 0)
        throw std::invalid_argument("spectrumWeightedBsf: empty spectrum");
    double bsf = 0;
    for (int i = 2; i <= n; ++i) {
        if (w[i] <= 0)
            continue;
        const double e = 0.5 * i;
        int m = 2;
        while (m < 31 && e >= ek[m])
            ++m;
        const double b = field[m] - (field[m] - field[m - 1]) * (ek[m] - e) / (ek[m] - ek[m - 1]);
        bsf += b * w[i] / s;
    }
    return bsf;
}

} // namespace tamso::refgen
