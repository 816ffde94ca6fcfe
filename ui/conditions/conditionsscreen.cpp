#include "ui/conditions/conditionsscreen.h"

#include "engine/calculation.h"
#include "engine/calculationstate.h"
#include "refdata/referencelevels.h"
#include "textio/fileio.h"
#include "textio/numberformat.h"
#include "textio/numbertext.h"
#include "textio/quantitytext.h"
#include "ui/conditions/exposureinputs.h"
#include "ui/conditions/fieldsizepresets.h"
#include "ui/conditions/measuredexposuredialog.h"
#include "ui/kit/appresources.h"
#include "ui/kit/numberinput.h"
#include "ui/kit/uiutil.h"
#include "ui/report/reportfields.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDate>
#include <QDateEdit>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

#include <algorithm>

namespace tamso::ui {

namespace {

// The dose and its comparison above the reference level of the body part.
const QColor kAboveLevel(0xd0, 0x00, 0x00);

QString numberText(double value) {
    return qs(textio::numberToText(value));
}
// The text-to-number rule on what the field shows, full-width digits read as ASCII.
double fieldValue(const QLineEdit* field) {
    return textio::textToNumber(utf8(asciiNumberText(field->text())));
}

bool isEnterKey(QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace

ConditionsScreen::ConditionsScreen(engine::CalculationState& state, SiteData& site, QWidget* parent)
    : QWidget(parent, Qt::Window), state_(state), site_(site) {
    ensureResources();
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral(" TAMSOⅡ- Kelvo"));
    setFont(QFont(gothicFontFamily(), 10));
    buildControls();
    loadDefaults();
}

ConditionsScreen::~ConditionsScreen() = default;

QLineEdit* ConditionsScreen::inputEdit(std::string engine::ConditionTexts::*condition) const {
    for (const Input& input : inputs_)
        if (input.entry->condition == condition)
            return input.edit;
    return nullptr;
}

QLineEdit* ConditionsScreen::resultField(engine::ResultField result) const {
    auto it = resultFields_.find(result);
    return it == resultFields_.end() ? nullptr : it->second;
}

void ConditionsScreen::connectControls() {
    // The inputs the shown results depend on: a changed value clears them.
    for (const Input& input : inputs_)
        connect(input.edit, &QLineEdit::textChanged, this, [this] { checkInputsAgainstRun(); });
    connect(combo1_, &QComboBox::currentTextChanged, this, [this] { checkInputsAgainstRun(); });

    // Lists.
    connect(combo1_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            applyFieldSizePreset(combo1_->itemText(index));
        unmarkDicom(inputEdit(&engine::ConditionTexts::fieldLongCm));
        unmarkDicom(inputEdit(&engine::ConditionTexts::fieldShortCm));
    });
    connect(combo1_, &QComboBox::textActivated, this, &ConditionsScreen::applyFieldSizePreset);
    connect(combo2_, &QComboBox::currentTextChanged, this, [this] { showReferenceLevel(); });
    connect(combo2_, &QComboBox::activated, this,
            [this] { inputEdit(&engine::ConditionTexts::tubeVoltageKv)->setFocus(Qt::TabFocusReason); });

    // Options and commands.
    connect(option5_, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            selectOutputData();
    });
    connect(option4_, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            openMeasuredExposure();
    });
    // Clicking the already selected option opens the dialog again for a new reading.
    connect(option4_, &QRadioButton::clicked, this, [this] {
        if (option4_->isChecked() && !(measuredDialog_ && measuredDialog_->isVisible()))
            openMeasuredExposure();
    });
    connect(command2_, &QPushButton::clicked, this, &ConditionsScreen::runCalculation);
    connect(command3_, &QPushButton::clicked, this, &ConditionsScreen::showAmbientDose);
    connect(command4_, &QPushButton::clicked, this, &ConditionsScreen::runCaregiverEstimate);
    connect(command6_, &QPushButton::clicked, this, &ConditionsScreen::handOverToReport);
    connect(command1_, &QPushButton::clicked, this, &ConditionsScreen::backToStartScreen);
    connect(command12_, &QPushButton::clicked, this, &ConditionsScreen::tubeOutputEditorRequested);
    connect(command14_, &QPushButton::clicked, this, [this] { emit spectrumRequested(spectrum()); });
    connect(command5_, &QPushButton::clicked, this, &ConditionsScreen::ambientDoseEditorRequested);
    connect(command13_, &QPushButton::clicked, this, &ConditionsScreen::importDicom);
    connectOrganDoseControls();

    // A value the user edits is no longer the image's.
    for (const Input& input : inputs_)
        connect(input.edit, &QLineEdit::textEdited, this, [this, edit = input.edit] { unmarkDicom(edit); });
    connect(combo2_->lineEdit(), &QLineEdit::textEdited, this, [this] { unmarkDicom(combo2_); });
    connect(combo2_, &QComboBox::activated, this, [this] { unmarkDicom(combo2_); });
    connect(date_, &QDateEdit::dateChanged, this, [this] {
        if (!fillingFromDicom_)
            unmarkDicom(date_);
    });
}

