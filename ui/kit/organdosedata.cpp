#include "ui/kit/organdosedata.h"

#include "textio/numbertext.h"
#include "textio/quantitytext.h"
#include "ui/kit/uiutil.h"

#include <QCoreApplication>

namespace tamso::ui {

Expected<engine::OrganDoseResult> organDosesOfRun(const engine::CalculationState& state, SiteData& site,
                                                  const QString& bodyPart, std::optional<double> weightKg) {
    auto data = site.organDoseData();
    if (!data.ok())
        return data.error();
    if (!weightKg && !(*data)->defaultWeightKg && !(*data)->defaultWeightProblem.empty())
        return Error(ErrorCode::WeightMissingNoDefault, {(*data)->defaultWeightProblem});
    return engine::organDosesForBodyPart((*data)->table, state, utf8(bodyPart), weightKg,
                                         (*data)->defaultWeightKg);
}

QString weightShown(const engine::OrganDoseResult& result) {
    const QString kg = qs(textio::numberToText(result.weightKg));
    return result.weightAssumed ? QCoreApplication::translate("OrganDoses", "体重 %1 kg（既定値）").arg(kg)
                                : QCoreApplication::translate("OrganDoses", "体重 %1 kg").arg(kg);
}

QString effectiveDoseShown(const engine::OrganDoseResult& result) {
    QString text = qs(textio::effectiveDoseWithUncertaintyText(result.effectiveDoseUSv, result.effectiveDoseUUSv));
    if (result.weightAssumed)
        text += QCoreApplication::translate("OrganDoses", "（体重 %1 kg は既定値）")
                    .arg(qs(textio::numberToText(result.weightKg)));
    return text;
}

QString effectiveDoseUnavailable(const QString& reason) {
    return QCoreApplication::translate("OrganDoses", "計算できません（%1）").arg(reason);
}

} // namespace tamso::ui
