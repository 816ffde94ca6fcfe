#include "ui/shell/shell.h"

#include "engine/calculationstate.h"
#include "node/dosereporter.h"
#include "node/imagelog.h"
#include "node/nodeconfig.h"
#include "node/nodefolders.h"
#include "node/outbox.h"
#include "refdata/referencelevels.h"
#include "refdata/referenceloader.h"
#include "ui/conditions/conditionsscreen.h"
#include "ui/conditions/organdosewindow.h"
#include "ui/conditions/spectrumwindow.h"
#include "ui/editors/ambientdoseeditor.h"
#include "ui/editors/basicdataeditor.h"
#include "ui/editors/referenceleveleditor.h"
#include "ui/editors/tubeoutputeditor.h"
#include "ui/kit/messagebox.h"
#include "ui/kit/sitedata.h"
#include "ui/kit/uiutil.h"
#include "ui/records/doseauditwindow.h"
#include "ui/records/dosehistorywindow.h"
#include "ui/records/receivedimageswindow.h"
#include "ui/records/recordsearchscreen.h"
#include "ui/report/reportrecordsave.h"
#include "ui/report/reportscreen.h"
#include "ui/shell/illustrationwindow.h"
#include "ui/shell/startscreen.h"

#include <QCoreApplication>

#include <filesystem>

namespace tamso::ui {

namespace {

void bringToFront(QWidget* window) {
    window->show();
    window->raise();
    window->activateWindow();
}

template <typename Window> void hideIfShown(const QPointer<Window>& window) {
    if (window)
        window->hide();
}

} // namespace

Shell::Shell()
    : quitProgram([] { QCoreApplication::quit(); }), state_(std::make_unique<engine::CalculationState>()),
      site_(std::make_unique<SiteData>()) {}

Shell::~Shell() {
    // The sender finishes the report it is sending (its network waits are short) and ends; the
    // windows are hidden by then.
    if (sender_)
        sender_->stop();
    // Windows that delete themselves on closing are owned here as long as they exist.
    delete received_.data();
    delete spectrum_.data();
    delete organDoses_.data();
    delete doseAudit_.data();
    delete referenceLevels_.data();
    delete ambientDose_.data();
    delete tubeOutput_.data();
    delete basicData_.data();
    delete history_.data();
    delete search_.data();
    delete report_.data();
    delete conditions_.data();
    delete illustration_.data();
    delete startScreen_.data();
}

StartScreen* Shell::startScreen() const {
    return startScreen_;
}
ConditionsScreen* Shell::conditionsScreen() const {
    return conditions_;
}
IllustrationWindow* Shell::illustrationWindow() const {
    return illustration_;
}
ReportScreen* Shell::reportScreen() const {
    return report_;
}
RecordSearchScreen* Shell::recordSearchScreen() const {
    return search_;
}
DoseHistoryWindow* Shell::doseHistoryWindow() const {
    return history_;
}
BasicDataEditor* Shell::basicDataEditor() const {
    return basicData_;
}
TubeOutputEditor* Shell::tubeOutputEditor() const {
    return tubeOutput_;
}
AmbientDoseEditor* Shell::ambientDoseEditor() const {
    return ambientDose_;
}
SpectrumWindow* Shell::spectrumWindow() const {
    return spectrum_;
}
ReferenceLevelEditor* Shell::referenceLevelEditor() const {
    return referenceLevels_;
}
DoseAuditWindow* Shell::doseAuditWindow() const {
    return doseAudit_;
}
ReceivedImagesWindow* Shell::receivedImagesWindow() const {
    return received_;
}

bool Shell::start() {
    const Status status = refdata::loadReferenceData(*state_, workingFolderPath());
    if (!status.ok()) {
        MessageBox::warning(nullptr, coreText(status.error()));
        return false;
    }
    // The reference levels are optional: without them the comparisons are simply not shown.
    refdata::OptionalReferenceLevels levels = refdata::loadReferenceLevels(workingFolderPath());
    site_->referenceLevels = std::move(levels.table);
    if (levels.warning)
        MessageBox::warning(nullptr, qs(*levels.warning));
    if (!startScreen_) {
        startScreen_ = new StartScreen;
        connect(startScreen_, &StartScreen::newCalculationRequested, this, &Shell::newCalculation);
        connect(startScreen_, &StartScreen::recordSearchRequested, this, &Shell::openRecordSearch);
        connect(startScreen_, &StartScreen::basicDataEditorRequested, this, &Shell::openBasicDataEditor);
        connect(startScreen_, &StartScreen::doseAuditRequested, this, &Shell::openDoseAudit);
        connect(startScreen_, &StartScreen::receivedImagesRequested, this, &Shell::openReceivedImages);
        connect(startScreen_, &StartScreen::exitRequested, this, &Shell::endProgram);
    }
    startScreen_->setHospitalName(qs(state_->hospitalName));
    startScreen_->show();
    if (const auto settings = readReportSettingsOrSay(
            startScreen_, QCoreApplication::translate("Shell", "線量レポートは作成も送信もしません。\n")))
        startSending(*settings);
    return true;
}

void Shell::startSending(const node::ReportSettings& settings) {
    if (sender_ || !settings.reporting())
        return;
    // The sender also makes the reports of the studies that have been quiet for the report delay.
    node::OutboxOptions options;
    options.reportDelay = settings.reportDelay;
    reporter_ = std::make_unique<node::DoseReporter>(workingFolderPath(), settings.forward, settings.besideRecords,
                                                     "tamso", node::NodeLogger{}, options);
    // Short network waits: the program's end waits for the report being sent.
    sender_ = std::make_unique<node::OutboxWorker>(
        reporter_->outbox(), node::storeSender(settings.aeTitle, std::chrono::seconds(5), std::chrono::seconds(15)));
    sender_->onRound([this](const node::SendRound&) {
        // From the sender's thread: the window reads the outbox anew in the screens' thread.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (received_)
                    ignoreFailure(received_->refreshReports(), "the window's label says why");
            },
            Qt::QueuedConnection);
    });
    sender_->start();
}

