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

// Makes the screen's controls named and numbered as the form names them. The tab order follows the
// order in which they are made.
struct ReportScreen::Maker {
    QWidget* screen;
    int frameNumber = 0;
    int labelNumber = 0;

    void frame(int left, int top, int width, int height) {
        auto* f = new QFrame(screen);
        f->setFrameShape(QFrame::Box);
        f->setFrameShadow(QFrame::Sunken);
        nameControl(f, QStringLiteral("Frame%1").arg(++frameNumber), QString());
        placeTwips(f, left, top, width, height);
    }
    QString nextLabelName() { return QStringLiteral("Label%1").arg(++labelNumber); }
    QLabel* label(const QString& caption, int left, int top, int width = 1250) {
        auto* l = new QLabel(caption, screen);
        nameControl(l, nextLabelName(), caption);
        placeTwips(l, left, top, width, 300);
        return l;
    }
    QLineEdit* edit(const QString& name, const QString& caption, int left, int top, int width,
                    int height = 395) {
        auto* e = new QLineEdit(screen);
        nameControl(e, name, caption);
        placeTwips(e, left, top, width, height);
        return e;
    }
    QPushButton* button(const QString& name, const QString& caption, int left, int top, int width, int height) {
        auto* b = new QPushButton(caption, screen);
        nameControl(b, name, caption);
        placeTwips(b, left, top, width, height);
        return b;
    }
};

ReportScreen::ReportScreen(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Form8"));
    setWindowTitle(QCoreApplication::translate("ReportScreen", "TAMSO Ⅱ 報告書"));
    setAccessibleName(windowTitle());
    setAccessibleDescription(objectName());
    setFixedSize(twips(12855), twips(11655));

    Maker make{this};
    make.frame(240, 240, 3855, 975);
    make.frame(240, 1440, 3855, 855);
    make.frame(240, 2400, 3855, 3735);
    make.frame(240, 6360, 3855, 2775);
    makePatientFields(make);
    makeConditionFields(make);
    makeDoseFields(make);
    makeCommands(make);

    preview_ = new ReportPreview(this);
    nameControl(preview_, QStringLiteral("Picture1"),
                QCoreApplication::translate("ReportScreen", "報告書プレビュー"));
    placeTwips(preview_, 4500, 0, 8295, 11655);

    setTabOrder(text1_, text2_);
    text1_->installEventFilter(this);
    connectControls();
    setOutputCommandsEnabled(false);
}

// ID, name and technologist.
void ReportScreen::makePatientFields(Maker& make) {
    make.label(QStringLiteral("ID No."), 360, 400);
    text1_ = make.edit(QStringLiteral("Text1"), QStringLiteral("ID No."), 1680, 360, 2175);
    make.label(QCoreApplication::translate("ReportScreen", "氏 名"), 360, 760);
    text2_ = make.edit(QStringLiteral("Text2"), QCoreApplication::translate("ReportScreen", "氏 名"), 1680,
                       720, 2175);

    make.label(QCoreApplication::translate("ReportScreen", "撮影担当"), 360, 1600);
    combo1_ = new QComboBox(this);
    combo1_->setEditable(true);
    combo1_->setInsertPolicy(QComboBox::NoInsert);
    nameControl(combo1_, QStringLiteral("Combo1"), QCoreApplication::translate("ReportScreen", "撮影担当"));
    placeTwips(combo1_, 1680, 1560, 2175, 360);
    command4_ = make.button(QStringLiteral("Command4"), QCoreApplication::translate("ReportScreen", "追加"),
                            3000, 1920, 975, 285);
}

// The exposure conditions, each with its unit.
void ReportScreen::makeConditionFields(Maker& make) {
    make.label(QCoreApplication::translate("ReportScreen", "撮影日"), 360, 2560);
    text3_ = make.edit(QStringLiteral("Text3"), QCoreApplication::translate("ReportScreen", "撮影日"), 1680,
                       2520, 2175);
    make.label(QCoreApplication::translate("ReportScreen", "撮影部位"), 360, 3040);
    text4_ = make.edit(QStringLiteral("Text4"), QCoreApplication::translate("ReportScreen", "撮影部位"), 1680,
                       3000, 2175);
    make.label(QCoreApplication::translate("ReportScreen", "体 厚"), 360, 3400);
    text9_ = make.edit(QStringLiteral("Text9"), QCoreApplication::translate("ReportScreen", "体 厚"), 1680,
                       3360, 1335);
    make.label(QStringLiteral("cm"), 3075, 3400, 700);
    make.label(QCoreApplication::translate("ReportScreen", "撮影装置"), 360, 3840);
    text17_ = make.edit(QStringLiteral("Text17"), QCoreApplication::translate("ReportScreen", "撮影装置"),
                        1080, 4200, 2775);
    make.label(QCoreApplication::translate("ReportScreen", "管電圧"), 360, 4600);
    text5_ = make.edit(QStringLiteral("Text5"), QCoreApplication::translate("ReportScreen", "管電圧"), 1680,
                       4560, 1335);
    make.label(QStringLiteral("kV"), 3075, 4600, 700);
    make.label(QCoreApplication::translate("ReportScreen", "電流･秒"), 360, 4960);
    text6_ = make.edit(QStringLiteral("Text6"), QCoreApplication::translate("ReportScreen", "電流･秒"), 1680,
                       4920, 1335);
    make.label(QStringLiteral("mAs"), 3075, 4960, 700);
    make.label(QStringLiteral("FFD"), 360, 5320);
    text7_ = make.edit(QStringLiteral("Text7"), QStringLiteral("FFD"), 1680, 5280, 1335);
    make.label(QStringLiteral("cm"), 3075, 5320, 700);
    make.label(QCoreApplication::translate("ReportScreen", "照射野"), 360, 5680);
    text8_ = make.edit(QStringLiteral("Text8"), QCoreApplication::translate("ReportScreen", "照射野"), 1680,
                       5640, 2175);
}