void ConditionsScreen::loadDefaults() {
    engine::CalculationState& s = state_;
    combo2_->setEditText(QStringLiteral("腹部正面"));
    fillBodyPartList();

    // Each input shows its default and the state holds it, as if the user had typed it.
    const engine::ConditionTexts defaults = engine::defaultConditions(s);
    for (const Input& input : inputs_) {
        input.edit->setText(qs(defaults.*(input.entry->condition)));
        mirrorIntoState(input);
    }
    combo1_->setCurrentIndex(fieldSizeListEntries().indexOf(QStringLiteral("六切サイズ")));
    applyFieldSizePreset(QStringLiteral("六切サイズ")); // 25.4 / 20.3, fields locked

    clearResultFields(true);
    measured_->clear();
    xrayUnit_->setText(qs(s.xrayUnitName));
    setOutputDataNameShown(qs(s.outputDataFileName));
    showWAir();

    option5_->setChecked(true);
    selectOutputData();
    date_->setDate(QDate::currentDate());
    s.exposureSource = 2;

    for (QPushButton* b : {command3_, command4_, command6_, command14_})
        b->setEnabled(false);
    focusFirstInput();
}

void ConditionsScreen::mirrorIntoState(const Input& input) {
    if (input.entry->stateValue)
        state_.*(input.entry->stateValue) = fieldValue(input.edit) * input.entry->stateScale;
}

void ConditionsScreen::focusFirstInput() {
    // The screen opens on the first input of the chain, not on a display-only field.
    inputs_.front().edit->setFocus(Qt::OtherFocusReason);
}

void ConditionsScreen::showWAir() {
    wAirLabel_->setText(QStringLiteral("Wair = ") + numberText(state_.wAirEv) + QStringLiteral(" eV"));
    wAirLabel_->setAccessibleName(wAirLabel_->text());
}

void ConditionsScreen::referenceDataChanged() {
    if (resultsShown_)
        invalidateResults();
    showWAir();
}

void ConditionsScreen::fillBodyPartList() {
    // A missing or unreadable list leaves the list empty; the default text stays.
    const auto text = textio::readTextFile(textio::fileInFolder(workingFolderPath(), "撮影部位.txt"));
    if (!text.ok())
        return;
    const QString shown = combo2_->currentText();
    for (const std::string& line : textio::splitLines(*text))
        combo2_->addItem(qs(line));
    combo2_->setEditText(shown);
}

void ConditionsScreen::setOutputDataNameShown(const QString& fileName) {
    outputDataName_->setText(fileName.left(std::max<qsizetype>(0, fileName.size() - 3)));
}

void ConditionsScreen::applyFieldSizePreset(const QString& name) {
    QLineEdit* longField = inputEdit(&engine::ConditionTexts::fieldLongCm);
    QLineEdit* shortField = inputEdit(&engine::ConditionTexts::fieldShortCm);
    if (const auto preset = findFieldSizePreset(name)) {
        longField->setEnabled(false);
        longField->setText(numberText(preset->longCm));
        state_.fieldLongCm = preset->longCm;
        shortField->setEnabled(false);
        shortField->setText(numberText(preset->shortCm));
        state_.fieldShortCm = preset->shortCm;
    } else if (name == otherFieldSizeName()) {
        longField->setEnabled(true);
        longField->clear();
        shortField->setEnabled(true);
        shortField->clear();
    }
}

