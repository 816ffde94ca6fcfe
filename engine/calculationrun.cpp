// The calculation run: the input fields into the state, the two derived distances, then the
// three dose routines in order. Everything that can be checked before the first routine is
// checked first; the routines then work on a copy of the state, and their results, the spectrum
// listing included, reach the state, the folder and the result fields only when all three have
// succeeded, so a refused run changes no result.

#include "engine/calculation.h"
#include "engine/enginedetail.h"
#include "textio/numbertext.h"

#include <memory>
#include <utility>
#include <vector>

namespace tamso {

using namespace engine_detail;

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

} // namespace

Status runCalculation(CalculationState& state, const ConditionTexts& fields, ResultFields& results,
                      const std::filesystem::path& workFolder) {
    using textio::textToNumber;
    state.targetAngleDeg = textToNumber(fields.text1);
    state.inherentFilterAlCm = textToNumber(fields.text2) * 0.1;
    state.addedFilterAlCm = textToNumber(fields.text3) * 0.1;
    state.addedFilterCuCm = textToNumber(fields.text4) * 0.1;
    state.tubeVoltageKv = textToNumber(fields.text5);
    state.mAs = textToNumber(fields.text6);
    state.ffdCm = textToNumber(fields.text8);
    state.subjectThicknessCm = textToNumber(fields.text23);
    state.focusSkinDistanceCm = state.ffdCm - state.subjectThicknessCm;
    state.hoodSkinDistanceCm = state.focusSkinDistanceCm - textToNumber(fields.text9);
    state.fieldLongCm = textToNumber(fields.text10);
    state.fieldShortCm = textToNumber(fields.text11);

    if (!allFinite({state.targetAngleDeg, state.inherentFilterAlCm, state.addedFilterAlCm, state.addedFilterCuCm,
                    state.tubeVoltageKv, state.mAs, state.ffdCm, state.subjectThicknessCm,
                    state.focusSkinDistanceCm, state.hoodSkinDistanceCm, state.fieldLongCm, state.fieldShortCm}))
        return stop("入力された条件に数値として扱えない値があります。");
    if (auto e = checkSpectrumConditions(state))
        return e;
    if (auto e = checkTubeOutputConditions(state))
        return e;
    if (auto e = checkEntranceDoseConditions(state))
        return e;

    auto scratch = std::make_unique<CalculationState>(state);
    PendingResults pending(results);
    std::vector<std::string> listing;
    auto keepListing = [&](const std::vector<std::string>& lines) -> Status {
        listing = lines;
        return std::nullopt;
    };
    if (auto e = spectrumAndBeamQuality(*scratch, pending, keepListing))
        return e;
    if (auto e = computeExposureAt1m(*scratch, pending))
        return e;
    if (auto e = computeEntranceSurfaceDose(*scratch, pending))
        return e;
    if (auto e = writeListing(workFolder, listing))
        return e;
    state = *scratch;
    pending.commitTo(results);
    return std::nullopt;
}

} // namespace tamso
