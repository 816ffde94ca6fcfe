// How doses, levels, expanded uncertainties and ratios are shown wherever the program shows them.

#include "textio/quantitytext.h"

#include <gtest/gtest.h>

#include <string>

using namespace tamso::textio;

// Two significant figures, also where the rounding carries into a new first digit; tens and more in
// whole figures; nothing finer than the value needs.
TEST(QuantityText, ExpandedUncertaintyHasTwoSignificantFigures) {
    const std::pair<double, const char*> cases[] = {
        {0.04594, "0.046"}, {0.0496, "0.050"},    {0.0183, "0.018"}, {0.0299, "0.030"}, {0.0996, "0.10"},
        {0.00995, "0.010"}, {0.00087, "0.00087"}, {0.12, "0.12"},    {0.96, "0.96"},    {0.996, "1.0"},
        {1.24, "1.2"},      {12.3, "12"},         {123, "120"},      {995, "1000"},     {0.001, "0.0010"},
        {0, "0.000"},       {-1, "0.000"}};
    for (const auto& [value, shown] : cases)
        EXPECT_EQ(expandedUncertaintyText(value), shown) << value;
}

// The dose takes the last decimal of its uncertainty where that is finer than its own three.
TEST(QuantityText, DoseWithUncertaintyEndsAtTheSameDecimal) {
    struct Case {
        double dose, expanded;
        const char* shown;
    };
    const Case cases[] = {
        {0.2034, 0.04594, "0.203 ± 0.046 mGy (k=2)"},    {0.04123, 0.00871, "0.0412 ± 0.0087 mGy (k=2)"},
        {0.003, 0.00069, "0.00300 ± 0.00069 mGy (k=2)"}, {1.5, 0.35, "1.500 ± 0.35 mGy (k=2)"},
        {0.0412, 0.00996, "0.041 ± 0.010 mGy (k=2)"},    {0.25, 0, "0.250 ± 0.000 mGy (k=2)"}};
    for (const Case& c : cases)
        EXPECT_EQ(doseWithUncertaintyText(c.dose, c.expanded), c.shown) << c.dose << " " << c.expanded;
}

// The effective dose ends at the last decimal of its two-figure uncertainty, never finer than whole μSv
// above ten.
TEST(QuantityText, EffectiveDoseEndsWithItsUncertainty) {
    struct Case {
        double dose, expanded;
        const char* shown;
    };
    const Case cases[] = {{12.34, 4.57, "12.3 ± 4.6 μSv (k=2)"},   {0.4123, 0.1749, "0.41 ± 0.17 μSv (k=2)"},
                          {123.4, 45.1, "123 ± 45 μSv (k=2)"},     {1234, 456, "1234 ± 460 μSv (k=2)"},
                          {9.96, 0.996, "10.0 ± 1.0 μSv (k=2)"},   {0.05, 0.0123, "0.050 ± 0.012 μSv (k=2)"}};
    for (const Case& c : cases)
        EXPECT_EQ(effectiveDoseWithUncertaintyText(c.dose, c.expanded), c.shown) << c.dose << " " << c.expanded;
    EXPECT_EQ(effectiveDoseText(12.36), "12.4");
}

// Doses with three decimals; levels with three, or all of their own digits.
TEST(QuantityText, DosesAndLevelsKeepOnePrecision) {
    EXPECT_EQ(doseText(0.06), "0.060");
    EXPECT_EQ(doseText(0.2004), "0.200");
    EXPECT_EQ(doseText(12.3456), "12.346");
    const std::pair<double, const char*> levels[] = {{0.2, "0.200"},       {0.08, "0.080"},
                                                     {0.0547, "0.0547"},   {1, "1.000"},
                                                     {0.1 + 0.2, "0.300"}, {0.00012, "0.00012"}};
    for (const auto& [level, shown] : levels)
        EXPECT_EQ(levelText(level), shown) << level;
}

// Above the level the ratio never shows 1.00 or less; at or below it never more than 1.00.
TEST(QuantityText, RatioShowsWhatTheVerdictSays) {
    struct Case {
        double ratio;
        bool above;
        const char* shown;
    };
    const Case cases[] = {{1.015, true, "1.02"},     {1.002, true, "1.002"}, {1.0004, true, "1.0004"},
                          {1.00049, true, "1.0005"}, {1.0, false, "1.00"},   {0.996, false, "1.00"},
                          {0.5, false, "0.50"},      {2.5, true, "2.50"}};
    for (const Case& c : cases)
        EXPECT_EQ(ratioText(c.ratio, c.above), c.shown) << c.ratio;
}