void ConditionsScreen::comboEnterPressed() {
    const QString text = combo1_->currentText();
    if (text == otherFieldSizeName())
        inputEdit(&engine::ConditionTexts::fieldLongCm)->setFocus(Qt::TabFocusReason);
    else if (!text.isEmpty())
        weight_->setFocus(Qt::TabFocusReason);
}

bool ConditionsScreen::eventFilter(QObject* watched, QEvent* event) {
    if (isEnterKey(event)) {
        if (auto it = enterActions_.constFind(watched); it != enterActions_.constEnd())
            (*it)(); // the key itself goes on to the control as usual
    } else if (event->type() == QEvent::FocusOut) {
        // Leaving an input writes its value into the state.
        for (const Input& input : inputs_)
            if (input.edit == watched)
                mirrorIntoState(input);
    }
    return QWidget::eventFilter(watched, event);
}

// ResultFields ---------------------------------------------------------------------------------------

void ConditionsScreen::setResultText(engine::ResultField id, const std::string& utf8Text) {
    using engine::ResultField;
    if (id == ResultField::EntranceSurfaceDoseUncertaintyMGy) {
        // Shown with the dose of the run it belongs to: "0.203 ± 0.046 mGy (k=2)", the dose to the
        // last decimal of the uncertainty where that is finer than the dose field's three.
        expandedUncertainty_ = qs(utf8Text);
        const QString dose = resultField(ResultField::EntranceSurfaceDoseMGy)->text();
        const engine::CalculationState& s = state_;
        resultField(id)->setText(utf8Text.empty() || dose.isEmpty()
                                     ? QString()
                                     : qs(textio::doseWithUncertaintyText(
                                           s.entranceSurfaceDoseMGy, s.entranceSurfaceDoseUncertaintyMGy)));
        return;
    }
    if (auto it = resultFields_.find(id); it != resultFields_.end())
        it->second->setText(qs(utf8Text));
}

std::string ConditionsScreen::resultText(engine::ResultField id) const {
    if (id == engine::ResultField::EntranceSurfaceDoseUncertaintyMGy)
        return resultField(id)->text().isEmpty() ? std::string() : utf8(expandedUncertainty_);
    auto it = resultFields_.find(id);
    return it == resultFields_.end() ? std::string() : utf8(it->second->text());
}

void ConditionsScreen::clearResultFields(bool withCaregiver) {
    using engine::ResultField;
    for (const auto& [result, edit] : resultFields_) {
        const bool caregiver = result == ResultField::CaregiverDose1USv ||
                               result == ResultField::CaregiverDose2USv ||
                               result == ResultField::CaregiverDose3USv;
        // The measured exposure is an input of the next run, not a result.
        if (result != ResultField::MeasuredExposureCkg && (withCaregiver || !caregiver))
            edit->clear();
    }
    if (effectiveDose_) {
        effectiveDose_->clear();
        organDoses_.reset();
        command15_->setEnabled(false);
    }
}

// The exposure source -------------------------------------------------------------------------------

void ConditionsScreen::selectOutputData() {
    setExposureSource(2);
    resultField(engine::ResultField::ExposureAt1mCkg)->setEnabled(false);
}

// Results computed with one exposure at 1 m do not belong to the other source.
void ConditionsScreen::setExposureSource(double source) {
    if (state_.exposureSource != source && resultsShown_)
        invalidateResults();
    state_.exposureSource = source;
}

void ConditionsScreen::openMeasuredExposure() {
    if (!measuredDialog_) {
        measuredDialog_ = new MeasuredExposureDialog(state_, this);
        connect(measuredDialog_, &MeasuredExposureDialog::measuredValueAccepted, this,
                [this](double exposureCkg) {
                    // A new reading is a new exposure: shown results were computed without it.
                    if (resultsShown_)
                        invalidateResults();
                    state_.exposureSource = 1;
                    measured_->setText(qs(textio::formatNumber(exposureCkg, "0.00E+0")));
                    // "出力データを利用" may have been chosen while the dialog was open; the value now in
                    // use is the measured one, and the end of the next run must fall back from it.
                    if (!option4_->isChecked()) {
                        const QSignalBlocker quiet(option4_); // the dialog is not to open again
                        option4_->setChecked(true);
                    }
                });
        connect(measuredDialog_, &MeasuredExposureDialog::outputDataChosen, this, [this] {
            setExposureSource(2);
            if (option5_->isChecked())
                selectOutputData();
            else
                option5_->setChecked(true); // runs its handler
        });
        connect(measuredDialog_, &MeasuredExposureDialog::discarded, this,
                [this] { measuredDialog_.clear(); });
    }
    measuredDialog_->open();
}