void Shell::sendReportsNow() {
    if (!sender_)
        if (auto settings = node::readReportSettings(workingFolderPath()); settings.ok())
            startSending(*settings); // destinations named since the start
    if (sender_)
        sender_->wake();
}

// Start screen ------------------------------------------------------------------------------------

void Shell::newCalculation() {
    if (!conditions_) {
        conditions_ = new ConditionsScreen(*state_, *site_); // loading sets the default conditions
        connect(conditions_, &ConditionsScreen::illustrationRequested, this, &Shell::showIllustration);
        connect(conditions_, &ConditionsScreen::backRequested, this, &Shell::conditionsBack);
        connect(conditions_, &ConditionsScreen::closedByUser, this, &Shell::conditionsClosed);
        connect(conditions_, &ConditionsScreen::reportRequested, this, &Shell::handOverToReport);
        connect(conditions_, &ConditionsScreen::tubeOutputEditorRequested, this,
                &Shell::openTubeOutputEditor);
        connect(conditions_, &ConditionsScreen::ambientDoseEditorRequested, this,
                &Shell::openAmbientDoseEditor);
        connect(conditions_, &ConditionsScreen::spectrumRequested, this, &Shell::showSpectrum);
        connect(conditions_, &ConditionsScreen::organDosesRequested, this, &Shell::showOrganDoses);
        connect(conditions_, &ConditionsScreen::resultsCleared, this, [this] {
            hideIfShown(spectrum_);
            hideIfShown(organDoses_);
        });
    }
    conditions_->disableFollowUpCommands();
    bringToFront(conditions_);
    // A kept screen would otherwise give the focus back to the control that had it last
    // (" bye bye "), where Enter leads straight back to the start screen.
    conditions_->focusFirstInput();
    if (startScreen_)
        startScreen_->hide();
}

