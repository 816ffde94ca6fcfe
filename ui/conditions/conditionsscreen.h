#pragma once
// The exposure-condition screen (Form1, " TAMSOⅡ- Kelvo"): the conditions of one portable
// radiograph, the calculation run and its results, the caregiver estimate and the hand-over to
// the report. The dose routines write their results through the ResultFields interface.

#include "dicom/imageexposure.h"
#include "engine/organdose.h"
#include "engine/resultfields.h"
#include "refdata/referencelevels.h"
#include "ui/conditions/exposureinputs.h"
#include "ui/conditions/measuredexposuredialog.h"
#include "ui/kit/sitedata.h"
#include "ui/report/reportfields.h"

#include <QHash>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <vector>

class QComboBox;
class QDateEdit;
class QGridLayout;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tamso::node {
struct ImageConditions;
}

namespace tamso::ui {

class ConditionsScreen : public QWidget, public tamso::engine::ResultFields {
    Q_OBJECT
public:
    // Loading the screen: sets the default conditions and reads the body-part list. The screen
    // keeps its conditions and results in the state and compares and computes with the site's
    // data (reference levels, organ doses); both must outlive it.
    explicit ConditionsScreen(engine::CalculationState& state, SiteData& site, QWidget* parent = nullptr);
    ~ConditionsScreen() override;

    // ResultFields: the result fields (Text7 ... Text25, see exposureinputs.h).
    void setResultText(engine::ResultField field, const std::string& utf8Text) override;
    std::string resultText(engine::ResultField field) const override;
    // The field that shows a result.
    QLineEdit* resultField(engine::ResultField result) const;

    // "新規計算" on the start screen: the caregiver, illustration and report commands off.
    void disableFollowUpCommands();
    // Form1.Text24: the tube output data in use, given by its file name; the screen shows it
    // without its last three characters (the extension).
    void setOutputDataNameShown(const QString& fileName);
    // The reference data in the state changed (an editor saved): results computed from the old
    // data are cleared and the follow-up commands disabled, as after a changed input.
    void referenceDataChanged();
    // The focus on the first input of the Enter chain (Form1.Text1).
    void focusFirstInput();
    // Form1.Text27: the dose of the shown results against the reference level of the chosen body
    // part (the site data's table); empty without results or without a level. Called again
    // when the level table changes.
    void showReferenceLevel();
    std::optional<refdata::LevelComparison> referenceLevelComparison() const;

    void hideMeasuredExposureDialog();
    // The measured-exposure dialog while it exists (null before the first opening and after its
    // close box).
    MeasuredExposureDialog* measuredExposureDialog() const { return measuredDialog_; }

    // The report fields as the hand-over copies them from this screen and the state.
    ReportFields reportFields() const;

    // The commands, callable directly (the buttons call these).
    void runCalculation();       // Command2
    void showAmbientDose();      // Command3 "周辺線量"
    void runCaregiverEstimate(); // Command4
    void handOverToReport();     // Command6
    void backToStartScreen();    // Command1 " bye bye "
    void importDicom();          // Command13 "DICOM読込": the file dialog, then importDicomFile

    // Fills the conditions from one DICOM image, or from one of the radiographs a DICOMDIR lists, as
    // every way in resolves an image (node/imageconditions.h): tube voltage, mAs, FFD, thickness,
    // field, body part and exposure date, the rest as a new case starts; keeps the image's patient
    // ID and name for the report. Each filled control is marked (tooltip "DICOMから入力" with its
    // source, a yellow background in its palette, its font and size unchanged) until the user edits
    // it; a value nothing gives is emptied and marked in red (the calculation refuses until it is
    // typed), never kept from the screen's earlier exposure, and listed in one message. A file that
    // cannot be read, or is no radiograph, changes nothing and says why.
    void importDicomFile(const QString& path);
    // Whether the control shows a value taken from an image and not edited since.
    bool isFilledFromDicom(const QWidget* control) const {
        return dicomMarked_.contains(const_cast<QWidget*>(control)) &&
               !control->property("missingFromDicom").toBool();
    }
    // Whether the control was left empty by an import because the image has no value for it, and
    // not edited since.
    bool isMissingFromDicom(const QWidget* control) const {
        return dicomMarked_.contains(const_cast<QWidget*>(control)) &&
               control->property("missingFromDicom").toBool();
    }

