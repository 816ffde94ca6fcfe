#pragma once
// Materials and photon cross-sections from xraylib, tabulated once so that the Monte Carlo never
// calls the library inside its loops.

#include <string>
#include <vector>

namespace tamso::refgen {

constexpr double kAvogadro = 6.02214076e23;                // 1/mol
constexpr double kClassicalElectronRadius2 = 7.940787e-26; // r_e^2, cm^2
constexpr double kElectronRestKeV = 510.99895;
constexpr double kHcKeVAngstrom = 12.398419843; // hc, keV * Angstrom

struct Element {
    int z = 0;
    double massFraction = 0;
};

struct Material {
    std::string name;
    double densityGcm3 = 0;
    std::vector<Element> elements;
};

// A material from a chemical formula by atom counts, e.g. {{1, 2}, {8, 1}} for water.
Material materialFromFormula(const std::string& name, double density,
                             const std::vector<std::pair<int, double>>& atomCounts);
Material waterMaterial(); // H2O, 1.00 g/cm3
Material pmmaMaterial();  // C5H8O2, 1.19 g/cm3
Material elementMaterial(const std::string& name, int z, double density);

// xraylib's total mass attenuation coefficient (coherent included), mixture rule, cm^2/g.
double totalMassAttenuation(const Material& m, double energyKeV);

// Linear coefficients (1/cm) of the three processes on a fine logarithmic energy grid, and the
// momentum-transfer functions needed to sample and to evaluate the scattering angle.
// Momentum transfer q = sin(theta/2) / lambda in 1/Angstrom, as xraylib uses it.
class Medium {
public:
    Medium(const Material& material, double eMinKeV, double eMaxKeV, int energyPoints = 3000,
           int qPoints = 6000);

    struct Coefficients {
        double photo, incoherent, coherent, total;
    };
    Coefficients coefficients(double energyKeV) const;
    double totalLinear(double energyKeV) const { return coefficients(energyKeV).total; }

    // Differential linear coefficients (1/cm/sr) for scattering by the angle with cosine cosTheta:
    // Thomson times the squared form factor, Klein-Nishina times the incoherent scattering
    // function (mixture rule over the elements).
    double coherentPerSr(double energyKeV, double cosTheta) const;
    double incoherentPerSr(double energyKeV, double cosTheta) const;

    // Cosine of a coherent scattering angle: q^2 from the squared form factor by table inversion,
    // accepted with the Thomson factor (1 + cos^2)/2. u() gives uniform numbers in [0, 1).
    template <class Uniform> double sampleCoherent(double energyKeV, Uniform&& u) const;
    // Cosine and energy ratio E'/E of an incoherent scattering: Klein-Nishina (Geant4-style
    // two-branch sampling), accepted with S(q) / S(infinity).
    template <class Uniform>
    double sampleIncoherent(double energyKeV, Uniform&& u, double& energyRatio) const;

    const Material& material() const { return material_; }
    double formFactorSquared(double q) const;  // per gram, sum of w_Z / A_Z * F_Z(q)^2
    double scatteringFunction(double q) const; // per gram, sum of w_Z / A_Z * S_Z(q)

private:
    double tableAt(const std::vector<double>& logValues, double energyKeV) const;
    double qTableAt(const std::vector<double>& values, double q) const;
    double inverseCoherentCumulative(double target) const;

    Material material_;
    double lnEMin_ = 0, dLnE_ = 0;
    int nE_ = 0;
    std::vector<double> lnPhoto_, lnIncoh_, lnCoh_;
    double qMax_ = 0, dq_ = 0;
    std::vector<double> f2_, s_, cumF2_; // cumF2_ = integral of f2 over q^2 from 0
    double sMax_ = 0;                    // sum of w_Z * Z / A_Z
    double density_ = 0;
};

} // namespace tamso::refgen

#include "tools/refdata/materials_sampling.inl"
