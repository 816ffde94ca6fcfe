// The calculation run: the input fields into the state, the two derived distances, then the
// three dose routines in order. Everything that can be checked before the first routine is
// checked first; the routines then work on a copy of the state, and their results, the spectrum
// listing included (where the caller asks for it), reach the state, the folder and the result
// fields only when all three have succeeded, so a refused run changes no result.

#include "engine/calculation.h"
#include "engine/conditionlimits.h"
#include "engine/enginedetail.h"
#include "engine/uncertainty.h"
#include "textio/numbertext.h"
#include "textio/quantitytext.h"

#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

namespace tamso::engine {

using namespace detail;

namespace {

// Collects the texts the routines write, reading through to the screen's fields for the rest.
class PendingResults : public ResultFields {
public:
    explicit PendingResults(const ResultFields& screen) : screen_(screen) {}
    void setResultText(ResultField field, const std::string& utf8Text) override {
        writes_.emplace_back(field, utf8Text);
    }
    std::string resultText(ResultField field) const override {
        for (auto it = writes_.rbegin(); it != writes_.rend(); ++it)
            if (it->first == field)
                return it->second;
        return screen_.resultText(field);
    }
    void commitTo(ResultFields& screen) const {
        for (const auto& [field, text] : writes_)
            screen.setResultText(field, text);
    }

private:
    const ResultFields& screen_;
    std::vector<std::pair<ResultField, std::string>> writes_;
};

// A distance as a message shows it: six significant digits (10.0001, 0.0001, 1e+300).
std::string centimetres(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g cm", value);
    return text;
}

} // namespace

Status checkGeometry(double ffdCm, double thicknessCm, double focusHoodCm) {
    if (!(ffdCm > 0))
        return stop(ErrorCode::FfdNotPositive);
    const double focusSkinCm = ffdCm - thicknessCm;
    if (!(focusSkinCm >= kMinFocusSkinDistanceCm))
        return stop(ErrorCode::FocusSkinTooShort, {centimetres(focusSkinCm), centimetres(ffdCm), centimetres(thicknessCm),
                                            centimetres(kMinFocusSkinDistanceCm)});
    if (!(focusHoodCm > 0 && focusHoodCm < focusSkinCm))
        return stop(ErrorCode::FocusHoodOutside,
                    {centimetres(focusHoodCm), centimetres(focusSkinCm), centimetres(ffdCm), centimetres(thicknessCm)});
    return {};
}

ConditionTexts defaultConditions(const CalculationState& state) {
    ConditionTexts conditions;
    conditions.targetAngleDeg = textio::numberToText(state.targetAngleDeg);
    conditions.inherentFilterAlMm = textio::numberToText(state.defaultInherentFilterAlMm);
    return conditions;
}

RunOptions listingInto(const std::filesystem::path& folder) {
    RunOptions options;
    options.listingFolder = folder;
    return options;
}

Status runCalculation(CalculationState& state, const ConditionTexts& fields, ResultFields& results,
                      const RunOptions& options) {
    // Every condition must be a number within its plausible range before anything is computed; the
    // text-to-number rule then reads each.
    if (auto bad = checkConditionTexts(fields); !bad.ok())
        return bad;
    auto value = [](const std::string& text) { return textio::textToNumber(text); };
    state.targetAngleDeg = value(fields.targetAngleDeg);
    state.inherentFilterAlCm = value(fields.inherentFilterAlMm) * 0.1;
    state.addedFilterAlCm = value(fields.addedFilterAlMm) * 0.1;
    state.addedFilterCuCm = value(fields.addedFilterCuMm) * 0.1;
    state.tubeVoltageKv = value(fields.tubeVoltageKv);
    state.mAs = value(fields.mAs);
    state.ffdCm = value(fields.ffdCm);
    state.subjectThicknessCm = value(fields.subjectThicknessCm);
    state.focusSkinDistanceCm = state.ffdCm - state.subjectThicknessCm;
    const double focusHoodCm = value(fields.focusHoodDistanceCm);
    state.hoodSkinDistanceCm = state.focusSkinDistanceCm - focusHoodCm;
    state.fieldLongCm = value(fields.fieldLongCm);
    state.fieldShortCm = value(fields.fieldShortCm);
    if (auto e = checkGeometry(state.ffdCm, state.subjectThicknessCm, focusHoodCm); !e.ok())
        return e;
    if (auto e = checkSpectrumConditions(state); !e.ok())
        return e;
    if (auto e = checkTubeOutputConditions(state); !e.ok())
        return e;
    if (auto e = checkEntranceDoseConditions(state); !e.ok())
        return e;

    auto scratch = std::make_unique<CalculationState>(state);
    PendingResults pending(results);
    std::vector<std::string> listing;
    auto keepListing = [&](const std::vector<std::string>& lines) -> Status {
        listing = lines;
        return {};
    };
    if (auto e = spectrumAndBeamQuality(*scratch, pending, keepListing); !e.ok())
        return e;
    if (auto e = computeExposureAt1m(*scratch, pending); !e.ok())
        return e;
    if (auto e = computeEntranceSurfaceDose(*scratch, pending); !e.ok())
        return e;
    scratch->entranceSurfaceDoseUncertaintyMGy = doseUncertainty(*scratch).expandedMGy;
    pending.setResultText(ResultField::EntranceSurfaceDoseUncertaintyMGy,
                          textio::expandedUncertaintyText(scratch->entranceSurfaceDoseUncertaintyMGy));
    if (options.listingFolder)
        if (auto e = writeListing(*options.listingFolder, listing); !e.ok())
            return e;
    state = *scratch;
    pending.commitTo(results);
    return {};
}

} // namespace tamso::engine
