#pragma once
// The plausible range of every exposure condition: one table for every way an exposure enters
// (typed on the exposure-condition screen, tamso-calc's options and CSV rows, a DICOM image, the
// node, a back-fill from the PACS, the report screen and the editors). A value outside its range
// is a typing error or a value gone wrong on its way (a unit, a digit), never an exposure of an
// infant in an incubator, and no dose is computed from it.

#include "engine/calculation.h"
#include "textio/expected.h"

#include <string>

namespace tamso::engine {

enum class ConditionId {
    TargetAngle,
    InherentFilterAl,
    AddedFilterAl,
    AddedFilterCu,
    TubeVoltage,
    MAs,
    Ffd,
    Thickness,
    FocusHood,
    FieldLong,
    FieldShort,
};

struct ConditionLimit {
    ConditionId id;
    std::string ConditionTexts::*text; // the condition's text among the typed conditions
    const char* caption;               // the field's caption on the exposure-condition screen
    const char* unit;                  // as the field shows it: "kV", "mAs", "cm", "mm", "度"
    double min;
    bool minIncluded;
    double max;
    bool maxIncluded;

    constexpr bool admits(double value) const {
        return (minIncluded ? value >= min : value > min) && (maxIncluded ? value <= max : value < max);
    }
    // The range in words: "20 kV 以上 150 kV 未満".
    std::string rangeText() const;
};

// Every condition, in the order of the screen's form. Wide enough for any radiograph of an infant,
// narrow enough to catch a unit or a digit gone wrong. The spectrum model ends at 150 keV; the skin
// lies at least 30 cm from the focus; the target angle is that of a real anode.
inline constexpr ConditionLimit kConditionLimits[] = {
    {ConditionId::TargetAngle, &ConditionTexts::targetAngleDeg, "Ｘ線管ターゲット角度", "度", 0, false, 90, false},
    {ConditionId::InherentFilterAl, &ConditionTexts::inherentFilterAlMm, "固有フィルタ（アルミ当量）", "mm", 0, true,
     10, true},
    {ConditionId::AddedFilterAl, &ConditionTexts::addedFilterAlMm, "付加フィルタ（アルミ）", "mm", 0, true, 10, true},
    {ConditionId::AddedFilterCu, &ConditionTexts::addedFilterCuMm, "付加フィルタ（銅）", "mm", 0, true, 1, true},
    {ConditionId::TubeVoltage, &ConditionTexts::tubeVoltageKv, "Ｘ線管電圧", "kV", 20, true, 150, false},
    {ConditionId::MAs, &ConditionTexts::mAs, "Ｘ線管電流×照射時間", "mAs", 0.01, true, 1000, true},
    {ConditionId::Ffd, &ConditionTexts::ffdCm, "焦点-受像器間距離（FFD）", "cm", 30, true, 500, true},
    {ConditionId::Thickness, &ConditionTexts::subjectThicknessCm, "被写体厚", "cm", 1, true, 30, true},
    {ConditionId::FocusHood, &ConditionTexts::focusHoodDistanceCm, "焦点-フード・カバー間距離", "cm", 0, false, 500,
     true},
    {ConditionId::FieldLong, &ConditionTexts::fieldLongCm, "照射野サイズ（長軸方向）", "cm", 1, true, 100, true},
    {ConditionId::FieldShort, &ConditionTexts::fieldShortCm, "照射野サイズ（短軸方向）", "cm", 1, true, 100, true},
};

constexpr const ConditionLimit& conditionLimit(ConditionId id) {
    for (const ConditionLimit& limit : kConditionLimits)
        if (limit.id == id)
            return limit;
    return kConditionLimits[0]; // every id is in the table
}

// A value within its range, or the message that names the field, the value and the range.
Status checkConditionValue(ConditionId id, double value);

// The message for a text that is no number (an empty one included), naming the field.
Error notANumberMessage(ConditionId id, const std::string& text);

// Every typed condition: each text must begin with a number (the text-to-number rule reads the rest)
// within its range; the first one that fails gives its message, in the order of the form.
Status checkConditionTexts(const ConditionTexts& texts);

} // namespace tamso::engine
