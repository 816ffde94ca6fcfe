#pragma once
// The texts of the report screen's fields (Form8), as the exposure-condition screen hands them
// over, the record search shows a stored record and the Data Save stores them.

#include "ui/report/spectrumchart.h"

#include <QString>

namespace tamso::ui {

struct ReportFields {
    QString id;           // Text1
    QString name;         // Text2
    QString technologist; // Combo1 text
    QString examDate;     // Text3
    QString bodyPart;     // Text4
    QString thickness;    // Text9
    QString xrayUnit;     // Text17
    QString tubeVoltage;  // Text5
    QString mAs;          // Text6
    QString ffd;          // Text7
    QString fieldSize;    // Text8
    QString dose;         // Text10
    QString doseUncertainty; // its expanded uncertainty (k = 2) in mGy, "0.04"; empty when not known
    // The dose against the diagnostic reference level of the body part, as the exposure-condition
    // screen shows it ("0.200 mGy の 1.02 倍（参考レベル超過）"); empty when there is no level.
    QString referenceLevel;
    bool aboveReferenceLevel = false;
    QString caregiver1;   // Text11
    QString caregiver2;   // Text12
    QString caregiver3;   // Text13
    // The spectrum of the calculation handed over, for the optional second page; empty for a
    // stored record.
    SpectrumData spectrum;
};

} // namespace tamso::ui