// The entrance surface dose, the caregivers' doses and the infant's dose so far.
void ReportScreen::makeDoseFields(Maker& make) {
    // Beside its field on one line, or on two where the words are longer (English).
    QLabel* doseCaption =
        make.label(QCoreApplication::translate("ReportScreen", "入射表面線量"), 360, 6690, 1750);
    doseCaption->setWordWrap(true);
    doseCaption->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    placeTwips(doseCaption, 360, 6690, 1750, 440);
    text10_ = make.edit(QStringLiteral("Text10"), QCoreApplication::translate("ReportScreen", "入射表面線量"),
                        2160, 6720, 1095);
    make.label(QStringLiteral("mGy"), 3315, 6760, 700);
    make.label(QCoreApplication::translate("ReportScreen", "介助者被ばく"), 360, 7440, 2000);
    const int caregiverTops[3] = {7800, 8160, 8520};
    QLineEdit** caregivers[3] = {&text11_, &text12_, &text13_};
    for (int i = 0; i < 3; ++i) {
        const QString row = QString::number(i + 1);
        make.label(row, 1200, caregiverTops[i] + 40, 400);
        *caregivers[i] = make.edit(QStringLiteral("Text%1").arg(11 + i),
                                   QCoreApplication::translate("ReportScreen", "介助者被ばく ") + row, 1680,
                                   caregiverTops[i], 1095);
        make.label(QStringLiteral("μSv"), 2835, caregiverTops[i] + 40, 700);
    }

    // The infant's exposure number and cumulative dose, under the entrance surface dose.
    doseSoFar_ = new QLabel(this);
    nameControl(doseSoFar_, make.nextLabelName(),
                QCoreApplication::translate("ReportScreen", "撮影回数と累積線量"));
    placeTwips(doseSoFar_, 360, 7130, 3660, 285);
}

// OK, Clear, Printer, Data Save, the spectrum check box and " bye bye ".
void ReportScreen::makeCommands(Maker& make) {
    // The commands keep their captions; their names and tips say in the interface's language what
    // each does.
    auto command = [&](const QString& name, const QString& caption, const QString& does, int left, int top) {
        QPushButton* b = make.button(name, caption, left, top, 1335, 615);
        b->setAccessibleName(does);
        b->setToolTip(does);
        return b;
    };
    command2_ = command(QStringLiteral("Command2"), QStringLiteral("OK"),
                        QCoreApplication::translate("ReportScreen", "報告書を描く"), 1080, 9360);
    command3_ = command(QStringLiteral("Command3"), QStringLiteral("Clear"),
                        QCoreApplication::translate("ReportScreen", "報告書を消す"), 2760, 9360);
    command5_ = command(QStringLiteral("Command5"), QStringLiteral("Printer"),
                        QCoreApplication::translate("ReportScreen", "報告書を印刷する"), 1080, 10080);
    command6_ = command(QStringLiteral("Command6"), QStringLiteral("Data Save"),
                        QCoreApplication::translate("ReportScreen", "記録を保存する"), 2760, 10080);
    // The spectrum of the calculation handed over as a second page of the printout.
    check1_ = new QCheckBox(QCoreApplication::translate("ReportScreen", "スペクトルも印刷する"), this);
    nameControl(check1_, QStringLiteral("Check1"), check1_->text());
    placeTwips(check1_, 1080, 10800, 3015, 300);
    command1_ = make.button(QStringLiteral("Command1"), QString(), 120, 10920, 495, 495);
    command1_->setIcon(style()->standardIcon(QStyle::SP_ArrowBack));
    command1_->setToolTip(QStringLiteral(" bye bye "));
    command1_->setAccessibleName(QStringLiteral("bye bye"));
    closeOnEscape(this, command1_);
}

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
    (void)fillDoseSoFar(f); // unreadable record files: no line (the screen says why)
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
    compareWithReferenceLevel(f);
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
        MessageBox::warning(this, coreText(status.message()));
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
    preview_->drawReport(fields());
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
        MessageBox::warning(this, coreText(status.message()));
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
    if (const Status printed = printReport(*printer, current, withSpectrum); !printed.ok())
        MessageBox::warning(this, coreText(printed.message()));
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
