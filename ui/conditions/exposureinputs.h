#pragma once
// The exposure-condition screen's fields in one place: for every input its control, caption, unit,
// the condition a run reads from it, the state value it is mirrored into and where the Enter key
// goes from it; for every result its control, caption and unit. The screen is built from these
// tables; the defaults come from engine::defaultConditions.

#include "engine/calculation.h"
#include "engine/calculationstate.h"
#include "engine/resultfields.h"

#include <QString>
#include <vector>

namespace tamso::ui {

// The group box an input or result stands in.
enum class ConditionGroup {
    ExposureSource, // Frame1 "焦点から１ｍの距離の照射線量"
    Unit,           // Frame2 "照射条件 (１)": X-ray unit and filtration
    Geometry,       // Frame3 "照射条件 (２)": exposure, distances, field
    Results,        // Frame4 "患児の入射表面線量"
    Caregivers,     // Frame5 "介助者の被ばく線量"
};

struct ExposureInput {
    const char* objectName; // Form1.Text5
    QString caption;        // as the user reads it, leading blanks included
    QString unit;           // beside the field; empty for none
    ConditionGroup group;
    int row;                                             // grid row in its group
    std::string engine::ConditionTexts::*condition;      // the text a calculation run reads
    double engine::CalculationState::*stateValue;        // mirrored on leaving the field; null: not kept
    double stateScale;                                   // state value = number x scale (mm -> cm: 0.1)
    const char* enterNext;                               // the control Enter moves the focus to
};

// The inputs in the order of the Enter chain.
const std::vector<ExposureInput>& exposureInputs();
const ExposureInput* findExposureInput(const char* objectName);

struct ResultOutput {
    engine::ResultField result;
    const char* objectName; // Form1.Text20
    QString caption;
    QString unit;
    ConditionGroup group;
    int row;
    bool enabled; // enabled fields are read-only; the others are shown disabled
    int columns = 1; // grid columns the field spans (2: over the unit column too)
};

const std::vector<ResultOutput>& resultOutputs();
// A caption or unit of these tables as the user reads it: the tables hold the Japanese source
// texts, shown translated where a translation is installed.
QString shownText(const QString& source);

// "Text13" for engine::ResultField::Hvl1MmAl.
const char* resultObjectName(engine::ResultField result);

} // namespace tamso::ui
