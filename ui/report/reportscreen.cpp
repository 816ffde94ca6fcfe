#include "ui/report/reportscreen.h"

#include "ui/kit/language.h"
#include "ui/kit/messagebox.h"
#include "ui/kit/numberinput.h"
#include "ui/kit/uiutil.h"
#include "ui/report/reportlayout.h"
#include "ui/report/reportpreview.h"
#include "ui/report/reportprinter.h"
#include "ui/report/reportrecordsave.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDate>
#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QStyle>

#include <cmath>
#include <filesystem>

namespace tamso::ui {
namespace {

ReportScreen::PrinterProvider& printerProvider() {
    static ReportScreen::PrinterProvider provider;
    return provider;
}

std::unique_ptr<QPrinter> askForPrinter(QWidget* parent) {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    configureReportPrinter(*printer);
    // Without an installed printer the dialog still offers printing to a PDF file.
    QPrintDialog dialog(printer.get(), parent);
    dialog.setWindowTitle(MessageBox::title());
    if (dialog.exec() != QDialog::Accepted)
        return nullptr;
    return printer;
}

} // namespace

void ReportScreen::connectControls() {
    connect(command2_, &QPushButton::clicked, this, &ReportScreen::drawPreview);
    connect(command3_, &QPushButton::clicked, this, &ReportScreen::clearPreview);
    connect(command4_, &QPushButton::clicked, this, &ReportScreen::addTechnologist);
    connect(command5_, &QPushButton::clicked, this, &ReportScreen::printRequested);
    connect(command6_, &QPushButton::clicked, this, &ReportScreen::saveRequested);
    connect(command1_, &QPushButton::clicked, this, &ReportScreen::closeRequested);
    connect(text10_, &QLineEdit::editingFinished, this, &ReportScreen::showDoseSoFar);
    connect(text3_, &QLineEdit::editingFinished, this, &ReportScreen::showDoseSoFar); // the date orders it
    // Numbers typed full-width by an input method are stored in their ASCII forms.
    for (QLineEdit* number : {text9_, text5_, text6_, text7_, text10_, text11_, text12_, text13_})
        foldWideCharacters(number);
    // What is drawn is what prints and saves: a drawn preview follows every edit of the fields.
    for (QLineEdit* field : findChildren<QLineEdit*>())
        connect(field, &QLineEdit::textChanged, this, [this] {
            if (previewShown_)
                redrawPreview();
        });
    connect(combo1_, &QComboBox::currentTextChanged, this, [this] {
        if (previewShown_)
            redrawPreview();
    });
}

ReportScreen::~ReportScreen() = default;

void ReportScreen::setPrinterProvider(PrinterProvider provider) {
    printerProvider() = std::move(provider);
}

bool ReportScreen::eventFilter(QObject* watched, QEvent* event) {
    if (watched == text1_) {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter)
                text2_->setFocus(Qt::TabFocusReason); // the key itself is not consumed
        } else if (event->type() == QEvent::FocusOut) {
            lookUpName();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ReportScreen::lookUpName() {
    // Whenever the ID has a record file its stored name replaces the name field, an empty stored
    // name too, so that the report never shows a name other than the one stored for the ID.
    if (const auto name = storedPatientName(text1_->text())) {
        warnIfNotTheImagesPatient(*name);
        text2_->setText(*name);
    }
    showDoseSoFar();
}

void ReportScreen::warnIfNotTheImagesPatient(const QString& storedName) {
    const dicom::PersonNameGroups& g = imageNameGroups_;
    const QString id = text1_->text();
    if ((g.alphabetic.empty() && g.ideographic.empty() && g.phonetic.empty()) || id == nameWarnedForId_ ||
        dicom::personNameMatches(g, utf8(storedName)))
        return;
    nameWarnedForId_ = id;
    MessageBox::warning(this, QCoreApplication::translate(
                                  "ReportScreen", "患者ID「%1」の記録の氏名「%2」は、DICOM画像の氏名「%3」と"
                                                  "一致しません。\n別の患児の記録に保存しないよう、患者IDを"
                                                  "確認して下さい。")
                                  .arg(id, storedName, imageName_));
}

QString ReportScreen::doseSoFarText() const {
    return doseSoFar_->text();
}

void ReportScreen::showDoseSoFar() {
    ReportFields f = fieldTexts();
    const Status status = fillDoseSoFar(f);
    if (!status.ok())
        doseSoFar_->setText(
            QCoreApplication::translate("ReportScreen", "累積線量: 患者ファイルを読み込めません"));
    else
        doseSoFar_->setText(f.exposureNumber.isEmpty() ? QString() : doseHistoryLine(f));
    doseSoFar_->setToolTip(status.ok() ? QString() : qs(status.message()));
}

void ReportScreen::setFieldTexts(const ReportFields& f) {
    text1_->setText(f.id);
    text2_->setText(f.name);
    text3_->setText(f.examDate);
    text4_->setText(f.bodyPart);
    text5_->setText(f.tubeVoltage);
    text6_->setText(f.mAs);
    text7_->setText(f.ffd);
    text8_->setText(f.fieldSize);
    text9_->setText(f.thickness);
    text17_->setText(f.xrayUnit);
    text10_->setText(f.dose);
    text11_->setText(f.caregiver1);
    text12_->setText(f.caregiver2);
    text13_->setText(f.caregiver3);
}

ReportFields ReportScreen::fields() const {
    ReportFields f = fieldTexts();
    ignoreFailure(fillDoseSoFar(f), "unreadable record files: no line (the screen says why)");
    return f;
}

ReportFields ReportScreen::fieldTexts() const {
    ReportFields f;
    f.id = text1_->text();
    f.name = text2_->text();
    f.technologist = combo1_->currentText();
    f.examDate = text3_->text();
    f.bodyPart = text4_->text();
    f.thickness = text9_->text();
    f.xrayUnit = text17_->text();
    f.tubeVoltage = text5_->text();
    f.mAs = text6_->text();
    f.ffd = text7_->text();
    f.fieldSize = text8_->text();
    f.dose = text10_->text();
    f.caregiver1 = text11_->text();
    f.caregiver2 = text12_->text();
    f.caregiver3 = text13_->text();
    f.spectrum = spectrum_;
    // The uncertainty belongs to the dose it was computed with; an edited dose has none. The
    // reference level follows the dose and body part as they stand.
    if (!handedUncertainty_.isEmpty() && f.dose == handedDose_)
        f.doseWithUncertainty = handedUncertainty_;
    // The effective dose belongs to the dose and body part it was computed for.
    if (f.dose == handedDose_ && f.bodyPart == handed_.bodyPart)
        f.effectiveDose = handed_.effectiveDose;
    f.originalDose = handedDose_;
    f.originalDoseStored = handedFromRecord_;
    f.preciseDose = f.dose == handedDose_ ? handed_.preciseDose : QString();
    compareWithReferenceLevel(f, referenceLevels_);
    f.storedRecordNumber = !storedId_.isEmpty() && f.id == storedId_ ? storedNumber_ : 0;
    return f;
}

void ReportScreen::fillTechnologistCombo() {
    combo1_->clear();
    for (const std::string& name : technologists_.names())
        combo1_->addItem(qs(name));
}

void ReportScreen::setOutputCommandsEnabled(bool enabled) {
    command5_->setEnabled(enabled);
    command6_->setEnabled(enabled);
}

void ReportScreen::setSpectrum(const SpectrumData& spectrum) {
    spectrum_ = spectrum;
    check1_->setEnabled(!spectrum_.empty());
    if (spectrum_.empty())
        check1_->setChecked(false);
}

void ReportScreen::handOver(const ReportFields& fields) {
    previewShown_ = false;
    setSpectrum(fields.spectrum);
    handedDose_ = fields.dose;
    handedUncertainty_ = fields.doseWithUncertainty;
    handedFromRecord_ = false;
    handed_ = fields;
    handed_.spectrum = {};
    if (handed_.doseReport && handed_.doseReport->sopInstanceUid.empty())
        handed_.doseReport->sopInstanceUid = node::newUuidUid(); // one report of this hand-over
    imageNameGroups_ = fields.imageNameGroups;
    imageName_ = fields.name;
    nameWarnedForId_.clear();
    preview_->clear();
    storedId_.clear();
    storedNumber_ = 0;
    // ID and name come only from an image (empty for an exposure typed by hand); either way the
    // fields show what the hand-over holds, never those of the previous patient.
    setFieldTexts(fields);
    showDoseSoFar();
    const Status status = technologists_.read(workingFolderPath());
    fillTechnologistCombo();
    combo1_->setCurrentText(qs(technologists_.entry(1)));
    setOutputCommandsEnabled(false);
    show();
    raise();
    activateWindow();
    text1_->setFocus(Qt::OtherFocusReason);
    if (!status.ok())
        MessageBox::warning(this, coreText(status.error()));
    if (const auto stored = storedPatientName(fields.id))
        warnIfNotTheImagesPatient(*stored);
}

void ReportScreen::showRecord(const ReportFields& fields) {
    previewShown_ = false;
    setSpectrum(fields.spectrum); // a stored record has none
    handedDose_ = fields.dose;
    handedUncertainty_ = fields.doseWithUncertainty;
    handedFromRecord_ = true;
    handed_ = fields;
    handed_.doseReport.reset(); // a stored record: its report was made when it was saved
    handed_.doseReportProblem.clear();
    imageNameGroups_ = {};
    imageName_.clear();
    storedId_ = fields.storedRecordNumber > 0 ? fields.id : QString();
    storedNumber_ = fields.storedRecordNumber;
    setFieldTexts(fields);
    showDoseSoFar();
    combo1_->setCurrentText(fields.technologist);
    preview_->clear();
    setOutputCommandsEnabled(false);
    show();
    raise();
    activateWindow();
    text1_->setFocus(Qt::OtherFocusReason);
}

void ReportScreen::drawPreview() {
    redrawPreview();
    setOutputCommandsEnabled(true);
}

void ReportScreen::redrawPreview() {
    // Cleared first, so that a second drawing never stands over the first.
    preview_->clear();
    preview_->drawReport(fields(), basicData_);
    previewShown_ = true;
    showDoseSoFar();
}

void ReportScreen::clearPreview() {
    previewShown_ = false;
    preview_->clear();
    setOutputCommandsEnabled(false);
}

void ReportScreen::addTechnologist() {
    const QString name = combo1_->currentText();
    if (const Status status = technologists_.add(workingFolderPath(), utf8(name)); !status.ok()) {
        MessageBox::warning(this, coreText(status.error()));
        return;
    }
    fillTechnologistCombo();
    combo1_->setCurrentIndex(technologists_.technologistCount() - 1);
    combo1_->setCurrentText(qs(technologists_.entry(technologists_.technologistCount())));
}

void ReportScreen::printRequested() {
    if (!MessageBox::askOkCancel(this,
                                 QCoreApplication::translate("ReportScreen", "プリンタの準備はＯＫですか？")))
        return;
    const ReportFields current = fields();
    std::unique_ptr<QPrinter> printer = printerProvider() ? printerProvider()(this) : askForPrinter(this);
    if (!printer)
        return;
    const bool withSpectrum = check1_->isEnabled() && check1_->isChecked();
    if (const Status printed = printReport(*printer, current, basicData_, withSpectrum); !printed.ok())
        MessageBox::warning(this, coreText(printed.error()));
}

bool ReportScreen::savableAsComputed(const ReportFields& current) {
    if (const QStringList changed = changedExposureConditions(handed_, current); !changed.isEmpty()) {
        QStringList quoted;
        for (const QString& caption : changed)
            quoted << QCoreApplication::translate("ReportScreen", "「%1」").arg(caption);
        const QString fieldsText = quoted.join(QCoreApplication::translate("ReportScreen", "、"));
        MessageBox::warning(
            this,
            (handedFromRecord_
                 ? QCoreApplication::translate(
                       "ReportScreen", "報告書の%1が、記録されていた撮影条件から変更されています。"
                                       "入射表面線量はこの条件で計算したものではないため、保存できません。"
                                       "撮影条件の画面に戻って計算し直して下さい。")
                 : QCoreApplication::translate(
                       "ReportScreen", "報告書の%1が、線量を計算した撮影条件から変更されています。"
                                       "入射表面線量はこの条件で計算したものではないため、保存できません。"
                                       "撮影条件の画面に戻って計算し直して下さい。"))
                .arg(fieldsText));
        return false;
    }
    // The date the dose history, the audit and the exposure number read.
    if (!readExamDate(current.examDate).isValid()) {
        const QString example = shortDateText(QDate::currentDate());
        MessageBox::warning(
            this, current.examDate.trimmed().isEmpty()
                      ? QCoreApplication::translate(
                            "ReportScreen", "「撮影日」が空欄です。「%1」のように日付を入力して下さい。")
                            .arg(example)
                      : QCoreApplication::translate("ReportScreen",
                                                    "「撮影日」の「%1」は日付として読めません。"
                                                    "「%2」のように、実在する日付を入力して下さい。")
                            .arg(current.examDate, example));
        text3_->setFocus(Qt::OtherFocusReason);
        text3_->selectAll();
        return false;
    }
    return numberForSave(
               this, text10_, QCoreApplication::translate("ReportScreen", "入射表面線量"),
               [](double dose) { return std::isfinite(dose) && dose >= 0; },
               QCoreApplication::translate("ReportScreen", "0 以上の数値（mGy）"))
        .has_value();
}

void ReportScreen::saveRequested() {
    const ReportFields current = fields();
    if (!savableAsComputed(current))
        return;
    if (doseEdited(current)) {
        const QString question =
            (current.originalDoseStored
                 ? QCoreApplication::translate(
                       "ReportScreen",
                       "入射表面線量 %1 mGy は記録されていた %2 mGy と異なります。このまま保存しますか？")
                 : QCoreApplication::translate("ReportScreen", "入射表面線量 %1 mGy はこの撮影で計算した %2 "
                                                               "mGy と異なります。このまま保存しますか？"))
                .arg(current.dose, current.originalDose);
        if (!MessageBox::askYesNo(this, question, MessageBox::Answer::No))
            return;
    }
    int recordNumber = 0;
    if (saveReportRecord(this, current, &recordNumber)) {
        command6_->setEnabled(false);
        // The exposure is now stored: printed or drawn again, it keeps its number.
        storedId_ = current.id;
        storedNumber_ = recordNumber;
        // The preview shows the exposure number and cumulative dose the record now has.
        if (previewShown_)
            redrawPreview();
        else
            showDoseSoFar();
        emit recordSaved(current.id, recordNumber, current.dose);
        // The record stands; its dose report follows where the site asks for one.
        if (!handedFromRecord_ && queueDoseReport(this, handed_, current))
            emit doseReportQueued();
    }
}

bool ReportScreen::hasUnsavedRecord() const {
    // A stored record shown or saved here, under its ID, is no unsaved one.
    return previewShown_ && command6_->isEnabled() && fieldTexts().storedRecordNumber == 0;
}

bool ReportScreen::leaveAllowed() {
    return !hasUnsavedRecord() ||
           MessageBox::askYesNo(this,
                                QCoreApplication::translate("ReportScreen",
                                                            "報告書の記録はまだ保存されていません（Data Save）。\n"
                                                            "保存せずに報告書を閉じますか？"),
                                MessageBox::Answer::No);
}

void ReportScreen::closeRequested() {
    if (!leaveAllowed())
        return;
    emit backRequested();
    hide();
}

void ReportScreen::closeEvent(QCloseEvent* event) {
    if (!leaveAllowed()) {
        event->ignore();
        return;
    }
    event->accept();
    emit backRequested();
}

} // namespace tamso::ui
