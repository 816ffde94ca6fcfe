#pragma once
// The organ doses as the screens get them, from the working folder's organ-dose table and the site's
// default weight (SiteData::organDoseData), and the texts that show an effective dose with its
// uncertainty and where its weight came from.

#include "engine/calculationstate.h"
#include "engine/organdose.h"
#include "refdata/organdosefile.h"
#include "textio/expected.h"
#include "ui/kit/sitedata.h"

#include <QString>

#include <optional>

namespace tamso::ui {

// The organ doses of the exposure left in the state by the last run (engine::organDosesForBodyPart),
// the weight where the user gave one, else the site's default. Refused with the reason.
Expected<engine::OrganDoseResult> organDosesOfRun(const engine::CalculationState& state, SiteData& site,
                                                  const QString& bodyPart, std::optional<double> weightKg);

// "12.3 ± 4.6 μSv (k=2)", with "（体重 3 kg は既定値）" where the site's default weight stood in.
QString effectiveDoseShown(const engine::OrganDoseResult& result);
// "計算できません（reason）" for an effective dose that cannot be computed.
QString effectiveDoseUnavailable(const QString& reason);
// The weight's part of the text alone: "体重 3 kg（既定値）" or "体重 2.4 kg".
QString weightShown(const engine::OrganDoseResult& result);

} // namespace tamso::ui
