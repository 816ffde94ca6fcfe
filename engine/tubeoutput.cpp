// The exposure at 1 m: the tube output data interpolated to the tube voltage and scaled by the
// mAs, or the measured value, carried through the real filtration and the hood/cover.

#include "engine/calculation.h"
#include "engine/enginedetail.h"
#include "textio/numberformat.h"
#include "textio/numbertext.h"

namespace tamso::engine {

using namespace detail;

namespace {

// The row k whose interval (k-1, k) holds the tube voltage: the first row from 2 on above it.
// A tube voltage equal to the last tabulated one stays in the last interval.
int outputRow(const CalculationState& s) {
    int k = 2;
    while (k < kTubeOutputRows && s.tubeVoltageKv >= s.TubeOutputTable[1][k])
        ++k;
    return k;
}

} // namespace

namespace detail {

Status checkTubeOutputConditions(const CalculationState& s) {
    if (s.exposureSource != 2)
        return {};
    if (!allFinite({s.tubeVoltageKv, s.mAs}))
        return stop(ErrorCode::ConditionsNotNumbers);
    const auto& V = s.TubeOutputTable[1];
    if (s.tubeVoltageKv > V[kTubeOutputRows])
        return stop(ErrorCode::VoltageAboveOutputTable, {textio::numberToText(V[kTubeOutputRows])});
    // Below the first row the exposure would be extrapolated, down to nothing or below.
    if (s.tubeVoltageKv < V[1])
        return stop(ErrorCode::VoltageBelowOutputTable, {textio::numberToText(V[1])});
    const int k = outputRow(s);
    if (!allFinite({V[k], V[k - 1], s.TubeOutputTable[2][k], s.TubeOutputTable[2][k - 1]}) || V[k] == V[k - 1])
        return stop(ErrorCode::OutputVoltagesEqual, {textio::numberToText(V[k - 1]), textio::numberToText(V[k])});
    return {};
}

} // namespace detail

Status computeExposureAt1m(CalculationState& s, ResultFields& results) {
    double exposure = 0;
    if (s.exposureSource == 2) {
        if (auto e = checkTubeOutputConditions(s); !e.ok())
            return e;
        const int k = outputRow(s);
        const auto& V = s.TubeOutputTable[1];
        const auto& Y = s.TubeOutputTable[2];
        // At the last tabulated voltage the interpolation ends on row 5 itself.
        const double y = s.tubeVoltageKv == V[k]
                             ? Y[k]
                             : Y[k - 1] + (Y[k] - Y[k - 1]) * (s.tubeVoltageKv - V[k - 1]) / (V[k] - V[k - 1]);
        exposure = s.mAs * (s.filterExposureRatio * y);
        if (!finite(exposure))
            return notANumber("焦点から 1 m の照射線量");
        if (exposure < 0)
            return negativeResult("焦点から 1 m の照射線量");
        s.exposureAt1mCkg = exposure;
        results.setResultText(ResultField::MeasuredExposureCkg, "");
    } else {
        // The measured value as shown in its field: it stands for the whole exposure.
        const textio::NumberReading measured =
            textio::readLeadingNumber(results.resultText(ResultField::MeasuredExposureCkg));
        if (measured.status == textio::NumberStatus::OutOfRange)
            return notANumber("実測値の照射線量");
        exposure = s.filterExposureRatio * measured.value;
        if (!finite(exposure))
            return notANumber("焦点から 1 m の照射線量");
        if (exposure < 0)
            return negativeResult("焦点から 1 m の照射線量");
        s.exposureAt1mCkg = exposure;
    }
    results.setResultText(ResultField::ExposureAt1mCkg, textio::formatNumber(s.exposureAt1mCkg, "0.00E+00"));
    return {};
}

} // namespace tamso::engine
