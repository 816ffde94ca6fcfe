// The exposure-condition screen's "DICOM読込": the file and image choosers, reading an image or a
// DICOMDIR, and filling and marking the screen's controls from the chosen radiograph.

#include "ui/conditions/conditionsscreen.h"

#include "dicom/bodypartmap.h"
#include "dicom/imageexposure.h"
#include "node/dosereport.h"
#include "node/imageconditions.h"
#include "textio/fileio.h"
#include "textio/numbertext.h"
#include "ui/conditions/fieldsizepresets.h"
#include "ui/kit/language.h"
#include "ui/kit/messagebox.h"
#include "ui/kit/uiutil.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDate>
#include <QDateEdit>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QLocale>
#include <QPalette>

#include <filesystem>

namespace tamso::ui {

namespace {

QString numberText(double value) {
    return qs(textio::numberToText(value));
}

// The background of a control filled from an image.
const QColor kDicomMark(0xff, 0xf3, 0xbf);
// The background of a control the image leaves empty: the user types its value.
const QColor kDicomMissingMark(0xff, 0xd6, 0xd6);

ConditionsScreen::DicomFileChooser& dicomFileChooser() {
    static ConditionsScreen::DicomFileChooser chooser;
    return chooser;
}

ConditionsScreen::DicomImageChooser& dicomImageChooser() {
    static ConditionsScreen::DicomImageChooser chooser;
    return chooser;
}

QString askForDicomFile(QWidget* parent) {
    static QString folder; // where the last image came from
    const QString file = QFileDialog::getOpenFileName(
        parent, QCoreApplication::translate("ConditionsScreen", "DICOM読込"), folder,
        QCoreApplication::translate("ConditionsScreen",
                                    "DICOM (*.dcm *.DCM *.dicom DICOMDIR);;すべてのファイル (*)"));
    if (!file.isEmpty())
        folder = QFileInfo(file).absolutePath();
    return file;
}

int askForDicomImage(QWidget* parent, const QStringList& images) {
    bool ok = false;
    const QString chosen = QInputDialog::getItem(
        parent, MessageBox::title(),
        QCoreApplication::translate("ConditionsScreen", "DICOMDIR の画像を選んで下さい"), images, 0, false,
        &ok);
    return ok ? static_cast<int>(images.indexOf(chosen)) : -1;
}

QString shortDate(const dicom::CalendarDate& d) {
    return shortDateText(QDate(d.year, d.month, d.day));
}

// One line of the list of a DICOMDIR's radiographs: date, patient, body part, tube voltage, file.
QString describeImage(const dicom::ImageExposure& image, const QString& file) {
    QStringList parts;
    if (image.examDate.has())
        parts << shortDate(*image.examDate.value);
    for (const auto* text : {&image.patientId, &image.patientName})
        if (text->has())
            parts << qs(*text->value);
    const dicom::BodyPartTexts& b = image.bodyPartTexts;
    const std::string bodyPart = !b.bodyPartExamined.empty() ? b.bodyPartExamined : b.protocolName;
    if (!bodyPart.empty())
        parts << qs(bodyPart + (b.viewPosition.empty() ? "" : " " + b.viewPosition));
    if (image.tubeVoltageKv.has())
        parts << numberText(*image.tubeVoltageKv.value) + QStringLiteral(" kV");
    parts << QStringLiteral("(%1)").arg(file);
    return parts.join(QStringLiteral("  "));
}

// What the DICOM reading says an image lacks, in the interface's language: the attribute names
// and values stay, the Japanese words around them are translated piece by piece.
QString dicomProblemText(const std::string& problem) {
    static const char* const pieces[] = {
        QT_TRANSLATE_NOOP("DicomImport", "、撮影部位がわからないため記録と既定値も使えません"),
        QT_TRANSLATE_NOOP("DicomImport", "画像に BodyPartThickness (0018,11A0) がなく、同じ撮影部位「"),
        QT_TRANSLATE_NOOP("DicomImport", "」の記録も 被写体厚既定値.txt の既定値もありません"),
        QT_TRANSLATE_NOOP("DicomImport", " がありません"),
        QT_TRANSLATE_NOOP("DicomImport", " の値 "),
        QT_TRANSLATE_NOOP("DicomImport", " は使えません"),
        QT_TRANSLATE_NOOP("DicomImport", " は日付として読めません"),
        QT_TRANSLATE_NOOP("DicomImport", "対応表 "),
        QT_TRANSLATE_NOOP("DicomImport", " にありません"),
        QT_TRANSLATE_NOOP("DicomImport", "（"),
        QT_TRANSLATE_NOOP("DicomImport", "）"),
        QT_TRANSLATE_NOOP("DicomImport", "、"),
    };
    QString text = qs(problem);
    for (const char* piece : pieces)
        text.replace(QString::fromUtf8(piece), QCoreApplication::translate("DicomImport", piece));
    return text;
}

} // namespace

// DICOM import ----------------------------------------------------------------------------------------------

void ConditionsScreen::setDicomFileChooser(DicomFileChooser chooser) {
    dicomFileChooser() = std::move(chooser);
}

void ConditionsScreen::setDicomImageChooser(DicomImageChooser chooser) {
    dicomImageChooser() = std::move(chooser);
}

void ConditionsScreen::importDicom() {
    const QString file = dicomFileChooser() ? dicomFileChooser()(this) : askForDicomFile(this);
    if (!file.isEmpty())
        importDicomFile(file);
}

void ConditionsScreen::importDicomFile(const QString& path) {
    const std::filesystem::path file = std::filesystem::u8path(utf8(path));
    dicom::HeaderReading reading = dicom::readHeader(file);
    if (reading.kind == dicom::FileKind::DicomDir) {
        std::vector<dicom::ImageExposure> radiographs;
        std::vector<std::filesystem::path> radiographFiles;
        QStringList descriptions;
        QStringList leftOut; // records not opened, or not readable, with the reason
        const QString bullet = QCoreApplication::translate("ConditionsScreen", "・");
        for (const dicom::DicomDirEntry& entry : reading.dicomDirEntries) {
            if (!entry.problem.empty()) {
                leftOut << bullet + qs(entry.problem);
                continue;
            }
            dicom::HeaderReading r = dicom::readHeader(entry.path);
            if (r.kind == dicom::FileKind::Unreadable)
                leftOut << bullet + qs(r.message);
            if (r.kind != dicom::FileKind::Radiograph)
                continue;
            descriptions << describeImage(
                r.exposure, qs(entry.path.lexically_relative(file.parent_path()).generic_u8string()));
            radiographs.push_back(std::move(r.exposure));
            radiographFiles.push_back(entry.path);
        }
        constexpr qsizetype kShownAtMost = 20; // a message box of 10,000 lines helps nobody
        if (leftOut.size() > kShownAtMost) {
            const qsizetype more = leftOut.size() - kShownAtMost;
            leftOut.resize(kShownAtMost);
            leftOut << QCoreApplication::translate("ConditionsScreen", "…ほか %1 件").arg(more);
        }
        const QString notOpened =
            leftOut.isEmpty()
                ? QString()
                : QCoreApplication::translate("ConditionsScreen", "次の項目は開きませんでした。\n") +
                      leftOut.join(QLatin1Char('\n'));
        if (radiographs.empty()) {
            MessageBox::warning(
                this, qs(textio::fileNameUtf8(file)) +
                          QCoreApplication::translate("ConditionsScreen",
                                                      " には一般撮影（CR・DX）の画像がありません。") +
                          (notOpened.isEmpty() ? QString() : QLatin1Char('\n') + notOpened));
            return;
        }
        if (!notOpened.isEmpty())
            MessageBox::warning(this, notOpened);
        int chosen = 0;
        if (radiographs.size() > 1) {
            chosen = dicomImageChooser() ? dicomImageChooser()(this, descriptions)
                                         : askForDicomImage(this, descriptions);
            if (chosen < 0 || chosen >= static_cast<int>(radiographs.size()))
                return;
        }
        applyDicomExposure(radiographs[static_cast<size_t>(chosen)],
                           radiographFiles[static_cast<size_t>(chosen)]);
        return;
    }
    if (reading.kind != dicom::FileKind::Radiograph) {
        MessageBox::warning(this, qs(reading.message));
        return;
    }
    applyDicomExposure(reading.exposure, file);
}

namespace {

// One line of the message about what the image lacks: the value and why.
void noteMissing(QStringList& missing, const QString& what, const std::string& problem) {
    missing << QCoreApplication::translate("ConditionsScreen", "・") + what +
                   QCoreApplication::translate("ConditionsScreen", "：") + dicomProblemText(problem);
}

} // namespace

void ConditionsScreen::applyDicomExposure(const dicom::ImageExposure& image,
                                          const std::filesystem::path& file) {
    // The image's conditions as every way in resolves them: what the image states, the infant's
    // records and the site's defaults for its thickness, a new case's values for what no image
    // states. Nothing is kept from the screen's earlier exposure.
    const node::ImageConditions resolved =
        node::resolveImageConditionsInFolder(image, workingFolderPath(), engine::defaultConditions(state_));
    forgetDicomImport(); // the marks of an earlier image go
    QStringList missing;
    fillingFromDicom_ = true;
    fillConditionsFromDicom(image, resolved, missing);
    fillBodyPartAndDateFromDicom(image, resolved, missing);
    fillWeightFromDicom(resolved);
    fillingFromDicom_ = false;
    takePatientFromDicom(image, file, missing);
    if (!missing.isEmpty())
        MessageBox::warning(this, QCoreApplication::translate(
                                      "ConditionsScreen",
                                      "DICOM画像に次の項目がありません。空欄は入力してから計算してください。\n") +
                                      missing.join(QLatin1Char('\n')));
}

// The field size and every input from the resolved conditions, each marked with where its value
// came from or, where the image lacks it, as missing.
void ConditionsScreen::fillConditionsFromDicom(const dicom::ImageExposure& image,
                                               const node::ImageConditions& resolved, QStringList& missing) {
    if (image.fieldSize.has()) {
        combo1_->setCurrentIndex(combo1_->findText(otherFieldSizeName()));
    } else {
        combo1_->setCurrentIndex(combo1_->findText(qs(resolved.fieldSizeName)));
        applyFieldSizePreset(qs(resolved.fieldSizeName));
    }
    const engine::ConditionTexts texts = resolved.texts();
    const std::pair<std::string engine::ConditionTexts::*, const node::ResolvedValue*> sourced[] = {
        {&engine::ConditionTexts::tubeVoltageKv, &resolved.tubeVoltageKv},
        {&engine::ConditionTexts::mAs, &resolved.mAs},
        {&engine::ConditionTexts::ffdCm, &resolved.ffdCm},
        {&engine::ConditionTexts::subjectThicknessCm, &resolved.thicknessCm},
        {&engine::ConditionTexts::fieldLongCm, &resolved.fieldLongCm},
        {&engine::ConditionTexts::fieldShortCm, &resolved.fieldShortCm}};
    for (const Input& input : inputs_) {
        input.edit->setText(qs(texts.*(input.entry->condition)));
        mirrorIntoState(input);
        for (const auto& [condition, value] : sourced) {
            if (input.entry->condition != condition)
                continue;
            const bool defaultField = !image.fieldSize.has() && (value == &resolved.fieldLongCm ||
                                                                  value == &resolved.fieldShortCm);
            if (defaultField)
                continue; // a new case's field, the user's to change; the message says so
            dicomImported_ << input.edit;
            if (value->has()) {
                markFromDicom(input.edit, value->source, value == &resolved.thicknessCm &&
                                                             !image.bodyPartThicknessCm.has());
            } else {
                markMissingFromDicom(input.edit, value->problem);
                noteMissing(missing, shownText(input.entry->caption).trimmed(), value->problem);
            }
        }
    }
    if (!image.fieldSize.has()) {
        noteMissing(missing, QCoreApplication::translate("ConditionsScreen", "照射野サイズ"),
                    image.fieldSize.problem);
        missing.last() += QCoreApplication::translate("ConditionsScreen", "（既定の%1を使用）")
                              .arg(qs(resolved.fieldSizeName));
    }
}

void ConditionsScreen::fillBodyPartAndDateFromDicom(const dicom::ImageExposure& image,
                                                    const node::ImageConditions& resolved, QStringList& missing) {
    dicomImported_ << combo2_ << date_;
    if (resolved.bodyPart.has()) {
        const QString text = qs(resolved.bodyPart.text);
        const int index = combo2_->findText(text);
        if (index >= 0)
            combo2_->setCurrentIndex(index);
        combo2_->setEditText(text);
        markFromDicom(combo2_, resolved.bodyPart.source);
    } else {
        combo2_->setEditText(QString());
        markMissingFromDicom(combo2_, resolved.bodyPart.problem);
        noteMissing(missing, QCoreApplication::translate("ConditionsScreen", "照射部位"), resolved.bodyPart.problem);
    }
    if (image.examDate.has()) {
        const dicom::CalendarDate& d = *image.examDate.value;
        date_->setDate(QDate(d.year, d.month, d.day));
        markFromDicom(date_, image.examDate.source);
    } else {
        date_->setDate(date_->minimumDate()); // shows no date until one is chosen
        markMissingFromDicom(date_, image.examDate.problem);
        noteMissing(missing, QCoreApplication::translate("ConditionsScreen", "撮影日"), image.examDate.problem);
    }
}

// The patient of the image, and what the dose report takes from it.
void ConditionsScreen::takePatientFromDicom(const dicom::ImageExposure& image, const std::filesystem::path& file,
                                            QStringList& missing) {
    dicomNameGroups_ = image.patientNameGroups;
    if (image.patientId.has())
        dicomPatientId_ = qs(*image.patientId.value);
    else
        noteMissing(missing, QCoreApplication::translate("ConditionsScreen", "患者ID"), image.patientId.problem);
    if (image.patientName.has())
        dicomPatientName_ = qs(*image.patientName.value);
    else
        noteMissing(missing, QCoreApplication::translate("ConditionsScreen", "氏名"), image.patientName.problem);
    // What the dose report takes from the image (its patient, study and unit), read now: a held
    // image's header leaves its folder once the record is saved.
    if (auto header = node::reportInputFromImage(file); header.ok())
        dicomReport_ = std::move(*header);
    else
        dicomReportProblem_ = header.error().message();
}

QString ConditionsScreen::typedConditionsText() const {
    QStringList typed;
    for (QWidget* control : dicomImported_) {
        if (isFilledFromDicom(control))
            continue;
        if (control == date_) {
            typed << QCoreApplication::translate("ConditionsScreen", "撮影日") + QLatin1Char(' ') +
                         (date_->date() == date_->minimumDate() ? QString() : shortDateText(date_->date()));
        } else if (control == combo2_) {
            typed << QCoreApplication::translate("ConditionsScreen", "照射部位") + QLatin1Char(' ') +
                         combo2_->currentText();
        } else {
            for (const Input& input : inputs_)
                if (input.edit == control)
                    typed << shownText(input.entry->caption).trimmed() + QLatin1Char(' ') + input.edit->text() +
                                 QLatin1Char(' ') + input.entry->unit;
        }
    }
    return typed.join(QCoreApplication::translate("ConditionsScreen", "、"));
}

void ConditionsScreen::markFromDicom(QWidget* control, const std::string& source, bool notInImage) {
    dicomMarked_.insert(control);
    control->setProperty("filledFromDicom", true);
    control->setToolTip(
        notInImage
            ? QCoreApplication::translate("ConditionsScreen", "DICOMから入力（画像にないため %1）").arg(qs(source))
            : QCoreApplication::translate("ConditionsScreen", "DICOMから入力（%1）").arg(qs(source)));
    // The background through the palette: a style sheet would give the control another style, with
    // another font and size, so that the form changed its look with every import.
    QPalette marked = control->palette();
    marked.setColor(QPalette::Base, kDicomMark);
    control->setPalette(marked);
}

void ConditionsScreen::markMissingFromDicom(QWidget* control, const std::string& problem) {
    dicomMarked_.insert(control);
    control->setProperty("missingFromDicom", true);
    control->setToolTip(QCoreApplication::translate("ConditionsScreen", "DICOM画像にありません（%1）。入力してください")
                            .arg(dicomProblemText(problem)));
    QPalette marked = control->palette();
    marked.setColor(QPalette::Base, kDicomMissingMark);
    control->setPalette(marked);
}

void ConditionsScreen::unmarkDicom(QWidget* control) {
    if (!dicomMarked_.remove(control))
        return;
    control->setProperty("filledFromDicom", false);
    control->setProperty("missingFromDicom", false);
    control->setToolTip(QString());
    control->setPalette(QPalette()); // the inherited palette again
}

void ConditionsScreen::forgetDicomImport() {
    for (QWidget* control : QSet<QWidget*>(dicomMarked_))
        unmarkDicom(control);
    dicomImported_.clear();
    dicomPatientId_.clear();
    dicomPatientName_.clear();
    dicomNameGroups_ = {};
    dicomReport_.reset();
    dicomReportProblem_.clear();
}

} // namespace tamso::ui
