#pragma once
// The texts of the report screen's fields (Form8), as the exposure-condition screen hands them
// over, the record search shows a stored record and the Data Save stores them.

#include "dicom/dicomtext.h"
#include "node/dosereport.h"
#include "refdata/referencelevels.h"
#include "ui/report/spectrumchart.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace tamso::ui {

struct ReportFields {
    QString id;   // Text1
    QString name; // Text2
    // Every group of the patient name of the DICOM image the exposure was read from (empty for an
    // exposure typed by hand or a stored record): a record file of the ID whose stored name matches
    // none of them is warned about before that name replaces the image's.
    dicom::PersonNameGroups imageNameGroups;
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
    // The computed dose at full precision (the calculation's), for the comparison with a reference
    // level while the dose is the one handed over; empty for a stored record or a dose typed over.
    QString preciseDose;
    // The dose with its expanded uncertainty (k = 2) as the exposure-condition screen shows it,
    // "0.203 ± 0.046 mGy (k=2)"; empty when not known.
    QString doseWithUncertainty;
    // The effective dose with its uncertainty as the exposure-condition screen shows it,
    // "12.3 ± 4.6 μSv (k=2)" (with the weight where it was assumed); empty when not known.
    QString effectiveDose;
    // The dose as computed for this exposure (handed over from the calculation) or as stored (a
    // record shown from the search); empty when there is none. A dose that differs from it was
    // typed over: Data Save asks first, and the remarks say so (editedDoseRemark).
    QString originalDose;
    bool originalDoseStored = false;
    // The dose against the diagnostic reference level of the body part, as the exposure-condition
    // screen shows it ("0.200 mGy の 1.02 倍（参考レベル超過）"); empty when there is no level.
    QString referenceLevel;
    bool aboveReferenceLevel = false;
    QString caregiver1; // Text11
    QString caregiver2; // Text12
    QString caregiver3; // Text13
    // The spectrum of the calculation handed over, for the optional second page; empty for a
    // stored record.
    SpectrumData spectrum;
    // What the dose report of this exposure takes from the calculation handed over: the run's
    // values, the exposure date, where the conditions came from, and the image's patient, study and
    // unit where they came from an imported image. Absent for a stored record shown from the
    // search, and where doseReportProblem says why the exposure has none.
    std::optional<node::DoseReportInput> doseReport;
    QString doseReportProblem;

    // The infant's dose so far, drawn beside the entrance surface dose once the ID is known:
    // this exposure's number among the infant's exposures and the cumulative entrance surface
    // dose including it (in "#0.000"). Empty: the line is not drawn. A cumulative dose in which some
    // stored dose was not a number is a lower bound.
    QString exposureNumber;
    QString cumulativeDose;
    bool cumulativeIsLowerBound = false;
    // A stored record shown from the record search: its number (1..N) among the records of `id`;
    // 0 for an exposure that is not stored.
    int storedRecordNumber = 0;
};

// "0.200 mGy の 1.02 倍（参考レベル超過）": a dose against its reference level, as shown and reported,
// with the level and ratio as the comparison shows them (refdata::compareWithLevel).
QString referenceLevelText(const refdata::LevelComparison& comparison);

// Whether two texts of one field hold the same value: numbers by value as typed (full-width digits
// read as ASCII, "60" and "60.0" alike), other texts as they stand but for surrounding blanks.
bool sameFieldValue(const QString& a, const QString& b);

// The exposure conditions the report states from the calculation (thickness, tube voltage, mAs,
// FFD, field size) whose values in `now` differ from those in `from` (as handed over by the
// calculation, or as stored): their captions on the report screen, in the screen's order.
QStringList changedExposureConditions(const ReportFields& from, const ReportFields& now);

// Whether the dose differs from the original dose (by value where both are numbers, else as text).
bool doseEdited(const ReportFields& fields);
// The remark printed for a dose that was typed over: "入射表面線量は手入力の値です（計算値 0.203 mGy）",
// for a stored record "（記録値 0.203 mGy）"; empty when the dose was not edited.
QString editedDoseRemark(const ReportFields& fields);

// Sets referenceLevel and aboveReferenceLevel from the fields' dose as shown and body part and the
// level table in effect; both empty when the body part has no level or the dose is not a number.
void compareWithReferenceLevel(ReportFields& fields, const refdata::ReferenceLevelTable& levels);

} // namespace tamso::ui