    // The infant's weight (kg) as typed: empty for unknown (the site's default weight then stands in).
    QLineEdit* weightField() const { return weight_; }
    // The effective dose with its uncertainty after a run, or why it cannot be computed.
    QLineEdit* effectiveDoseField() const { return effectiveDose_; }
    // The organ doses of the shown results; nothing without results or where they cannot be computed.
    const std::optional<engine::OrganDoseResult>& organDoses() const { return organDoses_; }

    // The conditions of the last import that were typed rather than taken from the image (the image
    // lacked them, or the user changed them), with their values: "管電圧 60 kV、被写体厚 8 cm"; empty
    // when none was or nothing was imported.
    QString typedConditionsText() const;

    // Chooses the file for "DICOM読込": an image or a DICOMDIR, an empty text when the user
    // cancels. The default asks with the file dialog; tests supply a file instead. An empty
    // function restores the default.
    using DicomFileChooser = std::function<QString(QWidget* parent)>;
    static void setDicomFileChooser(DicomFileChooser chooser);
    // Chooses one of the radiographs of a DICOMDIR, given their descriptions; -1 when the user
    // cancels. The default asks with a list dialog.
    using DicomImageChooser = std::function<int(QWidget* parent, const QStringList& images)>;
    static void setDicomImageChooser(DicomImageChooser chooser);

signals:
    // Command3: the illustration window is to be shown (without blocking).
    void illustrationRequested();
    // Command1: show the start screen, hide this screen and its companions.
    void backRequested();
    // The close box: show the start screen; this screen is then destroyed.
    void closedByUser();
    // Command6: the conditions and results go to the report screen.
    void reportRequested(const tamso::ui::ReportFields& fields);
    // Command12 "出力データ編集" and Command5 "周辺線量の実測データ編集".
    void tubeOutputEditorRequested();
    void ambientDoseEditorRequested();
    // Command14 "スペクトル表示": the spectrum of the last run.
    void spectrumRequested(const tamso::ui::SpectrumData& spectrum);
    // The shown results were cleared (changed inputs or data, a failed run): whatever shows them
    // elsewhere goes too.
    void resultsCleared();
    // "臓器線量": the organ doses of the shown results, for the body part they were computed for.
    void organDosesRequested(const QString& bodyPart, const tamso::engine::OrganDoseResult& doses);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // An input of the table in exposureinputs.h with its field.
    struct Input {
        const ExposureInput* entry;
        QLineEdit* edit;
    };
    struct GroupGrid {
        QGroupBox* box = nullptr;
        QGridLayout* grid = nullptr;
    };

    void buildControls();
    QHBoxLayout* buildHeading();
    GroupGrid group(const char* name, const QString& title);
    GroupGrid buildExposureSourceGroup();
    GroupGrid buildUnitGroup();
    GroupGrid buildGeometryGroup();
    GroupGrid buildCaregiverGroup();
    QHBoxLayout* buildLeavingRow();
    void addTableFields(const std::map<ConditionGroup, GroupGrid>& groups);
    void addReferenceLevelField(const GroupGrid& results);
    void setTabOrderAndEnterChain();
    void connectControls();
    QPushButton* makeCommand(QWidget* parent, const char* name, const QString& text,
                             const QString& accessibleName);
    QLineEdit* makeField(QWidget* parent, const char* name, const QString& accessibleName);
    QLineEdit* addFieldRow(QGridLayout* grid, int row, QWidget* parent, const char* name, const QString& text,
                           const QString& unit);
    QWidget* control(const char* name) const;
    QLineEdit* inputEdit(std::string engine::ConditionTexts::*condition) const;