void ConditionsScreen::hideMeasuredExposureDialog() {
    if (measuredDialog_)
        measuredDialog_->hide();
}

// Results that no longer match the inputs -------------------------------------------------------------------

void ConditionsScreen::recordRunInputs() {
    resultsShown_ = false; // until the run has handed on
    runValues_.clear();
    for (const Input& input : inputs_)
        runValues_.insert(input.edit, fieldValue(input.edit));
    runFieldSizeName_ = combo1_->currentText();
}

void ConditionsScreen::checkInputsAgainstRun() {
    if (!resultsShown_)
        return;
    bool changed = combo1_->currentText() != runFieldSizeName_;
    for (auto it = runValues_.constBegin(); !changed && it != runValues_.constEnd(); ++it)
        changed = fieldValue(it.key()) != it.value();
    if (changed)
        invalidateResults();
}

void ConditionsScreen::invalidateResults() {
    resultsShown_ = false;
    clearResultFields(true);
    showReferenceLevel();
    for (QPushButton* b : {command3_, command4_, command6_, command14_})
        b->setEnabled(false);
    emit resultsCleared();
}

std::optional<refdata::LevelComparison> ConditionsScreen::referenceLevelComparison() const {
    if (!resultsShown_)
        return std::nullopt;
    const QString dose = resultField(engine::ResultField::EntranceSurfaceDoseMGy)->text();
    if (dose.isEmpty())
        return std::nullopt;
    return refdata::compareComputedDoseWithReferenceLevel(site_.referenceLevels, utf8(combo2_->currentText()),
                                                          state_.entranceSurfaceDoseMGy);
}

void ConditionsScreen::showReferenceLevel() {
    // Shown after a run for a body part with a level; above the level in red and in words, so the
    // mark does not depend on colour alone.
    const auto comparison = referenceLevelComparison();
    referenceLevel_->setText(comparison ? referenceLevelText(*comparison) : QString());
    referenceLevel_->setCursorPosition(0); // the start of the text in view, should it ever be cut
    // The dose in the normal colour, red and bold only above the level, with its comparison.
    const bool above = comparison && comparison->above;
    for (QLineEdit* field : {referenceLevel_, resultField(engine::ResultField::EntranceSurfaceDoseMGy)}) {
        QPalette palette;
        if (above) {
            palette = field->palette();
            palette.setColor(QPalette::Text, kAboveLevel);
        }
        field->setPalette(palette);
        QFont font = field->font();
        font.setBold(above);
        field->setFont(font);
    }
    referenceLevel_->setAccessibleName(QCoreApplication::translate("ConditionsScreen", "参考レベル ") +
                                       referenceLevel_->text());
}

SpectrumData ConditionsScreen::spectrum() const {
    const engine::CalculationState& s = state_;
    SpectrumData data;
    const int top = std::clamp(static_cast<int>(2 * s.tubeVoltageKv), 0, engine::kTopBin);
    data.photons.assign(s.PhotonSpectrumTable.begin(), s.PhotonSpectrumTable.begin() + top + 1);
    data.tubeVoltageKv = s.tubeVoltageKv;
    data.effectiveEnergyKev = s.effectiveEnergyKev;
    data.hvl1MmAl = resultField(engine::ResultField::Hvl1MmAl)->text();
    data.quarterValueMmAl = resultField(engine::ResultField::QuarterValueLayerMmAl)->text();
    data.effectiveEnergy = resultField(engine::ResultField::EffectiveEnergyKev)->text();
    data.qualityIndex = resultField(engine::ResultField::QualityIndex)->text();
    return data;
}

} // namespace tamso::ui
