#pragma once
// How the program shows its quantities, the same on every screen, on the report, in tamso-calc and
// in every export: one precision per quantity.
//
//   dose (mGy; a caregiver dose in μSv)   three decimals: "0.060", "12.346"
//   reference level (mGy)                three decimals, more where the level has more significant
//                                        digits: "0.200", "0.0547" (a level is shown as it is)
//   dose compared with a level           to the finer of its three decimals and the level's:
//                                        "0.0547" against 0.0547, "0.200" against 0.2
//   expanded uncertainty (mGy, k = 2)    two significant figures: "0.046", "0.0087", "0.12", "120"
//   dose with its uncertainty            the dose to the last decimal of the uncertainty where that
//                                        is finer than three: "0.203 ± 0.046 mGy (k=2)",
//                                        "0.0412 ± 0.0087 mGy (k=2)"
//   effective dose (μSv)                 one decimal: "12.3", "0.4"
//   effective dose with its uncertainty  the uncertainty to two significant figures, the dose to its
//                                        last decimal (at least whole μSv): "12.3 ± 4.6 μSv (k=2)",
//                                        "0.41 ± 0.17 μSv (k=2)", "123 ± 45 μSv (k=2)"
//   organ dose (μGy)                     two decimals: "41.27", "0.03"
//   dose / level                         two decimals, more where two would not show a dose above
//                                        its level as above 1: "1.02", "1.002"
// Rounding is that of formatNumber (numberformat.h): decimal, half away from zero.

#include <string>

namespace tamso::textio {

std::string doseText(double mGy);
std::string levelText(double mGy);
// A computed dose (the audit's median) where it is compared with a level: to the finer of its own
// three decimals and the level's decimals ("0.0547" against 0.0547), so that a dose equal to its
// level never shows, or counts, as above it.
std::string doseTextAgainstLevel(double doseMGy, double levelMGy);
// "0.000" for zero (or anything not above zero).
std::string expandedUncertaintyText(double expandedMGy);
std::string doseWithUncertaintyText(double doseMGy, double expandedMGy);
// The dose alone as it stands beside its uncertainty ("0.0412" beside "0.0087").
std::string doseBesideUncertaintyText(double doseMGy, double expandedMGy);
std::string effectiveDoseText(double uSv);
std::string organDoseText(double uGy);
std::string effectiveDoseWithUncertaintyText(double uSv, double expandedUSv);
// The ratio of a dose to its level; `above` is whether the dose as shown is above the level as
// shown, which the text then shows as more than 1 (and otherwise at most 1, as the ratio is).
std::string ratioText(double ratio, bool above);

} // namespace tamso::textio
