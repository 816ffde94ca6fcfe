#pragma once
// The application shell: owns every window of the program and wires them together. Who talks to
// whom is written here and nowhere else: the screens only emit what the user asked for.
//
// Every window is created on first use and then kept; commands hide windows rather than destroy
// them. A window closed with its close box is discarded (the report, the record search and the
// editors delete themselves; the exposure-condition screen is deleted here) and its next use
// creates it afresh.
//
// The shell also owns the calculation state (the reference data, the conditions and the results of
// the last run) and the site data (the reference levels, the organ-dose data) and hands them to the
// windows that read or change them.

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

namespace tamso::engine {
struct CalculationState;
struct OrganDoseResult;
} // namespace tamso::engine

namespace tamso::node {
class DoseReporter;
class OutboxWorker;
struct ReportSettings;
} // namespace tamso::node

namespace tamso::ui {

class StartScreen;
class ConditionsScreen;
class IllustrationWindow;
class ReportScreen;
class RecordSearchScreen;
class DoseHistoryWindow;
class BasicDataEditor;
class TubeOutputEditor;
class AmbientDoseEditor;
class SpectrumWindow;
class OrganDoseWindow;
class ReferenceLevelEditor;
class DoseAuditWindow;
class ReceivedImagesWindow;
class SiteData;
struct ReportFields;
struct SpectrumData;

class Shell : public QObject {
    Q_OBJECT
public:
    Shell();
    ~Shell() override;

    // Start-up: reads the reference data of the working folder into the calculation state, then
    // shows the start screen with the hospital name. On a loader failure the message is shown
    // and no screen opens; returns false. The optional reference level file is read as well: a
    // missing one leaves the table empty, one that cannot be read is warned about once and taken
    // as missing (start-up goes on).
    bool start();

    // Sends the dose reports waiting in the working folder's outbox from a thread of its own, where
    // tamso-node.conf names destinations (read at start-up and after each report queued): the
    // node's sender and this one take turns through the outbox's lock. Null while nothing is sent.
    node::OutboxWorker* reportSender() const { return sender_.get(); }

    // The calculation state that the windows share, filled with the reference data by start().
    engine::CalculationState& calculationState() const { return *state_; }
    // The site data that the windows share: the reference levels read by start() and replaced by
    // the reference level editor, the organ-dose data read when first needed and again when changed.
    SiteData& siteData() const { return *site_; }

    // How the program ends ("終　了", the start screen's close box). Defaults to quitting the
    // application's event loop.
    std::function<void()> quitProgram;

    // The windows while they exist (null before their first use and after their close box).
    StartScreen* startScreen() const;
    ConditionsScreen* conditionsScreen() const;
    IllustrationWindow* illustrationWindow() const;
    ReportScreen* reportScreen() const;
    RecordSearchScreen* recordSearchScreen() const;
    DoseHistoryWindow* doseHistoryWindow() const;
    BasicDataEditor* basicDataEditor() const;
    TubeOutputEditor* tubeOutputEditor() const;
    AmbientDoseEditor* ambientDoseEditor() const;
    SpectrumWindow* spectrumWindow() const;
    OrganDoseWindow* organDoseWindow() const;
    ReferenceLevelEditor* referenceLevelEditor() const;
    DoseAuditWindow* doseAuditWindow() const;
    ReceivedImagesWindow* receivedImagesWindow() const;

public slots:
    // Start screen.
    void newCalculation();      // "新規計算"
    void openRecordSearch();    // "データ検索"
    void openBasicDataEditor(); // "基本データ入力"
    void openDoseAudit();       // "参考レベル監査"
    void openReceivedImages();  // "受信画像"
    // Received images window: a held image opened on the exposure-condition screen through the
    // DICOM import; the record then saved through the report resolves it.
    void openHeldImage(const QString& headerFile, const QString& sopInstanceUid);
    // Basic data editor.
    void openReferenceLevelEditor(); // "参考レベル"
    // Exposure-condition screen.
    void showIllustration();                                    // "周辺線量"
    void openTubeOutputEditor();                                // "出力データ編集"
    void openAmbientDoseEditor();                               // "周辺線量の実測データ編集"
    void showSpectrum(const tamso::ui::SpectrumData& spectrum); // "スペクトル表示"
    void showOrganDoses(const QString& bodyPart, const tamso::engine::OrganDoseResult& doses); // "臓器線量"
    void handOverToReport(const tamso::ui::ReportFields& fields);
    // Record search.
    void showRecordOnReport(const tamso::ui::ReportFields& fields);
    void openDoseHistory(const QString& patientId); // "線量履歴"

private:
    ReportScreen* ensureReport();
    void conditionsBack();
    void conditionsClosed();
    void referenceDataChanged();
    void endProgram();
    void recordSaved(const QString& patientId, int recordNumber, const QString& dose);
    void startSending(const node::ReportSettings& settings);
    void sendReportsNow(); // a report was queued, or the user asked to send

    QPointer<StartScreen> startScreen_;
    QPointer<ConditionsScreen> conditions_;
    QPointer<IllustrationWindow> illustration_;
    QPointer<ReportScreen> report_;
    QPointer<RecordSearchScreen> search_;
    QPointer<DoseHistoryWindow> history_;
    QPointer<BasicDataEditor> basicData_;
    QPointer<TubeOutputEditor> tubeOutput_;
    QPointer<AmbientDoseEditor> ambientDose_;
    QPointer<SpectrumWindow> spectrum_;
    QPointer<OrganDoseWindow> organDoses_;
    QPointer<ReferenceLevelEditor> referenceLevels_;
    QPointer<DoseAuditWindow> doseAudit_;
    QPointer<ReceivedImagesWindow> received_;
    std::unique_ptr<engine::CalculationState> state_;
    std::unique_ptr<SiteData> site_;
    QString heldImageInProgress_; // the SOP Instance UID of the held image opened, until it is saved
    std::unique_ptr<node::DoseReporter> reporter_; // its outbox, which also makes the studies' reports
    std::unique_ptr<node::OutboxWorker> sender_;
};

} // namespace tamso::ui