    void loadDefaults();
    void mirrorIntoState(const Input& input);
    void fillBodyPartList();
    void applyFieldSizePreset(const QString& name);
    void comboEnterPressed();
    void selectOutputData(); // Option5 handler
    void setExposureSource(double source);
    void openMeasuredExposure(); // Option4 handler
    void clearResultFields(bool withCaregiver);
    void invalidateResults();
    void recordRunInputs();
    void showWAir();
    void checkInputsAgainstRun();
    void refuseRun(const QString& message);        // a run that gave no results
    SpectrumData spectrum() const;                 // of the last run, from the state and the result fields
    node::DoseReportInput doseReportInput() const; // of the last run, for the report's Data Save
    void applyDicomExposure(const dicom::ImageExposure& image, const std::filesystem::path& file);
    void fillConditionsFromDicom(const dicom::ImageExposure& image, const node::ImageConditions& resolved,
                                 QStringList& missing);
    void fillBodyPartAndDateFromDicom(const dicom::ImageExposure& image, const node::ImageConditions& resolved,
                                      QStringList& missing);
    void takePatientFromDicom(const dicom::ImageExposure& image, const std::filesystem::path& file,
                              QStringList& missing);
    // The mark of a value the import filled; notInImage: one the image lacks, from the infant's
    // records or the site's defaults (the source says which).
    void markFromDicom(QWidget* control, const std::string& source, bool notInImage = false);
    void markMissingFromDicom(QWidget* control, const std::string& problem);
    void unmarkDicom(QWidget* control);
    void forgetDicomImport();
    // The weight, the effective dose and the organ-dose command (effectivedose.cpp).
    void buildOrganDoseControls(const GroupGrid& geometry, const GroupGrid& results);
    void connectOrganDoseControls();
    // What is wrong with the typed weight (empty for none or a plausible number, then set).
    QString weightProblem(std::optional<double>* weightKg = nullptr) const;
    void showEffectiveDose(); // of the shown results; cleared without
    void fillWeightFromDicom(const node::ImageConditions& resolved);

    engine::CalculationState& state_;
    SiteData& site_;
    QDateEdit* date_ = nullptr;
    QLabel* wAirLabel_ = nullptr;
    QRadioButton* option5_ = nullptr;
    QRadioButton* option4_ = nullptr;
    QComboBox* combo1_ = nullptr;         // field-size list
    QComboBox* combo2_ = nullptr;         // body part
    QLineEdit* outputDataName_ = nullptr; // Text24
    QLineEdit* measured_ = nullptr;       // Text19, the measured exposure as accepted
    QLineEdit* xrayUnit_ = nullptr;       // Text29
    QLineEdit* referenceLevel_ = nullptr; // Text27
    QPushButton* command1_ = nullptr;
    QPushButton* command2_ = nullptr;
    QPushButton* command3_ = nullptr;
    QPushButton* command4_ = nullptr;
    QPushButton* command5_ = nullptr;
    QPushButton* command6_ = nullptr;
    QPushButton* command12_ = nullptr;
    QPushButton* command14_ = nullptr;
    QPushButton* command13_ = nullptr;
    QPushButton* command15_ = nullptr; // "臓器線量"
    QLineEdit* weight_ = nullptr;        // Text30, kg
    QLineEdit* effectiveDose_ = nullptr; // Text31
    std::optional<engine::OrganDoseResult> organDoses_;
    std::vector<Input> inputs_; // in the order of the Enter chain
    std::map<engine::ResultField, QLineEdit*> resultFields_;
    // Enter-key chain: control -> what Enter does there.
    QHash<QObject*, std::function<void()>> enterActions_;
    QPointer<MeasuredExposureDialog> measuredDialog_;

    // The input values the shown results were computed from (empty while no results are shown).
    bool resultsShown_ = false;
    QHash<QLineEdit*, double> runValues_;
    QString runFieldSizeName_;
    QString expandedUncertainty_; // as the run gave it, "0.046"

    // The last DICOM import: the controls it filled, and the patient it names for the report.
    QSet<QWidget*> dicomMarked_;
    QList<QWidget*> dicomImported_; // every control the last import set from the image's conditions
    QString dicomPatientId_;
    QString dicomPatientName_;
    dicom::PersonNameGroups dicomNameGroups_;
    // What the dose report takes from that image, or why the image could not give it.
    std::optional<node::DoseReportInput> dicomReport_;
    std::string dicomReportProblem_;
    bool fillingFromDicom_ = false;
};

} // namespace tamso::ui
