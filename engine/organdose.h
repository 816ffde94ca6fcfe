#pragma once
// Organ doses and the effective dose of one exposure, from the organ-dose table of the working
// folder (our own Monte Carlo on a stylised newborn phantom, see data/README.md "Organ doses and
// effective dose"). No Monte Carlo at run time: the table holds, for each projection, phantom
// weight and photon energy, the organ doses per incident air kerma of every 2 cm tile of the
// entrance plane; an exposure sums the tiles its field covers, folds the energies with the run's
// photon spectrum, interpolates the weight and corrects the parallel-beam doses for the focus-skin
// distance by the inverse-square law at each organ's depth.
//
// Call after a successful calculation run (runCalculation): the state then holds the photon
// spectrum, the backscatter and conversion factors and the entrance surface dose of the exposure.

#include "engine/calculationstate.h"
#include "textio/expected.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace tamso::engine {

constexpr int kOrganCount = 28;
enum Organ {
    Brain, EyeLens, Thyroid, SalivaryGlands, OralNasal, Oesophagus, Thymus, Lungs, Heart, Breasts, Liver,
    GallBladder, Stomach, Spleen, Pancreas, Adrenals, Kidneys, SmallIntestine, Colon, UrinaryBladder, Testes,
    Ovaries, Uterus, Prostate, Skin, Muscle, RedMarrow, BoneSurface
};
struct OrganInfo {
    const char* key;    // as tamso-calc prints it: organ_dose_ugy_<key>
    const char* nameJa; // as the screens show it
};
const OrganInfo& organInfo(int organ);
using OrganDoses = std::array<double, kOrganCount>;

// Effective dose from organ doses (same unit): ICRP 103 tissue weighting factors, the remainder as
// the arithmetic mean of its 13 tissues per sex (lymph nodes taken as muscle, extrathoracic region
// and oral mucosa as the oral and nasal region), male and female averaged.
double effectiveDoseIcrp103(const OrganDoses& doses);
// ICRP 60 weighting factors (gonads 0.20 as the mean of testes and ovaries; remainder 0.05 with
// the splitting rule), for comparisons with published values.
double effectiveDoseIcrp60(const OrganDoses& doses);

// Where the field lies on the infant and from which side the beam comes.
enum class BodyRegion { Chest, Abdomen, ChestAbdomen, Head };
enum class Projection { Frontal, Lateral };
struct BodyPartGeometry {
    BodyRegion region = BodyRegion::Chest;
    Projection projection = Projection::Frontal;
};
// The geometry of a body part by its name in the body-part list: 胸腹 chest and abdomen, else 胸
// chest, 腹 abdomen, 頭 head; 側 lateral, otherwise frontal. Nothing for a name that names none.
std::optional<BodyPartGeometry> bodyPartGeometry(const std::string& bodyPartName);

// The table as read from the working folder (refdata/organdosefile.h reads it).
struct OrganDoseTable {
    std::vector<double> weightsKg;   // phantom weights, ascending
    std::vector<double> energiesKeV; // ascending
    struct Plane {
        int nu = 0, nz = 0;
        double u0 = 0, z0 = 0, tileCm = 0; // reference cm (3.5 kg)
    } planes[2];                           // [Projection]
    struct Part {
        double zCentre = 0;        // field centre along the body (reference cm)
        double uCentre[2] = {0, 0}; // field centre across it, per projection
        double skin[2] = {0, 0};    // entrance skin coordinate along the beam, per projection
    } parts[4];                     // [BodyRegion]
    std::array<double, kOrganCount> depthCoordinate[2]{}; // organ's mean position along the beam
    std::vector<double> values; // [projection][weight][energy][tile][organ]
    size_t offset(int projection, int weight, int energy, int tile) const;
};

// The plausible weight of an infant (kg): 0.3 to 6 kg; the phantom is sized 0.5 to 4 kg and an
// infant outside that range is computed at the nearest size, with a larger uncertainty.
constexpr double kMinWeightKg = 0.3, kMaxWeightKg = 6.0;
Status checkWeightKg(double weightKg);

struct OrganDoseResult {
    OrganDoses doseUGy{};            // absorbed dose per organ, μGy
    double effectiveDoseUSv = 0;      // ICRP 103, μSv
    double effectiveDoseUUSv = 0;     // its expanded uncertainty (k = 2), μSv
    double effectiveDoseIcrp60USv = 0;
    double incidentAirKermaMGy = 0;   // at the skin, without backscatter
    double weightKg = 0;
    bool weightAssumed = false;       // the site's default weight stood in for the infant's
};

struct OrganDoseUncertaintyComponent {
    const char* name;
    double relativeStandard;
};
// The budget of the effective dose (relative standard uncertainties, k = 1) for the exposure; the
// entrance surface dose's own budget is one of its components.
std::vector<OrganDoseUncertaintyComponent> effectiveDoseBudget(const OrganDoseTable& table,
                                                               const CalculationState& state,
                                                               BodyPartGeometry part, double weightKg,
                                                               bool weightAssumed);

// Organ doses and effective dose of the exposure left in the state by a successful run.
Expected<OrganDoseResult> computeOrganDoses(const OrganDoseTable& table, const CalculationState& state,
                                            BodyPartGeometry part, double weightKg, bool weightAssumed);

// The one way every caller (screen, tamso-calc, DICOM, node, history) gets the organ doses of an
// exposure: the body part by its name (bodyPartGeometry), the infant's weight where known, else the
// site's default weight (then marked as assumed). Refused, with the reason, where the body part
// names no region, no weight is known or the weight lies outside the plausible range.
Expected<OrganDoseResult> organDosesForBodyPart(const OrganDoseTable& table, const CalculationState& state,
                                                const std::string& bodyPartName, std::optional<double> weightKg,
                                                std::optional<double> defaultWeightKg);

// Organ doses per incident air kerma (Gy/Gy) for a field on the infant, without the state: the
// spectrum as relative air kerma per table energy (sums to 1), sides at the skin (cm, the long one
// along the body), the focus-skin distance and a shift of the field centre along the body (cm).
OrganDoses organDosesPerKerma(const OrganDoseTable& table, const std::vector<double>& kermaPerEnergy,
                              BodyPartGeometry part, double weightKg, double longCm, double shortCm,
                              double focusSkinCm, double shiftCm = 0);

// The run's spectrum as relative air kerma per table energy (linear in ln E between the energies).
std::vector<double> kermaWeightsOfRun(const OrganDoseTable& table, const CalculationState& state);

} // namespace tamso::engine
