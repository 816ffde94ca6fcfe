#include "ui/shell/shell.h"

#include "engine/calculationstate.h"
#include "refdata/referenceloader.h"
#include "ui/conditions/conditionsscreen.h"
#include "ui/shell/illustrationwindow.h"
#include "ui/kit/messagebox.h"
#include "ui/shell/navigation.h"
#include "ui/shell/startscreen.h"
#include "ui/kit/uiutil.h"

#include <QCoreApplication>
#include <filesystem>

namespace tamso::ui {

Shell::Shell() : quitProgram([] { QCoreApplication::quit(); }) { registerHooks(); }

Shell::~Shell() {
    Navigation& nav = Navigation::instance();
    nav.hideIllustration = nullptr;
    nav.hideMeasuredExposureDialog = nullptr;
    nav.setHospitalCaption = nullptr;
    nav.setOutputDataNameShown = nullptr;
    nav.showConditionsScreen = nullptr;
    nav.referenceDataChanged = nullptr;
    delete conditions_.data();
    delete illustration_.data();
    delete startScreen_.data();
}

StartScreen* Shell::startScreen() const { return startScreen_; }
ConditionsScreen* Shell::conditionsScreen() const { return conditions_; }
IllustrationWindow* Shell::illustrationWindow() const { return illustration_; }

void Shell::registerHooks() {
    Navigation& nav = Navigation::instance();
    nav.hideIllustration = [this] {
        if (illustration_)
            illustration_->hide();
    };
    nav.hideMeasuredExposureDialog = [this] {
        if (conditions_)
            conditions_->hideMeasuredExposureDialog();
    };
    nav.setHospitalCaption = [this](const QString& name) {
        if (startScreen_)
            startScreen_->setHospitalName(name);
    };
    nav.setOutputDataNameShown = [this](const QString& name) {
        if (conditions_)
            conditions_->setOutputDataNameShown(name);
    };
    nav.referenceDataChanged = [this] {
        if (conditions_)
            conditions_->referenceDataChanged();
    };
    nav.showConditionsScreen = [this] {
        if (!conditions_)
            return;
        conditions_->show();
        conditions_->raise();
        conditions_->activateWindow();
    };
}

bool Shell::start() {
    const Status status = refdata::loadReferenceData(Module1, workingFolderPath());
    if (status) {
        MessageBox::warning(nullptr, qs(status->message));
        return false;
    }
    if (!startScreen_) {
        startScreen_ = new StartScreen;
        connect(startScreen_, &StartScreen::newCalculationRequested, this, &Shell::newCalculation);
        connect(startScreen_, &StartScreen::exitRequested, this, &Shell::endProgram);
    }
    startScreen_->setHospitalName(qs(Module1.hospitalName));
    startScreen_->show();
    return true;
}

void Shell::newCalculation() {
    if (!conditions_) {
        conditions_ = new ConditionsScreen; // loading sets the default conditions
        connect(conditions_, &ConditionsScreen::illustrationRequested, this, &Shell::showIllustration);
        connect(conditions_, &ConditionsScreen::backRequested, this, &Shell::conditionsBack);
        connect(conditions_, &ConditionsScreen::closedByUser, this, &Shell::conditionsClosed);
    }
    conditions_->disableFollowUpCommands();
    conditions_->show();
    conditions_->raise();
    conditions_->activateWindow();
    // A kept screen would otherwise give the focus back to the control that had it last
    // (" bye bye "), where Enter leads straight back to the start screen.
    conditions_->focusFirstInput();
    if (startScreen_)
        startScreen_->hide();
}

void Shell::showIllustration() {
    if (!illustration_) {
        illustration_ = new IllustrationWindow;
        connect(illustration_, &IllustrationWindow::closeRequested, this, [] {
            if (auto& show = Navigation::instance().showConditionsScreen)
                show();
        });
    }
    illustration_->show(); // not modal; the exposure-condition screen keeps working
    illustration_->raise();
}

void Shell::conditionsBack() {
    if (startScreen_)
        startScreen_->show();
    Navigation& nav = Navigation::instance();
    if (conditions_) {
        conditions_->hide();
        conditions_->hideMeasuredExposureDialog();
    }
    if (illustration_)
        illustration_->hide();
    if (nav.hideTubeOutputEditor)
        nav.hideTubeOutputEditor();
}

void Shell::conditionsClosed() {
    if (startScreen_)
        startScreen_->show();
    if (illustration_)
        illustration_->hide();
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
