// The dose to the staff beside the incubator: the measured ambient dose equivalent per mAs,
// interpolated in focus-image receptor distance and tube voltage, times the mAs.

#include "engine/calculation.h"
#include "engine/enginedetail.h"
#include "textio/numberformat.h"

namespace tamso::engine {

using namespace detail;

Status computeCaregiverDose(const CalculationState& s, ResultFields& results) {
    if (!allFinite({s.tubeVoltageKv, s.ffdCm, s.mAs}))
        return stop(ErrorCode::ConditionsNotNumbers);
    const auto& T = s.AmbientDoseTable;
    const auto& key = T[0][0];
    for (int i = 1; i <= kAmbientRows; ++i) {
        bool rowFinite = finite(key[i]);
        for (int j = 1; j <= 2; ++j)
            for (int k = 1; k <= 3; ++k)
                rowFinite = rowFinite && finite(T[j][k][i]);
        if (!rowFinite || (i > 1 && !(key[i] > key[i - 1])))
            return stop(ErrorCode::AmbientDistancesNotAscending);
    }
    if (key[kAmbientRows] < 120)
        return stop(ErrorCode::AmbientTableTooShort);

    double V = s.tubeVoltageKv;
    if (V > 60)
        V = 60;
    if (V < 50)
        V = 50;
    double F = s.ffdCm;
    if (F > 120)
        F = 120;
    if (F < 70)
        F = 70;
    int i = 2;
    while (i < kAmbientRows && F > key[i])
        ++i;

    const ResultField fields[3] = {ResultField::CaregiverDose1USv, ResultField::CaregiverDose2USv, ResultField::CaregiverDose3USv};
    std::string texts[3];
    for (int k = 1; k <= 3; ++k) {
        double perMas[3] = {};
        for (int j = 1; j <= 2; ++j)
            perMas[j] = T[j][k][i] - (T[j][k][i] - T[j][k][i - 1]) * (key[i] - F) / (key[i] - key[i - 1]);
        const double D = perMas[1] + (perMas[2] - perMas[1]) * (V - 50) / 10;
        const double H = D * s.mAs;
        if (!finite(H))
            return notANumber("周辺線量");
        if (H < 0)
            return negativeResult("周辺線量");
        // Some mAs and still nothing: every table cell the estimate leans on is 0, a row or column
        // that was never measured (a table cut off, or fields left empty in the editor).
        if (H == 0 && s.mAs > 0)
            return stop(ErrorCode::AmbientValuesZero);
        texts[k - 1] = textio::formatNumber(H, "#0.000");
    }
    for (int k = 0; k < 3; ++k)
        results.setResultText(fields[k], texts[k]);
    return {};
}

} // namespace tamso::engine