void Shell::openRecordSearch() {
    if (!search_) {
        search_ = new RecordSearchScreen;
        search_->setAttribute(Qt::WA_DeleteOnClose); // the close box discards the screen
        connect(search_, &RecordSearchScreen::recordChosen, this, &Shell::showRecordOnReport);
        connect(search_, &RecordSearchScreen::doseHistoryRequested, this, &Shell::openDoseHistory);
    }
    search_->resetForOpening();
    bringToFront(search_);
}

void Shell::openBasicDataEditor() {
    if (!basicData_) {
        basicData_ = new BasicDataEditor(*state_);
        connect(basicData_, &BasicDataEditor::referenceDataChanged, this, &Shell::referenceDataChanged);
        connect(basicData_, &BasicDataEditor::hospitalNameSaved, this, [this](const QString& name) {
            if (startScreen_)
                startScreen_->setHospitalName(name);
        });
        connect(basicData_, &BasicDataEditor::referenceLevelEditorRequested, this,
                &Shell::openReferenceLevelEditor);
    }
    basicData_->open();
}

void Shell::openDoseAudit() {
    if (!doseAudit_)
        doseAudit_ = new DoseAuditWindow(*state_, *site_); // its close box discards it
    doseAudit_->open();
}

void Shell::openReceivedImages() {
    if (!received_) {
        received_ = new ReceivedImagesWindow;
        received_->setAttribute(Qt::WA_DeleteOnClose); // the close box discards the window
        connect(received_, &ReceivedImagesWindow::heldImageChosen, this, &Shell::openHeldImage);
        connect(received_, &ReceivedImagesWindow::sendReportsRequested, this, &Shell::sendReportsNow);
    }
    received_->open();
}

void Shell::openHeldImage(const QString& headerFile, const QString& sopInstanceUid) {
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::u8path(utf8(headerFile)), ec)) {
        // Resolved or sent again meanwhile (by another workstation or the service).
        MessageBox::warning(received_,
                            QCoreApplication::translate("Shell", "この画像はもう保留されていません。"));
        if (received_)
            ignoreFailure(received_->refresh(), "the window's labels say why");
        return;
    }
    newCalculation();
    conditions_->importDicomFile(headerFile);
    heldImageInProgress_ = sopInstanceUid;
}

void Shell::recordSaved(const QString& patientId, int recordNumber, const QString& dose) {
    if (heldImageInProgress_.isEmpty())
        return;
    const QString uid = heldImageInProgress_;
    heldImageInProgress_.clear();
    if (const Status resolved =
            node::resolveHeldImage(workingFolderPath(), utf8(uid), utf8(patientId), recordNumber, utf8(dose),
                                   conditions_ ? utf8(conditions_->typedConditionsText()) : std::string());
        !resolved.ok())
        MessageBox::warning(report_, coreText(resolved.error()));
    if (received_)
        ignoreFailure(received_->refresh(), "the window's labels say why");
}

void Shell::openReferenceLevelEditor() {
    if (!referenceLevels_) {
        referenceLevels_ = new ReferenceLevelEditor(site_->referenceLevels); // its close box discards it
        connect(referenceLevels_, &ReferenceLevelEditor::referenceLevelsChanged, this, [this] {
            if (conditions_)
                conditions_->showReferenceLevel();
        });
    }
    referenceLevels_->open();
}

// Exposure-condition screen ------------------------------------------------------------------------

void Shell::showIllustration() {
    if (!illustration_) {
        illustration_ = new IllustrationWindow;
        connect(illustration_, &IllustrationWindow::closeRequested, this, [this] {
            if (conditions_)
                bringToFront(conditions_);
        });
    }
    illustration_->show(); // not modal; the exposure-condition screen keeps working
    illustration_->raise();
}

