#pragma once
// How the screens reach one another without depending on each other's classes: the screen that
// owns a target registers a function here at start-up, the screen that calls it checks that it is
// set. Everything runs on the user-interface thread.

#include <QString>
#include <functional>

class QWidget;

namespace tamso::ui {

// The texts of the report screen's fields (Form8), as the report, the record file and the search
// screen exchange them.
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
    QString caregiver1;   // Text11
    QString caregiver2;   // Text12
    QString caregiver3;   // Text13
};

struct Navigation {
    static Navigation& instance();

    // Report screen (registered by the report screen) ----------------------------------------
    // Hand-over from the exposure-condition screen: fills the fields (id and name empty, the
    // technologist ignored), reads the technologist list, clears the preview, disables Printer
    // and Data Save, shows the report screen.
    std::function<void(const ReportFields&)> handOverToReport;
    // From the record search: fills every field (technologist included), clears the preview,
    // disables Printer and Data Save, shows the report screen with the focus on OK.
    std::function<void(const ReportFields&)> showRecordOnReport;

    // Patient records (registered by the record screens) -------------------------------------
    // The Data Save flow with its questions and messages; true when a record was written.
    std::function<bool(QWidget* parent, const ReportFields&)> saveRecord;
    // The stored name of a patient ID, or an empty string.
    std::function<QString(const QString& id)> lookUpPatientName;
    // "データ検索" on the start screen.
    std::function<void()> openRecordSearch;

    // Editors (registered by the editors) -----------------------------------------------------
    std::function<void()> openBasicDataEditor;   // "基本データ入力" on the start screen
    std::function<void()> openTubeOutputEditor;  // Form1.Command12
    std::function<void()> openAmbientDoseEditor; // Form1.Command5
    std::function<void()> hideTubeOutputEditor;  // Form1.Command1 hides it

    // Shell and exposure-condition screen (registered by them) --------------------------------
    std::function<void()> hideIllustration;                      // Form4
    std::function<void()> hideMeasuredExposureDialog;            // Form9
    std::function<void(const QString&)> setHospitalCaption;      // Form2.Label10
    std::function<void(const QString&)> setOutputDataNameShown;  // Form1.Text24 (name without its last 3 chars)
    std::function<void()> showConditionsScreen;                  // brings Form1 to the front
    // An editor changed reference data in the state that shown results were computed from.
    std::function<void()> referenceDataChanged;
};

} // namespace tamso::ui
