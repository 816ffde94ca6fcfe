#pragma once
// The report screen (Form8, "TAMSO Ⅱ 報告書"): the values of one exposure in editable fields on the
// left, the report preview on the right; draws, prints and saves the report and keeps the
// technologist list.

#include "records/technologistlist.h"
#include "ui/report/reportfields.h"

#include <QWidget>

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPrinter;
class QPushButton;

namespace tamso::engine {
struct CalculationState;
}

namespace tamso::ui {

class ReportPreview;

class ReportScreen : public QWidget {
    Q_OBJECT
public:
    // The report shows the X-ray unit and the hospital of the basic data in the state and compares
    // the dose with the reference level table in effect; both must outlive the screen.
    explicit ReportScreen(const engine::CalculationState& basicData,
                          const refdata::ReferenceLevelTable& referenceLevels, QWidget* parent = nullptr);
    ~ReportScreen() override;

    // From the exposure-condition screen: ID and name as handed over (those of a DICOM image, else
    // empty; editable), the technologist ignored, the technologist list read from its file.
    void handOver(const ReportFields& fields);
    // From the record search: every field, the technologist included. Either way the screen opens
    // with the focus on the ID.
    void showRecord(const ReportFields& fields);

    // The fields as they stand, with the infant's exposure number and cumulative dose read from the
    // record files of the ID (see fillDoseSoFar): for the record shown from the search or saved last
    // while its ID stands unchanged, up to that record; otherwise for a new exposure.
    ReportFields fields() const;
    // What the screen shows under the entrance surface dose since the ID, the dose or the record
    // last changed: the exposure number and cumulative dose, that they cannot be read, or nothing
    // before the ID is known.
    QString doseSoFarText() const;
    ReportPreview* preview() const { return preview_; }
    // A report is drawn whose record Data Save has not stored: leaving asks first.
    bool hasUnsavedRecord() const;
    const records::TechnologistList& technologists() const { return technologists_; }

    // Chooses the printer for the Printer command. The default asks the user with the system print
    // dialog and gives nullptr when the dialog is cancelled. Tests supply a PDF printer instead;
    // an empty function restores the default.
    using PrinterProvider = std::function<std::unique_ptr<QPrinter>(QWidget* parent)>;
    static void setPrinterProvider(PrinterProvider provider);

signals:
    // The report's " bye bye " (Command1): the screen hides; the illustration goes with it.
    void backRequested();
    // Data Save wrote the record: its patient ID, its number among the infant's records and its dose.
    void recordSaved(const QString& patientId, int recordNumber, const QString& dose);
    // The dose report of the record saved was queued in the outbox for the site's destinations.
    void doseReportQueued();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    struct Maker;
    void makePatientFields(Maker& make);
    void makeConditionFields(Maker& make);
    void makeDoseFields(Maker& make);
    void makeCommands(Maker& make);
    void connectControls();
    void setFieldTexts(const ReportFields& fields);
    void setSpectrum(const SpectrumData& spectrum);
    void fillTechnologistCombo();
    void setOutputCommandsEnabled(bool enabled);
    void drawPreview();
    void redrawPreview(); // the preview anew from the fields as they stand
    void clearPreview();
    void addTechnologist();
    void printRequested();
    void saveRequested();
    // Data Save stores only what was computed: the exposure conditions as handed over (or stored),
    // a real exam date and a dose that is a number of 0 or more. Otherwise a warning names the field
    // and the answer is false.
    bool savableAsComputed(const ReportFields& current);
    void closeRequested();
    bool leaveAllowed(); // nothing unsaved, or the user leaves it unsaved
    void lookUpName();
    // Warns, once for each ID, when the name stored for the ID matches none of the groups of the
    // handed-over image's patient name: the exposure may be going to another infant's history.
    void warnIfNotTheImagesPatient(const QString& storedName);
    void showDoseSoFar();
    ReportFields fieldTexts() const; // the fields without the dose so far

    const engine::CalculationState& basicData_;
    const refdata::ReferenceLevelTable& referenceLevels_;
    QLineEdit* text1_ = nullptr;
    QLineEdit* text2_ = nullptr;
    QComboBox* combo1_ = nullptr;
    QLineEdit* text3_ = nullptr;
    QLineEdit* text4_ = nullptr;
    QLineEdit* text9_ = nullptr;
    QLineEdit* text17_ = nullptr;
    QLineEdit* text5_ = nullptr;
    QLineEdit* text6_ = nullptr;
    QLineEdit* text7_ = nullptr;
    QLineEdit* text8_ = nullptr;
    QLineEdit* text10_ = nullptr;
    QLineEdit* text11_ = nullptr;
    QLineEdit* text12_ = nullptr;
    QLineEdit* text13_ = nullptr;
    QPushButton* command1_ = nullptr;
    QPushButton* command2_ = nullptr;
    QPushButton* command3_ = nullptr;
    QPushButton* command4_ = nullptr;
    QPushButton* command5_ = nullptr;
    QPushButton* command6_ = nullptr;
    QCheckBox* check1_ = nullptr; // "スペクトルも印刷する"
    SpectrumData spectrum_;       // of the calculation handed over
    QString handedDose_;          // the dose handed over, and the dose with its expanded uncertainty
    QString handedUncertainty_;
    bool handedFromRecord_ = false;           // the dose handed over is a stored record's
    ReportFields handed_;                     // as handed over (without the spectrum)
    bool previewShown_ = false;               // a drawing stands in the preview: it follows every edit
    dicom::PersonNameGroups imageNameGroups_; // of the image handed over, if any
    QString imageName_;                       // the image's name as handed over
    QString nameWarnedForId_;
    QLabel* doseSoFar_ = nullptr;
    ReportPreview* preview_ = nullptr;
    records::TechnologistList technologists_;
    // The stored record the fields show (from the search, or saved here), while the ID is its ID.
    QString storedId_;
    int storedNumber_ = 0;
};

} // namespace tamso::ui