void Shell::openTubeOutputEditor() {
    if (!tubeOutput_) {
        tubeOutput_ = new TubeOutputEditor(*state_);
        connect(tubeOutput_, &TubeOutputEditor::referenceDataChanged, this, &Shell::referenceDataChanged);
        connect(tubeOutput_, &TubeOutputEditor::outputDataSaved, this, [this](const QString& fileName) {
            if (conditions_)
                conditions_->setOutputDataNameShown(fileName);
        });
    }
    tubeOutput_->open();
}

void Shell::openAmbientDoseEditor() {
    if (!ambientDose_) {
        ambientDose_ = new AmbientDoseEditor(*state_);
        connect(ambientDose_, &AmbientDoseEditor::referenceDataChanged, this, &Shell::referenceDataChanged);
    }
    ambientDose_->open();
}

void Shell::showSpectrum(const SpectrumData& spectrum) {
    if (!spectrum_)
        spectrum_ = new SpectrumWindow;
    spectrum_->showSpectrum(spectrum);
    bringToFront(spectrum_);
}

void Shell::showOrganDoses(const QString& bodyPart, const engine::OrganDoseResult& doses) {
    if (!organDoses_)
        organDoses_ = new OrganDoseWindow;
    organDoses_->showDoses(bodyPart, doses);
    bringToFront(organDoses_);
}

OrganDoseWindow* Shell::organDoseWindow() const {
    return organDoses_;
}

void Shell::referenceDataChanged() {
    if (conditions_)
        conditions_->referenceDataChanged();
}

ReportScreen* Shell::ensureReport() {
    if (!report_) {
        report_ = new ReportScreen(*state_, site_->referenceLevels);
        report_->setAttribute(Qt::WA_DeleteOnClose); // the close box discards the screen
        connect(report_, &ReportScreen::backRequested, this, [this] { hideIfShown(illustration_); });
        connect(report_, &ReportScreen::recordSaved, this, &Shell::recordSaved);
        connect(report_, &ReportScreen::doseReportQueued, this, [this] {
            sendReportsNow();
            if (received_)
                ignoreFailure(received_->refreshReports(), "the window's label says why");
        });
    }
    return report_;
}

void Shell::handOverToReport(const ReportFields& fields) {
    hideIfShown(illustration_);
    ensureReport()->handOver(fields);
}

void Shell::showRecordOnReport(const ReportFields& fields) {
    ensureReport()->showRecord(fields);
}

void Shell::openDoseHistory(const QString& patientId) {
    if (!history_) {
        history_ = new DoseHistoryWindow(*state_, *site_);
        history_->setAttribute(Qt::WA_DeleteOnClose); // the close box discards the window
    }
    if (const Status status = history_->showHistory(workingFolderPath(), patientId); !status.ok()) {
        MessageBox::warning(search_, qs(status.message()));
        return;
    }
    bringToFront(history_);
}

void Shell::conditionsBack() {
    heldImageInProgress_.clear(); // the case of a held image ends with its screen
    if (startScreen_)
        startScreen_->show();
    if (conditions_) {
        conditions_->hide();
        conditions_->hideMeasuredExposureDialog();
    }
    hideIfShown(illustration_);
    hideIfShown(tubeOutput_);
    hideIfShown(spectrum_);
    hideIfShown(organDoses_);
}

void Shell::conditionsClosed() {
    heldImageInProgress_.clear();
    if (startScreen_)
        startScreen_->show();
    hideIfShown(illustration_);
    hideIfShown(spectrum_);
    hideIfShown(organDoses_);
    // The screen goes; the next "新規計算" loads it anew with the defaults.
    ConditionsScreen* closing = conditions_;
    conditions_.clear();
    if (closing) {
        closing->hide();
        closing->deleteLater();
    }
}

void Shell::endProgram() {
    for (QWidget* w : {static_cast<QWidget*>(conditions_.data()), static_cast<QWidget*>(illustration_.data()),
                       static_cast<QWidget*>(startScreen_.data())})
        if (w)
            w->hide();
    if (quitProgram)
        quitProgram();
}

} // namespace tamso::ui
